#include "gps/sky_plot.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/no_data.h"
#include "map/services/gps.h"
#include "platform/gdi/gdi.h"
#include "platform/win/theme.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

namespace {

constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kBlue = 0xFF0000;
constexpr double kRadians = std::numbers::pi / 180.0;
constexpr int kDigitWidth = 5;

}  // namespace

CSkyPlotCtrl::CSkyPlotCtrl() {
    m_digits = ImageList_LoadBitmap(nullptr, MAKEINTRESOURCE(IDB_SATELLITE_DIGITS), kDigitWidth, 0,
                                    kDigitMask);
    m_redBrush.reset(CreateSolidBrush(kRed));
    m_redPen.reset(CreatePen(PS_SOLID, 1, kRed));
}

CSkyPlotCtrl::~CSkyPlotCtrl() {
    if (m_digits) ImageList_Destroy(m_digits);
}

void CSkyPlotCtrl::SetData(const GpsPosition& position, const GoToDestination& destination) {
    m_position = position;
    m_destination = destination;
    m_hasData = true;
}

LRESULT CSkyPlotCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(GetSafeHwnd(), &ps);
            RECT client;
            GetClientRect(GetSafeHwnd(), &client);
            Paint(dc, client);
            EndPaint(GetSafeHwnd(), &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONUP:
            m_mode = (m_mode + 1) % 3;
            InvalidateRect(GetSafeHwnd(), nullptr, false);
            break;
        default:
            break;
    }
    return win::Wnd::WindowProc(msg, wParam, lParam);
}

void CSkyPlotCtrl::DrawNumber(HDC dc, int number, int x, int y, int set, COLORREF background,
                              bool centred) {
    if (number <= 0 || !m_digits) return;
    const int top = y - 3;
    auto digit = [&](int d, int left) {
        if (background != CLR_NONE) {
            gdi::OwnedBrush brush(CreateSolidBrush(background));
            RECT cell{left, top, left + kDigitWidth, top + 7};
            FillRect(dc, &cell, brush.get());
        }
        ImageList_Draw(m_digits, set * 10 + d, dc, left, top, ILD_TRANSPARENT);
    };
    if (number < 10) {
        digit(number, centred ? x - 2 : x);
    } else {
        const int tens = (number / 10) % 10;
        if (centred) {
            digit(tens, x - 4);
            digit(number % 10, x);
        } else {
            digit(tens, x);
            digit(number % 10, x + 5);
        }
    }
}

void CSkyPlotCtrl::Paint(HDC dc, const RECT& client) {
    RECT r = client;
    r.bottom -= 1;
    const int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kBlack);
    HWND parent = GetSafeHwnd() ? GetParent(GetSafeHwnd()) : nullptr;
    if (HFONT font = parent ? reinterpret_cast<HFONT>(SendMessage(parent, WM_GETFONT, 0, 0)) : nullptr)
        SelectObject(dc, font);
    switch (m_mode) {
        case kSignalBars: PaintBars(dc, r); break;
        case kCourseDial: PaintCourse(dc, r); break;
        default: PaintSky(dc, r); break;
    }
    RestoreDC(dc, saved);
}

void CSkyPlotCtrl::PaintDial(HDC dc, const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int cx = r.left + w / 2, cy = r.top + h / 2;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    Ellipse(dc, r.left, r.top, r.right, r.bottom);
    Ellipse(dc, r.left + w / 4, r.top + h / 4, r.right - w / 4, r.bottom - h / 4);
    MoveToEx(dc, cx, r.top, nullptr);
    LineTo(dc, cx, r.bottom);
    MoveToEx(dc, r.left, cy, nullptr);
    LineTo(dc, r.right, cy);
    RECT label = r;
    DrawText(dc, u"N", 1, &label, DT_CENTER | DT_TOP | DT_SINGLELINE);
}

