#include "core/color_picker.h"

#include <algorithm>

#include "platform/gdi/gdi.h"
#include "resources/zres.h"

namespace {

constexpr int kLevels[5] = {0, 95, 127, 191, 255};

int BarValueId(int barId) {
    return barId + 1;
}

}  // namespace

COLORREF PaletteColor(int id) {
    if (id < IDC_COLOR_FIRST || id > IDC_COLOR_LAST) return 0;
    const int i = id - IDC_COLOR_FIRST;
    return RGB(kLevels[(i / 25) % 5], kLevels[(i / 5) % 5], kLevels[i % 5]) | kPaletteColorMarker;
}

// ---------------------------------------------------------------- chooser

CColorPickerDlg::CColorPickerDlg(HWND parent, COLORREF initial)
    : CDialogExt(u"DLG_COLORPICKER", parent), m_initial(initial), m_result(initial) {}

bool CColorPickerDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    for (int bar : {IDC_COLOR_RED, IDC_COLOR_GREEN, IDC_COLOR_BLUE})
        SetScrollRange(GetDlgItem(bar), SB_CTL, 0, 255, false);
    SetBars(m_initial);
    return true;
}

COLORREF CColorPickerDlg::GetCurrentColor() const {
    return RGB(GetScrollPos(GetDlgItem(IDC_COLOR_RED), SB_CTL),
               GetScrollPos(GetDlgItem(IDC_COLOR_GREEN), SB_CTL),
               GetScrollPos(GetDlgItem(IDC_COLOR_BLUE), SB_CTL));
}

void CColorPickerDlg::SetBars(COLORREF colour) {
    const int values[3] = {static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                           static_cast<int>((colour >> 16) & 0xFF)};
    const int bars[3] = {IDC_COLOR_RED, IDC_COLOR_GREEN, IDC_COLOR_BLUE};
    for (int i = 0; i < 3; ++i) {
        SetScrollPos(GetDlgItem(bars[i]), SB_CTL, values[i], true);
        SetWindowText(GetDlgItem(BarValueId(bars[i])), text::IntToText(values[i]).c_str());
    }
    HWND swatch = GetDlgItem(IDC_COLOR_NEW);
    InvalidateRect(swatch, nullptr, false);
    UpdateWindow(swatch);
}

void CColorPickerDlg::OnScroll(HWND bar, WORD code, int thumb) {
    const int id = GetDlgCtrlID(bar);
    if (id != IDC_COLOR_RED && id != IDC_COLOR_GREEN && id != IDC_COLOR_BLUE) return;
    int pos = GetScrollPos(bar, SB_CTL);
    switch (code) {
        case SB_LINELEFT: pos -= 1; break;
        case SB_LINERIGHT: pos += 1; break;
        case SB_PAGELEFT: pos -= 10; break;
        case SB_PAGERIGHT: pos += 10; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: pos = thumb; break;
        case SB_LEFT: pos = 0; break;
        case SB_RIGHT: pos = 255; break;
        default: return;
    }
    pos = std::clamp(pos, 0, 255);
    SetScrollPos(bar, SB_CTL, pos, true);
    SetWindowText(GetDlgItem(BarValueId(id)), text::IntToText(pos).c_str());
    // The new swatch follows at once, also while the thumb is dragged.
    HWND swatch = GetDlgItem(IDC_COLOR_NEW);
    InvalidateRect(swatch, nullptr, false);
    UpdateWindow(swatch);
}

void CColorPickerDlg::DrawSwatch(const DRAWITEMSTRUCT& dis) {
    COLORREF colour;
    UINT edge = EDGE_SUNKEN;
    if (dis.CtlID == IDC_COLOR_NEW) {
        colour = GetCurrentColor();
        edge = EDGE_RAISED;
    } else if (dis.CtlID == IDC_COLOR_OLD) {
        colour = m_initial & 0xFFFFFF;
    } else {
        colour = PaletteColor(static_cast<int>(dis.CtlID)) & 0xFFFFFF;
    }
    RECT r = dis.rcItem;
    gdi::OwnedBrush brush(CreateSolidBrush(colour));
    FillRect(dis.hDC, &r, brush.get());
    DrawEdge(dis.hDC, &r, edge, BF_RECT);
}

LRESULT CColorPickerDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_HSCROLL && lParam) {
        OnScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam), static_cast<int16_t>(HIWORD(wParam)));
        return 0;
    }
    if (msg == WM_DRAWITEM) {
        const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (dis && (dis->CtlID == IDC_COLOR_NEW || dis->CtlID == IDC_COLOR_OLD ||
                    (dis->CtlID >= IDC_COLOR_FIRST && dis->CtlID <= IDC_COLOR_LAST))) {
            DrawSwatch(*dis);
            return TRUE;
        }
    }
    return CDialogExt::WindowProc(msg, wParam, lParam);
}

