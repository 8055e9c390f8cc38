#include "crs/mgrs.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace {

// [scheme][zone set][row][column]: column letter, row letter, terminator.
using SquareTable =
    std::array<std::array<std::array<std::array<std::array<char, 3>, 8>, 20>, 6>, 2>;

constexpr SquareTable MakeSquareTable() {
    SquareTable t{};
    constexpr char kRows[] = "ABCDEFGHJKLMNPQRSTUV";         // 20, no I or O
    constexpr char kColumns[] = "ABCDEFGHJKLMNPQRSTUVWXYZ";  // 24, no I or O
    constexpr int kRowStart[2][2] = {{0, 5}, {10, 15}};      // A/F and L/R
    for (int scheme = 0; scheme < 2; ++scheme)
        for (int set = 0; set < 6; ++set)
            for (int row = 0; row < 20; ++row)
                for (int col = 0; col < 8; ++col) {
                    auto& cell = t[scheme][set][row][col];
                    cell[0] = kColumns[(set % 3) * 8 + col];
                    cell[1] = kRows[(kRowStart[scheme][set % 2] + row) % 20];
                    cell[2] = 0;
                }
    return t;
}

constexpr SquareTable kSquares = MakeSquareTable();

}  // namespace

CMGRSConverter::CMGRSConverter() = default;
CMGRSConverter::~CMGRSConverter() = default;

WChar CMGRSConverter::GetLatitudeBand(double lat) {
    if (!(lat >= -80.0) || !(lat <= 84.0)) return 0;
    static constexpr char kBands[] = "CDEFGHJKLMNPQRSTUVWX";
    int i = static_cast<int>(std::floor((lat + 80.0) / 8.0));
    if (i > 19) i = 19;  // 72..84 is X
    return static_cast<WChar>(kBands[i]);
}

const char* CMGRSConverter::GetSquareLetters(int scheme, int zone, int easting, int northing) {
    if (scheme < 0 || scheme > 1 || zone < 1 || zone > 60) return nullptr;
    const int col = easting / 100000 - 1, row = northing / 100000;
    if (easting % 100000 != 0 || northing % 100000 != 0 || col < 0 || col > 7 || row < 0 ||
        row > 19)
        return nullptr;
    return kSquares[scheme][(zone - 1) % 6][row][col].data();
}

WString CMGRSConverter::Format(double lon, double lat, const DatumTransformation& datum) {
    if (!(lon >= -180.0 && lon <= 180.0 && lat >= -90.0 && lat <= 90.0)) return WString();
    const WChar band = GetLatitudeBand(lat);
    if (!band) return WString();  // the polar areas are not provided
    // 180 is -180, the western edge of zone 1.
    const int zone = UtmZoneFromLongitude(lon, lat);
    // The datum counts as well as the zone: a new datum changes every figure.
    if (!(m_tm.m_datum == datum) || m_tm.m_utmZone == 0) m_tm.SetDatum(datum);
    if (zone != m_tm.m_utmZone) m_tm.SetUtmZone(zone);
    double x, y;
    m_tm.GeographicToProjected(lon, lat, &x, &y);
    if (!std::isfinite(x) || !std::isfinite(y) || x < 0.0 || y < 0.0) return WString();
    const long long E = static_cast<long long>(x);
    const long long N = static_cast<long long>(y) % 2000000;
    const int e = static_cast<int>(E % 100000), n = static_cast<int>(N % 100000);
    const int absZone = std::abs(zone);
    const char* letters =
        GetSquareLetters(0, absZone, static_cast<int>(E - e), static_cast<int>(N - n));
    if (!letters) return WString();
    return text::Format(u"%02u%c%c%c%05u%05u", absZone, band, letters[0], letters[1], e, n);
}
