#include "script/app/script_aux.h"

#include <string>

#include "gps/aux_port.h"
#include "platform/win/framework.h"
#include "platform/win/window.h"
#include "script/member_ids.h"
#include "shell/options/port_records.h"

namespace {
// How often a waiting read looks at the ring when no message comes.
constexpr UINT kWakeMs = 20;
constexpr uintptr_t kWakeTimer = 1;
}  // namespace

const InterfaceDesc& CScriptAUX::Desc() {
    using C = CScriptAUX;
    namespace p = dispid::prop;
    namespace m = dispid::method;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"IAUX", ScriptLibGuid(kLibIAUX))
            .PropGet(u"IsOpen", p::IsOpen, &C::get_IsOpen, {}, VT_BOOL)
            .PropGet(u"InBufferCount", p::InBufferCount, &C::get_InBufferCount)
            .PropPut(u"InBufferCount", p::InBufferCount, &C::put_InBufferCount)
            .PropGet(u"OutBufferCount", p::OutBufferCount, &C::get_OutBufferCount)
            .PropPut(u"OutBufferCount", p::OutBufferCount, &C::put_OutBufferCount)
            .PropPut(u"Break", p::Break, &C::put_Break, {Param(u"Break", VT_BOOL)})
            .PropGet(u"CommEvent", p::CommEvent, &C::get_CommEvent)
            .Method(u"Open", m::Open, &C::Open, {}, VT_BOOL)
            .Method(u"Close", m::Close, &C::Close)
            .Method(u"Read", m::Read, &C::Read,
                    {Param(u"nCharacters", VT_INT), Param(u"Wait", VT_BOOL).Optional(false)})
            .Method(u"ReadLine", m::ReadLine, &C::ReadLine, {Param(u"Wait", VT_BOOL).Optional(false)})
            .Method(u"ReadByte", m::ReadByte, &C::ReadByte, {Param(u"Wait", VT_BOOL).Optional(false)})
            .Method(u"Write", m::Write, &C::Write, {Param(u"String")})
            .Method(u"WriteLine", m::WriteLine, &C::WriteLine, {Param(u"String").Optional(u"")})
            .Method(u"WriteByte", m::WriteByte, &C::WriteByte, {Param(u"Byte")})
            .Build();
    return d;
}

const CoclassDesc& CScriptAUX::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibAUX), u"AUX", &Desc(), ScriptEventInterface(kLibIAUXEvents)};
    return c;
}

CScriptAUX* CScriptAUX::Create(CAuxPort* port) {
    auto* o = new CScriptAUX;
    o->m_port = port;
    return o;
}

CScriptAUX::~CScriptAUX() {
    if (m_waker && IsWindow(m_waker)) DestroyWindow(m_waker);
}

bool CScriptAUX::IsPortOpen() const { return m_port && m_port->IsOpen(); }

