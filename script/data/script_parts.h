// Parts: the parts of a line or polygon, each a new Points collection.
#pragma once

#include "platform/com/com.h"
#include "script/data/script_coord_sys.h"
#include "script/data/script_shape.h"
#include "script/script_object.h"

class CScriptParts : public CScriptObject<CScriptParts> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

    static CScriptParts* Create(ScriptShapePtr shape, CScriptCoordSys* cs);

    // ISParts
    HRESULT get__NewEnum(IUnknown** out);
    HRESULT get_Count(int32_t* out);
    HRESULT Item(VARIANT index, IDispatch** out);

private:
    friend class DispatchObject<CScriptParts>;
    CScriptParts() = default;
    ~CScriptParts() override = default;

    ScriptShapePtr m_shape;
    ComPtr<CScriptCoordSys> m_cs;
};
