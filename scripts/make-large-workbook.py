#!/usr/bin/python3
"""Writes the large benchmark workbook with xlwt (Debian python3-xlwt), a writer that is not ours.

    /usr/bin/python3 scripts/make-large-workbook.py OUTPUT.xls [--sheets 50] [--target-mb 20]

Deterministic for given arguments. Every sheet mixes numbers (integers, decimals, dates), strings
(most of them drawn from a pool shared by all sheets, so the string table is large and the
extractor has to pick the sheet's own), a few dozen cell styles (number formats, fonts, fills,
borders, alignment), merged ranges, formulas within the sheet and formulas that refer to the
neighbouring sheet (so the link table has to be rewritten), column widths and a few hidden rows.
The file is never committed: benchmarks make it in a cache folder when they need it.
"""
import argparse
import datetime
import os
import random
import sys

try:
    import xlwt
except ImportError:
    sys.exit('python3-xlwt is missing: apt-get install python3-xlwt (and run with /usr/bin/python3)')

COLS = 14
# Measured with xlwt 1.3: about 20 MB for 50 sheets of this many rows.
BYTES_PER_ROW = 265


def make_styles():
    formats = ['General', '0', '0.00', '#,##0.00', '0%', '0.00E+00', 'yyyy-mm-dd', 'dd/mm/yyyy hh:mm',
               '#,##0 [$EUR]', '@']
    colours = ['black', 'red', 'blue', 'green', 'dark_blue', 'gray50']
    fills = ['', 'pattern: pattern solid, fore_colour light_yellow;',
             'pattern: pattern solid, fore_colour pale_blue;',
             'pattern: pattern fine_dots, fore_colour gray25;']
    borders = ['', 'borders: left thin, right thin, top thin, bottom thin;',
               'borders: bottom double, bottom_colour red;']
    aligns = ['', 'align: horiz center;', 'align: wrap on, vert top;', 'align: horiz right, indent 1;']
    styles = []
    rnd = random.Random(7)
    for i in range(40):
        font = 'font: name %s, colour %s%s%s;' % (
            rnd.choice(['Arial', 'Calibri', 'Times New Roman']), rnd.choice(colours),
            ', bold on' if i % 3 == 0 else '', ', italic on' if i % 5 == 0 else '')
        style_text = font + rnd.choice(fills) + rnd.choice(borders) + rnd.choice(aligns)
        if i % 7 == 0:
            style_text += 'protection: cell_locked false;'
        styles.append(xlwt.easyxf(style_text, num_format_str=formats[i % len(formats)]))
    return styles


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('output')
    ap.add_argument('--sheets', type=int, default=50)
    ap.add_argument('--target-mb', type=float, default=20.0)
    args = ap.parse_args()

    rows = int(args.target_mb * 1024 * 1024 / args.sheets / BYTES_PER_ROW)
    rows = max(20, min(rows, 65000))
    rnd = random.Random(20261206)
    wb = xlwt.Workbook(encoding='utf-8')
    styles = make_styles()
    date_style = xlwt.easyxf(num_format_str='yyyy-mm-dd')
    head_style = xlwt.easyxf('font: bold on, height 280; align: horiz center;'
                             'pattern: pattern solid, fore_colour ice_blue;')
    words = ['alpha', 'beta', 'gamma', 'delta', 'Ölfeld', 'north', 'south', 'Zürich', 'invoice',
             'total', 'pending', 'shipped', 'крышка', '東京', 'remark']
    shared = ['%s %s %d' % (rnd.choice(words), rnd.choice(words), i) for i in range(3000)]
    names = ['Data %02d' % (i + 1) for i in range(args.sheets)]
    base = datetime.date(2001, 1, 1)

    for si, name in enumerate(names):
        ws = wb.add_sheet(name, cell_overwrite_ok=False)
        ws.write_merge(0, 0, 0, COLS - 1, 'Sheet %s: generated benchmark data' % name, head_style)
        for c in range(COLS):
            ws.col(c).width = 2200 + 256 * ((c * 7 + si) % 12)
        prev = names[si - 1] if si else None
        for r in range(1, rows):
            if r % 97 == 0:
                ws.row(r).hidden = True
            if r % 250 == 0:
                ws.write_merge(r, r, 2, 5, shared[(r + si) % len(shared)], styles[r % len(styles)])
                for c in (0, 1, 6, 7):
                    ws.write(r, c, r * 1.5)
                continue
            style = styles[(r * 3 + si) % len(styles)]
            ws.write(r, 0, r)                                      # integer
            ws.write(r, 1, rnd.random() * 1e6, style)              # decimal, formatted
            ws.write(r, 2, shared[rnd.randrange(len(shared))])     # shared string
            ws.write(r, 3, shared[rnd.randrange(200)], style)      # very common string
            ws.write(r, 4, base + datetime.timedelta(days=r % 7000), date_style)
            ws.write(r, 5, rnd.randint(-5000, 5000), style)
            ws.write(r, 6, '%s row %d of %s' % (rnd.choice(words), r, name))  # unique string
            ws.write(r, 7, rnd.random())
            ws.write(r, 8, r % 2 == 0)                             # Boolean
            ws.write(r, 9, round(rnd.gauss(100, 15), 2), style)
            ws.write(r, 10, shared[(r * 31 + si) % len(shared)])
            ws.write(r, 11, rnd.random() * 100, styles[r % len(styles)])
            if r % 10 == 0:
                ws.write(r, 12, xlwt.Formula('SUM(A%d:B%d)*F%d' % (r - 8, r + 1, r + 1)))
                if prev is not None and r % 50 == 0:
                    ws.write(r, 13, xlwt.Formula("'%s'!B%d+A%d" % (prev, r + 1, r + 1)))
                else:
                    ws.write(r, 13, xlwt.Formula('IF(I%d,H%d,-H%d)' % (r + 1, r + 1, r + 1)))
            else:
                ws.write(r, 12, rnd.random() * 10, style)
                ws.write(r, 13, shared[rnd.randrange(len(shared))], style)
    tmp = args.output + '.part'
    wb.save(tmp)
    os.replace(tmp, args.output)
    print('%s: %d sheets x %d rows, %.1f MB' % (args.output, args.sheets, rows,
                                                os.path.getsize(args.output) / 1048576.0))


if __name__ == '__main__':
    main()
