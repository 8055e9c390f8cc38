// Drives an extension feature layer over entry points whose every answer
// (text lengths, counts, flags, field types, widths and values, extra
// property names and values, search results) comes from the input: opening,
// fields, legend, searches, drawing and saving. The saved layer element
// must stay well-formed XML whatever the module said.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unistd.h>

#include "core/config_xml_file.h"
#include "core/xml_node.h"
#include "platform/fs/fs.h"
#include "shell/extensions/ext_feature_layer.h"

namespace {

const uint8_t* g_data = nullptr;
size_t g_size = 0;

uint32_t Next32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        v <<= 8;
        if (g_size) {
            v |= *g_data++;
            --g_size;
        }
    }
    return v;
}
int32_t NextSmall() { return static_cast<int32_t>(Next32() % 4096) - 64; }
char16_t NextUnit() {
    const uint32_t v = Next32();
    return static_cast<char16_t>(v & 0x1 ? v >> 16 : 0x20 + (v >> 8) % 0x60);
}
// Writes up to `room` units of input text (not always terminated).
void Fill(char16_t* buffer, int32_t room) {
    const int32_t n = static_cast<int32_t>(Next32() % static_cast<uint32_t>(room + 1));
    for (int32_t i = 0; i < n; ++i) buffer[i] = NextUnit();
    if (n < room && (Next32() & 1)) buffer[n] = 0;
}

// What the layer last heard about each field: the module may only write
// within what the program gives, which follows from these answers.
std::map<int32_t, int32_t> g_types, g_widths;
int32_t g_textLength = 0;

int32_t IsValidPath(const char16_t*) { return 1; }
uint32_t Open(const char16_t*, ZnxHwnd) { return 0x1234; }
int32_t Close(uint32_t) { return 0; }
int32_t GetProperty(uint32_t, int32_t code, int32_t index, int32_t sub, void* buffer) {
    (void)index;
    switch (code) {
        case ZNEX_LAYER_NAME:
        case ZNEX_LAYER_COMMENTS:
        case ZNEX_LAYER_WKT:
        case ZNEX_LAYER_FIELD_NAME:
        case ZNEX_LAYER_CLASS_LABEL:
        case ZNEX_LAYER_CLASS_VALUE:
            if (!buffer) {
                g_textLength = static_cast<int32_t>(Next32() % 70000) - 100;
                return g_textLength;
            }
            Fill(static_cast<char16_t*>(buffer), g_textLength + 1);
            return static_cast<int32_t>(Next32());
        case ZNEX_LAYER_EXTENT: {
            ZnxRect r;
            std::memcpy(&r, g_data, std::min<size_t>(g_size, sizeof r));
            for (int i = 0; i < 4; ++i) Next32(), Next32();
            if (buffer) std::memcpy(buffer, &r, sizeof r);
            return static_cast<int32_t>(Next32());
        }
        case ZNEX_LAYER_FIELD_TYPE:
            return g_types[sub] = static_cast<int32_t>("CNLDX"[Next32() % 5]);
        case ZNEX_LAYER_FIELD_WIDTH:
            return g_widths[sub] = NextSmall();
        case ZNEX_LAYER_FIELD_VALUE: {
            if (!buffer) return 0;
            const int32_t type = g_types[sub];
            if (type == 'C' && g_widths[sub] >= 1) Fill(static_cast<char16_t*>(buffer), g_widths[sub] + 1);
            if (type == 'N') {
                double d;
                const uint32_t hi = Next32(), lo = Next32();
                const uint64_t bits = (static_cast<uint64_t>(hi) << 32) | lo;
                std::memcpy(&d, &bits, 8);
                std::memcpy(buffer, &d, 8);
            }
            if (type == 'L') {
                const int32_t v = static_cast<int32_t>(Next32());
                std::memcpy(buffer, &v, 4);
            }
            if (type == 'D')
                for (int i = 0; i < 8; ++i) static_cast<uint16_t*>(buffer)[i] = static_cast<uint16_t>(Next32());
            return 1;
        }
        default:
            return static_cast<int32_t>(Next32());
    }
}
int32_t SetProperty(uint32_t, int32_t, int32_t, int32_t, int32_t) { return static_cast<int32_t>(Next32() & 1); }
int32_t SaveProperty(uint32_t, int32_t, char16_t* name, char16_t* value) {
    Fill(name, ZNEX_SAVE_NAME_SIZE);
    Fill(value, ZNEX_SAVE_VALUE_SIZE);
    return g_size ? static_cast<int32_t>(Next32() % 8) : 0;
}
int32_t Draw(uint32_t, const ZnxDrawRecord*) { return 0; }
int32_t Query(uint32_t, int32_t, const ZnxRect*, int32_t) { return static_cast<int32_t>(Next32()); }
int32_t Identify(uint32_t, int32_t, ZnxRect) { return 1; }

