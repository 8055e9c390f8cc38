// The sheets that show a custom form: one page per form page, created with
// the sheet, turning the controls' notifications into script events and
// moving values between the controls and the record being edited.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "core/dialog_ext.h"
#include "platform/gdi/owned.h"
#include "shell/forms/forms.h"

// Messages between a form sheet and its pages.
inline constexpr UINT WM_FORMPAGE_REFRESH = 0x8001;       // to a page: reload its sub-tables
inline constexpr UINT WM_FORMSHEET_PAGECREATED = 0x8007;  // to the sheet: wParam page index
inline constexpr UINT WM_FORMPAGE_EXCHANGE = 0x800A;      // to a page: wParam 1 saves, 0 loads
inline constexpr UINT WM_FORMSHEET_SHOWPAGE = 0x800B;     // to the sheet: wParam page index

// Requests of the shell's soft input panel preference.
inline constexpr int kSipUp = 0;
inline constexpr int kSipDown = 1;

// What a control's notification raises: the event id (0 for none) and the
// soft input panel (1 raise, -1 lower, 0 leave). notify: a WM_NOTIFY code,
// else a WM_COMMAND notification code.
struct FormNotification {
    int event = 0;
    int sip = 0;
};
FormNotification MapFormNotification(FormControlType type, UINT code, bool notify);

class CFormPropertySheet;

class CFormPage : public win::PropertyPage {
public:
    static constexpr const char* kRuntimeClassName = "CFormPage";
    CFormPage(CForm* form, int pageIndex, CFormPropertySheet* sheet);
    ~CFormPage() override;

    int GetPageIndex() const { return m_pageIndex; }
    // No record source, or the record's layer is open for editing and the
    // sheet is not identifying.
    bool IsWritable() const;

    bool OnInitDialog() override;
    bool OnSetActive() override;
    bool OnKillActive() override;
    bool OnApply() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The control that refused its value when the page last applied.
    HWND GetFailedControl() const { return m_failedControl; }

private:
    bool Exchange(bool save);
    void Fire(int eventId);
    void FireControl(CFormControl& control, int eventId);
    void Sip(CFormControl& control, int action);
    void RefreshSubTables(bool writeBack);
    void ChoosePicture(CFormControl& control);
    void OnSliderScroll(HWND slider, WORD code, WORD position);
    LRESULT OnControlColour(HDC dc, HWND control, bool& handled);

    CForm* m_form;
    int m_pageIndex;
    CFormPropertySheet* m_sheet;
    HWND m_failedControl = nullptr;
    std::map<int, gdi::OwnedBrush> m_brushes;
};

class CFormPropertySheet : public CPropertySheetExt {
public:
    static constexpr const char* kRuntimeClassName = "CFormPropertySheet";
    // A form bound to a record: mode 1 is identifying (nothing is saved).
    CFormPropertySheet(CForm* form, FormRecordSource* source, bool editable, int mode,
                       UINT captionId, HWND parent = nullptr, UINT selectPage = 0);
    // A form that a script opens: editable, without a record.
    CFormPropertySheet(CForm* form, UINT captionId, HWND parent = nullptr, UINT selectPage = 0);
    ~CFormPropertySheet() override;

    void BuildPages(CForm* form);
    CFormPage* FindPageWindow(HWND window) const;
    // Every page reloads its sub-tables.
    void PostRefresh();
    CForm* GetForm() const { return m_form; }
    FormRecordSource* GetRecordSource() const { return m_source; }
    bool IsEditable() const { return m_editable; }
    int GetMode() const { return m_mode; }
    int GetFormPageCount() const { return static_cast<int>(m_pages.size()); }

    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    CForm* m_form;
    std::vector<std::unique_ptr<CFormPage>> m_pages;
    FormRecordSource* m_source = nullptr;
    bool m_editable = true;
    int m_mode = 0;
    HIMAGELIST m_tabImages = nullptr;
};

// The sheet of CForm::RunModal: default values first, the form's caption,
// and no tabs when the form hides them.
class CFormSheet : public CFormPropertySheet {
public:
    static constexpr const char* kRuntimeClassName = "CFormSheet";
    using CFormPropertySheet::CFormPropertySheet;
    void PreCreateSheet(DialogTemplate& tmpl) override;
    bool OnInitDialog() override;
};
