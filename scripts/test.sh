#!/usr/bin/env bash
# Sets everything up and runs every test: the Windows cross-builds of the
# link library (export check, Wine run), the Debian package and its checks,
# the optimised build, and the AddressSanitizer + UndefinedBehaviorSanitizer
# build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=${KSX4_JOBS:-$(nproc)}

scripts/check-format.sh

# The Windows builds and the package checks first, so that the test summary of
# the sanitizer build is the last thing printed.
scripts/check-windows-dll.sh
scripts/check-windows-wine.sh
scripts/check-package.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKSX4_SANITIZE=ON
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs"
