#!/usr/bin/env bash
# Builds the optimised configuration and runs every benchmark under bench/.
# Extra arguments go to each benchmark (e.g. --benchmark_repetitions=5).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release

find build/release/bench -type f -perm -u+x -name '*bench' | sort | while read -r bench; do
  echo "== ${bench#build/release/}"
  "$bench" "$@"
done
