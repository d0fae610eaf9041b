#!/usr/bin/env python3
"""Draws VekSearch's icon, a document page with a red-ringed magnifying glass, and writes it
as a 32x32, 256-colour .ico (standard library only): python3 tools/make_icon.py [out.ico]"""

import math
import struct
import sys
from pathlib import Path

SIZE = 32
SAMPLES = 4  # per axis, for smooth edges before the colours are reduced to the palette

PAPER = (255, 255, 255)
PAPER_EDGE = (90, 90, 110)
FOLD = (205, 210, 225)
TEXT_LINE = (120, 135, 170)
RING = (215, 25, 25)
LENS = (200, 230, 250)
HANDLE = (70, 50, 40)


def inside_polygon(x, y, points):
    inside = False
    for (x1, y1), (x2, y2) in zip(points, points[1:] + points[:1]):
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def distance_to_segment(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


PAGE = [(4, 1.5), (19, 1.5), (25, 7.5), (25, 30.5), (4, 30.5)]
PAGE_INNER = [(5, 2.5), (18.5, 2.5), (24, 8), (24, 29.5), (5, 29.5)]
FOLD_TRIANGLE = [(19, 1.5), (19, 7.5), (25, 7.5)]
GLASS_CENTRE = (18.0, 17.0)
GLASS_RADIUS = 7.0
RING_WIDTH = 2.4


def colour_at(x, y):
    """The colour of one sample point, or None where the icon is transparent."""
    cx, cy = GLASS_CENTRE
    r = math.hypot(x - cx, y - cy)
    if distance_to_segment(x, y, cx + 5.6, cy + 5.6, 29.5, 29.5) < 2.1:
        return HANDLE
    if abs(r - GLASS_RADIUS) < RING_WIDTH / 2:
        return RING
    if r < GLASS_RADIUS:
        # The lens magnifies the text lines behind it.
        if 9 <= y <= 25 and (y - 9) % 4 < 1.6 and x > 8:
            return TEXT_LINE
        return LENS
    if inside_polygon(x, y, FOLD_TRIANGLE):
        return FOLD
    if inside_polygon(x, y, PAGE_INNER):
        if 7 <= x <= 21 and 8 <= y <= 27 and (y - 8) % 3.5 < 1.2:
            return TEXT_LINE
        return PAPER
    if inside_polygon(x, y, PAGE):
        return PAPER_EDGE
    return None


def render():
    """RGB per pixel (None when transparent), averaged over SAMPLES x SAMPLES points."""
    pixels = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            hits = [colour_at(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
                    for sy in range(SAMPLES) for sx in range(SAMPLES)]
            solid = [c for c in hits if c is not None]
            if len(solid) * 2 < len(hits):
                row.append(None)
            else:
                row.append(tuple(round(sum(c[i] for c in solid) / len(solid)) for i in range(3)))
        pixels.append(row)
    return pixels


def build_palette(pixels):
    """The icon's own colours first (most frequent first), then a colour cube to fill 256."""
    counts = {}
    for row in pixels:
        for c in row:
            if c is not None:
                counts[c] = counts.get(c, 0) + 1
    own = sorted(counts, key=lambda c: -counts[c])[:200]
    cube = [(r, g, b) for r in range(0, 256, 51) for g in range(0, 256, 51) for b in range(0, 256, 51)]
    palette = [(0, 0, 0)] + own + [c for c in cube if c not in own]
    return palette[:256] + [(0, 0, 0)] * (256 - len(palette[:256]))


def nearest(palette, colour):
    return min(range(len(palette)), key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


def ico_bytes(pixels):
    palette = build_palette(pixels)
    cache = {}
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # DIB rows run bottom-up
        xor_rows.append(bytes(0 if c is None else cache.setdefault(c, nearest(palette, c)) for c in row))
        mask = 0
        for c in row:
            mask = (mask << 1) | (1 if c is None else 0)
        and_rows.append(mask.to_bytes(SIZE // 8, "big"))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0,
                         SIZE * SIZE + SIZE * SIZE // 8, 0, 0, 256, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    image = header + colours + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8,
                                                           len(image), 6 + 16)
    return directory + image


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "ui/res/VekSearch.ico"
    out.parent.mkdir(parents=True, exist_ok=True)
    out.write_bytes(ico_bytes(render()))


if __name__ == "__main__":
    main()
