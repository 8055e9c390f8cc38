#!/usr/bin/env python3
"""Draws the command-bar pictures: one 16-pixel image per command (a coloured
tile with a short label in a 3x5 pixel font), strung together in the order of
each toolbar resource, plus the 13 pictures of configured buttons and the
band images. Light grey (192,192,192) is transparent. Writes
resources/bitmaps/bar_<id>.bmp and the toolbar resources of resources/bars.rc
read their ids from the same table below.

    python3 tools/make_bar_bitmaps.py     (from the repository root)
"""
import os
import struct

GREY = (192, 192, 192)

# 3x5 pixel font: rows top to bottom, 3 bits each (4 = left column).
FONT = {
    'A': [2, 5, 7, 5, 5], 'B': [6, 5, 6, 5, 6], 'C': [3, 4, 4, 4, 3], 'D': [6, 5, 5, 5, 6],
    'E': [7, 4, 6, 4, 7], 'F': [7, 4, 6, 4, 4], 'G': [3, 4, 5, 5, 3], 'H': [5, 5, 7, 5, 5],
    'I': [7, 2, 2, 2, 7], 'J': [1, 1, 1, 5, 2], 'K': [5, 5, 6, 5, 5], 'L': [4, 4, 4, 4, 7],
    'M': [5, 7, 7, 5, 5], 'N': [6, 5, 5, 5, 5], 'O': [2, 5, 5, 5, 2], 'P': [6, 5, 6, 4, 4],
    'Q': [2, 5, 5, 6, 3], 'R': [6, 5, 6, 5, 5], 'S': [3, 4, 2, 1, 6], 'T': [7, 2, 2, 2, 2],
    'U': [5, 5, 5, 5, 7], 'V': [5, 5, 5, 5, 2], 'W': [5, 5, 7, 7, 5], 'X': [5, 5, 2, 5, 5],
    'Y': [5, 5, 2, 2, 2], 'Z': [7, 1, 2, 4, 7], '+': [0, 2, 7, 2, 0], '-': [0, 0, 7, 0, 0],
    '?': [6, 1, 2, 0, 2], '<': [1, 2, 4, 2, 1], '>': [4, 2, 1, 2, 4], '*': [5, 2, 7, 2, 5],
    '0': [7, 5, 5, 5, 7], '1': [2, 6, 2, 2, 7], '2': [6, 1, 2, 4, 7], '3': [6, 1, 2, 1, 6],
    '!': [2, 2, 2, 0, 2], '#': [5, 7, 5, 7, 5], '.': [0, 0, 0, 0, 2], '=': [0, 7, 0, 7, 0],
    '$': [3, 6, 2, 3, 6], '/': [1, 1, 2, 4, 4],
}

