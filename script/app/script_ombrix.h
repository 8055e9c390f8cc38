// Ombrix: sends requests of the map server protocol to a server and keeps
// the last request and response.
#pragma once

#include "map/server/ombrix_connection.h"
#include "script/script_object.h"

class CScriptOmbrix : public CScriptObject<CScriptOmbrix> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptOmbrix* Create() { return new CScriptOmbrix; }

    HRESULT get_ServerName(BSTR* out);
    HRESULT put_ServerName(BSTR value);
    HRESULT get_ServerPort(int32_t* out);
    HRESULT put_ServerPort(int32_t value);
    HRESULT get_RequestOXL(BSTR* out);
    HRESULT get_ResponseOXL(BSTR* out);
    HRESULT SendOXLRequest(BSTR serviceName, BSTR oxl, BSTR* out);

private:
    friend class DispatchObject<CScriptOmbrix>;
    CScriptOmbrix();
    ~CScriptOmbrix() override = default;

    COmbrixConnection m_connection;
    WString m_request;
    WString m_response;
};
