#!/usr/bin/env python3
"""Draws the application's own pictures: the splash bitmap (142), the LED
test bitmap of the About box (307), the Vertex dialog's GPS button (302 up,
303 down, 304 focused, 305 disabled), the Script window's Run button (395,
396, 398, 397), the icons 128, 129 and 31234, the map view's notification
icons (224 GPS idle, 226 and 320 the two frames of GPS data, 227 an alert)
and the View Coordinates dialog's extent icon (1205).
Everything is drawn here from shapes; run it to remake the files."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.join(HERE, '..', 'resources')


class Canvas:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]
        self.mask = [[0] * w for _ in range(h)]  # 1: transparent (icons)

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c
            self.mask[y][x] = 0

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r - 1), int(cy + r + 2)):
            for x in range(int(cx - r - 1), int(cx + r + 2)):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def ring(self, cx, cy, r0, r1, c):
        for y in range(int(cy - r1 - 1), int(cy + r1 + 2)):
            for x in range(int(cx - r1 - 1), int(cx + r1 + 2)):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r0 <= d <= r1:
                    self.put(x, y, c)

    def line(self, x0, y0, x1, y1, c, width=1):
        n = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(n + 1):
            t = i / n
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            for dy in range(width):
                for dx in range(width):
                    self.put(int(x) + dx, int(y) + dy, c)

    def triangle(self, pts, c):
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            for x in range(int(min(xs)), int(max(xs)) + 1):
                px, py = x + 0.5, y + 0.5
                s = []
                for i in range(3):
                    ax, ay = pts[i]
                    bx, by = pts[(i + 1) % 3]
                    s.append((bx - ax) * (py - ay) - (by - ay) * (px - ax))
                if all(v >= 0 for v in s) or all(v <= 0 for v in s):
                    self.put(x, y, c)

    def rows_bgr(self):
        out = b''
        stride = (self.w * 3 + 3) & ~3
        for y in reversed(range(self.h)):
            row = b''.join(bytes((c[2], c[1], c[0])) if not self.mask[y][x] else b'\0\0\0'
                           for x, c in enumerate(self.px[y]))
            out += row + b'\0' * (stride - len(row))
        return out

    def rows_mask(self):
        out = b''
        stride = ((self.w + 31) // 32) * 4
        for y in reversed(range(self.h)):
            row = bytearray(stride)
            for x in range(self.w):
                if self.mask[y][x]:
                    row[x // 8] |= 0x80 >> (x % 8)
            out += bytes(row)
        return out


def write_bmp(path, cv):
    bits = cv.rows_bgr()
    header = struct.pack('<IiiHHIIiiII', 40, cv.w, cv.h, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', 14 + 40 + len(bits), 0, 0, 54) + header + bits)


def write_ico(path, canvases):
    images = []
    for cv in canvases:
        bits = cv.rows_bgr() + cv.rows_mask()
        header = struct.pack('<IiiHHIIiiII', 40, cv.w, cv.h * 2, 1, 24, 0, len(bits), 0, 0, 0, 0)
        images.append((cv, header + bits))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for cv, data in images:
        out += struct.pack('<BBBBHHII', cv.w % 256, cv.h % 256, 0, 0, 1, 24, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(d for _, d in images))


def transparent(w, h):
    cv = Canvas(w, h, (0, 0, 0))
    cv.mask = [[1] * w for _ in range(h)]
    return cv


def pin_icon(size, body, rim):
    """A map pin over folded map sheets: the program."""
    cv = transparent(size, size)
    s = size / 32
    paper = (236, 226, 178)
    fold = (200, 186, 128)
    cv.rect(int(3 * s), int(14 * s), int(29 * s), int(29 * s), paper)
    cv.rect(int(11 * s), int(14 * s), int(12 * s) + 1, int(29 * s), fold)
    cv.rect(int(20 * s), int(14 * s), int(21 * s) + 1, int(29 * s), fold)
    cv.line(4 * s, 25 * s, 28 * s, 18 * s, (70, 130, 200), max(1, int(s)))
    cv.disc(16 * s, 10 * s, 7 * s, rim)
    cv.disc(16 * s, 10 * s, 5 * s, body)
    cv.triangle([(11 * s, 13 * s), (21 * s, 13 * s), (16 * s, 23 * s)], rim)
    cv.disc(16 * s, 10 * s, 2 * s, (255, 255, 255))
    return cv


def led_icon(size):
    """A round signal lamp with rays: the LED test."""
    cv = transparent(size, size)
    s = size / 32
    for a in range(0, 360, 45):
        r = math.radians(a)
        cv.line(16 * s + math.cos(r) * 11 * s, 16 * s + math.sin(r) * 11 * s,
                16 * s + math.cos(r) * 15 * s, 16 * s + math.sin(r) * 15 * s, (240, 180, 0), max(1, int(s)))
    cv.disc(16 * s, 16 * s, 9 * s, (40, 90, 40))
    cv.disc(16 * s, 16 * s, 7 * s, (60, 200, 60))
    cv.disc(14 * s, 14 * s, 2.5 * s, (200, 255, 200))
    return cv


def gps_tray_icon(size, state):
    """A satellite dish over a position mark: idle, the two data frames
    (signal arcs alternating) and the alert (red with an exclamation)."""
    cv = transparent(size, size)
    s = size / 32
    alert = state == 'alert'
    dish = (200, 40, 30) if alert else (40, 90, 200)
    cv.disc(16 * s, 22 * s, 8 * s, (30, 30, 30))
    cv.disc(16 * s, 22 * s, 6.5 * s, dish)
    cv.rect(int(15 * s), int(6 * s), int(17 * s) + 1, int(20 * s), (30, 30, 30))
    cv.disc(16 * s, 6 * s, 2.5 * s, (250, 210, 60))
    arcs = {'idle': (), 'data1': (7,), 'data2': (11,), 'alert': ()}[state]
    for r in arcs:
        for a in range(-60, 61, 6):
            t = math.radians(a - 90)
            cv.disc(16 * s + math.cos(t) * r * s, 6 * s + math.sin(t) * r * s, 1.1 * s, (60, 200, 60))
    if alert:
        cv.rect(int(15 * s), int(17 * s), int(17 * s) + 1, int(24 * s), (255, 255, 255))
        cv.rect(int(15 * s), int(26 * s), int(17 * s) + 1, int(28 * s), (255, 255, 255))
    return cv


def extent_icon(size):
    """A dashed frame round a map sheet: take the view's extent."""
    cv = transparent(size, size)
    s = size / 32
    cv.rect(int(7 * s), int(9 * s), int(25 * s), int(23 * s), (236, 226, 178))
    cv.line(8 * s, 20 * s, 24 * s, 12 * s, (70, 130, 200), max(1, int(s)))
    for i in range(int(3 * s), int(29 * s), max(2, int(3 * s))):
        for x, y in ((i, 4 * s), (i, 27 * s), (3 * s, i), (28 * s, i)):
            cv.rect(int(x), int(y), int(x) + max(1, int(s)), int(y) + max(1, int(s)), (30, 30, 30))
    return cv


