#include "desktop/host/role_factories.h"

#include "desktop/host/dmap_io.h"
#include "desktop/host/host_faults.h"
#include "desktop/host/host_objects.h"
#include "desktop/host/mrsid_encoder.h"

namespace host {
namespace {

[[noreturn]] void NotAvailable(const char* operation) {
    HostFaults::Check(operation);
    throw HostError("not available");
}

// The host's layer file: one layer of a .dmap document, written as a
// document of its own holding one map with that layer. Its data paths are
// made absolute, so the file reads the same wherever it is.
class LayerFileObj : public IHostLayerFile {
public:
    void New(const std::string& path) override {
        HostFaults::Check("IHostLayerFile::New");
        if (path.empty()) throw HostError("a layer file needs a path");
        m_path = path;
        m_layer.reset();
    }
    void ReplaceContents(std::shared_ptr<IHostLayer> layer) override {
        HostFaults::Check("IHostLayerFile::ReplaceContents");
        auto model = layer ? ModelOf(*layer) : nullptr;
        if (!model) throw HostError("a layer this host did not make");
        auto copy = std::make_shared<DLayer>(*model);
        if (auto feature = std::dynamic_pointer_cast<IHostFeatureLayer>(layer);
            feature && copy->data)
            copy->data->workspace = feature->Dataset()->Workspace()->PathName();
        if (auto raster = std::dynamic_pointer_cast<IHostRasterLayer>(layer))
            copy->file = raster->FilePath();
        m_layer = std::move(copy);
    }
    void Save() override {
        HostFaults::Check("IHostLayerFile::Save");
        if (m_path.empty()) throw HostError("the layer file has no path");
        if (!m_layer) throw HostError("the layer file has no contents");
        DDocument document;
        DMap map;
        map.name = m_layer->name;
        map.layers.push_back(m_layer);
        document.focus = map.name;
        document.maps.push_back(std::move(map));
        std::string error;
        if (!SaveDmapFile(document, m_path, &error)) throw HostError(error);
    }

private:
    std::string m_path;
    std::shared_ptr<DLayer> m_layer;
};

}  // namespace

std::shared_ptr<IHostFeatureClass> CreateFeatureClass(std::shared_ptr<IHostDataset>) {
    NotAvailable("CreateFeatureClass");
}
std::shared_ptr<IHostRasterDataset> CreateRasterDataset(const std::string&) {
    NotAvailable("CreateRasterDataset");
}
std::shared_ptr<IHostWorkspaceFactory> CreateWorkspaceFactory(const std::string&) {
    NotAvailable("CreateWorkspaceFactory");
}
std::shared_ptr<IHostFeatureDataConverter> CreateFeatureDataConverter() {
    NotAvailable("CreateFeatureDataConverter");
}
std::shared_ptr<IHostFieldChecker> CreateFieldChecker() {
    NotAvailable("CreateFieldChecker");
}
std::shared_ptr<IHostSpatialFilter> CreateSpatialFilter() {
    NotAvailable("CreateSpatialFilter");
}
std::shared_ptr<IHostLayerFile> CreateLayerFile() {
    HostFaults::Check("CreateLayerFile");
    return std::make_shared<LayerFileObj>();
}
std::shared_ptr<IHostMrSidEncoder> CreateMrSidEncoder() {
    HostFaults::Check("CreateMrSidEncoder");
    return NewMrSidEncoder();
}

}  // namespace host
