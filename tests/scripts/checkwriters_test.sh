#!/usr/bin/env bash
# The writers' check on small trees with one line each: it must catch a file opened for writing,
# a path handed to a library that writes it, and a folder made, anywhere but in the one
# mechanism, and let through what is not a writer.
#   tests/scripts/checkwriters_test.sh <checkwriters.sh>
set -uo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# file @ its line @ expected status @ what the message must name ("" when passing)
cases='exchange/a.cpp@    if (!file.open(QIODevice::WriteOnly))@1@exchange/a.cpp:1: if (!file.open(QIODevice::WriteOnly)): opens a file for writing
exchange/a.cpp@QBuffer reply; reply.open(QIODevice::WriteOnly);@0@
platform/a.cpp@const int fd = ::open(name, O_WRONLY | O_CREAT, 0644);@1@opens a file for writing
reports/a.cpp@QSaveFile out(path);@1@writes a file itself
platform/a.cpp@FILE *f = fopen(path, "w");@1@hands a path to the C or C++ library
exports/a.cpp@std::ofstream out(path);@1@hands a path to the C or C++ library
platform/a.cpp@zip_file_t *f = zip_fopen_index(archive, i, 0);@0@
exchange/a.cpp@zip_t *z = zip_open(path, ZIP_CREATE | ZIP_TRUNCATE, &code);@1@hands a path to libzip
reports/a.cpp@image.save(path);@1@saves an image to a path
gradeentry/a.cpp@painter.save();@0@
shell/a.cpp@printer.setOutputFileName(path);@1@hands a path to QPrinter
makeup/a.cpp@QPrinter printer;@1@makeup/a.cpp:1: QPrinter printer;: prints beside the print output
exports/a.cpp@QDir().mkpath(folder);@1@makes a folder
platform/a.cpp@if (mkdir(name.constData(), 0700) != 0)@1@makes a folder
app/a.cpp@QTemporaryDir look;@1@makes a temporary folder
exchange/a.h@std::unique_ptr<QTemporaryDir> m_folder;@0@
platform/fileaccess.cpp@if (::mkdir(name.constData(), bits) != 0)@0@
platform/temppath.cpp@static QTemporaryDir dir(QDir::tempPath());@0@
platform/a.cpp@    // QDir().mkpath(folder) is not used here@0@
tests/a.cpp@QDir().mkpath(folder);@0@
bench/a.cpp@QSaveFile out(path);@0@'
failed=0
while IFS='@' read -r file text status message; do
  tree="$work/tree"
  rm -rf "$tree"
  mkdir -p "$tree/platform" "$tree/$(dirname "$file")"
  echo 'int x;' > "$tree/platform/kept.cpp"
  printf '%s\n' "$text" > "$tree/$file"
  output=$(bash "$check" "$tree" 2>&1)
  got=$?
  if [[ $got -ne $status || ($got -ne 0 && $output != *"$message"*) ]]; then
    printf 'FAIL %s with %s: status %s, output:\n%s\n' "$file" "$text" "$got" "$output"
    failed=1
  fi
done <<< "$cases"
exit $failed
