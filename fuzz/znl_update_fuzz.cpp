// Updating an existing layer file in place: the bytes are the .znl beside a
// fixed shapefile layer. The export either refuses the file (and leaves it
// as it was) or writes one that the handheld's reader parses, whose LAYER
// its renderer and label readers take, and that a second export leaves
// byte for byte.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "core/xml_node.h"
#include "desktop/host/host_objects.h"
#include "desktop/host/host_ui_scripted.h"
#include "desktop/tools/export_symbology.h"
#include "desktop/tools/xml_utilities.h"
#include "map/symbology/label_renderer.h"
#include "map/symbology/renderer.h"
#include "platform/fs/fs.h"

namespace {

const char kDocument[] =
    "<desktopmap version=\"1\"><map name=\"m\" referencescale=\"5000\">"
    "<layer kind=\"feature\" name=\"Roads\" minscale=\"100\" hyperlinkfield=\"URL\" "
    "symbolsscale=\"true\"><data workspace=\".\" dataset=\"roads\"/>"
    "<uniquevaluerenderer fields=\"NAME\" defaultlabel=\"rest\"><default><simplemarker/></default>"
    "<group><class value=\"a &amp; b\" label=\"A\"><line width=\"1.5\"/></class></group>"
    "</uniquevaluerenderer><labelclass expression=\"[NAME]\"><text font=\"Arial\"/></labelclass>"
    "</layer></map></desktopmap>";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

struct Setup {
    std::string folder;
    std::unique_ptr<host::ScriptedHostUi> ui;
    std::shared_ptr<host::HostApplicationImpl> app;
    Setup() {
        char tmpl[] = "/tmp/zn-znl-fuzz-XXXXXX";
        if (!mkdtemp(tmpl)) std::abort();
        folder = tmpl;
        std::ofstream(folder + "/m.dmap") << kDocument;
        ui = std::make_unique<host::ScriptedHostUi>(std::deque<host::ScriptedAnswer>{},
                                                    [](const std::string&) { std::abort(); });
        host::DmapError error;
        app = host::OpenHostDocument(folder + "/m.dmap", *ui, &error);
        if (!app) std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    const std::string path = setup.folder + "/roads.znl";
    WriteAll(path, data, size);
    auto map = setup.app->Document()->FocusMap();
    zntools8::ExportSymbology exporter(*setup.ui);
    try {
        exporter.ExportLayer(*map, map->Layer(0));
    } catch (const zntools8::ExportError&) {
        if (ReadAll(path) != std::string(reinterpret_cast<const char*>(data), size)) std::abort();
        return 0;
    }
    const std::string first = ReadAll(path);
    CXmlDocument doc;
    if (!doc.LoadFile(fs::DevicePathFromHost(path)) || !doc.GetRoot()) std::abort();
    // The LAYER the export wrote: the first one under the root.
    const CXmlNode* layer = doc.GetRoot()->FindChild(u"LAYER");
    if (!layer) std::abort();
    CRenderer renderer;
    if (!renderer.ReadXml(layer) || renderer.GetClassCount() != 2) std::abort();
    CLabelRenderer labels;
    if (!labels.ReadFromLayer(layer) || labels.m_field != u"NAME") std::abort();
    if (renderer.m_hyperlinkField != u"URL") std::abort();
    exporter.ExportLayer(*map, map->Layer(0));
    if (ReadAll(path) != first) std::abort();
    return 0;
}
