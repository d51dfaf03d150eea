#!/bin/sh
# The Calc backend as the programs meet it: brakenfold-split lists a workbook through the plugin
# in plugins/ exactly as the built-in engine does, and splits real workbooks through it, each
# output checked by xlrd: pictures, shapes, comments and an embedded object; formulas reading the
# other sheets, one through a 3-D range; a hidden sheet; Excel 5.0/95 workbooks the built-in engine
# refuses, the last with formulas whose text results the office writes as 0 unless it evaluates
# them first. Neither program links the office itself.
# Usage: plugin_check.sh APP_DIR CORPUS_DIR PYTHON CHECK_SPLIT_SCRIPT
set -eu
app=$1 corpus=$2/xls python=$3 check=$4
for program in brakenfold brakenfold-split; do
  if readelf -d "$app/$program" | grep -Ei 'NEEDED.*(uno|libreoffice|cppu|sal)'; then
    echo "FAIL: $program links the office"; exit 1
  fi
done
exports=$(readelf --dyn-syms -W "$app/plugins/libbrakenfold-calc.so" | awk '$5 == "GLOBAL" && $7 != "UND" {print $8}' | sort)
[ "$exports" = "$(printf 'brakenfold_backend_interface\nbrakenfold_create_application')" ] || {
  echo "FAIL: the plugin shows more than its two entries:"; echo "$exports" | head; exit 1; }
native=$("$app/brakenfold-split" --list "$corpus/poi--27394.xls")
calc=$("$app/brakenfold-split" --backend calc --list "$corpus/poi--27394.xls")
[ -n "$native" ] && [ "$native" = "$calc" ] || { echo "FAIL: calc listed '$calc', native '$native'"; exit 1; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
set -- poi--drawings poi--formulasheetrange poi--twosheetsonehidden parseexcel--test95j sheetjs--sheet_visibility5 \
  sheetjs--crlfx5_5
books=$(for b; do echo "$corpus/$b.xls"; done)
# shellcheck disable=SC2086 # the corpus names hold no blanks
"$app/brakenfold-split" --backend calc -o "$out" $books >/dev/null
listed=$("$app/brakenfold-split" --backend calc --list $books | wc -l)
split=0
for f in "$out"/*/*/*.xls; do
  book=$(basename "$(dirname "$f")") sheet=$(basename "$f")
  drawings=$([ "$book" = poi--drawings ] && echo --drawings || true)
  # shellcheck disable=SC2086
  "$python" "$check" "$corpus/$book.xls" "${sheet%_Splitted_at_*}" "$f" $drawings >"$out/check" ||
    { echo "FAIL: $book / ${sheet%_Splitted_at_*}:"; cat "$out/check"; exit 1; }
  split=$((split + 1))
done
[ "$split" = "$listed" ] || { echo "FAIL: $split outputs for $listed worksheets"; exit 1; }
echo "the plugin lists like the built-in engine and splits $split worksheets; the programs link no office library"