void* Lookup(const char* name) {
    const std::string n = name;
    if (n == ZNEX_NAME_INITIALIZE) return reinterpret_cast<void*>(+[](ZnxHwnd) -> int32_t { return 1; });
    if (n == ZNEX_NAME_LAYER_IS_VALID_PATH) return reinterpret_cast<void*>(&IsValidPath);
    if (n == ZNEX_NAME_LAYER_OPEN) return reinterpret_cast<void*>(&Open);
    if (n == ZNEX_NAME_LAYER_CLOSE) return reinterpret_cast<void*>(&Close);
    if (n == ZNEX_NAME_LAYER_GET_PROPERTY) return reinterpret_cast<void*>(&GetProperty);
    if (n == ZNEX_NAME_LAYER_SET_PROPERTY) return reinterpret_cast<void*>(&SetProperty);
    if (n == ZNEX_NAME_LAYER_SAVE_PROPERTY) return reinterpret_cast<void*>(&SaveProperty);
    if (n == ZNEX_NAME_LAYER_DRAW) return reinterpret_cast<void*>(&Draw);
    if (n == ZNEX_NAME_LAYER_QUERY) return reinterpret_cast<void*>(&Query);
    if (n == ZNEX_NAME_LAYER_DIALOG_IDENTIFY) return reinterpret_cast<void*>(&Identify);
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = [] {
        char tmpl[] = "/tmp/zn-extfuzz-XXXXXX";
        const char* made = mkdtemp(tmpl);
        setenv("ZARNIP_ROOT", made ? made : "/tmp", 1);
        return std::string(made ? made : "/tmp");
    }();
    g_data = data;
    g_size = size;
    g_types.clear();
    g_widths.clear();
    std::unique_ptr<CExtension> extension = CreateExtension(u"fuzz.so", WString(), &Lookup, nullptr);
    auto* layerExtension = dynamic_cast<CLayerExtension*>(extension.get());
    if (!layerExtension) return 0;
    {
        CExtFeatureLayer layer(layerExtension->GetLayerInfo());
        if (!layer.OpenDataset(u"\\data.fz")) return 0;
        const int fields = std::min(layer.GetFieldCount(), 40);
        for (int record = 1; record <= 3; ++record) {
            layer.ReadRecord(record);
            for (int f = 0; f < fields; ++f) {
                WString text;
                layer.GetFieldText(f, text);
                layer.GetFieldName(f);
            }
        }
        const int classes = std::min(layer.GetLegendClassCount(), 40);
        for (int c = 0; c < classes; ++c) {
            layer.GetString301(c);
            layer.GetString302(c);
            layer.SetRecordFlag(c, !layer.GetRecordFlag(c));
        }
        CDoubleRect extent;
        layer.GetExtent(extent);
        layer.FindNext(0, &extent);
        double distance = 0;
        layer.HitTest(DoublePoint{extent.xmin, extent.ymin}, &distance, 1.0, extent);
        layer.ShowIdentifyDialog(1, &extent);
        WString info;
        layer.GetInfoText(info);

        // Whatever the module answered, the saved element is well-formed.
        CConfigXmlFile writer;
        if (writer.Open(u"\\out.xml", false)) {
            writer.StartElement(0, u"LAYER", true);
            layer.WriteXml(writer);
            writer.EndElement(0, u"LAYER");
            writer.Close(false);
            CXmlDocument doc;
            if (!doc.LoadFile(u"\\out.xml")) std::abort();
        }
    }
    return 0;
}
