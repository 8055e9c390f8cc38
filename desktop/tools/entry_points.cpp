#include "desktop/tools/entry_points.h"

#include "desktop/tools/pack_shapefile.h"

namespace zntools8 {

// The wizard is not built yet: its button is there and a click ends here.
// The symbology export is in export_symbology_command.cpp, the pack in
// pack_shapefile.cpp.
void RunMapWizard(host::IHostApplication&, std::shared_ptr<host::IHostMap>,
                  const std::vector<std::shared_ptr<host::IHostLayer>>&) {}
void RunPackShapefile(host::IHostApplication& app) {
    ShowPackShapefile(app);
}

}  // namespace zntools8
