"""Prints the shared strings of an extracted workbook that are not text of its worksheet, i.e.
text of other sheets that would ride along; prints nothing when there is none.

usage: leak_check.py SOURCE.xls SHEET OUTPUT.xls
"""
import sys
import xlrd


def main():
    src, name, out = sys.argv[1:4]
    book = xlrd.open_workbook(src, on_demand=True)
    sheet = book.sheet_by_name(name)
    kept = set()
    for r in range(sheet.nrows):
        for c in range(sheet.row_len(r)):
            if sheet.cell_type(r, c) == xlrd.XL_CELL_TEXT:
                kept.add(sheet.cell_value(r, c))
    result = xlrd.open_workbook(out, on_demand=True)
    for s in result._sharedstrings:
        if s not in kept:
            print(repr(s))


if __name__ == "__main__":
    main()
