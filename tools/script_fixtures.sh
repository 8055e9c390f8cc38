#!/usr/bin/env bash
# Writes the small shapefiles of tests/data/script with ogr2ogr, so the
# script objects are read against files another tool wrote. Run by hand;
# the tests read the committed files. Needs: gdal-bin.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/tests/data/script"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"
cat >"$tmp/lines.csv" <<'CSV'
WKT,NAME
"MULTILINESTRING ZM ((0 0 1 10,3 4 2 11,6 0 3 12),(10 10 4 20,10 13 5 21))",two parts
CSV
cat >"$tmp/polys.csv" <<'CSV'
WKT,NAME
"POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2))",holed
CSV
ogr2ogr -f "ESRI Shapefile" "$out/lines.shp" "$tmp/lines.csv" -oo GEOM_POSSIBLE_NAMES=WKT \
  -oo KEEP_GEOM_COLUMNS=NO -nlt MULTILINESTRINGZM
ogr2ogr -f "ESRI Shapefile" "$out/polys.shp" "$tmp/polys.csv" -oo GEOM_POSSIBLE_NAMES=WKT \
  -oo KEEP_GEOM_COLUMNS=NO -nlt POLYGON
# Twenty points with text, integer, real and date fields and some empty
# values, for the record searches; the expected answers of the tests were
# derived once with ogrinfo -where and -spat on this file.
cat >"$tmp/find20.csv" <<'CSV'
X,Y,NAME,N,R,POP,D
1,1,"Alpha",5,1.0,6000,2020/01/02
2,2,"[Bravo]",12,0.0,100,
3,3,"Charlie",0,2.5,5001,2019/12/31
4,4,"Delta",7,,5000,2021/06/15
5,5,"Echo",5,1.0,12000,
6,1,"Fox [trot]",,0.5,,2020/02/29
7,2,"Golf",3,-1.0,70000,2018/07/04
8,3,"Hotel",20,3.0,300,
9,4,"",1,0.0,8000,2022/11/11
10,5,"India",5,1.0,4999,2020/01/02
11,1,"Juliet",9,,5500,
12,2,"Kilo",,7.25,0,2017/03/03
13,3,"Lima",2,1.0,250000,2016/05/05
14,4,"Mike",14,0.0,1,
15,5,"November",5,2.0,6000,2015/10/10
16,1,"Oscar",6,1.0,,2014/08/08
17,2,"Papa",8,4.5,7000,
18,3,"Quebec",0,0.0,5001,2013/09/09
19,4,"Romeo",11,1.0,10,2012/12/12
20,5,"Sierra",4,9.0,90000,2011/01/01
CSV
echo '"Real","Real","String(20)","Integer","Real","Integer","Date"' >"$tmp/find20.csvt"
ogr2ogr -f "ESRI Shapefile" "$out/find20.shp" "$tmp/find20.csv" -oo X_POSSIBLE_NAMES=X \
  -oo Y_POSSIBLE_NAMES=Y -oo KEEP_GEOM_COLUMNS=NO
rm -f "$out"/*.prj "$out"/*.cpg
