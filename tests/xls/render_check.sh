#!/usr/bin/env bash
# The manual look at saved drawings (not in CTest): keeps the files the CSV test saves, renders
# the copied drawings sheet to PNG through LibreOffice's PDF export and pdftoppm, and lists
# where LibreOffice finds each comment and picture (1-based row, column).
# Usage: tests/xls/render_check.sh [build dir, default build/test]  -> /tmp/xls_render/*.png
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build/test}
out=/tmp/xls_render
rm -rf "$out" && mkdir -p "$out"
XLS_KEEP_OUTPUT="$out" QT_QPA_PLATFORM=offscreen "$build/tests/xls/test_xls_csv" >/dev/null
cd "$out"
profile="-env:UserInstallation=file://$out/profile"
soffice --headless --norestore "$profile" --convert-to pdf orig_drawings.xls copied_drawings.xls >/dev/null 2>&1
soffice --headless --norestore "$profile" --convert-to ods copied_drawings.xls >/dev/null 2>&1
pdftoppm -png -r 60 -f 1 -l 1 orig_drawings.pdf orig
pdftoppm -png -r 60 -f 1 -l 1 copied_drawings.pdf copied
/usr/bin/python3 - copied_drawings.ods <<'PY'
import re, sys, zipfile
s = zipfile.ZipFile(sys.argv[1]).read("content.xml").decode()
body = s[s.find('<table:table table:name="Modello"'):]
body = body[:body.find("</table:table>")]
row = 0
for rm in re.finditer(r"<table:table-row([^>]*?)(?:/>|>(.*?)</table:table-row>)", body, re.S):
    rep = re.search(r'number-rows-repeated="(\d+)"', rm.group(1))
    col = 0
    for cm in re.finditer(r"<table:(?:covered-)?table-cell([^>]*?)(?:/>|>(.*?)</table:(?:covered-)?table-cell>)",
                          rm.group(2) or "", re.S):
        crep = re.search(r'number-columns-repeated="(\d+)"', cm.group(1))
        inner = cm.group(2) or ""
        note = re.search(r"<office:annotation.*?</office:annotation>", inner, re.S)
        if note:
            text = " ".join(re.sub("<[^>]+>", " ", note.group(0)).split()[1:])
            print(f"comment at {row + 1},{col + 1}: {text}")
        for frame in re.finditer(r'<draw:frame[^>]*draw:name="([^"]*)"', inner):
            print(f"shape at {row + 1},{col + 1}: {frame.group(1)}")
        col += int(crep.group(1)) if crep else 1
    row += int(rep.group(1)) if rep else 1
PY
ls "$out"/*.png
