#!/usr/bin/env bash
# The writers' check: the program writes a file only through TVxFileReplacement and makes (or
# enters to write) a folder only through VxMakeOwnFolder (platform/fileaccess.*), prints into a
# file only through TVxPrintOutput (platform/printoutput.*), and makes a temporary folder only
# through platform/temppath.*. It reads what the compiler made of the program: the symbols each
# object imports (nm), whatever the spelling of the call, the lines it takes, the folder or the
# suffix of its file. Only where one symbol both reads and writes, and its argument decides
# (QIODevice::open's mode, zip_open's flags), it reads the sources, each call whole; an
# in-memory buffer is exempt there by the declaration of the object opened, not by its file.
# Any other way is printed with its source, what it calls and what that does, and fails: a
# writer beside the one mechanism follows a planted link, truncates the old file before the new
# one is whole, or leaves a cut file on a full disk.
#   scripts/checkwriters.sh [source-folder [build-folder]]   (default: this project, build/test)
set -euo pipefail
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}
build=${2:-$top/build/test}
top=$(cd "$top" && pwd)
build=$(cd "$build" && pwd)
for tool in nm perl; do
  command -v "$tool" > /dev/null || { echo "$tool is needed to read the program" >&2; exit 1; }
done

fileaccess="platform/fileaccess.cpp"
printoutput="platform/printoutput.cpp"
temppath="platform/temppath.cpp"
# The workbook library includes nothing of ours: the program hands it a TVxFileReplacement,
# and its own file branch makes only a new file (O_EXCL|O_NOFOLLOW) where nothing stands.
workbook="xls/xlsadapter.cpp"

