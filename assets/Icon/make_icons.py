#!/usr/bin/python3
"""Draws the program's icons and its hand cursor and writes them beside this script.

Run by hand after changing the artwork (the build only copies the committed files):

    apt-get install -y python3-pil fonts-dejavu-core
    /usr/bin/python3 assets/Icon/make_icons.py

Every icon holds 16x16, 24x24, 32x32 and 48x48 images, each drawn for its own size (thicker
strokes and fewer details at 16x16) rather than shrunk from one big picture, so the small
sizes stay sharp. The files are written by our own writer as 32-bit images with an AND mask,
the form every reader of .ico files understands. hand.cur is drawn pixel by pixel and carries
its hotspot (the tip of the index finger) in its directory entry.
"""
import pathlib
import struct

from PIL import Image, ImageDraw, ImageFont

HERE = pathlib.Path(__file__).resolve().parent
SIZES = (16, 24, 32, 48)
SUPERSAMPLE = 8
BOLD_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

# Palette
INK = (40, 44, 52, 255)
PAPER = (255, 255, 255, 255)
PAPER_SHADE = (226, 232, 240, 255)
GRID = (150, 170, 190, 255)
SHEET_GREEN = (33, 128, 72, 255)
SHEET_GREEN_DARK = (20, 90, 50, 255)
ADD_GREEN = (46, 160, 67, 255)
REMOVE_RED = (208, 52, 44, 255)
HELP_BLUE = (30, 100, 200, 255)
HELP_BLUE_DARK = (16, 64, 140, 255)
STEEL = (96, 112, 132, 255)
STEEL_DARK = (52, 62, 76, 255)
ROOF_RED = (196, 60, 40, 255)
WALL = (246, 228, 190, 255)
WOOD = (140, 86, 44, 255)
WOOD_DARK = (96, 56, 26, 255)
ORANGE = (236, 140, 24, 255)
WHITE = (255, 255, 255, 255)


class Pen:
    """Draws in a 32-unit square at one target size, on a supersampled canvas."""

    def __init__(self, size):
        self.size = size
        self.px = size * SUPERSAMPLE
        self.img = Image.new("RGBA", (self.px, self.px), (0, 0, 0, 0))
        self.d = ImageDraw.Draw(self.img)
        self.small = size <= 16

    def u(self, v):
        return v * self.px / 32.0

    def pts(self, coords):
        return [(self.u(x), self.u(y)) for x, y in coords]

    def line_width(self, units):
        # At 16x16 a one-unit line would be half a pixel: never go below one target pixel.
        target_px = max(units * self.size / 32.0, 1.0)
        return max(1, round(target_px * SUPERSAMPLE))

    def rect(self, x0, y0, x1, y1, fill=None, outline=None, width=1.0):
        self.d.rectangle([self.u(x0), self.u(y0), self.u(x1) - 1, self.u(y1) - 1], fill=fill,
                         outline=outline, width=self.line_width(width) if outline else 0)

    def poly(self, coords, fill=None, outline=None, width=1.0):
        self.d.polygon(self.pts(coords), fill=fill)
        if outline:
            p = self.pts(coords)
            self.d.line(p + [p[0]], fill=outline, width=self.line_width(width), joint="curve")

    def line(self, coords, fill, width=1.0):
        self.d.line(self.pts(coords), fill=fill, width=self.line_width(width), joint="curve")

    def ellipse(self, x0, y0, x1, y1, fill=None, outline=None, width=1.0):
        self.d.ellipse([self.u(x0), self.u(y0), self.u(x1), self.u(y1)], fill=fill, outline=outline,
                       width=self.line_width(width) if outline else 0)

    def text(self, cx, cy, s, height_units, fill):
        font = ImageFont.truetype(BOLD_FONT, max(1, round(self.u(height_units))))
        box = self.d.textbbox((0, 0), s, font=font)
        w, h = box[2] - box[0], box[3] - box[1]
        self.d.text((self.u(cx) - w / 2 - box[0], self.u(cy) - h / 2 - box[1]), s, font=font, fill=fill)

    def result(self):
        return self.img.resize((self.size, self.size), Image.LANCZOS if self.size > 16 else Image.BOX)


# ---- Shared pieces ----

def pixel_centre(p, v):
    """At 16x16 a one-pixel line is sharp only through the middle of a pixel (odd units)."""
    if not p.small:
        return v
    return 2 * round((v - 1) / 2) + 1


