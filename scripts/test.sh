#!/usr/bin/env bash
# Sets everything up and runs every test: the optimised build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, and the Windows
# cross-build of the link library with its export check.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=${KSX4_JOBS:-$(nproc)}

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKSX4_SANITIZE=ON
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs"

if [[ -x scripts/check-windows-dll.sh ]]; then
  scripts/check-windows-dll.sh
fi
