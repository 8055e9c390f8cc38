#!/usr/bin/env bash
# Writes tests/data/map/identify_coordinates.txt: the coordinate items the
# identify window shows for a geographic and a projected (UTM 33N, WGS 84)
# map, from GeographicLib's GeoConvert (DMS to the thousandth of a second, cut as the program cuts it, UTM to the
# millimetre, MGRS to the metre) and, for the projected map, PROJ's cs2cs
# back to geographic. Run by hand from the repository root.
# Needs: geographiclib-tools, proj-bin.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/tests/data/map/identify_coordinates.txt"

items() {  # lat lon
    local dms utm mgrs
    # To 0.0001", then cut (not rounded) to the thousandths the program
    # shows, without trailing zeros.
    dms=$(echo "$1 $2" | GeoConvert -d -p 3 | sed -E "s/d/°/g; s/(^| )0+([0-9])/\1\2/g;
        s/(\.[0-9]{3})[0-9]*\"/\1\"/g; s/(\.[0-9]*[1-9])0+\"/\1\"/g; s/\.0+\"/\"/g")
    utm=$(echo "$1 $2" | GeoConvert -u -p 3)
    mgrs=$(echo "$1 $2" | GeoConvert -m -p 0)
    set -- $dms $utm $mgrs
    local zone=${3%?} hemi=${3: -1}
    echo "Latitude=$1"
    echo "Longitude=$2"
    echo "UTM Easting=$4"
    echo "UTM Northing=$5"
    echo "UTM Zone=${zone}${hemi^^}"
    echo "MGRS=$6"
}

{
    echo "# The identify window's coordinate items (spaces after '=' and leading zeros of degrees dropped)."
    echo "# Written by tools/identify_reference.sh: $(GeoConvert --version 2>&1 | head -1);"
    echo "# $(cs2cs 2>&1 | head -1)."
    echo "map geographic 151.21 -33.14"
    items -33.14 151.21
    echo "map utm33n 900000 5000000"
    read -r lon lat _ < <(echo "900000 5000000" | cs2cs -f "%.12f" +proj=utm +zone=33 +datum=WGS84 \
        +to +proj=longlat +datum=WGS84)
    items "$lat" "$lon"
} > "$out"
