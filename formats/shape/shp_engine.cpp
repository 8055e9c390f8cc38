#include "formats/shape/shp_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <memory>
#include <vector>

#include "formats/dbf/file_io.h"
#include "formats/shape/index_entry.h"
#include "formats/shape/shape_extent.h"
#include "formats/shape/shape_geometry.h"
#include "formats/shape/shp_internal.h"
#include "platform/fs/fs.h"

using namespace shp_detail;

namespace {

constexpr size_t kMessageMax = 255;

struct OpenError {
    int code = 0;
    uint32_t systemError = 0;
};
thread_local OpenError t_openError;

ShpHandle FailOpen(std::unique_ptr<ShpFile>& h, int code) {
    t_openError.code = code;
    t_openError.systemError = fioGetLastError();
    h.reset();
    return nullptr;
}

int Fail(ShpHandle h, int code, const WChar* format = nullptr, ...) {
    h->errorCode = code;
    h->systemError = fioGetLastError();
    if (format) {
        va_list ap;
        va_start(ap, format);
        h->message = text::FormatV(format, ap);
        va_end(ap);
    } else {
        h->message = text::Format(u"SHAPE Error:%d WinError:%d(%08lX)", code, h->systemError,
                                  static_cast<unsigned long>(h->systemError));
    }
    if (h->message.size() > kMessageMax) h->message.resize(kMessageMax);
    return 0;
}

// The path with its extension replaced; only a dot in the last component
// counts. Empty when there is none.
WString WithExtension(const WString& path, const char16_t* ext) {
    const size_t slash = path.find_last_of(u"\\/");
    const size_t dot = path.rfind(u'.');
    if (dot == WString::npos || (slash != WString::npos && dot < slash)) return WString();
    return path.substr(0, dot + 1) + ext;
}

struct Access {
    uint32_t access, share, attributes, fioFlags;
};

// As the dBASE engine computes them from the same flags.
Access AccessOf(int flags) {
    Access a;
    a.access = kFioRead | ((flags & kShpReadWrite) ? kFioWrite : 0);
    a.share = kFioShareReadWrite;
    if (flags & kShpNoSharing)
        a.share = kFioShareNone;
    else if (flags & kShpShareAll)
        a.share = kFioShareReadWrite;
    else if (flags & kShpReadWrite)
        a.share = kFioShareRead;
    a.attributes = kFioAttrNormal;
    if (flags & kShpRandomAccess)
        a.attributes |= kFioRandomAccess;
    else if (flags & kShpSequential)
        a.attributes |= kFioSequentialScan;
    a.fioFlags = (flags & kShpForMapping) ? kFioForMapping : 0;
    return a;
}

bool CanWrite(const ShpFile* h) {
    return h->shp && (fioGetAccess(h->shp) & kFioWrite) && h->shx &&
           (fioGetAccess(h->shx) & kFioWrite) && !h->damaged;
}

// Why a handle may not write: damage, or no write access.
int RefusalCode(const ShpFile* h) {
    return h->damaged ? kShpErrDamaged : kShpErrReadOnly;
}

// The entries of a `.shx` found again by walking the records of `.shp`
// from its header on, up to `records` of them or the first record that
// does not fit.
std::vector<uint8_t> FindIndex(FioFile* shp, const uint8_t* header, int records) {
    std::vector<uint8_t> index(header, header + 100);
    const int64_t size = fioGetSize(shp);
    int64_t at = 100;
    for (int i = 0; i < records && at + 8 <= size; ++i) {
        uint8_t rh[8];
        if (fioSeek(shp, at, 0) != at || fioRead(shp, rh, 8) != 8) break;
        const int64_t length = 2 * static_cast<int64_t>(static_cast<int32_t>(LoadBe32(rh + 4)));
        if (length < 0 || at + 8 + length > size) break;
        uint8_t e[index_entry::kSize];
        index_entry::Encode(e, at, length);
        index.insert(index.end(), e, e + sizeof e);
        at += 8 + length;
    }
    return index;
}

bool WriteAt(FioFile* f, int64_t offset, const void* data, uint32_t n) {
    return fioWriteAt(f, offset, data, n) == n;
}
bool ReadAt(FioFile* f, int64_t offset, void* data, uint32_t n) {
    return fioSeek(f, offset, 0) == offset && fioRead(f, data, n) == n;
}

bool Cacheable(const ShpFile* h) {
    return !(h->openFlags & kShpShareAll);
}

void DropCaches(ShpFile* h) {
    h->ahead.clear();
    h->aheadAt = -1;
    h->lastEnd = -1;
    h->index.clear();
    h->index.shrink_to_fit();
    h->indexLoaded = false;
    h->shpSize = -1;
}

// Drops the caches when a write path starts and when it ends.
struct WriteScope {
    ShpFile* h;
    explicit WriteScope(ShpFile* file) : h(file) {
        DropCaches(h);
        h->appendedShp = h->appendedShx = -1;
    }
    ~WriteScope() { DropCaches(h); }
};

int64_t MainSize(ShpHandle h) {
    if (h->shpSize >= 0) return h->shpSize;
    const int64_t size = fioGetSize(h->shp);
    if (Cacheable(h)) h->shpSize = size;
    return size;
}

const uint8_t* IndexBytes(ShpHandle h, int64_t* size) {
    if (!h->foundIndex.empty()) {
        *size = static_cast<int64_t>(h->foundIndex.size());
        return h->foundIndex.data();
    }
    if (!h->indexLoaded && Cacheable(h)) {
        const int64_t n = fioGetSize(h->shx);
        if (n >= 100 && n < (int64_t{1} << 31)) {
            h->index.resize(static_cast<size_t>(n));
            if (ReadAt(h->shx, 0, h->index.data(), static_cast<uint32_t>(n)))
                h->indexLoaded = true;
            else
                h->index.clear();
        }
    }
    if (!h->indexLoaded) return nullptr;
    *size = static_cast<int64_t>(h->index.size());
    return h->index.data();
}

// Reads `.shp` bytes at an offset. Reads that follow one another are served
// from a read-ahead block, so a sequential pass costs one call per block.
uint32_t ReadMain(ShpFile* h, int64_t offset, void* dst, uint32_t n) {
    constexpr uint32_t kBlock = 64 * 1024;
    const int64_t end = h->aheadAt + static_cast<int64_t>(h->ahead.size());
    if (h->aheadAt >= 0 && offset >= h->aheadAt && offset + n <= end) {
        memcpy(dst, h->ahead.data() + (offset - h->aheadAt), n);
        h->lastEnd = offset + n;
        return n;
    }
    const bool sequential = Cacheable(h) && offset == h->lastEnd && n < kBlock;
    h->lastEnd = offset + n;
    if (!sequential) {
        if (fioSeek(h->shp, offset, 0) != offset) return 0;
        return fioRead(h->shp, dst, n);
    }
    h->ahead.resize(kBlock);
    uint32_t got = 0;
    if (fioSeek(h->shp, offset, 0) == offset) got = fioRead(h->shp, h->ahead.data(), kBlock);
    h->ahead.resize(got);
    h->aheadAt = got ? offset : -1;
    const uint32_t out = std::min(got, n);
    memcpy(dst, h->ahead.data(), out);
    return out;
}

// The `.shx` entry of a record: offset and length in bytes.
bool IndexEntry(ShpHandle h, int record, int64_t* offset, int64_t* length) {
    if (record < 0) return false;
    uint8_t e[index_entry::kSize];
    int64_t size = 0;
    if (const uint8_t* index = IndexBytes(h, &size)) {
        const int64_t at = index_entry::Position(record);
        if (at + index_entry::kSize > size) return false;
        memcpy(e, index + at, sizeof e);
    } else {
        if (record >= ShpGetIndexCount(h)) return false;
        if (!ReadAt(h->shx, index_entry::Position(record), e, sizeof e)) return false;
    }
    const index_entry::Words w = index_entry::Decode(e);
    *offset = index_entry::Bytes(w.offset);
    *length = index_entry::Bytes(w.length);
    return true;
}

// Reads the `.shp` record header of a record (number and content bytes) and
// up to `want` bytes of content after it into `head`; *got is how many.
// Checks the record lies inside the file.
bool RecordHeader(ShpHandle h, int record, int64_t* offset, int* number, int64_t* length,
                  uint8_t* head = nullptr, uint32_t want = 0, uint32_t* got = nullptr) {
    int64_t shxLength;
    if (record < 0 || record >= ShpGetRecordCount(h) ||
        !IndexEntry(h, record, offset, &shxLength) || *offset < 100) {
        Fail(h, kShpErrRead, u"Read incomplete %d, %d", 0, 8);
        return false;
    }
    uint8_t buffer[8 + 64];
    want = std::min<uint32_t>(want, 64);
    uint32_t read = 0;
    read = ReadMain(h, *offset, buffer, 8 + want);
    if (read < 8) {
        Fail(h, kShpErrRead, u"Read incomplete %d, %d", static_cast<int>(read), 8);
        return false;
    }
    *number = static_cast<int32_t>(LoadBe32(buffer));
    *length = 2 * static_cast<int64_t>(static_cast<int32_t>(LoadBe32(buffer + 4)));
    int64_t size = MainSize(h);
    if (*length >= 0 && *offset + 8 + *length > size) size = fioGetSize(h->shp);  // grown since
    if (*length < 0 || *offset + 8 + *length > size) {
        Fail(h, kShpErrRead, u"Read incomplete %d, %d", static_cast<int>(size - *offset - 8),
             static_cast<int>(*length));
        return false;
    }
    if (head) {
        const uint32_t inContent = static_cast<uint32_t>(std::min<int64_t>(read - 8, *length));
        memcpy(head, buffer + 8, inContent);
        *got = inContent;
        h->lastEnd = *offset + 8 + inContent;
    }
    return true;
}

bool RowDeleted(ShpHandle h, int record) {
    if (const uint8_t* row = DbfGetMappedRecord(h->table, record)) return row[0] == '*';
    const int64_t off = DbfGetRecordOffset(h->table, record);
    FioFile* f = DbfGetFile(h->table);
    uint8_t flag = 0;
    const bool ok = off > 0 && ReadAt(f, off, &flag, 1);
    DbfSeek(h->table, kDbfCurrent);
    return ok && flag == '*';
}

// Widens (or with first sets) the header's Z and M ranges by the record's.
void HeaderAddZM(ShpHandle h, const ShapeRecord* r, bool first) {
    const int type = ShpGetRecordShapeType(nullptr, r);
    ShapeExtent rec;
    if (!ShpGetShapeExtent(nullptr, &rec, r)) return;
    ShapeExtent e = HeaderExtent(h);
    if (ShapeTypeHasZ(type) && !std::isnan(rec.zmin) && !std::isnan(rec.zmax)) {
        if (first) {
            e.zmin = rec.zmin;
            e.zmax = rec.zmax;
        } else {
            e.zmin = std::fmin(e.zmin, rec.zmin);
            e.zmax = std::fmax(e.zmax, rec.zmax);
        }
        h->headerChanged = true;
    }
    if (ShapeTypeHasM(type)) {
        bool reset = first || IsNoDataMeasure(e.mmin) || IsNoDataMeasure(e.mmax);
        for (double m : {rec.mmin, rec.mmax}) {
            if (IsNoDataMeasure(m)) continue;
            if (reset) {
                e.mmin = e.mmax = m;
                reset = false;
            } else {
                e.mmin = std::fmin(e.mmin, m);
                e.mmax = std::fmax(e.mmax, m);
            }
            h->headerChanged = true;
        }
    }
    SetHeaderExtent(h, e);
}

// Writes a record header and content at `offset` of `.shp`, in one write.
bool WriteRecord(ShpHandle h, int64_t offset, int number, const ShapeRecord* r, size_t size) {
    std::vector<uint8_t>& out = h->ahead;  // free while writing (caches are dropped)
    out.resize(8 + size);
    StoreBe32(out.data(), static_cast<uint32_t>(number));
    StoreBe32(out.data() + 4, static_cast<uint32_t>(size / 2));
    memcpy(out.data() + 8, r, size);
    const uint32_t put = fioWriteAt(h->shp, offset, out.data(), static_cast<uint32_t>(out.size()));
    out.clear();
    if (put < 8) {
        Fail(h, kShpErrWriteRecordHeader, u"Write record header incomplete");
        return false;
    }
    if (put != 8 + size) {
        Fail(h, kShpErrWrite, u"Write incomplete %d, %d", static_cast<int>(put - 8),
             static_cast<int>(size));
        return false;
    }
    return true;
}

bool WriteIndexEntry(ShpHandle h, int record, int64_t offset, size_t size) {
    uint8_t e[index_entry::kSize];
    index_entry::Encode(e, offset, static_cast<int64_t>(size));
    if (!WriteAt(h->shx, index_entry::Position(record), e, sizeof e)) {
        Fail(h, kShpErrWriteIndex, u"Write index record incomplete");
        return false;
    }
    return true;
}

bool TruncateAt(FioFile* f, int64_t size) {
    return fioSeek(f, size, 0) == size && fioTruncate(f);
}

int WriteHeaders(ShpHandle h, int64_t shpSize, int64_t shxSize);
void AddToHeader(ShpHandle h, const ShapeRecord* r, bool first);

// Appends a record with a `.dbf` row (the table's record buffer, or a blank
// one). On failure the three files go back to their old sizes.
int AppendRecord(ShpHandle h, ShapeRecord* r, bool blankRow) {
    const int64_t knownShp = h->appendedShp, knownShx = h->appendedShx;
    WriteScope scope(h);
    if (!CanWrite(h)) return Fail(h, RefusalCode(h)), -1;
    const int type = ShpGetRecordShapeType(nullptr, r);
    if (type != HeaderType(h) || !IsBuildableShapeType(type)) {
        Fail(h, kShpErrTypeMismatch, u"Shape type mismatch");
        return -1;
    }
    const size_t size = ShapeGetRecordSize(r);
    const int64_t shpSize = knownShp >= 0 ? knownShp : fioGetSize(h->shp);
    int64_t shxSize = knownShx >= 0 ? knownShx : fioGetSize(h->shx);
    // An append cut short by the end of the process leaves at most one
    // record that the `.shx` header does not count: its entry (always
    // written before its row) and perhaps its row go before the next one is
    // written. Anything else out of step is refused below, never cut.
    const int count = ShpGetRecordCount(h);
    if (h->shxRecords == count && shxSize == index_entry::Position(count + 1) &&
        DbfGetRecordCount(h->table) <= count + 1 && TruncateAt(h->shx, shxSize - 8)) {
        shxSize -= 8;
        if (DbfGetRecordCount(h->table) == count + 1) DbfSetRecordCount(h->table, count);
    }
    if (shpSize < 100 || shxSize < 100) return Fail(h, kShpErrRead), -1;
    if (shpSize + 8 + static_cast<int64_t>(size) > kShpMaxFileSize ||
        shxSize + 8 > kShpMaxFileSize || shxSize != index_entry::Position(count) ||
        DbfGetRecordCount(h->table) != count) {
        // A `.shx` out of step with the `.dbf` would misplace the new entry.
        Fail(h, kShpErrFileLimit, u"Shapefile size limit");
        return -1;
    }
    ShpComputeShapeBounds(r);
    if (blankRow) DbfBlankRecord(h->table);
    // The order keeps every reader in step if the process dies between any
    // two writes: the record and its `.shx` entry first, then the table's
    // row and count, then the headers, the `.shx` header's length last (the
    // count other programs read; ours is the smaller of it and the table's).
    const int c = count + 1;
    bool ok = WriteRecord(h, shpSize, c, r, size) && WriteIndexEntry(h, c - 1, shpSize, size);
    // A table append that fails leaves the table as it was.
    if (ok && !DbfWriteRecord(h->table, kDbfAppend)) {
        Fail(h, kShpErrAppendRow, u"Append table record");
        ok = false;
    }
    if (!ok) {
        const int code = h->errorCode;
        const WString message = h->message;
        TruncateAt(h->shp, shpSize);
        TruncateAt(h->shx, shxSize);
        h->errorCode = code;
        h->message = message;
        return -1;
    }
    uint8_t oldHeader[100];
    memcpy(oldHeader, h->header, 100);
    const int oldShxRecords = h->shxRecords;
    AddToHeader(h, r, c == 1);
    if (!WriteHeaders(h, shpSize + 8 + static_cast<int64_t>(size), shxSize + 8)) {
        // The record is not counted until its headers are: take it back out.
        const int code = h->errorCode;
        const WString message = h->message;
        memcpy(h->header, oldHeader, 100);
        h->shxRecords = oldShxRecords;
        // The old headers go back before the files are cut: when they
        // cannot (a full disk), the headers on disk may count the new
        // record, so its bytes stay where they are for readers, and the
        // next append writes over them.
        if (WriteHeaders(h, shpSize, shxSize)) {
            TruncateAt(h->shp, shpSize);
            TruncateAt(h->shx, shxSize);
            DbfUndoAppend(h->table);
        } else {
            h->headerChanged = true;
        }
        h->errorCode = code;
        h->message = message;
        return -1;
    }
    h->current = c - 1;
    h->appendedShp = shpSize + 8 + static_cast<int64_t>(size);
    h->appendedShx = shxSize + 8;
    return c - 1;
}

}  // namespace

