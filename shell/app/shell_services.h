// What the program's shell offers the map engine. The layer extensions come
// from the application's extension list; what the shell does not do yet is
// the default's.
#pragma once

#include "map/services/main_window.h"

class IAppExtensions;

class CShellServices : public IShellServices {
public:
    // The extension list is read at each call (it may be set later).
    explicit CShellServices(IAppExtensions* const& extensions) : m_extensions(extensions) {}

    const LayerExtensionInfo* FindLayerExtension(WStringView path) override;
    bool ShowFeatureSheet(CLayer* layer, int record, int mode) override {
        return Default()->ShowFeatureSheet(layer, record, mode);
    }
    bool IsFeatureSheetOpen() override { return Default()->IsFeatureSheetOpen(); }
    void CloseFeatureSheet() override { Default()->CloseFeatureSheet(); }
    void IdentifyFeature(CLayer* layer, int record) override { Default()->IdentifyFeature(layer, record); }
    bool BrowseField(HWND parent, CFeatureLayer*& layer, int& field) override {
        return Default()->BrowseField(parent, layer, field);
    }
    HMENU LoadImageMenu(UINT menuId) override { return Default()->LoadImageMenu(menuId); }
    int ShellExecuteFile(HWND parent, const WChar* path) override {
        return Default()->ShellExecuteFile(parent, path);
    }
    int OpenUrlShortcut(HWND parent, const WChar* url) override { return Default()->OpenUrlShortcut(parent, url); }

private:
    static IShellServices* Default() { return GetDefaultShellServices(); }
    IAppExtensions* const& m_extensions;
};
