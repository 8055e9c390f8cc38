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
    const RECT& AccuracyCircle() const { return m_accuracyCircle; }
    double QualityRadius() const { return m_qualityRadius; }
    double LastSpeed() const { return m_lastSpeed; }
    double LastCourse() const { return m_lastCourse; }
    int LastFixQuality() const { return m_lastFixQuality; }

    bool AutoPan() const { return m_autoPan; }
    double AutoPanMargin() const { return m_autoPanMargin; }

    // The watchdog's flags.
    void SetDataReceived(bool received) { m_dataReceived = received; }
    void SetFirstData(bool first) { m_firstData = first; }
    bool DataReceived() const { return m_dataReceived; }
    bool FirstData() const { return m_firstData; }

    // The GPS debug display fills the window instead of the map.
    void SetDebugDisplay(bool on) { m_debugDisplay = on; }
    bool IsDebugDisplay() const { return m_debugDisplay; }

private:
    bool m_shown = false;
    bool m_drawn = false;
    HDC m_saveDc = nullptr;
    gdi::OwnedBitmap m_saveBitmap;
    POINT m_savePos{};
    int32_t m_width = 0;
    int32_t m_height = 0;
    POINT m_point{};
    SketchVertex m_position;
    HIMAGELIST m_images = nullptr;
    int32_t m_image = 0;
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
