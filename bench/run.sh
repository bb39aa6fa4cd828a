#!/usr/bin/env bash
# Every benchmark in one command: configures with the benchmarks on, builds, makes the demo
# school at scale 1 and 10, starts a private Firebird server (scripts/fbserver.sh, stopped at
# the end), and runs each benchmark. Those over the demo school run four times: scale 1 and
# 10, with the embedded engine and against the server; the others once. The grade windows'
# benchmark and the preparation of the report cards, boards and general registers (scale 1 and
# 10) run three times more, against the server through a relay adding 0, 1 and 4 ms to each
# round trip. Each prints its own comparison lines at its end; they are repeated together at
# the end of the run, after the machine's load, which weighs on every time.
#   bench/run.sh [build-folder]        (default build/bench)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/bench}

# Every bench/*_bench.cpp; those that open the demo school (benchsupport.h) are the school's.
school_benches=()
other_benches=()
for source in "$top"/bench/*_bench.cpp; do
  name=$(basename "$source" .cpp)
  if grep -q '#include "bench/benchsupport.h"' "$source"; then
    school_benches+=("$name")
  else
    other_benches+=("$name")
  fi
done

load() { cut -d' ' -f1-3 /proc/loadavg; }
busiest() {
  printf 'machine: %s cores, load %s; the busiest processes (%%CPU, command):\n' \
    "$(nproc)" "$(load)"
  ps -eo pcpu=,comm= --sort=-pcpu | head -n 5 | sed 's/^/  /'
}

# What only the benchmarks compare with, never what the program needs (packages.txt):
# python3-reportlab writes the PDF export's pages beside ours. Installed when missing and run
# as root; otherwise that comparison is skipped.
bench_packages=(python3-reportlab)
bench_missing=()
for pkg in "${bench_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
    bench_missing+=("$pkg")
done
if ((${#bench_missing[@]})); then
  if [[ $(id -u) -eq 0 ]]; then
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${bench_missing[@]}" > /dev/null
  else
    echo "Not installed, their comparisons skipped: ${bench_missing[*]}" >&2
  fi
fi

# The packages, the configuration and the demo tool; then the benchmarks alone.
"$top/scripts/setup.sh" --quiet "$build" tavrin-makedb
cmake -S "$top" -B "$build" -DTAVRIN_BENCH=ON > /dev/null
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)" \
  --target "${school_benches[@]}" "${other_benches[@]}"
export QT_QPA_PLATFORM=offscreen
source "$top/bench/schools.sh"
make_schools "$top" "$build"

instance="$build/fbserver.instance"
trap '"$top/scripts/fbserver.sh" stop "$instance"' EXIT
"$top/scripts/fbserver.sh" start "$instance"
server_ini="$(head -n 1 "$instance")/server.ini"
value() { sed -n "s/^$1=//p" "$server_ini"; }
server="$(value Host)/$(value Port)"
data=$(value Data)
password=$(value Password)

outputs="$build/bench-output"
rm -rf "$outputs"
mkdir -p "$outputs"
sections=()
# run <title> <command...>: one benchmark, its output kept for the summary.
run() {
  local title=$1
  shift
  sections+=("$title")
  printf '\n===== %s (load %s)\n' "$title" "$(load)"
  "$@" 2>&1 | tee "$outputs/${#sections[@]}.txt"
}

printf '\n'
busiest
for bench in "${other_benches[@]}"; do
  run "$bench" "$build/bench/$bench"
done
# on_school <database> <password> <benchmark> [argument...]; the password stays out of the
# process list. The school at scale 1 is named beside it, for the benchmarks that compare how
# a read grows with the school (exports_growth_bench).
on_school() {
  local scale1=$build/bench/demo-scale1.fdb
  [[ $1 == "$server:"* ]] && scale1=$server:$data/demo-scale1.fdb
  TAVRIN_BENCH_DATABASE=$1 TAVRIN_BENCH_PASSWORD=$2 TAVRIN_BENCH_SCALE1_DATABASE=$scale1 \
    TAVRIN_BENCH_SCALE1_PASSWORD=$2 "$build/bench/$3" "${@:4}"
}
for scale in 1 10; do
  cp "$build/bench/demo-scale$scale.fdb" "$data/"
  for bench in "${school_benches[@]}"; do
    run "$bench, scale $scale, embedded" \
      on_school "$build/bench/demo-scale$scale.fdb" "" "$bench"
    run "$bench, scale $scale, server $server" \
      on_school "$server:$data/demo-scale$scale.fdb" "$password" "$bench"
  done
done

# The report cards' memory with every name in Arabic and in Devanagari script, shaped and drawn
# from another font (the benchmark writes the names on a copy of the school; its timed steps
# are skipped).
for script in arabic devanagari; do
  run "reports_stampe_bench, scale 10, embedded, names in $script script" \
    env TAVRIN_BENCH_NAMES=$script TAVRIN_BENCH_DATABASE="$build/bench/demo-scale10.fdb" \
    "$build/bench/reports_stampe_bench" --benchmark_filter=NoBenchmarkIsTimedHere
done

# The grade windows and the reports as an office meets them over a LAN or Wi-Fi: the
# school on the server through a relay of our own (bench/latencyrelay.h) that holds each
# direction half the round trip; the benchmarks print the statements and round trips beside
# their times. The reports are prepared alone (their PDF export reads nothing).
through_relay() { TAVRIN_BENCH_ROUND_TRIP_US=$1 on_school "$2" "$3" "${@:4}"; }
for round_trip in 0 1000 4000; do
  run "gradeentry_carcls_bench, scale 10, server $server through a relay adding $round_trip us" \
    through_relay "$round_trip" "$server:$data/demo-scale10.fdb" "$password" \
    gradeentry_carcls_bench
  for scale in 1 10; do
    run "reports_stampe_bench, scale $scale, server $server through a relay adding $round_trip us" \
      through_relay "$round_trip" "$server:$data/demo-scale$scale.fdb" "$password" \
      reports_stampe_bench --benchmark_filter='Prepared<'
  done
done

# The lines each benchmark printed after its table; all it printed when it has no table (those
# that time the work in turns on their own, as the teachers' folders).
printf '\n===== summary\n'
busiest
for i in "${!sections[@]}"; do
  printf '\n%s\n' "${sections[$i]}"
  awk 'after { print; next } /^-+$/ { rules++ } rules >= 2 && /^$/ { after = 1 }
       { all[NR] = $0 } END { if (!rules) for (n = 1; n <= NR; n++) print all[n] }' \
    "$outputs/$((i + 1)).txt" | sed '/^$/d; s/^/  /'
done
