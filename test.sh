#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest (offscreen).
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
build="$top/build/test"
"$top/scripts/setup.sh" "$build"
export QT_QPA_PLATFORM=offscreen
cd "$build"
jobs=$(nproc 2>/dev/null || echo 2)
ctest --output-on-failure --parallel "$jobs"
