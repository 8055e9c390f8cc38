#include "script/app/script_tool_bars.h"

#include "script/app/script_tool_bar.h"
#include "script/member_ids.h"
#include "shell/frame/command_bars.h"
#include "shell/frame/main_frame.h"

const InterfaceDesc& CScriptToolBars::Desc() {
    using C = CScriptToolBars;
    static const InterfaceDesc d = InterfaceBuilder<C>(u"IToolBars", ScriptLibGuid(kLibIToolBars))
                                       .PropGet(u"_NewEnum", dispid::kNewEnum, &C::get__NewEnum)
                                       .PropGet(u"Count", dispid::prop::Count, &C::get_Count)
                                       .Method(u"Item", dispid::kDefault, &C::Item, {Param(u"Index")})
                                       .Build();
    return d;
}

const CoclassDesc& CScriptToolBars::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibToolBars), u"ToolBars", &Desc(), nullptr};
    return c;
}

CCommandBars* CScriptToolBars::FrameBars() {
    CMainFrame* frame = CMainFrame::GetMainFrame();
    return frame ? frame->GetCommandBars() : nullptr;
}

HRESULT CScriptToolBars::get__NewEnum(IUnknown** out) {
    *out = NewCollectionEnumerator(this);
    return S_OK;
}

HRESULT CScriptToolBars::get_Count(int32_t* out) {
    // The bars Item positions index, so For Each and Count agree.
    CCommandBars* bars = FrameBars();
    *out = bars ? static_cast<int32_t>(bars->GetBars().size()) : 0;
    return S_OK;
}

HRESULT CScriptToolBars::Item(VARIANT index, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    CCommandBars* bars = FrameBars();
    const VARIANT* v = VariantDeref(&index);
    if (v->vt == VT_BSTR) {
        CCommandBarInfo* bar = bars ? bars->FindCommandBarByName(BstrView(v->bstrVal)) : nullptr;
        if (!bar) return E_INVALIDARG;
        *out = CScriptToolBar::Create(bar);
        (*out)->AddRef();
        return S_OK;
    }
    ComVariant n;
    if (FAILED(VariantChangeType(&n, v, 0, VT_I4))) return E_INVALIDARG;
    if (!bars || n.lVal < 1 || n.lVal > static_cast<int32_t>(bars->GetBars().size())) return S_OK;
    *out = CScriptToolBar::Create(bars->GetBars()[static_cast<size_t>(n.lVal - 1)].get());
    (*out)->AddRef();
    return S_OK;
}
