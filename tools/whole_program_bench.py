#!/usr/bin/env python3
"""Whole-program drawing benchmark.

Opens a map of a shapefile of 100,000 polygons, then of one of 1,000,000
points, in the built program on Qt's offscreen display and writes its first complete paint to
a PNG through the program's screenshot hook; beside it, gdal_rasterize of the
same file to a picture of the map view's size and extent followed by
gdal_translate to PNG. The two run in turn, pair by pair, and the script prints
each side's median wall time and the median of the pair ratios (ours/theirs).

    tools/whole_program_bench.py [--build build] [--runs 7] [--data DIR]

The shapefiles are written once into DIR (default /tmp/zn-whole-program-bench).
"""

import argparse
import math
import os
import random
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time


def write_dbf(path, count):
    """One numeric field, ID, N(10,0)."""
    header = struct.pack("<BBBBIHH20x", 3, 126, 1, 1, count, 32 + 32 + 1, 1 + 10)
    field = struct.pack("<11sc4xBB14x", b"ID", b"N", 10, 0)
    with open(path, "wb") as f:
        f.write(header + field + b"\r")
        for i in range(count):
            f.write(b" " + str(i).rjust(10).encode())
        f.write(b"\x1a")


def write_shp(base, shape_type, records, box):
    """records: list of content bytes (without the 8-byte record header)."""
    xmin, ymin, xmax, ymax = box

    def header(length_bytes):
        return (struct.pack(">7i", 9994, 0, 0, 0, 0, 0, length_bytes // 2) +
                struct.pack("<2i4d4d", 1000, shape_type, xmin, ymin, xmax, ymax, 0, 0, 0, 0))

    shp_len = 100 + sum(8 + len(r) for r in records)
    shx_len = 100 + 8 * len(records)
    with open(base + ".shp", "wb") as shp, open(base + ".shx", "wb") as shx:
        shp.write(header(shp_len))
        shx.write(header(shx_len))
        offset = 100
        for n, r in enumerate(records, 1):
            shp.write(struct.pack(">2i", n, len(r) // 2) + r)
            shx.write(struct.pack(">2i", offset // 2, len(r) // 2))
            offset += 8 + len(r)
    write_dbf(base + ".dbf", len(records))


def make_polygons(base, count):
    rng = random.Random(42)
    side = int(count ** 0.5 + 0.5)
    cell = 1000.0 / side
    records = []
    for i in range(count):
        cx = (i % side + 0.5) * cell + 500000.0
        cy = (i // side + 0.5) * cell + 5400000.0
        pts = []
        for k in range(6):
            a = (k / 6.0) * 6.283185307179586
            r = cell * (0.25 + 0.2 * rng.random())
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
        pts.reverse()  # clockwise outer ring
        pts.append(pts[0])
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        body = struct.pack("<i4d2i", 5, min(xs), min(ys), max(xs), max(ys), 1, len(pts))
        body += struct.pack("<i", 0)
        body += b"".join(struct.pack("<2d", x, y) for x, y in pts)
        records.append(body)
    write_shp(base, 5, records, (500000.0, 5400000.0, 501000.0, 5401000.0))


def make_points(base, count):
    rng = random.Random(7)
    records = []
    for _ in range(count):
        records.append(struct.pack("<i2d", 1, 500000.0 + 1000.0 * rng.random(),
                                   5400000.0 + 1000.0 * rng.random()))
    write_shp(base, 1, records, (500000.0, 5400000.0, 501000.0, 5401000.0))


def write_map(base):
    """A map document with the file as its one layer, opened at its extent."""
    name = os.path.basename(base)
    with open(base + ".znm", "w") as f:
        f.write(f"""<?xml version="1.0" encoding="UTF-8" ?>
<Zarnip>
  <MAP name="{name}">
    <PROPERTIES>
      <ENVELOPE minx="500000" miny="5400000" maxx="501000" maxy="5401000"/>
    </PROPERTIES>
    <LAYER name="{name}">
      <DATASET name="{name}.shp"/>
    </LAYER>
  </MAP>
</Zarnip>
""")


def timed(cmd, env=None):
    start = time.perf_counter()
    out = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)
    return time.perf_counter() - start, out


def main():
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(here, "build"))
    ap.add_argument("--runs", type=int, default=7)
    ap.add_argument("--data", default="/tmp/zn-whole-program-bench")
    args = ap.parse_args()
    exe = os.path.join(args.build, "app", "zarnip")
    for tool in ("gdal_rasterize", "gdal_translate"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing (Debian gdal-bin)")
    os.makedirs(args.data, exist_ok=True)
    cases = [("polygons", 100000, make_polygons), ("points", 1000000, make_points)]
    for name, count, make in cases:
        base = os.path.join(args.data, f"{name}{count}")
        if not os.path.exists(base + ".dbf"):
            make(base, count)
        write_map(base)

    work = tempfile.mkdtemp(prefix="zn-wpb-")
    for sub in ("run", "config", "docs"):
        os.makedirs(os.path.join(work, sub), mode=0o700)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", ZARNIP_ROOT="/",
               XDG_RUNTIME_DIR=os.path.join(work, "run"), XDG_CONFIG_HOME=os.path.join(work, "config"),
               ZARNIP_DOCUMENTS=os.path.join(work, "docs"),
               ZARNIP_TEST_SCREENSHOT=os.path.join(work, "ours.png"))
    print(f"{'case':<20}{'ours s':>10}{'theirs s':>10}{'ratio':>8}  (medians of {args.runs} pairs)")
    try:
        for name, count, _ in cases:
            shp = os.path.join(args.data, f"{name}{count}.shp")
            ours = [exe, "--no-splash", os.path.join(args.data, f"{name}{count}.znm")]
            # The view's size from the program's own report.
            _, first = timed(ours, env)
            words = first.stdout.decode().split()
            if len(words) < 5 or words[0] != "view":
                sys.exit(f"the program did not report its view for {shp}")
            width, height = words[3], words[4]
            # The view shows the envelope whole, centred, at one scale.
            scale = max(1000.0 / int(width), 1000.0 / int(height))
            half_w, half_h = scale * int(width) / 2, scale * int(height) / 2
            te = [str(v) for v in (500500 - half_w, 5400500 - half_h, 500500 + half_w, 5400500 + half_h)]
            tif = os.path.join(work, "theirs.tif")
            png = os.path.join(work, "theirs.png")
            rasterize = ["gdal_rasterize", "-q", "-burn", "0", "-init", "255", "-ot", "Byte", "-ts", width,
                         height, "-te", *te, shp, tif]
            translate = ["gdal_translate", "-q", "-of", "PNG", tif, png]
            ours_t, theirs_t, ratios = [], [], []
            for _ in range(args.runs):
                a, _ = timed(ours, env)
                if os.path.exists(tif):
                    os.remove(tif)
                b1, _ = timed(rasterize)
                b2, _ = timed(translate)
                ours_t.append(a)
                theirs_t.append(b1 + b2)
                ratios.append(a / (b1 + b2))
            print(f"{name + ' ' + str(count):<20}{statistics.median(ours_t):>10.3f}"
                  f"{statistics.median(theirs_t):>10.3f}{statistics.median(ratios):>8.2f}"
                  f"  (ratio min {min(ratios):.2f} max {max(ratios):.2f})")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
