#!/bin/sh
# The installed-style run: ksx4sim creates a tester, ksx4ctl transfers its
# eight reports through ksx4sim run, and a second run (the tester has started
# anew and erased them) finds none. The reports go into the default archive
# (in XDG_DATA_HOME), whose workbooks are made again byte for byte.
# Usage: ksx4ctl_smoke.sh STAGE_BIN WORK_DIR
set -eu
bin=$1
work=$2
rm -rf "$work"
mkdir -p "$work/OUT"
export XDG_DATA_HOME="$work/data"
unset KSX4_ARCHIVE
"$bin/ksx4sim" init "$work/T" --reports 8 --devices 32 >/dev/null

"$bin/ksx4sim" run "$work/T" -- "$bin/ksx4ctl" transfer --folder "$work/OUT" >"$work/first.out" </dev/null
count=$(ls "$work/OUT" | grep -c '^Report [1-8] [0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]-[0-9][0-9]\.xls$')
[ "$count" -eq 8 ] || { echo "expected 8 workbooks, found $count"; ls "$work/OUT"; exit 1; }
# The closing status, the archive's line, then one line per report with
# an alarm or a warning ("Report 3: ...").
closing=$(grep -n '^Transferred all reports\.  Ready\.\.\.$' "$work/first.out" | cut -d: -f1)
[ -n "$closing" ] || { cat "$work/first.out"; exit 1; }
[ "$(sed -n "$((closing + 1))p" "$work/first.out")" = "Archived 8 reports in $work/data/ksx4-assistant/archive.sqlite" ] ||
  { cat "$work/first.out"; exit 1; }
if sed -n "$((closing + 2)),\$p" "$work/first.out" | grep -v '^Report [1-8]: '; then
  cat "$work/first.out"; exit 1
fi
indicator=$(od -An -tx1 -j114 -N2 "$work/T/1/eeprom.bin" | tr -d ' \n')
[ "$indicator" = "5555" ] || { echo "erase indicator is $indicator"; exit 1; }

"$bin/ksx4sim" run "$work/T" -- "$bin/ksx4ctl" transfer --folder "$work/OUT" >"$work/second.out" </dev/null
[ "$(tail -n 1 "$work/second.out")" = "No reports found in KSX-4.  Ready..." ] || { cat "$work/second.out"; exit 1; }
"$bin/ksx4ctl" archive list --format csv >"$work/list.csv"
[ "$(tail -n +2 "$work/list.csv" | wc -l)" -eq 8 ] || { cat "$work/list.csv"; exit 1; }
for id in 1 2 3 4 5 6 7 8; do
  "$bin/ksx4ctl" archive workbook "$id" --out "$work/again-$id.xls" </dev/null
  original=$("$bin/ksx4ctl" archive show "$id" --format json | python3 -c 'import json,sys; print(json.load(sys.stdin)["workbook"])')
  cmp "$work/again-$id.xls" "$original"
done
echo "ok"
