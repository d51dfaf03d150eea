#!/usr/bin/python3
"""Workbooks of the kinds the engine once failed on, made here (xlwt, raw records, LibreOffice
through python3-uno), split by the command-line tool and checked by xlrd and LibreOffice.

usage: engine_cases.py --app BRAKENFOLD-SPLIT [--keep DIR]       exit 0 when every case holds
"""
import argparse
import csv
import glob
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

import olefile
import xlrd
import xlwt

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xlrd_compare import describe  # noqa: E402

# ---- raw records ----------------------------------------------------------------------------

def substreams(path):
    """The Workbook stream as [[globals records], [sheet records], ...], each record [type, data]."""
    ole = olefile.OleFileIO(path)
    data = ole.openstream('Workbook').read()
    ole.close()
    subs, depth, pos = [], 0, 0
    while pos + 4 <= len(data):
        t, n = struct.unpack_from('<HH', data, pos)
        if t == 0 and n == 0:
            break
        if t == 0x0809 and depth == 0:
            subs.append([])
        depth += t == 0x0809
        subs[-1].append([t, data[pos + 4:pos + 4 + n]])
        depth -= t == 0x000A
        pos += 4 + n
    return subs


def write_book(path, subs, drop_eof_of=None):
    """Joins substreams (sheet offsets fixed) into a compound file with one Workbook stream."""
    if drop_eof_of is not None:
        subs[1 + drop_eof_of].pop()
    pos = sum(4 + len(d) for _, d in subs[0])
    offsets = []
    for s in subs[1:]:
        offsets.append(pos)
        pos += sum(4 + len(d) for _, d in s)
    sheets = iter(offsets)
    for r in subs[0]:
        if r[0] == 0x0085:
            r[1] = struct.pack('<I', next(sheets)) + r[1][4:]
    stream = b''.join(struct.pack('<HH', t, len(d)) + d for s in subs for t, d in s)
    stream += b'\0' * (-len(stream) % 4096 if len(stream) >= 4096 else 4096 - len(stream))
    n = len(stream) // 512
    fat = list(range(1, n)) + [0xFFFFFFFE, 0xFFFFFFFE, 0xFFFFFFFD]  # stream, directory, FAT
    nfat = 1
    while len(fat) + nfat - 1 > 128 * nfat:
        nfat += 1
        fat.append(0xFFFFFFFD)
    fat += [0xFFFFFFFF] * (128 * nfat - len(fat))

    def entry(name, kind, child, start, size):
        u = (name + '\0').encode('utf-16-le') if name else b''
        return (u.ljust(64, b'\0') + struct.pack('<HBBIII', len(u), kind, 1, 0xFFFFFFFF, 0xFFFFFFFF, child)
                + b'\0' * 36 + struct.pack('<IQ', start, size))
    directory = (entry('Root Entry', 5, 1, 0xFFFFFFFE, 0) + entry('Workbook', 2, 0xFFFFFFFF, 0, len(stream))
                 + entry('', 0, 0xFFFFFFFF, 0, 0) * 2)
    header = (bytes.fromhex('d0cf11e0a1b11ae1') + b'\0' * 16 + struct.pack('<HHHHH', 0x3E, 3, 0xFFFE, 9, 6)
              + b'\0' * 6 + struct.pack('<9I', 0, nfat, n, 0, 4096, 0xFFFFFFFE, 0, 0xFFFFFFFE, 0)
              + struct.pack('<109I', *([n + 1 + i for i in range(nfat)] + [0xFFFFFFFF] * (109 - nfat))))
    with open(path, 'wb') as f:
        f.write(header + stream + directory + struct.pack('<%dI' % len(fat), *fat))


def xlwt_subs(sheets, fill):
    """An xlwt workbook with these sheets, filled by fill(list of sheets), as substreams."""
    wb = xlwt.Workbook()
    fill([wb.add_sheet(n) for n in sheets])
    fd, tmp = tempfile.mkstemp(suffix='.xls')
    os.close(fd)
    wb.save(tmp)
    subs = substreams(tmp)
    os.unlink(tmp)
    return subs


