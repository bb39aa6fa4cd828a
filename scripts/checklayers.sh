#!/usr/bin/env bash
# The layer check: every `#include "<folder>/..."` in a code folder names the folder itself or a
# folder that the folder's row of the layer table in the top README.md ("## The layers") lets
# it include. That table is the one statement of the rule: a new edge is a changed row there.
# Prints each offending file, line and include, and fails; a folder holding C++ sources without
# a row fails too, as does a README whose table cannot be read.
#   scripts/checklayers.sh [source-folder]        (default: this script's project)
set -euo pipefail
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}

# One line per row: the folder, then what it may include ("*" for anything).
rules=$(awk -F'|' '
  /^## The layers/ { inside = 1; next }
  /^## / { inside = 0 }
  inside && NF >= 4 && $3 ~ /`[a-z]+\/`/ {
    allowed = ($4 ~ /everything/) ? "*" : ""
    rest = $4
    while (allowed != "*" && match(rest, /`[a-z]+\/`/)) {
      allowed = allowed " " substr(rest, RSTART + 1, RLENGTH - 3)
      rest = substr(rest, RSTART + RLENGTH)
    }
    folders = $3
    while (match(folders, /`[a-z]+\/`/)) {
      print substr(folders, RSTART + 1, RLENGTH - 3) " " allowed
      folders = substr(folders, RSTART + RLENGTH)
    }
  }' "$top/README.md")
if ! grep -q '^platform ' <<< "$rules"; then
  echo "README.md: no layer table under \"## The layers\" (no row for platform/)" >&2
  exit 1
fi

failures=0
include='^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"/]+/'
for dir in "$top"/*/; do
  folder=$(basename "$dir")
  # Build folders hold generated sources, not ours.
  [[ $folder == build* || -f $dir/CMakeCache.txt ]] && continue
  mapfile -t sources < <(find "$dir" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
  ((${#sources[@]})) || continue
  row=$(awk -v f="$folder" '$1 == f { $1 = ""; print; found = 1 } END { exit !found }' \
          <<< "$rules") || {
    echo "$folder/: C++ sources, but no row in the layer table of README.md" >&2
    failures=$((failures + 1))
    continue
  }
  [[ $row == " *" ]] && continue
  may=$(sed -E 's/ ([a-z]+)/ \1\//g; s/^ /only /; s/^$/nothing of ours/; s/\/ /\/, /g' <<< "$row")
  while IFS=: read -r file line text; do
    target=
    [[ $text =~ \"([^\"/]+)/ ]] && target=${BASH_REMATCH[1]}
    [[ $target == "$folder" || ! -d $top/$target ]] && continue
    [[ " $row " == *" $target "* ]] && continue
    echo "${file#"$top"/}:$line: ${text#"${text%%[![:space:]]*}"}:" \
         "$folder/ may include $may (the layer table of README.md)" >&2
    failures=$((failures + 1))
  done < <(grep -nHE "$include" "${sources[@]}" || true)
done
((failures == 0)) || { echo "$failures include(s) against the layers" >&2; exit 1; }
echo "layers: every folder includes only what README.md allows"
