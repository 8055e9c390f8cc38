#include "script/app/script_inet.h"

#include <unistd.h>

#include "core/user_abort.h"
#include "map/services/preferences.h"
#include "script/member_ids.h"

namespace {
net::HttpSettings& Settings() {
    static net::HttpSettings s = CScriptINet::DefaultHttpSettings();
    return s;
}
}  // namespace

net::HttpSettings CScriptINet::DefaultHttpSettings() {
    net::HttpSettings s;
    // An error status's page is a document too.
    s.keepErrorBody = true;
    return s;
}

void CScriptINet::SetHttpSettings(const net::HttpSettings& settings) { Settings() = settings; }

const InterfaceDesc& CScriptINet::Desc() {
    using C = CScriptINet;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"IINet", ScriptLibGuid(kLibIINet))
            .PropGet(u"HostName", dispid::inet::HostName, &C::get_HostName)
            .Method(u"OpenURL", dispid::inet::OpenURL, &C::OpenURL,
                    {Param(u"URL"), Param(u"DataType", VT_INT).Optional(int32_t{0})})
            .Build();
    return d;
}

const CoclassDesc& CScriptINet::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibINet), u"INet", &Desc(), ScriptEventInterface(kLibIINetEvents)};
    return c;
}

HRESULT CScriptINet::get_HostName(BSTR* out) {
    char name[261] = {};
    if (gethostname(name, sizeof name - 1) != 0) name[0] = 0;
    *out = SysAllocString(text::FromCodePage(name, GetPreferences()->GetAnsiCodePage()));
    return S_OK;
}

HRESULT CScriptINet::OpenURL(BSTR url, int32_t, VARIANT* out) {
    std::optional<net::Url> parsed = net::ParseUrl(text::ToUtf8(BstrView(url)));
    if (!parsed) return E_FAIL;
    // Only a tap during this fetch ends it, not one an earlier loop saw.
    ResetAbort();
    net::HttpSession session(Settings());
    session.SetAbortPoll([] { return IsAbortRequested(); });
    net::HttpResult r = session.Get(*parsed);
    // Any answer that arrived whole is the document, a 404 page included.
    if (!r.ok && !(r.complete && Settings().keepErrorBody)) return E_FAIL;
    VariantClear(out);
    VariantFromString(out, text::FromCodePage(r.body, GetPreferences()->GetAnsiCodePage()));
    return S_OK;
}