def formula(row, col, rgce, value):
    return [0x0006, struct.pack('<HHHdHIH', row, col, 15, value, 2, 0, len(rgce)) + rgce]


def name_record(name, itab, rgce):
    return [0x0018, struct.pack('<HBBHHHI', 0, 0, len(name), len(rgce), 0, itab, 0) + b'\0' + name.encode() + rgce]


def add_names_and_cells(subs, names, cells):
    """Names after the link table; formula cells (sheet -> [(row, col, rgce, value)]) before WINDOW2."""
    g = subs[0]
    at = max(i for i, r in enumerate(g) if r[0] in (0x0017, 0x01AE, 0x0085)) + 1
    g[at:at] = [name_record(*n) for n in names]
    for k, recs in cells.items():
        s = subs[1 + k]
        j = next(j for j, r in enumerate(s) if r[0] == 0x023E)
        s[j:j] = [formula(*c) for c in recs]
    return subs

# ---- the workbooks --------------------------------------------------------------------------

def two_windows(path):
    """Two windows: a second WINDOW1 and, in every sheet, a second window group with frozen panes."""
    def fill(sheets):
        for ws in sheets:
            for r in range(6):
                ws.write(r, 0, '%s%d' % (ws.name, r))
                ws.write(r, 1, r * 1.5)
    subs = xlwt_subs(['Left', 'Right'], fill)
    g = subs[0]
    i = next(i for i, r in enumerate(g) if r[0] == 0x003D)
    g.insert(i + 1, [0x003D, struct.pack('<hh', 400, 300) + g[i][1][4:]])
    for s in subs[1:]:
        j = next(j for j, r in enumerate(s) if r[0] == 0x023E)
        flags = (struct.unpack_from('<H', s[j][1])[0] | 0x0108) & ~0x0600  # frozen, not selected
        selections = [[0x001D, struct.pack('<BHHHHHHBB', p, 2, 1, 0, 1, 2, 2, 1, 1)] for p in (3, 2, 1, 0)]
        s[j + 1:j + 1] = [[0x023E, struct.pack('<H', flags) + s[j][1][2:]],
                          [0x0041, struct.pack('<HHHHBB', 1, 2, 2, 1, 0, 0)]] + selections
    write_book(path, subs)


def long_texts(path):
    """Formulas that read texts of thousands of characters on another sheet."""
    wb = xlwt.Workbook()
    report, texts = wb.add_sheet('Report'), wb.add_sheet('Texts')
    texts.write(0, 0, 'x' * 6000)
    texts.write(1, 0, ''.join(chr(0x400 + i % 64) for i in range(5000)))
    texts.write(2, 0, 7)
    for r, f in enumerate(('Texts!A1', 'Texts!A2', 'Texts!A3*2')):
        report.write(r, 0, xlwt.Formula(f))
    wb.save(path)


def header_counts(field, change):
    """A sound compound file whose header count at `field` is changed."""
    def make(path):
        wb = xlwt.Workbook()
        alpha, beta = wb.add_sheet('Alpha'), wb.add_sheet('Beta')
        for r in range(3000):  # large enough for several FAT sectors
            alpha.write(r, 0, r)
            beta.write(r, 0, 'b%d' % r)
        wb.save(path)
        with open(path, 'r+b') as f:
            f.seek(field)
            value = struct.unpack('<I', f.read(4))[0]
            f.seek(field)
            f.write(struct.pack('<I', change(value)))
    return make


def no_eof(path):
    """The first sheet lost its EOF record and runs into the second."""
    def fill(sheets):
        for v, ws in enumerate(sheets):
            ws.write(0, 0, ws.name + ' text')
            ws.write(1, 0, v)
    write_book(path, xlwt_subs(['First', 'Second', 'Third'], fill), drop_eof_of=0)


