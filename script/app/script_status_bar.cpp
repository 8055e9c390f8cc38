#include "script/app/script_status_bar.h"

#include "map/services/preferences.h"
#include "map/view/map_view.h"
#include "platform/win/window.h"
#include "script/member_ids.h"
#include "shell/frame/main_frame.h"

const InterfaceDesc& CScriptStatusBar::Desc() {
    using C = CScriptStatusBar;
    namespace p = dispid::prop;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"IStatusBar", ScriptLibGuid(kLibIStatusBar))
            .PropGet(u"Text", dispid::kDefault, &C::get_Text, {Param(u"Pane").Optional(int16_t{0})})
            .PropPut(u"Text", dispid::kDefault, &C::put_Text, {Param(u"Pane").Optional(int16_t{0})})
            .PropGet(u"Visible", p::Visible, &C::get_Visible, {}, VT_BOOL)
            .PropPut(u"Visible", p::Visible, &C::put_Visible, {Param(u"Visible", VT_BOOL)})
            .PropGet(u"hWnd", p::hWnd, &C::get_hWnd)
            .PropGet(u"CoordinateFormat", p::CoordinateFormat, &C::get_CoordinateFormat)
            .PropPut(u"CoordinateFormat", p::CoordinateFormat, &C::put_CoordinateFormat)
            .PropGet(u"Width", p::Width, &C::get_Width, {Param(u"Pane").Optional(int16_t{0})})
            .PropPut(u"Width", p::Width, &C::put_Width, {Param(u"Pane").Optional(int16_t{0})})
            .PropGet(u"Style", p::Style, &C::get_Style, {Param(u"Pane").Optional(int16_t{0})})
            .PropPut(u"Style", p::Style, &C::put_Style, {Param(u"Pane").Optional(int16_t{0})})
            .Build();
    return d;
}

const CoclassDesc& CScriptStatusBar::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibStatusBar), u"StatusBar", &Desc(),
                               ScriptEventInterface(kLibIStatusBarEvents)};
    return c;
}

CMainFrame* CScriptStatusBar::FrameFor(int pane) {
    CMainFrame* frame = CMainFrame::GetMainFrame();
    if (!frame || !frame->GetMainStatusBar() || pane < 0 || pane >= frame->GetPaneCount()) return nullptr;
    return frame;
}

HRESULT CScriptStatusBar::get_Text(int16_t pane, BSTR* out) {
    CMainFrame* frame = FrameFor(pane);
    if (!frame) return E_INVALIDARG;
    *out = SysAllocString(frame->GetPaneText(pane));
    return S_OK;
}

HRESULT CScriptStatusBar::put_Text(int16_t pane, BSTR value) {
    CMainFrame* frame = FrameFor(pane);
    if (!frame) return E_INVALIDARG;
    frame->SetPaneText(pane, WString(BstrView(value)));
    return S_OK;
}

HRESULT CScriptStatusBar::get_Visible(int16_t* out) {
    CMainFrame* frame = CMainFrame::GetMainFrame();
    HWND bar = frame ? frame->GetMainStatusBar() : nullptr;
    *out = bar && IsWindowVisible(bar) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptStatusBar::put_Visible(int16_t value) {
    CMainFrame* frame = CMainFrame::GetMainFrame();
    if (!frame || !frame->GetMainStatusBar()) return E_FAIL;
    frame->ShowStatusBar(value != 0);
    return S_OK;
}

HRESULT CScriptStatusBar::get_hWnd(int32_t* out) {
    CMainFrame* frame = CMainFrame::GetMainFrame();
    *out = static_cast<int32_t>(HandleToToken(frame ? frame->GetMainStatusBar() : nullptr));
    return S_OK;
}

HRESULT CScriptStatusBar::get_CoordinateFormat(int16_t* out) {
    *out = static_cast<int16_t>(GetPreferences()->Data().statusbar.coordsformat);
    return S_OK;
}

HRESULT CScriptStatusBar::put_CoordinateFormat(int16_t value) {
    if (value < 0 || value > 5) return E_INVALIDARG;
    // For this run only: the preferences file keeps what the user chose.
    GetPreferences()->Data().statusbar.coordsformat = value;
    CMainFrame* frame = CMainFrame::GetMainFrame();
    if (CMapView* view = frame ? frame->GetMapView() : nullptr) view->GetTracker().SetCoordinateFormat(value);
    return S_OK;
}

HRESULT CScriptStatusBar::get_Width(int16_t pane, int16_t* out) {
    CMainFrame* frame = FrameFor(pane);
    if (!frame) return E_INVALIDARG;
    *out = static_cast<int16_t>(frame->GetPaneWidth(pane));
    return S_OK;
}

HRESULT CScriptStatusBar::put_Width(int16_t pane, int16_t value) {
    CMainFrame* frame = FrameFor(pane);
    if (!frame) return E_INVALIDARG;
    frame->SetPaneWidth(pane, value);
    return S_OK;
}

HRESULT CScriptStatusBar::get_Style(int16_t pane, int32_t* out) {
    CMainFrame* frame = FrameFor(pane);
    if (!frame) return E_INVALIDARG;
    *out = static_cast<int32_t>(frame->GetPaneStyle(pane));
    return S_OK;
}

HRESULT CScriptStatusBar::put_Style(int16_t pane, int32_t value) {
    CMainFrame* frame = FrameFor(pane);
    if (!frame) return E_INVALIDARG;
    frame->SetPaneStyle(pane, static_cast<DWORD>(value));
    return S_OK;
}
