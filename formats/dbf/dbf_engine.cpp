#include "formats/dbf/dbf_engine.h"

#include <time.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "formats/dbf/dbf_codepage.h"
#include "formats/dbf/dbf_internal.h"
#include "formats/dbf/file_io.h"
#include "platform/fs/fs.h"

using namespace dbf_detail;

namespace {

constexpr size_t kMessageMax = 255;
// Offsets in the format are 32-bit.
constexpr int64_t kMaxFileSize = 0xFFFFFFFFLL;

struct OpenError {
    int code = 0;
    uint32_t systemError = 0;
    WString message;
};
thread_local OpenError t_openError;

WString DefaultMessage(int code, uint32_t sys) {
    return text::Format(u"DBF Error:%d WinError:%d(%08lX)", code, static_cast<int>(sys),
                        static_cast<unsigned long>(sys));
}

void SetErr(DbfTable* t, int code, uint32_t sys) {
    t->errorCode = code;
    t->systemError = sys;
    t->message = DefaultMessage(code, sys);
}
void SetErr(DbfTable* t, int code) {
    SetErr(t, code, fioGetLastError());
}

// Program text from either width of the API.
WString Widen(const WChar* s) {
    return s ? WString(s) : WString();
}
WString Widen(const char* s) {
    return s ? text::FromUtf8(s) : WString();
}

// Copies text out in the caller's width; `room` counts characters with the
// NUL (UTF-8 is cut at a character boundary).
void CopyOut(WStringView s, WChar* out, size_t room) {
    if (room == 0) return;
    size_t n = s.size() < room - 1 ? s.size() : room - 1;
    memcpy(out, s.data(), n * sizeof(WChar));
    out[n] = 0;
}
void CopyOut(WStringView s, char* out, size_t room) {
    if (room == 0) return;
    std::string u = text::ToUtf8(s);
    size_t n = u.size() < room - 1 ? u.size() : room - 1;
    while (n > 0 && n < u.size() && (static_cast<uint8_t>(u[n]) & 0xC0) == 0x80) --n;
    memcpy(out, u.data(), n);
    out[n] = 0;
}

// Engine buffers handed out without a caller buffer: per thread, per width.
template <typename Ch>
std::basic_string<Ch>& EngineText() {
    thread_local std::basic_string<Ch> s;
    return s;
}
template <typename Ch>
const Ch* ToEngineText(WStringView s) {
    auto& out = EngineText<Ch>();
    if constexpr (sizeof(Ch) == 1)
        out = text::ToUtf8(s);
    else
        out.assign(s);
    return out.c_str();
}

struct TableDeleter {
    void operator()(DbfTable* t) const {
        if (!t) return;
        t->~DbfTable();
        DbfHeap().Free(t);
    }
};
using TablePtr = std::unique_ptr<DbfTable, TableDeleter>;

TablePtr NewTable() {
    void* mem = DbfHeap().Alloc(sizeof(DbfTable));
    if (!mem) return nullptr;
    return TablePtr(new (mem) DbfTable);
}

DbfHandle FailOpen(int code, DbfTable* t = nullptr) {
    t_openError.code = code;
    t_openError.systemError = t && t->errorCode == code ? t->systemError : fioGetLastError();
    t_openError.message = DefaultMessage(code, t_openError.systemError);
    return nullptr;
}

// The path with its extension (a dot after the last separator) replaced.
WString ReplaceExtension(const WString& path, WStringView ext) {
    size_t sep = path.find_last_of(u"\\/");
    size_t dot = path.rfind(u'.');
    if (dot == WString::npos || (sep != WString::npos && dot < sep)) return path + WString(ext);
    return path.substr(0, dot) + WString(ext);
}

int SeekTo(DbfTable* t, int n) {
    const int64_t off = HeaderLength(t) + static_cast<int64_t>(n) * RecordLength(t);
    if (fioSeek(t->file, off, 0) != off) {
        SetErr(t, kDbfErrSeek);
        return -1;
    }
    t->current = n;
    return n;
}

// Computes the in-memory field offsets; false when the header's lengths do not
// hold the fields (a crafted or damaged header).
bool LayOutFields(DbfTable* t) {
    int offset = 1;
    for (int i = 0; i < t->fieldCount; ++i) {
        StoreLe32(Descriptor(t, i) + 12, static_cast<uint32_t>(offset));
        offset += FieldLength(t, i);
    }
    const int rl = RecordLength(t);
    if (rl == 0 || offset > rl) return false;
    if (HeaderLength(t) < 32 + 32 * t->fieldCount) return false;
    return true;
}

// Writes `bytes` as the file's first 32 bytes. When that fails after storing
// part of them, the bytes the file held go back (best effort: the disk may
// be full); the error of the failed write stays the last error.
bool PutHeaderBytes(DbfTable* t, const uint8_t* bytes) {
    const uint32_t put = fioWriteAt(t->file, 0, bytes, 32);
    if (put == 32) {
        memcpy(t->fileHeader, bytes, 32);
        return true;
    }
    const uint32_t error = fioGetLastError();
    if (put > 0) fioWriteAt(t->file, 0, t->fileHeader, 32);
    fs::SetLastError(error);
    return false;
}

// The descriptors after the header, their terminator and, for an empty
// table, the end mark.
bool PutDescriptors(DbfTable* t) {
    std::vector<uint8_t> tail(32 * static_cast<size_t>(t->fieldCount));
    if (t->fieldCount > 0) memcpy(tail.data(), t->descriptors.get(), tail.size());
    tail.push_back(0x0D);
    if (Count(t) == 0) tail.push_back(0x1A);
    return fioWriteAt(t->file, 32, tail.data(), static_cast<uint32_t>(tail.size())) == tail.size();
}

// Takes back a row appended at `start` whose bytes reached the file: the
// header bytes the file held before the append, then the end mark where the
// row began, and the file cut after it. What the table held past its end
// mark before (other writers' bytes) is kept where the row did not cover
// it. Best effort: the disk may be full.
void TakeBackAppend(DbfTable* t, int64_t start) {
    const auto& before = t->lastAppend;
    const uint32_t error = fioGetLastError();
    if (memcmp(t->fileHeader, before.fileHeader, 32) != 0) PutHeaderBytes(t, before.fileHeader);
    const uint8_t eof = 0x1A;
    if (fioWriteAt(t->file, start, &eof, 1) == 1 &&
        fioGetSize(t->file) <= start + RecordLength(t) + 1 && fioSeek(t->file, start + 1, 0) >= 0)
        fioTruncate(t->file);
    memcpy(t->header, before.header, 32);
    t->headerChanged = before.headerChanged;
    t->lastAppend.valid = false;
    SeekTo(t, static_cast<int>(before.count));
    fs::SetLastError(error);
}

bool IsWriteAccess(const DbfTable* t) {
    return (fioGetAccess(t->file) & kFioWrite) != 0;
}

// Every write path asks first: a damaged table is never made worse.
bool RefuseDamaged(DbfTable* t) {
    if (!t->damaged) return false;
    SetErr(t, kDbfErrDamaged, 0);
    return true;
}

}  // namespace

