#!/usr/bin/python3
"""Whole-corpus fidelity check of the one-worksheet extraction.

For every worksheet of every sound BIFF8 workbook of the corpus (MANIFEST.tsv kind "biff8"), the
command-line tool extracts the worksheet into a new workbook in a temporary folder. Two readers
that are not ours then compare the source sheet with the extracted one:

* xlrd with formatting_info=True: sheet name, cell values and types, the resolved formatting of
  every cell (number format string, font, fill, borders, alignment, protection), merged ranges,
  column widths, row heights, hidden rows and columns, comments, hyperlinks and rich-text runs.
  A worksheet whose source xlrd cannot read at all is excused from this part and then judged by
  the CSV comparison alone; the excused list is printed.
* LibreOffice, which recalculates on load: each sheet exported to CSV must give the same cells.
  Two kinds of cell difference come from the recalculation, not from the extraction, and are
  accepted and listed: a cell whose value changes between two loads of the same source (clock,
  random numbers), and a cell where the extracted sheet shows exactly the value the source
  stores while LibreOffice's recalculation of the source gives another (the extracted sheet's
  references to sheets it does not hold carry the stored values). Rows that differ only in
  trailing empty cells are no difference.
* Formula text (LibreOffice's CSV export of formulas), because recalculated values cannot tell a
  formula from its stored result: with references into the source file read as references to
  its sheets, the formulas must read the same. Listed by default (--formulas report), counted
  as differences with --formulas strict.

Prints "N of M worksheets identical" and every difference. Exits non-zero when a worksheet
differs (unless --report-only), and always when xlrd or LibreOffice is missing: a missing oracle
is a failure, never a skip.

Must run under Debian's /usr/bin/python3 (the one that has python3-xlrd).
"""
import argparse
import concurrent.futures as cf
import csv
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

CSV_FILTER = 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1'
# The same with the tenth token on: formula cells are written as their formula text.
FORMULA_FILTER = 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,true,false,-1'
# A reference to a sheet the extracted workbook does not hold becomes a reference into the source
# file: 'file:///.../source.xls'#$Sheet2.A1 instead of $Sheet2.A1.
EXTERNAL_PREFIX = re.compile(r"'file://[^']*'#")
MAX_DIFFS_PER_SHEET = 8
RELOADS = 3


def find_soffice():
    for cand in (shutil.which('soffice'), '/usr/bin/soffice', '/usr/lib/libreoffice/program/soffice'):
        if cand and os.access(cand, os.X_OK):
            return cand
    return None


def private_env(work):
    """The environment for the programs this test starts: home and runtime folders of its own, so
    nothing is read from or left in the user's."""
    env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(work, 'xdg'), HOME=os.path.join(work, 'home'))
    os.makedirs(env['XDG_RUNTIME_DIR'], mode=0o700, exist_ok=True)
    os.makedirs(env['HOME'], exist_ok=True)
    return env


def read_manifest(corpus):
    """(relative path, [worksheet names]) of every sound BIFF8 workbook, in manifest order."""
    rows = []
    with open(os.path.join(corpus, 'MANIFEST.tsv'), encoding='utf-8', newline='') as f:
        for row in csv.DictReader(f, delimiter='\t'):
            if row['kind'] != 'biff8':
                continue
            names = row['worksheet_names'].split(' | ') if row['worksheet_names'] else []
            rows.append((row['file'], names))
    return rows


# ---------------------------------------------------------------------------------------------
# xlrd side: everything about a sheet that a user sees, with formatting resolved to values so that
# a renumbered XF, font or palette entry still compares equal when it means the same thing.

