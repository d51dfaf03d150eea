#!/usr/bin/python3
"""Workbooks of the kinds the engine once failed on, made here (xlwt, raw records, LibreOffice
through python3-uno), split by the command-line tool and checked by the oracle (tests/oracle).

usage: engine_cases.py --app BRAKENFOLD-SPLIT       exit 0 when every case holds
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

import xlwt
from xlwt.CompoundDoc import XlsDoc

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'oracle'))
import xlsoracle as xo  # noqa: E402


def xlwt_book(sheets, fill, path=None):
    """An xlwt workbook of these sheets filled by fill(sheets): saved to path, or returned as
    substreams to change and then save with write_book."""
    wb = xlwt.Workbook()
    fill([wb.add_sheet(n) for n in sheets])
    if path:
        return wb.save(path)
    with tempfile.NamedTemporaryFile(suffix='.xls') as f:
        wb.save(f.name)
        return xo.substreams(f.name)


def write_book(path, subs):
    """Saves substreams, with the sheet list's offsets made right."""
    offsets = [sum(4 + len(d) for s in subs[:k + 1] for _, d in s) for k in range(len(subs) - 1)]
    for r in [r for r in subs[0] if r[0] == 0x0085]:
        r[1] = struct.pack('<I', offsets.pop(0)) + r[1][4:]
    XlsDoc().save(path, b''.join(struct.pack('<HH', t, len(d)) + d for s in subs for t, d in s))


def formula(row, col, rgce, value, flags=2):
    return [0x0006, struct.pack('<HHHdHIH', row, col, 15, value, flags, 0, len(rgce)) + rgce]


def before_window(subs, k, recs):
    j = next(j for j, r in enumerate(subs[1 + k]) if r[0] == 0x023E)
    subs[1 + k][j:j] = recs


def add_names(subs, names):
    """Names (name, sheet + 1 or 0, rgce) after the sheet list and link table."""
    at = max(i for i, r in enumerate(subs[0]) if r[0] in (0x0017, 0x01AE, 0x0085)) + 1
    subs[0][at:at] = [[0x0018, struct.pack('<HBBHHHI', 0, 0, len(n), len(f), 0, i, 0) + b'\0' + n.encode() + f]
                      for n, i, f in names]
    return subs


def records_of(path, types):
    return [(t, d) for s in xo.substreams(path) for t, d in s if t in types]

# ---- the workbooks --------------------------------------------------------------------------

def two_windows(path):
    """Two windows, the second on sheet Right: a second WINDOW1 and, in every sheet, a second
    window group with frozen panes."""
    def fill(sheets):
        for ws in sheets:
            for r in range(6):
                ws.write(r, 0, '%s%d' % (ws.name, r))
                ws.write(r, 1, r * 1.5)
    subs = xlwt_book(['Left', 'Right'], fill)
    g = subs[0]
    i = next(i for i, r in enumerate(g) if r[0] == 0x003D)
    g.insert(i + 1, [0x003D, struct.pack('<hh', 400, 300) + g[i][1][4:10] + struct.pack('<HHH', 1, 1, 2) + g[i][1][16:]])
    for s in subs[1:]:
        j = next(j for j, r in enumerate(s) if r[0] == 0x023E)
        flags = (struct.unpack_from('<H', s[j][1])[0] | 0x0108) & ~0x0600  # frozen, not selected
        selections = [[0x001D, struct.pack('<BHHHHHHBB', p, 2, 1, 0, 1, 2, 2, 1, 1)] for p in (3, 2, 1, 0)]
        s[j + 1:j + 1] = [[0x023E, struct.pack('<H', flags) + s[j][1][2:]],
                          [0x0041, struct.pack('<HHHHBB', 1, 2, 2, 1, 0, 0)]] + selections
    write_book(path, subs)


def long_texts(path):
    """Formulas that read texts of thousands of characters on another sheet."""
    def fill(sheets):
        for r, v in enumerate(('x' * 6000, ''.join(chr(0x400 + i % 64) for i in range(5000)), 7)):
            sheets[1].write(r, 0, v)
            sheets[0].write(r, 0, xlwt.Formula(('Texts!A1', 'Texts!A2', 'Texts!A3*2')[r]))
    xlwt_book(['Report', 'Texts'], fill, path)


def header_counts(field, change):
    """A sound compound file (several FAT sectors) whose header count at `field` is changed."""
    def make(path):
        xlwt_book(['Alpha', 'Beta'], lambda s: [(s[0].write(r, 0, r), s[1].write(r, 0, 'b%d' % r)) for r in range(3000)],
                  path)
        with open(path, 'r+b') as f:
            f.seek(field)
            value = struct.unpack('<I', f.read(4))[0]
            f.seek(field)
            f.write(struct.pack('<I', change(value)))
    return make


