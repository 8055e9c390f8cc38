// The script host: its start rules, what reaches the engine (a recording
// engine under a test name), the error box, kept texts and query hosts.
#include <gtest/gtest.h>

#include "script_world.h"

namespace scripttest {
namespace {

// An engine that records what the host hands it and keeps the site, so a
// test can call the site as an engine would.
class RecordingEngine final : public IActiveScript, public IActiveScriptParse {
public:
    struct Parsed {
        WString code;
        uintptr_t context;
        uint32_t line;
        uint32_t flags;
    };
    static inline RecordingEngine* last = nullptr;
    static inline std::vector<std::string> calls;

    RecordingEngine() { last = this; }
    ~RecordingEngine() {
        if (last == this) last = nullptr;
    }
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IActiveScript)
            *out = static_cast<IActiveScript*>(this);
        else if (iid == IID_IActiveScriptParse)
            *out = static_cast<IActiveScriptParse*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override {
        uint32_t n = --refs;
        if (n == 0) delete this;
        return n;
    }
    HRESULT SetScriptSite(IActiveScriptSite* s) override {
        site = ComPtr<IActiveScriptSite>(s);
        calls.push_back("site");
        return S_OK;
    }
    HRESULT GetScriptSite(REFIID, void** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT SetScriptState(SCRIPTSTATE s) override {
        calls.push_back("state " + std::to_string(s));
        return S_OK;
    }
    HRESULT GetScriptState(SCRIPTSTATE* out) override {
        *out = SCRIPTSTATE_INITIALIZED;
        return S_OK;
    }
    HRESULT Close() override {
        calls.push_back("close");
        site.Reset();
        return S_OK;
    }
    HRESULT AddNamedItem(const OLECHAR* name, uint32_t flags) override {
        calls.push_back("item " + text::ToUtf8(name) + " " + std::to_string(flags));
        return S_OK;
    }
    HRESULT GetScriptDispatch(const OLECHAR*, IDispatch** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT InitNew() override {
        calls.push_back("init");
        return S_OK;
    }
    HRESULT AddScriptlet(const OLECHAR* defaultName, const OLECHAR* code, const OLECHAR* item,
                         const OLECHAR* subItem, const OLECHAR* event, const OLECHAR* delimiter,
                         uintptr_t context, uint32_t line, uint32_t flags, BSTR* name,
                         EXCEPINFO*) override {
        EXPECT_EQ(defaultName, nullptr);
        EXPECT_EQ(subItem, nullptr);
        EXPECT_EQ(delimiter, nullptr);
        calls.push_back("scriptlet " + text::ToUtf8(item) + "." + text::ToUtf8(event) + " " +
                        text::ToUtf8(code) + " " + std::to_string(context) + " " +
                        std::to_string(line) + " " + std::to_string(flags));
        if (name) *name = SysAllocString(u"handler");
        return S_OK;
    }
    HRESULT ParseScriptText(const OLECHAR* code, const OLECHAR*, IUnknown*, const OLECHAR*,
                            uintptr_t context, uint32_t line, uint32_t flags, VARIANT* result,
                            EXCEPINFO*) override {
        parsed.push_back({WString(code), context, line, flags});
        if (result) VariantFromLong(result, 7);
        return S_OK;
    }

    std::atomic<uint32_t> refs{0};
    ComPtr<IActiveScriptSite> site;
    std::vector<Parsed> parsed;
};

HRESULT MakeRecordingEngine(IUnknown** out) {
    auto* e = new RecordingEngine();
    e->AddRef();
    *out = static_cast<IActiveScript*>(e);
    return S_OK;
}

// An error as an engine reports it.
class FakeError final : public IActiveScriptError {
public:
    HRESULT QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    HRESULT GetExceptionInfo(EXCEPINFO* out) override {
        *out = EXCEPINFO{};
        out->wCode = wCode;
        out->scode = scode;
        if (source) out->bstrSource = SysAllocString(source);
        if (description) out->bstrDescription = SysAllocString(description);
        return S_OK;
    }
    HRESULT GetSourcePosition(uintptr_t* c, uint32_t* l, int32_t* p) override {
        *c = context;
        *l = line;
        *p = column;
        return S_OK;
    }
    HRESULT GetSourceLineText(BSTR* out) override {
        if (!engineLine) return E_FAIL;
        *out = SysAllocString(engineLine);
        return S_OK;
    }
    uint16_t wCode = 0;
    SCODE scode = 0;
    const char16_t* source = nullptr;
    const char16_t* description = nullptr;
    uintptr_t context = 0;
    uint32_t line = 0;
    int32_t column = 0;
    const char16_t* engineLine = nullptr;
};

const CLSID kRecordingClsid = MakeProgramGuid(0x7F100001);

class HostTest : public ScriptWorld {
protected:
    void SetUp() override {
        ScriptWorld::SetUp();
        RegisterScriptEngine(u"Recorder", kRecordingClsid, &MakeRecordingEngine);
        RecordingEngine::calls.clear();
    }
    void TearDown() override {
        ScriptWorld::TearDown();
        UnregisterScriptEngine(u"Recorder");
    }
};

TEST_F(HostTest, StartRules) {
    {
        CScriptHost host;
        EXPECT_FALSE(host.IsStarted());
        EXPECT_EQ(host.SetScriptStateHr(SCRIPTSTATE_STARTED), E_FAIL);
        EXPECT_TRUE(host.StartEngine(u""));
        EXPECT_EQ(host.GetLanguage(), u"VBScript");
        EXPECT_TRUE(host.StartEngine(u"JScript"));  // running: nothing changes
        EXPECT_EQ(host.GetLanguage(), u"VBScript");
        VARIANT v;
        ASSERT_TRUE(host.Evaluate(u"1 + 1", &v));
        EXPECT_EQ(v.vt, VT_I2);
        VariantClear(&v);
    }
    // An unknown language: one box, and every later call fails.
    CScriptHost host;
    EXPECT_FALSE(host.StartEngine(u"Klingon"));
    const auto boxes = win::MessageBoxLog();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"Klingon script engine not supported on this system.");
    EXPECT_EQ(boxes[0].type & 0xF0, MB_ICONHAND);
    EXPECT_EQ(host.SetScriptStateHr(SCRIPTSTATE_STARTED), E_FAIL);
    EXPECT_FALSE(host.SetScriptState(ScriptState::Started));
    EXPECT_FALSE(host.ExecuteString(u"x = 1"));
    VARIANT v;
    VariantFromLong(&v, 3);
    EXPECT_FALSE(host.Evaluate(nullptr, &v));
    EXPECT_EQ(v.lVal, 3) << "a null expression leaves the result alone";
    EXPECT_FALSE(host.AddNamedItem(u"Map", map_.Get(), 14));
}

// What the engine sees: setup, items in order with their flags, statements
// with 0x42 and line 0, expressions with 0x20 and no copy, scriptlets under
// the table's event names, and the close when the owner drops the host.
TEST_F(HostTest, CallsReachingTheEngine) {
    auto host = std::make_unique<CScriptHost>();
    host->CreateHeap();
    ASSERT_TRUE(host->StartEngine(u"Recorder"));
    RecordingEngine* engine = RecordingEngine::last;
    ASSERT_NE(engine, nullptr);
    RegisterSystemObjects(*host);
    EXPECT_TRUE(host->AddNamedItem(u"Layer", Layer(0), 6));
    EXPECT_TRUE(host->ExecuteString(u"a = 1"));
    EXPECT_TRUE(host->ExecuteString(u"a = 1"));
    VARIANT v;
    EXPECT_TRUE(host->Evaluate(u"a + 1", &v));
    EXPECT_EQ(v.lVal, 7);
    EXPECT_TRUE(host->AddScriptlet(u"Layer", 1, u"Go"));
    EXPECT_FALSE(host->AddScriptlet(u"Layer", 40, u"Go")) << "no such event";
    ASSERT_EQ(engine->parsed.size(), 3u);
    EXPECT_EQ(engine->parsed[0].flags, 0x42u);
    EXPECT_EQ(engine->parsed[0].line, 0u);
    EXPECT_NE(engine->parsed[0].context, 0u);
    EXPECT_EQ(engine->parsed[1].context, engine->parsed[0].context) << "one copy per text";
    EXPECT_EQ(host->KeptTextCount(), 1u);
    EXPECT_EQ(engine->parsed[2].flags, 0x20u);
    EXPECT_EQ(engine->parsed[2].context, 0u);
    host.reset();  // the owner destroys it; the engine is closed
    EXPECT_EQ(RecordingEngine::calls,
              (std::vector<std::string>{"init", "site", "state 5", "item Application 14",
                                        "item Map 14", "item Navigation 14", "item ThisEvent 14",
                                        "item Log 2", "item Layer 6",
                                        "scriptlet Layer.OnStartUp Go 0 0 66", "state 4",
                                        "close"}));
}

TEST_F(HostTest, TextsAreKeptOnlyWhenAskedAndOncePerText) {
    CScriptHost plain;
    ASSERT_TRUE(plain.StartEngine(u"Recorder"));
    RecordingEngine* engine = RecordingEngine::last;
    EXPECT_TRUE(plain.ExecuteString(u"x = 1"));
    EXPECT_EQ(engine->parsed.back().context, 0u);
    plain.EnableDebugging(false);
    EXPECT_TRUE(plain.ExecuteString(u"x = 1"));
    EXPECT_EQ(engine->parsed.back().context, 0u);
    plain.EnableDebugging(true);
    for (int i = 0; i < 1000; ++i) EXPECT_TRUE(plain.ExecuteString(u"Application.Execute t"));
    EXPECT_TRUE(plain.ExecuteString(u"other"));
    EXPECT_EQ(plain.KeptTextCount(), 2u);
}

// The site's answers for named items: names with case, a beep and E_FAIL
// for a miss, the coclass found from the object's interface, a plain
// object visible without type information. Its count never destroys it.
TEST_F(HostTest, SiteAnswersForNamedItems) {
    CScriptHost host;
    ASSERT_TRUE(host.StartEngine(u"Recorder"));
    RegisterSystemObjects(host);
    ComPtr<IDispatch> plain = ComPtr<IDispatch>::Adopt(CreatePlainScriptObject());
    EXPECT_TRUE(host.AddNamedItem(u"Layer", plain.Get(), 6));
    IActiveScriptSite* site = RecordingEngine::last->site.Get();
    ASSERT_EQ(site, host.Site());

    IUnknown* item = nullptr;
    ITypeInfo* type = nullptr;
    EXPECT_EQ(site->GetItemInfo(u"Map", SCRIPTINFO_IUNKNOWN | SCRIPTINFO_ITYPEINFO, &item, &type),
              S_OK);
    ASSERT_TRUE(item && type);
    EXPECT_EQ(item, static_cast<IDispatch*>(map_.Get()));
    ASSERT_NE(type->GetCoclassDesc(), nullptr);
    EXPECT_EQ(type->GetCoclassDesc(), &TMap::Class());
    item->Release();
    type->Release();
    EXPECT_TRUE(win::BeepLog().empty());

    EXPECT_EQ(site->GetItemInfo(u"Layer", SCRIPTINFO_ITYPEINFO, nullptr, &type), S_OK);
    EXPECT_EQ(type, nullptr);
    EXPECT_EQ(site->GetItemInfo(u"map", SCRIPTINFO_IUNKNOWN, &item, nullptr), E_FAIL);
    EXPECT_EQ(item, nullptr);
    EXPECT_EQ(win::BeepLog().size(), 1u);

    LCID lcid = 0;
    EXPECT_EQ(site->GetLCID(&lcid), S_OK);
    BSTR version = nullptr;
    EXPECT_EQ(site->GetDocVersionString(&version), S_OK);
    EXPECT_EQ(BstrView(version), u"");
    SysFreeString(version);
    IActiveScriptSiteWindow* window = nullptr;
    ASSERT_EQ(site->QueryInterface(IID_IActiveScriptSiteWindow, reinterpret_cast<void**>(&window)),
              S_OK);
    HWND owner = reinterpret_cast<HWND>(1);
    EXPECT_EQ(window->GetWindow(&owner), S_OK);
    EXPECT_EQ(owner, nullptr);
    window->Release();
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(site->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    // Counting down to nothing leaves the host alive.
    site->AddRef();
    site->Release();
    EXPECT_TRUE(host.IsStarted());
}

// The error box, case by case, through the site as the engine calls it.
TEST_F(HostTest, TheErrorBox) {
    CScriptHost host;
    host.CreateHeap();
    ASSERT_TRUE(host.StartEngine(u"Recorder"));
    RecordingEngine* engine = RecordingEngine::last;
    const WString five = u"Dim a\r\na = 1\r\na = a / 0\r\nb = 2\r\nLog.Write a";
    const WString longLine = u"x = \"" + WString(100, u'w') + u"\"";
    const WString crOnly = u"one\rtwo\rthree";
    for (const WString* t : {&five, &longLine, &crOnly}) ASSERT_TRUE(host.ExecuteString(t->c_str()));
    const uintptr_t cFive = engine->parsed[0].context, cLong = engine->parsed[1].context,
                    cCr = engine->parsed[2].context;

    struct Case {
        const char* what;
        FakeError error;
        std::string caption;
        std::string text;
    };
    auto E = [](uintptr_t context, uint32_t line, int32_t column, uint16_t wCode, SCODE scode,
                const char16_t* source, const char16_t* description, const char16_t* engineLine) {
        FakeError e;
        e.context = context;
        e.line = line;
        e.column = column;
        e.wCode = wCode;
        e.scode = scode;
        e.source = source;
        e.description = description;
        e.engineLine = engineLine;
        return e;
    };
    const char16_t* vbs = u"VBScript runtime error";
    const Case cases[] = {
        {"line 3 of 5", E(cFive, 2, 4, 0, 0x800A000B, vbs, u"Division by zero", u"a = a / 0"),
         "Zarnip Script Error 800A000B",
         "VBScript runtime error\nDivision by zero\n[Line: 3, Column : 5]\na = a / 0\na = a / 0"},
        {"the last line, no break after it", E(cFive, 4, 0, 0, 0x800A01A8, vbs, u"Object required", nullptr),
         "Zarnip Script Error 800A01A8",
         "VBScript runtime error\nObject required\n[Line: 5, Column : 1]\nLog.Write a\n"},
        {"a second error in the same text", E(cFive, 1, 0, 0, 0x800A000D, vbs, u"Type mismatch", nullptr),
         "Zarnip Script Error 800A000D",
         "VBScript runtime error\nType mismatch\n[Line: 2, Column : 1]\na = 1\n"},
        {"a line beyond the text", E(cFive, 9, 0, 0, 0x800A000D, vbs, u"Type mismatch", nullptr),
         "Zarnip Script Error 800A000D",
         "VBScript runtime error\nType mismatch\n[Line: 10, Column : 1]\nSource Text Unavailable\n"},
        {"cookie 0 (an expression)", E(0, 0, 2, 0, 0x800A000D, vbs, u"Type mismatch", u"a +"),
         "Zarnip Script Error 800A000D",
         "VBScript runtime error\nType mismatch\n[Line: 1, Column : 3]\nSource Text Unavailable\na +"},
        {"the 16-bit code", E(cFive, 0, 0, 1002, 0x800A03EA, u"VBScript compilation error", u"Syntax error", nullptr),
         "Zarnip Script Error 000003EA",
         "VBScript compilation error\nSyntax error\n[Line: 1, Column : 1]\nDim a\n"},
        {"80 characters", E(cLong, 0, 0, 0, E_FAIL, vbs, u"x", nullptr), "Zarnip Script Error 80004005",
         "VBScript runtime error\nx\n[Line: 1, Column : 1]\n" + text::ToUtf8(longLine.substr(0, 80)) + "\n"},
        {"fallback texts", E(cFive, 0, 0, 0, E_FAIL, nullptr, nullptr, nullptr),
         "Zarnip Script Error 80004005",
         "Error Source Unavailable\nError Description Unavailable\n[Line: 1, Column : 1]\nDim a\n"},
        {"lines broken by CR alone", E(cCr, 1, 0, 0, E_FAIL, u"s", u"d", nullptr),
         "Zarnip Script Error 80004005", "s\nd\n[Line: 2, Column : 1]\ntwo\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        win::ClearMessageBoxLog();
        FakeError e = c.error;
        EXPECT_EQ(host.Site()->OnScriptError(&e), S_OK);
        const auto boxes = win::MessageBoxLog();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(text::ToUtf8(boxes[0].caption), c.caption);
        EXPECT_EQ(text::ToUtf8(boxes[0].text), c.text);
        EXPECT_EQ(boxes[0].type, MB_OK | MB_SETFOREGROUND);
        EXPECT_EQ(boxes[0].owner, nullptr);
    }
    // The site window owns the box when there is one, else the main window.
    win::ClearMessageBoxLog();
    HWND frame = CreateWindowEx(0, u"STATIC", u"frame", 0, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
    win::SetMainWindow(frame);
    FakeError e = cases[0].error;
    host.Site()->OnScriptError(&e);
    HWND scriptWindow = CreateWindowEx(0, u"STATIC", u"script", 0, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
    host.SetSiteWindow(scriptWindow);
    host.Site()->OnScriptError(&e);
    win::SetMainWindow(nullptr);
    const auto boxes = win::MessageBoxLog();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, frame);
    EXPECT_EQ(boxes[1].owner, scriptWindow);
}

// The real engines' positions: JScript's column is always 1.
TEST_F(HostTest, RealEnginePositions) {
    for (const char16_t* language : {u"VBScript", u"JScript"}) {
        SCOPED_TRACE(text::ToUtf8(language));
        win::ClearMessageBoxLog();
        CScriptHost& host = NewHost(language);
        host.SetScriptState(ScriptState::Started);
        EXPECT_FALSE(host.ExecuteString(u"count = 1\n   total = undefinedThing.z\n"));
        const auto boxes = win::MessageBoxLog();
        ASSERT_EQ(boxes.size(), 1u);
        const std::string text = text::ToUtf8(boxes[0].text);
        EXPECT_NE(text.find(language[0] == u'J' ? "[Line: 2, Column : 1]" : "[Line: 2, Column : 4]"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("]\n   total = undefinedThing.z\n"), std::string::npos) << text;
    }
}

// A query host: one kept error for a thousand records, no box; later
// evaluations fail at once.
TEST_F(HostTest, QueryHostKeepsTheFirstError) {
    ComPtr<TField> field(new TField(u"NAME", ComVariant(u"x")));
    auto host = CScriptHost::CreateQueryHost(u"Fields", field.Get());
    ASSERT_TRUE(host);
    EXPECT_EQ(RecordingEngine::calls.size(), 0u);
    int failed = 0;
    for (int record = 0; record < 1000; ++record) {
        VARIANT v;
        if (!host->Evaluate(u"Fields.Value / 0 > 1", &v)) ++failed;
        VariantClear(&v);
    }
    EXPECT_EQ(failed, 1000);
    EXPECT_TRUE(win::MessageBoxLog().empty());
    ASSERT_TRUE(host->KeptError());
    EXPECT_EQ(host->KeptError()->description, u"Type mismatch");
    EXPECT_EQ(host->KeptError()->Number(), MakeScriptError(13));
    // A query without errors answers record by record.
    auto good = CScriptHost::CreateQueryHost(u"Fields", field.Get());
    VARIANT v;
    ASSERT_TRUE(good->Evaluate(u"Fields.Value = \"x\"", &v));
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.boolVal, VARIANT_TRUE);
    EXPECT_FALSE(good->KeptError());
    // Record by record, the expression is compiled once.
    const uint64_t before = ScriptExpressionCompileCount();
    for (int record = 0; record < 100000; ++record) {
        field->value = ComVariant(int32_t{record});
        ComVariant r;
        ASSERT_TRUE(good->Evaluate(u"Fields.Value Mod 7 = 3", r.Receive()));
        ASSERT_EQ(r.boolVal != 0, record % 7 == 3);
    }
    EXPECT_EQ(ScriptExpressionCompileCount() - before, 1u);
}

}  // namespace
}  // namespace scripttest
