// Automation values and late binding: conversions, the generic Invoke, and a
// script loop through the JScript bridge.
#include <benchmark/benchmark.h>

#include "platform/scripting/jscript_engine.h"
#include "tests/platform/com_test_model.h"
#include "tests/platform/script_test_site.h"

static void BM_ChangeTypeTextToDouble(benchmark::State& state) {
    ComVariant src(u"12,345.678"), dst;
    for (auto _ : state) {
        VariantChangeType(&dst, &src, 0, VT_R8);
        benchmark::DoNotOptimize(dst.dblVal);
    }
}
BENCHMARK(BM_ChangeTypeTextToDouble);

static void BM_ChangeTypeDoubleToText(benchmark::State& state) {
    ComVariant src(1234.5678), dst;
    for (auto _ : state) {
        VariantChangeType(&dst, &src, 0, VT_BSTR);
        benchmark::DoNotOptimize(dst.bstrVal);
    }
}
BENCHMARK(BM_ChangeTypeDoubleToText);

static void BM_ChangeTypeTextToDate(benchmark::State& state) {
    ComVariant src(u"2/29/2024 1:05:09 PM"), dst;
    for (auto _ : state) {
        VariantChangeType(&dst, &src, 0, VT_DATE);
        benchmark::DoNotOptimize(dst.date);
    }
}
BENCHMARK(BM_ChangeTypeTextToDate);

// Layer.Sum(1, "2") through GetIDsOfNames-free Invoke with a coercion and a default.
static void BM_GenericInvoke(benchmark::State& state) {
    ComPtr<testmodel::Layer> layer(new testmodel::Layer(u"Roads"));
    DISPID id;
    GetDispId(layer.Get(), u"Sum", &id);
    VARIANT args[2];
    VariantFromLong(&args[0], 1);
    VariantFromString(&args[1], u"2");
    ComVariant r;
    for (auto _ : state) {
        InvokeHelper(layer.Get(), id, DISPATCH_METHOD, args, 2, r.Receive());
        benchmark::DoNotOptimize(r.dblVal);
    }
    VariantClear(&args[1]);
}
BENCHMARK(BM_GenericInvoke);

// 1000 property reads and method calls on COM objects from script.
static void BM_JScriptLateBoundLoop(benchmark::State& state) {
    ComPtr<testmodel::Application> app(new testmodel::Application);
    ComVariant name(u"Roads"), out;
    CallMethod(app->layers_.Get(), u"Add", &name, 1, &out);
    scripttest::TestSite site;
    site.items.push_back(
        {u"Application", ComPtr<IDispatch>(app.Get()), &testmodel::Application::Class()});
    ComPtr<IActiveScript> script;
    CreateScriptEngine(u"JScript", IID_IActiveScript, script.ReceiveVoid());
    ComPtr<IActiveScriptParse> parse;
    script.As(IID_IActiveScriptParse, &parse);
    parse->InitNew();
    script->SetScriptSite(&site);
    script->AddNamedItem(u"Application", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
    script->SetScriptState(SCRIPTSTATE_STARTED);
    parse->ParseScriptText(
        u"function work() { var n = 0; for (var i = 0; i < 1000; i++) "
        u"n += Layers.Count + Layers(1).Sum(i); return n; }",
        nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISPERSISTENT, nullptr, nullptr);
    ComVariant r;
    for (auto _ : state) {
        parse->ParseScriptText(u"work()", nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISEXPRESSION,
                               r.Receive(), nullptr);
        benchmark::DoNotOptimize(r.dblVal);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
    script->Close();
}
BENCHMARK(BM_JScriptLateBoundLoop);

BENCHMARK_MAIN();
