#!/usr/bin/env bash
# The layer check against the project's own README.md, on small trees with one include each:
# it must catch an upward include and an edge between subsystems the table does not give, and
# let through what the table allows.
#   tests/scripts/checklayers_test.sh <checklayers.sh> <README.md>
set -uo pipefail
check=$1
readme=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# file | its include line | expected status | what the message must name ("" when passing)
cases='platform/a.cpp|#include "shell/qelmain.h"|1|platform/a.cpp:1: #include "shell/qelmain.h"
xls/a.cpp|  #  include "platform/helpers.h"|1|xls/ may include nothing of ours
reportengine/a.h|#include "db/database.h"|1|reportengine/a.h:1
shell/a.cpp|#include "gradeentry/qevutil.h"|1|shell/ may include only platform/, reportengine/
gradeentry/a.cpp|#include "makeup/qelfrec.h"|1|gradeentry/a.cpp:1: #include "makeup/qelfrec.h"
exports/a.cpp|#include "makeup/qelfrec.h"|1|exports/a.cpp:1
newfolder/a.cpp|#include "platform/helpers.h"|1|newfolder/: C++ sources, but no row
makeup/deep/a.cpp|#include "exchange/x.h"|1|makeup/deep/a.cpp:1
makeup/a.cpp|#include "gradeentry/qevutil.h"|0|
db/a.cpp|#include "reportengine/reporttemplate.h"|0|
platform/a.cpp|#include "platform/helpers.h"|0|
platform/a.cpp|// #include "shell/qelmain.h"|0|
platform/a.cpp|#include <shell/qelmain.h>|0|
app/a.cpp|#include "db/database.h"|0|
tests/a.cpp|#include "makeup/qelfrec.h"|0|
reports/templates/a.xml|#include "shell/qelmain.h"|0|'
failed=0
while IFS='|' read -r file include status message; do
  tree="$work/tree"
  rm -rf "$tree"
  mkdir -p "$tree"/{platform,xls,reportengine,db,shell,gradeentry,makeup,exchange,app,tests}
  cp "$readme" "$tree/README.md"
  echo 'int x;' > "$tree/platform/kept.cpp"
  mkdir -p "$tree/$(dirname "$file")"
  printf '%s\n' "$include" > "$tree/$file"
  output=$(bash "$check" "$tree" 2>&1)
  got=$?
  if [[ $got -ne $status || ($got -ne 0 && $output != *"$message"*) ]]; then
    printf 'FAIL %s with %s: status %s, output:\n%s\n' "$file" "$include" "$got" "$output"
    failed=1
  fi
done <<< "$cases"

# A README without the table must not pass every include.
printf '# Tavrin\n' > "$work/tree/README.md"
if bash "$check" "$work/tree" > /dev/null 2>&1; then
  echo "FAIL: a README without the layer table passed"
  failed=1
fi
exit $failed
