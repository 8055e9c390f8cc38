// Polygon: a polygon shape; the line members plus its area and a
// point-in-polygon test over all rings.
#pragma once

#include "script/data/script_polyline.h"

class CScriptPolygon : public CScriptShapeObject<CScriptPolygon> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

    HRESULT get_Area(double* out);
    HRESULT IsPointIn(IDispatch* point, int16_t* out);

private:
    friend class CScriptShapeObject<CScriptPolygon>;
    friend class DispatchObject<CScriptPolygon>;
    CScriptPolygon() = default;
    ~CScriptPolygon() override = default;
};
