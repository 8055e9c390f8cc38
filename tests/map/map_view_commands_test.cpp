// The map view's commands and keys, as queued WM_COMMANDs and key presses.
#include <string>

#include "crs/coord_sys.h"
#include "map/layers/bookmarks.h"
#include "map/layers/tracklog_layer.h"
#include "map/services/preferences.h"
#include "tests/map/view_harness.h"

namespace {

using viewtest::CFillLayer;
using viewtest::ViewHarness;

class MapViewCommands : public ViewHarness {
protected:
    double Width() const { return view_->GetExtent().xmax - view_->GetExtent().xmin; }
    void Center(double& x, double& y) const { view_->GetExtent().GetCenter(x, y); }
    CLayer* PointLayer(const std::string& name, const std::vector<std::string>& points) {
        MakePointShapefile("d", name, points);
        auto* layer = new CTestShapeLayer();
        layer->SetDisplayClass(DisplayClass::Point);
        EXPECT_TRUE(layer->Open(text::FromUtf8("\\d\\" + name + ".shp").c_str()));
        return layer;
    }
};

TEST_F(MapViewCommands, FixedZoomPreviousAndNext) {
    OpenView();
    view_->ZoomToExtent(CDoubleRect(0, 0, 100, 100), false, 1.0);
    double w0 = Width();
    Command(ID_VIEW_FIXEDZOOMIN);
    EXPECT_NEAR(Width(), w0 * 0.5, 1e-9);
    Command(ID_VIEW_FIXEDZOOMOUT);
    Command(ID_VIEW_FIXEDZOOMOUT);
    EXPECT_NEAR(Width(), w0 * 2, 1e-9);
    Command(ID_VIEW_ZOOMPREVIOUS);
    EXPECT_NEAR(Width(), w0, 1e-9);
    Command(ID_VIEW_ZOOMPREVIOUS);
    EXPECT_NEAR(Width(), w0 * 0.5, 1e-9);
    Command(ID_VIEW_ZOOMNEXT);
    EXPECT_NEAR(Width(), w0, 1e-9);
    double cx, cy;
    Center(cx, cy);
    EXPECT_NEAR(cx, 50, 1e-9);
    EXPECT_NEAR(cy, 50, 1e-9);
    // The scale pane follows every zoom.
    EXPECT_FALSE(mainWindow_.scaleTexts.empty());
    EXPECT_EQ(mainWindow_.scaleTexts.back().rfind(u"1:", 0), 0u);
}

TEST_F(MapViewCommands, FullExtent) {
    auto* a = new CFillLayer(0xFF0000, {CDoubleRect(0, 0, 10, 10)});
    auto* b = new CFillLayer(0x00FF00, {CDoubleRect(20, 30, 40, 50)});
    AddLayer(a);
    AddLayer(b);
    OpenView();
    Command(ID_VIEW_FIXEDZOOMIN);
    Command(ID_VIEW_ZOOMFULLEXTENT);
    double cx, cy;
    Center(cx, cy);
    EXPECT_NEAR(cx, 20, 1e-9);
    EXPECT_NEAR(cy, 25, 1e-9);
    // Margin 1.1 on the 50 units of height: 55 across 300 pixels.
    EXPECT_NEAR(view_->GetXScale(), 300 / 55.0, 1e-9);
    // All layers hidden: string 8400 and the extent kept.
    a->SetVisible(false);
    b->SetVisible(false);
    CDoubleRect before = view_->GetExtent();
    Command(ID_VIEW_ZOOMFULLEXTENT);
    EXPECT_EQ(view_->GetExtent(), before);
    ASSERT_EQ(MessageTexts().size(), 1u);
    EXPECT_EQ(MessageTexts()[0], u"No visible layers! All layers set to invisible.");
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].type & 0xF0, MB_ICONEXCLAMATION);
}

