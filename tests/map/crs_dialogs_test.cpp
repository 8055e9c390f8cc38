#include "map/dialogs/crs_dialogs.h"

#include <fstream>
#include <iterator>

#include "crs/wkt.h"
#include "platform/win/controls.h"
#include "tests/core/ui_test_util.h"
#include "tests/formats/dbf_test_util.h"
#include "tests/platform/win_golden.h"
#include "platform/win/input.h"
#include "tools/datum_table_writer.h"
#include "resources/zres.h"

namespace {

DatumFileRow Row(const char16_t* datum, bool isDefault, int tranId, double dx) {
    DatumFileRow r;
    r.isDefault = isDefault;
    r.datumId = 6326;
    r.transformationId = tranId;
    r.datum = datum;
    r.spheroid = u"WGS84";
    r.a = 6378137.0;
    r.inverseFlattening = 298.257223563;
    r.method = u"Geocentric_Translation";
    r.dx = dx;
    return r;
}

class CrsDialogsTest : public uitest::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        fs::test::Reset();
        DbfResetForTests();
        // Two rows named like the built-in one and another datum.
        ASSERT_TRUE(WriteDatumTable(u"\\znDatums.dbf",
                                    {Row(u"WGS84", false, 101, 1.5), Row(u"WGS84", false, 102, 2.5),
                                     Row(u"D_North_American_1927", true, 1173, -8)}));
        SetDatumTableFile(u"\\znDatums.dbf");
    }
    void TearDown() override {
        SetDatumTableFile(u"");
        fs::test::Reset();
        UiTest::TearDown();
    }
    std::string Host(const char* rel) const { return (root_ / rel).string(); }
    std::string Bytes(const char* rel) const {
        std::ifstream in(Host(rel), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The DEFAULT column as dbfdump reads it (raw: it shows no logicals
    // otherwise), one letter per record.
    std::string DefaultColumn() const {
        const std::string out = RunTool("dbfdump -r -m '" + Host("znDatums.dbf") + "' 2>&1");
        std::string flags;
        size_t at = 0;
        while ((at = out.find("DEFAULT", at)) != std::string::npos) {
            const size_t colon = out.find(':', at);
            if (colon == std::string::npos) break;
            size_t v = colon + 1;
            while (v < out.size() && out[v] == ' ') ++v;
            flags.push_back(v < out.size() ? out[v] : '?');
            at = colon;
        }
        return flags;
    }
    static std::unique_ptr<CCoordSys> FromWkt(const WString& wkt) {
        CWktCoordSys w;
        if (!w.ParseWkt(wkt)) return nullptr;
        return w.CreateProjection();
    }
};

TEST_F(CrsDialogsTest, ProjectionInformationForUtm11N) {
    auto cs = FromWkt(
        u"PROJCS[\"WGS_1984_UTM_Zone_11N\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\","
        u"SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],"
        u"UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Transverse_Mercator\"],"
        u"PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_Northing\",0.0],"
        u"PARAMETER[\"Central_Meridian\",-117.0],PARAMETER[\"Scale_Factor\",0.9996],"
        u"PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]");
    ASSERT_TRUE(cs);
    const std::vector<WString> expected = {
        u"Projection = WGS_1984_UTM_Zone_11N",
        u"Projection Type = Transverse_Mercator",
        u"Projection Units = Meter",
        u"Projection Units Factor = 1",
        u"Datum Name = D_WGS_1984",
        u"Spheroid Name = WGS_1984",
        u"Semi-major Axis = 6378137",
        u"Inverse Flattening = 298.257223563",
        u"False Easting = 500000",
        u"False Northing = 0",
        u"Scale Factor = 0.9996",
        u"Origin Longitude = -117",
        u"Origin Latitude = 0",
        u"Standard Parallel 1 = 0",
        u"Standard Parallel 2 = 0",
        u"Azimuth = 0",
        u"Prime Meridian = 0",
        u"Prime Meridian Name = Greenwich",
        u"Geographic Units = Degree",
        u"Geographic Units Factor = 0.0174532925199433",
        u"Method = Unknown",
        u"dX = 0",
        u"dY = 0",
        u"dZ = 0",
        u"Rx = 0",
        u"Ry = 0",
        u"Rz = 0",
        u"Sc = 0",
    };
    EXPECT_EQ(ProjectionInfoLines(*cs), expected);

    // The dialog lists them.
    win::PushModalHook([&](HWND dlg) {
        HWND list = GetDlgItem(dlg, IDC_PROJECTION_LIST);
        EXPECT_EQ(SendMessage(list, LB_GETCOUNT, 0, 0), 28);
        WChar buffer[128] = {};
        SendMessage(list, LB_GETTEXT, 11, reinterpret_cast<LPARAM>(buffer));
        EXPECT_EQ(WString(buffer), u"Origin Longitude = -117");
        win::PressCaptionOk(dlg);
    });
    ShowProjectionInfo(nullptr, cs.get());
}

TEST_F(CrsDialogsTest, GeographicSystemListsZeros) {
    auto cs = FromWkt(
        u"GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
        u"298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]");
    ASSERT_TRUE(cs);
    const std::vector<WString> lines = ProjectionInfoLines(*cs);
    ASSERT_EQ(lines.size(), 28u);
    EXPECT_EQ(lines[1], u"Projection Type = Geographic");
    for (size_t i : {8u, 9u, 10u, 11u, 12u, 13u, 14u, 15u}) EXPECT_EQ(lines[i].substr(lines[i].size() - 4), u" = 0") << i;
}

TEST_F(CrsDialogsTest, DatumListFilterAndTexts) {
    const std::vector<DatumListRow> rows = DatumListRows(Wgs84Datum(), false);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].tableIndex, 0);
    EXPECT_TRUE(rows[0].marked);  // the built-in row
    EXPECT_EQ(rows[1].tableIndex, 1);
    EXPECT_FALSE(rows[1].marked);
    EXPECT_EQ(rows[2].tableIndex, 2);
    EXPECT_EQ(rows[1].cells,
              (std::vector<WString>{u"WGS84", u"6326", u"101", u"Geocentric_Translation", u"WGS84",
                                    u"6378137", u"298.257223563", u"1.5", u"0", u"0", u"0", u"0",
                                    u"0", u"0"}));
    const std::vector<DatumListRow> all = DatumListRows(Wgs84Datum(), true);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_TRUE(all[3].marked);  // the table's default of its own name
    EXPECT_EQ(DatumListColumns().size(), 14u);
    EXPECT_EQ(DatumMethodName(0), u"Unknown");
    EXPECT_EQ(DatumMethodName(123456), u"");
    EXPECT_EQ(InverseFlattening(0), 0.0);
}

