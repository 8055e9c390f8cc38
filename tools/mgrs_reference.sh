#!/usr/bin/env bash
# Writes tests/data/crs/mgrs_geoconvert.csv and dms_geoconvert.csv with
# GeographicLib's GeoConvert: MGRS to 1 m in the standard UTM zone (-z ZONE,
# so the Norway and Svalbard exceptions, which the program does not make,
# are not applied), and DMS to thousandths of a second. Run by hand.
# Needs: geographiclib-tools (installed by tools/setup).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/tests/data/crs"
version=$(GeoConvert --version 2>&1 | head -1)

# lat lon: both hemispheres, the six zone sets, band and zone edges. Not
# longitude 0: on that zone edge the program takes the zone to the west (30),
# GeoConvert the one to the east (31); both are right for a point on the edge.
points="50 9
-33 -70.5
0 3
-0.0001 30.7
-0.0001 3
0 -177
12.5 -171
-45 -165.5
30 -159
-60 -153
71.9 -147
84 20
83.9999 -179.9
-80 -170
-79.9999 100
8 12
-8 12
56 5
64 11.9
72 0.5
40 -0.0001
40 6
0 -180
-1 179.9999
47.3 8.5
-34.6 -58.4
21.3 -157.8
-54.8 -68.3
63.7 -19"

file="$out/mgrs_geoconvert.csv"
{
  printf '# Reference values made by tools/mgrs_reference.sh; do not edit.\n'
  printf '# GeoConvert (%s) -m -p 0 -z ZONE; the MGRS text as zone,band,e100k,n100k,e,n\n' "$version"
  echo "lat,lon,zone,band,col,row,e,n"
  while read -r la lo; do
    zone=$(awk -v lo="$lo" 'BEGIN{ if (lo >= 180) lo -= 360; z = int((lo + 180) / 6) + 1; if (z > 60) z = 60; print z }')
    m=$(echo "$la $lo" | GeoConvert -m -p 0 -z "$zone")
    # 15 characters: ZZ B C R EEEEE NNNNN; letters as their codes.
    printf '%s,%s,%d,%d,%d,%d,%d,%d\n' "$la" "$lo" "$((10#${m:0:2}))" "'${m:2:1}" "'${m:3:1}" "'${m:4:1}" "$((10#${m:5:5}))" "$((10#${m:10:5}))"
  done <<<"$points"
} >"$file"

file="$out/dms_geoconvert.csv"
{
  printf '# Reference values made by tools/mgrs_reference.sh; do not edit.\n'
  printf '# GeoConvert (%s) -: -p 2: degrees, minutes, seconds (to 0.001 s) and the sign\n' "$version"
  echo "value,deg,min,sec,sign"
  for v in 12.3456789 -117.5 45.25 0.0000001 -0.0001 89.99999999 -179.9999999 33.33333333 59.99999 1.000000139; do
    r=$(echo "0 $v" | GeoConvert -: -p 2 | awk '{print $2}')
    sign=1; case $r in *W) sign=-1;; esac
    IFS=: read -r d m s <<<"${r%[EW]}"
    printf '%s,%d,%d,%s,%d\n' "$v" "$((10#$d))" "$((10#$m))" "$s" "$sign"
  done
} >"$file"
