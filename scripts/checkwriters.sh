#!/usr/bin/env bash
# The writers' check: the program writes a file only through TVxFileReplacement and makes (or
# enters to write) a folder only through VxMakeOwnFolder (platform/fileaccess.*), prints into a
# file only through TVxPrintOutput (platform/printoutput.*), and makes a temporary folder only
# through platform/temppath.*. Any other way found in the program's code (every code folder but
# tests/ and bench/) is printed with its file, line and what it does, and fails: a writer added
# beside the one mechanism follows a planted link, truncates the old file before the new one is
# whole, or leaves a cut file on a full disk.
#   scripts/checkwriters.sh [source-folder]        (default: this script's project)
set -euo pipefail
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}

fileaccess="platform/fileaccess.h platform/fileaccess.cpp"
# The workbook library includes nothing of ours: the program hands it a TVxFileReplacement,
# and its own file branch makes only a new file (O_EXCL|O_NOFOLLOW) where nothing stands.
workbook="xls/xlsadapter.cpp"

mapfile -t sources < <(
  for dir in "$top"/*/; do
    folder=$(basename "$dir")
    [[ $folder == tests || $folder == bench || $folder == build* || -f $dir/CMakeCache.txt ]] &&
      continue
    find "$dir" -type f \( -name '*.h' -o -name '*.cpp' \)
  done | sort)
if ((${#sources[@]} == 0)); then
  echo "$top: no C++ sources" >&2
  exit 1
fi

failures=0
# rule <what it does> <extended regex> [the files that may]
rule() {
  local what=$1 pattern=$2 may=${3:-} file line text relative code receiver
  while IFS=: read -r file line text; do
    relative=${file#"$top"/}
    [[ " $may " == *" $relative "* ]] && continue
    # Comments say what the code does not: what follows "//" is not code.
    code=$(sed -E 's#(^|[[:space:]])//.*$##' <<< "$text")
    [[ $code =~ $pattern ]] || continue
    # An in-memory buffer opened for writing is no file.
    if [[ $code =~ ([A-Za-z_][A-Za-z0-9_]*)(\.|-\>)open\( ]]; then
      receiver=${BASH_REMATCH[1]}
      grep -qE "QBuffer[[:space:]*&]+$receiver([^A-Za-z0-9_]|$)" "$file" && continue
    fi
    echo "$relative:$line: ${text#"${text%%[![:space:]]*}"}: $what" \
         "(the program writes only through platform/fileaccess.h)" >&2
    failures=$((failures + 1))
  done < <(grep -nHE -- "$pattern" "${sources[@]}" || true)
}

rule "opens a file for writing" \
     '(QIODevice|QFile|QFileDevice)::(WriteOnly|ReadWrite|Append|Truncate|NewOnly)|(^|[^A-Za-z_])(WriteOnly|ReadWrite)([^A-Za-z_]|$)' \
     "$fileaccess"
rule "opens a file for writing" \
     'O_(WRONLY|RDWR|CREAT|TRUNC|APPEND)|(^|[^A-Za-z_])creat[[:space:]]*\(|QTemporaryFile' \
     "$fileaccess $workbook"
rule "writes a file itself" 'QSaveFile|QSettings|QLockFile|QFile::copy|setStandardOutputFile'
rule "hands a path to the C or C++ library" \
     '(^|[^A-Za-z_])(fopen|freopen|fdopen)[[:space:]]*\(|std::o?fstream'
rule "hands a path to libzip to write" 'zip_open[[:space:]]*\(.*ZIP_(CREATE|TRUNCATE)'
rule "saves an image to a path" '\.save\([^)&]'
rule "hands a path to QPrinter" 'setOutputFileName'
rule "prints beside the print output" 'QPrinter|QPdfWriter' \
     "platform/printoutput.h platform/printoutput.cpp platform/messagedlg.h platform/messagedlg.cpp"
rule "makes a folder" '(^|[^A-Za-z_])(mkpath|mkdir|mkdtemp)[[:space:]]*\(' "$fileaccess"
rule "makes a temporary folder" \
     'make_unique<QTemporaryDir>|new QTemporaryDir|QTemporaryDir[[:space:]]+[A-Za-z_][A-Za-z0-9_]*[[:space:]]*[;({]' \
     "platform/temppath.cpp"

((failures == 0)) || { echo "$failures way(s) of writing beside the one mechanism" >&2; exit 1; }
echo "writers: every file and folder of the program goes through platform/fileaccess.h"
