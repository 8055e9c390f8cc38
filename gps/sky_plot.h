// The position window's satellite display: the sky plot (zenith in the
// centre, north up, east right), the signal bars, or the course dial with
// the bearing to the destination. A tap cycles the three. It paints on any
// device context, so it can be drawn off the window.
#pragma once

#include "include/zarnip/znex.h"
#include "map/view/destination.h"
#include "platform/gdi/owned.h"
#include "platform/win/commctrl.h"
#include "platform/win/framework.h"

class CSkyPlotCtrl : public win::Wnd {
public:
    enum Mode { kSkyPlot = 0, kSignalBars = 1, kCourseDial = 2 };
    static constexpr COLORREF kDigitMask = 0xFF00FF;

    CSkyPlotCtrl();
    ~CSkyPlotCtrl() override;

    // The record and destination drawn from now on.
    void SetData(const GpsPosition& position, const GoToDestination& destination);
    void ClearData() { m_hasData = false; }
    int GetMode() const { return m_mode; }
    void SetMode(int mode) { m_mode = mode; }
    // Draws the display into `client` (the control's client rectangle; its
    // bottom line stays untouched).
    void Paint(HDC dc, const RECT& client);
    // A satellite number at (x, y): digit set 0 or 1, on `background` or
    // none (CLR_NONE); centred on x or starting at it; vertically centred.
    void DrawNumber(HDC dc, int number, int x, int y, int set, COLORREF background, bool centred);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void PaintDial(HDC dc, const RECT& r);
    void PaintSky(HDC dc, const RECT& r);
    void PaintBars(HDC dc, const RECT& r);
    void PaintCourse(HDC dc, const RECT& r);

    int m_mode = kSkyPlot;
    GpsPosition m_position{};
    GoToDestination m_destination;
    bool m_hasData = false;
    HIMAGELIST m_digits = nullptr;
    gdi::OwnedBrush m_redBrush;
    gdi::OwnedPen m_redPen;
};
