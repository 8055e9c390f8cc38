// Setting up the controls of a page window: fonts, limits, list entries,
// pickers, ranges, buddies, pictures and related-table lists.
#include <algorithm>
#include <cmath>

#include "core/dialog_ext.h"
#include "core/path.h"
#include "formats/dbf/dbf_table.h"
#include "formats/raster/image_loading.h"
#include "map/services/preferences.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "shell/forms/forms.h"
#include "shell/forms/table_list.h"

namespace {

constexpr UINT kCapEditAllWords = 0x401;

void SetFont(HWND hwnd, HFONT font) {
    if (hwnd && font) SendMessage(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

DWORD SortLocale() {
    IPreferences* prefs = GetPreferences();
    return prefs ? prefs->Data().locale.lcid : 0;
}

HWND BuddyEdit(const CFormPageDef& page, const WString& name) {
    if (name.empty()) return nullptr;
    for (const auto& c : page.m_controls)
        if (c->m_name == name && c->m_type == kCtlEdit) return c->m_hwnd;
    return nullptr;
}

}  // namespace

void CForm::InitPage(HWND pageWindow, int page) {
    CFormPageDef* def = GetPage(page);
    if (!def) return;
    def->m_hwnd = pageWindow;
    const HFONT dialogFont = GetProgramFont();
    const HFONT pageFont = def->m_font ? def->m_font.get() : m_font ? m_font.get() : dialogFont;
    SetFont(pageWindow, pageFont);
    // One walk over the page's children finds every control's window.
    for (auto& cp : def->m_controls) cp->m_hwnd = nullptr;
    for (HWND child : GetChildren(pageWindow)) {
        const int index = GetDlgCtrlID(child) - kFirstFormControlId;
        if (index >= 0 && index < static_cast<int>(def->m_controls.size()))
            def->m_controls[static_cast<size_t>(index)]->m_hwnd = child;
    }
    for (auto& cp : def->m_controls) {
        CFormControl& c = *cp;
        if (c.m_type == kCtlSubTable && c.m_hwnd) {
            if (!c.m_tableList) c.m_tableList = std::make_unique<CTableListCtrl>();
            if (c.m_tableList->GetSafeHwnd()) c.m_tableList->Detach();
            c.m_tableList->Attach(c.m_hwnd);
        }
    }
    const DWORD lcid = SortLocale();
    const DbfHandle table = m_source && m_source->table ? m_source->table->Table() : nullptr;
    for (auto& cp : def->m_controls) {
        CFormControl& c = *cp;
        HWND hwnd = c.m_hwnd;
        if (!hwnd) continue;
        SetFont(hwnd, c.m_font ? c.m_font.get() : m_font ? m_font.get() : dialogFont);
        switch (c.m_type) {
            case kCtlEdit:
                if (table && c.m_field >= 0)
                    SendMessage(hwnd, EM_LIMITTEXT,
                                static_cast<WPARAM>(DbfGetFieldLength(table, c.m_field)), 0);
                if (c.m_capitalize == 2) SendMessage(hwnd, kCapEditAllWords, 1, 0);
                break;
            case kCtlComboBox:
                if (lcid) SendMessage(hwnd, CB_SETLOCALE, lcid, 0);
                FillComboBox(c);
                break;
            case kCtlListBox:
                if (lcid) SendMessage(hwnd, LB_SETLOCALE, lcid, 0);
                FillListBox(c);
                break;
            case kCtlDateTime: {
                SYSTEMTIME now{};
                GetLocalTime(&now);
                SendMessage(hwnd, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&now));
                if (GetWindowLong(hwnd, GWL_STYLE) & DTS_SHOWNONE)
                    SendMessage(hwnd, DTM_SETSYSTEMTIME, GDT_NONE, 0);
                if (!c.m_format.empty())
                    SendMessage(hwnd, DTM_SETFORMAT, 0,
                                reinterpret_cast<LPARAM>(c.m_format.c_str()));
                break;
            }
            case kCtlSlider:
                SendMessage(hwnd, TBM_SETRANGE, TRUE,
                            static_cast<LPARAM>(MAKELONG(c.m_lower, c.m_upper)));
                if (HWND buddy = BuddyEdit(*def, c.m_buddy))
                    SendMessage(hwnd, TBM_SETBUDDY, TRUE, reinterpret_cast<LPARAM>(buddy));
                break;
            case kCtlUpDown:
                SendMessage(hwnd, UDM_SETRANGE32, static_cast<WPARAM>(c.m_lower), c.m_upper);
                if (HWND buddy = BuddyEdit(*def, c.m_buddy))
                    SendMessage(hwnd, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
                break;
            case kCtlImageBox:
                c.m_picturePath.clear();
                break;
            case kCtlSubTable:
                if (c.m_tableList) {
                    c.m_tableList->SetReadOnly(!m_editable || c.m_readOnly);
                    const WString path = ResolvePath(c.m_dataTable);
                    c.m_tableList->Open(path.empty() ? nullptr : path.c_str(),
                                        c.m_fieldName.c_str());
                }
                break;
            default:
                break;
        }
    }
}

void CForm::ClearComboItems(CFormControl& control) {
    if (control.m_hwnd) SendMessage(control.m_hwnd, CB_RESETCONTENT, 0, 0);
    control.m_items.reset();
}

void CForm::ClearListItems(CFormControl& control) {
    if (control.m_hwnd) SendMessage(control.m_hwnd, LB_RESETCONTENT, 0, 0);
    control.m_items.reset();
}

void CForm::FillComboBox(CFormControl& c) {
    if (!c.m_hwnd) return;
    SendMessage(c.m_hwnd, CB_RESETCONTENT, 0, 0);
    if (!c.m_items) return;
    for (int i = 0; i < c.m_items->Count(); ++i) {
        const CValueTextPair& pair = c.m_items->At(i);
        const WString& shown = c.m_limitToList ? pair.text : pair.value;
        const LRESULT at =
            SendMessage(c.m_hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
        if (at >= 0) SendMessage(c.m_hwnd, CB_SETITEMDATA, static_cast<WPARAM>(at), i);
    }
}

void CForm::FillListBox(CFormControl& c) {
    if (!c.m_hwnd) return;
    SendMessage(c.m_hwnd, LB_RESETCONTENT, 0, 0);
    if (!c.m_items) return;
    size_t longestEntry = 0;
    size_t longestValue = 0;
    for (int i = 0; i < c.m_items->Count(); ++i) {
        const CValueTextPair& pair = c.m_items->At(i);
        const WString shown = c.m_showValues ? pair.value + u"\t" + pair.text : pair.text;
        longestEntry = std::max(longestEntry, shown.size());
        longestValue = std::max(longestValue, pair.value.size());
        const LRESULT at =
            SendMessage(c.m_hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
        if (at >= 0) SendMessage(c.m_hwnd, LB_SETITEMDATA, static_cast<WPARAM>(at), i);
    }
    const int baseX = LOWORD(GetDialogBaseUnits());
    SendMessage(c.m_hwnd, LB_SETHORIZONTALEXTENT,
                static_cast<WPARAM>(static_cast<int>(longestEntry) * baseX), 0);
    if (c.m_showValues) {
        int stop = static_cast<int>(longestValue) * baseX / 4;
        SendMessage(c.m_hwnd, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&stop));
    }
}

void CForm::ShowSliderBuddy(CFormControl& c) {
    if (!c.m_hwnd) return;
    HWND buddy = reinterpret_cast<HWND>(SendMessage(c.m_hwnd, TBM_GETBUDDY, TRUE, 0));
    if (!buddy) return;
    const int pos = static_cast<int>(SendMessage(c.m_hwnd, TBM_GETPOS, 0, 0));
    SetWindowText(buddy, text::Format(u"%d", pos).c_str());
}

void CForm::LoadImageControl(CFormControl& c, const WString& path) {
    const CPath p{WStringView(path)};
    const WString folder = p.GetDirectory();
    WString full = path;
    if (folder.empty()) {
        c.m_text = path;
        full = ResolvePath(path);
    } else if (text::EqualsNoCase(folder, m_folder)) {
        c.m_text = p.GetFileName();
    } else {
        c.m_text = path;
    }
    if (!c.m_hwnd) return;
    RECT client{};
    GetClientRect(c.m_hwnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    HDC screen = GetDC(nullptr);
    if (!c.m_picture)
        c.m_picture.reset(CreateCompatibleBitmap(screen, std::max(width, 1), std::max(height, 1)));
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP old = SelectObject(dc, c.m_picture.get());
    RECT all{0, 0, width, height};
    FillRect(dc, &all, reinterpret_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    CImageBitmap image;
    if (!path.empty() && image.LoadFile(full)) {
        BITMAP info{};
        GetObject(image.GetSafeHandle(), sizeof info, &info);
        if (info.bmWidth > 0 && info.bmHeight != 0) {
            const int imageHeight = std::abs(static_cast<int>(info.bmHeight));
            const double scale = std::min(static_cast<double>(width) / info.bmWidth,
                                          static_cast<double>(height) / imageHeight);
            const int w = static_cast<int>(info.bmWidth * scale);
            const int h = static_cast<int>(imageHeight * scale);
            HDC src = CreateCompatibleDC(screen);
            HBITMAP oldSrc = SelectObject(src, image.GetSafeHandle());
            SetStretchBltMode(dc, COLORONCOLOR);
            StretchBlt(dc, (width - w) / 2, (height - h) / 2, w, h, src, 0, 0, info.bmWidth,
                       imageHeight, SRCCOPY);
            SelectObject(src, oldSrc);
            DeleteDC(src);
        }
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    c.m_picturePath = c.m_text;
    SendMessage(c.m_hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(c.m_picture.get()));
}
