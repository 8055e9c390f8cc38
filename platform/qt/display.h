// The display: shows the window model's top-level windows in desktop windows
// and turns the desktop's mouse, keyboard, input method and clipboard into
// the model's input. The model stays the truth: the display presents the
// surfaces the model draws and queues input; it never calls a window
// procedure itself.
//
// Screen settings (read by Start):
//   ZARNIP_SCREEN=WxH  the handheld screen in logical pixels (240x320)
//   ZARNIP_SCALE=N     model pixels per logical pixel, 1 to 4 (default: 2 on
//                      a screen of ratio 1, else the screen's ratio)
// The screen DPI (LOGPIXELSX/Y) is 96 times the scale; it is set here, before
// the program makes its first font.
#pragma once

#include <memory>
#include <string>

#include "platform/types.h"

class QImage;
class QWindow;

namespace znqt {

struct ScreenSettings {
    int scale = 0;  // 0: from the screen
    int width = 240;
    int height = 320;
};
// Reads ZARNIP_SCREEN and ZARNIP_SCALE; a malformed value is reported in
// *error (when given) and left at its default.
ScreenSettings SettingsFromEnvironment(std::string* error = nullptr);
// The model's scale for a screen of this device-pixel ratio.
int ScaleFor(const ScreenSettings& s, double screenRatio);

class Display {
public:
    // Starts Qt's GUI (making the application object unless one exists) and
    // installs the display as the model's backend. nullptr, with *error,
    // when no display can be opened.
    static std::unique_ptr<Display> Start(int& argc, char** argv, std::string* error = nullptr);
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    int Scale() const;
    // Qt's device-pixel ratio of the screen.
    double Ratio() const;
    // The desktop window showing a top-level window (nullptr when not shown).
    QWindow* WindowOf(HWND hwnd) const;
    // Shows everything drawn so far at once.
    void PresentNow();
    // Presents every shown window whole (after a change of the screen).
    void PresentAll();
    // The window as presented, in model pixels (RGB32); null when not shown.
    QImage Snapshot(HWND hwnd) const;
    // A point in a shown window (Qt's logical coordinates) for a point on
    // the model's screen, and back.
    bool ToWindowPoint(HWND hwnd, POINT screen, double* x, double* y) const;

    struct Impl;

private:
    explicit Display(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace znqt
