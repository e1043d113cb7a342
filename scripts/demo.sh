#!/usr/bin/env bash
# Sets everything up, builds, installs into build/demo/prefix, creates a
# simulated tester with eight stored reports (unless one exists) and the
# demo's own archive, already holding a year of visits to the segments of
# tests/scenarios (unless it exists), and starts the assistant on both. The
# demo never writes into the user's own archive. --fresh replaces an existing
# simulated tester (a complete transfer tells the tester to erase its reports
# at its next start) and the demo's archive.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --demo

prefix=$PWD/build/demo/prefix
sim=$PWD/build/demo/tester
archive=$PWD/build/demo/archive.sqlite
workbooks=$PWD/build/demo/archive-workbooks
complete=$PWD/build/demo/archive.complete
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release
cmake --install build/release --prefix "$prefix" >/dev/null

if [[ "${1:-}" == "--fresh" ]]; then
  rm -rf "$sim" "$complete"
fi
if [[ ! -d "$sim/1" ]]; then
  "$prefix/bin/ksx4sim" init "$sim" --reports 8 --devices 12
fi
if [[ ! -f "$complete" ]]; then
  # Made anew when missing or when an earlier run stopped half-way.
  echo "Filling the demo's archive with a year of visits (about a minute)..."
  rm -rf "$archive" "$archive"-* "$workbooks"
  scripts/make-history.sh --bin "$prefix/bin" --workbooks "$workbooks" "$archive" \
    tests/scenarios/*/ >/dev/null
  touch "$complete"
fi
export KSX4_ARCHIVE=$archive

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found. To run the assistant on a virtual display:"
  echo "  KSX4_ARCHIVE=$archive xvfb-run -a $prefix/bin/ksx4sim run $sim -- $prefix/bin/ksx4_assistant"
  echo "or the whole demo: xvfb-run -a scripts/demo.sh"
  exit 1
fi
echo "The demo's archive, with a year of visits; the demo's transfers go there too:"
echo "  $archive"
echo "(list them with: KSX4_ARCHIVE=$archive $prefix/bin/ksx4ctl archive list)"
exec "$prefix/bin/ksx4sim" run "$sim" -- "$prefix/bin/ksx4_assistant"
