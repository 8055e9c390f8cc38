#include "desktop/host/raster_workspace.h"

#include "desktop/host/host_faults.h"
#include "desktop/host/raster_dataset.h"
#include "platform/fs/fs.h"

namespace host {
namespace {

class RasterWorkspace : public IHostWorkspace {
public:
    explicit RasterWorkspace(std::string folder) : m_folder(std::move(folder)) {}
    std::string PathName() const override {
        HostFaults::Check("IHostWorkspace::PathName");
        return m_folder;
    }
    WorkspaceKind Kind() const override {
        HostFaults::Check("IHostWorkspace::Kind");
        return WorkspaceKind::Raster;
    }
    std::shared_ptr<IHostRasterDataset> OpenRasterDataset(const std::string& name) override {
        HostFaults::Check("IHostWorkspace::OpenRasterDataset");
        return host::OpenRasterDataset(m_folder + "/" + name);
    }

private:
    std::string m_folder;
};

}  // namespace

std::shared_ptr<IHostWorkspace> OpenRasterWorkspace(const std::string& folder) {
    const WString device = fs::DevicePathFromHost(folder.empty() ? "." : folder);
    const uint32_t a = device.empty() ? fs::kInvalidAttributes : fs::GetFileAttributes(device);
    if (a == fs::kInvalidAttributes || !(a & fs::kAttrDirectory))
        throw HostError("not a folder: " + folder);
    return std::make_shared<RasterWorkspace>(folder);
}

}  // namespace host
