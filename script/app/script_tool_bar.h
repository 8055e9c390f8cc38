// ToolBar: one command bar of the main window, its buttons as ToolItem
// objects, its caption and visibility.
#pragma once

#include "script/script_object.h"

class CCommandBarInfo;

class CScriptToolBar : public CScriptObject<CScriptToolBar> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptToolBar* Create(CCommandBarInfo* bar);

    HRESULT get__NewEnum(IUnknown** out);
    HRESULT get_Count(int32_t* out);
    HRESULT get_Name(BSTR* out);
    HRESULT get_Caption(BSTR* out);
    HRESULT put_Caption(BSTR value);
    HRESULT get_Visible(int32_t* out);
    HRESULT put_Visible(int32_t value);
    HRESULT get_hWnd(int32_t* out);
    HRESULT Item(VARIANT index, IDispatch** out);

private:
    friend class DispatchObject<CScriptToolBar>;
    CScriptToolBar() = default;
    ~CScriptToolBar() override = default;
    // The bar while the main frame still has it (scripts may keep the
    // object after the frame is gone).
    CCommandBarInfo* Bar() const;

    CCommandBarInfo* m_bar = nullptr;  // not owned
};
