// The table object: which record buffer a value goes to, replacing tables on
// one object, titles, and ownership.
#include "formats/dbf/dbf_table.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "dbf_test_util.h"

namespace {

class DbfTableObject : public DbfRootTest {
protected:
    void Make(const WChar* path, int fields, int width) {
        DbfHandle h = DbfCreate(path, 0);
        ASSERT_NE(h, nullptr);
        for (int i = 0; i < fields; ++i)
            DbfAddField(h, text::Format(u"F%d", i).c_str(), 'C', width, 0);
        DbfBlankRecord(h);
        for (int i = 0; i < fields; ++i) DbfPutText(h, i, text::Format(u"v%d", i).c_str());
        DbfWriteRecord(h, kDbfAppend);
        DbfClose(h);
    }
};

TEST_F(DbfTableObject, BufferRule) {
    Make(u"\\b.dbf", 2, 6);
    CDbfTable t;
    ASSERT_TRUE(t.Open(u"\\b.dbf", kDbfReadWrite));
    // Fresh object: the table's own buffer.
    t.SetFieldText(0, u"table");
    EXPECT_EQ(WString(DbfGetText(t.Table(), 0)), u"table");
    // After GetRecordBuffer: the object's buffer.
    uint8_t* own = t.GetRecordBuffer();
    ASSERT_NE(own, nullptr);
    t.SetFieldString(u"f0", u"object");
    EXPECT_EQ(WString(DbfGetText(t.Table(), 0, nullptr, own)), u"object");
    EXPECT_EQ(WString(DbfGetText(t.Table(), 0)), u"table");
    EXPECT_EQ(t.GetFieldString(0), u"object");
    // A caller's buffer always wins.
    uint8_t* mine = DbfAllocRecordBuffer(t.Table());
    DbfBlankRecord(t.Table(), mine);
    t.SetFieldDouble(1, 2.5, mine);
    EXPECT_EQ(t.GetFieldString(1, mine), u"2.5");
    EXPECT_EQ(t.GetFieldStringByName(u"F0"), u"object");
    EXPECT_EQ(t.GetFieldStringByName(u"nope"), u"");
    WChar buf[7];
    EXPECT_EQ(t.GetFieldText(0, buf), 6);
    WString s;
    EXPECT_EQ(t.GetFieldTextLen(0, s, mine), 0);
    DbfFreeRecordBuffer(mine);
    EXPECT_FALSE(t.IsDeleted());
    own[0] = '*';
    EXPECT_TRUE(t.IsDeleted());
}

TEST_F(DbfTableObject, ReopeningAWiderTableReplacesTheBuffer) {
    Make(u"\\narrow.dbf", 1, 2);
    Make(u"\\wide.dbf", 20, 200);
    CDbfTable t;
    ASSERT_TRUE(t.Open(u"\\narrow.dbf", 0));
    t.GetRecordBuffer();
    const int64_t handles = DbfHeap().LiveBlocks();
    ASSERT_TRUE(t.Open(u"\\wide.dbf", kDbfReadWrite));
    // The old table is closed and the old (short) buffer gone.
    EXPECT_LT(DbfHeap().LiveBlocks(), handles);
    uint8_t* own = t.GetRecordBuffer();
    ASSERT_EQ(DbfReadRecord(t.Table(), 0, own), 1);
    t.SetFieldText(19, u"last field");  // would overrun the old buffer
    EXPECT_EQ(t.GetFieldString(19), u"last field");
    EXPECT_EQ(t.GetFieldString(18), u"v18");
    t.Close();
    EXPECT_EQ(fs::test::OpenFileCount(), 0u);
}

TEST_F(DbfTableObject, Titles) {
    std::filesystem::create_directories(Host("data/v1.2"));
    struct {
        const WChar* path;
        const WChar* title;
    } cases[] = {
        {u"\\data\\roads.dbf", u"roads"},   {u"\\data\\noext", u"noext"},
        {u"\\data\\v1.2\\roads", u"roads"}, {u"/data/v1.2/trees.dbf", u"trees"},
        {u"\\data\\a.b.dbf", u"a.b"},
    };
    for (const auto& c : cases) {
        CDbfTable t;
        ASSERT_TRUE(t.Create(c.path, 0));
        EXPECT_EQ(t.GetTitle(), c.title);
    }
    EXPECT_EQ(CDbfTable().GetTitle(), u"");
}

TEST_F(DbfTableObject, OwnershipAndInfo) {
    Make(u"\\o.dbf", 3, 4);
    DbfHandle h = DbfOpen(u"\\o.dbf", 0);
    ASSERT_NE(h, nullptr);
    {
        CDbfTable view(h, false);
        EXPECT_EQ(view.GetFieldCount(), 3);
        EXPECT_EQ(view.GetRecordCount(), 1);
        DbfFieldInfo info{};
        ASSERT_TRUE(view.GetFieldInfo(2, &info));
        EXPECT_EQ(WString(info.name), u"F2");
        EXPECT_EQ(info.type, 'C');
        EXPECT_EQ(info.length, 4);
        info.type = '#';
        EXPECT_FALSE(view.GetFieldInfo(3, &info));
        EXPECT_EQ(info.type, '#');
        EXPECT_EQ(view.GetFieldName(1), u"F1");
        EXPECT_EQ(view.GetFieldName(3), u"");
        // Not its table: the owner's open stops the delete.
        EXPECT_FALSE(view.DeleteFile());
    }
    // The non-owning object closed without closing the table.
    EXPECT_EQ(DbfReadRecord(h, 0), 1);
    EXPECT_EQ(WString(DbfGetText(h, 1)), u"v1");

    CDbfTable owner(h, true);
    std::unique_ptr<CDbfTable> like(owner.CreateLike(u"\\like.dbf"));
    ASSERT_NE(like, nullptr);
    EXPECT_EQ(like->GetFieldCount(), 3);
    EXPECT_TRUE(like->DeleteFile());
    EXPECT_FALSE(fs::Exists(u"\\like.dbf"));
    EXPECT_TRUE(owner.DeleteFile());
    EXPECT_FALSE(fs::Exists(u"\\o.dbf"));
    EXPECT_EQ(owner.Table(), nullptr);
}

TEST_F(DbfTableObject, ErrorText) {
    CDbfTable t;
    EXPECT_FALSE(t.Open(u"\\missing.dbf", 0));
    EXPECT_EQ(t.GetErrorText(), u"#2:Win#2:DBF Error:2 WinError:2(00000002)");
    Make(u"\\e.dbf", 1, 3);
    ASSERT_TRUE(t.Open(u"\\e.dbf", 0));
    EXPECT_EQ(t.GetErrorText(), u"#0:Win#0:");
    EXPECT_EQ(t.SetFieldDate(u"F0", DbfDateTime{2020, 1, 0, 2, 0, 0, 0, 0}), 1);
    EXPECT_EQ(t.GetFieldString(0), u"202");
    double lo, hi;
    EXPECT_EQ(t.GetMinMax(0, &lo, &hi), 0);
    EXPECT_EQ(t.FindText(0, u"V", 0, 0), 0);
}

}  // namespace
