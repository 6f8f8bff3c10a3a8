#!/usr/bin/env bash
# Installs what is missing, builds, creates a demo library when there is none, and starts
# the program on it. With --web first, the reader web portal starts beside it on the same
# library (http://127.0.0.1:8080/ unless TUSHU_WEB_LISTEN says otherwise) and stops with it.
set -euo pipefail
cd "$(dirname "$0")"
web=0
if [ "${1:-}" = "--web" ]; then
  web=1
  shift
fi
tools/deps.sh
tools/build.sh
demo=${TUSHU_DEMO_DIR:-$PWD/demo}
if [ ! -f "$demo/book.mdb" ]; then
  ./build/tushu --init "$demo" --demo
fi
if [ "$web" -eq 0 ]; then
  exec ./build/tushu --dir "$demo" "$@"
fi
./build/tushu-web --dir "$demo" --listen "${TUSHU_WEB_LISTEN:-127.0.0.1:8080}" &
portal=$!
trap 'kill "$portal" 2>/dev/null || true' EXIT
./build/tushu --dir "$demo" "$@"
