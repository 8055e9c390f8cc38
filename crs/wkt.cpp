#include "crs/wkt.h"

#include <cmath>

#include "crs/albers.h"
#include "crs/code_tables.h"
#include "crs/cylindrical_equal_area.h"
#include "crs/geographic.h"
#include "crs/lambert_conformal_conic.h"
#include "crs/nz_map_grid.h"
#include "crs/stereographic.h"
#include "crs/transverse_mercator.h"
#include "platform/fs/fs.h"

const WChar kDefaultCoordSysWkt[] =
    u"GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137,298.257223563]],"
    u"PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.017453292519943295]]";

namespace {

bool IsBlank(WChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// A part of the text being parsed: [b, e) of s. Every scan stays inside it,
// so a text cut short (no closing quote or bracket) fails instead of reading
// past its end.
struct Span {
    WStringView s;
    size_t b, e;

    size_t SkipBlanks(size_t p) const {
        while (p < e && IsBlank(s[p])) ++p;
        return p;
    }
    size_t Find(WChar c, size_t from) const {
        for (size_t p = from; p < e; ++p)
            if (s[p] == c) return p;
        return WStringView::npos;
    }
    // The wanted character outside quotes and brackets, from `from`; e when
    // it is not there.
    size_t FindTopLevel(WChar c, size_t from, WChar open, WChar close, WChar quote) const {
        bool quoted = false;
        int depth = 0;
        for (size_t p = from; p < e; ++p) {
            const WChar ch = s[p];
            if (quoted) {
                if (ch == quote) quoted = false;
                continue;
            }
            if (ch == c && depth == 0) return p;
            if (ch == quote)
                quoted = true;
            else if (ch == open)
                ++depth;
            else if (ch == close)
                --depth;
        }
        return e;
    }
    WString Text(size_t from, size_t to) const { return WString(s.substr(from, to - from)); }
};

struct Element {
    WString keyword;
    WString name;
    WChar open = u'[', close = u']', quote = u'"';
    bool hasRest = false;
    Span rest{};
};

// keyword open-bracket quote name quote [, rest] close-bracket, within span.
bool ParseElement(const Span& span, Element* el) {
    const size_t start = span.SkipBlanks(span.b);
    size_t bracket = span.Find(u'[', start);
    el->open = u'[', el->close = u']';
    if (bracket == WStringView::npos) {
        bracket = span.Find(u'(', start);
        el->open = u'(', el->close = u')';
        if (bracket == WStringView::npos) return false;
    }
    if (bracket == start) return false;
    el->keyword = span.Text(start, bracket);
    el->quote = span.Find(u'\'', bracket + 1) != WStringView::npos ? u'\'' : u'"';
    const size_t q1 = span.Find(el->quote, bracket + 1);
    if (q1 == WStringView::npos) return false;
    const size_t q2 = span.Find(el->quote, q1 + 1);
    if (q2 == WStringView::npos) return false;
    el->name = span.Text(q1 + 1, q2);
    const size_t comma = span.Find(u',', q2 + 1);
    el->hasRest = comma != WStringView::npos;
    if (!el->hasRest) return true;
    const size_t restStart = span.SkipBlanks(comma + 1);
    Span after{span.s, restStart, span.e};
    const size_t end = after.FindTopLevel(el->close, restStart, el->open, el->close, el->quote);
    if (end == span.e) return false;
    el->rest = Span{span.s, restStart, end};
    return true;
}

enum class TokenKind { kNone, kEmpty, kString, kElement, kValue };

// Reads the tokens of an element's rest one at a time.
class Tokens {
public:
    explicit Tokens(const Element& parent)
        : rest_(parent.rest), pos_(parent.rest.b), parent_(parent), any_(parent.hasRest) {}

    TokenKind Next(Span* token) {
        if (!any_ || pos_ > rest_.e) return TokenKind::kNone;
        const size_t start = rest_.SkipBlanks(pos_);
        const size_t end =
            rest_.FindTopLevel(u',', start, parent_.open, parent_.close, parent_.quote);
        pos_ = end + 1;
        size_t last = end;
        while (last > start && IsBlank(rest_.s[last - 1])) --last;
        *token = Span{rest_.s, start, last};
        if (start >= last) return TokenKind::kEmpty;
        if (rest_.s[start] == parent_.quote) return TokenKind::kString;
        // An element whenever the open bracket follows anywhere in the rest.
        if (rest_.Find(parent_.open, start) != WStringView::npos) return TokenKind::kElement;
        return TokenKind::kValue;
    }
    bool NextElement(Element* el) {
        Span t;
        return Next(&t) == TokenKind::kElement && ParseElement(t, el);
    }
    bool NextValue(double* v) {
        Span t;
        if (Next(&t) != TokenKind::kValue) return false;
        *v = text::ParseDouble(t.Text(t.b, t.e));
        return std::isfinite(*v);  // digits beyond any double are no value
    }

private:
    Span rest_;
    size_t pos_;
    const Element& parent_;
    bool any_;
};

bool Is(const Element& el, const WChar* keyword) {
    return text::EqualsNoCase(el.keyword, keyword);
}

// Degrees per angular unit; exactly 1 for the degree as every writer rounds
// it (0.0174532925199433), so those values pass unchanged.
double AngularUnitInDegrees(double radiansPerUnit) {
    const double r = radiansPerUnit / 0.017453292519943295;
    return r > 0.0 && std::fabs(r - 1.0) > 1e-9 ? r : 1.0;
}

}  // namespace

CWktCoordSys::CWktCoordSys() {
    Clear();
}

CWktCoordSys::~CWktCoordSys() = default;

void CWktCoordSys::Clear() {
    m_projectionSupported = true;
    m_openBracket = u'[';
    m_closeBracket = u']';
    m_quote = u'"';
    m_parsed = false;
    m_geogcsName.clear();
    m_angularUnitName.clear();
    m_angularUnitFactor = 1.0;
    m_datumName.clear();
    m_spheroidName.clear();
    m_semiMajorAxis = m_inverseFlattening = 0.0;
    m_primeMeridianName.clear();
    m_primeMeridianLongitude = 0.0;
    m_projcsName.clear();
    m_projectionName.clear();
    m_linearUnitName.clear();
    m_linearUnitFactor = 1.0;
    m_falseEasting = m_falseNorthing = m_centralMeridian = m_scaleFactor = 0.0;
    m_latitudeOfOrigin = m_standardParallel1 = m_standardParallel2 = m_azimuth = 0.0;
    m_parameters.clear();
    m_hasCentralMeridian = m_hasStandardParallel2 = m_hasLongitudeOfOrigin = false;
    m_longitudeOfOrigin = 0.0;
    m_datumFound = false;
}

bool CWktCoordSys::ReadPrjFile(WStringView path) {
    Clear();
    std::string bytes;
    if (!fs::ReadWholeFile(path, &bytes)) return false;
    return ParseWkt(text::FromLatin1(bytes));
}

namespace {

// GEOGCS rest: DATUM[name, SPHEROID-like[name, a, rf], ...], PRIMEM, UNIT.
bool ParseGeogcsRest(const Element& geogcs, CWktCoordSys* w) {
    Tokens tokens(geogcs);
    Element datum, spheroid, primem, unit;
    if (!tokens.NextElement(&datum) || !Is(datum, u"DATUM")) return false;
    w->m_datumName = datum.name;
    Tokens inDatum(datum);
    if (!inDatum.NextElement(&spheroid)) return false;
    w->m_spheroidName = spheroid.name;
    Tokens inSpheroid(spheroid);
    if (!inSpheroid.NextValue(&w->m_semiMajorAxis) ||
        !inSpheroid.NextValue(&w->m_inverseFlattening))
        return false;
    // No ellipsoid has these: every coordinate would come out NaN or
    // infinite. An inverse flattening of 0 is a sphere.
    const double rf = w->m_inverseFlattening;
    if (!(w->m_semiMajorAxis > 0.0) || !(rf == 0.0 || rf > 1.0)) return false;
    if (!tokens.NextElement(&primem) || !Is(primem, u"PRIMEM")) return false;
    w->m_primeMeridianName = primem.name;
    Tokens inPrimem(primem);
    if (!inPrimem.NextValue(&w->m_primeMeridianLongitude)) return false;
    if (!tokens.NextElement(&unit) || !Is(unit, u"UNIT")) return false;
    w->m_angularUnitName = unit.name;
    Tokens inUnit(unit);
    return inUnit.NextValue(&w->m_angularUnitFactor);
}

}  // namespace

bool CWktCoordSys::ParseWkt(WStringView wkt) {
    m_parsed = false;
    // A byte-order mark, as a UTF-8 file read byte by byte or as one character.
    if (wkt.substr(0, 3) == u"\u00EF\u00BB\u00BF")
        wkt.remove_prefix(3);
    else if (!wkt.empty() && wkt[0] == 0xFEFF)
        wkt.remove_prefix(1);
    // The text ends at a terminating zero, as a C string would.
    const size_t zero = wkt.find(u'\0');
    if (zero != WStringView::npos) wkt = wkt.substr(0, zero);

    Element top;
    if (!ParseElement(Span{wkt, 0, wkt.size()}, &top)) return false;
    m_openBracket = top.open;
    m_closeBracket = top.close;
    m_quote = top.quote;
    if (Is(top, u"GEOGCS")) {
        m_geogcsName = top.name;
        m_parsed = ParseGeogcsRest(top, this);
        return m_parsed;
    }
    if (!Is(top, u"PROJCS")) return false;
    m_projcsName = top.name;
    Tokens tokens(top);
    Element geogcs, projection, el;
    if (!tokens.NextElement(&geogcs) || !Is(geogcs, u"GEOGCS")) return false;
    m_geogcsName = geogcs.name;
    if (!ParseGeogcsRest(geogcs, this)) return false;
    if (!tokens.NextElement(&projection) || !Is(projection, u"PROJECTION")) return false;
    m_projectionName = projection.name;
    for (;;) {
        if (!tokens.NextElement(&el)) return false;
        Tokens inEl(el);
        double value = 0.0;
        if (Is(el, u"UNIT")) {
            m_linearUnitName = el.name;
            if (!inEl.NextValue(&m_linearUnitFactor)) return false;
            m_parsed = true;
            return true;
        }
        if (!Is(el, u"PARAMETER") || !inEl.NextValue(&value)) return false;
        m_parameters.push_back({el.name, value});
        switch (GetCrsCodeFromName(el.name)) {
            case 100001:
                m_falseEasting = value;
                break;
            case 100002:
                m_falseNorthing = value;
                break;
            case 100003:
                m_scaleFactor = value;
                break;
            case 100004:
                m_azimuth = value;
                break;
            case 100010:
                m_centralMeridian = value;
                m_hasCentralMeridian = true;
                break;
            case 100011:
                m_longitudeOfOrigin = value;
                m_hasLongitudeOfOrigin = true;
                break;
            case 100020:
            case 100021:
                m_latitudeOfOrigin = value;
                break;
            case 100025:
                m_standardParallel1 = value;
                break;
            case 100026:
                m_standardParallel2 = value;
                m_hasStandardParallel2 = true;
                break;
            default:
                break;  // kept in m_parameters only
        }
    }
}

// "Polar_Stereographic" (or "Stereographic_North_Pole", "..._South_Pole") as
// desktop tools write it: the latitude of origin (or the standard parallel,
// when one is given) exactly at a pole is the polar aspect of the
// stereographic; any other standard parallel is not.
bool CWktCoordSys::IsPolarAtThePole(WStringView name) {
    if (!text::EqualsNoCase(name, u"Polar_Stereographic") &&
        !text::EqualsNoCase(name, u"Stereographic_North_Pole") &&
        !text::EqualsNoCase(name, u"Stereographic_South_Pole"))
        return false;
    bool hasParallel = false, hasScale = false;
    for (const Parameter& p : m_parameters) {
        const int32_t code = GetCrsCodeFromName(p.name);
        if (code == 100025) hasParallel = true;
        if (code == 100003) hasScale = true;
    }
    const double pole = hasParallel ? m_standardParallel1 : m_latitudeOfOrigin;
    const double quarter = 90.0 / AngularUnitInDegrees(m_angularUnitFactor);
    if (std::fabs(pole) != quarter) return false;
    // The aspect follows the latitude of origin; a pole given as the standard
    // parallel is true to scale there.
    m_latitudeOfOrigin = pole;
    if (!hasScale) m_scaleFactor = 1.0;
    return true;
}

std::unique_ptr<CCoordSys> CWktCoordSys::CreateProjection(bool* datumFound) {
    if (!m_parsed) return nullptr;
    std::unique_ptr<CCoordSys> cs;
    const WString& p = m_projectionName;
    if (IsCrsCodeName(crs_code::kTransverseMercator, p))
        cs = std::make_unique<CTransverseMercator>();
    else if (IsCrsCodeName(crs_code::kGaussKruger, p))
        cs = std::make_unique<CGaussKruger>();
    else if (IsCrsCodeName(crs_code::kAlbers, p))
        cs = std::make_unique<CAlbers>();
    else if (IsCrsCodeName(crs_code::kLambertConformalConic, p) ||
             text::EqualsNoCase(p, u"Lambert_Conformal_Conic_2SP"))
        cs = std::make_unique<CLambertConformalConic>();
    else if (IsCrsCodeName(crs_code::kNewZealandMapGrid, p))
        cs = std::make_unique<CNewZealandMapGrid>();
    else if (IsCrsCodeName(crs_code::kCylindricalEqArea, p) ||
             text::EqualsNoCase(p, u"Cylindrical_EqArea"))
        cs = std::make_unique<CCylindricalEqArea>();
    else if (IsCrsCodeName(crs_code::kStereographic, p) || IsPolarAtThePole(p))
        cs = std::make_unique<CStereographic>();
    else if (IsCrsCodeName(crs_code::kDoubleStereographic, p))
        cs = std::make_unique<CDoubleStereographic>();
    else if (!p.empty()) {
        auto unknown = std::make_unique<CUnknownProjection>();
        unknown->m_projectionName = p;
        for (const auto& param : m_parameters)
            unknown->m_parameters.push_back({param.name, param.value});
        cs = std::move(unknown);
        m_projectionSupported = false;
    } else
        cs = std::make_unique<CGeographic>();
    if (cs->m_projectionCode != crs_code::kUnknown) m_projectionSupported = true;

    m_datumFound = cs->SetDatumByName(m_datumName);
    if (datumFound) *datumFound = m_datumFound;
    if (!m_datumFound) {
        // Keep the text's names: written back, the datum is not lost.
        cs->m_datum.datumName = m_datumName;
        cs->m_datum.spheroidName = m_spheroidName;
        cs->m_transformationCount = 0;
    }
    // The projection uses the text's spheroid; the datum shifts the row's.
    cs->m_a = m_semiMajorAxis;
    cs->m_f = m_inverseFlattening == 0.0 ? 0.0 : 1.0 / m_inverseFlattening;  // 0: a sphere

    cs->m_falseEasting = m_falseEasting;
    cs->m_falseNorthing = m_falseNorthing;
    cs->m_scaleFactor = m_scaleFactor;
    // Angular parameters are in the GEOGCS unit (grads for the Paris-based
    // French systems); the prime meridian is in degrees whatever the unit.
    const double toDegrees = AngularUnitInDegrees(m_angularUnitFactor);
    cs->m_centralMeridian = m_centralMeridian * toDegrees;
    if (!m_hasCentralMeridian && m_hasLongitudeOfOrigin)
        cs->m_centralMeridian = m_longitudeOfOrigin * toDegrees;
    cs->m_latitudeOfOrigin = m_latitudeOfOrigin * toDegrees;
    cs->m_standardParallel1 = m_standardParallel1 * toDegrees;
    cs->m_standardParallel2 = m_standardParallel2 * toDegrees;
    // A one-parallel conic names one standard parallel (with a scale factor).
    if (cs->m_projectionCode == crs_code::kLambertConformalConic && !m_hasStandardParallel2)
        cs->m_standardParallel2 = cs->m_standardParallel1;
    cs->m_azimuth = m_azimuth;
    cs->m_primeMeridianLongitude = m_primeMeridianLongitude;
    cs->m_primeMeridianCode = GetCrsCodeFromName(m_primeMeridianName);
    cs->m_primeMeridianName = m_primeMeridianName;

    cs->m_geographicName = m_geogcsName;
    cs->m_geographicUnitCode = GetCrsCodeFromName(m_angularUnitName);
    cs->m_geographicUnitFactor = m_angularUnitFactor;
    cs->m_geographicUnitName = m_angularUnitName;
    if (cs->m_projectionCode == crs_code::kGeographic) {
        cs->m_projectedName = m_geogcsName;
        cs->m_projectionUnitCode = cs->m_geographicUnitCode;
        cs->m_projectionUnitFactor = 1.0;
        cs->m_projectionUnitName = m_angularUnitName;
    } else {
        cs->m_projectedName = m_projcsName;
        cs->m_projectionUnitCode = GetCrsCodeFromName(m_linearUnitName);
        // A unit factor of 0 would divide by zero in every conversion.
        cs->m_projectionUnitFactor = m_linearUnitFactor != 0.0 ? m_linearUnitFactor : 1.0;
        cs->m_projectionUnitName = m_linearUnitName;
    }
    cs->Setup();
    return cs;
}

// ---- writing ----

namespace {

WString Escape(const WString& s, bool xml) {
    if (!xml) return s;
    WString out;
    for (WChar c : s) {
        switch (c) {
            case u'&':
                out += u"&amp;";
                break;
            case u'<':
                out += u"&lt;";
                break;
            case u'>':
                out += u"&gt;";
                break;
            case u'"':
                out += u"&quot;";
                break;
            case u'\'':
                out += u"&apos;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The code's name, else the name the text gave.
WString CodeName(int32_t code, const WString& fromText) {
    const WChar* n = GetCrsCodeName(code);
    return n && code != -1 ? WString(n) : fromText;
}

struct Writer {
    WString out;
    bool xml;
    WString q() const { return xml ? WString(u"&quot;") : WString(u"\""); }
    void Named(const WChar* keyword, const WString& name) {
        out += keyword;
        out += u"[" + q() + Escape(name, xml) + q();
    }
    void Number(double v) { out += u"," + text::Format(u"%.15g", v); }
    void Parameter(const WString& name, double v) {
        out += u",";
        Named(u"PARAMETER", name);
        Number(v);
        out += u"]";
    }
};

void WriteGeogcs(Writer& w, const CCoordSys& cs) {
    w.Named(u"GEOGCS", cs.m_geographicName);
    w.out += u",";
    w.Named(u"DATUM", cs.m_datum.datumName);
    w.out += u",";
    w.Named(u"SPHEROID", cs.m_datum.spheroidName);
    w.Number(cs.m_a);
    w.Number(cs.m_f == 0.0 ? 0.0 : 1.0 / cs.m_f);  // rf 0: a sphere
    w.out += u"]],";
    w.Named(u"PRIMEM", CodeName(cs.m_primeMeridianCode, cs.m_primeMeridianName));
    w.Number(cs.m_primeMeridianLongitude);
    w.out += u"],";
    w.Named(u"UNIT", CodeName(cs.m_geographicUnitCode, cs.m_geographicUnitName));
    w.Number(cs.m_geographicUnitFactor);
    w.out += u"]]";
}

// A parameter as written: angles in the geographic unit, as they were read.
double ParameterValue(const CCoordSys& cs, int32_t code) {
    const double perDegree = AngularUnitInDegrees(cs.m_geographicUnitFactor);
    switch (code) {
        case 100001:
            return cs.m_falseEasting;
        case 100002:
            return cs.m_falseNorthing;
        case 100003:
            return cs.m_scaleFactor;
        case 100010:
            return cs.m_centralMeridian / perDegree;
        case 100021:
            return cs.m_latitudeOfOrigin / perDegree;
        case 100025:
            return cs.m_standardParallel1 / perDegree;
        case 100026:
            return cs.m_standardParallel2 / perDegree;
        default:
            return 0.0;
    }
}

}  // namespace

WString FormatWkt(const CCoordSys& cs, bool escapeXml) {
    Writer w{WString(), escapeXml};
    const int32_t code = cs.m_projectionCode;
    if (code == crs_code::kGeographic) {
        WriteGeogcs(w, cs);
        return w.out;
    }
    w.Named(u"PROJCS", cs.m_projectedName);
    w.out += u",";
    WriteGeogcs(w, cs);
    w.out += u",";
    const auto* unknown = dynamic_cast<const CUnknownProjection*>(&cs);
    if (unknown && !unknown->m_projectionName.empty())
        w.Named(u"PROJECTION", unknown->m_projectionName);
    else
        w.Named(u"PROJECTION", CodeName(code, u"Unknown"));
    w.out += u"]";
    // The parameters written, in order, by projection.
    const WChar* const* names = nullptr;
    static const WChar* const kTm[] = {u"False_Easting", u"False_Northing",     u"Central_Meridian",
                                       u"Scale_Factor",  u"Latitude_Of_Origin", nullptr};
    static const WChar* const kConic[] = {u"False_Easting",
                                          u"False_Northing",
                                          u"Central_Meridian",
                                          u"Standard_Parallel_1",
                                          u"Standard_Parallel_2",
                                          u"Latitude_Of_Origin",
                                          nullptr};
    // A one-parallel conic also keeps its scale factor, which would otherwise be lost.
    static const WChar* const kScaledConic[] = {
        u"False_Easting",       u"False_Northing", u"Central_Meridian",   u"Standard_Parallel_1",
        u"Standard_Parallel_2", u"Scale_Factor",   u"Latitude_Of_Origin", nullptr};
    static const WChar* const kCea[] = {u"False_Easting", u"False_Northing", u"Central_Meridian",
                                        u"Standard_Parallel_1", nullptr};
    static const WChar* const kNzmg[] = {u"False_Easting", u"False_Northing", u"Central_Meridian",
                                         u"Latitude_Of_Origin", nullptr};
    switch (code) {
        case crs_code::kGaussKruger:
        case crs_code::kTransverseMercator:
        case crs_code::kStereographic:
        case crs_code::kDoubleStereographic:
            names = kTm;
            break;
        case crs_code::kAlbers:
            names = kConic;
            break;
        case crs_code::kLambertConformalConic:
            names = cs.m_scaleFactor != 0.0 && cs.m_scaleFactor != 1.0 ? kScaledConic : kConic;
            break;
        case crs_code::kCylindricalEqArea:
            names = kCea;
            break;
        case crs_code::kNewZealandMapGrid:
            names = kNzmg;
            break;
        default:
            if (unknown)
                for (const auto& p : unknown->m_parameters) w.Parameter(p.name, p.value);
            break;
    }
    for (; names && *names; ++names)
        w.Parameter(*names, ParameterValue(cs, GetCrsCodeFromName(*names)));
    w.out += u",";
    w.Named(u"UNIT", CodeName(cs.m_projectionUnitCode, cs.m_projectionUnitName));
    w.Number(cs.m_projectionUnitFactor);
    w.out += u"]]";
    return w.out;
}

bool WritePrjFile(WStringView path, const CCoordSys& cs) {
    // One byte a character. A character past U+00FF becomes '?': its low byte
    // could be a quote, bracket, comma or zero and break the text (U+0122
    // would end the name early, U+0100 would end the whole text).
    const std::string bytes = text::ToLatin1(FormatWkt(cs, false));
    return fs::WriteWholeFile(path, bytes.data(), bytes.size());
}