ShpFile::~ShpFile() {
    DbfClose(table);
    fioClose(shp);
    fioClose(shx);
    ShapeFreeBuffer(buffer);
}

// ---- files ----

WString ShpSwapJournal(const WChar* path) {
    const WString shp = WithExtension(path ? WString(path) : WString(), u"shp");
    return shp.empty() ? shp : DbfSwapJournal(shp);
}

WString ShpIndexSwapJournal(const WChar* path) {
    const WString sbn = WithExtension(path ? WString(path) : WString(), u"sbn");
    return sbn.empty() ? sbn : sbn + u".swap";
}

bool ShpRecoverSwap(const WChar* path) {
    return fs::RecoverRenames(ShpSwapJournal(path)) &&
           fs::RecoverRenames(ShpIndexSwapJournal(path));
}

namespace {

ShpHandle OpenShapefile(const WChar* path, int flags, bool recover) {
    t_openError = OpenError{};
    std::unique_ptr<ShpFile> h(new (std::nothrow) ShpFile);
    if (!h) return FailOpen(h, kShpErrMemory);
    h->openFlags = flags;
    const WString wpath = path ? WString(path) : WString();
    const WString shp = WithExtension(wpath, u"shp");
    if (shp.empty()) return FailOpen(h, kShpErrNoExtension);
    // Files a process left half replaced are put back to one side first.
    if (recover && !ShpRecoverSwap(wpath.c_str())) return FailOpen(h, kShpErrSwap);
    const Access a = AccessOf(flags);
    h->shp = fioOpen(shp.c_str(), a.access, a.share, kFioOpenExisting, a.attributes, a.fioFlags);
    if (!h->shp) return FailOpen(h, kShpErrShpOpen);
    h->shx = fioOpen(WithExtension(wpath, u"shx").c_str(), a.access, a.share, kFioOpenExisting,
                     a.attributes, a.fioFlags);
    if (!h->shx) return FailOpen(h, kShpErrShxOpen);
    if (fioRead(h->shp, h->header, 100) != 100) return FailOpen(h, kShpErrHeader);
    // A `.shx` without its whole header locates no record: every read would fail.
    const int64_t shxSize = fioGetSize(h->shx);
    uint8_t shxHeader[100];
    if (shxSize < 100 || fioRead(h->shx, shxHeader, 100) != 100) return FailOpen(h, kShpErrHeader);
    {
        // Its stored length counts the records, as other readers take it. A
        // `.shx` cut below it is damage (the entries are found again below).
        // More than one entry past it is a stale length, not an append cut
        // short by the end of a process: then the entries there count.
        const int64_t bytes = 2 * static_cast<int64_t>(LoadBe32(shxHeader + 24) & 0x7FFFFFFF);
        const int64_t stored = index_entry::Count(bytes);
        const int64_t present = index_entry::Count(shxSize);
        h->shxRecords = static_cast<int>(std::min<int64_t>(present > stored + 1 ? present : stored, 0x7FFFFFFF));
    }
    if (LoadBe32(h->header) != 9994) return FailOpen(h, kShpErrFileCode);
    h->table = DbfOpen(WithExtension(wpath, u"dbf").c_str(), flags);
    if (!h->table) return FailOpen(h, kShpErrDbfOpen);
    h->buffer = ShapeHeapRealloc(nullptr, 256);
    if (!h->buffer) return FailOpen(h, kShpErrMemory);
    // A `.shx` cut below the records its header and the table count would
    // hide the shapes past the cut: they are found again in `.shp`.
    const int wanted = std::min(DbfGetRecordCount(h->table), h->shxRecords);
    if (shxSize < index_entry::Position(wanted)) {
        h->foundIndex = FindIndex(h->shp, h->header, wanted);
        h->damaged = true;
    }
    if (DbfIsDamaged(h->table)) h->damaged = true;
    if (h->damaged) Fail(h.get(), kShpErrDamaged, u"Damaged shapefile");
    return h.release();
}

}  // namespace

