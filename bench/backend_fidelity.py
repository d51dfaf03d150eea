#!/usr/bin/python3
"""Fidelity of the two backends' outputs, as written by the backend_compare benchmark.

usage: backend_fidelity.py OUTPUT_DIR

For every worksheet split by either backend (OUTPUT_DIR/<backend>/wNN/ holds SOURCE, a link to
the source workbook, names.txt mapping each output file to its worksheet, and the outputs), two
comparisons against the source, both with xlrd:
* the engine's own comparison (tests/xls/fidelity.py: values, types, resolved formatting, merged
  ranges, column widths, row heights, comments, hyperlinks, panes and view settings);
* values only (tests/calc/check_split.py: one visible sheet of that name, same cell values and
  types).
Prints, per backend, how many worksheets are identical out of the total (a worksheet that a
backend failed to write counts as not identical), and the most common kinds of difference.
"""
import collections
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'tests', 'xls'))
sys.path.insert(0, os.path.join(HERE, '..', 'tests', 'calc'))
import fidelity  # noqa: E402
import check_split  # noqa: E402
import xlrd  # noqa: E402


def outputs(base, backend):
    """{(source path, sheet name): output path}"""
    found = {}
    root = os.path.join(base, backend)
    if not os.path.isdir(root):
        return found
    for wb in sorted(os.listdir(root)):
        folder = os.path.join(root, wb)
        source = os.path.realpath(os.path.join(folder, 'SOURCE'))
        names = os.path.join(folder, 'names.txt')
        if not os.path.exists(names):
            continue
        with open(names, encoding='utf-8') as f:
            for line in f:
                out, _, name = line.rstrip('\n').partition('\t')
                found[(source, name)] = os.path.join(folder, out)
    return found


def values_identical(source, name, out):
    try:
        src = check_split.cells(xlrd.open_workbook(source, on_demand=True).sheet_by_name(name))
        book = xlrd.open_workbook(out, on_demand=True)
        sheet = book.sheet_by_index(0)
        if book.nsheets != 1 or sheet.name != name or sheet.visibility != 0:
            return False
        dst = check_split.cells(sheet)
    except Exception:
        return False
    return set(src) == set(dst) and all(check_split.same(src[k], dst[k]) for k in src)


def main():
    base = sys.argv[1]
    per_backend = {b: outputs(base, b) for b in ('native', 'calc')}
    every = sorted(set(per_backend['native']) | set(per_backend['calc']))
    print('%d worksheets in all' % len(every))
    for backend, found in per_backend.items():
        strict, values, excused = 0, 0, 0
        kinds = collections.Counter()
        by_source = collections.defaultdict(list)
        for (source, name) in every:
            by_source[source].append((name, found.get((source, name))))
        for source, jobs in by_source.items():
            results = fidelity.xlrd_check_workbook(source, jobs)
            for name, out in jobs:
                if out is None:
                    kinds['not written'] += 1
                    continue
                status, diffs = results.get(name, ('diff', ['no result']))
                if status == 'ok':
                    strict += 1
                elif status == 'excused':
                    excused += 1
                else:
                    for d in diffs:
                        kinds[d.split(':')[0] if not d.startswith('cell ') else 'cell ' + d.split(': ', 1)[1].split(':')[0]] += 1
                if values_identical(source, name, out):
                    values += 1
        print('%-6s identical by the engine comparison: %d of %d (%d excused: xlrd cannot read the source); '
              'values identical: %d of %d' % (backend, strict, len(every), excused, values, len(every)))
        for kind, n in kinds.most_common(8):
            print('        %4d  %s' % (n, kind))
    return 0


if __name__ == '__main__':
    sys.exit(main())
