#include "formats/shape/shp_visit.h"

#include <algorithm>
#include <utility>

#include "core/abort_check.h"
#include "formats/dbf/file_io.h"
#include "formats/shape/index_entry.h"
#include "formats/shape/record_set.h"
#include "formats/shape/shp_engine.h"
#include "formats/shape/shp_internal.h"

using namespace shp_detail;

namespace {

CAbortCheck::Poll g_abortPoll = nullptr;
uint32_t g_abortIntervalMs = CAbortCheck::kDefaultIntervalMs;

// The walk's abort check: the caller's poll when the flags ask for it.
CAbortCheck WalkAbortCheck(int flags) {
    return CAbortCheck((flags & kShpVisitPollAbort) ? g_abortPoll : nullptr, g_abortIntervalMs);
}

bool IsNoExtent(const CDoubleRect* e) {
    return !e || (e->xmin == 0 && e->ymin == 0 && e->xmax == 0 && e->ymax == 0);
}

// Points by coordinate, other shapes by box; touching counts.
bool InExtent(const ShapeRecord* r, const CDoubleRect* e) {
    if (!e) return true;
    CDoubleRect box;
    if (!ShpGetShapeBounds(r, &box)) return false;
    return box.xmin <= e->xmax && box.xmax >= e->xmin && box.ymin <= e->ymax && box.ymax >= e->ymin;
}

int LastIndex(ShpHandle h, int end) {
    const int count = std::min(ShpGetRecordCount(h), ShpGetIndexCount(h));
    return end < 0 || end > count ? count : end;
}

// Maps the `.dbf` for the deleted-row test while a walk runs.
struct TableView {
    DbfHandle table;
    bool mine = false;
    explicit TableView(ShpHandle h) : table(ShpGetTable(h)) {
        if (!DbfGetMappedView(table)) mine = DbfMap(table) != nullptr;
    }
    ~TableView() {
        if (mine) DbfUnmap(table);
    }
};

bool RowDeleted(DbfHandle table, int record) {
    const uint8_t* row = DbfGetMappedRecord(table, record);
    return row && row[0] == '*';
}

int Damaged(ShpHandle h, int64_t bytes) {
    ShpSetError(h, kShpErrShape, u"Shape %d bytes", static_cast<int>(bytes));
    return 0;
}

// Reads record `i` (by its index entry) into the handle's buffer for the
// reading walks. 1 visited or skipped (*shape null when skipped), 0 on error.
int ReadForVisit(ShpHandle h, int i, ShapeRecord** shape) {
    *shape = nullptr;
    int number = 0;
    ShapeRecord* r = ReadShape(h, i, nullptr, 0, &number);
    if (!r) {
        if (ShpGetError(h) != kShpErrRealloc) Damaged(h, ShpGetContentLength(h, i));
        return 0;
    }
    if (number <= 0 || ShpGetRecordShapeType(nullptr, r) <= 0) return 1;
    if (RowDeleted(ShpGetTable(h), i)) return 1;
    *shape = r;
    return 1;
}

}  // namespace

CAbortCheck::Poll ShpSetAbortPoll(bool (*poll)(), uint32_t intervalMs) {
    g_abortIntervalMs = intervalMs;
    return std::exchange(g_abortPoll, poll);
}

CAbortCheck ShpAbortCheck() {
    return CAbortCheck(g_abortPoll, g_abortIntervalMs);
}

void* ShpMapFile(ShpHandle h, int which) {
    if (!h || which < 0 || which > 1) return nullptr;
    FioFile* f = which ? h->shx : h->shp;
    // After appends an old view is shorter than the file: make it again.
    if (fioGetView(f) && static_cast<int64_t>(fioGetViewLength(f)) != fioGetSize(f)) fioUnmap(f);
    const bool had = fioGetView(f) != nullptr;
    void* view = fioMap(f);
    if (view && !had) h->mapped[which] = true;
    return view;
}

void ShpUnmapFile(ShpHandle h, int which) {
    if (!h || which < 0 || which > 1) return;
    fioUnmap(which ? h->shx : h->shp);
    h->mapped[which] = false;
}

int ShpMapFiles(ShpHandle h) {
    if (ShpMapFile(h, 0) && ShpMapFile(h, 1)) return 1;
    ShpUnmapFiles(h);
    return 0;
}

void ShpUnmapFiles(ShpHandle h) {
    ShpUnmapFile(h, 0);
    ShpUnmapFile(h, 1);
}

namespace {

// Where record `i` lies in the mapped `.shp`: its header offset and content
// length. -1 when the index entry is missing, 0 when the record runs outside
// the view (damage), 1 when it is inside.
int MappedPlace(ShpHandle h, int i, int64_t* offset, int64_t* length) {
    const uint8_t* shx = static_cast<const uint8_t*>(fioGetView(h->shx));
    const int64_t shxLength = static_cast<int64_t>(fioGetViewLength(h->shx));
    int64_t off;
    const int64_t at = index_entry::Position(i);
    if (shx && at + index_entry::kSize <= shxLength) {
        off = index_entry::Bytes(index_entry::Decode(shx + at).offset);
    } else {
        off = ShpGetRecordOffset(h, i);
        if (off == 0) return -1;
    }
    const uint8_t* shp = static_cast<const uint8_t*>(fioGetView(h->shp));
    const int64_t viewLength = static_cast<int64_t>(fioGetViewLength(h->shp));
    if (off < 100 || off + 8 > viewLength) return 0;
    const int64_t len = 2 * static_cast<int64_t>(static_cast<int32_t>(LoadBe32(shp + off + 4)));
    if (len < 0 || off + 8 + len > viewLength) return 0;
    *offset = off;
    *length = len;
    return 1;
}

}  // namespace