zn::EngineHeap& DbfHeap() {
    static zn::EngineHeap heap("dbf");
    return heap;
}

void DbfResetForTests() {
    t_openError = OpenError{};
    DbfHeap().ResetFaults();
}

template <typename Ch>
unsigned DbfReadCpgFile(const Ch* path) {
    const WString p = Widen(path);
    if (p.empty() || !fs::Exists(p)) return 0;
    FioFile* f = fioOpen(p.c_str(), kFioRead, kFioShareRead, kFioOpenExisting, kFioAttrNormal, 0);
    if (!f) return 0;
    char buf[32] = {};
    const uint32_t got = fioRead(f, buf, 31);
    fioClose(f);
    return DbfCodePageFromName(std::string_view(buf, got));
}

WString DbfSwapJournal(WStringView path) {
    if (path.empty()) return WString();
    return ReplaceExtension(WString(path), u".shp") + u".swap";
}

template <typename Ch>
DbfHandle DbfOpen(const Ch* path, int flags) {
    t_openError = OpenError{};
    const WString wpath = Widen(path);
    if (!wpath.empty() && !fs::RecoverRenames(DbfSwapJournal(wpath))) return FailOpen(kDbfErrSwap);
    TablePtr t = NewTable();
    if (!t) return FailOpen(kDbfErrMemory);
    t->openFlags = flags;

    const uint32_t access = kFioRead | ((flags & kDbfReadWrite) ? kFioWrite : 0);
    uint32_t share = kFioShareReadWrite;
    if (flags & kDbfNoSharing)
        share = kFioShareNone;
    else if (flags & kDbfShareAll)
        share = kFioShareReadWrite;
    else if (flags & kDbfReadWrite)
        share = kFioShareRead;
    uint32_t attributes = kFioAttrNormal;
    if (flags & kDbfRandomAccess)
        attributes |= kFioRandomAccess;
    else if (flags & kDbfSequential)
        attributes |= kFioSequentialScan;
    t->file = fioOpen(wpath.c_str(), access, share, kFioOpenExisting, attributes,
                      (flags & kDbfForMapping) ? kFioForMapping : 0);
    if (!t->file) return FailOpen(kDbfErrOpen);

    if (fioRead(t->file, t->header, 32) != 32) return FailOpen(kDbfErrHeader);
    memcpy(t->fileHeader, t->header, 32);
    // dBASE 7 tables (version 0x04, 0x8C) have 48-byte descriptors: read as
    // this format they would give wrong fields without any error.
    if ((t->header[0] & 0x07) == 0x04) return FailOpen(kDbfErrHeader);
    // Record numbers are ints everywhere in the program.
    if (Count(t.get()) > 0x7FFFFFFFu) return FailOpen(kDbfErrHeader);

    const int ldid = t->header[29];
    unsigned cp = DbfLdidToCodePage(ldid);
    if (ldid == 0) cp = DbfReadCpgFile(ReplaceExtension(wpath, u".cpg").c_str());
    t->codePage = DbfIsCodePageSupported(cp) ? cp : 0;

    // Descriptors run from byte 32 to a block starting with 0x0D (or a blank,
    // as some writers leave it). One read covers the most a table may have.
    std::vector<uint8_t> area(32 * kDbfMaxFields + 1);
    const uint32_t got = fioRead(t->file, area.data(), static_cast<uint32_t>(area.size()));
    int n = 0;
    for (size_t off = 0;; off += 32, ++n) {
        if (off >= got) return FailOpen(kDbfErrDescriptor);
        if (area[off] == 0x0D || area[off] == 0x20) break;
        if (n == kDbfMaxFields) return FailOpen(kDbfErrTooManyFields);
        if (got - off < 32) return FailOpen(kDbfErrDescriptor);
    }
    t->fieldCount = n;
    if (n > 0) {
        t->descriptors = zn::AllocBlock(DbfHeap(), 32 * static_cast<size_t>(n));
        if (!t->descriptors) return FailOpen(kDbfErrMemory);
        memcpy(t->descriptors.get(), area.data(), 32 * static_cast<size_t>(n));
    }
    if (!LayOutFields(t.get())) return FailOpen(kDbfErrHeader);
    // A count beyond the rows the file holds (a cut copy) keeps its count:
    // cutting it would make the shapes beside the missing rows unreachable.
    // The table says it is damaged, and reads stop at the bytes that exist.
    const int64_t size = fioGetSize(t->file);
    const int64_t hl = HeaderLength(t.get()), rl = RecordLength(t.get());
    const int64_t present = size > hl ? (size - hl) / rl : 0;
    t->damaged = size >= 0 && Count(t.get()) > present;

    t->record = zn::AllocBlock(DbfHeap(), static_cast<size_t>(RecordLength(t.get())) + 8);
    if (!t->record) return FailOpen(kDbfErrMemory);
    DbfBlankRecord(t.get());
    SeekTo(t.get(), 0);
    if (t->damaged) {
        SetErr(t.get(), kDbfErrDamaged, 0);
        t_openError.code = kDbfErrDamaged;
        t_openError.message = t->message;
    } else {
        t->errorCode = 0;
    }
    return t.release();
}

