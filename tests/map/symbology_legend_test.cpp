// The legend list, headless: rows of a renderer's classes and of an
// extension layer's legend records, check boxes written back, the swatch
// painted into the Symbol cell only, and the extension's symbol dialog.
#include "map/services/preferences.h"
#include "map/symbology/symbol_list_ctrl.h"
#include "tests/platform/win_ctl_harness.h"

namespace {

class LegendTest : public ctltest::CtlTest {
protected:
    void SetUp() override {
        CtlTest::SetUp();
        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, 96, 96});
        ResetPreferencesForTests();
        CSymbol::ResetCaches();
        HWND h = Child(WC_LISTVIEW, LVS_REPORT | LVS_SINGLESEL, 50, RECT{0, 0, 230, 150});
        ASSERT_TRUE(list_.Attach(h));
        list_.Initialize();
        ctltest::Answer() = [this](HWND, NMHDR* nm, LRESULT* r) { return list_.HandleNotify(nm, r); };
    }
    void TearDown() override {
        ctltest::Answer() = nullptr;
        list_.DestroyWindow();
        CSymbol::ResetCaches();
        ResetPreferencesForTests();
        CtlTest::TearDown();
    }
    std::vector<WString> Rows() {
        std::vector<WString> rows;
        for (int r = 0; r < list_.GetItemCount(); ++r)
            rows.push_back(list_.GetItemText(r, 0) + u"|" + list_.GetItemText(r, 2) +
                           (list_.GetCheck(r) ? u" on" : u" off"));
        return rows;
    }
    RECT Cell(int row, int column) {
        RECT r{};
        r.top = column;
        r.left = LVIR_BOUNDS;
        SendMessage(list_.GetSafeHwnd(), LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        return r;
    }
    void Paint() {
        InvalidateRect(list_.GetSafeHwnd(), nullptr, TRUE);
        UpdateWindow(list_.GetSafeHwnd());
    }
    // Pixels of one colour in a row's strip, inside and outside a rectangle.
    std::pair<int, int> Count(int row, const RECT& inside, COLORREF colour) {
        RECT strip = Cell(row, 0);
        RECT whole;
        GetClientRect(list_.GetSafeHwnd(), &whole);
        HDC dc = GetDC(list_.GetSafeHwnd());
        int in = 0, out = 0;
        for (int y = strip.top; y < strip.bottom; ++y)
            for (int x = 0; x < whole.right; ++x)
                if (GetPixel(dc, x, y) == colour)
                    (x >= inside.left && x < inside.right && y >= inside.top && y < inside.bottom ? in : out)++;
        ReleaseDC(list_.GetSafeHwnd(), dc);
        return {in, out};
    }
    CSymbolListCtrl list_;
};

std::unique_ptr<CRenderer> ValueMap() {
    CXmlDocument doc;
    EXPECT_TRUE(doc.Parse(
        u"<LAYER><SYMBOLOGY><VALUEMAPRENDERER lookupfield=\"K\">"
        u"<EXACT value=\"gas\" label=\"Gas main\"><SIMPLEPOLYGONSYMBOL fillcolor=\"255,0,0\" "
        u"filltype=\"solid\" boundarytransparency=\"0\"/></EXACT>"
        u"<RANGE lower=\"10\" upper=\"20\" label=\"Ten to twenty\"><SIMPLEPOLYGONSYMBOL "
        u"fillcolor=\"0,0,255\" filltype=\"solid\" boundarytransparency=\"0\"/></RANGE>"
        u"</VALUEMAPRENDERER></SYMBOLOGY></LAYER>"));
    auto r = std::make_unique<CRenderer>();
    EXPECT_TRUE(r->ReadXml(doc.GetRoot()));
    return r;
}

