// The GPS cursor of the view: the image drawn at the receiver's position,
// the background saved under it, the accuracy circle, what the last drawn
// cursor showed (speed, course, fix quality), keeping the position in the
// window (auto-pan and its margin), the watchdog's data flags and the GPS
// debug display.
#pragma once

#include <cstdint>

#include "map/view/sketch.h"
#include "platform/gdi/owned.h"
#include "platform/win/commctrl.h"

class GpsCursor {
public:
    // Image 9: no fix; 0: standing or moving without a known course; 1 to 8
    // the course in sectors of 45 degrees clockwise from north.
    static constexpr int kImageNoFix = 9;

    GpsCursor();
    ~GpsCursor();
    GpsCursor(const GpsCursor&) = delete;
    GpsCursor& operator=(const GpsCursor&) = delete;

    bool IsShown() const { return m_shown; }
    bool IsDrawn() const { return m_drawn; }
    POINT Point() const { return m_point; }
    const SketchVertex& Position() const { return m_position; }
    HIMAGELIST Images() const { return m_images; }
    int Image() const { return m_image; }
    // The side of the image and of the saved box in pixels (32 at 96 dpi).
    int Size() const { return m_size; }
    const RECT& AccuracyCircle() const { return m_accuracyCircle; }
    double QualityRadius() const { return m_qualityRadius; }
    double LastSpeed() const { return m_lastSpeed; }
    double LastCourse() const { return m_lastCourse; }
    int LastFixQuality() const { return m_lastFixQuality; }

    // -1 the fix's EPE, -2 its HPE, above 0 that many metres, else none.
    void SetQualityRadius(double radius) { m_qualityRadius = radius; }
    bool AutoPan() const { return m_autoPan; }
    double AutoPanMargin() const { return m_autoPanMargin; }
    void SetAutoPan(bool on) { m_autoPan = on; }
    void SetAutoPanMargin(double margin) { m_autoPanMargin = margin; }

    // The watchdog's flags.
    void SetDataReceived(bool received) { m_dataReceived = received; }
    void SetFirstData(bool first) { m_firstData = first; }
    bool DataReceived() const { return m_dataReceived; }
    bool FirstData() const { return m_firstData; }

    // The GPS debug display fills the window instead of the map.
    void SetDebugDisplay(bool on) { m_debugDisplay = on; }
    bool IsDebugDisplay() const { return m_debugDisplay; }

    // Shown at `position` with no fix yet (nothing drawn); the save box is
    // made for the window on first use.
    void Start(HWND window, const SketchVertex& position);
    void Stop() { m_shown = false; }
    void SetPosition(const SketchVertex& position) { m_position = position; }
    void SetPoint(POINT p) { m_point = p; }
    void SetImage(int image) { m_image = image; }
    void SetLastFixQuality(int quality) { m_lastFixQuality = quality; }
    void SetLastMotion(double speed, double course) {
        m_lastSpeed = speed;
        m_lastCourse = course;
    }
    // A paint covered what was drawn.
    void ForgetDrawn() { m_drawn = false; }
    // The box the image covers with its centre at p.
    RECT BoxAt(POINT p) const;

    // Erases what is drawn, saves the background at the cursor point,
    // draws the image and, with a radius above 0 (pixels), the accuracy
    // circle.
    void Show(HDC dc, int radius);
    // Erases the circle and puts the saved background back.
    void Hide(HDC dc);

    static int ImageFor(int quality, double speed, double course);
    // The circle in the rectangle: white, XOR, not filled; drawn twice it
    // is gone.
    static void DrawAccuracyCircle(HDC dc, const RECT& rect);

private:
    bool m_shown = false;
    bool m_drawn = false;
    HDC m_saveDc = nullptr;
    gdi::OwnedBitmap m_saveBitmap;
    HBITMAP m_oldSaveBitmap = nullptr;
    POINT m_savePos{};
    int32_t m_size = 32;
    POINT m_point{};
    SketchVertex m_position;
    HIMAGELIST m_images = nullptr;
    int32_t m_image = kImageNoFix;
    RECT m_accuracyCircle{};
    double m_qualityRadius = 0;
    double m_lastSpeed = -1.0;
    double m_lastCourse = -1.0;
    int32_t m_lastFixQuality = 0;
    bool m_dataReceived = false;
    bool m_firstData = false;
    bool m_autoPan = true;
    double m_autoPanMargin = 0.9;
    bool m_debugDisplay = false;
};
