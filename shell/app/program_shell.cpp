#include "shell/app/program_shell.h"

#include <memory>

#include "map/dialogs/vertex_dlg.h"
#include "map/view/map_view.h"
#include "shell/app/map_app.h"
#include "shell/frame/image_menu.h"

const LayerExtensionInfo* CProgramShellServices::FindLayerExtension(WStringView path) {
    CMapApp* app = GetMapApp();
    if (app && app->m_extensions)
        if (const LayerExtensionInfo* info = app->m_extensions->FindLayerExtension(path)) return info;
    return m_fallback->FindLayerExtension(path);
}

HMENU CProgramShellServices::LoadImageMenu(UINT menuId) {
    return LoadDetachedImageMenu(menuId);
}

namespace {
std::unique_ptr<CProgramShellServices>& Installed() {
    static std::unique_ptr<CProgramShellServices> shell;
    return shell;
}
}  // namespace

void InstallProgramShellServices() {
    if (!Installed()) {
        SetShellServices(nullptr);
        Installed() = std::make_unique<CProgramShellServices>(GetShellServices());
    }
    SetShellServices(Installed().get());
    VertexDialogRunners runners;
    runners.vertex = [](CMapView* view, int type, SketchVertex& v, bool averaging) {
        return DoVertexDialog(view, type, v, averaging);
    };
    runners.relative = [](CMapView* view, int type, SketchVertex& v, const SketchVertex& ref) {
        return RunRelativeVertexDialog(view, type, v, ref);
    };
    SetVertexDialogRunners(std::move(runners));
}

void UninstallProgramShellServices() {
    if (GetShellServices() == Installed().get()) SetShellServices(nullptr);
    Installed().reset();
    SetVertexDialogRunners({});
}
