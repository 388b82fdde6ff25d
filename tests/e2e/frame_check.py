#!/usr/bin/env python3
"""Pixels of captured frames for the end-to-end cases, worked out here without
the engine's code (so a fault in its maths cannot hide in the expectation).

  frame_check.py write-quad PATH     the 32x32 four-colour test bitmap
  frame_check.py write-walk FOLDER   walk0000.png and walk0001.png: 24x24
                                     frames in cyan and magenta
  frame_check.py draw-scene PNG      the draw test Program's last frame
  frame_check.py restart BEFORE AFTER
                                     the restart test Program's frames before
                                     and after its renderer restarts: the
                                     same pixels, each bitmap in its colour
  frame_check.py states PNG           the states test Program's frame
  frame_check.py not-blank PNG [MIN_COLOURS]
                                     the frame is not one flat colour
  frame_check.py kit-game PNG        the kit test's second game (tests/e2e/kit_game)
  frame_check.py same PNG REFERENCE_PNG MAX_DIFFERENCE MAX_SHARE
                                     the two frames are the same picture: at
                                     most MAX_SHARE (a fraction) of the pixels
                                     differ by more than MAX_DIFFERENCE in a
                                     channel
  frame_check.py text PNG REFERENCE_DIR
                                     the glyphs test Program's text against
                                     FreeType's layout (vozer_test_glyphs
                                     output: line1.txt, line2.txt, ...)

A mismatch is printed with its position and both colours; the exit code is 1.
"""
import math
import struct
import sys
import zlib

RED, GREEN, BLUE, WHITE = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)
BACKGROUND = (0, 0, 64)
YELLOW, CYAN, MAGENTA = (255, 255, 0), (0, 255, 255), (255, 0, 255)
# The draw test Program's filled rectangle: 0xFF99FF00 is a signalling NaN
# as a float, and x87 loads would make its red 0xD9.
LIME = (153, 255, 0)
ORANGE = (255, 128, 0)  # the render target's second colour: after the device came back
TOLERANCE = 2


def write_png(path, width, height, pixel):
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows += bytes(pixel(x, y)) + b"\xff"

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows)))
                  + chunk(b"IEND", b""))


def quad_texel(u, v):
    """The test bitmap: red, green / blue, white quarters of 16x16."""
    if v < 16:
        return RED if u < 16 else GREEN
    return BLUE if u < 16 else WHITE


