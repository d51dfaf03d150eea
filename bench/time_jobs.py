#!/usr/bin/python3
"""Times brakenfold-split on a folder of workbooks with one job and with more: the wall time of
each run (best of REPS), its processor time, its peak memory, and how many times faster the runs with more jobs are.

    time_jobs.py --app BUILD/app/brakenfold-split FOLDER [--jobs 1 2] [--reps 3]

The target for a folder of 20 workbooks of 20 worksheets on two cores: --jobs 2 at least 1.8
times as fast as --jobs 1.
"""
import argparse, os, shutil, subprocess, sys, tempfile, time


def run_once(app, folder, jobs):
    out = tempfile.mkdtemp(prefix='bf-jobs-')
    try:
        start = time.perf_counter()
        p = subprocess.Popen([app, '--jobs', str(jobs), '-o', out, folder],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        _, status, usage = os.wait4(p.pid, 0)
        wall = time.perf_counter() - start
        err = p.stderr.read().decode(errors='replace')
        p.stderr.close()
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit('brakenfold-split --jobs %d failed:\n%s' % (jobs, err))
        return wall, usage.ru_maxrss / 1024.0, usage.ru_utime + usage.ru_stime
    finally:
        shutil.rmtree(out, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--app', required=True)
    ap.add_argument('folder')
    ap.add_argument('--jobs', type=int, nargs='+', default=[1, 2])
    ap.add_argument('--reps', type=int, default=3)
    args = ap.parse_args()
    books = [f for f in os.listdir(args.folder) if f.endswith(('.xls', '.xlsx', '.xlsm'))]
    size = sum(os.path.getsize(os.path.join(args.folder, f)) for f in books) / 1e6
    print('%d workbooks, %.1f MB, %d cores' % (len(books), size, os.cpu_count()))
    best = {}
    for jobs in args.jobs:
        runs = [run_once(args.app, args.folder, jobs) for _ in range(args.reps)]
        best[jobs] = min(r[0] for r in runs)
        print('--jobs %d: wall %.2f s (best of %d), cpu %.2f s, peak %.0f MB'
              % (jobs, best[jobs], args.reps, min(r[2] for r in runs), max(r[1] for r in runs)))
    base = best[args.jobs[0]]
    for jobs in args.jobs[1:]:
        print('--jobs %d against --jobs %d: %.2fx' % (jobs, args.jobs[0], base / best[jobs]))


if __name__ == '__main__':
    main()
