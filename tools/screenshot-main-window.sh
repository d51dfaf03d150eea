#!/bin/sh
# Takes docs/main-window.png: the built program on a private X server (Xvfb), started with a folder
# of three corpus workbooks on its command line, the main window captured with their rows listed.
# Usage: tools/screenshot-main-window.sh [APP_DIR]   (default: build/app)
# Needs: xvfb, python3-xlib, the corpus at ../shared/corpus (or BRAKENFOLD_CORPUS_DIR).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
app_dir=${1:-"$here/build/app"}
corpus=${BRAKENFOLD_CORPUS_DIR:-"$here/../shared/corpus"}
exec /usr/bin/python3 - "$app_dir" "$corpus" "$here/docs/main-window.png" "$here/tests/ui" <<'PY'
import os, struct, sys, tempfile, zlib
from Xlib import X
app_dir, corpus, out, helpers = sys.argv[1:5]
sys.path.insert(0, helpers)
from xsession import Session, wait_for


def capture(session, window):
    geo, (x, y) = window.get_geometry(), session.origin(window)
    return geo, session.dpy.screen().root.get_image(x, y, geo.width, geo.height, X.ZPixmap, 0xFFFFFFFF).data


def steady_capture(session, window):
    """The window's picture once it holds still across a round trip to the program: the rows
    are listed and painted."""
    shots = [capture(session, window)]

    def steady():
        session.settle()
        shots.append(capture(session, window))
        return shots[-1][1] == shots[-2][1]
    wait_for("the window kept changing", steady)
    return shots[-1]


def screenshot_png(session, path, window):
    geo, data = steady_capture(session, window)
    stride = len(data) // geo.height
    raw = b"".join(b"\x00" + bytes(b for i in range(r * stride, r * stride + geo.width * 4, 4)
                                   for b in (data[i + 2], data[i + 1], data[i])) for r in range(geo.height))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", geo.width, geo.height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# Links, not copies: the corpus stays where it is.
folder = tempfile.mkdtemp(prefix="wb", dir="/tmp")
for name in ("poi--57925.xls", "poi--27394.xls", "sheetjs--sheet_visibility.xls"):
    os.symlink(os.path.join(corpus, "xls", name), os.path.join(folder, name))

session = Session(app_dir, args=[folder])
try:
    main = session.wait_window("Brakenfold")
    screenshot_png(session, out, main)
    print("wrote", out)
finally:
    session.close()
    for name in os.listdir(folder):
        os.unlink(os.path.join(folder, name))
    os.rmdir(folder)
PY
