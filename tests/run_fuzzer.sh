#!/usr/bin/env bash
# Builds the workbook library's libFuzzer target with clang and runs it for a bounded time,
# seeded with the fixtures and their Workbook streams. Not part of CTest.
# Usage: tests/xls/fuzz/run_fuzzer.sh [seconds] [fixture names]
#   (findings land in build/fuzz/findings). Naming fixtures (e.g. "drawings rich") seeds a
#   corpus of their Workbook streams alone, which keeps the mutations on those records.
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
build="$top/build/fuzz"
seconds=${1:-120}
shift || true
names=("$@")
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVRIN_XLS_FUZZ=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build "$build" --target xls_fuzzer -j3
corpus="$build/corpus"
fixtures=("$top"/tests/xls/fixtures/*.xls)
if [ ${#names[@]} -gt 0 ]; then
  corpus="$build/corpus-$(IFS=-; echo "${names[*]}")"
  fixtures=()
  for n in "${names[@]}"; do fixtures+=("$top/tests/xls/fixtures/$n.xls"); done
fi
mkdir -p "$corpus" "$build/findings"
[ ${#names[@]} -gt 0 ] || cp "${fixtures[@]}" "$corpus/"
for f in "${fixtures[@]}"; do
  /usr/bin/python3 -c 'import olefile,sys; sys.stdout.buffer.write(olefile.OleFileIO(sys.argv[1]).openstream("Workbook").read())' \
    "$f" > "$corpus/$(basename "$f" .xls).stream"
done
cd "$build/findings"
"$build/tests/xls/xls_fuzzer" -max_total_time="$seconds" -max_len=300000 -rss_limit_mb=4096 "$corpus"
