#!/usr/bin/env python3
"""Draws the pictures of the layer management dialogs: the bitmap buttons
(four states each: up, down, focused, disabled), the layer row icons (285),
the Layers list's header images (287), the layer browser's icons (221, whose
first two images stay the folder browser's) and its check boxes (230).
Everything is drawn here from shapes and a small pixel font; run it to
remake the files."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
BITMAPS = os.path.join(HERE, '..', 'resources', 'bitmaps')

MAGENTA = (255, 0, 255)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
FACE = (212, 208, 200)
SHADOW = (128, 128, 128)
GREY = (160, 160, 160)
BLUE = (0, 64, 160)
GREEN = (0, 128, 0)
RED = (192, 0, 0)
YELLOW = (240, 200, 40)
BROWN = (150, 100, 40)

# 3x5 glyphs, rows top to bottom.
FONT = {
    'A': ['010', '101', '111', '101', '101'], 'C': ['011', '100', '100', '100', '011'],
    'D': ['110', '101', '101', '101', '110'], 'F': ['111', '100', '110', '100', '100'],
    'J': ['001', '001', '001', '101', '010'], 'L': ['100', '100', '100', '100', '111'],
    'M': ['101', '111', '111', '101', '101'], 'N': ['101', '111', '111', '111', '101'],
    'P': ['110', '101', '110', '100', '100'], 'R': ['110', '101', '110', '101', '101'],
    'S': ['011', '100', '010', '001', '110'], 'T': ['111', '010', '010', '010', '010'],
    'U': ['101', '101', '101', '101', '111'], '.': ['000', '000', '000', '000', '010'],
}


class Canvas:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1):
            self.put(x, y0, c)
            self.put(x, y1 - 1, c)
        for y in range(y0, y1):
            self.put(x0, y, c)
            self.put(x1 - 1, y, c)

    def line(self, x0, y0, x1, y1, c):
        n = max(abs(x1 - x0), abs(y1 - y0)) * 2 + 1
        for i in range(n + 1):
            t = i / n
            self.put(round(x0 + (x1 - x0) * t), round(y0 + (y1 - y0) * t), c)

    def text(self, x, y, s, c, scale=1):
        for ch in s:
            g = FONT[ch]
            for gy, row in enumerate(g):
                for gx, bit in enumerate(row):
                    if bit == '1':
                        self.rect(x + gx * scale, y + gy * scale, x + (gx + 1) * scale,
                                  y + (gy + 1) * scale, c)
            x += 4 * scale

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                self.put(ox + x, oy + y, other.px[y][x])


def write_bmp(path, cv):
    row = (cv.w * 3 + 3) & ~3
    bits = bytearray()
    for y in range(cv.h - 1, -1, -1):
        line = bytearray()
        for (r, g, b) in cv.px[y]:
            line += bytes((b, g, r))
        bits += line + b'\0' * (row - len(line))
    header = struct.pack('<IiiHHIIiiII', 40, cv.w, cv.h, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', 14 + 40 + len(bits), 0, 0, 54) + header + bits)


def read_bmp(path):
    d = open(path, 'rb').read()
    off = struct.unpack('<I', d[10:14])[0]
    w, h = struct.unpack('<ii', d[18:26])
    row = (w * 3 + 3) & ~3
    cv = Canvas(w, abs(h), WHITE)
    for y in range(abs(h)):
        sy = abs(h) - 1 - y if h > 0 else y
        for x in range(w):
            b, g, r = d[off + sy * row + x * 3: off + sy * row + x * 3 + 3]
            cv.px[y][x] = (r, g, b)
    return cv


# ---- bitmap buttons ----

def button(draw, w=24, h=20):
    """The four states of a bitmap button; draw(canvas, dx, dy, colour)."""
    states = []
    for state in ('up', 'down', 'focus', 'disabled'):
        cv = Canvas(w, h, FACE)
        if state == 'down':
            cv.frame(0, 0, w, h, SHADOW)
            cv.line(1, 1, w - 2, 1, BLACK)
            cv.line(1, 1, 1, h - 2, BLACK)
        else:
            cv.line(0, 0, w - 1, 0, WHITE)
            cv.line(0, 0, 0, h - 1, WHITE)
            cv.line(0, h - 1, w - 1, h - 1, BLACK)
            cv.line(w - 1, 0, w - 1, h - 1, BLACK)
            cv.line(1, h - 2, w - 2, h - 2, SHADOW)
            cv.line(w - 2, 1, w - 2, h - 2, SHADOW)
        if state == 'focus':
            for x in range(3, w - 3, 2):
                cv.put(x, 3, BLACK)
                cv.put(x, h - 4, BLACK)
            for y in range(3, h - 3, 2):
                cv.put(3, y, BLACK)
                cv.put(w - 4, y, BLACK)
        shift = 1 if state == 'down' else 0
        colour = GREY if state == 'disabled' else BLACK
        if state == 'disabled':
            draw(cv, shift + 1, shift + 1, WHITE)
        draw(cv, shift, shift, colour)
        states.append(cv)
    return states


def label(s, w=24, h=20):
    def draw(cv, dx, dy, c):
        cv.text((w - (4 * len(s) - 1)) // 2 + dx, (h - 5) // 2 + dy, s, c)
    return draw


def arrow(up, w=24, h=20):
    def draw(cv, dx, dy, c):
        cx = w // 2 + dx
        for i in range(5):
            y = (h // 2 - 3 + i if up else h // 2 + 3 - i) + dy
            cv.rect(cx - i, y, cx + i + 1, y + 1, c)
        y0, y1 = (h // 2 + 2, h // 2 + 6) if up else (h // 2 - 6, h // 2 - 2)
        cv.rect(cx - 1, y0 + dy, cx + 2, y1 + dy, c)
    return draw


def cross(w=24, h=20):
    def draw(cv, dx, dy, c):
        for i in range(-4, 5):
            for t in (0, 1):
                cv.put(w // 2 + i + dx + t, h // 2 + i + dy, c)
                cv.put(w // 2 + i + dx + t, h // 2 - i + dy, c)
    return draw


BUTTONS = [
    # (up, down, focus, disabled), picture
    ((298, 299, 301, 300), label('CP')),
    ((294, 297, 295, 296), label('PRJ')),
    ((401, 399, 400, 402), label('DTM')),
    ((190, 191, 286, 192), label('PP')),
    ((182, 183, 258, 184), arrow(True)),
    ((181, 185, 259, 186), arrow(False)),
    ((188, 187, 260, 189), cross()),
]
SMALL_BUTTONS = [
    ((380, 379, 381, 382), label('S', 14, 14)),
    ((385, 386, 388, 387), label('F', 14, 14)),
    ((329, 330, 332, 331), label('R', 16, 16)),
    ((223, 222, None, 224), label('...', 16, 16)),
]


# ---- image strips ----

def point_icon(cv, ox, c=RED):
    cv.rect(ox + 6, 6, ox + 10, 10, c)


def line_icon(cv, ox, c=BLUE):
    cv.line(ox + 2, 12, ox + 6, 5, c)
    cv.line(ox + 6, 5, ox + 10, 10, c)
    cv.line(ox + 10, 10, ox + 14, 3, c)


def polygon_icon(cv, ox, c=GREEN):
    cv.rect(ox + 3, 4, ox + 13, 12, c)
    cv.frame(ox + 3, 4, ox + 13, 12, BLACK)


def image_icon(cv, ox):
    cv.rect(ox + 2, 3, ox + 14, 13, (120, 180, 240))
    cv.rect(ox + 2, 9, ox + 14, 13, GREEN)
    cv.frame(ox + 2, 3, ox + 14, 13, BLACK)


def other_icon(cv, ox):
    for (x, y) in ((4, 5), (10, 4), (7, 10), (12, 11)):
        cv.rect(ox + x, y, ox + x + 2, y + 2, BROWN)


def multipoint_icon(cv, ox):
    for (x, y) in ((3, 4), (10, 6), (5, 11)):
        cv.rect(ox + x, y, ox + x + 3, y + 3, RED)


def grid_icon(cv, ox):
    for i in (3, 7, 11):
        cv.line(ox + i, 2, ox + i, 13, SHADOW)
        cv.line(ox + 2, i, ox + 13, i, SHADOW)


def track_icon(cv, ox):
    for i, (x, y) in enumerate(((2, 12), (5, 9), (8, 10), (11, 6), (13, 3))):
        cv.rect(ox + x, y, ox + x + 2, y + 2, RED if i == 4 else BLUE)


def globe_icon(cv, ox):
    for y in range(3, 14):
        for x in range(2, 14):
            if (x - 7.5) ** 2 + (y - 8) ** 2 <= 30:
                cv.put(ox + x, y, (60, 140, 220))
    cv.line(ox + 2, 8, ox + 13, 8, WHITE)
    cv.line(ox + 7, 3, ox + 7, 13, WHITE)


def box(cv, ox, checked, size=16, top=3):
    cv.rect(ox + 2, top, ox + 13, top + 11, WHITE)
    cv.frame(ox + 2, top, ox + 13, top + 11, BLACK)
    if checked:
        for i, (x, y) in enumerate(((4, 7), (5, 8), (6, 9), (7, 8), (8, 7), (9, 6), (10, 5))):
            cv.rect(ox + x, top + y - 2, ox + x + 1, top + y, BLACK)


def eye_icon(cv, ox):
    for x in range(2, 14):
        d = abs(x - 7.5)
        hgt = int(4 - d * 0.6)
        cv.put(ox + x, 8 - hgt, BLACK)
        cv.put(ox + x, 8 + hgt, BLACK)
    cv.rect(ox + 6, 6, ox + 10, 11, BLUE)


def info_icon(cv, ox):
    cv.rect(ox + 7, 3, ox + 9, 5, BLUE)
    cv.rect(ox + 7, 6, ox + 9, 13, BLUE)
    cv.rect(ox + 6, 12, ox + 10, 13, BLUE)


def pencil_icon(cv, ox):
    for i in range(9):
        cv.rect(ox + 4 + i, 12 - i, ox + 6 + i, 14 - i, YELLOW)
    cv.rect(ox + 3, 12, ox + 5, 14, BLACK)


def folder_icon(cv, ox, open_):
    cv.rect(ox + 1, 4, ox + 7, 6, YELLOW)
    cv.rect(ox + 1, 5, ox + 15, 13, YELLOW)
    cv.frame(ox + 1, 5, ox + 15, 13, BROWN)
    if open_:
        cv.rect(ox + 3, 8, ox + 15, 13, (255, 230, 120))


def card_icon(cv, ox):
    cv.rect(ox + 3, 2, ox + 13, 14, (60, 60, 60))
    cv.rect(ox + 5, 3, ox + 11, 6, YELLOW)


def device_icon(cv, ox, tall):
    if tall:
        cv.rect(ox + 4, 1, ox + 12, 15, SHADOW)
        cv.rect(ox + 5, 3, ox + 11, 11, (200, 230, 255))
    else:
        cv.rect(ox + 1, 3, ox + 15, 13, SHADOW)
        cv.rect(ox + 3, 5, ox + 13, 10, (200, 230, 255))


def document_icon(cv, ox):
    cv.rect(ox + 3, 1, ox + 13, 15, WHITE)
    cv.frame(ox + 3, 1, ox + 13, 15, BLACK)
    polygon = Canvas(6, 5, GREEN)
    cv.blit(polygon, ox + 5, 5)


def strip(count, size, bg, draws):
    cv = Canvas(count * size, size, bg)
    for index, draw in draws.items():
        draw(cv, index * size)
    return cv


def main():
    for ids, draw in BUTTONS:
        for bitmap_id, cv in zip(ids, button(draw)):
            write_bmp(os.path.join(BITMAPS, 'button_%d.bmp' % bitmap_id), cv)
    for ids, draw in SMALL_BUTTONS:
        w = 14 if ids[0] in (380, 385) else 16
        for bitmap_id, cv in zip(ids, button(draw, w, w)):
            if bitmap_id is not None:
                write_bmp(os.path.join(BITMAPS, 'button_%d.bmp' % bitmap_id), cv)

    # 285: layer rows and the cells' off (1) and on (2) boxes.
    write_bmp(os.path.join(BITMAPS, 'layer_rows.bmp'), strip(17, 16, MAGENTA, {
        0: other_icon, 1: lambda cv, ox: box(cv, ox, False),
        2: lambda cv, ox: box(cv, ox, True), 6: point_icon, 7: line_icon, 8: polygon_icon,
        9: image_icon, 10: multipoint_icon, 13: track_icon, 14: grid_icon, 16: globe_icon,
    }))
    # 287: the Layers list's header: visible 0, identify 1, edit 3.
    write_bmp(os.path.join(BITMAPS, 'layer_header.bmp'), strip(4, 16, MAGENTA, {
        0: eye_icon, 1: info_icon, 3: pencil_icon,
    }))
    # 221: the folder browser's two images, then the layer browser's.
    folders = read_bmp(os.path.join(BITMAPS, 'folders.bmp'))
    browser = strip(38, 16, WHITE, {
        2: lambda cv, ox: folder_icon(cv, ox, True), 4: lambda cv, ox: folder_icon(cv, ox, False),
        5: point_icon, 6: line_icon, 7: polygon_icon, 8: image_icon, 9: other_icon,
        13: globe_icon, 16: document_icon, 35: card_icon,
        36: lambda cv, ox: device_icon(cv, ox, True), 37: lambda cv, ox: device_icon(cv, ox, False),
    })
    browser.blit(Canvas(32, 16, WHITE), 0, 0)
    for y in range(min(16, folders.h)):
        for x in range(min(32, folders.w)):
            browser.px[y][x] = folders.px[y][x]
    write_bmp(os.path.join(BITMAPS, 'folders.bmp'), browser)
    # 328: the server's services: 3 an image service, 6 public, 7 private.
    def lock(cv, ox, open_):
        cv.rect(ox + 4, 8, ox + 12, 14, YELLOW if open_ else BROWN)
        cv.frame(ox + 5, 3, ox + 11, 9, BLACK)
        if open_:
            cv.rect(ox + 10, 6, ox + 12, 9, MAGENTA)
    write_bmp(os.path.join(BITMAPS, 'server_services.bmp'), strip(8, 16, MAGENTA, {
        3: globe_icon, 6: lambda cv, ox: lock(cv, ox, True), 7: lambda cv, ox: lock(cv, ox, False),
    }))
    # 230: check boxes, 1 unchecked and 2 checked (13 pixels).
    checks = Canvas(39, 13, WHITE)
    for i, on in ((1, False), (2, True)):
        ox = i * 13
        checks.rect(ox + 1, 1, ox + 12, 12, WHITE)
        checks.frame(ox + 1, 1, ox + 12, 12, BLACK)
        if on:
            for (x, y) in ((3, 6), (4, 7), (5, 8), (6, 7), (7, 6), (8, 5), (9, 4)):
                checks.rect(ox + x, y, ox + x + 1, y + 2, BLACK)
    write_bmp(os.path.join(BITMAPS, 'browser_checks.bmp'), checks)


if __name__ == '__main__':
    main()
