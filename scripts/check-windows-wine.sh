#!/usr/bin/env bash
# Cross-compiles the link library for 64-bit Windows (mingw-w64) into
# build/windows64 together with a Windows test program and the tests' own
# mpusbapi.dll, and runs them under Wine. Where Wine is missing or cannot
# start, says so and skips.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/windows64
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DKSX4_LINKLIB_ONLY=ON -DKSX4_WINE_TESTS=ON --no-warn-unused-cli \
  >/dev/null
cmake --build "$build" --target ksx4_com_wine_tests -j "${KSX4_JOBS:-$(nproc)}"

# Debian 12's wine64 installs only /usr/lib/wine/wine64; other setups name it
# wine64 or wine on the PATH. KSX4_WINE names another one.
wine=
for candidate in ${KSX4_WINE:-} wine64 /usr/lib/wine/wine64 wine; do
  if command -v "$candidate" >/dev/null; then
    wine=$(command -v "$candidate")
    break
  fi
done
if [[ -z "$wine" ]]; then
  echo "Wine tests skipped: no wine64 or wine found"
  exit 0
fi

# A prefix of our own inside the build tree (Wine wants one owned by the user
# that runs it, root included), no Mono or Gecko installers, no debug chatter.
export WINEPREFIX="$PWD/$build/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
if ! timeout 300 "$wine" wineboot --init >"$build/wineboot.log" 2>&1; then
  echo "Wine tests skipped: $wine cannot start (see $build/wineboot.log)"
  exit 0
fi

cd "$build"
status=0
timeout 300 "$wine" tests/windows/ksx4_com_wine_tests.exe stage/lib/ksx4/ksx4_com.dll \
  tests/windows/scripted tests/windows/without_read_int | tr -d '\r' || status=$?
"$(dirname "$wine")/wineserver" -k 2>/dev/null || wineserver -k 2>/dev/null || true
if [[ $status -ne 0 ]]; then
  echo "Wine tests of ksx4_com.dll (64-bit) failed" >&2
  exit 1
fi