TEST_F(MapViewCommands, FullExtentWithoutLayers) {
    OpenView();  // geographic
    view_->ZoomToExtent(CDoubleRect(0, 0, 1, 1), false, 1.0);
    Command(ID_VIEW_ZOOMFULLEXTENT);
    double cx, cy;
    Center(cx, cy);
    EXPECT_NEAR(cx, 0, 1e-9);
    EXPECT_NEAR(cy, 0, 1e-9);
    EXPECT_NEAR(Width(), 360, 1e-9);
    EXPECT_EQ(view_->GetHistoryPosition(), 0);
    // A projected map stays where it is.
    doc_.SetMapCoordSys(MakeCoordSys(kUtm33Wkt), false);
    view_->ZoomToExtent(CDoubleRect(0, 0, 1, 1), false, 1.0);
    CDoubleRect before = view_->GetExtent();
    Command(ID_VIEW_ZOOMFULLEXTENT);
    EXPECT_EQ(view_->GetExtent(), before);
}

TEST_F(MapViewCommands, ZoomToLayerAndBookmarkIgnoreStaleIds) {
    AddLayer(new CFillLayer(0xFF0000, {CDoubleRect(0, 0, 10, 10)}));
    AddLayer(new CFillLayer(0x00FF00, {CDoubleRect(100, 100, 120, 120)}));
    mainWindow_.bookmarks.Add(u"far", CDoubleRect(500, 500, 600, 600), true);
    OpenView();
    double cx, cy;
    Command(2100);  // the last layer of the list
    Center(cx, cy);
    EXPECT_NEAR(cx, 110, 1e-9);
    Command(2101);
    Center(cx, cy);
    EXPECT_NEAR(cx, 5, 1e-9);
    EXPECT_NEAR(view_->GetXScale(), 240 / 11.0, 1e-9);  // scaled by 1.1
    Command(2200);
    Center(cx, cy);
    EXPECT_NEAR(cx, 550, 1e-9);
    CDoubleRect before = view_->GetExtent();
    int pos = view_->GetHistoryPosition();
    for (UINT stale : {2102u, 2199u, 2201u, 2299u}) Command(stale);
    EXPECT_EQ(view_->GetExtent(), before);
    EXPECT_EQ(view_->GetHistoryPosition(), pos);
}

TEST_F(MapViewCommands, SelectedFeatureCommands) {
    AddLayer(PointLayer("pts", {"10 20", "30 40"}));
    OpenView();
    CLayer* layer = doc_.GetLayers().GetAt(0);
    EXPECT_FALSE(view_->QueryCommand(ID_VIEW_CENTERONSELECTED).m_bEnabled);
    EXPECT_FALSE(view_->QueryCommand(ID_VIEW_ZOOMTOSELECTED).m_bEnabled);
    EXPECT_TRUE(view_->QueryCommand(ID_VIEW_FIND).m_bEnabled);  // the map has layers
    EXPECT_TRUE(view_->QueryCommand(ID_VIEW_ZOOMPREVIOUS).m_bEnabled);
    // Nothing selected: zoom to selected does nothing.
    CDoubleRect before = view_->GetExtent();
    Command(ID_VIEW_ZOOMTOSELECTED);
    EXPECT_EQ(view_->GetExtent(), before);

    doc_.GetLayers().SetCurrentFeature(layer, 1);
    EXPECT_TRUE(view_->QueryCommand(ID_VIEW_GOTOSELECTEDFEATURE).m_bEnabled);
    Command(ID_VIEW_CENTERONSELECTED);
    double cx, cy;
    Center(cx, cy);
    EXPECT_NEAR(cx, 30, 1e-9);
    EXPECT_NEAR(cy, 40, 1e-9);
    Command(ID_VIEW_ZOOMTOSELECTEDFEATURE);  // a point: 5 % of the old extent
    Center(cx, cy);
    EXPECT_NEAR(cx, 30, 1e-9);
    // The destination's events go to the script's Navigation object.
    IDispatch* navigation = CreatePlainScriptObject();
    SetNavigationScriptObject(navigation);
    Command(ID_VIEW_GOTOSELECTEDFEATURE);
    SetNavigationScriptObject(nullptr);
    const GoToDestination& d = view_->GetDestination();
    EXPECT_TRUE(d.set);
    EXPECT_EQ(d.label, u"MARK");
    EXPECT_DOUBLE_EQ(d.longitude, 30);
    EXPECT_DOUBLE_EQ(d.latitude, 40);
    bool gotoFired = false;
    for (const auto& e : script_.events) gotoFired |= e.source == navigation && e.id == kEventOnGoto;
    EXPECT_TRUE(gotoFired);
    navigation->Release();
}

