#!/usr/bin/python3
"""Values in place of links (--values), over corpus workbooks whose sheets read other sheets and
over workbooks made here, in both formats, judged by readers that are not ours:
* with --values: no link part and no byte of the source's name in the output (inflated parts of
  a package); every cell shows the source's cached value with its type (xlrd / openpyxl) and
  what LibreOffice shows for the source sheet; a cell whose formula read another sheet has none
  (.xlsx) or a constant one (.xls, LibreOffice's formula text), the sheet's own formulas stay;
  a split says what it dropped;
* names, rules and chart series of a made workbook that read other sheets become values or go,
  counted in the summary;
* a sheet that reads no other sheet gives the same bytes with and without --values; the calc
  backend refuses --values with a message.

usage: values.py --app BRAKENFOLD-SPLIT --corpus CORPUS       exit 0 when every case holds
"""
import argparse
import glob
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile

import openpyxl

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'oracle'))
import xlsoracle as xo  # noqa: E402

# Corpus workbooks with formulas, names, charts, validation or arrays that read other sheets.
CORPUS = [
    'xls/poi--formulasheetrange.xls',
    'xls/exceldatareader--test_issue_11642_valuesnotloaded.xls',
    'xls/gnumeric--arrays.xls',
    'xls/poi--57925.xls',
    'xls/phpspreadsheet--chartsheet.xls',
    'xls/exceldatareader--test_lotsofsheets.xls',
    'xlsx/openpyxl--empty_libre.xlsx',
    'xlsx/sheetjs--named_ranges_2011.xlsx',
    'xlsx/poi--withthreecharts.xlsx',
    'xlsx/phpspreadsheet--32readwritechartwithimages1.xlsx',
    'xlsx/exceldatareader--test_lotsofsheets.xlsx',
]
EXTERNAL = re.compile(r"'file://|\[[1-9]\d*\]")  # [0] is the workbook itself
FROZEN = re.compile(r'=\(+[^()]*\)+')  # a 3-D range's result, already a value without --values
QUALIFIER = re.compile(r"((?:'(?:[^']|'')+')|[^\s!=(),;:+*/&^<>-]+)(?::[^!]+)?!")

