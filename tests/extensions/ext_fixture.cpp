#include "tests/extensions/ext_fixture.h"

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "map/layers/layer_factory.h"
#include "platform/win/window.h"
#include "shell/app/app_services.h"

namespace {

IAppExtensions* g_list = nullptr;

// The engine's default shell, with the loaded list's layer extensions.
class CListShell : public IShellServices {
public:
    const LayerExtensionInfo* FindLayerExtension(WStringView path) override {
        return g_list ? g_list->FindLayerExtension(path) : nullptr;
    }
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
    int ShellExecuteFile(HWND parent, const WChar* path) override { return Default()->ShellExecuteFile(parent, path); }
    int OpenUrlShortcut(HWND parent, const WChar* url) override { return Default()->OpenUrlShortcut(parent, url); }

private:
    static IShellServices* Default() { return GetDefaultShellServices(); }
};
CListShell g_shell;

}  // namespace

void ExtensionTest::SetUp() {
    ShellTest::SetUp();
    setenv("ZNEX_TEST_LOG", Host("calls.log").c_str(), 1);
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = u"ExtMain";
    RegisterClass(wc);
    main_ = CreateWindowEx(0, u"ExtMain", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    win::SetMainWindow(main_);
    RegisterExtensionLayerClass();
    SetShellServices(&g_shell);
}

void ExtensionTest::TearDown() {
    SetShellServices(nullptr);
    g_list = nullptr;
    list_.reset();
    ResetLayerClassesForTests();
    win::SetMainWindow(nullptr);
    unsetenv("ZNEX_TEST_LOG");
    ShellTest::TearDown();
}

void ExtensionTest::Install(const std::vector<std::string>& modules) {
    const std::filesystem::path to = Host("Program/Extensions");
    std::filesystem::create_directories(to);
    for (const std::string& m : modules) {
        const std::filesystem::path from = std::filesystem::path(ZN_EXT_FOLDER) / (m + ".so");
        std::filesystem::copy_file(from, to / (m + ".so"), std::filesystem::copy_options::overwrite_existing);
        const std::filesystem::path res = std::filesystem::path(ZN_EXT_FOLDER) / (m + ".res");
        if (std::filesystem::exists(res))
            std::filesystem::copy_file(res, to / (m + ".res"), std::filesystem::copy_options::overwrite_existing);
    }
}

CExtensions& ExtensionTest::Load(const std::vector<std::string>& modules) {
    Install(modules);
    list_ = std::make_unique<CExtensions>();
    list_->LoadAll(main_);
    g_list = list_.get();
    return *list_;
}

std::string ExtensionTest::ModuleLog(CExtension* extension) const {
    if (!extension || !extension->GetModuleHandle()) return {};
    auto read = reinterpret_cast<const char* (*)()>(dlsym(extension->GetModuleHandle(), "TestModuleLog"));
    return read ? read() : "";
}

void ExtensionTest::ClearModuleLog(CExtension* extension) const {
    auto clear = reinterpret_cast<void (*)()>(dlsym(extension->GetModuleHandle(), "TestModuleClearLog"));
    if (clear) clear();
}

std::string ExtensionTest::CallLog() const {
    std::ifstream in(Host("calls.log"));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

CExtension* ExtensionTest::Named(const WString& name) const {
    for (int i = 0; list_ && i < list_->GetCount(); ++i)
        if (list_->GetAt(i)->GetName() == name) return list_->GetAt(i);
    return nullptr;
}

std::vector<std::string> LinesStartingWith(const std::string& log, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}
