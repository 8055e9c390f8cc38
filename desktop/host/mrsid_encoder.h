// The host's MrSID encoder: a raster named by its workspace and file name
// (any 8-bit image GDAL reads, or one of our own MrSID files) written as a
// three-band MrSID file by the encoder of formats/sid, with a world file
// beside it that places it where the source lies.
#pragma once

#include <memory>

#include "desktop/host/host_interfaces.h"

namespace host {

std::shared_ptr<IHostMrSidEncoder> NewMrSidEncoder();

}  // namespace host
