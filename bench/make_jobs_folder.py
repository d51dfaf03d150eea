#!/usr/bin/python3
"""Writes the folder of workbooks for the split in jobs with openpyxl (a writer that is not
ours): BOOKS workbooks of SHEETS worksheets each, numbers, text and dates, formulas reading only
their own sheet. One workbook is written and copied under the other names.

    make_jobs_folder.py FOLDER [--books 20] [--sheets 20] [--rows 1500]
"""
import argparse, datetime, os, random, shutil

import openpyxl


def write_book(path, sheets, rows):
    rnd = random.Random(11)
    words = ['north', 'south', 'east', 'west', 'alpha', 'beta', 'gamma', 'delta', 'river', 'stone']
    day = datetime.date(2021, 1, 1)
    wb = openpyxl.Workbook(write_only=True)
    for s in range(sheets):
        ws = wb.create_sheet('Sheet %d' % (s + 1))
        ws.append(['id', 'name', 'date', 'amount', 'rate', 'total', 'note'])
        for r in range(2, rows + 2):
            name = '%s %s %d' % (rnd.choice(words), rnd.choice(words), rnd.randrange(5000))
            ws.append([r - 1, name, day + datetime.timedelta(days=r % 700), rnd.random() * 1e5,
                       round(rnd.random(), 4), '=D%d*E%d' % (r, r), 'row %d of sheet %d' % (r, s + 1)])
    wb.save(path)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('folder')
    ap.add_argument('--books', type=int, default=20)
    ap.add_argument('--sheets', type=int, default=20)
    ap.add_argument('--rows', type=int, default=1500)
    args = ap.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    first = os.path.join(args.folder, 'book-01.xlsx')
    write_book(first, args.sheets, args.rows)
    for n in range(2, args.books + 1):
        shutil.copyfile(first, os.path.join(args.folder, 'book-%02d.xlsx' % n))


if __name__ == '__main__':
    main()