ShpHandle ShpOpen(const WChar* path, int flags) {
    return OpenShapefile(path, flags, true);
}

ShpHandle ShpOpenDuringSwap(const WChar* path, int flags) {
    return OpenShapefile(path, flags, false);
}

ShpHandle ShpOpen(const char* utf8Path, int flags) {
    return ShpOpen(text::FromUtf8(utf8Path ? utf8Path : "").c_str(), flags);
}

namespace {

// A new shapefile, with the fields of `like` when given. Over an old one it
// is all or nothing: the old files stay until the new ones are complete.
ShpHandle CreateShapefile(const WChar* path, int type, int flags, int newTable, ShpHandle like) {
    t_openError = OpenError{};
    std::unique_ptr<ShpFile> h(new (std::nothrow) ShpFile);
    if (!h) return FailOpen(h, kShpErrShpOpen);
    h->openFlags = flags | 1;
    const WString wpath = path ? WString(path) : WString();
    if (WithExtension(wpath, u"shp").empty()) return FailOpen(h, kShpErrNoExtension);
    // An interrupted replacement is settled before its files are set aside again.
    if (!ShpRecoverSwap(wpath.c_str())) return FailOpen(h, kShpErrSwap);
    // The new files keep the names (and letter case) of the old ones.
    const WString shp = fs::ExistingName(WithExtension(wpath, u"shp"));
    const WString shx = fs::ExistingName(WithExtension(wpath, u"shx"));
    const WString dbf = fs::ExistingName(WithExtension(wpath, u"dbf"));
    // The old shapefile and its index files are moved aside together (all
    // or none) and kept until the new one is complete: a create that fails
    // puts them back as they were. An index left beside the new shapes would
    // describe the old ones, so one that cannot be moved stops the create
    // before anything changes.
    fs::RenameSet old(ShpSwapJournal(wpath.c_str()));
    const struct {
        const char16_t* ext;
        int error;
    } sides[] = {{u"shp", kShpErrShpCreate}, {u"shx", kShpErrShxCreate},
                 {u"dbf", kShpErrDbfCreate}, {u"ain", kShpErrShpCreate},
                 {u"aih", kShpErrShpCreate}, {u"sbn", kShpErrShpCreate},
                 {u"sbx", kShpErrShpCreate}};
    for (const auto& side : sides) {
        if (!newTable && side.error == kShpErrDbfCreate) continue;
        if (!old.SetAside(WithExtension(wpath, side.ext))) return FailOpen(h, side.error);
    }
    // What this call created goes again when it fails, so no `.shp`/`.shx`
    // without a matching `.dbf` is left behind; then the old files return.
    struct Rollback {
        std::unique_ptr<ShpFile>& h;
        std::vector<WString> made;
        bool committed = false;
        ~Rollback() {
            if (committed) return;
            const uint32_t error = fs::GetLastError();
            h.reset();
            for (const WString& p : made) fs::DeleteFile(p);
            fs::SetLastError(error);
        }
    } rollback{h, {}};
    const uint32_t mapping = (flags & kShpForMapping) ? kFioForMapping : 0;
    h->shp = fioOpen(shp.c_str(), kFioRead | kFioWrite, kFioShareRead, kFioCreateAlways,
                     kFioAttrNormal, mapping);
    if (!h->shp) return FailOpen(h, kShpErrShpCreate);
    rollback.made.push_back(shp);
    h->shx = fioOpen(shx.c_str(), kFioRead | kFioWrite, kFioShareRead, kFioCreateAlways,
                     kFioAttrNormal, mapping);
    if (!h->shx) return FailOpen(h, kShpErrShxCreate);
    rollback.made.push_back(shx);
    if (newTable) {
        h->table = DbfCreate(dbf.c_str(), 0);
        if (!h->table) return FailOpen(h, kShpErrDbfCreate);
        rollback.made.push_back(dbf);
    } else {
        h->table = DbfOpen(dbf.c_str(), 0);
        if (!h->table) return FailOpen(h, kShpErrDbfOpen);
    }
    h->buffer = ShapeHeapRealloc(nullptr, 256);
    if (!h->buffer) return FailOpen(h, kShpErrMemory);
    StoreBe32(h->header, 9994);
    ShapeStoreInt(h->header + 28, 1000);
    ShapeStoreInt(h->header + 32, type);
    ShapeExtent e;
    ExtentInitNew(&e);
    SetHeaderExtent(h.get(), e);
    if (!ShpWriteHeaders(h.get())) return FailOpen(h, h->errorCode);
    if (!ShpFlush(h.get())) return FailOpen(h, kShpErrWrite);
    // Without all its fields the new table is no copy.
    if (like && !DbfCopyFields(h->table, like->table)) return FailOpen(h, kShpErrDbfCreate);
    // A set that could not be recorded as kept is undone (as `old` goes),
    // with the new files.
    if (!old.Commit() && old.IsPending()) return FailOpen(h, kShpErrShpCreate);
    rollback.committed = true;
    return h.release();
}

}  // namespace

