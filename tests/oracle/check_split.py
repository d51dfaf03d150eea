#!/usr/bin/python3
"""Checks one split output of any backend against its source worksheet with xlrd, a reader that is
not ours: one visible worksheet of that name whose cells show the values of the source sheet
(numbers within rounding); with --drawings it also carries drawing records. Prints "cells N"
when it holds, else the differences; exit 0 / 1.

usage: check_split.py SOURCE SHEET OUTPUT [--drawings]
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xlsoracle as xo  # noqa: E402


def check(source, name, output, drawings):
    src = xo.open_book(source, False)
    diffs = xo.compare(src, name, xo.open_book(output, False), exact=False, limit=10)
    if drawings and not any(t == 0x00EC for s in xo.substreams(output) for t, _ in s):
        diffs.append('the output carries no drawing records')
    print('\n'.join(diffs) if diffs else 'cells %d' % len(xo.cells(src.sheet_by_name(name), None)))
    return 1 if diffs else 0


if __name__ == '__main__':
    args = [a for a in sys.argv[1:] if a != '--drawings']
    if len(args) != 3:
        sys.exit(__doc__)
    sys.exit(check(*args, drawings='--drawings' in sys.argv))
