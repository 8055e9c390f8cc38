#include "desktop/tools/commands.h"

#include <strings.h>

#include "desktop/tools/bitmaps.h"
#include "desktop/tools/entry_points.h"

namespace zntools8 {

void ZarnipToolbar::GetItemInfo(int position, host::IHostItemDef& item) const {
    static const char* kItems[] = {kMapWizardProgId, kExportSymbologyProgId,
                                   kCompactShapefileProgId};
    if (position < 0 || position > 2) return;
    item.SetId(kItems[position]);
    item.SetGroup(false);
}

ZarnipCommand::ZarnipCommand(const CommandTexts& texts)
    : m_texts(texts), m_bitmap(LoadBitmapImage(texts.bitmap)) {}

ZarnipMapWizard::ZarnipMapWizard()
    : ZarnipCommand({"Zarnip Map Wizard", "Zarnip Map Wizard", "Zarnip Map Wizard",
                     "Start the Zarnip Map Wizard", kBitmapMapWizard}) {}

ZarnipMapWizard::~ZarnipMapWizard() {
    // The map, the document and the application go in that order.
    m_map.reset();
    m_document.reset();
    m_app = nullptr;
}

std::vector<std::shared_ptr<host::IHostLayer>> CollectLayers(host::IHostMap& map) {
    std::vector<std::shared_ptr<host::IHostLayer>> layers;
    try {
        for (auto& l : map.Layers(host::LayerRole::GeoFeature, true)) layers.push_back(l);
    } catch (const std::exception&) {
    }
    try {
        for (auto& l : map.Layers(host::LayerRole::Raster, true)) layers.push_back(l);
    } catch (const std::exception&) {
    }
    return layers;
}

void ZarnipMapWizard::OnClick() {
    if (!m_app) return;
    m_document = m_app->Document();
    m_map = m_document->FocusMap();
    const auto layers = CollectLayers(*m_map);
    if (layers.empty()) {
        m_app->Ui().MessageBox("Zarnip Map Wizard", "Please add layers into Pellum",
                               host::PromptIcon::Information, host::PromptButtons::Ok);
        return;
    }
    RunMapWizard(*m_app, m_map, layers);
}

ZarnipExportSymbology::ZarnipExportSymbology()
    : ZarnipCommand({"ExportSymbology", "Export Symbology", "Export Shapefile Symbology",
                     "Export shapefile symbology to Zarnip", kBitmapExportSymbology}) {}

void ZarnipExportSymbology::OnClick() {
    if (m_app) RunExportSymbology(*m_app);
}

CompactShapeFile::CompactShapeFile()
    : ZarnipCommand({"Pack Shapefile Tool", "Pack Shapefile", "Zarnip Pack Shapefile",
                     "Pack Shapefile Tool - Compacts a shapefile by removing marked for deletion.",
                     kBitmapPackShapefile}) {}

void CompactShapeFile::OnClick() {
    if (m_app) RunPackShapefile(*m_app);
}

host::AddInObject* CreateAddInObject(const std::string& progId) {
    auto is = [&](const char* id) { return ::strcasecmp(progId.c_str(), id) == 0; };
    auto obj = std::make_unique<host::AddInObject>();
    if (is(kToolbarProgId))
        obj->toolbar = std::make_unique<ZarnipToolbar>();
    else if (is(kMapWizardProgId))
        obj->command = std::make_unique<ZarnipMapWizard>();
    else if (is(kExportSymbologyProgId))
        obj->command = std::make_unique<ZarnipExportSymbology>();
    else if (is(kCompactShapeFileClassId))
        obj->command = std::make_unique<CompactShapeFile>();
    else
        return nullptr;
    return obj.release();
}

}  // namespace zntools8

extern "C" __attribute__((visibility("default"))) host::AddInObject* ZnCreateObject(
    const char* progId) {
    if (!progId) return nullptr;
    try {
        return zntools8::CreateAddInObject(progId);
    } catch (...) {
        return nullptr;
    }
}