def read_png(path):
    """(width, height, rows of (r, g, b) tuples) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as source:
        data = source.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG file")
    at, idat, width = 8, b"", 0
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                raise SystemExit(f"{path}: depth {depth} colour type {colour} is not 8-bit RGB(A)")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    previous = bytearray(stride)
    rows = []
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                corner = previous[i - channels] if i >= channels else 0
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + predictor) & 0xFF
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def scene_colour(x, y):
    """What the draw test Program puts at the centre of pixel (x, y)."""
    px, py = x + 0.5, y + 0.5
    # Drawn last, so on top: the filled rectangle and the two one-pixel lines.
    if 400 <= px < 450 and 100 <= py < 130:
        return LIME
    if 100 <= px < 300 and y == 400:
        return CYAN
    if x == 350 and 300 <= py < 450:
        return CYAN
    if 500 <= px < 564 and 300 <= py < 332:
        return MAGENTA if px < 532 else ORANGE
    if 360 <= px < 376 and 100 <= py < 116:
        return quad_texel(px - 360 + 8, py - 100 + 8)
    # Rotated by 0.5 radians (clockwise on a screen whose y runs down) and
    # scaled by 2 about (240, 160): map the pixel back into the bitmap.
    dx, dy = (px - 240) / 2, (py - 160) / 2
    c, s = math.cos(0.5), math.sin(0.5)
    u, v = c * dx + s * dy + 16, -s * dx + c * dy + 16
    if 0 <= u < 32 and 0 <= v < 32:
        return quad_texel(u, v)
    if 100 <= px < 132 and 100 <= py < 132:
        return quad_texel(px - 100, py - 100)
    return BACKGROUND


def close(a, b):
    return all(abs(p - q) <= TOLERANCE for p, q in zip(a, b))


def check_scene(path):
    width, height, rows = read_png(path)
    if (width, height) != (1024, 768):
        return [f"frame is {width}x{height}, expected 1024x768"]
    errors = []
    # Edges may sit one pixel off: a pixel passes when it has the colour of
    # the scene at itself or at one of its eight neighbours. Away from edges
    # all nine agree, so every inner pixel must be exact.
    x0, y0, x1, y1 = 80, 80, 600, 470
    expected = {(x, y): scene_colour(x, y) for y in range(y0 - 1, y1 + 1) for x in range(x0 - 1, x1 + 1)}
    for y in range(height):
        for x in range(width):
            got = rows[y][x]
            if x0 <= x < x1 and y0 <= y < y1:
                allowed = {expected[(x + i, y + j)] for i in (-1, 0, 1) for j in (-1, 0, 1)}
            else:
                allowed = {BACKGROUND}
            if not any(close(got, want) for want in allowed):
                errors.append(f"pixel ({x},{y}) is {got}, expected one of {sorted(allowed)}")
    # The one-pixel lines have no inner pixels: each must be present along its length.
    for x in range(102, 298):
        if not any(close(rows[y][x], CYAN) for y in (399, 400, 401)):
            errors.append(f"the horizontal line is missing at x={x}")
    for y in range(302, 448):
        if not any(close(rows[y][x], CYAN) for x in (349, 350, 351)):
            errors.append(f"the vertical line is missing at y={y}")
    return errors


# The restart test Program's tiles: (name, centre, colour), 80 pixels apart from x = 20.
RESTART_TILES = [
    ("single image", (36, 36), RED),
    ("numbered frame 1", (116, 36), GREEN),
    ("atlas frame 2", (196, 36), BLUE),
    ("frame-by-frame frame 1", (276, 36), YELLOW),
    ("created bitmap", (348, 28), CYAN),
    ("render target", (452, 36), (255, 127, 0)),
    ("downloaded bitmap", (516, 36), MAGENTA),
]


def check_restart(before_path, after_path):
    width, height, before = read_png(before_path)
    after_size = read_png(after_path)
    errors = []
    if after_size[:2] != (width, height):
        return [f"the frames are {width}x{height} and {after_size[0]}x{after_size[1]}"]
    after = after_size[2]
    differing = [(x, y) for y in range(height) for x in range(width) if before[y][x] != after[y][x]]
    if differing:
        x, y = differing[0]
        errors.append(f"{len(differing)} pixels differ after the restarts, the first at ({x},{y}): "
                      f"{before[y][x]} then {after[y][x]}")
    for rows, which in ((before, "before"), (after, "after")):
        for name, (x, y), colour in RESTART_TILES:
            if not close(rows[y][x], colour):
                errors.append(f"{which}: the {name} at ({x},{y}) is {rows[y][x]}, expected {colour}")
        ink = sum(1 for y in range(100, 140) for x in range(20, 400) if max(rows[y][x]) > 128)
        if ink < 40:
            errors.append(f"{which}: the text left only {ink} bright pixels")
        if not close(rows[300][700], BACKGROUND):
            errors.append(f"{which}: the background at (700,300) is {rows[300][700]}")
    return errors


STONE = (200, 100, 50)  # the states Program's colour texture
BLACK = (0, 0, 0)


def states_scene(width=640, height=480):
    """The states test Program's frame, drawn here from its own maths: the
    renderer's perspective (z = S draws at pixel size; a vertex at x lands on
    x - 0.5), a 16-bit z-buffer tested less-or-equal, culling by screen
    winding, blending. Returns rows of colours."""
    k = height * 8 * 0.0016666667
    colour = [[BLACK] * width for _ in range(height)]
    depth = [[1.0] * width for _ in range(height)]
    state = {"range": (0.1, 0.5, 1.0), "test": False, "write": False, "cull": 0}

    def place(x, y, z):
        near, screen, far = state["range"]
        s = screen * (k + 1) / (z + k * screen)
        return width / 2 + s * (x - 0.5 - width / 2), height / 2 + s * (y - 0.5 - height / 2)

    def z_ndc(z):
        near, screen, far = state["range"]
        r = far / (far - near)
        return round((r * z + 0.99 * k * screen - near * r) / (z + k * screen) * 65535) / 65535

    def triangle_inside(a, b, c, px, py):
        def side(p, q):
            return (q[0] - p[0]) * (py - p[1]) - (q[1] - p[1]) * (px - p[0])
        d = [side(a, b), side(b, c), side(c, a)]
        return all(v >= 0 for v in d) or all(v <= 0 for v in d)

    def draw_triangles(corners, triangles, z, rgb, alpha=1.0, blend=True):
        zz = z_ndc(z)
        xs, ys = [p[0] for p in corners], [p[1] for p in corners]
        for py in range(max(0, int(min(ys)) - 1), min(height, int(max(ys)) + 2)):
            for px in range(max(0, int(min(xs)) - 1), min(width, int(max(xs)) + 2)):
                if not any(triangle_inside(*[corners[i] for i in t], px, py) for t in triangles):
                    continue
                if state["test"] and not zz <= depth[py][px]:
                    continue
                if blend and alpha < 1.0:
                    below = colour[py][px]
                    colour[py][px] = tuple(round(a * alpha + b * (1 - alpha)) for a, b in zip(rgb, below))
                else:
                    colour[py][px] = rgb
                if state["write"]:
                    depth[py][px] = zz

    def rect(x, y, rgb, z=0.5, size=40.0, alpha=1.0, blend=True, world=None):
        points = [(x, y), (x + size, y), (x, y + size), (x + size, y + size)]
        if world:
            points = [(world[0] * px + world[1], world[0] * py + world[2]) for px, py in points]
        corners = [place(px, py, z) for px, py in points]
        # Z order: (0, 1, 2) winds clockwise on the screen, (1, 2, 3) the other way.
        triangles = {0: [(0, 1, 2), (1, 2, 3)], 1: [(1, 2, 3)], 2: [(0, 1, 2)]}[state["cull"]]
        draw_triangles(corners, triangles, z, rgb, alpha, blend)

    def clear_depth(value):
        for row in depth:
            row[:] = [value] * width

    rect(20, 20, RED, 0.5)
    rect(80, 20, RED, 0.3)
    rect(140, 20, RED, 0.8)
    state["range"] = (0.1, 0.8, 2.0)
    rect(220, 20, GREEN, 0.8)
    rect(280, 20, GREEN, 0.4)
    rect(340, 20, GREEN, 1.5)
    state["range"] = (0.1, 0.5, 1.0)
    state["test"] = state["write"] = True
    rect(20, 120, RED, 0.45)
    rect(40, 130, GREEN, 0.55)
    rect(120, 120, RED, 0.45)
    clear_depth(1.0)
    rect(140, 130, GREEN, 0.55)
    clear_depth(0.0)
    rect(220, 120, BLUE, 0.5)
    state["test"] = state["write"] = False
    clear_depth(1.0)
    state["cull"] = 1
    rect(320, 120, YELLOW)
    state["cull"] = 2
    rect(380, 120, CYAN)
    state["cull"] = 0
    rect(440, 120, MAGENTA)
    rect(0, 0, WHITE, world=(2, 500, 20))
    rect(20, 220, STONE, size=32)   # lit from the front: the colour texture
    rect(80, 220, BLACK, size=32)   # from the side: dark
    draw_triangles([place(160, 220, 0.5), place(160, 300, 0.5), place(200, 260, 0.5)], [(0, 1, 2)], 0.5, CYAN)
    rect(320, 220, WHITE, alpha=0.5, blend=False)
    rect(380, 220, WHITE, alpha=0.5)
    rect(440, 220, WHITE, alpha=0.5)
    return colour


def check_states(path):
    width, height, rows = read_png(path)
    if (width, height) != (640, 480):
        return [f"frame is {width}x{height}, expected 640x480"]
    expected = states_scene()
    errors = []
    # As for the draw scene: a pixel may take the colour of a neighbour (edges
    # may sit one pixel off); the lit normal map is allowed a few levels more.
    for y in range(height):
        for x in range(width):
            got = rows[y][x]
            allowed = {expected[y + j][x + i] for i in (-1, 0, 1) for j in (-1, 0, 1)
                       if 0 <= x + i < width and 0 <= y + j < height}
            if not any(close(got, want) or (want == STONE and all(abs(p - q) <= 6 for p, q in zip(got, want)))
                       for want in allowed):
                errors.append(f"pixel ({x},{y}) is {got}, expected one of {sorted(allowed)}")
    return errors


def check_not_blank(path, minimum):
    width, height, rows = read_png(path)
    colours = {pixel for row in rows[::4] for pixel in row[::4]}
    if len(colours) < minimum:
        return [f"frame {width}x{height} has only {len(colours)} colours (at least {minimum} expected)"]
    return []


def check_same(path, reference, max_difference, max_share):
    width, height, rows = read_png(path)
    ref_width, ref_height, ref_rows = read_png(reference)
    if (width, height) != (ref_width, ref_height):
        return [f"frame is {width}x{height}, the reference {ref_width}x{ref_height}"]
    changed = beyond = 0
    worst, worst_at = 0, None
    for y in range(height):
        for x, (got, want) in enumerate(zip(rows[y], ref_rows[y])):
            if got == want:
                continue
            changed += 1
            difference = max(abs(p - q) for p, q in zip(got, want))
            if difference > max_difference:
                beyond += 1
            if difference > worst:
                worst, worst_at = difference, (x, y, got, want)
    pixels = width * height
    print(f"{changed} of {pixels} pixels differ ({100.0 * changed / pixels:.3f}%), {beyond} by more than "
          f"{max_difference} ({100.0 * beyond / pixels:.3f}%); the largest difference is {worst}"
          + (f" at ({worst_at[0]},{worst_at[1]}): {worst_at[2]} against {worst_at[3]}" if worst_at else ""))
    errors = []
    if beyond > max_share * pixels:
        errors.append(f"{beyond} pixels differ by more than {max_difference}, more than {100.0 * max_share:.3f}%")
    return errors


def read_layout(path):
    """FreeType's glyphs of one line: dicts of code, pen, left, top, width, height, ink."""
    glyphs = []
    with open(path) as source:
        for line in source:
            words = line.split()
            if words and words[0] == "glyph":
                code, pen, left, top, width, height, ink = words[1:]
                glyphs.append({"code": int(code), "pen": float(pen), "left": int(left), "top": int(top),
                               "width": int(width), "height": int(height), "ink": float(ink)})
    return glyphs