template <typename Ch>
DbfHandle DbfCreate(const Ch* path, int flags) {
    t_openError = OpenError{};
    const WString wpath = Widen(path);
    TablePtr t = NewTable();
    if (!t) return FailOpen(kDbfErrMemory);
    t->openFlags = flags | kDbfReadWrite;
    // Over an existing table the new one is made beside it and renamed over
    // it once complete: a create that fails keeps the old table.
    const bool replacing = fs::Exists(wpath);
    const WString made = replacing ? wpath + u"~" : wpath;
    t->file = fioOpen(made.c_str(), kFioRead | kFioWrite,
                      replacing ? kFioShareRead | kFioShareDelete : kFioShareRead,
                      kFioCreateAlways, kFioAttrNormal,
                      (flags & kDbfForMapping) ? kFioForMapping : 0);
    if (!t->file) return FailOpen(kDbfErrCreate);
    // A create that fails after this point leaves no half-written table.
    struct Rollback {
        DbfTable* t;
        const WString& path;
        bool committed = false;
        ~Rollback() {
            if (committed) return;
            const uint32_t error = fs::GetLastError();
            fioClose(t->file);
            t->file = nullptr;
            fs::DeleteFile(path);
            fs::SetLastError(error);
        }
    } rollback{t.get(), made};

    t->header[0] = 0x03;
    StoreLe16(t->header + 8, 33);
    StoreLe16(t->header + 10, 1);
    t->header[29] = 0x03;
    t->record = zn::AllocBlock(DbfHeap(), 1 + 8);
    if (!t->record) return FailOpen(kDbfErrMemory);
    if (!DbfWriteHeader(t.get(), 1)) return FailOpen(t->errorCode, t.get());
    if (replacing) {
        if (!fioFlush(t->file)) return FailOpen(kDbfErrWrite, t.get());
        if (!fioReplace(t->file, wpath.c_str(), kFioShareRead)) return FailOpen(kDbfErrCreate);
    }
    DbfBlankRecord(t.get());
    t->current = 0;
    rollback.committed = true;
    return t.release();
}

template <typename Ch>
DbfHandle DbfCreateLike(const Ch* path, DbfHandle source) {
    DbfHandle h = DbfCreate(path, 0);
    if (h && source && !DbfCopyFields(h, source)) {
        // A table with half its fields is no copy: report the failure and
        // leave nothing behind.
        FailOpen(h->errorCode ? h->errorCode : kDbfErrField, h);
        const WString made = DbfGetPath(h);
        DbfClose(h);
        fs::DeleteFile(made);
        return nullptr;
    }
    return h;
}

int DbfClose(DbfHandle h) {
    if (!h) return 0;
    // The handle goes either way; a header that could not be written is
    // reported, as the shapefile engine does.
    const bool ok = !(h->headerChanged && IsWriteAccess(h)) || DbfWriteHeader(h, 0);
    TableDeleter()(h);
    return ok ? 1 : 0;
}

int DbfDeleteFile(DbfHandle h) {
    if (!h) return 0;
    const WString path = fioGetPath(h->file);
    DbfClose(h);
    return fs::DeleteFile(path) ? 1 : 0;
}

int DbfFlush(DbfHandle h) {
    if (!h) return 0;
    if (!fioFlush(h->file)) {
        h->errorCode = kDbfErrWrite;
        return 0;
    }
    return 1;
}

int64_t DbfGetFileSize(DbfHandle h) {
    if (!h) return 0;
    const int64_t size = fioGetSize(h->file);
    return size < 0 ? 0 : size;
}

int DbfGetOpenFlags(DbfHandle h) {
    return h ? h->openFlags : 0;
}
FioFile* DbfGetFile(DbfHandle h) {
    return h ? h->file : nullptr;
}