def bad_name(path):
    """The name Broken holds a token no BIFF8 writer uses; only User reads it, Clean reads Good."""
    def fill(sheets):
        sheets[0].write(0, 0, xlwt.Formula('Clean!A1'))
        sheets[1].write(0, 0, 41)
    names = [('Broken', 0, bytes([0x1E, 1, 0, 0x2E, 0, 0])), ('Good', 0, bytes([0x1E, 5, 0]))]
    cells = {0: [(1, 0, bytes([0x23, 1, 0, 0, 0]), 1.0), (2, 0, bytes([0x23, 2, 0, 0, 0]), 5.0)],
             1: [(1, 0, bytes([0x23, 2, 0, 0, 0]), 5.0)]}
    write_book(path, add_names_and_cells(xlwt_subs(['User', 'Clean'], fill), names, cells))


def local_names(path):
    """Report reads Data!Total (one cell), Summary SUM(Data!Items) (a range): names of the sheet Data."""
    def fill(sheets):
        for ws in sheets[:2]:
            ws.write(0, 0, xlwt.Formula('Data!A1'))  # the link entry (self, Data, Data) is ixti 1
        for r in range(3):
            sheets[2].write(r, 0, 100 + r)
    names = [('Total', 3, bytes([0x3A, 1, 0, 0, 0, 0, 0])),
             ('Items', 3, bytes([0x3B, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0]))]
    cells = {0: [(1, 0, bytes([0x39, 1, 0, 1, 0, 0, 0]), 100.0)],
             1: [(1, 0, bytes([0x39, 1, 0, 2, 0, 0, 0, 0x22, 1, 4, 0]), 303.0)]}  # SUM(Data!Items)
    write_book(path, add_names_and_cells(xlwt_subs(['Report', 'Summary', 'Data'], fill), names, cells))


SECRETS = ['SecretAlpha', 'SecretBeta', 'SecretGamma']


def privacy(path):
    """Three sheets reading each other, and one that reads nothing."""
    wb = xlwt.Workbook()
    sheets = [wb.add_sheet(n) for n in SECRETS + ['Lonely']]
    for i in range(3):
        sheets[i].write(0, 0, 10 + i)
        sheets[i].write(1, 0, xlwt.Formula('%s!A1+1' % SECRETS[(i + 1) % 3]))
    sheets[3].write(0, 0, 'refers to nothing')
    sheets[3].write(1, 0, xlwt.Formula('1+1'))
    wb.save(path)


def pivot(desktop):
    """A pivot table on Pivot over a range of Data, and a GETPIVOTDATA formula reading it."""
    def make(path):
        import uno
        from com.sun.star.beans import PropertyValue
        from com.sun.star.table import CellAddress, CellRangeAddress
        from com.sun.star.sheet.DataPilotFieldOrientation import ROW, DATA
        from com.sun.star.sheet.GeneralFunction import SUM

        def prop(n, v):
            p = PropertyValue()
            p.Name, p.Value = n, v
            return p
        doc = desktop.loadComponentFromURL('private:factory/scalc', '_blank', 0, (prop('Hidden', True),))
        doc.Sheets.getByIndex(0).Name = 'Data'
        doc.Sheets.insertNewByName('Pivot', 1)
        rows = (('Region', 'Product', 'Amount'), ('North', 'Apples', 10), ('South', 'Apples', 20),
                ('North', 'Pears', 5), ('East', 'Pears', 7), ('South', 'Plums', 3))
        doc.Sheets.getByName('Data').getCellRangeByName('A1:C6').setDataArray(rows)
        sheet = doc.Sheets.getByName('Pivot')
        desc = sheet.getDataPilotTables().createDataPilotDescriptor()
        src = CellRangeAddress()
        src.Sheet, src.StartColumn, src.StartRow, src.EndColumn, src.EndRow = 0, 0, 0, 2, 5
        desc.setSourceRange(src)
        desc.getDataPilotFields().getByIndex(0).Orientation = ROW
        amount = desc.getDataPilotFields().getByIndex(2)
        amount.Orientation, amount.Function = DATA, SUM
        dest = CellAddress()
        dest.Sheet, dest.Column, dest.Row = 1, 0, 2
        sheet.getDataPilotTables().insertNewByName('Sales', dest, desc)
        sheet.getCellRangeByName('E1').Formula = '=GETPIVOTDATA("Sum - Amount";$Pivot.$A$5;"Region";"North")'
        sheet.getCellRangeByName('E2').Formula = '=$Data.C2*2'
        doc.calculateAll()
        doc.storeToURL(uno.systemPathToFileUrl(path), (prop('FilterName', 'MS Excel 97'),))
        doc.close(True)
    return make

