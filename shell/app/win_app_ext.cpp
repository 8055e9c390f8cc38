#include "shell/app/win_app_ext.h"

#include "core/shell_helpers.h"
#include "platform/fs/special_folders.h"
#include "platform/sys/registry.h"

namespace {
bool IsBlank(WChar c) { return c == u' ' || c == u'\t'; }

int HexDigit(WChar c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}
}  // namespace

bool ParseProfileDouble(const WChar* text, double& value) {
    value = 0;
    if (!text) return false;
    while (IsBlank(*text)) ++text;
    const WChar* digits = text;
    if (*digits == u'-' || *digits == u'+') ++digits;
    const WChar* end = text;
    double parsed = text::ParseDouble(text, &end);
    if (end == text) return false;
    // A zero from a text that does not start with "0" is a failed conversion.
    if (parsed == 0 && *digits != u'0') return false;
    for (const WChar* p = end; *p; ++p)
        if (!IsBlank(*p)) return false;
    value = parsed;
    return true;
}

DWORD ParseProfileHex(WStringView text) {
    DWORD value = 0;
    for (WChar c : text) {
        int d = HexDigit(c);
        if (d < 0) break;
        value = value * 16 + static_cast<DWORD>(d);
    }
    return value;
}

CWinAppExt::CWinAppExt() = default;
CWinAppExt::~CWinAppExt() = default;

bool CWinAppExt::WriteProfileDouble(WStringView section, WStringView entry, double value) {
    return sys::WriteProfileString(section, entry, text::Format(u"%.15g", value).c_str());
}

double CWinAppExt::GetProfileDouble(WStringView section, WStringView entry, double def) {
    WString stored = sys::GetProfileString(section, entry, text::Format(u"%.15g", def));
    double value = 0;
    return ParseProfileDouble(stored.c_str(), value) ? value : def;
}

bool CWinAppExt::WriteProfileHex(WStringView section, WStringView entry, DWORD value) {
    return sys::WriteProfileString(section, entry, text::Format(u"%X", value).c_str());
}

DWORD CWinAppExt::GetProfileHex(WStringView section, WStringView entry, DWORD def) {
    return ParseProfileHex(sys::GetProfileString(section, entry, text::Format(u"%X", def)));
}

bool CWinAppExt::WriteProfileColor(WStringView section, WStringView entry, COLORREF value) {
    return sys::WriteProfileString(section, entry, text::Format(u"%06X", value).c_str());
}

COLORREF CWinAppExt::GetProfileColor(WStringView section, WStringView entry, COLORREF def) {
    return ParseProfileHex(sys::GetProfileString(section, entry, text::Format(u"%06X", def)));
}

namespace {
// Every write rewrites the registry file: a value that is already there is
// left alone, so that a start of the program writes nothing.
bool SetClassesString(WStringView key, const WString& value) {
    sys::RegValue current;
    if (sys::RegQueryValue(sys::Hive::ClassesRoot, key, u"", &current) && current.type == sys::kRegString &&
        current.text == value)
        return true;
    return sys::RegSetString(sys::Hive::ClassesRoot, key, u"", value);
}
}  // namespace

bool CWinAppExt::RegisterShellFileType(WStringView extension, WStringView description) {
    const WString program = u"Zarnip";
    const WString exe = fs::GetProgramFileName();
    bool ok = SetClassesString(extension, program);
    ok = SetClassesString(program, WString(description)) && ok;
    ok = SetClassesString(program + u"\\Shell\\Open\\Command", u"\"" + exe + u"\" \"%1\"") && ok;
    ok = SetClassesString(program + u"\\DefaultIcon", exe + u",0") && ok;
    return ok;
}

bool CWinAppExt::RegisterSipPref() {
    if (InitExtraControls()) return true;
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = u"SIPPREF";
    return RegisterClass(wc) != 0;
}