bool CScriptAUX::WaitForData() {
    if (!m_waker || !IsWindow(m_waker)) {
        m_waker = CreateWindow(u"STATIC", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        if (!m_waker) return false;
    }
    // The reader thread tells the main window when data arrives; the timer
    // ends the wait as well when nothing else does.
    SetTimer(m_waker, kWakeTimer, kWakeMs, nullptr);
    int quitCode = 0;
    const bool go = win::PumpMessage(&quitCode);
    if (m_waker && IsWindow(m_waker)) KillTimer(m_waker, kWakeTimer);
    if (!go) {
        PostQuitMessage(quitCode);  // for the outer loop
        return false;
    }
    return IsPortOpen();
}

HRESULT CScriptAUX::get_IsOpen(int16_t* out) {
    *out = IsPortOpen() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptAUX::get_InBufferCount(int32_t* out) {
    if (!IsPortOpen()) return E_FAIL;
    *out = m_port->Port().GetInCount();
    return S_OK;
}

HRESULT CScriptAUX::put_InBufferCount(int32_t value) {
    if (!IsPortOpen() || value != 0) return E_FAIL;
    m_port->Port().ClearBuffers(8);
    m_line.clear();
    return S_OK;
}

HRESULT CScriptAUX::get_OutBufferCount(int32_t* out) {
    if (!IsPortOpen()) return E_FAIL;
    *out = m_port->Port().GetOutCount();
    return S_OK;
}

HRESULT CScriptAUX::put_OutBufferCount(int32_t value) {
    if (!IsPortOpen() || value != 0) return E_FAIL;
    m_port->Port().ClearBuffers(4);
    return S_OK;
}

HRESULT CScriptAUX::put_Break(int16_t value) {
    if (!IsPortOpen()) return E_FAIL;
    // The line's break is a pulse here: setting it sends one, clearing it
    // has nothing left to end.
    if (value) m_port->Port().SendBreak(250);
    return S_OK;
}

HRESULT CScriptAUX::get_CommEvent(int16_t* out) {
    if (!IsPortOpen()) return E_FAIL;
    *out = static_cast<int16_t>(m_port->CommEvent());
    return S_OK;
}

HRESULT CScriptAUX::Open(int16_t* out) {
    if (!m_port) return E_FAIL;
    // An extension that claims the port owns it.
    if (IsPortOpen() || m_port->IsClaimed()) return E_ACCESSDENIED;
    m_port->Port().Settings() = GetAuxPortSettings();
    const bool opened = m_port->Open(nullptr, true);
    if (opened) m_line.clear();
    *out = opened ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptAUX::Close() {
    if (IsPortOpen()) m_port->Close();
    return S_OK;
}

HRESULT CScriptAUX::Read(int32_t count, int16_t wait, BSTR* out) {
    if (!IsPortOpen()) return E_ACCESSDENIED;
    if (count < 0) return E_INVALIDARG;
    if (count == 0) return E_FAIL;
    WString text;
    text.reserve(static_cast<size_t>(count));
    while (static_cast<int32_t>(text.size()) < count) {
        int b = m_port->Port().ReadByte();
        if (b >= 0) {
            text += static_cast<WChar>(b);
            if (!wait) break;
            continue;
        }
        if (!wait || !WaitForData()) break;
    }
    *out = SysAllocString(text);
    return S_OK;
}

HRESULT CScriptAUX::ReadLine(int16_t wait, BSTR* out) {
    if (!IsPortOpen()) return E_ACCESSDENIED;
    for (;;) {
        uint8_t chunk[64];
        const int n = m_port->Port().Read(chunk, sizeof chunk, '\n');
        for (int i = 0; i < n; ++i) {
            const uint8_t b = chunk[i];
            if (b == '\n') {
                *out = SysAllocString(m_line);
                m_line.clear();
                return S_OK;
            }
            if (b == '\r') continue;
            if (m_line.size() < kMaxLine) m_line += static_cast<WChar>(b);
        }
        if (n > 0) continue;
        if (!wait || !WaitForData()) break;
    }
    // No whole line yet: what came waits for the next call.
    *out = SysAllocString(u"");
    return S_OK;
}

HRESULT CScriptAUX::ReadByte(int16_t wait, int16_t* out) {
    if (!IsPortOpen()) return E_ACCESSDENIED;
    for (;;) {
        int b = m_port->Port().ReadByte();
        if (b >= 0 || !wait || !WaitForData()) {
            *out = static_cast<int16_t>(b);
            return S_OK;
        }
    }
}

HRESULT CScriptAUX::WriteBytes(const std::string& bytes) {
    if (!IsPortOpen()) return E_FAIL;
    if (bytes.empty()) return S_OK;
    return m_port->Port().Write(bytes.data(), static_cast<int>(bytes.size())) ? S_OK : E_FAIL;
}

HRESULT CScriptAUX::Write(BSTR text) {
    std::string bytes;
    for (WChar c : BstrView(text)) bytes += static_cast<char>(c & 0xFF);
    return WriteBytes(bytes);
}

HRESULT CScriptAUX::WriteLine(BSTR text) {
    std::string bytes;
    for (WChar c : BstrView(text)) bytes += static_cast<char>(c & 0xFF);
    return WriteBytes(bytes + "\r\n");
}

HRESULT CScriptAUX::WriteByte(uint8_t value) { return WriteBytes(std::string(1, static_cast<char>(value))); }
