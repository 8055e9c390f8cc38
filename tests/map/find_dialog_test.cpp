// The Find dialog, driven as the user drives it through its modal hook, on a
// table of 250 records written by our dBASE engine (text, number, date with
// a few dates that are no dates, logical): the matches equal what ogrinfo's
// -where finds in the same file (ILIKE: its LIKE minds case); the limit of 200; the question before
// listing everything; the search in the view; the mark of the chosen match
// on the map and the actions on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

#include "formats/dbf/dbf_engine.h"
#include "formats/dbf/dbf_field.h"
#include "map/dialogs/find_dlg.h"
#include "map/services/preferences.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"
#include "tests/map/view_harness.h"

namespace {

using viewtest::CFillLayer;

constexpr int kRecords = 250;

// What a shell command printed.
std::string RunTool(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

class FindDialog : public viewtest::ViewHarness {
protected:
    void SetUp() override {
        ViewHarness::SetUp();
        GetPreferences()->Data().display.highlightwidth = 3;
        // Not the colour the layers draw in.
        GetPreferences()->Data().display.highlightcolor = 0xFF00FF;
    }
    void TearDown() override {
        ClearFoundFeature();
        win::ClearModalHooks();
        ViewHarness::TearDown();
    }

    // Points on a grid, one per record; the table written by our engine.
    // Record i (from 1): NAME "r<i>" with "abc" in some case every 5th and
    // 7th; NOTE "ABC" every 6th; VAL i * 1.5 - 100, blank every 50th; WHEN
    // in March 2024 (day i % 28 + 1) except blanks, "00000000" and a 31
    // February; OK T, F or ?.
    void MakeTable() {
        std::string command = "shpcreate f point >/dev/null";
        for (int i = 0; i < kRecords; ++i)
            command += " && shpadd f " + std::to_string(i % 25 * 4 + 1.5) + " " + std::to_string(i / 25 * 10 + 2.5) +
                       " >/dev/null";
        ASSERT_TRUE(ShellIn("d", command));
        DbfHandle h = DbfCreate(u"\\d\\f.dbf", 0);
        ASSERT_NE(h, nullptr);
        DbfAddField(h, u"NAME", 'C', 20, 0);
        DbfAddField(h, u"NOTE", 'C', 10, 0);
        DbfAddField(h, u"VAL", 'N', 12, 3);
        DbfAddField(h, u"WHEN", 'D', 8, 0);
        DbfAddField(h, u"OK", 'L', 1, 0);
        for (int i = 1; i <= kRecords; ++i) {
            DbfBlankRecord(h);
            WString name = text::FromUtf8("r" + std::to_string(i));
            if (i % 5 == 0) name = text::FromUtf8("xAbC" + std::to_string(i));
            if (i % 7 == 0) name = text::FromUtf8("abc" + std::to_string(i));
            DbfPutText(h, 0, name.c_str());
            if (i % 6 == 0) DbfPutText(h, 1, u"ABC");
            if (i % 50 != 0) DbfPutNumber(h, 2, i * 1.5 - 100);
            if (i % 40 == 0) {
                // blank
            } else if (i % 41 == 0) {
                DbfPutFieldBytes(h, 3, reinterpret_cast<const uint8_t*>("00000000"));
            } else if (i == 77) {
                DbfPutFieldBytes(h, 3, reinterpret_cast<const uint8_t*>("20240231"));
            } else {
                DbfDateTime d{2024, 3, 0, static_cast<uint16_t>(i % 28 + 1), 0, 0, 0, 0};
                DbfPutDate(h, 3, &d);
            }
            DbfPutLogical(h, 4, "TF?"[i % 3]);
            ASSERT_EQ(DbfWriteRecord(h, kDbfAppend), 1);
        }
        DbfClose(h);
        // Another reader sees the table as written.
        const std::string dump = RunTool("dbfdump '" + Host("d/f.dbf") + "' 2>&1");
        EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), kRecords + 1) << dump.substr(0, 400);
        EXPECT_NE(dump.find("xAbC5"), std::string::npos);
    }
    CLayer* OpenTable() {
        MakeTable();
        return OpenShapefileView({"f"});
    }