class Resolver:
    def __init__(self, book):
        self.book = book
        self.xf_cache = {}

    def colour(self, idx):
        rgb = self.book.colour_map.get(idx)
        # System colours (window text, background, automatic) have no RGB: compare the index.
        return rgb if rgb is not None else ('system', idx)

    def font(self, idx):
        fonts = self.book.font_list
        if idx is None or not (0 <= idx < len(fonts)):
            return ('no font', idx)
        f = fonts[idx]
        return (f.name, f.height, f.weight, f.bold, f.italic, f.underline_type, f.struck_out,
                f.escapement, f.family, f.character_set, f.outline, f.shadow,
                self.colour(f.colour_index))

    def xf(self, idx):
        if idx in self.xf_cache:
            return self.xf_cache[idx]
        xfl = self.book.xf_list
        if idx is None or not (0 <= idx < len(xfl)):
            res = ('no XF', idx)
        else:
            x = xfl[idx]
            fmt = self.book.format_map.get(x.format_key)
            b, bg, al, pr = x.border, x.background, x.alignment, x.protection
            res = (
                ('number format', fmt.format_str if fmt is not None else ('missing', x.format_key)),
                ('font', self.font(x.font_index)),
                ('fill', (bg.fill_pattern, self.colour(bg.pattern_colour_index),
                          self.colour(bg.background_colour_index))),
                ('borders', (b.top_line_style, self.colour(b.top_colour_index),
                             b.bottom_line_style, self.colour(b.bottom_colour_index),
                             b.left_line_style, self.colour(b.left_colour_index),
                             b.right_line_style, self.colour(b.right_colour_index),
                             b.diag_line_style, self.colour(b.diag_colour_index),
                             b.diag_down, b.diag_up)),
                ('alignment', (al.hor_align, al.vert_align, al.rotation, al.text_wrapped,
                               al.indent_level, al.shrink_to_fit, al.text_direction)),
                ('protection', (pr.cell_locked, pr.formula_hidden)),
            )
        self.xf_cache[idx] = res
        return res


def describe_xf_diff(a, b):
    parts = [name for (name, va), (_, vb) in zip(a, b) if va != vb] if (
        isinstance(a, tuple) and isinstance(b, tuple) and len(a) == len(b) == 6) else ['XF']
    return ', '.join(parts)


def sheet_facts(sheet, res):
    """Sheet-level facts (everything but the cells), as (label, value) pairs."""
    facts = [
        ('merged ranges', sorted(sheet.merged_cells)),
        ('column info', sorted((c, ci.width, ci.hidden, ci.outline_level, ci.collapsed,
                                res.xf(ci.xf_index)) for c, ci in sheet.colinfo_map.items())),
        ('row info', sorted((r, ri.height, ri.hidden, ri.outline_level, ri.has_default_height,
                             ri.additional_space_above, ri.additional_space_below,
                             res.xf(ri.xf_index) if ri.has_default_xf_index else None)
                            for r, ri in sheet.rowinfo_map.items())),
        ('default column width', (sheet.defcolwidth, sheet.standardwidth)),
        ('default row height', (sheet.default_row_height, sheet.default_row_hidden,
                                sheet.default_row_height_mismatch,
                                sheet.default_additional_space_above,
                                sheet.default_additional_space_below)),
        ('comments', sorted((k, n.text, n.author) for k, n in sheet.cell_note_map.items())),
        ('hyperlinks', sorted((k, h.type, h.url_or_path, h.desc, h.textmark, h.quicktip)
                              for k, h in sheet.hyperlink_map.items())),
        ('rich text runs', sorted((k, tuple((pos, res.font(fx)) for pos, fx in runs))
                                  for k, runs in sheet.rich_text_runlist_map.items())),
        ('panes', (sheet.panes_are_frozen, sheet.horz_split_pos, sheet.vert_split_pos,
                   sheet.horz_split_first_visible, sheet.vert_split_first_visible)),
        ('view', (sheet.show_grid_lines, sheet.show_formulas, sheet.show_zero_values,
                  sheet.show_outline_symbols, sheet.first_visible_rowx,
                  sheet.first_visible_colx)),
    ]
    return facts


def short(v, n=120):
    s = repr(v)
    return s if len(s) <= n else s[:n] + '...'


