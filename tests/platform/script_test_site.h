// A recording script site and a small harness around an engine, for the
// engine tests of either language.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/scripting/script_engine.h"

namespace scripttest {

struct RecordedError {
    SCODE scode = 0;
    uint16_t wCode = 0;
    WString source;
    WString description;
    uintptr_t context = 0;
    uint32_t line = 0;
    int32_t column = 0;
    WString lineText;
    bool hasLineText = false;
};

class TestSite final : public IActiveScriptSite,
                       public IActiveScriptSiteWindow,
                       public IActiveScriptSiteInterruptPoll {
public:
    struct Item {
        WString name;
        ComPtr<IDispatch> object;
        const CoclassDesc* coclass;
    };

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IActiveScriptSite) {
            *out = static_cast<IActiveScriptSite*>(this);
        } else if (iid == IID_IActiveScriptSiteWindow) {
            *out = static_cast<IActiveScriptSiteWindow*>(this);
        } else if (iid == IID_IActiveScriptSiteInterruptPoll && queryContinue) {
            *out = static_cast<IActiveScriptSiteInterruptPoll*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }  // lives on the test's stack
    HRESULT GetLCID(LCID* out) override {
        *out = LOCALE_EN_US;
        return S_OK;
    }
    HRESULT GetItemInfo(const OLECHAR* name, uint32_t mask, IUnknown** item,
                        ITypeInfo** typeInfo) override {
        if (item) *item = nullptr;
        if (typeInfo) *typeInfo = nullptr;
        ++itemInfoCalls;
        for (auto& i : items) {
            if (i.name != name) continue;  // exact, as the program's host does
            if ((mask & SCRIPTINFO_IUNKNOWN) && item) {
                *item = i.object.Get();
                if (*item) (*item)->AddRef();
            }
            if ((mask & SCRIPTINFO_ITYPEINFO) && typeInfo && i.coclass)
                *typeInfo = GetTypeInfoFor(*i.coclass);
            return S_OK;
        }
        return E_FAIL;
    }
    HRESULT GetDocVersionString(BSTR* out) override {
        *out = SysAllocString(u"");
        return S_OK;
    }
    HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT OnStateChange(SCRIPTSTATE s) override {
        states.push_back(s);
        return S_OK;
    }
    HRESULT OnScriptError(IActiveScriptError* error) override {
        RecordedError r;
        EXCEPINFO ei{};
        error->GetExceptionInfo(&ei);
        r.scode = ei.scode;
        r.wCode = ei.wCode;
        r.source = BstrView(ei.bstrSource);
        r.description = BstrView(ei.bstrDescription);
        ClearExcepInfo(&ei);
        error->GetSourcePosition(&r.context, &r.line, &r.column);
        BSTR line = nullptr;
        r.hasLineText = SUCCEEDED(error->GetSourceLineText(&line));
        r.lineText = BstrView(line);
        SysFreeString(line);
        errors.push_back(r);
        return S_OK;
    }
    HRESULT OnEnterScript() override {
        ++depth;
        return S_OK;
    }
    HRESULT OnLeaveScript() override {
        --depth;
        return S_OK;
    }
    HRESULT GetWindow(HWND* window) override {
        *window = nullptr;
        return S_OK;
    }
    HRESULT EnableModeless(bool) override { return S_OK; }
    HRESULT QueryContinue() override {
        ++polls;
        return queryContinue();
    }

    // The abort poll; the site answers the interface only when it is set.
    std::function<HRESULT()> queryContinue;
    int polls = 0;
    uint32_t refs = 0;
    int depth = 0;
    int itemInfoCalls = 0;
    std::vector<Item> items;
    std::vector<RecordedError> errors;
    std::vector<SCRIPTSTATE> states;
};

// One engine with its site. The site outlives the engine.
class Harness {
public:
    explicit Harness(WStringView language) {
        EXPECT_EQ(CreateScriptEngine(language, IID_IActiveScript, script.ReceiveVoid()), S_OK);
        if (!script) return;
        EXPECT_EQ(script.As(IID_IActiveScriptParse, &parse), S_OK);
        EXPECT_EQ(parse->InitNew(), S_OK);
        EXPECT_EQ(script->SetScriptSite(&site), S_OK);
    }
    ~Harness() {
        if (script) script->Close();
        parse.Reset();
        script.Reset();
    }
    void AddItem(WStringView name, IDispatch* object, const CoclassDesc* coclass, uint32_t flags) {
        site.items.push_back({WString(name), ComPtr<IDispatch>(object), coclass});
        EXPECT_EQ(script->AddNamedItem(WString(name).c_str(), flags), S_OK);
    }
    HRESULT Run(WStringView code, uintptr_t cookie = 0, uint32_t startingLine = 0) {
        return parse->ParseScriptText(WString(code).c_str(), nullptr, nullptr, nullptr, cookie,
                                      startingLine, SCRIPTTEXT_ISVISIBLE | SCRIPTTEXT_ISPERSISTENT,
                                      nullptr, nullptr);
    }
    HRESULT Eval(WStringView expr, VARIANT* result) {
        return parse->ParseScriptText(WString(expr).c_str(), nullptr, nullptr, nullptr, 0, 0,
                                      SCRIPTTEXT_ISEXPRESSION, result, nullptr);
    }
    HRESULT Scriptlet(WStringView item, WStringView event, WStringView code) {
        BSTR name = nullptr;
        HRESULT hr = parse->AddScriptlet(
            nullptr, WString(code).c_str(), WString(item).c_str(), nullptr, WString(event).c_str(),
            nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE | SCRIPTTEXT_ISPERSISTENT, &name, nullptr);
        SysFreeString(name);
        return hr;
    }
    HRESULT SetState(SCRIPTSTATE s) { return script->SetScriptState(s); }

    TestSite site;
    ComPtr<IActiveScript> script;
    ComPtr<IActiveScriptParse> parse;
};

}  // namespace scripttest
