#!/usr/bin/python3
"""The fidelity comparison must see every kind of change it claims to check.

Writes pairs of one-sheet workbooks with xlwt that differ in exactly one thing (a value, a cell
type, each part of a cell's formatting, a merged range, a column width, a row height, a hidden
row or column, the sheet name) and checks that compare_sheets names that thing, while two
workbooks written alike, with their formatting records in a different order, compare equal
(formatting is compared by what it means, not by record index). Also checks the CSV cell
comparison and the stored-value test that accepts LibreOffice's recalculation differences.
"""
import os
import sys
import tempfile
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import fidelity  # noqa: E402

try:
    import xlrd
    import xlwt
except ImportError as e:
    print('FAIL: %s (run with /usr/bin/python3; python3-xlrd and python3-xlwt are needed)' % e)
    sys.exit(2)

BASE = 'font: name Arial, bold on; borders: left thin; align: horiz center; ' \
       'pattern: pattern solid, fore_colour light_yellow;'


def write(path, change=None, style_order=False):
    wb = xlwt.Workbook()
    ws = wb.add_sheet('Data' if change != 'name' else 'Daten')
    if style_order:
        # Registers an unused style first so every XF and font index shifts by one.
        wb.add_style(xlwt.easyxf('font: name Courier New, italic on', num_format_str='0.0%'))
    style_text = {
        'font': BASE.replace('bold on', 'bold off'),
        'fill': BASE.replace('light_yellow', 'light_green'),
        'borders': BASE.replace('left thin', 'left thick'),
        'alignment': BASE.replace('horiz center', 'horiz right'),
        'protection': BASE + 'protection: cell_locked false;',
    }.get(change, BASE)
    fmt = '0.000' if change == 'number format' else '0.00'
    style = xlwt.easyxf(style_text, num_format_str=fmt)
    ws.write(0, 0, 'text', style)
    ws.write(1, 0, 3.5 if change != 'value' else 3.25, style)
    ws.write(2, 0, 7 if change != 'type' else '7', style)
    ws.write_merge(3, 3, 0, 2 if change != 'merged ranges' else 3, 'merged')
    ws.col(1).width = 4000 if change != 'column info' else 4100
    ws.row(5).height_mismatch = True
    ws.row(5).height = 400 if change != 'row info' else 420
    ws.write(5, 1, 'row 6')
    if change == 'hidden row':
        ws.row(6).hidden = True
    ws.write(6, 1, 'row 7')
    if change == 'hidden column':
        ws.col(3).hidden = True
    wb.save(path)


def compare(a, b):
    ba = xlrd.open_workbook(a, formatting_info=True)
    bb = xlrd.open_workbook(b, formatting_info=True)
    return fidelity.compare_sheets(ba, ba.sheet_by_index(0), bb, bb.sheet_by_index(0))


def main():
    failures = []
    checks = 0
    with tempfile.TemporaryDirectory(prefix='bf-fidelity-self-') as tmp:
        base = os.path.join(tmp, 'base.xls')
        write(base)
        alike = os.path.join(tmp, 'alike.xls')
        write(alike, style_order=True)
        checks += 1
        d = compare(base, alike)
        if d:
            failures.append('workbooks written alike compare different: %s' % d)
        cases = [
            ('value', 'cell A2: value'), ('type', 'cell A3: value'),
            ('number format', 'number format'), ('font', 'font'), ('fill', 'fill'),
            ('borders', 'borders'), ('alignment', 'alignment'), ('protection', 'protection'),
            ('merged ranges', 'merged ranges'), ('column info', 'column info'),
            ('row info', 'row info'), ('hidden row', 'row info'),
            ('hidden column', 'column info'), ('name', 'sheet name'),
        ]
        for change, expected in cases:
            checks += 1
            path = os.path.join(tmp, change.replace(' ', '_') + '.xls')
            write(path, change)
            d = compare(base, path)
            if not any(expected in line for line in d):
                failures.append('a change of %s is not reported as %r (got %s)' % (change, expected, d))

    # CSV cells: padding is no difference, a changed cell is, and its position is named.
    checks += 1
    d = fidelity.csv_cell_diffs([['a', '1'], ['b']], [['a', '1', ''], ['b', ''], []])
    if d:
        failures.append('rows padded with empty cells differ: %s' % d)
    checks += 1
    d = fidelity.csv_cell_diffs([['a', '1'], ['b', '2']], [['a', '1'], ['b', '3']])
    if d != [(1, 1, '2', '3')] or fidelity.cell_name(1, 1) != 'B2' or fidelity.cell_name(0, 27) != 'AB1':
        failures.append('changed CSV cell not found where it is: %s' % d)

    # The stored-value test: numbers within LibreOffice's 15 digits, never a different number.
    class Cell:
        def __init__(self, ctype, value):
            self.ctype, self.value = ctype, value

    class Sheet:
        nrows = ncols = 1

        def __init__(self, cell):
            self._cell = cell

        def cell(self, r, c):
            return self._cell

    checks += 1
    num = Sheet(Cell(xlrd.XL_CELL_NUMBER, 44472195.34586045))
    if not fidelity.shows_stored_value('44472195.3458605', num, 0, 0):
        failures.append('15-digit rendering of the stored number not accepted')
    if fidelity.shows_stored_value('44472195.3459', num, 0, 0) or \
            fidelity.shows_stored_value('Err:502', num, 0, 0):
        failures.append('a different number or an error accepted as the stored number')
    if fidelity.shows_stored_value('0', Sheet(Cell(xlrd.XL_CELL_NUMBER, 1.0)), 0, 0):
        failures.append('0 accepted for a stored 1')
    if not fidelity.shows_stored_value('TRUE', Sheet(Cell(xlrd.XL_CELL_BOOLEAN, 1)), 0, 0):
        failures.append('TRUE not accepted for a stored true')

    for f in failures:
        print('FAIL: ' + f)
    print('%d passed, %d failed' % (checks - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    try:
        sys.exit(main())
    except Exception:
        traceback.print_exc()
        sys.exit(1)
