// The New Shapefile and Field dialogs: what they create, read back with
// ogrinfo, dbfdump and projinfo; what they refuse; and that a failed
// creation leaves no files behind.
#include "map/dialogs/new_shapefile_dlg.h"

#include "crs/coord_sys.h"
#include "map/dialogs/field_dlg.h"
#include "platform/fs/fs.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/list_actions.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"
#include "tests/map/map_doubles.h"
#include "tests/platform/win_golden.h"
#include "tests/support/run_command.h"

namespace {

DbfFieldInfo Field(const WChar* name, char type, int width, int decimals) {
    DbfFieldInfo f{};
    std::u16string_view n(name);
    std::copy(n.begin(), n.end(), f.name);
    f.type = type;
    f.length = static_cast<uint8_t>(width);
    f.decimals = static_cast<uint8_t>(decimals);
    return f;
}

class NewShapefile : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        ::mkdir(Host("d").c_str(), 0755);
        win::SetCommonDialogResponder({[this](OPENFILENAME& ofn, bool save) {
                                           fileDialogs_.push_back(ofn.title);
                                           if (answers_.empty()) return false;
                                           ofn.file = answers_.front();
                                           answers_.erase(answers_.begin());
                                           (void)save;
                                           return true;
                                       },
                                       nullptr, nullptr});
    }
    void TearDown() override {
        win::ClearModalHooks();
        MapTest::TearDown();
    }
    static HWND List(HWND dlg) { return GetDlgItem(dlg, IDC_NEWSHP_FIELDS); }
    static int Rows(HWND dlg) { return static_cast<int>(SendMessage(List(dlg), LVM_GETITEMCOUNT, 0, 0)); }
    static void Press(HWND dlg, int id) {
        SendMessage(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    }
    static bool OkEnabled(HWND dlg) {
        return (static_cast<DWORD>(GetWindowLong(dlg, GWL_EXSTYLE)) & WS_EX_CAPTIONOKBTN) != 0;
    }
    // Adds a field through the Field dialog.
    static void AddField(HWND dlg, const WChar* name, int type, const WChar* width, const WChar* decimals) {
        win::PushModalHook([=](HWND field) {
            SendMessage(GetDlgItem(field, IDC_FIELD_CHARACTER + type), BM_CLICK, 0, 0);
            SetDlgItemText(field, IDC_FIELD_NAME, name);
            if (width) SetDlgItemText(field, IDC_FIELD_WIDTH, width);
            if (decimals) SetDlgItemText(field, IDC_FIELD_DECIMALS, decimals);
            win::PressCaptionOk(field);
        });
        Press(dlg, IDC_NEWSHP_ADD);
    }
    std::string Run(const std::string& command) { return testsupport::RunCommand(command + " 2>&1"); }

    std::vector<WString> answers_;
    std::vector<WString> fileDialogs_;
};

TEST_F(NewShapefile, CreatesWhatOgrinfoAndDbfdumpRead) {
    struct Case {
        int typeIndex;
        const char* geometry;
        const char* codePage;
        bool utm;
    };
    const Case cases[] = {{0, "Point", "1252", false}, {2, "Polygon", "1255", true},
                          {4, "3D Measured Line String", "0", false}, {7, "Measured Line String", "1252", false}};
    int n = 0;
    for (const Case& c : cases) {
        const WString path = text::Format(u"\\d\\new%d.shp", ++n);
        answers_ = {path};
        std::unique_ptr<CCoordSys> utm(c.utm ? MakeCoordSys(kUtm33Wkt) : nullptr);
        win::PushModalHook([&](HWND dlg) {
            EXPECT_FALSE(OkEnabled(dlg));
            win::ComboUserSelect(GetDlgItem(dlg, IDC_NEWSHP_TYPE), c.typeIndex);
            AddField(dlg, u"NAME", 0, u"20", nullptr);
            AddField(dlg, u"AREA", 1, u"12", u"3");
            AddField(dlg, u"SEEN", 2, nullptr, nullptr);
            AddField(dlg, u"DONE", 3, nullptr, nullptr);
            EXPECT_EQ(Rows(dlg), 4);
            EXPECT_TRUE(OkEnabled(dlg));
            SetDlgItemText(dlg, IDC_NEWSHP_CODEPAGE, text::FromUtf8(c.codePage).c_str());
            win::PressCaptionOk(dlg);
        });
        WString created;
        ASSERT_TRUE(RunNewShapefileDialog(nullptr, created, utm.get())) << c.geometry;
        EXPECT_EQ(created, path);
        const std::string rel = "d/new" + std::to_string(n);  // host-relative, no extension
        const std::string host = Host(rel + ".shp");
        const std::string base = Host(rel);
        const std::string info = Run("ogrinfo -so -al '" + host + "'");
        EXPECT_NE(info.find(std::string("Geometry: ") + c.geometry), std::string::npos) << info;
        EXPECT_NE(info.find("NAME: String (20.0)"), std::string::npos) << info;
        EXPECT_NE(info.find("AREA: Real (12.3)"), std::string::npos) << info;
        EXPECT_NE(info.find("SEEN: Date"), std::string::npos) << info;
        EXPECT_NE(info.find("DONE: String (1.0)"), std::string::npos) << info;
        EXPECT_NE(Run("dbfdump --info '" + base + ".dbf'").find("NAME"), std::string::npos);
        const std::string ldid = Run("od -An -tx1 -j29 -N1 '" + base + ".dbf'");
        const std::string cp = c.codePage;
        if (cp != "0") EXPECT_EQ(ldid, cp == "1252" ? " 03\n" : " 00\n") << c.codePage;
        EXPECT_EQ(HostExists(rel + ".cpg"), cp == "1255");
        if (cp == "1255") EXPECT_EQ(Get(rel + ".cpg"), "1255\r\n");
        EXPECT_EQ(HostExists(rel + ".prj"), c.utm);
        if (c.utm) EXPECT_NE(info.find("UTM zone 33N"), std::string::npos);
    }
    EXPECT_EQ(fileDialogs_.size(), 4u);
    EXPECT_EQ(fileDialogs_[0], u"Create New ShapeFile Layer");
}

