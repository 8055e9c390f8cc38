// Reads arbitrary bytes as the registry file, writes the store back and
// reads it again: both readings must hold the same keys and values.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/sys/registry.h"

namespace {

std::string Dump(sys::Hive hive, const WString& key) {
    std::string out = text::ToUtf8(key) + "\n";
    for (const auto& name : sys::RegEnumValues(hive, key)) {
        sys::RegValue v;
        if (!sys::RegQueryValue(hive, key, name, &v)) abort();
        out += text::ToUtf8(name) + "=" + std::to_string(v.type) + ":" + text::ToUtf8(v.text) +
               std::to_string(v.number) + std::string(v.bytes.begin(), v.bytes.end()) + "\n";
    }
    for (const auto& sub : sys::RegEnumKeys(hive, key)) out += Dump(hive, key + u"\\" + sub);
    return out;
}

std::string DumpAll() {
    return Dump(sys::Hive::CurrentUser, u"") + Dump(sys::Hive::LocalMachine, u"");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string file = [] {
        char tmpl[] = "/tmp/zn-reg-fuzz-XXXXXX";
        if (!mkdtemp(tmpl)) abort();
        return std::string(tmpl) + "/registry.txt";
    }();
    FILE* f = fopen(file.c_str(), "wb");
    if (!f) abort();
    fwrite(data, 1, size, f);
    fclose(f);
    sys::SetRegistryFile(file);
    std::string first = DumpAll();
    // Any change rewrites the whole file; the marker value is then removed.
    sys::RegSetDword(sys::Hive::CurrentUser, u"Fuzz", u"mark", 1);
    sys::RegDeleteKey(sys::Hive::CurrentUser, u"Fuzz");
    sys::SetRegistryFile(file);
    if (DumpAll() != first) abort();
    return 0;
}
