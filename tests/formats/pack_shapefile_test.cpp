// Packing: deleted records leave all three files, the result reads in shpdump
// and ogrinfo like GDAL's own repack, and no failure (cancel, full disk, a
// failing write or rename at any step) touches the source.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>

#include "formats/dbf/dbf_field.h"
#include "formats/shape/shape_builders.h"
#include "formats/shape/spatial_index.h"
#include "map/services/shape_pack_ui.h"
#include "platform/win/msgbox.h"
#include "platform/win/winconst.h"
#include "platform/win/window.h"
#include "shape_test_util.h"

namespace {

// Records what packing asks of the user interface.
class RecordingUi : public IPackUi {
public:
    int MessageBox(const WString& text, UINT type) override {
        boxes.push_back({text::ToUtf8(text), type});
        if (!answers.empty()) {
            const int a = answers.front();
            answers.erase(answers.begin());
            return a;
        }
        return IDOK;
    }
    void BeginProgress(const WString& title, int range, int step, const WString& status) override {
        progress = text::ToUtf8(title) + "|" + std::to_string(range) + "|" + std::to_string(step) +
                   "|" + text::ToUtf8(status);
    }
    bool StepProgress() override { return ++steps != cancelAtStep; }
    void EndProgress() override {
        ended = true;
        if (onEnd) onEnd();
    }
    void Beep(UINT type) override { beeps.push_back(type); }
    bool GetFreeBytes(const WString& path, uint64_t* bytes) override {
        if (!fakeFree) return IPackUi::GetFreeBytes(path, bytes);
        *bytes = freeBytes;
        return true;
    }

