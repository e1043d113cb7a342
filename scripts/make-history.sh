#!/usr/bin/env bash
# Fills an archive with histories of visits: each SCENARIO_DIR holds one
# tester description per visit (visit-01.json, visit-02.json, ...); every
# visit becomes a simulated tester (ksx4sim init --from) whose reports
# ksx4ctl transfer copies into ARCHIVE, as a technician's transfer after that
# visit would. Visits go in their number order, the scenarios' first visits
# first, so the archive's report numbers follow the visits.
#
# The reports keep the saved times their descriptions give (segments sort by
# them); the transfer times are the times this script runs.
#
# Usage: scripts/make-history.sh [--bin DIR] [--workbooks DIR] ARCHIVE SCENARIO_DIR...
#   --bin DIR        where ksx4sim and ksx4ctl are (default: build/release/stage/bin)
#   --workbooks DIR  where the transfers' workbooks go (default: beside an
#                    SQLite ARCHIVE, in ARCHIVE's name with -workbooks)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/build/release/stage/bin
workbooks=
while [[ $# -gt 0 ]]; do
  case $1 in
    --bin|--workbooks)
      [[ $# -ge 2 ]] || { echo "make-history.sh: $1 needs a folder" >&2; exit 2; }
      if [[ $1 == --bin ]]; then bin=$2; else workbooks=$2; fi
      shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "make-history.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
if [[ $# -lt 2 ]]; then
  echo "Usage: scripts/make-history.sh [--bin DIR] [--workbooks DIR] ARCHIVE SCENARIO_DIR..." >&2
  exit 2
fi
archive=$1
shift
if [[ -z "$workbooks" ]]; then
  if [[ "$archive" == postgresql://* ]]; then
    echo "make-history.sh: --workbooks DIR is needed with a PostgreSQL archive" >&2
    exit 2
  fi
  workbooks=${archive%.sqlite}-workbooks
fi
for program in ksx4sim ksx4ctl; do
  [[ -x "$bin/$program" ]] || { echo "make-history.sh: no $bin/$program (see --bin)" >&2; exit 2; }
done
for scenario in "$@"; do
  compgen -G "$scenario/visit-*.json" >/dev/null ||
    { echo "make-history.sh: $scenario holds no visit-*.json" >&2; exit 2; }
done

tester=$(mktemp -d)
trap 'rm -rf "$tester"' EXIT
last=$(for scenario in "$@"; do ls "$scenario"/visit-*.json; done |
  sed 's/.*visit-0*\([0-9][0-9]*\)\.json$/\1/' | sort -n | tail -1)
for ((visit = 1; visit <= last; visit++)); do
  number=$(printf '%02d' "$visit")
  for scenario in "$@"; do
    description=$scenario/visit-$number.json
    [[ -f "$description" ]] || continue
    name=$(basename "$scenario")
    out=$workbooks/$name/visit-$number
    mkdir -p "$out"
    "$bin/ksx4sim" init "$tester" --from "$description" --force >/dev/null
    if ! "$bin/ksx4sim" run "$tester" -- "$bin/ksx4ctl" transfer --folder "$out" \
        --archive "$archive" --yes </dev/null >"$out/transfer.log" 2>&1; then
      echo "make-history.sh: the transfer of $description failed:" >&2
      cat "$out/transfer.log" >&2
      exit 1
    fi
    echo "$name visit $number: $(grep '^Archived ' "$out/transfer.log" | head -1)"
  done
done
