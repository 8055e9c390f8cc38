// The identify window: the tree a tap or a rectangle gives (coordinates in
// every form, checked against GeoConvert and cs2cs; layers, features and
// attributes by the candidate rules), the buttons, the action menu, links
// and the map overlay.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "core/shell_helpers.h"
#include "formats/dbf/dbf_engine.h"
#include "map/dialogs/find_dlg.h"
#include "map/services/preferences.h"
#include "platform/win/dialog.h"
#include "platform/win/menu.h"
#include "resources/zres.h"
#include "tests/map/identify_harness.h"

namespace {

using viewtest::IdentifyHarness;

const WChar* const kWgs84 =
    u"GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137,298.257223563]],"
    u"PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.0174532925199433]]";
const WChar* const kUtm33N =
    u"PROJCS[\"WGS_1984_UTM_Zone_33N\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\","
    u"SPHEROID[\"WGS_1984\",6378137,298.257223563]],PRIMEM[\"Greenwich\",0],"
    u"UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Transverse_Mercator\"],"
    u"PARAMETER[\"False_Easting\",500000],PARAMETER[\"False_Northing\",0],"
    u"PARAMETER[\"Central_Meridian\",15],PARAMETER[\"Scale_Factor\",0.9996],"
    u"PARAMETER[\"Latitude_Of_Origin\",0],UNIT[\"Meter\",1]]";

// The stored items of tools/identify_reference.sh, by map.
std::map<std::string, std::vector<std::string>> ReferenceItems() {
    std::map<std::string, std::vector<std::string>> out;
    std::ifstream in(ZN_TEST_DATA "/map/identify_coordinates.txt");
    std::string line, map;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("map ", 0) == 0) {
            map = line.substr(4, line.find(' ', 4) - 4);
            continue;
        }
        out[map].push_back("  " + line);
    }
    return out;
}

// Our items with the spaces after '=' and leading zeros of degrees dropped,
// as the reference writes them.
std::string Normalized(std::string line) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) return line;
    size_t v = eq + 1;
    while (v < line.size() && line[v] == ' ') line.erase(v, 1);
    return line;
}

class IdentifyWindow : public IdentifyHarness {
protected:
    // A tap with the identify tool on a pixel of the view.
    void TapPixel(POINT p) {
        view_->SetCurrentTool(kToolIdentify);
        clock_.Advance(1000);
        win::input::TapAt(View(), p);
        Pump();
    }
};

// Pixel (121, 114) of a 240 x 300 view lands on the reference points: 0.01
// degree or 100 metres a pixel.
TEST_F(IdentifyWindow, ATapShowsTheCoordinatesInEveryFormTheMapKnows) {
    const auto reference = ReferenceItems();
    ASSERT_EQ(reference.size(), 2u);
    struct Case {
        const char* map;
        const WChar* wkt;
        CDoubleRect extent;
        std::vector<std::string> expected;
    };
    std::vector<Case> cases = {
        {"none", nullptr, CDoubleRect(150, -35, 152.4, -32), {"Coordinates", "  X=151.210", "  Y=-33.140"}},
        {"geographic", kWgs84, CDoubleRect(150, -35, 152.4, -32), {"Coordinates", "  Datum=D_WGS_1984"}},
        {"utm33n", kUtm33N, CDoubleRect(887900, 4981400, 911900, 5011400),
         {"Coordinates", "  Easting=900000.000", "  Northing=5000000.000", "  Datum=D_WGS_1984"}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.map);
        auto it = reference.find(c.map);
        if (it != reference.end()) c.expected.insert(c.expected.end(), it->second.begin(), it->second.end());
        if (c.wkt) UseCoordSys(MakeCoordSys(c.wkt));
        UseExtent(c.extent);
        OpenView();
        if (!c.wkt) doc_.SetMapCoordSys(nullptr, false);
        view_->ZoomToExtent(c.extent, false, 1.0);
        Pump();
        TapPixel(POINT{121, 114});
        ASSERT_TRUE(IsIdentifyWindowVisible());
        std::vector<std::string> lines;
        for (const std::string& line : TreeLines()) lines.push_back(Normalized(line));
        EXPECT_EQ(lines, c.expected);
        ReleaseIdentifyDlg();
        doc_.RemoveView(view_.get());
        view_.reset();
        DestroyWindow(frame_);
        frame_ = nullptr;
    }
}

