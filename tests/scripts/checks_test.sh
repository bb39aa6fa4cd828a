#!/usr/bin/env bash
# The source checks on small trees with one line each. The layer check, against the project's
# own README.md, must catch an upward include and an edge between subsystems the table does not
# give, and let through what the table allows. The writers' check must catch a file opened for
# writing, a path handed to a library that writes it, and a folder made, anywhere but in the one
# mechanism and however spelled, and let through what is no writer: its rows are compiled (with
# the Qt and libzip headers) into a build folder in the tree, where CMake puts a target's objects.
#   tests/scripts/checks_test.sh <checklayers.sh> <checkwriters.sh> <README.md> [c++ compiler]
set -uo pipefail
declare -A checks=([layers]=$1 [writers]=$2)
readme=$3
cxx=${4:-c++}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The headers every row may use, compiled once.
printf '#include <%s>\n' QBuffer QDir QFile QImage QImageWriter QPainter QPrinter QSaveFile \
  QTemporaryDir QTextDocument QTextDocumentWriter cstdio cstdlib fcntl.h filesystem fstream \
  memory sys/stat.h unistd.h zip.h > "$work/prelude.h"
read -r -a flags <<< "-std=c++20 -fPIC -O2 -g $(pkg-config --cflags Qt6PrintSupport libzip)"
if ! "$cxx" "${flags[@]}" -x c++-header "$work/prelude.h" -o "$work/prelude.h.gch"; then
  echo "FAIL: the rows' headers do not compile with $cxx"
  exit 1
