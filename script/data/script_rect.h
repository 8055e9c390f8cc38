// Rect: a value object with a box, a z range and a measure range, and
// optionally the coordinate system it is in. Puts store values as given;
// callers that use a rectangle as an area normalise it first (Normalized).
#pragma once

#include <cfloat>

#include "core/double_rect.h"
#include "formats/shape/shape_record.h"
#include "platform/com/com.h"
#include "script/data/script_coord_sys.h"
#include "script/script_object.h"

class CScriptRect : public CScriptObject<CScriptRect> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

    // A new rectangle (count 0): zeros, no measures, no system.
    static CScriptRect* Create(CScriptCoordSys* cs = nullptr);
    // From a map extent: z 0 and no measures.
    static CScriptRect* FromBox(const CDoubleRect& box, CScriptCoordSys* cs);
    // From a shape extent: all eight values.
    static CScriptRect* FromExtent(const ShapeExtent& extent, CScriptCoordSys* cs);
    // The rectangle behind an argument, or null when it does not answer ISRect.
    static ComPtr<CScriptRect> From(IDispatch* object);

    // The box with its sides in order (minimum x and y first).
    CDoubleRect Normalized() const;

    // ISRect
    HRESULT get_Left(double* out);
    HRESULT put_Left(double value);
    HRESULT get_Right(double* out);
    HRESULT put_Right(double value);
    HRESULT get_Bottom(double* out);
    HRESULT put_Bottom(double value);
    HRESULT get_Top(double* out);
    HRESULT put_Top(double value);
    HRESULT get_Width(double* out);
    HRESULT get_Height(double* out);
    HRESULT get_Ceiling(double* out);
    HRESULT put_Ceiling(double value);
    HRESULT get_Floor(double* out);
    HRESULT put_Floor(double value);
    HRESULT get_Depth(double* out);
    HRESULT get_MinimumMeasure(double* out);
    HRESULT put_MinimumMeasure(double value);
    HRESULT get_MaximumMeasure(double* out);
    HRESULT put_MaximumMeasure(double value);
    HRESULT get_MeasureRange(double* out);
    HRESULT get_Center(IDispatch** out);
    HRESULT get_CoordinateSystem(IDispatch** out);
    HRESULT get_Perimeter(double* out);
    HRESULT get_Area(double* out);
    HRESULT ScaleRectangle(double factor);
    HRESULT Inset(double dx, double dy);
    HRESULT Offset(double dx, double dy);
    HRESULT IsPointIn(IDispatch* point, int16_t* out);

    double m_left = 0.0, m_bottom = 0.0, m_right = 0.0, m_top = 0.0;
    double m_floor = 0.0, m_ceiling = 0.0;
    double m_minMeasure = -DBL_MAX, m_maxMeasure = -DBL_MAX;
    ComPtr<CScriptCoordSys> m_cs;

private:
    friend class DispatchObject<CScriptRect>;
    CScriptRect() = default;
    ~CScriptRect() override = default;
};
