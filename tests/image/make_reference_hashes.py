#!/usr/bin/python3
"""Computes the decoded-pixel hashes of the conformance images once, with
decoders independent of the runtime's: a plain PNG reader written here on
Python's zlib (checked pixel for pixel against Pillow wherever Pillow keeps
the information, which it does not for 16-bit transparency) and Pillow for
JPEG. Run by hand when the image set changes, with Debian's python3-pil:

    /usr/bin/python3 tests/image/make_reference_hashes.py IMAGES_FOLDER \
        > tests/image/conformance_hashes.txt

IMAGES_FOLDER is what tools/lib/fetch-test-images.sh prints. Each output line
is "PATH WIDTHxHEIGHT ALPHA HASH" or "PATH FAIL": the pixels as the loader
stores them with byte order 0 (R,G,B,A, rows top to bottom), the alpha flag
it sets, and FNV-1a 64 of those bytes. PNG files are taken as if they carried
no gamma (the loader's ignore-file-gamma setting), since neither reference
corrects gamma.
"""
import os
import struct
import sys
import warnings
import zlib

from PIL import Image

FNV_OFFSET, FNV_PRIME = 0xCBF29CE484222325, 0x100000001B3


def fnv1a(data):
    h = FNV_OFFSET
    for b in data:
        h = ((h ^ b) * FNV_PRIME) & 0xFFFFFFFFFFFFFFFF
    return h


class Broken(Exception):
    pass


def chunks(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise Broken("signature")
    pos = 8
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc = data[pos + 8 + length:pos + 12 + length]
        if len(body) != length or len(crc) != 4:
            raise Broken("truncated chunk")
        if struct.unpack(">I", crc)[0] != zlib.crc32(kind + body) & 0xFFFFFFFF:
            if kind[0] & 0x20 == 0:  # a critical chunk
                raise Broken("crc")
            pos += 12 + length
            continue
        yield kind, body
        pos += 12 + length
        if kind == b"IEND":
            return


def unfilter(raw, width, height, bits_per_pixel):
    stride = (width * bits_per_pixel + 7) // 8
    bpp = max(1, bits_per_pixel // 8)
    rows, prev, pos = [], bytearray(stride), 0
    for _ in range(height):
        kind = raw[pos]
        line = bytearray(raw[pos + 1:pos + 1 + stride])
        if len(line) != stride or kind > 4:
            raise Broken("image data")
        pos += 1 + stride
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 255
        rows.append(line)
        prev = line
    return rows, pos


def samples(line, width, depth, channels):
    """The samples of one row, at their own depth."""
    out = []
    if depth == 16:
        for i in range(width * channels):
            out.append(line[2 * i] << 8 | line[2 * i + 1])
    elif depth == 8:
        out = list(line[:width * channels])
    else:
        per_byte = 8 // depth
        mask = (1 << depth) - 1
        for i in range(width * channels):
            byte = line[i // per_byte]
            shift = 8 - depth * (i % per_byte + 1)
            out.append(byte >> shift & mask)
    return out


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def decode_png(data):
    """Pixels as the loader stores them: list of (r, g, b, a), the alpha flag, width, height."""
    header = palette = trns = None
    idat = b""
    for kind, body in chunks(data):
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body) - 2, 3)]
        elif kind == b"tRNS":
            trns = body
        elif kind == b"IDAT":
            idat += body
    if header is None or not idat:
        raise Broken("no header or no image data")
    width, height, depth, colour, _, _, interlace = header
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    raw = zlib.decompress(idat)
    grid = [[None] * width for _ in range(height)]
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    pos = 0
    for x0, y0, dx, dy in passes:
        pw = (width - x0 + dx - 1) // dx if width > x0 else 0
        ph = (height - y0 + dy - 1) // dy if height > y0 else 0
        if pw == 0 or ph == 0:
            continue
        rows, used = unfilter(raw[pos:], pw, ph, depth * channels)
        pos += used
        for j, line in enumerate(rows):
            s = samples(line, pw, depth, channels)
            for i in range(pw):
                grid[y0 + j * dy][x0 + i * dx] = s[i * channels:(i + 1) * channels]

    def to8(v):
        if depth == 16:
            return v >> 8
        return v * 255 // ((1 << depth) - 1) if colour != 3 else v

    pixels = []
    has_trns = trns is not None
    for row in grid:
        for s in row:
            if colour == 3:
                index = s[0]
                r, g, b = palette[index] if index < len(palette) else (0, 0, 0)
                a = trns[index] if has_trns and index < len(trns) else 255
                pixels.append((r, g, b, a))
            elif colour == 0:
                g = to8(s[0])
                if has_trns:
                    a = 0 if s[0] == struct.unpack(">H", trns[:2])[0] else 255
                    pixels.append((g, g, g, a))
                else:
                    pixels.append((255, 255, 255, g))  # a one-channel PNG is white with the grey as opacity
            elif colour == 2:
                r, g, b = (to8(v) for v in s)
                a = 255
                if has_trns and tuple(s) == struct.unpack(">HHH", trns[:6]):
                    a = 0
                pixels.append((r, g, b, a))
            elif colour == 4:
                g, a = (to8(v) for v in s)
                pixels.append((g, g, g, a))
            else:
                pixels.append(tuple(to8(v) for v in s))
    alpha = not (colour in (2, 3) and not has_trns)
    return pixels, alpha, width, height


