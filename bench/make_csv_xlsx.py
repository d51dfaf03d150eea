#!/usr/bin/python3
"""Writes a workbook the way a user gets one from a large CSV export: a CSV of ROWS rows of text
and numbers, converted to .xlsx by LibreOffice headless (a writer that is not ours). Nearly every
text cell is its own shared string, so the string table inflates to many times the file.

    make_csv_xlsx.py OUT.xlsx [--rows 750000]
"""
import argparse, csv, os, random, shutil, subprocess, sys, tempfile


def write_csv(path, rows):
    rnd = random.Random(11)
    words = ['north', 'south', 'east', 'west', 'alpha', 'beta', 'gamma', 'delta', 'river', 'stone',
             'field', 'harbour', 'market', 'valley', 'bridge', 'garden']
    with open(path, 'w', newline='') as f:
        out = csv.writer(f)
        out.writerow(['id', 'customer'])
        for r in range(1, rows + 1):
            out.writerow([r, 'Customer %07d of the %s branch, account opened at the %s office, %d %s road'
                          % (r, rnd.choice(words), rnd.choice(words), r % 997, rnd.choice(words))])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('out')
    ap.add_argument('--rows', type=int, default=750000)
    args = ap.parse_args()
    out = os.path.abspath(args.out)
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, os.path.splitext(os.path.basename(out))[0] + '.csv')
        write_csv(source, args.rows)
        profile = 'file://' + os.path.join(tmp, 'profile')
        subprocess.run(['soffice', '-env:UserInstallation=' + profile, '--headless', '--convert-to', 'xlsx',
                        '--infilter=CSV:44,34,76,1', '--outdir', tmp, source],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=3600)
        made = os.path.splitext(source)[0] + '.xlsx'
        if not os.path.exists(made):
            sys.exit('LibreOffice made no workbook')
        shutil.move(made, out)


if __name__ == '__main__':
    main()
