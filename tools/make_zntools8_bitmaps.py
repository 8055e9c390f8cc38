#!/usr/bin/env python3
"""Draws the znTools8 add-in's pictures as Windows bitmaps (our own art):
1000 the map wizard and 2000 the symbology export (16 x 16, 16 colours),
4012 the shapefile pack (32 x 32, 24-bit), and the file-replace dialog's
picture (42 x 44, 24-bit). Run from the repository root; writes into
desktop/tools/res/."""
import struct, os

# The 16-colour palette of the platform (RGB).
PAL16 = [(0,0,0),(128,0,0),(0,128,0),(128,128,0),(0,0,128),(128,0,128),(0,128,128),(192,192,192),
         (128,128,128),(255,0,0),(0,255,0),(255,255,0),(0,0,255),(255,0,255),(0,255,255),(255,255,255)]

def bmp4(path, rows):
    h = len(rows); w = len(rows[0])
    stride = ((w * 4 + 31) // 32) * 4
    data = b''
    for row in reversed(rows):
        b = bytearray(stride)
        for x, c in enumerate(row):
            if x % 2 == 0: b[x // 2] |= c << 4
            else: b[x // 2] |= c
        data += bytes(b)
    pal = b''.join(struct.pack('<BBBB', bl, g, r, 0) for (r, g, bl) in PAL16)
    off = 14 + 40 + len(pal)
    hdr = struct.pack('<2sIHHI', b'BM', off + len(data), 0, 0, off)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 4, 0, len(data), 2835, 2835, 16, 0)
    open(path, 'wb').write(hdr + info + pal + data)

def bmp24(path, rows):
    h = len(rows); w = len(rows[0])
    stride = ((w * 24 + 31) // 32) * 4
    data = b''
    for row in reversed(rows):
        b = bytearray(stride)
        for x, (r, g, bl) in enumerate(row):
            b[3*x:3*x+3] = bytes((bl, g, r))
        data += bytes(b)
    off = 14 + 40
    hdr = struct.pack('<2sIHHI', b'BM', off + len(data), 0, 0, off)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    open(path, 'wb').write(hdr + info + data)

def grid(w, h, fill):
    return [[fill] * w for _ in range(h)]

def rect(g, x0, y0, x1, y1, c):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            if 0 <= y < len(g) and 0 <= x < len(g[0]): g[y][x] = c

def frame(g, x0, y0, x1, y1, c):
    for x in range(x0, x1 + 1): g[y0][x] = c; g[y1][x] = c
    for y in range(y0, y1 + 1): g[y][x0] = c; g[y][x1] = c

def line(g, x0, y0, x1, y1, c):
    n = max(abs(x1 - x0), abs(y1 - y0), 1)
    for i in range(n + 1):
        x = round(x0 + (x1 - x0) * i / n); y = round(y0 + (y1 - y0) * i / n)
        if 0 <= y < len(g) and 0 <= x < len(g[0]): g[y][x] = c

out = os.path.join('desktop', 'tools', 'res')
os.makedirs(out, exist_ok=True)

# 1000: a folded map sheet (green land, blue water, a red route) and a star.
g = grid(16, 16, 7)
rect(g, 1, 3, 12, 14, 15); frame(g, 1, 3, 12, 14, 0)
rect(g, 2, 4, 6, 13, 10); rect(g, 7, 4, 11, 13, 14)
line(g, 2, 12, 11, 5, 9)
for (x, y) in [(13, 0), (13, 1), (12, 1), (14, 1), (13, 2)]: g[y][x] = 11
line(g, 11, 2, 14, 5, 0)
bmp4(os.path.join(out, 'map_wizard.bmp'), g)

# 2000: three symbol swatches (a marker, a line, a filled square) on a sheet.
g = grid(16, 16, 7)
rect(g, 1, 1, 14, 14, 15); frame(g, 1, 1, 14, 14, 8)
rect(g, 3, 3, 5, 5, 9)
line(g, 7, 4, 12, 4, 4); line(g, 7, 5, 12, 5, 4)
rect(g, 3, 8, 8, 12, 2); frame(g, 3, 8, 8, 12, 0)
line(g, 10, 12, 12, 8, 1); line(g, 11, 12, 13, 8, 1)
bmp4(os.path.join(out, 'export_symbology.bmp'), g)

# 4012: a shapefile stack squeezed by two arrows.
SILVER = (192, 192, 192); WHITE = (255, 255, 255); DARK = (64, 64, 64)
BLUE = (40, 90, 200); GREEN = (60, 160, 60); RED = (200, 40, 40)
g = grid(32, 32, SILVER)
for i, col in enumerate([BLUE, GREEN, WHITE]):
    y = 6 + i * 6
    rect(g, 8, y, 23, y + 8, col); frame(g, 8, y, 23, y + 8, DARK)
for k in range(4):
    line(g, 2 + k, 16 - k, 2 + k, 16 + k, RED)
    line(g, 29 - k, 16 - k, 29 - k, 16 + k, RED)
rect(g, 0, 15, 1, 17, RED); rect(g, 30, 15, 31, 17, RED)
bmp24(os.path.join(out, 'pack_shapefile.bmp'), g)

# The replace dialog's picture: two sheets and a question mark.
g = grid(42, 44, SILVER)
rect(g, 4, 4, 25, 33, WHITE); frame(g, 4, 4, 25, 33, DARK)
rect(g, 14, 10, 35, 39, WHITE); frame(g, 14, 10, 35, 39, DARK)
for y in range(14, 36, 4): line(g, 17, y, 32, y, (150, 150, 150))
q = ["  ####  ", " ##  ## ", "     ## ", "    ##  ", "   ##   ", "   ##   ", "        ", "   ##   "]
for j, row in enumerate(q):
    for i, ch in enumerate(row):
        if ch == '#': rect(g, 18 + 2 * i, 16 + 2 * j, 19 + 2 * i, 17 + 2 * j, BLUE)
bmp24(os.path.join(out, 'file_replace.bmp'), g)