# Command: (label of one or two characters, tile colour).
COMMANDS = {
    57601: ('OP', (230, 180, 40)), 57603: ('SV', (40, 90, 200)), 1029: ('A+', (40, 160, 60)),
    1025: ('LY', (120, 80, 160)), 1021: ('GP', (200, 40, 40)), 1034: ('TL', (90, 90, 90)),
    57670: ('?', (30, 120, 200)), 1800: ('Z+', (20, 130, 130)), 1801: ('Z-', (20, 100, 160)),
    1802: ('PN', (150, 100, 40)), 1014: ('FX', (40, 140, 90)), 1003: ('<', (100, 60, 140)),
    1004: ('>', (140, 60, 100)), 1810: ('ID', (40, 100, 220)), 1811: ('MS', (180, 120, 0)),
    1812: ('MR', (160, 90, 0)), 1813: ('MF', (200, 140, 20)), 1814: ('HL', (0, 120, 200)),
    1815: ('GO', (0, 150, 70)), 1816: ('AS', (170, 40, 120)), 1028: ('FN', (60, 60, 170)),
    1031: ('CS', (200, 70, 40)), 1026: ('RF', (60, 160, 160)), 1820: ('SL', (220, 90, 20)),
    1821: ('VE', (90, 140, 40)), 1822: ('PT', (200, 30, 90)), 1823: ('LN', (30, 90, 200)),
    1824: ('PL', (30, 160, 200)), 1825: ('FL', (90, 30, 200)), 1826: ('RC', (160, 160, 30)),
    1827: ('PG', (30, 170, 100)), 1828: ('EL', (170, 80, 170)), 1829: ('CI', (80, 170, 170)),
    1830: ('FP', (120, 60, 30)), 1840: ('G.', (210, 60, 60)), 1841: ('GV', (180, 50, 80)),
    1842: ('GS', (150, 40, 100)), 1845: ('GX', (130, 30, 60)), 1016: ('FP', (40, 40, 130)),
    1017: ('DL', (220, 20, 20)), 1010: ('F+', (20, 160, 120)), 1011: ('F-', (20, 120, 160)),
    1013: ('CG', (230, 60, 0)), 1015: ('ZL', (60, 130, 60)), 1012: ('ZS', (130, 130, 60)),
    1033: ('IS', (0, 100, 160)), 1032: ('MV', (100, 0, 160)), 1037: ('SE', (60, 60, 60)),
    1038: ('SB', (110, 110, 140)), 1039: ('SC', (140, 110, 110)), 57665: ('EX', (160, 20, 20)),
    57604: ('SA', (20, 60, 160)), 57600: ('NW', (250, 200, 60)), 1000: ('NL', (60, 200, 60)),
    1073: ('MP', (90, 60, 160)), 1018: ('GA', (230, 40, 40)), 1019: ('GT', (190, 40, 40)),
    1020: ('GD', (150, 40, 40)), 1074: ('PF', (100, 150, 50)), 1027: ('OP', (80, 80, 80)),
    57664: ('AB', (30, 150, 220)), 1005: ('VC', (40, 120, 120)), 1006: ('MS', (120, 40, 120)),
    1007: ('B+', (200, 150, 0)), 1008: ('BM', (160, 120, 0)), 1706: ('CF', (0, 130, 180)),
    1705: ('GF', (0, 170, 120)), 1703: ('ZF', (30, 110, 170)), 1704: ('SF', (200, 100, 20)),
    1708: ('HF', (0, 110, 210)),
    # The map view's vertex menus.
    1040: ('DV', (200, 40, 40)), 1041: ('DL', (180, 60, 60)), 1042: ('MV', (40, 110, 190)),
    1043: ('MG', (200, 60, 30)), 1044: ('XY', (40, 130, 90)), 1045: ('GX', (210, 80, 30)),
    1046: ('AL', (120, 90, 170)), 1047: ('FS', (30, 150, 60)), 1048: ('IV', (60, 120, 200)),
    1049: ('AT', (90, 160, 60)), 1050: ('AH', (60, 160, 90)), 1051: ('IG', (220, 90, 40)),
    1052: ('VM', (100, 100, 180)), 1060: ('FZ', (150, 110, 40)), 1061: ('FM', (130, 80, 40)),
}

NAME_TABLE = [57601, 57603, 1029, 1025, 1021, 1034, 57670, 1800, 1801, 1802, 1014, 1003, 1004,
              1810, 1811, 1813, 1814, 1028, 1031, 1026, 1820, 1822, 1823, 1825, 1826, 1827, 1828,
              1840, 1016, 1017, 1010, 1011, 1013, 1015, 1012, 1033, 1032, 1037, 1038, 1039, 57665,
              57604, 57600, 1000, 1073, 1018, 1019, 1020, 1074, 1027, 57664, 1005, 1006, 1007, 1008,
              1821, 1824, 1829, 1830, 1812, 1815, 1816, 1845, 1841, 1842, 1706, 1705]
assert len(NAME_TABLE) == 67

# Toolbar resources: id -> command ids (0 a separator).
TOOLBARS = {
    128: [57601, 57603, 0, 1029, 1025, 1021, 0, 1034, 57670],
    129: [1800, 1801, 1802, 1014, 1003, 0, 1810, 1811, 1812, 1813, 1814, 1815, 1816, 0, 1028, 1031, 1026],
    130: [1820, 1821, 1822, 1823, 1824, 1825, 1826, 1827, 1828, 1829, 1830, 1840, 1841, 1842, 0, 1016],
    334: NAME_TABLE,
    272: [57670, 57664],
    278: [57601, 57600, 57603, 57604, 1029, 1000, 1073, 57665],
    280: [1014, 1015, 1012, 1010, 1011, 1013],
    281: [1800, 1801, 1802],
    282: [1027, 1037, 1033, 1032, 1074],
    283: [1822, 1823, 1824, 1825, 1826, 1827, 1828, 1829, 1830],
    284: [1810, 1811, 1812, 1813, 1814, 1815, 1816],
    312: [1840, 1841, 1842],
    313: [1021, 1018, 1019, 1020, 1013],
    314: [1028, 1706, 1705],
    327: [1029, 1000, 1033],
    345: [1003, 1004, 1007, 1008, 1005, 1006],
    346: [1820, 1816, 1845, 1031],
    347: [1042, 1043, 1040],
    348: [1044, 1045, 1046, 1041, 1047],
    349: [1048, 1051, 1050, 1049, 1061, 1060, 1052],
    378: [1703, 1706, 1704, 1708],
    384: [1016, 1017, 1706, 1705],
}

