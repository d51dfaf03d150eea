"""Checks the output of a split run against its sources with xlrd, a reader that is not ours.

usage: check_split_output.py JOBS.tsv
JOBS.tsv: one line per task row: source workbook, tab, worksheet name, tab, output file.

For every row the output must be a workbook of exactly one worksheet, of that name, whose cells
(type and value), merged ranges, sheet size and per-cell number formats equal those of the
source sheet. A source that xlrd itself cannot read is excused from the comparison (listed on
the output); its output must still open with its one, rightly named sheet.
Prints every difference and "N of M outputs match"; exit 0 only when all match.
"""
import sys

import xlrd


def number_format(book, sheet, r, c):
    xf = book.xf_list[sheet.cell_xf_index(r, c)]
    fmt = book.format_map.get(xf.format_key)
    return fmt.format_str if fmt else None


def describe(book, sheet):
    cells = {}
    for r in range(sheet.nrows):
        for c in range(sheet.row_len(r)):
            cell = sheet.cell(r, c)
            if cell.ctype == xlrd.XL_CELL_EMPTY:
                continue
            cells[(r, c)] = (cell.ctype, cell.value, number_format(book, sheet, r, c))
    return {
        "name": sheet.name,
        "size": (sheet.nrows, sheet.ncols),
        "cells": cells,
        "merged": sorted(sheet.merged_cells),
    }


def open_book(path):
    return xlrd.open_workbook(path, formatting_info=True)


def main():
    jobs = []
    with open(sys.argv[1], encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line:
                jobs.append(line.split("\t"))
    sources = {}
    good = 0
    for source, name, output in jobs:
        problems = []
        if source not in sources:
            try:
                sources[source] = open_book(source)
            except Exception as e:  # xlrd's own limits, not the split's
                sources[source] = None
                print("excused: xlrd cannot read %s (%s)" % (source, e))
        try:
            out = open_book(output)
        except Exception as e:
            print("FAIL %s: cannot read the output: %s" % (output, e))
            continue
        if out.nsheets != 1:
            problems.append("%d sheets, not 1" % out.nsheets)
        else:
            got = describe(out, out.sheet_by_index(0))
            if sources[source] is None:
                if got["name"] != name:
                    problems.append("sheet named %r, not %r" % (got["name"], name))
            else:
                want = describe(sources[source], sources[source].sheet_by_name(name))
                for key in ("name", "size", "merged"):
                    if want[key] != got[key]:
                        problems.append("%s: %r != %r" % (key, str(want[key])[:200], str(got[key])[:200]))
                diff = [rc for rc in sorted(set(want["cells"]) | set(got["cells"]))
                        if want["cells"].get(rc) != got["cells"].get(rc)]
                for rc in diff[:5]:
                    problems.append("cell %s: %r != %r" % (rc, want["cells"].get(rc), got["cells"].get(rc)))
                if len(diff) > 5:
                    problems.append("... %d cells differ in all" % len(diff))
        if problems:
            print("FAIL %s [%s] -> %s" % (source, name, output))
            for p in problems:
                print("    " + p)
        else:
            good += 1
    print("%d of %d outputs match" % (good, len(jobs)))
    return 0 if good == len(jobs) and jobs else 1


if __name__ == "__main__":
    sys.exit(main())
