#include "platform/win/framework_sheet.h"

#include <algorithm>
#include <utility>

#include "platform/win/window_impl.h"

namespace win {

namespace {

// The object waiting for the page or sheet window this thread makes next.
thread_local Wnd* t_pendingObject = nullptr;

void AttachPendingObject(HWND hwnd) {
    if (Wnd* w = std::exchange(t_pendingObject, nullptr)) w->Attach(hwnd);
}

// Just before the sheet makes a page's window.
UINT PageCallback(HWND, UINT msg, PROPSHEETPAGE* psp) {
    if (msg == PSPCB_CREATE && psp) {
        auto* page = reinterpret_cast<PropertyPage*>(psp->lParam);
        if (page->GetSafeHwnd()) return 0;  // a page object has one window
        t_pendingObject = page;
        detail::SetCreationHook(&AttachPendingObject);
    }
    return 1;
}

thread_local PropertySheet* t_pendingSheet = nullptr;

int SheetCallback(HWND, UINT msg, LPARAM lp) {
    if (msg == PSCB_PRECREATE && t_pendingSheet) {
        t_pendingSheet->PreCreateSheet(*reinterpret_cast<DialogTemplate*>(lp));
        t_pendingObject = std::exchange(t_pendingSheet, nullptr);
        detail::SetCreationHook(&AttachPendingObject);
    }
    return 0;
}

void SetUpPage(PropertyPage* page) {
    page->m_psp.dwFlags |= PSP_USECALLBACK;
    page->m_psp.pfnCallback = &PageCallback;
    page->m_psp.pfnDlgProc = nullptr;
    page->m_psp.lParam = reinterpret_cast<LPARAM>(page);
}

}  // namespace

// ---------------------------------------------------------------- page

PropertyPage::PropertyPage(UINT templateId, UINT captionId, HINSTANCE module)
    : Dialog(templateId, nullptr, module) {
    m_psp.hInstance = module;
    m_psp.pszTemplate = MAKEINTRESOURCE(static_cast<WORD>(templateId));
    if (captionId) {
        m_psp.dwFlags |= PSP_USETITLE;
        m_psp.pszTitle = MAKEINTRESOURCE(static_cast<WORD>(captionId));
    }
}

PropertyPage::PropertyPage(std::vector<uint8_t> templateBytes)
    : Dialog(templateBytes, nullptr), bytes_(std::move(templateBytes)) {
    m_psp.dwFlags = PSP_DLGINDIRECT;
    m_psp.pResource = bytes_.data();
    m_psp.cbResource = bytes_.size();
}

bool PropertyPage::OnSetActive() {
    if (firstSetActive_)
        firstSetActive_ = false;
    else
        UpdateData(false);
    return true;
}

bool PropertyPage::OnKillActive() {
    return UpdateData(true);
}

bool PropertyPage::OnApply() {
    OnOK();
    return true;
}

void PropertyPage::OnReset() {
    OnCancel();
}

void PropertyPage::SetModified(bool changed) {
    HWND sheet = GetParent(GetSafeHwnd());
    if (sheet)
        SendMessage(sheet, changed ? PSM_CHANGED : PSM_UNCHANGED,
                    reinterpret_cast<WPARAM>(GetSafeHwnd()), 0);
}

bool PropertyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    auto* nm = reinterpret_cast<NMHDR*>(lParam);
    if (!nm || nm->hwndFrom != GetParent(GetSafeHwnd()))
        return Dialog::OnNotify(wParam, lParam, result);
    switch (nm->code) {
        case PSN_SETACTIVE:
            *result = OnSetActive() ? 0 : -1;
            return true;
        case PSN_KILLACTIVE:
            *result = OnKillActive() ? FALSE : TRUE;
            return true;
        case PSN_APPLY:
            *result = OnApply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
            return true;
        case PSN_RESET:
            OnReset();
            *result = 0;
            return true;
        case PSN_QUERYCANCEL:
            *result = OnQueryCancel() ? FALSE : TRUE;
            return true;
        default:
            return Dialog::OnNotify(wParam, lParam, result);
    }
}

// ---------------------------------------------------------------- sheet

PropertySheet::PropertySheet(UINT captionId, HWND parent, UINT selectPage) {
    m_psh.hwndParent = parent;
    m_psh.nStartPage = selectPage;
    if (captionId) m_psh.pszCaption = MAKEINTRESOURCE(static_cast<WORD>(captionId));
}

