#!/usr/bin/env bash
# Installs the Debian packages the site benchmark runs: a web server, the two peer
# mirroring tools, GNU time and Python. A no-op when all are there.
set -euo pipefail
exec "$(dirname "$0")/../install-packages.sh" nginx-light wget2 httrack time python3