def check_with_pillow(path, pixels):
    """Compares with Pillow's decoding wherever Pillow keeps the information:
    its 16-bit grey is not 8-bit, and it compares a grey or RGB transparent
    colour with 8-bit samples, which is wrong below and above 8 bits."""
    try:
        image = Image.open(path)
        image.load()
    except OSError:
        return  # damaged ancillary chunks that Pillow refuses and libpng skips
    if image.mode in ("I", "I;16"):
        return
    with open(path, "rb") as f:
        ihdr = f.read(26)
    depth, colour = ihdr[24], ihdr[25]
    rgb = list(image.convert("RGB").getdata())
    if colour == 0 and "transparency" not in image.info:
        # One channel: white, with the grey as the opacity.
        if [p[3] for p in pixels] != [p[0] for p in rgb]:
            raise SystemExit("Pillow disagrees on %s" % path)
        return
    if [p[:3] for p in pixels] != rgb:
        raise SystemExit("Pillow disagrees on the colours of %s" % path)
    if colour in (0, 2) and depth != 8:
        return
    if [p[3] for p in pixels] != [p[3] for p in image.convert("RGBA").getdata()]:
        raise SystemExit("Pillow disagrees on the alpha of %s" % path)


def png_line(root, rel):
    path = os.path.join(root, rel)
    with open(path, "rb") as f:
        data = f.read()
    try:
        pixels, alpha, width, height = decode_png(data)
    except (Broken, zlib.error, KeyError, IndexError, struct.error):
        return "%s FAIL" % rel
    check_with_pillow(path, pixels)
    blob = bytes(v for p in pixels for v in p)
    return "%s %dx%d %d %016x" % (rel, width, height, 1 if alpha else 0, fnv1a(blob))


def jpeg_line(root, rel):
    try:
        image = Image.open(os.path.join(root, rel))
        image.load()
    except OSError:
        return "%s FAIL" % rel
    rgb = image.convert("RGB")
    blob = bytes(v for p in rgb.getdata() for v in p + (255,))
    return "%s %dx%d 0 %016x" % (rel, rgb.width, rgb.height, fnv1a(blob))


def main():
    warnings.simplefilter("ignore")
    root = sys.argv[1]
    lines = []
    for folder, _, files in sorted(os.walk(root)):
        for name in sorted(files):
            rel = os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")
            if name.endswith(".png"):
                lines.append(png_line(root, rel))
            elif name.endswith(".jpg"):
                lines.append(jpeg_line(root, rel))
    print("# Decoded-pixel hashes of the conformance images (tests/image/make_reference_hashes.py).")
    for line in sorted(lines):
        print(line)


if __name__ == "__main__":
    main()
