#!/usr/bin/env bash
# Sets everything up, builds, installs into build/demo/prefix, creates a
# simulated tester with eight stored reports (unless one exists) and starts
# the assistant on it. --fresh replaces an existing simulated tester (a
# complete transfer tells the tester to erase its reports at its next start).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --demo

prefix=$PWD/build/demo/prefix
sim=$PWD/build/demo/tester
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release
cmake --install build/release --prefix "$prefix" >/dev/null

if [[ "${1:-}" == "--fresh" ]]; then
  rm -rf "$sim"
fi
if [[ ! -d "$sim/1" ]]; then
  "$prefix/bin/ksx4sim" init "$sim" --reports 8 --devices 12
fi

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found. To run the assistant on a virtual display:"
  echo "  xvfb-run -a $prefix/bin/ksx4sim run $sim -- $prefix/bin/ksx4_assistant"
  echo "or the whole demo: xvfb-run -a scripts/demo.sh"
  exit 1
fi
echo "Every transfer also keeps its reports in the archive"
echo "  ${KSX4_ARCHIVE:-${XDG_DATA_HOME:-$HOME/.local/share}/ksx4-assistant/archive.sqlite}"
echo "(list them with: $prefix/bin/ksx4ctl archive list)"
exec "$prefix/bin/ksx4sim" run "$sim" -- "$prefix/bin/ksx4_assistant"
