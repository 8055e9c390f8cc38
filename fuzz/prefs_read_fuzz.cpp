// Feeds arbitrary bytes to the preferences reader as ZarnipPrefs.znx, then
// writes the options out and reads them back.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"
#include "platform/sys/registry.h"
#include "platform/win/msgbox.h"
#include "shell/options/options_sheet.h"

namespace {
std::string g_file;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char tmpl[] = "/tmp/zn-prefsfuzz-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    std::string root = tmpl;
    ::mkdir((root + "/Docs").c_str(), 0755);
    ::mkdir((root + "/Program").c_str(), 0755);
    setenv("ZARNIP_ROOT", root.c_str(), 1);
    setenv("ZARNIP_DOCUMENTS", (root + "/Docs").c_str(), 1);
    fs::ResetConfiguration();
    fs::test::SetProgramFileName(u"\\Program\\zarnip");
    sys::SetRegistryFile("");
    g_file = root + "/Docs/ZarnipPrefs.znx";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::ofstream(g_file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    ResetPortRecordsForTests();
    {
        COptionsSheet sheet;
        sheet.GetLabelFont();
        sheet.GetDialogFont();
        sheet.WritePreferences();
    }
    COptionsSheet again;
    win::ClearMessageBoxLog();
    return 0;
}