PropertySheet::PropertySheet(WString caption, HWND parent, UINT selectPage)
    : caption_(std::move(caption)) {
    m_psh.hwndParent = parent;
    m_psh.nStartPage = selectPage;
}

void PropertySheet::AddPage(PropertyPage* page) {
    if (!page) return;
    pages_.push_back(page);
    if (GetSafeHwnd()) {
        SetUpPage(page);
        SendMessage(GetSafeHwnd(), PSM_ADDPAGE, 0,
                    reinterpret_cast<LPARAM>(CreatePropertySheetPage(&page->m_psp)));
    }
}

void PropertySheet::RemovePage(PropertyPage* page) {
    int index = GetPageIndex(page);
    if (index < 0) return;
    if (GetSafeHwnd()) SendMessage(GetSafeHwnd(), PSM_REMOVEPAGE, static_cast<WPARAM>(index), 0);
    pages_.erase(pages_.begin() + index);
}

PropertyPage* PropertySheet::GetPage(int index) const {
    return index >= 0 && index < GetPageCount() ? pages_[static_cast<size_t>(index)] : nullptr;
}

int PropertySheet::GetPageIndex(const PropertyPage* page) const {
    auto it = std::find(pages_.begin(), pages_.end(), page);
    return it == pages_.end() ? -1 : static_cast<int>(it - pages_.begin());
}

int PropertySheet::GetActiveIndex() const {
    HWND sheet = GetSafeHwnd();
    if (!sheet) return static_cast<int>(m_psh.nStartPage);
    SendMessage(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
    auto page = static_cast<WPARAM>(GetWindowLongPtr(sheet, DWLP_MSGRESULT));
    SendMessage(sheet, PSM_HWNDTOINDEX, page, 0);
    return static_cast<int>(GetWindowLongPtr(sheet, DWLP_MSGRESULT));
}

PropertyPage* PropertySheet::GetActivePage() const {
    return GetPage(GetActiveIndex());
}

bool PropertySheet::SetActivePage(int index) {
    if (index < 0 || index >= GetPageCount()) return false;
    if (!GetSafeHwnd()) {
        m_psh.nStartPage = static_cast<UINT>(index);
        return true;
    }
    SendMessage(GetSafeHwnd(), PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    return GetWindowLongPtr(GetSafeHwnd(), DWLP_MSGRESULT) != 0;
}

HWND PropertySheet::GetTabControl() const {
    if (!GetSafeHwnd()) return nullptr;
    SendMessage(GetSafeHwnd(), PSM_GETTABCONTROL, 0, 0);
    return reinterpret_cast<HWND>(GetWindowLongPtr(GetSafeHwnd(), DWLP_MSGRESULT));
}

void PropertySheet::PressButton(WPARAM button) {
    if (GetSafeHwnd()) SendMessage(GetSafeHwnd(), PSM_PRESSBUTTON, button, 0);
}

intptr_t PropertySheet::Run(bool modeless) {
    if (GetSafeHwnd() || pages_.empty()) return -1;
    std::vector<PROPSHEETPAGE> records;
    for (PropertyPage* p : pages_) {
        SetUpPage(p);
        records.push_back(p->m_psp);
    }
    PROPSHEETHEADER h = m_psh;
    h.dwFlags = (h.dwFlags & ~PSH_MODELESS) | PSH_PROPSHEETPAGE | PSH_USECALLBACK |
                (modeless ? PSH_MODELESS : 0);
    if (!caption_.empty()) h.pszCaption = caption_.c_str();
    h.nPages = static_cast<UINT>(records.size());
    h.ppsp = records.data();
    h.phpage = nullptr;
    h.pfnCallback = &SheetCallback;
    t_pendingSheet = this;
    intptr_t r = ::PropertySheet(&h);
    t_pendingSheet = nullptr;
    return r;
}

intptr_t PropertySheet::DoModal() {
    intptr_t r = Run(false);
    return r < 0 ? -1 : (r == 1 ? IDOK : IDCANCEL);
}

bool PropertySheet::Create(HWND parent) {
    if (parent) m_psh.hwndParent = parent;
    return Run(true) > 0 && GetSafeHwnd() != nullptr;
}

LRESULT PropertySheet::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        // The sheet makes its tab control, buttons and first page first.
        LRESULT r = Default();
        OnInitDialog();
        return r;
    }
    return Wnd::WindowProc(msg, wParam, lParam);
}

}  // namespace win
