"""What the tests know of a workbook without the engine: python3-xlrd reads it, LibreOffice
recalculates it, olefile gives its raw records; and how they run the program. Run under
Debian's /usr/bin/python3."""
import csv
import datetime
import math
import os
import shutil
import signal
import struct
import subprocess

import olefile
import xlrd

QUIET = open(os.devnull, 'w')
# How many times slower the program runs than in the plain build (the sanitizer tree sets it).
TIME_FACTOR = float(os.environ.get('BRAKENFOLD_TEST_TIME_FACTOR', '1'))


def program_deadline(seconds):
    """A deadline for one run of the program: seconds in the plain build, scaled."""
    return seconds * TIME_FACTOR


def run(app, *args, seconds=600):
    """(exit code, stdout, stderr) of one run of the program."""
    p = subprocess.run([app] + list(args), capture_output=True, timeout=program_deadline(seconds),
                       stdin=subprocess.DEVNULL)
    return p.returncode, p.stdout.decode('utf-8', 'replace'), p.stderr.decode('utf-8', 'replace')


def worksheets(app, path):
    """The worksheet names the program lists for a workbook; a refusal raises."""
    code, out, err = run(app, '--list', path)
    if code:
        raise RuntimeError('--list %s: %s' % (path, err.strip()))
    return [line.split('\t', 1)[1] for line in out.splitlines() if '\t' in line]


SOFFICE = shutil.which('soffice') or '/usr/lib/libreoffice/program/soffice'
CSV_FILTER = 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,%s,false,-1'


def manifest(corpus, kinds=('biff8',), table='MANIFEST.tsv'):
    """(file, [worksheet names]) of the corpus workbooks of the kinds, in manifest order."""
    with open(os.path.join(corpus, table), encoding='utf-8', newline='') as f:
        return [(r['file'], r['worksheet_names'].split(' | ') if r['worksheet_names'] else [])
                for r in csv.DictReader(f, delimiter='\t') if r['kind'] in kinds]


def open_book(path, formatting=True):
    return xlrd.open_workbook(path, formatting_info=formatting, logfile=QUIET, on_demand=True)


def records(path):
    """[(position, type, data)] of the workbook stream, and the stream's length."""
    ole = olefile.OleFileIO(path)
    data = ole.openstream(next(e for e in ole.listdir() if e[0].lower() in ('workbook', 'book'))).read()
    ole.close()
    out, pos = [], 0
    while pos + 4 <= len(data):
        t, n = struct.unpack_from('<HH', data, pos)
        out.append((pos, t, data[pos + 4:pos + 4 + n]))
        pos += 4 + n
    return out, len(data)


def substreams(path):
    """The records as [[globals records], [sheet records], ...], each record [type, data]; an
    embedded chart stays inside its sheet."""
    subs, depth = [], 0
    for _, t, d in records(path)[0]:
        if t == 0x0809 and depth == 0:
            subs.append([])
        depth += (t == 0x0809) - (t == 0x000A)
        subs[-1].append([t, d])
    return subs


# ---- xlrd: everything about a sheet a user sees, formatting resolved to what it means, so a
# renumbered XF, font or palette entry compares equal when it says the same thing.

class Resolver:
    def __init__(self, book):
        self.book, self.cache = book, {}

    def plain(self, obj, skip=()):
        """An xlrd object's fields, colour indexes as colours and XF indexes as formatting."""
        fields = {k: getattr(obj, k) for k in getattr(type(obj), '__slots__', None) or vars(obj) if k not in skip}
        return tuple(sorted((k, self.colour(v) if k.endswith('colour_index') else self.xf(v) if k == 'xf_index' else v)
                            for k, v in fields.items()))

    def colour(self, i):
        rgb = self.book.colour_map.get(i)
        return rgb if rgb is not None else ('system', i)

    def font(self, i):
        fonts = self.book.font_list
        return self.plain(fonts[i], ('font_index',)) if i is not None and 0 <= i < len(fonts) else ('no font', i)

    def xf(self, i):
        if i not in self.cache:
            x = self.book.xf_list[i] if i is not None and 0 <= i < len(self.book.xf_list) else None
            fmt = x and self.book.format_map.get(x.format_key)
            self.cache[i] = ('no XF', i) if x is None else (
                fmt.format_str if fmt else ('no format', x.format_key), self.font(x.font_index),
                self.plain(x.alignment), self.plain(x.border), self.plain(x.background), self.plain(x.protection))
        return self.cache[i]


