// Our VBScript interpreter against JScript on duktape, doing the same
// loop-heavy work in the same run: string building, arithmetic and a walk
// over a host collection. Both run through the script engine interface and
// are called through their global dispatch, so the comparison includes the
// same call overhead on both sides.
#include <benchmark/benchmark.h>

#include "platform/scripting/script_engine.h"
#include "tests/platform/com_test_model.h"

namespace {

class BenchSite : public IActiveScriptSite {
public:
    IDispatch* layers = nullptr;
    int errors = 0;
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IActiveScriptSite) {
            *out = static_cast<IActiveScriptSite*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 2; }
    uint32_t Release() override { return 1; }
    HRESULT GetLCID(LCID* out) override {
        *out = LOCALE_EN_US;
        return S_OK;
    }
    HRESULT GetItemInfo(const OLECHAR* name, uint32_t mask, IUnknown** item,
                        ITypeInfo** ti) override {
        if (ti) *ti = nullptr;
        if (item) *item = nullptr;
        if (WStringView(name) != u"Layers") return E_FAIL;
        if ((mask & SCRIPTINFO_IUNKNOWN) && item) {
            *item = layers;
            layers->AddRef();
        }
        return S_OK;
    }
    HRESULT GetDocVersionString(BSTR* out) override {
        *out = nullptr;
        return S_OK;
    }
    HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT OnScriptError(IActiveScriptError*) override {
        ++errors;
        return S_OK;
    }
    HRESULT OnEnterScript() override { return S_OK; }
    HRESULT OnLeaveScript() override { return S_OK; }
};

const char16_t kVbs[] =
    uR"(
Function Work()
    Dim s, t, i, n, l
    s = ""
    t = 0
    For i = 1 To 2000
        s = s & Chr(65 + i Mod 26)
        t = t + i * 2.5 - i \ 3
    Next
    n = 0
    For Each l In Layers
        n = n + Len(l.Name)
    Next
    Work = Len(s) + t + n
End Function
)";

const char16_t kJs[] =
    uR"(
function Work() {
    var s = "", t = 0, i, n = 0;
    for (i = 1; i <= 2000; i++) {
        s += String.fromCharCode(65 + i % 26);
        t = t + i * 2.5 - Math.floor(i / 3);
    }
    for (var e = new Enumerator(Layers); !e.atEnd(); e.moveNext())
        n += e.item().Name.length;
    return s.length + t + n;
}
)";

void RunEngine(benchmark::State& state, const char16_t* language, const char16_t* code) {
    auto* layers = new testmodel::Layers();
    layers->AddRef();
    for (int i = 0; i < 200; ++i)
        layers->items_.emplace_back(new testmodel::Layer(u"Layer " + text::IntToText(i)));
    BenchSite site;
    site.layers = layers;
    IActiveScript* engine = nullptr;
    IActiveScriptParse* parse = nullptr;
    if (FAILED(
            CreateScriptEngine(language, IID_IActiveScript, reinterpret_cast<void**>(&engine)))) {
        state.SkipWithError("no engine");
        layers->Release();
        return;
    }
    engine->QueryInterface(IID_IActiveScriptParse, reinterpret_cast<void**>(&parse));
    parse->InitNew();
    engine->SetScriptSite(&site);
    engine->AddNamedItem(u"Layers", SCRIPTITEM_ISVISIBLE);
    engine->SetScriptState(SCRIPTSTATE_STARTED);
    EXCEPINFO ei{};
    parse->ParseScriptText(code, nullptr, nullptr, nullptr, 0, 0,
                           SCRIPTTEXT_ISVISIBLE | SCRIPTTEXT_ISPERSISTENT, nullptr, &ei);
    IDispatch* global = nullptr;
    engine->GetScriptDispatch(nullptr, &global);
    double expected = 0;
    for (auto _ : state) {
        ComVariant r;
        if (FAILED(CallMethod(global, u"Work", nullptr, 0, r.Receive()))) {
            state.SkipWithError("script failed");
            break;
        }
        ComVariant d;
        VariantChangeType(&d, &r, 0, VT_R8);
        if (expected == 0) expected = d.dblVal;
        if (d.dblVal != expected || site.errors) {
            state.SkipWithError("wrong result");
            break;
        }
        benchmark::DoNotOptimize(d.dblVal);
    }
    if (global) global->Release();
    engine->Close();
    parse->Release();
    engine->Release();
    layers->Release();
}

void BM_VBScriptLoop(benchmark::State& state) {
    RunEngine(state, u"VBScript", kVbs);
}
void BM_JScriptLoop(benchmark::State& state) {
    RunEngine(state, u"JScript", kJs);
}

BENCHMARK(BM_VBScriptLoop)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JScriptLoop)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
