// Parsing and writing speed of the XML stack on a map-document-sized input.
#include <benchmark/benchmark.h>

#include "core/xml_node.h"

namespace {

WString MakeDocument(int layers) {
    WString s =
        u"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<Zarnip>\r\n  <MAP name=\"Bench\">\r\n";
    for (int i = 0; i < layers; ++i) {
        s += text::Format(
            u"    <LAYER name=\"Layer %d &amp; more\" file=\"\\Storage Card\\data\\l%d.shp\" "
            u"visible=\"true\" minx=\"%.15g\" miny=\"%.15g\" maxx=\"%.15g\" maxy=\"%.15g\">\r\n"
            u"      <SYMBOL type=\"1\" color=\"255,0,%d\" size=\"2.5\"/>\r\n"
            u"      <SCRIPT>If a &gt; b Then MsgBox \"caf\u00E9\"</SCRIPT>\r\n    </LAYER>\r\n",
            i, i, i * 0.1, i * 0.2, i * 1.5 + 1, i * 2.5 + 1, i % 256);
    }
    s += u"  </MAP>\r\n</Zarnip>\r\n";
    return s;
}

void BM_XmlParse(benchmark::State& state) {
    WString doc = MakeDocument(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CXmlDocument d;
        benchmark::DoNotOptimize(d.Parse(doc));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(doc.size() * sizeof(WChar)));
}
BENCHMARK(BM_XmlParse)->Arg(100)->Arg(5000);

void BM_XmlSerialize(benchmark::State& state) {
    CXmlDocument d;
    d.Parse(MakeDocument(static_cast<int>(state.range(0))));
    for (auto _ : state) benchmark::DoNotOptimize(d.SaveToString());
}
BENCHMARK(BM_XmlSerialize)->Arg(5000);

}  // namespace

BENCHMARK_MAIN();
