#!/bin/sh
# The archive under the real programs: a transfer killed (SIGKILL) as each
# report's workbook is started leaves an archive that passes its integrity
# check and holds only whole reports, and the erase is requested only when
# every report is in it; two transfers into one SQLite file at once both
# succeed. Usage: archive_reliability.sh STAGE_BIN WORK_DIR
set -eu
bin=$1
work=$2
. "$(dirname "$0")/reliability_common.sh"
rm -rf "$work"
mkdir -p "$work"

for k in 1 2 3 4 5 6 7 8 9; do
  t="$work/kill$k"
  new_tester "$t/T"
  transfer_killed_at "$k" "$t/T" "$t/OUT" "$t/archive.sqlite"
  archived=$(check_sqlite "$t/archive.sqlite")
  after_kill "killed at $k" "$t/T" "$archived"
done

# Two transfers at once into one archive, from two testers.
t="$work/two"
new_tester "$t/T1" 1001
new_tester "$t/T2" 1002
transfer "$t/T1" "$t/OUT1" "$t/archive.sqlite" &
first=$!
transfer "$t/T2" "$t/OUT2" "$t/archive.sqlite" &
second=$!
status=0
wait "$first" || { echo "first transfer failed"; cat "$t/OUT1.log"; status=1; }
wait "$second" || { echo "second transfer failed"; cat "$t/OUT2.log"; status=1; }
[ "$status" -eq 0 ] || exit 1
[ "$(check_sqlite "$t/archive.sqlite")" -eq 16 ] || fail "expected 16 reports"
[ "$(indicator "$t/T1")" = "5555" ] && [ "$(indicator "$t/T2")" = "5555" ]
echo "ok"