# A made workbook: the kept sheet reads Data by plain, shared and array formulas, defined names,
# validation rules, conditional formats and a chart; its own formulas and constant name stay.
# With values, what one cell or a cached series stands for becomes values (MADE_VALUES), the
# rest goes and is counted (DROPPED).
SHEET_KEPT = '''<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1"><f>Data!A1*2</f><v>10</v></c><c r="B1"><f t="shared" ref="B1:B3" si="0">Data!A1+1</f><v>6</v></c><c r="C1"><f t="array" ref="C1:C2">Data!A1:A2*3</f><v>15</v></c><c r="D1"><f>Rate*2</f><v>10</v></c><c r="E1"><f>Kept!A1+Fixed</f><v>17</v></c></row>
<row r="2"><c r="A2" t="str"><f>Data!B1</f><v>hello there, a long text</v></c><c r="B2"><f t="shared" si="0"/><v>7</v></c><c r="C2"><v>18</v></c><c r="D2"><f>A1+1</f><v>11</v></c></row>
<row r="3"><c r="A3" t="b"><f>Data!C1</f><v>1</v></c><c r="B3"><f t="shared" si="0"/><v>8</v></c><c r="D3"><f>SUM(B1:B3)</f><v>21</v></c></row>
<row r="4"><c r="A4" t="e"><f>Data!D1</f><v>#DIV/0!</v></c><c r="B4"><f>SUM(Data:Other!A1)</f><v>12</v></c></row>
</sheetData>
<conditionalFormatting sqref="A1"><cfRule type="expression" priority="1"><formula>Data!$A$1&gt;0</formula></cfRule>\
<cfRule type="expression" priority="2"><formula>SUM(Data!$A$1:$A$2)&gt;0</formula></cfRule></conditionalFormatting>
<conditionalFormatting sqref="A2"><cfRule type="expression" priority="3"><formula>COUNT(Span)&gt;0</formula></cfRule></conditionalFormatting>
<dataValidations count="3"><dataValidation type="list" sqref="F1"><formula1>Data!$A$1:$A$2</formula1></dataValidation>\
<dataValidation type="list" sqref="H1"><formula1>Colours</formula1></dataValidation>\
<dataValidation type="whole" operator="between" sqref="G1"><formula1>Data!$A$1:$A$2</formula1><formula2>9</formula2></dataValidation></dataValidations>
<drawing r:id="rId1"/></worksheet>'''.replace('<worksheet ', '<worksheet xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" ')
CHART = '''<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<c:chartSpace xmlns:c="http://schemas.openxmlformats.org/drawingml/2006/chart"><c:chart><c:plotArea><c:layout/><c:barChart><c:barDir val="col"/><c:grouping val="clustered"/><c:varyColors val="0"/>
<c:ser><c:idx val="0"/><c:order val="0"/><c:tx><c:strRef><c:f>Data!$B$1</c:f><c:strCache><c:ptCount val="1"/><c:pt idx="0"><c:v>hello there, a long text</c:v></c:pt></c:strCache></c:strRef></c:tx>
<c:cat><c:strRef><c:f>Data!$B$1:$B$2</c:f></c:strRef></c:cat>
<c:val><c:numRef><c:f>Data!$A$1:$A$2</c:f><c:numCache><c:formatCode>General</c:formatCode><c:ptCount val="2"/><c:pt idx="0"><c:v>5</c:v></c:pt><c:pt idx="1"><c:v>6</c:v></c:pt></c:numCache></c:numRef></c:val></c:ser>
<c:axId val="1"/><c:axId val="2"/></c:barChart><c:catAx><c:axId val="1"/><c:scaling/><c:delete val="0"/><c:axPos val="b"/><c:crossAx val="2"/></c:catAx>
<c:valAx><c:axId val="2"/><c:scaling/><c:delete val="0"/><c:axPos val="l"/><c:crossAx val="1"/></c:valAx></c:plotArea></c:chart></c:chartSpace>'''
DRAWING = '''<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<xdr:wsDr xmlns:xdr="http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing" xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main">
<xdr:twoCellAnchor><xdr:from><xdr:col>8</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>1</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:to><xdr:col>14</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>12</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:to>
<xdr:graphicFrame macro=""><xdr:nvGraphicFramePr><xdr:cNvPr id="2" name="Chart 1"/><xdr:cNvGraphicFramePr/></xdr:nvGraphicFramePr><xdr:xfrm><a:off x="0" y="0"/><a:ext cx="0" cy="0"/></xdr:xfrm>
<a:graphic><a:graphicData uri="http://schemas.openxmlformats.org/drawingml/2006/chart"><c:chart xmlns:c="http://schemas.openxmlformats.org/drawingml/2006/chart" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" r:id="rId1"/></a:graphicData></a:graphic></xdr:graphicFrame><xdr:clientData/></xdr:twoCellAnchor></xdr:wsDr>'''
# What the kept sheet's copy holds with values: (what, as an independent reader sees it).
MADE_VALUES = [('name Rate', '5'), ('conditional formats', ['5>0']), ('validations', ['"5,6"', '"5,6"']),
               ('chart', 'numLit strLit <c:v>hello there, a long text</c:v> no c:f')]
DROPPED = ('1 defined name, 1 validation rule, 2 conditional formats and 1 chart series that read other sheets '
           'were dropped')
# In the .xls copy (LibreOffice's): Rate and both lists become values; the bounded rule goes;
# Colours, Span, the rule using Span and the series keep #REF!, counted as references.
XLS_DROPPED = ('1 validation rule that reads other sheets was dropped', '6 references to other sheets')
SHEET_DATA = '''<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1"><v>5</v></c><c r="B1" t="inlineStr"><is><t>hello there, a long text</t></is></c><c r="C1" t="b"><v>1</v></c><c r="D1" t="e"><f>1/0</f><v>#DIV/0!</v></c></row>
<row r="2"><c r="A2"><v>6</v></c></row>
</sheetData></worksheet>'''
SHEET_OTHER = SHEET_DATA.replace('<v>5</v>', '<v>7</v>')


