#!/bin/sh
# scripts/make-history.sh with the staged programs, as demo.sh runs it: one
# scenario's visits transferred into a fresh archive give its two segments
# with a report per visit.
# Usage: make_history_smoke.sh STAGE_BIN SOURCE_DIR WORK_DIR
set -eu
bin=$1
source=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
scenario=$source/tests/scenarios/terminator-lost
visits=$(ls "$scenario"/visit-*.json | wc -l)
"$source/scripts/make-history.sh" --bin "$bin" "$work/archive.sqlite" "$scenario" >"$work/run.out"
[ "$(grep -c '^terminator-lost visit [0-9]*: Archived 2 reports' "$work/run.out")" -eq "$visits" ] ||
  { cat "$work/run.out"; exit 1; }
"$bin/ksx4ctl" archive segments --archive "$work/archive.sqlite" --format json >"$work/segments.json"
python3 - "$work/segments.json" "$visits" <<'PY'
import json, sys
segments = json.load(open(sys.argv[1]))
visits = int(sys.argv[2])
names = sorted(s["name"] for s in segments)
assert names == ["Tank Farm T-1", "Tank Farm T-2"], names
assert all(s["reports"] == visits for s in segments), segments
PY
echo "ok"