ShpHandle ShpCreateEx(const WChar* path, int type, int flags, int newTable) {
    return CreateShapefile(path, type, flags, newTable, nullptr);
}

ShpHandle ShpCreate(const WChar* path, int type, int flags) {
    return ShpCreateEx(path, type, flags, 1);
}

ShpHandle ShpCreate(const char* utf8Path, int type, int flags) {
    return ShpCreate(text::FromUtf8(utf8Path ? utf8Path : "").c_str(), type, flags);
}

ShpHandle ShpCreateLike(const WChar* path, ShpHandle source) {
    if (!source) return nullptr;
    return CreateShapefile(path, HeaderType(source), 0, 1, source);
}

int ShpClose(ShpHandle h) {
    if (!h) return 0;
    bool ok = !h->headerChanged || ShpWriteHeaders(h);
    // The table's own pending header counts too.
    if (h->table && !DbfClose(h->table)) ok = false;
    h->table = nullptr;
    fioUnmap(h->shp);
    fioUnmap(h->shx);
    delete h;
    return ok ? 1 : 0;
}

int ShpFlush(ShpHandle h) {
    if (!h) return 0;
    // A header that could not be written stays pending (and is reported).
    bool ok = !h->headerChanged || ShpWriteHeaders(h);
    // Every file is flushed even after one failed; any failure is reported.
    if ((fioGetAccess(h->shp) & kFioWrite) && !fioFlush(h->shp)) ok = false;
    if ((fioGetAccess(h->shx) & kFioWrite) && !fioFlush(h->shx)) ok = false;
    if (DbfIsWritable(h->table) && !DbfFlush(h->table)) ok = false;
    return ok ? 1 : 0;
}

