// Property sheets: the sheet is a dialog with a tab control, OK, Cancel,
// Apply (and Help) buttons; each page is a child dialog made from its
// template when it is first shown (or with the sheet, PSP_PREMATURE).
#include "platform/win/propsheet.h"

#include <memory>

#include "platform/res/resource.h"
#include "platform/win/commctrl.h"
#include "platform/win/common_impl.h"
#include "platform/win/controls.h"

using namespace win::detail;

struct PropSheetPageHandle {
    PROPSHEETPAGE psp;
    std::vector<uint8_t> bytes;  // the in-memory template, copied
    WString title;
};

namespace {

constexpr int kMargin = 4;
constexpr int kButtonHeight = 20;
constexpr int kButtonWidth = 50;

struct Page {
    std::unique_ptr<PropSheetPageHandle> handle;
    HWND hwnd = nullptr;
};

struct Sheet {
    PROPSHEETHEADER header;
    std::vector<Page> pages;
    HWND tab = nullptr;
    int active = -1;
    bool modeless = false;
    bool ended = false;
    intptr_t result = 0;
    bool changed = false;
    SIZE pageSize{0, 0};
    bool* adopted = nullptr;  // set when the window takes the record over
};

Sheet* SheetOf(HWND sheet) {
    return reinterpret_cast<Sheet*>(GetWindowLongPtr(sheet, DWLP_USER));
}

std::unique_ptr<PropSheetPageHandle> Copy(const PROPSHEETPAGE& psp) {
    auto h = std::make_unique<PropSheetPageHandle>();
    h->psp = psp;
    if ((psp.dwFlags & PSP_DLGINDIRECT) && psp.pResource) {
        const auto* p = static_cast<const uint8_t*>(psp.pResource);
        h->bytes.assign(p, p + psp.cbResource);
        h->psp.pResource = h->bytes.data();
    }
    if ((psp.dwFlags & PSP_USETITLE) && psp.pszTitle) {
        h->title =
            IS_INTRESOURCE(psp.pszTitle)
                ? res::LoadStringText(psp.hInstance,
                                      static_cast<UINT>(reinterpret_cast<uintptr_t>(psp.pszTitle)))
                : WString(psp.pszTitle);
    }
    return h;
}

// The page's template, parsed; nullopt when it cannot be found or read.
std::optional<DialogTemplate> TemplateOf(const PropSheetPageHandle& h) {
    if (h.psp.dwFlags & PSP_DLGINDIRECT) return ParseDialogTemplate(h.bytes.data(), h.bytes.size());
    auto bytes = res::FindResourceData(h.psp.hInstance, res::RT_DIALOG,
                                       res::ResName::FromPointer(h.psp.pszTemplate));
    if (bytes.empty()) return std::nullopt;
    return ParseDialogTemplate(bytes.data(), bytes.size());
}

SIZE PixelSize(const DialogTemplate& t) {
    SIZE base = t.hasFont ? win::DialogBaseUnitsForFont(t.pointSize)
                          : SIZE{LOWORD(GetDialogBaseUnits()), HIWORD(GetDialogBaseUnits())};
    return SIZE{win::DialogUnitsToPixels(t.cx, base.cx, 4),
                win::DialogUnitsToPixels(t.cy, base.cy, 8)};
}

RECT PageArea(HWND sheet, Sheet* s) {
    RECT r;
    GetWindowRect(s->tab, &r);
    POINT tl{r.left, r.top}, br{r.right, r.bottom};
    ScreenToClient(sheet, &tl);
    ScreenToClient(sheet, &br);
    RECT area{tl.x, tl.y, br.x, br.y};
    SendMessage(s->tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    return area;
}

PSHNOTIFY Notify(HWND sheet, HWND page, UINT code, LPARAM lp, LRESULT* result) {
    PSHNOTIFY n;
    n.hdr.hwndFrom = sheet;
    n.hdr.idFrom = 0;
    n.hdr.code = code;
    n.lParam = lp;
    *result = page && IsWindow(page)
                  ? SendMessage(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n.hdr))
                  : 0;
    return n;
}

LRESULT NotifyPage(HWND sheet, HWND page, UINT code, LPARAM lp = 0) {
    LRESULT r = 0;
    Notify(sheet, page, code, lp, &r);
    return r;
}

// Creates the page's window (once); false when it cannot be made.
bool CreatePage(HWND sheet, Sheet* s, int index) {
    Page& p = s->pages[static_cast<size_t>(index)];
    if (p.hwnd && IsWindow(p.hwnd)) return true;
    PROPSHEETPAGE* psp = &p.handle->psp;
    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback &&
        !psp->pfnCallback(nullptr, PSPCB_CREATE, psp))
        return false;
    auto t = TemplateOf(*p.handle);
    if (!t) return false;
    t->style = (t->style & ~(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_VISIBLE |
                             DS_MODALFRAME | WS_DLGFRAME | WS_BORDER)) |
               WS_CHILD;
    t->exStyle |= WS_EX_CONTROLPARENT;
    t->x = t->y = 0;
    HWND page = CreateDialogFromTemplate(psp->hInstance, *t, sheet, psp->pfnDlgProc,
                                         reinterpret_cast<LPARAM>(psp));
    if (!page || !IsWindow(sheet) || !(s = SheetOf(sheet))) return false;
    s->pages[static_cast<size_t>(index)].hwnd = page;
    RECT area = PageArea(sheet, s);
    MoveWindow(page, area.left, area.top, area.right - area.left, area.bottom - area.top, false);
    return true;
}

