#include "formats/shape/shape_pack.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "core/file_stream.h"
#include "core/path.h"
#include "formats/dbf/dbf_internal.h"
#include "formats/message_sink.h"
#include "formats/shape/shp_internal.h"
#include "formats/shape/spatial_index.h"
#include "platform/fs/fs.h"

bool IPackUi::GetFreeBytes(const WString& path, uint64_t* bytes) {
    return fs::GetDiskFreeSpace(path, bytes, nullptr, nullptr);
}

WString IPackUi::LoadString(UINT id) {
    switch (id) {
        case kIdsErrorCreatingShapeFile:
            return u"Error creating shape file '%1'";
        case kIdsPackingShapefile:
            return u"Packing shapefile";
        case kIdsPackCancelled:
            return u"Shapefile pack cancelled.";
        default:
            return {};
    }
}

namespace {

WString Insert(WString text, WStringView value) {
    const size_t p = text.find(u"%1");
    if (p != WString::npos) text.replace(p, 2, value);
    return text;
}

CPath WithTitlePrefix(const CPath& path, WStringView prefix) {
    CPath p = path;
    p.SetTitle(WString(prefix) + path.GetTitle());
    return p;
}

CPath WithExtension(const CPath& path, const WChar* ext) {
    CPath p = path;
    p.SetExtension(ext);
    return p;
}

// The packed files are opened into the caller's handles: the shapefile and
// its table keep their identity, so whoever holds them (a script recordset,
// the layer, the table object) goes on working. Every field but the shape
// buffer changes hands.
void SwapTables(DbfTable& a, DbfTable& b) {
    std::swap(a.file, b.file);
    std::swap(a.header, b.header);
    std::swap(a.fieldCount, b.fieldCount);
    std::swap(a.descriptors, b.descriptors);
    std::swap(a.current, b.current);
    std::swap(a.record, b.record);
    std::swap(a.headerChanged, b.headerChanged);
    std::swap(a.errorCode, b.errorCode);
    std::swap(a.systemError, b.systemError);
    std::swap(a.message, b.message);
    std::swap(a.codePage, b.codePage);
    std::swap(a.openFlags, b.openFlags);
}

void SwapShapefiles(ShpFile& a, ShpFile& b) {
    SwapTables(*a.table, *b.table);
    std::swap(a.shp, b.shp);
    std::swap(a.shx, b.shx);
    std::swap(a.header, b.header);
    std::swap(a.headerChanged, b.headerChanged);
    std::swap(a.errorCode, b.errorCode);
    std::swap(a.systemError, b.systemError);
    std::swap(a.message, b.message);
    std::swap(a.current, b.current);
    std::swap(a.openFlags, b.openFlags);
    std::swap(a.mapped, b.mapped);
    std::swap(a.index, b.index);
    std::swap(a.indexLoaded, b.indexLoaded);
    std::swap(a.shpSize, b.shpSize);
    std::swap(a.ahead, b.ahead);
    std::swap(a.aheadAt, b.aheadAt);
    std::swap(a.lastEnd, b.lastEnd);
}

// Writes what the handle still holds and closes its files, leaving the
// handle itself (and its table object) in place without files.
bool CloseFilesInPlace(ShpHandle h) {
    bool ok = ShpFlush(h) != 0;
    DbfTable* t = h->table;
    if (t->headerChanged && (fioGetAccess(t->file) & kFioWrite)) ok = DbfWriteHeader(t, 0) && ok;
    t->headerChanged = false;
    h->headerChanged = false;
    fioClose(h->shp);
    fioClose(h->shx);
    fioClose(t->file);
    h->shp = h->shx = nullptr;
    t->file = nullptr;
    h->mapped[0] = h->mapped[1] = false;
    return ok;
}

// Opens `path` and moves its files into `h`. False (h unchanged) on failure.
bool ReopenInPlace(ShpHandle h, const WString& path, int flags) {
    ShpHandle n = ShpOpenDuringSwap(path.c_str(), flags);
    if (!n) return false;
    SwapShapefiles(*h, *n);
    // `n` now holds no files; its destructor frees the rest.
    n->headerChanged = false;
    n->table->headerChanged = false;
    delete n;
    return true;
}

struct Triple {
    CPath shp, shx, dbf;
    explicit Triple(const CPath& p)
        : shp(WithExtension(p, u"shp")), shx(WithExtension(p, u"shx")), dbf(WithExtension(p, u"dbf")) {}
    const CPath& operator[](int i) const { return i == 0 ? shp : i == 1 ? shx : dbf; }
};

// Reads the packed files back and compares every shape and row with the
// source: a write the engines did not report would otherwise cost data.
bool VerifyCopy(CShapeFile& source, ShpHandle copy, int live, const CPath& copyShp,
                uint8_t* row) {
    ShpHandle h = source.GetHandle();
    DbfHandle st = ShpGetTable(h), ct = ShpGetTable(copy);
    uint64_t shpSize = 0;
    if (ShpGetRecordCount(copy) != live || ShpGetIndexCount(copy) != live ||
        DbfGetRecordCount(ct) != live || !copyShp.GetFileSize(&shpSize) ||
        static_cast<uint64_t>(ShpGetFileLength(copy)) * 2 != shpSize ||
        DbfGetFieldCount(ct) != DbfGetFieldCount(st) ||
        DbfGetRecordLength(ct) != DbfGetRecordLength(st))
        return false;
    const size_t rowLength = static_cast<size_t>(DbfGetRecordLength(st));
    std::unique_ptr<uint8_t, void (*)(uint8_t*)> other(DbfAllocRecordBuffer(ct),
                                                       DbfFreeRecordBuffer);
    if (!other) return false;
    int i = 0;
    for (int j = 0; j < ShpGetRecordCount(h); ++j) {
        if (source.IsNullShape(j)) continue;
        if (!DbfReadRecord(st, j, row) || !DbfReadRecord(ct, i, other.get()) ||
            memcmp(row, other.get(), rowLength) != 0)
            return false;
        const int length = ShpGetContentLength(h, j);
        if (length <= 0 || ShpGetContentLength(copy, i) != length) return false;
        ShapeRecord* a = source.ReserveBuffer(static_cast<size_t>(length) + 8);
        if (!a || !ShpReadShape(h, j, a, ShapeHeapCapacity(a))) return false;
        const ShapeRecord* b = ShpReadShape(copy, i);
        if (!b || memcmp(ShapeBytes(a), ShapeBytes(b), ShapeGetRecordSize(a)) != 0) return false;
        ++i;
    }
    return i == live;
}

}  // namespace

