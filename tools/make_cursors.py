#!/usr/bin/env python3
"""Draws the map tools' cursors and writes them as 32x32 monochrome .cur files
into resources/cursors/ (run from the repository root). Each picture is drawn
in black on a grid and given a one-pixel white outline, so that it shows on
dark and light maps alike; the rest is transparent."""
import math
import os
import struct

SIZE = 32


class Canvas:
    def __init__(self):
        self.px = [[0] * SIZE for _ in range(SIZE)]

    def dot(self, x, y):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.px[y][x] = 1

    def line(self, x0, y0, x1, y1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.dot(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps))

    def circle(self, cx, cy, r):
        for a in range(360):
            t = math.radians(a)
            self.dot(round(cx + r * math.cos(t)), round(cy + r * math.sin(t)))

    def rect(self, x0, y0, x1, y1, dashed=False):
        for x in range(x0, x1 + 1):
            if not dashed or x % 3 != 2:
                self.dot(x, y0)
                self.dot(x, y1)
        for y in range(y0, y1 + 1):
            if not dashed or y % 3 != 2:
                self.dot(x0, y)
                self.dot(x1, y)

    def cross(self, cx, cy, arm, gap=2):
        self.line(cx - arm, cy, cx - gap, cy)
        self.line(cx + gap, cy, cx + arm, cy)
        self.line(cx, cy - arm, cx, cy - gap)
        self.line(cx, cy + gap, cx, cy + arm)


def lens(c, sign):
    c.circle(10, 10, 7)
    c.line(15, 15, 22, 22)
    c.line(16, 15, 23, 22)
    c.line(7, 10, 13, 10)
    if sign == '+':
        c.line(10, 7, 10, 13)


def pan(c):
    c.line(4, 15, 26, 15)
    c.line(15, 4, 15, 26)
    for (x, y, dx, dy) in ((4, 15, 1, 0), (26, 15, -1, 0), (15, 4, 0, 1), (15, 26, 0, -1)):
        for k in range(1, 4):
            c.dot(x + dx * k + dy * k, y + dy * k + dx * k)
            c.dot(x + dx * k - dy * k, y + dy * k - dx * k)


def measure(c):
    c.cross(8, 8, 6)
    c.line(12, 24, 28, 8)
    c.line(14, 26, 30, 10)
    for k in range(0, 16, 3):
        c.line(13 + k, 23 - k, 14 + k, 24 - k)


def with_cross(extra):
    def draw(c):
        c.cross(8, 8, 6)
        extra(c)
    return draw


def identify(c):
    c.rect(16, 14, 28, 28)
    c.line(22, 17, 22, 17)
    c.line(22, 20, 22, 25)


def hyperlink(c):
    c.circle(19, 22, 3)
    c.circle(25, 18, 3)
    c.line(20, 20, 24, 20)


def goto(c):
    c.line(18, 14, 18, 29)
    c.rect(19, 14, 27, 19)


def advanced_select(c):
    c.rect(14, 14, 29, 27, dashed=True)


def vertex(c):
    c.rect(17, 17, 23, 23)
    c.line(8, 8, 20, 20)


def cross(c):
    c.cross(15, 15, 12, gap=3)


CURSORS = [
    ("zoomin", lambda c: lens(c, '+'), (10, 10)),
    ("zoomout", lambda c: lens(c, '-'), (10, 10)),
    ("pan", pan, (15, 15)),
    ("measure", measure, (8, 8)),
    ("identify", with_cross(identify), (8, 8)),
    ("hyperlink", with_cross(hyperlink), (8, 8)),
    ("goto", with_cross(goto), (8, 8)),
    ("advancedselect", with_cross(advanced_select), (8, 8)),
    ("vertex", with_cross(vertex), (8, 8)),
    ("cross", cross, (15, 15)),
]


def cur_bytes(c, hot):
    black = c.px
    white = [[0] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            if black[y][x]:
                continue
            near = any(0 <= x + dx < SIZE and 0 <= y + dy < SIZE and black[y + dy][x + dx]
                       for dx in (-1, 0, 1) for dy in (-1, 0, 1))
            white[y][x] = 1 if near else 0
    xor_rows, and_rows = [], []
    for y in reversed(range(SIZE)):  # bottom-up
        xr = ar = 0
        for x in range(SIZE):
            bit = 1 << (31 - x)
            if white[y][x]:
                xr |= bit
            if not black[y][x] and not white[y][x]:
                ar |= bit
        xor_rows.append(struct.pack(">I", xr))
        and_rows.append(struct.pack(">I", ar))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 2, 0, hot[0], hot[1], len(image), 6 + 16)
    return directory + entry + image


def main():
    out = os.path.join("resources", "cursors")
    os.makedirs(out, exist_ok=True)
    for name, draw, hot in CURSORS:
        c = Canvas()
        draw(c)
        with open(os.path.join(out, name + ".cur"), "wb") as f:
            f.write(cur_bytes(c, hot))


if __name__ == "__main__":
    main()
