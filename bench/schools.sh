# Sourced by bench/run.sh and bench/plancheck.sh.
# make_schools <top> <build>: the demo school at scale 1 and 10, <build>/bench/demo-scale1.fdb
# and demo-scale10.fdb, made by the demo tool of the build; made again when the demo tool's
# folder has changed since (its tree in git: uncommitted changes are not seen).
make_schools() {
  local top=$1 build=$2 made_from school scale
  made_from=$(git -C "$top" rev-parse HEAD:db 2>/dev/null || echo unknown)
  for scale in 1 10; do
    school="$build/bench/demo-scale$scale.fdb"
    if [[ ! -f "$school" || "$(cat "$school.made-from" 2>/dev/null)" != "$made_from" ]]; then
      rm -f "$school" "$school.made-from"
      "$build/db/tavrin-makedb" --scale "$scale" "$school"
      echo "$made_from" > "$school.made-from"
    fi
  done
}
