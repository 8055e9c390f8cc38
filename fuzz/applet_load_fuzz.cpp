// Feeds arbitrary bytes to the applet loader as an applet file: global or
// not, its scripts parsed into engines that stay initialised (nothing runs),
// its toolbars read into the command bars of a frame window on the null
// backend, its forms and system-object handlers bound; then every bar
// answers its update and the applet is deleted.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "platform/win/menu.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "script/app/applet.h"
#include "script/script_host.h"
#include "script/script_services.h"
#include "script_host_stubs.h"
#include "shell/frame/bar_controls.h"
#include "shell/frame/command_bars.h"

namespace {

std::string g_file;

class BarsHost : public ICommandBarsHost {
public:
    HWND frame = nullptr;
    HWND GetFrameWindow() override { return frame; }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_file = MakeFuzzProgramFolder("zn-appletfuzz");
    g_file = g_file.substr(0, g_file.rfind('/')) + "/f.zna";
    static CScriptServices services;
    SetScriptServices(&services);
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
        CScriptHost global;
        global.StartEngine(nullptr);
        CCommandBars bars(host);
        bars.BuildCommandBars(nullptr);
        if (std::unique_ptr<CApplet> applet = CApplet::Load(&global, nullptr, u"\\Program\\f.zna", &bars)) {
            for (const auto& info : bars.GetBars())
                for (int i = 0; info->m_bar && i < info->m_bar->GetCount(); ++i) {
                    CCmdUI ui(info->m_bar->GetItemID(i));
                    bars.OnCmdMsg(info->m_bar->GetItemID(i), 0, &ui);
                }
            bars.UpdateButtons({&bars});
        }
        bars.Destroy();
        global.StopEngine();
    }
    DestroyWindow(host.frame);
    win::ClearMessageBoxLog();
    return 0;
}