template <typename Ch>
const Ch* DbfGetPath(DbfHandle h, Ch* buffer) {
    if (!h) return nullptr;
    const WString path = fioGetPath(h->file);
    if (buffer) {
        CopyOut(path, buffer, static_cast<size_t>(-1) / 4);
        return buffer;
    }
    return ToEngineText<Ch>(path);
}
const WChar* DbfGetPath(DbfHandle h) {
    return h ? fioGetPath(h->file) : nullptr;
}

int DbfGetError(DbfHandle h, uint32_t* systemError) {
    if (!h) {
        if (systemError) *systemError = t_openError.systemError;
        return t_openError.code;
    }
    if (systemError) *systemError = h->systemError;
    return h->errorCode;
}

template <typename Ch>
int DbfGetError(DbfHandle h, uint32_t* systemError, Ch* textOut) {
    const int code = DbfGetError(h, systemError);
    if (textOut) CopyOut(h ? h->message : t_openError.message, textOut, kMessageMax + 1);
    return code;
}

template <typename Ch>
const Ch* DbfGetErrorInfo(DbfHandle h, int* code, uint32_t* systemError, Ch* buffer) {
    const int c = DbfGetError(h, systemError);
    if (code) *code = c;
    const WString& msg = h ? h->message : t_openError.message;
    if (buffer) {
        CopyOut(msg, buffer, kMessageMax + 1);
        return buffer;
    }
    return ToEngineText<Ch>(msg);
}
const WChar* DbfGetErrorInfo(DbfHandle h, int* code, uint32_t* systemError) {
    return DbfGetErrorInfo<WChar>(h, code, systemError, nullptr);
}

void DbfSetError(DbfHandle h, int code, const WChar* format, ...) {
    if (!h) return;
    h->errorCode = code;
    h->systemError = fioGetLastError();
    if (format) {
        va_list ap;
        va_start(ap, format);
        h->message = text::FormatV(format, ap);
        va_end(ap);
        if (h->message.size() > kMessageMax) h->message.resize(kMessageMax);
    } else {
        h->message = DefaultMessage(code, h->systemError);
    }
}

int DbfIsDamaged(DbfHandle h) {
    return h && h->damaged ? 1 : 0;
}

int DbfIsWritable(DbfHandle h) {
    return h && IsWriteAccess(h) ? 1 : 0;
}

int DbfIsFileWritable(DbfHandle h) {
    if (!h) return 0;
    const uint32_t attributes = fioGetAttributes(h->file);
    return attributes != 0xFFFFFFFF && !(attributes & 1) ? 1 : 0;
}

int DbfSetWritable(DbfHandle h, int writable) {
    if (!h) return 0;
    // A changed header must reach the file before write access goes.
    if (!writable && h->headerChanged && IsWriteAccess(h)) DbfWriteHeader(h, 0);
    const int ok = writable ? fioSetMode(h->file, kFioRead | kFioWrite, kFioShareRead)
                            : fioSetMode(h->file, kFioRead, kFioShareReadWrite);
    if (ok) SeekTo(h, h->current >= 0 ? h->current : 0);
    return ok;
}

unsigned DbfGetCodePage(DbfHandle h) {
    return h ? h->codePage : 0;
}

int DbfSetCodePage(DbfHandle h, unsigned codePage) {
    if (!h) return 0;
    if (!DbfIsCodePageSupported(codePage)) return -1;
    const unsigned old = h->codePage;
    h->codePage = codePage;
    return static_cast<int>(old);
}

int DbfGetLanguageDriverId(DbfHandle h) {
    return h ? h->header[29] : 0;
}

int DbfSetLanguageDriverId(DbfHandle h, int id) {
    if (!h) return 0;
    h->header[29] = static_cast<uint8_t>(id);
    h->headerChanged = true;
    const unsigned cp = DbfLdidToCodePage(id);
    h->codePage = DbfIsCodePageSupported(cp) ? cp : 0;
    return 0;
}

void* DbfMap(DbfHandle h) {
    return h ? fioMap(h->file) : nullptr;
}
void DbfUnmap(DbfHandle h) {
    if (h) fioUnmap(h->file);
}
void* DbfGetMappedView(DbfHandle h) {
    return h ? fioGetView(h->file) : nullptr;
}

int64_t DbfGetRecordOffset(DbfHandle h, int record) {
    if (!h) return 0;
    return HeaderLength(h) + static_cast<int64_t>(record) * RecordLength(h);
}

const uint8_t* DbfGetMappedRecord(DbfHandle h, int record) {
    if (!h || record < 0 || static_cast<uint32_t>(record) >= Count(h)) return nullptr;
    const auto* view = static_cast<const uint8_t*>(fioGetView(h->file));
    if (!view) return nullptr;
    const int64_t off = DbfGetRecordOffset(h, record);
    if (off + RecordLength(h) > static_cast<int64_t>(fioGetViewLength(h->file))) return nullptr;
    return view + off;
}

int DbfForEachRecord(DbfHandle h, DbfRecordCallback callback, void* user, int first, int last) {
    if (!h || !callback) return 0;
    const bool mappedHere = fioGetView(h->file) == nullptr;
    const auto* view = static_cast<const uint8_t*>(fioMap(h->file));
    if (!view) return 0;
    const int64_t hl = HeaderLength(h), rl = RecordLength(h);
    const int64_t viewLength = static_cast<int64_t>(fioGetViewLength(h->file));
    int64_t end = static_cast<int64_t>(Count(h)) - 1;
    if (last >= 0 && last < end) end = last;
    // Never past the bytes that exist, whatever the header says.
    const int64_t inView = viewLength > hl ? (viewLength - hl) / rl : 0;
    if (end >= inView) end = inView - 1;
    for (int64_t i = first < 0 ? 0 : first; i <= end; ++i) {
        if (!callback(h, static_cast<int>(i), view + hl + i * rl, user)) break;
    }
    if (mappedHere) fioUnmap(h->file);
    return 1;
}