def ink_in(rows, x0, y0, x1, y1):
    """(ink as the sum of coverage, bounding box of the pixels above a faint
    threshold or None) of white text on black in [x0, x1) x [y0, y1)."""
    ink, box = 0.0, None
    for y in range(y0, y1):
        for x in range(x0, x1):
            value = max(rows[y][x])
            ink += value / 255.0
            if value > 8:
                box = (x, y, x, y) if box is None else (min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y))
    return ink, box


def ink_matches(got, want):
    return abs(got - want) <= max(2.0, want * 0.12)


def check_text(path, reference, kerning):
    _, _, rows = read_png(path)
    errors = []
    # One glyph per 24-pixel cell from (20, 40): the same image FreeType
    # renders (ink, width, height), its left column at the cell, and every
    # glyph on one baseline.
    baselines = []
    for i, glyph in enumerate(read_layout(f"{reference}/line1.txt")):
        cell = 20 + 24 * i
        ink, box = ink_in(rows, cell - 2, 30, cell + 22, 70)
        name = chr(glyph["code"])
        if box is None:
            errors.append(f"'{name}' drew nothing in its cell at x={cell}")
            continue
        width, height = box[2] - box[0] + 1, box[3] - box[1] + 1
        if not ink_matches(ink, glyph["ink"]):
            errors.append(f"'{name}' has ink {ink:.1f}, FreeType {glyph['ink']:.1f}")
        if abs(width - glyph["width"]) > 1 or abs(height - glyph["height"]) > 1:
            errors.append(f"'{name}' is {width}x{height}, FreeType {glyph['width']}x{glyph['height']}")
        if abs(box[0] - cell) > 1:
            errors.append(f"'{name}' starts at x={box[0]}, its cell at {cell}")
        baselines.append((box[1] + glyph["top"], name))
    if baselines and max(b for b, _ in baselines) - min(b for b, _ in baselines) > 1:
        errors.append(f"the glyphs stand on different baselines: {baselines}")
    # The pairs "AV" and "To": with kerning closer than the glyphs' images
    # side by side with the font's spacing of 1, yet apart (no ink lost to
    # overlap); without, exactly side by side (the faint outer columns of
    # the images may not count as ink).
    for number, top in ((2, 90), (3, 150)):
        pair = read_layout(f"{reference}/line{number}.txt")
        text = "".join(chr(g["code"]) for g in pair)
        ink, box = ink_in(rows, 10, top, 120, top + 40)
        if box is None:
            errors.append(f"'{text}' drew nothing")
            continue
        extent = box[2] - box[0] + 1
        unkerned = pair[0]["width"] + 1 + pair[1]["width"]
        if kerning == "kerned" and extent >= unkerned:
            errors.append(f"'{text}' is {extent} pixels wide, not tighter than {unkerned} without kerning")
        if kerning == "unkerned" and not unkerned - 2 <= extent <= unkerned:
            errors.append(f"'{text}' is {extent} pixels wide, not {unkerned} as its glyphs side by side")
        if not ink_matches(ink, pair[0]["ink"] + pair[1]["ink"]):
            errors.append(f"'{text}' has ink {ink:.1f}, its glyphs apart {pair[0]['ink'] + pair[1]['ink']:.1f}")
        print(f"'{text}': {extent} pixels wide, {unkerned} without kerning")
    return errors


