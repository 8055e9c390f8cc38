// Extensions: the loaded extension modules in loading order, each by its
// four-letter code or its position.
#pragma once

#include "script/script_object.h"

class CExtensions;

class CScriptExtensions : public CScriptObject<CScriptExtensions> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptExtensions* Create(CExtensions* list);

    HRESULT get__NewEnum(IUnknown** out);
    HRESULT get_Count(int32_t* out);
    HRESULT Item(VARIANT index, IDispatch** out);

    // Makes the list's and each module's object through these classes.
    static void InstallFactories();
    static void RemoveFactories();

private:
    friend class DispatchObject<CScriptExtensions>;
    CScriptExtensions() = default;
    ~CScriptExtensions() override = default;

    CExtensions* m_list = nullptr;  // the list that keeps this object
};
