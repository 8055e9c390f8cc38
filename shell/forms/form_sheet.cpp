#include "shell/forms/form_sheet.h"

#include "core/language_module.h"
#include "core/path.h"
#include "core/shell_helpers.h"
#include "map/layers/layer.h"
#include "map/services/script_events.h"
#include "platform/res/resource.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/frame_wnd.h"
#include "platform/win/view.h"
#include "resources/zres.h"
#include "shell/forms/table_list.h"

namespace {

constexpr COLORREF kMaskColour = 0xFF00FF;
constexpr const WChar* kPictureFilter =
    u"Images|*.bmp;*.jpg;*.sid|Windows Bitmap|*.bmp|JPEG|*.jpg|MrSID|*.sid|All Files|*.*||";

void FireEvent(IDispatch* object, int eventId) {
    if (object) GetScriptServices()->FireScriptEvent(object, eventId, true, 0);
}

// The text of the record's field that links a sub-table's rows.
WString LinkValue(const CForm& form, const CFormControl& control) {
    const FormRecordSource* source = form.GetRecordSource();
    if (!source || !source->table || control.m_field < 0) return {};
    return DbfGetString(source->table->Table(), control.m_field, source->record);
}

}  // namespace

FormNotification MapFormNotification(FormControlType type, UINT code, bool notify) {
    if (notify) {
        const bool picker = type == kCtlDateTime;
        if (code == NM_SETFOCUS) return {kFormEventOnSetFocus, picker ? 1 : 0};
        if (code == NM_KILLFOCUS) return {kFormEventOnKillFocus, picker ? -1 : 0};
        if (picker && code == DTN_DATETIMECHANGE) return {kFormEventOnChange, -1};
        if (picker && code == DTN_DROPDOWN) return {kFormEventOnDropDown, 0};
        if (picker && code == DTN_CLOSEUP) return {kFormEventOnCloseUp, 0};
        return {};
    }
    switch (type) {
        case kCtlEdit:
            if (code == EN_SETFOCUS) return {kFormEventOnSetFocus, 1};
            if (code == EN_KILLFOCUS) return {kFormEventOnKillFocus, -1};
            if (code == EN_CHANGE) return {kFormEventOnChange, 0};
            break;
        case kCtlComboBox:
            switch (code) {
                case CBN_SELCHANGE:
                    return {kFormEventOnSelChange, -1};
                case CBN_SETFOCUS:
                    return {kFormEventOnSetFocus, 1};
                case CBN_KILLFOCUS:
                    return {kFormEventOnKillFocus, -1};
                case CBN_EDITCHANGE:
                    return {kFormEventOnChange, -1};
                case CBN_DROPDOWN:
                    return {kFormEventOnDropDown, 0};
                case CBN_CLOSEUP:
                    return {kFormEventOnCloseUp, 0};
                case CBN_SELENDOK:
                    return {kFormEventOnSelOK, -1};
                case CBN_SELENDCANCEL:
                    return {kFormEventOnSelCancel, -1};
                default:
                    break;
            }
            break;
        case kCtlListBox:
            switch (code) {
                case LBN_SELCHANGE:
                    return {kFormEventOnSelChange, -1};
                case LBN_SELCANCEL:
                    return {kFormEventOnSelCancel, -1};
                case LBN_SETFOCUS:
                    return {kFormEventOnSetFocus, 1};
                case LBN_KILLFOCUS:
                    return {kFormEventOnKillFocus, -1};
                case LBN_DBLCLK:
                    return {kFormEventOnDblClick, 0};
                default:
                    break;
            }
            break;
        case kCtlButton:
        case kCtlCheckBox:
        case kCtlRadioButton:
            switch (code) {
                case BN_CLICKED:
                    return {kFormEventOnClick, 0};
                case BN_DBLCLK:
                    return {kFormEventOnDblClick, 0};
                case BN_SETFOCUS:
                    return {kFormEventOnSetFocus, 0};
                case BN_KILLFOCUS:
                    return {kFormEventOnKillFocus, 0};
                default:
                    break;
            }
            break;
        case kCtlLabel:
            if (code == STN_DBLCLK) return {kFormEventOnDblClick, 0};
            break;
        default:
            break;
    }
    return {};
}

