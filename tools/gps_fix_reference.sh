#!/usr/bin/env bash
# Writes tests/data/gps/fix_pipeline.csv, the reference of the receiver's fix
# pipeline: receiver datum -> WGS 1984 -> map datum -> map projection, with
# PROJ's cct (heights through +proj=cart) and, for UTM on WGS 1984,
# GeoConvert. Run by hand when the table changes; the tests read the file.
# Needs: proj-bin and geographiclib-tools (installed by tools/setup).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/tests/data/gps/fix_pipeline.csv"

deg_in="+step +proj=unitconvert +xy_in=deg +xy_out=rad"
deg_out="+step +proj=unitconvert +xy_in=rad +xy_out=deg"
# OSGB36 to WGS 84 (EPSG 1314), position vector, on Airy 1830.
osgb_to84="+proj=pipeline $deg_in +step +proj=cart +ellps=airy +step +proj=helmert +x=446.448 +y=-125.157 +z=542.06 +rx=0.15 +ry=0.247 +rz=0.842 +s=-20.489 +convention=position_vector +step +inv +proj=cart +ellps=WGS84 $deg_out"
# WGS 84 to NAD27 (EPSG 1173 reversed: a translation, exact both ways) on Clarke 1866.
to_nad27="+proj=pipeline $deg_in +step +proj=cart +ellps=WGS84 +step +proj=helmert +x=8 +y=-160 +z=-176 +step +inv +proj=cart +ellps=clrk66 $deg_out"

points="-1.5 52.5 0
-5.7 50.1 120
-3.2 58.6 5000
-0.5 51.3 -100"

{
  echo "# Reference values made by tools/gps_fix_reference.sh; do not edit."
  echo "# receiver 0 WGS 1984, 1 OSGB36 (position vector); map 0 WGS 1984, 1 NAD27 (translation);"
  echo "# utm 0 geographic, 1 UTM zone 30 on the map datum's ellipsoid; useheight 0 shifts at height 0."
  echo "receiver,map,utm,useheight,lon,lat,h,wlon,wlat,wh,dlon,dlat,x,y"
  for receiver in 0 1; do for map in 0 1; do for utm in 0 1; do for useheight in 0 1; do
    echo "$points" | while read -r lon lat h; do
      sh=$h; [ "$useheight" = 1 ] || sh=0
      if [ "$receiver" = 1 ]; then
        read -r wlon wlat wh _ < <(echo "$lon $lat $sh 0" | cct -d 12 $osgb_to84)
        [ "$useheight" = 1 ] || wh=$h
      else
        wlon=$lon; wlat=$lat; wh=$h
      fi
      if [ "$map" = 1 ]; then
        dh=$wh; [ "$useheight" = 1 ] || dh=0
        read -r dlon dlat _ _ < <(echo "$wlon $wlat $dh 0" | cct -d 12 $to_nad27)
        ellps=clrk66
      else
        dlon=$wlon; dlat=$wlat; ellps=WGS84
      fi
      if [ "$utm" = 1 ]; then
        if [ "$map" = 0 ]; then
          read -r _ x y < <(echo "$dlat $dlon" | GeoConvert -u -p 6)
        else
          read -r x y _ < <(echo "$dlon $dlat 0 0" | cct -d 6 +proj=pipeline $deg_in +step +proj=utm +zone=30 +ellps=$ellps)
        fi
      else
        x=$dlon; y=$dlat
      fi
      echo "$receiver,$map,$utm,$useheight,$lon,$lat,$h,$wlon,$wlat,$wh,$dlon,$dlat,$x,$y"
    done
  done; done; done; done
} >"$out"
