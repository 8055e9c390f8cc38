#include "script/script_host.h"

#include <atomic>

#include "core/file_stream.h"
#include "platform/res/locale.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "script/script_binding.h"
#include "script/script_event.h"
#include "script/type_library.h"

// ---- the error box ----

WString ScriptErrorCaption(const EXCEPINFO& e) {
    const uint32_t code = e.wCode ? e.wCode : static_cast<uint32_t>(e.scode);
    return text::Format(u"Zarnip Script Error %08X", code);
}

std::optional<WString> StoredLineText(const WString& text, uint32_t line) {
    size_t start = 0;
    for (uint32_t n = 0; n < line; ++n) {
        size_t lf = text.find(u'\n', start);
        size_t brk = lf != WString::npos ? lf : text.find(u'\r', start);
        if (brk == WString::npos) return std::nullopt;
        start = brk + 1;
    }
    size_t end = text.find_first_of(u"\r\n", start);
    return text.substr(start, end == WString::npos ? WString::npos : end - start);
}

WString ScriptErrorText(const EXCEPINFO& e, const WString* storedText, uint32_t line,
                        int32_t column, const WString* engineLineText) {
    WStringView source = BstrView(e.bstrSource);
    WStringView description = BstrView(e.bstrDescription);
    std::optional<WString> stored;
    if (storedText) stored = StoredLineText(*storedText, line);
    WString lineText = stored ? stored->substr(0, 80) : WString(u"Source Text Unavailable");
    WString out = source.empty() ? WString(u"Error Source Unavailable") : WString(source);
    out += u"\n";
    out += description.empty() ? WString(u"Error Description Unavailable") : WString(description);
    out += text::Format(u"\n[Line: %d, Column : %d]\n", static_cast<int>(line) + 1,
                        static_cast<int>(column) + 1);
    out += lineText;
    out += u"\n";
    if (engineLineText) out += *engineLineText;
    return out;
}

// ---- the site ----

// The engine's view of the host. Its count is bookkeeping: the host's owner
// destroys the host (and with it the site) after the engine let go.
class CScriptHost::CSite final : public IActiveScriptSite, public IActiveScriptSiteWindow {
public:
    explicit CSite(CScriptHost* host) : m_host(host) {}

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IActiveScriptSite) {
            *out = static_cast<IActiveScriptSite*>(this);
        } else if (iid == IID_IActiveScriptSiteWindow) {
            *out = static_cast<IActiveScriptSiteWindow*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    uint32_t AddRef() override { return ++m_refs; }
    uint32_t Release() override { return --m_refs; }

    HRESULT GetLCID(LCID* out) override {
        if (!out) return E_POINTER;
        *out = m_host->m_lcid;
        return S_OK;
    }
    HRESULT GetItemInfo(const OLECHAR* name, uint32_t mask, IUnknown** item,
                        ITypeInfo** typeInfo) override {
        return m_host->GetItemInfo(name, mask, item, typeInfo);
    }
    HRESULT GetDocVersionString(BSTR* out) override {
        if (!out) return E_POINTER;
        *out = SysAllocString(u"");
        return S_OK;
    }
    HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT OnScriptError(IActiveScriptError* error) override {
        if (error) m_host->OnError(error);
        return S_OK;
    }
    // The engines count their runs in the process-wide nesting themselves.
    HRESULT OnEnterScript() override { return S_OK; }
    HRESULT OnLeaveScript() override { return S_OK; }

    HRESULT GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = m_host->BoxOwner();
        return S_OK;
    }
    HRESULT EnableModeless(bool) override { return S_OK; }

private:
    CScriptHost* m_host;
    std::atomic<uint32_t> m_refs{0};
};

// ---- the host ----

CScriptHost::CScriptHost() : m_site(std::make_unique<CSite>(this)), m_lcid(res::GetUserDefaultLCID()) {}

CScriptHost::~CScriptHost() { StopEngine(); }

IActiveScriptSite* CScriptHost::Site() { return m_site.get(); }

std::unique_ptr<CScriptHost> CScriptHost::CreateQueryHost(const WChar* itemName,
                                                          IDispatch* object) {
    auto host = std::make_unique<CScriptHost>();
    host->m_queryMode = true;
    if (!host->StartEngine(u"VBScript")) return nullptr;
    if (itemName && !host->AddNamedItem(itemName, object, SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE))
        return nullptr;
    return host;
}