int DbfGetFieldCount(DbfHandle h) {
    return h ? h->fieldCount : 0;
}

int DbfGetFieldDescriptor(DbfHandle h, int index, uint8_t* descriptor32) {
    if (!h || index < 0 || index >= h->fieldCount || !descriptor32) return 0;
    memcpy(descriptor32, Descriptor(h, index), 32);
    return 1;
}

namespace {
WString FieldNameText(DbfHandle h, int index) {
    const uint8_t* d = Descriptor(h, index);
    int n = 0;
    while (n < 10 && d[n] != 0) ++n;
    return DbfTextFromTable(h->codePage, d, n);
}
}  // namespace

template <typename Ch>
const Ch* DbfGetFieldName(DbfHandle h, int index, Ch* buffer) {
    if (!h || index < 0 || index >= h->fieldCount) return nullptr;
    const WString name = FieldNameText(h, index);
    if (buffer) {
        CopyOut(name, buffer, 11);
        return buffer;
    }
    return ToEngineText<Ch>(name);
}
const WChar* DbfGetFieldName(DbfHandle h, int index) {
    return DbfGetFieldName<WChar>(h, index, nullptr);
}

template <typename Ch>
int DbfFindField(DbfHandle h, const Ch* name) {
    if (!h || !name) return -1;
    const WString wanted = Widen(name);
    for (int i = 0; i < h->fieldCount; ++i)
        if (text::EqualsNoCase(FieldNameText(h, i), wanted)) return i;
    return -1;
}

char DbfGetFieldType(DbfHandle h, int index) {
    return h && index >= 0 && index < h->fieldCount ? static_cast<char>(Descriptor(h, index)[11])
                                                    : 0;
}
int DbfGetFieldLength(DbfHandle h, int index) {
    return h && index >= 0 && index < h->fieldCount ? FieldLength(h, index) : 0;
}
int DbfGetFieldDecimals(DbfHandle h, int index) {
    return h && index >= 0 && index < h->fieldCount ? Descriptor(h, index)[17] : 0;
}
int DbfGetFieldOffset(DbfHandle h, int index) {
    return h && index >= 0 && index < h->fieldCount ? FieldOffset(h, index) : 0;
}

template <typename Ch>
int DbfAddField(DbfHandle h, const Ch* name, char type, int length, int decimals) {
    if (!h || !name) return -1;
    if (RefuseDamaged(h)) return -1;
    switch (type) {
        case 'C':
            decimals = 0;
            if (length == 0) length = 255;
            break;
        case 'D':
            length = 8, decimals = 0;
            break;
        case 'L':
            length = 1, decimals = 0;
            break;
        case 'M':
            length = 10, decimals = 0;
            break;
        case 'N':
            if (length == 0) {
                if (decimals == 0)
                    length = 18, decimals = 6;
                else
                    length = 10;
            }
            break;
        default:
            break;
    }
    // Fields are defined while the table is empty: the record area would move
    // under rows already written. The format holds 1024 fields and 16-bit
    // record lengths.
    if (Count(h) > 0 || h->fieldCount >= kDbfMaxFields || length < 0 || length > 255 ||
        decimals < 0 || decimals > 255 || RecordLength(h) + length > 0xFFFF) {
        SetErr(h, kDbfErrField);
        return -1;
    }
    const int n = h->fieldCount;
    // Allocate everything first, so a failure leaves the table as it was.
    zn::HeapBlock desc = zn::AllocBlock(DbfHeap(), 32 * static_cast<size_t>(n + 1));
    zn::HeapBlock rec =
        zn::AllocBlock(DbfHeap(), static_cast<size_t>(RecordLength(h) + length) + 8);
    if (!desc || !rec) {
        SetErr(h, kDbfErrMemory);
        return -1;
    }
    if (n > 0) memcpy(desc.get(), h->descriptors.get(), 32 * static_cast<size_t>(n));
    uint8_t* d = desc.get() + 32 * n;
    WString upper = text::ToUpper(Widen(name));
    if (upper.size() > 10) upper.resize(10);
    uint8_t bytes[10];
    DbfTextToTable(h->codePage, upper.c_str(), static_cast<int>(upper.size()), bytes, 10);
    int used = 10;
    while (used > 0 && bytes[used - 1] == ' ') --used;
    memcpy(d, bytes, static_cast<size_t>(used));
    d[11] = static_cast<uint8_t>(type);
    StoreLe32(d + 12, static_cast<uint32_t>(RecordLength(h)));
    d[16] = static_cast<uint8_t>(length);
    d[17] = static_cast<uint8_t>(decimals);

    // The old definition, for putting the file back when a write fails.
    const int64_t oldSize = fioGetSize(h->file);
    uint8_t oldHeader[32], oldFileHeader[32];
    memcpy(oldHeader, h->header, 32);
    memcpy(oldFileHeader, h->fileHeader, 32);
    const bool oldChanged = h->headerChanged;
    zn::HeapBlock oldDesc = std::move(h->descriptors);
    zn::HeapBlock oldRec = std::move(h->record);

    h->descriptors = std::move(desc);
    h->record = std::move(rec);
    h->fieldCount = n + 1;
    StoreLe16(h->header + 10, static_cast<uint32_t>(RecordLength(h) + length));
    StoreLe16(h->header + 8, static_cast<uint32_t>(32 * h->fieldCount + 33));
    if (!DbfWriteHeader(h, 1)) {
        const int code = h->errorCode;
        const uint32_t error = fs::GetLastError();
        h->descriptors = std::move(oldDesc);
        h->record = std::move(oldRec);
        h->fieldCount = n;
        memcpy(h->header, oldHeader, 32);
        // The header bytes the file held (its date too), the old descriptors
        // and the old end (best effort: the disk may be full).
        if (oldSize >= 0 && PutHeaderBytes(h, oldFileHeader) && PutDescriptors(h) &&
            fioSeek(h->file, oldSize, 0) == oldSize)
            fioTruncate(h->file);
        h->headerChanged = oldChanged;
        SetErr(h, code);
        fs::SetLastError(error);
        return -1;
    }
    SeekTo(h, 0);
    return n;
}

