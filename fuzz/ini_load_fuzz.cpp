// Loads arbitrary bytes as an INI file, saves what was read and loads that
// again: the second reading must give the same sections, keys and values.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/ini_file.h"
#include "platform/fs/fs.h"

namespace {

void SetUpRoot() {
    static bool done = false;
    if (done) return;
    char tmpl[] = "/tmp/zn-ini-fuzz-XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    fs::SetDeviceRoot(tmpl);
    done = true;
}

bool Same(const CIniFile& a, const CIniFile& b) {
    size_t nonEmpty = 0;
    for (const auto& [name, section] : a.GetSections()) {
        if (section->empty()) continue;
        ++nonEmpty;
        auto other = b.GetSections().find(name);
        if (other == b.GetSections().end() || *other->second != *section) return false;
    }
    return nonEmpty == b.GetSections().size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetUpRoot();
    if (!fs::WriteWholeFile(u"\\in.ini", data, size)) return 0;
    CIniFile first;
    first.Load(u"\\in.ini");
    if (!first.Save(u"\\out.ini")) abort();
    CIniFile second;
    second.Load(u"\\out.ini");
    if (!Same(first, second)) abort();
    return 0;
}
