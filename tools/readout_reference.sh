#!/usr/bin/env bash
# Writes tests/data/map/readout_reference.csv: what the map view's status
# read-out must show for positions on the map, from independent tools:
# GeoConvert (GeographicLib) for degrees-minutes-seconds, UTM and MGRS on
# WGS 1984, cs2cs (PROJ) for UTM on the International 1924 ellipsoid (a map
# on ED 1950), GeodSolve for distance and azimuth. Seconds, eastings and
# northings truncated, as the read-out shows them. Run by hand.
# Needs: geographiclib-tools, proj-bin (installed by tools/setup).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$here/tests/data/map"
file="$here/tests/data/map/readout_reference.csv"
version=$(GeoConvert --version 2>&1 | head -1)

# lat lon: both hemispheres on both sides of Greenwich, seconds and metres
# well away from a whole number.
points="50.123456 9.876543
-33.45678 -70.66543
12.34321 -171.1234
-45.87654 165.4321
64.5432 11.2345
0.123 3.0123
-1.2345 -1.5432
71.0987 -147.6543"

trunc() { awk -v v="$1" 'BEGIN{ printf "%d", (v < 0 ? -int(-v) : int(v)) }'; }

{
  printf '# Reference values made by tools/readout_reference.sh; do not edit.\n'
  printf '# %s; cs2cs (%s); kind,lat,lon,text\n' "$version" "$(cs2cs 2>&1 | head -1)"
  echo "kind,lat,lon,lat2,lon2,text"
  while read -r la lo; do
    # DMS: GeoConvert's seconds to 0.001, truncated to whole seconds.
    read -r dla dlo <<<"$(echo "$la $lo" | GeoConvert -: -p 3)"
    fmt() {  # dd:mm:ss.sssH -> d°m's"H
      local v=$1 h=${1: -1}
      IFS=: read -r d m s <<<"${v%?}"
      printf '%d°%d'"'"'%d"%s' "$((10#$d))" "$((10#$m))" "$((10#${s%%.*}))" "$h"
    }
    printf 'dms,%s,%s,,,%s %s\n' "$la" "$lo" "$(fmt "$dla")" "$(fmt "$dlo")"
    # UTM in the standard zone.
    zone=$(awk -v lo="$lo" 'BEGIN{ z = int((lo + 180) / 6) + 1; if (z > 60) z = 60; print z }')
    read -r zh e n <<<"$(echo "$la $lo" | GeoConvert -u -p 3 -z "$zone")"
    hemi=$(echo "${zh: -1}" | tr 'ns' 'NS')
    printf 'utm,%s,%s,,,%s %s %d%s\n' "$la" "$lo" "$(trunc "$e")" "$(trunc "$n")" "$zone" "$hemi"
    printf 'mgrs,%s,%s,,,%s\n' "$la" "$lo" "$(echo "$la $lo" | GeoConvert -m -p 0 -z "$zone")"
    # UTM on the International 1924 ellipsoid, south of the equator with the
    # false northing.
    south=""; [ "$hemi" = S ] && south="+south"
    read -r e n _ <<<"$(echo "$lo $la" | cs2cs -f '%.4f' +proj=longlat +ellps=intl +no_defs +to +proj=utm +zone="$zone" $south +ellps=intl +no_defs)"
    printf 'utm-intl,%s,%s,,,%s %s %d%s\n' "$la" "$lo" "$(trunc "$e")" "$(trunc "$n")" "$zone" "$hemi"
  done <<<"$points"
  # Distance (metres, one decimal) and forward azimuth (whole degrees)
  # between pairs a few hundred metres apart, as "%3.0f° %.1fm".
  while read -r la1 lo1 la2 lo2; do
    read -r azi1 _ s12 <<<"$(echo "$la1 $lo1 $la2 $lo2" | GeodSolve -i -p 6)"
    az=$(awk -v a="$azi1" 'BEGIN{ if (a <= 0) a += 360; printf "%3.0f", a }')
    printf 'distance,%s,%s,%s,%s,%s° %.1fm\n' "$la1" "$lo1" "$la2" "$lo2" "$az" "$s12"
  done <<<"50.9 9.1 50.896 9.103
-33.2 -70.3 -33.204 -70.299
0.5 3.5 0.5 3.502
10.1 10.1 10.103 10.1"
} >"$file"
