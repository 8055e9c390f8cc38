// The file, colour and font dialogs as real windows, from the templates and
// texts of the platform's own resource module.
#include <algorithm>
#include <cmath>
#include <map>
#include <span>

#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"
#include "platform/res/resource.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/look.h"
#include "platform/win/menu_window.h"
#include "platform/win/msgbox.h"
#include "platform/win/theme.h"
#include "platform/win/window_impl.h"
#include "resources/zres.h"

namespace win::detail {

std::span<const uint8_t> PlatformResourceImage();  // generated from commdlg.rc

namespace {

const res::ResourceModule* Module() {
    static std::shared_ptr<res::ResourceModule> m = [] {
        auto image = PlatformResourceImage();
        return res::ResourceModule::FromBytes(image.data(), image.size());
    }();
    return m.get();
}

WString Text(UINT id) {
    return Module() ? Module()->LoadString(id).value_or(WString()) : WString();
}

// -1 when the template is missing or the dialog could not be made.
intptr_t RunTemplate(WORD id, HWND owner, DLGPROC proc, LPARAM param) {
    const res::Resource* r = Module() ? Module()->Find(res::RT_DIALOG, id) : nullptr;
    if (!r) return -1;
    HWND top = owner;
    while (top && (GetWindowLongPtr(top, GWL_STYLE) & WS_CHILD)) top = GetParent(top);
    return DialogBoxIndirectParam(nullptr, r->data.data(), r->data.size(), top, proc, param);
}

void Show(HWND dialog, int id, bool on) {
    if (HWND c = GetDlgItem(dialog, id)) ShowWindow(c, on ? SW_SHOW : SW_HIDE);
}

// ---- a colour swatch, optionally showing a text in a font ----
// WM_USER: wParam is the colour; WM_USER + 1: wParam is the font (not owned).
constexpr UINT kSetColour = WM_USER;
constexpr UINT kSetFont = WM_USER + 1;

struct Swatch {
    COLORREF colour = 0;
    HFONT font = nullptr;
};
std::map<HWND, Swatch>& Swatches() {
    static auto* m = new std::map<HWND, Swatch>;
    return *m;
}

LRESULT SwatchProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case kSetColour:
            Swatches()[h].colour = static_cast<COLORREF>(wp);
            InvalidateRect(h, nullptr, true);
            return 0;
        case kSetFont:
            Swatches()[h].font = reinterpret_cast<HFONT>(wp);
            InvalidateRect(h, nullptr, true);
            return 0;
        case WM_NCDESTROY:
            Swatches().erase(h);
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            RECT r;
            GetClientRect(h, &r);
            Swatch s = Swatches()[h];
            DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
            WString text = GetWindowTextString(h);
            if (text.empty()) {
                HBRUSH b = CreateSolidBrush(s.colour);
                FillRect(dc, &r, b);
                DeleteObject(b);
            } else {
                look::FillSys(dc, r, COLOR_WINDOW);
                HFONT old = SelectObject(dc, s.font ? s.font : look::ControlFont(h));
                look::Label(dc, text, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, true,
                            s.colour);
                SelectObject(dc, old);
            }
            EndPaint(h, &ps);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

// ---- a grid of colour cells ----
// kSetColour with lParam a std::vector<COLORREF>* sets the cells; the
// messages below read and set the selected cell (-1: none). A pick by pen or
// arrow key sends WM_COMMAND with kGridPicked to the parent.
constexpr UINT kGetSelection = WM_USER + 2;
constexpr UINT kSetSelection = WM_USER + 3;
constexpr UINT kGetCell = WM_USER + 4;
constexpr UINT kSetCell = WM_USER + 5;
constexpr WORD kGridPicked = 1;
constexpr int kGridColumns = 8;

struct Grid {
    std::vector<COLORREF> cells;
    int selected = -1;
};
std::map<HWND, Grid>& Grids() {
    static auto* m = new std::map<HWND, Grid>;
    return *m;
}

RECT CellRect(HWND h, int index) {
    RECT rc;
    GetClientRect(h, &rc);
    int count = static_cast<int>(Grids()[h].cells.size());
    int rows = std::max(1, (count + kGridColumns - 1) / kGridColumns);
    int cw = (rc.right - rc.left) / kGridColumns, ch = (rc.bottom - rc.top) / rows;
    int col = index % kGridColumns, row = index / kGridColumns;
    return RECT{col * cw, row * ch, col * cw + cw, row * ch + ch};
}

void Pick(HWND h, int index) {
    Grid& g = Grids()[h];
    if (index < 0 || index >= static_cast<int>(g.cells.size())) return;
    g.selected = index;
    InvalidateRect(h, nullptr, true);
    SendMessage(GetParent(h), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), kGridPicked),
                reinterpret_cast<LPARAM>(h));
}

