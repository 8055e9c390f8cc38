// The map view on Qt's offscreen display, driven from the keyboard the way
// a user at a desktop drives it: the keys Qt delivers to the shown window
// reach the view through the display's input queue. Up zooms out in the
// first arrow-key mode, F11 changes the mode (the mode pane and the beep),
// and the arrows then pan.
#include <QGuiApplication>
#include <QTest>
#include <QWindow>

#include "tests/map/offscreen_display.h"
#include "tests/map/view_harness.h"

namespace {

const auto* g_env = ::testing::AddGlobalTestEnvironment(new viewtest::OffscreenDisplay);
znqt::Display* Desktop() { return viewtest::OffscreenDisplay::Current(); }

class MapViewKeysQt : public viewtest::ViewHarness {
protected:
    // A key as Qt delivers it to the desktop window, then everything it
    // queued handled.
    void Press(QWindow* window, Qt::Key key) {
        QTest::keyClick(window, key);
        QCoreApplication::processEvents();
        Pump();
    }
    double Width() const { return view_->GetExtent().xmax - view_->GetExtent().xmin; }
    void Center(double& x, double& y) const { view_->GetExtent().GetCenter(x, y); }
};

TEST_F(MapViewKeysQt, ArrowsAndF11FromTheKeyboard) {
    ASSERT_NE(Desktop(), nullptr);
    OpenView();
    view_->ZoomToExtent(CDoubleRect(0, 0, 60, 60), false, 1.0);
    // The frame was made visible: it is shown on the desktop.
    SetActiveWindow(frame_);
    SetFocus(View());
    Pump();
    Desktop()->PresentNow();
    QWindow* window = Desktop()->WindowOf(frame_);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(GetFocus(), View());

    double w0 = Width(), cx0, cy0, cx, cy;
    Center(cx0, cy0);
    Press(window, Qt::Key_Up);  // mode "Z": out by the fixed zoom
    EXPECT_NEAR(Width(), w0 * 2, 1e-9);
    Press(window, Qt::Key_Down);
    EXPECT_NEAR(Width(), w0, 1e-9);

    size_t beeps = win::BeepLog().size();
    Press(window, Qt::Key_F11);
    EXPECT_EQ(view_->GetArrowKeyMode(), ArrowKeyMode::VerticalPan);
    ASSERT_FALSE(mainWindow_.modeLetters.empty());
    EXPECT_EQ(mainWindow_.modeLetters.back(), u"V");
    ASSERT_EQ(win::BeepLog().size(), beeps + 1);
    EXPECT_EQ(win::BeepLog().back(), 0x40u);
    Center(cx0, cy0);
    Press(window, Qt::Key_Up);  // north by a sixth of the height
    Center(cx, cy);
    EXPECT_NEAR(cx, cx0, 1e-9);
    EXPECT_NEAR(cy - cy0, (view_->GetExtent().ymax - view_->GetExtent().ymin) / 6, 1e-9);
    Press(window, Qt::Key_Right);  // east by a sixth of the width
    Center(cx, cy);
    EXPECT_NEAR(cx - cx0, Width() / 6, 1e-9);
}

// A zoom box mid-drag as the desktop shows it: the view's part of the
// presented window equals the surface the tracker drew its band on.
TEST_F(MapViewKeysQt, AZoomBoxMidDragIsWhatTheDesktopShows) {
    ASSERT_NE(Desktop(), nullptr);
    AddLayer(new viewtest::CFillLayer(0x3060A0, {CDoubleRect(0, 0, 120, 300)}));
    UseExtent(CDoubleRect(0, 0, 240, 300));
    OpenView();
    view_->SetCurrentTool(kToolZoomIn);
    SetActiveWindow(frame_);
    Pump();
    Desktop()->PresentNow();
    std::vector<COLORREF> before = Client(), during;
    QImage shown;
    clock_.Advance(1000);
    win::input::Play(win::input::Gesture()
                         .Down(0, View(), POINT{60, 80})
                         .Move(10, View(), POINT{120, 140})
                         .Move(20, View(), POINT{180, 200})
                         .Probe(30,
                                [&] {
                                    during = Client();
                                    Desktop()->PresentNow();
                                    shown = Desktop()->Snapshot(frame_);
                                })
                         .Up(40, View(), POINT{180, 200}));
    Pump();
    ASSERT_FALSE(shown.isNull());
    shown.save("map_view_zoom_drag_qt.png");
    ASSERT_NE(during, before);  // the band was on the surface
    int w = view_->GetClientWidth(), h = view_->GetClientHeight(), differ = 0;
    ASSERT_GE(shown.width(), w);
    ASSERT_GE(shown.height(), h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            differ += (shown.pixel(x, y) & 0xFFFFFF) !=
                      (QColor(GetRValue(during[static_cast<size_t>(y * w + x)]),
                              GetGValue(during[static_cast<size_t>(y * w + x)]),
                              GetBValue(during[static_cast<size_t>(y * w + x)]))
                           .rgb() &
                       0xFFFFFF);
    EXPECT_EQ(differ, 0);
    EXPECT_LT(view_->GetExtent().xmax - view_->GetExtent().xmin, 240);  // and it zoomed
}

}  // namespace