void CSkyPlotCtrl::PaintSky(HDC dc, const RECT& r) {
    PaintDial(dc, r);
    if (!m_hasData) return;
    const double halfW = (r.right - r.left) / 2.0, halfH = (r.bottom - r.top) / 2.0;
    const double cx = r.left + static_cast<int>(halfW), cy = r.top + static_cast<int>(halfH);
    const double radius = (halfW + halfH) / 2.0;
    for (int slot = 0; slot < ZN_GPS_SATELLITE_SLOTS; ++slot) {
        const GpsSatellite& s = m_position.satellites[slot];
        if (s.elevation == 0 && s.azimuth == 0) continue;
        const double azimuth = s.azimuth < 1 ? 360.0 : s.azimuth;
        const double angle = (azimuth + 90.0) * kRadians;
        // Zenith in the centre, the horizon on the outer circle.
        const double elevation = std::clamp<double>(s.elevation, 0.0, 90.0);
        const double distance = (90.0 - elevation) * radius / 90.0;
        const int x = static_cast<int>(std::lround(cx - distance * std::cos(angle)));
        const int y = static_cast<int>(std::lround(cy - distance * std::sin(angle)));
        COLORREF background = kBlue;
        if (!(std::isfinite(s.snr) && s.snr > 30))
            background = kRed;
        else if (s.flags & ZN_GPS_SAT_USED)
            background = kBlack;
        DrawNumber(dc, slot + 1, x, y, 1, background, true);
    }
}

void CSkyPlotCtrl::PaintBars(HDC dc, const RECT& r) {
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (!m_hasData) return;
    const int n = m_position.satellitesInView;
    if (n <= 0) return;
    const int width = r.right - r.left;
    const int row = (r.bottom - r.top) / n;
    int i = 0;
    for (int slot = 0; slot < ZN_GPS_SATELLITE_SLOTS && i < n; ++slot) {
        const GpsSatellite& s = m_position.satellites[slot];
        if (!(s.flags & ZN_GPS_SAT_IN_VIEW)) continue;
        const double snr = std::isfinite(s.snr) ? s.snr : 0.0;
        const int over = std::max(0, static_cast<int>(std::floor(std::min(snr, 1000.0))) - 30);
        const int percent = std::min(100, over * 100 / 30);
        const int top = r.top + i * row;
        Rectangle(dc, r.left, top, r.left + width * percent / 100, top + row + 1);
        if (row >= 8) {
            if (percent == 0)
                DrawNumber(dc, slot + 1, r.left, top + row / 2, 1, kRed, false);
            else
                DrawNumber(dc, slot + 1, r.left, top + row / 2, 0, CLR_NONE, false);
        }
        ++i;
    }
}

void CSkyPlotCtrl::PaintCourse(HDC dc, const RECT& r) {
    PaintDial(dc, r);
    if (!m_hasData) return;
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int cx = r.left + w / 2, cy = r.top + h / 2;
    const double radius = std::min(w / 2, h / 2);
    // Offsets from the centre are summed, then rounded away from it, so
    // the needle stays symmetric about its axis.
    // (The sums are snapped to a nanopixel first: sin 180 degrees is not
    // quite 0, and 1.5 must not become 1.4999999.)
    auto round = [](double v) { return std::lround(std::round(v * 1e9) / 1e9); };
    auto at = [&](double degrees, double length, double sideDegrees = 0, double side = 0) {
        const double a = degrees * kRadians, b = sideDegrees * kRadians;
        return POINT{static_cast<LONG>(cx + round(length * std::sin(a) + side * std::sin(b))),
                     static_cast<LONG>(cy - round(length * std::cos(a) + side * std::cos(b)))};
    };
    const double cog = m_position.cog;
    if (std::isfinite(cog) && !IsNoData(cog)) {
        const POINT needle[4] = {at(cog, 0.9 * radius), at(cog + 180.0, 0.9 * radius, cog + 90.0, 0.15 * radius),
                                 at(cog + 180.0, 0.9 * radius),
                                 at(cog + 180.0, 0.9 * radius, cog - 90.0, 0.15 * radius)};
        SelectObject(dc, GetStockObject(BLACK_BRUSH));
        Polygon(dc, needle, 4);
    }
    if (m_destination.set && std::isfinite(m_destination.bearing)) {
        const POINT end = at(m_destination.bearing, 0.95 * radius);
        SelectObject(dc, m_redPen.get());
        MoveToEx(dc, cx, cy, nullptr);
        LineTo(dc, end.x, end.y);
        SelectObject(dc, GetStockObject(BLACK_PEN));
        SelectObject(dc, m_redBrush.get());
        Ellipse(dc, end.x - 3, end.y - 3, end.x + 3, end.y + 3);
    }
}
