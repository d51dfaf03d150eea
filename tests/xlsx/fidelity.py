#!/usr/bin/python3
"""Whole-corpus fidelity of the Open XML one-worksheet extraction.

Every worksheet of every sound .xlsx/.xlsm of the corpus (MANIFEST-xlsx.tsv kinds "xlsx" and
"xlsm") is split by the program (brakenfold-split, as the window's Split does) and judged by readers that are not ours:

* openpyxl: values and types, formula text (references into the source file read as references
  to its sheets; a range inside a table of another sheet as the structured reference to it), cached values, resolved styles, merged ranges, column and row dimensions,
  comments, hyperlinks, data validation, conditional formats, frozen panes, page setup, print
  titles and area, tables, the count and anchors of pictures and charts and the bytes of images.
* LibreOffice's CSV export of the source sheet and of the extracted workbook (workbooks of at
  most --lo-max sheets and --lo-max-bytes, to keep the run short: one office run a workbook);
  cells whose formulas change at each calculation (RAND, NOW, ...) may differ, and so may cells
  where the output shows the value the source stores while LibreOffice computes the source
  otherwise.
* The package itself: every relationship target exists, every part has a content type, every
  part is reached by a relationship, and no text of a sheet not kept (a string of another
  sheet's cells that the kept sheet does not show and no link caches) is in it.

Prints "N of M worksheets identical" and each difference; exits non-zero unless M of M.
"""
import argparse
import concurrent.futures as cf
import glob
import html
import os
import posixpath
import re
import sys
import tempfile
import zipfile
from urllib.parse import unquote
import xml.etree.ElementTree as ET

import openpyxl

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'oracle'))
import xlsoracle as xo  # noqa: E402

REL_NS = '{http://schemas.openxmlformats.org/package/2006/relationships}'
CT_NS = '{http://schemas.openxmlformats.org/package/2006/content-types}'


def load(path, data_only=False):
    try:
        return openpyxl.load_workbook(path, data_only=data_only)
    except Exception as e:  # a source openpyxl cannot read is judged by the other readers
        return e


# ---- the package structure ----

def rels_source(name):
    folder, file = posixpath.split(name)
    return posixpath.join(posixpath.dirname(folder), file[:-len('.rels')])


def part_of(path, name):
    with zipfile.ZipFile(path) as z:
        return z.read(name) if name in z.namelist() else None


def check_package(path, source):
    faults = []
    # The document's properties (author, title) go whole, as the source has them: no sheet's text.
    unchanged = {'docProps/core.xml'} if part_of(path, 'docProps/core.xml') == part_of(source, 'docProps/core.xml') else set()
    with zipfile.ZipFile(path) as z:
        names = {n for n in z.namelist() if not n.endswith('/')}
        ct = ET.fromstring(z.read('[Content_Types].xml'))
        defaults = {e.get('Extension').lower() for e in ct.iter(CT_NS + 'Default')}
        overrides = {unquote(e.get('PartName')).lstrip('/').lower() for e in ct.iter(CT_NS + 'Override')}
        reached = set()
        for rels in (n for n in names if n.endswith('.rels')):
            src = rels_source(rels)
            if src and src not in names:
                faults.append('relationships of a missing part: ' + rels)
            base = posixpath.dirname(src)
            for r in ET.fromstring(z.read(rels)).iter(REL_NS + 'Relationship'):
                if r.get('TargetMode') == 'External':
                    continue
                t = unquote(r.get('Target'))
                t = t.lstrip('/') if t.startswith('/') else posixpath.normpath(posixpath.join(base, t))
                reached.add(t)
                if t not in names:
                    faults.append('relationship target missing: %s -> %s' % (rels, t))
        for n in names:
            if n == '[Content_Types].xml' or n.endswith('.rels'):
                continue
            if n.lower() not in overrides and n.rsplit('.', 1)[-1].lower() not in defaults:
                faults.append('no content type: ' + n)
            if n not in reached:
                faults.append('orphan part: ' + n)
        # Text a reader shows: chart caches hold what their series show, which is no leak.
        text = b''.join(z.read(n) for n in names if n.endswith(('.xml', '.vml')) and n not in unchanged
                        and not n.startswith(('xl/charts/', 'xl/externalLinks/')))
    return faults, text.decode('utf-8', 'replace')