WString TabText(const Page& p) {
    if (!p.handle->title.empty() || (p.handle->psp.dwFlags & PSP_USETITLE)) return p.handle->title;
    auto t = TemplateOf(*p.handle);
    return t ? t->title : WString();
}

void InsertTab(HWND sheet, Sheet* s, int index) {
    WString text = TabText(s->pages[static_cast<size_t>(index)]);
    TCITEM ti;
    ti.mask = TCIF_TEXT;
    if ((s->pages[static_cast<size_t>(index)].handle->psp.dwFlags & PSP_RTLREADING) ||
        (s->header.dwFlags & PSH_RTLREADING))
        ti.mask |= TCIF_RTLREADING;
    ti.pszText = text.data();
    SendMessage(s->tab, TCM_INSERTITEM, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ti));
    (void)sheet;
}

// Shows page `index` after PSN_SETACTIVE; the page may answer -1 (skip to
// the next page) or another page's index is not supported: 0 accepts.
bool Activate(HWND sheet, int index) {
    Sheet* s = SheetOf(sheet);
    if (!s || index < 0 || index >= static_cast<int>(s->pages.size())) return false;
    if (!CreatePage(sheet, s, index) || !(s = SheetOf(sheet))) return false;
    HWND page = s->pages[static_cast<size_t>(index)].hwnd;
    LRESULT r = NotifyPage(sheet, page, PSN_SETACTIVE);
    if (!(s = SheetOf(sheet))) return false;
    if (r == -1) {
        return index + 1 < static_cast<int>(s->pages.size()) && Activate(sheet, index + 1);
    }
    int old = s->active;
    s->active = index;
    SendMessage(s->tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (old >= 0 && old != index && old < static_cast<int>(s->pages.size()) &&
        s->pages[static_cast<size_t>(old)].hwnd)
        ShowWindow(s->pages[static_cast<size_t>(old)].hwnd, SW_HIDE);
    ShowWindow(page, SW_SHOW);
    return true;
}

// PSN_KILLACTIVE to the active page: false when it keeps the focus.
bool CanLeave(HWND sheet, Sheet* s) {
    if (s->active < 0) return true;
    HWND page = s->pages[static_cast<size_t>(s->active)].hwnd;
    return NotifyPage(sheet, page, PSN_KILLACTIVE) == 0;
}

bool SetCurSel(HWND sheet, int index) {
    Sheet* s = SheetOf(sheet);
    if (!s || index < 0 || index >= static_cast<int>(s->pages.size())) return false;
    if (index == s->active) return true;
    if (!CanLeave(sheet, s)) return false;
    return Activate(sheet, index);
}

// Apply (ok: as part of OK): leave the active page, then PSN_APPLY to every
// created page in order; false when one refuses.
bool Apply(HWND sheet, bool ok) {
    Sheet* s = SheetOf(sheet);
    if (!s || !CanLeave(sheet, s)) return false;
    for (size_t i = 0; (s = SheetOf(sheet)) && i < s->pages.size(); ++i) {
        HWND page = s->pages[i].hwnd;
        if (!page || !IsWindow(page)) continue;
        LRESULT r = NotifyPage(sheet, page, PSN_APPLY, ok ? TRUE : FALSE);
        if (r == PSNRET_INVALID) {
            if ((s = SheetOf(sheet)) && static_cast<int>(i) != s->active)
                Activate(sheet, static_cast<int>(i));
            return false;
        }
        if (r == PSNRET_INVALID_NOCHANGEPAGE) {
            // The page that was left stays in front again.
            if ((s = SheetOf(sheet)) && s->active >= 0)
                NotifyPage(sheet, s->pages[static_cast<size_t>(s->active)].hwnd, PSN_SETACTIVE);
            return false;
        }
    }
    if (!(s = SheetOf(sheet))) return false;
    s->changed = false;
    if (HWND apply = GetDlgItem(sheet, ID_APPLY_NOW)) EnableWindow(apply, false);
    return true;
}

void End(HWND sheet, intptr_t result) {
    Sheet* s = SheetOf(sheet);
    if (!s) return;
    s->ended = true;
    s->result = result;
    if (s->modeless) {
        ShowWindow(sheet, SW_HIDE);
    } else {
        EndDialog(sheet, result);
    }
}

void Ok(HWND sheet) {
    if (Apply(sheet, true)) End(sheet, 1);
}

void Cancel(HWND sheet, bool closeButton) {
    Sheet* s = SheetOf(sheet);
    if (!s) return;
    if (s->active >= 0 &&
        NotifyPage(sheet, s->pages[static_cast<size_t>(s->active)].hwnd, PSN_QUERYCANCEL))
        return;
    for (size_t i = 0; (s = SheetOf(sheet)) && i < s->pages.size(); ++i)
        if (s->pages[i].hwnd && IsWindow(s->pages[i].hwnd))
            NotifyPage(sheet, s->pages[i].hwnd, PSN_RESET, closeButton ? TRUE : FALSE);
    End(sheet, 0);
}

void Layout(HWND sheet, Sheet* s) {
    int w = s->pageSize.cx, h = s->pageSize.cy;
    RECT tabRect{0, 0, w, h};
    SendMessage(s->tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tabRect));
    int tw = tabRect.right - tabRect.left, th = tabRect.bottom - tabRect.top;
    MoveWindow(s->tab, kMargin, kMargin, tw, th, false);
    int clientW = tw + 2 * kMargin;
    int y = kMargin + th + kMargin;
    int x = clientW - kMargin;
    for (int id : {IDHELP, ID_APPLY_NOW, IDCANCEL, IDOK}) {
        HWND b = GetDlgItem(sheet, id);
        if (!b) continue;
        x -= kButtonWidth;
        MoveWindow(b, x, y, kButtonWidth, kButtonHeight, false);
        x -= kMargin;
    }
    int clientH = y + kButtonHeight + kMargin;
    RECT m = GetNonClientMargins(static_cast<DWORD>(GetWindowLongPtr(sheet, GWL_STYLE)),
                                 static_cast<DWORD>(GetWindowLongPtr(sheet, GWL_EXSTYLE)));
    SetWindowPos(sheet, nullptr, 0, 0, clientW + m.left + m.right, clientH + m.top + m.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool AddPage(HWND sheet, Sheet* s, std::unique_ptr<PropSheetPageHandle> h, int at) {
    auto t = TemplateOf(*h);
    if (!t) return false;
    SIZE size = PixelSize(*t);
    Page p;
    p.handle = std::move(h);
    at = std::clamp(at, 0, static_cast<int>(s->pages.size()));
    s->pages.insert(s->pages.begin() + at, std::move(p));
    if (s->active >= at && s->active >= 0) ++s->active;
    if (s->tab) InsertTab(sheet, s, at);
    if (size.cx > s->pageSize.cx || size.cy > s->pageSize.cy) {
        s->pageSize = SIZE{std::max(size.cx, s->pageSize.cx), std::max(size.cy, s->pageSize.cy)};
        if (s->tab) Layout(sheet, s);
    }
    return true;
}

HWND MakeButton(HWND sheet, const WChar* text, int id, DWORD style = 0) {
    return CreateWindowEx(0, u"BUTTON", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0,
                          kButtonWidth, kButtonHeight, sheet,
                          reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
}

intptr_t SheetProc(HWND sheet, UINT msg, WPARAM wp, LPARAM lp) {
    Sheet* s = SheetOf(sheet);
    switch (msg) {
        case WM_INITDIALOG: {
            s = reinterpret_cast<Sheet*>(lp);
            SetWindowLongPtr(sheet, DWLP_USER, reinterpret_cast<intptr_t>(s));
            if (s->adopted) *s->adopted = true;
            s->adopted = nullptr;
            s->tab = CreateWindowEx(
                0, WC_TABCONTROL, u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0, sheet,
                reinterpret_cast<HMENU>(static_cast<intptr_t>(IDC_SHEET_TAB)), nullptr, nullptr);
            MakeButton(sheet, u"OK", IDOK, BS_DEFPUSHBUTTON);
            MakeButton(sheet, u"Cancel", IDCANCEL);
            if (!(s->header.dwFlags & PSH_NOAPPLYNOW)) {
                HWND apply = MakeButton(sheet, u"&Apply", ID_APPLY_NOW);
                EnableWindow(apply, false);
            }
            if (s->header.dwFlags & PSH_HASHELP) MakeButton(sheet, u"Help", IDHELP);
            for (int i = 0; i < static_cast<int>(s->pages.size()); ++i) InsertTab(sheet, s, i);
            Layout(sheet, s);
            for (int i = 0; (s = SheetOf(sheet)) && i < static_cast<int>(s->pages.size()); ++i)
                if (s->pages[static_cast<size_t>(i)].handle->psp.dwFlags & PSP_PREMATURE)
                    CreatePage(sheet, s, i);
            if (!(s = SheetOf(sheet))) return FALSE;
            int start = std::min<int>(static_cast<int>(s->header.nStartPage),
                                      static_cast<int>(s->pages.size()) - 1);
            Activate(sheet, std::max(0, start));
            if ((s = SheetOf(sheet)) && (s->header.dwFlags & PSH_USECALLBACK) &&
                s->header.pfnCallback)
                s->header.pfnCallback(sheet, PSCB_INITIALIZED, 0);
            if ((s = SheetOf(sheet)) && s->active >= 0) {
                HWND page = s->pages[static_cast<size_t>(s->active)].hwnd;
                HWND first = GetNextDlgTabItem(page, nullptr, false);
                SetFocus(first ? first : s->tab);
            }
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            if (!s) return FALSE;
            switch (LOWORD(wp)) {
                case IDOK:
                    Ok(sheet);
                    return TRUE;
                case IDCANCEL:
                    Cancel(sheet, lp == 0);
                    return TRUE;
                case ID_APPLY_NOW:
                    Apply(sheet, false);
                    return TRUE;
                case IDHELP:
                    if (s->active >= 0)
                        NotifyPage(sheet, s->pages[static_cast<size_t>(s->active)].hwnd, PSN_HELP);
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_NOTIFY: {
            auto* nm = reinterpret_cast<NMHDR*>(lp);
            if (!s || !nm || nm->hwndFrom != s->tab) return FALSE;
            if (nm->code == TCN_SELCHANGING) {
                SetWindowLongPtr(sheet, DWLP_MSGRESULT, CanLeave(sheet, s) ? FALSE : TRUE);
                return TRUE;
            }
            if (nm->code == TCN_SELCHANGE) {
                int sel = static_cast<int>(SendMessage(s->tab, TCM_GETCURSEL, 0, 0));
                if (!Activate(sheet, sel) && (s = SheetOf(sheet)))
                    SendMessage(s->tab, TCM_SETCURSEL, static_cast<WPARAM>(s->active), 0);
                return TRUE;
            }
            return FALSE;
        }
        case PSM_SETCURSEL: {
            if (!s) return FALSE;
            int index = static_cast<int>(wp);
            if (lp) {
                index = -1;
                for (size_t i = 0; i < s->pages.size(); ++i)
                    if (s->pages[i].handle.get() == reinterpret_cast<PropSheetPageHandle*>(lp))
                        index = static_cast<int>(i);
            }
            SetWindowLongPtr(sheet, DWLP_MSGRESULT, SetCurSel(sheet, index));
            return TRUE;
        }
        case PSM_ADDPAGE: {
            if (!s || !lp) return FALSE;
            std::unique_ptr<PropSheetPageHandle> h(reinterpret_cast<PropSheetPageHandle*>(lp));
            bool ok = AddPage(sheet, s, std::move(h), static_cast<int>(s->pages.size()));
            SetWindowLongPtr(sheet, DWLP_MSGRESULT, ok);
            return TRUE;
        }
        case PSM_REMOVEPAGE: {
            if (!s) return FALSE;
            int index = static_cast<int>(wp);
            if (lp)
                for (size_t i = 0; i < s->pages.size(); ++i)
                    if (s->pages[i].handle.get() == reinterpret_cast<PropSheetPageHandle*>(lp))
                        index = static_cast<int>(i);
            if (index < 0 || index >= static_cast<int>(s->pages.size())) return TRUE;
            if (index == s->active) {
                int to = index + 1 < static_cast<int>(s->pages.size()) ? index + 1 : index - 1;
                if (to >= 0) Activate(sheet, to);
                if (!(s = SheetOf(sheet))) return TRUE;
            }
            Page gone = std::move(s->pages[static_cast<size_t>(index)]);
            s->pages.erase(s->pages.begin() + index);
            if (s->active > index) --s->active;
            if (s->active == index) s->active = -1;
            SendMessage(s->tab, TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
            if (s->active >= 0)
                SendMessage(s->tab, TCM_SETCURSEL, static_cast<WPARAM>(s->active), 0);
            if (gone.hwnd && IsWindow(gone.hwnd)) DestroyWindow(gone.hwnd);
            return TRUE;
        }
        case PSM_CHANGED:
            if (!s) return FALSE;
            s->changed = true;
            if (HWND apply = GetDlgItem(sheet, ID_APPLY_NOW)) EnableWindow(apply, true);
            return TRUE;
        case PSM_UNCHANGED:
            if (!s) return FALSE;
            s->changed = false;
            if (HWND apply = GetDlgItem(sheet, ID_APPLY_NOW)) EnableWindow(apply, false);
            return TRUE;
        case PSM_APPLY:
            SetWindowLongPtr(sheet, DWLP_MSGRESULT, Apply(sheet, false));
            return TRUE;
        case PSM_CANCELTOCLOSE:
            if (HWND cancel = GetDlgItem(sheet, IDCANCEL)) EnableWindow(cancel, false);
            SetDlgItemText(sheet, IDOK, u"Close");
            return TRUE;
        case PSM_QUERYSIBLINGS: {
            if (!s) return FALSE;
            LRESULT r = 0;
            for (size_t i = 0; (s = SheetOf(sheet)) && i < s->pages.size() && !r; ++i)
                if (s->pages[i].hwnd && IsWindow(s->pages[i].hwnd))
                    r = SendMessage(s->pages[i].hwnd, PSM_QUERYSIBLINGS, wp, lp);
            SetWindowLongPtr(sheet, DWLP_MSGRESULT, r);
            return TRUE;
        }
        case PSM_PRESSBUTTON:
            if (wp == PSBTN_OK)
                Ok(sheet);
            else if (wp == PSBTN_CANCEL)
                Cancel(sheet, false);
            else if (wp == PSBTN_APPLYNOW)
                Apply(sheet, false);
            else if (wp == PSBTN_HELP)
                SendMessage(sheet, WM_COMMAND, IDHELP, 0);
            return TRUE;
        case PSM_GETTABCONTROL:
            SetWindowLongPtr(sheet, DWLP_MSGRESULT,
                             reinterpret_cast<intptr_t>(s ? s->tab : nullptr));
            return TRUE;
        case PSM_GETCURRENTPAGEHWND: {
            HWND page = nullptr;
            if (s && !s->ended && s->active >= 0)
                page = s->pages[static_cast<size_t>(s->active)].hwnd;
            SetWindowLongPtr(sheet, DWLP_MSGRESULT, reinterpret_cast<intptr_t>(page));
            return TRUE;
        }
        case PSM_GETRESULT:
            SetWindowLongPtr(sheet, DWLP_MSGRESULT, s && s->ended ? s->result : -1);
            return TRUE;
        case PSM_ISDIALOGMESSAGE:
            SetWindowLongPtr(sheet, DWLP_MSGRESULT,
                             IsDialogMessage(sheet, reinterpret_cast<MSG*>(lp)));
            return TRUE;
        case PSM_SETTITLE:
            if (lp) SetWindowText(sheet, reinterpret_cast<const WChar*>(lp));
            return TRUE;
        case PSM_HWNDTOINDEX: {
            intptr_t index = -1;
            for (size_t i = 0; s && i < s->pages.size(); ++i)
                if (s->pages[i].hwnd == reinterpret_cast<HWND>(wp))
                    index = static_cast<intptr_t>(i);
            SetWindowLongPtr(sheet, DWLP_MSGRESULT, index);
            return TRUE;
        }
        case PSM_INDEXTOHWND: {
            HWND page = s && wp < s->pages.size() ? s->pages[wp].hwnd : nullptr;
            SetWindowLongPtr(sheet, DWLP_MSGRESULT, reinterpret_cast<intptr_t>(page));
            return TRUE;
        }
        case WM_DESTROY:
            if (s) {
                for (Page& p : s->pages) {
                    PROPSHEETPAGE* psp = &p.handle->psp;
                    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback)
                        psp->pfnCallback(nullptr, PSPCB_RELEASE, psp);
                }
            }
            return FALSE;
        case WM_NCDESTROY:
            SetWindowLongPtr(sheet, DWLP_USER, 0);
            delete s;
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

HPROPSHEETPAGE CreatePropertySheetPage(const PROPSHEETPAGE* page) {
    if (!page) return nullptr;
    if ((page->dwFlags & PSP_DLGINDIRECT) && (!page->pResource || !page->cbResource))
        return nullptr;
    return Copy(*page).release();
}

bool DestroyPropertySheetPage(HPROPSHEETPAGE page) {
    delete page;
    return page != nullptr;
}

intptr_t PropertySheet(const PROPSHEETHEADER* header) {
    if (!header) return -1;
    auto s = std::make_unique<Sheet>();
    s->header = *header;
    s->modeless = header->dwFlags & PSH_MODELESS;
    for (UINT i = 0; i < header->nPages; ++i) {
        std::unique_ptr<PropSheetPageHandle> h;
        if (header->dwFlags & PSH_PROPSHEETPAGE) {
            if (header->ppsp) h = Copy(header->ppsp[i]);
        } else if (header->phpage) {
            h.reset(header->phpage[i]);
        }
        if (!h || !AddPage(nullptr, s.get(), std::move(h), static_cast<int>(i))) return -1;
    }
    if (s->pages.empty()) return -1;
    DialogTemplate t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER |
              (s->modeless ? WS_VISIBLE : 0);
    t.exStyle = WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME |
                ((header->dwFlags & PSH_RTLREADING) ? WS_EX_RTLREADING : 0);
    if (header->pszCaption)
        t.title = IS_INTRESOURCE(header->pszCaption)
                      ? res::LoadStringText(
                            header->hInstance,
                            static_cast<UINT>(reinterpret_cast<uintptr_t>(header->pszCaption)))
                      : WString(header->pszCaption);
    if ((header->dwFlags & PSH_USECALLBACK) && header->pfnCallback)
        header->pfnCallback(nullptr, PSCB_PRECREATE, reinterpret_cast<LPARAM>(&t));
    // The sheet window owns the record from WM_INITDIALOG on and frees it
    // when it goes; before that it is still ours.
    bool adopted = false;
    Sheet* raw = s.release();
    raw->adopted = &adopted;
    if (raw->modeless) {
        HWND sheet = CreateDialogFromTemplate(header->hInstance, t, header->hwndParent, SheetProc,
                                              reinterpret_cast<LPARAM>(raw));
        if (!adopted) delete raw;
        return sheet ? reinterpret_cast<intptr_t>(sheet) : -1;
    }
    intptr_t r = DialogBoxFromTemplate(header->hInstance, t, header->hwndParent, SheetProc,
                                       reinterpret_cast<LPARAM>(raw));
    if (!adopted) delete raw;
    return r == -1 ? -1 : (r == 1 ? 1 : 0);
}

namespace win {
std::vector<HWND> PropertySheetPages(HWND sheet) {
    std::vector<HWND> out;
    if (Sheet* s = IsWindow(sheet) ? SheetOf(sheet) : nullptr)
        for (const Page& p : s->pages) out.push_back(p.hwnd && IsWindow(p.hwnd) ? p.hwnd : nullptr);
    return out;
}
}  // namespace win
