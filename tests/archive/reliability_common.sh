# Sourced by the archive reliability scripts, which set $bin (the staged
# programs) first: simulated testers, transfers through the real programs,
# the tester's erase indicator and what a whole report is in an archive.

# Every tester here holds 8 reports of 32 devices; a whole report in the
# archive has its source row and 10 segment values plus 3 per device.
values_per_report=106

# Reports that are not whole; the same query on both engines.
broken_reports_sql="SELECT COUNT(*) FROM report r
  WHERE NOT EXISTS (SELECT 1 FROM report_source s WHERE s.report_id = r.id)
     OR (SELECT COUNT(*) FROM judged_value v WHERE v.report_id = r.id) <> $values_per_report"

fail() {
  echo "$*" >&2
  exit 1
}

# new_tester DIR [SERIAL]
new_tester() {
  "$bin/ksx4sim" init "$1" --reports 8 --devices 32 --serial "${2:-1001}" >/dev/null
}

# The erase indicator of the tester in DIR: 5555 once the erase is requested.
indicator() {
  od -An -tx1 -j114 -N2 "$1/1/eeprom.bin" | tr -d ' \n'
}

# transfer TESTER OUT LOCATION [WRAPPER...]: a whole transfer into the new
# folder OUT, its output in OUT.log; returns the exit status. WRAPPER runs
# the transfer (a command that drops capabilities, say).
transfer() (
  tester=$1
  out=$2
  location=$3
  shift 3
  mkdir -p "$out"
  "$@" "$bin/ksx4sim" run "$tester" -- "$bin/ksx4ctl" transfer --folder "$out" --yes \
    --archive "$location" >"$out.log" 2>&1 </dev/null
)

# transfer_killed_at K TESTER OUT LOCATION: a transfer killed (SIGKILL) as the
# K-th report's workbook is started, or with K 9 after its last line.
transfer_killed_at() (
  mkdir -p "$3"
  rm -f "$3.status"
  mkfifo "$3.status"
  "$bin/ksx4sim" run "$2" -- "$bin/ksx4ctl" transfer --folder "$3" --yes \
    --archive "$4" >"$3.status" 2>"$3.log" </dev/null &
  pid=$!
  n=0
  while IFS= read -r line; do
    case "$line" in
      "Building location"*) n=$((n + 1)) ;;
      "Archived 8 reports"*) n=9 ;;
    esac
    if [ "$n" -eq "$1" ]; then
      kill -KILL "$pid" 2>/dev/null || true
      break
    fi
  done <"$3.status"
  wait "$pid" 2>/dev/null || true
)

# check_sqlite FILE: fails unless the SQLite archive passes its integrity
# check and holds only whole reports; prints their number (0 without a file).
check_sqlite() {
  [ -f "$1" ] || { echo 0; return; }
  python3 - "$1" "$broken_reports_sql" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
assert db.execute("PRAGMA integrity_check").fetchone()[0] == "ok", "integrity check"
if db.execute("SELECT COUNT(*) FROM sqlite_master WHERE name = 'report'").fetchone()[0] == 0:
    print(0)
    sys.exit()
broken = db.execute(sys.argv[2]).fetchone()[0]
assert broken == 0, f"{broken} reports are not whole"
print(db.execute("SELECT COUNT(*) FROM report").fetchone()[0])
PY
}

# after_kill WHAT TESTER ARCHIVED: the erase was requested only if all 8 of
# the tester's reports are among the ARCHIVED.
after_kill() (
  erase=$(indicator "$2")
  [ "$erase" != "5555" ] || [ "$3" -eq 8 ] || fail "$1: erase requested with $3 reports archived"
  echo "$1: $3 whole reports archived, erase indicator $erase"
)
