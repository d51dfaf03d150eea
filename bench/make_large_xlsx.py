#!/usr/bin/python3
"""Writes the large benchmark workbook with openpyxl (a writer that is not ours): 50 worksheets
of numbers, text, dates and formulas, some reaching other sheets, about 20 MB.

    make_large_xlsx.py OUT.xlsx [--sheets 50] [--rows 6000]
"""
import argparse, datetime, random

import openpyxl


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('out')
    ap.add_argument('--sheets', type=int, default=50)
    ap.add_argument('--rows', type=int, default=6000)
    args = ap.parse_args()
    rnd = random.Random(7)
    words = ['north', 'south', 'east', 'west', 'alpha', 'beta', 'gamma', 'delta', 'river', 'stone']
    wb = openpyxl.Workbook(write_only=True)
    day = datetime.date(2020, 1, 1)
    for s in range(args.sheets):
        ws = wb.create_sheet('Sheet %d' % (s + 1))
        ws.append(['id', 'name', 'date', 'amount', 'rate', 'total', 'note'])
        for r in range(2, args.rows + 2):
            name = '%s %s %d' % (rnd.choice(words), rnd.choice(words), rnd.randrange(5000))
            other = "='Sheet %d'!D%d" % ((s + 1) % args.sheets + 1, r) if r % 50 == 0 else '=D%d*E%d' % (r, r)
            ws.append([r - 1, name, day + datetime.timedelta(days=r % 900), rnd.random() * 1e5,
                       round(rnd.random(), 4), other, 'row %d of sheet %d' % (r, s + 1)])
    wb.save(args.out)


if __name__ == '__main__':
    main()