int ShpWriteThrough(ShpHandle h) {
    if (!h) return 0;
    // Rows and shapes go to the files as they are written; only the headers wait.
    return !h->headerChanged || ShpWriteHeaders(h) ? 1 : 0;
}

DbfHandle ShpGetTable(ShpHandle h) {
    return h ? h->table : nullptr;
}
FioFile* ShpGetMainFile(ShpHandle h) {
    return h ? h->shp : nullptr;
}
FioFile* ShpGetIndexFile(ShpHandle h) {
    return h ? h->shx : nullptr;
}

const WChar* ShpGetPath(ShpHandle h, WChar* buffer) {
    if (!h) return nullptr;
    const WChar* p = fioGetPath(h->shp);
    if (!buffer) return p;
    const WString s(p);
    const size_t n = std::min<size_t>(s.size(), 259);
    memcpy(buffer, s.data(), n * sizeof(WChar));
    buffer[n] = 0;
    return buffer;
}

int ShpGetOpenFlags(ShpHandle h) {
    return h ? h->openFlags : 0;
}

int64_t ShpGetTotalSize(ShpHandle h) {
    if (!h) return 0;
    return std::max<int64_t>(0, fioGetSize(h->shp)) + std::max<int64_t>(0, fioGetSize(h->shx)) +
           DbfGetFileSize(h->table);
}

int ShpGetRecordCount(ShpHandle h) {
    // A record counts once both the table and the `.shx` header hold it.
    return h ? std::min(DbfGetRecordCount(h->table), h->shxRecords) : -1;
}

int ShpIsDamaged(ShpHandle h) {
    return h && h->damaged ? 1 : 0;
}

int ShpGetIndexCount(ShpHandle h) {
    if (!h) return 0;
    const int64_t size = !h->foundIndex.empty() ? static_cast<int64_t>(h->foundIndex.size())
                         : h->indexLoaded       ? static_cast<int64_t>(h->index.size())
                                                : fioGetSize(h->shx);
    return index_entry::Count(size);
}

int ShpGetShapeType(ShpHandle h) {
    return h ? HeaderType(h) : -1;
}

int ShpGetBounds(ShpHandle h, CDoubleRect* box) {
    if (!h || !box) return -1;
    memcpy(box, h->header + 36, 32);
    return 1;
}

int ShpGetFullExtent(ShpHandle h, ShapeExtent* extent) {
    if (!h || !extent) return 0;
    *extent = HeaderExtent(h);
    return 1;
}

int ShpGetFileCode(ShpHandle h) {
    return h ? static_cast<int>(LoadBe32(h->header)) : 0;
}
int ShpGetFileLength(ShpHandle h) {
    return h ? static_cast<int>(LoadBe32(h->header + 24)) : 0;
}
int ShpGetVersion(ShpHandle h) {
    return h ? ShapeLoadInt(h->header + 28) : 0;
}
uint8_t* ShpGetHeader(ShpHandle h) {
    return h ? h->header : nullptr;
}
void ShpSetHeaderChanged(ShpHandle h) {
    if (h) h->headerChanged = true;
}

// ---- errors ----

int ShpGetError(ShpHandle h, uint32_t* systemError, WChar* textOut) {
    if (!h) {
        if (systemError) *systemError = t_openError.systemError;
        if (textOut) textOut[0] = 0;
        return t_openError.code;
    }
    if (systemError) *systemError = h->systemError;
    if (textOut) {
        memcpy(textOut, h->message.c_str(), (h->message.size() + 1) * sizeof(WChar));
    }
    return h->errorCode;
}

const WChar* ShpGetErrorText(ShpHandle h) {
    return h ? h->message.c_str() : u"";
}

void ShpSetError(ShpHandle h, int code, const WChar* format, ...) {
    if (!h) return;
    if (!format) {
        Fail(h, code);
        return;
    }
    h->errorCode = code;
    h->systemError = fioGetLastError();
    va_list ap;
    va_start(ap, format);
    h->message = text::FormatV(format, ap);
    va_end(ap);
    if (h->message.size() > kMessageMax) h->message.resize(kMessageMax);
}

void ShpResetForTests() {
    t_openError = OpenError{};
    ShapeHeapFailAllocation(0);
}

// ---- headers ----

namespace {

// Writes both headers for files of the given sizes (-1: ask the file).
int WriteHeaders(ShpHandle h, int64_t shpSize, int64_t shxSize) {
    // A read-only view or descriptor cannot take the header: the change stays
    // in memory only.
    if (!CanWrite(h)) {
        h->headerChanged = false;
        return 1;
    }
    for (FioFile* f : {h->shp, h->shx}) {
        uint8_t header[100];
        memcpy(header, h->header, 100);
        const int64_t known = f == h->shp ? shpSize : shxSize;
        const int64_t size = known >= 0 ? known : fioGetSize(f);
        StoreBe32(header + 24,
                size < 2 ? 50u : static_cast<uint32_t>(std::max<int64_t>(size, 100) / 2));
        if (f == h->shp) memcpy(h->header + 24, header + 24, 4);
        const int records = index_entry::Count(size);
        if (uint8_t* view = static_cast<uint8_t*>(fioGetView(f));
            view && fioGetViewLength(f) >= 100) {
            memcpy(view, header, 100);
            if (f == h->shx) h->shxRecords = records;
            continue;
        }
        const int64_t back = fioTell(f);
        if (fioWriteAt(f, 0, header, 100) != 100)
            return Fail(h, kShpErrWriteHeader, u"Write header incomplete");
        if (f == h->shx) h->shxRecords = records;
        fioSeek(f, back, 0);
    }
    h->headerChanged = false;
    return 1;
}

// Widens the header's box and Z and M ranges by a record's.
void AddToHeader(ShpHandle h, const ShapeRecord* r, bool first) {
    CDoubleRect box;
    if (r && ShpGetShapeBounds(r, &box) && !box.IsEmpty()) {
        const bool realMin = IsRealXY(box.xmin, box.ymin);
        HeaderAddXY(h, box.xmin, box.ymin, first && realMin);
        HeaderAddXY(h, box.xmax, box.ymax, first && !realMin);
        HeaderAddZM(h, r, first);
    }
}

}  // namespace

int ShpWriteHeaders(ShpHandle h) {
    return h ? WriteHeaders(h, -1, -1) : 0;
}

int ShpUpdateBounds(ShpHandle h, const ShapeRecord* r, int first) {
    if (!h) return 0;
    AddToHeader(h, r ? r : h->buffer, first != 0);
    return ShpWriteHeaders(h);
}

// ---- records ----

