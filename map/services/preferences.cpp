#include "map/services/preferences.h"

#include <cstring>

#include "core/shell_helpers.h"
#include "platform/res/locale.h"

LOGFONT PreferencesData::DefaultLabelFont() {
    LOGFONT label;
    label.lfHeight = -13;  // 10 points at 96 dots per inch
    label.lfWeight = 400;
    const WChar face[] = u"Tahoma";
    std::memcpy(label.lfFaceName, face, sizeof(face));
    return label;
}

PreferencesData::PreferencesData() {
    SetFolderDefaults(GetSpecialFolderPath(nullptr, kFolderPersonal));
}

void PreferencesData::SetFolderDefaults(WStringView documentsFolder) {
    paths.data = WString(documentsFolder);
    tracklog.name = WString(documentsFolder) + u"\\TrackLog.shp";
    gps.logfile = WString(documentsFolder) + u"\\GPS.log";
}

UINT AnsiCodePageOfLocale(DWORD lcid) {
    if (lcid == 0) lcid = res::GetUserDefaultLCID();
    if (const res::LocaleInfo* info = res::FindLocale(lcid)) return info->ansiCodePage;
    if (const res::LocaleInfo* info = res::FindLocale(res::GetUserDefaultLCID()))
        return info->ansiCodePage;
    return 1252;
}

CPlainPreferences::CPlainPreferences() = default;

CPlainPreferences::~CPlainPreferences() {
    m_labelFont.reset();
}

UINT CPlainPreferences::GetAnsiCodePage() { return AnsiCodePageOfLocale(m_data.locale.lcid); }

HFONT CPlainPreferences::GetLabelFont() {
    if (!m_labelFont.get()) m_labelFont.reset(CreateFontIndirect(&m_data.fonts.label));
    return m_labelFont.get();
}

namespace {
IPreferences* g_installed = nullptr;
CPlainPreferences* g_plain = nullptr;
// Text symbols start from the preferences' label font.
const bool g_labelFontSource = (SetLabelFontSource([]() -> const LOGFONT* {
                                    return &GetPreferences()->Data().fonts.label;
                                }),
                                true);
}  // namespace

IPreferences* GetPreferences() {
    if (g_installed) return g_installed;
    if (!g_plain) g_plain = new CPlainPreferences();
    return g_plain;
}

void SetPreferences(IPreferences* preferences) { g_installed = preferences; }

void ResetPreferencesForTests() {
    g_installed = nullptr;
    delete g_plain;
    g_plain = nullptr;
}