    std::vector<std::pair<std::string, UINT>> boxes;
    std::vector<int> answers;
    std::string progress;
    int steps = 0;
    int cancelAtStep = -1;
    bool ended = false;
    std::vector<UINT> beeps;
    bool fakeFree = false;
    uint64_t freeBytes = 0;
    std::function<void()> onEnd;
};

class PackTest : public DbfRootTest {
protected:
    void SetUp() override {
        DbfRootTest::SetUp();
        ShpResetForTests();
    }
    // A point shapefile "\\p.shp" of n records with NAME "row<i>" at (i, 2i),
    // the given records deleted (0-based).
    void Make(int n, std::initializer_list<int> deleted, int ldid = -1) {
        ShpHandle h = ShpCreate(u"\\p.shp", kShapePoint, 0);
        ASSERT_NE(h, nullptr);
        DbfHandle t = ShpGetTable(h);
        ASSERT_EQ(DbfAddField(t, "NAME", 'C', 10, 0), 0);
        if (ldid >= 0) DbfSetLanguageDriverId(t, ldid);
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
    // Opens the object as a layer would (read-write).
    void Open(CShapeFile& f) { ASSERT_TRUE(f.Open(u"\\p.shp", kShpReadWrite)); }
};

TEST_F(PackTest, NothingDeletedDoesNothing) {
    Make(4, {});
    const auto before = Snapshot();
    CShapeFile f;
    Open(f);
    RecordingUi ui;
    EXPECT_EQ(PackShapefile(f, false, ui), 1);
    EXPECT_TRUE(ui.progress.empty());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(PackTest, DeletedRecordsLeaveAllThreeFiles) {
    Make(3, {1}, 0xC9);
    CShapeFile f;
    Open(f);
    ShpHandle held = f.GetHandle();  // as a script recordset holds it
    DbfHandle heldTable = ShpGetTable(held);
    RecordingUi ui;
    ASSERT_EQ(PackShapefile(f, true, ui), 1);
    EXPECT_EQ(ui.progress, "Packing shapefile|3|1|\\p.shp ...");
    EXPECT_EQ(ui.beeps, std::vector<UINT>{MB_ICONINFORMATION});
    // The same handles, now on the packed files.
    EXPECT_EQ(f.GetHandle(), held);
    EXPECT_EQ(ShpGetTable(held), heldTable);
    ASSERT_EQ(ShpGetRecordCount(held), 2);
    EXPECT_EQ(DbfGetRecordCount(heldTable), 2);
    EXPECT_EQ(text::ToUtf8(f.GetTable().GetFieldString(0, DbfReadRecord(heldTable, 1)
                                                              ? DbfGetRecordBuffer(heldTable)
                                                              : nullptr)),
              "row2");
    ShapeRecord* r = ShpReadShape(held, 1);
    ASSERT_NE(r, nullptr);
    double x, y, z, m;
    ShpGetPartPoint(held, 0, &x, &y, &z, &m, r);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 4);
    // The table keeps its language driver; nothing is left beside the files;
    // the index was rebuilt with the new numbering.
    EXPECT_EQ(static_cast<uint8_t>(Get("p.dbf")[29]), 0xC9);
    EXPECT_EQ(HostList(""), (std::vector<std::string>{"p.dbf", "p.sbn", "p.sbx", "p.shp", "p.shx"}));
    CSpatialIndex index;
    ASSERT_TRUE(index.OpenForLayer(held));
    EXPECT_EQ(index.QueryRect(CDoubleRect(1.5, 3.5, 2.5, 4.5), 0), 1);
    EXPECT_TRUE(index.GetResultSet(0)->Contains(2));
    index.Close();
    f.Close();

    // Independent readers: shpdump lists two shapes in order.
    const std::string dump = Shpdump(Host("p.shp"));
    const std::vector<DumpShape> shapes = ParseShpdump(dump);
    ASSERT_EQ(shapes.size(), 2u) << dump;
    EXPECT_EQ(shapes[1].vertices[0][0], 2);
}

// The packed files take the names the source files have on the disk, in
// their letter case, whatever case the shapefile was opened in.
TEST_F(PackTest, PackedFilesKeepTheSourceNames) {
    Make(3, {1});
    const std::pair<const char*, const char*> names[] = {
        {"p.shp", "P.SHP"}, {"p.shx", "P.SHX"}, {"p.dbf", "P.DBF"}};
    for (const auto& [made, upper] : names) std::filesystem::rename(Host(made), Host(upper));
    CShapeFile f;
    Open(f);
    RecordingUi ui;
    ASSERT_EQ(PackShapefile(f, false, ui), 1);
    EXPECT_EQ(ShpGetRecordCount(f.GetHandle()), 2);
    f.Close();
    EXPECT_EQ(HostList(""), (std::vector<std::string>{"P.DBF", "P.SHP", "P.SHX"}));
}

// Our pack gives the very records, in the same order, that GDAL's own
// repack of the same source gives, as shpdump and dbfdump list every record
// of the files (a file left unpacked lists its deleted ones too).
TEST_F(PackTest, PackedFilesListLikeGdalsRepack) {
    REQUIRE_TOOL("ogrinfo");
    REQUIRE_TOOL("shpdump");
    REQUIRE_TOOL("dbfdump");
    // The file's bounds are left out: a file without measures has no M range,
    // which we write as the empty range and GDAL as 0.
    auto listing = [&](const std::string& dir) {
        return RunTool("cd '" + Host(dir) + "' && shpdump -precision 17 p.shp 2>&1 | "
                       "grep -v '^File Bounds\\|^         to  (' && dbfdump -m p.dbf 2>&1");
    };
    Make(7, {0, 3, 4});
    std::filesystem::create_directory(Host("gdal"));
    for (const char* e : {".shp", ".shx", ".dbf"})
        std::filesystem::copy_file(Host(std::string("p") + e), Host(std::string("gdal/p") + e));
    // The source lists all seven records: a pack that did nothing would show.
    const std::string unpacked = listing("gdal");
    int status = -1;
    const std::string out =
        RunTool("ogrinfo '" + Host("gdal/p.shp") + "' -sql 'REPACK p' 2>&1", &status);
    ASSERT_EQ(status, 0) << out;
    const std::string gdal = listing("gdal");
    ASSERT_NE(gdal, unpacked);
    EXPECT_NE(gdal.find("# of Shapes: 4"), std::string::npos) << gdal;
    CShapeFile f;
    Open(f);
    RecordingUi ui;
    ASSERT_EQ(PackShapefile(f, false, ui), 1);
    f.Close();
    EXPECT_EQ(listing(""), gdal);
}

TEST_F(PackTest, ProgressIsServicedEveryStep) {
    struct {
        int records, step, steps;
    } cases[] = {{100, 5, 20}, {30, 1, 30}, {41, 2, 21}};
    for (auto c : cases) {
        Make(c.records, {0});
        CShapeFile f;
        Open(f);
        RecordingUi ui;
        ASSERT_EQ(PackShapefile(f, false, ui), 1);
        EXPECT_EQ(ui.progress, "Packing shapefile|" + std::to_string(c.records) + "|" +
                                   std::to_string(c.step) + "|\\p.shp ...");
        EXPECT_EQ(ui.steps, c.steps) << c.records;
        EXPECT_EQ(ShpGetRecordCount(f.GetHandle()), c.records - 1);
    }
}

TEST_F(PackTest, CancelAndDeclineLeaveTheSource) {
    Make(30, {3, 7});
    const auto before = Snapshot();
    {
        CShapeFile f;
        Open(f);
        RecordingUi ui;
        ui.cancelAtStep = 10;
        EXPECT_EQ(PackShapefile(f, false, ui), 0);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].first, "Shapefile pack cancelled.");
        EXPECT_EQ(ui.boxes[0].second, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
        EXPECT_EQ(ui.beeps, std::vector<UINT>{MB_ICONEXCLAMATION});
        EXPECT_EQ(ShpGetRecordCount(f.GetHandle()), 30);
    }
    EXPECT_EQ(Snapshot(), before);
    {
        CShapeFile f;
        Open(f);
        RecordingUi ui;
        ui.fakeFree = true;
        uint64_t need = 0;
        for (const char* e : {"p.shp", "p.shx", "p.dbf"}) need += Get(e).size();
        ui.freeBytes = need / 2;
        ui.answers = {IDNO};
        EXPECT_EQ(PackShapefile(f, false, ui), 0);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].first,
                  "50% of the size of \\p.shp is available as free disk space, this may not be "
                  "enough to pack the file. Do you wish to continue ?");
        EXPECT_EQ(ui.boxes[0].second, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
        EXPECT_TRUE(ui.progress.empty());
    }
    EXPECT_EQ(Snapshot(), before);
}

