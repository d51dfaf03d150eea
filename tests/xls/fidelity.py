#!/usr/bin/python3
"""Whole-corpus fidelity of the one-worksheet extraction.

Every worksheet of every sound BIFF8 corpus workbook is extracted by the command-line tool and
compared with its source by readers that are not ours:
* xlrd (tests/oracle): values, types and resolved formatting of every cell, sheet facts, no
  shared string of other sheets, and the record structure. A source xlrd cannot read is excused
  (listed) and judged by LibreOffice alone.
* LibreOffice, which recalculates on load: each sheet's CSV export, values and then formula text
  (references into the source file read as references to its sheets), must match. Accepted and
  listed: cells that change between loads of the source (clock, random), cells where the output
  shows the value the source stores while LibreOffice recalculates the source otherwise, texts of
  other sheets cut to the 255 characters a link's cached value holds, and formulas over 3-D ranges
  of other sheets, which the output holds as their stored result.
Prints "N of M worksheets identical" and every difference; exit 1 unless all are identical, 2
when xlrd, LibreOffice or the program is missing (never a skip).
"""
import argparse
import concurrent.futures as cf
import functools
import os
import re
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'oracle'))
import xlsoracle as xo  # noqa: E402

RELOADS = 3
MAX_CACHED_TEXT = 255
EXTERNAL_PREFIX = re.compile(r"'file://[^']*'#")
THREE_D_RANGE = re.compile(r":\$(?:'[^']+'|[^.:$(),;]+)\.")  # $Sheet2.A1:$Sheet5.A1
STORED_RESULT = re.compile(r'=\(*[^()]*\)*')
cellname = xo.xlrd.cellname


def xlrd_check(source, jobs):
    """jobs: [(key, sheet, output)] of one source; {key: ('diff' | 'excused', [text])}."""
    try:
        src = xo.open_book(source)
    except Exception as e:
        return {k: ('excused', ['xlrd cannot read the source: %r' % e]) for k, _, _ in jobs}
    res = {}
    for key, name, out in jobs:
        try:
            d = xo.compare(src, name, xo.open_book(out)) + xo.structure(out, source)
        except Exception as e:
            d = ['xlrd comparison failed: %r' % e]
        if d:
            res[key] = ('diff', d)
    return res


def shows_stored(text, sheet, r, c):
    """Whether LibreOffice's CSV text of a cell is the value the workbook stores there."""
    if sheet is None or r >= sheet.nrows or c >= sheet.ncols or sheet.cell_type(r, c) in (0, 6):
        return text == ''
    kinds = {xo.xlrd.XL_CELL_TEXT: str, xo.xlrd.XL_CELL_BOOLEAN: bool, xo.xlrd.XL_CELL_NUMBER: float}
    t = sheet.cell_type(r, c)
    return t in kinds and xo.shows(text, kinds[t](sheet.cell_value(r, c)))


