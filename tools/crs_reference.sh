#!/usr/bin/env bash
# Writes the reference tables of tests/data/crs/ from independent tools:
# cs2cs and cct (PROJ) and GeoConvert (GeographicLib). Run by hand when a
# table is added; the tests only read the committed CSV files.
# Needs: proj-bin geographiclib-tools (installed by tools/setup).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/tests/data/crs"
mkdir -p "$out"
proj_version=$(cs2cs 2>&1 | head -1)
geo_version=$(GeoConvert --version 2>&1 | head -1)

# header FILE ORACLE-TEXT
header() {
  printf '# Reference values made by tools/crs_reference.sh; do not edit.\n' >"$1"
  printf '# %s\n' "$2" >>"$1"
}

# grid "lon1 lon2 ..." "lat1 lat2 ...": every lon with every lat, "lon lat" per line.
grid() {
  local lo la
  for la in $2; do for lo in $1; do echo "$lo $la"; done; done
}

# fwd NAME ELLPS 'PROJ-STRING' < "lon lat" lines
# Geographic on ELLPS to the projection; columns lon,lat,x,y.
fwd() {
  local name=$1 ellps=$2 proj=$3 file="$out/$1.csv"
  header "$file" "cs2cs ($proj_version): +proj=longlat $ellps +to $proj"
  echo "lon,lat,x,y" >>"$file"
  local pts; pts=$(cat)
  paste -d' ' <(echo "$pts") <(echo "$pts" | cs2cs +proj=longlat $ellps +to $proj -f %.9f) |
    awk '{printf "%s,%s,%s,%s\n", $1, $2, $3, $4}' >>"$file"
}

# Transverse Mercator / UTM: on the central meridian, +-1.5, +-3 and +-6 degrees
# (6 is outside the zone: the series' limit is measured there), lat 0..84.
grid "9 7.5 10.5 6 12 3 15" "0 0.5 10 30 48 60 80 84" |
  fwd tmerc_utm32n "+ellps=WGS84" "+proj=utm +zone=32 +ellps=WGS84"
grid "15 13.5 16.5 12 18 9 21" "-0.5 -10 -30 -48 -60 -80" |
  fwd tmerc_utm33s "+ellps=WGS84" "+proj=utm +zone=33 +south +ellps=WGS84"
# Gauss-Kruger strip on Bessel 1841, 3rd strip.
grid "9 8 10 7.5 10.5" "47 50 54" |
  fwd tmerc_gk3_bessel "+ellps=bessel" "+proj=tmerc +lat_0=0 +lon_0=9 +k=1 +x_0=3500000 +y_0=0 +ellps=bessel"
# A feet-based system: Arizona Central (state plane, TM) in US survey feet.
grid "-111.9166667 -112.5 -111 -110.5" "31 33.5 36" |
  fwd tmerc_us_feet "+ellps=GRS80" "+proj=tmerc +lat_0=31 +lon_0=-111.9166666666667 +k=0.9999 +x_0=213360 +y_0=0 +ellps=GRS80 +units=us-ft"
# New Zealand Transverse Mercator across the antimeridian (Chatham Islands at
# -176.5: 10.5 degrees from the central meridian).
printf '%s\n' "173 -41" "174.8 -36.9" "168.3 -46.4" "178.5 -37.7" "-176.5 -44" "-176.2 -43.8" "179.9 -40" "-179.9 -40" |
  fwd tmerc_nztm "+ellps=GRS80" "+proj=tmerc +lat_0=0 +lon_0=173 +k=0.9996 +x_0=1600000 +y_0=10000000 +ellps=GRS80"

# GeographicLib's exact Transverse Mercator for the same UTM points.
file="$out/tmerc_utm_geoconvert.csv"
header "$file" "GeoConvert ($geo_version) -u -z ZONE -p 6, zones 32n and 33s"
echo "zone,lon,lat,x,y" >>"$file"
for zl in "32n:9 7.5 10.5 6 12:0 10 48 80 84" "33s:15 13.5 16.5 12 18:-10 -30 -60 -80"; do
  IFS=: read -r zone lons lats <<<"$zl"
  grid "$lons" "$lats" | while read -r lo la; do
    r=$(echo "$la $lo" | GeoConvert -u -z "$zone" -p 6)
    set -- $r
    z=${zone%?}; [ "${zone: -1}" = s ] && z=-$z
    echo "$z,$lo,$la,$2,$3"
  done >>"$file"
done

# Polar stereographic (UPS) and south polar with central meridian 10.
grid "0 45 90 135 180 -45 -90 -135" "84 87 89.9 90" |
  fwd stere_ups_north "+ellps=WGS84" "+proj=ups +ellps=WGS84"
