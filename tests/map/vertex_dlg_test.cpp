// The vertex dialogs, filled and pressed by modal hooks as a user would,
// and the vertex list's columns and cells.
#include <cmath>

#include "formats/shape/shape_record.h"
#include "map/dialogs/vertex_dlg.h"
#include "map/services/gps.h"
#include "map/services/preferences.h"
#include "platform/win/commctrl.h"
#include "platform/win/dialog.h"
#include "resources/zres.h"
#include "tests/map/view_harness.h"

using namespace viewtest;

namespace {

WString Text(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    WChar buffer[256] = {};
    GetWindowText(control, buffer, 256);
    return buffer;
}

// A receiver that is open and averages what the test says.
class CAveragingGps : public CInactiveGps {
public:
    bool IsGpsActive() override { return true; }
    void StartAveraging() override {
        ++starts;
        count = 0;
    }
    void StopAveraging() override { ++stops; }
    GpsFix GetAveragedFix() override { return GpsFix{500000 + count, 6000000, 10, 0}; }
    GpsFix GetProjectedFix() override { return GpsFix{500123, 6000456, 7, 0}; }
    int32_t GetAveragedCount() override { return count; }
    int count = 0, starts = 0, stops = 0;
};

class VertexDialogs : public ViewHarness {
protected:
    void TearDown() override {
        win::ClearModalHooks();
        SetGps(nullptr);
        ViewHarness::TearDown();
    }
    void OpenProjected() {
        UseCoordSys(MakeCoordSys(kUtm33Wkt));
        UseExtent(CDoubleRect(500000, 6000000, 501000, 6001000));
        OpenView();
    }
};

TEST_F(VertexDialogs, GeographicMapsShowDmsAndTheTypeEnablesZAndM) {
    OpenView();  // the default map is geographic
    ASSERT_EQ(view_->GetCoordinateEntryMode(), 2);
    WString x, y;
    win::PushModalHook([&](HWND dialog) {
        x = Text(dialog, IDC_VERTEX_X);
        y = Text(dialog, IDC_VERTEX_Y);
        PostMessage(dialog, WM_COMMAND, IDOK, 0);
    });
    SketchVertex v{-12.5, 45.25, 0, kNoDataMeasure};
    ASSERT_TRUE(DoVertexDialog(view_.get(), kShapePoint, v, false));
    EXPECT_NE(x.find(u'W'), WString::npos) << text::ToUtf8(x);
    EXPECT_NE(y.find(u'N'), WString::npos) << text::ToUtf8(y);
    // OK unchanged reads the same position back.
    EXPECT_NEAR(v.x, -12.5, 1e-6);
    EXPECT_NEAR(v.y, 45.25, 1e-6);
    struct Case {
        int type;
        bool z, m;
    } cases[] = {{kShapePoint, false, false}, {kShapePolylineZ, true, true},
                 {kShapePolygonM, false, true}};
    for (const Case& c : cases) {
        bool z = false, m = false;
        win::PushModalHook([&](HWND dialog) {
            z = IsWindowEnabled(GetDlgItem(dialog, IDC_VERTEX_Z));
            m = IsWindowEnabled(GetDlgItem(dialog, IDC_VERTEX_M));
            PostMessage(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_FALSE(DoVertexDialog(view_.get(), c.type, v, false));
        EXPECT_EQ(z, c.z) << c.type;
        EXPECT_EQ(m, c.m) << c.type;
    }
}

TEST_F(VertexDialogs, ProjectedMapsShowPlainNumbers) {
    OpenProjected();
    WString x;
    win::PushModalHook([&](HWND dialog) {
        x = Text(dialog, IDC_VERTEX_X);
        SetWindowText(GetDlgItem(dialog, IDC_VERTEX_Y), u"6000100.5");
        PostMessage(dialog, WM_COMMAND, IDOK, 0);
    });
    SketchVertex v{500200.25, 6000000, 0, kNoDataMeasure};
    ASSERT_TRUE(DoVertexDialog(view_.get(), kShapePolyline, v, false));
    EXPECT_EQ(x.find_first_not_of(u"0123456789.-"), WString::npos) << text::ToUtf8(x);
    EXPECT_EQ(v.x, 500200.25);
    EXPECT_EQ(v.y, 6000100.5);
}

TEST_F(VertexDialogs, TheRelativeDialogMeasuresFromTheVertexBefore) {
    OpenProjected();
    const SketchVertex base{500100, 6000100, 0, kNoDataMeasure};
    SketchVertex tap{500100, 6000200, 0, kNoDataMeasure};
    WString azimuth, length, slope;
    bool slopeEnabled = true, gpsEnabled = true;
    win::PushModalHook([&](HWND dialog) {
        azimuth = Text(dialog, IDC_RELATIVE_AZIMUTH);
        length = Text(dialog, IDC_RELATIVE_LENGTH);
        slope = Text(dialog, IDC_RELATIVE_SLOPE);
        slopeEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_RELATIVE_SLOPE));
        gpsEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_RELATIVE_GPS));
        PostMessage(dialog, WM_COMMAND, IDOK, 0);
    });
    ASSERT_TRUE(RunRelativeVertexDialog(view_.get(), kShapePolyline, tap, base));
    EXPECT_EQ(azimuth, u"0");
    EXPECT_EQ(length, u"100");
    EXPECT_EQ(slope, u"0");
    EXPECT_FALSE(slopeEnabled);
    EXPECT_FALSE(gpsEnabled);  // the GPS is closed
    EXPECT_EQ(tap.x, 500100);
    EXPECT_EQ(tap.y, 6000200);
    // Azimuth 90, length 10: 10 units east of the base.
    win::PushModalHook([&](HWND dialog) {
        SetWindowText(GetDlgItem(dialog, IDC_RELATIVE_AZIMUTH), u"90");
        SetWindowText(GetDlgItem(dialog, IDC_RELATIVE_LENGTH), u"10");
        PostMessage(dialog, WM_COMMAND, IDOK, 0);
    });
    ASSERT_TRUE(RunRelativeVertexDialog(view_.get(), kShapePolyline, tap, base));
    EXPECT_NEAR(tap.x, 500110, 1e-9);
    EXPECT_NEAR(tap.y, 6000100, 1e-9);
    // A slope out of range is refused and the dialog stays.
    bool stayed = false;
    win::PushModalHook([&](HWND dialog) {
        SetWindowText(GetDlgItem(dialog, IDC_RELATIVE_AZIMUTH), u"400");
        SendMessage(dialog, WM_COMMAND, IDOK, 0);
        stayed = win::IsDialogRunning(dialog);
        PostMessage(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(RunRelativeVertexDialog(view_.get(), kShapePolyline, tap, base));
    EXPECT_TRUE(stayed);
}

TEST_F(VertexDialogs, AveragingCountsDownAsksBeforeItEndsAndStopsWithTheWindow) {
    OpenProjected();
    CAveragingGps gps;
    SetGps(&gps);
    GetPreferences()->Data().gps.averagingEnabled = true;
    GetPreferences()->Data().gps.averagingVertex = 10;
    std::vector<WString> labels;
    bool listening = false, stayedAfterNo = false;
    win::PushModalHook([&](HWND dialog) {
        SendMessage(dialog, WM_COMMAND, static_cast<WPARAM>(IDC_VERTEX_GPS | (BN_CLICKED << 16)),
                    reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_VERTEX_GPS)));
        listening = view_->GetAveragingListener() == dialog;
        labels.push_back(Text(dialog, IDC_VERTEX_COUNT));
        auto fix = [&](int n) {
            gps.count = n;
            SendMessage(dialog, WM_AVERAGING_GPSFIX, 0, 0);
            labels.push_back(Text(dialog, IDC_VERTEX_COUNT));
        };
        fix(5);
        // OK after five: the question, No keeps averaging.
        win::QueueMessageBoxAnswers({IDNO});
        SendMessage(dialog, WM_COMMAND, IDOK, 0);
        stayedAfterNo = win::IsDialogRunning(dialog);
        fix(7);
        fix(10);
        fix(12);
        PostMessage(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    SketchVertex v{};
    EXPECT_FALSE(DoVertexDialog(view_.get(), kShapePointZ, v, false));
    EXPECT_TRUE(listening);
    EXPECT_EQ(labels, (std::vector<WString>{u"10", u"5", u"3", u"OK", u"+12"}));
    EXPECT_TRUE(stayedAfterNo);
    EXPECT_EQ(MessageTexts().back(),
              u"Position averaging default not reached. Do you want to stop averaging now?");
    // Closing the window stopped averaging and let the view go.
    EXPECT_EQ(gps.stops, 1);
    EXPECT_EQ(view_->GetAveragingListener(), nullptr);
    // Started at once, the dialog closes with OK when enough came.
    win::PushModalHook([&](HWND dialog) {
        gps.count = 10;
        SendMessage(dialog, WM_AVERAGING_GPSFIX, 0, 0);
    });
    ASSERT_TRUE(DoVertexDialog(view_.get(), kShapePointZ, v, true));
    EXPECT_EQ(v.x, 500010);
    EXPECT_EQ(v.z, 10);
}

TEST_F(VertexDialogs, TheVertexListShowsPartsIndexesAndValuesByType) {
    OpenView();
    HWND list = CreateWindowEx(0, WC_LISTVIEW, u"", WS_CHILD | LVS_REPORT, 0, 0, 240, 120, frame_,
                               reinterpret_cast<HMENU>(77), nullptr, nullptr);
    CVertexListCtrl vertices;
    ASSERT_TRUE(vertices.Attach(list));
    ASSERT_EQ(vertices.GetColumnCount(), 6);
    EXPECT_EQ(SendMessage(list, LVM_GETCOLUMNWIDTH, 0, 0), 25);
    EXPECT_EQ(SendMessage(list, LVM_GETCOLUMNWIDTH, 4, 0), 70);
    EXPECT_EQ(SendMessage(list, LVM_GETCOLUMNWIDTH, 5, 0), 45);
    // A two-part polyline with Z and M: the second part's first vertex has
    // no measure.
    ShapeRecord* shape = ShapeHeapRealloc(nullptr, ShapeRecordSize(kShapePolylineZ, 2, 3));
    ASSERT_NE(shape, nullptr);
    ASSERT_TRUE(ShapeInitRecord(nullptr, kShapePolylineZ, 2, 3, shape));
    ShapeStoreInt(ShapeGetParts(shape), 0);
    ShapeStoreInt(ShapeGetParts(shape) + 4, 2);
    for (int i = 0; i < 3; ++i) {
        ShapeStorePoint(ShapeGetPoints(shape), i, DoublePoint{1.5 + i, 2.25});
        ShapeStoreDouble(ShapeGetZArray(shape) + 8 * i, 100 + i);
        ShapeStoreDouble(ShapeGetMArray(shape) + 8 * i, i == 2 ? kNoDataMeasure : 0.125);
    }
    vertices.SetShape(shape);
    ASSERT_EQ(vertices.GetItemCount(), 3);
    auto row = [&](int r) {
        std::vector<WString> cells;
        for (int c = 0; c < 6; ++c) cells.push_back(vertices.CellText(r, c));
        return cells;
    };
    EXPECT_EQ(row(0), (std::vector<WString>{u"0", u"0", u" 1.500000", u" 2.250000",
                                            u" 100.000000", u" 0.12500000"}));
    EXPECT_EQ(row(2), (std::vector<WString>{u"1", u"0", u" 3.500000", u" 2.250000",
                                            u" 102.000000", u""}));
    // A plain polygon has no Z or M cells.
    ShapeRecord* flat = ShapeHeapRealloc(nullptr, ShapeRecordSize(kShapePolyline, 1, 2));
    ASSERT_TRUE(ShapeInitRecord(nullptr, kShapePolyline, 1, 2, flat));
    ShapeStoreInt(ShapeGetParts(flat), 0);
    vertices.SetShape(flat);
    EXPECT_EQ(vertices.CellText(1, 4), u"");
    EXPECT_EQ(vertices.CellText(1, 5), u"");
    vertices.SetShape(nullptr);
    EXPECT_EQ(vertices.GetItemCount(), 0);
    ShapeFreeBuffer(shape);
    ShapeFreeBuffer(flat);
    vertices.Detach();
    DestroyWindow(list);
}

}  // namespace
