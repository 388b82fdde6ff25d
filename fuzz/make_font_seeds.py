#!/usr/bin/python3
"""Writes the seed corpus of the outline font fuzz target (fuzz/corpus/ttf):
small TrueType fonts made here from scratch, with outlines only and with
embedded bitmaps of 1, 2, 4 and 8 bits a pixel at 12 pixels (the size the
target renders), so that every pixel depth FreeType can hand over is seeded.
Run once by hand from the repository root; the fuzzer's own findings are
merged in by tools/fuzz.
"""
import os
import struct

UNITS = 1000
FOLDER = "fuzz/corpus/ttf"

# Glyph 0 is .notdef (no outline); the rest: (contours as point lists), or
# ("composite", [(glyph, dx, dy), ...]).
SQUARE = [[(100, 0), (100, 700), (600, 700), (600, 0)], [(250, 150), (450, 150), (450, 550), (250, 550)]]
TRIANGLE = [[(0, 0), (350, 700), (700, 0)]]
STEM = [[(100, -200), (100, 750), (220, 750), (220, -200)]]
GLYPHS = [[], SQUARE, TRIANGLE, STEM, ("composite", [(2, 0, 0), (3, 500, 100)]), []]
# Code point -> glyph: 'B', 'A', 'l', 'V' (the triangle again), e acute, space.
CMAP = {0x42: 1, 0x41: 2, 0x6C: 3, 0x56: 2, 0xE9: 4, 0x20: 5}
ADVANCE = 760


def simple_glyph(contours):
    if not contours:
        return b""
    points = [p for c in contours for p in c]
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    out = struct.pack(">hhhhh", len(contours), min(xs), min(ys), max(xs), max(ys))
    end = -1
    for c in contours:
        end += len(c)
        out += struct.pack(">H", end)
    out += struct.pack(">H", 0)  # no instructions
    out += bytes([0x01] * len(points))  # on-curve, full 16-bit deltas
    for axis in (0, 1):
        last = 0
        for p in points:
            out += struct.pack(">h", p[axis] - last)
            last = p[axis]
    return out


def composite_glyph(parts):
    out = struct.pack(">hhhhh", -1, 0, -200, 1200, 750)
    for i, (glyph, dx, dy) in enumerate(parts):
        flags = 0x0001 | 0x0002 | (0x0020 if i + 1 < len(parts) else 0)  # word args, xy offsets, more
        out += struct.pack(">HHhh", flags, glyph, dx, dy)
    return out


def glyph_data():
    glyf, loca = b"", []
    for g in GLYPHS:
        loca.append(len(glyf))
        data = composite_glyph(g[1]) if isinstance(g, tuple) else simple_glyph(g)
        glyf += data + b"\0" * (-len(data) % 4)
    loca.append(len(glyf))
    return glyf, b"".join(struct.pack(">I", o) for o in loca)


def cmap_table():
    groups = sorted(CMAP.items())
    sub = struct.pack(">HHIII", 12, 0, 16 + 12 * len(groups), 0, len(groups))
    sub += b"".join(struct.pack(">III", c, c, g) for c, g in groups)
    return struct.pack(">HHHHI", 0, 1, 3, 10, 12) + sub


def bitmap_tables(depth, ppem=12):
    """EBLC and EBDT with one strike: glyphs 1..3 as small bitmaps whose
    pixels run through every level the depth has."""
    first, last = 1, 3
    levels = (1 << depth) - 1
    ebdt, offsets = struct.pack(">I", 0x00020000), []
    for glyph in range(first, last + 1):
        width, height = 3 + glyph * 2, 8
        offsets.append(len(ebdt))
        ebdt += struct.pack(">BBbbB", height, width, 0, 9, width + 1)  # small metrics
        for y in range(height):
            bits, count = 0, 0
            for x in range(width):
                bits = (bits << depth) | ((x + y * glyph) % (levels + 1))
                count += depth
            pad = -count % 8
            ebdt += (bits << pad).to_bytes((count + pad) // 8, "big")
    offsets.append(len(ebdt))
    data_start = offsets[0]
    subtable = struct.pack(">HHI", 1, 1, data_start) + b"".join(struct.pack(">I", o - data_start) for o in offsets)
    array = struct.pack(">HHI", first, last, 8)
    metrics = struct.pack(">bbBbbbbbbbbb", 10, -2, 12, 1, 0, 0, 0, 0, 10, -2, 0, 0)
    size_record = struct.pack(">IIII", 8 + 48, len(array) + len(subtable), 1, 0) + metrics + metrics
    size_record += struct.pack(">HHBBBb", first, last, ppem, ppem, depth, 1)
    eblc = struct.pack(">II", 0x00020000, 1) + size_record + array + subtable
    return eblc, ebdt


def font(depth=None):
    glyf, loca = glyph_data()
    count = len(GLYPHS)
    tables = {
        b"head": struct.pack(">IIIIHHqqhhhhHHhhh", 0x00010000, 0x00010000, 0, 0x5F0F3CF5, 0x000B, UNITS, 0, 0,
                             0, -200, 1200, 750, 0, 8, 2, 1, 0),
        b"hhea": struct.pack(">IhhhHhhhhhhhhhhhH", 0x00010000, 800, -200, 0, ADVANCE, 0, 0, 1200, 1, 0, 0, 0, 0,
                             0, 0, 0, count),
        b"maxp": struct.pack(">IHHHHHHHHHHHHHH", 0x00010000, count, 16, 2, 16, 3, 2, 0, 0, 0, 0, 0, 0, 2, 1),
        b"hmtx": b"".join(struct.pack(">Hh", ADVANCE, 0) for _ in range(count)),
        b"cmap": cmap_table(),
        b"loca": loca,
        b"glyf": glyf,
        b"post": struct.pack(">IIhhIIIII", 0x00030000, 0, -100, 50, 0, 0, 0, 0, 0),
    }
    if depth:
        tables[b"EBLC"], tables[b"EBDT"] = bitmap_tables(depth)
    tags = sorted(tables)
    offset = 12 + 16 * len(tags)
    directory, body = b"", b""
    for tag in tags:
        data = tables[tag]
        checksum = sum(struct.unpack(">%dI" % ((len(data) + 3) // 4), data + b"\0" * (-len(data) % 4))) & 0xFFFFFFFF
        directory += struct.pack(">4sIII", tag, checksum, offset + len(body), len(data))
        body += data + b"\0" * (-len(data) % 4)
    power = 1 << (len(tags).bit_length() - 1)
    header = struct.pack(">IHHHH", 0x00010000, len(tags), 16 * power, power.bit_length() - 1, 16 * (len(tags) - power))
    return header + directory + body


def main():
    os.makedirs(FOLDER, exist_ok=True)
    seeds = {"outlines.ttf": font()}
    for depth in (1, 2, 4, 8):
        seeds["bitmaps-%d-bit.ttf" % depth] = font(depth)
    seeds["truncated.ttf"] = font(2)[:300]
    for name, data in seeds.items():
        with open(os.path.join(FOLDER, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