TEST_F(MapViewCommands, LayersCommandUpdatesOnlyWhenSomethingChanged) {
    AddLayer(new CFillLayer(0xFF0000, {CDoubleRect(0, 0, 10, 10)}));
    OpenView();
    bool changed = false;
    int runs = 0;
    SetLayersDialogRunner([&](CMapDoc*) {
        ++runs;
        return changed;
    });
    doc_.SetModifiedFlag(false);
    Command(ID_VIEW_LAYERS);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(doc_.IsModified());
    changed = true;
    Command(ID_VIEW_LAYERS);
    EXPECT_TRUE(doc_.IsModified());
}

TEST_F(MapViewCommands, KeysCycleTheModeAndPanOrZoom) {
    OpenView();
    view_->ZoomToExtent(CDoubleRect(0, 0, 60, 60), false, 1.0);
    double w0 = Width();
    double cx0, cy0, cx, cy;
    Center(cx0, cy0);
    // Mode 0: Up zooms out, Down zooms in; Left and Right pan.
    KeyPress(VK_UP);
    EXPECT_NEAR(Width(), w0 * 2, 1e-9);
    KeyPress(VK_DOWN);
    EXPECT_NEAR(Width(), w0, 1e-9);
    KeyPress(VK_RIGHT);
    Center(cx, cy);
    EXPECT_NEAR(cx - cx0, w0 / 6, 1e-9);
    KeyPress(VK_LEFT);
    // F11 and F23 cycle the mode with a beep and the mode pane.
    size_t beeps = win::BeepLog().size();
    KeyPress(122);
    EXPECT_EQ(view_->GetArrowKeyMode(), ArrowKeyMode::VerticalPan);
    KeyPress(VK_UP);  // north by a sixth of the height
    Center(cx, cy);
    double h = view_->GetExtent().ymax - view_->GetExtent().ymin;
    EXPECT_NEAR(cy - cy0, h / 6, 1e-9);
    KeyPress(VK_DOWN);
    KeyPress(134);
    EXPECT_EQ(view_->GetArrowKeyMode(), ArrowKeyMode::HorizontalPan);
    KeyPress(VK_UP);  // west
    Center(cx, cy);
    EXPECT_NEAR(cx - cx0, -w0 / 6, 1e-9);
    KeyPress(122);
    EXPECT_EQ(view_->GetArrowKeyMode(), ArrowKeyMode::Zoom);
    std::vector<UINT> log = win::BeepLog();
    ASSERT_EQ(log.size(), beeps + 3);
    EXPECT_EQ(log.back(), 0x40u);
    std::vector<WString> letters(mainWindow_.modeLetters.end() - 3, mainWindow_.modeLetters.end());
    EXPECT_EQ(letters, (std::vector<WString>{u"V", u"H", u"Z"}));
    // A bound function key runs its command and stops there.
    mainWindow_.boundKeyResult = 1;
    KeyPress(122);
    EXPECT_EQ(view_->GetArrowKeyMode(), ArrowKeyMode::Zoom);
    EXPECT_EQ(mainWindow_.boundKeys.back(), 10);
}

TEST_F(MapViewCommands, KeysAsATimedGesture) {
    OpenView();
    // F11 held for 300 ms, then Down 100 ms later: the mode changes on the
    // release, so Down pans south.
    view_->ZoomToExtent(CDoubleRect(0, 0, 60, 60), false, 1.0);
    double cx0, cy0, cx, cy;
    Center(cx0, cy0);
    uint64_t start = sys::GetTickCount64();
    ArrowKeyMode modeDuringHold = ArrowKeyMode::HorizontalPan;
    win::input::Play(win::input::Gesture()
                         .KeyDown(0, 122)
                         .Probe(150, [&] { modeDuringHold = view_->GetArrowKeyMode(); })
                         .KeyUp(300, 122)
                         .KeyDown(400, VK_DOWN)
                         .KeyUp(450, VK_DOWN));
    Pump();
    EXPECT_EQ(sys::GetTickCount64() - start, 450u);
    EXPECT_EQ(modeDuringHold, ArrowKeyMode::Zoom);
    EXPECT_EQ(view_->GetArrowKeyMode(), ArrowKeyMode::VerticalPan);
    Center(cx, cy);
    EXPECT_NEAR(cx, cx0, 1e-9);
    EXPECT_LT(cy, cy0);
}

