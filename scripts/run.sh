#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program from its application folder
# (build/app: the executable with Config/, Icon/ and help/ beside it).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/setup.sh" "$root/scripts/packages-desktop.txt"
bash "$root/scripts/build.sh" "$root/build" -DBRAKENFOLD_WITH_CALC=ON
exec "$root/build/app/brakenfold" "$@"
