#!/bin/sh
# A transfer into a PostgreSQL archive killed (SIGKILL) while the first
# workbook is built (nothing archived yet), while the fifth is (four
# archived), and inside a report's transaction (held at its values by a
# table lock, then released): the archive holds only whole reports and the
# erase is requested only when all are in it; the next transfer archives the
# rest and requests it. Each case has a database of its own on the test
# server whose socket is in PG_SOCKET_DIR; exits 77 when there is none.
# Usage: archive_reliability_postgres.sh STAGE_BIN WORK_DIR PG_SOCKET_DIR
set -eu
bin=$1
work=$2
socket=$3
export PGOPTIONS="-c client_min_messages=warning"
. "$(dirname "$0")/reliability_common.sh"

psql=$(ls /usr/lib/postgresql/*/bin/psql 2>/dev/null | sort -V | tail -n 1 || true)
[ -n "$psql" ] || psql=$(command -v psql || true)
# sql DATABASE STATEMENT...: one result per line, fields separated by |.
sql() (
  db=$1
  shift
  for statement; do set -- "$@" -c "$statement"; shift; done
  "$psql" -X -q -At -v ON_ERROR_STOP=1 -h "$socket" -U ksx4 -d "$db" "$@"
)
if [ -z "$psql" ] || ! sql postgres "SELECT 1" >/dev/null 2>&1; then
  echo "no PostgreSQL test server on $socket (ctest starts one; needs Debian's postgresql)"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work"

fresh_database() (
  sql postgres "DROP DATABASE IF EXISTS $1" "CREATE DATABASE $1"
)
uri() {
  echo "postgresql://ksx4@/$1?host=$socket"
}
# The whole reports in DATABASE (0 before the archive made its tables).
whole_reports() (
  [ "$(sql "$1" "SELECT to_regclass('report') IS NOT NULL")" = "t" ] || { echo 0; return; }
  broken=$(sql "$1" "$broken_reports_sql")
  [ "$broken" -eq 0 ] || fail "$1: $broken reports are not whole"
  sql "$1" "SELECT COUNT(*) FROM report"
)
# until_true DATABASE QUERY: asks again until QUERY gives true.
until_true() (
  tries=0
  until [ "$(sql "$1" "$2")" = "t" ]; do
    tries=$((tries + 1))
    [ "$tries" -lt 2000 ] || fail "$1: never true: $2"
  done
)

db=reliability_kill_first
fresh_database "$db"
new_tester "$work/T1"
transfer_killed_at 1 "$work/T1" "$work/OUT1" "$(uri "$db")"
archived=$(whole_reports "$db")
after_kill "killed at the first workbook" "$work/T1" "$archived"

db=reliability_kill_later
fresh_database "$db"
new_tester "$work/T2"
transfer_killed_at 5 "$work/T2" "$work/OUT2" "$(uri "$db")"
archived=$(whole_reports "$db")
[ "$archived" -eq 4 ] || fail "killed at the fifth workbook: $archived reports archived, not 4"
after_kill "killed at the fifth workbook" "$work/T2" "$archived"

# The same tester again: its first four reports are already kept; the fifth
# is stored until its values wait for the lock, and is killed there.
mkfifo "$work/locker"
sql "$db" <"$work/locker" >/dev/null &
locker=$!
exec 3>"$work/locker"
echo "BEGIN; LOCK TABLE judged_value IN EXCLUSIVE MODE;" >&3
until_true "$db" "SELECT EXISTS (SELECT 1 FROM pg_locks
  WHERE relation = 'judged_value'::regclass AND mode = 'ExclusiveLock' AND granted)"
mkdir -p "$work/OUT3"
"$bin/ksx4sim" run "$work/T2" -- "$bin/ksx4ctl" transfer --folder "$work/OUT3" --yes \
  --archive "$(uri "$db")" >"$work/OUT3.log" 2>&1 </dev/null &
pid=$!
until_true "$db" "SELECT EXISTS (SELECT 1 FROM pg_locks
  WHERE relation = 'judged_value'::regclass AND NOT granted)"
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
echo "COMMIT;" >&3
exec 3>&-
wait "$locker"
# The killed client's server process ends once it finds its client gone.
until_true "$db" "SELECT NOT EXISTS (SELECT 1 FROM pg_stat_activity
  WHERE datname = current_database() AND pid <> pg_backend_pid())"
archived=$(whole_reports "$db")
[ "$archived" -eq 4 ] || fail "killed inside the fifth report's transaction: $archived archived"
after_kill "killed inside the fifth report's transaction" "$work/T2" "$archived"

transfer "$work/T2" "$work/OUT4" "$(uri "$db")" || { cat "$work/OUT4.log"; fail "last transfer failed"; }
archived=$(whole_reports "$db")
[ "$archived" -eq 8 ] && [ "$(indicator "$work/T2")" = "5555" ] ||
  fail "after the last transfer: $archived archived, erase indicator $(indicator "$work/T2")"
grep -q "^Archived 8 reports in .* (4 already there)$" "$work/OUT4.log" || fail "$(cat "$work/OUT4.log")"

# A lock another connection holds and never lets go: the transfer fails
# after the lock time-out (shortened here through the server's setting,
# which the program keeps where it is tighter) as for an unreachable
# server: every workbook written, the reason named, no erase requested.
new_tester "$work/T5" 1005
mkfifo "$work/holder"
sql "$db" <"$work/holder" >/dev/null &
holder=$!
exec 4>"$work/holder"
echo "BEGIN; LOCK TABLE judged_value IN EXCLUSIVE MODE;" >&4
until_true "$db" "SELECT EXISTS (SELECT 1 FROM pg_locks
  WHERE relation = 'judged_value'::regclass AND mode = 'ExclusiveLock' AND granted)"
status=0
PGOPTIONS="$PGOPTIONS -c lock_timeout=300" transfer "$work/T5" "$work/OUT5" "$(uri "$db")" || status=$?
echo "ROLLBACK;" >&4
exec 4>&-
wait "$holder"
[ "$status" -eq 1 ] || fail "a held lock: exit status $status, not 1: $(cat "$work/OUT5.log")"
[ "$(ls "$work/OUT5" | grep -c '\.xls$')" -eq 8 ] || fail "a held lock: not every workbook written"
[ "$(indicator "$work/T5")" != "5555" ] || fail "a held lock: the erase was requested"
grep -q "another connection held a lock on the archive for too long" "$work/OUT5.log" ||
  fail "a held lock: no reason: $(cat "$work/OUT5.log")"
! grep -q "QSql\|QPSQL\|WARNING" "$work/OUT5.log" || fail "a held lock: $(cat "$work/OUT5.log")"
echo "a held lock: the transfer failed with its reason, 8 workbooks, no erase"
echo "ok"