# The pictures of configured buttons, in the order of the "$" names.
PICTURES = [('?', (230, 200, 40)), ('!', (220, 40, 40)), ('F', (40, 120, 220)), ('P', (240, 150, 170)),
            ('=', (250, 220, 0)), ('-', (90, 110, 200)), ('H', (220, 30, 60)), ('D', (200, 60, 60)),
            ('S', (30, 30, 30)), ('C', (40, 40, 40)), ('#', (120, 140, 120)), ('K', (100, 100, 100)),
            ('/', (170, 90, 40))]


def tile_big(label, colour):
    # Labels are drawn 5 rows tall, doubled vertically: rows 3..12.
    px = [[GREY] * 16 for _ in range(16)]
    for y in range(1, 15):
        for x in range(1, 15):
            if not ((x in (1, 14)) and (y in (1, 14))):
                px[y][x] = colour
    lum = 0.3 * colour[0] + 0.59 * colour[1] + 0.11 * colour[2]
    ink = (0, 0, 0) if lum > 140 else (255, 255, 255)
    width = 4 * len(label) - 1
    x0 = (16 - width) // 2
    for i, ch in enumerate(label):
        rows = FONT[ch]
        for r in range(5):
            for c in range(3):
                if rows[r] & (4 >> c):
                    px[3 + 2 * r][x0 + 4 * i + c] = ink
                    px[4 + 2 * r][x0 + 4 * i + c] = ink
    return px


def band_image(kind):
    px = [[GREY] * 7 for _ in range(7)]
    for y in range(7):
        for x in range(7):
            if kind == 0 and (x + y) % 3 == 0:
                px[y][x] = (96, 96, 96)
            if kind == 1 and x in (2, 4):
                px[y][x] = (96, 96, 96)
    return px


def write_bmp(path, images, w, h):
    total = w * len(images)
    row = (total * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for img in images:
            for x in range(w):
                r, g, b = img[y][x]
                line += bytes((b, g, r))
        line += b'\0' * (row - len(line))
        data += line
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, total, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + data)


def main():
    out = os.path.join('resources', 'bitmaps')
    os.makedirs(out, exist_ok=True)
    for bar, ids in TOOLBARS.items():
        images = [tile_big(*COMMANDS[i]) for i in ids if i]
        write_bmp(os.path.join(out, 'bar_%d.bmp' % bar), images, 16, 16)
    write_bmp(os.path.join(out, 'bar_339.bmp'), [tile_big(*p) for p in PICTURES], 16, 16)
    write_bmp(os.path.join(out, 'bar_240.bmp'), [band_image(0), band_image(1)], 7, 7)
    # The toolbar resources as raw words, for resources/bars.rc.
    with open(os.path.join('resources', 'bars_toolbars.rc'), 'w') as f:
        f.write('// Written by tools/make_bar_bitmaps.py: the toolbar resources (raw 16-bit\n'
                '// words: version 1, image width, height, count, command ids) and their\n'
                '// bitmaps.\n')
        for bar, ids in TOOLBARS.items():
            words = [1, 16, 16, len(ids)] + ids
            f.write('%d 241\nBEGIN\n    %s\nEND\n' % (bar, ', '.join(str(w) for w in words)))
            f.write('%d BITMAP "bitmaps/bar_%d.bmp"\n\n' % (bar, bar))
        f.write('339 BITMAP "bitmaps/bar_339.bmp"\n240 BITMAP "bitmaps/bar_240.bmp"\n')


if __name__ == '__main__':
    main()
