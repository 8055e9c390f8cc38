// Raster workspaces: a folder of images, opened by file name.
#pragma once

#include <memory>
#include <string>

#include "desktop/host/host_interfaces.h"

namespace host {

std::shared_ptr<IHostWorkspace> OpenRasterWorkspace(const std::string& folder);

}  // namespace host
