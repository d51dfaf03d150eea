#!/usr/bin/env bash
# Installs what is missing, builds the plain and the sanitizer (ASan + UBSan) trees, and runs the
# whole test suite with ctest in both, then a short fuzzing smoke run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"

jobs="$(nproc)"
bash "$root/scripts/build.sh" "$root/build" -DBRAKENFOLD_WITH_CALC=ON
ctest --test-dir "$root/build" --output-on-failure -j"$jobs"

bash "$root/scripts/build.sh" "$root/build-asan" -DBRAKENFOLD_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
ctest --test-dir "$root/build-asan" --output-on-failure -j"$jobs" -LE 'calc'

if [[ -x "$root/scripts/fuzz.sh" ]]; then
  bash "$root/scripts/fuzz.sh" 60
fi
