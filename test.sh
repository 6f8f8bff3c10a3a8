#!/usr/bin/env bash
# Installs what is missing, builds, starts a private PostgreSQL server and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
tools/deps.sh
tools/build.sh

pgdir=$(mktemp -d /tmp/tushu-pg.XXXXXX)
chmod 755 "$pgdir"
port=${TUSHU_TEST_PG_PORT:-55432}
while (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; do port=$((port + 1)); done
cleanup() { "$root/tools/pg.sh" stop "$pgdir" || true; rm -rf "$pgdir"; }
trap cleanup EXIT
eval "export $(tools/pg.sh start "$pgdir" "$port")"
export TUSHU_REQUIRE_PG=1 QT_QPA_PLATFORM=offscreen
# The server-restart test starts a server of its own with this script.
export TUSHU_PG_SCRIPT="$root/tools/pg.sh"

cd build
ctest --output-on-failure -j2 "$@"

# The fuzz targets, briefly (tools/fuzz.sh runs them a minute each by default). The caller
# holds the build lock, if any, for the whole of this script.
cd "$root"
TUSHU_BUILD_LOCK= TUSHU_FUZZ_SEED=${TUSHU_FUZZ_SEED:-1} tools/fuzz.sh "${TUSHU_FUZZ_SECONDS:-15}"
