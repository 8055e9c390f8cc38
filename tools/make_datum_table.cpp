// Writes the datum table file from tab-separated rows on standard input (as
// tools/datum_table_rows.py prints them) with the program's own dBASE engine:
//   python3 tools/datum_table_rows.py | build/tests/crs/make_datum_table data/System/znDatums.dbf
// Columns: DEFAULT(T/F) DATUMID GEOGTRANID DATUM SPHEROID A INVERSE_F METHOD
// DX DY DZ RX RY RZ DS.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/fs/fs.h"
#include "tools/datum_table_writer.h"

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> out;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, '\t')) out.push_back(cell);
    return out;
}

double Number(const std::string& s) {
    return text::ParseDouble(text::FromUtf8(s));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.dbf < rows.tsv\n", argv[0]);
        return 2;
    }
    std::vector<DatumFileRow> rows;
    std::string line;
    int lineNo = 0;
    while (std::getline(std::cin, line)) {
        ++lineNo;
        const auto c = SplitTabs(line);
        if (c.size() != 15) {
            std::fprintf(stderr, "line %d: %zu columns, 15 expected\n", lineNo, c.size());
            return 1;
        }
        DatumFileRow r;
        r.isDefault = c[0] == "T";
        r.datumId = static_cast<int>(Number(c[1]));
        r.transformationId = static_cast<int>(Number(c[2]));
        r.datum = text::FromUtf8(c[3]);
        r.spheroid = text::FromUtf8(c[4]);
        r.a = Number(c[5]);
        r.inverseFlattening = Number(c[6]);
        r.method = text::FromUtf8(c[7]);
        r.dx = Number(c[8]), r.dy = Number(c[9]), r.dz = Number(c[10]);
        r.rx = Number(c[11]), r.ry = Number(c[12]), r.rz = Number(c[13]);
        r.ds = Number(c[14]);
        rows.push_back(std::move(r));
    }
    // The device root is the host root unless ZARNIP_ROOT says otherwise.
    const std::string host = std::filesystem::absolute(argv[1]).string();
    const WString path = fs::DevicePathFromHost(host);
    if (path.empty() || !WriteDatumTable(path, rows)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::fprintf(stderr, "%zu rows written to %s\n", rows.size(), argv[1]);
    return 0;
}
