#!/usr/bin/env python3
"""Rows of the datum table znDatums.dbf from the EPSG facts in PROJ's database.

Prints one tab-separated line per row for tools/make_datum_table (which
writes the dBASE file with the program's own engine):
DEFAULT DATUMID GEOGTRANID DATUM SPHEROID A INVERSE_F METHOD DX DY DZ RX RY RZ DS

Rows: EPSG Helmert transformations from a geographic 2D system to WGS 84
(EPSG:4326) by geocentric translation (9603), position vector (9606) or
coordinate frame (9607), not deprecated. DATUM and SPHEROID are the .prj
names of the datum and ellipsoid (the aliases whose source is neither EPSG
nor PROJ); a datum without such a name is left out. Units: lengths in metres,
rotations in arc-seconds, scale in parts per million; an ellipsoid without an
inverse flattening gets a / (a - b) (0 for a sphere).

DEFAULT, one per datum name: the row whose area of use is largest, then the
most accurate (unknown accuracy counts last), then the lowest code.
A hand-made WGS 1984 row comes first.

Usage: tools/datum_table_rows.py [path/to/proj.db] > rows.tsv
"""
import math
import sqlite3
import sys

db = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/proj/proj.db"
con = sqlite3.connect(db)

conv = {code: f for code, f in con.execute(
    "SELECT code, conv_factor FROM unit_of_measure WHERE auth_name = 'EPSG'")}


def alias(table, code):
    rows = con.execute(
        "SELECT alt_name FROM alias_name WHERE table_name = ? AND auth_name = 'EPSG' AND code = ?"
        " AND source NOT IN ('EPSG', 'PROJ') ORDER BY alt_name", (table, code)).fetchall()
    return rows[0][0] if rows else None


def area(code):
    """Largest usage extent of a transformation, in square degrees of sine."""
    best = 0.0
    for s, n, w, e in con.execute(
            "SELECT e.south_lat, e.north_lat, e.west_lon, e.east_lon FROM usage u JOIN extent e"
            " ON e.auth_name = u.extent_auth_name AND e.code = u.extent_code"
            " WHERE u.object_table_name = 'helmert_transformation' AND u.object_auth_name = 'EPSG'"
            " AND u.object_code = ?", (code,)):
        width = e - w if e >= w else e - w + 360.0
        best = max(best, width * (math.sin(math.radians(n)) - math.sin(math.radians(s))))
    return best


METHODS = {9603: "Geocentric_Translation", 9606: "Position_Vector", 9607: "Coordinate_Frame"}

query = """
SELECT h.code, h.method_code, h.accuracy, h.tx, h.ty, h.tz, h.translation_uom_code,
       h.rx, h.ry, h.rz, h.rotation_uom_code, h.scale_difference, h.scale_difference_uom_code,
       d.code, el.code, el.name, el.semi_major_axis, el.uom_code, el.inv_flattening, el.semi_minor_axis
FROM helmert_transformation_table h
JOIN geodetic_crs c ON c.auth_name = h.source_crs_auth_name AND c.code = h.source_crs_code
JOIN geodetic_datum d ON d.auth_name = c.datum_auth_name AND d.code = c.datum_code
JOIN ellipsoid el ON el.auth_name = d.ellipsoid_auth_name AND el.code = d.ellipsoid_code
WHERE h.auth_name = 'EPSG' AND h.target_crs_auth_name = 'EPSG' AND h.target_crs_code = 4326
  AND h.method_auth_name = 'EPSG' AND h.method_code IN (9603, 9606, 9607)
  AND h.deprecated = 0 AND c.type = 'geographic 2D'
ORDER BY h.code
"""

rows = []
skipped = []
for (code, method, accuracy, tx, ty, tz, tuom, rx, ry, rz, ruom, ds, suom,
     datum, ell, ellname, a, auom, rf, b) in con.execute(query):
    name = alias("geodetic_datum", datum)
    if not name:
        skipped.append(datum)
        continue
    spheroid = alias("ellipsoid", ell) or ellname.replace(" ", "_")
    k = conv[auom]
    a *= k
    if rf is None:
        b *= k
        rf = 0.0 if a == b else a / (a - b)
    t = conv[tuom]
    r = conv[ruom] / conv[9104] if ruom is not None else 0.0
    s = conv[suom] / conv[9202] if suom is not None else 0.0
    rows.append(dict(datumid=datum, tranid=code, datum=name, spheroid=spheroid, a=a, rf=rf,
                     method=METHODS[method], dx=tx * t, dy=ty * t, dz=tz * t,
                     rx=(rx or 0.0) * r, ry=(ry or 0.0) * r, rz=(rz or 0.0) * r,
                     ds=(ds or 0.0) * s, area=area(code),
                     accuracy=accuracy if accuracy is not None else float("inf")))

best = {}
for row in rows:
    key = row["datum"].upper()
    rank = (-row["area"], row["accuracy"], row["tranid"])
    if key not in best or rank < best[key][0]:
        best[key] = (rank, row["tranid"])
defaults = {tranid for _, tranid in best.values()}

out = sys.stdout
out.write("T\t6326\t0\tD_WGS_1984\tWGS_1984\t6378137\t298.257223563\tUnknown\t0\t0\t0\t0\t0\t0\t0\n")
for row in rows:
    out.write("\t".join([
        "T" if row["tranid"] in defaults else "F", str(row["datumid"]), str(row["tranid"]),
        row["datum"], row["spheroid"], repr(row["a"]), repr(row["rf"]), row["method"],
        repr(row["dx"]), repr(row["dy"]), repr(row["dz"]), repr(row["rx"]), repr(row["ry"]),
        repr(row["rz"]), repr(row["ds"])]) + "\n")
print(f"{len(rows)} rows over {len(best)} datum names; left out datums without a .prj "
      f"name: {sorted(set(skipped))}", file=sys.stderr)
