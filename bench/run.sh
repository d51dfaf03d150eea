#!/usr/bin/env bash
# Runs every benchmark against a build tree and prints the figures:
#   bench/run.sh [BUILD_DIR]      (default: build)
# Makes the large workbook (50 sheets, about 20 MB, written by xlwt), the mirror workbook (a
# summary sheet reading a 200,000-cell data sheet cell by cell, xlwt too) and their Open XML
# counterparts (openpyxl: 50 sheets, and a sheet part of over 100 MB) and a workbook LibreOffice
# converts from a 750,000-row CSV, and workbooks without formulas reading other sheets (one of
# 700,000 rows, one of twenty sheets) once in BUILD_DIR/bench-cache.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
cache="$build/bench-cache"
large="$cache/large-50.xls"
mkdir -p "$cache"
# Runs a maker script with its arguments unless the file it makes (CHECK) is there and newer.
made() {
  local check="$1" script="$2"
  shift 2
  if [[ ! -s "$check" || "$script" -nt "$check" ]]; then
    /usr/bin/python3 "$script" "$@"
  fi
}
made "$large" "$root/scripts/make-large-workbook.py" "$large"
mirror="$cache/mirror-200k.xls"
made "$mirror" "$root/scripts/make-mirror-workbook.py" "$mirror"
large_xlsx="$cache/large-50.xlsx"
made "$large_xlsx" "$root/bench/make_large_xlsx.py" "$large_xlsx"
# Two sheets, the first one's part over 100 MB once inflated: memory stays within three times the input.
big_sheet="$cache/big-sheet.xlsx"
made "$big_sheet" "$root/bench/make_large_xlsx.py" "$big_sheet" --sheets 2 --rows 400000
# A workbook LibreOffice writes from a 750,000-row CSV: its string table inflates to several
# times the file.
csv_xlsx="$cache/csv-750k.xlsx"
made "$csv_xlsx" "$root/bench/make_csv_xlsx.py" "$csv_xlsx"
# The whole-column workbook (a sheet reading whole columns of twelve full sheets, under 1 MB)
# and 500 and 5,000 small sheets with a table each: bench/make_bound_xlsx.py.
columns="$cache/columns-12.xlsx"
made "$columns" "$root/bench/make_bound_xlsx.py" columns "$columns"
for n in 500 5000; do
  made "$cache/sheets-$n.xlsx" "$root/bench/make_bound_xlsx.py" sheets "$cache/sheets-$n.xlsx" --sheets "$n"
done
# 20 workbooks of 20 sheets, no formula reading another sheet, for the split in jobs.
jobs_folder="$cache/jobs-20x20"
made "$jobs_folder/book-20.xlsx" "$root/bench/make_jobs_folder.py" "$jobs_folder"
# Workbooks without formulas reading other sheets (openpyxl, then LibreOffice for a string
# table): one sheet of 700,000 rows (about 55 MB), and twenty sheets.
plain_one="$cache/plain-700k.xlsx"
made "$plain_one" "$root/bench/make_plain_xlsx.py" "$plain_one"
plain_many="$cache/plain-20.xlsx"
made "$plain_many" "$root/bench/make_plain_xlsx.py" "$plain_many" --sheets 20 --rows 20000 --calc
cmake --build "$build" --target brakenfold-split $(cd "$root/bench" && ls *.cpp | sed 's/\.cpp$//')

echo "== in-process, corpus"
"$build/bench/bench_engine"
echo
echo "== in-process, large workbook and mirror workbook"
"$build/bench/bench_engine" "$large" "$mirror"
echo
echo "== in-process, Open XML corpus and large Open XML workbook"
"$build/bench/bench_xlsx"
"$build/bench/bench_xlsx" "$large_xlsx" "$big_sheet"
echo "== in-process, the workbook LibreOffice made from a 750,000-row CSV (time and peak)"
"$build/bench/bench_xlsx" --reps 1 "$csv_xlsx"
echo
echo "== in-process, whole columns of twelve sheets (peak against the input)"
"$build/bench/bench_xlsx" --reps 1 "$columns"
echo
echo "== in-process, 500 and 5,000 sheets (time per sheet should not grow: ratio within 1.5)"
"$build/bench/bench_xlsx" --reps 1 "$cache/sheets-500.xlsx" "$cache/sheets-5000.xlsx" | tee "$cache/sheets.txt"
awk '$1 ~ /^sheets-/ { ms[$1] = $5 / $2 * 1000 } END { if (ms["sheets-500.xlsx"] > 0)
  printf "cpu ms/sheet: 500 sheets %.3f, 5000 sheets %.3f, ratio %.2f\n", ms["sheets-500.xlsx"],
         ms["sheets-5000.xlsx"], ms["sheets-5000.xlsx"] / ms["sheets-500.xlsx"] }' "$cache/sheets.txt"
echo
echo "== cryptography of password-protected workbooks, 16 MB synthetic"
"$build/bench/bench_crypto" 16
echo
echo "== both backends through the interface, large Open XML workbook (the Calc backend when built)"
"$build/bench/backend_compare" "$cache/compare" "$large_xlsx"
echo
echo "== command line, whole splits beside cp and unzip -p of the file, with peak memory: one sheet"
echo "   (target within 3x cp, under 64 MB), twenty sheets (within 1.5x unzip -p), fifty sheets"
echo "   reading each other (no slower than before). BRAKENFOLD_BEFORE=OLD/brakenfold-split times"
echo "   another build (the code before a change) in the same run."
/usr/bin/python3 "$root/bench/time-split.py" --app "$build/app/brakenfold-split" \
  ${BRAKENFOLD_BEFORE:+--before "$BRAKENFOLD_BEFORE"} "$plain_one" "$plain_many" "$large_xlsx"
echo
echo "== command line, one process per worksheet, corpus"
/usr/bin/python3 "$root/bench/time-cli.py" --app "$build/app/brakenfold-split"
echo
echo "== command line, one process per worksheet, large workbook"
/usr/bin/python3 "$root/bench/time-cli.py" --app "$build/app/brakenfold-split" "$large"
echo
echo "== command line, a folder of 20 workbooks of 20 sheets: --jobs 1 and --jobs 2 (target 1.8x)"
/usr/bin/python3 "$root/bench/time_jobs.py" --app "$build/app/brakenfold-split" "$jobs_folder"