def made_xlsx(path):
    ns = 'http://schemas.openxmlformats.org/'
    rel = ns + 'officeDocument/2006/relationships/'
    sheets = ['Kept', 'Data', 'Other']
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr('[Content_Types].xml', '<?xml version="1.0" encoding="UTF-8"?><Types xmlns="%spackage/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
                   '<Override PartName="/xl/drawings/drawing1.xml" ContentType="application/vnd.openxmlformats-officedocument.drawing+xml"/>'
                   '<Override PartName="/xl/charts/chart1.xml" ContentType="application/vnd.openxmlformats-officedocument.drawingml.chart+xml"/>'
                   % ns + ''.join('<Override PartName="/xl/worksheets/sheet%d.xml" ContentType="application/vnd.openxmlformats-'
                                  'officedocument.spreadsheetml.worksheet+xml"/>' % (i + 1) for i in range(3)) + '</Types>')
        z.writestr('_rels/.rels', '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="%spackage/2006/relationships">'
                   '<Relationship Id="rId1" Type="%sofficeDocument" Target="xl/workbook.xml"/></Relationships>' % (ns, rel))
        z.writestr('xl/workbook.xml', '<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="%sspreadsheetml/2006/main" '
                   'xmlns:r="%sofficeDocument/2006/relationships"><sheets>' % (ns, ns)
                   + ''.join('<sheet name="%s" sheetId="%d" r:id="rId%d"/>' % (n, i + 1, i + 1) for i, n in enumerate(sheets))
                   + '</sheets><definedNames><definedName name="Rate">Data!$A$1</definedName><definedName name="Span">Data!$A$1:$A$2</definedName><definedName name="Colours">Data!$A$1:$A$2</definedName>'
                   '<definedName name="Fixed">7</definedName></definedNames></workbook>')
        z.writestr('xl/_rels/workbook.xml.rels', '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="%spackage/2006/'
                   'relationships">' % ns + ''.join('<Relationship Id="rId%d" Type="%sworksheet" Target="worksheets/sheet%d.xml"/>'
                                                    % (i + 1, rel, i + 1) for i in range(3)) + '</Relationships>')
        for i, text in enumerate([SHEET_KEPT, SHEET_DATA, SHEET_OTHER]):
            z.writestr('xl/worksheets/sheet%d.xml' % (i + 1), text)
        z.writestr('xl/drawings/drawing1.xml', DRAWING)
        z.writestr('xl/charts/chart1.xml', CHART)
        for part, kind, target in (('worksheets/_rels/sheet1', 'drawing', '../drawings/drawing1.xml'),
                                   ('drawings/_rels/drawing1', 'chart', '../charts/chart1.xml')):
            z.writestr('xl/%s.xml.rels' % part, '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="%spackage/2006/'
                       'relationships"><Relationship Id="rId1" Type="%s%s" Target="%s"/></Relationships>' % (ns, rel, kind, target))


def package_bytes(path):
    with zipfile.ZipFile(path) as z:
        return z.namelist(), b''.join(z.read(n) for n in z.namelist())


def other_books(path):
    """SUPBOOK records naming another workbook (not the workbook itself, not add-in functions)."""
    return [d for _, t, d in xo.records(path)[0] if t == 0x01AE and not (len(d) == 4 and d[2:4] in (b'\x01\x04', b'\x01\x3a'))]


def has_link(path):
    if path.endswith('.xlsx'):
        return any('externalLink' in n for n in package_bytes(path)[0])
    return bool(other_books(path))


