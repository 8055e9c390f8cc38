#!/usr/bin/env bash
# Writes the datum-shift reference tables tests/data/crs/datum_*.csv with
# PROJ's cct: forward (the datum to WGS 1984) and reverse (WGS 1984 to the
# datum, PROJ's exact inverse), with ellipsoidal heights through +proj=cart
# (cs2cs between two 2D systems drops the height change). Run by hand when a
# table is added; the tests only read the committed files.
# Needs: proj-bin (installed by tools/setup).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/tests/data/crs"
mkdir -p "$out"
proj_version=$(cct 2>&1 | head -1 || true)

# table NAME "PIPELINE STEP(S) between geographic radians" "lon lat h" lines on stdin
# Columns: lon,lat,h (on the datum), lon84,lat84,h84 (forward), and
# rlon,rlat,rh: the inverse applied to lon,lat,h read as WGS 1984.
table() {
  local name=$1 steps=$2 file="$out/datum_$1.csv"
  local pipe="+proj=pipeline +step +proj=unitconvert +xy_in=deg +xy_out=rad $steps +step +proj=unitconvert +xy_in=rad +xy_out=deg"
  printf '# Reference values made by tools/datum_reference.sh; do not edit.\n# cct %s\n' "$pipe" >"$file"
  echo "lon,lat,h,lon84,lat84,h84,rlon,rlat,rh" >>"$file"
  local pts; pts=$(cat)
  paste -d' ' <(echo "$pts") \
    <(echo "$pts" | awk '{print $1, $2, $3, 0}' | cct -d 11 $pipe) \
    <(echo "$pts" | awk '{print $1, $2, $3, 0}' | cct -I -d 11 $pipe) |
    awk '{printf "%s,%s,%s,%s,%s,%s,%s,%s,%s\n", $1,$2,$3,$4,$5,$6,$8,$9,$10}' >>"$file"
}

cart() { echo "+step +proj=cart +ellps=$1"; }
to84() { echo "+step +inv +proj=cart +ellps=WGS84"; }

us="-100 40 0
-75.5 38.25 -100
-122.3 47.6 5000
-90 30 250
-155.5 19.5 3000"
uk="-1.5 52.5 0
-5.7 50.1 120
-3.2 58.6 -100
1.75 51 5000"
eu="2.35 48.85 0
13.4 52.5 -100
-9.1 38.7 2500
24 60 500"

# Geocentric translation: NAD27 to WGS 84 (EPSG 1173) on Clarke 1866.
echo "$us" | table nad27_geocentric "$(cart clrk66) +step +proj=helmert +x=-8 +y=160 +z=176 $(to84)"
# Position vector: OSGB36 to WGS 84 (EPSG 1314) on Airy 1830.
echo "$uk" | table osgb36_position_vector "$(cart airy) +step +proj=helmert +x=446.448 +y=-125.157 +z=542.06 +rx=0.15 +ry=0.247 +rz=0.842 +s=-20.489 +convention=position_vector $(to84)"
# The same as coordinate frame: rotations negated.
echo "$uk" | table osgb36_coordinate_frame "$(cart airy) +step +proj=helmert +x=446.448 +y=-125.157 +z=542.06 +rx=-0.15 +ry=-0.247 +rz=-0.842 +s=-20.489 +convention=coordinate_frame $(to84)"
# Molodensky, full (not abridged): ED50 to WGS 84 on International 1924.
df=$(awk 'BEGIN{printf "%.17g", 1/298.257223563 - 1/297}')
echo "$eu" | table ed50_molodensky "+step +proj=molodensky +ellps=intl +da=-251 +df=$df +dx=-87 +dy=-98 +dz=-121"
