#include "script/app/script_tool_bar.h"

#include "script/app/script_tool_bars.h"
#include "script/app/script_tool_item_object.h"
#include "script/member_ids.h"
#include "shell/frame/bar_controls.h"
#include "shell/frame/command_bars.h"

const InterfaceDesc& CScriptToolBar::Desc() {
    using C = CScriptToolBar;
    namespace p = dispid::prop;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"IToolBar", ScriptLibGuid(kLibIToolBar))
            .PropGet(u"_NewEnum", dispid::kNewEnum, &C::get__NewEnum)
            .PropGet(u"Count", p::Count, &C::get_Count)
            .PropGet(u"Name", p::Name, &C::get_Name)
            .PropGet(u"Caption", p::Caption, &C::get_Caption)
            .PropPut(u"Caption", p::Caption, &C::put_Caption)
            .PropGet(u"Visible", p::Visible, &C::get_Visible)
            .PropPut(u"Visible", p::Visible, &C::put_Visible)
            .PropGet(u"hWnd", p::hWnd, &C::get_hWnd)
            .Method(u"Item", dispid::kDefault, &C::Item, {Param(u"Index")})
            .Build();
    return d;
}

const CoclassDesc& CScriptToolBar::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibToolBar), u"ToolBar", &Desc(), nullptr};
    return c;
}

CScriptToolBar* CScriptToolBar::Create(CCommandBarInfo* bar) {
    auto* o = new CScriptToolBar;
    o->m_bar = bar;
    return o;
}

CCommandBarInfo* CScriptToolBar::Bar() const {
    CCommandBars* bars = CScriptToolBars::FrameBars();
    if (!bars) return nullptr;
    for (const auto& b : bars->GetBars())
        if (b.get() == m_bar) return m_bar;
    return nullptr;
}

HRESULT CScriptToolBar::get__NewEnum(IUnknown** out) {
    *out = NewCollectionEnumerator(this);
    return S_OK;
}

HRESULT CScriptToolBar::get_Count(int32_t* out) {
    CCommandBarInfo* bar = Bar();
    *out = bar && bar->m_bar ? bar->m_bar->GetCount() : 0;
    return S_OK;
}

HRESULT CScriptToolBar::get_Name(BSTR* out) {
    CCommandBarInfo* bar = Bar();
    if (!bar) return E_FAIL;
    *out = SysAllocString(bar->m_name);
    return S_OK;
}

HRESULT CScriptToolBar::get_Caption(BSTR* out) {
    CCommandBarInfo* bar = Bar();
    if (!bar) return E_FAIL;
    *out = SysAllocString(bar->m_caption);
    return S_OK;
}

HRESULT CScriptToolBar::put_Caption(BSTR value) {
    CCommandBarInfo* bar = Bar();
    if (!bar) return E_FAIL;
    bar->m_caption = BstrView(value);
    CCommandBars* bars = CScriptToolBars::FrameBars();
    if (CReBarExt* strip = bars->GetStrip()) {
        int band = strip->FindBand(bar->m_name, false);
        if (band >= 0) strip->SetBandText(band, bar->m_caption.c_str());
    }
    return S_OK;
}

HRESULT CScriptToolBar::get_Visible(int32_t* out) {
    CCommandBarInfo* bar = Bar();
    if (!bar) return E_FAIL;
    *out = bar->m_bar && bar->m_bar->IsVisible() ? 1 : 0;  // the framework's TRUE
    return S_OK;
}

HRESULT CScriptToolBar::put_Visible(int32_t value) {
    CCommandBarInfo* bar = Bar();
    if (!bar || !bar->m_bar) return E_FAIL;
    CScriptToolBars::FrameBars()->ShowCommandBar(bar->m_bar, value != 0);
    return S_OK;
}

HRESULT CScriptToolBar::get_hWnd(int32_t* out) {
    CCommandBarInfo* bar = Bar();
    *out = static_cast<int32_t>(HandleToToken(bar && bar->m_bar ? bar->m_bar->GetSafeHwnd() : nullptr));
    return S_OK;
}

HRESULT CScriptToolBar::Item(VARIANT index, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    CCommandBarInfo* bar = Bar();
    if (!bar || !bar->m_bar) return E_FAIL;
    return FindToolItem(index, bar->m_bar, nullptr, E_INVALIDARG, out);
}
