#include "crs/measure.h"

#include <cmath>
#include <memory>
#include <vector>

#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "crs/crs_math.h"
#include "crs/cylindrical_equal_area.h"
#include "formats/shape/shape_record.h"

using namespace crs_math;

namespace {

// An angle in radians as degrees in (0, 360].
double Azimuth(double radians) {
    double d = RadToDeg(radians);
    while (d > 360.0) d -= 360.0;
    while (d <= 0.0) d += 360.0;
    return d;
}

}  // namespace

double PlanarDistance(double x1, double y1, double x2, double y2, double* forwardAzimuth,
                      double* backAzimuth) {
    const double dx = x2 - x1, dy = y2 - y1;
    const double d = std::sqrt(dy * dy + dx * dx);
    if (!forwardAzimuth && !backAzimuth) return d;
    const double theta = std::atan2(dx, dy) + kTwoPi;
    if (forwardAzimuth) *forwardAzimuth = Azimuth(theta);
    if (backAzimuth) *backAzimuth = Azimuth(theta + kPi);
    return d;
}

double PlanarPointDistance(const DoublePoint& p1, const DoublePoint& p2, double* forwardAzimuth,
                           double* backAzimuth) {
    return PlanarDistance(p1.x, p1.y, p2.x, p2.y, forwardAzimuth, backAzimuth);
}

double PolylineLength(int n, const DoublePoint* points) {
    if (n < 2 || !points) return 0.0;
    double sum = 0.0;
    for (int i = 1; i < n; ++i) sum += PlanarPointDistance(points[i - 1], points[i]);
    return sum;
}

double RingArea(int n, const DoublePoint* points) {
    if (n < 3 || !points) return 0.0;
    double sum = 0.0;
    DoublePoint prev = points[n - 1];
    for (int i = 0; i < n; ++i) {
        sum += (points[i].y + prev.y) * (points[i].x - prev.x);
        prev = points[i];
    }
    return sum * 0.5;
}

double EllipsoidDistance(double a, double f, double lon1, double lat1, double lon2, double lat2,
                         double* forwardAzimuth, double* backAzimuth) {
    const double b1 = std::atan((1.0 - f) * std::tan(DegToRad(lat1)));
    const double b2 = std::atan((1.0 - f) * std::tan(DegToRad(lat2)));
    const double L = DegToRad(lon2) - DegToRad(lon1);
    const double sb1 = std::sin(b1), cb1 = std::cos(b1), sb2 = std::sin(b2), cb2 = std::cos(b2);
    const double sL = std::sin(L), cL = std::cos(L);
    const double A = sb1 * sb2;
    const double B = sb2 * cb1;
    const double u = B - sb1 * cL * cb2, v = sL * cb2;
    const double sinS = std::sqrt(u * u + v * v);
    // atan2 keeps arcs over 90 degrees (asin would give the supplement).
    const double s = std::atan2(sinS, A + cb1 * cb2 * cL);
    if (s == 0.0) {
        if (forwardAzimuth) *forwardAzimuth = kNaN;
        if (backAzimuth) *backAzimuth = kNaN;
        return 0.0;
    }
    const double cosS = std::cos(s);
    const double c = cb2 * cb1 * sL / sinS;
    const double m = 1.0 - c * c;
    const double f2 = f * f;
    const double s2 = s * s;
    const double dist =
        (1.0 - f) * a *
        ((1.0 + f + f2) * s + A * ((f + f2) * sinS - (f2 / 2.0) * s2 / sinS) +
         m * ((f2 / 2.0) * s2 / std::tan(s) - ((f + f2) / 2.0) * (s + sinS * cosS)) -
         A * A * (f2 / 2.0) * sinS * cosS +
         m * m *
             ((f2 / 16.0) * (s + sinS * cosS) - (f2 / 2.0) * s2 / std::tan(s) -
              (f2 / 8.0) * sinS * cosS * cosS * cosS) +
         A * m * (f2 / 2.0) * (sinS * cosS * cosS + s2 / sinS));
    if (forwardAzimuth || backAzimuth) {
        const double lambda =
            L + c * ((f + f2) * s - A * ((f2 / 2.0) * sinS + f2 * s2 / sinS) +
                     m * (f2 * s2 / sinS - (5.0 * f2 / 4.0) * s + (f2 / 4.0) * sinS * cosS));
        const double sl = std::sin(lambda), cl = std::cos(lambda);
        if (forwardAzimuth)
            *forwardAzimuth = Azimuth(std::atan2(sl * cb2, B - cl * sb1 * cb2) + kTwoPi);
        if (backAzimuth)
            *backAzimuth = Azimuth(std::atan2(sl * cb1, cl * sb2 * cb1 - sb1 * cb2) + kPi);
    }
    return dist;
}

double MeasureDistanceXY(CCoordSys* cs, double x1, double y1, double x2, double y2,
                         double* forwardAzimuth, double* backAzimuth) {
    if (cs && cs->m_projectionCode == crs_code::kGeographic)
        return EllipsoidDistance(cs->m_a, cs->m_f, x1, y1, x2, y2, forwardAzimuth, backAzimuth) *
               cs->m_projectionUnitFactor;
    return PlanarDistance(x1, y1, x2, y2, forwardAzimuth, backAzimuth);
}

double MeasureDistance(CCoordSys* cs, const DoublePoint& p1, const DoublePoint& p2,
                       double* forwardAzimuth, double* backAzimuth) {
    return MeasureDistanceXY(cs, p1.x, p1.y, p2.x, p2.y, forwardAzimuth, backAzimuth);
}