    // The records ogrinfo finds with a where clause (and a spatial filter).
    std::vector<int> Oracle(const std::string& where, const std::string& spat = "") {
        const std::string out = RunTool("ogrinfo -ro -q " + spat + " -where \"" + where + "\" '" + Host("d/f.shp") +
                                    "' f 2>&1");
        std::vector<int> records;
        std::istringstream in(out);
        std::string line;
        while (std::getline(in, line)) {
            const std::string tag = "OGRFeature(f):";
            if (line.rfind(tag, 0) == 0) records.push_back(std::stoi(line.substr(tag.size())) + 1);
        }
        EXPECT_FALSE(records.empty() && out.find("ERROR") != std::string::npos) << out;
        return records;
    }

    // The dialog as the user runs it: `act` gets its window, then it is
    // closed (unless the act closed it).
    void RunDialog(const std::function<void(HWND)>& act) {
        win::PushModalHook([act](HWND dialog) {
            act(dialog);
            if (win::IsDialogRunning(dialog)) EndDialog(dialog, IDCANCEL);
        });
        Command(ID_VIEW_FIND);
    }
    static void Press(HWND dialog, int id) { SendMessage(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0); }
    static void SetText(HWND dialog, int id, const WChar* text) { SetWindowText(GetDlgItem(dialog, id), text); }
    static std::vector<int> Rows(HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_FIND_RESULTS);
        std::vector<int> out;
        const int n = static_cast<int>(SendMessage(list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            LVITEM item;
            item.mask = LVIF_PARAM;
            item.iItem = i;
            SendMessage(list, LVM_GETITEM, 0, reinterpret_cast<LPARAM>(&item));
            out.push_back(static_cast<int>(item.lParam));
        }
        return out;
    }
    static WString Title(HWND dialog) {
        WChar buffer[64] = {};
        GetWindowText(dialog, buffer, 64);
        return buffer;
    }
    static WString Text(HWND dialog, int id) {
        WChar buffer[128] = {};
        GetWindowText(GetDlgItem(dialog, id), buffer, 128);
        return buffer;
    }
    // The field browser answers this layer and field at the next "L".
    void Choose(HWND dialog, CLayer* layer, int field) {
        shell_.browse = [layer, field](CFeatureLayer*& l, int& f) {
            l = dynamic_cast<CFeatureLayer*>(layer);
            f = field;
            return true;
        };
        Press(dialog, IDC_FIND_LAYER);
    }
    static void SetDate(HWND dialog, int id, int y, int m, int d) {
        SYSTEMTIME t{};
        t.wYear = static_cast<uint16_t>(y);
        t.wMonth = static_cast<uint16_t>(m);
        t.wDay = static_cast<uint16_t>(d);
        t.wHour = 13;  // the time of day does not count
        SendMessage(GetDlgItem(dialog, id), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
    }
};

TEST_F(FindDialog, MatchesAreWhatOgrinfoFindsWithTheSameCondition) {
    CLayer* layer = OpenTable();
    ASSERT_NE(layer, nullptr);
    struct Case {
        const char* name;
        int field;
        std::function<void(HWND)> values;
        std::string where;
    };
    const std::vector<Case> cases = {
        {"text in any case", 0, [](HWND d) { SetText(d, IDC_FIND_TEXT, u"abc"); }, "NAME ILIKE '%abc%'"},
        {"all fields", -1, [](HWND d) { SetText(d, IDC_FIND_TEXT, u"abc  "); },
         "NAME ILIKE '%abc%' OR NOTE ILIKE '%abc%'"},
        {"numeric range", 2,
         [](HWND d) {
             SetText(d, IDC_FIND_MIN, u"-10");
             SetText(d, IDC_FIND_MAX, u"50.5");
         },
         "VAL BETWEEN -10 AND 50.5"},
        {"numbers, both edits empty", 2, [](HWND) {}, "VAL BETWEEN -999999999999 AND 999999999999"},
        {"one day", 3,
         [](HWND d) {
             SetDate(d, IDC_FIND_START, 2024, 3, 5);
             SetDate(d, IDC_FIND_END, 2024, 3, 5);
         },
         "WHEN = '2024/03/05'"},
        {"true", 4, [](HWND d) { SendMessage(GetDlgItem(d, IDC_FIND_LOGICAL), BM_SETCHECK, BST_CHECKED, 0); },
         "OK = 'T'"},
        {"false", 4, [](HWND d) { SendMessage(GetDlgItem(d, IDC_FIND_LOGICAL), BM_SETCHECK, BST_UNCHECKED, 0); },
         "OK = 'F'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> expected = Oracle(c.where);
        ASSERT_FALSE(expected.empty());
        const bool limited = expected.size() > 200;
        if (limited) expected.resize(200);
        std::vector<int> rows;
        WString title;
        RunDialog([&](HWND d) {
            Choose(d, layer, c.field);
            c.values(d);
            Press(d, IDC_FIND_FIND);
            rows = Rows(d);
            title = Title(d);
        });
        EXPECT_EQ(rows, expected);
        EXPECT_EQ(title, text::Format(u"%d matches", static_cast<int>(expected.size())));
        if (limited) EXPECT_EQ(title, u"200 matches");
    }
}

TEST_F(FindDialog, AnEmptyTextAsksBeforeListingEverything) {
    CLayer* layer = OpenTable();
    ASSERT_NE(layer, nullptr);
    std::vector<int> no, yes;
    WString noTitle;
    win::QueueMessageBoxAnswers({IDNO, IDYES});
    RunDialog([&](HWND d) {
        Choose(d, layer, 0);
        Press(d, IDC_FIND_FIND);
        no = Rows(d);
        noTitle = Title(d);
        Press(d, IDC_FIND_FIND);
        yes = Rows(d);
    });
    const auto boxes = win::MessageBoxLog();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, u"No search text entered. Do you want to show all records ?");
    EXPECT_EQ(boxes[0].type & 0xF, static_cast<UINT>(MB_YESNO));
    EXPECT_TRUE(no.empty());
    EXPECT_EQ(noTitle, u"Find");
    ASSERT_EQ(yes.size(), 200u);
    EXPECT_EQ(yes.front(), 1);
    EXPECT_EQ(yes.back(), 200);
}

TEST_F(FindDialog, OnlyInViewSearchesTheExtentOfTheMoment) {
    CLayer* layer = OpenTable();
    ASSERT_NE(layer, nullptr);
    view_->ZoomToExtent(CDoubleRect(20, 20, 60, 60), false, 1.0);
    Pump();
    const CDoubleRect e = view_->GetExtent();
    char spat[200];
    std::snprintf(spat, sizeof spat, "-spat %.17g %.17g %.17g %.17g", e.xmin, e.ymin, e.xmax, e.ymax);
    const std::vector<int> expected = Oracle("NAME ILIKE '%abc%'", spat);
    ASSERT_FALSE(expected.empty());
    std::vector<int> rows;
    RunDialog([&](HWND d) {
        Choose(d, layer, 0);
        SetText(d, IDC_FIND_TEXT, u"abc");
        SendMessage(GetDlgItem(d, IDC_FIND_ONLY_IN_VIEW), BM_SETCHECK, BST_CHECKED, 0);
        Press(d, IDC_FIND_FIND);
        rows = Rows(d);
    });
    EXPECT_EQ(rows, expected);
}

TEST_F(FindDialog, TheFieldBrowserChoosesLayerAndFieldAndTheControlsFollow) {
    CLayer* layer = OpenTable();
    ASSERT_NE(layer, nullptr);
    RunDialog([&](HWND d) {
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_FIND_FIND)));
        EXPECT_EQ(Text(d, IDC_FIND_IN), u"f.shp");
        // Cancelled: nothing changes.
        shell_.browse = [](CFeatureLayer*&, int&) { return false; };
        Press(d, IDC_FIND_LAYER);
        EXPECT_EQ(Text(d, IDC_FIND_IN), u"f.shp");
        Choose(d, layer, 2);
        EXPECT_EQ(Text(d, IDC_FIND_IN), u"VAL (f.shp)");
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, IDC_FIND_MIN)));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, IDC_FIND_MAX)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, IDC_FIND_TEXT)));
        EXPECT_EQ(Text(d, IDC_FIND_VALUE_LABEL), u"Min");
        EXPECT_EQ(Text(d, IDC_FIND_VALUE2_LABEL), u"Max");
        // The chosen field's column second.
        std::vector<int> order(6);
        SendMessage(GetDlgItem(d, IDC_FIND_RESULTS), LVM_GETCOLUMNORDERARRAY, 6, reinterpret_cast<LPARAM>(order.data()));
        EXPECT_EQ(order[1], 3);
        // Two value rows for a number, one for a logical: the check box and
        // the list move up.
        RECT two{}, one{};
        GetWindowRect(GetDlgItem(d, IDC_FIND_ONLY_IN_VIEW), &two);
        Choose(d, layer, 4);
        GetWindowRect(GetDlgItem(d, IDC_FIND_ONLY_IN_VIEW), &one);
        EXPECT_LT(one.top, two.top);
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, IDC_FIND_LOGICAL)));
        EXPECT_EQ(Text(d, IDC_FIND_VALUE2_LABEL), u"");
    });
}

