// The rebar (ReBarWindow32) and the handheld's command bands built on it:
// bands in rows (a band with RBBS_BREAK starts a new row) holding a child
// window, with text, image, gripper and hidden state; the bar takes the
// height of its rows and tells its parent when that changes.
#include "platform/win/command.h"
#include "platform/win/common_impl.h"
#include "platform/win/theme.h"

using namespace win::detail;

namespace {

// At 96 dots per inch; scaled with the screen.
constexpr int kGripper = 10;
constexpr int kMinRow = 24;

int Scaled(int at96) {
    return win::theme::Scale(at96);
}

struct Band {
    UINT style = 0;
    WString text;
    int image = -1;
    HWND child = nullptr;
    UINT cxMinChild = 0, cyMinChild = 0;
    UINT cx = 0;
    UINT id = 0;
    LPARAM lParam = 0;
    COLORREF fore = 0, back = 0;
    UINT cyChild = 0, cyMaxChild = 0, cyIntegral = 0, cxIdeal = 0, cxHeader = 0;
};

struct RebarState : ControlState {
    std::vector<Band> bands;
    HIMAGELIST images = nullptr;
    int height = 0;
};

int Count(const RebarState* st) {
    return static_cast<int>(st->bands.size());
}

void SetBand(Band* b, const REBARBANDINFO& in) {
    if (in.fMask & RBBIM_STYLE) b->style = in.fStyle;
    if (in.fMask & RBBIM_COLORS) b->fore = in.clrFore, b->back = in.clrBack;
    if ((in.fMask & RBBIM_TEXT) && in.lpText) b->text = in.lpText;
    if (in.fMask & RBBIM_IMAGE) b->image = in.iImage;
    if (in.fMask & RBBIM_CHILD) b->child = in.hwndChild;
    if (in.fMask & RBBIM_CHILDSIZE) {
        b->cxMinChild = in.cxMinChild, b->cyMinChild = in.cyMinChild;
        b->cyChild = in.cyChild, b->cyMaxChild = in.cyMaxChild, b->cyIntegral = in.cyIntegral;
    }
    if (in.fMask & RBBIM_SIZE) b->cx = in.cx;
    if (in.fMask & RBBIM_ID) b->id = in.wID;
    if (in.fMask & RBBIM_IDEALSIZE) b->cxIdeal = in.cxIdeal;
    if (in.fMask & RBBIM_LPARAM) b->lParam = in.lParam;
}

void GetBand(const Band& b, REBARBANDINFO* out) {
    if (out->fMask & RBBIM_STYLE) out->fStyle = b.style;
    if (out->fMask & RBBIM_COLORS) out->clrFore = b.fore, out->clrBack = b.back;
    if (out->fMask & RBBIM_TEXT) CopyText(b.text, out->lpText, static_cast<int>(out->cch));
    if (out->fMask & RBBIM_IMAGE) out->iImage = b.image;
    if (out->fMask & RBBIM_CHILD) out->hwndChild = b.child;
    if (out->fMask & RBBIM_CHILDSIZE) {
        out->cxMinChild = b.cxMinChild, out->cyMinChild = b.cyMinChild;
        out->cyChild = b.cyChild, out->cyMaxChild = b.cyMaxChild, out->cyIntegral = b.cyIntegral;
    }
    if (out->fMask & RBBIM_SIZE) out->cx = b.cx;
    if (out->fMask & RBBIM_ID) out->wID = b.id;
    if (out->fMask & RBBIM_IDEALSIZE) out->cxIdeal = b.cxIdeal;
    if (out->fMask & RBBIM_LPARAM) out->lParam = b.lParam;
}

bool HasGripper(const RebarState* st, const Band& b) {
    if (b.style & RBBS_NOGRIPPER) return false;
    if (b.style & RBBS_GRIPPERALWAYS) return true;
    return !(b.style & RBBS_FIXEDSIZE) && Count(st) > 1;
}

// Rows of visible band indexes.
std::vector<std::vector<int>> Rows(const RebarState* st) {
    std::vector<std::vector<int>> rows;
    for (int i = 0; i < Count(st); ++i) {
        const Band& b = st->bands[static_cast<size_t>(i)];
        if (b.style & RBBS_HIDDEN) continue;
        if (rows.empty() || (b.style & RBBS_BREAK)) rows.emplace_back();
        rows.back().push_back(i);
    }
    return rows;
}

int RowHeight(const RebarState* st, const std::vector<int>& row) {
    int h = Scaled(kMinRow);
    for (int i : row)
        h = std::max<int>(h, static_cast<int>(st->bands[static_cast<size_t>(i)].cyMinChild));
    return h;
}

// Each band's header: the gripper, its image and its text; with
// RBS_BANDBORDERS an etched line after each band and below each row.
void PaintBands(HWND h, RebarState* st, HDC dc) {
    if (StyleOf(h) & CCS_VERT) return;
    RECT client;
    GetClientRect(h, &client);
    int imageCx = 0, imageCy = 0;
    if (st->images) ImageList_GetIconSize(st->images, &imageCx, &imageCy);
    bool borders = StyleOf(h) & RBS_BANDBORDERS;
    int y = 0;
    auto rows = Rows(st);
    for (size_t r = 0; r < rows.size(); ++r) {
        const auto& row = rows[r];
        int rh = RowHeight(st, row);
        int x = 0;
        for (size_t k = 0; k < row.size(); ++k) {
            const Band& b = st->bands[static_cast<size_t>(row[k])];
            bool last = k + 1 == row.size();
            int width = last ? std::max<int>(0, client.right - x)
                             : std::max<int>(static_cast<int>(b.cx),
                                             static_cast<int>(b.cxHeader + b.cxMinChild));
            int hx = x + 2;
            if (HasGripper(st, b)) {
                // A raised bar down the band's left edge.
                RECT g{hx, y + Scaled(3), hx + Scaled(3), y + rh - Scaled(3)};
                DrawEdge(dc, &g, BDR_RAISEDINNER, BF_RECT);
                hx = x + Scaled(kGripper);
            }
            if (b.image >= 0 && st->images) {
                ImageList_Draw(st->images, b.image, dc, hx, y + (rh - imageCy) / 2, ILD_TRANSPARENT);
                hx += imageCx + Scaled(2);
            }
            if (!b.text.empty()) {
                SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
                RECT tr{hx, y, x + static_cast<int>(b.cxHeader), y + rh};
                DrawTextIn(dc, b.text, tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
            }
            if (borders && !last) {
                RECT e{x + width - 2, y, x + width, y + rh};
                DrawEdge(dc, &e, EDGE_ETCHED, BF_LEFT);
            }
            x += width;
        }
        y += rh;
        if (borders && r + 1 < rows.size()) {
            RECT e{0, y - 2, client.right, y};
            DrawEdge(dc, &e, EDGE_ETCHED, BF_BOTTOM);
        }
    }
}

// Places the children and the bar itself; RBN_HEIGHTCHANGE when its height
// changed. A vertical bar (CCS_VERT) stacks its bands down a column and its
// rows become columns; its "height" is then its width.
void Layout(HWND h, RebarState* st) {
    RECT client;
    GetClientRect(h, &client);
    const bool vertical = (StyleOf(h) & CCS_VERT) != 0;
    const int length = vertical ? client.bottom : client.right;
    int y = 0;
    int imageCx = 0;
    if (st->images) ImageList_GetIconSize(st->images, &imageCx, nullptr);
    for (const auto& row : Rows(st)) {
        int rh = RowHeight(st, row);
        int x = 0;
        for (size_t k = 0; k < row.size(); ++k) {
            Band& b = st->bands[static_cast<size_t>(row[k])];
            int header = (HasGripper(st, b) ? Scaled(kGripper) : 0) +
                         (b.image >= 0 ? imageCx + Scaled(2) : 0) +
                         (b.text.empty() ? 0 : static_cast<int>(b.text.size()) * Scaled(6) + Scaled(4));
            b.cxHeader = static_cast<UINT>(header);
            bool last = k + 1 == row.size();
            int width = last ? std::max<int>(0, length - x)
                             : std::max<int>(static_cast<int>(b.cx),
                                             header + static_cast<int>(b.cxMinChild));
            if (b.child && IsWindow(b.child)) {
                if (vertical)
                    MoveWindow(b.child, y, x + header, rh, std::max(0, width - header), true);
                else
                    MoveWindow(b.child, x + header, y, std::max(0, width - header), rh, true);
                ShowWindow(b.child, SW_SHOW);
            }
            x += width;
        }
        y += rh;
    }
    for (const Band& b : st->bands)
        if ((b.style & RBBS_HIDDEN) && b.child && IsWindow(b.child)) ShowWindow(b.child, SW_HIDE);
    if (y != st->height) {
        st->height = y;
        HWND parent = GetParent(h);
        if (parent && !(StyleOf(h) & CCS_NORESIZE)) {
            RECT pc;
            GetClientRect(parent, &pc);
            bool far = (StyleOf(h) & CCS_BOTTOM) == CCS_BOTTOM;
            if (vertical)
                MoveWindow(h, far ? pc.right - y : 0, 0, y, pc.bottom, true);
            else
                MoveWindow(h, 0, far ? pc.bottom - y : 0, pc.right, y, true);
        }
        SendNotify(h, RBN_HEIGHTCHANGE);
    }
}

}  // namespace

LRESULT RebarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    RebarState* st = EnsureControl<RebarState>(h);
    if (!st) return DefWindowProc(h, msg, wp, lp);
    int index = static_cast<int>(wp);
    switch (msg) {
        case RB_SETBARINFO: {
            auto* in = reinterpret_cast<const REBARINFO*>(lp);
            if (!in) return FALSE;
            if (in->fMask & RBIM_IMAGELIST) st->images = in->himl;
            Layout(h, st);
            return TRUE;
        }
        case RB_GETBARINFO: {
            auto* out = reinterpret_cast<REBARINFO*>(lp);
            if (!out) return FALSE;
            if (out->fMask & RBIM_IMAGELIST) out->himl = st->images;
            return TRUE;
        }
        case RB_INSERTBAND: {
            auto* in = reinterpret_cast<const REBARBANDINFO*>(lp);
            if (!in) return FALSE;
            Band b;
            SetBand(&b, *in);
            int at = index < 0 || index > Count(st) ? Count(st) : index;
            st->bands.insert(st->bands.begin() + at, b);
            if (b.child && IsWindow(b.child) && GetParent(b.child) != h) SetParent(b.child, h);
            Layout(h, st);
            return TRUE;
        }
        case RB_DELETEBAND:
            if (index < 0 || index >= Count(st)) return FALSE;
            if (HWND c = st->bands[static_cast<size_t>(index)].child; c && IsWindow(c))
                ShowWindow(c, SW_HIDE);
            st->bands.erase(st->bands.begin() + index);
            Layout(h, st);
            return TRUE;
        case RB_SETBANDINFO: {
            auto* in = reinterpret_cast<const REBARBANDINFO*>(lp);
            if (!in || index < 0 || index >= Count(st)) return FALSE;
            SetBand(&st->bands[static_cast<size_t>(index)], *in);
            Layout(h, st);
            return TRUE;
        }
        case RB_GETBANDINFO: {
            auto* out = reinterpret_cast<REBARBANDINFO*>(lp);
            if (!out || index < 0 || index >= Count(st)) return FALSE;
            GetBand(st->bands[static_cast<size_t>(index)], out);
            return TRUE;
        }
        case RB_GETBANDCOUNT:
            return Count(st);
        case RB_IDTOINDEX:
            for (int i = 0; i < Count(st); ++i)
                if (st->bands[static_cast<size_t>(i)].id == wp) return i;
            return -1;
        case RB_SHOWBAND: {
            if (index < 0 || index >= Count(st)) return FALSE;
            UINT& s = st->bands[static_cast<size_t>(index)].style;
            s = lp ? (s & ~RBBS_HIDDEN) : (s | RBBS_HIDDEN);
            Layout(h, st);
            return TRUE;
        }
        case RB_GETROWCOUNT:
            return static_cast<LRESULT>(Rows(st).size());
        case RB_GETROWHEIGHT:
            for (const auto& row : Rows(st))
                if (std::find(row.begin(), row.end(), index) != row.end())
                    return RowHeight(st, row);
            return 0;
        case RB_GETBARHEIGHT:
            return st->height;
        case RB_MINIMIZEBAND:
        case RB_MAXIMIZEBAND:
            return 0;
        case WM_SIZE:
            Layout(h, st);
            return 0;
        case WM_NOTIFY:
        case WM_COMMAND:
            // The bands' children talk to the rebar's parent.
            if (HWND parent = GetParent(h)) return SendMessage(parent, msg, wp, lp);
            return 0;
        case WM_PAINT: {
            ControlPaint p(h, COLOR_BTNFACE);
            if (HDC dc = p.dc()) PaintBands(h, st, dc);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

HWND CommandBands_Create(HINSTANCE, HWND parent, UINT id, DWORD style, HIMAGELIST images) {
    InitCommonControls();
    HWND bands = CreateWindowEx(
        0, REBARCLASSNAME, u"", WS_CHILD | WS_VISIBLE | CCS_NODIVIDER | CCS_TOP | style, 0, 0, 0, 0,
        parent, reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
    if (bands && images) {
        REBARINFO ri;
        ri.fMask = RBIM_IMAGELIST;
        ri.himl = images;
        SendMessage(bands, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&ri));
    }
    return bands;
}

bool CommandBands_AddBands(HWND bands, HINSTANCE instance, UINT count, const REBARBANDINFO* info) {
    if (!Control<RebarState>(bands) && !IsWindow(bands)) return false;
    for (UINT i = 0; i < count; ++i) {
        REBARBANDINFO b = info[i];
        HWND bar = CommandBar_Create(instance, bands, static_cast<int>(b.wID));
        if (!bar) return false;
        SetWindowLongPtr(bar, GWL_STYLE, StyleOf(bar) | CCS_NOPARENTALIGN | CCS_NORESIZE);
        b.fMask |= RBBIM_CHILD;
        b.hwndChild = bar;
        if (!(b.fMask & RBBIM_CHILDSIZE)) {
            b.fMask |= RBBIM_CHILDSIZE;
            b.cyMinChild = static_cast<UINT>(Scaled(kMinRow));
        }
        if (!SendMessage(bands, RB_INSERTBAND, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(&b)))
            return false;
    }
    return true;
}

HWND CommandBands_GetCommandBar(HWND bands, UINT index) {
    REBARBANDINFO b;
    b.fMask = RBBIM_CHILD;
    if (!SendMessage(bands, RB_GETBANDINFO, index, reinterpret_cast<LPARAM>(&b))) return nullptr;
    return b.hwndChild;
}

bool CommandBands_Show(HWND bands, bool show) {
    if (!IsWindow(bands)) return false;
    ShowWindow(bands, show ? SW_SHOW : SW_HIDE);
    return true;
}