namespace {
DoublePoint ToGeographic(CCoordSys* cs, const DoublePoint& p) {
    if (cs->m_projectionCode == crs_code::kGeographic) return p;
    DoublePoint g;
    cs->ProjectedToGeographic(p.x, p.y, &g.x, &g.y);
    return g;
}
}  // namespace

double MeasureDistanceBetween(CCoordSys* s1, const DoublePoint& p1, const DoublePoint& p2,
                              CCoordSys* s2, double* forwardAzimuth, double* backAzimuth) {
    if (!s2 || s2->IsEqual(s1)) return MeasureDistance(s1, p1, p2, forwardAzimuth, backAzimuth);
    const DoublePoint g1 = ToGeographic(s1, p1);
    DoublePoint g2 = ToGeographic(s2, p2);
    TransformBetweenDatums(&s2->m_datum, g2.x, g2.y, 0.0, &s1->m_datum, &g2.x, &g2.y, nullptr,
                           false);
    return EllipsoidDistance(s1->m_a, s1->m_f, g1.x, g1.y, g2.x, g2.y, forwardAzimuth, backAzimuth);
}

double MeasureLength(CCoordSys* cs, int n, const DoublePoint* points) {
    if (n < 2 || !points) return 0.0;
    double sum = 0.0;
    for (int i = 1; i < n; ++i) sum += MeasureDistance(cs, points[i - 1], points[i]);
    return sum;
}

double MeasureSignedArea(CCoordSys* cs, int n, const DoublePoint* points) {
    if (n < 3 || !points) return 0.0;
    if (!cs || cs->m_projectionCode != crs_code::kGeographic) return RingArea(n, points);
    // Longitudes are unwrapped about the first vertex, so a ring across 180
    // degrees is centred on it (its x are then taken about that centre).
    double minLon = points[0].x, maxLon = points[0].x, minLat = 90.0, maxLat = -90.0;
    for (int i = 0; i < n; ++i) {
        const DoublePoint& p = points[i];
        const double lon = points[0].x + std::remainder(p.x - points[0].x, 360.0);
        if (minLon >= lon) minLon = lon;
        if (maxLon <= lon) maxLon = lon;
        if (minLat >= p.y) minLat = p.y;
        if (maxLat <= p.y) maxLat = p.y;
    }
    // Equal-area about the ring's centre, on the system's spheroid; it keeps
    // the ring's orientation, and so the sign.
    auto cea = std::make_unique<CCylindricalEqArea>();
    cea->m_datum.a = cs->m_a;
    cea->m_datum.f = cs->m_f;
    cea->m_a = cs->m_a;
    cea->m_f = cs->m_f;
    cea->m_centralMeridian = WrapDegrees(minLon + (maxLon - minLon) * 0.5);
    cea->m_standardParallel1 = minLat + (maxLat - minLat) * 0.5;
    cea->Setup();
    double sum = 0.0;
    DoublePoint prev;
    cea->GeographicToProjected(points[n - 1].x, points[n - 1].y, &prev.x, &prev.y);
    for (int i = 0; i < n; ++i) {
        DoublePoint q;
        cea->GeographicToProjected(points[i].x, points[i].y, &q.x, &q.y);
        sum += (q.y + prev.y) * (q.x - prev.x);
        prev = q;
    }
    return sum * 0.5;
}

double MeasureArea(CCoordSys* cs, int n, const DoublePoint* points) {
    return std::fabs(MeasureSignedArea(cs, n, points));
}

// ---- shapes ----

namespace {

int ShapeTypeOf(const ShapeRecord* r) {
    return r ? ShapeLoadInt(ShapeBytes(r)) : kShapeNull;
}

// The points of one part, copied out of the record (its doubles are not
// aligned); false for a part the record does not hold.
bool PartPoints(const ShapeRecord* r, int part, std::vector<DoublePoint>* out) {
    int last = -1;
    const int first = ShapeGetPartRange(r, part, &last);
    if (first < 0 || last < first) return false;
    const uint8_t* points = ShapeGetPoints(r);
    out->resize(static_cast<size_t>(last - first + 1));
    for (int i = first; i <= last; ++i)
        (*out)[static_cast<size_t>(i - first)] = ShapeLoadPoint(points, i);
    return true;
}

// Sums f over the parts of a shape of the accepted types.
template <typename F>
double SumParts(const ShapeRecord* r, bool (*typeTest)(int), F f) {
    if (!r || !typeTest(ShapeTypeOf(r))) return 0.0;
    const int parts = ShapeGetPartCount(r);
    double sum = 0.0;
    std::vector<DoublePoint> pts;
    for (int p = 0; p < parts; ++p)
        if (PartPoints(r, p, &pts)) sum += f(static_cast<int>(pts.size()), pts.data());
    return sum;
}

}  // namespace

double ShapeLength(const ShapeRecord* shape) {
    return SumParts(shape, IsLineOrPolygonShapeType, PolylineLength);
}

double ShapeArea(const ShapeRecord* shape) {
    return SumParts(shape, IsPolygonShapeType, RingArea);
}

double MeasureShapeLength(CCoordSys* cs, const ShapeRecord* shape) {
    return SumParts(shape, IsLineOrPolygonShapeType,
                    [cs](int n, const DoublePoint* p) { return MeasureLength(cs, n, p); });
}

double MeasureShapeArea(CCoordSys* cs, const ShapeRecord* shape) {
    // Signed rings summed (holes run anticlockwise and subtract), then the
    // absolute value: a polygon with holes is not larger than its outline.
    return std::fabs(SumParts(shape, IsPolygonShapeType, [cs](int n, const DoublePoint* p) {
        return MeasureSignedArea(cs, n, p);
    }));
}
