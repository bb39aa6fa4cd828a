#!/usr/bin/env bash
# Builds the workbook library's libFuzzer target with clang and runs it for a bounded time,
# seeded with the fixtures and their Workbook streams. Not part of CTest.
# Usage: tests/xls/fuzz/run_fuzzer.sh [seconds]   (findings land in build/fuzz/findings)
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
build="$top/build/fuzz"
seconds=${1:-120}
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVRIN_XLS_FUZZ=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build "$build" --target xls_fuzzer -j3
corpus="$build/corpus"
mkdir -p "$corpus" "$build/findings"
cp "$top"/tests/xls/fixtures/*.xls "$corpus/"
for f in "$top"/tests/xls/fixtures/*.xls; do
  /usr/bin/python3 -c 'import olefile,sys; sys.stdout.buffer.write(olefile.OleFileIO(sys.argv[1]).openstream("Workbook").read())' \
    "$f" > "$corpus/$(basename "$f" .xls).stream"
done
cd "$build/findings"
"$build/tests/xls/xls_fuzzer" -max_total_time="$seconds" -max_len=300000 -rss_limit_mb=4096 "$corpus"
