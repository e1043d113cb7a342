#!/usr/bin/env bash
# Builds the optimised tree for prefix /usr in build/package, with Debian's
# build flags, and makes build/package/ksx4-assistant_<version>_<arch>.deb
# from the install rules. Install it with
#   sudo apt-get install ./build/package/ksx4-assistant_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=build/package
# Debian's hardening flags, as a Debian build would use them (without -g:
# the package carries stripped programs).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cflags=${cflags//-g /}
cxxflags=${cxxflags//-g /}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DKSX4_TESTS=OFF -DKSX4_REQUIRE_MAN_PAGES=ON \
  -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j "${KSX4_JOBS:-$(nproc)}"

rm -f "$build"/ksx4-assistant_*.deb
if ! (cd "$build" && cpack -G DEB >cpack.log 2>&1); then
  cat "$build/cpack.log" >&2
  exit 1
fi
deb=$(ls "$build"/ksx4-assistant_*.deb)
echo "Wrote $deb ($(du -k "$deb" | cut -f1) KiB)"
