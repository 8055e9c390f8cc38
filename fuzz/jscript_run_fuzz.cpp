// libFuzzer target: arbitrary text (the bytes as UTF-8) compiled and run by
// the "JScript" engine through the engine interface, in a fresh engine each
// time, with a small step budget: the site's abort poll stops the script
// after a few polls. Errors are expected; crashes, hangs, leaks and runaway
// recursion are not.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/scripting/jscript_engine.h"

namespace {

class FuzzSite final : public IActiveScriptSite, public IActiveScriptSiteInterruptPoll {
public:
    int polls = 0;
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IActiveScriptSite) {
            *out = static_cast<IActiveScriptSite*>(this);
        } else if (iid == IID_IActiveScriptSiteInterruptPoll) {
            *out = static_cast<IActiveScriptSiteInterruptPoll*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    uint32_t AddRef() override { return 2; }
    uint32_t Release() override { return 1; }
    HRESULT GetLCID(LCID* out) override {
        *out = LOCALE_EN_US;
        return S_OK;
    }
    HRESULT GetItemInfo(const OLECHAR*, uint32_t, IUnknown** item, ITypeInfo** ti) override {
        if (item) *item = nullptr;
        if (ti) *ti = nullptr;
        return E_FAIL;
    }
    HRESULT GetDocVersionString(BSTR* out) override {
        *out = nullptr;
        return S_OK;
    }
    HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT OnScriptError(IActiveScriptError*) override { return S_OK; }
    HRESULT OnEnterScript() override { return S_OK; }
    HRESULT OnLeaveScript() override { return S_OK; }
    // About a million instructions per run.
    HRESULT QueryContinue() override { return ++polls > 4 ? S_FALSE : S_OK; }
};

}  // namespace

// Huge allocations a script asks for fail as they do on the device.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WString code = text::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    FuzzSite site;
    ComPtr<IActiveScript> script;
    if (FAILED(CreateScriptEngine(u"JScript", IID_IActiveScript, script.ReceiveVoid()))) return 0;
    ComPtr<IActiveScriptParse> parse;
    script.As(IID_IActiveScriptParse, &parse);
    parse->InitNew();
    script->SetScriptSite(&site);
    script->SetScriptState(SCRIPTSTATE_STARTED);
    parse->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0,
                           SCRIPTTEXT_ISVISIBLE | SCRIPTTEXT_ISPERSISTENT, nullptr, nullptr);
    // And as an expression, in the same engine.
    site.polls = 0;
    VARIANT r;
    VariantInit(&r);
    parse->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISEXPRESSION,
                           &r, nullptr);
    VariantClear(&r);
    script->Close();
    return 0;
}