TEST_F(MapViewCommands, AWaitThatCanNeverEndFailsInsteadOfHanging) {
    OpenView();
    static std::string reported;
    reported.clear();
    win::input::SetStallHandler([](const char* loop) { reported = loop; });
    MSG m;
    EXPECT_FALSE(GetMessage(&m, nullptr, 0, 0));  // the quit that ends the loop
    EXPECT_EQ(reported, "GetMessage");
}

TEST_F(MapViewCommands, APannedMapIsSavedWhereItWasLeft) {
    AddLayer(new CFillLayer(0xFF0000, {CDoubleRect(0, 0, 100, 100)}));
    OpenView();
    Command(ID_VIEW_FIXEDZOOMIN);
    KeyPress(VK_RIGHT);
    EXPECT_EQ(doc_.GetMapExtent(), view_->GetExtent());
    ASSERT_TRUE(doc_.WriteMapFile(u"\\Docs\\m.znm"));
    CMapDoc again;
    ASSERT_TRUE(again.ReadMapFile(u"\\Docs\\m.znm", false));
    const CDoubleRect& saved = again.GetMapExtent();
    const CDoubleRect& shown = view_->GetExtent();
    EXPECT_NEAR(saved.xmin, shown.xmin, 1e-6);
    EXPECT_NEAR(saved.ymin, shown.ymin, 1e-6);
    EXPECT_NEAR(saved.xmax, shown.xmax, 1e-6);
    EXPECT_NEAR(saved.ymax, shown.ymax, 1e-6);
}

TEST_F(MapViewCommands, F5RepaintsWithErase) {
    auto* dynamic = new CFillLayer(0x0000FF, {CDoubleRect(0, 0, 10, 10)});
    dynamic->SetDynamic(true);
    AddLayer(dynamic);
    OpenView();
    int draws = dynamic->draws;
    KeyPress(116);
    EXPECT_EQ(dynamic->draws, draws + 1);
}

TEST_F(MapViewCommands, FullExtentOfTheTracklogOnAProjectedMap) {
    GetPreferences()->Data().tracklog.name = u"\\TrackLog.shp";
    OpenView();
    CCoordSys* utm = MakeCoordSys(kUtm33Wkt);
    doc_.SetMapCoordSys(utm, false);
    CTracklogLayer& track = doc_.GetLayers().GetTracklog();
    GpsPosition p{};
    p.satellitesUsed = 0xFFFE;
    ASSERT_TRUE(track.AppendPosition(utm, {14.5, 47.0, 0, 0}, {14.5, 47.0, 0, 0}, {}, p));
    ASSERT_TRUE(track.AppendPosition(utm, {15.5, 47.5, 0, 0}, {15.5, 47.5, 0, 0}, {}, p));
    track.CloseFile();
    track.SetVisible(true);
    Command(ID_VIEW_ZOOMFULLEXTENT);
    // The two points in map units lie inside the extent shown, which is a
    // few kilometres across, not a few degrees.
    const CDoubleRect e = view_->GetExtent();
    for (const auto& ll : {std::pair{14.5, 47.0}, std::pair{15.5, 47.5}}) {
        double x, y;
        utm->GeographicToProjected(ll.first, ll.second, &x, &y);
        EXPECT_TRUE(e.xmin <= x && x <= e.xmax && e.ymin <= y && y <= e.ymax) << x << " " << y;
    }
    EXPECT_GT(e.xmax - e.xmin, 50000);
    EXPECT_LT(e.xmax - e.xmin, 500000);
    track.SetVisible(false);
}

}  // namespace