def splash():
    w, h = 200, 120
    cv = Canvas(w, h, (24, 60, 96))
    # Contour lines of a hill.
    for i, r in enumerate(range(12, 90, 11)):
        shade = (40 + i * 14, 110 + i * 12, 90 + i * 6)
        cv.ring(140, 70, r - 1.2, r, shade)
    # A track of GPS fixes.
    pts = [(20, 100), (45, 88), (62, 92), (85, 70), (104, 66), (120, 48)]
    for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
        cv.line(x0, y0, x1, y1, (250, 210, 60), 2)
    for x, y in pts:
        cv.disc(x + 1, y + 1, 3, (255, 250, 230))
    # The pin at the end of the track.
    cv.disc(120, 34, 10, (120, 20, 20))
    cv.disc(120, 34, 7, (220, 50, 40))
    cv.triangle([(112, 39), (128, 39), (120, 52)], (120, 20, 20))
    cv.disc(120, 34, 3, (255, 255, 255))
    # A compass rose in the corner.
    cv.triangle([(30, 14), (26, 30), (34, 30)], (240, 240, 240))
    cv.triangle([(30, 46), (26, 30), (34, 30)], (150, 150, 150))
    cv.triangle([(14, 30), (30, 26), (30, 34)], (200, 200, 200))
    cv.triangle([(46, 30), (30, 26), (30, 34)], (200, 200, 200))
    cv.rect(0, 0, w, 2, (250, 210, 60))
    cv.rect(0, h - 2, w, h, (250, 210, 60))
    return cv


