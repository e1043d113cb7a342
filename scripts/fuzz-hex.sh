#!/usr/bin/env bash
# Fuzzes the link library's HEX reader with libFuzzer (clang, AddressSanitizer
# and UndefinedBehaviorSanitizer), seeded with the test firmware assembled by
# gpasm. Runs for 60 seconds, or as many as the first argument says; fails on
# a crash, a hang or a sanitizer report. Installs clang, its fuzzer runtime
# and gputils when they are missing (as root or through sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

packages=(cmake ninja-build clang-14 libclang-rt-14-dev gputils)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [[ ${#missing[@]} -gt 0 ]]; then
  sudo=()
  if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "Missing packages (${missing[*]}); run as root or install sudo." >&2; exit 1; }
    sudo=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DKSX4_LINKLIB_ONLY=ON -DKSX4_FUZZ=ON
cmake --build "$build" --target hex_reader_fuzz -j "${KSX4_JOBS:-2}"

# Seeds: every test firmware, with LF and with CR LF line ends. New inputs
# the fuzzer finds collect in the corpus folder and seed the next run.
seeds="$build/seeds"
corpus="$build/corpus"
mkdir -p "$seeds" "$corpus"
for source in tests/firmware/*.asm; do
  name=$(basename "$source" .asm)
  gpasm -q -I tests/firmware -o "$seeds/$name.hex" "$source"
  gpasm -q -n -I tests/firmware -o "$seeds/$name-crlf.hex" "$source"
done
rm -f "$seeds"/*.cod "$seeds"/*.lst

"$build/fuzz/hex_reader_fuzz" -max_total_time="$seconds" -timeout=10 -max_len=16384 \
  -dict=fuzz/hex.dict -print_final_stats=1 -artifact_prefix="$build/" "$corpus" "$seeds"
