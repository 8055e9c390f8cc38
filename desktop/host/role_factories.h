// The host roles that later work fills in: each is made by one function
// here. Until its work lands, the object made raises HostError("not available").
#pragma once

#include <memory>
#include <string>

#include "desktop/host/host_interfaces.h"

namespace host {

std::shared_ptr<IHostFeatureClass> CreateFeatureClass(std::shared_ptr<IHostDataset> dataset);
std::shared_ptr<IHostRasterDataset> CreateRasterDataset(const std::string& hostPath);
std::shared_ptr<IHostWorkspaceFactory> CreateWorkspaceFactory(const std::string& factoryProgId);
std::shared_ptr<IHostFeatureDataConverter> CreateFeatureDataConverter();
std::shared_ptr<IHostFieldChecker> CreateFieldChecker();
std::shared_ptr<IHostSpatialFilter> CreateSpatialFilter();
// One layer of a document as a .dmap of its own; defined beside the layer
// objects (host_objects.cpp), whose model it writes.
std::shared_ptr<IHostLayerFile> CreateLayerFile();
std::shared_ptr<IHostMrSidEncoder> CreateMrSidEncoder();

}  // namespace host
