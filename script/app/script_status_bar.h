// StatusBar: the main window's status bar panes, its visibility and the
// map view's coordinate read-out format.
#pragma once

#include "script/script_object.h"

class CMainFrame;

class CScriptStatusBar : public CScriptConnectable<CScriptStatusBar> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptStatusBar* Create() { return new CScriptStatusBar; }

    HRESULT get_Text(int16_t pane, BSTR* out);
    HRESULT put_Text(int16_t pane, BSTR value);
    HRESULT get_Visible(int16_t* out);
    HRESULT put_Visible(int16_t value);
    HRESULT get_hWnd(int32_t* out);
    HRESULT get_CoordinateFormat(int16_t* out);
    HRESULT put_CoordinateFormat(int16_t value);
    HRESULT get_Width(int16_t pane, int16_t* out);
    HRESULT put_Width(int16_t pane, int16_t value);
    HRESULT get_Style(int16_t pane, int32_t* out);
    HRESULT put_Style(int16_t pane, int32_t value);

private:
    friend class DispatchObject<CScriptStatusBar>;
    CScriptStatusBar() = default;
    ~CScriptStatusBar() override = default;
    // The main frame when the pane is one of its panes, else null.
    static CMainFrame* FrameFor(int pane);
};
