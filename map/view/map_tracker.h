// The view's rubber-band tracker. Two halves:
// - the selection box around the current feature, drawn dotted with
//   optional resize handles (Draw);
// - the modal tracking of the pen tools: a rectangle, ellipse, line, path,
//   circle or freehand figure follows the pen while the tracker runs its own
//   message loop under the pen capture. The loop acts on pen moves, the
//   pen-up, Escape and the right button, and dispatches everything else
//   (timers, paints, posted refreshes, GPS data); it ends when the capture
//   moves to another window. The caller never sees the pen-up of a tracked
//   gesture: the loop consumed it.
// The tracker keeps a copy of the view's transform to turn tracked pixels
// into map coordinates, and writes a live read-out of the pen's position
// (and of distance and bearing for lines) into the status bar.
#pragma once

#include <cstdint>
#include <memory>

#include "core/double_rect.h"
#include "crs/mgrs.h"
#include "crs/transverse_mercator.h"
#include "platform/gdi/gdi.h"
#include "platform/text/text.h"
#include "platform/types.h"

class CCoordSys;

class CMapTracker {
public:
    // Style bits.
    static constexpr UINT kSolidLine = 0x01;
    static constexpr UINT kDottedLine = 0x02;
    static constexpr UINT kResizeInside = 0x10;
    static constexpr UINT kResizeOutside = 0x20;
    // Handle mask: the four corners and the four side midpoints.
    static constexpr UINT kAllHandles = 0xFF;
    static constexpr UINT kRuleHandles = 0xFFFFFFFFu;  // the size rule decides

    // HitTest's answers: the handles in mask-bit order, the inside, nothing.
    enum Hit : int {
        kHitNothing = -1,
        kHitTopLeft = 0,
        kHitTopRight = 1,
        kHitBottomRight = 2,
        kHitBottomLeft = 3,
        kHitTop = 4,
        kHitRight = 5,
        kHitBottom = 6,
        kHitLeft = 7,
        kHitMiddle = 8,
    };

    // Figures of the rubber band.
    enum BandStyle : int {
        kBandRectangle = 0,
        kBandEllipse = 1,        // centred on the start, line to the end
        kBandLine = 2,           // start to end
        kBandFreehandLine = 3,   // bounds and the pen's path
        kBandFreehandPolygon = 4,
        kBandFocusRects = 5,     // the rectangle grown by 0, 1 and 2 pixels
        kBandSegment = 6,        // start to end (sketch segments)
        kBandTwoSegments = 7,    // start to end and on to the third point
        kBandCircle = 8,         // centred on the start through the end
    };

    // How the last tracking gesture ended.
    enum class TrackEnd {
        None,         // nothing tracked yet
        PenUp,        // the pen went up: the gesture is complete
        Cancelled,    // Escape or the right button
        CaptureLost,  // another window took the pen (a message box, say)
        Refused,      // another window held the capture: nothing tracked
    };

    // The freehand list holds up to kMaxFreehandPoints; tracking ends as
    // the point after kFreehandStop comes.
    static constexpr int kMaxFreehandPoints = 2049;
    static constexpr int kFreehandStop = 2047;
    // The smallest rectangle a rubber band gives (pixels at 96 dpi).
    static constexpr int kMinSize = 2;

    CMapTracker();
    virtual ~CMapTracker();
    CMapTracker(const CMapTracker&) = delete;
    CMapTracker& operator=(const CMapTracker&) = delete;

    // ---- transform and read-out ----
    // A window without area or an extent of zero, negative or non-finite
    // size keeps the previous transform.
    void SetTransform(const RECT& client, const CDoubleRect& extent);
    void ScreenToMap(int px, int py, double& x, double& y) const;
    double GetLargerScale() const { return std::max(m_xScale, m_yScale); }
    // The map's system, the abbreviation of its unit cached; the UTM
    // read-out's projection is reset, so that a new datum takes effect.
    void SetCoordSys(CCoordSys* cs);
    CCoordSys* GetCoordSys() const { return m_coordSys; }
    // Where the read-out goes: the status bar, its distance and coordinate
    // panes, decimal places, the coordinate switch and format.
    void SetReadout(HWND statusBar, int distancePane, int coordPane, int decimals, bool coords,
                    int format);
    void SetReadoutTargets(HWND statusBar, int distancePane, int coordPane);
    // 0 automatic, 1 map units, 2 DMS, 3 degrees and decimal minutes,
    // 4 UTM, 5 MGRS; negative: no read-out.
    void SetCoordinateFormat(int format) { m_coordFormat = format; }
    int GetCoordinateFormat() const { return m_coordFormat; }
    void SetCoordinateSwitch(bool on) { m_showCoords = on; }
    void SetCrosshair(bool on) { m_crosshair = on; }
    // The position of a point (none: the end point) into the coordinate
    // pane; for line styles the distance and bearing from the start into
    // the distance pane.
    void UpdateReadout(const POINT* point);
    // The texts UpdateReadout writes (empty when it writes none): the
    // position of a map point, and the bearing and distance from one map
    // point to another.
    WString CoordinateText(double x, double y);
    WString DistanceText(double fromX, double fromY, double x, double y) const;

