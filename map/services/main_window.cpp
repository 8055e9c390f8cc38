#include "map/services/main_window.h"

#include "core/shell_helpers.h"
#include "platform/win/commctrl.h"

namespace {

IMainWindow* g_mainWindow = nullptr;
IShellServices* g_shell = nullptr;

class CDefaultShell final : public IShellServices {
public:
    const LayerExtensionInfo* FindLayerExtension(WStringView) override { return nullptr; }
    bool ShowFeatureSheet(CLayer*, int, int) override { return false; }
    bool IsFeatureSheetOpen() override { return false; }
    void CloseFeatureSheet() override {}
    void IdentifyFeature(CLayer*, int) override {}
    bool BrowseField(HWND, CFeatureLayer*&, int&) override { return false; }
    HMENU LoadImageMenu(UINT) override { return nullptr; }
    int ShellExecuteFile(HWND parent, const WChar* path) override {
        return ::ShellExecuteFile(parent, path);
    }
    int OpenUrlShortcut(HWND parent, const WChar* url) override {
        return ::OpenUrlShortcut(parent, url, nullptr);
    }
};

}  // namespace

IMainWindow* GetMainWindowServices() { return g_mainWindow; }
void SetMainWindowServices(IMainWindow* mainWindow) { g_mainWindow = mainWindow; }

IShellServices* GetDefaultShellServices() {
    static CDefaultShell fallback;
    return &fallback;
}

IShellServices* GetShellServices() { return g_shell ? g_shell : GetDefaultShellServices(); }
void SetShellServices(IShellServices* shell) { g_shell = shell; }

int FieldTypeToColumnFormat(WChar type) {
    switch (type) {
        case u'C': return 0;
        case u'N': return 1;
        case u'D': return 2;
        case u'L': return 3;
        default: return -1;
    }
}

void SetFieldTypeImage(HWND list, int item, WChar type) {
    int image = FieldTypeToColumnFormat(type);
    LVITEM lv;
    lv.mask = LVIF_IMAGE;
    lv.iItem = item;
    lv.iImage = image < 0 ? I_IMAGENONE : image;
    SendMessage(list, LVM_SETITEM, 0, reinterpret_cast<LPARAM>(&lv));
}
