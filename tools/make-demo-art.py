#!/usr/bin/env python3
"""Paints the sample game's images and writes them as PNG files (8-bit RGBA).

Usage: make-demo-art.py OUTPUT_FOLDER

Everything is computed here, so the sample ships no binary art: a soft ball,
a five-pointed star, a glow for additive blending and a floor tile.
"""
import math
import os
import struct
import sys
import zlib


def write_png(path, width, height, pixel):
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # no filter
        for x in range(width):
            r, g, b, a = (max(0, min(255, int(c))) for c in pixel(x, y))
            rows += bytes((r, g, b, a))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
                  + chunk(b"IEND", b""))


def ball(x, y):
    size = 64
    cx = cy = (size - 1) / 2
    d = math.hypot(x - cx, y - cy) / (size / 2)
    if d > 1:
        return 0, 0, 0, 0
    light = max(0.0, 1 - math.hypot(x - cx * 0.7, y - cy * 0.6) / size * 1.6)
    edge = min(1.0, (1 - d) * 12)
    return 60 + 195 * light, 120 + 135 * light, 230, 255 * edge


def star(x, y):
    size = 64
    cx = cy = (size - 1) / 2
    angle = math.atan2(y - cy, x - cx)
    radius = math.hypot(x - cx, y - cy) / (size / 2)
    points = 0.55 + 0.45 * abs(math.cos(2.5 * angle))  # five points
    if radius > points:
        return 0, 0, 0, 0
    edge = min(1.0, (points - radius) * 20)
    return 255, 200 + 55 * (1 - radius), 60, 255 * edge


def glow(x, y):
    size = 128
    d = math.hypot(x - (size - 1) / 2, y - (size - 1) / 2) / (size / 2)
    a = max(0.0, 1 - d) ** 2
    return 255, 160, 80, 255 * a


def tile(x, y):
    checker = ((x // 16) + (y // 16)) % 2
    shade = 40 + 12 * checker + 6 * math.sin(x * 0.4) * math.sin(y * 0.4)
    border = 18 if x % 32 == 0 or y % 32 == 0 else 0
    return shade + border, shade + 8 + border, shade + 24 + border, 255


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = os.path.join(sys.argv[1], "sprites")
    os.makedirs(folder, exist_ok=True)
    write_png(os.path.join(folder, "ball.png"), 64, 64, ball)
    write_png(os.path.join(folder, "star.png"), 64, 64, star)
    write_png(os.path.join(folder, "glow.png"), 128, 128, glow)
    write_png(os.path.join(folder, "tile.png"), 32, 32, tile)


if __name__ == "__main__":
    main()
