#!/usr/bin/env python3
"""Draws the picture that the Explorer extension puts beside its menu items.

    make-shellext-art.py OUTPUT_FOLDER

writes menu.bmp: 15 x 15 pixels, 4 bits (16 colours), a tied parcel like the
manager's toolbar, and the same picture drawn for 125, 150 and 200 percent
(menu19.bmp, menu23.bmp, menu30.bmp). The Explorer shows it as the items'
unchecked check mark, so it stays within the menu check-mark size. Drawn with the manager's art
helpers; the file is committed and rebuilt only when the art changes.
"""
import importlib.util
import struct
import sys
from pathlib import Path

_spec = importlib.util.spec_from_file_location("manager_art", Path(__file__).with_name("make-manager-art.py"))
art = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(art)

SIZE = 15
MENU_BACK = (255, 255, 255)


# 15 pixels at 100, 125, 150 and 200 percent.
SIZES = (15, 19, 23, 30)


def draw_parcel(size):
    c = art.Canvas(SIZE, SIZE, MENU_BACK, scale=size / SIZE)
    c.box(1, 5, 13, 13, art.BOX, art.BOX_DARK)
    c.rect(2, 6, 12, 6, (232, 196, 140))
    c.rect(7, 5, 7, 13, art.STRAP)
    c.rect(1, 9, 13, 9, art.STRAP)
    c.line(7, 4, 4, 1, art.STRAP)
    c.line(7, 4, 10, 1, art.STRAP)
    return c


def bmp4_bytes(canvas):
    """4 bits per pixel with a colour table of at most 16 entries."""
    colours = sorted({canvas.pixels[y][x] for y in range(canvas.height) for x in range(canvas.width)})
    if len(colours) > 16:
        raise ValueError("a 16-colour picture holds at most 16 colours")
    index = {colour: i for i, colour in enumerate(colours)}
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours) + bytes(4 * (16 - len(colours)))
    row = ((canvas.width * 4 + 31) // 32) * 4
    data = bytearray()
    for y in reversed(range(canvas.height)):
        nibbles = [index[canvas.pixels[y][x]] for x in range(canvas.width)] + [0]
        line = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, canvas.width, 2))
        data += line + bytes(row - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 4, 0, len(data), 2835, 2835, 16, 16)
    offset = 14 + len(header) + len(table)
    return struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset) + header + table + data


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else "shellext/art")
    folder.mkdir(parents=True, exist_ok=True)
    for size in SIZES:
        name = "menu.bmp" if size == SIZE else f"menu{size}.bmp"
        (folder / name).write_bytes(bmp4_bytes(draw_parcel(size)))


if __name__ == "__main__":
    main()
