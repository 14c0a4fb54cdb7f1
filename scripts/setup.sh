#!/usr/bin/env bash
# Installs the Debian packages slabrip builds, tests and runs with. Safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev libfmt-dev
  liblcms2-dev libgs-common zlib1g-dev libpng-dev libjpeg62-turbo-dev libtiff-dev libcairo2-dev libpixman-1-dev
  libgif-dev libgdk-pixbuf-2.0-dev
  libfreetype-dev libfontconfig-dev fonts-liberation2
  libcups2-dev cups cups-client
  libpugixml-dev nlohmann-json3-dev jq
  qt6-base-dev libgl-dev
  dpkg-dev desktop-file-utils shared-mime-info libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