int64_t ShpGetRecordOffset(ShpHandle h, int record) {
    if (!h) return 0;
    int64_t offset, length;
    return IndexEntry(h, record, &offset, &length) ? offset : 0;
}

int ShpSeekRecord(ShpHandle h, int record) {
    if (!h) return 0;
    const int64_t offset = ShpGetRecordOffset(h, record);
    if (offset < 100) return 0;
    if (fioSeek(h->shp, offset, 0) != offset) return 0;
    return fioSeek(h->shx, index_entry::Position(record), 0) >= 0 ? 1 : 0;
}

int ShpGetContentLength(ShpHandle h, int record) {
    if (!h) return 0;
    int64_t offset, length;
    int number;
    if (!RecordHeader(h, record, &offset, &number, &length)) return 0;
    return static_cast<int>(length);
}

int ShpIsRecordDeleted(ShpHandle h, int record) {
    if (!h) return 0;
    int64_t offset, length;
    int number;
    if (!RecordHeader(h, record, &offset, &number, &length)) return 0;
    return number <= 0 || RowDeleted(h, record) ? 1 : 0;
}

namespace {

// Bytes of a file read a block at a time, for reads that mostly move forward.
class BlockReader {
public:
    explicit BlockReader(FioFile* f) : f_(f) {}
    // The n bytes at offset, or null when the file does not hold them.
    const uint8_t* At(int64_t offset, uint32_t n) {
        if (offset < 0) return nullptr;
        if (offset < at_ || offset + n > at_ + static_cast<int64_t>(got_)) {
            block_.resize(std::max<size_t>(kBlock, n));
            got_ = fioSeek(f_, offset, 0) == offset
                       ? fioRead(f_, block_.data(), static_cast<uint32_t>(block_.size()))
                       : 0;
            at_ = offset;
            if (got_ < n) return nullptr;
        }
        return block_.data() + (offset - at_);
    }

private:
    static constexpr size_t kBlock = 1 << 20;
    FioFile* f_;
    std::vector<uint8_t> block_;
    int64_t at_ = -1;
    uint32_t got_ = 0;
};

}  // namespace

int ShpCountLiveRecords(ShpHandle h) {
    if (!h) return 0;
    const int n = ShpGetRecordCount(h);
    if (!h->foundIndex.empty() || !h->shx) {
        // An index rebuilt in memory: record by record.
        int live = 0;
        for (int i = 0; i < n; ++i) live += ShpIsRecordDeleted(h, i) ? 0 : 1;
        return live;
    }
    BlockReader shx(h->shx), shp(h->shp), dbf(DbfGetFile(h->table));
    int64_t size = MainSize(h);
    int live = 0;
    for (int i = 0; i < n; ++i) {
        // As ShpIsRecordDeleted: a record whose headers cannot be read
        // counts as kept.
        const uint8_t* e = shx.At(index_entry::Position(i), index_entry::kSize);
        if (!e) {
            ++live;
            continue;
        }
        const int64_t offset = index_entry::Bytes(index_entry::Decode(e).offset);
        const uint8_t* head = offset >= 100 ? shp.At(offset, 8) : nullptr;
        if (!head) {
            ++live;
            continue;
        }
        const int number = static_cast<int32_t>(LoadBe32(head));
        const int64_t length = 2 * static_cast<int64_t>(static_cast<int32_t>(LoadBe32(head + 4)));
        if (length >= 0 && offset + 8 + length > size) size = fioGetSize(h->shp);
        if (length < 0 || offset + 8 + length > size) {
            ++live;
            continue;
        }
        if (number <= 0) continue;
        const uint8_t* row = DbfGetMappedRecord(h->table, i);
        if (!row) {
            const int64_t at = DbfGetRecordOffset(h->table, i);
            row = at > 0 ? dbf.At(at, 1) : nullptr;
        }
        if (!row || row[0] != '*') ++live;
    }
    DbfSeek(h->table, kDbfCurrent);
    h->lastEnd = -1;
    return live;
}

namespace shp_detail {

// Completes a record whose content leaves out its tail: zeros for what is
// missing, and no-data measures when the content stops at or before them.
void FillShortRecord(uint8_t* b, size_t length, size_t full) {
    if (length >= full) return;
    memset(b + length, 0, full - length);
    ShapeRecord* r = AsShapeRecord(b);
    const int type = ShapeLoadInt(b);
    if (!ShapeTypeHasM(type)) return;
    uint8_t* mRange = ShapeGetMRange(r);
    uint8_t* m = ShapeGetMArray(r);
    const size_t mStart = static_cast<size_t>((mRange ? mRange : m) - b);
    if (length > mStart) return;
    ShapeFillM(r, kNoDataMeasure);
}

}  // namespace shp_detail

ShapeRecord* ShpReadShape(ShpHandle h, int record, ShapeRecord* buffer, size_t capacity) {
    int number;
    return h ? ReadShape(h, record, buffer, capacity, &number) : nullptr;
}

ShapeRecord* shp_detail::ReadShape(ShpFile* h, int record, ShapeRecord* buffer, size_t capacity,
                                   int* numberOut) {
    int64_t offset, length;
    int& number = *numberOut;
    // Room for the whole record of the type even when the file stored less.
    // Counts that would need far more than the content holds are refused
    // before anything is allocated.
    uint8_t head[64] = {};
    uint32_t peek = 0;
    if (!RecordHeader(h, record, &offset, &number, &length, head, 64, &peek)) return nullptr;
    const size_t typed = peek >= 4 ? ShapeGetRecordSize(AsShapeRecord(head)) : 0;
    if (typed > 3 * static_cast<size_t>(length) + 64) {
        Fail(h, kShpErrRead, u"Read incomplete %d, %d", static_cast<int>(length),
             static_cast<int>(std::min<size_t>(typed, 0x7FFFFFFF)));
        return nullptr;
    }
    const size_t full = std::max({static_cast<size_t>(length), typed, size_t{4}});
    ShapeRecord* dst = buffer;
    if (dst) {
        if (capacity == 0) capacity = ShapeHeapCapacity(dst);
        if (capacity < full) {
            Fail(h, kShpErrRealloc, u"Realloc %d bytes", static_cast<int>(full));
            return nullptr;
        }
    } else {
        dst = ShpReserveShapeBuffer(h, full);
        if (!dst) {
            Fail(h, kShpErrRealloc, u"Realloc %d bytes", static_cast<int>(full));
            return nullptr;
        }
    }
    uint8_t* b = ShapeBytes(dst);
    memcpy(b, head, peek);
    // The peek may already hold the whole record (points).
    const uint32_t rest = static_cast<uint32_t>(length - peek);
    const uint32_t got = rest ? ReadMain(h, offset + 8 + peek, b + peek, rest) : 0;
    if (got != rest) {
        Fail(h, kShpErrRead, u"Read incomplete %d, %d", static_cast<int>(got + peek),
             static_cast<int>(length));
        return nullptr;
    }
    if (length < 4) ShapeStoreInt(b, 0);
    if (!ShapeValidateRecord(dst, static_cast<size_t>(std::max<int64_t>(length, 4)))) {
        Fail(h, kShpErrRead, u"Read incomplete %d, %d", static_cast<int>(length),
             static_cast<int>(ShapeGetRecordSize(dst)));
        return nullptr;
    }
    FillShortRecord(b, static_cast<size_t>(length), ShapeGetRecordSize(dst));
    return dst;
}