# ---- checks ---------------------------------------------------------------------------------

def records_of(path, types):
    return [(t, d) for s in substreams(path) for t, d in s if t in types]


def check_pivot(src, out):
    ole = olefile.OleFileIO(out)
    assert ole.exists('_SX_DB_CUR/0001'), 'the cache stream'
    ole.close()
    assert b'[pivot.xls]Data' in records_of(out, {0x0051})[0][1], 'the source range in the source workbook'


def names_in(out):
    data = open(out, 'rb').read()
    return [s for s in SECRETS + ['privacy.xls'] if s.encode() in data or s.encode('utf-16-le') in data]


def check_privacy(src, out):
    assert not names_in(out), 'the output names %s' % names_in(out)


def check_link_names_used_sheet_only(src, out):
    assert 'SecretBeta' in names_in(out) and 'SecretGamma' not in names_in(out), 'only the sheet the formulas read'


def check_external_name(src, out):
    """A range name of another sheet is read as that sheet's name in the source workbook (a
    reader that knows only workbook names shows an error there, not a wrong value)."""
    names = records_of(out, {0x0023})
    assert names and names[0][1][2:4] == b'\x01\x00' and b'Items' in names[0][1], 'Items as a name of sheet 1 of the link'


def long_path(path):
    """The pivot workbook again, in a folder whose path is longer than a link can hold."""
    os.makedirs(os.path.dirname(path))
    shutil.copy(os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(path))), 'pivot.xls'), path)


def check_no_link(src, out):
    assert not [d for t, d in records_of(out, {0x01AE}) if d[2:4] != b'\x01\x04'], 'no link to the source'


def check_second(src, out):
    sheet = xlrd.open_workbook(out).sheet_by_index(0)
    assert sheet.col_values(0) == ['Second text', 1.0], 'the sheet after the damaged one'


# (workbook, maker, sheet, expected error or None, extra check, comparison with the source):
# 'same' xlrd and LibreOffice see the sheet as in the source; 'cut' LibreOffice sees texts read
# from other sheets cut at 255 characters (all a cached text holds); 'xlrd' xlrd alone (LibreOffice
# cannot open the source); 'own' the check alone.
def cases(desktop):
    return [
        ('two-windows.xls', two_windows, 'Right', None, None, 'same'),
        ('pivot.xls', pivot(desktop), 'Pivot', None, check_pivot, 'same'),
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
        ('privacy.xls', privacy, 'Lonely', None, check_privacy, 'same'),
        (os.path.join('p' * 120, 'q' * 120, 'pivot.xls'), long_path, 'Pivot', None, check_no_link, 'same'),
        ('privacy.xls', None, 'SecretAlpha', None, check_link_names_used_sheet_only, 'same'),
    ]

# ---- running --------------------------------------------------------------------------------

