#!/bin/sh
# Makes image.jpg: 240 x 320 pixels, four horizontal bands 80 rows high
# (red, green, blue, yellow), band edges on 8-row block boundaries, no
# chroma subsampling.
set -e
cd "$(dirname "$0")"
python3 - > bands.ppm <<'PY'
import sys
colours = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0)]
out = sys.stdout.buffer
out.write(b"P6\n240 320\n255\n")
for y in range(320):
    out.write(bytes(colours[y // 80]) * 240)
PY
cjpeg -quality 100 -sample 1x1 -outfile image.jpg bands.ppm
rm bands.ppm
