#!/usr/bin/env python3
"""Draws the program icon, a white folder with an orange signal on a blue
tile, and writes it as a Windows .ico with one 32-bit image per size.

Usage: make_icon.py OUTPUT.ico"""

import math
import struct
import sys

SIZES = (16, 20, 24, 32, 40, 48, 64)
SAMPLES = 6  # per pixel side, for smooth edges

TOP_BLUE = (0x2F, 0x86, 0xE0)
BOTTOM_BLUE = (0x17, 0x4A, 0x98)
WHITE = (0xFF, 0xFF, 0xFF)
TAB_WHITE = (0xDD, 0xE8, 0xF5)
ORANGE = (0xF5, 0x8A, 0x1F)


def in_round_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_arc(x, y, cx, cy, radius, thickness):
    d = math.hypot(x - cx, y - cy)
    if abs(d - radius) > thickness / 2:
        return False
    angle = math.degrees(math.atan2(cy - y, x - cx))  # upwards is 90
    return 40 <= angle <= 140


def colour_at(x, y):
    """Colour (r, g, b) at a point of the unit square, or None outside."""
    if not in_round_rect(x, y, 0.02, 0.02, 0.98, 0.98, 0.2):
        return None
    colour = tuple(round(t + (b - t) * y) for t, b in zip(TOP_BLUE, BOTTOM_BLUE))
    if in_round_rect(x, y, 0.16, 0.24, 0.48, 0.40, 0.05):
        colour = TAB_WHITE
    if in_round_rect(x, y, 0.14, 0.32, 0.86, 0.80, 0.06):
        colour = WHITE
    cx, cy = 0.5, 0.70
    if (x - cx) ** 2 + (y - cy) ** 2 <= 0.065 ** 2:
        colour = ORANGE
    if in_arc(x, y, cx, cy, 0.17, 0.07) or in_arc(x, y, cx, cy, 0.29, 0.07):
        colour = ORANGE
    return colour


def render(size):
    """Rows from the top, each pixel (b, g, r, a) with premultiplication undone."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            hits = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            total[i] += c[i]
            if hits == 0:
                row.append((0, 0, 0, 0))
            else:
                r, g, b = (round(t / hits) for t in total)
                row.append((b, g, r, round(255 * hits / SAMPLES ** 2)))
        rows.append(row)
    return rows


def icon_image(size):
    """BITMAPINFOHEADER, bottom-up BGRA pixels and an all-clear AND mask."""
    rows = render(size)
    pixels = b"".join(bytes(p for px in row for p in px) for row in reversed(rows))
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def main():
    images = [icon_image(s) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