ShapeRecord* ShpGetMappedShape(ShpHandle h, int record) {
    if (!h || !fioGetView(h->shp)) return nullptr;
    int64_t offset, length;
    if (MappedPlace(h, record, &offset, &length) != 1) return nullptr;
    return AsShapeRecord(static_cast<uint8_t*>(fioGetView(h->shp)) + offset + 8);
}

int ShpForEachMapped(ShpHandle h, ShpVisitCallback callback, void* user, const CDoubleRect* extent,
                     int first, int end, int flags) {
    if (!h || !callback) return 0;
    if (IsNoExtent(extent)) extent = nullptr;
    if (extent) {
        CDoubleRect box;
        ShpGetBounds(h, &box);
        if (!(box.xmin <= extent->xmax && box.xmax >= extent->xmin && box.ymin <= extent->ymax &&
              box.ymax >= extent->ymin))
            return 1;
    }
    const bool hadShp = fioGetView(h->shp) != nullptr;
    const bool hadShx = fioGetView(h->shx) != nullptr;
    if (!ShpMapFile(h, 0)) return 0;
    ShpMapFile(h, 1);  // without it the index is read entry by entry
    struct Unmap {
        ShpHandle h;
        bool shp, shx;
        ~Unmap() {
            if (shp) ShpUnmapFile(h, 0);
            if (shx) ShpUnmapFile(h, 1);
        }
    } unmap{h, !hadShp, !hadShx};
    TableView table(h);
    uint8_t* view = static_cast<uint8_t*>(fioGetView(h->shp));
    const bool writable = (fioGetAccess(h->shp) & kFioWrite) != 0;
    CAbortCheck aborted = WalkAbortCheck(flags);
    const int last = LastIndex(h, end);
    for (int i = std::max(first, 0); i < last; ++i) {
        int64_t offset = 0, length = 0;
        const int place = MappedPlace(h, i, &offset, &length);
        if (place < 0) break;
        if (place == 0) return Damaged(h, length);
        uint8_t* rh = view + offset;
        if (static_cast<int32_t>(LoadBe32(rh)) <= 0 || length < 4) continue;
        ShapeRecord* r = AsShapeRecord(rh + 8);
        if (ShapeLoadInt(rh + 8) <= 0 || RowDeleted(table.table, i)) continue;
        if (!ShapeValidateRecord(r, static_cast<size_t>(length))) return Damaged(h, length);
        // A record stored without its Z or M tail is completed in the handle's
        // buffer, so nothing reads into the next record.
        const size_t full = ShapeGetRecordSize(r);
        bool copied = false;
        if (full > static_cast<size_t>(length)) {
            ShapeRecord* b = ShpReserveShapeBuffer(h, full);
            if (!b) {
                ShpSetError(h, kShpErrRealloc, u"Realloc %d bytes", static_cast<int>(full));
                return 0;
            }
            memcpy(b, r, static_cast<size_t>(length));
            FillShortRecord(ShapeBytes(b), static_cast<size_t>(length), full);
            r = b;
            copied = true;
        }
        if (!InExtent(r, extent)) continue;
        const int go = callback(h, i, r, user);
        if (copied && writable) memcpy(rh + 8, r, static_cast<size_t>(length));
        if (!go || aborted()) break;
    }
    return 1;
}

int ShpForEachRead(ShpHandle h, ShpVisitCallback callback, void* user, const CDoubleRect* extent,
                   int first, int end, int flags) {
    if (!h || !callback) return 0;
    if (IsNoExtent(extent)) extent = nullptr;
    TableView table(h);
    CAbortCheck aborted = WalkAbortCheck(flags);
    const int last = LastIndex(h, end);
    for (int i = std::max(first, 0); i < last; ++i) {
        ShapeRecord* r;
        if (!ReadForVisit(h, i, &r)) return 0;
        if (!r || !InExtent(r, extent)) continue;
        if (!callback(h, i, r, user) || aborted()) break;
    }
    return 1;
}

int ShpForEachInSet(ShpHandle h, ShpVisitCallback callback, void* user, int limit, int members,
                    const uint32_t* words, int flags) {
    if (!h || !callback) return 0;
    if (limit < 1 || members < 1 || !words) return 1;
    TableView table(h);
    CAbortCheck aborted = WalkAbortCheck(flags);
    limit = std::min(limit, LastIndex(h, -1));
    // Bit k is record number k, so record index k - 1; bit 0 names none.
    for (int64_t base = 0; base <= limit && members > 0; base += 32) {
        const uint32_t word = words[base / 32];
        if (!word) continue;
        for (int bit = 0; bit < 32 && members > 0; ++bit) {
            const int64_t index = base + bit - 1;
            if (index >= limit) break;
            if (!(word & (1u << bit))) continue;
            --members;
            if (index < 0) continue;
            ShapeRecord* r;
            if (!ReadForVisit(h, static_cast<int>(index), &r)) return 0;
            if (r && !callback(h, static_cast<int>(index), r, user)) return 1;
        }
        if (aborted()) break;
    }
    return 1;
}

int ShpForEachInSet(ShpHandle h, ShpVisitCallback callback, void* user, const ERecordSet& set,
                    int flags) {
    if (!h || !callback) return 0;
    TableView table(h);
    CAbortCheck aborted = WalkAbortCheck(flags);
    const int limit = LastIndex(h, -1);
    for (int n = set.FindNext(0); n > 0 && n - 1 < limit; n = set.FindNext(n)) {
        ShapeRecord* r;
        if (!ReadForVisit(h, n - 1, &r)) return 0;
        if (r && !callback(h, n - 1, r, user)) return 1;
        if (aborted()) break;
    }
    return 1;
}
