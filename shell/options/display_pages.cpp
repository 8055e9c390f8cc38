#include "shell/options/display_pages.h"

#include <cstdio>

#include "core/file_version_info.h"
#include "core/folder_tree.h"
#include "core/language_module.h"
#include "platform/res/locale.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "resources/zres.h"
#include "shell/options/gps_pages.h"
#include "shell/options/option_helpers.h"
#include "shell/options/options_sheet.h"

namespace {
// Colour buttons draw themselves and run their chooser when clicked; the
// page hands them its WM_DRAWITEM and WM_COMMAND.
bool ForwardToColorButtons(UINT msg, WPARAM wParam, LPARAM lParam, std::initializer_list<CColorButton*> buttons) {
    for (CColorButton* b : buttons) {
        if (msg == WM_DRAWITEM && b->OnParentDrawItem(lParam)) return true;
        if (msg == WM_COMMAND && b->OnParentCommand(wParam, lParam)) return true;
    }
    return false;
}
}  // namespace

// ---------------------------------------------------------------- Display

const WChar* const CDisplayPage::kCoordinateFormats[6] = {u"Auto", u"Projection", u"DMS", u"DMM", u"UTM", u"MGRS"};

CDisplayPage::CDisplayPage(PreferencesData& options)
    : CPropertyPageExt(IDD_OPT_DISPLAY, IDD_OPT_DISPLAY), m_options(options) {}

bool CDisplayPage::OnInitDialog() {
    CPropertyPageExt::OnInitDialog();
    m_background.SubclassDlgItem(IDC_DISPLAY_BACKGROUND, GetSafeHwnd());
    m_highlight.SubclassDlgItem(IDC_DISPLAY_HIGHLIGHT, GetSafeHwnd());
    FillComboTexts(GetSafeHwnd(), IDC_DISPLAY_FORMAT, {std::begin(kCoordinateFormats), std::end(kCoordinateFormats)});
    UpdateData(false);
    return true;
}

void CDisplayPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPageExt::DoDataExchange(dx);
    PreferencesData::Display& d = m_options.display;
    if (dx->m_bSaveAndValidate) {
        d.backgroundcolor = m_background.GetColor();
        d.highlightcolor = m_highlight.GetColor();
    } else {
        m_background.SetColor(d.backgroundcolor);
        m_highlight.SetColor(d.highlightcolor);
    }
    DDX_Radio(dx, IDC_DISPLAY_METRIC, d.units);
    DDX_CBIndex(dx, IDC_DISPLAY_FORMAT, m_options.statusbar.coordsformat);
    // A width below one pixel makes a pen and a point mark of nothing.
    DDX_Text(dx, IDC_DISPLAY_HIGHLIGHT_WIDTH, d.highlightwidth);
    DDV_MinMaxInt(dx, d.highlightwidth, 1, 99);
    DDX_Text(dx, IDC_DISPLAY_TOLERANCE, d.tolerance);
    DDV_MinMaxInt(dx, d.tolerance, 1, 15);
}

void CDisplayPage::TakeUncheckedValues() {
    PreferencesData::Display& d = m_options.display;
    HWND dialog = GetSafeHwnd();
    d.backgroundcolor = m_background.GetColor();
    d.highlightcolor = m_highlight.GetColor();
    for (int i = 0; i < 3; ++i)
        if (IsDlgButtonChecked(dialog, IDC_DISPLAY_METRIC + i) == BST_CHECKED) d.units = i;
    LRESULT format = SendMessage(GetDlgItem(IDC_DISPLAY_FORMAT), CB_GETCURSEL, 0, 0);
    if (format >= 0) m_options.statusbar.coordsformat = static_cast<int>(format);
    int value = 0;
    if (ReadIntQuietly(dialog, IDC_DISPLAY_HIGHLIGHT_WIDTH, value) && value >= 1 && value <= 99)
        d.highlightwidth = value;
    if (ReadIntQuietly(dialog, IDC_DISPLAY_TOLERANCE, value) && value >= 1 && value <= 15) d.tolerance = value;
}