TEST_F(CrsDialogsTest, ChoosingARowMakesItTheDefault) {
    DatumTransformation row = Wgs84Datum();
    win::PushModalHook([](HWND dlg) {
        HWND list = GetDlgItem(dlg, IDC_DATUM_LIST);
        EXPECT_EQ(SendMessage(list, LVM_GETITEMCOUNT, 0, 0), 3);
        // The built-in row: selected and marked.
        EXPECT_EQ(SendMessage(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED), 0);
        LVITEM it;
        it.mask = LVIF_IMAGE | LVIF_PARAM;
        it.iItem = 0;
        SendMessage(list, LVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it));
        EXPECT_EQ(it.iImage, 0);
        EXPECT_EQ(it.lParam, 0);
        it.iItem = 2;
        SendMessage(list, LVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it));
        EXPECT_LT(it.iImage, 0);
        EXPECT_EQ(it.lParam, 2);  // the table index
        const DWORD ex = static_cast<DWORD>(SendMessage(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        EXPECT_EQ(ex & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
                  LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
        LVITEM sel;
        sel.state = LVIS_SELECTED | LVIS_FOCUSED;
        sel.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessage(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&sel));
        win::PressCaptionOk(dlg);
    });
    EXPECT_EQ(DefaultColumn(), "FFT");
    ASSERT_TRUE(ChooseDatumTransformation(nullptr, row, false));
    EXPECT_EQ(row.transformationId, 102);
    EXPECT_NE(row.index & kDatumDefaultFlag, 0);
    EXPECT_EQ(DefaultColumn(), "FTT");
    const DatumTransformation* found = FindDatumByName(u"wgs84");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->transformationId, 102);
    EXPECT_TRUE(win::MessageBoxLog().empty());

    // Cancel changes nothing.
    DatumTransformation again = *found;
    win::PushModalHook([](HWND dlg) { win::PressCaptionClose(dlg); });
    EXPECT_FALSE(ChooseDatumTransformation(nullptr, again, false));
    EXPECT_EQ(again, *found);
}

