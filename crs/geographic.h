// Systems without projection formulas: geographic (code 43000, coordinates
// are longitude and latitude) and unknown (code 0, pass-through without a
// range test). Also the no-value double.
#pragma once

#include <vector>

#include "crs/coord_sys.h"

class CGeographic : public CCoordSys {
public:
    CGeographic();
    void Forward(double lon, double lat, double* x, double* y) override;
    void Inverse(double x, double y, double* lon, double* lat) override;
};

class CUnknownProjection : public CCoordSys {
public:
    CUnknownProjection();
    void Forward(double lon, double lat, double* x, double* y) override;
    void Inverse(double x, double y, double* lon, double* lat) override;

    // The projection as the well-known text named it, with its parameters
    // in their order, so that writing the text back loses nothing.
    struct Parameter {
        WString name;
        double value;
        bool operator==(const Parameter&) const = default;
    };
    WString m_projectionName;
    std::vector<Parameter> m_parameters;
};

// Copies the first coordinate to the first output and the second to the second.
void IdentityTransform(double u, double v, double* outU, double* outV);

// Stores the quiet NaN (bits 7FF8000000000000) byte by byte, so the target
// need not be aligned; returns the target.
double* InitNaN(double* target);
