#!/usr/bin/env bash
# A fuzzing campaign on the workbook reader and extractor, and on the encryption headers.
#   scripts/fuzz.sh [SECONDS]        (default 600; CI runs a 60-second smoke run)
# Configures and builds a clang tree with libFuzzer, ASan and UBSan (BRAKENFOLD_FUZZ_BUILD, default
# build-fuzz), then runs every fuzz target for SECONDS with the corpus workbooks as read-only seeds
# and the new inputs in a temporary folder. A crash, hang or sanitizer report fails the run; the
# reproducer is kept under the build tree's fuzz-artifacts/ and its path printed. Inputs are cut
# at FUZZ_MAX_LEN bytes (default 1 MiB: most seeds whole, and fast enough to mutate under the
# sanitizers; the larger seeds then test cut-off files).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-600}"
build="${BRAKENFOLD_FUZZ_BUILD:-$root/build-fuzz}"
corpus="${BRAKENFOLD_CORPUS_DIR:-$(cd "$root/../shared/corpus" 2>/dev/null && pwd || true)}"
if [[ -z "$corpus" || ! -d "$corpus/xls" ]]; then
  echo "fuzz.sh: corpus not found (set BRAKENFOLD_CORPUS_DIR)" >&2
  exit 2
fi
for tool in clang clang++; do
  command -v "$tool" >/dev/null || { echo "fuzz.sh: $tool is missing (apt-get install clang libfuzzer-14-dev)" >&2; exit 2; }
done

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DBRAKENFOLD_FUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRAKENFOLD_CORPUS_DIR="$corpus" >/dev/null
targets=()
for src in "$root"/fuzz/*.cpp; do
  targets+=("$(basename "$src" .cpp)")
done
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

new="$(mktemp -d "${TMPDIR:-/tmp}/bf-fuzz-XXXXXX")"
trap 'rm -rf "$new"' EXIT
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"
status=0
for t in "${targets[@]}"; do
  mkdir -p "$new/$t"
  echo "== $t for $seconds s (seeds: $corpus/xls, $corpus/xlsx, $corpus/bad; new inputs: $new/$t)"
  # The first folder receives new inputs; the corpus folders are only read.
  if ! "$build/fuzz/$t" "$new/$t" "$corpus/xls" "$corpus/xlsx" "$corpus/bad" \
        -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len="${FUZZ_MAX_LEN:-1048576}" \
        -artifact_prefix="$artifacts/$t-" -print_final_stats=1 2>"$build/fuzz-$t.log"; then
    status=1
    echo "fuzz.sh: $t FAILED; log $build/fuzz-$t.log; reproducer(s):" >&2
    ls -1t "$artifacts/$t-"* 2>/dev/null | head -3 >&2 || true
    grep -m1 -E "ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error|deadly signal" \
      "$build/fuzz-$t.log" >&2 || true
  else
    grep -E "^(#[0-9]+.*DONE|Done [0-9]+ runs)|stat::number_of_executed_units|stat::peak_rss_mb" \
      "$build/fuzz-$t.log" || tail -2 "$build/fuzz-$t.log"
    echo "$t: no crash, hang or sanitizer report in $seconds s"
  fi
done
exit $status
