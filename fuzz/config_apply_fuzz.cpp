// Feeds arbitrary bytes to the configuration loader as Zarnip.znx and
// applies what loads against a frame, forms and script host that read
// every element the way the main window does.
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
#include "shell/app/map_app.h"
#include "shell/config/command_names.h"
#include "shell/config/configuration.h"

namespace {

std::string g_file;

void Walk(const CXmlNode* e) {
    if (!e) return;
    CommandIdFromName(e->GetAttribute(u"command"));
    ButtonImageFromName(e->GetAttribute(u"image"));
    for (int i = 0; i < e->GetChildCount(); ++i) Walk(e->GetChild(i));
}

class Frame : public IConfigFrame, public IConfigForms {
public:
    void LoadToolbars(const CXmlNode* toolbars, IScriptHost*) override {
        ToolbarsAlignment(toolbars);
        for (const WChar* bar : {u"main", u"browse", u"draw"}) ReadBuiltInBar(toolbars, bar);
        Walk(toolbars);
    }
    void ApplyStatusBarConfig(const CXmlNode* statusbar) override { ReadStatusBarConfig(statusbar); }
    void ReadForms(const CXmlNode* forms, DWORD, IScriptHost*) override { Walk(forms); }
};

FuzzScriptServices g_services;
Frame g_frame;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_file = MakeFuzzProgramFolder("zn-configfuzz");
    g_services.onRun = Walk;
    SetScriptServices(&g_services);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::ofstream(g_file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    CMapApp app;
    app.m_frame = &g_frame;
    app.m_forms = &g_frame;
    app.LoadConfiguration(u"Zarnip.znx");
    app.ApplyConfiguration();
    app.FreeConfiguration();
    return 0;
}
