"""Compares one worksheet of a source workbook with the only worksheet of an extracted
workbook, both read by xlrd with formatting: name, cell types and values, per-cell formatting,
merged ranges, column widths, row heights, hidden rows and columns, comments.

usage: xlrd_compare.py SOURCE.xls SHEET OUTPUT.xls      exit 0 when identical, 1 otherwise
"""
import sys
import xlrd


def fmt_of(book, xf_index):
    xf = book.xf_list[xf_index]
    font = book.font_list[xf.font_index]
    fmt = book.format_map.get(xf.format_key)
    a, b, p, pr = xf.alignment, xf.border, xf.background, xf.protection
    return (
        fmt.format_str if fmt else None,
        (font.name, font.height, font.bold, font.italic, font.colour_index, font.underline_type,
         font.struck_out, font.escapement),
        (a.hor_align, a.vert_align, a.rotation, a.text_wrapped, a.indent_level, a.shrink_to_fit),
        (b.top_line_style, b.bottom_line_style, b.left_line_style, b.right_line_style,
         b.top_colour_index, b.bottom_colour_index, b.left_colour_index, b.right_colour_index,
         b.diag_line_style, b.diag_up, b.diag_down),
        (p.fill_pattern, p.pattern_colour_index, p.background_colour_index),
        (pr.cell_locked, pr.formula_hidden),
    )


def describe(book, sheet):
    d = {"name": sheet.name, "nrows": sheet.nrows, "ncols": sheet.ncols}
    cells = {}
    for r in range(sheet.nrows):
        for c in range(sheet.row_len(r)):
            cell = sheet.cell(r, c)
            cells[(r, c)] = (cell.ctype, cell.value, fmt_of(book, cell.xf_index))
    d["cells"] = cells
    d["merged"] = sorted(sheet.merged_cells)
    d["cols"] = {k: (v.width, v.hidden) for k, v in sheet.colinfo_map.items()}
    d["rows"] = {k: (v.height, v.hidden) for k, v in sheet.rowinfo_map.items()}
    d["notes"] = {k: (v.text, v.author) for k, v in sheet.cell_note_map.items()}
    d["defcolwidth"] = (sheet.defcolwidth, sheet.standardwidth)
    return d


def main():
    src, name, out = sys.argv[1], sys.argv[2], sys.argv[3]
    a_book = xlrd.open_workbook(src, formatting_info=True, on_demand=True)
    a = describe(a_book, a_book.sheet_by_name(name))
    b_book = xlrd.open_workbook(out, formatting_info=True)
    if b_book.nsheets != 1:
        print("output has %d sheets" % b_book.nsheets)
        return 1
    b = describe(b_book, b_book.sheet_by_index(0))
    bad = 0
    for key in a:
        if key == "cells":
            for rc in sorted(set(a["cells"]) | set(b["cells"])):
                if a["cells"].get(rc) != b["cells"].get(rc):
                    print("cell %s: %r != %r" % (rc, a["cells"].get(rc), b["cells"].get(rc)))
                    bad += 1
                    if bad > 5:
                        return 1
        elif a[key] != b[key]:
            print("%s differs: %r != %r" % (key, str(a[key])[:300], str(b[key])[:300]))
            bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
