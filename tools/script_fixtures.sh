#!/usr/bin/env bash
# Writes the small shapefiles of tests/data/script with ogr2ogr, so the
# script objects are read against files another tool wrote. Run by hand;
# the tests read the committed files. Needs: gdal-bin.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/tests/data/script"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"
cat >"$tmp/lines.csv" <<'CSV'
WKT,NAME
"MULTILINESTRING ZM ((0 0 1 10,3 4 2 11,6 0 3 12),(10 10 4 20,10 13 5 21))",two parts
CSV
cat >"$tmp/polys.csv" <<'CSV'
WKT,NAME
"POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2))",holed
CSV
ogr2ogr -f "ESRI Shapefile" "$out/lines.shp" "$tmp/lines.csv" -oo GEOM_POSSIBLE_NAMES=WKT \
  -oo KEEP_GEOM_COLUMNS=NO -nlt MULTILINESTRINGZM
ogr2ogr -f "ESRI Shapefile" "$out/polys.shp" "$tmp/polys.csv" -oo GEOM_POSSIBLE_NAMES=WKT \
  -oo KEEP_GEOM_COLUMNS=NO -nlt POLYGON
rm -f "$out"/*.prj "$out"/*.cpg
