// Point: a value object with x, y, z, a measure, a shape type (point, PointZ
// or PointM) and optionally the coordinate system it is in.
#pragma once

#include <cfloat>

#include "platform/com/com.h"
#include "script/data/script_coord_sys.h"
#include "script/script_object.h"

class CScriptPoint : public CScriptObject<CScriptPoint> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

    // A new point (count 0); a new point is at the origin without a measure.
    static CScriptPoint* Create(int32_t shapeType, double x, double y, double z = 0.0,
                                double m = -DBL_MAX, CScriptCoordSys* cs = nullptr);
    // The point behind an argument, or null when it does not answer ISPoint.
    static ComPtr<CScriptPoint> From(IDispatch* object);

    // ISPoint
    HRESULT get_ShapeType(int32_t* out);
    HRESULT get_x(double* out);
    HRESULT put_x(double value);
    HRESULT get_y(double* out);
    HRESULT put_y(double value);
    HRESULT get_Z(double* out);
    HRESULT put_Z(double value);
    HRESULT get_Measure(double* out);
    HRESULT put_Measure(double value);
    HRESULT get_IsMeasured(int16_t* out);
    HRESULT get_Extent(IDispatch** out);
    HRESULT get_CoordinateSystem(IDispatch** out);
    HRESULT get_MGRS(BSTR* out);
    HRESULT put_MGRS(BSTR value);
    HRESULT DistanceTo(IDispatch* shape, double* out);
    HRESULT BearingTo(IDispatch* shape, double* out);

    double m_x = 0.0, m_y = 0.0, m_z = 0.0, m_m = -DBL_MAX;
    int32_t m_shapeType = 1;
    ComPtr<CScriptCoordSys> m_cs;

private:
    friend class DispatchObject<CScriptPoint>;
    CScriptPoint() = default;
    ~CScriptPoint() override = default;
    HRESULT Measure(IDispatch* shape, double* distance, double* bearing);
};
