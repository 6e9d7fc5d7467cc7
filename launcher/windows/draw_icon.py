#!/usr/bin/env python3
"""Draws Vanto's Windows application icon, windows/quenvaria-vanto.ico.

The motif is the one of quenvaria-vanto.svg: a shopping bag with a top-up coin
on a rounded teal square. Each size is drawn from the same shapes, given in the
SVG's 64-unit coordinates, with several samples per pixel for smooth edges.
The 16, 32 and 48 pixel images are stored as 32-bit bitmaps (every Windows
version reads those), the 256 pixel image as PNG (as Windows Vista and later
expect for that size). Only the standard library is needed, and the output is
byte-for-byte the same on every run, so the committed icon can be checked
against this script.

Usage: draw_icon.py [OUTPUT.ico]   (default: quenvaria-vanto.ico beside this script)
"""

import math
import os
import struct
import sys
import zlib

TEAL = (0x1F, 0x6F, 0x78)
CREAM = (0xF4, 0xF1, 0xE8)
GOLD = (0xF2, 0xB1, 0x34)

# (size in pixels, samples per pixel along each axis, stored as PNG)
SIZES = ((16, 8, False), (32, 6, False), (48, 5, False), (256, 3, True))


def distance_to_segment(x, y, start, end):
    (ax, ay), (bx, by) = start, end
    dx, dy = bx - ax, by - ay
    length_squared = dx * dx + dy * dy
    t = 0.0 if length_squared == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length_squared))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def arc_points(start, end, radius, sweep, steps):
    """Points of the shorter circular arc from start to end (SVG arc with
    large-arc 0); sweep 1 turns with increasing angle in y-down coordinates."""
    (x1, y1), (x2, y2) = start, end
    mx, my = (x2 - x1) / 2, (y2 - y1) / 2
    half_chord = math.hypot(mx, my)
    offset = math.sqrt(max(0.0, radius * radius - half_chord * half_chord))
    # The centre lies off the chord's midpoint, on the side the sweep asks for.
    nx, ny = -my / half_chord, mx / half_chord
    side = 1 if sweep else -1
    cx, cy = x1 + mx + side * offset * nx, y1 + my + side * offset * ny
    a1 = math.atan2(y1 - cy, x1 - cx)
    a2 = math.atan2(y2 - cy, x2 - cx)
    span = a2 - a1
    if sweep and span < 0:
        span += 2 * math.pi
    if not sweep and span > 0:
        span -= 2 * math.pi
    return [(cx + radius * math.cos(a1 + span * i / steps), cy + radius * math.sin(a1 + span * i / steps))
            for i in range(steps + 1)]


def inside_polygon(x, y, points):
    inside = False
    previous = points[-1]
    for current in points:
        (xa, ya), (xb, yb) = previous, current
        if (ya > y) != (yb > y) and x < xa + (y - ya) * (xb - xa) / (yb - ya):
            inside = not inside
        previous = current
    return inside


def inside_rounded_square(x, y, low=2.0, high=62.0, radius=14.0):
    if not (low <= x <= high and low <= y <= high):
        return False
    cx = min(max(x, low + radius), high - radius)
    cy = min(max(y, low + radius), high - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


# The bag: "M14 22 h36 l-3 30 a4 4 0 0 1 -4 3.6 h-22 a4 4 0 0 1 -4 -3.6 z".
BAG = ([(14.0, 22.0), (50.0, 22.0)]
       + arc_points((47.0, 52.0), (43.0, 55.6), 4.0, True, 8)
       + arc_points((21.0, 55.6), (17.0, 52.0), 4.0, True, 8))
# The handle: "M23 22 v-4 a9 9 0 0 1 18 0 v4", a 3.5 wide stroke with round caps.
HANDLE = [(23.0, 22.0)] + arc_points((23.0, 18.0), (41.0, 18.0), 9.0, True, 24) + [(41.0, 22.0)]
HANDLE_HALF_WIDTH = 3.5 / 2
# The plus on the coin: two 3.2 wide strokes with round caps.
PLUS = (((32.0, 32.5), (32.0, 43.5)), ((26.5, 38.0), (37.5, 38.0)))
PLUS_HALF_WIDTH = 3.2 / 2
COIN_CENTRE, COIN_RADIUS = (32.0, 38.0), 10.0


def near_polyline(x, y, points, half_width):
    return any(distance_to_segment(x, y, a, b) <= half_width for a, b in zip(points, points[1:]))


def colour_at(x, y):
    """The colour of the topmost shape at (x, y), or None outside the icon;
    shapes are painted in the SVG's order, later ones on top."""
    if not inside_rounded_square(x, y):
        return None
    if any(distance_to_segment(x, y, a, b) <= PLUS_HALF_WIDTH for a, b in PLUS):
        return TEAL
    if math.hypot(x - COIN_CENTRE[0], y - COIN_CENTRE[1]) <= COIN_RADIUS:
        return GOLD
    if inside_polygon(x, y, BAG) or near_polyline(x, y, HANDLE, HANDLE_HALF_WIDTH):
        return CREAM
    return TEAL


def draw(size, samples):
    """Rows of (red, green, blue, alpha) from top to bottom, colours averaged
    over the covered samples (not premultiplied)."""
    scale = 64.0 / size
    rows = []
    for row in range(size):
        pixels = []
        for column in range(size):
            red = green = blue = covered = 0
            for sy in range(samples):
                y = (row + (sy + 0.5) / samples) * scale
                for sx in range(samples):
                    colour = colour_at((column + (sx + 0.5) / samples) * scale, y)
                    if colour is not None:
                        red += colour[0]
                        green += colour[1]
                        blue += colour[2]
                        covered += 1
            if covered == 0:
                pixels.append((0, 0, 0, 0))
            else:
                pixels.append((round(red / covered), round(green / covered), round(blue / covered),
                               round(255 * covered / (samples * samples))))
        rows.append(pixels)
    return rows


def png_image(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    size = len(rows)
    raw = b"".join(b"\x00" + bytes(channel for pixel in row for channel in pixel) for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA, no interlace
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def bitmap_image(rows):
    """A 32-bit BGRA device-independent bitmap as icons hold it: the header
    states twice the height (colour rows, then the 1-bit AND mask), rows run
    bottom-up, each mask row padded to 4 bytes."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row_bytes = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row_bytes)
        for column, pixel in enumerate(row):
            if pixel[3] == 0:  # transparent where nothing is drawn
                bits[column // 8] |= 0x80 >> (column % 8)
        mask += bits
    return header + colour + bytes(mask)


def icon_file(images):
    """ICONDIR, one ICONDIRENTRY per image (a size of 256 is written as 0),
    then the images in the same order."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in images:
        stored_size = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", stored_size, stored_size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, data in images)


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                                "quenvaria-vanto.ico")
    images = []
    for size, samples, as_png in SIZES:
        rows = draw(size, samples)
        images.append((size, png_image(rows) if as_png else bitmap_image(rows)))
    with open(output, "wb") as out:
        out.write(icon_file(images))


if __name__ == "__main__":
    main()
