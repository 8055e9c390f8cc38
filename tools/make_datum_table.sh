#!/usr/bin/env bash
# Rebuilds data/System/znDatums.dbf from the EPSG facts in PROJ's database
# (Debian package proj-data). Run by hand when that data is refreshed; the
# build ships the committed file. See data/System/znDatums.txt.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
cmake --build build --target make_datum_table
mkdir -p data/System
python3 tools/datum_table_rows.py "${1:-/usr/share/proj/proj.db}" |
  build/tests/crs/make_datum_table data/System/znDatums.dbf
