#include "desktop/tools/entry_points.h"

namespace zntools8 {

// The wizard, the symbology export and the pack are not built yet: their
// buttons are there and a click ends here.
void RunMapWizard(host::IHostApplication&, std::shared_ptr<host::IHostMap>,
                  const std::vector<std::shared_ptr<host::IHostLayer>>&) {}
void RunExportSymbology(host::IHostApplication&) {}
void RunPackShapefile(host::IHostApplication&) {}

}  // namespace zntools8