// With the program's own progress window: a queued Escape cancels the pack
// and the source stays as shpdump and dbfdump read it before.
TEST_F(PackTest, QueuedEscapeCancelsAndLeavesTheSource) {
    win::ResetForTests();
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

// A write failing at any step of the pack, or any of the six renames of the
// swap failing, leaves the source byte for byte and the object open on it.
TEST_F(PackTest, FailuresAtEveryStepKeepTheSource) {
    Make(5, {1, 3});
    const auto before = Snapshot();
    int packedAt = -1;
    for (int k = 1; k < 500 && packedAt < 0; ++k) {
        SCOPED_TRACE("write " + std::to_string(k));
        CShapeFile f;
        Open(f);
        ShpHandle held = f.GetHandle();
        RecordingUi ui;
        fs::test::FailNthWrite(k);
        const int result = PackShapefile(f, false, ui);
        fs::test::Reset();
        if (result == 1) {
            packedAt = k;
            // The write that failed (if any was left) did not matter: the
            // result is whole.
            ASSERT_EQ(ShpGetRecordCount(held), 3);
            ASSERT_TRUE(DbfReadRecord(ShpGetTable(held), 2));
            EXPECT_EQ(text::ToUtf8(DbfGetString(ShpGetTable(held), 0)), "row4");
            break;
        }
        EXPECT_EQ(f.GetHandle(), held);
        EXPECT_EQ(ShpGetRecordCount(held), 5);
        EXPECT_NE(ShpReadShape(held, 4), nullptr);
        f.Close();
        ASSERT_EQ(Snapshot(), before);
    }
    EXPECT_GT(packedAt, 0);
    const char* targets[] = {"$Original_p.shp", "$Pack_p.shp", "$Original_p.shx",
                             "$Pack_p.shx",     "$Original_p.dbf", "$Pack_p.dbf"};
    for (const char* target : targets) {
        SCOPED_TRACE(target);
        for (const std::string& name : HostList("")) std::filesystem::remove(Host(name));
        Make(5, {1, 3});
        const auto source = Snapshot();
        CShapeFile f;
        Open(f);
        ShpHandle held = f.GetHandle();
        RecordingUi ui;
        const WString device = u"\\" + text::FromUtf8(target);
        ui.onEnd = [&] { fs::test::FailPath(device, fs::kErrorAccessDenied); };
        EXPECT_EQ(PackShapefile(f, false, ui), 0);
        fs::test::Reset();
        EXPECT_EQ(ShpGetRecordCount(held), 5);
        EXPECT_NE(ShpReadShape(held, 4), nullptr);
        f.Close();
        auto after = Snapshot();
        after.erase(target);  // a "$Pack_" file the fault kept from being removed
        EXPECT_EQ(after, source);
    }
}

// The process ending right after any rename, delete or write of a pack (or
// of a new shapefile created over an old one) leaves, for the next open,
// either the old files or the new ones, whole: never a packed `.shp` with
// the old `.shx` or `.dbf`, never a shape with another row's attributes.
int g_stepsLeft = 0;
constexpr int kEnded = 70, kFinished = 71, kFailed = 72;

TEST_F(PackTest, EndingTheProcessAtAnyStepLeavesOldOrNewFiles) {
    struct Row {
        const char* what;
        std::function<bool()> run;  // in the child process
        int newCount;               // records of the new files
    } rows[] = {
        {"pack",
         [] {
             CShapeFile f;
             RecordingUi ui;
             return f.Open(u"\\p.shp", kShpReadWrite) && PackShapefile(f, true, ui) == 1;
         },
         3},
        {"create over",
         [] {
             ShpHandle h = ShpCreate(u"\\p.shp", kShapePoint, 0);
             if (!h) return false;
             const bool ok = DbfAddField(ShpGetTable(h), "NAME", 'C', 10, 0) == 0;
             return ShpClose(h) && ok;
         },
         0},
    };
    for (const Row& row : rows) {
        int finishedAt = 0;
        for (int step = 1; step < 1000 && !finishedAt; ++step) {
            SCOPED_TRACE(std::string(row.what) + ", ended after step " + std::to_string(step));
            for (const std::string& name : HostList("")) std::filesystem::remove(Host(name));
            Make(4, {1});
            ShpResetForTests();
            {
                // With an index beside it, so the index swap is covered too.
                CShapeFile f;
                Open(f);
                CSpatialIndex index;
                index.Rebuild(f.GetHandle());
            }
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                g_stepsLeft = step;
                fs::test::OnStep(+[] {
                    if (--g_stepsLeft == 0) _exit(kEnded);
                });
                _exit(row.run() ? kFinished : kFailed);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status));
            ASSERT_NE(WEXITSTATUS(status), kFailed);
            if (WEXITSTATUS(status) == kFinished) finishedAt = step;

            // The next open is the table's alone, then (on the same files
            // again) the shapefile's.
            std::map<std::string, std::string> left;
            for (const std::string& name : HostList("")) left[name] = Get(name);
            for (bool tableFirst : {true, false}) {
                SCOPED_TRACE(tableFirst ? "table opened first" : "shapefile opened first");
                for (const std::string& name : HostList("")) std::filesystem::remove(Host(name));
                for (const auto& [name, bytes] : left) Put(name, bytes);
                int tableRows = -1;
                if (tableFirst) {
                    DbfHandle alone = DbfOpen(u"\\p.dbf", kDbfReadWrite);
                    ASSERT_NE(alone, nullptr);
                    EXPECT_FALSE(HostExists("p.shp.swap"));
                    tableRows = DbfGetRecordCount(alone);
                    DbfClose(alone);
                }
                ShpHandle h = ShpOpen(u"\\p.shp", kShpReadWrite);
                ASSERT_NE(h, nullptr) << ShpGetError(nullptr);
                const int n = ShpGetRecordCount(h);
                if (finishedAt) {
                    EXPECT_EQ(n, row.newCount);
                }
                ASSERT_TRUE(n == 4 || n == row.newCount) << n;
                if (tableFirst) {
                    EXPECT_EQ(tableRows, n);
                }
                DbfHandle t = ShpGetTable(h);
                EXPECT_EQ(DbfGetRecordCount(t), n);
                EXPECT_EQ(ShpGetIndexCount(h), n);
                EXPECT_FALSE(DbfIsDamaged(t));
                // Every shape still has its own row: the point (i, 2i) is "row<i>".
                int live = 0;
                for (int j = 0; j < n; ++j) {
                    if (ShpIsRecordDeleted(h, j)) continue;
                    ShapeRecord* r = ShpReadShape(h, j);
                    ASSERT_NE(r, nullptr) << j;
                    double x, y, z, m;
                    ShpGetPartPoint(h, 0, &x, &y, &z, &m, r);
                    ASSERT_TRUE(DbfReadRecord(t, j));
                    EXPECT_EQ(text::ToUtf8(DbfGetString(t, 0)), "row" + std::to_string(int(x)));
                    ++live;
                }
                EXPECT_EQ(live, n == 4 ? 3 : n);
                ShpClose(h);
                // The next open left nothing to settle.
                EXPECT_FALSE(HostExists("p.shp.swap"));
                EXPECT_FALSE(HostExists("p.sbn.swap"));
                if (HostExists("p.sbn")) {
                    CShapeFile f;
                    Open(f);
                    CSpatialIndex index;
                    ASSERT_TRUE(index.OpenForLayer(f.GetHandle()));
                    // The index finds every live point where it is, under its
                    // record number in these files.
                    for (int i : {0, 2, 3}) {
                        if (n == 0) break;
                        const int record = n == 4 ? i : (i == 0 ? 0 : i - 1);
                        ASSERT_EQ(
                            index.QueryRect(CDoubleRect(i - 0.5, 2 * i - 0.5, i + 0.5, 2 * i + 0.5), 0),
                            1)
                            << i;
                        EXPECT_TRUE(index.GetResultSet(0)->Contains(record + 1))
                            << i;  // numbered from 1
                    }
                }
            }
        }
        EXPECT_GT(finishedAt, 1) << row.what;
        std::printf("%s: ended after each of %d steps\n", row.what, finishedAt - 1);
        std::fflush(stdout);
    }
}

