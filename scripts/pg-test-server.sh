#!/usr/bin/env bash
# A throw-away PostgreSQL server for the archive tests:
#   pg-test-server.sh start DIR [--durable]
#                                 initdb into DIR/data, listen only on a Unix
#                                 socket in DIR (no TCP), user ksx4, trust;
#                                 without --durable commits skip fsync (tests)
#   pg-test-server.sh halt DIR    stop it at once, keeping its data
#   pg-test-server.sh resume DIR  start a halted server again
#   pg-test-server.sh stop DIR    stop it and remove DIR
# Run as root, the server runs as the unprivileged user nobody (PostgreSQL
# refuses root). Exits 77 where no PostgreSQL server is installed.
set -euo pipefail
action=${1:?start or stop}
dir=${2:?folder}
durable=${3:-}

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [[ -z "$bin" || ! -x "$bin/initdb" ]]; then
  echo "PostgreSQL server binaries not found (Debian package postgresql)" >&2
  exit 77
fi

as_server() {
  if [[ $(id -u) -eq 0 ]]; then
    runuser -u nobody -- "$@"
  else
    "$@"
  fi
}

case "$action" in
  start)
    if [[ -d "$dir" ]]; then
      as_server "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
      rm -rf "$dir"
    fi
    mkdir -p "$dir"
    [[ $(id -u) -eq 0 ]] && chown nobody "$dir"
    as_server "$bin/initdb" -D "$dir/data" -U ksx4 --auth=trust --no-locale -E UTF8 \
      >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
    options="-c fsync=off"
    [[ "$durable" == --durable ]] && options=""
    echo "$options" >"$dir/options"
    "$0" resume "$dir"
    echo "PostgreSQL test server on socket folder $dir"
    ;;
  resume)
    as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
      -o "-k $dir -c listen_addresses= $(cat "$dir/options")" start >/dev/null ||
      { cat "$dir/server.log" >&2; exit 1; }
    ;;
  halt)
    as_server "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null
    ;;
  stop)
    if [[ -d "$dir/data" ]]; then
      as_server "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 ||
        as_server "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "unknown action: $action" >&2
    exit 2
    ;;
esac
