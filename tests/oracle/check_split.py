#!/usr/bin/python3
"""Checks split outputs against their source worksheets with xlrd, a reader that is not ours.

usage: check_split.py SOURCE SHEET OUTPUT [--drawings]
    One output of any backend: one visible worksheet of that name whose cells show the values
    of the source sheet (numbers within rounding); with --drawings it also carries drawing
    records. Prints "cells N" when it holds, else the differences; exit 0 / 1.
usage: check_split.py JOBS.tsv
    Lines "source<TAB>sheet<TAB>output" written by the engine: each output compared in full
    (cells, formatting, sheet facts). A source xlrd cannot read is excused (listed): its output
    need only open with its one sheet rightly named. Prints the differences and "N of M outputs
    match"; exit 0 only when all match.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xlsoracle as xo  # noqa: E402


def check_one(source, name, output, drawings):
    src = xo.open_book(source, False)
    diffs = xo.compare(src, name, xo.open_book(output, False), exact=False, limit=10)
    if drawings and not any(t == 0x00EC for s in xo.substreams(output) for t, _ in s):
        diffs.append('the output carries no drawing records')
    print('\n'.join(diffs) if diffs else 'cells %d' % len(xo.cells(src.sheet_by_name(name), None)))
    return 1 if diffs else 0


def check_jobs(path):
    with open(path, encoding='utf-8') as f:
        jobs = [line.rstrip('\n').split('\t') for line in f if line.strip()]
    good = 0
    for source, name, output in jobs:
        try:
            out = xo.open_book(output)
            try:
                src = xo.open_book(source)
            except Exception as e:  # xlrd's own limits, not the split's
                print('excused: xlrd cannot read %s (%s)' % (source, e))
                diffs = [] if out.sheet_names() == [name] else ['sheets %s' % out.sheet_names()]
            else:
                diffs = xo.compare(src, name, out) + xo.structure(output, source)
        except Exception as e:
            diffs = ['cannot read the output: %s' % e]
        for d in diffs:
            print('FAIL %s [%s] -> %s: %s' % (source, name, output, d))
        good += not diffs
    print('%d of %d outputs match' % (good, len(jobs)))
    return 0 if jobs and good == len(jobs) else 1


if __name__ == '__main__':
    args = [a for a in sys.argv[1:] if a != '--drawings']
    if len(args) == 3:
        sys.exit(check_one(*args, drawings='--drawings' in sys.argv))
    if len(args) == 1:
        sys.exit(check_jobs(args[0]))
    print(__doc__)
    sys.exit(2)
