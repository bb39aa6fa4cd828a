#!/usr/bin/env python3
"""Independent view of a workbook file for the xls tests.

    xlscheck.py cells FILE      -> JSON: sheets with names and every cell (xlrd)
    xlscheck.py storage FILE    -> JSON: every stream's path, size and SHA-1 (olefile)
    xlscheck.py records FILE    -> JSON: the ids and sizes of the Workbook stream's records
    xlscheck.py notes FILE      -> JSON: per sheet, every cell comment as [row, col, text] (xlrd)
"""
import hashlib
import json
import struct
import sys


def cells(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True)
    out = {"sheets": []}
    for sh in book.sheets():
        s = {"name": sh.name, "nrows": sh.nrows, "ncols": sh.ncols, "cells": [], "merged": []}
        for r in range(sh.nrows):
            for c in range(sh.ncols):
                cell = sh.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                s["cells"].append([r, c, cell.ctype, cell.value, cell.xf_index])
        s["merged"] = [list(m) for m in sh.merged_cells]
        out["sheets"].append(s)
    out["names"] = sorted(n.name for n in book.name_obj_list)
    areas = {}
    for n in book.name_obj_list:
        try:
            sheet, rlo, rhi, clo, chi = n.area2d()
            areas[n.name] = [sheet.name, rlo, rhi, clo, chi]
        except Exception:  # not a simple area
            pass
    out["name_areas"] = areas
    return out


def storage(path):
    import olefile
    ole = olefile.OleFileIO(path)
    out = {"version": ole.header_signature is not None and ole.dll_version, "entries": []}
    for entry in ole.listdir(streams=True, storages=True):
        p = "/".join(entry)
        if ole.get_type(entry) == olefile.STGTY_STREAM:
            data = ole.openstream(entry).read()
            out["entries"].append([p, "stream", len(data), hashlib.sha1(data).hexdigest()])
        else:
            out["entries"].append([p, "storage", 0, ""])
    return out


def records(path):
    import olefile
    data = olefile.OleFileIO(path).openstream("Workbook").read()
    out, pos = [], 0
    while pos + 4 <= len(data):
        rid, size = struct.unpack_from("<HH", data, pos)
        out.append([rid, size, pos])
        pos += 4 + size
    return out


def notes(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True)
    return [sorted([r, c, n.text] for (r, c), n in sh.cell_note_map.items()) for sh in book.sheets()]


def main():
    kind, path = sys.argv[1], sys.argv[2]
    result = {"cells": cells, "storage": storage, "records": records, "notes": notes}[kind](path)
    json.dump(result, sys.stdout)


if __name__ == "__main__":
    main()
