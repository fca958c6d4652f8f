#!/usr/bin/env python3
"""Draws lumet.ico, the program icon: a barcode on a blue scanner face.

Run from anywhere: python3 src/ui/make_lumet_icon.py
Writes 16 x 16 and 32 x 32 images, 32-bit colour with alpha.
"""
import os
import struct

BLUE = (0x1F, 0x5F, 0xB4, 0xFF)
DARK = (0x10, 0x2A, 0x55, 0xFF)
WHITE = (0xFF, 0xFF, 0xFF, 0xFF)
RED = (0xE0, 0x30, 0x30, 0xFF)
CLEAR = (0, 0, 0, 0)
# Bar widths of the barcode, in 32-pixel units: bar, gap, bar, gap, ...
BARS = [2, 1, 1, 1, 3, 1, 1, 2, 2, 1, 1, 1, 2]


def pixel(x, y, size):
    """Colour at (x, y), top-left origin, drawn on a 32 x 32 grid and scaled."""
    gx = x * 32 // size
    gy = y * 32 // size
    # Rounded square face with a dark rim.
    if (gx < 2 or gx > 29) and (gy < 2 or gy > 29):
        return CLEAR
    if gx in (0, 31) or gy in (0, 31):
        return DARK
    # The white label with the bars.
    if 5 <= gx <= 26 and 6 <= gy <= 22:
        if 8 <= gy <= 20:
            pos = 7
            dark = True
            for width in BARS:
                if pos <= gx < pos + width and dark:
                    return DARK
                pos += width
                dark = not dark
        return WHITE
    # The scan line under the label.
    if gy in (25, 26) and 5 <= gx <= 26:
        return RED
    return BLUE


def image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b"".join(bytes((b, g, r, a)) for (r, g, b, a) in (pixel(x, y, size) for x in range(size)))
        rows.append(row)
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # alpha decides; the AND mask is all zero
    return header + b"".join(rows) + mask


def main():
    sizes = [16, 32]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "lumet.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
