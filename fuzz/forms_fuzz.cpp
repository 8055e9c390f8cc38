// Feeds arbitrary bytes as the XML that holds custom forms (a layer file, an
// applet or the configuration): reads every FORMS element, builds the page
// templates and opens each form's sheet on the null backend, every page made.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/xml_node.h"
#include "map/services/script_events.h"
#include "platform/win/commctrl.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "platform/win/propsheet.h"
#include "script_host_stubs.h"
#include "shell/forms/form_sheet.h"

namespace {

// Every event counts as handled the way a handler that does nothing answers.
class FormsServices : public FuzzScriptServices {
public:
    bool HasEventAttributes(const CXmlNode* e, const WChar*) override {
        for (const auto& [name, value] : e->GetAttributes())
            if (name.size() > 2 && name[0] == u'O' && name[1] == u'n') return true;
        return false;
    }
};

FormsServices g_services;
FuzzScriptHost g_host;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MakeFuzzProgramFolder("zn-formsfuzz");
    SetScriptServices(&g_services);
    win::SetMessageBoxResponder([](const win::MessageBoxRecord&) { return IDOK; });
    InitCommonControls();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CXmlDocument doc;
    if (!doc.Parse(text::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size))))
        return 0;
    const CXmlNode* root = doc.GetRoot();
    const CXmlNode* forms = root->GetName() == u"FORMS" ? root : root->FindChild(u"FORMS", true);
    if (!forms) return 0;
    CForms collection(&g_host);
    collection.ReadForms(forms, 1033);
    for (int i = 0; i < collection.Count() && i < 4; ++i) {
        CForm* form = collection.GetAt(i);
        if (form->GetPageCount() > 16) continue;
        CFormPropertySheet sheet(form, nullptr, true, 0, 0);
        win::PushModalHook([](HWND s) {
            // Every page made (created with the sheet), then OK, then Cancel
            // when a value was refused.
            SendMessage(s, WM_COMMAND, IDOK, 0);
            if (win::IsDialogRunning(s)) SendMessage(s, WM_COMMAND, IDCANCEL, 0);
        });
        sheet.DoModal();
        win::ClearModalHooks();
    }
    return 0;
}