def sheet(p, x0, y0, x1, y1, grid=True):
    """A worksheet page: white paper, green header band, grid lines."""
    p.rect(x0, y0, x1, y1, fill=PAPER)
    band = 4 if not p.small else 6
    p.rect(x0, y0, x1, y0 + band, fill=SHEET_GREEN)
    if grid:
        rows = 2 if p.small else 4
        cols = 1 if p.small else 2
        step_y = (y1 - y0 - band) / (rows + 1)
        for i in range(1, rows + 1):
            y = pixel_centre(p, y0 + band + i * step_y)
            p.line([(x0 + 1, y), (x1 - 1, y)], GRID, 1.0)
        step_x = (x1 - x0) / (cols + 1)
        for i in range(1, cols + 1):
            x = pixel_centre(p, x0 + i * step_x)
            p.line([(x, y0 + band), (x, y1 - 1)], GRID, 1.0)
    p.rect(x0, y0, x1, y1, outline=INK, width=1.5 if not p.small else 2)


def badge(p, colour, plus):
    """A round badge in the lower right corner with a plus or a minus."""
    if p.small:
        # Bigger, without the white ring, and on whole pixels.
        p.ellipse(12, 12, 32, 32, fill=colour)
        p.rect(16, 20, 28, 24, fill=WHITE)
        if plus:
            p.rect(20, 16, 24, 28, fill=WHITE)
        return
    p.ellipse(15, 15, 31, 31, fill=colour, outline=WHITE, width=1.5)
    p.rect(19, 21.5, 27, 24.5, fill=WHITE)
    if plus:
        p.rect(21.5, 19, 24.5, 27, fill=WHITE)


# ---- The icons ----

def draw_app(p):
    """Two pages drawn apart from one workbook: the back page and the front page with an arrow."""
    sheet(p, 2, 2, 20, 22, grid=not p.small)
    sheet(p, 12, 10, 30, 30)
    # Orange arrow from the back page to the front page.
    w = 2.5 if not p.small else 3.5
    p.line([(6, 25), (6, 28), (10, 28)], ORANGE, w)
    p.poly([(9, 24.5), (13, 28), (9, 31.5)], fill=ORANGE)


def draw_add(p):
    sheet(p, 2, 0, 22, 28) if p.small else sheet(p, 3, 1, 23, 27)
    badge(p, ADD_GREEN, plus=True)


def draw_remove(p):
    sheet(p, 2, 0, 22, 28) if p.small else sheet(p, 3, 1, 23, 27)
    badge(p, REMOVE_RED, plus=False)


def draw_split(p):
    """A page cut in two: the halves move apart, arrows show the direction."""
    if p.small:
        # No room for arrows: the halves sit apart and out of line, the cut between them.
        sheet(p, 0, 2, 14, 26, grid=False)
        sheet(p, 18, 6, 32, 30, grid=False)
        for y in (0, 8, 16, 24):
            p.rect(16, y, 18, y + 4, fill=ORANGE)
        return
    # Left half and right half of one sheet, with a gap between them.
    sheet(p, 1, 6, 14, 28)
    sheet(p, 18, 6, 31, 28)
    # The cut: a dashed line in the gap, and arrows pointing outwards.
    w = 2
    for y in range(1, 32, 5):
        p.line([(16, y), (16, y + 2.5)], INK, 1.5)
    p.poly([(9.5, 0.5), (4.5, 3.5), (9.5, 6.5)], fill=ORANGE)
    p.line([(9, 3.5), (14, 3.5)], ORANGE, w)
    p.poly([(22.5, 0.5), (27.5, 3.5), (22.5, 6.5)], fill=ORANGE)
    p.line([(18, 3.5), (23, 3.5)], ORANGE, w)


def draw_option(p):
    """A gear wheel."""
    import math
    cx = cy = 16
    teeth = 8
    r_out, r_in = 15, 11.5
    pts = []
    for i in range(teeth * 4):
        a = 2 * math.pi * (i - 0.5) / (teeth * 4)
        r = r_out if (i % 4) in (0, 1) else r_in
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    p.poly(pts, fill=STEEL, outline=STEEL_DARK, width=1.5 if not p.small else 1.5)
    p.ellipse(cx - 8, cy - 8, cx + 8, cy + 8, fill=STEEL, outline=STEEL_DARK, width=1)
    hole = 4.5 if not p.small else 5
    p.ellipse(cx - hole, cy - hole, cx + hole, cy + hole, fill=WHITE, outline=STEEL_DARK, width=1.5)


