#!/usr/bin/env bash
# Writes tests/data/gps/position_reference.txt: the UTM zone, easting and
# northing (to 0.1 m) and the MGRS reference (to 1 m) of the points the
# position window tests show, on WGS 1984 with GeographicLib's GeoConvert
# (-u, -m) and on the International 1924 ellipsoid (the European 1950 map)
# with PROJ's cs2cs, which GeoConvert cannot do. Run by hand.
# Needs: geographiclib-tools and proj-bin (installed by tools/setup).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
file="$here/tests/data/gps/position_reference.txt"
version=$(GeoConvert --version 2>&1 | head -1)

# lat lon: north, south, and both sides of the 12 degree zone edge.
points="47.3 8.5
-33.9 18.4
50.0 11.99999
50.0 12.00001"

{
  printf '# Reference values made by tools/position_reference.sh; do not edit.\n'
  printf '# %s -u -p 1 and -m -p 0; cs2cs +ellps=intl for "intl" rows.\n' "$version"
  printf '# ellipsoid lat lon zone hemisphere easting northing mgrs\n'
  while read -r la lo; do
    read -r zh e n <<<"$(echo "$la $lo" | GeoConvert -u -p 1)"
    m=$(echo "$la $lo" | GeoConvert -m -p 0)
    printf 'wgs84 %s %s %d %s %s %s %s\n' "$la" "$lo" "$((10#${zh%[ns]}))" "${zh: -1}" "$e" "$n" "$m"
    zone=$((10#${zh%[ns]}))
    south=""; [ "${zh: -1}" = s ] && south="+south"
    read -r ie in _ <<<"$(echo "$lo $la" | cs2cs -f '%.1f' +proj=longlat +ellps=intl +to +proj=utm +zone=$zone $south +ellps=intl)"
    printf 'intl %s %s %d %s %s %s -\n' "$la" "$lo" "$zone" "${zh: -1}" "$ie" "$in"
  done <<<"$points"
} >"$file"