    // ---- the selection box ----
    void SetHandleSize(int size) { m_handleSize = size; }
    virtual int GetHandleSize() const { return m_handleSize; }
    // The handle mask field, else the rule: the corners always, the side
    // handles when the rectangle is large enough for them.
    virtual UINT GetHandleMask() const;
    // The rectangle's outline (dotted or solid) and the handles of the mask
    // (outside or inside the rectangle); a point's box (band style 5) as
    // three focus rectangles.
    void Draw(HDC dc) const;
    // Left <= right, top <= bottom.
    void NormalizeRect();
    int HitTest(POINT p) const;

    // ---- modal tracking ----
    // Moves (middle) or resizes (a handle) the rectangle from the pen-down
    // point; false when p hits nothing or nothing changed.
    bool Track(HWND view, POINT p, bool allowInvert = false, HWND clip = nullptr);
    // A rectangle from p; true when one of some size was drawn.
    bool TrackRubberBand(HWND view, POINT p, bool allowInvert = true);
    bool TrackWithStyle(HWND view, int x, int y, bool allowInvert, int style);
    bool TrackWithStyle(HWND view, int x, int y, bool allowInvert) {
        return TrackWithStyle(view, x, y, allowInvert, kBandRectangle);
    }
    // A segment from `from` (and on to `third`) following the pen from
    // (x, y). False when the pen went up where it went down: see EndedAsTap.
    bool TrackLine(HWND view, int x, int y, bool allowInvert, POINT from, const POINT* third);
    // The handle follows the pen until it goes up; the band is shown at once.
    bool TrackHandle(int handle, HWND view, int x, int y, HWND clip);
    // The pen's path into the freehand list; a polygon comes out clockwise
    // on the map.
    bool TrackFreehand(HWND view, int x, int y, bool polygon);

    TrackEnd LastEnd() const { return m_end; }
    // The last gesture ended with the pen going up on the pixel it went
    // down on: a tap, which the sketch tools take as a vertex.
    bool EndedAsTap() const {
        return m_end == TrackEnd::PenUp && m_downPoint.x == m_upPoint.x &&
               m_downPoint.y == m_upPoint.y;
    }
    POINT DownPoint() const { return m_downPoint; }

    // ---- results ----
    CDoubleRect GetTrackRect() const;
    CDoubleRect GetCircleRect() const;
    CDoubleRect GetEllipseRect() const;
    void GetLineEnds(double& x1, double& y1, double& x2, double& y2) const;
    void GetEndPoint(double& x, double& y) const;
    // The freehand points in map units (points may be null) and their
    // bounds; the count.
    int GetPointList(DoublePoint* points, CDoubleRect* bounds) const;
    int GetPointCount() const { return m_pointCount; }
    const POINT* GetPixelPoints() const { return m_points.get(); }
    int GetShortSide() const;
    POINT GetStartPoint() const { return m_startPoint; }
    POINT GetEndPixel() const { return m_endPoint; }

    // ---- overridable steps of the tracking ----
    // Shows or erases (XOR) the figure of the band style for the rectangle.
    virtual void DrawTrackerRect(const RECT* rect, HWND clip, HDC dc, HWND view);
    // Keeps the minimum size of rectangles.
    virtual void AdjustRect(int handle, RECT* rect);
    virtual void OnChangedRect(const RECT& old) { (void)old; }

    RECT m_rect{};
    UINT m_style = kDottedLine | kResizeOutside;
    UINT m_handleMask = 0;
    int m_rubberBandStyle = 0;
    bool m_allowInvert = false;

    HWND m_statusBar = nullptr;
    int m_distancePane = 0;
    int m_coordPane = 1;
    int m_decimals = 1;
    bool m_showCoords = true;
    int m_coordFormat = 0;

private:
    struct Loop;
    TrackEnd RunHandleLoop(int handle, HWND view, POINT p, HWND clip, bool showAtOnce,
                           bool& moved);
    // Takes the band away or shows it again around a dispatched message.
    void Redraw(const RECT* rect, HWND clip, HDC dc, HWND view);
    void DrawFigure(HDC dc, const RECT& r);
    void DrawCrosshairAt(HDC dc, HWND view, POINT p);
    void SetEndFromRect(const RECT& r);
    void OrientFreehandPolygon();

    RECT m_client{0, 0, 1, 1};
    CDoubleRect m_extent{0, 0, 1, 1};
    double m_xScale = 1.0;
    double m_yScale = 1.0;
    CCoordSys* m_coordSys = nullptr;
    WString m_unitAbbreviation;
    int m_handleSize = 8;
    bool m_crosshair = true;
    bool m_quiet = false;
    POINT m_startPoint{};
    POINT m_endPoint{};
    POINT m_thirdPoint{};
    POINT m_downPoint{};
    POINT m_upPoint{};
    TrackEnd m_end = TrackEnd::None;
    int m_pointCount = 0;
    std::unique_ptr<POINT[]> m_points;
    CMGRSConverter m_mgrs;
    CTransverseMercator m_utm;
};