LRESULT CDisplayPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (ForwardToColorButtons(msg, wParam, lParam, {&m_background, &m_highlight}))
        return msg == WM_DRAWITEM ? 1 : 0;
    // The page keeps what it shows when the sheet closes; a value its
    // check would refuse is left as it was.
    if (msg == WM_DESTROY) TakeUncheckedValues();
    return CPropertyPageExt::WindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------- Fonts

CFontsPage::CFontsPage(COptionsSheet& sheet) : CPropertyPageExt(IDD_OPT_FONTS, IDD_OPT_FONTS), m_sheet(sheet) {
    m_chooseFont = [](HWND parent, LOGFONT& font) {
        LOGFONT copy = font;
        CHOOSEFONT cf;
        cf.hwndOwner = parent;
        cf.lpLogFont = &copy;
        if (!ChooseFont(&cf)) return false;
        font = copy;
        return true;
    };
}

bool CFontsPage::OnInitDialog() {
    CPropertyPageExt::OnInitDialog();
    m_labelButton.AutoLoad(GetSafeHwnd(), IDC_FONTS_LABEL_BUTTON, IDB_FONT_UP, IDB_FONT_DOWN, IDB_FONT_FOCUS,
                           IDB_FONT_DISABLED);
    m_dialogButton.AutoLoad(GetSafeHwnd(), IDC_FONTS_DIALOG_BUTTON, IDB_FONT_UP, IDB_FONT_DOWN, IDB_FONT_FOCUS,
                            IDB_FONT_DISABLED);
    const PreferencesData::Fonts& f = m_sheet.Data().fonts;
    m_systemFont = f.systemDialogFont ? 1 : 0;
    m_labelFont = f.label;
    m_dialogFont = f.dialog;
    MakeSampleFonts();
    UpdateData(false);
    Refresh();
    return true;
}

void CFontsPage::MakeSampleFonts() {
    m_labelSampleFont.reset(CreateFontIndirect(&m_labelFont));
    m_dialogSampleFont.reset(CreateFontIndirect(&m_dialogFont));
}

void CFontsPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPageExt::DoDataExchange(dx);
    DDX_Check(dx, IDC_FONTS_SYSTEM, m_systemFont);
    DDX_Text(dx, IDC_FONTS_DIALOG_SAMPLE, m_dialogSample);
    DDX_Text(dx, IDC_FONTS_LABEL_SAMPLE, m_labelSample);
}

void CFontsPage::Refresh() {
    m_dialogButton.Refresh();
    EnableWindow(GetDlgItem(IDC_FONTS_DIALOG_BUTTON), !m_systemFont);
    m_dialogButton.Refresh();
    SendMessage(GetDlgItem(IDC_FONTS_LABEL_SAMPLE), WM_SETFONT, reinterpret_cast<WPARAM>(m_labelSampleFont.get()), 1);
    HFONT dialogFont = m_systemFont ? reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT)) : m_dialogSampleFont.get();
    SendMessage(GetDlgItem(IDC_FONTS_DIALOG_SAMPLE), WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont), 1);
}

bool CFontsPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    const WORD code = HIWORD(wParam);
    switch (LOWORD(wParam)) {
        case IDC_FONTS_LABEL_BUTTON:
        case IDC_FONTS_DIALOG_BUTTON: {
            if (code != BN_CLICKED && code != BN_DBLCLK) break;
            LOGFONT& font = LOWORD(wParam) == IDC_FONTS_LABEL_BUTTON ? m_labelFont : m_dialogFont;
            if (m_chooseFont && m_chooseFont(GetSafeHwnd(), font)) {
                MakeSampleFonts();
                Refresh();
            }
            return true;
        }
        case IDC_FONTS_SYSTEM:
            if (code != BN_CLICKED) break;
            CPropertyPageExt::OnCommand(wParam, lParam);
            UpdateData(true);
            Refresh();
            return true;
        default:
            break;
    }
    return CPropertyPageExt::OnCommand(wParam, lParam);
}