# ---- openpyxl comparison ----

def link_indices(wb, source):
    """Indices of the output's external links that name the source file."""
    out = set()
    for i, link in enumerate(getattr(wb, '_external_links', []), 1):
        target = unquote(link.file_link.Target or '') if link.file_link else ''
        if os.path.basename(target) == os.path.basename(source):
            out.add(i)
    return out


def resolve(text, indices):
    if not isinstance(text, str):
        return text
    for i in indices:
        text = text.replace("'[%d]" % i, "'").replace('[%d]' % i, '')
    return text


def other_tables(wb, kept):
    """[(name, sheet title, (min col, min row, max col, max row))] of the tables of the other sheets."""
    return [(t.displayName, ws.title, openpyxl.utils.cell.range_boundaries(t.ref))
            for ws in wb.worksheets if ws.title != kept for t in ws.tables.values()]


def tables_named(text, tables, output):
    """A formula with each reference to a table of another sheet written {table}: in the source a
    structured reference, in the output a range inside that table on its sheet (any link)."""
    if not isinstance(text, str) or not tables:
        return text
    if not output:
        for name, _, _ in tables:
            text = re.sub(r'(?<![\w.])%s\[(?:[^\[\]]|\[[^\]]*\])*\]' % re.escape(name), '{%s}' % name, text,
                          flags=re.IGNORECASE)
        return text

    def named(m):
        sheet = m.group(1).replace("''", "'")
        c1, r1 = openpyxl.utils.cell.coordinate_from_string(m.group(2).replace('$', ''))
        c2, r2 = openpyxl.utils.cell.coordinate_from_string((m.group(3) or m.group(2)).replace('$', ''))
        c1, c2 = openpyxl.utils.cell.column_index_from_string(c1), openpyxl.utils.cell.column_index_from_string(c2)
        for name, where, (x1, y1, x2, y2) in tables:
            if where == sheet and x1 <= c1 <= c2 <= x2 and y1 <= r1 <= r2 <= y2:
                return '{%s}' % name
        return m.group(0)
    return re.sub(r"'\[\d+\]((?:[^']|'')+)'!(\$?[A-Z]+\$?\d+)(?::(\$?[A-Z]+\$?\d+))?", named, text)


def style_of(c):
    return repr((c.font, c.fill, c.border, c.alignment, c.number_format, c.protection))


def cell_faults(a, b, idx, va, vb, tables):
    faults = []
    for row in a.iter_rows():
        for ca in row:
            cb = b[ca.coordinate]
            if tables_named(ca.value, tables, False) != resolve(tables_named(cb.value, tables, True), idx) \
                    or ca.data_type != cb.data_type:
                faults.append('%s: %r != %r' % (ca.coordinate, ca.value, cb.value))
            elif style_of(ca) != style_of(cb):
                faults.append('%s: style differs' % ca.coordinate)
            elif (ca.comment and ca.comment.text) != (cb.comment and cb.comment.text):
                faults.append('%s: comment differs' % ca.coordinate)
            elif (ca.hyperlink and (ca.hyperlink.target, ca.hyperlink.location)) != \
                 (cb.hyperlink and (cb.hyperlink.target, cb.hyperlink.location)):
                faults.append('%s: hyperlink differs' % ca.coordinate)
            elif va is not None and va[ca.coordinate].value != vb[ca.coordinate].value:
                faults.append('%s: cached value %r != %r' % (ca.coordinate, va[ca.coordinate].value,
                                                              vb[ca.coordinate].value))
            if len(faults) > 5:
                return faults
    if b.max_row > a.max_row or b.max_column > a.max_column:
        faults.append('extent %s != %s' % (a.dimensions, b.dimensions))
    return faults


def dims(d):
    return {k: (getattr(v, 'width', None), v.hidden, v.outlineLevel, getattr(v, 'height', None))
            for k, v in d.items()}


def rules(ws, idx):
    out = []
    for fmt in ws.conditional_formatting:
        for r in fmt.rules:
            out.append((str(fmt.sqref), r.type, r.operator, [resolve(f, idx) for f in r.formula], r.dxfId))
    return sorted(out, key=repr)