def start_office(profile):
    import uno
    pipe = 'engine-cases-%d' % os.getpid()
    proc = subprocess.Popen(['soffice', '--headless', '--invisible', '--nologo', '--norestore', '--nodefault',
                             '--nolockcheck', '-env:UserInstallation=file://' + profile,
                             '--accept=pipe,name=%s;urp;' % pipe], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext('com.sun.star.bridge.UnoUrlResolver', local)
    for _ in range(240):
        try:
            ctx = resolver.resolve('uno:pipe,name=%s;urp;StarOffice.ComponentContext' % pipe)
            return proc, ctx.ServiceManager.createInstanceWithContext('com.sun.star.frame.Desktop', ctx)
        except Exception:
            time.sleep(0.5)
    proc.kill()
    raise SystemExit('LibreOffice did not start')


def office_csv(files, outdir, profile):
    """One CSV per sheet of each file, as LibreOffice computes it on load."""
    subprocess.run(['soffice', '-env:UserInstallation=file://' + profile, '--headless', '--convert-to',
                    'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1',
                    '--outdir', outdir] + files, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)

    def read(book, sheet):
        path = os.path.join(outdir, '%s-%s.csv' % (os.path.splitext(os.path.basename(book))[0], sheet))
        with open(path, newline='', encoding='utf-8') as f:
            return [row for row in csv.reader(f)]
    return read


def xlrd_same(src, sheet, out):
    a = xlrd.open_workbook(src, formatting_info=True)
    b = xlrd.open_workbook(out, formatting_info=True)
    assert b.nsheets == 1, 'one sheet'
    da, db = describe(a, a.sheet_by_name(sheet)), describe(b, b.sheet_by_index(0))
    diff = [k for k in da if da[k] != db[k]]
    assert not diff, 'xlrd sees %s differ' % diff


def split(app, *args):
    return subprocess.run([app] + list(args), capture_output=True, text=True, timeout=300)


def run(app, work):
    books, outs = os.path.join(work, 'books'), os.path.join(work, 'out')
    os.makedirs(books)
    os.makedirs(outs)
    profile = os.path.join(work, 'profile')
    proc, desktop = start_office(profile)
    try:
        table = cases(desktop)
        for book, make, *_ in table:
            if make:
                make(os.path.join(books, book))
    finally:
        desktop.terminate()
        proc.wait(timeout=60)
    failures, done = [], []
    for book, _, sheet, error, check, mode in table:
        src = os.path.join(books, book)
        out = os.path.join(outs, '%s-%s.xls' % (os.path.basename(book)[:-4] + ('-long' if os.sep in book else ''), sheet))
        r = split(app, '--extract', src, sheet, out)
        try:
            if error:
                assert r.returncode == 1 and error in r.stderr, 'expected "%s", got: %s' % (error, r.stderr.strip())
                continue
            assert r.returncode == 0, r.stderr.strip()
            if mode != 'own':
                xlrd_same(src, sheet, out)
            if check:
                check(src, out)
            if mode in ('same', 'cut'):
                done.append((book, sheet, src, out, mode == 'cut'))
        except AssertionError as e:
            failures.append('%s / %s: %s' % (book, sheet, e))
    # LibreOffice recalculates on load: each output must show what its source sheet shows, the
    # other sheets read from the caches the link carries.
    lo = os.path.join(work, 'csv')
    read = office_csv(sorted({d[2] for d in done}) + [d[3] for d in done], lo, profile)
    for book, sheet, src, out, cut in done:
        want = [[cell[:255] if cut else cell for cell in row] for row in read(src, sheet)]
        if read(out, sheet) != want:
            failures.append('%s / %s: LibreOffice shows %r, the source %r' % (book, sheet, read(out, sheet)[:3], want[:3]))
    failures += check_folder_split(app, books, work)
    return failures


def check_folder_split(app, books, work):
    """Every sound workbook of the set split at once: exit 0 and one file per worksheet."""
    folder = os.path.join(work, 'sound')
    os.makedirs(folder)
    worksheets = 0
    for f in glob.glob(os.path.join(books, '*.xls')):
        if os.path.basename(f) not in ('no-eof.xls', 'bad-name.xls'):
            shutil.copy(f, folder)
            worksheets += len(xlrd.open_workbook(f, on_demand=True).sheet_names())
    os.makedirs(os.path.join(work, 'runs'))
    r = split(app, '-o', os.path.join(work, 'runs'), folder)
    made = glob.glob(os.path.join(work, 'runs', '*', '*', '*.xls'))
    if r.returncode != 0 or len(made) != worksheets:
        return ['folder split: exit %d, %d outputs for %d worksheets: %s' % (r.returncode, len(made), worksheets,
                                                                               r.stderr.strip()[-400:])]
    return []


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--app', required=True)
    ap.add_argument('--keep', help='make everything in this folder and leave it there')
    args = ap.parse_args()
    work = args.keep or tempfile.mkdtemp(prefix='engine-cases-')
    try:
        failures = run(os.path.abspath(args.app), os.path.abspath(work))
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print('FAIL', f)
    print('%d failure(s)' % len(failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
