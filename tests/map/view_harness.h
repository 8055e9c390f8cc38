// The map view under test: a host frame with the view in it (screen 240x320,
// view client 240x300 unless a test asks for another size), a fake clock,
// the screen at 96 dpi, the recording doubles of the main window, shell and
// script services, a map document, and helpers that act as the user through
// the message queue and read the real window surface back. When a test
// fails, the view's surface and its buffer are written as .bmp files beside
// the test log.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "crs/coord_sys.h"
#include "map/layers/layer_factory.h"
#include "map/layers/layer.h"
#include "map/layers/map_doc.h"
#include "map/layers/shape_layer.h"
#include "map/services/script_events.h"
#include "map/view/map_view.h"
#include "platform/gdi/gdi.h"
#include "platform/sys/thread.h"
#include "platform/win/input.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "tests/map/map_doubles.h"

namespace viewtest {

// A layer that fills map rectangles in one colour through its draw
// transform, counts its draws and can run a hook while it draws.
class CFillLayer : public CLayer {
public:
    // Tests set what a layer class says of itself.
    using CLayer::SetCategory;
    using CLayer::SetDisplayClass;
    using CLayer::SetHyperlinkField;
    using CLayer::SetKind;
    CFillLayer(COLORREF colour, std::vector<CDoubleRect> rects) : colour_(colour), rects_(std::move(rects)) {
        SetDisplayClass(DisplayClass::Polygon);
        SetKind(LayerKind::Bitmap);  // an extent without a table
        CDoubleRect extent = rects_.empty() ? CDoubleRect() : rects_[0];
        for (const auto& r : rects_) CDoubleRect::Union(extent, extent, r);
        SetExtent(extent);
    }
    bool OpenDataset(const WString&) override { return true; }
    void CloseDataset() override {}
    void OnViewChanged() override {}
    bool CanEdit() override { return true; }
    bool SetEditMode(bool) override { return true; }
    bool Draw(HDC target, HDC, double) override {
        ++draws;
        lastTarget = target;
        if (onDraw) onDraw();
        HBRUSH brush = CreateSolidBrush(colour_);
        for (const auto& r : rects_) {
            POINT a = MapToDevice(r.xmin, r.ymax), b = MapToDevice(r.xmax, r.ymin);
            RECT rc{a.x, a.y, b.x, b.y};
            FillRect(target, &rc, brush);
        }
        DeleteObject(brush);
        return true;
    }
    int draws = 0;
    HDC lastTarget = nullptr;
    std::function<void()> onDraw;

private:
    COLORREF colour_;
    std::vector<CDoubleRect> rects_;
};

// The test clock: fake time, with a probe that runs at each sleep before
// the time moves on (what the user sees while the view waits).
class ProbeClock : public sys::FakeClock {
public:
    void SleepMs(uint32_t ms) override {
        if (onSleep) onSleep(ms);
        Advance(ms);
    }
    std::function<void(uint32_t)> onSleep;
};

// Surface pixels are 0x00RRGGBB; the view's colours are COLORREF 0x00BBGGRR.
inline COLORREF SurfaceToColorref(uint32_t p) {
    return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
}

// A 32-bit bottom-up .bmp of a surface.
inline void WriteBmp(const std::string& path, HBITMAP bitmap) {
    int w = 0, h = 0, stride = 0;
    uint32_t* px = bitmap ? gdi::SurfacePixels(bitmap, &w, &h, &stride) : nullptr;
    if (!px || w <= 0 || h <= 0) return;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, f); };
    uint32_t size = static_cast<uint32_t>(w * h * 4);
    u16(0x4D42), u32(54 + size), u32(0), u32(54);
    u32(40), u32(static_cast<uint32_t>(w)), u32(static_cast<uint32_t>(h)), u16(1), u16(32), u32(0),
        u32(size), u32(3780), u32(3780), u32(0), u32(0);
    for (int y = h - 1; y >= 0; --y)
        std::fwrite(reinterpret_cast<const uint8_t*>(px) + static_cast<size_t>(y) * static_cast<size_t>(stride), 4,
                    static_cast<size_t>(w), f);
    std::fclose(f);
}

