#!/usr/bin/env bash
# Checks the two Debian packages as a user's system would meet them:
#   packaging/check-packages.sh [--office-dependency-allowed] MAIN.deb CALC.deb
# desktop-file-validate, appstreamcli (no network) and lintian must report no error; the
# package brakenfold must not depend on LibreOffice (unless allowed: the backend is still linked
# into the programs); the commands on the PATH must reach the programs, and the icons, manual
# pages and HTML help must be where the desktop looks for them. Prints every finding; exit
# status 1 when one is an error.
set -euo pipefail
office_allowed=0
if [[ "${1:-}" == "--office-dependency-allowed" ]]; then office_allowed=1; shift; fi
[[ $# -eq 2 ]] || { echo "usage: $0 [--office-dependency-allowed] MAIN.deb CALC.deb" >&2; exit 2; }
main_deb="$1" calc_deb="$2"
for tool in desktop-file-validate appstreamcli lintian dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "check-packages: $tool is missing (scripts/setup.sh)" >&2; exit 2; }
done

root="$(mktemp -d "${TMPDIR:-/tmp}/bf-package-XXXXXX")"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$main_deb" "$root"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

echo "== desktop-file-validate"
desktop_files=("$root"/usr/share/applications/*.desktop)
[[ -f "${desktop_files[0]}" ]] || fail "no desktop entry in /usr/share/applications"
desktop-file-validate "${desktop_files[@]}" || fail "desktop-file-validate"

echo "== appstreamcli validate --no-net"
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
[[ -f "${metainfo[0]}" ]] || fail "no AppStream metainfo in /usr/share/metainfo"
appstreamcli validate --no-net --no-color "${metainfo[@]}" || fail "appstreamcli validate"

echo "== lintian"
# --fail-on error: a warning is shown but does not fail the check.
lintian --fail-on error --tag-display-limit 0 "$main_deb" "$calc_deb" || fail "lintian reports errors"

echo "== contents"
for cmd in brakenfold brakenfold-split; do
  target="$(readlink "$root/usr/bin/$cmd" || true)"
  [[ -n "$target" && -x "$root$target" ]] || fail "/usr/bin/$cmd does not lead to a program in the package ($target)"
done
for f in opt/brakenfold/Config/Config.cfg opt/brakenfold/help/help.chm opt/brakenfold/help/html/index.htm \
         usr/share/icons/hicolor/48x48/apps/brakenfold.png usr/share/icons/hicolor/scalable/apps/brakenfold.svg \
         usr/share/man/man1/brakenfold.1.gz usr/share/man/man1/brakenfold-split.1.gz; do
  [[ -f "$root/$f" ]] || fail "/$f is missing"
done
depends="$(dpkg-deb -f "$main_deb" Depends)"
echo "brakenfold depends on: $depends"
if grep -Eq '(^|[ ,])(libreoffice|ure|uno-libs|libuno)' <<<"$depends"; then
  if ((office_allowed)); then
    echo "note: brakenfold depends on LibreOffice while the Calc backend is linked into the programs"
  else
    fail "brakenfold depends on LibreOffice"
  fi
fi
((failed == 0)) && echo "check-packages: all checks passed"
exit $failed
