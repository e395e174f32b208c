#!/usr/bin/env python3
"""Draws the manager's toolbar strip and program icon as plain pixel art.

    make-manager-art.py OUTPUT_FOLDER

writes toolbar.bmp (six 32 x 32 images side by side: open, create, add,
remove, extract, convert; 8 bits, light grey background, which the program
makes transparent), the same strip drawn at 40, 48 and 64 pixels
(toolbar40.bmp, toolbar48.bmp, toolbar64.bmp) and Packrook.ico (16 to 64
pixels, 32 bits with alpha). Only the standard library is used, so the output is the same on
every machine; the files are committed and rebuilt only when the art changes.
"""
import struct
import sys
from pathlib import Path

BACK = (192, 192, 192)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
DARK = (64, 64, 64)
GREY = (128, 128, 128)
FOLDER = (240, 200, 64)
FOLDER_DARK = (176, 128, 16)
BOX = (214, 168, 104)
BOX_DARK = (140, 96, 48)
STRAP = (96, 64, 32)
GREEN = (24, 152, 40)
RED = (208, 32, 32)
BLUE = (32, 80, 200)
TITLE = (16, 48, 160)
STONE = (150, 150, 160)
STONE_DARK = (80, 80, 96)


class Canvas:
    """Pixels drawn in the coordinates of a 32 x 32 picture; a scale other
    than 1 draws the same picture larger or smaller with crisp edges, so
    that every DPI has pictures of its own size rather than stretched ones."""

    def __init__(self, width, height, fill=None, scale=1.0):
        self.width, self.height = round(width * scale), round(height * scale)
        self.scale = scale
        self.pixels = [[fill for _ in range(self.width)] for _ in range(self.height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def cells(self, first, last):
        """The device pixels that cells first to last of the 32 grid cover."""
        start = round(first * self.scale)
        return range(start, max(start + 1, round((last + 1) * self.scale)))

    def dot(self, x, y, colour):
        self.rect(x, y, x, y, colour)

    def rect(self, x0, y0, x1, y1, colour):
        for y in self.cells(y0, y1):
            for x in self.cells(x0, x1):
                self.put(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        for x in (x0, x1):
            self.rect(x, y0, x, y1, colour)
        for y in (y0, y1):
            self.rect(x0, y, x1, y, colour)

    def box(self, x0, y0, x1, y1, fill, edge):
        self.rect(x0, y0, x1, y1, fill)
        self.frame(x0, y0, x1, y1, edge)

    def line(self, x0, y0, x1, y1, colour, width=1):
        """Drawn at the device resolution, so slopes stay smooth when scaled."""
        s = self.scale
        thick = max(1, round(width * s))
        ax, ay, bx, by = (round(v * s) for v in (x0, y0, x1, y1))
        steps = max(abs(bx - ax), abs(by - ay), 1)
        for i in range(steps + 1):
            x = round(ax + (bx - ax) * i / steps)
            y = round(ay + (by - ay) * i / steps)
            for dy in range(thick):
                for dx in range(thick):
                    self.put(x + dx, y + dy, colour)

    def polygon(self, points, colour):
        s = self.scale
        points = [((px + 0.5) * s - 0.5, (py + 0.5) * s - 0.5) for px, py in points]
        ys = [p[1] for p in points]
        for y in range(round(min(ys)), round(max(ys)) + 1):
            crossings = []
            for (xa, ya), (xb, yb) in zip(points, points[1:] + points[:1]):
                if (ya <= y < yb) or (yb <= y < ya):
                    crossings.append(xa + (y - ya) * (xb - xa) / (yb - ya))
            crossings.sort()
            for left, right in zip(crossings[::2], crossings[1::2]):
                for x in range(round(left), round(right) + 1):
                    self.put(x, y, colour)

    def paste(self, other, left, top):
        for y in range(other.height):
            for x in range(other.width):
                if other.pixels[y][x] is not None:
                    self.put(left + x, top + y, other.pixels[y][x])


def package(c, x0=3, y0=12, x1=24, y1=29):
    """A tied parcel, the archive of every picture."""
    c.box(x0, y0, x1, y1, BOX, BOX_DARK)
    c.rect(x0 + 1, y0 + 1, x1 - 1, y0 + 3, (232, 196, 140))
    middle = (x0 + x1) // 2
    c.rect(middle - 1, y0, middle + 1, y1, STRAP)
    c.rect(x0, (y0 + y1) // 2, x1, (y0 + y1) // 2 + 1, STRAP)


def plus(c, x, y, colour):
    c.rect(x - 6, y - 2, x + 6, y + 2, BLACK)
    c.rect(x - 2, y - 6, x + 2, y + 6, BLACK)
    c.rect(x - 5, y - 1, x + 5, y + 1, colour)
    c.rect(x - 1, y - 5, x + 1, y + 5, colour)


def minus(c, x, y, colour):
    c.rect(x - 6, y - 2, x + 6, y + 2, BLACK)
    c.rect(x - 5, y - 1, x + 5, y + 1, colour)


def draw_open(c):
    c.polygon([(2, 8), (11, 8), (13, 11), (27, 11), (27, 27), (2, 27)], FOLDER_DARK)
    c.polygon([(7, 15), (31, 15), (26, 28), (2, 28)], FOLDER)
    c.line(7, 15, 31, 15, FOLDER_DARK)
    c.line(31, 15, 26, 28, FOLDER_DARK)
    c.line(2, 28, 26, 28, FOLDER_DARK)
    c.line(18, 2, 25, 2, BLUE, 2)
    c.line(25, 2, 25, 8, BLUE, 2)
    c.polygon([(21, 7), (30, 7), (25, 12)], BLUE)


def draw_create(c):
    c.polygon([(6, 2), (20, 2), (26, 8), (26, 29), (6, 29)], WHITE)
    c.line(6, 2, 20, 2, DARK)
    c.line(20, 2, 26, 8, DARK)
    c.line(26, 8, 26, 29, DARK)
    c.line(6, 29, 26, 29, DARK)
    c.line(6, 2, 6, 29, DARK)
    c.polygon([(20, 2), (20, 8), (26, 8)], GREY)
    for y in range(12, 26, 3):
        c.line(9, y, 19, y, GREY)
    plus(c, 24, 24, GREEN)


def draw_add(c):
    package(c)
    plus(c, 24, 9, GREEN)


def draw_remove(c):
    package(c)
    minus(c, 24, 9, RED)


def draw_extract(c):
    package(c, 3, 16, 22, 30)
    c.rect(22, 2, 26, 12, BLUE)
    c.polygon([(17, 12), (31, 12), (24, 20)], BLUE)
    c.frame(22, 2, 26, 12, TITLE)


def draw_convert(c):
    package(c, 1, 14, 14, 28)
    c.box(17, 6, 31, 28, WHITE, DARK)
    c.rect(18, 7, 30, 10, TITLE)
    c.rect(20, 14, 28, 15, GREY)
    c.rect(20, 18, 28, 19, GREY)
    c.rect(20, 22, 25, 23, GREY)
    c.polygon([(8, 5), (15, 5), (15, 2), (20, 7), (15, 12), (15, 9), (8, 9)], GREEN)


def rook(size):
    """A rook standing on a parcel: the program's icon."""
    c = Canvas(32, 32, scale=size / 32)
    package(c, 2, 18, 29, 30)
    c.rect(9, 3, 22, 7, STONE)
    for x in (9, 14, 19):
        c.rect(x, 1, x + 3, 3, STONE)
    c.rect(11, 8, 20, 16, STONE)
    c.rect(8, 16, 23, 19, STONE_DARK)
    c.frame(9, 3, 22, 7, STONE_DARK)
    c.line(11, 8, 11, 16, STONE_DARK)
    c.line(20, 8, 20, 16, STONE_DARK)
    c.rect(15, 10, 16, 13, BLACK)
    return c


def bmp_bytes(canvas):
    """8 bits with a colour table: the toolbar maps the table's light grey to
    the button face colour, which it cannot do for true-colour bitmaps."""
    colours = sorted({canvas.pixels[y][x] or BACK for y in range(canvas.height) for x in range(canvas.width)})
    index = {colour: i for i, colour in enumerate(colours)}
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    row = (canvas.width + 3) & ~3
    data = bytearray()
    for y in reversed(range(canvas.height)):
        line = bytes(index[canvas.pixels[y][x] or BACK] for x in range(canvas.width))
        data += line + bytes(row - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 8, 0, len(data), 2835, 2835,
                         len(colours), len(colours))
    offset = 14 + len(header) + len(table)
    return struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset) + header + table + data


def icon_image(canvas):
    size = canvas.width
    pixels = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            colour = canvas.pixels[y][x]
            pixels += bytes((colour[2], colour[1], colour[0], 255)) if colour else bytes(4)
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        bits = 0
        for x in range(size):
            if canvas.pixels[y][x] is None:
                bits |= 1 << (mask_row * 8 - 1 - x)
        mask += bits.to_bytes(mask_row, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def ico_bytes(canvases):
    images = [icon_image(c) for c in canvases]
    offset = 6 + 16 * len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    for canvas, image in zip(canvases, images):
        out += struct.pack("<BBBBHHII", canvas.width, canvas.height, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


# The toolbar's pictures for 100, 125, 150 and 200 percent; the program
# scales the nearest larger set for any other DPI.
TOOLBAR_SIZES = (32, 40, 48, 64)
# Small and large icons for the same steps (16 and 32 at 100 percent).
ICON_SIZES = (16, 20, 24, 32, 40, 48, 64)


def toolbar_strip(size):
    strip = Canvas(size * 6, size)
    for index, draw in enumerate((draw_open, draw_create, draw_add, draw_remove, draw_extract, draw_convert)):
        image = Canvas(32, 32, scale=size / 32)
        draw(image)
        strip.paste(image, size * index, 0)
    return strip


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else "manager/art")
    folder.mkdir(parents=True, exist_ok=True)
    for size in TOOLBAR_SIZES:
        name = "toolbar.bmp" if size == 32 else f"toolbar{size}.bmp"
        (folder / name).write_bytes(bmp_bytes(toolbar_strip(size)))
    (folder / "Packrook.ico").write_bytes(ico_bytes([rook(size) for size in ICON_SIZES]))


if __name__ == "__main__":
    main()
