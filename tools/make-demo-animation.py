#!/usr/bin/env python3
"""Paints the frames of the sample game's spinner animation as PNG files.

Usage: make-demo-animation.py OUTPUT_FOLDER

Twelve frames of a comet of dots going round, then four that repeat the
first (a short rest): vozer-atlas packs them into sprites/spinner.bms and
stores the repeated frame once.
"""
import importlib.util
import math
import os
import sys

_art = importlib.util.spec_from_file_location(
    "demo_art", os.path.join(os.path.dirname(os.path.abspath(__file__)), "make-demo-art.py"))
demo_art = importlib.util.module_from_spec(_art)
_art.loader.exec_module(demo_art)

SIZE = 64
DOTS = 12
MOVING_FRAMES = 12
REST_FRAMES = 4


def spinner(step):
    def pixel(x, y):
        r = g = b = a = 0.0
        for dot in range(DOTS):
            angle = dot * 2 * math.pi / DOTS
            behind = (step - dot) % DOTS  # 0 is the comet's head
            light = max(0.0, 1 - behind / 6)
            if light == 0:
                continue
            cx = SIZE / 2 + math.cos(angle) * 22
            cy = SIZE / 2 + math.sin(angle) * 22
            cover = min(1.0, max(0.0, 4.5 - math.hypot(x - cx, y - cy)))
            if cover > a / 255:
                r, g, b, a = 120 + 135 * light, 200 * light + 40, 255, 255 * cover * (0.3 + 0.7 * light)
        return r, g, b, a
    return pixel


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-demo-animation.py OUTPUT_FOLDER")
    os.makedirs(sys.argv[1], exist_ok=True)
    for frame in range(MOVING_FRAMES + REST_FRAMES):
        step = frame if frame < MOVING_FRAMES else 0
        demo_art.write_png(os.path.join(sys.argv[1], "spinner%04d.png" % frame), SIZE, SIZE, spinner(step))


if __name__ == "__main__":
    main()
