#include "shell/frame/bar_controls.h"

#include <algorithm>

#include "platform/res/formats.h"
#include "platform/res/resource.h"
#include "platform/win/dialog.h"

namespace {

// MFC-style control bars are laid out by the frame, never by themselves.
constexpr DWORD kBarControlStyles = CCS_NOPARENTALIGN | CCS_NOMOVEY | CCS_NODIVIDER | CCS_NORESIZE;
constexpr DWORD kWrapBit = 0x200;
constexpr int kBandTextMax = 256;

LRESULT Send(HWND h, UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessage(h, msg, wp, lp); }

}  // namespace

// ---- CToolBarResource ----

bool CToolBarResource::Load(UINT id, HINSTANCE module) {
    m_ids.clear();
    auto tb = res::ParseToolbar(res::FindResourceData(module, res::RT_TOOLBAR, static_cast<WORD>(id)));
    if (!tb) return false;
    m_width = tb->width;
    m_height = tb->height;
    m_ids = tb->ids;
    return true;
}

int CToolBarResource::ImageIndexOf(UINT command) const {
    if (command == 0) return -1;
    int image = 0;
    for (WORD id : m_ids) {
        if (id == 0) continue;
        if (id == command) return image;
        ++image;
    }
    return -1;
}

// ---- CToolBarExt ----

bool CToolBarExt::Create(HWND parent, DWORD toolbarStyle, DWORD barStyle, UINT id) {
    InitCommonControls();
    m_barStyle = barStyle;
    DWORD style = WS_CHILD | (barStyle & CBRS_VISIBLE ? WS_VISIBLE : 0) | kBarControlStyles |
                  (toolbarStyle & 0xFFFF);
    return CreateEx(0, TOOLBARCLASSNAME, u"", style, RECT{0, 0, 0, 0}, parent, id);
}

bool CToolBarExt::LoadToolBar(UINT id) {
    return GetSafeHwnd() && win::LoadToolbarResource(GetSafeHwnd(), nullptr, static_cast<WORD>(id));
}

int CToolBarExt::GetCount() const { return static_cast<int>(Send(GetSafeHwnd(), TB_BUTTONCOUNT)); }

UINT CToolBarExt::GetItemID(int index) const {
    TBBUTTON b;
    if (!Send(GetSafeHwnd(), TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&b)))
        return 0;
    return (b.fsStyle & TBSTYLE_SEP) ? 0 : static_cast<UINT>(b.idCommand);
}

int CToolBarExt::CommandToIndex(UINT id) const {
    return static_cast<int>(Send(GetSafeHwnd(), TB_COMMANDTOINDEX, id));
}

RECT CToolBarExt::GetItemRect(int index) const {
    RECT r{};
    Send(GetSafeHwnd(), TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    return r;
}

DWORD CToolBarExt::GetButtonStyle(int index) const {
    TBBUTTON b;
    if (!Send(GetSafeHwnd(), TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&b)))
        return 0;
    DWORD style = b.fsStyle | ((b.fsState & TBSTATE_WRAP) ? kWrapBit : 0);
    return style | (static_cast<DWORD>(b.fsState & ~TBSTATE_WRAP) << 16);
}

void CToolBarExt::SetButtonStyle(int index, DWORD style) {
    TBBUTTON b;
    if (!Send(GetSafeHwnd(), TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&b)))
        return;
    // The control changes buttons by command only: put the button back
    // in its place with the new style and state.
    WString label = b.iString > 0xFFFF ? WString(reinterpret_cast<const WChar*>(b.iString)) : WString();
    b.iString = label.empty() ? -1 : reinterpret_cast<intptr_t>(label.c_str());
    b.fsStyle = static_cast<BYTE>(style & 0xFF);
    b.fsState = static_cast<BYTE>(((style >> 16) & 0xFF & ~TBSTATE_WRAP) | ((style & kWrapBit) ? TBSTATE_WRAP : 0));
    Send(GetSafeHwnd(), TB_DELETEBUTTON, static_cast<WPARAM>(index));
    Send(GetSafeHwnd(), TB_INSERTBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&b));
}