int DbfAddFields(DbfHandle h, int count, const DbfFieldInfo* fields) {
    if (!h || (count > 0 && !fields)) return 0;
    for (int i = 0; i < count; ++i)
        if (DbfAddField(h, fields[i].name, fields[i].type, fields[i].length, fields[i].decimals) < 0)
            return 0;
    return 1;
}

int DbfCopyFields(DbfHandle destination, DbfHandle source) {
    if (!destination || !source) return 0;
    for (int i = 0; i < source->fieldCount; ++i) {
        const uint8_t* d = Descriptor(source, i);
        if (DbfAddField(destination, FieldNameText(source, i).c_str(), static_cast<char>(d[11]),
                        d[16], d[17]) < 0)
            return 0;
    }
    return 1;
}

int DbfSeek(DbfHandle h, int n) {
    if (!h) return -1;
    const int64_t count = Count(h);
    switch (n) {
        case kDbfLast:
            if (count == 0) return -1;
            n = static_cast<int>(count - 1);
            break;
        case kDbfPrevious:
            if (h->current <= 0) return -1;
            n = h->current - 1;
            break;
        case kDbfNext:
            if (h->current >= count - 1) return -1;
            n = h->current + 1;
            break;
        case kDbfFirst:
            if (count == 0) return -1;
            n = 0;
            break;
        case kDbfAppend:
            n = static_cast<int>(count);
            break;
        case kDbfCurrent:
            n = h->current;
            break;
        default:
            if (n < 0) return -1;
            break;
    }
    return SeekTo(h, n);
}

namespace {
// Rows the file holds whole. A cut table keeps its header's count (so the
// shapes stay reachable); the rows past the end of the file are missing,
// and a walk passes over all of them in one step.
int64_t RowsHeld(DbfHandle h) {
    const int64_t rl = RecordLength(h);
    const int64_t bytes = fioGetSize(h->file) - HeaderLength(h);
    const int64_t whole = rl > 0 && bytes > 0 ? bytes / rl : 0;
    return std::min<int64_t>(Count(h), whole);
}
}  // namespace

int DbfSeekActive(DbfHandle h, int n) {
    if (!h) return -1;
    const int64_t held = RowsHeld(h);
    auto active = [&](int r) { return r >= 0 && r < held && DbfIsActiveAtPosition(h); };
    int r;
    switch (n) {
        case kDbfLast:
            if (held == 0) return -1;
            r = DbfSeek(h, static_cast<int>(held - 1));
            while (r >= 0 && !active(r)) r = DbfSeek(h, kDbfPrevious);
            return r;
        case kDbfPrevious:
            if (h->current > held) {
                // From among the missing rows: the last row held is the one before.
                if (held == 0) return -1;
                r = DbfSeek(h, static_cast<int>(held - 1));
            } else {
                r = DbfSeek(h, kDbfPrevious);
            }
            while (r >= 0 && !active(r)) r = DbfSeek(h, kDbfPrevious);
            return r;
        case kDbfFirst:
        case kDbfNext:
            r = DbfSeek(h, n);
            while (r >= 0 && r < held && !active(r)) r = DbfSeek(h, kDbfNext);
            return active(r) ? r : -1;
        default:
            r = DbfSeek(h, n);
            return active(r) ? r : -1;
    }
}

int DbfGetCurrentRecord(DbfHandle h) {
    return h ? h->current : -1;
}

int DbfReadRecord(DbfHandle h, int record, uint8_t* buffer) {
    if (!h) return 0;
    const int n = DbfSeek(h, record);
    if (n < 0) return 0;
    uint8_t* dst = buffer ? buffer : h->record.get();
    const int64_t start = fioTell(h->file);
    const uint32_t rl = static_cast<uint32_t>(RecordLength(h));
    const uint32_t got = fioRead(h->file, dst, rl);
    fioSeek(h->file, start, 0);
    if (got != rl) {
        SetErr(h, kDbfErrRead);
        return 0;
    }
    return 1;
}