bool CScriptHost::StartEngine(const WChar* language) {
    if (m_script) return true;
    m_language = language && *language ? WString(language) : WString(u"VBScript");
    if (!ScriptEngineClsid(m_language, &m_clsid)) {
        m_failed = true;
        WString text = text::Format(u"%s script engine not supported on this system.",
                                    m_language.c_str());
        MessageBox(BoxOwner(), text.c_str(), u"Zarnip", MB_OK | MB_ICONHAND);
        return false;
    }
    ComPtr<IActiveScriptParse> parse;
    if (FAILED(CreateScriptEngine(m_language, IID_IActiveScriptParse, parse.ReceiveVoid())) ||
        !parse) {
        m_failed = true;
        return false;
    }
    ComPtr<IActiveScript> script;
    if (FAILED(parse.As(IID_IActiveScript, &script)) || !script || FAILED(parse->InitNew())) {
        m_failed = true;
        return false;
    }
    HRESULT hr = script->SetScriptSite(m_site.get());
    if (FAILED(hr)) {
        script->Close();
        m_failed = true;
        return false;
    }
    m_parse = parse;
    m_script = script;
    m_failed = false;
    m_script->SetScriptState(SCRIPTSTATE_INITIALIZED);
    m_global.Reset();
    m_script->GetScriptDispatch(nullptr, m_global.Receive());
    return true;
}

bool CScriptHost::AddNamedItem(const WChar* name, IDispatch* object, DWORD flags) {
    if (!m_script || !name) return false;
    NamedItem item;
    item.name = name;
    item.object = ComPtr<IDispatch>(object);
    // The coclass comes from the object's interface; a plain object is
    // visible but has no events.
    if (object) {
        ComPtr<ITypeInfo> type;
        uint32_t count = 0;
        if (SUCCEEDED(object->GetTypeInfoCount(&count)) && count &&
            SUCCEEDED(object->GetTypeInfo(0, m_lcid, type.Receive())) && type &&
            type->GetInterfaceDesc())
            item.coclass = FindScriptCoclass(type->GetInterfaceDesc()->iid);
    }
    m_items.push_back(std::move(item));
    return SUCCEEDED(m_script->AddNamedItem(name, flags));
}

HRESULT CScriptHost::GetItemInfo(const OLECHAR* name, uint32_t mask, IUnknown** item,
                                 ITypeInfo** typeInfo) {
    if ((mask & SCRIPTINFO_IUNKNOWN) && item) *item = nullptr;
    if ((mask & SCRIPTINFO_ITYPEINFO) && typeInfo) *typeInfo = nullptr;
    HRESULT hr = E_FAIL;
    if (name) {
        for (const NamedItem& i : m_items) {
            if (i.name != name) continue;  // with case
            hr = S_OK;
            if ((mask & SCRIPTINFO_IUNKNOWN) && item) {
                *item = i.object.Get();
                if (*item) (*item)->AddRef();
            }
            // A plain object has no type information: visible, no events.
            if ((mask & SCRIPTINFO_ITYPEINFO) && typeInfo && i.coclass)
                hr = GetScriptTypeInfo(nullptr, i.coclass->clsid, typeInfo);
            break;
        }
    }
    if (FAILED(hr)) MessageBeep(MB_OK);
    return hr;
}

void CScriptHost::StopEngine() {
    if (m_script) {
        m_script->SetScriptState(SCRIPTSTATE_CLOSED);
        m_script->Close();
    }
    m_items.clear();
    m_global.Reset();
    m_parse.Reset();
    m_script.Reset();
}

HRESULT CScriptHost::SetScriptStateHr(SCRIPTSTATE state) {
    if (!m_script) return E_FAIL;
    return m_script->SetScriptState(state);
}

bool CScriptHost::SetScriptState(ScriptState state) {
    return SUCCEEDED(SetScriptStateHr(static_cast<SCRIPTSTATE>(state)));
}

void CScriptHost::EnableDebugging(bool on) {
    if (on) m_keepTexts = true;
}

void CScriptHost::CreateHeap() { m_keepTexts = true; }

