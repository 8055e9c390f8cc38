#include "script/app/script_timer.h"

#include "platform/win/window.h"
#include "script/member_ids.h"

const InterfaceDesc& CScriptTimer::Desc() {
    using C = CScriptTimer;
    namespace p = dispid::prop;
    static const InterfaceDesc d = InterfaceBuilder<C>(u"ITimer", ScriptLibGuid(kLibITimer))
                                       .PropGet(u"Interval", p::Interval, &C::get_Interval)
                                       .PropPut(u"Interval", p::Interval, &C::put_Interval)
                                       .PropGet(u"Enabled", p::Enabled, &C::get_Enabled, {}, VT_BOOL)
                                       .PropPut(u"Enabled", p::Enabled, &C::put_Enabled,
                                                {Param(u"Enabled", VT_BOOL)})
                                       .Build();
    return d;
}

const CoclassDesc& CScriptTimer::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibTimer), u"Timer", &Desc(),
                               ScriptEventInterface(kLibITimerEvents)};
    return c;
}

HRESULT CScriptTimer::get_Interval(int32_t* out) {
    *out = m_interval;
    return S_OK;
}

HRESULT CScriptTimer::put_Interval(int32_t value) {
    if (value < 1) return E_FAIL;
    m_interval = value;
    if (m_enabled && m_window) SetTimer(m_window, kTimerId, static_cast<UINT>(m_interval), nullptr);
    return S_OK;
}

HRESULT CScriptTimer::get_Enabled(int16_t* out) {
    *out = m_enabled ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptTimer::put_Enabled(int16_t value) {
    if (value) {
        if (m_enabled) return S_OK;
        if (!m_window) m_window = win::GetMainWindow();
        if (!m_window || !SetTimer(m_window, kTimerId, static_cast<UINT>(m_interval), nullptr))
            return E_FAIL;
        m_enabled = true;
    } else {
        Stop();
    }
    return S_OK;
}

void CScriptTimer::Stop() {
    if (m_enabled && m_window && IsWindow(m_window)) KillTimer(m_window, kTimerId);
    m_enabled = false;
}
