#!/usr/bin/python3
"""Writes the workbooks that measure how the Open XML engine's work grows (writers not ours):

    make_bound_xlsx.py columns OUT.xlsx [--sheets 12] [--rows 1048576]
        a small package whose first sheet reads whole columns of every other sheet
        (Data1!A:A ...), each of those holding a value in every row (Python's zipfile: rows and
        cells with implicit positions, so a megabyte of rows deflates to a few kilobytes)
    make_bound_xlsx.py sheets OUT.xlsx [--sheets 5000]
        many small worksheets, each with a table and a formula reading the next sheet (openpyxl)
"""
import argparse, zipfile

import openpyxl
from openpyxl.worksheet.table import Table

NS = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
CT = 'application/vnd.openxmlformats-officedocument.spreadsheetml.'


def columns(out, sheets, rows):
    names = ['Summary'] + ['Data%d' % i for i in range(1, sheets + 1)]
    with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr('[Content_Types].xml',
                   '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Override PartName="/xl/workbook.xml" ContentType="%ssheet.main+xml"/>' % CT
                   + ''.join('<Override PartName="/xl/worksheets/sheet%d.xml" ContentType="%sworksheet+xml"/>'
                             % (i + 1, CT) for i in range(len(names))) + '</Types>')
        z.writestr('_rels/.rels', '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   '<Relationship Id="rId1" Type="%s/officeDocument" Target="xl/workbook.xml"/></Relationships>' % REL)
        z.writestr('xl/workbook.xml', '<?xml version="1.0"?><workbook xmlns="%s" xmlns:r="%s"><sheets>' % (NS, REL)
                   + ''.join('<sheet name="%s" sheetId="%d" r:id="rId%d"/>' % (n, i + 1, i + 1) for i, n in enumerate(names))
                   + '</sheets></workbook>')
        z.writestr('xl/_rels/workbook.xml.rels', '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   + ''.join('<Relationship Id="rId%d" Type="%s/worksheet" Target="worksheets/sheet%d.xml"/>' % (i + 1, REL, i + 1)
                             for i in range(len(names))) + '</Relationships>')
        formulas = ''.join('<row r="%d"><c r="A%d"><f>SUM(%s!A:A)</f><v>%d</v></c></row>' % (i, i, n, rows)
                           for i, n in enumerate(names[1:], 1))
        z.writestr('xl/worksheets/sheet1.xml', '<?xml version="1.0"?><worksheet xmlns="%s"><sheetData>%s</sheetData></worksheet>'
                   % (NS, formulas))
        body = '<row><c><v>1</v></c></row>' * rows
        for i in range(1, len(names)):
            z.writestr('xl/worksheets/sheet%d.xml' % (i + 1),
                       '<?xml version="1.0"?><worksheet xmlns="%s"><sheetData>%s</sheetData></worksheet>' % (NS, body))


def many_sheets(out, sheets):
    wb = openpyxl.Workbook()
    wb.remove(wb.active)
    for s in range(sheets):
        ws = wb.create_sheet('S%d' % (s + 1))
        ws.append(['key', 'value'])
        ws.append(['a', s])
        ws.append(['b', "='S%d'!B2+1" % ((s + 1) % sheets + 1)])
        ws.add_table(Table(displayName='T%d' % (s + 1), ref='A1:B3'))
    wb.save(out)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('kind', choices=['columns', 'sheets'])
    ap.add_argument('out')
    ap.add_argument('--sheets', type=int)
    ap.add_argument('--rows', type=int, default=1048576)
    args = ap.parse_args()
    if args.kind == 'columns':
        columns(args.out, args.sheets or 12, args.rows)
    else:
        many_sheets(args.out, args.sheets or 5000)


if __name__ == '__main__':
    main()
