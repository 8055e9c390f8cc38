#include "map/map_messages.h"

#include "core/language_module.h"
#include "platform/res/resource.h"
#include "platform/win/msgbox.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

// Texts come from the language library when it has them, else from the
// program's own resources.
WString LoadMapString(UINT id) {
    CLanguageModule* language = GetLanguageModule();
    return language ? language->LoadString(id, true) : res::LoadStringText(nullptr, id);
}

int ShowMapMessageText(const WString& text, UINT type, MapBeep beep) {
    if (beep != kBeepNone) MessageBeep(static_cast<UINT>(beep));
    return MessageBox(win::GetMainWindow(), text.c_str(), LoadMapString(IDS_APP_TITLE).c_str(),
                      type);
}

int ShowMapMessage(UINT id, UINT type, MapBeep beep, const std::vector<WString>& args,
                   WStringView extraLine) {
    WString text = res::FormatMessageText(LoadMapString(id), args);
    if (!extraLine.empty()) {
        text += u"\n";
        text += extraLine;
    }
    return ShowMapMessageText(text, type, beep);
}
