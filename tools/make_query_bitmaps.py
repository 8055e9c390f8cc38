#!/usr/bin/env python3
"""Draws the pictures of the identify window and the Find dialog: the
result images (bitmap 333, twelve 16-pixel images, white transparent) and
the four states (up, down, focused, disabled) of the Find dialog's six
buttons, 20 x 18 pixels each. Labels use the command bars' 3x5 font.

    python3 tools/make_query_bitmaps.py     (from the repository root)
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_bar_bitmaps import FONT, write_bmp  # noqa: E402

WHITE = (255, 255, 255)


def blank(w, h, c):
    return [[c] * w for _ in range(h)]


def label(px, text, x0, y0, ink, scale=1):
    for i, ch in enumerate(text):
        rows = FONT[ch]
        for r in range(5):
            for c in range(3):
                if rows[r] & (4 >> c):
                    for dy in range(scale):
                        for dx in range(scale):
                            px[y0 + r * scale + dy][x0 + (4 * i + c) * scale + dx] = ink


def tile(text, colour):
    """A 16-pixel result image: a coloured square with a short label."""
    px = blank(16, 16, WHITE)
    for y in range(2, 14):
        for x in range(2, 14):
            px[y][x] = colour
    width = 4 * len(text) - 1
    label(px, text, (16 - width) // 2, 5, (255, 255, 255))
    return px


# Images by index: 1 coordinates, 2 value, 3 point, 4 line, 5 polygon,
# 6 other layer, 8 to 11 character, numeric, date and logical fields.
RESULTS = {
    1: ('XY', (20, 110, 170)), 2: ('=', (110, 110, 110)), 3: ('.', (200, 40, 40)),
    4: ('/', (40, 140, 60)), 5: ('#', (160, 100, 20)), 6: ('?', (90, 60, 150)),
    8: ('C', (40, 90, 200)), 9: ('N', (30, 150, 120)), 10: ('D', (190, 120, 20)),
    11: ('L', (150, 40, 140)),
}

# Button: (bitmaps up, down, focus, disabled; label; colour).
BUTTONS = [
    ((354, 356, 355, 357), 'L', (90, 60, 150)),
    ((362, 363, 365, 364), 'F', (20, 110, 170)),
    ((366, 367, 369, 368), 'I', (40, 90, 200)),
    ((190, 191, 286, 192), 'E', (200, 70, 40)),
    ((248, 249, 256, 250), 'G', (30, 150, 60)),
    ((358, 359, 361, 360), 'D', (110, 110, 110)),
]


def button(text, colour, state):
    """state: 0 up, 1 down, 2 focused, 3 disabled."""
    w, h = 20, 18
    face = (212, 208, 200)
    px = blank(w, h, face)
    light, dark = (255, 255, 255), (64, 64, 64)
    if state == 1:
        light, dark = dark, light
    for x in range(w):
        px[0][x] = light
        px[h - 1][x] = dark
    for y in range(h):
        px[y][0] = light
        px[y][w - 1] = dark
    ink = (128, 128, 128) if state == 3 else colour
    off = 1 if state == 1 else 0
    # The label at twice the font's size (6 x 10 pixels), centred.
    label(px, text, 7 + off, 4 + off, ink, 2)
    if state == 2:
        for x in range(2, w - 2, 2):
            px[2][x] = (0, 0, 0)
            px[h - 3][x] = (0, 0, 0)
        for y in range(2, h - 2, 2):
            px[y][2] = (0, 0, 0)
            px[y][w - 3] = (0, 0, 0)
    return px


def main():
    out = os.path.join('resources', 'bitmaps')
    images = [tile(*RESULTS[i]) if i in RESULTS else blank(16, 16, WHITE) for i in range(12)]
    write_bmp(os.path.join(out, 'identify_images.bmp'), images, 16, 16)
    for ids, text, colour in BUTTONS:
        for state, bitmap in enumerate(ids):
            write_bmp(os.path.join(out, 'find_%d.bmp' % bitmap), [button(text, colour, state)], 20, 18)


if __name__ == '__main__':
    main()
