// The rubber-band tracker through whole gestures: each figure on the window
// surface mid-drag (3-pixel white XOR), the surface given back bitwise, the
// modal loop's handling of Escape, the right button, timers, posted
// messages, a message box and a capture held elsewhere, freehand lists and
// the map rectangles of circles and ellipses.
#include <cmath>
#include <functional>

#include "platform/gdi/owned.h"
#include "platform/win/theme.h"
#include "tests/map/view_harness.h"

namespace {

using viewtest::CFillLayer;
using Gesture = win::input::Gesture;
using TrackEnd = CMapTracker::TrackEnd;

// The view with a tracker run on each pen-down, as the test sets it up.
class TrackingView : public CMapView {
public:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_LBUTTONDOWN && onDown) {
            POINT p{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
            results.push_back(onDown(p));
            return 0;
        }
        if (msg == WM_LBUTTONUP) ++penUps;
        return CMapView::WindowProc(msg, wParam, lParam);
    }
    std::function<bool(POINT)> onDown;
    std::vector<bool> results;
    int penUps = 0;
};

class MapTracker : public viewtest::ViewHarness {
protected:
    void Open(int width = 240, int height = 300) {
        // Stripes, so that XOR shows against more than one colour.
        std::vector<CDoubleRect> stripes;
        for (int x = 0; x < 240; x += 20) stripes.push_back(CDoubleRect(x, 0, x + 10, 300));
        AddLayer(new CFillLayer(0x3060A0, stripes));
        UseExtent(CDoubleRect(0, 0, 240, 300));
        doc_.OnNewDocument();
        for (CLayer* layer : layers_) doc_.GetLayers().AddTail(std::unique_ptr<CLayer>(layer));
        doc_.SetMapExtent(CDoubleRect(0, 0, 240, 300));
        WNDCLASS wc;
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = u"ZnTrackerTestFrame";
        RegisterClass(wc);
        frame_ = CreateWindowEx(0, u"ZnTrackerTestFrame", u"Zarnip", WS_POPUP | WS_VISIBLE, 0, 0,
                                240, 320, nullptr, nullptr, nullptr, nullptr);
        auto view = std::make_unique<TrackingView>();
        tv_ = view.get();
        view_ = std::move(view);
        view_->SetDocument(&doc_);
        doc_.AddView(view_.get());
        ASSERT_TRUE(view_->Create(frame_, RECT{0, 0, width, height}, 0xE900));
        view_->OnInitialUpdate();
        SetFocus(View());
        Pump();
        // No crosshair unless a test asks for one.
        view_->GetTracker().SetCrosshair(false);
    }
    void AddLayer(CLayer* layer) { layers_.push_back(layer); }
    CMapTracker& Tracker() { return view_->GetTracker(); }

