#!/usr/bin/env bash
# Builds one of the libFuzzer targets with clang and runs it for a bounded time, seeded with
# its fixtures. Not part of CTest.
# Usage: tests/run_fuzzer.sh <xls|report|packet> [seconds] [fixture names]
#   xls: the workbook library's open-and-save, seeded with the workbook fixtures and their
#     Workbook streams. Naming fixtures (e.g. "drawings rich") seeds a corpus of their
#     Workbook streams alone, which keeps the mutations on those records.
#   report: the report expression language, seeded with tests/reportengine/fuzz/report-seeds; a
#     finding that was a real fault becomes a case of tests/reportengine/reportexpr_test.cpp.
#   packet: the packet readers, seeded with the packet fixtures; a finding that was a real
#     fault goes into tests/platform/fixtures/packets/found/, which the robustness test reads.
# Findings land in build/fuzz-<target>/findings.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?"usage: $0 <xls|report|packet> [seconds] [fixture names]"}
seconds=${2:-120}
shift $(($# < 2 ? $# : 2))
names=("$@")
build="$top/build/fuzz-$target"
corpus="$build/corpus"
case "$target" in
  xls) option=TAVRIN_XLS_FUZZ; binary=tests/xls/xls_fuzzer; max_len=300000 ;;
  report) option=TAVRIN_REPORT_FUZZ; binary=tests/report_fuzzer; max_len=4096 ;;
  packet) option=TAVRIN_PACKET_FUZZ; binary=tests/packet_fuzzer; max_len=65536 ;;
  *) echo "unknown target: $target (xls, report or packet)" >&2; exit 2 ;;
esac
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -D"$option"=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build "$build" --target "${target}_fuzzer" -j3

seed_xls() {
  local fixtures=("$top"/tests/xls/fixtures/*.xls)
  if [ ${#names[@]} -gt 0 ]; then
    corpus="$build/corpus-$(IFS=-; echo "${names[*]}")"
    fixtures=()
    for n in "${names[@]}"; do fixtures+=("$top/tests/xls/fixtures/$n.xls"); done
  fi
  mkdir -p "$corpus"
  [ ${#names[@]} -gt 0 ] || cp "${fixtures[@]}" "$corpus/"
  for f in "${fixtures[@]}"; do
    /usr/bin/python3 -c 'import olefile,sys; sys.stdout.buffer.write(olefile.OleFileIO(sys.argv[1]).openstream("Workbook").read())' \
      "$f" > "$corpus/$(basename "$f" .xls).stream"
  done
}

case "$target" in
  xls) seed_xls ;;
  report) mkdir -p "$corpus" && cp "$top"/tests/reportengine/fuzz/report-seeds/* "$corpus/" ;;
  packet)
    mkdir -p "$corpus"
    cp "$top"/tests/platform/fixtures/packets/*.* "$corpus/"
    cp "$top"/tests/platform/fixtures/packets/found/* "$corpus/" 2>/dev/null || true
    ;;
esac
mkdir -p "$build/findings"
cd "$build/findings"
"$build/$binary" -max_total_time="$seconds" -max_len="$max_len" -rss_limit_mb=4096 "$corpus"
