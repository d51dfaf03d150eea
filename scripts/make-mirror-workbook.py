#!/usr/bin/python3
"""Writes the mirror benchmark workbook with xlwt (Debian python3-xlwt), a writer that is not ours.

    /usr/bin/python3 scripts/make-mirror-workbook.py OUTPUT.xls [--rows 20000] [--cols 10]

Sheet Summary mirrors sheet Data cell by cell (=Data!A1, =Data!B1, ...): 200,000 formulas that
each read one cell of another sheet by default, so splitting Summary builds the link's cached
values of 200,000 cells from as many referenced areas. Data mixes numbers and texts.
Deterministic; never committed: benchmarks make it in a cache folder when they need it.
"""
import argparse
import sys

try:
    import xlwt
    from xlwt import Utils
except ImportError:
    sys.exit('python3-xlwt is missing: apt-get install python3-xlwt (and run with /usr/bin/python3)')


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('output')
    ap.add_argument('--rows', type=int, default=20000)
    ap.add_argument('--cols', type=int, default=10)
    args = ap.parse_args()
    wb = xlwt.Workbook()
    summary = wb.add_sheet('Summary')
    data = wb.add_sheet('Data')
    for r in range(args.rows):
        for c in range(args.cols):
            data.write(r, c, 'item %d' % (r % 997) if c % 3 == 0 else r * args.cols + c)
            summary.write(r, c, xlwt.Formula('Data!' + Utils.rowcol_to_cell(r, c)))
    wb.save(args.output)


if __name__ == '__main__':
    main()