def draw_help(p):
    """A blue disc with a white question mark."""
    p.ellipse(1, 1, 31, 31, fill=HELP_BLUE, outline=HELP_BLUE_DARK, width=1.5)
    p.text(16, 16.5, "?", 24 if not p.small else 28, WHITE)


def draw_homepage(p):
    """A house: roof, walls, door and a window."""
    p.poly([(16, 2), (31, 16), (1, 16)], fill=ROOF_RED, outline=INK, width=1.5 if not p.small else 2)
    p.rect(5, 15, 27, 30, fill=WALL, outline=INK, width=1.5 if not p.small else 2)
    p.rect(8, 20, 14, 30, fill=WOOD)
    if not p.small:
        p.rect(18, 19, 24, 25, fill=(170, 210, 240, 255), outline=INK, width=1)


def draw_exit(p):
    """An open door with an arrow leaving through it."""
    p.rect(3, 2, 19, 30, fill=(60, 60, 60, 255))           # doorway
    p.poly([(3, 2), (12, 5), (12, 31), (3, 30)], fill=WOOD, outline=WOOD_DARK, width=1)  # door leaf
    if not p.small:
        p.ellipse(9, 16, 11, 18, fill=(240, 200, 80, 255))  # knob
    w = 3.5 if not p.small else 4.5
    p.line([(14, 16), (25, 16)], ADD_GREEN, w)
    p.poly([(23, 9.5), (31, 16), (23, 22.5)], fill=ADD_GREEN)


ICONS = {
    "frmMain.ico": draw_app,
    "AppMain.ico": draw_app,
    "Add.ICO": draw_add,
    "Remove.ico": draw_remove,
    "Split.ico": draw_split,
    "Option.ico": draw_option,
    "Help.ico": draw_help,
    "HomePage.Ico": draw_homepage,
    "Exit.ico": draw_exit,
}


# ---- The hand cursor, pixel by pixel: X outline, o fill, . transparent ----

HAND = [
    "......XX..........",
    ".....XooX.........",
    ".....XooX.........",
    ".....XooX.........",
    ".....XooX.........",
    ".....XooXXX.......",
    ".....XooXooXXX....",
    ".....XooXooXooXX..",
    ".....XooXooXooXoX.",
    ".XX..XooXooXooXoX.",
    "XooX.XoooooooooooX",
    "XoooXXoooooooooooX",
    ".XooXXoooooooooooX",
    "..XoXoooooooooooX.",
    "..XooooooooooooX..",
    "...XoooooooooooX..",
    "...XooooooooooX...",
    "....XoooooooooX...",
    "....XoooooooooX...",
    ".....XoooooooX....",
    ".....XoooooooX....",
    ".....XXXXXXXXX....",
]
HAND_OFFSET = (4, 0)          # where the drawing sits in the 32x32 cursor
HAND_TIP = (6, 0)             # the fingertip inside the drawing


def draw_hand():
    img = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
    ox, oy = HAND_OFFSET
    for y, row in enumerate(HAND):
        for x, c in enumerate(row):
            if c == "X":
                img.putpixel((ox + x, oy + y), (0, 0, 0, 255))
            elif c == "o":
                img.putpixel((ox + x, oy + y), (255, 255, 255, 255))
    return img, (ox + HAND_TIP[0], oy + HAND_TIP[1])


# ---- .ico / .cur writer ----

def dib(img):
    """BITMAPINFOHEADER + 32-bit BGRA rows bottom-up + 1-bit AND mask (1 = transparent)."""
    w, h = img.size
    px = img.load()
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[x, y]
            colour += bytes((b, g, r, a))
    mask_row = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(mask_row)
        for x in range(w):
            if px[x, y][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(colour) + bytes(mask)


def icon_file(images, hotspot=None):
    """Type 1 (icon) or, with a hotspot, type 2 (cursor): planes/bit count hold x/y then."""
    kind = 2 if hotspot else 1
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for img in images:
        data = dib(img)
        w, h = img.size
        a, b = hotspot if hotspot else (1, 32)
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, a, b, len(data), offset)
        offset += len(data)
        blobs.append(data)
    return out + b"".join(blobs)


def main():
    for name, draw in ICONS.items():
        images = []
        for size in SIZES:
            pen = Pen(size)
            draw(pen)
            images.append(pen.result())
        (HERE / name).write_bytes(icon_file(images))
    hand, hotspot = draw_hand()
    (HERE / "hand.cur").write_bytes(icon_file([hand], hotspot=hotspot))


if __name__ == "__main__":
    main()