bool CFontsPage::OnApply() {
    m_sheet.SetLabelLogFont(m_labelFont);
    m_sheet.SetDialogLogFont(m_dialogFont);
    m_sheet.Data().fonts.systemDialogFont = m_systemFont != 0;
    return CPropertyPageExt::OnApply();
}

LRESULT CFontsPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        // The samples let go of the fonts before they are deleted.
        LRESULT result = CPropertyPageExt::WindowProc(msg, wParam, lParam);
        m_labelSampleFont.reset();
        m_dialogSampleFont.reset();
        return result;
    }
    return CPropertyPageExt::WindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------- Paths

namespace {
struct PathControls {
    int edit;
    int button;
};
const PathControls kPathControls[3] = {
    {IDC_PATHS_SYSTEM, IDC_PATHS_SYSTEM_BROWSE},
    {IDC_PATHS_DATA, IDC_PATHS_DATA_BROWSE},
    {IDC_PATHS_APPLETS, IDC_PATHS_APPLETS_BROWSE},
};
}  // namespace

CPathsPage::CPathsPage(PreferencesData::Paths& paths)
    : CPropertyPageExt(IDD_OPT_PATHS, IDD_OPT_PATHS), m_paths(paths) {
    m_browse = [](HWND parent, WString& path) { return BrowseForFolder(parent, path); };
}

bool CPathsPage::OnInitDialog() {
    CPropertyPageExt::OnInitDialog();
    for (int i = 0; i < 3; ++i)
        m_buttons[i].AutoLoad(GetSafeHwnd(), kPathControls[i].button, IDB_FOLDER_UP, IDB_FOLDER_DOWN, 0,
                              IDB_FOLDER_DISABLED);
    UpdateData(false);
    return true;
}

void CPathsPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPageExt::DoDataExchange(dx);
    DDX_Text(dx, IDC_PATHS_SYSTEM, m_paths.system);
    DDX_Text(dx, IDC_PATHS_DATA, m_paths.data);
    DDX_Text(dx, IDC_PATHS_APPLETS, m_paths.applets);
}

bool CPathsPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    const WORD code = HIWORD(wParam);
    if (code == BN_CLICKED || code == BN_DBLCLK) {
        WString* targets[3] = {&m_paths.system, &m_paths.data, &m_paths.applets};
        for (int i = 0; i < 3; ++i) {
            if (LOWORD(wParam) != kPathControls[i].button) continue;
            UpdateData(true);
            WString path = *targets[i];
            if (m_browse && m_browse(GetSafeHwnd(), path)) {
                *targets[i] = path;
                UpdateData(false);
            }
            return true;
        }
    }
    return CPropertyPageExt::OnCommand(wParam, lParam);
}

LRESULT CPathsPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) UpdateData(true);  // plain texts: nothing to refuse
    return CPropertyPageExt::WindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------- map server

COmbrixOptionsPage::COmbrixOptionsPage(PreferencesData::Ims& ims)
    : CPropertyPageExt(IDD_OPT_IMS, IDD_OPT_IMS), m_ims(ims) {}

bool COmbrixOptionsPage::OnInitDialog() {
    m_autoRefresh = m_ims.autorefresh ? 1 : 0;
    m_log = m_ims.log ? 1 : 0;
    return CPropertyPageExt::OnInitDialog();
}

void COmbrixOptionsPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPageExt::DoDataExchange(dx);
    DDX_Check(dx, IDC_IMS_AUTOREFRESH, m_autoRefresh);
    DDX_Check(dx, IDC_IMS_LOG, m_log);
}

bool COmbrixOptionsPage::OnApply() {
    m_ims.autorefresh = m_autoRefresh != 0;
    m_ims.log = m_log != 0;
    return CPropertyPageExt::OnApply();
}

