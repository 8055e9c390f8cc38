// The program's shell services to the map engine: the map view's image
// menus come from the resources with their pictures; layer extensions from
// the application's extension modules; the feature sheet is the shell's;
// one feature is shown in the identify window; the field browser is added
// by the window that provides it; the rest is what the engine does without
// a shell.
#pragma once

#include "map/services/main_window.h"

class CProgramShellServices final : public IShellServices {
public:
    // `fallback` answers what this shell has no window for yet.
    explicit CProgramShellServices(IShellServices* fallback) : m_fallback(fallback) {}

    // The application's extension modules, first in load order.
    const LayerExtensionInfo* FindLayerExtension(WStringView path) override;
    // The feature sheet of shell/forms.
    bool ShowFeatureSheet(CLayer* layer, int record, int mode) override;
    bool IsFeatureSheetOpen() override;
    void CloseFeatureSheet() override;
    bool IsFeatureSheetWindow() override;
    bool GetFeatureSheetShape(CDoubleRect& bounds) override;
    void DrawFeatureSheetShape(HDC dc) override;
    void ForgetLayer(CLayer* layer) override;
    // Single-feature mode of the identify window.
    void IdentifyFeature(CLayer* layer, int record) override;
    bool BrowseField(HWND parent, CFeatureLayer*& layer, int& field) override {
        return m_fallback->BrowseField(parent, layer, field);
    }
    HMENU LoadImageMenu(UINT menuId) override;
    int ShellExecuteFile(HWND parent, const WChar* path) override {
        return m_fallback->ShellExecuteFile(parent, path);
    }
    int OpenUrlShortcut(HWND parent, const WChar* url) override {
        return m_fallback->OpenUrlShortcut(parent, url);
    }

private:
    IShellServices* m_fallback;
};

// Installs the program's shell services, the map view's vertex dialogs and
// its identify window; Uninstall puts the engine's defaults back.
void InstallProgramShellServices();
void UninstallProgramShellServices();