TEST_F(NewShapefile, DuplicateNamesAreRefusedOnAddAndImport) {
    ASSERT_TRUE(ShellIn("d", "dbfcreate other -s Name 10 -n COUNT 5 0 -s EXTRA 4 >/dev/null"));
    win::PushModalHook([&](HWND dlg) {
        AddField(dlg, u"NAME", 0, nullptr, nullptr);
        // The next default name skips a name in use.
        win::PushModalHook([](HWND field) {
            EXPECT_EQ(GetDlgItemTextString(field, IDC_FIELD_NAME), u"FIELD2");
            SetDlgItemText(field, IDC_FIELD_NAME, u"FIELD3");
            win::PressCaptionOk(field);
        });
        Press(dlg, IDC_NEWSHP_ADD);
        win::PushModalHook([](HWND field) {
            EXPECT_EQ(GetDlgItemTextString(field, IDC_FIELD_NAME), u"FIELD4");
            SetDlgItemText(field, IDC_FIELD_NAME, u"name");  // taken: the dialog comes back
            win::PressCaptionOk(field);
        });
        win::PushModalHook([](HWND field) {
            EXPECT_EQ(GetDlgItemTextString(field, IDC_FIELD_NAME), u"name");
            win::PressCaptionClose(field);
        });
        Press(dlg, IDC_NEWSHP_ADD);
        EXPECT_EQ(Rows(dlg), 2);
        answers_ = {u"\\d\\other.dbf"};
        Press(dlg, IDC_NEWSHP_IMPORT);
        EXPECT_EQ(Rows(dlg), 4);  // COUNT and EXTRA; Name refused
        EXPECT_EQ(MessageTexts(), (std::vector<WString>{u"The field 'name' is already in the list.",
                                                        u"The field 'Name' is already in the list."}));
        // A table that does not open.
        answers_ = {u"\\d\\missing.dbf"};
        Press(dlg, IDC_NEWSHP_IMPORT);
        EXPECT_EQ(MessageTexts().back(), u"Error opening '\\d\\missing.dbf'");
        // Delete follows the selection.
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_NEWSHP_DELETE)));
        win::ListViewUserTap(List(dlg), 3);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_NEWSHP_DELETE)));
        Press(dlg, IDC_NEWSHP_DELETE);
        EXPECT_EQ(Rows(dlg), 3);
        win::PressCaptionClose(dlg);
    });
    WString path;
    EXPECT_FALSE(RunNewShapefileDialog(nullptr, path, nullptr));
    EXPECT_FALSE(HostExists("d/FIELD3.shp"));
}

