#include "desktop/host/role_factories.h"

#include "desktop/host/host_faults.h"
#include "desktop/host/mrsid_encoder.h"

namespace host {
namespace {

[[noreturn]] void NotAvailable(const char* operation) {
    HostFaults::Check(operation);
    throw HostError("not available");
}

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
std::shared_ptr<IHostMrSidEncoder> CreateMrSidEncoder() {
    HostFaults::Check("CreateMrSidEncoder");
    return NewMrSidEncoder();
}

}  // namespace host
