#!/usr/bin/env bash
# Builds the Debian packages brakenfold and brakenfold-calc and prints their paths.
#   bash scripts/package.sh
# Installs what is missing (scripts/packages.txt), builds a Release tree in build-package/
# (BRAKENFOLD_PACKAGE_BUILD to change it) with the Calc backend, makes the packages with
# `cpack -G DEB` and checks them with desktop-file-validate, appstreamcli and lintian
# (packaging/check-packages.sh). Install with `apt install ./build-package/brakenfold_*.deb`.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BRAKENFOLD_PACKAGE_BUILD:-$root/build-package}"
bash "$root/scripts/setup.sh"

# Debian's hardening flags (stack protector, fortified functions, read-only relocations).
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
  CXXFLAGS="$(DEB_CXXFLAGS_MAINT_STRIP=-g dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
  CFLAGS="$(DEB_CFLAGS_MAINT_STRIP=-g dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
  export CXXFLAGS CFLAGS LDFLAGS
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRAKENFOLD_WITH_CALC=ON -DBUILD_TESTING=OFF
cmake --build "$build" -j"$(nproc)"

out="$build/packages"
rm -rf "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$build/cpack.log" || { cat "$build/cpack.log" >&2; exit 1; }
main_deb="$(ls "$out"/brakenfold_*.deb)"
calc_deb="$(ls "$out"/brakenfold-calc_*.deb)"

allow=()
if grep -q '^BRAKENFOLD_CALC_LINKED_IN:INTERNAL=ON' "$build/CMakeCache.txt"; then
  allow=(--office-dependency-allowed)
fi
bash "$root/packaging/check-packages.sh" "${allow[@]}" "$main_deb" "$calc_deb" >&2
echo "$main_deb"
echo "$calc_deb"