int DbfWriteRecord(DbfHandle h, int record, const uint8_t* buffer) {
    if (!h) return 0;
    if (RefuseDamaged(h)) return 0;
    h->lastAppend.valid = false;
    const int64_t count = Count(h);
    const int64_t rl = RecordLength(h);
    if (record == kDbfAppend) {
        // The format's offsets and the program's record numbers are 32-bit.
        if (count >= 0x7FFFFFFF || HeaderLength(h) + (count + 1) * rl + 1 > kMaxFileSize) {
            SetErr(h, kDbfErrTooLarge);
            return 0;
        }
    } else {
        const int64_t target = record == kDbfCurrent ? h->current : record;
        // A row outside the table would be lost (and overwrite the end mark).
        if (record < kDbfLast || (record >= 0 && target >= count) ||
            (record == kDbfCurrent && target >= count)) {
            SetErr(h, kDbfErrSeek);
            return 0;
        }
    }
    const int n = DbfSeek(h, record);
    if (n < 0) return 0;
    const uint8_t* src = buffer ? buffer : h->record.get();
    const int64_t start = fioTell(h->file);
    if (record != kDbfAppend) {
        const uint32_t put = fioWriteAt(h->file, start, src, static_cast<uint32_t>(rl));
        fioSeek(h->file, start, 0);
        if (put != rl) {
            SetErr(h, kDbfErrWrite);
            return 0;
        }
        h->headerChanged = true;
        return 1;
    }
    // An append is two writes: the row with the end mark after it, then the
    // header with the new count. Until the count is written the row is not in
    // the table for any reader.
    // A failure takes the row back out and leaves the file as it was, its
    // header (with the date of the last update) included.
    auto& before = h->lastAppend;
    before.count = static_cast<uint32_t>(count);
    memcpy(before.header, h->header, 32);
    memcpy(before.fileHeader, h->fileHeader, 32);
    before.headerChanged = h->headerChanged;
    h->scratch.resize(static_cast<size_t>(rl) + 1);
    memcpy(h->scratch.data(), src, static_cast<size_t>(rl));
    h->scratch[static_cast<size_t>(rl)] = 0x1A;
    const uint32_t put = fioWriteAt(h->file, start, h->scratch.data(), static_cast<uint32_t>(rl + 1));
    if (put != rl + 1) {
        const uint32_t sys = fioGetLastError();
        if (put > 0)
            TakeBackAppend(h, start);
        else
            SeekTo(h, static_cast<int>(count));
        SetErr(h, kDbfErrWrite, sys);
        return 0;
    }
    StoreLe32(h->header + 4, static_cast<uint32_t>(count + 1));
    if (!DbfWriteHeader(h, 0)) {
        // The count never reached the file: the row is not in the table.
        const int code = h->errorCode;
        const uint32_t sys = h->systemError;
        TakeBackAppend(h, start);
        SetErr(h, code, sys);
        return 0;
    }
    before.valid = true;
    fioSeek(h->file, start, 0);
    h->current = n;
    return 1;
}

int DbfDeleteRecord(DbfHandle h, int record) {
    if (!h) return 0;
    if (RefuseDamaged(h)) return 0;
    h->lastAppend.valid = false;
    const int64_t target = record == kDbfCurrent ? h->current : record;
    if (record == kDbfAppend || (target >= 0 && target >= static_cast<int64_t>(Count(h)))) {
        SetErr(h, kDbfErrSeek);
        return 0;
    }
    const int n = DbfSeek(h, record);
    if (n < 0) return 0;
    const int64_t start = fioTell(h->file);
    const uint8_t star = '*';
    const uint32_t put = fioWrite(h->file, &star, 1);
    fioSeek(h->file, start, 0);
    if (put != 1) {
        SetErr(h, kDbfErrDeleteFlag);
        return 0;
    }
    return 1;
}

int DbfIsRecordActive(DbfHandle h, const uint8_t* buffer) {
    if (!h) return 0;
    const uint8_t* r = buffer ? buffer : h->record.get();
    return r[0] != '*' ? 1 : 0;
}

namespace {
// The byte at the file position, which stays where it was; -1 past the end.
int PeekByte(DbfHandle h) {
    const int64_t start = fioTell(h->file);
    uint8_t flag = 0;
    const uint32_t got = fioRead(h->file, &flag, 1);
    fioSeek(h->file, start, 0);
    return got == 1 ? flag : -1;
}
}  // namespace

int DbfIsActiveAtPosition(DbfHandle h) {
    if (!h) return 0;
    // The end mark after the last row is not a row.
    if (h->current < 0 || static_cast<uint32_t>(h->current) >= Count(h)) return 0;
    const int flag = PeekByte(h);
    return flag >= 0 && flag != '*' ? 1 : 0;
}

int DbfIsEndMarkAtPosition(DbfHandle h) {
    return h && PeekByte(h) == 0x1A ? 1 : 0;
}

int DbfGetRecordCount(DbfHandle h) {
    return h ? static_cast<int>(Count(h)) : 0;
}
int DbfGetRecordLength(DbfHandle h) {
    return h ? RecordLength(h) : 0;
}
int DbfGetHeaderLength(DbfHandle h) {
    return h ? HeaderLength(h) : 0;
}
uint8_t* DbfGetRecordBuffer(DbfHandle h) {
    return h ? h->record.get() : nullptr;
}

uint8_t* DbfAllocRecordBuffer(DbfHandle h) {
    if (!h) return nullptr;
    auto* p = static_cast<uint8_t*>(DbfHeap().Alloc(static_cast<size_t>(RecordLength(h)) + 8));
    if (!p) SetErr(h, kDbfErrMemory);
    return p;
}
void DbfFreeRecordBuffer(uint8_t* buffer) {
    DbfHeap().Free(buffer);
}