def no_eof(path):
    """The first sheet lost its EOF record and runs into the second."""
    subs = xlwt_book(['First', 'Second', 'Third'],
                     lambda s: [(ws.write(0, 0, ws.name + ' text'), ws.write(1, 0, v)) for v, ws in enumerate(s)])
    subs[1].pop()
    write_book(path, subs)


def bad_name(path):
    """The name Broken holds a token no BIFF8 writer uses; only User reads it, Clean reads Good."""
    subs = add_names(xlwt_book(['User', 'Clean'], lambda s: (s[0].write(0, 0, xlwt.Formula('Clean!A1')), s[1].write(0, 0, 41))),
                     [('Broken', 0, bytes([0x1E, 1, 0, 0x2E, 0, 0])), ('Good', 0, bytes([0x1E, 5, 0]))])
    before_window(subs, 0, [formula(1, 0, bytes([0x23, 1, 0, 0, 0]), 1.0), formula(2, 0, bytes([0x23, 2, 0, 0, 0]), 5.0)])
    before_window(subs, 1, [formula(1, 0, bytes([0x23, 2, 0, 0, 0]), 5.0)])
    write_book(path, subs)


def local_names(path):
    """Report reads Data!Total (one cell), Summary SUM(Data!Items) (a range): names of the sheet Data."""
    def fill(sheets):
        for ws in sheets[:2]:
            ws.write(0, 0, xlwt.Formula('Data!A1'))  # the link entry (self, Data, Data) is ixti 1
        for r in range(3):
            sheets[2].write(r, 0, 100 + r)
    subs = add_names(xlwt_book(['Report', 'Summary', 'Data'], fill),
                     [('Total', 3, bytes([0x3A, 1, 0, 0, 0, 0, 0])), ('Items', 3, bytes([0x3B, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0]))])
    before_window(subs, 0, [formula(1, 0, bytes([0x39, 1, 0, 1, 0, 0, 0]), 100.0)])
    before_window(subs, 1, [formula(1, 0, bytes([0x39, 1, 0, 2, 0, 0, 0, 0x22, 1, 4, 0]), 303.0)])  # SUM(Data!Items)
    write_book(path, subs)


SECRETS = ['SecretAlpha', 'SecretBeta', 'SecretGamma', 'UnreadText', 'privacy.xls']


def privacy(path):
    """Three sheets reading each other (SecretAlpha reads SecretBeta's A1 and C3, not the text
    between them), and one that reads nothing."""
    def fill(sheets):
        for i in range(3):
            sheets[i].write(0, 0, 10 + i)
            sheets[i].write(1, 0, xlwt.Formula('%s!A1+1' % SECRETS[(i + 1) % 3]))
        sheets[0].write(2, 0, xlwt.Formula('SecretBeta!C3'))
        sheets[1].write(1, 1, 'UnreadText')
        sheets[1].write(2, 2, 5)
        sheets[3].write(0, 0, 'refers to nothing')
        sheets[3].write(1, 0, xlwt.Formula('1+1'))
    xlwt_book(SECRETS[:3] + ['Lonely'], fill, path)


def shared_3d(path):
    """Sum holds a shared formula over the 3-D range A:B, which no reader of the output can
    evaluate once A and B are left behind: its cells must hold their stored results."""
    subs = xlwt_book(['Sum', 'A', 'B'], lambda s: (s[1].write(0, 0, 3), s[2].write(0, 0, 4), s[0].write(0, 1, 'x')))
    at = next(i for i, r in enumerate(subs[0]) if r[0] == 0x0085 and r[1][8:] == b'B') + 1
    subs[0][at:at] = [[0x01AE, b'\x03\x00\x01\x04'], [0x0017, struct.pack('<HHHH', 1, 0, 1, 2)]]  # A:B
    exp = bytes([0x01, 0, 0, 0, 0])
    shared = [0x04BC, struct.pack('<HHBBBBH', 0, 3, 0, 0, 0, 4, 11) + bytes([0x3A, 0, 0, 0, 0, 0, 0, 0x22, 1, 4, 0])]
    before_window(subs, 0, [formula(0, 0, exp, 7.0, 10), shared] + [formula(r, 0, exp, 7.0, 10) for r in (1, 2, 3)])
    write_book(path, subs)