bool CColorPickerDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) == BN_CLICKED) {
        if (id == IDC_COLOR_NEW) {
            OnOK();
            return true;
        }
        if (id == IDC_COLOR_OLD) {
            SetBars(m_initial);
            return true;
        }
        if (id >= IDC_COLOR_FIRST && id <= IDC_COLOR_LAST) {
            SetBars(PaletteColor(id));
            return true;
        }
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

void CColorPickerDlg::OnOK() {
    m_result = GetCurrentColor() | kPaletteColorMarker;
    EndDialog(IDOK);
}

int ShowColorPicker(HWND parent, COLORREF* colour) {
    if (!colour) return IDCANCEL;
    CColorPickerDlg dlg(parent, *colour);
    if (dlg.DoModal() != IDOK) return IDCANCEL;
    *colour = dlg.GetResult();
    return IDOK;
}

COLORREF ShowColorPicker(HWND parent, COLORREF colour) {
    COLORREF c = colour;
    ShowColorPicker(parent, &c);
    return c;
}

// ---------------------------------------------------------------- button

CColorButton::CColorButton()
    : m_faceBrush(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))),
      m_grayPen(CreatePen(PS_SOLID, 1, RGB(128, 128, 128))) {}

CColorButton::~CColorButton() {
    if (GetSafeHwnd()) Detach();
}

void CColorButton::SetColor(COLORREF colour) {
    m_color = colour;
    if (GetSafeHwnd()) InvalidateRect(GetSafeHwnd(), nullptr, false);
}

void CColorButton::Draw(HDC dc, const RECT& item, UINT state, COLORREF colour, HBRUSH face,
                        HPEN gray) {
    const int l = item.left, t = item.top, r = item.right, b = item.bottom;
    FillRect(dc, &item, face);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    auto line = [&](int x0, int y0, int x1, int y1) {
        MoveToEx(dc, x0, y0, nullptr);
        LineTo(dc, x1, y1);
    };
    int offset = 0;
    if (state & ODS_SELECTED) {
        SelectObject(dc, gray);
        line(l, t, r, t);
        line(l, t, l, b);
        SelectObject(dc, GetStockObject(WHITE_PEN));
        line(l, b - 1, r, b - 1);
        line(r - 1, t, r - 1, b);
        SelectObject(dc, GetStockObject(BLACK_PEN));
        line(l + 1, t + 1, r - 1, t + 1);
        line(l + 1, t + 1, l + 1, b - 1);
        offset = 1;
    } else {
        SelectObject(dc, GetStockObject(BLACK_PEN));
        line(l, b - 1, r, b - 1);
        line(r - 1, t, r - 1, b);
        SelectObject(dc, gray);
        line(l + 1, b - 2, r - 1, b - 2);
        line(r - 2, t + 1, r - 2, b - 1);
        SelectObject(dc, GetStockObject(WHITE_PEN));
        line(l + 1, t + 1, r - 2, t + 1);
        line(l + 1, t + 1, l + 1, b - 2);
    }
    if (!(state & ODS_DISABLED)) {
        // Outlined with the pen selected last: white released, black pressed.
        gdi::OwnedBrush brush(CreateSolidBrush(colour & 0xFFFFFF));
        HBRUSH oldBrush = SelectObject(dc, brush.get());
        Rectangle(dc, l + 5 + offset, t + 4 + offset, r - 5 + offset, b - 4 + offset);
        SelectObject(dc, oldBrush);
    }
    SelectObject(dc, oldPen);
    if (state & ODS_FOCUS) {
        const int fl = l + 3, ft = t + 3, fr = r - 4, fb = b - 4;
        auto dot = [&](int x, int y) {
            if (((x - fl) + (y - ft)) % 2 == 0) SetPixel(dc, x, y, RGB(0, 0, 0));
        };
        for (int x = fl; x < fr; ++x) {
            dot(x, ft);
            dot(x, fb - 1);
        }
        for (int y = ft; y < fb; ++y) {
            dot(fl, y);
            dot(fr - 1, y);
        }
    }
}

bool CColorButton::OnParentDrawItem(LPARAM lParam) {
    const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (!dis || !GetSafeHwnd() || dis->hwndItem != GetSafeHwnd()) return false;
    Draw(dis->hDC, dis->rcItem, dis->itemState, m_color, m_faceBrush.get(), m_grayPen.get());
    return true;
}

bool CColorButton::OnParentCommand(WPARAM wParam, LPARAM lParam) {
    if (!GetSafeHwnd() || reinterpret_cast<HWND>(lParam) != GetSafeHwnd() ||
        HIWORD(wParam) != BN_CLICKED)
        return false;
    OnClicked();
    return true;
}

void CColorButton::OnClicked() {
    m_color = ShowColorPicker(GetParent(GetSafeHwnd()), m_color);
    InvalidateRect(GetSafeHwnd(), nullptr, false);
    UpdateWindow(GetSafeHwnd());
}
