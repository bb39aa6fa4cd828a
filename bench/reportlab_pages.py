#!/usr/bin/env python3
"""Writes with python3-reportlab the pages the PDF export benchmark exports, placing the same
texts and frames by hand (no layout engine), Liberation Sans embedded as a subset, and prints
the seconds the writing took (reading the pages and the interpreter's start excluded).

    reportlab_pages.py PAGES OUTPUT

PAGES has one line per page or item, tab-separated, lengths in millimetres from the page's
top-left corner:
    P  width  height
    T  x  y  size  bold  italic  text          (x, y: the left end of the baseline)
    L  x1  y1  x2  y2  width
    R  x  y  width  height  line-width  stroke  fill (#RRGGBB or empty)
"""
import sys
import time

from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.ttfonts import TTFont
from reportlab.pdfgen import canvas

MM = 72.0 / 25.4
FONT_DIR = "/usr/share/fonts/truetype/liberation2/"
FACES = {(0, 0): "Regular", (0, 1): "Italic", (1, 0): "Bold", (1, 1): "BoldItalic"}


def read_pages(path):
    pages = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            kind = fields[0]
            if kind == "P":
                pages.append(((float(fields[1]) * MM, float(fields[2]) * MM), []))
            elif kind == "T":
                x, y, size = (float(v) for v in fields[1:4])
                face = FACES[(int(fields[4]), int(fields[5]))]
                pages[-1][1].append(("T", x * MM, y * MM, size, face, fields[6]))
            elif kind == "L":
                x1, y1, x2, y2, w = (float(v) * MM for v in fields[1:6])
                pages[-1][1].append(("L", x1, y1, x2, y2, w))
            else:
                x, y, w, h, lw = (float(v) * MM for v in fields[1:6])
                fill = fields[7]
                rgb = tuple(int(fill[i:i + 2], 16) / 255 for i in (1, 3, 5)) if fill else None
                pages[-1][1].append(("R", x, y, w, h, lw, fields[6] == "1", rgb))
    return pages


def main():
    pages = read_pages(sys.argv[1])
    start = time.perf_counter()
    for face in FACES.values():
        pdfmetrics.registerFont(TTFont("LiberationSans-" + face,
                                       FONT_DIR + "LiberationSans-" + face + ".ttf"))
    c = canvas.Canvas(sys.argv[2])
    for (width, height), items in pages:
        c.setPageSize((width, height))
        for item in items:
            kind = item[0]
            if kind == "T":
                _, x, y, size, face, text = item
                c.setFont("LiberationSans-" + face, size)
                c.drawString(x, height - y, text)
            elif kind == "L":
                _, x1, y1, x2, y2, w = item
                c.setLineWidth(w)
                c.line(x1, height - y1, x2, height - y2)
            else:
                _, x, y, w, h, lw, stroke, rgb = item
                if rgb:
                    c.setFillColorRGB(*rgb)
                    c.rect(x, height - y - h, w, h, stroke=0, fill=1)
                    c.setFillColorRGB(0, 0, 0)
                if stroke:
                    c.setLineWidth(lw)
                    c.rect(x, height - y - h, w, h, stroke=1, fill=0)
        c.showPage()
    c.save()
    print(f"{time.perf_counter() - start:.6f}")


if __name__ == "__main__":
    main()
