#include "script/app/script_ombrix.h"

#include "core/user_abort.h"
#include "script/member_ids.h"

const InterfaceDesc& CScriptOmbrix::Desc() {
    using C = CScriptOmbrix;
    namespace p = dispid::prop;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"IOmbrix", ScriptLibGuid(kLibIOmbrix))
            .PropGet(u"ServerName", p::ServerName, &C::get_ServerName)
            .PropPut(u"ServerName", p::ServerName, &C::put_ServerName)
            .PropGet(u"ServerPort", p::ServerPort, &C::get_ServerPort)
            .PropPut(u"ServerPort", p::ServerPort, &C::put_ServerPort)
            .PropGet(u"RequestOXL", p::RequestOXL, &C::get_RequestOXL)
            .PropGet(u"ResponseOXL", p::ResponseOXL, &C::get_ResponseOXL)
            .Method(u"SendOXLRequest", dispid::method::SendOXLRequest, &C::SendOXLRequest,
                    {Param(u"ServiceName"), Param(u"OXL")})
            .Build();
    return d;
}

const CoclassDesc& CScriptOmbrix::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibOmbrix), u"Ombrix", &Desc(), nullptr};
    return c;
}

CScriptOmbrix::CScriptOmbrix() { m_connection.SetServer(u"", COmbrixConnection::kDefaultServlet, 80); }

HRESULT CScriptOmbrix::get_ServerName(BSTR* out) {
    *out = SysAllocString(m_connection.GetServer());
    return S_OK;
}

HRESULT CScriptOmbrix::put_ServerName(BSTR value) {
    m_connection.SetServer(BstrView(value), m_connection.GetServlet().c_str(), m_connection.GetPort());
    return S_OK;
}

HRESULT CScriptOmbrix::get_ServerPort(int32_t* out) {
    *out = m_connection.GetPort();
    return S_OK;
}

HRESULT CScriptOmbrix::put_ServerPort(int32_t value) {
    if (value < 0 || value > 65535) return E_INVALIDARG;
    m_connection.SetServer(m_connection.GetServer(), m_connection.GetServlet().c_str(),
                           static_cast<uint16_t>(value));
    return S_OK;
}

HRESULT CScriptOmbrix::get_RequestOXL(BSTR* out) {
    *out = SysAllocString(m_request);
    return S_OK;
}

HRESULT CScriptOmbrix::get_ResponseOXL(BSTR* out) {
    *out = SysAllocString(m_response);
    return S_OK;
}

HRESULT CScriptOmbrix::SendOXLRequest(BSTR serviceName, BSTR oxl, BSTR* out) {
    m_request = BstrView(oxl);
    m_response.clear();
    WString response;
    // Only a tap during this exchange cancels it.
    ResetAbort();
    // A failed exchange (no network, no server, an error status) leaves the
    // response empty; scripts test it.
    if (m_connection.SendRequestText(COmbrixConnection::ServiceParameter(BstrView(serviceName)), m_request,
                                     response))
        m_response = std::move(response);
    *out = SysAllocString(m_response);
    return S_OK;
}
