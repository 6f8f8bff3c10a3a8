#!/usr/bin/env bash
# Starts a private PostgreSQL server for the tests in a temporary folder, as the postgres
# user, listening on 127.0.0.1 only. Prints the environment lines the tests read.
#   tools/pg.sh start DIR PORT    tools/pg.sh stop DIR
#   tools/pg.sh restart DIR       (pg_ctl restart -m fast, as an administrator restarts it)
#   tools/pg.sh pause DIR SECONDS (stopped for a while, then started again)
set -euo pipefail
cmd=$1 dir=$2
bindir=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
run_as_postgres() {
  if [ "$(id -u)" -eq 0 ]; then su postgres -s /bin/bash -c "$*"; else bash -c "$*"; fi
}
# The server outlives this script: it must not inherit any descriptor of the caller's (a
# lock held around a test run would stay held by the server).
for fd in /proc/$$/fd/*; do
  fd=${fd##*/}
  [ "$fd" -gt 2 ] 2>/dev/null && eval "exec $fd>&-" 2>/dev/null || true
done
case "$cmd" in
start)
  port=${3:-55432}
  mkdir -p "$dir"
  [ "$(id -u)" -eq 0 ] && chown postgres:postgres "$dir"
  run_as_postgres "'$bindir/initdb' -D '$dir/data' -U postgres -A trust -E UTF8 --locale=C.UTF-8 >'$dir/initdb.log' 2>&1"
  echo "-p $port -k '$dir' -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200" >"$dir/options"
  run_as_postgres "'$bindir/pg_ctl' -D '$dir/data' -l '$dir/server.log' -w -t 60 \
      -o \"\$(cat '$dir/options')\" start" >/dev/null
  echo "TUSHU_PG_HOST=127.0.0.1 TUSHU_PG_PORT=$port TUSHU_PG_USER=postgres"
  ;;
restart)
  run_as_postgres "'$bindir/pg_ctl' -D '$dir/data' -l '$dir/server.log' -m fast -w -t 60 restart" >/dev/null
  ;;
pause)
  run_as_postgres "'$bindir/pg_ctl' -D '$dir/data' -m fast -w stop" >/dev/null
  sleep "${3:-3}"
  run_as_postgres "'$bindir/pg_ctl' -D '$dir/data' -l '$dir/server.log' -w -t 60 \
      -o \"\$(cat '$dir/options')\" start" >/dev/null
  ;;
stop)
  run_as_postgres "'$bindir/pg_ctl' -D '$dir/data' -m fast -w stop" >/dev/null 2>&1 || true
  ;;
esac