def validations(ws, idx):
    return sorted(((str(v.sqref), v.type, resolve(v.formula1, idx), resolve(v.formula2, idx))
                   for v in ws.data_validations.dataValidation), key=repr)


def anchor(obj):
    a = obj.anchor
    m = getattr(a, '_from', None)
    return (m.col, m.row) if m is not None else repr(a)


def sheet_faults(a, b, idx, va, vb, tables):
    faults = cell_faults(a, b, idx, va, vb, tables)
    checks = [
        ('merged cells', lambda w: sorted(str(r) for r in w.merged_cells.ranges)),
        ('columns', lambda w: dims(w.column_dimensions)),
        ('rows', lambda w: dims(w.row_dimensions)),
        ('frozen panes', lambda w: w.freeze_panes),
        ('page setup', lambda w: [ET.tostring(o.to_tree()) for o in
                                  (w.page_setup, w.page_margins, w.print_options, w.HeaderFooter)]),
        ('print titles', lambda w: (w.print_title_rows, w.print_title_cols)),
        ('print area', lambda w: w.print_area),
        ('tables', lambda w: sorted((t.name, t.ref) for t in w.tables.values())),
        ('images', lambda w: [(anchor(i), i._data()) for i in w._images]),
        ('charts', lambda w: [anchor(c) for c in w._charts]),
    ]
    for what, get in checks:
        try:
            if get(a) != get(b):
                faults.append(what + ' differ')
        except Exception as e:
            faults.append('%s unreadable: %s' % (what, e))
    if rules(a, ()) != rules(b, idx):
        faults.append('conditional formats differ')
    if validations(a, ()) != validations(b, idx):
        faults.append('data validation differs')
    return faults


# ---- LibreOffice ----

VOLATILE = re.compile(r'\b(RAND|RANDBETWEEN|NOW|TODAY)\s*\(', re.IGNORECASE)
CELL = re.compile(r"(?<![\w.!'$])\$?([A-Z]{1,3})\$?(\d+)(?![\w(])")


def volatile(sheet, coord, seen=()):
    """Whether a cell's formula changes at each calculation: it calls RAND, NOW, ... or names
    a cell of its own sheet whose formula does (a few steps deep)."""
    try:
        v = sheet[coord].value
    except ValueError:  # beyond the sheet's last row or column
        return False
    if not isinstance(v, str) or not v.startswith('=') or coord in seen or len(seen) > 8:
        return False
    if VOLATILE.search(v):
        return True
    return '!' not in v and any(volatile(sheet, c + r, seen + (coord,)) for c, r in CELL.findall(v))


def all_accepted(diffs, sheet, stored):
    """Whether every cell the two CSVs differ in holds a formula that changes at each calculation,
    or shows in the output the value the source stores (LibreOffice computes the source otherwise)."""
    return all(sheet is not None and (
        volatile(sheet, sheet.cell(row=r + 1, column=c + 1).coordinate)
        or (stored is not None and xo.shows(shown, stored.cell(row=r + 1, column=c + 1).value)))
        for r, c, _, shown in diffs)


# ---- the run ----

def leaked_strings(src_wb, src_vals, kept, shown):
    """Strings of other sheets' cells the output shows that are no part of a text the kept sheet
    shows itself (its own strings, whose rich-text runs are pieces of them, and the cached
    results of its formulas)."""
    others, mine = set(), []
    for ws in src_wb.worksheets:
        books = [ws] if ws.title != kept or isinstance(src_vals, Exception) else [ws, src_vals[kept]]
        for book in books:
            for row in book.iter_rows():
                for c in row:
                    if not isinstance(c.value, str) or c.value.startswith('='):
                        continue
                    if ws.title == kept:
                        mine.append(c.value)
                    elif len(c.value) >= 6 and c.value in shown:
                        others.add(c.value)
    mine = '\0'.join(mine)
    return [s for s in others if s not in mine]


