// CommonDialog: the file open and save dialogs, the colour picker and the
// soft input panel, owned by the main window.
#pragma once

#include "script/script_object.h"

class CScriptCommonDialog : public CScriptObject<CScriptCommonDialog> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptCommonDialog* Create() { return new CScriptCommonDialog; }

    HRESULT ShowOpen(BSTR defExt, BSTR filter, BSTR title, int32_t flags, VARIANT* out);
    HRESULT ShowSave(BSTR defFileName, BSTR defExt, BSTR filter, BSTR title, int32_t flags, VARIANT* out);
    HRESULT ShowColor(int32_t defColor, int32_t flags, VARIANT* out);
    HRESULT ShowSIP(int16_t visible, int16_t* out);

private:
    friend class DispatchObject<CScriptCommonDialog>;
    CScriptCommonDialog() = default;
    ~CScriptCommonDialog() override = default;
    HRESULT ShowFile(bool open, BSTR defFileName, BSTR defExt, BSTR filter, BSTR title, int32_t flags,
                     VARIANT* out);
};
