#!/bin/sh
# ksx4ctl transfer --pdf through ksx4sim run: eight reports of a KSX-4 and of
# a KSX-4-PA become workbooks with their PDFs beside them, the erase
# indicator is written, and each PDF matches LibreOffice's printing of its
# workbook (skipped without LibreOffice). ksx4ctl archive pdf draws each
# archived report again: the same pages and texts (pdftotext, pdfinfo) as
# the PDF its transfer wrote. A PDF that cannot be written (a folder stands
# in its place) ends the transfer without the erase indicator.
# Usage: ksx4ctl_pdf_smoke.sh STAGE_BIN COMPARE_SCRIPT WORK_DIR
set -eu
bin=$1
compare=$2
work=$3
rm -rf "$work"
export XDG_DATA_HOME="$work/data"
unset KSX4_ARCHIVE
pages() { pdfinfo "$1" | sed -n 's/^Pages: *//p'; }
indicator() { od -An -tx1 -j114 -N2 "$1/1/eeprom.bin" | tr -d ' \n'; }

for kind in KSX-4 KSX-4-PA; do
  pa=""
  [ "$kind" = KSX-4-PA ] && pa="--pa"
  mkdir -p "$work/$kind/OUT"
  "$bin/ksx4sim" init "$work/$kind/T" --reports 8 --devices 32 $pa >/dev/null
  archive="$work/$kind/archive.sqlite"
  "$bin/ksx4sim" run "$work/$kind/T" -- "$bin/ksx4ctl" transfer --folder "$work/$kind/OUT" --pdf \
    --archive "$archive" \
    >"$work/$kind/transfer.out" 2>&1 </dev/null || { cat "$work/$kind/transfer.out"; exit 1; }
  for f in "$work/$kind/OUT"/*.xls; do
    [ -s "${f%.xls}.pdf" ] || { echo "no PDF beside $f"; ls "$work/$kind/OUT"; exit 1; }
  done
  count=$(ls "$work/$kind/OUT" | grep -c '\.pdf$')
  [ "$count" -eq 8 ] || { echo "$kind: expected 8 PDFs, found $count"; exit 1; }
  [ "$(indicator "$work/$kind/T")" = "5555" ] || { echo "$kind: no erase indicator"; exit 1; }
  for id in 1 2 3 4 5 6 7 8; do
    again="$work/$kind/again-$id.pdf"
    "$bin/ksx4ctl" archive pdf "$id" --out "$again" --archive "$archive" </dev/null 2>/dev/null
    workbook=$("$bin/ksx4ctl" archive show "$id" --format json --archive "$archive" |
      python3 -c 'import json,sys; print(json.load(sys.stdin)["workbook"])')
    original="${workbook%.xls}.pdf"
    pdftotext -layout "$again" "$again.txt"
    pdftotext -layout "$original" "$work/$kind/original-$id.txt"
    cmp "$again.txt" "$work/$kind/original-$id.txt" || { echo "$kind: report $id's texts differ"; exit 1; }
    grep -qF "$(basename "$workbook")" "$again.txt" || { echo "$kind: no file name footer"; exit 1; }
    [ "$(pages "$again")" = "$(pages "$original")" ] || { echo "$kind: report $id's pages differ"; exit 1; }
  done
done

mkdir -p "$work/blocked/OUT/Report 3 2025-08-02 21-28.pdf"
"$bin/ksx4sim" init "$work/blocked/T" --reports 8 --devices 32 >/dev/null
if "$bin/ksx4sim" run "$work/blocked/T" -- "$bin/ksx4ctl" transfer --folder "$work/blocked/OUT" \
     --pdf --yes >"$work/blocked/transfer.out" 2>&1 </dev/null; then
  echo "a transfer whose PDF could not be written succeeded"; exit 1
fi
grep -q "Reports will not be erased" "$work/blocked/transfer.out" || { cat "$work/blocked/transfer.out"; exit 1; }
[ "$(indicator "$work/blocked/T")" = "0000" ] || { echo "erase indicator written without every PDF"; exit 1; }

status=0
for kind in KSX-4 KSX-4-PA; do
  /usr/bin/python3 "$compare" "$work/$kind/OUT" || status=$?
  [ "$status" -eq 0 ] || exit "$status"
done
echo "ok"