TEST_F(FindDialog, WithoutAnAttributeLayerFindIsDisabled) {
    UseExtent(CDoubleRect(0, 0, 100, 100));
    AddLayer(new CFillLayer(0x808080, {CDoubleRect(0, 0, 100, 100)}));
    OpenView();
    bool enabled = true;
    RunDialog([&](HWND d) { enabled = IsWindowEnabled(GetDlgItem(d, IDC_FIND_FIND)); });
    EXPECT_FALSE(enabled);
}

// The mark of the chosen match: a circle of radius w round a point, a
// widened ellipse round a vertical line, the rectangle of a box; it stays
// after the dialog until the next search or a change of the selection.
TEST_F(FindDialog, TheChosenMatchIsMarkedOnTheMapUntilTheNextSearch) {
    ASSERT_TRUE(ShellIn("d", "shpcreate m point >/dev/null && dbfcreate m -s NAME 8 >/dev/null"
                             " && shpadd m 20 20 >/dev/null && dbfadd m.dbf P >/dev/null"
                             " && shpcreate v arc >/dev/null && dbfcreate v -s NAME 8 >/dev/null"
                             " && shpadd v 50 10 50 60 >/dev/null && dbfadd v.dbf V >/dev/null"
                             " && shpcreate b polygon >/dev/null && dbfcreate b -s NAME 8 >/dev/null"
                             " && shpadd b 70 70 70 90 90 90 90 70 70 70 >/dev/null && dbfadd b.dbf B >/dev/null"));
    ASSERT_NE(OpenShapefileView({"b", "v", "m"}), nullptr);
    CLayerList& layers = doc_.GetLayers();
    const COLORREF red = GetPreferences()->Data().display.highlightcolor;
    auto mark = [&](int layerIndex) {
        RunDialog([&](HWND d) {
            Choose(d, layers.GetAt(layerIndex), 0);
            SetText(d, IDC_FIND_TEXT, u"");
            win::QueueMessageBoxAnswers({IDYES});
            Press(d, IDC_FIND_FIND);
            win::ListViewUserTap(GetDlgItem(d, IDC_FIND_RESULTS), 0);
        });
        Repaint();
    };
    int x, y, x2, y2;
    // The point (20, 20): radius 3.
    mark(0);
    ASSERT_TRUE(HasFoundFeature());
    view_->MapToScreen(20, 20, x, y);
    EXPECT_EQ(Pixel(x - 3, y), red);
    EXPECT_EQ(Pixel(x, y - 3), red);
    EXPECT_NE(Pixel(x + 6, y), red);
    EXPECT_NE(Pixel(x - 6, y), red);
    EXPECT_NE(Pixel(x, y - 6), red);
    // The vertical line x = 50, 10..60: an ellipse 3 pixels wider each side.
    mark(1);
    view_->MapToScreen(50, 10, x, y);
    view_->MapToScreen(50, 60, x2, y2);
    EXPECT_EQ(Pixel(x - 3, (y + y2) / 2), red);
    EXPECT_EQ(Pixel(x + 2, (y + y2) / 2), red);
    EXPECT_TRUE(Pixel(x, y2) == red || Pixel(x, y2 + 1) == red);
    EXPECT_NE(Pixel(x - 6, (y + y2) / 2), red);
    // The box 70..90: its rectangle.
    mark(2);
    view_->MapToScreen(70, 90, x, y);
    view_->MapToScreen(90, 70, x2, y2);
    EXPECT_EQ(Pixel(x, y), red);
    EXPECT_EQ(Pixel(x2 - 1, y2 - 1), red);
    EXPECT_EQ(Pixel((x + x2) / 2, y), red);
    EXPECT_NE(Pixel((x + x2) / 2, (y + y2) / 2), red);
    // The point's mark went with the new search.
    view_->MapToScreen(20, 20, x, y);
    EXPECT_NE(Pixel(x + 3, y), red);
    // 1012 zooms to the marked extent; clearing the selection ends the mark.
    CCmdUI ui(ID_VIEW_ZOOMTOSELECTED);
    view_->OnCmdMsg(ID_VIEW_ZOOMTOSELECTED, 0, &ui);
    EXPECT_TRUE(ui.m_bEnabled);
    view_->ClearSelection();
    Repaint();
    EXPECT_FALSE(HasFoundFeature());
    view_->MapToScreen(70, 90, x, y);
    EXPECT_NE(Pixel(x, y), red);
}

