// Applets: the collection object of the loaded applets.
#pragma once

#include "script/script_object.h"

class CApplets;

class CScriptApplets : public CScriptObject<CScriptApplets> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptApplets* Create(CApplets* list);

    HRESULT get__NewEnum(IUnknown** out);
    HRESULT get_Count(int32_t* out);
    HRESULT Item(VARIANT index, IDispatch** out);

    void Detach() { m_list = nullptr; }

private:
    friend class DispatchObject<CScriptApplets>;
    CScriptApplets() = default;
    ~CScriptApplets() override = default;

    CApplets* m_list = nullptr;
};