TEST_F(CrsDialogsTest, AFailedSaveIsReportedAndTheChoiceStillHolds) {
    const std::string before = Bytes("znDatums.dbf");
    LoadDatumTable();
    fs::test::SetReadOnly(u"\\znDatums.dbf", true);
    DatumTransformation row = Wgs84Datum();
    win::ClearMessageBoxLog();
    win::PushModalHook([](HWND dlg) {
        HWND list = GetDlgItem(dlg, IDC_DATUM_LIST);
        LVITEM sel;
        sel.state = LVIS_SELECTED | LVIS_FOCUSED;
        sel.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessage(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&sel));
        win::PressCaptionOk(dlg);
    });
    ASSERT_TRUE(ChooseDatumTransformation(nullptr, row, false));
    EXPECT_EQ(row.transformationId, 101);
    const auto log = win::MessageBoxLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text,
              u"The datum transformation is used for this map, but it could not be saved as the "
              u"default in the datum table.");
    EXPECT_EQ(Bytes("znDatums.dbf"), before);
}

TEST_F(CrsDialogsTest, ShowDatumBeepsForAnUnknownName) {
    CDatumTransformationDlg dlg;
    const size_t windows = win::WindowCount();
    EXPECT_EQ(dlg.ShowDatum(u"D_Nowhere"), IDCANCEL);
    EXPECT_EQ(win::BeepLog(), std::vector<UINT>{0x10});
    EXPECT_EQ(win::WindowCount(), windows);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);

    win::PushModalHook([](HWND d) {
        auto text = [&](int id) { return GetWindowTextString(GetDlgItem(d, id)); };
        EXPECT_EQ(text(IDC_DATUM_NAME), u"D_North_American_1927");
        EXPECT_EQ(text(IDC_SEMI_MAJOR), u"6378137");
        EXPECT_EQ(text(IDC_INV_FLATTENING), u"298.257223563");
        EXPECT_EQ(text(IDC_METHOD_NAME), u"Geocentric_Translation");
        EXPECT_EQ(text(IDC_ROTATIONS), u"0,0,0,0");
        EXPECT_EQ(text(IDC_TRANSLATIONS), u"-8,0,0");
        EXPECT_NE(DWORD(GetWindowLong(d, GWL_EXSTYLE)) & WS_EX_CAPTIONOKBTN, 0u);
        win::PressCaptionOk(d);
    });
    EXPECT_EQ(dlg.ShowDatum(u"d_north_american_1927"), IDOK);
    DatumTransformation none = Wgs84Datum();
    none.method = 0;
    win::PushModalHook([](HWND d) {
        EXPECT_EQ(GetWindowTextString(GetDlgItem(d, IDC_METHOD_NAME)), u"Unknown");
        win::PressCaptionOk(d);
    });
    CDatumTransformationDlg(nullptr).ShowRow(none);
}

