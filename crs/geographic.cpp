#include "crs/geographic.h"

#include <cstring>

#include "crs/code_tables.h"

// Neither constructor runs Setup: the derived constants stay 0 until a datum
// is set or the factory runs it.
CGeographic::CGeographic() {
    m_projectionCode = crs_code::kGeographic;
    m_projectionUnitCode = crs_code::kDegree;
    m_projectionUnitFactor = 1.0;
}

void CGeographic::Forward(double lon, double lat, double* x, double* y) {
    IdentityTransform(lon, lat, x, y);
}

void CGeographic::Inverse(double x, double y, double* lon, double* lat) {
    IdentityTransform(x, y, lon, lat);
}

CUnknownProjection::CUnknownProjection() {
    m_projectionCode = crs_code::kUnknown;
    m_projectionUnitCode = 0;
    m_projectionUnitFactor = 1.0;
}

void CUnknownProjection::Forward(double lon, double lat, double* x, double* y) {
    IdentityTransform(lon, lat, x, y);
}

void CUnknownProjection::Inverse(double x, double y, double* lon, double* lat) {
    IdentityTransform(x, y, lon, lat);
}

void IdentityTransform(double u, double v, double* outU, double* outV) {
    *outU = u;
    *outV = v;
}

double* InitNaN(double* target) {
    static const unsigned char kBytes[8] = {0, 0, 0, 0, 0, 0, 0xF8, 0x7F};
    std::memcpy(static_cast<void*>(target), kBytes, sizeof kBytes);
    return target;
}
