// Feeds arbitrary bytes to the configuration loader as Zarnip.znx, builds the
// command bars from what loads into a frame window on the null backend,
// applies the toolbars, then lets every bar answer its update and toggle.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "map/services/script_events.h"
#include "script_host_stubs.h"
#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"
#include "platform/win/menu.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "shell/app/map_app.h"
#include "shell/frame/bar_controls.h"
#include "shell/frame/command_bars.h"

namespace {

std::string g_file;

class BarsHost : public ICommandBarsHost {
public:
    HWND frame = nullptr;
    HWND GetFrameWindow() override { return frame; }
};

class Frame : public IConfigFrame {
public:
    CCommandBars* bars = nullptr;
    void LoadToolbars(const CXmlNode* toolbars, IScriptHost* host) override { bars->LoadToolbars(toolbars, host); }
    void ApplyStatusBarConfig(const CXmlNode*) override {}
};

FuzzScriptServices g_services;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_file = MakeFuzzProgramFolder("zn-barsfuzz");
    SetScriptServices(&g_services);
    win::SetPopupMenuResponder([](HMENU, POINT, HWND) { return 0u; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::ofstream(g_file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    BarsHost host;
    host.frame = CreateWindowEx(0, u"Static", u"", WS_OVERLAPPED, 0, 0, 240, 320, nullptr, nullptr, nullptr,
                                nullptr);
    {
        CMapApp app;
        app.LoadConfiguration(u"Zarnip.znx");
        CCommandBars bars(host);
        bars.SetReport(&app.GetConfigurationReport());
        const CXmlNode* root = app.GetConfiguration() ? app.GetConfiguration()->GetDocument().GetRoot() : nullptr;
        bars.BuildCommandBars(root);
        Frame frame;
        frame.bars = &bars;
        app.m_frame = &frame;
        app.ApplyConfiguration();
        app.FreeConfiguration();
        std::vector<UINT> ids;
        for (const auto& info : bars.GetBars())
            for (int i = 0; i < info->m_bar->GetCount(); ++i) ids.push_back(info->m_bar->GetItemID(i));
        for (UINT id : ids) {
            CCmdUI ui(id);
            bars.OnCmdMsg(id, 0, &ui);
        }
        bars.UpdateButtons({&bars});
        for (UINT id = kFirstConfiguredBar; id < bars.GetNextBarId(); ++id) bars.ToggleCommandBar(id);
        for (int slot = 0; slot < 10; ++slot) bars.RunAppKeyCommand(slot);
        bars.Destroy();
    }
    DestroyWindow(host.frame);
    win::ClearMessageBoxLog();
    return 0;
}