TEST_F(NewShapefile, OverwritingRemovesStaleCompanionsAndAFailedTableLeavesNothing) {
    for (const char* ext : {"shp", "shx", "dbf", "sbn", "sbx", "prj", "cpg", "znl"}) Put(std::string("d/old.") + ext, "x");
    answers_ = {u"\\d\\old.shp"};
    win::PushModalHook([&](HWND dlg) {
        AddField(dlg, u"ID", 1, u"6", nullptr);
        SetDlgItemText(dlg, IDC_NEWSHP_CODEPAGE, u"1252");
        win::PressCaptionOk(dlg);
    });
    WString path;
    ASSERT_TRUE(RunNewShapefileDialog(nullptr, path, nullptr));
    for (const char* ext : {"sbn", "sbx", "prj", "cpg"}) EXPECT_FALSE(HostExists(std::string("d/old.") + ext)) << ext;
    EXPECT_TRUE(HostExists("d/old.znl"));  // the user's own design stays
    EXPECT_NE(Run("ogrinfo -so -al '" + Host("d/old.shp") + "'").find("ID: Integer"), std::string::npos);

    // The second field's write fails: a message, no files, the dialog open.
    answers_ = {u"\\d\\half.shp", u"\\d\\half.shp"};
    win::PushModalHook([&](HWND dlg) {
        AddField(dlg, u"A", 0, u"5", nullptr);
        AddField(dlg, u"B", 0, u"5", nullptr);
        SetDlgItemText(dlg, IDC_NEWSHP_CODEPAGE, u"1255");
        fs::test::FailNthWrite(4);
        win::PressCaptionOk(dlg);
        win::input::DrainQueue();
        EXPECT_TRUE(win::IsDialogRunning(dlg));
        ASSERT_FALSE(MessageTexts().empty());
        EXPECT_EQ(MessageTexts().back(), u"Error creating shape file '\\d\\half.shp'");
        EXPECT_EQ(HostList("d"), (std::vector<std::string>{"old.dbf", "old.shp", "old.shx", "old.znl"}));
        EXPECT_EQ(Rows(dlg), 2);
        fs::test::Reset();
        win::PressCaptionClose(dlg);
    });
    EXPECT_FALSE(RunNewShapefileDialog(nullptr, path, nullptr));
}

TEST_F(NewShapefile, TheFieldDialogKeepsTypesConsistent) {
    struct Case {
        int type;
        const WChar* width;
        char letter;
        int expectedWidth, decimals;
        bool widthOn, decimalsOn;
    };
    const Case cases[] = {{2, u"30", 'D', 8, 0, false, false},
                          {3, u"30", 'L', 1, 0, false, false},
                          {1, u"30", 'N', 30, 2, true, true},
                          {0, u"30", 'C', 30, 0, true, false}};
    for (const Case& c : cases) {
        DbfFieldInfo field = Field(u"F", 'N', 10, 2);
        win::PushModalHook([&](HWND dlg) {
            SetDlgItemText(dlg, IDC_FIELD_WIDTH, c.width);
            SendMessage(GetDlgItem(dlg, IDC_FIELD_CHARACTER + c.type), BM_CLICK, 0, 0);
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(dlg, IDC_FIELD_WIDTH)) != 0, c.widthOn);
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(dlg, IDC_FIELD_DECIMALS)) != 0, c.decimalsOn);
            win::PressCaptionOk(dlg);
        });
        ASSERT_TRUE(RunFieldDialog(nullptr, field));
        EXPECT_EQ(field.type, c.letter);
        EXPECT_EQ(field.length, c.expectedWidth) << c.letter;
        EXPECT_EQ(field.decimals, c.decimals) << c.letter;
    }
    // An empty name disables OK; a width of 300 is refused with the dialog open.
    DbfFieldInfo field = Field(u"F", 'C', 10, 0);
    win::PushModalHook([&](HWND dlg) {
        SetDlgItemText(dlg, IDC_FIELD_NAME, u"");
        EXPECT_FALSE(OkEnabled(dlg));
        SetDlgItemText(dlg, IDC_FIELD_NAME, u"WIDE");
        EXPECT_TRUE(OkEnabled(dlg));
        SetDlgItemText(dlg, IDC_FIELD_WIDTH, u"300");
        win::PressCaptionOk(dlg);
        win::input::DrainQueue();
        EXPECT_TRUE(win::IsDialogRunning(dlg));
        EXPECT_EQ(GetDlgItemTextString(dlg, IDC_FIELD_WIDTH), u"300");
        win::PressCaptionClose(dlg);
    });
    EXPECT_FALSE(RunFieldDialog(nullptr, field));
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_EQ(win::MessageBoxLog().back().text, u"Please enter an integer between 1 and 254.");
}

TEST_F(NewShapefile, Pictures) {
    win::PushModalHook([&](HWND dlg) {
        AddField(dlg, u"NAME", 0, u"20", nullptr);
        AddField(dlg, u"AREA", 1, u"12", u"3");
        win::input::DrainQueue();
        UpdateWindow(dlg);
        for (HWND child : GetChildren(dlg)) UpdateWindow(child);
        golden::Expect("new_shapefile_dialog", dlg);
        win::PushModalHook([](HWND field) {
            win::input::DrainQueue();
            UpdateWindow(field);
            for (HWND child : GetChildren(field)) UpdateWindow(child);
            golden::Expect("field_dialog", field);
            win::PressCaptionClose(field);
        });
        Press(dlg, IDC_NEWSHP_ADD);
        win::PressCaptionClose(dlg);
    });
    WString path;
    RunNewShapefileDialog(nullptr, path, nullptr);
}

}  // namespace
