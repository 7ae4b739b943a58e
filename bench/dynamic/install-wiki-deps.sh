#!/usr/bin/env bash
# Installs the Debian packages the dynamic-site check runs: MediaWiki with its
# PHP modules and SQLite, PHP-FPM and nginx to serve it (php8.2-fpm is named so
# that MediaWiki's PHP dependency does not bring Apache), wget2 for comparison,
# headless Chromium and Pillow for the screenshots and the generated images.
# A no-op when all are there.
set -euo pipefail
exec "$(dirname "$0")/../install-packages.sh" nginx-light php8.2-fpm php8.2-cli \
  php8.2-sqlite3 php8.2-intl php8.2-mbstring php8.2-xml mediawiki wget2 chromium \
  python3 python3-pil fonts-dejavu-core