// ---------------------------------------------------------------- Locale

CLocalePage::CLocalePage(PreferencesData::Locale& locale)
    : CPropertyPageExt(IDD_OPT_LOCALE, IDD_OPT_LOCALE), m_locale(locale) {
    m_hasLanguageLibrary = [](DWORD lcid) { return GetLanguageModule()->ModuleExists(lcid); };
}

bool CLocalePage::OnInitDialog() {
    CPropertyPageExt::OnInitDialog();
    m_list.SubclassDlgItem(IDC_LOCALE_LIST, GetSafeHwnd());
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_list.SetImageList(IDB_LOCALE_IMAGES, ListImages::Small, 16, RGB(255, 0, 255));
    const std::pair<const WChar*, int> columns[] = {{u"Abbrev", 60},   {u"Language", 70}, {u"Country", 80},
                                                    {u"Language", 90}, {u"Country", 90},  {u"LCID", 80},
                                                    {u"ANSI CP", 50},  {u"OEM CP", 50}};
    for (int i = 0; i < 8; ++i) m_list.InsertColumn(i, columns[i].first, LVCFMT_LEFT, columns[i].second);
    m_showAll = 0;
    UpdateData(false);
    Fill();
    return true;
}

void CLocalePage::DoDataExchange(CDataExchange* dx) {
    CPropertyPageExt::DoDataExchange(dx);
    DDX_Check(dx, IDC_LOCALE_SHOW_ALL, m_showAll);
}

void CLocalePage::Fill() {
    m_list.DeleteAllItems();
    constexpr DWORD kUsEnglish = 1033;
    for (int pass = 0; pass < (m_showAll ? 2 : 1); ++pass) {
        for (const res::LocaleInfo& l : res::AllLocales()) {
            const bool first = l.lcid == kUsEnglish || (m_hasLanguageLibrary && m_hasLanguageLibrary(l.lcid));
            if (first != (pass == 0)) continue;
            const int item = m_list.InsertItem(m_list.GetItemCount(), l.abbreviation, pass == 0 ? 0 : -1);
            m_list.SetItemText(item, 1, l.nativeLanguage);
            m_list.SetItemText(item, 2, l.nativeCountry);
            m_list.SetItemText(item, 3, l.englishLanguage);
            m_list.SetItemText(item, 4, l.englishCountry);
            m_list.SetItemText(item, 5, text::Format(u"%04x", static_cast<unsigned>(l.lcid)).c_str());
            m_list.SetItemText(item, 6, text::Format(u"%u", l.ansiCodePage).c_str());
            m_list.SetItemText(item, 7, text::Format(u"%u", l.oemCodePage).c_str());
            m_list.SetItemData(item, static_cast<LPARAM>(l.lcid));
        }
    }
    for (int i = 0; i < m_list.GetItemCount(); ++i)
        if (static_cast<DWORD>(m_list.GetItemData(i)) == m_locale.lcid) m_list.SelectItem(i);
    const int selected = m_list.GetNextItem(-1, LVNI_SELECTED);
    if (selected >= 0) SendMessage(m_list.GetSafeHwnd(), LVM_ENSUREVISIBLE, WPARAM(selected), 0);
}

bool CLocalePage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_LOCALE_SHOW_ALL && HIWORD(wParam) == BN_CLICKED) {
        CPropertyPageExt::OnCommand(wParam, lParam);
        UpdateData(true);
        Fill();
        return true;
    }
    return CPropertyPageExt::OnCommand(wParam, lParam);
}

void CLocalePage::OnOK() {
    const int selected = m_list.GetNextItem(-1, LVNI_SELECTED);
    m_locale.lcid = selected >= 0 ? static_cast<DWORD>(m_list.GetItemData(selected)) : 0;
}

