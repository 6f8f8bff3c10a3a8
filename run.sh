#!/usr/bin/env bash
# Installs what is missing, builds, creates a demo library when there is none, and starts
# the program on it.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
tools/build.sh
demo=${TUSHU_DEMO_DIR:-$PWD/demo}
if [ ! -f "$demo/book.mdb" ]; then
  ./build/tushu --init "$demo" --demo
fi
exec ./build/tushu --dir "$demo" "$@"