def first_list_diff(a, b):
    """Where two sorted lists of facts part, for a readable message."""
    for i in range(min(len(a), len(b))):
        if a[i] != b[i]:
            return 'source %s, output %s' % (short(a[i]), short(b[i]))
    if len(a) != len(b):
        extra = a[len(b)] if len(a) > len(b) else b[len(a)]
        return '%d vs %d entries (first unmatched %s)' % (len(a), len(b), short(extra))
    return ''


def compare_sheets(src_book, src_sheet, out_book, out_sheet):
    from xlrd import colname
    diffs = []
    rs, ro = Resolver(src_book), Resolver(out_book)
    if src_book.datemode != out_book.datemode:
        diffs.append('date system: source %d, output %d' % (src_book.datemode, out_book.datemode))
    if out_book.nsheets != 1:
        diffs.append('output holds %d sheets, not 1 (%s)' % (out_book.nsheets, out_book.sheet_names()))
    if out_sheet.name != src_sheet.name:
        diffs.append('sheet name: source %r, output %r' % (src_sheet.name, out_sheet.name))
    if out_sheet.visibility != 0:
        diffs.append('output sheet is not visible (visibility %d)' % out_sheet.visibility)
    if (src_sheet.nrows, src_sheet.ncols) != (out_sheet.nrows, out_sheet.ncols):
        diffs.append('size: source %dx%d, output %dx%d' % (src_sheet.nrows, src_sheet.ncols,
                                                            out_sheet.nrows, out_sheet.ncols))
    cell_diffs = 0
    for r in range(min(src_sheet.nrows, out_sheet.nrows)):
        srow, orow = src_sheet.row(r), out_sheet.row(r)
        for c in range(max(len(srow), len(orow))):
            sc = srow[c] if c < len(srow) else None
            oc = orow[c] if c < len(orow) else None
            where = '%s%d' % (colname(c), r + 1)
            if sc is None or oc is None:
                what = 'cell present only in %s' % ('output' if sc is None else 'source')
            elif sc.ctype != oc.ctype or sc.value != oc.value:
                what = 'value: source (%d, %s), output (%d, %s)' % (
                    sc.ctype, short(sc.value, 60), oc.ctype, short(oc.value, 60))
            else:
                xs, xo = rs.xf(sc.xf_index), ro.xf(oc.xf_index)
                if xs == xo:
                    continue
                what = 'formatting differs in ' + describe_xf_diff(xs, xo)
            cell_diffs += 1
            if cell_diffs <= MAX_DIFFS_PER_SHEET // 2:
                diffs.append('cell %s: %s' % (where, what))
    if cell_diffs > MAX_DIFFS_PER_SHEET // 2:
        diffs.append('... %d cells differ in all' % cell_diffs)
    for (label, a), (_, b) in zip(sheet_facts(src_sheet, rs), sheet_facts(out_sheet, ro)):
        if a != b:
            detail = first_list_diff(a, b) if isinstance(a, list) else \
                'source %s, output %s' % (short(a), short(b))
            diffs.append('%s: %s' % (label, detail))
    return diffs


def xlrd_check_workbook(src_path, jobs):
    """jobs: [(sheet name, output path or None)]. Returns {name: ('ok'|'diff'|'excused', [text])}."""
    import xlrd
    devnull = open(os.devnull, 'w')
    results = {}
    try:
        src = xlrd.open_workbook(src_path, formatting_info=True, logfile=devnull)
    except Exception as e:  # xlrd's own limits: the CSV comparison decides for these sheets
        for name, _ in jobs:
            results[name] = ('excused', ['xlrd cannot read the source workbook: %s: %s'
                                         % (type(e).__name__, str(e)[:200])])
        return results
    for name, out_path in jobs:
        if out_path is None:
            continue
        try:
            src_sheet = src.sheet_by_name(name)
        except xlrd.XLRDError:
            results[name] = ('diff', ['xlrd finds no sheet %r in the source' % name])
            continue
        try:
            out = xlrd.open_workbook(out_path, formatting_info=True, logfile=devnull)
            out_sheet = out.sheet_by_index(0)
        except Exception as e:
            results[name] = ('diff', ['xlrd cannot read the output: %s: %s'
                                      % (type(e).__name__, str(e)[:200])])
            continue
        d = compare_sheets(src, src_sheet, out, out_sheet)
        results[name] = ('diff', d) if d else ('ok', [])
    return results