def led_bitmap():
    cv = Canvas(16, 16, (192, 192, 192))
    cv.disc(8, 8, 6, (30, 30, 120))
    cv.disc(8, 8, 4.5, (70, 110, 240))
    cv.disc(7, 7, 1.5, (220, 230, 255))
    return cv


def gps_button(state):
    """A satellite over a position mark: the Vertex dialog's GPS button."""
    face = (192, 192, 192)
    cv = Canvas(24, 24, face)
    dim = state == 'disabled'
    body = (128, 128, 128) if dim else (40, 90, 200)
    panel = (160, 160, 160) if dim else (250, 210, 60)
    mark = (128, 128, 128) if dim else (220, 50, 40)
    o = 1 if state == 'down' else 0
    cv.rect(4 + o, 5 + o, 8 + o, 9 + o, panel)
    cv.rect(14 + o, 5 + o, 18 + o, 9 + o, panel)
    cv.rect(9 + o, 4 + o, 13 + o, 10 + o, body)
    cv.line(11 + o, 11 + o, 11 + o, 14 + o, body, 1)
    cv.disc(11.5 + o, 18 + o, 3, mark)
    cv.disc(11.5 + o, 18 + o, 1.2, face)
    if state == 'focus':
        for i in range(0, 24, 2):
            for x, y in ((i, 0), (i, 23), (0, i), (23, i)):
                cv.put(x, y, (0, 0, 0))
    return cv


def run_button(state):
    """The Script window's Run button, beside the shared open and save
    buttons (20 pixels): a run arrow, raised, pressed, focused or greyed."""
    face = (192, 192, 192)
    n = 20
    cv = Canvas(n, n, face)
    dim = state == 'disabled'
    light, dark = (255, 255, 255), (128, 128, 128)
    down = state == 'down'
    # The button's edge: raised, or sunken while pressed.
    for i in range(n):
        cv.put(i, 0, dark if down else light)
        cv.put(0, i, dark if down else light)
        cv.put(i, n - 1, light if down else (0, 0, 0))
        cv.put(n - 1, i, light if down else (0, 0, 0))
    o = 1 if down else 0
    arrow = (128, 128, 128) if dim else (30, 150, 50)
    cv.triangle([(6 + o, 4 + o), (6 + o, 15 + o), (15 + o, 9.5 + o)], arrow)
    if state == 'focus':
        for i in range(2, n - 2, 2):
            for x, y in ((i, 1), (i, n - 2), (1, i), (n - 2, i)):
                cv.put(x, y, (0, 0, 0))
    return cv


RUN_BUTTON = {'up': 395, 'down': 396, 'focus': 398, 'disabled': 397}


def main():
    for state in RUN_BUTTON:
        write_bmp(os.path.join(RES, 'bitmaps', 'script_run_%s.bmp' % state), run_button(state))
    for state in ('up', 'down', 'focus', 'disabled'):
        write_bmp(os.path.join(RES, 'bitmaps', 'gps_button_%s.bmp' % state), gps_button(state))
    write_bmp(os.path.join(RES, 'bitmaps', 'app_splash.bmp'), splash())
    write_bmp(os.path.join(RES, 'bitmaps', 'app_led.bmp'), led_bitmap())
    write_ico(os.path.join(RES, 'icons', 'app_program.ico'),
              [pin_icon(32, (220, 50, 40), (120, 20, 20)), pin_icon(16, (220, 50, 40), (120, 20, 20))])
    write_ico(os.path.join(RES, 'icons', 'app_led.ico'), [led_icon(32), led_icon(16)])
    for state in ('idle', 'data1', 'data2', 'alert'):
        write_ico(os.path.join(RES, 'icons', 'gps_tray_%s.ico' % state),
                  [gps_tray_icon(32, state), gps_tray_icon(16, state)])
    write_ico(os.path.join(RES, 'icons', 'view_extent.ico'), [extent_icon(32), extent_icon(16)])
    write_ico(os.path.join(RES, 'icons', 'app_instance.ico'),
              [pin_icon(32, (40, 120, 220), (20, 50, 120)), pin_icon(16, (40, 120, 220), (20, 50, 120))])


if __name__ == '__main__':
    main()
