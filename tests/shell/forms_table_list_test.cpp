// The related-table list of a form: which child rows it shows, cell editing
// at the stylus, and what it writes back.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "formats/dbf/dbf_table.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/propsheet.h"
#include "core/stylus.h"
#include "shell/forms/form_sheet.h"
#include "shell/forms/table_list.h"
#include "tests/shell/forms_fixture.h"

namespace {

class RelatedTables : public FormsTest {
protected:
    void TearDown() override {
        forms_.reset();
        FormsTest::TearDown();
    }
    // The form's record: the first of parent.dbf. user acts on the list.
    int Show(const std::function<void(HWND list)>& user, bool editable = true) {
        CXmlDocument& doc =
            LoadXml("Docs/f.xml",
                    "<X><FORMS><EDITFORM><PAGE><SUBTABLE field=\"LINK\" datatable=\"child.dbf\" "
                    "width=\"120\" height=\"60\"/></PAGE></EDITFORM></FORMS></X>");
        forms_ = std::make_unique<CForms>(&scripting_);
        forms_->ReadForms(doc.GetRoot()->FindChild(u"FORMS"), 1033);
        CDbfTable parent;
        EXPECT_TRUE(parent.Open(u"\\Docs\\parent.dbf", 0));
        EXPECT_TRUE(DbfReadRecord(parent.Table(), 0));
        const uint8_t* r = DbfGetRecordBuffer(parent.Table());
        std::vector<uint8_t> record(r, r + DbfGetRecordLength(parent.Table()));
        FormRecordSource source{&parent, record.data(), nullptr};
        CFormPropertySheet sheet(forms_->GetEditForm(), &source, editable, 0, 0);
        win::PushModalHook([&](HWND s) {
            Pump();
            SendMessage(s, PSM_INDEXTOHWND, 0, 0);
            HWND page = reinterpret_cast<HWND>(GetWindowLongPtr(s, DWLP_MSGRESULT));
            user(GetDlgItem(page, 4000));
            Pump();
            SendMessage(s, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(s, IDOK)));
        });
        return static_cast<int>(sheet.DoModal());
    }
    static std::vector<std::string> Rows(HWND list) {
        std::vector<std::string> rows;
        const int count = static_cast<int>(SendMessage(list, LVM_GETITEMCOUNT, 0, 0));
        const int columns = static_cast<int>(
            SendMessage(reinterpret_cast<HWND>(SendMessage(list, LVM_GETHEADER, 0, 0)),
                        HDM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::string row;
            for (int c = 0; c < columns; ++c) {
                WChar buffer[64] = {};
                LVITEM item;
                item.iSubItem = c;
                item.pszText = buffer;
                item.cchTextMax = 64;
                SendMessage(list, LVM_GETITEMTEXT, static_cast<WPARAM>(i),
                            reinterpret_cast<LPARAM>(&item));
                row += (c ? "|" : "") + Narrow(buffer);
            }
            rows.push_back(row);
        }
        return rows;
    }
    // The user taps a cell and types: the stylus point is recorded, label
    // editing starts on the row, the text is typed and Enter ends it.
    static void EditCell(HWND list, int row, int column, const WChar* text) {
        RECT cell{};
        cell.top = column;
        cell.left = LVIR_BOUNDS;
        SendMessage(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                    reinterpret_cast<LPARAM>(&cell));
        POINT at{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
        ClientToScreen(list, &at);
        SetLastStylusPoint(at);
        SendMessage(list, LVM_EDITLABEL, static_cast<WPARAM>(row), 0);
        Pump();
        HWND editor = reinterpret_cast<HWND>(SendMessage(list, LVM_GETEDITCONTROL, 0, 0));
        if (!editor) return;
        SetWindowText(editor, text);
        win::ListViewUserEndEdit(list, false);
        Pump();
    }
    std::vector<std::string> Dump(const std::string& relative) const {
        std::istringstream in(DbfDump(relative));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::string joined;
            for (std::string w; words >> w;) joined += (joined.empty() ? "" : " ") + w;
            lines.push_back(joined);
        }
        return lines;
    }
    void DeleteRecord(const WChar* path, int record) {
        CDbfTable t;
        ASSERT_TRUE(t.Open(path, kDbfReadWrite));
        ASSERT_TRUE(DbfDeleteRecord(t.Table(), record));
    }

    std::unique_ptr<CForms> forms_;
};

TEST_F(RelatedTables, TextLinksMatchTrimmedAndDeletedRowsStayHidden) {
    MakeTable("Docs/parent.dbf", {{"-s", "LINK", "6"}}, {{"10"}});
    MakeTable("Docs/child.dbf", {{"-s", "NOTE", "6"}, {"-s", "LINK", "4"}},
              {{"a", "10"}, {"b", "010"}, {"c", "10"}, {"d", "  10"}});
    DeleteRecord(u"\\Docs\\child.dbf", 2);
    std::vector<std::string> shown;
    EXPECT_EQ(Show([&](HWND list) {
                  shown = Rows(list);
                  EditCell(list, 1, 0, u"e");
              }),
              IDOK);
    EXPECT_EQ(shown, (std::vector<std::string>{"a", "d"}));
    // The edited row and the link value written back; "010" untouched.
    EXPECT_EQ(Dump("Docs/child.dbf"),
              (std::vector<std::string>{"NOTE LINK", "a 10", "b 010", "c 10 (DELETED)", "e 10"}));
}

TEST_F(RelatedTables, NumberLinksOfDifferentWidthsMatchAndKeepTheirValue) {
    MakeTable("Docs/parent.dbf", {{"-n", "LINK", "10", "0"}}, {{"10"}});
    MakeTable("Docs/child.dbf",
              {{"-n", "LINK", "6", "0"}, {"-s", "NOTE", "6"}, {"-n", "QTY", "4", "0"}},
              {{"10", "a", "1"}, {"11", "b", "2"}});
    std::vector<std::string> shown;
    EXPECT_EQ(Show([&](HWND list) {
                  shown = Rows(list);
                  EditCell(list, 0, 1, u"7");
              }),
              IDOK);
    EXPECT_EQ(shown, (std::vector<std::string>{"a|1"}));
    EXPECT_EQ(Dump("Docs/child.dbf"),
              (std::vector<std::string>{"LINK NOTE QTY", "10 a 7", "11 b 2"}));
}

TEST_F(RelatedTables, EditingFollowsTheStylusAndAClearedCellKeepsItsText) {
    MakeTable("Docs/parent.dbf", {{"-s", "LINK", "6"}}, {{"10"}});
    MakeTable("Docs/child.dbf", {{"-s", "LINK", "4"}, {"-s", "A", "6"}, {"-s", "B", "6"}},
              {{"10", "a1", "b1"}});
    std::vector<std::string> after;
    EXPECT_EQ(Show([&](HWND list) {
                  EditCell(list, 0, 1, u"b2");  // under the stylus: column B
                  EditCell(list, 0, 0, u"");    // cleared: A keeps a1
                  after = Rows(list);
              }),
              IDOK);
    EXPECT_EQ(after, (std::vector<std::string>{"a1|b2"}));
    EXPECT_EQ(Dump("Docs/child.dbf"), (std::vector<std::string>{"LINK A B", "10 a1 b2"}));
}

TEST_F(RelatedTables, AReadOnlyFormEditsNothingAndLeavesTheFileAlone) {
    MakeTable("Docs/parent.dbf", {{"-s", "LINK", "6"}}, {{"10"}});
    MakeTable("Docs/child.dbf", {{"-s", "LINK", "4"}, {"-s", "A", "6"}}, {{"10", "a1"}});
    const std::string before = Get("Docs/child.dbf");
    struct stat st {};
    ::stat(Host("Docs/child.dbf").c_str(), &st);
    ::chmod(Host("Docs/child.dbf").c_str(), 0444);  // read-only media still show their rows
    std::vector<std::string> shown;
    HWND editor = reinterpret_cast<HWND>(1);
    EXPECT_EQ(Show(
                  [&](HWND list) {
                      shown = Rows(list);
                      SendMessage(list, LVM_EDITLABEL, 0, 0);
                      editor = reinterpret_cast<HWND>(SendMessage(list, LVM_GETEDITCONTROL, 0, 0));
                  },
                  false),
              IDOK);
    ::chmod(Host("Docs/child.dbf").c_str(), 0644);
    EXPECT_EQ(shown, (std::vector<std::string>{"a1"}));
    EXPECT_EQ(editor, nullptr);
    EXPECT_EQ(Get("Docs/child.dbf"), before);
    struct stat after {};
    ::stat(Host("Docs/child.dbf").c_str(), &after);
    EXPECT_EQ(after.st_mtim.tv_sec, st.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, st.st_mtim.tv_nsec);
}

}  // namespace