int DbfBlankRecord(DbfHandle h, uint8_t* buffer) {
    if (!h) return 0;
    uint8_t* r = buffer ? buffer : h->record.get();
    memset(r, ' ', static_cast<size_t>(RecordLength(h)));
    for (int i = 0; i < h->fieldCount; ++i)
        if (Descriptor(h, i)[11] == 'L' && FieldLength(h, i) > 0) r[FieldOffset(h, i)] = '?';
    return 1;
}

int DbfRereadHeader(DbfHandle h) {
    if (!h) return 0;
    uint8_t header[32];
    const int64_t back = fioTell(h->file);
    if (fioSeek(h->file, 0, 0) != 0 || fioRead(h->file, header, 32) != 32) {
        SetErr(h, kDbfErrRead);
        return 0;
    }
    fioSeek(h->file, back, 0);
    memcpy(h->header, header, 32);
    memcpy(h->fileHeader, header, 32);
    h->headerChanged = false;
    h->lastAppend.valid = false;
    return 1;
}

int DbfUndoAppend(DbfHandle h) {
    if (!h || !h->lastAppend.valid || Count(h) != h->lastAppend.count + 1) return 0;
    TakeBackAppend(h, HeaderLength(h) + int64_t{h->lastAppend.count} * RecordLength(h));
    return 1;
}

int DbfWriteHeader(DbfHandle h, int withDescriptors) {
    if (!h) return 0;
    if (RefuseDamaged(h)) return 0;
    h->lastAppend.valid = false;
    const time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    h->header[1] = static_cast<uint8_t>(local.tm_year);
    h->header[2] = static_cast<uint8_t>(local.tm_mon + 1);
    h->header[3] = static_cast<uint8_t>(local.tm_mday);
    const int64_t back = fioTell(h->file);
    if (!PutHeaderBytes(h, h->header)) {
        SetErr(h, kDbfErrHeaderWrite);
        return 0;
    }
    h->headerChanged = false;
    if (!withDescriptors) return 1;
    if (!PutDescriptors(h)) {
        SetErr(h, kDbfErrDescriptorWrite);
        return 0;
    }
    if (fioSeek(h->file, back, 0) != back) {
        SetErr(h, kDbfErrHeaderSeek);
        return 0;
    }
    return 1;
}

int DbfSetRecordCount(DbfHandle h, int count, uint8_t flag) {
    if (!h || count < 0) return 0;
    if (RefuseDamaged(h)) return 0;
    const int64_t old = Count(h);
    const int64_t rl = RecordLength(h);
    if (HeaderLength(h) + count * rl + 1 > kMaxFileSize) {
        SetErr(h, kDbfErrTooLarge);
        return 0;
    }
    if (count > old) {
        DbfBlankRecord(h);
        h->record.get()[0] = flag;
        SeekTo(h, static_cast<int>(old));
        for (int64_t i = old; i < count; ++i) {
            const int64_t start = fioTell(h->file);
            if (fioWrite(h->file, h->record.get(), static_cast<uint32_t>(rl)) != rl) {
                fioSeek(h->file, start, 0);
                SetErr(h, kDbfErrWrite);
                return 0;
            }
        }
    }
    StoreLe32(h->header + 4, static_cast<uint32_t>(count));
    if (!DbfWriteHeader(h, 0)) return 0;
    const uint8_t eof = 0x1A;
    if (SeekTo(h, count) < 0) return 0;
    if (fioWrite(h->file, &eof, 1) != 1 || !fioTruncate(h->file)) {
        SetErr(h, kDbfErrTruncate);
        return 0;
    }
    SeekTo(h, count);
    return 1;
}

int DbfRemoveAllRecords(DbfHandle h) {
    if (!h) return 0;
    if (RefuseDamaged(h)) return 0;
    const uint8_t eof = 0x1A;
    if (fioSeek(h->file, HeaderLength(h), 0) < 0 || fioWrite(h->file, &eof, 1) != 1) {
        SetErr(h, kDbfErrEndMark);
        return 0;
    }
    if (!fioTruncate(h->file)) {
        SetErr(h, kDbfErrTruncate);
        return 0;
    }
    StoreLe32(h->header + 4, 0);
    if (!DbfWriteHeader(h, 0)) return 0;
    SeekTo(h, 0);
    return 1;
}

// Both widths of the text-bearing calls.
#define ZN_DBF_INSTANTIATE(Ch)                                               \
    template DbfHandle DbfOpen<Ch>(const Ch*, int);                          \
    template DbfHandle DbfCreate<Ch>(const Ch*, int);                        \
    template DbfHandle DbfCreateLike<Ch>(const Ch*, DbfHandle);              \
    template const Ch* DbfGetPath<Ch>(DbfHandle, Ch*);                       \
    template int DbfGetError<Ch>(DbfHandle, uint32_t*, Ch*);                 \
    template const Ch* DbfGetErrorInfo<Ch>(DbfHandle, int*, uint32_t*, Ch*); \
    template unsigned DbfReadCpgFile<Ch>(const Ch*);                         \
    template const Ch* DbfGetFieldName<Ch>(DbfHandle, int, Ch*);             \
    template int DbfFindField<Ch>(DbfHandle, const Ch*);                     \
    template int DbfAddField<Ch>(DbfHandle, const Ch*, char, int, int);
ZN_DBF_INSTANTIATE(WChar)
ZN_DBF_INSTANTIATE(char)