LRESULT GridProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case kSetColour:
            Grids()[h].cells = *reinterpret_cast<const std::vector<COLORREF>*>(lp);
            InvalidateRect(h, nullptr, true);
            return 0;
        case kGetSelection:
            return Grids()[h].selected;
        case kSetSelection:
            Grids()[h].selected = static_cast<int>(wp);
            InvalidateRect(h, nullptr, true);
            return 0;
        case kGetCell: {
            const Grid& g = Grids()[h];
            return wp < g.cells.size() ? static_cast<LRESULT>(g.cells[wp]) : 0;
        }
        case kSetCell: {
            Grid& g = Grids()[h];
            if (wp < g.cells.size()) g.cells[wp] = static_cast<COLORREF>(lp);
            InvalidateRect(h, nullptr, true);
            return 0;
        }
        case WM_NCDESTROY:
            Grids().erase(h);
            break;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(h, nullptr, true);
            break;
        case WM_LBUTTONDOWN: {
            SetFocus(h);
            POINT p{static_cast<int16_t>(LOWORD(lp)), static_cast<int16_t>(HIWORD(lp))};
            // The spare pixels at the right and bottom belong to the last cells.
            RECT first = CellRect(h, 0);
            int count = static_cast<int>(Grids()[h].cells.size());
            int cw = std::max(1, static_cast<int>(first.right)),
                ch = std::max(1, static_cast<int>(first.bottom));
            int rows = (count + kGridColumns - 1) / kGridColumns;
            int col = std::clamp(p.x / cw, 0, kGridColumns - 1), row = std::clamp(p.y / ch, 0, rows - 1);
            if (p.x >= 0 && p.y >= 0) Pick(h, row * kGridColumns + col);
            return 0;
        }
        case WM_KEYDOWN: {
            int sel = Grids()[h].selected, count = static_cast<int>(Grids()[h].cells.size());
            int step = wp == VK_LEFT ? -1 : wp == VK_RIGHT ? 1 : wp == VK_UP ? -kGridColumns
                       : wp == VK_DOWN                     ? kGridColumns
                                                           : 0;
            if (!step) break;
            int next = sel < 0 ? 0 : sel + step;
            if (next >= 0 && next < count) Pick(h, next);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            RECT rc;
            GetClientRect(h, &rc);
            look::FillSys(dc, rc, COLOR_BTNFACE);
            const Grid& g = Grids()[h];
            int inset = theme::Scale(2);
            for (size_t i = 0; i < g.cells.size(); ++i) {
                RECT c = CellRect(h, static_cast<int>(i));
                RECT well{c.left + inset, c.top + inset, c.right - inset, c.bottom - inset};
                if (static_cast<int>(i) == g.selected) {
                    // The chosen cell: a black frame just outside its well.
                    RECT f{well.left - 1, well.top - 1, well.right + 1, well.bottom + 1};
                    FrameRect(dc, &f, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
                    if (GetFocus() == h) look::Focus(dc, c);
                }
                DrawEdge(dc, &well, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
                HBRUSH b = CreateSolidBrush(g.cells[i]);
                FillRect(dc, &well, b);
                DeleteObject(b);
            }
            EndPaint(h, &ps);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

void RegisterClasses() {
    RegisterSystemClass(u"ZnSwatch", SwatchProc, 0);
    RegisterSystemClass(u"ZnColorGrid", GridProc, 0);
}

// ---- file open and save ----

struct FileDialog {
    OPENFILENAME* ofn = nullptr;
    bool save = false;
    WString folder;  // device path without a trailing separator; empty: the root
    std::vector<std::pair<WString, WString>> filters;  // description, patterns
    struct Entry {
        WString name;
        bool folder = false;
        bool up = false;
    };
    std::vector<Entry> entries;  // as listed
};

WString Join(const WString& folder, const WString& name) {
    return folder + u"\\" + name;
}

WString Parent(const WString& path) {
    size_t slash = path.find_last_of(u'\\');
    return slash == WString::npos ? WString() : path.substr(0, slash);
}

bool IsFolder(const WString& path) {
    if (path.empty()) return true;
    uint32_t a = fs::GetFileAttributes(path);
    return a != fs::kInvalidAttributes && (a & fs::kAttrDirectory);
}

bool MatchesAny(const WString& patterns, const WString& name) {
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(u';', start);
        if (end == WString::npos) end = patterns.size();
        WString p = patterns.substr(start, end - start);
        while (!p.empty() && p.front() == u' ') p.erase(p.begin());
        if (!p.empty() && fs::MatchesWildcard(p, name)) return true;
        start = end + 1;
    }
    return false;
}

void FillFiles(HWND dlg, FileDialog& d) {
    SetDlgItemText(dlg, IDC_ZN_FOLDER, d.folder.empty() ? u"\\" : d.folder.c_str());
    WString patterns = u"*";
    LRESULT type = SendDlgItemMessage(dlg, IDC_ZN_TYPE, CB_GETCURSEL, 0, 0);
    if (type >= 0 && static_cast<size_t>(type) < d.filters.size())
        patterns = d.filters[static_cast<size_t>(type)].second;
    std::vector<FileDialog::Entry> folders, files;
    fs::FindData fd;
    if (fs::FindHandle* f = fs::FindFirstFile(Join(d.folder, u"*"), &fd)) {
        do {
            if (fd.fileName == u"." || fd.fileName == u"..") continue;
            if (fd.attributes & fs::kAttrDirectory)
                folders.push_back({fd.fileName, true, false});
            else if (MatchesAny(patterns, fd.fileName))
                files.push_back({fd.fileName, false, false});
        } while (fs::FindNextFile(f, &fd));
        fs::FindClose(f);
    }
    auto byName = [](const FileDialog::Entry& a, const FileDialog::Entry& b) {
        int c = text::CompareNoCase(a.name, b.name);
        return c ? c < 0 : a.name < b.name;
    };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    d.entries.clear();
    if (!d.folder.empty()) d.entries.push_back({u"..", true, true});
    d.entries.insert(d.entries.end(), folders.begin(), folders.end());
    d.entries.insert(d.entries.end(), files.begin(), files.end());
    HWND list = GetDlgItem(dlg, IDC_ZN_FILES);
    SendMessage(list, LB_RESETCONTENT, 0, 0);
    for (const auto& e : d.entries) {
        WString shown = e.up ? Text(IDS_ZN_UP) : e.folder ? u"[" + e.name + u"]" : e.name;
        SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
    }
}

void EnterFolder(HWND dlg, FileDialog& d, const WString& folder) {
    d.folder = folder;
    FillFiles(dlg, d);
}

// OK: a folder is entered; a file is checked as the flags ask and chosen.
void AcceptFile(HWND dlg, FileDialog& d) {
    WString name = GetDlgItemTextString(dlg, IDC_ZN_NAME);
    while (!name.empty() && name.back() == u' ') name.pop_back();
    while (!name.empty() && name.front() == u' ') name.erase(name.begin());
    LRESULT sel = SendDlgItemMessage(dlg, IDC_ZN_FILES, LB_GETCURSEL, 0, 0);
    if (name.empty()) {
        if (sel >= 0 && static_cast<size_t>(sel) < d.entries.size() &&
            d.entries[static_cast<size_t>(sel)].folder) {
            const auto& e = d.entries[static_cast<size_t>(sel)];
            EnterFolder(dlg, d, e.up ? Parent(d.folder) : Join(d.folder, e.name));
        }
        return;
    }
    if (name == u"..") {
        EnterFolder(dlg, d, Parent(d.folder));
        SetDlgItemText(dlg, IDC_ZN_NAME, u"");
        return;
    }
    WString full = name.front() == u'\\' ? name : Join(d.folder, name);
    while (full.size() > 1 && full.back() == u'\\') full.pop_back();
    if (full == u"\\") full.clear();
    if (IsFolder(full)) {
        EnterFolder(dlg, d, full);
        SetDlgItemText(dlg, IDC_ZN_NAME, u"");
        return;
    }
    OPENFILENAME& ofn = *d.ofn;
    if (d.save && !ofn.defExt.empty()) {
        size_t slash = full.find_last_of(u'\\'), dot = full.find_last_of(u'.');
        if (dot == WString::npos || (slash != WString::npos && dot < slash))
            full += u"." + ofn.defExt;
    }
    WString caption = GetWindowTextString(dlg);
    if ((d.save || (ofn.flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST))) &&
        !IsFolder(Parent(full))) {
        WString t = res::FormatMessageText(Text(IDS_ZN_PATH_NOT_FOUND), {Parent(full)});
        MessageBox(dlg, t.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    bool exists = fs::Exists(full);
    if (!d.save && (ofn.flags & OFN_FILEMUSTEXIST) && !exists) {
        WString t = res::FormatMessageText(Text(IDS_ZN_FILE_NOT_FOUND), {full});
        MessageBox(dlg, t.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (d.save && (ofn.flags & OFN_OVERWRITEPROMPT) && exists) {
        WString t = res::FormatMessageText(Text(IDS_ZN_REPLACE), {full});
        if (MessageBox(dlg, t.c_str(), caption.c_str(), MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
            return;
    }
    ofn.file = full;
    LRESULT type = SendDlgItemMessage(dlg, IDC_ZN_TYPE, CB_GETCURSEL, 0, 0);
    if (type >= 0) ofn.nFilterIndex = static_cast<DWORD>(type + 1);
    EndDialog(dlg, IDOK);
}

FileDialog* g_file = nullptr;

intptr_t FileProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    FileDialog* d = g_file;
    if (!d) return 0;
    switch (msg) {
        case WM_INITDIALOG: {
            OPENFILENAME& ofn = *d->ofn;
            WString title = ofn.title.empty() ? Text(d->save ? IDS_ZN_SAVE_AS : IDS_ZN_OPEN)
                                              : ofn.title;
            SetWindowText(dlg, title.c_str());
            // The filter: description and pattern pairs, each ended by a zero.
            size_t i = 0;
            while (i < ofn.filter.size()) {
                size_t a = ofn.filter.find(u'\0', i);
                if (a == WString::npos || a == i) break;
                size_t b = ofn.filter.find(u'\0', a + 1);
                if (b == WString::npos) b = ofn.filter.size();
                d->filters.emplace_back(ofn.filter.substr(i, a - i),
                                        ofn.filter.substr(a + 1, b - a - 1));
                i = b + 1;
            }
            for (const auto& f : d->filters)
                SendDlgItemMessage(dlg, IDC_ZN_TYPE, CB_ADDSTRING, 0,
                                   reinterpret_cast<LPARAM>(f.first.c_str()));
            if (!d->filters.empty()) {
                DWORD index = ofn.nFilterIndex ? ofn.nFilterIndex - 1 : 0;
                if (index >= d->filters.size()) index = 0;
                SendDlgItemMessage(dlg, IDC_ZN_TYPE, CB_SETCURSEL, index, 0);
            }
            // The folder: the initial one, else that of the given name, else
            // the documents folder; the root when none of them exists.
            WString name = ofn.file;
            WString folder = ofn.initialDir;
            size_t slash = name.find_last_of(u'\\');
            if (slash != WString::npos) {
                if (folder.empty()) folder = name.substr(0, slash);
                name = name.substr(slash + 1);
            }
            if (folder.empty()) folder = fs::GetDocumentsFolder();
            while (!folder.empty() && folder.back() == u'\\') folder.pop_back();
            if (!folder.empty() && folder.front() != u'\\') folder = u"\\" + folder;
            if (!IsFolder(folder)) folder.clear();
            SetDlgItemText(dlg, IDC_ZN_NAME, name.c_str());
            EnterFolder(dlg, *d, folder);
            SetFocus(GetDlgItem(dlg, IDC_ZN_NAME));
            return 0;
        }
        case WM_COMMAND: {
            WORD id = LOWORD(wp), code = HIWORD(wp);
            if (id == IDOK) {
                AcceptFile(dlg, *d);
                return 1;
            }
            if (id == IDCANCEL) {
                EndDialog(dlg, IDCANCEL);
                return 1;
            }
            if (id == IDC_ZN_TYPE && code == CBN_SELCHANGE) {
                FillFiles(dlg, *d);
                return 1;
            }
            if (id == IDC_ZN_FILES && (code == LBN_SELCHANGE || code == LBN_DBLCLK)) {
                LRESULT sel = SendDlgItemMessage(dlg, IDC_ZN_FILES, LB_GETCURSEL, 0, 0);
                if (sel < 0 || static_cast<size_t>(sel) >= d->entries.size()) return 1;
                const auto e = d->entries[static_cast<size_t>(sel)];
                if (code == LBN_SELCHANGE) {
                    if (!e.folder) SetDlgItemText(dlg, IDC_ZN_NAME, e.name.c_str());
                } else if (e.folder) {
                    EnterFolder(dlg, *d, e.up ? Parent(d->folder) : Join(d->folder, e.name));
                } else {
                    AcceptFile(dlg, *d);
                }
                return 1;
            }
            return 0;
        }
        default:
            return 0;
    }
}

// ---- colour ----

// The basic colours: eight hues in five shades, and a row of greys.
std::vector<COLORREF> BasicColours() {
    static const int hues[kGridColumns] = {0, 30, 60, 120, 180, 210, 240, 300};
    static const double lightness[5] = {0.85, 0.7, 0.5, 0.35, 0.2};
    std::vector<COLORREF> out;
    for (double l : lightness) {
        for (int hue : hues) {
            double c = (1 - std::fabs(2 * l - 1)), hp = hue / 60.0;
            double x = c * (1 - std::fabs(std::fmod(hp, 2) - 1)), m = l - c / 2;
            double r = 0, g = 0, b = 0;
            if (hp < 1) r = c, g = x;
            else if (hp < 2) r = x, g = c;
            else if (hp < 3) g = c, b = x;
            else if (hp < 4) g = x, b = c;
            else if (hp < 5) r = x, b = c;
            else r = c, b = x;
            auto v = [m](double t) { return static_cast<BYTE>(std::lround((t + m) * 255)); };
            out.push_back(RGB(v(r), v(g), v(b)));
        }
    }
    static const BYTE greys[kGridColumns] = {0, 64, 96, 128, 160, 192, 224, 255};
    for (BYTE g : greys) out.push_back(RGB(g, g, g));
    return out;
}

struct ColorDialog {
    CHOOSECOLOR* cc = nullptr;
    COLORREF current = 0;
    bool filling = false;  // the fields are being set from a pick
};
ColorDialog* g_color = nullptr;

void ShowColour(HWND dlg, ColorDialog& d, bool fields) {
    SendDlgItemMessage(dlg, IDC_ZN_SWATCH, kSetColour, d.current, 0);
    if (!fields) return;
    d.filling = true;
    SetDlgItemInt(dlg, IDC_ZN_RED, GetRValue(d.current), false);
    SetDlgItemInt(dlg, IDC_ZN_GREEN, GetGValue(d.current), false);
    SetDlgItemInt(dlg, IDC_ZN_BLUE, GetBValue(d.current), false);
    d.filling = false;
}

int Channel(HWND dlg, int id) {
    BOOL ok = false;
    UINT v = GetDlgItemInt(dlg, id, &ok, false);
    return ok ? static_cast<int>(std::min<UINT>(v, 255)) : 0;
}

intptr_t ColorProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    ColorDialog* d = g_color;
    if (!d) return 0;
    switch (msg) {
        case WM_INITDIALOG: {
            CHOOSECOLOR& cc = *d->cc;
            auto basic = BasicColours();
            std::vector<COLORREF> custom(std::begin(cc.custColors), std::end(cc.custColors));
            SendDlgItemMessage(dlg, IDC_ZN_BASIC, kSetColour, 0, reinterpret_cast<LPARAM>(&basic));
            SendDlgItemMessage(dlg, IDC_ZN_CUSTOM, kSetColour, 0,
                               reinterpret_cast<LPARAM>(&custom));
            d->current = (cc.flags & CC_RGBINIT) ? cc.rgbResult & 0xFFFFFF : 0;
            auto at = std::find(basic.begin(), basic.end(), d->current);
            if (at != basic.end())
                SendDlgItemMessage(dlg, IDC_ZN_BASIC, kSetSelection, at - basic.begin(), 0);
            for (int id : {IDC_ZN_RED, IDC_ZN_GREEN, IDC_ZN_BLUE})
                SendDlgItemMessage(dlg, id, EM_LIMITTEXT, 3, 0);
            // The fields for red, green and blue only when fully open.
            bool full = cc.flags & CC_FULLOPEN;
            for (int id = IDC_ZN_RGB_FIRST; id < IDC_ZN_RGB_FIRST + 3; ++id) Show(dlg, id, full);
            for (int id : {IDC_ZN_RED, IDC_ZN_GREEN, IDC_ZN_BLUE, IDC_ZN_ADD_CUSTOM})
                Show(dlg, id, full);
            ShowColour(dlg, *d, true);
            SetFocus(GetDlgItem(dlg, IDC_ZN_BASIC));
            return 0;
        }
        case WM_COMMAND: {
            WORD id = LOWORD(wp), code = HIWORD(wp);
            if ((id == IDC_ZN_BASIC || id == IDC_ZN_CUSTOM) && code == kGridPicked) {
                HWND grid = GetDlgItem(dlg, id);
                LRESULT sel = SendMessage(grid, kGetSelection, 0, 0);
                d->current = static_cast<COLORREF>(SendMessage(grid, kGetCell, sel, 0));
                // One chosen cell across both grids, except the custom slot
                // that Add fills.
                if (id == IDC_ZN_BASIC)
                    SendDlgItemMessage(dlg, IDC_ZN_CUSTOM, kSetSelection, static_cast<WPARAM>(-1), 0);
                else
                    SendDlgItemMessage(dlg, IDC_ZN_BASIC, kSetSelection, static_cast<WPARAM>(-1), 0);
                ShowColour(dlg, *d, true);
                return 1;
            }
            if ((id == IDC_ZN_RED || id == IDC_ZN_GREEN || id == IDC_ZN_BLUE) &&
                code == EN_CHANGE && !d->filling) {
                d->current = RGB(Channel(dlg, IDC_ZN_RED), Channel(dlg, IDC_ZN_GREEN),
                                 Channel(dlg, IDC_ZN_BLUE));
                ShowColour(dlg, *d, false);
                return 1;
            }
            if (id == IDC_ZN_ADD_CUSTOM) {
                // Into the chosen custom slot, else the first one.
                LRESULT slot = SendDlgItemMessage(dlg, IDC_ZN_CUSTOM, kGetSelection, 0, 0);
                if (slot < 0) slot = 0;
                SendDlgItemMessage(dlg, IDC_ZN_CUSTOM, kSetCell, static_cast<WPARAM>(slot),
                                   d->current);
                SendDlgItemMessage(dlg, IDC_ZN_CUSTOM, kSetSelection, static_cast<WPARAM>(slot), 0);
                return 1;
            }
            if (id == IDOK) {
                d->cc->rgbResult = d->current;
                for (int i = 0; i < 16; ++i)
                    d->cc->custColors[i] = static_cast<COLORREF>(
                        SendDlgItemMessage(dlg, IDC_ZN_CUSTOM, kGetCell, i, 0));
                EndDialog(dlg, IDOK);
                return 1;
            }
            if (id == IDCANCEL) {
                EndDialog(dlg, IDCANCEL);
                return 1;
            }
            return 0;
        }
        default:
            return 0;
    }
}

// ---- font ----

const int kFontSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};
const COLORREF kTextColours[16] = {
    RGB(0, 0, 0),     RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
    RGB(0, 0, 128),   RGB(128, 0, 128), RGB(0, 128, 128), RGB(128, 128, 128),
    RGB(192, 192, 192), RGB(255, 0, 0), RGB(0, 255, 0),   RGB(255, 255, 0),
    RGB(0, 0, 255),   RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};

struct FontDialog {
    CHOOSEFONT* cf = nullptr;
    HFONT sample = nullptr;
};
FontDialog* g_font = nullptr;

int CollectFace(const LOGFONT* lf, const TEXTMETRIC*, DWORD, LPARAM param) {
    auto* faces = reinterpret_cast<std::vector<WString>*>(param);
    WString face = lf->lfFaceName;
    if (!face.empty() && std::find(faces->begin(), faces->end(), face) == faces->end())
        faces->push_back(face);
    return 1;
}

int ScreenDpi() {
    const int dpi = gdi::GetScreenMetrics().logPixelsY;
    return dpi > 0 ? dpi : 96;
}

// The size field in points: a whole number from 1 to 999, else 0.
int ChosenPoints(HWND dlg) {
    WString t = GetDlgItemTextString(dlg, IDC_ZN_SIZE);
    LRESULT sel = SendDlgItemMessage(dlg, IDC_ZN_SIZE, CB_GETCURSEL, 0, 0);
    if (t.empty() && sel >= 0) return kFontSizes[sel];
    int v = 0;
    for (WChar c : t) {
        if (c < u'0' || c > u'9' || v > 99) return 0;
        v = v * 10 + (c - u'0');
    }
    return v;
}

LOGFONT ChosenFont(HWND dlg, FontDialog& d, int points) {
    LOGFONT lf = d.cf->lpLogFont ? *d.cf->lpLogFont : LOGFONT{};
    WString face = GetDlgItemTextString(dlg, IDC_ZN_FACE);
    std::fill(std::begin(lf.lfFaceName), std::end(lf.lfFaceName), 0);
    std::copy_n(face.begin(), std::min<size_t>(face.size(), LF_FACESIZE - 1), lf.lfFaceName);
    LRESULT style = SendDlgItemMessage(dlg, IDC_ZN_STYLE, CB_GETCURSEL, 0, 0);
    lf.lfWeight = style >= 2 ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (style == 1 || style == 3) ? 1 : 0;
    lf.lfHeight = -((points * ScreenDpi() + 36) / 72);
    lf.lfWidth = 0;
    if (d.cf->flags & CF_EFFECTS) {
        lf.lfStrikeOut = IsDlgButtonChecked(dlg, IDC_ZN_STRIKEOUT) == BST_CHECKED;
        lf.lfUnderline = IsDlgButtonChecked(dlg, IDC_ZN_UNDERLINE) == BST_CHECKED;
    }
    return lf;
}

COLORREF ChosenTextColour(HWND dlg) {
    LRESULT i = SendDlgItemMessage(dlg, IDC_ZN_TEXT_COLOR, CB_GETCURSEL, 0, 0);
    return i >= 0 && i < 16 ? kTextColours[i] : 0;
}

void UpdateSample(HWND dlg, FontDialog& d) {
    int points = ChosenPoints(dlg);
    HFONT old = d.sample;
    d.sample = nullptr;
    if (points > 0) {
        LOGFONT lf = ChosenFont(dlg, d, points);
        d.sample = CreateFontIndirect(&lf);
    }
    SendDlgItemMessage(dlg, IDC_ZN_SAMPLE, kSetFont, reinterpret_cast<WPARAM>(d.sample), 0);
    SendDlgItemMessage(dlg, IDC_ZN_SAMPLE, kSetColour,
                       (d.cf->flags & CF_EFFECTS) ? ChosenTextColour(dlg) : 0, 0);
    if (old) DeleteObject(old);
}

intptr_t FontProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    FontDialog* d = g_font;
    if (!d) return 0;
    switch (msg) {
        case WM_INITDIALOG: {
            CHOOSEFONT& cf = *d->cf;
            std::vector<WString> faces;
            HDC screen = GetDC(nullptr);
            EnumFontFamilies(screen, nullptr, CollectFace, reinterpret_cast<LPARAM>(&faces));
            ReleaseDC(nullptr, screen);
            HWND face = GetDlgItem(dlg, IDC_ZN_FACE);
            for (const auto& f : faces)
                SendMessage(face, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(f.c_str()));
            for (UINT s : {IDS_ZN_REGULAR, IDS_ZN_ITALIC, IDS_ZN_BOLD, IDS_ZN_BOLD_ITALIC}) {
                WString t = Text(s);
                SendDlgItemMessage(dlg, IDC_ZN_STYLE, CB_ADDSTRING, 0,
                                   reinterpret_cast<LPARAM>(t.c_str()));
            }
            for (int s : kFontSizes) {
                WString t = text::IntToText(s);
                SendDlgItemMessage(dlg, IDC_ZN_SIZE, CB_ADDSTRING, 0,
                                   reinterpret_cast<LPARAM>(t.c_str()));
            }
            for (UINT i = 0; i < 16; ++i) {
                WString t = Text(IDS_ZN_COLOR_NAMES + i);
                SendDlgItemMessage(dlg, IDC_ZN_TEXT_COLOR, CB_ADDSTRING, 0,
                                   reinterpret_cast<LPARAM>(t.c_str()));
            }
            // Start from the caller's font when asked to.
            LOGFONT lf{};
            bool init = (cf.flags & CF_INITTOLOGFONTSTRUCT) && cf.lpLogFont;
            if (init) lf = *cf.lpLogFont;
            LRESULT at = init ? SendMessage(face, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                            reinterpret_cast<LPARAM>(lf.lfFaceName))
                              : CB_ERR;
            SendMessage(face, CB_SETCURSEL, at >= 0 ? at : 0, 0);
            int style = (lf.lfWeight >= 600 ? 2 : 0) + (lf.lfItalic ? 1 : 0);
            SendDlgItemMessage(dlg, IDC_ZN_STYLE, CB_SETCURSEL, style, 0);
            int points = cf.iPointSize > 0 ? (cf.iPointSize + 5) / 10
                         : init && lf.lfHeight
                             ? (std::abs(static_cast<int>(lf.lfHeight)) * 72 + ScreenDpi() / 2) /
                                   ScreenDpi()
                             : 10;
            WString pt = text::IntToText(points);
            SetDlgItemText(dlg, IDC_ZN_SIZE, pt.c_str());
            CheckDlgButton(dlg, IDC_ZN_STRIKEOUT, lf.lfStrikeOut ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(dlg, IDC_ZN_UNDERLINE, lf.lfUnderline ? BST_CHECKED : BST_UNCHECKED);
            auto colour = std::find(std::begin(kTextColours), std::end(kTextColours),
                                    cf.rgbColors & 0xFFFFFF);
            SendDlgItemMessage(dlg, IDC_ZN_TEXT_COLOR, CB_SETCURSEL,
                               colour == std::end(kTextColours) ? 0 : colour - kTextColours, 0);
            bool effects = cf.flags & CF_EFFECTS;
            for (int id = IDC_ZN_EFFECTS; id <= IDC_ZN_TEXT_COLOR; ++id) Show(dlg, id, effects);
            WString sample = Text(IDS_ZN_SAMPLE);
            SetDlgItemText(dlg, IDC_ZN_SAMPLE, sample.c_str());
            UpdateSample(dlg, *d);
            SetFocus(face);
            return 0;
        }
        case WM_COMMAND: {
            WORD id = LOWORD(wp), code = HIWORD(wp);
            if (id == IDOK) {
                int points = ChosenPoints(dlg);
                if (points <= 0) {
                    // Not a size: stay, with the field ready for another.
                    MessageBeep(0);
                    SetFocus(GetDlgItem(dlg, IDC_ZN_SIZE));
                    return 1;
                }
                *d->cf->lpLogFont = ChosenFont(dlg, *d, points);
                d->cf->iPointSize = points * 10;
                if (d->cf->flags & CF_EFFECTS) d->cf->rgbColors = ChosenTextColour(dlg);
                EndDialog(dlg, IDOK);
                return 1;
            }
            if (id == IDCANCEL) {
                EndDialog(dlg, IDCANCEL);
                return 1;
            }
            if (id == IDC_ZN_SIZE && code == CBN_SELCHANGE) {
                // The field follows the list before the sample is made.
                LRESULT sel = SendDlgItemMessage(dlg, IDC_ZN_SIZE, CB_GETCURSEL, 0, 0);
                if (sel >= 0) {
                    WString t = text::IntToText(kFontSizes[sel]);
                    SetDlgItemText(dlg, IDC_ZN_SIZE, t.c_str());
                }
            }
            if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE ||
                id == IDC_ZN_STRIKEOUT || id == IDC_ZN_UNDERLINE) {
                UpdateSample(dlg, *d);
                return 1;
            }
            return 0;
        }
        case WM_DESTROY:
            if (d->sample) {
                SendDlgItemMessage(dlg, IDC_ZN_SAMPLE, kSetFont, 0, 0);
                DeleteObject(d->sample);
                d->sample = nullptr;
            }
            return 0;
        default:
            return 0;
    }
}

template <typename T>
bool RunOnce(T*& slot, T& state, WORD id, HWND owner, DLGPROC proc) {
    if (slot) return false;  // one of each kind at a time
    RegisterClasses();
    slot = &state;
    intptr_t r = RunTemplate(id, owner, proc, 0);
    slot = nullptr;
    return r == IDOK;
}

}  // namespace

bool RunFileDialog(OPENFILENAME& ofn, bool save) {
    FileDialog d;
    d.ofn = &ofn;
    d.save = save;
    return RunOnce(g_file, d, IDD_ZN_FILE, ofn.hwndOwner, FileProc);
}

bool RunColorDialog(CHOOSECOLOR& cc) {
    ColorDialog d;
    d.cc = &cc;
    return RunOnce(g_color, d, IDD_ZN_COLOR, cc.hwndOwner, ColorProc);
}

bool RunFontDialog(CHOOSEFONT& cf) {
    FontDialog d;
    d.cf = &cf;
    return RunOnce(g_font, d, IDD_ZN_FONT, cf.hwndOwner, FontProc);
}

}  // namespace win::detail
