// Applet: the script object of one applet.
#pragma once

#include "script/script_object.h"

class CApplet;

class CScriptApplet : public CScriptConnectable<CScriptApplet> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptApplet* Create(CApplet* applet);

    HRESULT get_Name(BSTR* out);
    HRESULT get_Forms(IDispatch** out);
    HRESULT Execute(BSTR script);

    // The applet is being deleted.
    void Detach() { m_applet = nullptr; }

private:
    friend class DispatchObject<CScriptApplet>;
    CScriptApplet() = default;
    ~CScriptApplet() override = default;

    CApplet* m_applet = nullptr;
};
