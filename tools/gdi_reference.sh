#!/usr/bin/env bash
# Makes the reference picture of the shapefile drawing's oracle test, once: a
# window of the public blockgroups shapefile burned by gdal_rasterize (pixel
# centres inside, no all-touched) as rows of '.' and '#'.
#   tools/gdi_reference.sh [fixtures folder]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
fixtures=${1:-$here/../shared/fixtures/shapefiles}
out=$here/tests/data/gdi
te="-122.47 37.70 -122.39 37.80"
size="240 300"
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
gdal_rasterize -q -burn 1 -init 0 -ts $size -te $te -ot Byte -of GTiff \
  "$fixtures/blockgroups.shp" "$tmp/ref.tif"
gdal_translate -q -of AAIGrid "$tmp/ref.tif" "$tmp/ref.asc"
# AAIGrid: header lines (names first), then rows of numbers, top row first.
grep -v '^[a-zA-Z]' "$tmp/ref.asc" | sed 's/^ *//; s/ *$//; s/ //g; s/0/./g; s/1/#/g' > "$out/blockgroups_window.txt"
{
  echo "# te $te"
  echo "# ts $size"
  echo "# made by tools/gdi_reference.sh with $(gdal_rasterize --version | head -1)"
} > "$out/blockgroups_window.info"
