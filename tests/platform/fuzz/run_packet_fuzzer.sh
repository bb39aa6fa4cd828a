#!/usr/bin/env bash
# Builds the packet readers' libFuzzer target with clang and runs it for a bounded time,
# seeded with the packet fixtures. Not part of CTest.
# Usage: tests/platform/fuzz/run_packet_fuzzer.sh [seconds]
#   (findings land in build/fuzz-packets/findings; a finding that was a real fault goes into
#   tests/platform/fixtures/packets/found/, which the robustness test reads).
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
build="$top/build/fuzz-packets"
seconds=${1:-120}
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVRIN_PACKET_FUZZ=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build "$build" --target packet_fuzzer -j3
corpus="$build/corpus"
mkdir -p "$corpus" "$build/findings"
cp "$top"/tests/platform/fixtures/packets/*.* "$corpus/"
[ -d "$top/tests/platform/fixtures/packets/found" ] && cp "$top"/tests/platform/fixtures/packets/found/* "$corpus/" 2>/dev/null || true
cd "$build/findings"
"$build/tests/packet_fuzzer" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=4096 "$corpus"
