// INet: fetches a document over HTTP and tells the device's host name.
// A fetch blocks the caller; the session's limits end a dead or stalled
// server, and a tap or Escape ends it at once.
#pragma once

#include "platform/net/http.h"
#include "script/script_object.h"

class CScriptINet : public CScriptConnectable<CScriptINet> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptINet* Create() { return new CScriptINet; }

    HRESULT get_HostName(BSTR* out);
    HRESULT OpenURL(BSTR url, int32_t dataType, VARIANT* out);

    // The limits of every later fetch (tests shorten them).
    static void SetHttpSettings(const net::HttpSettings& settings);
    static net::HttpSettings DefaultHttpSettings();

private:
    friend class DispatchObject<CScriptINet>;
    CScriptINet() = default;
    ~CScriptINet() override = default;
};
