// Extension: the script face of one loaded extension module, made on the
// first request and kept by the module's record.
#pragma once

#include "script/script_object.h"

class CExtension;

class CScriptExtension : public CScriptObject<CScriptExtension> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptExtension* Create(CExtension* extension);

    HRESULT get_Name(BSTR* out);
    HRESULT get_CodeName(BSTR* out);
    HRESULT get_Version(BSTR* out);
    HRESULT ShowAbout();
    HRESULT ShowProperties(int16_t* out);
    HRESULT Escape(VARIANT* param1, VARIANT* param2, VARIANT* param3, VARIANT* out);

private:
    friend class DispatchObject<CScriptExtension>;
    CScriptExtension() = default;
    ~CScriptExtension() override = default;

    CExtension* m_extension = nullptr;  // the record that keeps this object
};