LRESULT CLocalePage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE && m_list.GetSafeHwnd())
        MoveWindow(m_list.GetSafeHwnd(), 0, 0, LOWORD(lParam), std::max(0, HIWORD(lParam) - 20), true);
    return CPropertyPageExt::WindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------- Extensions

CExtensionsPage::CExtensionsPage(IAppExtensions* extensions)
    : CPropertyPageExt(IDD_OPT_EXTENSIONS, IDD_OPT_EXTENSIONS), m_extensions(extensions) {}

CExtensionsPage::~CExtensionsPage() {
    if (m_icons) ImageList_Destroy(m_icons);
}

bool CExtensionsPage::OnInitDialog() {
    CPropertyPageExt::OnInitDialog();
    m_list.SubclassDlgItem(IDC_EXTENSIONS_LIST, GetSafeHwnd());
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    if (m_icons) ImageList_Destroy(m_icons);  // the list of the previous showing is gone
    m_icons = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 4);
    SendMessage(m_list.GetSafeHwnd(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(m_icons));
    m_list.InsertColumn(0, u"Name", LVCFMT_LEFT, 220);
    m_list.InsertColumn(1, u"Version", LVCFMT_LEFT, 80);
    m_list.InsertColumn(2, u"Code", LVCFMT_LEFT, 50);
    const int count = m_extensions ? m_extensions->GetCount() : 0;
    for (int i = 0; i < count; ++i) {
        const ExtensionInfo row = m_extensions->GetExtensionInfo(i);
        const int image = row.smallIcon ? ImageList_AddIcon(m_icons, row.smallIcon) : -1;
        const int item = m_list.InsertItem(i, row.name.c_str(), image);
        // No version resource beside the module: no version shown.
        CFileVersionInfo version(row.modulePath);
        const bool hasVersion = version.GetProductVersionMS() != 0 || version.GetProductVersionLS() != 0;
        m_list.SetItemText(item, 1, hasVersion ? version.GetProductVersion().c_str() : u"");
        m_list.SetItemText(item, 2, row.code.c_str());
        m_list.SetItemData(item, i);
    }
    UpdateButton();
    return true;
}

void CExtensionsPage::UpdateButton() {
    const int selected = m_list.GetNextItem(-1, LVNI_SELECTED);
    bool enable = false;
    if (selected >= 0 && m_extensions)
        enable = m_extensions->GetExtensionInfo(static_cast<int>(m_list.GetItemData(selected))).hasProperties;
    EnableWindow(GetDlgItem(IDC_EXTENSIONS_PROPERTIES), enable);
}

void CExtensionsPage::ShowProperties() {
    const int selected = m_list.GetNextItem(-1, LVNI_SELECTED);
    if (selected < 0 || !m_extensions) return;
    const int index = static_cast<int>(m_list.GetItemData(selected));
    if (m_extensions->GetExtensionInfo(index).hasProperties) m_extensions->ShowExtensionProperties(index, GetSafeHwnd());
}

bool CExtensionsPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_EXTENSIONS_PROPERTIES && HIWORD(wParam) == BN_CLICKED) {
        ShowProperties();
        return true;
    }
    return CPropertyPageExt::OnCommand(wParam, lParam);
}

bool CExtensionsPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->idFrom == IDC_EXTENSIONS_LIST) {
        if (header->code == NM_CLICK || header->code == LVN_ITEMCHANGED) UpdateButton();
        if (header->code == NM_DBLCLK) ShowProperties();
        *result = 0;
        if (header->code == NM_CLICK || header->code == LVN_ITEMCHANGED || header->code == NM_DBLCLK) return true;
    }
    return CPropertyPageExt::OnNotify(wParam, lParam, result);
}

LRESULT CExtensionsPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE && m_list.GetSafeHwnd())
        MoveWindow(m_list.GetSafeHwnd(), 0, 0, LOWORD(lParam), std::max(0, HIWORD(lParam) - 24), true);
    return CPropertyPageExt::WindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------- Grid Style

