#!/bin/sh
# Compiles help/help.chm from the HTML pages, contents, index and project in src/.
# Run by hand, as root, after changing a page (the build only copies the committed help.chm):
#     apt-get install -y fp-utils libchm-bin
#     sh assets/help/make_help.sh
# The context numbers of the menu entries are the [MAP] section of src/help.hhp; they must match
# src/about/HelpTopics.h (the tests check that each of its pages is among src/, not the [MAP]).
#
# chmcmd stores each [ALIAS] target as the absolute path of the page on the machine that
# compiles it. Compiling inside a throw-away root that holds the pages at "/" makes those
# targets the pages' names inside the help file ("/about.htm") instead of a path of this machine.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
compiler=$(readlink -f "$(command -v chmcmd)")
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cp "$here"/src/* "$root"/
cp "$compiler" "$root/chmcmd"
# The compiler's shared libraries, at the paths its loader expects, and the two its run-time
# opens by name when it starts (without them it stops with run-time error 216).
libs=$(ldd "$compiler" | grep -o '/[^ ]*')
libdir=$(dirname "$(ldd "$compiler" | grep -o '/[^ ]*libc\.so[^ ]*' | head -n 1)")
for extra in libpthread.so.0 libdl.so.2; do
    [ -e "$libdir/$extra" ] && libs="$libs $libdir/$extra"
done
for lib in $libs; do
    mkdir -p "$root$(dirname "$lib")"
    cp "$lib" "$root$lib"
done
chroot "$root" /chmcmd --no-html-scan /help.hhp
mv "$root/help.chm" "$here/help.chm"
# A listing of what went in, as a check that the file reads back.
if command -v enum_chmLib >/dev/null 2>&1; then
    enum_chmLib "$here/help.chm" | grep -c 'normal file' | sed 's/^/files in help.chm: /'
fi
