#!/usr/bin/env python3
"""Writes with python3-xlwt the cells the workbook benchmark fills, and prints the seconds
the writing took (the interpreter's start excluded).

    xlwt_fill.py OUTPUT ROWS COLS
"""
import sys
import time

import xlwt


def main():
    out, rows, cols = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    start = time.perf_counter()
    book = xlwt.Workbook()
    sheet = book.add_sheet("Dati")
    for r in range(rows):
        for c in range(cols):
            if c % 2 == 0:
                sheet.write(r, c, r * 10 + c + 0.5)
            else:
                sheet.write(r, c, f"voce {r}-{c}")
    book.save(out)
    print(f"{time.perf_counter() - start:.6f}")


if __name__ == "__main__":
    main()
