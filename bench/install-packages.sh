#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are missing; a no-op when
# all are there. Any nginx flavour counts for nginx-light. The benchmarks start their own
# nginx on a free port, so the packaged service is kept from starting on port 80.
set -euo pipefail

missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
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
apt-get install -y -qq --no-install-recommends "${missing[@]}"