def dbcell_faults(path):
    """Row blocks whose offsets miss their records: a DBCELL's first Row record, and the first
    cell of each row after the first, must be record starts."""
    recs = xo.records(path)[0]
    at = {pos: t for pos, t, _ in recs}
    starts = sorted(at)
    bad = []
    for pos, t, d in recs:
        if t != 0x00D7 or len(d) < 4:
            continue
        first = pos - struct.unpack_from('<I', d)[0]
        if at.get(first) != 0x0208:
            bad.append('DBCELL at %d misses its first Row record' % pos)
            continue
        cell = next((p for p in starts if p > first and at[p] != 0x0208), None)
        for (step,) in struct.iter_unpack('<H', d[6:len(d) // 2 * 2]):
            cell += step
            if cell not in at:
                bad.append('DBCELL at %d: a row\'s first cell at %d is no record' % (pos, cell))
                break
    return bad[:3]


def link_faults(out, source):
    """What of a link to the source remains in an output made with --values."""
    faults = []
    if out.endswith('.xlsx'):
        names, data = package_bytes(out)
        faults += ['link part %s' % n for n in names if 'externalLink' in n]
    else:
        with open(out, 'rb') as f:
            data = f.read()
        faults += ['SUPBOOK to another workbook' for _ in other_books(out)]
    name = os.path.basename(source)
    for enc in ('latin-1', 'utf-16-le', 'utf-8'):
        if name.encode(enc) in data:
            faults.append('the source name %r (%s) in the output' % (name, enc))
    return faults


def names_reading_others(source, sheet):
    """The names the sheet sees whose definitions name another sheet (an independent reader's
    view of them)."""
    if source.endswith('.xlsx'):
        wb = openpyxl.load_workbook(source)
        index = wb.sheetnames.index(sheet)
        names = [(d.name, d.localSheetId, d.attr_text or '') for d in wb.defined_names.definedName]
        names += [(d.name, index, d.attr_text or '') for d in getattr(wb[sheet], 'defined_names', {}).values()] \
            if isinstance(getattr(wb[sheet], 'defined_names', None), dict) else []
    else:
        book = xo.open_book(source, formatting=False)
        index = book.sheet_names().index(sheet)
        names = [(n.name, None if n.scope < 0 else n.scope, n.result.text if n.result else '') for n in book.name_obj_list]
    found = set()
    for name, scope, text in names:
        qualifiers = [q.strip("'").replace("''", "'") for q in QUALIFIER.findall(text)]
        if scope in (None, index) and (EXTERNAL.search(text) or any(q.lower() != sheet.lower() for q in qualifiers)):
            found.add(name)
    return found


def reads_others(text, names):
    return bool(EXTERNAL.search(text)) or any(
        re.search(r'(?<![\w.])%s(?![\w.(])' % re.escape(n), text, re.IGNORECASE) for n in names)


def formula_text(value):
    return getattr(value, 'text', str(value))  # array formulas are objects in later openpyxl


def openpyxl_faults(source, sheet, default, values):
    """Values and types as the source caches them; a formula only where the linked copy has one
    that reads no other sheet, and then the same."""
    faults = []
    src = openpyxl.load_workbook(source, data_only=True)[sheet]
    got = openpyxl.load_workbook(values, data_only=True).worksheets[0]
    linked = openpyxl.load_workbook(default).worksheets[0]
    formulas = openpyxl.load_workbook(values).worksheets[0]
    names = names_reading_others(source, sheet)
    for row in src.iter_rows():
        for c in row:
            g = got[c.coordinate]
            if (g.value, g.data_type) != (c.value, c.data_type):
                faults.append('%s: %r (%s), source %r (%s)' % (c.coordinate, g.value, g.data_type, c.value, c.data_type))
    for row in linked.iter_rows():
        for c in row:
            if c.data_type != 'f':
                continue
            f, text = formulas[c.coordinate], formula_text(c.value)
            if reads_others(text, names) and f.data_type == 'f':
                faults.append('%s: still a formula %r' % (c.coordinate, formula_text(f.value)))
            elif not reads_others(text, names) and formula_text(f.value) != text:
                faults.append('%s: own formula %r became %r' % (c.coordinate, text, formula_text(f.value)))
    return faults[:6]


def office_faults(soffice, work, jobs):
    """LibreOffice: each values output shows what the source sheet shows (cells where the linked
    copy differs from the source too are excused), and its formulas that read other sheets in
    the linked copy are constants now, the others unchanged."""
    sources = sorted({j[0] for j in jobs})
    outs = [p for j in jobs for p in j[2:4]]
    profile = os.path.join(work, 'profile')
    shown = xo.office_csv(soffice, sources + outs, os.path.join(work, 'csv'), profile)
    text = xo.office_csv(soffice, outs, os.path.join(work, 'fcsv'), profile, formulas=True)
    res = {}
    for source, sheet, default, values in jobs:
        names = names_reading_others(source, sheet)

        def grid(found, path, name=None):
            sheets = found.get(path, {})
            p = sheets.get(name) if name else next(iter(sheets.values()), None)
            return xo.read_csv(p) if p else None
        s, d, v = grid(shown, source, sheet), grid(shown, default), grid(shown, values)
        fd, fv = grid(text, default), grid(text, values)
        if None in (s, d, v, fd, fv):
            res[(source, sheet)] = ['LibreOffice did not load an output']
            continue
        faults, cell = [], xo.csv_cell
        for r in range(max(len(s), len(v))):
            for c in range(max(len(cell(s, r, 0) and s[r]), len(v[r]) if r < len(v) else 0)):
                if cell(v, r, c) != cell(s, r, c) and cell(d, r, c) == cell(s, r, c):
                    faults.append('R%dC%d shows %r, source %r' % (r + 1, c + 1, cell(v, r, c), cell(s, r, c)))
        for r in range(len(fd)):
            for c in range(len(fd[r])):
                was, now = cell(fd, r, c), cell(fv, r, c)
                if reads_others(was, names) and (reads_others(now, names) or '#REF' in now):
                    faults.append('R%dC%d still reads another sheet: %r' % (r + 1, c + 1, now))
                elif not reads_others(was, names) and was.startswith('=') and now != was and not FROZEN.fullmatch(was):
                    faults.append('R%dC%d own formula %r became %r' % (r + 1, c + 1, was, now))
        if faults:
            res[(source, sheet)] = faults[:6]
    return res


def check_workbook(app, source, work, jobs):
    """Extracts every worksheet with and without --values; returns faults and LibreOffice jobs."""
    faults, linked = [], 0
    ext = '.xlsx' if source.endswith(('.xlsx', '.xlsm')) else '.xls'
    for i, sheet in enumerate(xo.worksheets(app, source)):
        default, values = ['%s/%s-%d-%s%s' % (work, os.path.basename(source), i, tag, ext) for tag in ('links', 'values')]
        for out, extra in ((default, []), (values, ['--values'])):
            code, _, err = xo.run(app, *extra, '--extract', source, sheet, out)
            if code:
                faults.append('%s / %s%s: exit %d: %s' % (source, sheet, ' --values' if extra else '', code, err.strip()))
        if not (os.path.exists(default) and os.path.exists(values)):
            continue
        where = '%s / %s' % (os.path.basename(source), sheet)
        if not has_link(default):
            with open(default, 'rb') as a, open(values, 'rb') as b:
                if a.read() != b.read():
                    faults.append('%s: reads no other sheet, yet --values changed the output' % where)
            continue
        linked += 1
        found = link_faults(values, source)
        if ext == '.xls':
            found += xo.compare(xo.open_book(source), sheet, xo.open_book(values))
            found += xo.structure(values, source) + (dbcell_faults(values) if not dbcell_faults(source) else [])
        else:
            found += openpyxl_faults(source, sheet, default, values)
        faults += ['%s: %s' % (where, f) for f in found]
        jobs.append((source, sheet, default, values))
    return faults, linked


def made_values(path):
    """What became values in the made workbook's kept sheet, as openpyxl and the chart part show it."""
    wb = openpyxl.load_workbook(path)
    ws = wb.worksheets[0]
    with zipfile.ZipFile(path) as z:
        chart = ''.join(z.read(n).decode() for n in z.namelist() if n.startswith('xl/charts/'))
    shown = [w for w in ('numLit', 'strLit', '<c:v>hello there, a long text</c:v>') if w in chart]
    return [('name Rate', next((d.attr_text for d in wb.defined_names.definedName if d.name == 'Rate'), None)),
            ('conditional formats', [f for cf in ws.conditional_formatting for r in cf.rules for f in r.formula]),
            ('validations', [v.formula1 for v in ws.data_validations.dataValidation]),
            ('chart', ' '.join(shown + ([] if '<c:f>' in chart else ['no c:f'])))]


def command_faults(app, made, work):
    """A split says what it dropped, and what of the kept sheet became values; the calc backend
    refuses --values."""
    faults = []
    code, _, err = xo.run(app, '--values', '-o', work, made)
    if code or DROPPED not in err:
        faults.append('split --values: exit %d, the closing message does not say what went: %s' % (code, err.strip()[-300:]))
    xls = os.path.join(work, 'xls')
    os.makedirs(xls)
    code, _, err = xo.run(app, '--values', '-o', xls, os.path.join(work, 'conv', 'made.xls'))
    for kept in glob.glob(xls + '/*/made/Kept_*.xls'):
        subprocess.run([xo.SOFFICE, '-env:UserInstallation=file://' + os.path.join(work, 'profile'), '--headless',
                        '--convert-to', 'xlsx', '--outdir', xls, kept], capture_output=True, timeout=600)
    got = glob.glob(xls + '/Kept_*.xlsx')
    if code or not all(d in err for d in XLS_DROPPED) or not got or made_values(got[0])[0::2] != MADE_VALUES[0::2]:
        faults.append('.xls split --values: exit %d: %s; %r' % (code, err.strip()[-300:], got and made_values(got[0])))
    out = os.path.join(work, 'kept-values.xlsx')
    code, _, err = xo.run(app, '--values', '--extract', made, 'Kept', out)
    got = made_values(out) if code == 0 else err.strip()
    if got != MADE_VALUES:
        faults.append('made workbook with values: %r, expected %r' % (got, MADE_VALUES))
    if not os.path.exists(os.path.join(os.path.dirname(app), 'plugins', 'libbrakenfold-calc.so')):
        return faults  # a tree built without the calc backend
    code, _, err = xo.run(app, '--backend', 'calc', '--values', '--extract', made, 'Kept',
                          os.path.join(work, 'calc.xlsx'))
    if code != 1 or 'does not offer' not in err:
        faults.append('calc --values: exit %d: %s' % (code, err.strip()))
    return faults


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--app', required=True)
    ap.add_argument('--corpus', required=True)
    args = ap.parse_args()
    soffice = xo.SOFFICE
    if not os.access(args.app, os.X_OK) or not os.access(soffice, os.X_OK):
        print('the program or LibreOffice is missing')
        return 2
    with tempfile.TemporaryDirectory() as work:
        made = os.path.join(work, 'made.xlsx')
        made_xlsx(made)
        conv = os.path.join(work, 'conv')
        subprocess.run([soffice, '-env:UserInstallation=file://' + os.path.join(work, 'profile'), '--headless',
                        '--convert-to', 'xls', '--outdir', conv, made], capture_output=True, timeout=600)
        sources = [made, os.path.join(conv, 'made.xls')] + [os.path.join(args.corpus, f) for f in CORPUS]
        faults, jobs, linked = command_faults(args.app, made, work), [], 0
        for source in sources:
            if not os.path.exists(source):
                faults.append('%s: missing' % source)
                continue
            out = os.path.join(work, 'out', os.path.basename(source))
            os.makedirs(out)
            found, n = check_workbook(args.app, source, out, jobs)
            faults, linked = faults + found, linked + n
        for (source, sheet), found in office_faults(soffice, work, jobs).items():
            faults += ['%s / %s: LibreOffice: %s' % (os.path.basename(source), sheet, f) for f in found]
    print('%d worksheets reading other sheets in %d workbooks checked, %d faults' % (linked, len(sources), len(faults)))
    for f in faults:
        print('  ' + f)
    return 1 if faults or linked < len(sources) else 0


if __name__ == '__main__':
    sys.exit(main())