// The fixture's layers with identify on (pts: P1 20 30, P2 70 80; lines:
// L1 10 20 - 30 20 - 30 40, L2 40 50 - 60 50; polys: G1 the square 10..30,
// G2 the triangle 50 10 - 60 30 - 70 10).
class IdentifyFeatures : public IdentifyWindow {
protected:
    void SetUp() override {
        IdentifyWindow::SetUp();
        OpenEditView();
        for (CLayer* layer : {(CLayer*)points_, (CLayer*)lines_, (CLayer*)polygons_}) layer->SetIdentify(true);
    }
    void Ask(double x, double y, double tolerance, const CDoubleRect* rect = nullptr) {
        GetIdentifyWindow()->IdentifyArea(x, y, tolerance, rect);
        Pump();
    }
    // The tree without the coordinate items.
    std::vector<std::string> Results() {
        std::vector<std::string> lines = TreeLines(), out;
        bool coordinates = false;
        for (const std::string& line : lines) {
            if (line == "Coordinates") coordinates = true;
            else if (line[0] != ' ') coordinates = false;
            if (!coordinates) out.push_back(line);
        }
        return out;
    }
    bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(Dialog().GetSafeHwnd(), id)); }
    void Click(int id) {
        SendMessage(Dialog().GetSafeHwnd(), WM_COMMAND, static_cast<WPARAM>(id), 0);
        Pump();
    }
};

TEST_F(IdentifyFeatures, CandidatesFollowThePointAndRectangleRules) {
    // Point mode: a polygon by containment far from its outline, a line
    // through the point; no point near: that layer is left out.
    Ask(20, 20, 2);
    EXPECT_EQ(Results(), (std::vector<std::string>{"lines.shp", "  1: L1", "    NAME=L1", "polys.shp",
                                                   "  1: G1", "    NAME=G1"}));
    // L1's box holds the search box, but the line is 3 away: not counted.
    Ask(20, 23, 2);
    EXPECT_EQ(Results(), (std::vector<std::string>{"polys.shp", "  1: G1", "    NAME=G1"}));
    // Identify off: never listed.
    polygons_->SetIdentify(false);
    Ask(20, 23, 2);
    EXPECT_TRUE(Results().empty());
    polygons_->SetIdentify(true);

    // Rectangle mode. Inside G1 but 10 from its outline: neither its box
    // lies within nor is the outline within half the diagonal.
    const CDoubleRect inside(18, 18, 22, 22);
    Ask(20, 20, 2, &inside);
    EXPECT_EQ(Results(), (std::vector<std::string>{"lines.shp", "  1: L1", "    NAME=L1"}));
    // A point on the rectangle's corner counts; G2's box lies within.
    const CDoubleRect corner(20, 10, 75, 30);
    Ask(47.5, 20, 2, &corner);
    EXPECT_EQ(Results(), (std::vector<std::string>{"pts.shp", "  1: P1", "    NAME=P1", "lines.shp",
                                                   "  1: L1", "    NAME=L1", "polys.shp", "  1: G1",
                                                   "    NAME=G1", "  2: G2", "    NAME=G2"}));
}

// An extension layer over the lines file whose search offers every record.
class CEveryRecordLayer : public CTestShapeLayer {
public:
    using CLayer::SetIdentifiable;
    using CLayer::SetName;
    int FindNext(int record, const CDoubleRect*) override {
        return record < DbfGetRecordCount(GetTable()) ? record + 1 : 0;
    }
};