TEST_F(FindDialog, ARowHandsOnItsRecordAndTheFlashLeavesTheMapAsItWas) {
    CLayer* layer = OpenTable();
    ASSERT_NE(layer, nullptr);
    doc_.GetLayers().SetEditLayer(layer);
    shell_.sheetOpen = true;
    std::vector<COLORREF> before, after;
    RunDialog([&](HWND d) {
        Choose(d, layer, 0);
        SetText(d, IDC_FIND_TEXT, u"abc7");
        Press(d, IDC_FIND_FIND);
        ASSERT_EQ(Rows(d), (std::vector<int>{7, 70, 75, 77}));
        win::ListViewUserTap(GetDlgItem(d, IDC_FIND_RESULTS), 1);
        // Record 70 is index 69 in the layer list and in the open sheet.
        EXPECT_EQ(doc_.GetLayers().GetCurrentFeatureRecord(), 69);
        ASSERT_FALSE(shell_.sheets.empty());
        EXPECT_EQ(shell_.sheets.back().record, 69);
        EXPECT_EQ(shell_.sheets.back().mode, 1);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_FIND_GOTO)));
        Repaint();
        before = Client();
        Press(d, ID_FEATURE_FLASH);
        Pump();
        after = Client();
        // Go To: the destination at the match, labelled, and the dialog ends.
        Press(d, IDC_FIND_GOTO);
    });
    EXPECT_EQ(before, after);
    EXPECT_EQ(view_->GetDestination().label, u"abc70");
    EXPECT_TRUE(HasFoundFeature());
}

}  // namespace
