#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and (with --demo) the
# demo need, but only those that are missing. Needs root or sudo.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev libusb-1.0-0-dev qt6-charts-dev libqt6opengl6-dev
  libqt6sql6-sqlite libqt6sql6-psql postgresql
  python3 python3-xlrd
  gputils srecord
  umockdev libumockdev-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64
  help2man dpkg-dev file lintian desktop-file-utils appstream
  fonts-dejavu-core fonts-liberation2 libreoffice-calc-nogui poppler-utils
)
if [[ "${1:-}" == "--demo" ]]; then
  packages+=(xvfb xauth)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "Missing packages (${missing[*]}); run as root or install sudo." >&2; exit 1; }
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