def split(app, src, out):
    """The program's split of every worksheet: [(title, output file or None)], or the refusal."""
    listed, run = xo.run(app, '--list', src), xo.run(app, '-o', out, src)
    if listed[0] or run[0]:
        return None, (listed[2] + run[2]).strip()
    files = {os.path.basename(f).rsplit('_Splitted_at_', 1)[0]: f
             for f in glob.glob(os.path.join(run[1].splitlines()[-1], '*', '*.xlsx'))}
    return [(t, files.get(t)) for t in (line.split('\t', 1)[1] for line in listed[1].splitlines())], None


def judge_file(app, corpus, name, work, lo_max):
    """{'file [sheet]': [faults]} of one workbook; lo_max: (sheets, bytes) LibreOffice is asked for.
    Each worker process gives its office a profile (and home) of its own."""
    src = os.path.join(corpus, 'xlsx', name)
    out = os.path.join(work, name)
    os.makedirs(out, exist_ok=True)
    sheets, refusal = split(app, src, out)
    results = {}
    if sheets is None:
        return {name + ' (all)': ['split refused: ' + refusal]}
    src_wb, src_vals = load(src), load(src, True)
    lo = len(sheets) <= lo_max[0] and os.path.getsize(src) <= lo_max[1]
    if lo:
        found = xo.office_csv(xo.SOFFICE, [src] + [p for _, p in sheets if p], os.path.join(out, 'lo'),
                              os.path.join(work, 'office-%d' % os.getpid(), 'profile'), timeout=900)
    for title, path in sheets:
        if path is None:
            results['%s [%s]' % (name, title)] = ['no output written']
            continue
        faults, text = check_package(path, src)
        wb, vals = load(path), load(path, True)
        if isinstance(wb, Exception):
            # Styles are kept whole: a source openpyxl cannot read gives an output it cannot
            # read for the same reason; both are then judged by LibreOffice and the structure.
            if not (isinstance(src_wb, Exception) and str(src_wb) == str(wb)):
                faults.append('openpyxl cannot read the output: %s' % wb)
        elif [w.title for w in wb.worksheets] != [title]:
            faults.append('worksheets %r' % [w.title for w in wb.worksheets])
        elif not isinstance(src_wb, Exception):
            idx = link_indices(wb, src)
            va = src_vals[title] if not isinstance(src_vals, Exception) else None
            faults += sheet_faults(src_wb[title], wb[title], idx, va, vals[title] if va else None,
                                   other_tables(src_wb, title))
            shown = {html.unescape(t) for t in re.findall(r'>([^<]+)<', text)}
            leaked = leaked_strings(src_wb, src_vals, title, shown)
            if leaked:
                faults.append('text of other sheets: %r' % leaked[:3])
        if lo:
            a, b = found.get(src, {}).get(title), next(iter(found.get(path, {}).values()), None)
            if a is None or b is None:
                faults.append('LibreOffice exported no CSV')
            elif not all_accepted(xo.csv_diffs(xo.read_csv(a), xo.read_csv(b)),
                                  None if isinstance(src_wb, Exception) else src_wb[title],
                                  None if isinstance(src_vals, Exception) else src_vals[title]):
                faults.append('LibreOffice CSV differs')
        results['%s [%s]' % (name, title)] = faults
    return results


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--app', required=True)
    ap.add_argument('--corpus', required=True)
    ap.add_argument('--lo-max', type=int, default=20)
    ap.add_argument('--lo-max-bytes', type=int, default=600000)
    ap.add_argument('--only', default='')
    args = ap.parse_args()
    results = {}
    with tempfile.TemporaryDirectory() as work, cf.ProcessPoolExecutor(2) as pool:
        names = [n for n, _ in xo.manifest(args.corpus, ('xlsx', 'xlsm'), 'xlsx/MANIFEST-xlsx.tsv') if args.only in n]
        for judged in pool.map(judge_file, *zip(*[(args.app, args.corpus, n, work, (args.lo_max, args.lo_max_bytes))
                                                  for n in names])):
            results.update(judged)
    bad = {k: v for k, v in results.items() if v}
    for k, v in bad.items():
        print('DIFFERS %s: %s' % (k, '; '.join(v[:6])))
    print('%d of %d worksheets identical' % (len(results) - len(bad), len(results)))
    return 0 if not bad else 1


if __name__ == '__main__':
    sys.exit(main())