fi
# compile <tree> <source>: its object where CMake puts a target's.
compile() {
  local relative=${2#"$1"/}
  local object
  object="$1/build/$(dirname "$relative")/CMakeFiles/t.dir/$(basename "$relative").o"
  mkdir -p "$(dirname "$object")"
  "$cxx" "${flags[@]}" -include "$work/prelude.h" -c "$2" -o "$object"
}

# check @ file @ its lines (\n between two) @ expected status @ what the message must name
# ("" when passing)
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
writers@exchange/a.cpp@void f(const QString &p) { QFile file(p); file.open(QIODevice::WriteOnly); }@1@exchange/a.cpp:1: void f(const QString &p) { QFile file(p); file.open(QIODevice::WriteOnly); }: opens a file for writing
writers@exchange/a.cpp@void f() { QBuffer reply; reply.open(QIODevice::WriteOnly); }@0@
writers@exchange/a.cpp@void g() { QBuffer reply; reply.open(QIODevice::WriteOnly); }\nvoid f(const QString &p) { QFile reply(p); reply.open(QIODevice::WriteOnly); }@1@exchange/a.cpp:2:
writers@exchange/a.cpp@void f(const QString &p) { QFile file(p);\n  file.open(\n    QIODevice::ReadWrite); }@1@exchange/a.cpp:3:
writers@platform/a.cpp@int f(const char *n) { return ::open(n, 65, 0644); }@1@platform/a.cpp: open (platform/a.cpp:1): opens a file by the system
writers@reports/a.cpp@void f(const QString &p) { QSaveFile out(p); }@1@writes a file itself
writers@platform/a.cpp@FILE *f(const char *p) { return fopen(p, "w"); }@1@hands a path to the C or C++ library
writers@exports/a.cpp@void f(const char *p) { std::ofstream out(p); }@1@hands a path to the C or C++ library
writers@exports/a.cpp@void f(const char *a, const char *b) { std::filesystem::copy_file(a, b); }@1@std::filesystem::copy_file
writers@exports/a.cpp@void f(const char *a, const char *b) { std::filesystem::rename(a, b); }@1@std::filesystem::rename
writers@exports/a.cpp@void f(const char *a) { std::filesystem::create_directory(a); }@1@std::filesystem::create_directory
writers@platform/a.cpp@zip_file_t *f(zip_t *a) { return zip_fopen_index(a, 0, 0); }@0@
writers@exchange/a.cpp@zip_t *f(const char *p, int *c) { return zip_open(p,\n  ZIP_CREATE, c); }@1@exchange/a.cpp:1: zip_t *f(const char *p, int *c) { return zip_open(p,: hands a path to libzip
writers@reports/a.cpp@bool f(const QImage *image, const QString &p) { return image->save(\n  p); }@1@QImage::save(QString const&, char const*, int) const (reports/a.cpp:1): writes a file itself
writers@reports/a.cpp@bool f(const QImage &i, const QString &p) { return QImageWriter(p).write(i); }@1@QImageWriter::QImageWriter
writers@reports/a.cpp@bool f(const QTextDocument *d, const QString &p) { return QTextDocumentWriter(p).write(d); }@1@QTextDocumentWriter::
writers@gradeentry/a.cpp@void f(QPainter &painter) { painter.save(); }@0@
writers@shell/a.cpp@void f(QPrinter &printer, const QString &p) { printer.setOutputFileName(p); }@1@prints beside the print output
writers@makeup/a.cpp@void f() { QPrinter printer; }@1@makeup/a.cpp: QPrinter::QPrinter(
writers@exchange/a.cpp@bool f(QFile &file, const QString &p) { return file.copy(p); }@1@QFile::copy(QString const&) (exchange/a.cpp:1): renames, links, copies
writers@exchange/a.cpp@bool f(QFile &file, const QString &p) { return file.rename(p); }@1@QFile::rename(QString const&)
writers@exchange/a.cpp@bool f(const QString &a, const QString &b) { return QFile::rename(a, b); }@1@QFile::rename(QString const&, QString const&)
writers@exports/a.cpp@void f(const QString &p) { QDir().mkpath(p); }@1@makes a folder
writers@platform/a.cpp@int f(const char *n) { return mkdir(n, 0700); }@1@platform/a.cpp: mkdir
writers@platform/a.cpp@int f(int d, const char *n) { return mkdirat(d, n, 0700); }@1@platform/a.cpp: mkdirat
writers@platform/a.cpp@int f(const char *n) { return truncate(n, 0); }@1@platform/a.cpp: truncate
writers@platform/a.cpp@int f(const char *a, const char *b) { return symlink(a, b); }@1@platform/a.cpp: symlink
writers@platform/a.cpp@int f(char *n) { return mkstemp(n); }@1@platform/a.cpp: mkstemp
writers@exports/a.cpp@FILE *f(const char *c) { return popen(c, "w"); }@1@exports/a.cpp: popen
writers@exports/a.cpp@int f(const char *c) { return system(c); }@1@exports/a.cpp: system
writers@app/a.cpp@void f() { QTemporaryDir look; }@1@makes a file or folder of its own
writers@exchange/a.cc@void f(const QString &p) { QSaveFile out(p); }@1@exchange/a.cc: QSaveFile::QSaveFile
writers@exchange/a.hpp@void f(const QString &p) { QSaveFile out(p); }@1@exchange/a-uso.cpp: QSaveFile::QSaveFile
writers@buildtools/a.cpp@void f(const QString &p) { QSaveFile out(p); }@1@buildtools/a.cpp: QSaveFile::QSaveFile
writers@.hidden/a.cpp@void f(const QString &p) { QSaveFile out(p); }@1@.hidden/a.cpp: QSaveFile::QSaveFile
writers@exchange/a.h@struct S { std::unique_ptr<QTemporaryDir> m_folder; };@0@
writers@platform/fileaccess.cpp@int f(const char *n) { return ::mkdir(n, 0700); }@0@
writers@platform/temppath.cpp@QString f() { static QTemporaryDir dir(QDir::tempPath()); return dir.path(); }@0@
writers@platform/a.cpp@    // QDir().mkpath(folder) is not used here@0@
writers@tests/a.cpp@void f(const QString &p) { QDir().mkpath(p); }@0@
writers@bench/a.cpp@void f(const QString &p) { QSaveFile out(p); }@0@'
base="$work/base"
mkdir -p "$base"/{platform,xls,reportengine,db,shell,gradeentry,makeup,exchange,app,tests}
cp "$readme" "$base/README.md"
echo 'int x;' > "$base/platform/kept.cpp"
mkdir -p "$base/build" && touch "$base/build/CMakeCache.txt"
compile "$base" "$base/platform/kept.cpp" || exit 1
# row <number> <check@file@lines@status@message>: the row on a tree of its own; FAIL when it
# does not come out as the row says.
row() {
  local which file text status message tree="$work/tree$1" source output got
  IFS='@' read -r which file text status message <<< "$2"
  cp -a "$base" "$tree"
  mkdir -p "$tree/$(dirname "$file")"
  printf '%b\n' "$text" > "$tree/$file"
  if [[ $which == writers ]]; then
    # A header is compiled where a source includes it.
    source="$tree/$file"
    if [[ $file == *.h || $file == *.hpp ]]; then
      source="$tree/${file%.*}-uso.cpp"
      printf '#include "%s"\n' "$(basename "$file")" > "$source"
    fi
    if ! compile "$tree" "$source"; then
      printf 'FAIL %s: %s does not compile: %s\n' "$which" "$file" "$text"
      return
    fi
    output=$(bash "${checks[$which]}" "$tree" "$tree/build" 2>&1)
  else
    output=$(bash "${checks[$which]}" "$tree" 2>&1)
  fi
  got=$?
  if [[ $got -ne $status || ($got -ne 0 && $output != *"$message"*) ]]; then
    printf 'FAIL %s: %s with %s: status %s, output:\n%s\n' "$which" "$file" "$text" "$got" "$output"
  fi
}
# The rows run four at a time; each writes what went wrong to a file of its own.
number=0
while IFS= read -r line; do
  number=$((number + 1))
  row "$number" "$line" > "$work/row$number.out" 2>&1 &
  ((number % 4 == 0)) && wait
done <<< "$cases"
wait
failed=0
if grep -h . "$work"/row*.out; then
  failed=1
fi

# A README without the table must not pass every include.
printf '# Tavrin\n' > "$work/tree1/README.md"
if bash "${checks[layers]}" "$work/tree1" > /dev/null 2>&1; then
  echo "FAIL: a README without the layer table passed"
  failed=1
fi
exit $failed
