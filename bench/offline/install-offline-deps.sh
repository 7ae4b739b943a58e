#!/usr/bin/env bash
# Installs the Debian packages the offline-fidelity check runs: a web server, a
# headless browser, the default document tree to serve (Python 3.11's HTML
# documentation, which pulls in the packaged JavaScript libraries its pages link
# through symlinks), wget2 for comparison, and Pillow for comparing screenshots.
# A no-op when all are there.
set -euo pipefail
exec "$(dirname "$0")/../install-packages.sh" nginx-light chromium python3.11-doc wget2 \
  python3 python3-pil fonts-dejavu-core
