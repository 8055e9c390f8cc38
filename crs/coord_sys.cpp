#include "crs/coord_sys.h"

#include <atomic>
#include <cmath>
#include <limits>

#include "crs/code_tables.h"
#include "crs/crs_math.h"

using namespace crs_math;

namespace {
std::atomic<int32_t> g_liveCount{0};  // systems are made and freed on any thread
}

CCoordSys::CCoordSys() : m_geographicUnitFactor(GetUnitFactor(9102)) {
    ++g_liveCount;
}

// The datum table is not freed here even when this was the last system: its
// rows are kept by pointer elsewhere. It goes at exit (ReleaseDatumTable).
CCoordSys::~CCoordSys() {
    --g_liveCount;
    if (m_scriptObject) {
        m_scriptObject->DetachCoordSys();
        m_scriptObject->Release();
        m_scriptObject = nullptr;
    }
}

int32_t CCoordSys::LiveCount() {
    return g_liveCount;
}

void CCoordSys::Setup() {
    m_e2 = m_f * 2.0 - m_f * m_f;
    m_e = std::sqrt(m_e2);
    m_e4 = m_e2 * m_e2;
    m_e6 = m_e2 * m_e4;
    m_e8 = m_e4 * m_e4;
    m_n = m_f / (2.0 - m_f);
    // Rectifying radius a(1-n)(1-n^2)(1 + 9n^2/4 + 225n^4/64) per degree.
    m_metersPerDegree = ((((std::pow(m_n, 4.0) * 3.515625) + (m_n * m_n) * 2.25) + 1.0) *
                         (1.0 - m_n) * (1.0 - m_n * m_n)) *
                        m_a * kDegToRad;
    m_b = (1.0 - m_f) * m_a;
}

void CCoordSys::GeographicToProjected(double lon, double lat, double* x, double* y) {
    if (m_projectionCode != 0) {
        if (!(lon >= -180.0) || !(lon <= 180.0) || !(lat >= -90.0) || lat > 90.0) {
            *x = kNaN;
            *y = kNaN;
            return;
        }
        // Longitudes of the system count from its own prime meridian.
        if (m_primeMeridianLongitude != 0.0) lon = WrapDegrees(lon - m_primeMeridianLongitude);
    }
    Forward(lon, lat, x, y);
    *x = m_falseEasting + *x / m_projectionUnitFactor;
    *y = m_falseNorthing + *y / m_projectionUnitFactor;
}

void CCoordSys::ProjectedToGeographic(double x, double y, double* lon, double* lat) {
    Inverse((x - m_falseEasting) * m_projectionUnitFactor,
            (y - m_falseNorthing) * m_projectionUnitFactor, lon, lat);
    if (m_projectionCode != 0 && m_primeMeridianLongitude != 0.0)
        *lon = WrapDegrees(*lon + m_primeMeridianLongitude);
}