TEST_F(IdentifyFeatures, AnExtensionLayersCandidatesAlwaysCount) {
    auto* extension = new CEveryRecordLayer();
    extension->SetKind(LayerKind::Extension);
    ASSERT_TRUE(extension->OpenDataset(u"\\d\\lines.shp"));
    extension->SetName(u"ext");
    doc_.GetLayers().AddHead(std::unique_ptr<CLayer>(extension));
    extension->SetIdentifiable(true);
    extension->SetIdentify(true);
    // Neither line is within the tolerance; both are the layer's answer.
    Ask(90, 90, 2);
    EXPECT_EQ(Results(), (std::vector<std::string>{"ext", "  1: L1", "    NAME=L1", "  2: L2", "    NAME=L2"}));
    TVITEM tv;
    tv.mask = TVIF_IMAGE | TVIF_HANDLE;
    tv.hItem = FindItem("ext");
    SendMessage(Tree(), TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&tv));
    EXPECT_EQ(tv.iImage, CIdentifyDlg::kImageOtherLayer);
    // Info does not serve extension layers (their properties are this window).
    EXPECT_FALSE(Enabled(IDC_IDENTIFY_INFO));
}

TEST_F(IdentifyFeatures, OneFeatureShowsItsExtentAndFieldsAtItsCentre) {
    Dialog().IdentifyFeature(polygons_, 2);
    Pump();
    auto lines = TreeLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Coordinates");
    // The default map is geographic: the point is G2's centre (60, 20).
    EXPECT_EQ(Normalized(lines[2]), "  Latitude=20°N");
    EXPECT_EQ(Normalized(lines[3]), "  Longitude=60°E");
    const std::vector<std::string> tail(lines.end() - 6, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"  xMin=50", "  yMin=10", "  xMax=70", "  yMax=30",
                                              "polys.shp", "  NAME=G2"}));
    EXPECT_EQ(Dialog().GetSelection().kind, CIdentifyDlg::Selection::Attribute);
    EXPECT_EQ(Dialog().GetSelection().record, 2);
}

// G1 and G2 differ, so the record handed on shows whether the number (from
// 1) became the right index (from 0).
TEST_F(IdentifyFeatures, ButtonsHandOnTheFeatureShown) {
    Ask(60, 20, 2);
    ASSERT_EQ(Results(), (std::vector<std::string>{"polys.shp", "  1: G2", "    NAME=G2"}));
    EXPECT_EQ(Dialog().GetSelection().kind, CIdentifyDlg::Selection::Feature);
    EXPECT_TRUE(Enabled(IDC_IDENTIFY_INFO));
    EXPECT_TRUE(Enabled(IDC_IDENTIFY_GOTO));
    EXPECT_TRUE(Enabled(IDC_IDENTIFY_ACTIONS));
    ASSERT_TRUE(Enabled(IDC_IDENTIFY_EDIT));  // an edit layer
    // Info: the properties sheet (modeless, mode 1) on index 1.
    SendMessage(GetDlgItem(Dialog().GetSafeHwnd(), IDC_IDENTIFY_CLOSE_AFTER), BM_SETCHECK, BST_UNCHECKED, 0);
    Click(IDC_IDENTIFY_CLOSE_AFTER);
    EXPECT_FALSE(Dialog().GetCloseAfterAction());
    Click(IDC_IDENTIFY_INFO);
    ASSERT_EQ(shell_.sheets.size(), 1u);
    EXPECT_EQ(shell_.sheets[0].layer, polygons_);
    EXPECT_EQ(shell_.sheets[0].record, 1);
    EXPECT_EQ(shell_.sheets[0].mode, 1);
    // Edit: selected in the layer list and edited, index 1.
    Click(IDC_IDENTIFY_EDIT);
    EXPECT_EQ(Selected(), (std::pair<CLayer*, int>{polygons_, 1}));
    ASSERT_EQ(shell_.sheets.size(), 2u);
    EXPECT_EQ(shell_.sheets[1].record, 1);
    EXPECT_EQ(shell_.sheets[1].mode, 2);
    // Select from the action menu after the selection moved away.
    EditView().ClearSelection();
    Ask(60, 20, 2);
    UINT offered = 0;
    win::SetPopupMenuResponder([&](HMENU menu, POINT, HWND) {
        offered = static_cast<UINT>(GetMenuItemCount(menu));
        return static_cast<UINT>(ID_FEATURE_SELECT);
    });
    Click(IDC_IDENTIFY_ACTIONS);
    win::SetPopupMenuResponder(nullptr);
    EXPECT_EQ(offered, 4u);
    EXPECT_EQ(Selected(), (std::pair<CLayer*, int>{polygons_, 1}));
    EXPECT_TRUE(IsIdentifyWindowVisible());  // "Close After Action" is off
}

