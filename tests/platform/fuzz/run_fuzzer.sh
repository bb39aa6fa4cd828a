#!/usr/bin/env bash
# Builds the report expression language's libFuzzer target with clang and runs it for a
# bounded time, seeded with tests/platform/fuzz/seeds. Not part of CTest.
# Usage: tests/platform/fuzz/run_fuzzer.sh [seconds]   (findings land in build/fuzz/findings)
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
build="$top/build/fuzz"
seconds=${1:-120}
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVRIN_REPORT_FUZZ=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build "$build" --target report_fuzzer -j3
corpus="$build/corpus-report"
mkdir -p "$corpus" "$build/findings"
cp "$top"/tests/platform/fuzz/seeds/* "$corpus/"
cd "$build/findings"
"$build/tests/report_fuzzer" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=4096 "$corpus"
