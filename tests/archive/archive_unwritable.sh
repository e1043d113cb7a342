#!/bin/sh
# A transfer into an SQLite archive that cannot take its reports: its disk
# full (a small tmpfs in a mount namespace of its own) with no room at all or
# too little for one report, the file read-only, its folder read-only (run
# without the capabilities that let root ignore file modes). Each time the
# workbooks are written, the archive's reason is told, the erase is not
# requested, the exit status is 1 and the archive passes its integrity check
# with only whole reports; once the cause is gone, the next transfer
# archives all the reports and requests the erase. Needs root; exits 77
# without it or where mounting is not permitted.
# Usage: archive_unwritable.sh STAGE_BIN WORK_DIR
set -eu
bin=$1
work=$2
. "$(dirname "$0")/reliability_common.sh"
if [ "$(id -u)" -ne 0 ]; then
  echo "needs root (a tmpfs of its own, capabilities dropped)"
  exit 77
fi
if [ -z "${KSX4_OWN_MOUNTS:-}" ]; then
  unshare -m true 2>/dev/null || { echo "mount namespaces are not permitted"; exit 77; }
  exec unshare -m env KSX4_OWN_MOUNTS=1 sh "$0" "$@"
fi
rm -rf "$work"
mkdir -p "$work/disk"
if ! mount -t tmpfs -o size=1m ksx4-test "$work/disk" 2>/dev/null; then
  echo "mounting a tmpfs is not permitted"
  exit 77
fi
unprivileged="setpriv --inh-caps=-dac_override,-dac_read_search
  --bounding-set=-dac_override,-dac_read_search --"

# An archive holding another tester's 8 reports, copied in place for each case.
new_tester "$work/other" 1002
transfer "$work/other" "$work/other-out" "$work/base.sqlite" || fail "$(cat "$work/other-out.log")"

# refused CASE ARCHIVE REASON [WRAPPER...]: a fresh tester's transfer into
# ARCHIVE writes its workbooks but fails telling REASON and keeps the reports
# on the tester.
refused() (
  what=$1
  archive=$2
  reason=$3
  shift 3
  rm -rf "$work/T"
  new_tester "$work/T"
  status=0
  transfer "$work/T" "$work/$what" "$archive" "$@" || status=$?
  log=$(cat "$work/$what.log")
  [ "$status" -eq 1 ] || fail "$what: exit status $status: $log"
  [ "$(ls "$work/$what" | grep -c '\.xls$')" -eq 8 ] || fail "$what: not 8 workbooks"
  case "$log" in
    *Sanitizer* | *"runtime error"*) fail "$what: $log" ;;  # a sanitizer also exits 1
    *"could not be kept in the archive"*"$reason"*) ;;
    *) fail "$what: the reason \"$reason\" is not told: $log" ;;
  esac
  [ "$(indicator "$work/T")" = "0000" ] || fail "$what: erase requested"
  echo "$what: $(echo "$log" | grep '^Archive ')"
)
# archived ARCHIVE COUNT: the archive is sound and holds COUNT reports.
archived() {
  found=$(check_sqlite "$1")
  [ "$found" -eq "$2" ] || fail "$1: $found reports archived, not $2"
}
# accepted CASE ARCHIVE [WRAPPER...]: the same tester's next transfer
# archives all its reports and requests the erase.
accepted() (
  what=$1
  archive=$2
  shift 2
  transfer "$work/T" "$work/$what" "$archive" "$@" || fail "$what: $(cat "$work/$what.log")"
  [ "$(indicator "$work/T")" = "5555" ] || fail "$what: erase not requested"
  archived "$archive" 16
  echo "$what: all archived"
)

# No room for the archive's shared-memory file, then room for it but not
# for one report's log.
for free in 0 40; do
  rm -f "$work/disk/"*
  cp "$work/base.sqlite" "$work/disk/archive.sqlite"
  dd if=/dev/zero of="$work/disk/filler" bs=4k 2>/dev/null || true
  truncate -s "-${free}K" "$work/disk/filler"
  refused "full-disk-$free-KiB-free" "$work/disk/archive.sqlite" "disk is full"
  rm "$work/disk/filler"
  archived "$work/disk/archive.sqlite" 8
done
accepted "space-freed" "$work/disk/archive.sqlite"

mkdir "$work/file"
cp "$work/base.sqlite" "$work/file/archive.sqlite"
chmod 0444 "$work/file/archive.sqlite"
# shellcheck disable=SC2086
refused "read-only-file" "$work/file/archive.sqlite" "the file is read-only" $unprivileged
archived "$work/file/archive.sqlite" 8
chmod 0644 "$work/file/archive.sqlite"
# shellcheck disable=SC2086
accepted "file-made-writable" "$work/file/archive.sqlite" $unprivileged

mkdir "$work/folder"
cp "$work/base.sqlite" "$work/folder/archive.sqlite"
chmod 0555 "$work/folder"
# shellcheck disable=SC2086
refused "read-only-folder" "$work/folder/archive.sqlite" "cannot make the archive's -wal and -shm files in $work/folder" $unprivileged
archived "$work/folder/archive.sqlite" 8
echo "ok"