TEST_F(IdentifyFeatures, GoToAndTheActionMenuMoveTheMap) {
    Ask(60, 20, 2);
    // Zoom to Feature: G2's extent with margin 1.25 and a history entry.
    const int history = EditView().GetHistoryTop();
    win::SetPopupMenuResponder([](HMENU, POINT, HWND) { return static_cast<UINT>(ID_FEATURE_ZOOMTO); });
    Click(IDC_IDENTIFY_ACTIONS);
    win::SetPopupMenuResponder(nullptr);
    EXPECT_EQ(EditView().GetHistoryTop(), history + 1);
    const CDoubleRect e = EditView().GetExtent();
    EXPECT_NEAR((e.xmin + e.xmax) / 2, 60, 1e-9);
    EXPECT_NEAR((e.ymin + e.ymax) / 2, 20, 1e-9);
    EXPECT_GE(e.xmax - e.xmin, 25 - 1e-9);  // 20 wide, times 1.25
    // "Close After Action" is on: the action closed the window.
    EXPECT_FALSE(IsIdentifyWindowVisible());

    // Go To: the destination at the extent's centre, labelled by the label
    // field, and the map centred there; the window closes.
    EditView().ZoomToExtent(CDoubleRect(0, 0, 100, 100), false, 1.0);
    Ask(60, 20, 2);
    Click(IDC_IDENTIFY_GOTO);
    EXPECT_EQ(EditView().GetDestination().x, 60);
    EXPECT_EQ(EditView().GetDestination().y, 20);
    EXPECT_EQ(EditView().GetDestination().label, u"G2");
    const CDoubleRect c = EditView().GetExtent();
    EXPECT_NEAR((c.xmin + c.xmax) / 2, 60, 1e-9);
    EXPECT_FALSE(IsIdentifyWindowVisible());
    // With the box unticked it stays open.
    Ask(60, 20, 2);
    SendMessage(GetDlgItem(Dialog().GetSafeHwnd(), IDC_IDENTIFY_CLOSE_AFTER), BM_SETCHECK, BST_UNCHECKED, 0);
    Click(IDC_IDENTIFY_CLOSE_AFTER);
    Click(IDC_IDENTIFY_GOTO);
    EXPECT_TRUE(IsIdentifyWindowVisible());
}

TEST_F(IdentifyFeatures, TheOverlayCircleGoesWithTheWindowAndTheSelection) {
    // 2 map units at 2.4 pixels a unit: radius 5 pixels (4.8 + 0.5 cut).
    GetPreferences()->Data().display.highlightwidth = 1;
    Ask(90, 90, 2);
    Repaint();
    int px, py;
    EditView().MapToScreen(90, 90, px, py);
    const COLORREF red = GetPreferences()->Data().display.highlightcolor;
    EXPECT_EQ(Pixel(px, py - 5), red);
    EXPECT_EQ(Pixel(px - 5, py), red);
    EXPECT_NE(Pixel(px, py - 7), red);
    EXPECT_NE(Pixel(px, py - 3), red);
    EXPECT_NE(Pixel(px, py), red);
    // Clearing the selection forgets the point and the mark of Find.
    EditView().ClearSelection();
    Pump();
    EXPECT_FALSE(HasIdentifyPoint());
    EXPECT_FALSE(HasFoundFeature());
    EXPECT_NE(Pixel(px, py - 5), red);
    // Closing the window takes the circle away.
    Ask(90, 90, 2);
    Repaint();
    ASSERT_EQ(Pixel(px, py - 5), red);
    win::PressCaptionClose(Dialog().GetSafeHwnd());
    Pump();
    EXPECT_FALSE(IsIdentifyWindowVisible());
    EXPECT_NE(Pixel(px, py - 5), red);
}

