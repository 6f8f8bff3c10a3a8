#!/usr/bin/env bash
# Starts a private PostgreSQL server for the tests in a temporary folder, as the postgres
# user, listening on 127.0.0.1 only. Prints the environment lines the tests read.
#   tools/pg.sh start DIR PORT    tools/pg.sh stop DIR
set -euo pipefail
cmd=$1 dir=$2
bindir=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
run_as_postgres() {
  if [ "$(id -u)" -eq 0 ]; then su postgres -s /bin/bash -c "$*"; else bash -c "$*"; fi
}
case "$cmd" in
start)
  port=${3:-55432}
  mkdir -p "$dir"
  [ "$(id -u)" -eq 0 ] && chown postgres:postgres "$dir"
  run_as_postgres "'$bindir/initdb' -D '$dir/data' -U postgres -A trust -E UTF8 --locale=C.UTF-8 >'$dir/initdb.log' 2>&1"
  run_as_postgres "'$bindir/pg_ctl' -D '$dir/data' -l '$dir/server.log' -w -t 60 \
      -o \"-p $port -k '$dir' -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200\" start" >/dev/null
  echo "TUSHU_PG_HOST=127.0.0.1 TUSHU_PG_PORT=$port TUSHU_PG_USER=postgres"
  ;;
stop)
  run_as_postgres "'$bindir/pg_ctl' -D '$dir/data' -m fast -w stop" >/dev/null 2>&1 || true
  ;;
esac