// The view with a record of the pen and key messages that reached it.
class CRecordingMapView : public CMapView {
public:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if ((msg >= WM_LBUTTONDOWN && msg <= WM_LBUTTONDBLCLK) || msg == WM_KEYDOWN || msg == WM_KEYUP)
            input.push_back(msg);
        return CMapView::WindowProc(msg, wParam, lParam);
    }
    std::vector<UINT> input;
};

class ViewHarness : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        sys::SetClock(&clock_);
        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, 96, 96});
        win::SetScreenSize(240, 320);
        win::ClearMessageBoxLog();
        ResetCurrentMapViewForTests();
        SetLayersDialogRunner(nullptr);
        win::input::SetStallHandler([](const char* loop) {
            ADD_FAILURE() << "a message wait can never end: " << loop;
        });
        mapObject_ = CreatePlainScriptObject();
        SetMapScriptObject(mapObject_);
    }
    void TearDown() override {
        if (HasFailure() && view_) {
            const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
            std::string base = std::string(info->test_suite_name()) + "." + info->name();
            WriteBmp(base + ".surface.bmp", win::GetWindowSurface(view_->GetSafeHwnd()));
            WriteBmp(base + ".buffer.bmp", view_->GetBufferBitmap());
        }
        if (view_) {
            EXPECT_TRUE(FiniteExtent(view_->GetExtent()));
            EXPECT_TRUE(doc_.GetMapExtent().IsEmpty() || FiniteExtent(doc_.GetMapExtent()));
            doc_.RemoveView(view_.get());
            view_.reset();
        }
        if (frame_) DestroyWindow(frame_);
        frame_ = nullptr;
        doc_.GetLayers().RemoveAll();
        SetLayersDialogRunner(nullptr);
        ResetCurrentMapViewForTests();
        win::input::ClearScheduledSteps();
        win::input::SetStallHandler(nullptr);
        sys::SetClock(nullptr);
        SetMapScriptObject(nullptr);
        if (mapObject_) mapObject_->Release();
        mapObject_ = nullptr;
        MapTest::TearDown();
    }

    static bool FiniteExtent(const CDoubleRect& r) {
        return std::isfinite(r.xmin) && std::isfinite(r.ymin) && std::isfinite(r.xmax) &&
               std::isfinite(r.ymax);
    }

    // A new map (with the default system unless one is given), the layers
    // added bottom last, the frame and the view created, the initial update
    // run, and the queue pumped until idle.
    void OpenView(int width = 240, int height = 300) {
        doc_.OnNewDocument();
        if (coordSys_) doc_.SetMapCoordSys(coordSys_, false);
        coordSys_ = nullptr;
        for (CLayer* layer : pendingLayers_) doc_.GetLayers().AddTail(std::unique_ptr<CLayer>(layer));
        pendingLayers_.clear();
        if (hasExtent_) doc_.SetMapExtent(extent_);
        CreateView(width, height);
    }
    // The frame and the view over the document as it stands (one opened
    // from a file, say), the initial update run, the queue pumped.
    void CreateView(int width = 240, int height = 300) {
        WNDCLASS wc;
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = u"ZnViewTestFrame";
        RegisterClass(wc);  // again after each reset of the window model
        // The screen, or more for a larger view.
        frame_ = CreateWindowEx(0, u"ZnViewTestFrame", u"Zarnip", WS_POPUP | WS_VISIBLE, 0, 0,
                                std::max(240, width), std::max(320, height), nullptr, nullptr,
                                nullptr, nullptr);
        view_ = std::make_unique<CRecordingMapView>();
        view_->SetDocument(&doc_);
        doc_.AddView(view_.get());
        ASSERT_TRUE(view_->Create(frame_, RECT{0, 0, width, height}, 0xE900));
        view_->OnInitialUpdate();
        SetFocus(view_->GetSafeHwnd());
        Pump();
    }
    // The view over the map square (0, 0)-(100, 100) with the shapefiles
    // made before as \d\NAME.shp added, each on top of the one before;
    // the last added (null when one does not open).
    CLayer* OpenShapefileView(std::initializer_list<const char*> names, int width = 240,
                              int height = 300) {
        UseBuiltInLayerClass(LayerKind::Shape);
        UseExtent(CDoubleRect(0, 0, 100, 100));
        OpenView(width, height);
        CLayer* layer = nullptr;
        for (const char* name : names) {
            WString path = u"\\d\\";
            for (const char* c = name; *c; ++c) path += static_cast<WChar>(*c);
            if (!doc_.AddLayerFromPath(path + u".shp", &layer)) return nullptr;
        }
        view_->ZoomToExtent(CDoubleRect(0, 0, 100, 100), false, 1.0);
        Pump();
        return layer;
    }
    // A refresh that a tap at `at` interrupts while the layer draws.
    void InterruptedRefresh(CFillLayer* layer, POINT at) {
        layer->onDraw = [this, layer, at] {
            HWND view = View();
            POINT tap = at;
            layer->onDraw = nullptr;  // ends this closure: use only the copies
            win::input::TapAt(view, tap);
        };
        Command(ID_VIEW_REFRESH);
    }
    void AddLayer(CLayer* layer) { pendingLayers_.push_back(layer); }
    void UseCoordSys(CCoordSys* cs) { coordSys_ = cs; }
    void UseExtent(const CDoubleRect& e) {
        extent_ = e;
        hasExtent_ = true;
    }

    HWND View() const { return view_->GetSafeHwnd(); }
    // Everything queued, painted and due, as after a user's action; then
    // the fake clock moves to each step of a playing gesture in turn.
    void Pump() {
        for (;;) {
            win::input::DrainQueue();
            uint64_t next = win::input::NextStepTime();
            if (next == UINT64_MAX) break;
            uint64_t now = sys::GetTickCount64();
            if (next > now) clock_.Advance(next - now);
            else win::input::RunDueSteps();
        }
    }
    void Command(UINT id) {
        PostMessage(View(), WM_COMMAND, id, 0);
        Pump();
    }
    void KeyPress(UINT vk) {
        win::input::Key(vk);
        Pump();
    }
    // Forces a paint of the whole client now.
    void Repaint() {
        InvalidateRect(View(), nullptr, false);
        Pump();
    }

    // The client area as COLORREFs, row by row.
    std::vector<COLORREF> Client() const {
        POINT offset{};
        HBITMAP surface = win::GetWindowSurface(View(), &offset);
        int w = 0, h = 0, stride = 0;
        uint32_t* px = gdi::SurfacePixels(surface, &w, &h, &stride);
        std::vector<COLORREF> out;
        int cw = view_->GetClientWidth(), ch = view_->GetClientHeight();
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x) {
                int sx = x + offset.x, sy = y + offset.y;
                uint32_t p = (sx < w && sy < h) ? px[static_cast<size_t>(sy) * static_cast<size_t>(stride / 4) + static_cast<size_t>(sx)] : 0;
                out.push_back(SurfaceToColorref(p));
            }
        return out;
    }
    COLORREF Pixel(int x, int y) const {
        return Client()[static_cast<size_t>(y) * static_cast<size_t>(view_->GetClientWidth()) + static_cast<size_t>(x)];
    }

    // Script events fired by the view, in order.
    std::vector<int> ScriptEvents() const {
        std::vector<int> ids;
        for (const auto& e : script_.events)
            if (e.source == mapObject_) ids.push_back(e.id);
        return ids;
    }

    ProbeClock clock_;
    IDispatch* mapObject_ = nullptr;
    CMapDoc doc_;
    std::unique_ptr<CMapView> view_;
    // Pen and key messages that reached the view opened by OpenView.
    const std::vector<UINT>& ViewInput() const {
        return static_cast<const CRecordingMapView&>(*view_).input;
    }
    HWND frame_ = nullptr;

private:
    std::vector<CLayer*> pendingLayers_;
    CCoordSys* coordSys_ = nullptr;
    CDoubleRect extent_;
    bool hasExtent_ = false;
};

}  // namespace viewtest
