#!/usr/bin/env python3
"""Draws the installer's wizard picture and writes res/wizard.bmp.

The picture beside the installer's welcome and finish pages: 164 x 314 pixels, as NSIS's
Modern UI shows it, in 24-bit colour. A blue field, darker at the bottom, with Tavelin's icon
(drawn by make_icon.py) near the top. Standard library only; the .bmp it writes is committed,
so the release needs no Python.

    python3 res/make_wizard.py
"""
import os
import struct
import sys

sys.dont_write_bytecode = True  # nothing but the picture is written beside the script
import make_icon  # noqa: E402

WIDTH, HEIGHT = 164, 314
ICON, ICON_TOP = 96, 40


def background(y):
    top, bottom = (34, 96, 190), (10, 36, 92)
    return tuple(round(t + (b - t) * y / (HEIGHT - 1)) for t, b in zip(top, bottom))


def main():
    icon = make_icon.render(ICON)
    left = (WIDTH - ICON) // 2
    rows = []
    for y in range(HEIGHT):
        row = []
        for x in range(WIDTH):
            colour = background(y)
            if 0 <= x - left < ICON and 0 <= y - ICON_TOP < ICON:
                r, g, b, a = icon[y - ICON_TOP][x - left]
                colour = tuple(round((c * a + o * (255 - a)) / 255) for c, o in zip((r, g, b), colour))
            row.append(colour)
        rows.append(row)
    stride = (WIDTH * 3 + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(b''.join(bytes((b, g, r)) for r, g, b in row))
        pixels += line + bytes(stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'wizard.bmp')
    with open(target, 'wb') as f:
        f.write(header + info + bytes(pixels))
    print('wrote', target)


if __name__ == '__main__':
    main()
