// Raster datasets: images read through GDAL (its driver's short name is
// the format), and MrSID files through the handheld's own reader, since
// GDAL has none for them. The georeference is the world file beside the
// image, named by the handheld's rule (.sid -> .sdw, .jpg -> .jgw) and found
// without regard to case, else GDAL's geotransform. Only MrSID datasets are
// copied (the handheld shows the others only through the export's own
// encoding); the copy brings the world file and the colour file along.
#pragma once

#include <memory>
#include <string>

#include "desktop/host/host_interfaces.h"

namespace host {

std::shared_ptr<IHostRasterDataset> OpenRasterDataset(const std::string& hostPath);

}  // namespace host