int CToolBarExt::GetButtonImage(int index) const {
    TBBUTTON b;
    if (!Send(GetSafeHwnd(), TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&b)))
        return -1;
    return b.iBitmap;
}

void CToolBarExt::SetButtonInfo(int index, UINT id, int image) {
    TBBUTTON b;
    if (!Send(GetSafeHwnd(), TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&b)))
        return;
    WString label = b.iString > 0xFFFF ? WString(reinterpret_cast<const WChar*>(b.iString)) : WString();
    b.iString = label.empty() ? -1 : reinterpret_cast<intptr_t>(label.c_str());
    b.idCommand = static_cast<int>(id);
    b.iBitmap = image;
    Send(GetSafeHwnd(), TB_DELETEBUTTON, static_cast<WPARAM>(index));
    Send(GetSafeHwnd(), TB_INSERTBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&b));
}

bool CToolBarExt::SetButtonStyleBits(UINT indexOrCommand, DWORD clear, DWORD set) {
    int index = (indexOrCommand & 0x80000000u) ? CommandToIndex(indexOrCommand & 0x7FFFFFFFu)
                                               : static_cast<int>(indexOrCommand);
    if (index < 0 || index >= GetCount()) return false;
    DWORD old = GetButtonStyle(index);
    DWORD now = (old & ~clear) | set;
    if (now != old) SetButtonStyle(index, now);
    return true;
}

void CToolBarExt::DeleteButtons(const UINT* commands) {
    for (; commands && *commands; ++commands) {
        int index = CommandToIndex(*commands);
        if (index >= 0) Send(GetSafeHwnd(), TB_DELETEBUTTON, static_cast<WPARAM>(index));
    }
}

SIZE CToolBarExt::GetButtonSize() const {
    LRESULT s = Send(GetSafeHwnd(), TB_GETBUTTONSIZE);
    return SIZE{LOWORD(s), HIWORD(s)};
}

int CToolBarExt::GetFixedHeight() const {
    // Across a vertical strip the bar is as wide as its widest button.
    int across = GetButtonSize().cy;
    if (GetWindowLongPtr(GetSafeHwnd(), GWL_STYLE) & CCS_VERT) {
        across = GetButtonSize().cx;
        for (int i = 0; i < GetCount(); ++i) {
            RECT r = GetItemRect(i);
            across = std::max<int>(across, r.right - r.left);
        }
    }
    return across + 2;
}

bool CToolBarExt::IsVisible() const {
    return GetSafeHwnd() && (GetWindowLongPtr(GetSafeHwnd(), GWL_STYLE) & WS_VISIBLE);
}

// ---- CReBarExt ----

CReBarExt::~CReBarExt() {
    if (m_images) ImageList_Destroy(m_images);
}

bool CReBarExt::Create(HWND parent, DWORD controlStyle, DWORD windowStyle, DWORD barStyle,
                       UINT id) {
    InitCommonControls();
    m_barStyle = barStyle;
    DWORD style = (windowStyle & 0xFFFF0000u) | kBarControlStyles | (controlStyle & 0xFFFF);
    return CreateEx(0, REBARCLASSNAME, u"", style, RECT{0, 0, 0, 0}, parent, id);
}

bool CReBarExt::CreateImageList() {
    if (m_images) ImageList_Destroy(m_images);
    // At the screen's size, as the bars' own images (doubled at 192 dots
    // per inch).
    m_images = win::LoadScaledImageList(nullptr, MAKEINTRESOURCE(240), 7, 1, 0xBFBFBF);
    if (!m_images) return false;
    REBARINFO ri;
    ri.fMask = RBIM_IMAGELIST;
    ri.himl = m_images;
    Send(GetSafeHwnd(), RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&ri));
    return true;
}

bool CReBarExt::IsVertical() const {
    return GetSafeHwnd() && (GetWindowLongPtr(GetSafeHwnd(), GWL_STYLE) & CCS_VERT);
}

