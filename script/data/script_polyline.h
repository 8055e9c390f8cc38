// Polyline (and, through the shared base, Polygon): a line or polygon shape
// with its parts, extent and length, optionally in a coordinate system.
// Objects made by scripts are empty: no shape and no system.
#pragma once

#include "platform/com/com.h"
#include "script/data/script_coord_sys.h"
#include "script/data/script_shape.h"
#include "script/script_object.h"

template <class T>
class CScriptShapeObject : public CScriptObject<T> {
public:
    static T* Create(ScriptShapePtr shape = nullptr, CScriptCoordSys* cs = nullptr) {
        T* o = new T;
        o->m_shape = std::move(shape);
        o->m_cs = ComPtr<CScriptCoordSys>(cs);
        return o;
    }
    HRESULT get_Parts(IDispatch** out);
    HRESULT get_ShapeType(int32_t* out);
    HRESULT get_Extent(IDispatch** out);
    HRESULT get_CoordinateSystem(IDispatch** out);
    // Length of a line, perimeter of a polygon: over all parts.
    HRESULT get_Length(double* out);

    const ScriptShapePtr& Shape() const { return m_shape; }

protected:
    ScriptShapePtr m_shape;
    ComPtr<CScriptCoordSys> m_cs;
};

class CScriptPolyline : public CScriptShapeObject<CScriptPolyline> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

private:
    friend class CScriptShapeObject<CScriptPolyline>;
    friend class DispatchObject<CScriptPolyline>;
    CScriptPolyline() = default;
    ~CScriptPolyline() override = default;
};
