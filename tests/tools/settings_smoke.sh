#!/bin/sh
# The installed-style run of the settings commands: after ksx4ctl limits
# --defaults and names --defaults through ksx4sim run, the tester's EEPROM
# holds the factory limits (and 0 retransmits) and names, and no other byte
# has changed. Usage: settings_smoke.sh STAGE_BIN WORK_DIR
set -eu
bin=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
"$bin/ksx4sim" init "$work/T" --reports 2 >/dev/null
run() { "$bin/ksx4sim" run "$work/T" -- "$bin/ksx4ctl" "$@" </dev/null; }

# Away from the defaults first.
LC_ALL=C run limits --set voltage=20 signal=300 ff-avg=100 ff-peak=200 lf-avg=300 \
  lf-peak=400 hf-avg=500 hf-peak=600 retransmits=42 >"$work/set.out"
run names --set 1=Alpha 2=Beta 3=Gamma 4=Delta 5=Epsilon 6=Zeta 7=Eta 8=Theta >>"$work/set.out"
cp "$work/T/1/eeprom.bin" "$work/before.bin"
cp "$work/T/1/flash.bin" "$work/flash.bin"

run limits --defaults >"$work/limits.out"
[ "$(tail -n 1 "$work/limits.out")" = "OK/BAD limits written to KSX-4.  Ready..." ] || { cat "$work/limits.out"; exit 1; }
run names --defaults >"$work/names.out"
[ "$(tail -n 1 "$work/names.out")" = "Report names written to KSX-4.  Ready..." ] || { cat "$work/names.out"; exit 1; }

eeprom="$work/T/1/eeprom.bin"
limits=$(od -An -tx1 -j236 -N16 "$eeprom" | tr -d ' \n')
[ "$limits" = "2328009600960096004b004b00960096" ] || { echo "limits are $limits"; exit 1; }
retransmits=$(od -An -tx1 -j112 -N2 "$eeprom" | tr -d ' \n')
[ "$retransmits" = "0000" ] || { echo "retransmits limit is $retransmits"; exit 1; }
expected=""
for n in 1 2 3 4 5 6 7 8; do expected="$expected$(printf 'Report %s       ' "$n")"; done
names=$(dd if="$eeprom" bs=1 skip=116 count=120 2>/dev/null)
[ "$names" = "$expected" ] || { echo "names are '$names'"; exit 1; }
# Every changed byte lies in the fields written.
outside=$(cmp -l "$work/before.bin" "$eeprom" | awk '{a = $1 - 1} !(a == 112 || a == 113 || (a >= 116 && a <= 251)) {print a}')
[ -z "$outside" ] || { echo "bytes changed outside the fields: $outside"; exit 1; }
cmp -s "$work/flash.bin" "$work/T/1/flash.bin" || { echo "flash changed"; exit 1; }
echo "ok"
