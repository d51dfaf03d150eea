#!/usr/bin/python3
"""Writes the program's icon for the desktop's icon theme (hicolor) beside this script.

Run by hand after changing the artwork (the build only installs the committed files):

    apt-get install -y python3-pil fonts-dejavu-core
    /usr/bin/python3 packaging/icons/make_icons.py

The sizes AppMain.ico holds (16, 24, 32, 48) are its own images, taken out of the file pixel
for pixel. The larger sizes (64, 128, 256) are drawn afresh with the same artwork code that
made AppMain.ico, so they are sharp instead of blown up. brakenfold.svg is the same drawing as
a scalable picture.
"""
import io
import pathlib
import struct
import sys

from PIL import Image

HERE = pathlib.Path(__file__).resolve().parent
ICON_DIR = HERE.parent.parent / "assets" / "Icon"
sys.path.insert(0, str(ICON_DIR))
import make_icons as artwork  # noqa: E402  (assets/Icon/make_icons.py)

SIZES = (16, 24, 32, 48, 64, 128, 256)
NAME = "brakenfold"


def ico_images(data):
    """Size -> RGBA image for every 32-bit image of an .ico file (the form our writer makes)."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        raise ValueError("not an icon file")
    images = {}
    for i in range(count):
        w, h, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        w, h = w or 256, h or 256
        if offset + size > len(data):
            raise ValueError("icon image past the end of the file")
        blob = data[offset:offset + size]
        if blob[:8] == b"\x89PNG\r\n\x1a\n":
            images[w] = Image.open(io.BytesIO(blob)).convert("RGBA")
            continue
        if bits != 32 or len(blob) < 40 + w * h * 4:
            raise ValueError(f"{w}x{h}: only 32-bit images are read")
        rows = blob[40:40 + w * h * 4]
        img = Image.frombytes("RGBA", (w, h), rows, "raw", "BGRA", 0, -1)
        images[w] = img
    return images


def svg():
    """The artwork of draw_app (large-size variant) in its 32-unit square."""
    a = artwork

    def rgb(c):
        return "#%02x%02x%02x" % c[:3]

    def sheet(x0, y0, x1, y1):
        band, rows, cols = 4, 4, 2
        parts = [f'<rect x="{x0}" y="{y0}" width="{x1 - x0}" height="{y1 - y0}" fill="{rgb(a.PAPER)}"/>',
                 f'<rect x="{x0}" y="{y0}" width="{x1 - x0}" height="{band}" fill="{rgb(a.SHEET_GREEN)}"/>']
        step_y = (y1 - y0 - band) / (rows + 1)
        for i in range(1, rows + 1):
            y = y0 + band + i * step_y
            parts.append(f'<line x1="{x0 + 1}" y1="{y:g}" x2="{x1 - 1}" y2="{y:g}" stroke="{rgb(a.GRID)}"/>')
        step_x = (x1 - x0) / (cols + 1)
        for i in range(1, cols + 1):
            x = x0 + i * step_x
            parts.append(f'<line x1="{x:g}" y1="{y0 + band}" x2="{x:g}" y2="{y1 - 1}" stroke="{rgb(a.GRID)}"/>')
        # The outline lies inside the page, as the bitmap drawing puts it.
        parts.append(f'<rect x="{x0 + 0.75}" y="{y0 + 0.75}" width="{x1 - x0 - 1.5}" '
                     f'height="{y1 - y0 - 1.5}" fill="none" stroke="{rgb(a.INK)}" stroke-width="1.5"/>')
        return "\n  ".join(parts)

    orange = rgb(a.ORANGE)
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 32 32">
  {sheet(2, 2, 20, 22)}
  {sheet(12, 10, 30, 30)}
  <polyline points="6,25 6,28 10,28" fill="none" stroke="{orange}" stroke-width="2.5" stroke-linejoin="round"/>
  <polygon points="9,24.5 13,28 9,31.5" fill="{orange}"/>
</svg>
"""


def main():
    from_ico = ico_images((ICON_DIR / "AppMain.ico").read_bytes())
    for size in SIZES:
        img = from_ico.get(size)
        if img is None:
            pen = artwork.Pen(size)
            artwork.draw_app(pen)
            img = pen.result()
        out = HERE / "hicolor" / f"{size}x{size}" / "apps" / f"{NAME}.png"
        out.parent.mkdir(parents=True, exist_ok=True)
        img.save(out, optimize=True)
    scalable = HERE / "hicolor" / "scalable" / "apps" / f"{NAME}.svg"
    scalable.parent.mkdir(parents=True, exist_ok=True)
    scalable.write_text(svg())


if __name__ == "__main__":
    main()
