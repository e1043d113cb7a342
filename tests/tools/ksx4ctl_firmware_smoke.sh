#!/bin/sh
# The installed-style firmware update: gpasm assembles the test firmware,
# ksx4ctl loads it into a tester ksx4sim made, through ksx4sim run; the flash
# then holds srec_cat's conversion of the file over 0x0800..0x7FFF and the
# boot block as it was. Exits 77 (skipped) without gpasm or srec_cat.
# Usage: ksx4ctl_firmware_smoke.sh STAGE_BIN FIRMWARE_SOURCES WORK_DIR
set -eu
bin=$1
sources=$2
work=$3
command -v gpasm >/dev/null && command -v srec_cat >/dev/null || { echo "needs gpasm and srec_cat"; exit 77; }
rm -rf "$work"
mkdir -p "$work"
"$bin/ksx4sim" init "$work/T" --reports 2 >/dev/null
cp "$work/T/1/flash.bin" "$work/before.bin"
gpasm -q -I "$sources" -o "$work/fw.hex" "$sources/ksx4_firmware.asm"
srec_cat "$work/fw.hex" -Intel -crop 0x0800 0x8000 -fill 0xFF 0x0800 0x8000 \
  -offset -0x0800 -o "$work/expected.bin" -Binary

"$bin/ksx4sim" run "$work/T" -- "$bin/ksx4ctl" firmware "$work/fw.hex" --yes >"$work/out" 2>"$work/err" </dev/null \
  || { cat "$work/out" "$work/err"; exit 1; }
[ "$(tail -n 1 "$work/out")" = "KSX-4 firmware loaded.  Ready..." ] || { cat "$work/out"; exit 1; }
grep -q "$(printf '\r')" "$work/out" && { echo "elapsed time written to a file"; exit 1; }
tail -c +2049 "$work/T/1/flash.bin" >"$work/application.bin"
cmp "$work/application.bin" "$work/expected.bin"
cmp -n 2048 "$work/T/1/flash.bin" "$work/before.bin"
echo "ok"
