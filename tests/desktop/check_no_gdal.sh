#!/usr/bin/env bash
# GDAL is the desktop host stand-in's alone: none of the deliverables links it.
set -euo pipefail
status=0
for f in "$@"; do
  if readelf -d "$f" | grep -q 'Shared library: \[libgdal'; then echo "$f links GDAL"; status=1; fi
done
[ $status -eq 0 ] && echo "no deliverable links GDAL"
exit $status
