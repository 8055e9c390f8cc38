#include "desktop/tools/export_map.h"

#include <libxml/tree.h>

#include "desktop/tools/xml_utilities.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace zntools8 {
namespace {

struct DocFree {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};

std::string Number(double v) {
    return text::ToUtf8(text::DoubleToText(v));
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// The dataset file the wizard writes for the layer.
std::string DatasetName(const host::IHostLayer& layer) {
    const std::string name = layer.Name();
    if (layer.Is(host::LayerRole::Feature)) return name + ".shp";
    if (layer.Is(host::LayerRole::Raster)) return name + ".sid";
    return name;
}

}  // namespace

void ExportMap(host::IHostApplication& app, host::IHostMap& map,
               const std::vector<std::shared_ptr<host::IHostLayer>>& layers,
               const std::string& mapName) {
    std::unique_ptr<xmlDoc, DocFree> doc(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
    if (!doc) throw ExportError("out of memory");
    xmlNodePtr root = NewElement(doc.get(), "Zarnip");
    xmlDocSetRootElement(doc.get(), root);
    xmlNodePtr mapElement = GetOrCreateChild(root, "MAP");
    SetAttributeUnlessDefault(mapElement, "name", mapName);

    xmlNodePtr properties = GetOrCreateChild(mapElement, "PROPERTIES");
    xmlNodePtr envelope = GetOrCreateChild(properties, "ENVELOPE");
    const host::HostEnvelope extent = app.Document()->ActiveView()->VisibleExtent();
    SetAttributeUnlessDefault(envelope, "minx", Number(extent.LowerLeft().x));
    SetAttributeUnlessDefault(envelope, "miny", Number(extent.LowerLeft().y));
    SetAttributeUnlessDefault(envelope, "maxx", Number(extent.UpperRight().x));
    SetAttributeUnlessDefault(envelope, "maxy", Number(extent.UpperRight().y));
    // The save escapes it with the handheld's entities, as its own map
    // documents carry the text.
    std::string wkt;
    if (auto reference = map.SpatialReference()) wkt = Trim(reference->Text());
    xmlNodePtr coordSys = GetOrCreateChild(properties, "COORDSYS");
    SetAttributeUnlessDefault(coordSys, "string", wkt);

    for (const auto& layer : layers) {
        if (!layer) continue;
        xmlNodePtr layerElement = AppendElement(mapElement, "LAYER");
        SetBoolAttribute(layerElement, "visible", layer->Visible());
        xmlNodePtr dataset = AppendElement(layerElement, "DATASET");
        SetAttributeUnlessDefault(dataset, "name", DatasetName(*layer));
    }

    const std::string path = mapName + ".znm";
    const WString device = fs::DevicePathFromHost(path);
    if (!device.empty() && fs::Exists(device)) {
        const host::PromptAnswer answer =
            app.Ui().MessageBox("File Exists", path + " Exists.\r\nOverwrite?",
                                host::PromptIcon::Question, host::PromptButtons::YesNo);
        if (answer != host::PromptAnswer::Yes) return;
    }
    SaveXmlDocument(doc.get(), path, false);
}

}  // namespace zntools8
