#!/usr/bin/python3
"""Writes workbooks without formulas reading other sheets, with openpyxl in write-only mode (a
writer that is not ours): numbers, dates, text from a small vocabulary and a per-row label.

    make_plain_xlsx.py OUT.xlsx [--sheets 1] [--rows 700000] [--calc]

openpyxl writes every text inline; --calc has LibreOffice headless save the workbook again, which
puts the text in a shared-string table as most spreadsheet applications do.
"""
import argparse, datetime, os, random, shutil, subprocess, sys, tempfile

import openpyxl


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('out')
    ap.add_argument('--sheets', type=int, default=1)
    ap.add_argument('--rows', type=int, default=700000)
    ap.add_argument('--calc', action='store_true')
    args = ap.parse_args()
    rnd = random.Random(11)
    words = ['north', 'south', 'east', 'west', 'alpha', 'beta', 'gamma', 'delta', 'river', 'stone']
    wb = openpyxl.Workbook(write_only=True)
    day = datetime.date(2020, 1, 1)
    for s in range(args.sheets):
        ws = wb.create_sheet('Sheet %d' % (s + 1))
        ws.append(['id', 'name', 'date', 'amount', 'rate', 'count', 'price', 'code', 'note'])
        for r in range(2, args.rows + 2):
            name = '%s %s' % (rnd.choice(words), rnd.choice(words))
            ws.append([r - 1, name, day + datetime.timedelta(days=r % 900), rnd.random() * 1e5,
                       round(rnd.random(), 4), rnd.randrange(100000), rnd.random() * 1e3, rnd.randrange(10 ** 9),
                       'row %d of sheet %d' % (r, s + 1)])
    if not args.calc:
        wb.save(args.out)
        return
    out = os.path.abspath(args.out)
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, 'source', os.path.basename(out))
        os.mkdir(os.path.dirname(source))
        wb.save(source)
        profile = 'file://' + os.path.join(tmp, 'profile')
        subprocess.run(['soffice', '-env:UserInstallation=' + profile, '--headless', '--convert-to', 'xlsx',
                        '--outdir', tmp, source],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=3600)
        made = os.path.join(tmp, os.path.basename(out))
        if not os.path.exists(made):
            sys.exit('LibreOffice made no workbook')
        shutil.move(made, out)


if __name__ == '__main__':
    main()
