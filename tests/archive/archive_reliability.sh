#!/bin/sh
# The archive under the real programs: a transfer killed (SIGKILL) as each
# report's workbook is started leaves an archive that passes its integrity
# check and holds only whole reports, and the erase is requested only when
# every report is in it; two transfers into one SQLite file at once both
# succeed. Usage: archive_reliability.sh STAGE_BIN WORK_DIR
set -eu
bin=$1
work=$2
rm -rf "$work"
mkdir -p "$work"

# Integrity, and every report with all its values (10 segment rows and 3 per
# device); prints the number of reports.
check_archive() {
  python3 - "$1" "$2" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
assert db.execute("PRAGMA integrity_check").fetchone()[0] == "ok"
devices = int(sys.argv[2])
rows = db.execute("SELECT r.id, r.devices, COUNT(v.position) FROM report r "
                  "LEFT JOIN judged_value v ON v.report_id = r.id GROUP BY r.id").fetchall()
for id, n, values in rows:
    assert n == devices and values == 10 + 3 * devices, (id, n, values)
sources = db.execute("SELECT COUNT(*) FROM report_source").fetchone()[0]
assert sources == len(rows), (sources, len(rows))
print(len(rows))
PY
}

indicator() {
  od -An -tx1 -j114 -N2 "$1/1/eeprom.bin" | tr -d ' \n'
}

# Kill after the k-th "Building location" line (9: after the last status).
for k in 1 2 3 4 5 6 7 8 9; do
  t="$work/kill$k"
  mkdir -p "$t/OUT"
  "$bin/ksx4sim" init "$t/T" --reports 8 --devices 32 >/dev/null
  mkfifo "$t/status"
  "$bin/ksx4sim" run "$t/T" -- "$bin/ksx4ctl" transfer --folder "$t/OUT" --yes \
    --archive "$t/archive.sqlite" >"$t/status" 2>"$t/err" </dev/null &
  pid=$!
  n=0
  while IFS= read -r line; do
    case "$line" in
      "Building location"*) n=$((n + 1)) ;;
      "Archived 8 reports"*) n=9 ;;
    esac
    if [ "$n" -eq "$k" ]; then
      kill -KILL "$pid" 2>/dev/null || true
      break
    fi
  done <"$t/status"
  wait "$pid" 2>/dev/null || true
  archived=0
  [ -f "$t/archive.sqlite" ] && archived=$(check_archive "$t/archive.sqlite" 32)
  if [ "$(indicator "$t/T")" = "5555" ] && [ "$archived" -ne 8 ]; then
    echo "killed at $k: erase requested with $archived reports archived"
    exit 1
  fi
  echo "killed at $k: $archived whole reports archived, erase indicator $(indicator "$t/T")"
done

# Two transfers at once into one archive, from two testers.
t="$work/two"
mkdir -p "$t/OUT1" "$t/OUT2"
"$bin/ksx4sim" init "$t/T1" --reports 8 --devices 32 --serial 1001 >/dev/null
"$bin/ksx4sim" init "$t/T2" --reports 8 --devices 32 --serial 1002 >/dev/null
"$bin/ksx4sim" run "$t/T1" -- "$bin/ksx4ctl" transfer --folder "$t/OUT1" \
  --archive "$t/archive.sqlite" >"$t/out1" 2>&1 </dev/null &
first=$!
"$bin/ksx4sim" run "$t/T2" -- "$bin/ksx4ctl" transfer --folder "$t/OUT2" \
  --archive "$t/archive.sqlite" >"$t/out2" 2>&1 </dev/null &
second=$!
status=0
wait "$first" || { echo "first transfer failed"; cat "$t/out1"; status=1; }
wait "$second" || { echo "second transfer failed"; cat "$t/out2"; status=1; }
[ "$status" -eq 0 ] || exit 1
[ "$(check_archive "$t/archive.sqlite" 32)" -eq 16 ] || { echo "expected 16 reports"; exit 1; }
[ "$(indicator "$t/T1")" = "5555" ] && [ "$(indicator "$t/T2")" = "5555" ]
echo "ok"
