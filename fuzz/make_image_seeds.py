#!/usr/bin/python3
"""Writes the small seed corpora of the image decoder fuzz targets
(fuzz/corpus/png, jpeg, tga): one file per kind of image each decoder knows,
plus a few broken ones. Run once by hand from the repository root with
Debian's python3-pil; the fuzzer's own findings are merged in by tools/fuzz.
"""
import io
import os
import struct
import zlib

from PIL import Image


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def picture(mode, size=(6, 5)):
    image = Image.new("RGBA", size)
    image.putdata([(x * 40, y * 50, (x ^ y) * 30, 60 + x * 30) for y in range(size[1]) for x in range(size[0])])
    return image.convert(mode) if mode != "RGBA" else image


def png_seeds(folder):
    for mode in ("1", "L", "LA", "P", "RGB", "RGBA", "I;16"):
        out = io.BytesIO()
        picture(mode if mode != "I;16" else "L").convert(mode).save(out, "PNG")
        write(folder, "mode_%s.png" % mode.replace(";", ""), out.getvalue())
    out = io.BytesIO()
    picture("P").save(out, "PNG", transparency=3)
    write(folder, "palette_trns.png", out.getvalue())
    out = io.BytesIO()
    picture("RGB").save(out, "PNG", transparency=(0, 0, 0))
    write(folder, "rgb_trns.png", out.getvalue())

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    def by_hand(width, height, depth, colour, interlace, raw, extra=b""):
        ihdr = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra + chunk(b"IDAT", zlib.compress(raw)) +
                chunk(b"IEND", b""))

    # Interlaced 4x4 RGB 8-bit: seven passes, each row with filter byte 0.
    passes = [(1, 1), (1, 1), (1, 1), (1, 1), (2, 1), (2, 2), (4, 2)]
    raw = b"".join(b"".join(b"\x00" + bytes(range(w * 3)) for _ in range(h)) for w, h in passes)
    write(folder, "interlaced.png", by_hand(4, 4, 8, 2, 1, raw))
    raw16 = b"".join(b"\x04" + bytes(range(24)) for _ in range(2))
    write(folder, "rgb16_paeth.png", by_hand(4, 2, 16, 2, 0, raw16, chunk(b"gAMA", struct.pack(">I", 100000))))
    write(folder, "grey2.png", by_hand(8, 2, 2, 0, 0, b"\x01\x1b\xe4\x03\xff\x00"))
    write(folder, "huge_claim.png", by_hand(20000, 20000, 1, 0, 0, bytes(64)))
    good = by_hand(3, 3, 8, 6, 0, b"".join(b"\x02" + bytes(range(12)) for _ in range(3)))
    write(folder, "cut.png", good[:len(good) - 20])


def jpeg_seeds(folder):
    for name, mode, options in [("baseline.jpg", "RGB", {}), ("q20_444.jpg", "RGB", {"quality": 20, "subsampling": 0}),
                                ("grey.jpg", "L", {}), ("progressive.jpg", "RGB", {"progressive": True}),
                                ("optimized.jpg", "RGB", {"optimize": True}), ("cmyk.jpg", "CMYK", {})]:
        out = io.BytesIO()
        picture(mode, (17, 9)).save(out, "JPEG", **options)
        write(folder, name, out.getvalue())
    with open(os.path.join(folder, "baseline.jpg"), "rb") as f:
        good = f.read()
    write(folder, "cut.jpg", good[:len(good) // 2])


def tga_seeds(folder):
    def tga(kind, width, height, bits, descriptor, data, id_field=b""):
        return struct.pack("<BBBHHBHHHHBB", len(id_field), 0, kind, 0, 0, 0, 0, 0, width, height, bits,
                           descriptor) + id_field + data

    pixels24 = bytes(range(3 * 6))
    pixels32 = bytes(range(4 * 6))
    write(folder, "raw24_bottom_up.tga", tga(2, 3, 2, 24, 0, pixels24))
    write(folder, "raw32_top_down.tga", tga(2, 3, 2, 32, 0x28, pixels32, b"id"))
    write(folder, "raw32_mirrored.tga", tga(2, 3, 2, 32, 0x18, pixels32))
    write(folder, "rle24.tga", tga(10, 3, 2, 24, 0, b"\x82\x01\x02\x03\x02" + bytes(9)))
    write(folder, "rle32_overrun.tga", tga(10, 3, 2, 32, 0x20, b"\x8f\x01\x02\x03\x04"))
    write(folder, "rle_cut.tga", tga(10, 3, 2, 24, 0, b"\x05\x01\x02"))
    write(folder, "colour_mapped.tga", struct.pack("<BBBHHBHHHHBB", 0, 1, 1, 0, 2, 24, 0, 0, 1, 1, 8, 0) +
          bytes(7))


png_seeds("fuzz/corpus/png")
jpeg_seeds("fuzz/corpus/jpeg")
tga_seeds("fuzz/corpus/tga")
