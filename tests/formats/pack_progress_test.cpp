// Packing with the program's own progress window: a queued Escape cancels it
// and the source stays as shpdump and dbfdump read it before.
#include <gtest/gtest.h>

#include <map>

#include "core/progress_wnd.h"
#include "formats/dbf/dbf_field.h"
#include "formats/shape/shape_builders.h"
#include "formats/shape/shape_pack.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "shape_test_util.h"

namespace {

class PackProgressTest : public DbfRootTest {
protected:
    void SetUp() override {
        DbfRootTest::SetUp();
        ShpResetForTests();
        win::ResetForTests();
    }
    void TearDown() override {
        win::ResetForTests();
        DbfRootTest::TearDown();
    }
    void Make(int n, std::initializer_list<int> deleted) {
        ShpHandle h = ShpCreate(u"\\p.shp", kShapePoint, 0);
        ASSERT_NE(h, nullptr);
        DbfHandle t = ShpGetTable(h);
        ASSERT_EQ(DbfAddField(t, "NAME", 'C', 10, 0), 0);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(ShpAppendPointXY(h, i, 2 * i), i);
            ASSERT_TRUE(DbfReadRecord(t, i));
            DbfPutText(t, 0, text::FromUtf8("row" + std::to_string(i)).c_str());
            ASSERT_TRUE(DbfWriteRecord(t, i));
        }
        for (int d : deleted) ASSERT_EQ(ShpDeleteShape(h, d, 0), 1);
        ShpClose(h);
    }
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const std::string& name : HostList("")) files[name] = Get(name);
        return files;
    }
};

TEST_F(PackProgressTest, QueuedEscapeCancelsAndLeavesTheSource) {
    Make(40, {2, 9});
    const auto before = Snapshot();
    const std::string shp = Shpdump(Host("p.shp"));
    const std::string dbf = RunTool("dbfdump '" + Host("p.dbf") + "' 2>&1");
    ASSERT_NE(shp.find("(39,78"), std::string::npos) << shp;
    ASSERT_NE(dbf.find("row39"), std::string::npos) << dbf;

    HWND owner = CreateWindowEx(0, u"STATIC", u"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 300, nullptr,
                                nullptr, nullptr, nullptr);
    {
        CShapeFile f;
        ASSERT_TRUE(f.Open(u"\\p.shp", kShpReadWrite));
        CPlatformPackUi ui(owner);
        // The user presses Escape while the pack starts.
        PostMessage(nullptr, WM_CHAR, 0x1B, 0);
        win::ClearMessageBoxLog();
        EXPECT_EQ(PackShapefile(f, false, ui), 0);
        EXPECT_EQ(ui.GetProgressWnd(), nullptr);
        EXPECT_TRUE(IsWindowEnabled(owner));
        const auto boxes = win::MessageBoxLog();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, u"Shapefile pack cancelled.");
        EXPECT_EQ(ShpGetRecordCount(f.GetHandle()), 40);
    }
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(Shpdump(Host("p.shp")), shp);
    EXPECT_EQ(RunTool("dbfdump '" + Host("p.dbf") + "' 2>&1"), dbf);

    // Without a key the same pack runs through, with the window up meanwhile.
    {
        CShapeFile f;
        ASSERT_TRUE(f.Open(u"\\p.shp", kShpReadWrite));
        CPlatformPackUi ui(owner);
        EXPECT_EQ(PackShapefile(f, false, ui), 1);
        EXPECT_EQ(ShpGetRecordCount(f.GetHandle()), 38);
        EXPECT_TRUE(IsWindowEnabled(owner));
    }
    EXPECT_EQ(RunTool("dbfdump '" + Host("p.dbf") + "' 2>&1").find("row2\n"), std::string::npos);
    DestroyWindow(owner);
}

}  // namespace
