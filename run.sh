#!/usr/bin/env bash
# Installs what is missing, builds, creates the main folder and the demo database when they
# are missing, and starts Tavrin.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
build="$top/build/release"
"$top/scripts/setup.sh" "$build"
"$build/db/tavrin-makedb"
exec "$build/app/tavrin"
