// Where the add-in's three commands hand over to their tools: the map export
// wizard, the symbology export and the shapefile pack.
#pragma once

#include <memory>
#include <vector>

#include "desktop/host/host_interfaces.h"

namespace zntools8 {

// The wizard over the map and the layers offered (feature layers first,
// then raster layers, each in map order).
void RunMapWizard(host::IHostApplication& app, std::shared_ptr<host::IHostMap> map,
                  const std::vector<std::shared_ptr<host::IHostLayer>>& layers);
void RunExportSymbology(host::IHostApplication& app);
void RunPackShapefile(host::IHostApplication& app);

}  // namespace zntools8
