#include "shell/app/program_shell.h"

#include <memory>

#include "map/dialogs/identify_dlg.h"
#include "map/dialogs/vertex_dlg.h"
#include "map/view/map_view.h"
#include "shell/app/map_app.h"
#include "shell/forms/feature_sheet.h"
#include "shell/frame/image_menu.h"

const LayerExtensionInfo* CProgramShellServices::FindLayerExtension(WStringView path) {
    CMapApp* app = GetMapApp();
    if (app && app->m_extensions)
        if (const LayerExtensionInfo* info = app->m_extensions->FindLayerExtension(path)) return info;
    return m_fallback->FindLayerExtension(path);
}

bool CProgramShellServices::ShowFeatureSheet(CLayer* layer, int record, int mode) {
    return CFeatureSheet::Show(layer, record, mode);
}

bool CProgramShellServices::IsFeatureSheetOpen() {
    return ::IsFeatureSheetOpen();
}

void CProgramShellServices::CloseFeatureSheet() {
    ::CloseFeatureSheet();
}

bool CProgramShellServices::IsFeatureSheetWindow() {
    return ::IsFeatureSheetWindow();
}

bool CProgramShellServices::GetFeatureSheetShape(CDoubleRect& bounds) {
    return ::GetFeatureSheetShape(bounds);
}

void CProgramShellServices::DrawFeatureSheetShape(HDC dc) {
    ::DrawFeatureSheetShape(dc);
}

void CProgramShellServices::IdentifyFeature(CLayer* layer, int record) {
    GetIdentifyDlg().IdentifyFeature(layer, record);
}

void CProgramShellServices::ForgetLayer(CLayer* layer) {
    ForgetFeatureSheetLayer(layer);
    m_fallback->ForgetLayer(layer);
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
    SetIdentifyWindow(GetIdentifyWindowSeam());
}

void UninstallProgramShellServices() {
    DestroyFeatureSheet();
    if (GetShellServices() == Installed().get()) SetShellServices(nullptr);
    Installed().reset();
    SetVertexDialogRunners({});
    if (GetIdentifyWindow() == GetIdentifyWindowSeam()) SetIdentifyWindow(nullptr);
    ReleaseIdentifyDlg();
}