def sheet_facts(s, res):
    """Everything of a sheet but its cells, as (label, value)."""
    return [
        ('merged ranges', sorted(s.merged_cells)),
        ('column info', sorted((c, res.plain(i)) for c, i in s.colinfo_map.items())),
        ('row info', sorted((r, res.plain(i)) for r, i in s.rowinfo_map.items())),
        ('comments', sorted((k, n.text, n.author) for k, n in s.cell_note_map.items())),
        ('hyperlinks', sorted((k, res.plain(h)) for k, h in s.hyperlink_map.items())),
        ('rich text runs', sorted((k, [(p, res.font(f)) for p, f in runs]) for k, runs in s.rich_text_runlist_map.items())),
        ('sizes, panes and view', [getattr(s, a) for a in (
            'defcolwidth', 'standardwidth', 'default_row_height', 'default_row_hidden', 'default_row_height_mismatch',
            'default_additional_space_above', 'default_additional_space_below', 'panes_are_frozen', 'horz_split_pos',
            'vert_split_pos', 'horz_split_first_visible', 'vert_split_first_visible', 'show_grid_lines', 'show_formulas',
            'show_zero_values', 'show_outline_symbols', 'first_visible_rowx', 'first_visible_colx')]),
    ]


def short(v, n=120):
    s = repr(v)
    return s if len(s) <= n else s[:n] + '...'


def cells(sheet, res):
    """{(row, col): (type, value, formatting)}; without res only cells that show something, and
    no formatting (a writer other than the engine may pad rows or drop empty texts)."""
    out = {}
    for r in range(sheet.nrows):
        for c, cell in enumerate(sheet.row(r)):
            if res:
                out[(r, c)] = (cell.ctype, cell.value, res.xf(cell.xf_index))
            elif cell.ctype not in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK) and cell.value != '':
                out[(r, c)] = (cell.ctype, cell.value, None)
    return out


def same_cell(a, b, exact):
    if a is None or b is None or a[0] != b[0] or a[2] != b[2]:
        return False
    if not exact and isinstance(a[1], float):
        return math.isclose(a[1], b[1], rel_tol=1e-12, abs_tol=1e-12)
    return a[1] == b[1]


def compare(src, name, out, exact=True, limit=4):
    """Differences between sheet `name` of the source book and the only sheet of the output book
    (both opened with formatting when exact). Exact: every cell with its formatting, sheet facts,
    date system, and no shared string that is not text of the sheet; else the values alone."""
    diffs = []
    o = out.sheet_by_index(0)
    if out.nsheets != 1:
        diffs.append('output holds %d sheets: %s' % (out.nsheets, out.sheet_names()))
    if o.name != name or o.visibility != 0:
        diffs.append('output sheet %r (visibility %d), not %r shown' % (o.name, o.visibility, name))
    s = src.sheet_by_name(name)
    rs, ro = (Resolver(src), Resolver(out)) if exact else (None, None)
    a, b = cells(s, rs), cells(o, ro)
    bad = [k for k in sorted(set(a) | set(b)) if not same_cell(a.get(k), b.get(k), exact)]
    diffs += ['cell %s: source %s, output %s' % (xlrd.cellname(*k), short(a.get(k), 90), short(b.get(k), 90))
              for k in bad[:limit]]
    if len(bad) > limit:
        diffs.append('... %d cells differ in all' % len(bad))
    if not exact:
        return diffs
    if (s.nrows, s.ncols) != (o.nrows, o.ncols):
        diffs.append('size: source %dx%d, output %dx%d' % (s.nrows, s.ncols, o.nrows, o.ncols))
    if src.datemode != out.datemode:
        diffs.append('date system: source %d, output %d' % (src.datemode, out.datemode))
    for (label, x), (_, y) in zip(sheet_facts(s, rs), sheet_facts(o, ro)):
        if x != y:
            diffs.append('%s: source %s, output %s' % (label, short(x), short(y)))
    texts = {v[1] for v in a.values() if v[0] == xlrd.XL_CELL_TEXT}
    leaked = [t for t in out._sharedstrings if t not in texts]
    if leaked:
        diffs.append('shared strings that are no text of the sheet: %s' % short(leaked))
    return diffs


def structure(out, src):
    """What readers pass over but a writer must get right: no VBA project or document summary
    (it lists every sheet), and, where the source has them right, a record stream framed to its
    end, sheet list offsets at a BOF, INDEX offsets at DEFCOLWIDTH and DBCELL records, text
    cells inside the string table, every sheet window selected."""
    ole = olefile.OleFileIO(out)
    bad = ['holds %s' % e[0] for e in ole.listdir(storages=True)
           if e[0] in ('_VBA_PROJECT_CUR', '\x05DocumentSummaryInformation')]
    ole.close()
    try:
        known = record_faults(src)
    except OSError:  # a container olefile refuses
        known = set()
    return bad + sorted(record_faults(out) - known)


