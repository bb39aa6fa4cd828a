#!/usr/bin/env bash
# Every benchmark in one command: configures with the benchmarks on, builds, makes the demo
# school at scale 1 and 10, starts a private Firebird server (scripts/fbserver.sh, stopped at
# the end), and runs each benchmark. Those over the demo school run four times: scale 1 and
# 10, with the embedded engine and against the server; the others once. Each prints its own
# comparison lines at its end.
#   bench/run.sh [build-folder]        (default build/bench)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/bench}

# The benchmarks over the demo school (openDemoSchool, benchsupport.h): a new one is one more
# name here. The others need no database.
school_benches=(gradeentry_bench gradeentry_carcls_bench platform_datapacket_bench)
other_benches=(platform_bench xls_bench)

# The packages, the configuration and the demo tool; then the benchmarks alone.
"$top/scripts/setup.sh" --quiet "$build" tavrin-makedb
cmake -S "$top" -B "$build" -DTAVRIN_BENCH=ON > /dev/null
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)" \
  --target "${school_benches[@]}" "${other_benches[@]}"
export QT_QPA_PLATFORM=offscreen
for scale in 1 10; do
  school="$build/bench/demo-scale$scale.fdb"
  [[ -f "$school" ]] || "$build/db/tavrin-makedb" --scale "$scale" "$school"
done

instance="$build/fbserver.instance"
trap '"$top/scripts/fbserver.sh" stop "$instance"' EXIT
"$top/scripts/fbserver.sh" start "$instance"
server_ini="$(head -n 1 "$instance")/server.ini"
value() { sed -n "s/^$1=//p" "$server_ini"; }
server="$(value Host)/$(value Port)"
data=$(value Data)
password=$(value Password)

for bench in "${other_benches[@]}"; do
  printf '\n===== %s\n' "$bench"
  "$build/bench/$bench"
done
for scale in 1 10; do
  cp "$build/bench/demo-scale$scale.fdb" "$data/"
  for bench in "${school_benches[@]}"; do
    printf '\n===== %s, scale %s, embedded\n' "$bench" "$scale"
    TAVRIN_BENCH_DATABASE="$build/bench/demo-scale$scale.fdb" "$build/bench/$bench"
    printf '\n===== %s, scale %s, server %s\n' "$bench" "$scale" "$server"
    TAVRIN_BENCH_DATABASE="$server:$data/demo-scale$scale.fdb" TAVRIN_BENCH_PASSWORD="$password" \
      "$build/bench/$bench"
  done
done