class Run:
    def __init__(self, args, soffice):
        self.args, self.soffice = args, soffice
        self.work = tempfile.mkdtemp(prefix='bf-fidelity-')
        self.problems, self.excused, self.accepted = {}, {}, {}

    def problem(self, key, texts):
        if texts:
            self.problems.setdefault(key, []).extend(texts)

    def office(self, inputs, tag, formulas=False):
        """LibreOffice CSV of inputs, spread over two offices (largest files first); a file a
        batch did not reach (a crash ends the batch) is retried on its own."""
        groups = [[], []]
        for p in sorted(inputs, key=lambda p: -os.path.getsize(p)):
            min(groups, key=lambda g: sum(map(os.path.getsize, g))).append(p)

        def run(i, files):
            return xo.office_csv(self.soffice, files, os.path.join(self.work, 'csv-%s-%d' % (tag, i)),
                                 os.path.join(self.work, 'profile-%d' % (i % 2)), formulas)
        found = {}
        with cf.ThreadPoolExecutor(2) as pool:
            for m in pool.map(run, [i for i, g in enumerate(groups) if g], [g for g in groups if g]):
                found.update(m)
        for n, p in enumerate(p for p in inputs if p not in found):
            found.update(run(n + 2, [p]))
        return found

    def extract(self, s):
        key, src, name, out = s
        code, _, err = xo.run(self.args.app, '--extract', src, name, out, seconds=300)
        if code != 0 or not os.path.isfile(out):
            return key, 'extraction: exit %d, %s' % (code, err[:300])
        return key, None

    def compare_values(self, sheets, copies):
        lo_src = self.office(list(copies.values()), 'src')
        lo_out = self.office([s[3] for s in sheets], 'out')
        pending = []
        for key, src, name, out in sheets:
            a = lo_src.get(copies[src], {}).get(name)
            # A pivot table over another workbook's range gets a hidden cache sheet of the office's.
            b = {k: v for k, v in lo_out.get(out, {}).items() if k == name or not k.startswith('DPCache')}
            if a is None or list(b) != [name]:
                self.problem(key, ['LibreOffice sees the source sheet %s, the output %s' % (a is not None, list(b))])
                continue
            d = xo.csv_diffs(xo.read_csv(a), xo.read_csv(b[name]))
            if d:
                pending.append((key, src, name, d))
        reloads = {src: [os.path.join(self.work, 'src', 'r%d-%s' % (k, os.path.basename(copies[src])))
                         for k in range(RELOADS)] for src in {p[1] for p in pending}}
        for src, cs in reloads.items():
            for c in cs:
                shutil.copyfile(src, c)
        again = self.office([c for cs in reloads.values() for c in cs], 'again') if reloads else {}
        for key, src, name, d in pending:
            alts = [xo.read_csv(again[c][name]) for c in reloads[src] if name in again.get(c, {})]
            try:
                stored = xo.open_book(src, False).sheet_by_name(name)
            except Exception:
                stored = None
            notes, real = {}, []
            for r, c, at, bt in d:
                if any(xo.csv_cell(alt, r, c) != at for alt in alts):
                    notes.setdefault('change from one load of the source to the next', []).append(cellname(r, c))
                elif len(at) > MAX_CACHED_TEXT and bt == at[:MAX_CACHED_TEXT]:
                    notes.setdefault('read a text of another sheet longer than a link caches', []).append(cellname(r, c))
                elif shows_stored(bt, stored, r, c):
                    notes.setdefault('show the stored value, the source recalculates otherwise', []).append(cellname(r, c))
                else:
                    real.append('CSV %s: source %s, output %s' % (cellname(r, c), xo.short(at, 60), xo.short(bt, 60)))
            self.problem(key, real[:6] + (['... %d CSV cells differ' % len(real)] if len(real) > 6 else []))
            self.accepted[key] = ['%d cells %s (%s)' % (len(v), k, ' '.join(v[:6])) for k, v in notes.items()]

    def compare_formulas(self, sheets, copies):
        f_src = self.office(list(copies.values()), 'fsrc', True)
        f_out = self.office([s[3] for s in sheets], 'fout', True)
        for key, src, name, out in sheets:
            a, b = f_src.get(copies[src], {}).get(name), f_out.get(out, {}).get(name)
            if a is None or b is None:
                self.problem(key, ['LibreOffice exported no formula text'])
                continue
            b = [[EXTERNAL_PREFIX.sub('', t) for t in row] for row in xo.read_csv(b)]
            d = [x for x in xo.csv_diffs(xo.read_csv(a), b) if x[2].startswith('=') or x[3].startswith('=')]
            frozen = [cellname(r, c) for r, c, at, bt in d if THREE_D_RANGE.search(at) and STORED_RESULT.fullmatch(bt)]
            if frozen:
                self.accepted.setdefault(key, []).append(
                    '%d formulas over 3-D ranges of other sheets hold their result (%s)' % (len(frozen), ' '.join(frozen[:6])))
            self.problem(key, ['formula %s: source %s, output %s' % (cellname(r, c), xo.short(at, 60), xo.short(bt, 60))
                               for r, c, at, bt in d if cellname(r, c) not in frozen][:6])


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--app', required=True, help='the brakenfold-split program')
    ap.add_argument('--corpus', required=True, help='corpus folder with MANIFEST.tsv')
    ap.add_argument('--only', default='', help='only workbooks whose path holds this text')
    args = ap.parse_args()
    say = functools.partial(print, flush=True)
    soffice = xo.SOFFICE
    books = [(f, n) for f, n in xo.manifest(args.corpus) if args.only in f]
    for missing, what in ((not os.access(soffice, os.X_OK), 'LibreOffice (soffice)'),
                          (not os.access(args.app, os.X_OK), 'the program ' + args.app),
                          (not books, 'biff8 workbooks in ' + args.corpus)):
        if missing:
            say('FAIL: no %s' % what)
            sys.exit(2)
    started = time.time()
    run = Run(args, soffice)
    os.environ.update(HOME=os.path.join(run.work, 'home'), XDG_RUNTIME_DIR=os.path.join(run.work, 'home'))
    for d in ('home', 'out', 'src'):
        os.makedirs(os.path.join(run.work, d), mode=0o700)
    sheets = [((wi, si), os.path.join(args.corpus, f), n, os.path.join(run.work, 'out', 'w%02ds%02d.xls' % (wi, si)))
              for wi, (f, names) in enumerate(books) for si, n in enumerate(names)]
    with cf.ThreadPoolExecutor(2) as pool:
        for key, err in pool.map(run.extract, sheets):
            if err:
                run.problem(key, [err])
    done = [s for s in sheets if s[0] not in run.problems]
    with cf.ProcessPoolExecutor(2) as pool:
        by_source = {}
        for key, src, name, out in done:
            by_source.setdefault(src, []).append((key, name, out))
        for fut in [pool.submit(xlrd_check, src, jobs) for src, jobs in by_source.items()]:
            for key, (what, texts) in fut.result().items():
                if what == 'excused':
                    run.excused[key] = texts
                else:
                    run.problem(key, texts)
    # The office opens copies: it may leave lock files beside what it opens.
    copies = {src: os.path.join(run.work, 'src', 'w%02d-%s' % (k[0], os.path.basename(src))) for k, src, _, _ in sheets}
    for src, c in copies.items():
        shutil.copyfile(src, c)
    run.compare_values(done, copies)
    run.compare_formulas(done, copies)

    say('%d of %d worksheets identical' % (len(sheets) - len(run.problems), len(sheets)))
    say('(%d workbooks, %.0f s)' % (len(books), time.time() - started))
    for title, table in (('Differences', run.problems), ('Excused from xlrd, checked by LibreOffice only', run.excused),
                         ('Accepted LibreOffice differences', run.accepted)):
        rows = [(s, table[s[0]]) for s in sheets if table.get(s[0]) and (table is run.problems or s[0] not in run.problems)]
        say('\n%s (%d worksheets):' % (title, len(rows)))
        for (key, src, name, _), texts in rows:
            say('  %s [%s]:' % (os.path.relpath(src, args.corpus), name))
            say('\n'.join('      ' + t for t in texts[:8]))
    shutil.rmtree(run.work, ignore_errors=True)
    sys.exit(1 if run.problems else 0)


if __name__ == '__main__':
    main()
