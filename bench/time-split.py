#!/usr/bin/python3
"""Times whole splits of Open XML workbooks beside the machine's own yardsticks: `cp` of the file
and `unzip -p` of it to /dev/null, with each process's peak memory.

    /usr/bin/python3 bench/time-split.py --app BUILD/app/brakenfold-split [--before OLD/brakenfold-split]
                                         [--reps 3] FILE...

Every time is the best of --reps runs (memory the largest), each process timed from spawn to exit. --before times
another build of the program in the same run (the code before a change), for before/after figures.
"""
import argparse
import os
import shutil
import subprocess
import tempfile
import time


def timed(cmd, env, stdout=subprocess.DEVNULL):
    """Wall seconds and peak resident kilobytes of one process."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, env=env, stdout=stdout, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.perf_counter() - start
    err = proc.stderr.read().decode(errors='replace')
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit('%s failed: %s' % (' '.join(cmd), err))
    return seconds, usage.ru_maxrss


def best(reps, run):
    runs = [run() for _ in range(reps)]
    return min(r[0] for r in runs), max(r[1] for r in runs)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--app', required=True)
    ap.add_argument('--before')
    ap.add_argument('--reps', type=int, default=3)
    ap.add_argument('files', nargs='+')
    args = ap.parse_args()
    work = tempfile.mkdtemp(prefix='bf-bench-split-')
    env = dict(os.environ, XDG_RUNTIME_DIR=work)
    programs = [('split', args.app)] + ([('before', args.before)] if args.before else [])
    print('%-22s %7s %8s %8s %8s %9s %8s %9s %9s %9s' % (
        'workbook', 'MB', 'cp s', 'unzip s', 'split s', 'split MB', 'x cp', 'x unzip',
        'before s', 'before MB'))
    try:
        for path in args.files:
            copy = os.path.join(work, 'copy.xlsx')

            def cp():
                if os.path.exists(copy):
                    os.remove(copy)
                return timed(['cp', path, copy], env)

            def split(app):
                out = os.path.join(work, 'out')
                shutil.rmtree(out, ignore_errors=True)
                os.mkdir(out)
                return timed([app, '-o', out, path], env)

            cp_s, _ = best(args.reps, cp)
            unzip_s, _ = best(args.reps, lambda: timed(['unzip', '-p', path], env))
            # The programs take turns, so that a change in the machine's load meets both alike.
            runs = {name: [] for name, _ in programs}
            for _ in range(args.reps):
                for name, app in programs:
                    runs[name].append(split(app))
            figures = {name: (min(r[0] for r in rs), max(r[1] for r in rs)) for name, rs in runs.items()}
            split_s, split_kb = figures['split']
            before = figures.get('before')
            print('%-22s %7.1f %8.3f %8.3f %8.3f %9.1f %8.1f %9.2f %9s %9s' % (
                os.path.basename(path)[:22], os.path.getsize(path) / 1e6, cp_s, unzip_s, split_s,
                split_kb / 1024, split_s / cp_s, split_s / unzip_s,
                '%.3f' % before[0] if before else '-', '%.1f' % (before[1] / 1024) if before else '-'))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    main()
