// The identify window beside the map and the Find dialog with its results,
// as Qt's offscreen display presents them: the map's part of the presented
// frame equals the view's surface (with the identify circle on it), and the
// pictures are kept for review (ZN_SHOT_DIR, else the working folder).
#include <QGuiApplication>
#include <QImage>
#include <QWindow>

#include <cstdlib>

#include "map/dialogs/find_dlg.h"
#include "platform/qt/display.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"
#include "tests/map/identify_harness.h"

namespace {

znqt::Display* g_display = nullptr;

class DisplayEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "map_query_qt_test";
        static char* argv[] = {name, nullptr};
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        std::string error;
        display_ = znqt::Display::Start(argc, argv, &error);
        ASSERT_TRUE(display_) << error;
        g_display = display_.get();
    }
    void TearDown() override {
        g_display = nullptr;
        display_.reset();
    }

private:
    std::unique_ptr<znqt::Display> display_;
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

std::string ShotPath(const char* name) {
    const char* dir = std::getenv("ZN_SHOT_DIR");
    return (dir && *dir ? std::string(dir) + "/" : std::string()) + name;
}

class QueryQt : public viewtest::IdentifyHarness {
protected:
    // Boxes answer as their default button would: on the display they would
    // wait for a real user.
    void SetUp() override {
        IdentifyHarness::SetUp();
        win::SetMessageBoxResponder([](const win::MessageBoxRecord& box) { return win::MessageBoxDefaultAnswer(box.type); });
    }
    void TearDown() override {
        win::SetMessageBoxResponder(nullptr);
        IdentifyHarness::TearDown();
    }
    // The view's part of the presented frame against its surface.
    int DifferingPixels(const QImage& shown) {
        const std::vector<COLORREF> surface = Client();
        const int w = view_->GetClientWidth(), h = view_->GetClientHeight();
        if (shown.width() < w || shown.height() < h) return -1;
        int differ = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const COLORREF c = surface[static_cast<size_t>(y * w + x)];
                differ += (shown.pixel(x, y) & 0xFFFFFF) != (QColor(GetRValue(c), GetGValue(c), GetBValue(c)).rgb() & 0xFFFFFF);
            }
        return differ;
    }
};

TEST_F(QueryQt, TheIdentifyWindowBesideTheMapWithItsCircle) {
    ASSERT_NE(g_display, nullptr);
    OpenEditView();
    for (CLayer* layer : {(CLayer*)points_, (CLayer*)lines_, (CLayer*)polygons_}) layer->SetIdentify(true);
    SetActiveWindow(frame_);
    Pump();
    // A tap inside G1 with the advanced-select tool (a point, as the drag
    // is short): the window lists G1 and the line through it.
    view_->SetCurrentTool(kToolAdvancedSelect);
    int px, py;
    view_->MapToScreen(20, 20, px, py);
    clock_.Advance(1000);
    win::input::Play(win::input::Gesture().Down(0, View(), POINT{px, py}).Up(20, View(), POINT{px, py}));
    Pump();
    ASSERT_TRUE(IsIdentifyWindowVisible());
    HWND dialog = Dialog().GetSafeHwnd();
    // Beside the map.
    RECT frame{};
    GetWindowRect(frame_, &frame);
    RECT r{};
    GetWindowRect(dialog, &r);
    MoveWindow(dialog, frame.right, frame.top, r.right - r.left, r.bottom - r.top, TRUE);
    Repaint();
    g_display->PresentNow();
    const QImage map = g_display->Snapshot(frame_);
    const QImage window = g_display->Snapshot(dialog);
    ASSERT_FALSE(map.isNull());
    ASSERT_FALSE(window.isNull());
    map.save(QString::fromStdString(ShotPath("identify_map.png")));
    window.save(QString::fromStdString(ShotPath("identify_window.png")));
    EXPECT_EQ(DifferingPixels(map), 0);
    // The circle is on the presented map.
    const QRgb red = QColor(255, 0, 0).rgb() & 0xFFFFFF;
    const int radius = static_cast<int>(view_->GetPenTolerance() * view_->GetXScale() + 0.5);
    EXPECT_EQ(map.pixel(px, py - std::max(radius, 1)) & 0xFFFFFF, red);
    EXPECT_NE(FindItem("1: G1"), nullptr);
}

TEST_F(QueryQt, TheFindDialogWithItsResults) {
    ASSERT_NE(g_display, nullptr);
    OpenEditView();
    SetActiveWindow(frame_);
    Pump();
    QImage shown;
    int rows = 0;
    win::PushModalHook([&](HWND d) {
        shell_.browse = [this](CFeatureLayer*& layer, int& field) {
            layer = polygons_;
            field = 0;
            return true;
        };
        SendMessage(d, WM_COMMAND, IDC_FIND_LAYER, 0);
        SetWindowText(GetDlgItem(d, IDC_FIND_TEXT), u"g");
        SendMessage(d, WM_COMMAND, IDC_FIND_FIND, 0);
        win::ListViewUserTap(GetDlgItem(d, IDC_FIND_RESULTS), 1);
        rows = static_cast<int>(SendMessage(GetDlgItem(d, IDC_FIND_RESULTS), LVM_GETITEMCOUNT, 0, 0));
        Pump();
        g_display->PresentNow();
        shown = g_display->Snapshot(d);
        EndDialog(d, IDCANCEL);
    });
    PostMessage(View(), WM_COMMAND, ID_VIEW_FIND, 0);
    Pump();
    ASSERT_FALSE(shown.isNull());
    shown.save(QString::fromStdString(ShotPath("find_dialog.png")));
    EXPECT_EQ(rows, 2);
    // The chosen match stays marked on the presented map.
    Repaint();
    g_display->PresentNow();
    const QImage map = g_display->Snapshot(frame_);
    map.save(QString::fromStdString(ShotPath("find_mark.png")));
    EXPECT_EQ(DifferingPixels(map), 0);
    EXPECT_TRUE(HasFoundFeature());
    ClearFoundFeature();
}

}  // namespace