    // The figure as white on black, drawn with the same pen by the test.
    std::vector<bool> Mask(const std::function<void(HDC)>& draw) {
        int w = view_->GetClientWidth(), h = view_->GetClientHeight();
        HDC dc = CreateCompatibleDC(nullptr);
        gdi::OwnedBitmap bits(CreateBitmap(w, h, 1, 32, nullptr));
        HBITMAP old = SelectObject(dc, bits.get());
        RECT all{0, 0, w, h};
        FillRect(dc, &all, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        gdi::OwnedPen pen(CreatePen(PS_SOLID, win::theme::Scale(3), 0xFFFFFF));
        SelectObject(dc, pen.get());
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        SetROP2(dc, R2_XORPEN);
        draw(dc);
        std::vector<bool> mask(static_cast<size_t>(w * h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                mask[static_cast<size_t>(y * w + x)] = (GetPixel(dc, x, y) & 0xFFFFFF) != 0;
        SelectObject(dc, old);
        DeleteDC(dc);
        return mask;
    }
    // The surface mid-drag is `before` XOR white exactly where the mask is.
    void ExpectXorFigure(const std::vector<COLORREF>& before, const std::vector<COLORREF>& during,
                         const std::vector<bool>& mask) {
        ASSERT_EQ(before.size(), during.size());
        ASSERT_EQ(before.size(), mask.size());
        int wrong = 0, drawn = 0;
        for (size_t i = 0; i < before.size(); ++i) {
            COLORREF want = mask[i] ? (before[i] ^ 0xFFFFFF) : before[i];
            drawn += mask[i];
            if (during[i] != want && ++wrong < 5)
                ADD_FAILURE() << "pixel " << i % view_->GetClientWidth() << ","
                              << i / view_->GetClientWidth();
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_GT(drawn, 0);
    }

    // A second press soon after the last is a double tap: let time pass.
    void Later() { clock_.Advance(1000); }

    TrackingView* tv_ = nullptr;
    std::vector<CLayer*> layers_;
};

TEST_F(MapTracker, EachFigureIsAThreePixelWhiteXorBandThatLeavesNoTrace) {
    Open();
    const POINT s{60, 80}, e{130, 170}, third{40, 220};
    struct Case {
        const char* name;
        std::function<bool(POINT)> track;
        std::function<void(HDC)> figure;
    };
    auto line = [](HDC dc, POINT a, POINT b) {
        MoveToEx(dc, a.x, a.y, nullptr);
        LineTo(dc, b.x, b.y);
    };
    int r = static_cast<int>(std::sqrt(70.0 * 70.0 + 90.0 * 90.0));
    std::vector<Case> cases = {
        {"rectangle", [&](POINT p) { return Tracker().TrackWithStyle(View(), p.x, p.y, true, 0); },
         [&](HDC dc) { Rectangle(dc, s.x, s.y, e.x, e.y); }},
        {"ellipse", [&](POINT p) { return Tracker().TrackWithStyle(View(), p.x, p.y, true, 1); },
         [&](HDC dc) {
             Ellipse(dc, s.x - 70, s.y - 90, s.x + 70, s.y + 90);
             line(dc, s, e);
         }},
        {"line", [&](POINT p) { return Tracker().TrackWithStyle(View(), p.x, p.y, true, 2); },
         [&](HDC dc) { line(dc, s, e); }},
        {"circle", [&](POINT p) { return Tracker().TrackWithStyle(View(), p.x, p.y, true, 8); },
         [&](HDC dc) {
             Ellipse(dc, s.x - r, s.y - r, s.x + r, s.y + r);
             line(dc, s, e);
         }},
        {"triple focus rectangle",
         [&](POINT p) { return Tracker().TrackWithStyle(View(), p.x, p.y, true, 5); },
         [&](HDC dc) {
             for (int grow = 0; grow <= 2; ++grow) {
                 RECT g{s.x - grow, s.y - grow, e.x + grow, e.y + grow};
                 DrawFocusRect(dc, &g);
             }
         }},
        {"path", [&](POINT p) { return Tracker().TrackLine(View(), p.x, p.y, true, s, nullptr); },
         [&](HDC dc) { line(dc, s, e); }},
        {"two segments",
         [&](POINT p) { return Tracker().TrackLine(View(), p.x, p.y, true, s, &third); },
         [&](HDC dc) {
             POINT path[3] = {s, e, third};
             Polyline(dc, path, 3);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Later();
        tv_->onDown = c.track;
        tv_->results.clear();
        std::vector<COLORREF> before = Client(), during;
        // Path styles start at the pen: the pen goes down on the start point
        // for the others, on the end point's way for TrackLine.
        win::input::Play(Gesture()
                             .Down(0, View(), s)
                             .Move(10, View(), POINT{100, 120})
                             .Move(20, View(), e)
                             .Probe(30, [&] { during = Client(); })
                             .Up(40, View(), e));
        Pump();
        ASSERT_EQ(tv_->results.size(), 1u);
        EXPECT_TRUE(tv_->results[0]);
        ExpectXorFigure(before, during, Mask(c.figure));
        EXPECT_EQ(Client(), before);
        EXPECT_EQ(Tracker().m_rubberBandStyle, 0);
    }
    EXPECT_EQ(tv_->penUps, 0);  // the loop took every pen-up
}

TEST_F(MapTracker, FreehandFiguresAndTheirClockwiseRingsOnTheMap) {
    Open();
    // A square drawn clockwise on the screen, and one anticlockwise.
    const POINT cw[] = {{50, 50}, {150, 50}, {150, 150}, {50, 150}};
    const POINT acw[] = {{50, 50}, {50, 150}, {150, 150}, {150, 50}};
    for (bool polygon : {false, true})
        for (const POINT* square : {cw, acw}) {
            SCOPED_TRACE(polygon ? "polygon" : "line");
            Later();
            tv_->onDown = [&](POINT p) { return Tracker().TrackFreehand(View(), p.x, p.y, polygon); };
            tv_->results.clear();
            std::vector<COLORREF> before = Client(), during;
            Gesture g;
            g.Down(0, View(), square[0]);
            for (int i = 1; i < 4; ++i) g.Move(10 * i, View(), square[i]);
            g.Probe(45, [&] { during = Client(); }).Up(50, View(), square[3]);
            win::input::Play(g);
            Pump();
            ASSERT_EQ(tv_->results.size(), 1u);
            EXPECT_TRUE(tv_->results[0]);
            // The list holds the moves (the pen-down point is the start).
            ASSERT_EQ(Tracker().GetPointCount(), 3);
            ExpectXorFigure(before, during, Mask([&](HDC dc) {
                                RECT bounds{50, 50, 150, 150};
                                DrawFocusRect(dc, &bounds);
                                const POINT* drawn = square + 1;
                                if (polygon)
                                    Polygon(dc, drawn, 3);
                                else
                                    Polyline(dc, drawn, 3);
                            }));
            EXPECT_EQ(Client(), before);
            // On the map (y up), a polygon's ring runs clockwise: negative
            // shoelace sum; a line keeps the pen's order.
            DoublePoint pts[3];
            CDoubleRect bounds;
            ASSERT_EQ(Tracker().GetPointList(pts, &bounds), 3);
            double twiceArea = 0;
            for (int i = 0; i < 3; ++i) {
                const DoublePoint& a = pts[i];
                const DoublePoint& b = pts[(i + 1) % 3];
                twiceArea += a.x * b.y - b.x * a.y;
            }
            if (polygon) {
                EXPECT_LT(twiceArea, 0);
            } else {
                double x, y;
                Tracker().ScreenToMap(square[1].x, square[1].y, x, y);
                EXPECT_EQ(pts[0].x, x);
                EXPECT_EQ(pts[0].y, y);
            }
            EXPECT_EQ(bounds.xmin, 50);
            EXPECT_EQ(bounds.xmax, 150);
        }
}

TEST_F(MapTracker, TheFreehandListEndsTheGestureAtIts2048thPoint) {
    Open();
    tv_->onDown = [&](POINT p) { return Tracker().TrackFreehand(View(), p.x, p.y, false); };
    Gesture g;
    g.Down(0, View(), POINT{0, 0});
    // 2100 distinct positions; the pen-up comes long after.
    for (int i = 0; i < 2100; ++i) g.Move(static_cast<uint32_t>(i + 1), View(), POINT{i % 200, i / 200});
    int movesLeft = -1;
    g.Up(5000, View(), POINT{10, 10});
    win::input::Play(g);
    // Stop when the tracker gave up the pen: the moves still queued are the
    // ones after the 2048th.
    Pump();
    (void)movesLeft;
    ASSERT_EQ(tv_->results.size(), 1u);
    EXPECT_TRUE(tv_->results[0]);
    EXPECT_EQ(Tracker().GetPointCount(), CMapTracker::kFreehandStop);
    EXPECT_EQ(Tracker().LastEnd(), TrackEnd::PenUp);
    // The point that ended it was the 2048th; the last stored is the 2047th.
    EXPECT_EQ(Tracker().GetPixelPoints()[2046].x, 2046 % 200);
    EXPECT_EQ(Tracker().GetPixelPoints()[2046].y, 2046 / 200);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(MapTracker, EscapeAndTheRightButtonRestoreTheRectangleAndEndTheLoop) {
    Open();
    for (int how = 0; how < 2; ++how) {
        SCOPED_TRACE(how == 0 ? "escape" : "right button");
        Later();
        Tracker().m_rect = RECT{1, 2, 3, 4};
        tv_->results.clear();
        tv_->penUps = 0;
        tv_->onDown = [&](POINT p) {
            return Tracker().TrackLine(View(), p.x, p.y, true, POINT{20, 20}, nullptr);
        };
        std::vector<COLORREF> before = Client();
        Gesture g;
        g.Down(0, View(), POINT{100, 100}).Move(10, View(), POINT{150, 160});
        if (how == 0) {
            g.KeyDown(20, VK_ESCAPE).KeyUp(25, VK_ESCAPE);
        } else {
            // The right button's press ends it.
            g.Probe(20, [&] { win::input::PenDownAt(View(), POINT{150, 160}, win::input::Button::Right); });
            g.Probe(25, [&] { win::input::PenUpAt(View(), POINT{150, 160}, win::input::Button::Right); });
        }
        g.Up(40, View(), POINT{150, 160});
        win::input::Play(g);
        Pump();
        ASSERT_EQ(tv_->results.size(), 1u);
        EXPECT_FALSE(tv_->results[0]);
        EXPECT_EQ(Tracker().LastEnd(), TrackEnd::Cancelled);
        EXPECT_FALSE(Tracker().EndedAsTap());
        RECT r = Tracker().m_rect;
        EXPECT_EQ(r.left, 20);
        EXPECT_EQ(r.top, 20);
        EXPECT_EQ(r.right, 100);
        EXPECT_EQ(r.bottom, 100);
        EXPECT_EQ(Client(), before);
        // The pen-up after the loop reaches the view as usual.
        EXPECT_EQ(tv_->penUps, 1);
    }
}

TEST_F(MapTracker, AMotionlessClickIsATapThatTracksNothing) {
    Open();
    tv_->onDown = [&](POINT p) {
        return Tracker().TrackLine(View(), p.x, p.y, true, POINT{20, 20}, nullptr);
    };
    win::input::TapAt(View(), POINT{90, 70});
    Pump();
    ASSERT_EQ(tv_->results.size(), 1u);
    EXPECT_FALSE(tv_->results[0]);
    EXPECT_EQ(Tracker().LastEnd(), TrackEnd::PenUp);
    EXPECT_TRUE(Tracker().EndedAsTap());
    EXPECT_EQ(Tracker().DownPoint().x, 90);
    // Down here, up one pixel away: tracked, not a tap.
    Later();
    win::input::Play(Gesture().Down(0, View(), POINT{90, 70}).Up(10, View(), POINT{91, 70}));
    Pump();
    EXPECT_TRUE(tv_->results.back());
    EXPECT_FALSE(Tracker().EndedAsTap());
    double x1, y1, x2, y2;
    Tracker().GetLineEnds(x1, y1, x2, y2);
    EXPECT_EQ(x1, 20);
    EXPECT_EQ(y1, 280);
    EXPECT_EQ(x2, 91);
    EXPECT_EQ(y2, 230);
}

TEST_F(MapTracker, MessagesDuringTheDragAreDispatchedInQueueOrderInsideTheLoop) {
    Open();
    std::vector<std::string> order;
    static std::vector<std::string>* sink = nullptr;
    sink = &order;
    tv_->onDown = [&](POINT p) {
        order.push_back("track");
        bool r = Tracker().TrackWithStyle(View(), p.x, p.y, true, 0);
        order.push_back("tracked");
        return r;
    };
    SetTimer(frame_, 7, 25, [](HWND h, UINT, uintptr_t id, DWORD) {
        KillTimer(h, id);
        sink->push_back("timer");
    });
    std::vector<COLORREF> before = Client();
    int drawsBefore = 0;
    auto* layer = static_cast<CFillLayer*>(doc_.GetLayers().GetAt(0));
    win::input::Play(Gesture()
                         .Down(0, View(), POINT{40, 40})
                         .Move(10, View(), POINT{100, 100})
                         .Probe(15,
                                [&] {
                                    drawsBefore = layer->draws;
                                    view_->PostRefresh();
                                    order.push_back("posted");
                                })
                         .Move(20, View(), POINT{110, 120})
                         .Probe(40, [&] { order.push_back("probe"); })
                         .Up(50, View(), POINT{110, 120}));
    Pump();
    KillTimer(frame_, 7);
    ASSERT_GE(order.size(), 5u);
    EXPECT_EQ(order[0], "track");
    EXPECT_EQ(order[1], "posted");
    // The refresh ran inside the loop (the layer drew again) before the
    // timer, which came due at 25; both before the pen went up.
    auto at = [&](const char* what) { return std::find(order.begin(), order.end(), what) - order.begin(); };
    EXPECT_LT(at("timer"), at("tracked"));
    EXPECT_LT(at("probe"), at("tracked"));
    EXPECT_GT(layer->draws, drawsBefore);
    ASSERT_EQ(tv_->results.size(), 1u);
    EXPECT_TRUE(tv_->results[0]);
    // The repaint in the middle left no band behind.
    EXPECT_EQ(Client(), before);
    sink = nullptr;
}

TEST_F(MapTracker, ItRefusesToStartWhileAnotherWindowHoldsThePen) {
    Open();
    HWND other = CreateWindowEx(0, u"ZnTrackerTestFrame", u"other", WS_POPUP | WS_VISIBLE, 0, 0, 10,
                                10, nullptr, nullptr, nullptr, nullptr);
    tv_->onDown = [&](POINT p) { return Tracker().TrackWithStyle(View(), p.x, p.y, true, 0); };
    // The pen-down reaches the view by a send while the other holds it.
    SetCapture(other);
    SendMessage(View(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
    EXPECT_EQ(Tracker().LastEnd(), TrackEnd::Refused);
    ASSERT_EQ(tv_->results.size(), 1u);
    EXPECT_FALSE(tv_->results[0]);
    EXPECT_EQ(GetCapture(), other);
    ReleaseCapture();
    DestroyWindow(other);
}

TEST_F(MapTracker, AMessageBoxOpenedByATimerEndsTheLoop) {
    Open();
    tv_->onDown = [&](POINT p) { return Tracker().TrackWithStyle(View(), p.x, p.y, true, 0); };
    SetTimer(frame_, 9, 15, [](HWND h, UINT, uintptr_t id, DWORD) {
        KillTimer(h, id);
        MessageBox(h, u"No GPS data", u"Zarnip", MB_OK);
    });
    std::vector<COLORREF> before = Client();
    win::input::Play(Gesture()
                         .Down(0, View(), POINT{40, 40})
                         .Move(10, View(), POINT{100, 100})
                         .Move(30, View(), POINT{120, 130})
                         .Up(40, View(), POINT{120, 130}));
    Pump();
    ASSERT_EQ(tv_->results.size(), 1u);
    EXPECT_FALSE(tv_->results[0]);
    EXPECT_EQ(Tracker().LastEnd(), TrackEnd::CaptureLost);
    EXPECT_EQ(win::MessageBoxLog().size(), 1u);
    // The band is gone: the view painted afresh.
    EXPECT_EQ(Client(), before);
    // The moves and the pen-up after it reached the view itself.
    EXPECT_EQ(tv_->penUps, 1);
}

TEST_F(MapTracker, CircleAndEllipseRectanglesOnTheMap) {
    Open();
    tv_->onDown = [&](POINT p) { return Tracker().TrackWithStyle(View(), p.x, p.y, true, 8); };
    win::input::Play(Gesture().Down(0, View(), POINT{100, 100}).Move(10, View(), POINT{130, 140}).Up(20, View(), POINT{130, 140}));
    Pump();
    ASSERT_TRUE(tv_->results.back());
    // Map units are pixels here, y up from the bottom (300).
    CDoubleRect c = Tracker().GetCircleRect();
    EXPECT_DOUBLE_EQ(c.xmin, 100 - 50.0);
    EXPECT_DOUBLE_EQ(c.xmax, 100 + 50.0);
    EXPECT_DOUBLE_EQ(c.ymin, 200 - 50.0);
    EXPECT_DOUBLE_EQ(c.ymax, 200 + 50.0);
    CDoubleRect e = Tracker().GetEllipseRect();
    EXPECT_DOUBLE_EQ(e.xmin, 70);
    EXPECT_DOUBLE_EQ(e.xmax, 130);
    EXPECT_DOUBLE_EQ(e.ymin, 160);
    EXPECT_DOUBLE_EQ(e.ymax, 240);
    CDoubleRect t = Tracker().GetTrackRect();
    EXPECT_DOUBLE_EQ(t.xmin, 100);
    EXPECT_DOUBLE_EQ(t.ymin, 160);
    EXPECT_DOUBLE_EQ(t.xmax, 130);
    EXPECT_DOUBLE_EQ(t.ymax, 200);
    EXPECT_EQ(Tracker().GetShortSide(), 30);
}

}  // namespace
