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

void ShowConversionProblem(ConversionProblem problem, WStringView what, const CCoordSys& from,
                           const CCoordSys& to) {
    const WString name(what);
    switch (problem) {
        case ConversionProblem::kNone:
            return;
        case ConversionProblem::kUnknownSystem:
            ShowMapMessage(IDP_CANNOT_CONVERT, MB_OK | MB_ICONERROR, kBeepError, {name});
            return;
        case ConversionProblem::kShiftNotSupported:
            ShowMapMessage(IDP_DATUM_SHIFT_NOT_SUPPORTED, MB_OK | MB_ICONERROR, kBeepError,
                           {name, from.m_datum.datumName, to.m_datum.datumName});
            return;
        case ConversionProblem::kUnknownDatum: {
            const bool fromKnown = FindDatumByName(from.m_datum.datumName) != nullptr;
            ShowMapMessage(IDP_UNKNOWN_DATUM, MB_OK | MB_ICONEXCLAMATION, kBeepExclamation,
                           {name, fromKnown ? to.m_datum.datumName : from.m_datum.datumName});
            return;
        }
    }
}
