#!/usr/bin/env python3
"""Prints a workbook's worksheet names and every cell's type and value, as xlrd reads them:
the tests compare a source with what came back through encryption.

    xls_dump.py FILE
"""
import sys

import xlrd


def main():
    book = xlrd.open_workbook(sys.argv[1], formatting_info=False)
    for sheet in book.sheets():
        print("sheet", repr(sheet.name), sheet.nrows, sheet.ncols)
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                if cell.ctype != xlrd.XL_CELL_EMPTY:
                    print(r, c, cell.ctype, repr(cell.value))


if __name__ == "__main__":
    main()
