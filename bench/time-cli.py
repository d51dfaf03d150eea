#!/usr/bin/python3
"""Times the command line the way a split uses it: one brakenfold-split process per worksheet,
process start included.

    /usr/bin/python3 bench/time-cli.py --app BUILD/app/brakenfold-split [FILE...]

Without files it uses every sound BIFF8 workbook of the corpus manifest (--corpus). For each
workbook: one `--list` process, then one `--extract` process per worksheet into a temporary
folder, each timed from spawn to exit. Prints wall seconds per worksheet; the office suite
driven through UNO needs 0.09-0.14 s per worksheet on this machine, so 20 times faster means
at most about 0.005 s.
"""
import argparse
import csv
import os
import shutil
import subprocess
import sys
import tempfile
import time


def manifest(corpus):
    with open(os.path.join(corpus, 'MANIFEST.tsv'), encoding='utf-8', newline='') as f:
        return [os.path.join(corpus, r['file']) for r in csv.DictReader(f, delimiter='\t')
                if r['kind'] == 'biff8']


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--app', required=True)
    ap.add_argument('--corpus', default=os.path.join(os.path.dirname(__file__), '..', '..',
                                                     'shared', 'corpus'))
    ap.add_argument('files', nargs='*')
    args = ap.parse_args()
    files = args.files or manifest(args.corpus)
    work = tempfile.mkdtemp(prefix='bf-bench-cli-')
    env = dict(os.environ, XDG_RUNTIME_DIR=work)
    print('%-44s %7s %4s %9s %10s %10s %10s' % ('workbook', 'MB', 'ws', 'list s', 'extract s',
                                                 's/sheet', 'max s'))
    tot_mb = tot_ws = tot_ext = 0.0
    worst = 0.0
    failures = 0
    try:
        for n, path in enumerate(files):
            mb = os.path.getsize(path) / 1048576.0
            t0 = time.perf_counter()
            p = subprocess.run([args.app, '--list', path], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, env=env)
            t_list = time.perf_counter() - t0
            if p.returncode != 0:
                print('%-44.44s FAILED --list: %s' % (os.path.basename(path),
                                                      p.stderr.decode('utf-8', 'replace').strip()))
                failures += 1
                continue
            names = [l.split('\t', 1)[1] for l in p.stdout.decode('utf-8').splitlines() if '\t' in l]
            times = []
            for i, name in enumerate(names):
                out = os.path.join(work, '%d_%d.xls' % (n, i))
                t0 = time.perf_counter()
                e = subprocess.run([args.app, '--extract', path, name, out],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
                times.append(time.perf_counter() - t0)
                if e.returncode != 0:
                    failures += 1
                    print('  FAILED --extract %s [%s]: %s' % (os.path.basename(path), name,
                                                              e.stderr.decode('utf-8', 'replace').strip()))
                os.path.exists(out) and os.remove(out)
            ext = sum(times)
            print('%-44.44s %7.2f %4d %9.4f %10.3f %10.4f %10.4f' % (
                os.path.basename(path), mb, len(names), t_list, ext,
                ext / len(names) if names else 0, max(times) if times else 0))
            tot_mb += mb
            tot_ws += len(names)
            tot_ext += ext
            worst = max([worst] + times)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if tot_ws:
        print('-' * 92)
        print('%-44s %7.2f %4d %9s %10.3f %10.4f %10.4f' % ('TOTAL', tot_mb, tot_ws, '', tot_ext,
                                                              tot_ext / tot_ws, worst))
        per = tot_ext / tot_ws
        print('per worksheet %.4f s: %.1f to %.1f times faster than 0.09-0.14 s through the office suite'
              % (per, 0.09 / per, 0.14 / per))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
