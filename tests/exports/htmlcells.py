#!/usr/bin/env python3
"""Prints what a browser reads in one document (one line) of a Windows-1252 page: each
heading as "h3<TAB>text", each table cell as "table<TAB>row<TAB>column<TAB>bgcolor<TAB>text",
a no-break space written back as "&nbsp;"."""
import sys

import html5lib

path, line = sys.argv[1], int(sys.argv[2])
document = open(path, "rb").read().split(b"\r\n")[line].decode("cp1252")
tree = html5lib.parse(document, treebuilder="etree", namespaceHTMLElements=False)
out = []
clean = lambda node: "".join(node.itertext()).replace("\xa0", "&nbsp;")
for h3 in tree.iter("h3"):
    out.append("h3\t" + clean(h3))
for t, table in enumerate(tree.iter("table")):
    for r, tr in enumerate(table.iter("tr")):
        for c, td in enumerate(tr.iter("td")):
            out.append("\t".join([str(t), str(r), str(c), td.get("bgcolor", ""), clean(td)]))
sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))