# ---------------------------------------------------------------------------------------------
# LibreOffice side.

def soffice_csv(soffice, inputs, outdir, profile, timeout, csv_filter=CSV_FILTER):
    """Converts inputs to one CSV per sheet. Returns {input path: {sheet name: csv path}} for the
    inputs it converted; an input missing from the answer failed or was never reached."""
    os.makedirs(outdir, exist_ok=True)
    cmd = [soffice, '-env:UserInstallation=file://' + profile, '--headless', '--norestore',
           '--nolockcheck', '--nologo', '--convert-to', csv_filter, '--outdir', outdir] + inputs
    # A session of its own, so that a timeout ends the office process too and not only the
    # launcher in front of it.
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            stdin=subprocess.DEVNULL, start_new_session=True,
                            env=private_env(os.path.dirname(profile)))
    try:
        raw, _ = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        raw, _ = proc.communicate()
    text = raw.decode('utf-8', 'replace')
    mapping = {}
    current = None
    marker = ' -> ' + outdir.rstrip('/') + '/'
    for line in text.splitlines():
        if line.startswith('convert '):
            rest = line[len('convert '):]
            current = rest.split(' using filter', 1)[0]
            mapping.setdefault(current, {})
        elif line.startswith('Writing sheet ') and current is not None and marker in line:
            name, fname = line[len('Writing sheet '):].rsplit(marker, 1)
            mapping[current][name] = os.path.join(outdir, fname)
    # "convert" is printed before loading: a file LibreOffice could not load writes no sheet.
    return {k: v for k, v in mapping.items() if v}


def run_soffice_groups(soffice, inputs, workdir, tag, parallel, timeout, csv_filter=CSV_FILTER):
    """Spreads inputs over `parallel` LibreOffice processes (each with its own profile), largest
    files first; a file a batch did not reach (a crash ends the batch) is retried on its own."""
    groups = [[] for _ in range(parallel)]
    sizes = [0] * parallel
    for path in sorted(inputs, key=lambda p: -os.path.getsize(p)):
        i = sizes.index(min(sizes))
        groups[i].append(path)
        sizes[i] += os.path.getsize(path)
    result = {}

    def run(i, files, attempt):
        return soffice_csv(soffice, files, os.path.join(workdir, 'csv-%s-%d-%d' % (tag, i, attempt)),
                           os.path.join(workdir, 'lo-profile-%d' % i), timeout, csv_filter)

    with cf.ThreadPoolExecutor(parallel) as pool:
        for m in pool.map(lambda ig: run(ig[0], ig[1], 0), [(i, g) for i, g in enumerate(groups) if g]):
            result.update(m)
    missing = [p for p in inputs if p not in result]
    for n, path in enumerate(missing):
        result.update(run(0, [path], n + 1))
    return result


def read_csv_cells(path):
    with open(path, encoding='utf-8', newline='') as f:
        return [row for row in csv.reader(f)]


def csv_cell_diffs(a_rows, b_rows):
    """[(row, col, a text, b text)] for every cell that differs; a missing cell counts as empty,
    so rows padded to a different width differ in no cell."""
    diffs = []
    for r in range(max(len(a_rows), len(b_rows))):
        ar = a_rows[r] if r < len(a_rows) else []
        br = b_rows[r] if r < len(b_rows) else []
        for c in range(max(len(ar), len(br))):
            at = ar[c] if c < len(ar) else ''
            bt = br[c] if c < len(br) else ''
            if at != bt:
                diffs.append((r, c, at, bt))
    return diffs


