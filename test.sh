#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest (offscreen).
# The database tests of the folders that opt in run a second time against a private Firebird
# server that CTest starts and stops (scripts/fbserver.sh); that server, and those some tests
# start of their own, are stopped here too when a run ends early.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
build="$top/build/test"
"$top/scripts/setup.sh" "$build"
export QT_QPA_PLATFORM=offscreen
stop_servers() {
  for instance in "$build"/fbserver*.instance; do
    [[ -f "$instance" ]] && "$top/scripts/fbserver.sh" stop "$instance"
  done
  return 0
}
trap stop_servers EXIT
cd "$build"
jobs=$(nproc 2>/dev/null || echo 2)
ctest --output-on-failure --parallel "$jobs"
