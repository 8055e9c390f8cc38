#!/usr/bin/env python3
"""Draws the pictures of the option pages: the datum Info button (193 up,
194 down, 254 focused, 195 disabled), the Alerts list's header images (383)
and row images (460), and the Locale list's image (389). Image strips are 16 pixels per image on the mask colour 0xFF00FF.
Everything is drawn here from shapes; run it to remake the files."""
import os

from make_app_pictures import Canvas, write_bmp

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, '..', 'resources', 'bitmaps')

FACE = (212, 208, 200)
LIGHT = (255, 255, 255)
SHADOW = (128, 128, 128)
DARK = (64, 64, 64)
GREY = (160, 160, 160)
MASK = (255, 0, 255)


def button(w, h, state, draw):
    """A raised (up, focus) or sunken (down) face with a picture; the
    disabled face draws the picture grey."""
    cv = Canvas(w, h, FACE)
    top, bottom = (SHADOW, LIGHT) if state == 'down' else (LIGHT, DARK)
    cv.rect(0, 0, w, 1, top)
    cv.rect(0, 0, 1, h, top)
    cv.rect(0, h - 1, w, h, bottom)
    cv.rect(w - 1, 0, w, h, bottom)
    shift = 1 if state == 'down' else 0
    draw(cv, shift, state == 'disabled')
    if state == 'focus':
        for x in range(2, w - 2, 2):
            cv.put(x, 2, DARK)
            cv.put(x, h - 3, DARK)
        for y in range(2, h - 2, 2):
            cv.put(2, y, DARK)
            cv.put(w - 3, y, DARK)
    return cv


def info_glyph(cv, d, grey):
    c = GREY if grey else (0, 70, 170)
    cv.disc(cv.w / 2 + d, 5 + d, 1.6, c)
    cv.rect(cv.w // 2 - 1 + d, 8 + d, cv.w // 2 + 1 + d, 17 + d, c)
    cv.rect(cv.w // 2 - 3 + d, 16 + d, cv.w // 2 + 3 + d, 17 + d, c)


def strip(images):
    cv = Canvas(16 * len(images), 16, MASK)
    for i, draw in enumerate(images):
        draw(cv, 16 * i)
    return cv


def bell(cv, x):
    cv.disc(x + 8, 7, 4.5, (230, 180, 0))
    cv.rect(x + 3, 7, x + 14, 12, (230, 180, 0))
    cv.rect(x + 2, 12, x + 15, 13, (150, 110, 0))
    cv.disc(x + 8, 14, 1.5, (150, 110, 0))


def check(cv, x):
    cv.line(x + 3, 8, x + 6, 12, (0, 120, 0), 2)
    cv.line(x + 6, 12, x + 13, 3, (0, 120, 0), 2)


def speaker(cv, x, on=True):
    c = (40, 40, 40) if on else (170, 170, 170)
    cv.rect(x + 2, 6, x + 6, 11, c)
    cv.triangle([(x + 5, 8.5), (x + 10, 2), (x + 10, 15)], c)
    if on:
        cv.line(x + 12, 5, x + 14, 3, c)
        cv.line(x + 12, 8, x + 15, 8, c)
        cv.line(x + 12, 11, x + 14, 13, c)
    else:
        cv.line(x + 11, 4, x + 15, 12, (200, 0, 0), 2)


def play(cv, x):
    cv.triangle([(x + 4, 3), (x + 4, 13), (x + 13, 8)], (0, 110, 0))


def note(cv, x):
    c = (0, 60, 160)
    cv.disc(x + 5, 12, 2.5, c)
    cv.rect(x + 7, 2, x + 8, 12, c)
    cv.line(x + 8, 2, x + 12, 5, c, 2)


def circle_mark(colour, mark):
    def draw(cv, x):
        cv.disc(x + 8, 8, 7, colour)
        cv.rect(x + 7, 4, x + 9, 9, mark)
        cv.rect(x + 7, 10, x + 9, 12, mark)
    return draw


def flag(cv, x):
    cv.rect(x + 3, 2, x + 4, 15, DARK)
    cv.rect(x + 4, 2, x + 13, 9, (200, 30, 30))


def globe(cv, x):
    cv.disc(x + 8, 8, 6.5, (60, 120, 200))
    cv.disc(x + 6, 6, 2.5, (60, 170, 60))
    cv.disc(x + 10, 10, 2, (60, 170, 60))


def main():
    for state in ('up', 'down', 'focus', 'disabled'):
        write_bmp(os.path.join(OUT, 'opt_info_%s.bmp' % state), button(20, 20, state, info_glyph))
    # Header: 0 the alert (column 1), 1 the show check (column 0), 2 play,
    # 3 sample, 4 sound file.
    write_bmp(os.path.join(OUT, 'opt_alert_header.bmp'),
              strip([bell, check, lambda cv, x: speaker(cv, x), play, note]))
    # Rows: 0 plain alert, 1 error (icon 352), 2 information (icon 355),
    # 3 and 4 unused, 5 sample, 6 sound off, 7 sound on.
    write_bmp(os.path.join(OUT, 'opt_alert_rows.bmp'),
              strip([bell, circle_mark((200, 30, 30), LIGHT), circle_mark((30, 80, 200), LIGHT),
                     flag, flag, play, lambda cv, x: speaker(cv, x, False),
                     lambda cv, x: speaker(cv, x, True)]))
    write_bmp(os.path.join(OUT, 'opt_locale.bmp'), strip([globe]))


if __name__ == '__main__':
    main()