// Links in attribute values come from outside: only a one-line address
// without control characters reaches the opener.
class IdentifyLinks : public IdentifyWindow {
protected:
    void SetUp() override {
        IdentifyWindow::SetUp();
        std::string command = "shpcreate links point >/dev/null";
        for (int i = 0; i < 5; ++i) command += " && shpadd links " + std::to_string(10 + 20 * i) + " 50 >/dev/null";
        ASSERT_TRUE(ShellIn("d", command));
        DbfHandle h = DbfCreate(u"\\d\\links.dbf", 0);
        ASSERT_NE(h, nullptr);
        DbfAddField(h, u"NAME", 'C', 10, 0);
        DbfAddField(h, u"URL", 'C', 80, 0);
        const WChar* urls[] = {u"http://example.org/a b", u"http://example.org/\rx", u"http://example.org/\nx",
                               u"http://example.org/\tx", u"ftp://example.org/x"};
        for (const WChar* url : urls) {
            DbfBlankRecord(h);
            DbfPutText(h, 0, u"L");
            DbfPutText(h, 1, url);
            ASSERT_EQ(DbfWriteRecord(h, kDbfAppend), 1);
        }
        DbfClose(h);
        layer_ = OpenShapefileView({"links"});
        ASSERT_NE(layer_, nullptr);
        layer_->SetIdentify(true);
    }
    // Identify record i and double tap its URL item.
    void DoubleTapUrl(int i) {
        GetIdentifyWindow()->IdentifyArea(10 + 20 * i, 50, 1, nullptr);
        Pump();
        HTREEITEM item = nullptr;
        HWND tree = Tree();
        for (HTREEITEM layer = NextItem(tree, nullptr, TVGN_ROOT); layer; layer = NextItem(tree, layer, TVGN_NEXT))
            for (HTREEITEM f = NextItem(tree, layer, TVGN_CHILD); f; f = NextItem(tree, f, TVGN_NEXT))
                for (HTREEITEM a = NextItem(tree, f, TVGN_CHILD); a; a = NextItem(tree, a, TVGN_NEXT))
                    if (ItemText(tree, a).rfind("URL=", 0) == 0) item = a;
        ASSERT_NE(item, nullptr);
        SelectItem(item);
        NMHDR nm{tree, IDC_IDENTIFY_TREE, NM_DBLCLK};
        SendMessage(Dialog().GetSafeHwnd(), WM_NOTIFY, IDC_IDENTIFY_TREE, reinterpret_cast<LPARAM>(&nm));
        Pump();
    }
    CLayer* layer_ = nullptr;
};

TEST_F(IdentifyLinks, OnlyAOneLineHttpAddressIsOpened) {
    DoubleTapUrl(0);
    EXPECT_EQ(shell_.urls, (std::vector<WString>{u"http://example.org/a b"}));
    for (int i = 1; i < 5; ++i) {
        SCOPED_TRACE(i);
        const size_t beeps = win::BeepLog().size();
        DoubleTapUrl(i);
        EXPECT_EQ(shell_.urls.size(), 1u);
        // A link that is refused says so; a value that is no link is left alone.
        EXPECT_EQ(win::BeepLog().size(), beeps + (i < 4 ? 1u : 0u));
    }
}

TEST_F(IdentifyLinks, TheOpenerGetsTheAddressAsItsOneArgumentAndNothingElse) {
    Put("opener.sh", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" >> '" + Host("args.txt") + "'\n");
    ASSERT_EQ(chmod(Host("opener.sh").c_str(), 0755), 0);
    setenv("ZARNIP_OPENER", Host("opener.sh").c_str(), 1);
    SetShellServices(nullptr);  // the program's own opening
    ASSERT_EQ(GetTempFolder(), u"\\Temp\\");
    for (int i = 1; i < 5; ++i) DoubleTapUrl(i);
    // Nothing refused was written or started.
    EXPECT_FALSE(HostExists("Temp/Temporary.url"));
    DoubleTapUrl(0);
    for (int i = 0; i < 500 && !HostExists("args.txt"); ++i) usleep(10000);
    unsetenv("ZARNIP_OPENER");
    EXPECT_EQ(Get("args.txt"), "1|http://example.org/a b|");
    EXPECT_EQ(Get("Temp/Temporary.url"), "[InternetShortcut]\r\nURL=http://example.org/a b\r\n");
}

}  // namespace
