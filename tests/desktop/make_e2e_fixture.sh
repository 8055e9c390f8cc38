#!/usr/bin/env bash
# Makes the end-to-end test's data beside a copy of e2e.dmap in DIR: the
# block groups with a geographic NAD 1983 .prj, a GeoPackage of places made
# with ogr2ogr, a colour photo and a grey one as JPEGs with world files, and
# the map's UTM 10N .prj.
#   make_e2e_fixture.sh SOURCE_DIR DIR
set -euo pipefail
src=$1 dir=$2
mkdir -p "$dir"
cd "$dir"
cp "$src/tests/desktop/e2e.dmap" .
for e in shp shx dbf; do cp "$src/tests/data/shape/blockgroups.$e" .; done
geo='GEOGCS["GCS_North_American_1983",DATUM["D_North_American_1983",SPHEROID["GRS_1980",6378137.0,298.257222101]],PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]]'
printf '%s' "$geo" > blockgroups.prj
printf 'PROJCS["NAD_1983_UTM_Zone_10N",%s,PROJECTION["Transverse_Mercator"],PARAMETER["False_Easting",500000.0],PARAMETER["False_Northing",0.0],PARAMETER["Central_Meridian",-123.0],PARAMETER["Scale_Factor",0.9996],PARAMETER["Latitude_Of_Origin",0.0],UNIT["Meter",1.0]]' "$geo" > utm10.prj

# Places: five in the map's extent, two outside it.
cat > places.csv <<'CSV'
NAME,POP,LON,LAT
Sunset,40000,-122.4900,37.7550
Twin Peaks,800,-122.4470,37.7520
Presidio,5000,-122.4660,37.7980
Mission,60000,-122.4190,37.7600
Excelsior,3000,-122.4300,37.7250
Oakland,400000,-122.2700,37.8040
Farallon,10,-123.0000,37.7000
CSV
cat > places.csvt <<'CSV'
"String(20)","Integer","Real","Real"
CSV
ogr2ogr -q -f GPKG places.gpkg places.csv -nln places -a_srs EPSG:4269 \
  -oo X_POSSIBLE_NAMES=LON -oo Y_POSSIBLE_NAMES=LAT -oo KEEP_GEOM_COLUMNS=NO
rm places.csv places.csvt

# The photos: 560 x 1280 pixels of 6.25 m from (539500, 4182500) down,
# smooth enough that a JPEG and a MrSID at 20:1 keep it well.
python3 - <<'PY'
w, h = 560, 1280
rows = bytearray()
for y in range(h):
    for x in range(w):
        rows += bytes(((x * 255) // (w - 1), (y * 255) // (h - 1), ((x + y) * 255) // (w + h - 2)))
open("coast.ppm", "wb").write(b"P6\n%d %d\n255\n" % (w, h) + bytes(rows))
PY
cjpeg -quality 95 coast.ppm > coast.jpg
cjpeg -quality 95 -grayscale coast.ppm > grey.jpg
rm coast.ppm
for n in coast grey; do
  printf '6.25\n0\n0\n-6.25\n539503.125\n4182496.875\n' > $n.jgw
done
