#include "map/dialogs/font_dlg.h"

#include <algorithm>

#include "map/symbology/font_attributes.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "resources/zres.h"

namespace {

constexpr int kMinSize = 4;
constexpr int kMaxSize = 72;

int AddFace(const LOGFONT* font, const TEXTMETRIC*, DWORD, LPARAM param) {
    HWND list = reinterpret_cast<HWND>(param);
    if (font && font->lfFaceName[0] &&
        SendMessage(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                    reinterpret_cast<LPARAM>(font->lfFaceName)) == LB_ERR) {
        SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(font->lfFaceName));
    }
    return 1;
}

}  // namespace

CFontDlg::CFontDlg(const LOGFONT& font, HWND parent) : CDialogExt(IDD_FONT, parent), m_font(font) {
    m_size = FontHeightToPoints(font.lfHeight);
    m_bold = font.lfWeight > 400 ? 1 : 0;
    m_italic = font.lfItalic ? 1 : 0;
    m_underline = font.lfUnderline ? 1 : 0;
    m_strikeOut = font.lfStrikeOut ? 1 : 0;
}

CFontDlg::~CFontDlg() = default;

bool CFontDlg::OnInitDialog() {
    // The controls' own notifications while they fill must not rebuild the
    // record: the first face would replace the record's.
    CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    SendDlgItemMessage(GetSafeHwnd(), IDC_FONT_SIZE_SPIN, UDM_SETRANGE32, kMinSize, kMaxSize);
    SendDlgItemMessage(GetSafeHwnd(), IDC_FONT_SIZE_SPIN, UDM_SETPOS32, 0,
                       std::clamp(m_size, kMinSize, kMaxSize));
    SetDlgItemInt(GetSafeHwnd(), IDC_FONT_SIZE, static_cast<UINT>(m_size), true);
    FillFaces();
    FillCharSets();

    HWND faces = GetDlgItem(IDC_FONT_FACES);
    SendMessage(faces, LB_SETCURSEL, 0, 0);
    LRESULT face = SendMessage(faces, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(m_font.lfFaceName));
    if (face != LB_ERR) SendMessage(faces, LB_SETCURSEL, static_cast<WPARAM>(face), 0);

    HWND sets = GetDlgItem(IDC_FONT_CHARSET);
    SendMessage(sets, CB_SETCURSEL, 0, 0);
    const int count = static_cast<int>(SendMessage(sets, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (static_cast<int>(SendMessage(sets, CB_GETITEMDATA, static_cast<WPARAM>(i), 0)) ==
            m_font.lfCharSet) {
            SendMessage(sets, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            break;
        }
    }
    SetDlgItemText(GetSafeHwnd(), IDC_FONT_SAMPLE, u"Sample");
    m_filling = false;
    UpdateSample();
    return true;
}

void CFontDlg::FillFaces() {
    HWND faces = GetDlgItem(IDC_FONT_FACES);
    SendMessage(faces, LB_RESETCONTENT, 0, 0);
    HDC dc = GetDC(nullptr);
    EnumFontFamilies(dc, nullptr, &AddFace, reinterpret_cast<LPARAM>(faces));
    ReleaseDC(nullptr, dc);
}

void CFontDlg::FillCharSets() {
    HWND sets = GetDlgItem(IDC_FONT_CHARSET);
    SendMessage(sets, CB_RESETCONTENT, 0, 0);
    for (const CharSetEntry& entry : kCharSetTable) {
        LRESULT at = SendMessage(sets, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name));
        if (at >= 0) SendMessage(sets, CB_SETITEMDATA, static_cast<WPARAM>(at), entry.number);
    }
}

void CFontDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_FONT_SIZE, m_size);
    DDV_MinMaxInt(dx, m_size, kMinSize, kMaxSize);
    DDX_Check(dx, IDC_FONT_BOLD, m_bold);
    DDX_Check(dx, IDC_FONT_ITALIC, m_italic);
    DDX_Check(dx, IDC_FONT_UNDERLINE, m_underline);
    DDX_Check(dx, IDC_FONT_STRIKEOUT, m_strikeOut);
}

bool CFontDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    const bool changed =
        (id == IDC_FONT_FACES && code == LBN_SELCHANGE) ||
        (id == IDC_FONT_CHARSET && code == CBN_SELCHANGE) ||
        (id == IDC_FONT_SIZE && code == EN_CHANGE) ||
        ((id == IDC_FONT_BOLD || id == IDC_FONT_ITALIC || id == IDC_FONT_UNDERLINE ||
          id == IDC_FONT_STRIKEOUT) &&
         code == BN_CLICKED);
    if (changed) {
        // Let a check box take its new state first.
        bool handled = CDialogExt::OnCommand(wParam, lParam);
        UpdateSample();
        return handled || true;
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

void CFontDlg::UpdateSample() {
    if (m_filling) return;
    HWND dlg = GetSafeHwnd();
    LOGFONT font{};
    HWND faces = GetDlgItem(IDC_FONT_FACES);
    LRESULT face = SendMessage(faces, LB_GETCURSEL, 0, 0);
    if (face != LB_ERR) {
        WChar name[256] = {};
        SendMessage(faces, LB_GETTEXT, static_cast<WPARAM>(face), reinterpret_cast<LPARAM>(name));
        std::copy_n(name, LF_FACESIZE - 1, font.lfFaceName);
    }
    // A size being typed is not checked here; OK checks it.
    BOOL translated = 0;
    const int size = static_cast<int>(GetDlgItemInt(dlg, IDC_FONT_SIZE, &translated, true));
    font.lfHeight = FontPointsToHeight(translated ? size : m_size);
    HWND sets = GetDlgItem(IDC_FONT_CHARSET);
    LRESULT set = SendMessage(sets, CB_GETCURSEL, 0, 0);
    font.lfCharSet = static_cast<BYTE>(
        set == CB_ERR ? 1 : SendMessage(sets, CB_GETITEMDATA, static_cast<WPARAM>(set), 0));
    font.lfWeight = IsDlgButtonChecked(dlg, IDC_FONT_BOLD) ? 700 : 400;
    font.lfItalic = IsDlgButtonChecked(dlg, IDC_FONT_ITALIC) ? 1 : 0;
    font.lfUnderline = IsDlgButtonChecked(dlg, IDC_FONT_UNDERLINE) ? 1 : 0;
    font.lfStrikeOut = IsDlgButtonChecked(dlg, IDC_FONT_STRIKEOUT) ? 1 : 0;
    m_font = font;

    gdi::OwnedFont sample(CreateFontIndirect(&m_font));
    SendDlgItemMessage(dlg, IDC_FONT_SAMPLE, WM_SETFONT, reinterpret_cast<WPARAM>(sample.get()), 1);
    m_sampleFont = std::move(sample);
}

void CFontDlg::OnOK() {
    if (!UpdateData(true)) return;
    UpdateSample();
    EndDialog(IDOK);
}

void CFontDlg::OnDestroy() {
    SendDlgItemMessage(GetSafeHwnd(), IDC_FONT_SAMPLE, WM_SETFONT, 0, 0);
    m_sampleFont.reset();
    CDialogExt::OnDestroy();
}

bool ChooseFontDlg(HWND parent, LOGFONT& font) {
    CFontDlg dialog(font, parent);
    if (dialog.DoModal() != IDOK) return false;
    font = dialog.GetFont();
    return true;
}

void FillLineStyleCombo(HWND dialog, int id) {
    HWND combo = GetDlgItem(dialog, id);
    SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Solid"));
    SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Dash"));
}
