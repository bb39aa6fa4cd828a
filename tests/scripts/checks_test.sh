#!/usr/bin/env bash
# The source checks on small trees with one line each. The layer check, against the project's
# own README.md, must catch an upward include and an edge between subsystems the table does not
# give, and let through what the table allows. The writers' check must catch a file opened for
# writing, a path handed to a library that writes it, and a folder made, anywhere but in the one
# mechanism, and let through what is no writer.
#   tests/scripts/checks_test.sh <checklayers.sh> <checkwriters.sh> <README.md>
set -uo pipefail
declare -A checks=([layers]=$1 [writers]=$2)
readme=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# check @ file @ its line @ expected status @ what the message must name ("" when passing)
cases='layers@platform/a.cpp@#include "shell/qelmain.h"@1@platform/a.cpp:1: #include "shell/qelmain.h"
layers@xls/a.cpp@  #  include "platform/helpers.h"@1@xls/ may include nothing of ours
layers@reportengine/a.h@#include "db/database.h"@1@reportengine/a.h:1
layers@shell/a.cpp@#include "gradeentry/qevutil.h"@1@shell/ may include only platform/, reportengine/
layers@gradeentry/a.cpp@#include "makeup/qelfrec.h"@1@gradeentry/a.cpp:1: #include "makeup/qelfrec.h"
layers@exports/a.cpp@#include "makeup/qelfrec.h"@1@exports/a.cpp:1
layers@newfolder/a.cpp@#include "platform/helpers.h"@1@newfolder/: C++ sources, but no row
layers@makeup/deep/a.cpp@#include "exchange/x.h"@1@makeup/deep/a.cpp:1
layers@makeup/a.cpp@#include "gradeentry/qevutil.h"@0@
layers@db/a.cpp@#include "reportengine/reporttemplate.h"@0@
layers@platform/a.cpp@#include "platform/helpers.h"@0@
layers@platform/a.cpp@// #include "shell/qelmain.h"@0@
layers@platform/a.cpp@#include <shell/qelmain.h>@0@
layers@app/a.cpp@#include "db/database.h"@0@
layers@tests/a.cpp@#include "makeup/qelfrec.h"@0@
layers@reports/templates/a.xml@#include "shell/qelmain.h"@0@
writers@exchange/a.cpp@    if (!file.open(QIODevice::WriteOnly))@1@exchange/a.cpp:1: if (!file.open(QIODevice::WriteOnly)): opens a file for writing
writers@exchange/a.cpp@QBuffer reply; reply.open(QIODevice::WriteOnly);@0@
writers@platform/a.cpp@const int fd = ::open(name, O_WRONLY | O_CREAT, 0644);@1@opens a file for writing
writers@reports/a.cpp@QSaveFile out(path);@1@writes a file itself
writers@platform/a.cpp@FILE *f = fopen(path, "w");@1@hands a path to the C or C++ library
writers@exports/a.cpp@std::ofstream out(path);@1@hands a path to the C or C++ library
writers@platform/a.cpp@zip_file_t *f = zip_fopen_index(archive, i, 0);@0@
writers@exchange/a.cpp@zip_t *z = zip_open(path, ZIP_CREATE | ZIP_TRUNCATE, &code);@1@hands a path to libzip
writers@reports/a.cpp@image.save(path);@1@saves an image to a path
writers@gradeentry/a.cpp@painter.save();@0@
writers@shell/a.cpp@printer.setOutputFileName(path);@1@hands a path to QPrinter
writers@makeup/a.cpp@QPrinter printer;@1@makeup/a.cpp:1: QPrinter printer;: prints beside the print output
writers@exports/a.cpp@QDir().mkpath(folder);@1@makes a folder
writers@platform/a.cpp@if (mkdir(name.constData(), 0700) != 0)@1@makes a folder
writers@app/a.cpp@QTemporaryDir look;@1@makes a temporary folder
writers@exchange/a.h@std::unique_ptr<QTemporaryDir> m_folder;@0@
writers@platform/fileaccess.cpp@if (::mkdir(name.constData(), bits) != 0)@0@
writers@platform/temppath.cpp@static QTemporaryDir dir(QDir::tempPath());@0@
writers@platform/a.cpp@    // QDir().mkpath(folder) is not used here@0@
writers@tests/a.cpp@QDir().mkpath(folder);@0@
writers@bench/a.cpp@QSaveFile out(path);@0@'
failed=0
while IFS='@' read -r which file text status message; do
  tree="$work/tree"
  rm -rf "$tree"
  mkdir -p "$tree"/{platform,xls,reportengine,db,shell,gradeentry,makeup,exchange,app,tests}
  cp "$readme" "$tree/README.md"
  echo 'int x;' > "$tree/platform/kept.cpp"
  mkdir -p "$tree/$(dirname "$file")"
  printf '%s\n' "$text" > "$tree/$file"
  output=$(bash "${checks[$which]}" "$tree" 2>&1)
  got=$?
  if [[ $got -ne $status || ($got -ne 0 && $output != *"$message"*) ]]; then
    printf 'FAIL %s: %s with %s: status %s, output:\n%s\n' "$which" "$file" "$text" "$got" "$output"
    failed=1
  fi
done <<< "$cases"

# A README without the table must not pass every include.
printf '# Tavrin\n' > "$work/tree/README.md"
if bash "${checks[layers]}" "$work/tree" > /dev/null 2>&1; then
  echo "FAIL: a README without the layer table passed"
  failed=1
fi
exit $failed