bool CReBarExt::AddBar(CToolBarExt* bar, int image, int width, const WChar* text, UINT bandStyle,
                       const WChar* bandName) {
    if (!bar || !bar->GetSafeHwnd() || !GetSafeHwnd()) return false;
    if (IsVertical())
        for (int i = 0; i < bar->GetCount(); ++i) bar->SetButtonStyleBits(static_cast<UINT>(i), 0, kWrapBit);
    m_names.push_back(std::make_unique<WString>(bandName ? bandName : u""));
    REBARBANDINFO b;
    b.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_LPARAM;
    b.fStyle = bandStyle;
    b.hwndChild = bar->GetSafeHwnd();
    b.cyMinChild = static_cast<UINT>(bar->GetFixedHeight());
    b.lParam = reinterpret_cast<LPARAM>(m_names.back().get());
    if (image >= 0) {
        b.fMask |= RBBIM_IMAGE;
        b.iImage = image;
    }
    if (width > 0) {
        b.fMask |= RBBIM_SIZE;
        b.cx = static_cast<UINT>(width);
    }
    WString shown;
    if (text) {
        shown = WString(text).substr(0, kBandTextMax);
        b.fMask |= RBBIM_TEXT;
        b.lpText = shown.data();
    }
    if (!Send(GetSafeHwnd(), RB_INSERTBAND, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&b))) {
        m_names.pop_back();
        return false;
    }
    return true;
}

int CReBarExt::GetBandCount() const { return static_cast<int>(Send(GetSafeHwnd(), RB_GETBANDCOUNT)); }

int CReBarExt::FindBand(WStringView name, bool caseSensitive) const {
    for (int i = 0; i < GetBandCount(); ++i) {
        REBARBANDINFO b;
        b.fMask = RBBIM_LPARAM;
        if (!Send(GetSafeHwnd(), RB_GETBANDINFO, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b)))
            continue;
        const auto* bandName = reinterpret_cast<const WString*>(b.lParam);
        if (!bandName) continue;
        if (caseSensitive ? *bandName == name : text::EqualsNoCase(*bandName, name)) return i;
    }
    return -1;
}

int CReBarExt::FindBandOf(HWND child) const {
    for (int i = 0; i < GetBandCount(); ++i) {
        REBARBANDINFO b;
        b.fMask = RBBIM_CHILD;
        if (Send(GetSafeHwnd(), RB_GETBANDINFO, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b)) &&
            b.hwndChild == child)
            return i;
    }
    return -1;
}

bool CReBarExt::SetBandText(int index, const WChar* text) {
    if (index < 0) return false;
    WString shown = WString(text ? text : u"").substr(0, kBandTextMax);
    REBARBANDINFO b;
    b.fMask = RBBIM_TEXT;
    b.lpText = shown.data();
    return Send(GetSafeHwnd(), RB_SETBANDINFO, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&b)) != 0;
}

WString CReBarExt::GetBandText(int index) const {
    if (index < 0) return {};
    WChar buffer[kBandTextMax + 1] = {};
    REBARBANDINFO b;
    b.fMask = RBBIM_TEXT;
    b.lpText = buffer;
    b.cch = kBandTextMax + 1;
    if (!Send(GetSafeHwnd(), RB_GETBANDINFO, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&b)))
        return {};
    return buffer;
}

UINT CReBarExt::GetBandStyle(int index) const {
    REBARBANDINFO b;
    b.fMask = RBBIM_STYLE;
    if (!Send(GetSafeHwnd(), RB_GETBANDINFO, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&b)))
        return 0;
    return b.fStyle;
}

void CReBarExt::SetBandStyle(int index, UINT style) {
    REBARBANDINFO b;
    b.fMask = RBBIM_STYLE;
    b.fStyle = style;
    Send(GetSafeHwnd(), RB_SETBANDINFO, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&b));
}

void CReBarExt::ShowBand(int index, bool show) {
    if (index >= 0) Send(GetSafeHwnd(), RB_SHOWBAND, static_cast<WPARAM>(index), show ? 1 : 0);
}
