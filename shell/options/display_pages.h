// The option pages of the display, fonts, folders, map server, locale and
// extension modules, and the Grid Style page of the map grid's properties.
#pragma once

#include <functional>
#include <vector>

#include "core/color_picker.h"
#include "core/dialog_ext.h"
#include "core/list_ctrl_ex.h"
#include "map/services/preferences.h"
#include "platform/gdi/owned.h"
#include "shell/app/app_services.h"

class COptionsSheet;

class CDisplayPage : public CPropertyPageExt {
public:
    static const WChar* const kCoordinateFormats[6];

    explicit CDisplayPage(PreferencesData& options);
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void TakeUncheckedValues();

    PreferencesData& m_options;
    CColorButton m_background;
    CColorButton m_highlight;
};

class CFontsPage : public CPropertyPageExt {
public:
    explicit CFontsPage(COptionsSheet& sheet);
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnApply() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The font dialog on a LOGFONT; true when the user chose one.
    std::function<bool(HWND parent, LOGFONT& font)> m_chooseFont;

    int m_systemFont = 1;
    LOGFONT m_labelFont{};
    LOGFONT m_dialogFont{};

private:
    void Refresh();
    void MakeSampleFonts();

    COptionsSheet& m_sheet;
    WString m_dialogSample = u"Dialog Text";
    WString m_labelSample = u"Label Text";
    gdi::OwnedFont m_dialogSampleFont;
    gdi::OwnedFont m_labelSampleFont;
    win::BitmapButton m_labelButton;
    win::BitmapButton m_dialogButton;
};

class CPathsPage : public CPropertyPageExt {
public:
    explicit CPathsPage(PreferencesData::Paths& paths);
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The folder browser on a path; true when the user chose one.
    std::function<bool(HWND parent, WString& path)> m_browse;

private:
    PreferencesData::Paths& m_paths;
    win::BitmapButton m_buttons[3];
};

// The internet map server page.
class COmbrixOptionsPage : public CPropertyPageExt {
public:
    explicit COmbrixOptionsPage(PreferencesData::Ims& ims);
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnApply() override;

    int m_log = 0;
    int m_autoRefresh = 0;

private:
    PreferencesData::Ims& m_ims;
};

class CLocalePage : public CPropertyPageExt {
public:
    explicit CLocalePage(PreferencesData::Locale& locale);
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    CListCtrlEx& GetList() { return m_list; }
    // Whether the locale has a language library (replaced by tests).
    std::function<bool(DWORD lcid)> m_hasLanguageLibrary;
    int m_showAll = 0;

private:
    void Fill();

    PreferencesData::Locale& m_locale;
    CListCtrlEx m_list;
};

class CExtensionsPage : public CPropertyPageExt {
public:
    explicit CExtensionsPage(IAppExtensions* extensions);
    ~CExtensionsPage() override;
    bool OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    CListCtrlEx& GetList() { return m_list; }

private:
    void UpdateButton();
    void ShowProperties();

    IAppExtensions* m_extensions;
    CListCtrlEx m_list;
    HIMAGELIST m_icons = nullptr;
};

class CGridStylePage : public CPropertyPageExt {
public:
    // Copies the grid's line and text values in.
    explicit CGridStylePage(PreferencesData::MapGrid& grid);
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Copies the values out and rebuilds the grid's drawing objects.
    bool OnApply() override;

    // Fills the line style list (replaced once the shared one exists).
    std::function<void(HWND dialog, int id)> m_fillLineStyles;

    int m_lineStyle = -1;
    int m_lineWidth = 0;
    int m_textSize = 0;  // points
    COLORREF m_lineColor = 0;
    COLORREF m_textColor = 0;

private:
    PreferencesData::MapGrid& m_grid;
    CColorButton m_lineButton;
    CColorButton m_textButton;
};
