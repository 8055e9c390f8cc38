#!/usr/bin/env bash
# Writes tests/data/crs/tmerc_grid.csv: PROJ's Transverse Mercator (cct with
# +proj=tmerc, its exact Poder/Engsager algorithm) on a grid 0 to 6 degrees
# either side of the central meridian, latitudes 0 to 84 in both hemispheres,
# on WGS 84 and Airy 1830 (British National Grid's ellipsoid, with its scale
# factor and origin; column airy = 1), plus the western edge of that grid. Each row holds the
# forward result and PROJ's inverse of it. Run by hand; the tests only read
# the committed table. Needs: proj-bin (installed by tools/setup).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
file="$here/tests/data/crs/tmerc_grid.csv"
version=$(cct --version 2>&1 | head -1 || true)
{
  printf '# Reference values made by tools/tmerc_reference.sh; do not edit.\n'
  printf '# cct (%s) +proj=tmerc, forward and -I inverse of the forward result\n' "$version"
  echo "airy,lon,lat,x,y,ilon,ilat"
} >"$file"

declare -A systems=(
  [wgs84]="+proj=tmerc +lat_0=0 +lon_0=0 +k=0.9996 +x_0=500000 +y_0=0 +ellps=WGS84"
  [airy]="+proj=tmerc +lat_0=49 +lon_0=-2 +k=0.9996012717 +x_0=400000 +y_0=-100000 +ellps=airy"
)
declare -A cms=([wgs84]=0 [airy]=-2)

for sys in wgs84 airy; do
  cm=${cms[$sys]}
  pts=$(
    for lat in 0 1 5 10 20 30 40 45 50 55 60 65 70 75 80 84; do
      for s in 1 -1; do
        for d in 0 0.5 1 2 3 3.5 4 5 5.5 6 -3 -6; do
          awk -v c="$cm" -v d="$d" -v la="$lat" -v s="$s" \
            'BEGIN { if (s < 0 && la == 0) exit; printf "%.10g %.10g\n", c + d, s * la }'
        done
      done
    done
    # The western edge of Great Britain (St Kilda, the Outer Hebrides).
    if [ "$sys" = airy ]; then
      for p in "-8.65 57.8" "-8.6 56.8" "-7.7 56.9" "-7.5 58.5" "-6.2 49.9" "1.8 52.5"; do echo "$p"; done
    fi
  )
  fwd=$(echo "$pts" | awk '{print $1, $2, 0, 0}' | cct -d 6 ${systems[$sys]})
  inv=$(echo "$fwd" | awk '{print $1, $2, 0, 0}' | cct -d 12 -I ${systems[$sys]})
  paste -d' ' <(echo "$pts") <(echo "$fwd" | awk '{print $1, $2}') <(echo "$inv" | awk '{print $1, $2}') |
    awk -v sys="$sys" '{printf "%d,%s,%s,%s,%s,%s,%s\n", sys == "airy", $1, $2, $3, $4, $5, $6}' >>"$file"
done