void CCoordSys::ConvertTo(double x, double y, CCoordSys* target, double* tx, double* ty) {
    // Coordinates of a system we cannot project are no positions on the
    // earth: they pass unchanged only to an unknown system too.
    const bool unknown = m_projectionCode == crs_code::kUnknown;
    if (unknown != (target->m_projectionCode == crs_code::kUnknown)) {
        *tx = *ty = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    double lon, lat;
    ProjectedToGeographic(x, y, &lon, &lat);
    TransformBetweenDatums(&m_datum, lon, lat, 0.0, &target->m_datum, &lon, &lat, nullptr, false);
    target->GeographicToProjected(lon, lat, tx, ty);
}

namespace {
// In the table, or WGS 1984 itself, which the stand-in row is exactly (also
// when no table could be read).
bool IsDatumKnown(const WString& name) {
    if (FindDatumByName(name)) return true;
    WString bare;
    for (char16_t c : name)
        if (c != u'_' && c != u' ') bare += text::ToLowerChar(c);
    if (bare.rfind(u"dwgs", 0) == 0) bare.erase(0, 1);
    return bare == u"wgs84" || bare == u"wgs1984";
}
}  // namespace

ConversionProblem FindConversionProblem(const CCoordSys& from, const CCoordSys& to) {
    if ((from.m_projectionCode == crs_code::kUnknown) != (to.m_projectionCode == crs_code::kUnknown))
        return ConversionProblem::kUnknownSystem;
    if (!IsSameDatumShift(from.m_datum, to.m_datum) &&
        (!IsDatumShiftSupported(from.m_datum) || !IsDatumShiftSupported(to.m_datum)))
        return ConversionProblem::kShiftNotSupported;
    for (const CCoordSys* side : {&from, &to})
        if (!IsDatumKnown(side->m_datum.datumName)) return ConversionProblem::kUnknownDatum;
    return ConversionProblem::kNone;
}

bool CCoordSys::CanHoldExtent(double xmin, double ymin, double xmax, double ymax) const {
    if (m_projectionCode != crs_code::kGeographic) return true;
    // Degrees per unit; writers round the degree, so near 1 is exactly 1.
    double perUnit = m_geographicUnitFactor / 0.017453292519943295;
    if (!(perUnit > 0.0) || std::fabs(perUnit - 1.0) <= 1e-9) perUnit = 1.0;
    const double lon = 180.0 / perUnit, lat = 90.0 / perUnit;
    // A hair of slack for bounds written in single precision.
    const double slack = 1e-7 * lon;
    return !(xmin < -lon - slack || xmax > lon + slack || ymin < -lat - slack ||
             ymax > lat + slack);
}

bool CCoordSys::IsEqual(const CCoordSys* other) const {
    if (m_projectionCode != other->m_projectionCode) return false;
    const double mine[] = {m_a,
                           m_f,
                           m_falseEasting,
                           m_falseNorthing,
                           m_scaleFactor,
                           m_centralMeridian,
                           m_latitudeOfOrigin,
                           m_standardParallel1,
                           m_standardParallel2,
                           m_azimuth,
                           m_projectionUnitFactor,
                           m_geographicUnitFactor,
                           m_primeMeridianLongitude,
                           m_datum.a,
                           m_datum.f,
                           m_datum.dx,
                           m_datum.dy,
                           m_datum.dz,
                           m_datum.rx,
                           m_datum.ry,
                           m_datum.rz,
                           m_datum.ds};
    const double theirs[] = {other->m_a,
                             other->m_f,
                             other->m_falseEasting,
                             other->m_falseNorthing,
                             other->m_scaleFactor,
                             other->m_centralMeridian,
                             other->m_latitudeOfOrigin,
                             other->m_standardParallel1,
                             other->m_standardParallel2,
                             other->m_azimuth,
                             other->m_projectionUnitFactor,
                             other->m_geographicUnitFactor,
                             other->m_primeMeridianLongitude,
                             other->m_datum.a,
                             other->m_datum.f,
                             other->m_datum.dx,
                             other->m_datum.dy,
                             other->m_datum.dz,
                             other->m_datum.rx,
                             other->m_datum.ry,
                             other->m_datum.rz,
                             other->m_datum.ds};
    static_assert(std::size(mine) == std::size(theirs));
    for (size_t i = 0; i < std::size(mine); ++i)
        if (!IsClose(mine[i], theirs[i])) return false;
    return m_datum.method == other->m_datum.method;
}

namespace {
// A unit code is usable when it has a name, belongs to the class, and has a
// non-zero factor (the conversions divide by it).
bool UsableUnit(int32_t code, bool (*inClass)(int32_t)) {
    return GetCrsCodeName(code) && (code == 0 || inClass(code)) && GetUnitFactor(code) != 0.0;
}
}  // namespace

bool CCoordSys::SetGeographicUnit(int32_t code) {
    if (!UsableUnit(code, IsAngularUnitCode)) return false;
    m_geographicUnitCode = code;
    m_geographicUnitFactor = GetUnitFactor(code);
    return true;
}

bool CCoordSys::SetProjectionUnit(int32_t code) {
    if (!UsableUnit(code, IsLinearUnitCode)) return false;
    m_projectionUnitCode = code;
    m_projectionUnitFactor = GetUnitFactor(code);
    return true;
}

void CCoordSys::AttachScriptObject(ICoordSysScriptObject* object) {
    if (object == m_scriptObject) return;
    if (object) object->AddRef();
    if (m_scriptObject) m_scriptObject->Release();
    m_scriptObject = object;
}

bool CCoordSys::SetDatumByName(WStringView datumName) {
    const DatumTransformation* found = FindDatumByName(datumName);
    const DatumTransformation* row = found ? found : FindDatumByName(u"WGS84");
    if (row) m_datum = *row;
    UpdateDatum();
    return found != nullptr;
}

void CCoordSys::SetDatum(const DatumTransformation& row) {
    m_datum = row;
    UpdateDatum();
}

bool CCoordSys::SetDatumRecord(const DatumTransformation* row) {
    if (!row) row = FindDatumByName(u"WGS84");
    if (row) m_datum = *row;
    UpdateDatum();
    return row != nullptr;
}

void CCoordSys::UpdateDatum() {
    m_a = m_datum.a;
    m_f = m_datum.f;
    m_transformationCount = CountDatumsByName(m_datum.datumName);
    Setup();
}
