// Points: the vertices of one part of a line or polygon, or of a whole
// multipoint. Items are new PointZ copies; changing one changes no shape.
#pragma once

#include "platform/com/com.h"
#include "script/data/script_coord_sys.h"
#include "script/data/script_shape.h"
#include "script/script_object.h"

class CScriptPoints : public CScriptObject<CScriptPoints> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

    // Over part `part` of the shape (count 0); an empty collection without one.
    static CScriptPoints* Create(ScriptShapePtr shape = nullptr, int32_t part = 0,
                                 CScriptCoordSys* cs = nullptr);

    // ISPoints
    HRESULT get__NewEnum(IUnknown** out);
    HRESULT get_ShapeType(int32_t* out);
    HRESULT get_Count(int32_t* out);
    HRESULT get_Extent(IDispatch** out);
    HRESULT get_CoordinateSystem(IDispatch** out);
    HRESULT Item(VARIANT index, IDispatch** out);

private:
    friend class DispatchObject<CScriptPoints>;
    CScriptPoints() = default;
    ~CScriptPoints() override = default;
    // The first vertex and the vertex count of the collection.
    void Range(int* first, int* count) const;

    ScriptShapePtr m_shape;
    int32_t m_part = 0;
    ComPtr<CScriptCoordSys> m_cs;
};

// A 1-based collection position from a script argument: E_FAIL when it does
// not convert to an integer.
HRESULT ScriptCollectionIndex(const VARIANT& index, int32_t* out);
