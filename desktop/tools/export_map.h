// The map document (.znm) the handheld opens: the map's visible extent, its
// coordinate system and one entry per exported layer naming the dataset
// file written beside the document. Always written new; an existing file is
// replaced only when the user agrees.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "desktop/host/host_interfaces.h"

namespace zntools8 {

// Writes mapName + ".znm" (a host path; mapName is also the map's title on
// the handheld). The extent is the application's active view's. An existing
// file is replaced only after Yes to "… Exists. Overwrite?"; No returns
// without writing. Host errors and a failed save (ExportError) reach the
// caller, and the old file is then kept.
void ExportMap(host::IHostApplication& app, host::IHostMap& map,
               const std::vector<std::shared_ptr<host::IHostLayer>>& layers,
               const std::string& mapName);

}  // namespace zntools8