grid "0 45 90 135 180 -45 -90 -135" "-80 -85 -89.9 -90" |
  fwd stere_ups_south "+ellps=WGS84" "+proj=ups +south +ellps=WGS84"
grid "10 55 100 -35 -80 -170" "-60 -75 -89" |
  fwd stere_south_cm10 "+ellps=WGS84" "+proj=stere +lat_0=-90 +lon_0=10 +k=0.994 +x_0=0 +y_0=0 +ellps=WGS84"
# Oblique (latitude of origin 70) including points more than 90 degrees from
# the central meridian, and equatorial.
grid "0 20 -30 60 -90 120 150 180 -120" "60 70 80 89" |
  fwd stere_oblique70 "+ellps=WGS84" "+proj=stere +lat_0=70 +lon_0=0 +k=1 +x_0=0 +y_0=0 +ellps=WGS84"
grid "30 0 60 -10 80 110" "0 -30 30 -60 60" |
  fwd stere_equatorial "+ellps=WGS84" "+proj=stere +lat_0=0 +lon_0=30 +k=1 +x_0=0 +y_0=0 +ellps=WGS84"
# Double stereographic: the Netherlands grid (RD), Bessel 1841.
grid "3.4 5.38763888888889 6 7.2" "50.8 52.15616055555555 53 53.5" |
  fwd sterea_rd "+ellps=bessel" "+proj=sterea +lat_0=52.15616055555555 +lon_0=5.38763888888889 +k=0.9999079 +x_0=155000 +y_0=463000 +ellps=bessel"
# Southern hemisphere double stereographic (New Brunswick style, mirrored).
grid "-66.5 -64 -68" "-44 -46.5 -48" |
  fwd sterea_south "+ellps=GRS80" "+proj=sterea +lat_0=-46.5 +lon_0=-66.5 +k=0.999912 +x_0=2500000 +y_0=7500000 +ellps=GRS80"

# Cylindrical equal-area: standard parallel 0 and 30, latitudes up to 89.99.
grid "0 45 -120 179.5" "0 -20 45 -70 89 89.9 89.99" |
  fwd cea_ts0 "+ellps=WGS84" "+proj=cea +lat_ts=0 +lon_0=0 +ellps=WGS84"
grid "-75 10 100 -179" "0 30 -60 85 -89.5 89.99" |
  fwd cea_ts30 "+ellps=WGS84" "+proj=cea +lat_ts=30 +lon_0=-75 +ellps=WGS84"

# New Zealand Map Grid over 166..178.5 E, 34.5..47 S.
grid "166 168.5 171 173 175.5 178.5" "-34.5 -37 -41 -44 -47" |
  fwd nzmg "+ellps=intl" "+proj=nzmg +lat_0=-41 +lon_0=173 +x_0=2510000 +y_0=6023150 +ellps=intl"

# Lambert conformal conic: Snyder's Clarke 1866 example, WGS 84 over lat
# 20..70, a southern cone, a state plane in US feet.
grid "-75 -96 -80 -100 -120" "35 23 50" |
  fwd lcc_snyder "+ellps=clrk66" "+proj=lcc +lat_1=33 +lat_2=45 +lat_0=23 +lon_0=-96 +x_0=0 +y_0=0 +ellps=clrk66"
grid "-100 -96 -90 -80" "20 35 50 70" |
  fwd lcc_wgs84 "+ellps=WGS84" "+proj=lcc +lat_1=33 +lat_2=45 +lat_0=23 +lon_0=-96 +x_0=0 +y_0=0 +ellps=WGS84"
grid "134 112 154 125" "-10 -25 -40 -44" |
  fwd lcc_south "+ellps=GRS80" "+proj=lcc +lat_1=-18 +lat_2=-36 +lat_0=0 +lon_0=134 +x_0=0 +y_0=0 +ellps=GRS80"
grid "-98.5 -100 -97" "29.7 31 32.5" |
  fwd lcc_us_feet "+ellps=GRS80" "+proj=lcc +lat_1=31.88333333333333 +lat_2=30.11666666666667 +lat_0=29.66666666666667 +lon_0=-100.3333333333333 +x_0=700000 +y_0=3000000 +ellps=GRS80 +units=us-ft"

# Albers: Snyder's Clarke 1866 example, WGS 84 up to 85, and Alaska (EPSG:3338)
# with the Aleutians west of 180.
grid "-75 -96 -120 -70" "35 23 50 20 85" |
  fwd aea_snyder "+ellps=clrk66" "+proj=aea +lat_1=29.5 +lat_2=45.5 +lat_0=23 +lon_0=-96 +x_0=0 +y_0=0 +ellps=clrk66"
