#!/usr/bin/env bash
# Installs the Debian packages the offline-fidelity check runs: a web server, a
# headless browser, the default document tree to serve (Python 3.11's HTML
# documentation), wget2 for comparison, and Pillow for comparing screenshots.
# A no-op when all are there.
set -euo pipefail

packages=(nginx-light chromium python3.11-doc wget2 python3 python3-pil fonts-dejavu-core)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Any nginx flavour will do; do not pull nginx-light next to an installed nginx.
if command -v nginx >/dev/null 2>&1 || [ -x /usr/sbin/nginx ]; then
  missing=("${missing[@]/nginx-light}")
fi
missing=($(printf '%s\n' "${missing[@]}" | sed '/^$/d'))
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}; run this script as root to install them." >&2
  exit 1
fi
echo "Installing: ${missing[*]}"

# The check starts its own nginx on a free port; keep the packaged service from
# starting on port 80 during installation.
policy=/usr/sbin/policy-rc.d
made_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' >"$policy"
  chmod 755 "$policy"
  made_policy=1
fi
trap '[ "$made_policy" = 1 ] && rm -f "$policy"' EXIT

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# python3.11-doc depends on the packaged JavaScript libraries (libjs-jquery,
# libjs-underscore) that its pages reach through symlinks.
apt-get install -y -qq --no-install-recommends "${missing[@]}"