class ShapeFileObject : public DbfRootTest {};

TEST_F(ShapeFileObject, OwnershipBufferAndDeletion) {
    ShpHandle h = ShpCreate(u"\\o.shp", kShapePolygon, 0);
    ASSERT_NE(h, nullptr);
    const DoublePoint ring[] = {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}};
    ASSERT_EQ(ShpAppendPointList(h, 5, ring), 0);
    ASSERT_EQ(ShpAppendPointList(h, 5, ring), 1);
    {
        // Closing a non-owning object leaves the handle usable.
        CShapeFile view(h, false);
        ASSERT_NE(view.ReserveBuffer(10), nullptr);
        EXPECT_GE(ShapeHeapCapacity(view.GetBuffer()), 48u);
        double d = -1;
        EXPECT_EQ(view.HitTest({5, 5}, &d, 0.1, nullptr), 0);  // the first containing
        EXPECT_EQ(d, 0);
        EXPECT_EQ(view.HitTest({50, 5}, &d, 0.1, nullptr), -1);
        EXPECT_EQ(view.DeleteFiles(), 0);  // not its files to remove
        view.Close(false);
        EXPECT_EQ(view.GetBuffer(), nullptr);
    }
    EXPECT_EQ(ShpGetRecordCount(h), 2);
    CShapeFile owner(h, true);
    for (const char* e : {"sbn", "sbx", "ain", "aih", "prj", "cpg"}) Put(std::string("o.") + e, "x");
    EXPECT_EQ(owner.DeleteFiles(), 1);
    EXPECT_EQ(HostList(""), std::vector<std::string>{"o.cpg"});
}

}  // namespace
