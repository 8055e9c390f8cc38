// Reads the reference tables of tests/data/crs/: CSV files written once by
// tools/crs_reference.sh from cs2cs, cct and GeoConvert. Lines starting with
// '#' are commentary; the first other line names the columns.
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "crs/code_tables.h"
#include "crs/coord_sys.h"

namespace crs_test {

struct ReferenceTable {
    std::vector<std::string> columns;
    std::vector<std::vector<double>> rows;

    size_t Column(const std::string& name) const {
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i] == name) return i;
        throw std::runtime_error("no column " + name);
    }
};

inline std::vector<std::string> SplitCsv(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, ',')) out.push_back(cell);
    return out;
}

inline ReferenceTable ReadReferenceTable(const std::string& name) {
    const std::string path = std::string(ZN_TEST_DATA) + "/crs/" + name + ".csv";
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open " + path);
    ReferenceTable t;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (t.columns.empty()) {
            t.columns = SplitCsv(line);
            continue;
        }
        std::vector<double> row;
        for (const auto& cell : SplitCsv(line)) {
            // std::stod follows the C locale only if the process does; the
            // tables are plain C numbers, so parse with the classic locale.
            std::istringstream is(cell);
            is.imbue(std::locale::classic());
            double v;
            is >> v;
            if (!is) throw std::runtime_error("bad number '" + cell + "' in " + path);
            row.push_back(v);
        }
        if (row.size() != t.columns.size()) throw std::runtime_error("short row in " + path);
        t.rows.push_back(row);
    }
    return t;
}

// A datum row for a spheroid given by a and inverse flattening (0 = sphere).
inline DatumTransformation Spheroid(double a, double rf, const char16_t* name = u"test") {
    DatumTransformation row;
    row.a = a;
    row.f = rf == 0.0 ? 0.0 : 1.0 / rf;
    row.datumName = name;
    row.spheroidName = name;
    return row;
}

inline DatumTransformation Wgs84() {
    return Wgs84Datum();
}
inline DatumTransformation Grs80() {
    return Spheroid(6378137.0, 298.257222101, u"GRS80");
}
inline DatumTransformation Bessel() {
    return Spheroid(6377397.155, 299.1528128, u"Bessel");
}
inline DatumTransformation International() {
    return Spheroid(6378388.0, 297.0, u"Intl");
}
inline DatumTransformation Sphere() {
    return Spheroid(6371000.0, 0.0, u"Sphere");
}
inline DatumTransformation Clarke1866() {
    // Given by a and b: f = 1 - b/a.
    DatumTransformation row = Spheroid(6378206.4, 0.0, u"Clarke1866");
    row.f = 1.0 - 6356583.8 / 6378206.4;
    return row;
}

}  // namespace crs_test
