#!/usr/bin/env bash
# Cross-compiles the link library for 32-bit Windows (mingw-w64) into
# build/windows and checks that ksx4_com.dll exports exactly the nine
# undecorated names.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/windows
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DKSX4_LINKLIB_ONLY=ON
cmake --build "$build" --target ksx4_com -j "${KSX4_JOBS:-$(nproc)}"

dll="$build/stage/lib/ksx4/ksx4_com.dll"
expected="TessCommBootLoad
TessCommCloseDevice
TessCommEraseFlash
TessCommGetDeviceCount
TessCommOpenDevice
TessCommReadEEMemory
TessCommReadFlashMemory
TessCommResetBoard
TessCommWriteEEMemory"

# The names follow the "[Ordinal/Name Pointer] Table" heading up to the next blank line.
actual=$(i686-w64-mingw32-objdump -p "$dll" |
  awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && NF == 0 {on = 0} on {print $NF}' |
  sort)

if [[ "$actual" != "$expected" ]]; then
  echo "ksx4_com.dll exports differ from the nine names:" >&2
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  exit 1
fi
if ! i686-w64-mingw32-objdump -f "$dll" | grep -q 'pei-i386'; then
  echo "ksx4_com.dll is not a 32-bit Windows DLL" >&2
  exit 1
fi
echo "ksx4_com.dll exports exactly the nine names"