int ShpAppendShape(ShpHandle h, ShapeRecord* r) {
    if (!h) return -1;
    if (!r) r = h->buffer;
    return AppendRecord(h, r, true);
}

namespace {

// A record may replace record `record`: the handle writes, the type is the
// file's and the record is there and not deleted (an edit of a deleted
// record would stay invisible). Gives its header offset and content length.
bool CanReplace(ShpHandle h, int record, const ShapeRecord* r, int64_t* offset, int64_t* length) {
    if (!CanWrite(h)) return Fail(h, RefusalCode(h)) != 0;
    if (ShpGetRecordShapeType(nullptr, r) != HeaderType(h))
        return Fail(h, kShpErrTypeMismatch, u"Shape type mismatch") != 0;
    int number;
    if (!RecordHeader(h, record, offset, &number, length)) return false;
    if (number <= 0) return Fail(h, kShpErrDeleted, u"Record deleted") != 0;
    return true;
}

// Writes a record's content over the one whose header is at `offset`.
bool WriteContent(ShpHandle h, int64_t offset, const ShapeRecord* r, size_t size) {
    if (fioSeek(h->shp, offset + 8, 0) == offset + 8 &&
        fioWrite(h->shp, r, static_cast<uint32_t>(size)) == size)
        return true;
    return Fail(h, kShpErrWrite, u"Write incomplete %d, %d", 0, static_cast<int>(size)) != 0;
}

// What an update may change, saved before its first write so that any
// failure puts the three files (and the handle) back byte for byte: the
// sizes (appends are cut off again), both headers, the record and its index
// entry, the table's header, the row's deletion flag and the table's end mark.
class UpdateJournal {
public:
    explicit UpdateJournal(ShpHandle h) : h_(h) {}

    bool Begin(int record, int64_t offset, int64_t length) {
        FioFile* dbf = DbfGetFile(h_->table);
        files_[0].file = h_->shp;
        files_[1].file = h_->shx;
        files_[2].file = dbf;
        for (File& f : files_) {
            f.size = fioGetSize(f.file);
            if (f.size < 0) return false;
        }
        const int64_t rowAt = DbfGetHeaderLength(h_->table) +
                              static_cast<int64_t>(record) * DbfGetRecordLength(h_->table);
        if (!Save(files_[0], 0, 100) || !Save(files_[1], 0, 100) ||
            !Save(files_[0], offset, 8 + length) ||
            !Save(files_[1], index_entry::Position(record), index_entry::kSize) ||
            !Save(files_[2], 0, 32) || !Save(files_[2], rowAt, 1) ||
            !Save(files_[2], files_[2].size - 1, 1))
            return false;
        memcpy(header_, h_->header, 100);
        headerChanged_ = h_->headerChanged;
        shxRecords_ = h_->shxRecords;
        current_ = h_->current;
        return true;
    }

    // Puts everything back; the error of the failed step stays the handle's.
    void Undo() {
        const uint32_t error = fs::GetLastError();
        // The saved bytes go back first; the files are cut only when all of
        // them did. A full disk that refuses them leaves headers that may
        // count what was added, so what was added stays for readers.
        bool restored = true;
        for (File& f : files_)
            for (const Region& r : f.regions)
                if (fioWriteAt(f.file, r.offset, r.bytes.data(),
                               static_cast<uint32_t>(r.bytes.size())) !=
                    static_cast<int64_t>(r.bytes.size()))
                    restored = false;
        if (restored)
            for (File& f : files_)
                if (fioGetSize(f.file) != f.size && fioSeek(f.file, f.size, 0) == f.size)
                    fioTruncate(f.file);
        DbfRereadHeader(h_->table);
        memcpy(h_->header, header_, 100);
        h_->headerChanged = headerChanged_ || !restored;
        h_->shxRecords = shxRecords_;
        h_->current = current_;
        fs::SetLastError(error);
    }

private:
    struct Region {
        int64_t offset;
        std::vector<uint8_t> bytes;
    };
    struct File {
        FioFile* file = nullptr;
        int64_t size = -1;
        std::vector<Region> regions;
    };

    // Bytes past the end are not saved: the cut takes care of them.
    static bool Save(File& f, int64_t offset, int64_t n) {
        if (offset < 0) return true;
        n = std::min(n, f.size - offset);
        if (n <= 0) return true;
        Region r{offset, std::vector<uint8_t>(static_cast<size_t>(n))};
        if (!ReadAt(f.file, offset, r.bytes.data(), static_cast<uint32_t>(n))) return false;
        f.regions.push_back(std::move(r));
        return true;
    }

    ShpHandle h_;
    File files_[3];
    uint8_t header_[100] = {};
    bool headerChanged_ = false;
    int shxRecords_ = 0;
    int current_ = -1;
};

}  // namespace

int ShpRewriteShape(ShpHandle h, int record, ShapeRecord* r) {
    if (!h) return -1;
    WriteScope scope(h);
    if (!r) r = h->buffer;
    int64_t offset, length;
    if (!CanReplace(h, record, r, &offset, &length)) return -1;
    const size_t size = ShapeGetRecordSize(r);
    if (static_cast<int64_t>(size) > length) {
        Fail(h, kShpErrTooLarge, u"Shape size > available content length");
        return -1;
    }
    ShpComputeShapeBounds(r);
    if (!WriteContent(h, offset, r, size)) return -1;
    ShpUpdateBounds(h, r, 0);
    return record;
}

int ShpUpdateShape(ShpHandle h, int record, ShapeRecord* r) {
    if (!h) return -1;
    WriteScope scope(h);
    if (!r) r = h->buffer;
    int64_t offset, length;
    if (!CanReplace(h, record, r, &offset, &length)) return -1;
    ShpComputeShapeBounds(r);
    const size_t size = ShapeGetRecordSize(r);
    const int count = ShpGetRecordCount(h);
    // All or nothing: any failed write puts the files back as they were.
    UpdateJournal journal(h);
    if (!journal.Begin(record, offset, length)) return Fail(h, kShpErrRead), -1;
    auto failed = [&] {
        journal.Undo();
        return -1;
    };
    if (static_cast<int64_t>(size) <= length) {
        if (!WriteContent(h, offset, r, size)) return failed();
        // A feature moved outside the old box must widen it, or views cull it.
        if (!ShpUpdateBounds(h, r, count == 1)) return failed();
        h->current = record;
        return record;
    }
    const int64_t shpSize = fioGetSize(h->shp);
    if (record == count - 1 && offset + 8 + length == shpSize) {
        // The last record, physically last: rewrite it where it is and let the
        // file grow; the index stays.
        if (offset + 8 + static_cast<int64_t>(size) > kShpMaxFileSize)
            return Fail(h, kShpErrFileLimit, u"Shapefile size limit"), -1;
        if (!WriteRecord(h, offset, record + 1, r, size)) return failed();
        if (!WriteIndexEntry(h, record, offset, size)) return failed();
        if (!ShpUpdateBounds(h, r, count == 1)) return failed();
        h->current = record;
        return record;
    }
    // Append the new copy, then delete the old one.
    if (!DbfReadRecord(h->table, record)) return Fail(h, kShpErrRead), -1;
    const int moved = AppendRecord(h, r, false);
    if (moved < 0) return failed();
    if (!ShpDeleteShape(h, record, 0)) return failed();
    h->current = moved;
    return moved;
}