# what it does @ the symbols it calls (an extended regex on nm's demangled names) @ the sources
# that may
rules="opens a file by the system's call, which creates or writes it as its flags say @ ^(open|open64|__open_2|__open64_2|openat|openat64|__openat_2|__openat64_2|creat|creat64)$ @ $fileaccess $workbook
makes a folder @ ^(mkdir|mkdirat)$|^QDir::(mkdir|mkpath)[(] @ $fileaccess
makes a file or folder of its own @ ^(mkdtemp|mkstemp|mkstemp64|mkstemps|mkostemp|mkostemps|tmpfile|tmpfile64|mkfifo|mkfifoat|mknod|mknodat)$|^QTemporaryFile::|^QTemporaryDir::QTemporaryDir[(] @ $temppath
renames, links, copies or cuts a file @ ^(rename|renameat|renameat2|link|linkat|symlink|symlinkat|truncate|truncate64)$|^QFile::(rename|link|copy|resize|moveToTrash)[(]|^QFileDevice::resize[(]|^QDir::rename[(] @ $fileaccess
hands a path to the C or C++ library @ ^(fopen|fopen64|freopen|freopen64)$|^std::basic_o?fstream<|^std::basic_filebuf<.*>::open[(]|^std::filesystem::(__cxx11::)?(copy|copy_file|copy_symlink|create_directory|create_directories|create_directory_symlink|create_hard_link|create_symlink|rename|resize_file|permissions)[(] @
runs a shell command, which may write anything @ ^(popen|system)$ @
writes a file itself @ ^(QSaveFile|QImageWriter|QTextDocumentWriter)::|^QSettings::QSettings[(]|^QLockFile::QLockFile[(]|^QProcess::setStandard(Output|Error)File[(]|^(QImage|QPixmap|QPicture)::save[(]QString @
prints beside the print output (a print dialog may send it to a file) @ ^QPrinter::QPrinter[(]|^QPrinter::setOutputFileName[(]|^QPdfWriter::QPdfWriter[(] @ $printoutput"

failures=0
fail() {
  echo "$1 (the program writes only through platform/fileaccess.h)" >&2
  failures=$((failures + 1))
}

# The program's objects: every target's but the tests' and the benchmarks', whatever the
# folder's name (build*, a dot) or the source's suffix; each mapped to its source.
declare -A sourceOf=() compiled=()
while IFS= read -r object; do
  relative=${object#"$build"/}
  source=$(sed -E 's#(^|/)CMakeFiles/[^/]+\.dir/#\1#; s#\.o$##' <<< "$relative")
  [[ $source == tests/* || $source == bench/* ]] && continue
  sourceOf[$object]=$source
  compiled[$source]=1
done < <(find "$build" -type f -name '*.o' -path '*/CMakeFiles/*.dir/*' | sort)
if ((${#sourceOf[@]} == 0)); then
  echo "$build: no objects of the program (build it first: the check reads what was compiled)" >&2
  exit 1
fi

# The program's sources, headers included: every folder's but the tests', the benchmarks' and
# a build's.
mapfile -t sources < <(
  find "$top" \( -path "$top/tests" -o -path "$top/bench" -o -path "$top/.git" -o \
                 \( -type d -exec test -f '{}/CMakeCache.txt' \; \) \) -prune -o -type f \
       \( -name '*.cpp' -o -name '*.cc' -o -name '*.cxx' -o -name '*.c' -o -name '*.h' \
          -o -name '*.hh' -o -name '*.hpp' -o -name '*.hxx' -o -name '*.inl' \) -print | sort)

# Every source of the program has its object: one the build left out is one the check can't
# read.
for file in "${sources[@]}"; do
  [[ $file =~ \.(cpp|cc|cxx|c)$ ]] || continue
  relative=${file#"$top"/}
  [[ -n ${compiled[$relative]:-} ]] || fail "$relative: not compiled in $build, so not read"
done

# The symbols each object imports.
imports=$(nm -C --undefined-only -A "${!sourceOf[@]}" 2> /dev/null |
  sed -nE 's#^([^:]+):[[:space:]]+U[[:space:]]+(.*)$#\1\t\2#p')
while IFS='@' read -r what symbols may; do
  what=${what% }
  symbols=${symbols# }
  symbols=${symbols% }
  while IFS=$'\t' read -r object symbol; do
    [[ -n $object ]] || continue
    source=${sourceOf[$object]}
    [[ " $may " == *" $source "* ]] && continue
    # Where the call stands, from the object's line table when it has one.
    where=$(nm -C -l --undefined-only "$object" 2> /dev/null |
      awk -v s="$symbol" '{ line = $0; sub(/^[[:space:]]*U[[:space:]]+/, "", line);
                            n = split(line, parts, "\t");
                            if (parts[1] == s && n > 1) { print parts[n]; exit } }')
    fail "$source: ${symbol}${where:+ (${where#"$top"/})}: $what"
  done < <(awk -F'\t' -v re="$symbols" '$2 ~ re' <<< "$imports")
done <<< "$rules"

# QIODevice::open and zip_open read or write as their argument says: the calls that write,
# read from the sources, comments and literals aside, each call whole over its lines.
while IFS= read -r line; do
  fail "$line"
done < <(perl -e '
  my ($top, @files) = @ARGV;
  for my $file (@files) {
    (my $relative = $file) =~ s{^\Q$top\E/}{};
    next if $relative =~ m{^platform/fileaccess\.(h|cpp)$};
    open(my $in, "<", $file) or die "$file: $!";
    local $/;
    my $text = <$in>;
    my @lines = split /\n/, $text, -1;
    (my $code = $text) =~ s{//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|'"'"'(?:\\.|[^'"'"'\\\n])*'"'"'}
                             { (my $blank = $&) =~ s/[^\n]/ /g; $blank }gse;
    my $tell = sub {
      my ($at, $what) = @_;
      my $number = 1 + (substr($code, 0, $at) =~ tr/\n//);
      (my $shown = $lines[$number - 1]) =~ s/^\s+//;
      print "$relative:$number: $shown: $what\n";
    };
    while ($code =~ /\b(?:(?:QIODevice|QIODeviceBase|QFile|QFileDevice)::(?:WriteOnly|ReadWrite|Append|Truncate|NewOnly)|(?<!::)(?:WriteOnly|ReadWrite))\b/g) {
      my $at = $-[0];
      # The call the mode is given to, and the declaration of its object nearest before it.
      my ($depth, $open) = (0, -1);
      for (my $i = $at - 1; $i >= 0; --$i) {
        my $c = substr($code, $i, 1);
        if ($c eq ")") { ++$depth } elsif ($c eq "(") { if ($depth == 0) { $open = $i; last } --$depth }
      }
      if ($open >= 0 && substr($code, 0, $open) =~ /\b(\w+)\s*(?:\.|->)\s*open\s*$/) {
        my $object = $1;
        my ($type, $before) = ("", substr($code, 0, $open));
        $type = $1 while $before =~
          /\b([A-Za-z_][\w:]*)\s*(?:<[^;{}()]*>)?\s*[*&]*\s*\b\Q$object\E\b\s*(?=[;({=\[,)])/g;
        next if $type eq "QBuffer";
      }
      $tell->($at, "opens a file for writing");
    }
    while ($code =~ /\bzip_open\s*(\((?:[^()]++|(?1))*\))/g) {
      $tell->($-[0], "hands a path to libzip to write") if $1 =~ /\bZIP_(?:CREATE|TRUNCATE|EXCL)\b/;
    }
  }' "$top" "${sources[@]}")

((failures == 0)) || { echo "$failures way(s) of writing beside the one mechanism" >&2; exit 1; }
echo "writers: every file and folder of the program goes through platform/fileaccess.h"