grid "-154 -170 -141 -130" "52 60 66 71" |
  fwd aea_alaska "+ellps=GRS80" "+proj=aea +lat_1=55 +lat_2=65 +lat_0=50 +lon_0=-154 +x_0=0 +y_0=0 +ellps=GRS80"
printf '%s\n' "172.9 52.9" "179.9 51.8" "-179.9 51.8" "173.5 52.7" |
  fwd aea_alaska_antimeridian "+ellps=GRS80" "+proj=aea +lat_1=55 +lat_2=65 +lat_0=50 +lon_0=-154 +x_0=0 +y_0=0 +ellps=GRS80"

# Limits the two-parallel formulas cannot reach: tangent cones (equal
# standard parallels) and spheres.
grid "-96 -80 -110" "30 40 55" |
  fwd lcc_tangent40 "+ellps=WGS84" "+proj=lcc +lat_1=40 +lat_2=40 +lat_0=40 +lon_0=-96 +x_0=0 +y_0=0 +ellps=WGS84"
grid "-96 -80 -110" "30 40 55" |
  fwd aea_tangent40 "+ellps=WGS84" "+proj=aea +lat_1=40 +lat_2=40 +lat_0=40 +lon_0=-96 +x_0=0 +y_0=0 +ellps=WGS84"
grid "-96 -80 -110" "25 40 60" |
  fwd aea_sphere "+R=6371000" "+proj=aea +lat_1=29.5 +lat_2=45.5 +lat_0=23 +lon_0=-96 +x_0=0 +y_0=0 +R=6371000"
grid "0 45 -120" "0 -20 60 89.9" |
  fwd cea_sphere "+R=6371000" "+proj=cea +lat_ts=0 +lon_0=0 +R=6371000"
grid "10 55 -80 -170" "-60 -89" |
  fwd stere_sphere_south_cm10 "+R=6371000" "+proj=stere +lat_0=-90 +lon_0=10 +k=0.994 +x_0=0 +y_0=0 +R=6371000"
grid "0 20 150 -120" "60 70 85" |
  fwd stere_sphere_oblique70 "+R=6371000" "+proj=stere +lat_0=70 +lon_0=0 +k=1 +x_0=0 +y_0=0 +R=6371000"

# A prime meridian other than Greenwich (Paris, 2d20'14.025" E): longitudes
# in and out count from Greenwich, the system's own from Paris.
grid "2.33722917 2 5 -1.5" "43 48 51" |
  fwd tmerc_paris "+ellps=WGS84" "+proj=tmerc +lat_0=0 +lon_0=0 +pm=paris +k=1 +x_0=0 +y_0=0 +ellps=WGS84"
printf '%s\n' "2.33722917 48" "0 45" "-179 10" "179 -10" "180 0" |
  fwd longlat_paris "+ellps=WGS84" "+proj=longlat +pm=paris +ellps=WGS84"

# Geodetic -> geocentric on WGS 84; columns lon,lat,h,X,Y,Z.
file="$out/cart_wgs84.csv"
header "$file" "cct -d 9 +proj=cart +ellps=WGS84 ($proj_version)"
echo "lon,lat,h,X,Y,Z" >>"$file"
pts=$(for la in 0 12.5 45 60 89 89.9 -33.9; do for h in 0 2500 10000; do
  echo "$(awk -v a="$la" 'BEGIN{print ((a*7+13)%360+360)%360-180}') $la $h"; done; done)
paste -d' ' <(echo "$pts") <(echo "$pts" | awk '{print $1, $2, $3, 0}' | cct -d 9 +proj=cart +ellps=WGS84) |
  awk '{printf "%s,%s,%s,%s,%s,%s\n", $1, $2, $3, $4, $5, $6}' >>"$file"

# Unit factors of the registry (PROJ's proj.db, table unit_of_measure):
# metres per linear unit, radians per angular unit.
python3 - "$out/unit_factors.csv" <<'PY'
import sqlite3, sys
db = sqlite3.connect("/usr/share/proj/proj.db")
rows = db.execute("select cast(code as int), conv_factor from unit_of_measure "
                  "where auth_name = 'EPSG' and type in ('length', 'angle') "
                  "and conv_factor is not null and cast(code as int) between 9001 and 9114 order by 1").fetchall()
with open(sys.argv[1], "w") as f:
    f.write("# Reference values made by tools/crs_reference.sh; do not edit.\n")
    f.write("# proj.db unit_of_measure (EPSG), conv_factor to metre or radian\n")
    f.write("code,factor\n")
    for code, factor in rows:
        f.write("%d,%r\n" % (code, factor))
PY

echo "wrote $(ls "$out" | wc -l) tables to $out"