// ------------------------------------------------------------ CFormPage --

CFormPage::CFormPage(CForm* form, int pageIndex, CFormPropertySheet* sheet)
    : win::PropertyPage(form->GetPage(pageIndex)->m_template),
      m_form(form),
      m_pageIndex(pageIndex),
      m_sheet(sheet) {
    m_psp.dwFlags &= ~PSP_HASHELP;
    m_psp.dwFlags |= PSP_PREMATURE;
    if (form->GetPage(pageIndex)->m_rtl) m_psp.dwFlags |= PSP_RTLREADING;
}

CFormPage::~CFormPage() = default;

bool CFormPage::IsWritable() const {
    const FormRecordSource* source = m_sheet->GetRecordSource();
    if (!source) return true;
    return (!source->layer || source->layer->IsOpenForEdit()) && m_sheet->GetMode() != 1;
}

bool CFormPage::Exchange(bool save) {
    m_failedControl = nullptr;
    bool ok = UpdateDialogData(GetSafeHwnd(), save, [&](CDataExchange* dx) {
        try {
            m_form->DoDataExchange(dx, m_pageIndex);
        } catch (const DataExchangeFailure&) {
            m_failedControl = dx->m_hWndLastControl;
            throw;
        }
    });
    return ok;
}

void CFormPage::Fire(int eventId) {
    const CFormPageDef* def = m_form->GetPage(m_pageIndex);
    if (def) FireEvent(def->m_scriptObject, eventId);
}

void CFormPage::FireControl(CFormControl& control, int eventId) {
    FireEvent(control.m_scriptObject, eventId);
}

void CFormPage::Sip(CFormControl& control, int action) {
    if (action < 0) {
        SipPreference(GetSafeHwnd(), kSipDown);
        return;
    }
    if (action == 0 || !m_sheet->IsEditable()) return;
    if (control.m_sipMode == 1 || (control.m_sipMode == 2 && m_form->m_sipMode != 0))
        SipPreference(GetSafeHwnd(), kSipUp);
}

void CFormPage::RefreshSubTables(bool writeBack) {
    CFormPageDef* def = m_form->GetPage(m_pageIndex);
    if (!def) return;
    for (auto& c : def->m_controls)
        if (c->m_type == kCtlSubTable && c->m_tableList) {
            const WString link = LinkValue(*m_form, *c);
            c->m_tableList->Refresh(link.c_str(), writeBack);
        }
}

bool CFormPage::OnInitDialog() {
    m_form->m_editable = m_sheet->IsEditable() && IsWritable();
    m_form->InitPage(GetSafeHwnd(), m_pageIndex);
    win::PropertyPage::OnInitDialog();
    m_form->EnablePageControls(GetSafeHwnd(), m_pageIndex, m_sheet->IsEditable() && IsWritable());
    Fire(kFormEventOnLoad);
    if (m_sheet->GetRecordSource()) RefreshSubTables(false);
    PostMessage(m_sheet->GetSafeHwnd(), WM_FORMSHEET_PAGECREATED, static_cast<WPARAM>(m_pageIndex),
                0);
    if (m_sheet->GetRecordSource()) m_form->LoadPageValues(m_pageIndex);
    Exchange(false);
    return true;
}

bool CFormPage::OnSetActive() {
    const bool accepted = win::PropertyPage::OnSetActive();
    if (m_sheet->GetRecordSource()) m_form->LoadPageValues(m_pageIndex);
    Exchange(false);
    if (accepted) Fire(kFormEventOnSetActive);
    return accepted;
}

bool CFormPage::OnKillActive() {
    const bool source = m_sheet->GetRecordSource() != nullptr;
    if (source && IsWritable()) {
        if (!Exchange(true)) return false;
        m_form->SavePageValues(m_pageIndex);
    } else if (!source) {
        if (!Exchange(true)) return false;
    }
    SipPreference(GetSafeHwnd(), kSipDown);
    Fire(kFormEventOnKillActive);
    return true;
}

