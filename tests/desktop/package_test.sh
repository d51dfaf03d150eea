#!/usr/bin/env bash
# Makes the Debian packages from the built tree BUILD_DIR with cpack into a fresh folder and
# checks them (packaging/check-packages.sh; its other arguments are passed on).
#   tests/desktop/package_test.sh BUILD_DIR [--office-dependency-allowed]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$1"; shift
out="$build/package-test"
rm -rf "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$build/package-test.log" \
  || { cat "$build/package-test.log"; exit 1; }
bash "$here/../../packaging/check-packages.sh" "$@" "$out"/brakenfold_*.deb "$out"/brakenfold-calc_*.deb