uintptr_t CScriptHost::KeepText(const WString& text) {
    if (!m_keepTexts || text.empty()) return 0;
    auto it = m_texts.insert(text).first;
    const WString* stored = &*it;
    uintptr_t cookie = reinterpret_cast<uintptr_t>(stored);
    m_cookies[cookie] = stored;
    return cookie;
}

const WString* CScriptHost::StoredText(uintptr_t cookie) const {
    if (!cookie) return nullptr;
    auto it = m_cookies.find(cookie);
    return it == m_cookies.end() ? nullptr : it->second;
}

bool CScriptHost::ExecuteString(const WChar* text) {
    if (!text || !m_parse) return false;
    WString code(text);
    uintptr_t cookie = KeepText(code);
    EXCEPINFO ei{};
    HRESULT hr = m_parse->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, cookie, 0,
                                          SCRIPTTEXT_ISVISIBLE | SCRIPTTEXT_ISPERSISTENT, nullptr,
                                          &ei);
    ClearExcepInfo(&ei);
    return SUCCEEDED(hr);
}

bool CScriptHost::ExecuteFile(const WString& path) {
    CScriptTextFile file;
    WString text;
    if (!file.ReadAllToString(path, text)) return false;
    return ExecuteString(text.c_str());
}

bool CScriptHost::Evaluate(const WChar* expression, VARIANT* result) {
    if (!expression) return false;
    if (result) VariantInit(result);
    if (!m_parse) return false;
    // A query host stops at its first error: the owner reports it once.
    if (m_queryMode && m_keptError) return false;
    EXCEPINFO ei{};
    HRESULT hr = m_parse->ParseScriptText(expression, nullptr, nullptr, nullptr, 0, 0,
                                          SCRIPTTEXT_ISEXPRESSION, result, &ei);
    ClearExcepInfo(&ei);
    return SUCCEEDED(hr);
}

bool CScriptHost::AddScriptlet(const WChar* itemName, int eventId, const WChar* code) {
    const char16_t* eventName = EventNameFromId(eventId);
    if (!m_parse || !itemName || !code || !eventName) return false;
    BSTR name = nullptr;
    EXCEPINFO ei{};
    HRESULT hr = m_parse->AddScriptlet(nullptr, code, itemName, nullptr, eventName, nullptr, 0, 0,
                                       SCRIPTTEXT_ISVISIBLE | SCRIPTTEXT_ISPERSISTENT, &name, &ei);
    SysFreeString(name);
    ClearExcepInfo(&ei);
    return SUCCEEDED(hr);
}

bool CScriptHost::BindElementEvents(const CXmlNode* element, const WChar* itemName) {
    return ::BindElementEvents(*this, element, itemName);
}

bool CScriptHost::RunScriptElements(const CXmlNode* element) {
    ::RunScriptElements(*this, element);
    return element != nullptr;
}

HWND CScriptHost::BoxOwner() const {
    if (m_siteWindow) return m_siteWindow;
    return win::GetMainWindow();
}

void CScriptHost::OnError(IActiveScriptError* error) {
    EXCEPINFO ei{};
    error->GetExceptionInfo(&ei);
    if (ei.pfnDeferredFillIn) ei.pfnDeferredFillIn(&ei);
    uintptr_t cookie = 0;
    uint32_t line = 0;
    int32_t column = 0;
    error->GetSourcePosition(&cookie, &line, &column);
    if (m_queryMode) {
        if (!m_keptError) {
            ScriptErrorRecord r;
            r.scode = ei.scode;
            r.wCode = ei.wCode;
            r.source = BstrView(ei.bstrSource);
            r.description = BstrView(ei.bstrDescription);
            r.line = line;
            r.column = column;
            m_keptError = std::move(r);
        }
        ClearExcepInfo(&ei);
        return;
    }
    BSTR engineLine = nullptr;
    std::optional<WString> engineText;
    if (SUCCEEDED(error->GetSourceLineText(&engineLine))) engineText = WString(BstrView(engineLine));
    SysFreeString(engineLine);
    WString text = ScriptErrorText(ei, StoredText(cookie), line, column,
                                   engineText ? &*engineText : nullptr);
    WString caption = ScriptErrorCaption(ei);
    ClearExcepInfo(&ei);
    MessageBox(BoxOwner(), text.c_str(), caption.c_str(), MB_OK | MB_SETFOREGROUND);
}
