#include "map/view/gps_cursor.h"

#include <algorithm>
#include <cmath>

#include "map/services/gps.h"
#include "map/view/panning_frame.h"
#include "platform/win/theme.h"

namespace {

constexpr int kCursorSide = 32;
// Pixel coordinates beyond any window, with room for the box and circle.
constexpr int kFarAway = 1 << 28;

// The accuracy circle's pen, one for the program: solid white, 3 pixels
// at 96 dpi.
HPEN AccuracyPen() {
    static gdi::OwnedPen pen(CreatePen(PS_SOLID, win::theme::Scale(3), 0xFFFFFF));
    return pen.get();
}

}  // namespace

GpsCursor::GpsCursor()
    : m_size(win::theme::Scale(kCursorSide)),
      m_images(LoadViewImageList(320, kCursorSide, 0xFFFFFF)) {}

GpsCursor::~GpsCursor() {
    if (m_saveDc) {
        if (m_oldSaveBitmap) SelectObject(m_saveDc, m_oldSaveBitmap);
        DeleteDC(m_saveDc);
    }
    if (m_images) ImageList_Destroy(m_images);
}

void GpsCursor::Start(HWND window, const SketchVertex& position) {
    if (!m_saveDc) {
        HDC dc = GetDC(window);
        m_saveBitmap.reset(CreateCompatibleBitmap(dc, m_size, m_size));
        m_saveDc = CreateCompatibleDC(dc);
        ReleaseDC(window, dc);
        if (m_saveDc && m_saveBitmap) m_oldSaveBitmap = SelectObject(m_saveDc, m_saveBitmap.get());
    }
    m_position = position;
    m_lastSpeed = m_lastCourse = -1.0;
    m_shown = true;
    m_drawn = false;
    m_image = kImageNoFix;
    m_lastFixQuality = 0;
}

RECT GpsCursor::BoxAt(POINT p) const {
    const int half = m_size / 2;
    // A point far off the window stays in range.
    const int x = std::clamp(p.x, -kFarAway, kFarAway), y = std::clamp(p.y, -kFarAway, kFarAway);
    return RECT{x - half, y - half, x - half + m_size, y - half + m_size};
}

void GpsCursor::Show(HDC dc, int radius) {
    if (!dc) return;
    Hide(dc);
    const RECT box = BoxAt(m_point);
    m_savePos = POINT{box.left, box.top};
    if (m_saveDc) BitBlt(m_saveDc, 0, 0, m_size, m_size, dc, m_savePos.x, m_savePos.y, SRCCOPY);
    if (m_images) ImageList_Draw(m_images, m_image, dc, m_savePos.x, m_savePos.y, ILD_TRANSPARENT);
    m_accuracyCircle = RECT{};
    if (radius > 0) {
        const int x = std::clamp(m_point.x, -kFarAway, kFarAway);
        const int y = std::clamp(m_point.y, -kFarAway, kFarAway);
        radius = std::min(radius, kFarAway);
        m_accuracyCircle = RECT{x - radius, y - radius, x + radius, y + radius};
        DrawAccuracyCircle(dc, m_accuracyCircle);
    }
    m_drawn = true;
}

void GpsCursor::Hide(HDC dc) {
    if (!m_drawn || !dc) return;
    m_drawn = false;
    if (!IsRectEmpty(&m_accuracyCircle)) DrawAccuracyCircle(dc, m_accuracyCircle);
    if (m_saveDc) BitBlt(dc, m_savePos.x, m_savePos.y, m_size, m_size, m_saveDc, 0, 0, SRCCOPY);
}

int GpsCursor::ImageFor(int quality, double speed, double course) {
    if (quality < 1) return kImageNoFix;
    if (IsNoData(speed) || speed == 0 || IsNoData(course) || !std::isfinite(course)) return 0;
    // Whole turns change nothing (and keep the arithmetic in range).
    int a = static_cast<int>(std::trunc(std::fmod(course, 360.0) - 22.5));
    if (a < 0) a += 360;
    const int n = static_cast<int>(a / 45.0 + 0.5);
    return n % 8 + 1;
}

void GpsCursor::DrawAccuracyCircle(HDC dc, const RECT& rect) {
    const int saved = SaveDC(dc);
    SelectObject(dc, AccuracyPen());
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    SetROP2(dc, R2_XORPEN);
    Ellipse(dc, rect.left, rect.top, rect.right, rect.bottom);
    RestoreDC(dc, saved);
}
