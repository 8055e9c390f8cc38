#include "gps/message_dialog.h"

#include "core/file_stream.h"
#include "gps/nmea_parser.h"
#include "gps/serial_port.h"
#include "map/map_messages.h"
#include "map/services/preferences.h"
#include "platform/win/controls.h"
#include "platform/win/msgbox.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

namespace {

const WChar kTextFilter[] = u"Text Files (*.txt)|*.txt|All Files|*.*||";
constexpr int kUtf8 = 1;
// The encoding a file's byte-order mark names, else UTF-8 (bytes that are
// not UTF-8 read as single-byte characters).
constexpr int kDetectEncoding = -1;

bool IsSpace(WChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f'; }

}  // namespace

CGpsMessageDlg::CGpsMessageDlg(HWND parent) : CDialogExt(IDD_GPS_MESSAGE, parent) {}

intptr_t CGpsMessageDlg::Run(CSerialPort* port) {
    m_port = port;
    return DoModal();
}

bool CGpsMessageDlg::OnInitDialog() {
    const bool result = CDialogExt::OnInitDialog();
    UseCaptionButtons(false, false);
    SetWindowText(GetDlgItem(IDOK), LoadMapString(IDS_GPS_MESSAGE_SEND).c_str());
    for (auto [button, id, up, down, focus, disabled] :
         {std::tuple{&m_openButton, IDC_GPS_MESSAGE_OPEN, IDB_OPEN_BUTTON_UP, IDB_OPEN_BUTTON_DOWN,
                     IDB_OPEN_BUTTON_FOCUS, IDB_OPEN_BUTTON_DISABLED},
          std::tuple{&m_saveButton, IDC_GPS_MESSAGE_SAVE, IDB_SAVE_BUTTON_UP, IDB_SAVE_BUTTON_DOWN,
                     IDB_SAVE_BUTTON_FOCUS, IDB_SAVE_BUTTON_DISABLED}}) {
        if (!button->AutoLoad(GetSafeHwnd(), id, up, down, focus, disabled)) continue;
        // The button takes the size of its picture.
        BITMAP bm{};
        HWND h = button->GetSafeHwnd();
        if (GetObject(button->GetBitmap(win::BitmapButton::kUp), sizeof bm, &bm) == sizeof bm)
            SetWindowPos(h, nullptr, 0, 0, bm.bmWidth, bm.bmHeight, SWP_NOMOVE | SWP_NOZORDER);
    }
    AddAnchor(IDC_GPS_MESSAGE_TEXT, kAnchorStretch, kAnchorStretch);
    AddAnchor(IDOK, kAnchorMove, kAnchorNone);
    return result;
}

bool CGpsMessageDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (code == BN_CLICKED || code == BN_DBLCLK) {
        switch (id) {
            case IDOK:
                // A double tap sends as well.
                Send();
                return true;
            case IDC_GPS_MESSAGE_CHECKSUM:
                if (code == BN_CLICKED) OnAddChecksum();
                return true;
            case IDC_GPS_MESSAGE_OPEN:
                OnOpen();
                return true;
            case IDC_GPS_MESSAGE_SAVE:
                OnSave();
                return true;
            default:
                break;
        }
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

void CGpsMessageDlg::OnOK() { Send(); }

WString CGpsMessageDlg::GetText() const { return GetDlgItemTextString(GetSafeHwnd(), IDC_GPS_MESSAGE_TEXT); }

void CGpsMessageDlg::SetText(const WString& text) {
    SetWindowText(GetDlgItem(IDC_GPS_MESSAGE_TEXT), text.c_str());
}

void CGpsMessageDlg::Send() {
    if (!m_port) return;
    const WString message = GetText() + u"\r\n";
    if (!m_port->WriteString(message.c_str())) {
        const WString error = m_port->GetErrorText();
        ShowMapMessageText(error, MB_OK | MB_ICONERROR, kBeepError);
    }
}

WString CGpsMessageDlg::AddChecksum(WStringView text) {
    WString out(text);
    while (!out.empty() && IsSpace(out.back())) out.pop_back();
    if (out.empty() || out[0] != u'$') return out;
    const size_t star = out.find(u'*');
    if (star != WString::npos) out.erase(star);
    // The sentence goes out as bytes: each character's low byte.
    std::string bytes;
    bytes.reserve(out.size());
    for (WChar c : out) bytes += static_cast<char>(c & 0xFF);
    out += text::Format(u"*%02X", static_cast<unsigned>(NmeaChecksum(bytes.c_str())));
    return out;
}

void CGpsMessageDlg::OnAddChecksum() { SetText(AddChecksum(GetText())); }

void CGpsMessageDlg::OnOpen() {
    CFileDialogEx dialog(true, u"txt", m_lastPath.c_str(), OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                         kTextFilter, GetSafeHwnd());
    dialog.m_ofn.initialDir = GetPreferences()->Data().paths.data;
    if (dialog.DoModal() != IDOK) return;
    m_lastPath = dialog.GetPathName();
    WString text;
    if (!ReadTextFile(m_lastPath, text, kDetectEncoding)) {
        ShowMapMessage(IDP_ERROR_OPENING, MB_OK | MB_ICONERROR, kBeepError, {m_lastPath});
        return;
    }
    SetText(text);
}

void CGpsMessageDlg::OnSave() {
    CFileDialogEx dialog(false, u"txt", m_lastPath.c_str(), OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY,
                         kTextFilter, GetSafeHwnd());
    dialog.m_ofn.initialDir = GetPreferences()->Data().paths.data;
    if (dialog.DoModal() != IDOK) return;
    m_lastPath = dialog.GetPathName();
    if (!WriteTextFile(m_lastPath, GetText(), kUtf8))
        ShowMapMessage(IDS_GPS_MESSAGE_NOT_SAVED, MB_OK | MB_ICONERROR, kBeepError, {m_lastPath});
}
