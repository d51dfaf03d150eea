#!/usr/bin/python3
"""Checks one split output against its source worksheet, with xlrd as the independent reader.

usage: check_split.py SOURCE_XLS SHEET_NAME OUTPUT_XLS [--drawings]

The output must hold exactly one worksheet, named SHEET_NAME and visible, whose cells carry the
same values and types as the source sheet's (formula results as the file caches them). With
--drawings the output must also carry drawing records (pictures, charts, shapes), which xlrd
does not read: the record stream is walked for MSODRAWING (0x00EC). Prints
"cells N" on success; prints every difference (up to a limit) and exits 1 otherwise.
"""
import math
import struct
import sys

import olefile
import xlrd

MAX_DIFFS = 10


def cells(sheet):
    out = {}
    for r in range(sheet.nrows):
        for c, cell in enumerate(sheet.row(r)):
            if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                continue
            if cell.ctype == xlrd.XL_CELL_TEXT and cell.value == '':
                continue
            out[(r, c)] = (cell.ctype, cell.value)
    return out


def same(a, b):
    if a[0] != b[0]:
        return False
    if a[0] == xlrd.XL_CELL_NUMBER or a[0] == xlrd.XL_CELL_DATE:
        return math.isclose(a[1], b[1], rel_tol=1e-12, abs_tol=1e-12)
    return a[1] == b[1]


def drawing_records(path):
    ole = olefile.OleFileIO(path)
    try:
        stream = 'Workbook' if ole.exists('Workbook') else 'Book'
        data = ole.openstream(stream).read()
    finally:
        ole.close()
    count, pos = 0, 0
    while pos + 4 <= len(data):
        rid, size = struct.unpack_from('<HH', data, pos)
        if rid == 0x00EC:
            count += 1
        pos += 4 + size
    return count


def main():
    args = [a for a in sys.argv[1:] if a != '--drawings']
    if len(args) != 3:
        print(__doc__)
        return 2
    source_path, name, output_path = args
    problems = []
    if '--drawings' in sys.argv and drawing_records(output_path) == 0:
        problems.append('the output carries no drawing records')
    src_book = xlrd.open_workbook(source_path, on_demand=True)
    out_book = xlrd.open_workbook(output_path, on_demand=True)
    if out_book.nsheets != 1:
        problems.append('output holds %d sheets: %s' % (out_book.nsheets, out_book.sheet_names()))
    out_sheet = out_book.sheet_by_index(0)
    if out_sheet.name != name:
        problems.append('output sheet is named %r, not %r' % (out_sheet.name, name))
    if out_sheet.visibility != 0:
        problems.append('output sheet is not visible (visibility %d)' % out_sheet.visibility)
    src = cells(src_book.sheet_by_name(name))
    out = cells(out_sheet)
    for key in sorted(set(src) | set(out)):
        a, b = src.get(key), out.get(key)
        if a is None or b is None or not same(a, b):
            problems.append('cell %s: source %r, output %r' % (xlrd.cellname(*key), a, b))
    if problems:
        for p in problems[:MAX_DIFFS]:
            print(p)
        if len(problems) > MAX_DIFFS:
            print('... and %d more' % (len(problems) - MAX_DIFFS))
        return 1
    print('cells %d' % len(src))
    return 0


if __name__ == '__main__':
    sys.exit(main())
