#include "platform/win/ddx.h"

#include "platform/res/resource.h"
#include "platform/win/controls.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"

namespace {

// The framework's prompt from the current resource module, else English.
WString Prompt(UINT id, const char16_t* fallback) {
    WString s = res::LoadStringText(nullptr, id);
    return s.empty() ? WString(fallback) : s;
}

void ShowPrompt(CDataExchange* dx, const WString& text) {
    WString caption = res::LoadStringText(nullptr, IDS_APP_TITLE);
    MessageBox(dx->m_hDlg, text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

WString ControlText(CDataExchange* dx, int id) {
    return GetWindowTextString(dx->PrepareEditCtrl(id));
}

WString DoubleText(double v) {
    return text::Format(u"%.*g", 15, v);
}

}  // namespace

HWND CDataExchange::PrepareCtrl(int id) {
    HWND h = GetDlgItem(m_hDlg, id);
    m_hWndLastControl = h;
    m_bEditLastControl = false;
    return h;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
    HWND h = PrepareCtrl(id);
    m_bEditLastControl = true;
    return h;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_hWndLastControl && IsWindow(m_hWndLastControl)) {
        SetFocus(m_hWndLastControl);
        if (m_bEditLastControl) SendMessage(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    throw DataExchangeFailure();
}

void DDX_Text(CDataExchange* dx, int id, WString& value) {
    HWND h = dx->PrepareEditCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = GetWindowTextString(h);
    else
        SetWindowText(h, value.c_str());
}

namespace {
// Whole-text integer parsing in the C rules; false for anything else.
bool ParseWholeLong(const WString& s, long long* out) {
    WString t = text::Trim(s);
    if (t.empty()) return false;
    size_t used = 0;
    int32_t v = text::ParseLong(t, &used);
    if (used != t.size()) return false;
    *out = v;
    return true;
}
}  // namespace

void DDX_Text(CDataExchange* dx, int id, int& value) {
    if (!dx->m_bSaveAndValidate) {
        SetWindowText(dx->PrepareEditCtrl(id), text::IntToText(value).c_str());
        return;
    }
    long long v;
    if (!ParseWholeLong(ControlText(dx, id), &v)) {
        ShowPrompt(dx, Prompt(IDP_PARSE_INT, u"Please enter an integer."));
        dx->Fail();
    }
    value = static_cast<int>(v);
}

void DDX_Text(CDataExchange* dx, int id, long& value) {
    int v = static_cast<int>(value);
    DDX_Text(dx, id, v);
    value = v;
}

void DDX_Text(CDataExchange* dx, int id, UINT& value) {
    if (!dx->m_bSaveAndValidate) {
        SetWindowText(dx->PrepareEditCtrl(id), text::IntToText(value).c_str());
        return;
    }
    WString t = text::Trim(ControlText(dx, id));
    size_t used = 0;
    uint32_t v = t.empty() || t[0] == u'-' ? 0 : text::ParseULong(t, &used);
    if (t.empty() || t[0] == u'-' || used != t.size()) {
        ShowPrompt(dx, Prompt(IDP_PARSE_UINT, u"Please enter a positive integer."));
        dx->Fail();
    }
    value = v;
}

void DDX_Text(CDataExchange* dx, int id, double& value) {
    if (!dx->m_bSaveAndValidate) {
        SetWindowText(dx->PrepareEditCtrl(id), DoubleText(value).c_str());
        return;
    }
    WString t = text::Trim(ControlText(dx, id));
    size_t used = 0;
    double v = text::ParseDouble(t, &used);
    if (t.empty() || used != t.size()) {
        ShowPrompt(dx, Prompt(IDP_PARSE_REAL, u"Please enter a number."));
        dx->Fail();
    }
    value = v;
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    HWND h = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = static_cast<int>(SendMessage(h, BM_GETCHECK, 0, 0));
    else
        SendMessage(h, BM_SETCHECK, static_cast<WPARAM>(value < 0 || value > 2 ? 0 : value), 0);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
    HWND first = dx->PrepareCtrl(id);
    if (!first) return;
    if (dx->m_bSaveAndValidate) value = -1;
    int index = 0;
    HWND h = first;
    do {
        if (SendMessage(h, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
            if (dx->m_bSaveAndValidate) {
                if (SendMessage(h, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
            } else {
                SendMessage(h, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            ++index;
        }
        h = GetWindow(h, GW_HWNDNEXT);
    } while (h && !(GetWindowLongPtr(h, GWL_STYLE) & WS_GROUP));
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) {
    HWND h = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        index = static_cast<int>(SendMessage(h, CB_GETCURSEL, 0, 0));
    else
        SendMessage(h, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_CBString(CDataExchange* dx, int id, WString& value) {
    HWND h = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate) {
        value = GetWindowTextString(h);
        return;
    }
    // A prefix match selects the entry; without one the edit shows the text.
    if (SendMessage(h, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                    reinterpret_cast<LPARAM>(value.c_str())) == CB_ERR)
        SetWindowText(h, value.c_str());
}

void DDX_CBStringExact(CDataExchange* dx, int id, WString& value) {
    HWND h = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate) {
        value = GetWindowTextString(h);
        return;
    }
    LRESULT i = SendMessage(h, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(value.c_str()));
    if (i == CB_ERR)
        SetWindowText(h, value.c_str());
    else
        SendMessage(h, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
}

void DDX_LBIndex(CDataExchange* dx, int id, int& index) {
    HWND h = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        index = static_cast<int>(SendMessage(h, LB_GETCURSEL, 0, 0));
    else
        SendMessage(h, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_LBString(CDataExchange* dx, int id, WString& value) {
    HWND h = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate) {
        value.clear();
        LRESULT i = SendMessage(h, LB_GETCURSEL, 0, 0);
        if (i == LB_ERR) return;
        LRESULT n = SendMessage(h, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        value.assign(static_cast<size_t>(n) + 1, u'\0');
        SendMessage(h, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(value.data()));
        value.resize(static_cast<size_t>(n));
        return;
    }
    if (SendMessage(h, LB_SELECTSTRING, static_cast<WPARAM>(-1),
                    reinterpret_cast<LPARAM>(value.c_str())) == LB_ERR)
        SendMessage(h, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int minVal, int maxVal) {
    if (!dx->m_bSaveAndValidate || (value >= minVal && value <= maxVal)) return;
    ShowPrompt(dx, res::FormatMessageText(
                       Prompt(IDP_PARSE_INT_RANGE, u"Please enter an integer between %1 and %2."),
                       {text::IntToText(minVal), text::IntToText(maxVal)}));
    dx->Fail();
}

void DDV_MinMaxUInt(CDataExchange* dx, UINT value, UINT minVal, UINT maxVal) {
    if (!dx->m_bSaveAndValidate || (value >= minVal && value <= maxVal)) return;
    ShowPrompt(
        dx, res::FormatMessageText(
                Prompt(IDP_PARSE_UINT_RANGE, u"Please enter a positive integer between %1 and %2."),
                {text::IntToText(minVal), text::IntToText(maxVal)}));
    dx->Fail();
}

void DDV_MinMaxDouble(CDataExchange* dx, double value, double minVal, double maxVal) {
    if (!dx->m_bSaveAndValidate || (value >= minVal && value <= maxVal)) return;
    ShowPrompt(dx, res::FormatMessageText(
                       Prompt(IDP_PARSE_REAL_RANGE, u"Please enter a number between %1 and %2."),
                       {DoubleText(minVal), DoubleText(maxVal)}));
    dx->Fail();
}

void DDV_MaxChars(CDataExchange* dx, const WString& value, int count) {
    if (!dx->m_bSaveAndValidate) {
        if (dx->m_hWndLastControl)
            SendMessage(dx->m_hWndLastControl, EM_LIMITTEXT, static_cast<WPARAM>(count), 0);
        return;
    }
    if (static_cast<int>(value.size()) <= count) return;
    ShowPrompt(dx, res::FormatMessageText(
                       Prompt(IDP_PARSE_STRING_SIZE, u"Please enter no more than %1 characters."),
                       {text::IntToText(count)}));
    dx->Fail();
}

bool UpdateDialogData(HWND dialog, bool saveAndValidate,
                      const std::function<void(CDataExchange*)>& exchange) {
    CDataExchange dx(dialog, saveAndValidate);
    try {
        exchange(&dx);
    } catch (const DataExchangeFailure&) {
        return false;
    }
    return true;
}
