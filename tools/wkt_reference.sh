#!/usr/bin/env bash
# Writes the .prj fixture set tests/data/crs/prj/: each NAME.prj as GDAL's
# shapefile driver (ogr2ogr) or PROJ's projinfo writes it, and NAME.csv with
# points projected by PROJ (cct with the system's own PROJ string, so no datum
# shift is involved). Run by hand; the tests read the committed files.
# Needs: gdal-bin proj-bin (installed by tools/setup).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/tests/data/crs/prj"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'x,y\n1,2\n' >"$work/a.csv"
version="$(projinfo 2>&1 | head -1 || true); $(ogr2ogr --version)"

# prj NAME WRITER SOURCE "lon lat;lon lat;..."
prj() {
  local name=$1 writer=$2 src=$3 pts=$4
  case $writer in
    ogr2ogr)
      rm -f "$work"/out.*
      ogr2ogr "$work/out.shp" "$work/a.csv" -a_srs "$src"
      cp "$work/out.prj" "$out/$name.prj" ;;
    projinfo)
      projinfo -q -o WKT1_ESRI --single-line "$src" | tr -d '\n' >"$out/$name.prj" ;;
  esac
  local op; op=$(projinfo -q -o PROJ --single-line "$src" | sed -e 's/+type=crs//' -e 's/+towgs84=[^ ]*//' -e 's/+nadgrids=[^ ]*//')
  {
    printf '# Made by tools/wkt_reference.sh (%s); do not edit.\n' "$version"
    printf '# %s by %s; cct %s\n' "$src" "$writer" "$op"
    echo "lon,lat,x,y"
    tr ';' '\n' <<<"$pts" | while read -r lo la; do
      printf '%s,%s,' "$lo" "$la"
      echo "$lo $la 0 0" | cct -d 6 $op | awk '{printf "%s,%s\n", $1, $2}'
    done
  } >"$out/$name.csv"
}

prj wgs84_geographic ogr2ogr EPSG:4326 "10 50;-120.5 -33.25"
prj nad27_geographic projinfo EPSG:4267 "-100 40"
prj osgb36_geographic ogr2ogr EPSG:4277 "-2 54"
prj ed50_geographic projinfo EPSG:4230 "5 45"
prj utm11n_wgs84 ogr2ogr EPSG:32611 "-117 34;-119.5 40;-114.2 0.5"
prj utm33s_wgs84 projinfo EPSG:32733 "15 -10;13 -33;17.5 -0.5"
prj utm11n_nad27 ogr2ogr EPSG:26711 "-117 34;-118.5 36"
prj rd_new ogr2ogr EPSG:28992 "5.387 52.156;4.9 52.37;6.5 53.2"
prj lambert93 ogr2ogr EPSG:2154 "3 46.5;-1.5 48;7.5 43.7"
prj alaska_albers ogr2ogr EPSG:3338 "-154 50;-150 61.2;-135 58"
prj pulkovo_gk4 ogr2ogr EPSG:28404 "21 52;19.5 55"
prj dhdn_gk3 projinfo EPSG:31467 "9 50;8 48.5"
prj nztm projinfo EPSG:2193 "173 -41;174.8 -36.9;168.3 -46.4"
prj nzmg ogr2ogr EPSG:27200 "173 -41;174.8 -36.9;168.3 -46.4"
prj ca_v_us_feet ogr2ogr EPSG:2229 "-118 34;-117.2 35.3"
prj az_central_intl_feet projinfo EPSG:2223 "-111.9 33.5;-112.5 34.8"
prj british_national_grid ogr2ogr EPSG:27700 "-2 54;0.5 51.5;-5 58"
# Angles of a GEOGCS in grads: the parameters are written in grads, the prime
# meridian in degrees.
prj ntf_paris_lambert2 ogr2ogr EPSG:27572 "2.35 48.85;-1.5 47.2;7.75 48.6"
prj oblique_stereographic_intl ogr2ogr "+proj=stere +lat_0=45 +lon_0=10 +k=0.9999 +x_0=100 +y_0=200 +ellps=intl +units=m" "10 45;12 46;8.5 44"
prj cea45_wgs84 ogr2ogr "+proj=cea +lat_ts=45 +lon_0=20 +datum=WGS84 +units=m" "20 0;35 60;-10 -45"
prj new_brunswick_stereographic projinfo EPSG:2953 "-66.5 46.5;-64.8 47.5;-67.5 45.3"
# Universal Polar Stereographic as "Polar_Stereographic" at the poles.
prj ups_north projinfo EPSG:32661 "0 85;45 70;-120 88;180 62"
prj ups_south projinfo EPSG:32761 "0 -85;45 -70;-120 -88;180 -62"
# Systems read as the unknown projection (identity).
prj web_mercator ogr2ogr EPSG:3857 "10 50"
prj etrs_laea ogr2ogr EPSG:3035 "10 52"
prj antarctic_polar_stereographic projinfo EPSG:3031 "0 -80"
# This GDAL names every cylindrical equal-area "Behrmann", whatever its
# parallel; the other writers' name for it is Cylindrical_Equal_Area.
sed 's/"Behrmann"/"Cylindrical_Equal_Area"/' "$out/cea45_wgs84.prj" >"$out/cea45_wgs84_named.prj"
cp "$out/cea45_wgs84.csv" "$out/cea45_wgs84_named.csv"