def record_faults(path):
    recs, size = records(path)
    at = {pos: t for pos, t, _ in recs}
    sheets, strings, bad = list(at.values()).count(0x0085), 0, set()
    if recs and sum(4 + len(d) for _, _, d in recs) != size:
        bad.add('the record stream does not end with its last record')
    for _, t, d in recs:
        if t not in (0x00FC, 0x00FD, 0x023E, 0x003D, 0x0085, 0x020B):
            continue
        u16 = [x[0] for x in struct.iter_unpack('<H', d[:len(d) // 2 * 2])]
        if t == 0x00FC:
            strings = u16[2] + (u16[3] << 16)
        elif t == 0x00FD and u16[3] + (u16[4] << 16) >= strings:
            bad.add('a text cell past the string table')
        elif t == 0x023E and len(d) == 18 and u16[0] & 0x0600 != 0x0600:
            bad.add('a sheet window not selected')
        elif t == 0x003D and len(d) >= 16 and (u16[5] >= sheets or u16[7] > sheets):
            bad.add('a workbook window shows sheets the workbook does not have')
        elif t == 0x0085 and at.get(u16[0] + (u16[1] << 16)) != 0x0809:
            bad.add('the sheet list points at no BOF')
        elif t == 0x020B:
            points = [at.get(p) for p in struct.unpack_from('<%dI' % ((len(d) - 12) // 4), d, 12)]
            if points[:1] != [0x0055] or any(p != 0x00D7 for p in points[1:]):
                bad.add('INDEX points elsewhere than at DEFCOLWIDTH and DBCELL')
    return bad


# ---- LibreOffice, which recalculates every formula on load.

def office_csv(soffice, inputs, outdir, profile, formulas=False, timeout=600):
    """Every sheet of each input as CSV (formula text instead of values with formulas):
    {input: {sheet: csv path}}; an input missing from the answer did not load. The office gets
    a profile and home of its own and a session, so a timeout ends it too."""
    os.makedirs(outdir, exist_ok=True)
    home = os.path.join(os.path.dirname(profile), 'home')
    os.makedirs(home, exist_ok=True)
    env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=home)
    p = subprocess.Popen([soffice, '-env:UserInstallation=file://' + profile, '--headless', '--norestore',
                          '--nolockcheck', '--convert-to', CSV_FILTER % ('true' if formulas else 'false'),
                          '--outdir', outdir] + inputs, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         stdin=subprocess.DEVNULL, start_new_session=True, env=env)
    try:
        text = p.communicate(timeout=timeout)[0]
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        text = p.communicate()[0]
    found, current, marker = {}, None, ' -> ' + outdir.rstrip('/') + '/'
    for line in text.decode('utf-8', 'replace').splitlines():
        if line.startswith('convert '):
            current = line[8:].split(' using filter', 1)[0]
        elif line.startswith('Writing sheet ') and current and marker in line:
            sheet, file = line[14:].rsplit(marker, 1)
            found.setdefault(current, {})[sheet] = os.path.join(outdir, file)
    return found


def read_csv(path):
    with open(path, encoding='utf-8', newline='') as f:
        return list(csv.reader(f))


def csv_cell(grid, r, c):
    """A cell's text of a CSV grid, a missing cell counting as empty."""
    return grid[r][c] if r < len(grid) and c < len(grid[r]) else ''


def csv_diffs(a, b):
    """[(row, col, a text, b text)] of the cells that differ, a missing cell counting as empty."""
    cells = ((r, c) for r in range(max(len(a), len(b)))
             for c in range(max(len(a[r]) if r < len(a) else 0, len(b[r]) if r < len(b) else 0)))
    return [(r, c, csv_cell(a, r, c), csv_cell(b, r, c)) for r, c in cells if csv_cell(a, r, c) != csv_cell(b, r, c)]


def shows(text, value):
    """Whether a CSV text of the office shows a stored value: a Boolean (recalculated, it may come
    out as a number), a date or time (month/day/year and time of day, to the second the text
    gives), a number to the 15 digits shown, or a text."""
    if isinstance(value, bool):
        return text.upper() in (('TRUE', '1') if value else ('FALSE', '0'))
    if isinstance(value, str):
        return text == value
    if isinstance(value, (datetime.date, datetime.time)):
        for form in ('%m/%d/%Y %H:%M:%S', '%m/%d/%Y', '%H:%M:%S'):
            try:
                shown = datetime.datetime.strptime(text, form)
            except ValueError:
                continue
            if isinstance(value, datetime.time):
                value = datetime.datetime.combine(shown.date(), value)
            elif not isinstance(value, datetime.datetime):
                value = datetime.datetime.combine(value, datetime.time())
            return abs((shown - value).total_seconds()) < 1
        return False
    try:
        return value is not None and abs(float(text) - float(value)) <= 5e-14 * abs(float(value))
    except (TypeError, ValueError):
        return text == str(value)
