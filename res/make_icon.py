#!/usr/bin/env python3
"""Draws Tavelin's icon and writes res/Tavelin.ico.

A blue rounded square with white viewfinder corners and an orange shutter dot, at 48, 40, 32,
24, 20 and 16 pixels (the small icon's sizes at 100, 125, 150, 200 and 250 % scaling among
them), in 32-bit colour with alpha and, but for 40 and 20, in 256 colours. Standard library only;
the .ico it writes is committed, so the build needs no Python.

    python3 res/make_icon.py
"""
import os
import struct

SIZES = (48, 40, 32, 24, 20, 16)
# Sizes only a scaled display asks for, and none of those shows 256 colours: 32-bit alone.
SCALED_ONLY = (40, 20)
SUPERSAMPLE = 4


def inside_rounded_square(x, y, size, radius):
    """True when (x, y) in a size x size square lies inside its rounded corners."""
    cx = min(max(x, radius), size - radius)
    cy = min(max(y, radius), size - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def sample(x, y, size):
    """Colour (r, g, b, a) of the icon at continuous point (x, y)."""
    u, v = x / size, y / size
    if not inside_rounded_square(x, y, size, size * 0.2):
        return (0, 0, 0, 0)
    # Background: blue, lighter at the top.
    top, bottom = (56, 132, 232), (16, 60, 150)
    colour = tuple(int(t + (b - t) * v) for t, b in zip(top, bottom))
    # Viewfinder corners: L-shaped white strokes near each corner.
    inset, length, stroke = 0.2, 0.22, max(0.07, 1.6 / size)
    for cu in (inset, 1 - inset):
        for cv in (inset, 1 - inset):
            du, dv = u - cu, v - cv
            su = 1 if cu < 0.5 else -1
            sv = 1 if cv < 0.5 else -1
            along_u = 0 <= du * su <= length and abs(dv) <= stroke / 2
            along_v = 0 <= dv * sv <= length and abs(du) <= stroke / 2
            if along_u or along_v:
                colour = (255, 255, 255)
    # Shutter dot in the middle.
    if (u - 0.5) ** 2 + (v - 0.5) ** 2 <= 0.12 ** 2:
        colour = (255, 140, 26)
    return colour + (255,)


def render(size):
    """Rows of (r, g, b, a), top row first, antialiased by supersampling."""
    rows = []
    n = SUPERSAMPLE
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = sample(x + (sx + 0.5) / n, y + (sy + 0.5) / n, size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if acc[3]:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]),
                            round(alpha)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def palette():
    """216-colour cube and a 40-step ramp of the background's blues: 256 entries."""
    levels = (0, 51, 102, 153, 204, 255)
    colours = [(r, g, b) for r in levels for g in levels for b in levels]
    top, bottom = (56, 132, 232), (16, 60, 150)
    colours += [tuple(round(t + (b - t) * i / 39) for t, b in zip(top, bottom)) for i in range(40)]
    return colours


def nearest(colour, entries):
    return min(range(len(entries)),
               key=lambda i: sum((c - e) ** 2 for c, e in zip(colour, entries[i])))


def and_mask(rows, size):
    """1-bit mask, bottom row first, rows padded to 4 bytes: 1 where the icon is transparent."""
    stride = (size + 31) // 32 * 4
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def header(size, bits, colours_used):
    return struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0, colours_used, 0)


def image_32(rows, size):
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    return header(size, 32, 0) + bytes(pixels) + and_mask(rows, size)


def image_8(rows, size, entries):
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in entries)
    stride = (size + 3) // 4 * 4
    pixels = bytearray()
    cache = {}
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (r, g, b, a) in enumerate(row):
            key = (r, g, b) if a >= 128 else (0, 0, 0)
            if key not in cache:
                cache[key] = nearest(key, entries)
            line[x] = cache[key]
        pixels += line
    return header(size, 8, 256) + table + bytes(pixels) + and_mask(rows, size)


def main():
    entries = palette()
    images = []
    for size in SIZES:
        rows = render(size)
        if size not in SCALED_ONLY:
            images.append((size, 8, image_8(rows, size, entries)))
        images.append((size, 32, image_32(rows, size)))
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b''
    for size, bits, blob in images:
        directory += struct.pack('<BBBBHHII', size, size, 0, 0, 1, bits, len(blob), offset)
        offset += len(blob)
        data += blob
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'Tavelin.ico')
    with open(target, 'wb') as f:
        f.write(directory + data)
    print('wrote', target)


if __name__ == '__main__':
    main()
