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

# The shapefile layer's drawing against gdal_rasterize: each public shapefile
# at its full extent and at a zoomed window (the middle tenth, so shapes reach
# far outside the picture), 120 x 90 pixels, as rows of '.' and '#'.
layer_out=$here/tests/data/shape_layer
mkdir -p "$layer_out"
for name in blockgroups balancing NullTest linez multipoint releaseArea20090407; do
  shp=$fixtures/$name.shp
  read -r xmin ymin xmax ymax < <(ogrinfo -ro -so -al "$shp" | sed -n 's/^Extent: (\(.*\), \(.*\)) - (\(.*\), \(.*\))$/\1 \2 \3 \4/p')
  for view in full zoom; do
    if [ $view = full ]; then
      te="$xmin $ymin $xmax $ymax"
    else
      te=$(awk -v a="$xmin" -v b="$ymin" -v c="$xmax" -v d="$ymax" 'BEGIN {
        w = (c - a) / 10; h = (d - b) / 10; x = (a + c) / 2; y = (b + d) / 2;
        printf "%.10f %.10f %.10f %.10f", x - w / 2, y - h / 2, x + w / 2, y + h / 2 }')
    fi
    gdal_rasterize -q -burn 1 -init 0 -ts 120 90 -te $te -ot Byte -of GTiff "$shp" "$tmp/l.tif"
    gdal_translate -q -of AAIGrid "$tmp/l.tif" "$tmp/l.asc" 2>/dev/null
    {
      echo "# te $te"
      echo "# ts 120 90"
      grep -v '^[a-zA-Z]' "$tmp/l.asc" | sed 's/^ *//; s/ *$//; s/ //g; s/0/./g; s/1/#/g'
    } > "$layer_out/${name}_$view.txt"
  done
done
