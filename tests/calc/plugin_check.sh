#!/bin/sh
# The Calc backend as the programs meet it: brakenfold-split lists a workbook through the plugin
# in plugins/ exactly as the built-in engine does, and neither program links the office itself.
# Usage: plugin_check.sh APP_DIR WORKBOOK
set -eu
app=$1 book=$2
for program in brakenfold brakenfold-split; do
  if readelf -d "$app/$program" | grep -Ei 'NEEDED.*(uno|libreoffice|cppu|sal)'; then
    echo "FAIL: $program links the office"; exit 1
  fi
done
exports=$(readelf --dyn-syms -W "$app/plugins/libbrakenfold-calc.so" | awk '$5 == "GLOBAL" && $7 != "UND" {print $8}' | sort)
[ "$exports" = "$(printf 'brakenfold_backend_interface\nbrakenfold_create_application')" ] || {
  echo "FAIL: the plugin shows more than its two entries:"; echo "$exports" | head; exit 1; }
native=$("$app/brakenfold-split" --list "$book")
calc=$("$app/brakenfold-split" --backend calc --list "$book")
[ -n "$native" ] && [ "$native" = "$calc" ] || { echo "FAIL: calc listed '$calc', native '$native'"; exit 1; }
echo "the plugin lists like the built-in engine; the programs link no office library"
