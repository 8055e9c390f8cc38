#include "desktop/tools/entry_points.h"

#include "desktop/tools/pack_shapefile.h"
#include "desktop/tools/wizard_model.h"

namespace zntools8 {

// The wizard runs modally over the host's main window. The symbology
// export is in export_symbology_command.cpp, the pack in pack_shapefile.cpp.
void RunMapWizard(host::IHostApplication& app, std::shared_ptr<host::IHostMap> map,
                  const std::vector<std::shared_ptr<host::IHostLayer>>& layers) {
    WizardModel wizard(app, std::move(map), layers);
    app.Ui().RunDialog(wizard);
}
void RunPackShapefile(host::IHostApplication& app) {
    ShowPackShapefile(app);
}

}  // namespace zntools8
