#!/usr/bin/env python3
"""Draws the GPS windows' own pictures: the alert icons (352 error, 354 the
dialog's default, 355 information), the satellite digits of the position
window (310: twenty 5 x 7 digits, a dark set and a white set on magenta)
and the Send Message dialog's open (196, 197, 394, 198) and save (390 to
393) buttons. Everything is drawn here; run it to remake the files."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_app_pictures import RES, Canvas, transparent, write_bmp, write_ico  # noqa: E402

# Digits 4 pixels wide in 5 x 7 images (the fifth column stays background,
# so two digits 4 pixels apart do not touch), '#' set.
DIGITS = [
    [".##.", "#..#", "#..#", "#..#", "#..#", "#..#", ".##."],
    ["..#.", ".##.", "..#.", "..#.", "..#.", "..#.", ".###"],
    [".##.", "#..#", "...#", "..#.", ".#..", "#...", "####"],
    [".##.", "#..#", "...#", "..#.", "...#", "#..#", ".##."],
    ["..#.", ".##.", "#.#.", "#.#.", "####", "..#.", "..#."],
    ["####", "#...", "###.", "...#", "...#", "#..#", ".##."],
    [".##.", "#...", "#...", "###.", "#..#", "#..#", ".##."],
    ["####", "...#", "...#", "..#.", ".#..", ".#..", ".#.."],
    [".##.", "#..#", "#..#", ".##.", "#..#", "#..#", ".##."],
    [".##.", "#..#", "#..#", ".###", "...#", "...#", ".##."],
]
MAGENTA = (255, 0, 255)


def digits():
    cv = Canvas(100, 7, MAGENTA)
    for s, colour in enumerate(((0, 0, 0), (255, 255, 255))):
        for d, rows in enumerate(DIGITS):
            for y, row in enumerate(rows):
                for x, c in enumerate(row):
                    if c == '#':
                        cv.put((s * 10 + d) * 5 + x, y, colour)
    return cv


def sign_icon(size, kind):
    cv = transparent(size, size)
    s = size / 32
    if kind == 'error':
        cv.disc(16 * s, 16 * s, 14 * s, (150, 20, 20))
        cv.disc(16 * s, 16 * s, 12.5 * s, (220, 40, 40))
        w = max(1, int(3 * s))
        cv.line(10 * s, 10 * s, 22 * s - w, 22 * s - w, (255, 255, 255), w)
        cv.line(22 * s - w, 10 * s, 10 * s, 22 * s - w, (255, 255, 255), w)
    elif kind == 'info':
        cv.disc(16 * s, 16 * s, 14 * s, (20, 60, 150))
        cv.disc(16 * s, 16 * s, 12.5 * s, (50, 110, 220))
        cv.disc(16 * s, 9 * s, 2 * s, (255, 255, 255))
        cv.rect(int(14.5 * s), int(13 * s), int(17.5 * s) + 1, int(24 * s), (255, 255, 255))
    else:
        cv.triangle([(16 * s, 2 * s), (1 * s, 29 * s), (31 * s, 29 * s)], (120, 90, 0))
        cv.triangle([(16 * s, 5 * s), (4 * s, 27.5 * s), (28 * s, 27.5 * s)], (250, 210, 40))
        cv.rect(int(14.5 * s), int(11 * s), int(17.5 * s) + 1, int(20 * s), (0, 0, 0))
        cv.rect(int(14.5 * s), int(22.5 * s), int(17.5 * s) + 1, int(25.5 * s), (0, 0, 0))
    return cv


def file_button(kind, state):
    face = (192, 192, 192)
    cv = Canvas(20, 20, face)
    dim = state == 'disabled'
    o = 1 if state == 'down' else 0
    ink = (128, 128, 128) if dim else (0, 0, 0)
    if kind == 'open':
        folder = (160, 160, 160) if dim else (240, 200, 80)
        cv.rect(3 + o, 6 + o, 9 + o, 8 + o, folder)
        cv.rect(3 + o, 8 + o, 17 + o, 16 + o, folder)
        cv.line(3 + o, 16 + o, 16 + o, 16 + o, ink)
        cv.line(3 + o, 6 + o, 3 + o, 16 + o, ink)
        cv.triangle([(12 + o, 2 + o), (16 + o, 5 + o), (12 + o, 8 + o)], (128, 128, 128) if dim else (30, 130, 40))
    else:
        disk = (128, 128, 128) if dim else (40, 70, 170)
        cv.rect(3 + o, 3 + o, 17 + o, 17 + o, disk)
        cv.rect(6 + o, 3 + o, 14 + o, 8 + o, (230, 230, 230))
        cv.rect(6 + o, 11 + o, 14 + o, 17 + o, (250, 250, 250))
        cv.rect(11 + o, 4 + o, 13 + o, 7 + o, disk)
    if state == 'focus':
        for i in range(0, 20, 2):
            for x, y in ((i, 0), (i, 19), (0, i), (19, i)):
                cv.put(x, y, (0, 0, 0))
    return cv


def main():
    bmp = os.path.join(RES, 'bitmaps')
    write_bmp(os.path.join(bmp, 'satellite_digits.bmp'), digits())
    for kind in ('open', 'save'):
        for state in ('up', 'down', 'focus', 'disabled'):
            write_bmp(os.path.join(bmp, '%s_button_%s.bmp' % (kind, state)), file_button(kind, state))
    icons = os.path.join(RES, 'icons')
    for name, kind in (('alert_error', 'error'), ('alert_warning', 'warning'), ('alert_info', 'info')):
        write_ico(os.path.join(icons, name + '.ico'), [sign_icon(32, kind), sign_icon(16, kind)])


if __name__ == '__main__':
    main()