TEST_F(LegendTest, RendererRowsAndChecks) {
    // The Symbol column shows first.
    int order[3] = {};
    SendMessage(list_.GetSafeHwnd(), LVM_GETCOLUMNORDERARRAY, 3, reinterpret_cast<LPARAM>(order));
    EXPECT_EQ(order[0], 1);
    EXPECT_EQ(order[1], 0);
    EXPECT_EQ(order[2], 2);
    EXPECT_TRUE(SendMessage(list_.GetSafeHwnd(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES);

    auto r = ValueMap();
    r->GetClass(2)->m_visible = false;
    list_.FillFromRenderer(r.get());
    EXPECT_EQ(Rows(), (std::vector<WString>{u"<Other>| on", u"GAS|Gas main on", u"10 - 20|Ten to twenty off"}));
    // The user switches classes over; Apply writes them back.
    win::ListViewUserTap(list_.GetSafeHwnd(), 1, 0, true);
    win::ListViewUserTap(list_.GetSafeHwnd(), 2, 0, true);
    EXPECT_TRUE(r->GetClass(1)->m_visible);
    list_.ApplyChecks();
    EXPECT_FALSE(r->GetClass(1)->m_visible);
    EXPECT_TRUE(r->GetClass(2)->m_visible);
    EXPECT_TRUE(r->GetClass(0)->m_visible);
}

TEST_F(LegendTest, SwatchInTheSymbolCellOnly) {
    auto r = ValueMap();
    list_.FillFromRenderer(r.get());
    Paint();
    RECT cell1 = Cell(1, CSymbolListCtrl::kColumnSymbol);
    RECT cell2 = Cell(2, CSymbolListCtrl::kColumnSymbol);
    auto red = Count(1, cell1, RGB(255, 0, 0));
    auto blue = Count(2, cell2, RGB(0, 0, 255));
    // The swatch fills the cell but one pixel round it (and one more at the
    // right and bottom without a boundary).
    int expected = (cell1.right - cell1.left - 3) * (cell1.bottom - cell1.top - 3);
    EXPECT_EQ(red.first, expected);
    EXPECT_EQ(red.second, 0);
    EXPECT_EQ(blue.first, expected);
    EXPECT_EQ(blue.second, 0);
    // The cell's context came back as it was: the label texts still draw.
    EXPECT_EQ(Count(0, Cell(0, 1), RGB(255, 0, 0)).first, 0);
}

struct RecordingLegend : ILegendSource {
    std::vector<std::string> log;
    std::vector<bool> flags = {true, false, true};
    bool changes = true;
    int GetLegendClassCount() override { return 3; }
    WString GetString302(int i) override { return u"value " + text::IntToText(i); }
    WString GetString301(int i) override { return u"label " + text::IntToText(i); }
    bool GetRecordFlag(int i) override { return flags[i]; }
    void SetRecordFlag(int i, bool on) override {
        flags[i] = on;
        log.push_back("flag " + std::to_string(i) + (on ? " on" : " off"));
    }
    void DrawRecord(int i, HDC dc, const RECT& rect) override {
        log.push_back("draw " + std::to_string(i) + " " + std::to_string(rect.left) + "," +
                      std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
                      std::to_string(rect.bottom));
        HBRUSH b = CreateSolidBrush(RGB(0, 255, 0));
        FillRect(dc, &rect, b);
        DeleteObject(b);
    }
    bool DialogSymbol(HWND, int i) override {
        log.push_back("dialog " + std::to_string(i));
        return changes;
    }
};

TEST_F(LegendTest, ExtensionLayerLegend) {
    RecordingLegend legend;
    list_.FillFromExtensionLayer(&legend);
    EXPECT_EQ(Rows(), (std::vector<WString>{u"value 0|label 0 on", u"value 1|label 1 off",
                                            u"value 2|label 2 on"}));
    Paint();
    RECT c0 = Cell(0, 1), c1 = Cell(1, 1), c2 = Cell(2, 1);
    auto rect = [](const RECT& r) {
        return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
               "," + std::to_string(r.bottom);
    };
    EXPECT_EQ(legend.log, (std::vector<std::string>{"draw 0 " + rect(c0), "draw 1 " + rect(c1),
                                                    "draw 2 " + rect(c2)}));
    EXPECT_EQ(Count(1, c1, RGB(0, 255, 0)).second, 0);
    legend.log.clear();
    // A tap on the Symbol cell opens the extension's dialog and repaints;
    // a tap on another cell does not.
    win::ListViewUserTap(list_.GetSafeHwnd(), 1, CSymbolListCtrl::kColumnSymbol);
    win::ListViewUserTap(list_.GetSafeHwnd(), 2, CSymbolListCtrl::kColumnLabel);
    ASSERT_GE(legend.log.size(), 1u);
    EXPECT_EQ(legend.log[0], "dialog 1");
    EXPECT_EQ(legend.log.size(), 4u);  // the three rows drawn again
    legend.log.clear();
    win::ListViewUserTap(list_.GetSafeHwnd(), 0, 0, true);
    list_.ApplyChecks();
    EXPECT_EQ(legend.log, (std::vector<std::string>{"flag 0 off", "flag 1 off", "flag 2 on"}));
    // A renderer's list never calls a dialog.
    auto r = ValueMap();
    list_.FillFromRenderer(r.get());
    legend.log.clear();
    win::ListViewUserTap(list_.GetSafeHwnd(), 1, CSymbolListCtrl::kColumnSymbol);
    EXPECT_TRUE(legend.log.empty());
}

}  // namespace
