#!/usr/bin/env bash
# Installs what is missing, builds the program and the database tool (not the tests: test.sh
# builds those), creates the main folder and the demo database when they are missing, and
# starts Tavrin. One line per step; the full output is in build/release/setup.log.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
build="$top/build/release"
"$top/scripts/setup.sh" --quiet "$build" tavrin tavrin-makedb
printf 'Demo database... '
if "$build/db/tavrin-makedb" >> "$build/setup.log" 2>&1; then
  echo "ok"
else
  echo "FAILED"
  cat "$build/setup.log" >&2
  exit 1
fi
echo "Starting Tavrin"
exec "$build/app/tavrin"