int PackShapefile(CShapeFile& shapefile, bool rebuildIndex, IPackUi& ui) {
    ShpHandle h = shapefile.GetHandle();
    if (!h) return 0;
    const int count = ShpGetRecordCount(h);
    int firstDeleted = -1;
    for (int j = 0; j < count && firstDeleted < 0; ++j)
        if (shapefile.IsNullShape(j)) firstDeleted = j;
    if (firstDeleted < 0) return 1;

    const CPath source(ShpGetPath(h));
    const Triple src(source);
    uint64_t needed = 0;
    for (int i = 0; i < 3; ++i) {
        uint64_t size = 0;
        if (src[i].GetFileSize(&size)) needed += size;
    }
    uint64_t freeBytes = 0;
    if (ui.GetFreeBytes(source.GetPath(), &freeBytes) && freeBytes < needed) {
        const int percent = static_cast<int>(freeBytes * 100 / needed);
        const WString text = text::Format(
            u"%d%% of the size of %s is available as free disk space, this may not be enough to "
            u"pack the file. Do you wish to continue ?",
            percent, source.GetPath().c_str());
        if (ui.MessageBox(text, kEBoxYesNo | kEIconWarning) != kEAnswerYes) return 0;
    }

    const CPath packPath = WithTitlePrefix(source, u"$Pack_");
    const CPath origPath = WithTitlePrefix(source, u"$Original_");
    const Triple pack(packPath), orig(origPath);
    const int flags = ShpGetOpenFlags(h);
    std::unique_ptr<CShapeFile> packed(shapefile.CreateLike(packPath.GetPath().c_str()));
    if (!packed) {
        ui.MessageBox(Insert(ui.LoadString(kIdsErrorCreatingShapeFile), packPath.GetPath()),
                      kEBoxOk | kEIconError);
        return 0;
    }
    DbfHandle srcTable = ShpGetTable(h);
    DbfHandle newTable = ShpGetTable(packed->GetHandle());
    // The packed table keeps the source's language driver (and so its code page).
    DbfSetLanguageDriverId(newTable, DbfGetLanguageDriverId(srcTable));

    auto fail = [&](bool showCancelled) {
        packed->DeleteFiles();
        packed.reset();
        for (int i = 0; i < 3; ++i) fs::DeleteFile(pack[i].GetPath());
        if (showCancelled) {
            ui.MessageBox(ui.LoadString(kIdsPackCancelled), kEBoxOk | kEIconWarning);
            ui.Beep(kEIconWarning);
        }
        return 0;
    };

    const double unrounded = count * 0.05;
    const int step = std::max(1, static_cast<int>(unrounded));
    ui.BeginProgress(ui.LoadString(kIdsPackingShapefile), count, step,
                     text::Format(u"%s ...", source.GetPath().c_str()));
    std::unique_ptr<uint8_t, void (*)(uint8_t*)> row(DbfAllocRecordBuffer(srcTable),
                                                     DbfFreeRecordBuffer);
    bool ok = row != nullptr;
    int live = 0;
    for (int j = 0; ok && j < count; ++j) {
        if ((unrounded < 2 || j % step == 0) && !ui.StepProgress()) {
            ok = false;
            break;
        }
        if (shapefile.IsNullShape(j)) continue;
        const int length = ShpGetContentLength(h, j);
        ShapeRecord* buffer = shapefile.ReserveBuffer(static_cast<size_t>(length > 0 ? length : 0) + 8);
        if (!buffer) {
            ok = false;
            break;
        }
        ShapeRecord* r = ShpReadShape(h, j, buffer, ShapeHeapCapacity(buffer));
        if (!r || !DbfReadRecord(srcTable, j, row.get())) {
            ok = false;
            break;
        }
        const int at = ShpAppendShape(packed->GetHandle(), r);
        if (at < 0 || !DbfWriteRecord(newTable, at, row.get())) ok = false;
        ++live;
    }
    // The copies must be on disk, whole, before anything of the source moves:
    // closed (which writes the headers) and read back.
    if (ok) {
        ShpFlush(packed->GetHandle());
        packed->Close(true);
        ShpHandle check = ShpOpen(packPath.GetPath().c_str(), 0);
        ok = check && VerifyCopy(shapefile, check, live, pack.shp, row.get());
        ShpClose(check);
    }
    ui.EndProgress();
    if (!ok) return fail(true);
    packed.reset();

    // The old index would number the records wrongly: it goes first. An index
    // held open elsewhere cannot go, and then nothing is swapped.
    if (!CSpatialIndex::DeleteIndexFiles(source.GetPath().c_str())) return fail(true);

    if (!CloseFilesInPlace(h)) {
        ReopenInPlace(h, source.GetPath(), flags);
        return fail(true);
    }
    // Swap, checking every rename: each source file goes aside as
    // "$Original_" and its packed copy takes its name. The originals stay
    // until the packed files are open in their place; until then any failure
    // moves everything back.
    // The journal beside them lets the next open finish or undo a swap this
    // process could not complete, so the three files always belong together.
    fs::RenameSet swap(ShpSwapJournal(source.GetPath().c_str()));
    bool swapped = true;
    for (int i = 0; i < 3 && swapped; ++i)
        swapped = swap.Replace(pack[i].GetPath(), src[i].GetPath(), orig[i].GetPath());
    const bool reopened = swapped && ReopenInPlace(h, source.GetPath(), flags);
    // Kept before the index is rebuilt: an index of the packed records must
    // never sit beside the original ones.
    if (reopened && (swap.Commit() || !swap.IsPending())) {
        ui.Beep(kEIconInformation);
        if (rebuildIndex) {
            try {
                CSpatialIndex index;
                index.Rebuild(h);
            } catch (const CFileException&) {
                // The data is packed; only the index is missing, and it can be
                // rebuilt later.
            }
        }
        return 1;
    }
    // Packed files back to "$Pack_", originals back home.
    if (reopened) CloseFilesInPlace(h);
    swap.Rollback();
    ReopenInPlace(h, source.GetPath(), flags);
    for (int i = 0; i < 3; ++i) fs::DeleteFile(pack[i].GetPath());
    ui.MessageBox(ui.LoadString(kIdsPackCancelled), kEBoxOk | kEIconWarning);
    ui.Beep(kEIconWarning);
    return 0;
}