CGridStylePage::CGridStylePage(PreferencesData::MapGrid& grid)
    : CPropertyPageExt(IDD_OPT_GRID, IDD_OPT_GRID), m_grid(grid) {
    m_lineColor = grid.line.m_pen.lopnColor;
    m_lineStyle = static_cast<int>(grid.line.m_pen.lopnStyle);
    m_lineWidth = grid.line.m_pen.lopnWidth.x;
    m_textColor = grid.text.m_textColor;
    m_textSize = static_cast<int>(grid.text.m_size * 0.1);  // tenths of a point, truncated
    m_fillLineStyles = [](HWND dialog, int id) { FillComboTexts(dialog, id, {u"Solid", u"Dash"}); };
}

bool CGridStylePage::OnInitDialog() {
    CPropertyPageExt::OnInitDialog();
    SendMessage(GetDlgItem(IDC_GRID_WIDTH_SPIN), UDM_SETRANGE32, 0, 10);
    SendMessage(GetDlgItem(IDC_GRID_SIZE_SPIN), UDM_SETRANGE32, 1, 72);
    m_lineButton.SubclassDlgItem(IDC_GRID_LINE_COLOR, GetSafeHwnd());
    m_textButton.SubclassDlgItem(IDC_GRID_TEXT_COLOR, GetSafeHwnd());
    if (m_fillLineStyles) m_fillLineStyles(GetSafeHwnd(), IDC_GRID_STYLE);
    UpdateData(false);
    return true;
}

void CGridStylePage::DoDataExchange(CDataExchange* dx) {
    CPropertyPageExt::DoDataExchange(dx);
    if (dx->m_bSaveAndValidate) {
        m_lineColor = m_lineButton.GetColor();
        m_textColor = m_textButton.GetColor();
    } else {
        m_lineButton.SetColor(m_lineColor);
        m_textButton.SetColor(m_textColor);
    }
    DDX_CBIndex(dx, IDC_GRID_STYLE, m_lineStyle);
    DDX_Text(dx, IDC_GRID_WIDTH, m_lineWidth);
    DDV_MinMaxInt(dx, m_lineWidth, 0, 25);
    DDX_Text(dx, IDC_GRID_SIZE, m_textSize);
}

LRESULT CGridStylePage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (ForwardToColorButtons(msg, wParam, lParam, {&m_lineButton, &m_textButton}))
        return msg == WM_DRAWITEM ? 1 : 0;
    if (msg == WM_DESTROY) {
        // Keeps what the page shows; values a check would refuse stay.
        HWND dialog = GetSafeHwnd();
        m_lineColor = m_lineButton.GetColor();
        m_textColor = m_textButton.GetColor();
        LRESULT style = SendMessage(GetDlgItem(IDC_GRID_STYLE), CB_GETCURSEL, 0, 0);
        if (style >= 0) m_lineStyle = static_cast<int>(style);
        int value = 0;
        if (ReadIntQuietly(dialog, IDC_GRID_WIDTH, value) && value >= 0 && value <= 25) m_lineWidth = value;
        if (ReadIntQuietly(dialog, IDC_GRID_SIZE, value)) m_textSize = value;
    }
    return CPropertyPageExt::WindowProc(msg, wParam, lParam);
}

bool CGridStylePage::OnApply() {
    m_grid.line.m_pen.lopnColor = m_lineColor;
    // No style chosen keeps the grid's own.
    if (m_lineStyle >= 0) m_grid.line.m_pen.lopnStyle = static_cast<UINT>(m_lineStyle);
    m_grid.line.SetLineWidth(m_lineWidth);
    m_grid.line.m_pen.lopnWidth.x = m_lineWidth;
    m_grid.text.m_textColor = m_textColor;
    m_grid.text.m_size = m_textSize * 10;
    m_grid.line.CreateBrush();
    m_grid.text.CreateFont();
    return CPropertyPageExt::OnApply();
}
