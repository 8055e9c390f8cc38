#include "desktop/host/role_factories.h"

#include "desktop/host/feature_converter.h"
#include "desktop/host/field_checker.h"
#include "desktop/host/host_faults.h"
#include "desktop/host/mrsid_encoder.h"
#include "desktop/host/ogr_workspace.h"
#include "desktop/host/raster_dataset.h"
#include "desktop/host/raster_workspace.h"
#include "desktop/host/shapefile_workspace.h"
#include "desktop/host/spatial_filter.h"

namespace host {
namespace {

// A workspace factory: what kind of folder it opens.
class WorkspaceFactory : public IHostWorkspaceFactory {
public:
    explicit WorkspaceFactory(WorkspaceKind kind) : m_kind(kind) {}
    std::shared_ptr<IHostWorkspace> OpenFromFile(const std::string& folder) override {
        HostFaults::Check("IHostWorkspaceFactory::OpenFromFile");
        switch (m_kind) {
            case WorkspaceKind::Shapefile:
                return OpenShapefileWorkspace(folder);
            case WorkspaceKind::Ogr:
                return OpenOgrWorkspace(folder);
            case WorkspaceKind::Raster:
                return OpenRasterWorkspace(folder);
            case WorkspaceKind::Coverage:
                break;
        }
        throw HostError("coverage data not supported");
    }
    std::shared_ptr<IHostName> Create(const std::string& parentFolder,
                                      const std::string& name) override {
        HostFaults::Check("IHostWorkspaceFactory::Create");
        if (m_kind == WorkspaceKind::Coverage) throw HostError("coverage data not supported");
        auto n = NewHostName(IHostName::Kind::Workspace);
        n->SetPathName(parentFolder + "/" + name);
        n->SetFactoryProgId(m_kind == WorkspaceKind::Shapefile ? kShapefileWorkspaceFactory
                            : m_kind == WorkspaceKind::Ogr     ? kOgrWorkspaceFactory
                                                               : kRasterWorkspaceFactory);
        return n;
    }

private:
    WorkspaceKind m_kind;
};

}  // namespace

std::shared_ptr<IHostFeatureClass> CreateFeatureClass(std::shared_ptr<IHostDataset> dataset) {
    HostFaults::Check("CreateFeatureClass");
    if (!dataset) throw HostError("no dataset");
    auto ws = dataset->Workspace();
    switch (ws->Kind()) {
        case WorkspaceKind::Shapefile:
            return OpenShapefileClass(ws->PathName(), dataset->Name());
        case WorkspaceKind::Ogr:
            return OpenOgrClass(ws->PathName(), dataset->Name());
        case WorkspaceKind::Coverage:
            throw HostError("coverage data not supported");
        case WorkspaceKind::Raster:
            break;
    }
    throw HostError("not a feature class");
}
std::shared_ptr<IHostRasterDataset> CreateRasterDataset(const std::string& hostPath) {
    HostFaults::Check("CreateRasterDataset");
    return OpenRasterDataset(hostPath);
}
std::shared_ptr<IHostWorkspaceFactory> CreateWorkspaceFactory(const std::string& factoryProgId) {
    HostFaults::Check("CreateWorkspaceFactory");
    if (factoryProgId == kShapefileWorkspaceFactory)
        return std::make_shared<WorkspaceFactory>(WorkspaceKind::Shapefile);
    if (factoryProgId == kOgrWorkspaceFactory)
        return std::make_shared<WorkspaceFactory>(WorkspaceKind::Ogr);
    if (factoryProgId == kRasterWorkspaceFactory)
        return std::make_shared<WorkspaceFactory>(WorkspaceKind::Raster);
    if (factoryProgId == kTesselWorkspaceFactory)
        return std::make_shared<WorkspaceFactory>(WorkspaceKind::Coverage);
    throw HostError("an unknown workspace factory: " + factoryProgId);
}
std::shared_ptr<IHostFeatureDataConverter> CreateFeatureDataConverter() {
    HostFaults::Check("CreateFeatureDataConverter");
    return std::make_shared<FeatureDataConverter>();
}
std::shared_ptr<IHostFieldChecker> CreateFieldChecker() {
    HostFaults::Check("CreateFieldChecker");
    return std::make_shared<FieldChecker>();
}
std::shared_ptr<IHostSpatialFilter> CreateSpatialFilter() {
    HostFaults::Check("CreateSpatialFilter");
    return std::make_shared<SpatialFilter>();
}
std::shared_ptr<IHostMrSidEncoder> CreateMrSidEncoder() {
    HostFaults::Check("CreateMrSidEncoder");
    return NewMrSidEncoder();
}

}  // namespace host