bool CFormPage::OnApply() {
    if (IsWritable() && !Exchange(true)) {
        PostMessage(m_sheet->GetSafeHwnd(), WM_FORMSHEET_SHOWPAGE, static_cast<WPARAM>(m_pageIndex),
                    0);
        return false;
    }
    OnOK();
    return true;
}

void CFormPage::OnOK() {
    if (m_sheet->GetRecordSource() && IsWritable()) RefreshSubTables(true);
    Fire(kFormEventOnOK);
}

void CFormPage::OnCancel() {
    Fire(kFormEventOnCancel);
}

bool CFormPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id >= kFirstFormControlId && id <= kLastFormControlId) {
        CFormControl* control = m_form->GetControlById(m_pageIndex, id);
        if (control && control->m_type == kCtlImageBox && code == STN_CLICKED &&
            IsWindowEnabled(control->m_hwnd)) {
            ChoosePicture(*control);
            return true;
        }
        if (control && control->m_scriptObject) {
            const FormNotification n = MapFormNotification(control->m_type, code, false);
            if (n.sip) Sip(*control, n.sip);
            if (n.event) FireControl(*control, n.event);
            return true;
        }
    }
    return win::PropertyPage::OnCommand(wParam, lParam);
}

bool CFormPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    auto* nm = reinterpret_cast<NMHDR*>(lParam);
    if (nm && nm->idFrom >= static_cast<uintptr_t>(kFirstFormControlId) &&
        nm->idFrom <= static_cast<uintptr_t>(kLastFormControlId)) {
        CFormControl* control = m_form->GetControlById(m_pageIndex, static_cast<int>(nm->idFrom));
        if (control && control->m_type == kCtlSubTable && control->m_tableList) {
            if (nm->code == LVN_BEGINLABELEDIT) {
                const auto* info = reinterpret_cast<const NMLVDISPINFO*>(nm);
                *result = control->m_tableList->OnBeginLabelEdit(info->item.iItem) ? TRUE : FALSE;
                return true;
            }
            if (nm->code == LVN_ENDLABELEDIT) {
                const auto* info = reinterpret_cast<const NMLVDISPINFO*>(nm);
                *result = control->m_tableList->OnEndLabelEdit(info->item.iItem, info->item.pszText)
                              ? TRUE
                              : FALSE;
                return true;
            }
            if (nm->code == LVN_ITEMCHANGED || nm->code == NM_CLICK) {
                *result = 0;
                return true;
            }
        }
        if (control && control->m_scriptObject) {
            const FormNotification n = MapFormNotification(control->m_type, nm->code, true);
            if (n.sip) Sip(*control, n.sip);
            if (n.event) FireControl(*control, n.event);
            if (n.event || n.sip) {
                *result = 0;
                return true;
            }
        }
    }
    return win::PropertyPage::OnNotify(wParam, lParam, result);
}

void CFormPage::OnSliderScroll(HWND slider, WORD code, WORD position) {
    CFormControl* control = m_form->GetControlByWindow(slider);
    if (!control || control->m_type != kCtlSlider) return;
    int pos = 0;
    if (code == TB_THUMBTRACK)
        pos = static_cast<int16_t>(position);
    else if (code == TB_ENDTRACK)
        pos = static_cast<int>(SendMessage(slider, TBM_GETPOS, 0, 0));
    else
        return;
    HWND buddy = reinterpret_cast<HWND>(SendMessage(slider, TBM_GETBUDDY, TRUE, 0));
    if (buddy) SetWindowText(buddy, text::Format(u"%d", pos).c_str());
}

LRESULT CFormPage::OnControlColour(HDC dc, HWND hwnd, bool& handled) {
    handled = false;
    const int id = GetDlgCtrlID(hwnd);
    if (id < kFirstFormControlId || id > kLastFormControlId || !IsWindowEnabled(hwnd)) return 0;
    CFormControl* control = m_form->GetControlById(m_pageIndex, id);
    if (!control) return 0;
    const COLORREF none = static_cast<COLORREF>(-1);
    if (control->m_textColor == none && control->m_backColor == none) return 0;
    LRESULT r = Default();
    if (control->m_textColor != none) SetTextColor(dc, control->m_textColor);
    if (control->m_backColor != none) {
        gdi::OwnedBrush& brush = m_brushes[id];
        if (!brush) brush.reset(CreateSolidBrush(control->m_backColor));
        SetBkColor(dc, control->m_backColor);
        r = reinterpret_cast<LRESULT>(brush.get());
    }
    handled = true;
    return r;
}

