#!/usr/bin/env bash
# Installs what is missing, builds the plain and the sanitizer (ASan + UBSan) trees, and runs the
# whole test suite with ctest in both, then a short fuzzing smoke run. Prints the time of each
# stage as it ends (a failed one too) and the total.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
stage="" stage_start=$SECONDS
# Ends the running stage, printing its time, and starts the next one (none without a name).
stage() {
  [[ -z "$stage" ]] || echo "== stage $stage: $((SECONDS - stage_start)) s"
  stage="${1:-}" stage_start=$SECONDS
}
trap '[[ -z "$stage" ]] || echo "== stage $stage: $((SECONDS - stage_start)) s (failed)"; echo "== total: $SECONDS s"' EXIT

jobs="$(nproc)"
stage setup;           bash "$root/scripts/setup.sh"
stage plain-build;     bash "$root/scripts/build.sh" "$root/build" -DBRAKENFOLD_WITH_CALC=ON
stage plain-tests;     ctest --test-dir "$root/build" --output-on-failure -j"$jobs"
stage sanitizer-build; bash "$root/scripts/build.sh" "$root/build-asan" -DBRAKENFOLD_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
stage sanitizer-tests; ctest --test-dir "$root/build-asan" --output-on-failure -j"$jobs" -LE 'calc'
stage fuzz;            bash "$root/scripts/fuzz.sh" 60
stage