def check_kit_game(path):
    width, height, rows = read_png(path)
    if (width, height) != (800, 600):
        return [f"frame is {width}x{height}, expected 800x600"]
    errors = []
    # Inner pixels of the three rectangles (a pixel of margin for the edges).
    areas = [
        ((100, 100, 132, 132), lambda x, y: quad_texel(x - 100, y - 100), "the sprite"),
        ((340, 100, 364, 124), lambda x, y: MAGENTA, "the animation's second frame"),
        ((200, 100, 240, 140), lambda x, y: (128, 0, 64), "the additive red (half of red added)"),
        ((260, 100, 300, 140), lambda x, y: GREEN, "the opaque green (its alpha ignored)"),
    ]
    for (x0, y0, x1, y1), colour, name in areas:
        for y in range(y0 + 1, y1 - 1):
            for x in range(x0 + 1, x1 - 1):
                if x - x0 in (15, 16, 17) or y - y0 in (15, 16, 17):
                    continue  # the sprite's quarters meet here
                if not close(rows[y][x], colour(x, y)):
                    errors.append(f"{name}: pixel ({x},{y}) is {rows[y][x]}, expected {colour(x, y)}")
    # The text: yellow ink centred on (400, 400), and nowhere else.
    box, count = None, 0
    for y in range(height):
        for x in range(width):
            r, g, b = rows[y][x]
            if r > 128 and g > 128 and b < 64:
                count += 1
                box = (x, y, x, y) if box is None else (min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y))
    if count < 100:
        errors.append(f"the text has {count} yellow pixels")
    elif not (box[0] > 300 and box[2] < 500 and box[1] > 350 and box[3] < 450):
        errors.append(f"yellow pixels from {box[:2]} to {box[2:]}, not only around the text at (400, 400)")
    else:
        centre_x, centre_y = (box[0] + box[2]) / 2, (box[1] + box[3]) / 2
        if abs(centre_x - 400) > 4 or abs(centre_y - 400) > 12:
            errors.append(f"the text's ink is centred on ({centre_x}, {centre_y}), not on (400, 400)")
        print(f"text ink {box[2] - box[0] + 1}x{box[3] - box[1] + 1} centred on ({centre_x}, {centre_y})")
    # The rest is the background.
    for y in range(0, height, 3):
        for x in range(0, width, 3):
            inside = any(x0 - 2 <= x < x1 + 2 and y0 - 2 <= y < y1 + 2 for (x0, y0, x1, y1), _, _ in areas)
            if not inside and not (300 <= x < 500 and 350 <= y < 450) and not close(rows[y][x], BACKGROUND):
                errors.append(f"pixel ({x},{y}) is {rows[y][x]}, expected the background")
    return errors


def main():
    command, path = sys.argv[1], sys.argv[2]
    if command == "write-quad":
        write_png(path, 32, 32, lambda x, y: quad_texel(x, y))
        return 0
    if command == "write-walk":
        write_png(f"{path}/walk0000.png", 24, 24, lambda x, y: CYAN)
        write_png(f"{path}/walk0001.png", 24, 24, lambda x, y: MAGENTA)
        return 0
    if command == "draw-scene":
        errors = check_scene(path)
    elif command == "kit-game":
        errors = check_kit_game(path)
    elif command == "text":
        errors = check_text(path, sys.argv[3], sys.argv[4] if len(sys.argv) > 4 else "kerned")
    elif command == "same":
        errors = check_same(path, sys.argv[3], int(sys.argv[4]), float(sys.argv[5]))
    elif command == "restart":
        errors = check_restart(path, sys.argv[3])
    elif command == "states":
        errors = check_states(path)
    elif command == "not-blank":
        errors = check_not_blank(path, int(sys.argv[3]) if len(sys.argv) > 3 else 16)
    else:
        raise SystemExit(f"unknown command {command}")
    for line in errors[:20]:
        print(line)
    if len(errors) > 20:
        print(f"... and {len(errors) - 20} more")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