void CFormPage::ChoosePicture(CFormControl& control) {
    WString current = control.m_picturePath;
    if (!current.empty() && !FileExists(current)) current = m_form->ResolvePath(current);
    CFileDialogEx dialog(true, u"bmp", current.c_str(), OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                         kPictureFilter, GetSafeHwnd());
    const WString folder = CPath(WStringView(current)).GetDirectory();
    dialog.m_ofn.initialDir = folder.empty() ? m_form->m_folder : folder;
    if (dialog.DoModal() != IDOK) return;
    m_form->LoadImageControl(control, dialog.GetPathName());
}

LRESULT CFormPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_FORMPAGE_EXCHANGE:
            return Exchange(wParam != 0) ? 1 : 0;
        case WM_FORMPAGE_REFRESH:
            if (m_sheet->GetRecordSource()) RefreshSubTables(false);
            return 0;
        case WM_HSCROLL:
        case WM_VSCROLL:
            if (lParam)
                OnSliderScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX: {
            bool handled = false;
            LRESULT r = OnControlColour(reinterpret_cast<HDC>(wParam),
                                        reinterpret_cast<HWND>(lParam), handled);
            if (handled) return r;
            break;
        }
        case WM_DESTROY: {
            Fire(kFormEventOnUnload);
            if (CFormPageDef* def = m_form->GetPage(m_pageIndex)) {
                for (auto& c : def->m_controls) {
                    if (c->m_tableList) {
                        c->m_tableList->Open(nullptr, nullptr);
                        if (c->m_tableList->GetSafeHwnd()) c->m_tableList->Detach();
                    }
                    c->m_hwnd = nullptr;
                }
                def->m_hwnd = nullptr;
            }
            break;
        }
        default:
            break;
    }
    return win::PropertyPage::WindowProc(msg, wParam, lParam);
}

// --------------------------------------------------- CFormPropertySheet --

CFormPropertySheet::CFormPropertySheet(CForm* form, FormRecordSource* source, bool editable,
                                       int mode, UINT captionId, HWND parent, UINT selectPage)
    : CPropertySheetExt(captionId, parent, selectPage),
      m_form(form),
      m_source(source),
      m_editable(editable),
      m_mode(mode) {
    if (m_form) m_form->BindToTable(source);
    BuildPages(form);
}

CFormPropertySheet::CFormPropertySheet(CForm* form, UINT captionId, HWND parent, UINT selectPage)
    : CPropertySheetExt(captionId, parent, selectPage), m_form(form) {
    if (m_form) m_form->BindToTable(nullptr);
    BuildPages(form);
}

CFormPropertySheet::~CFormPropertySheet() {
    if (GetSafeHwnd()) DestroyWindow();
    if (m_form && m_form->m_sheet == this) m_form->m_sheet = nullptr;
    if (m_tabImages) ImageList_Destroy(m_tabImages);
}

void CFormPropertySheet::BuildPages(CForm* form) {
    if (!form) return;
    // The templates name the shell's extra classes when it offers them.
    if (HasExtraControls()) InitExtraControls();
    for (int i = 0; i < form->GetPageCount(); ++i) {
        m_pages.push_back(std::make_unique<CFormPage>(form, i, this));
        AddPage(m_pages.back().get());
    }
    form->m_sheet = this;
    if (form->m_rtl) m_psh.dwFlags |= PSH_RTLREADING;
}

CFormPage* CFormPropertySheet::FindPageWindow(HWND window) const {
    for (const auto& p : m_pages)
        if (window && p->GetSafeHwnd() == window) return p.get();
    return nullptr;
}

