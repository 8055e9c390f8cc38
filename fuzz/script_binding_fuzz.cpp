// Bytes as an XML element with event attributes and SCRIPT children, bound
// in a host of each engine. The engines stay initialised: every text and
// handler is compiled, nothing runs, so no script can hang the fuzzer.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "core/xml_node.h"
#include "platform/win/msgbox.h"
#include "script/script_binding.h"
#include "script/script_event.h"
#include "script/script_host.h"
#include "script/script_services.h"
#include "script_host_stubs.h"

namespace {

struct World {
    std::string file;
    CScriptServices services;
    World() {
        file = MakeFuzzProgramFolder("zn-fuzz-binding");
        SetScriptServices(&services);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    {
        std::ofstream out(world.file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    CXmlDocument doc;
    if (!doc.LoadFile(u"\\Program\\Zarnip.znx") || !doc.GetRoot()) return 0;
    const CXmlNode* root = doc.GetRoot();
    WString language;
    GetScriptLanguage(root, language);
    HasEventAttributes(root, u"onpointer");
    for (const char16_t* engine : {u"VBScript", u"JScript"}) {
        CScriptHost host;
        host.CreateHeap();
        if (!host.StartEngine(engine)) continue;
        ComPtr<IDispatch> plain = ComPtr<IDispatch>::Adopt(CreatePlainScriptObject());
        host.AddNamedItem(u"ThisEvent", &ThisEvent(), 14);
        host.AddNamedItem(u"Item", plain.Get(), 6);
        BindElementEvents(host, root, u"Item");
        for (int i = 0; i < root->GetChildCount() && i < 64; ++i) {
            const CXmlNode* child = root->GetChild(i);
            WString name = child->GetAttribute(u"name");
            if (name.empty()) continue;
            host.AddNamedItem(name.c_str(), plain.Get(), 6);
            BindElementEvents(host, child, name.c_str());
        }
        host.StopEngine();
    }
    win::ClearMessageBoxLog();
    return 0;
}
