#!/usr/bin/env bash
# Takes the user guide's screenshots of the archive window, a report page and a
# trend chart under Xvfb, from reports the simulated tester transfers into a
# fresh archive: six transfers of the sample tester with other measurements
# each (its locations such as "Tank Farm North" six times over).
#   scripts/archive-screenshots.sh [OUTDIR]   (default docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/screenshots}")
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target ksx4sim ksx4ctl ksx4_com mpusbapi_sim ksx4_archive_screenshots
bin=$build/stage/bin
work=$(mktemp -d /tmp/ksx4-shots-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/out"
for seed in 1 2 3 4 5 6; do
  "$bin/ksx4sim" init "$work/tester" --reports 8 --devices 12 --varied-names --seed "$seed" --force >/dev/null
  "$bin/ksx4sim" run "$work/tester" -- "$bin/ksx4ctl" transfer --yes --folder "$work/out" \
    --archive "$work/archive.sqlite" >/dev/null
done
device=20  # the sample tester's first device address
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/tests/archive_view/ksx4_archive_screenshots" "$work/archive.sqlite" "Tank Farm North" \
  "$device" "$out"
echo "Screenshots in $out"
