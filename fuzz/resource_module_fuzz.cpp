// Reads arbitrary bytes as a resource module (a language library comes from
// outside the program), then looks up every string of every string table it
// holds and parses every dialog template.
#include <cstdint>
#include <cstdlib>

#include "platform/res/resource.h"
#include "platform/win/dialog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto module = res::ResourceModule::FromBytes(data, size);
    if (!module) return 0;
    for (const res::Resource& r : module->Resources()) {
        if (!r.type.IsOrdinal()) continue;
        if (r.type.id == res::RT_STRING && r.name.IsOrdinal() && r.name.id > 0) {
            const UINT first = (static_cast<UINT>(r.name.id) - 1) * 16;
            for (UINT id = first; id < first + 16; ++id) {
                auto s = module->LoadString(id);
                if (s && s->size() > 0xFFFF) abort();  // a length is 16 bits
            }
        } else if (r.type.id == res::RT_DIALOG) {
            auto tmpl = ParseDialogTemplate(r.data.data(), r.data.size());
            if (tmpl) {
                // What is read must serialize and read back the same way.
                auto bytes = SerializeDialogTemplate(*tmpl);
                auto again = ParseDialogTemplate(bytes.data(), bytes.size());
                if (!again || again->items.size() != tmpl->items.size()) abort();
            }
        }
    }
    module->AllStrings();
    return 0;
}
