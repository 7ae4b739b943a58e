#!/usr/bin/env bash
# Installs the Debian packages that Quarn builds on. A no-op when all are there.
set -euo pipefail

packages=(
  cmake make ninja-build g++ pkg-config
  qt6-base-dev qt6-webengine-dev qt6-svg-dev
  libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev libcli11-dev zlib1g-dev libbrotli-dev libzstd-dev
  fonts-dejavu-core xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}; run this script as root to install them." >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