TEST_F(CrsDialogsTest, HebrewDatumInformation) {
    LoadHebrew();
    win::PushModalHook([](HWND d) {
        EXPECT_EQ(GetWindowTextString(d), u"מידע על התמרת דטום");
        EXPECT_EQ(GetWindowTextString(GetDlgItem(d, IDC_DATUM_LABEL)), u"דטום");
        EXPECT_EQ(GetWindowTextString(GetDlgItem(d, IDC_METHOD_LABEL)), u"שיטה");
        // Not in the library: the template's text.
        EXPECT_EQ(GetWindowTextString(GetDlgItem(d, IDC_AXIS_LABEL)), u"a && 1/f");
        EXPECT_EQ(DWORD(GetWindowLong(d, GWL_EXSTYLE)) & kRtlExStyles, kRtlExStyles);
        for (int id : {IDC_DATUM_LABEL, IDC_DATUM_NAME, IDC_TRANSLATIONS_LABEL})
            EXPECT_EQ(DWORD(GetWindowLong(GetDlgItem(d, id), GWL_EXSTYLE)) & kRtlExStyles, kRtlExStyles);
        win::PressCaptionOk(d);
    });
    EXPECT_EQ(CDatumTransformationDlg(nullptr).ShowRow(Wgs84Datum()), IDOK);
}

// The same dialog as a Hebrew reader sees it: mirrored, with its labels
// right-aligned and read right to left.
TEST_F(CrsDialogsTest, HebrewDatumInformationPicture) {
    LoadHebrew();
    win::PushModalHook([](HWND d) {
        win::input::DrainQueue();
        UpdateWindow(d);
        for (HWND child : GetChildren(d)) UpdateWindow(child);
        golden::Expect("crs_datum_information_hebrew", d);
        win::PressCaptionOk(d);
    });
    EXPECT_EQ(CDatumTransformationDlg(nullptr).ShowRow(Wgs84Datum()), IDOK);
}

// The Datums dialog grown by 40 by 20 pixels: its list, as the user sees it.
RECT GrownDatumsList() {
    RECT seen{};
    win::PushModalHook([&](HWND d) {
        RECT w{};
        GetWindowRect(d, &w);
        SetWindowPos(d, nullptr, 0, 0, w.right - w.left + 40, w.bottom - w.top + 20,
                     SWP_NOMOVE | SWP_NOZORDER);
        RECT c{}, r{};
        GetClientRect(d, &c);
        GetWindowRect(GetDlgItem(d, IDC_DATUM_LIST), &r);
        POINT p[2] = {{r.left, r.top}, {r.right, r.bottom}};
        MapWindowPoints(nullptr, d, p, 2);
        seen = RECT{p[0].x, p[0].y, p[1].x, p[1].y};
        if (DWORD(GetWindowLong(d, GWL_EXSTYLE)) & WS_EX_LAYOUTRTL) {
            // Mirrored: client x runs from the right edge.
            if (seen.left > seen.right) std::swap(seen.left, seen.right);
            seen = RECT{c.right - seen.right, seen.top, c.right - seen.left, seen.bottom};
        }
        seen.right -= c.right;  // as distances from the right edge
        win::PressCaptionClose(d);
    });
    DatumTransformation row = Wgs84Datum();
    ChooseDatumTransformation(nullptr, row, false);
    return seen;
}

TEST_F(CrsDialogsTest, RightToLeftDatumsDialogIsTheMirrorImage) {
    const RECT ltr = GrownDatumsList();
    LoadHebrew();
    const RECT rtl = GrownDatumsList();
    // The list stretches with the dialog on both sides of the mirror: its
    // seen left edge in one is its right margin in the other.
    EXPECT_EQ(rtl.top, ltr.top);
    EXPECT_EQ(rtl.bottom, ltr.bottom);
    EXPECT_EQ(rtl.left, -ltr.right);
    EXPECT_EQ(-rtl.right, ltr.left);
}

TEST_F(CrsDialogsTest, DatumsDialogPicture) {
    win::PushModalHook([](HWND dlg) {
        win::input::DrainQueue();
        UpdateWindow(dlg);
        for (HWND child : GetChildren(dlg)) UpdateWindow(child);
        golden::Expect("crs_datums", dlg);
        win::PressCaptionClose(dlg);
    });
    DatumTransformation row = Wgs84Datum();
    ChooseDatumTransformation(nullptr, row, false);
}

}  // namespace
