#include "desktop/tools/entry_points.h"

namespace zntools8 {

// The wizard and the pack are not built yet: their buttons are there and a
// click ends here. The symbology export is in export_symbology_command.cpp.
void RunMapWizard(host::IHostApplication&, std::shared_ptr<host::IHostMap>,
                  const std::vector<std::shared_ptr<host::IHostLayer>>&) {}
void RunPackShapefile(host::IHostApplication&) {}

}  // namespace zntools8
