#include "shell/options/option_helpers.h"

#include <cstdlib>

#include "platform/win/controls.h"
#include "platform/win/window.h"

void FillComboTexts(HWND dialog, int id, const std::vector<WString>& texts) {
    HWND combo = GetDlgItem(dialog, id);
    SendMessage(combo, CB_RESETCONTENT, 0, 0);
    for (const WString& t : texts) SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str()));
}

namespace {
bool ParseInteger(const WString& text, bool allowSign, long long& out) {
    const WString t = text::Trim(text);
    if (t.empty()) return false;
    size_t i = 0;
    bool negative = false;
    if (allowSign && (t[0] == u'-' || t[0] == u'+')) {
        negative = t[0] == u'-';
        i = 1;
    }
    if (i == t.size()) return false;
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < u'0' || t[i] > u'9') return false;
        v = v * 10 + (t[i] - u'0');
        if (v > 0xFFFFFFFFLL) return false;
    }
    out = negative ? -v : v;
    return true;
}
}  // namespace

bool ReadUnsignedQuietly(HWND dialog, int id, UINT& value) {
    long long v = 0;
    if (!ParseInteger(GetDlgItemTextString(dialog, id), false, v)) return false;
    value = static_cast<UINT>(v);
    return true;
}

bool ReadIntQuietly(HWND dialog, int id, int& value) {
    long long v = 0;
    if (!ParseInteger(GetDlgItemTextString(dialog, id), true, v) || v > 0x7FFFFFFF || v < -0x80000000LL) return false;
    value = static_cast<int>(v);
    return true;
}
