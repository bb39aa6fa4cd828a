#!/usr/bin/env bash
# Builds the report expression language's libFuzzer target with clang and runs it for a
# bounded time, seeded with tests/platform/fuzz/report-seeds. Not part of CTest.
# Usage: tests/platform/fuzz/run_report_fuzzer.sh [seconds]
#   (findings land in build/fuzz-report/findings; a finding that was a real fault becomes a
#   case of tests/platform/reportexpr_test.cpp).
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
build="$top/build/fuzz-report"
seconds=${1:-120}
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVRIN_REPORT_FUZZ=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build "$build" --target report_fuzzer -j3
corpus="$build/corpus"
mkdir -p "$corpus" "$build/findings"
cp "$top"/tests/platform/fuzz/report-seeds/* "$corpus/"
cd "$build/findings"
"$build/tests/report_fuzzer" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=4096 "$corpus"