def office_book(desktop):
    """A pivot table on Pivot over a range of Data, a GETPIVOTDATA formula, and a chart over
    Amounts, a sheet nothing else reads."""
    def make(path):
        import uno
        from com.sun.star.sheet.DataPilotFieldOrientation import DATA, ROW
        from com.sun.star.sheet.GeneralFunction import SUM

        def new(kind, **fields):
            return uno.createUnoStruct('com.sun.star.' + kind, **fields)
        hidden = (new('beans.PropertyValue', Name='Hidden', Value=True),)
        doc = desktop.loadComponentFromURL('private:factory/scalc', '_blank', 0, hidden)
        doc.Sheets.getByIndex(0).Name = 'Data'
        doc.Sheets.insertNewByName('Pivot', 1)
        doc.Sheets.insertNewByName('Amounts', 2)
        doc.Sheets.getByName('Amounts').getCellRangeByName('A1:A3').setDataArray(((1,), (2,), (3,)))
        doc.Sheets.getByName('Data').getCellRangeByName('A1:C6').setDataArray((
            ('Region', 'Product', 'Amount'), ('North', 'Apples', 10), ('South', 'Apples', 20),
            ('North', 'Pears', 5), ('East', 'Pears', 7), ('South', 'Plums', 3)))
        sheet = doc.Sheets.getByName('Pivot')
        desc = sheet.getDataPilotTables().createDataPilotDescriptor()
        desc.setSourceRange(new('table.CellRangeAddress', Sheet=0, StartColumn=0, StartRow=0, EndColumn=2, EndRow=5))
        desc.getDataPilotFields().getByIndex(0).Orientation = ROW
        amount = desc.getDataPilotFields().getByIndex(2)
        amount.Orientation, amount.Function = DATA, SUM
        sheet.getDataPilotTables().insertNewByName('Sales', new('table.CellAddress', Sheet=1, Column=0, Row=2), desc)
        sheet.getCellRangeByName('E1').Formula = '=GETPIVOTDATA("Sum - Amount";$Pivot.$A$5;"Region";"North")'
        sheet.getCellRangeByName('E2').Formula = '=$Data.C2*2'
        sheet.getCharts().addNewByName('Amounts', new('awt.Rectangle', X=9000, Y=1000, Width=8000, Height=5000),
                                       (new('table.CellRangeAddress', Sheet=2, EndRow=2),),
                                       True, False)
        doc.calculateAll()
        doc.storeToURL(uno.systemPathToFileUrl(path), (new('beans.PropertyValue', Name='FilterName', Value='MS Excel 97'),))
        doc.close(True)
    return make


def long_path(path):
    """The office workbook again, in a folder whose path is longer than a link can hold."""
    os.makedirs(os.path.dirname(path))
    shutil.copy(os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(path))), 'pivot.xls'), path)

# ---- checks ---------------------------------------------------------------------------------

def check_office_book(src, out):
    """The pivot cache goes along, its source range now in the source workbook, and the chart
    series still reads Amounts through the link."""
    assert xo.olefile.OleFileIO(out).exists('_SX_DB_CUR/0001'), 'the cache stream'
    assert b'[pivot.xls]Data' in records_of(out, {0x0051})[0][1], 'the source range in the source workbook'
    table = records_of(out, {0x0017})[0][1]
    for _, d in records_of(out, {0x1051}):
        if len(d) > 10 and d[8] & 0x1F in (0x1A, 0x1B):
            ixti = struct.unpack_from('<H', d, 9)[0]
            xti = struct.unpack_from('<HHH', table, 2 + 6 * ixti)
            assert xti[0] == 1 and xti[1] != 0xFFFF, 'a chart series reads nothing'


def texts_in(expected):
    def check(src, out):
        data = open(out, 'rb').read()
        found = [s for s in SECRETS if s.encode() in data or s.encode('utf-16-le') in data]
        assert found == expected, 'the output names %s' % found
    return check


def check_external_name(src, out):
    """A range name of another sheet is read as that sheet's name in the source workbook (a
    reader that knows only workbook names shows an error there, not a wrong value)."""
    names = records_of(out, {0x0023})
    assert names and names[0][1][2:4] == b'\x01\x00' and b'Items' in names[0][1], 'Items as a name of sheet 1 of the link'


def check_frozen(src, out):
    # Not compared in LibreOffice: it reads the SHRFMLA after the first cell as that cell's formula.
    assert all(d[22] != 0x01 for _, d in records_of(out, {0x0006})), 'a cell still reads the shared formula'


def check_no_link(src, out):
    assert not [d for t, d in records_of(out, {0x01AE}) if d[2:4] != b'\x01\x04'], 'no link to the source'


def check_second(src, out):
    assert xo.open_book(out).sheet_by_index(0).col_values(0) == ['Second text', 1.0], 'the sheet after the damaged one'