int ShpDeleteShape(ShpHandle h, int record, int truncate) {
    if (!h) return 0;
    WriteScope scope(h);
    if (!CanWrite(h) || !DbfIsWritable(h->table)) return Fail(h, RefusalCode(h));
    int64_t offset, length;
    int number;
    if (!RecordHeader(h, record, &offset, &number, &length)) return 0;
    // The four marks go together or not at all.
    UpdateJournal journal(h);
    if (!journal.Begin(record, offset, length)) return Fail(h, kShpErrRead);
    auto failed = [&](int code, const WChar* text) {
        Fail(h, code, text);
        journal.Undo();
        return 0;
    };
    const uint8_t zero[4] = {};
    if (!WriteAt(h->shp, offset, zero, 4))
        return failed(kShpErrWriteRecordHeader, u"Write record header incomplete");
    if (length >= 4 && !WriteAt(h->shp, offset + 8, zero, 4))
        return failed(kShpErrWrite, u"Write incomplete 0, 4");
    if (!WriteAt(h->shx, index_entry::Position(record) + 4, zero, 4))
        return failed(kShpErrWriteIndex, u"Write index record incomplete");
    if (!DbfDeleteRecord(h->table, record))
        return failed(kShpErrAppendRow, u"Delete table record");
    ShpSeekRecord(h, record);
    if (truncate && record == ShpGetRecordCount(h) - 1) return ShpTruncateLast(h);
    return 1;
}

int ShpTruncateLast(ShpHandle h) {
    if (!h) return 0;
    WriteScope scope(h);
    const int c = ShpGetRecordCount(h);
    if (c < 1) return 0;
    if (!CanWrite(h)) return Fail(h, RefusalCode(h));
    int64_t offset = 0, shxLength = 0;
    const bool indexed = IndexEntry(h, c - 1, &offset, &shxLength);
    int64_t length = -1;
    if (indexed && offset >= 100) {
        uint8_t rh[8];
        if (ReadAt(h->shp, offset, rh, 8))
            length = 2 * static_cast<int64_t>(static_cast<int32_t>(LoadBe32(rh + 4)));
    }
    // The cuts run `.shx`, `.shp`, then `.dbf`: what is cut is kept until the
    // last step, and a failing step puts the earlier cuts back, so the three
    // files never disagree on the records they hold.
    const int64_t shxSize = fioGetSize(h->shx);
    const int64_t shxEnd = index_entry::Position(c - 1);
    std::vector<uint8_t> shxTail;
    if (shxSize > shxEnd) {
        shxTail.resize(static_cast<size_t>(shxSize - shxEnd));
        if (!ReadAt(h->shx, shxEnd, shxTail.data(), static_cast<uint32_t>(shxTail.size())))
            return Fail(h, kShpErrRead);
    }
    // `.shp` is cut only where the record really is the file's end: a file
    // rewritten out of order keeps other records after it.
    const int64_t shpSize = fioGetSize(h->shp);
    std::vector<uint8_t> shpTail;
    if (length >= 0 && offset + 8 + length == shpSize) {
        shpTail.resize(static_cast<size_t>(shpSize - offset));
        if (!ReadAt(h->shp, offset, shpTail.data(), static_cast<uint32_t>(shpTail.size())))
            return Fail(h, kShpErrRead);
    }
    std::vector<uint8_t> row(static_cast<size_t>(DbfGetRecordLength(h->table)) + 8);
    if (!DbfReadRecord(h->table, c - 1, row.data())) return Fail(h, kShpErrRead);
    auto undo = [&](bool shx, bool shp) {
        if (shp) WriteAt(h->shp, offset, shpTail.data(), static_cast<uint32_t>(shpTail.size()));
        if (shx) WriteAt(h->shx, shxEnd, shxTail.data(), static_cast<uint32_t>(shxTail.size()));
    };
    if (!shxTail.empty() && !TruncateAt(h->shx, shxEnd)) return Fail(h, kShpErrWrite);
    if (!shpTail.empty() && !TruncateAt(h->shp, offset)) {
        const int code = Fail(h, kShpErrWrite);
        undo(!shxTail.empty(), false);
        return code;
    }
    if (!DbfSetRecordCount(h->table, c - 1)) {
        const int code = Fail(h, kShpErrWrite);
        undo(!shxTail.empty(), !shpTail.empty());
        // The row goes back with its count and end mark.
        if (DbfGetRecordCount(h->table) == c - 1) DbfWriteRecord(h->table, kDbfAppend, row.data());
        return code;
    }
    return ShpWriteHeaders(h);
}

// ---- writability ----

int ShpIsFileWritable(ShpHandle h) {
    if (!h) return 0;
    for (FioFile* f : {h->shp, h->shx}) {
        const uint32_t a = fioGetAttributes(f);
        if (a == 0xFFFFFFFF || (a & 1)) return 0;
    }
    return DbfIsFileWritable(h->table);
}

int ShpIsWritable(ShpHandle h) {
    return h && CanWrite(h) && DbfIsWritable(h->table) ? 1 : 0;
}

int ShpSetWritable(ShpHandle h, int writable) {
    if (!h) return 0;
    WriteScope scope(h);
    if (!writable && h->headerChanged) ShpWriteHeaders(h);
    const uint32_t oldAccess = fioGetAccess(h->shp);
    const uint32_t oldShare = fioGetShare(h->shp);
    const uint32_t access = writable ? (oldAccess | kFioWrite) : (oldAccess & ~kFioWrite);
    const uint32_t share = writable ? kFioShareRead : kFioShareReadWrite;
    if (!fioSetMode(h->shp, access, share)) return Fail(h, kShpErrShpOpen);
    if (!fioSetMode(h->shx, access, share)) {
        fioSetMode(h->shp, oldAccess, oldShare);
        return Fail(h, kShpErrShxOpen);
    }
    if (!DbfSetWritable(h->table, writable)) {
        fioSetMode(h->shx, oldAccess, oldShare);
        fioSetMode(h->shp, oldAccess, oldShare);
        return Fail(h, kShpErrDbfOpen);
    }
    return 1;
}
