// Feeds arbitrary XML to the symbology readers, as it would arrive in a
// layer file, a map document or the preferences: every element is handed to
// the symbol, renderer, label renderer, text symbol and font readers, and
// every attribute value to the hexadecimal pattern reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/xml_node.h"
#include "map/symbology/font_attributes.h"
#include "map/symbology/label_renderer.h"
#include "map/symbology/renderer.h"
#include "map/symbology/symbol.h"
#include "platform/fs/fs.h"

namespace {

void Visit(const CXmlNode* e, int depth) {
    if (depth > 64) return;
    CSymbol symbol;
    symbol.ReadXml(e, false);
    symbol.ReadXml(e, true);
    CSymbol copy;
    copy.CopyFrom(symbol);
    CRenderer renderer;
    renderer.ReadXml(e);
    renderer.FindClass(WStringView(u"A"));
    renderer.FindClass(10.0);
    CLabelRenderer labels;
    labels.ReadXml(e);
    labels.ReadFromLayer(e);
    CTextSymbol text;
    text.ReadXml(e, nullptr);
    LOGFONT font;
    ReadFontAttributes(e, font, nullptr);
    HasFontAttributes(e);
    for (const auto& [name, value] : e->GetAttributes()) {
        uint8_t bytes[16];
        CSymbol::ParseHexBytes(value.c_str(), bytes, 16);
    }
    for (int i = 0; i < e->GetChildCount(); ++i) Visit(e->GetChild(i), depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Image attributes name files: keep them inside an empty root.
    static std::string root = "/tmp/zn-symbology-fuzz";
    std::string command = "mkdir -p " + root;
    if (std::system(command.c_str()) != 0) return 0;
    fs::SetDeviceRoot(root);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WString input;
    const char* p = reinterpret_cast<const char*>(data);
    const char* end = p + size;
    while (p < end) AppendCodePoint(input, ReadUtf8Char(p, end));
    CXmlDocument doc;
    if (!doc.Parse(input)) return 0;
    Visit(doc.GetRoot(), 0);
    CSymbol::ResetCaches();
    return 0;
}
