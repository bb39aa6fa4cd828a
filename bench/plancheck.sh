#!/usr/bin/env bash
# The plan check, in one command: the benchmarks of the report cards, boards and registers, of
# the sends and of the collections run once on a copy of the demo school at scale 1, recording
# every statement text they run (TAVRIN_BENCH_STATEMENTS, their timings skipped); then each text
# is planned on the school at scale 1 and at scale 10 (bench/plancheck.cpp), printed with its
# plans, and the check fails (status 1) where a plan reads whole a table that grows with the
# school. The outputs stay in <build>/plancheck.
#   bench/plancheck.sh [build-folder]        (default build/bench, shared with bench/run.sh)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$top/build/bench}")
benches=(reports_stampe_bench reports_registri_bench exchange_teacherfolders_bench
         exchange_classexport_bench exchange_collect_bench exchange_websend_bench
         exchange_webcollect_bench)

"$top/scripts/setup.sh" --quiet "$build" tavrin-makedb
cmake -S "$top" -B "$build" -DTAVRIN_BENCH=ON > /dev/null
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)" \
  --target plancheck "${benches[@]}"
export QT_QPA_PLATFORM=offscreen
source "$top/bench/schools.sh"
make_schools "$top" "$build"

# The benchmarks write into their school: they work on a copy.
out="$build/plancheck"
rm -rf "$out"
mkdir -p "$out"
cp "$build/bench/demo-scale1.fdb" "$out/school.fdb"
for bench in "${benches[@]}"; do
  echo "recording the statements of $bench"
  TAVRIN_BENCH_DATABASE="$out/school.fdb" TAVRIN_BENCH_STATEMENTS="$out/statements.sql" \
    "$build/bench/$bench" --benchmark_filter=NoBenchmarkIsTimedHere > "$out/$bench.txt" 2>&1 ||
    { cat "$out/$bench.txt"; exit 1; }
done
rm -f "$out/school.fdb"
status=0
"$build/bench/plancheck" "$out/statements.sql" "$build/bench/demo-scale1.fdb" \
  "$build/bench/demo-scale10.fdb" > "$out/plans.txt" || status=$?
# The statements and their plans are in the file; what the check found ends it.
sed -n '/^[0-9]* statement texts, each planned/,$p' "$out/plans.txt"
echo "plans: $out/plans.txt"
exit "$status"
