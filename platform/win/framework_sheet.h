// The framework's property page and property sheet objects, on the property
// sheet of propsheet.h: a page is a dialog object whose window the sheet
// makes; the sheet's notifications reach its virtual operations in the
// framework's order (OnSetActive; OnKillActive, which saves the page's data
// and may refuse; OnApply, which calls OnOK, on every created page; OnReset,
// which calls OnCancel).
#pragma once

#include <vector>

#include "platform/win/framework.h"
#include "platform/win/propsheet.h"

namespace win {

class PropertySheet;

class PropertyPage : public Dialog {
public:
    // From the template with this id in the module (nullptr: the current
    // resource module); a caption id other than 0 gives the tab its text.
    explicit PropertyPage(UINT templateId, UINT captionId = 0, HINSTANCE module = nullptr);
    // From template bytes built in memory.
    explicit PropertyPage(std::vector<uint8_t> templateBytes);

    // The page's record; its flags may be changed before the sheet is made
    // (PSP_PREMATURE, PSP_RTLREADING, PSP_HASHELP).
    PROPSHEETPAGE m_psp;

    virtual bool OnSetActive();   // the default reloads the data after the first time
    virtual bool OnKillActive();  // the default saves and validates the data
    virtual bool OnApply();       // the default calls OnOK
    virtual void OnReset();       // the default calls OnCancel
    virtual bool OnQueryCancel() { return true; }
    // A page's OK and Cancel do not end anything: the sheet does.
    void OnOK() override {}
    void OnCancel() override {}
    // Tells the sheet that the page holds changes (enables Apply).
    void SetModified(bool changed = true);

    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    std::vector<uint8_t> bytes_;
    bool firstSetActive_ = true;
};

class PropertySheet : public Wnd {
public:
    explicit PropertySheet(UINT captionId, HWND parent = nullptr, UINT selectPage = 0);
    PropertySheet(WString caption, HWND parent, UINT selectPage = 0);

    // The sheet's record; its flags may be changed before the sheet is made
    // (PSH_NOAPPLYNOW, PSH_HASHELP, PSH_RTLREADING).
    PROPSHEETHEADER m_psh;

    void AddPage(PropertyPage* page);
    void RemovePage(PropertyPage* page);
    int GetPageCount() const { return static_cast<int>(pages_.size()); }
    PropertyPage* GetPage(int index) const;
    int GetPageIndex(const PropertyPage* page) const;
    int GetActiveIndex() const;
    PropertyPage* GetActivePage() const;
    bool SetActivePage(int index);
    bool SetActivePage(PropertyPage* page) { return SetActivePage(GetPageIndex(page)); }
    HWND GetTabControl() const;
    void PressButton(WPARAM button);

    // Modal: IDOK or IDCANCEL, -1 when the sheet could not be made.
    intptr_t DoModal();
    // Modeless; the owner destroys the window when done.
    bool Create(HWND parent = nullptr);

    // After the sheet and its first page are made.
    virtual bool OnInitDialog() { return true; }
    // Changes the sheet's template before its window is made.
    virtual void PreCreateSheet(DialogTemplate& tmpl) { (void)tmpl; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    intptr_t Run(bool modeless);
    WString caption_;
    std::vector<PropertyPage*> pages_;
};

}  // namespace win