def cell_name(r, c):
    name = ''
    c += 1
    while c:
        c, rem = divmod(c - 1, 26)
        name = chr(ord('A') + rem) + name
    return '%s%d' % (name, r + 1)


# The longest text a cached value of a link to another workbook holds.
MAX_CACHED_TEXT = 255


def shows_stored_value(text, sheet, r, c):
    """Whether LibreOffice's CSV text for a cell is the value the workbook stores in it."""
    import xlrd
    if sheet is None or r >= sheet.nrows or c >= sheet.ncols:
        return text == ''
    cell = sheet.cell(r, c)
    if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
        return text == ''
    if cell.ctype == xlrd.XL_CELL_TEXT:
        return text == cell.value
    if cell.ctype == xlrd.XL_CELL_BOOLEAN:
        # A formula's Boolean result comes out as a number when LibreOffice recalculates it.
        return text.upper() in (('TRUE', '1') if cell.value else ('FALSE', '0'))
    if cell.ctype == xlrd.XL_CELL_NUMBER:
        try:
            v = float(text)
        except ValueError:
            return False
        # LibreOffice writes at most 15 significant digits.
        return abs(v - cell.value) <= 5e-14 * abs(cell.value)
    return False


# ---------------------------------------------------------------------------------------------

def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--app', required=True, help='the brakenfold-split program')
    ap.add_argument('--corpus', required=True, help='corpus folder with MANIFEST.tsv')
    ap.add_argument('--report', help='also write the summary to this file')
    ap.add_argument('--report-only', action='store_true',
                    help='exit 0 even when worksheets differ (still fails on a missing oracle)')
    ap.add_argument('--jobs', type=int, default=2, help='parallel extractions and readers')
    ap.add_argument('--only', default='', help='only workbooks whose path contains this text')
    ap.add_argument('--keep', action='store_true', help='keep the temporary folder')
    ap.add_argument('--formulas', choices=('report', 'strict', 'off'), default='report',
                    help='compare formula text too: list differences (report), count them as '
                         'differences (strict), or skip the extra export (off)')
    args = ap.parse_args()

    started = time.time()
    out_lines = []

    def say(line=''):
        print(line, flush=True)
        out_lines.append(line)

    def finish(code):
        if args.report:
            with open(args.report, 'w', encoding='utf-8') as f:
                f.write('\n'.join(out_lines) + '\n')
        sys.exit(code)

    # A missing oracle or program fails the run: nothing here may quietly skip.
    try:
        import xlrd  # noqa: F401
    except ImportError:
        say('FAIL: python3-xlrd is not importable by %s (install python3-xlrd and run this with '
            '/usr/bin/python3)' % sys.executable)
        finish(2)
    soffice = find_soffice()
    if soffice is None:
        say('FAIL: LibreOffice (soffice) is not installed (libreoffice-calc-nogui)')
        finish(2)
    if not os.access(args.app, os.X_OK):
        say('FAIL: the program %s does not exist or is not executable' % args.app)
        finish(2)
    manifest = read_manifest(args.corpus)
    if not manifest:
        say('FAIL: no biff8 workbook in %s/MANIFEST.tsv' % args.corpus)
        finish(2)
    manifest = [(p, n) for p, n in manifest if args.only in p]

    work = tempfile.mkdtemp(prefix='bf-fidelity-')
    outdir = os.path.join(work, 'out')
    os.makedirs(outdir)
    env = private_env(work)

    # Every worksheet: (workbook index, sheet index, source path, sheet name, output path).
    sheets = []
    for wi, (rel, names) in enumerate(manifest):
        src = os.path.join(args.corpus, rel)
        for si, name in enumerate(names):
            sheets.append((wi, si, src, name, os.path.join(outdir, 'w%02ds%02d.xls' % (wi, si))))
    problems = {}   # (wi, si) -> [text]
    excused = {}    # (wi, si) -> reason
    accepted = {}   # (wi, si) -> [CSV differences that say nothing about the extraction]

    # Listing must give the manifest's worksheets, in order.
    list_problems = []

    def do_list(item):
        rel, names = item
        src = os.path.join(args.corpus, rel)
        try:
            p = subprocess.run([args.app, '--list', src], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, timeout=60, env=env, stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            return '%s: --list timed out' % rel
        if p.returncode != 0:
            return '%s: --list exit %d: %s' % (rel, p.returncode,
                                               p.stderr.decode('utf-8', 'replace').strip()[:200])
        got = []
        for line in p.stdout.decode('utf-8', 'replace').splitlines():
            path, _, name = line.partition('\t')
            got.append(name)
            if os.path.abspath(path) != os.path.abspath(src):
                return '%s: --list printed path %r' % (rel, path)
        if got != names:
            return '%s: --list gave %s, expected %s' % (rel, short(got, 200), short(names, 200))
        return None

    with cf.ThreadPoolExecutor(args.jobs) as pool:
        list_problems = [r for r in pool.map(do_list, manifest) if r]

    def do_extract(s):
        wi, si, src, name, out = s
        try:
            p = subprocess.run([args.app, '--extract', src, name, out], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, timeout=120, env=env, stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            return s, 'extraction timed out'
        err = p.stderr.decode('utf-8', 'replace').strip()
        if p.returncode != 0:
            return s, 'extraction failed (exit %d): %s' % (p.returncode, err[:300])
        if not os.path.isfile(out):
            return s, 'extraction reported success but wrote no file'
        return s, None

    t0 = time.time()
    with cf.ThreadPoolExecutor(args.jobs) as pool:
        for s, err in pool.map(do_extract, sheets):
            if err:
                problems[(s[0], s[1])] = [err]
    t_extract = time.time() - t0
    extracted = [s for s in sheets if (s[0], s[1]) not in problems]

    # xlrd, one process per workbook so the source is read once.
    t0 = time.time()
    by_wb = {}
    for s in sheets:
        by_wb.setdefault(s[0], []).append(s)
    with cf.ProcessPoolExecutor(args.jobs) as pool:
        futs = {}
        for wi, ss in by_wb.items():
            jobs = [(s[3], None if (s[0], s[1]) in problems else s[4]) for s in ss]
            futs[pool.submit(xlrd_check_workbook, ss[0][2], jobs)] = ss
        for fut in cf.as_completed(futs):
            ss = futs[fut]
            try:
                res = fut.result()
            except Exception as e:
                res = {s[3]: ('diff', ['xlrd comparison crashed: %r' % e]) for s in ss}
            for s in ss:
                status, texts = res.get(s[3], ('ok', []))
                if status == 'excused':
                    excused[(s[0], s[1])] = texts[0]
                elif status == 'diff':
                    problems.setdefault((s[0], s[1]), []).extend(texts)
    t_xlrd = time.time() - t0

    # LibreOffice: every source workbook and every extracted file to CSV, then sheet by sheet.
    t0 = time.time()
    parallel = max(1, min(args.jobs, 2))
    # The office converts copies: it may leave lock files beside what it opens, and the corpus
    # is read-only.
    copies = {}
    os.makedirs(os.path.join(work, 'src'))
    for s in sheets:
        if s[2] not in copies:
            copies[s[2]] = os.path.join(work, 'src', 'w%02d-%s' % (s[0], os.path.basename(s[2])))
            shutil.copyfile(s[2], copies[s[2]])
    by_copy = run_soffice_groups(soffice, sorted(copies.values()), work, 'src', parallel, 600)
    lo_src = {orig: by_copy[c] for orig, c in copies.items() if c in by_copy}
    lo_out = run_soffice_groups(soffice, [s[4] for s in extracted], work, 'out', parallel, 600)
    t_lo = time.time() - t0
    # Cell by cell. LibreOffice recalculates on load, so two kinds of difference say nothing
    # about the extracted sheet and are accepted (and listed): a cell whose value changes from one
    # load of the source to the next (clock or random numbers), found by loading the sources that
    # differ a second time; and a cell where LibreOffice's recalculation of the source disagrees
    # with the value the source stores while the extracted sheet shows that stored value (its
    # references to the other sheets carry the stored values, which LibreOffice does not redo).
    pending = []  # (sheet tuple, source rows, cell diffs)
    for s in extracted:
        key = (s[0], s[1])
        src_csv = lo_src.get(s[2], {}).get(s[3])
        # A pivot table whose source range lies in another workbook gets a hidden sheet of the
        # office's own making for its cache (DPCache...): not a sheet of the output.
        out_map = {k: v for k, v in lo_out.get(s[4], {}).items() if k == s[3] or not k.startswith('DPCache')}
        if src_csv is None:
            problems.setdefault(key, []).append('LibreOffice exported no CSV for the source sheet')
            continue
        if len(out_map) != 1 or s[3] not in out_map:
            problems.setdefault(key, []).append(
                'LibreOffice sees the output as sheets %s' % short(sorted(out_map), 150))
            continue
        a, b = read_csv_cells(src_csv), read_csv_cells(out_map[s[3]])
        if a == b:
            continue
        d = csv_cell_diffs(a, b)
        if not d:
            accepted[key] = ['CSV differs only in the width of the used area (empty cells)']
            continue
        pending.append((s, a, d))
    if pending:
        # Each differing source is loaded RELOADS more times (as copies of other names, in one
        # batch): a random cell can repeat a value by chance once, but hardly three times.
        reloads = {}
        for orig in sorted({p[0][2] for p in pending}):
            for k in range(RELOADS):
                c = os.path.join(work, 'src', 'r%d-%s' % (k, os.path.basename(copies[orig])))
                shutil.copyfile(orig, c)
                reloads.setdefault(orig, []).append(c)
        again_copy = run_soffice_groups(soffice, sorted(c for cs in reloads.values() for c in cs),
                                        work, 'src2', parallel, 600)
        import xlrd
        stored_books = {}
        for s, a, d in pending:
            key = (s[0], s[1])
            alternatives = [read_csv_cells(again_copy[c][s[3]]) for c in reloads.get(s[2], [])
                            if s[3] in again_copy.get(c, {})]
            if s[2] not in stored_books:
                try:
                    stored_books[s[2]] = xlrd.open_workbook(s[2], logfile=open(os.devnull, 'w'))
                except Exception:
                    stored_books[s[2]] = None
            book = stored_books[s[2]]
            try:
                sheet = book.sheet_by_name(s[3]) if book is not None else None
            except xlrd.XLRDError:
                sheet = None
            real, moved, stored, cut = [], [], [], []
            for r, c, at, bt in d:
                if any((alt[r][c] if r < len(alt) and c < len(alt[r]) else '') != at
                       for alt in alternatives):
                    moved.append(cell_name(r, c))
                elif len(at) > MAX_CACHED_TEXT and bt == at[:MAX_CACHED_TEXT]:
                    cut.append(cell_name(r, c))
                elif shows_stored_value(bt, sheet, r, c):
                    stored.append(cell_name(r, c))
                else:
                    real.append('CSV %s: source %s, output %s' % (cell_name(r, c), short(at, 60),
                                                                   short(bt, 60)))
            if real:
                problems.setdefault(key, []).extend(real[:MAX_DIFFS_PER_SHEET - 1])
                if len(real) >= MAX_DIFFS_PER_SHEET:
                    problems[key].append('... %d CSV cells differ in all' % len(real))
            notes = []
            if moved:
                notes.append('%d cells change from one load of the source to the next (%s)'
                             % (len(moved), ' '.join(moved[:6])))
            if stored:
                notes.append('%d cells show the stored value, LibreOffice recalculates the source '
                             'differently (%s)' % (len(stored), ' '.join(stored[:6])))
            if cut:
                notes.append('%d cells read a text of another sheet longer than the %d characters '
                             'a cached value of the link holds (%s)' % (len(cut), MAX_CACHED_TEXT, ' '.join(cut[:6])))
            if notes:
                accepted[key] = notes

    # Formula text, where the recalculated values cannot tell a formula from its result: the
    # extracted sheet's formulas must read as the source's once references into the source file
    # are read as references to its sheets.
    formula_diffs = {}
    t0 = time.time()
    if args.formulas != 'off':
        f_src = run_soffice_groups(soffice, sorted(copies.values()), work, 'fsrc', parallel, 600,
                                   FORMULA_FILTER)
        f_out = run_soffice_groups(soffice, [s[4] for s in extracted], work, 'fout', parallel, 600,
                                   FORMULA_FILTER)
        for s in extracted:
            key = (s[0], s[1])
            a_path = f_src.get(copies[s[2]], {}).get(s[3])
            b_path = f_out.get(s[4], {}).get(s[3])
            if a_path is None or b_path is None:
                formula_diffs[key] = ['LibreOffice exported no formula CSV']
                continue
            b = [[EXTERNAL_PREFIX.sub('', t) for t in row] for row in read_csv_cells(b_path)]
            d = [x for x in csv_cell_diffs(read_csv_cells(a_path), b)
                 if x[2].startswith('=') or x[3].startswith('=')]
            if d:
                formula_diffs[key] = ['formula %s: source %s, output %s' % (
                    cell_name(r, c), short(at, 60), short(bt, 60)) for r, c, at, bt in d[:4]]
                if len(d) > 4:
                    formula_diffs[key].append('... %d formula cells differ in all' % len(d))
        if args.formulas == 'strict':
            for key, texts in formula_diffs.items():
                problems.setdefault(key, []).extend(texts)

    t_formulas = time.time() - t0

    # Report.
    total = len(sheets)
    identical = total - len(problems)
    say('%d of %d worksheets identical' % (identical, total))
    say('(%d workbooks; extraction %.1f s, xlrd %.1f s, LibreOffice %.1f s, formula text %.1f s, '
        'total %.1f s)' % (len(manifest), t_extract, t_xlrd, t_lo, t_formulas, time.time() - started))
    if list_problems:
        say('')
        say('Listing differs (%d workbooks):' % len(list_problems))
        for p in list_problems:
            say('  ' + p)
    if problems:
        say('')
        say('Differences (%d worksheets):' % len(problems))
        for s in sheets:
            key = (s[0], s[1])
            if key in problems:
                say('  %s [%s]:' % (os.path.relpath(s[2], args.corpus), s[3]))
                for t in problems[key][:MAX_DIFFS_PER_SHEET]:
                    say('      ' + t)
    say('')
    say('Excused from the xlrd comparison, checked by CSV only (%d worksheets):' % len(excused))
    for s in sheets:
        key = (s[0], s[1])
        if key in excused:
            say('  %s [%s]: %s' % (os.path.relpath(s[2], args.corpus), s[3], excused[key]))

    if args.formulas == 'report':
        say('')
        say('Formula text differences, listed, not counted (%d worksheets):' % len(formula_diffs))
        for s in sheets:
            key = (s[0], s[1])
            if key in formula_diffs:
                say('  %s [%s]:' % (os.path.relpath(s[2], args.corpus), s[3]))
                for t in formula_diffs[key]:
                    say('      ' + t)
    say('')
    say('Accepted LibreOffice recalculation differences (%d worksheets):' % len(accepted))
    for s in sheets:
        key = (s[0], s[1])
        if key in accepted and key not in problems:
            say('  %s [%s]: %s' % (os.path.relpath(s[2], args.corpus), s[3], '; '.join(accepted[key])))

    if args.keep:
        say('')
        say('kept ' + work)
    else:
        shutil.rmtree(work, ignore_errors=True)
    failed = bool(problems or list_problems)
    finish(1 if failed and not args.report_only else 0)


if __name__ == '__main__':
    main()