# (workbook, maker, sheet, expected error or None, extra check, comparison with the source):
# 'same' xlrd and LibreOffice see the sheet as in the source; 'cut' LibreOffice sees texts read
# from other sheets cut at 255 characters (all a cached text holds); 'xlrd' xlrd alone (LibreOffice
# cannot open the source, or misreads the output); 'own' the check alone.
def cases(desktop):
    return [
        ('two-windows.xls', two_windows, 'Right', None, None, 'same'),
        ('pivot.xls', office_book(desktop), 'Pivot', None, check_office_book, 'same'),
        ('pivot.xls', None, 'Data', None, None, 'same'),
        ('long-texts.xls', long_texts, 'Report', None, None, 'cut'),
        ('fat-count.xls', header_counts(0x2C, lambda v: v - 1), 'Beta', None, None, 'xlrd'),
        ('difat-count.xls', header_counts(0x48, lambda v: 3), 'Alpha', None, None, 'same'),
        ('no-eof.xls', no_eof, 'First', "sheet 'First' has no end record and runs into sheet 'Second'", None, 'same'),
        ('no-eof.xls', None, 'Second', None, check_second, 'own'),
        ('bad-name.xls', bad_name, 'User', "the name 'Broken'", None, 'same'),
        ('bad-name.xls', None, 'Clean', None, None, 'same'),
        ('local-names.xls', local_names, 'Report', None, None, 'same'),
        ('local-names.xls', None, 'Summary', None, check_external_name, 'xlrd'),
        ('privacy.xls', privacy, 'Lonely', None, texts_in([]), 'same'),
        ('privacy.xls', None, 'SecretAlpha', None, texts_in(['SecretAlpha', 'SecretBeta', 'privacy.xls']), 'same'),
        ('shared-3d.xls', shared_3d, 'Sum', None, check_frozen, 'xlrd'),
        (os.path.join('p' * 120, 'q' * 120, 'pivot.xls'), long_path, 'Pivot', None, check_no_link, 'same'),
    ]

# ---- running --------------------------------------------------------------------------------

def with_office(profile, work):
    import uno
    pipe = 'engine-cases-%d' % os.getpid()
    proc = subprocess.Popen(['soffice', '--headless', '--invisible', '--norestore', '--nolockcheck',
                             '-env:UserInstallation=file://' + profile, '--accept=pipe,name=%s;urp;' % pipe],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext('com.sun.star.bridge.UnoUrlResolver', local)
    try:
        deadline = time.monotonic() + 300  # an office starting on a busy machine
        while True:
            try:
                ctx = resolver.resolve('uno:pipe,name=%s;urp;StarOffice.ComponentContext' % pipe)
                break
            except Exception:
                if time.monotonic() > deadline:
                    raise SystemExit('LibreOffice did not start')
                time.sleep(0.5)
        desktop = ctx.ServiceManager.createInstanceWithContext('com.sun.star.frame.Desktop', ctx)
        try:
            return work(desktop)
        finally:
            try:
                desktop.terminate()
            except Exception:  # the office may drop the bridge before it answers: it is ending
                pass
            proc.wait(timeout=60)
    finally:
        if proc.poll() is None:
            proc.kill()


def run(app, work):
    books, outs, profile = (os.path.join(work, d) for d in ('books', 'out', 'profile'))
    os.makedirs(books)
    os.makedirs(outs)

    def make(desktop):
        for book, maker, *_ in cases(desktop):
            if maker:
                maker(os.path.join(books, book))
        return cases(None)
    failures, done = [], []
    for n, (book, _, sheet, error, check, mode) in enumerate(with_office(profile, make)):
        src, out = os.path.join(books, book), os.path.join(outs, '%02d-%s.xls' % (n, sheet))
        code, _, err = xo.run(app, '--extract', src, sheet, out, seconds=300)
        try:
            assert code == (1 if error else 0) and (error or '') in err, err.strip()
            if mode != 'own' and not error:
                diffs = xo.compare(xo.open_book(src), sheet, xo.open_book(out)) + xo.structure(out, src)
                assert not diffs, 'xlrd: %s' % diffs
            if check:
                check(src, out)
            if mode in ('same', 'cut') and not error:
                done.append((book, sheet, src, out, 255 if mode == 'cut' else None))
        except AssertionError as e:
            failures.append('%s / %s: %s' % (book, sheet, e))
    # LibreOffice recalculates on load: each output must show what its source sheet shows, the
    # other sheets read from the caches the link carries.
    csv = xo.office_csv('soffice', sorted({d[2] for d in done}) + [d[3] for d in done], os.path.join(work, 'csv'), profile)
    for book, sheet, src, out, cut in done:
        want = [[cell[:cut] for cell in row] for row in xo.read_csv(csv[src][sheet])]
        got = xo.read_csv(csv[out][sheet]) if sheet in csv.get(out, {}) else None
        if got != want:
            failures.append('%s / %s: LibreOffice shows %r, the source %r' % (book, sheet, got and got[:3], want[:3]))
    return failures


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--app', required=True)
    args = ap.parse_args()
    work = tempfile.mkdtemp(prefix='engine-cases-')
    try:
        failures = run(os.path.abspath(args.app), work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print('FAIL', f)
    print('%d failure(s)' % len(failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