void CFormPropertySheet::PostRefresh() {
    for (const auto& p : m_pages)
        if (p->GetSafeHwnd()) PostMessage(p->GetSafeHwnd(), WM_FORMPAGE_REFRESH, 0, 0);
}

bool CFormPropertySheet::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (m_form && HIWORD(wParam) == 0) {
        if (LOWORD(wParam) == IDOK) {
            IScriptServices* services = GetScriptServices();
            services->SetEventResultBool(true);
            if (m_form->m_scriptObject)
                services->FireScriptEvent(m_form->m_scriptObject, kFormEventOnOK, false, 0);
            if (!services->GetEventResultBool(true)) return true;
        } else if (LOWORD(wParam) == IDCANCEL) {
            FireEvent(m_form->m_scriptObject, kFormEventOnCancel);
        }
    }
    return CPropertySheetExt::OnCommand(wParam, lParam);
}

bool CFormPropertySheet::OnInitDialog() {
    const bool r = CPropertySheetExt::OnInitDialog();
    if (HWND tab = GetTabControl()) {
        m_tabImages = ImageList_LoadBitmap(res::GetProgramModule(),
                                           MAKEINTRESOURCE(static_cast<WORD>(IDB_OPTION_TABS)), 16,
                                           1, kMaskColour);
        if (m_tabImages) {
            SendMessage(tab, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_tabImages));
            for (const auto& p : m_pages) SetPageImage(p.get(), 0);
        }
    }
    return r;
}

LRESULT CFormPropertySheet::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ACTIVATE:
            if (m_form)
                FireEvent(m_form->m_scriptObject,
                          LOWORD(wParam) ? kFormEventOnSetActive : kFormEventOnKillActive);
            break;
        case WM_FORMSHEET_PAGECREATED:
            if (m_form && static_cast<int>(wParam) == GetFormPageCount() - 1)
                FireEvent(m_form->m_scriptObject, kFormEventOnLoad);
            return 0;
        case WM_FORMSHEET_SHOWPAGE: {
            const int index = static_cast<int>(wParam);
            if (SetActivePage(index)) {
                if (CFormPage* page = index < GetFormPageCount()
                                          ? m_pages[static_cast<size_t>(index)].get()
                                          : nullptr)
                    if (HWND failed = page->GetFailedControl(); failed && IsWindow(failed))
                        SetFocus(failed);
            }
            return 0;
        }
        case WM_DESTROY:
            if (m_form) {
                FireEvent(m_form->m_scriptObject, kFormEventOnUnload);
                if (m_form->m_sheet == this) m_form->m_sheet = nullptr;
            }
            break;
        default:
            break;
    }
    return CPropertySheetExt::WindowProc(msg, wParam, lParam);
}

// ----------------------------------------------------------- CFormSheet --

void CFormSheet::PreCreateSheet(DialogTemplate& tmpl) {
    if (m_form) m_form->ApplyDefaultValues();
    CFormPropertySheet::PreCreateSheet(tmpl);
}

bool CFormSheet::OnInitDialog() {
    const bool r = CFormPropertySheet::OnInitDialog();
    if (!m_form) return r;
    if (!m_form->m_caption.empty()) SetWindowText(GetSafeHwnd(), m_form->m_caption.c_str());
    if (!m_form->m_tabsVisible)
        if (HWND tab = GetTabControl()) ShowWindow(tab, SW_HIDE);
    return r;
}

// ---------------------------------------------------------------- CForm --

bool CForm::RunModal() {
    HWND parent = win::GetMainWindow();
    if (auto* frame = dynamic_cast<win::FrameWnd*>(win::Wnd::FromHandlePermanent(parent)))
        if (win::View* view = frame->GetActiveView()) parent = view->GetSafeHwnd();
    CFormSheet sheet(this, IDS_UNTITLED_FORM, parent, 0);
    sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
    sheet.m_psh.dwFlags &= ~PSH_HASHELP;
    if (GetLanguageModule()->IsRightToLeft()) sheet.m_psh.dwFlags |= PSH_RTLREADING;
    return sheet.DoModal() == IDOK;
}
