#!/usr/bin/env bash
# Writes tests/data/crs/geodesic_geodsolve.csv (GeodSolve -i on WGS 1984:
# distance and the azimuths at both ends, 150 m to 12 000 km, arcs over 90
# degrees included) and area_planimeter.csv (Planimeter -R: rings of rhumb
# lines, so a cell of meridians and parallels is measured exactly). Run by
# hand; the tests read the committed files.
# Needs: geographiclib-tools and proj-bin (installed by tools/setup).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/tests/data/crs"
version=$(GeodSolve --version 2>&1 | head -1)

file="$out/geodesic_geodsolve.csv"
{
  printf '# Reference values made by tools/measure_reference.sh; do not edit.\n'
  printf '# GeodSolve -i -p 9 (%s), WGS 1984; azi2 is the azimuth of travel at point 2\n' "$version"
  echo "lon1,lat1,lon2,lat2,s12,azi1,azi2"
  while read -r lo1 la1 lo2 la2; do
    r=$(echo "$la1 $lo1 $la2 $lo2" | GeodSolve -i -p 9)
    read -r azi1 azi2 s12 <<<"$r"
    echo "$lo1,$la1,$lo2,$la2,$s12,$azi1,$azi2"
  done <<'PTS'
10 50 10.001 50.001
-117.1 34.2 -117.1 34.21
0 0 0.0013 0
151.2 -33.9 151.3 -33.8
2.35 48.85 13.4 52.5
-74 40.7 -0.1 51.5
-122.4 37.8 139.7 35.7
0 0 100 0
0 10 120 -10
18.4 -33.9 -43.2 -22.9
174.8 -36.8 -3.7 40.4
0 0 0 -89
179.5 10 -179.5 -10
-70 -60 40 -50
10 60 -150 40
PTS
} >"$file"

file="$out/area_planimeter.csv"
{
  printf '# Reference values made by tools/measure_reference.sh; do not edit.\n'
  printf '# Planimeter -R (%s), WGS 1984: cells lon0..lon1 x lat0..lat1, area in m^2\n' "$version"
  echo "lon0,lat0,lon1,lat1,area"
  while read -r lo0 la0 lo1 la1; do
    a=$(printf '%s %s\n%s %s\n%s %s\n%s %s\n' "$la0" "$lo0" "$la1" "$lo0" "$la1" "$lo1" "$la0" "$lo1" |
      Planimeter -R -p 6 | awk '{printf "%.3f\n", ($3 < 0 ? -$3 : $3)}')
    echo "$lo0,$la0,$lo1,$la1,$a"
  done <<'CELLS'
10 50 11 51
-1 -1 0 0
100 70 101 71
-60 -30 -59 -29
5 45 5.01 45.01
179.5 10 -179.5 11
179 -60 -178 -58
0 0 10 10
4 4 6 6
CELLS
} >"$file"

# Polylines as the measure tool takes them on a geographic map: the length
# along (Planimeter -l), the area and perimeter of the ring that closes them
# (Planimeter), the same ring's area with straight edges in the cylindrical
# equal-area projection (proj +proj=cea, shoelace), and the direct distance and
# forward azimuth from the first point to the last (GeodSolve -i). Vertices
# "lon lat" joined by ";".
file="$out/polyline_geodesic.csv"
{
  printf '# Reference values made by tools/measure_reference.sh; do not edit.\n'
  printf '# Planimeter and GeodSolve -i (%s), WGS 1984; lengths in m, area in m^2\n' "$version"
  echo "points,length,perimeter,area,cea_area,direct,azimuth"
  while read -r pts; do
    lines=$(echo "$pts" | tr ';' '\n' | awk '{print $2, $1}')
    len=$(echo "$lines" | Planimeter -l -p 6 | awk '{print $2}')
    read -r per area <<<"$(echo "$lines" | Planimeter -p 9 | awk '{a = $3 < 0 ? -$3 : $3; printf "%s %.4f\n", $2, a}')"
    cea=$(echo "$pts" | tr ';' '\n' | proj +proj=cea +ellps=WGS84 -f %.6f |
      awk '{x[NR] = $1; y[NR] = $2} END {for (i = 1; i <= NR; i++) {j = i % NR + 1; a += x[i] * y[j] - x[j] * y[i]}
            printf "%.4f\n", (a < 0 ? -a : a) / 2}')
    first=$(echo "$lines" | head -1); last=$(echo "$lines" | tail -1)
    read -r azi1 _ s12 <<<"$(echo "$first $last" | GeodSolve -i -p 9)"
    echo "$pts,$len,$per,$area,$cea,$s12,$azi1"
  done <<'LINES'
10 50;10.01 50;10.01 50.01;10.02 50.015
151.2 -33.9;151.21 -33.905;151.215 -33.89
-60 -0.005;-59.995 0.005;-59.99 -0.002;-59.985 0.001
-122.42 37.77;-122.40 37.79;-122.38 37.78
LINES
} >"$file"
