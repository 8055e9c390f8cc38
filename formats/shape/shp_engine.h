// The shapefile engine: `.shp` (shapes), `.shx` (one entry per record) and
// `.dbf` (one row per record, through the dBASE engine) kept in step.
// C-style: ShpOpen and ShpCreate give a ShpHandle that every other call
// takes; results are 1/0, or a record index/-1; a failure keeps a code, the
// platform error and a message in the handle (for open and create in the
// calling thread's last open error, read with ShpGetError(nullptr)).
//
// Record i is `.shx` entry i, the `.shp` record it points to (numbered i + 1)
// and `.dbf` row i. A deleted record has number 0 and type 0 in `.shp`,
// length 0 in `.shx` and `*` in `.dbf`; a row marked `*` only in the `.dbf`
// (as other programs delete) also counts as deleted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/double_rect.h"
#include "formats/dbf/dbf_engine.h"
#include "formats/shape/shape_record.h"
#include "platform/text/text.h"

struct FioFile;

// Open flags: those of the dBASE engine.
constexpr int kShpReadWrite = kDbfReadWrite;
constexpr int kShpRandomAccess = kDbfRandomAccess;
constexpr int kShpSequential = kDbfSequential;
constexpr int kShpNoSharing = kDbfNoSharing;
constexpr int kShpShareAll = kDbfShareAll;
constexpr int kShpForMapping = kDbfForMapping;

enum ShpError {
    kShpErrNone = 0,
    kShpErrShpOpen = 1,  // also: out of memory on create
    kShpErrShxOpen = 2,
    kShpErrDbfOpen = 3,
    kShpErrShpCreate = 4,
    kShpErrShxCreate = 5,
    kShpErrDbfCreate = 6,
    kShpErrMemory = 7,
    kShpErrRealloc = 8,
    kShpErrNoExtension = 9,
    kShpErrHeader = 10,
    kShpErrShape = 12,
    kShpErrWriteHeader = 13,
    kShpErrWriteRecordHeader = 14,
    kShpErrHeaderSeek = 16,
    kShpErrWriteIndex = 17,
    kShpErrAppendRow = 19,
    kShpErrWrite = 20,
    kShpErrRead = 21,
    kShpErrFileCode = 24,
    kShpErrTypeMismatch = 25,
    kShpErrTooLarge = 26,
    kShpErrFileLimit = 27,  // the files would pass the format's 2 GiB
    kShpErrDeleted = 28,    // the record is deleted
    kShpErrReadOnly = 29,   // a write on a handle without write access
    kShpErrDamaged = 30,    // a cut `.shx` or `.dbf`: read, never written
    kShpErrSwap = 31,       // files left half replaced that could not be mended
};

constexpr size_t kShpHeaderSize = 100;
// Largest `.shp` or `.shx` the engine writes (offsets are signed 16-bit-word
// counts, and other programs stop at 2 GiB).
constexpr int64_t kShpMaxFileSize = 0x7FFFFFFF;

// ---- files ----
// The journal kept beside a shapefile while its files are replaced together
// (a create over old files, a pack): "<name>.shp.swap"; the index files'
// own is "<name>.sbn.swap".
WString ShpSwapJournal(const WChar* path);
WString ShpIndexSwapJournal(const WChar* path);
// Finishes or undoes a replacement of the shapefile's files, or of its
// index files, that was interrupted; false when the files could not be
// mended. Opening and creating do this first.
bool ShpRecoverSwap(const WChar* path);
// Opening fails with kShpErrSwap when ShpRecoverSwap fails.
ShpHandle ShpOpen(const WChar* path, int flags);
// Opens without settling a replacement: for the code doing the replacing,
// which opens the new files while its journal is still there.
ShpHandle ShpOpenDuringSwap(const WChar* path, int flags);
ShpHandle ShpOpen(const char* utf8Path, int flags);
ShpHandle ShpCreate(const WChar* path, int type, int flags);
ShpHandle ShpCreate(const char* utf8Path, int type, int flags);
// newTable 1 creates a new `.dbf`, 0 opens the existing one read-only.
ShpHandle ShpCreateEx(const WChar* path, int type, int flags, int newTable);
ShpHandle ShpCreateLike(const WChar* path, ShpHandle source);
// Closes even when the pending header cannot be written; 0 then.
int ShpClose(ShpHandle h);
// 1 when every buffered byte reached the files; 0 with the error set when
// the pending header could not be written (it stays pending).
int ShpFlush(ShpHandle h);
// Writes the pending headers without syncing the disk: every byte written is
// the system's then (an end of the program loses none of them), but a power
// loss may. ShpFlush (or ShpClose after it) makes the files durable.
// 1 when done; 0 as ShpFlush.
int ShpWriteThrough(ShpHandle h);

DbfHandle ShpGetTable(ShpHandle h);
FioFile* ShpGetMainFile(ShpHandle h);
FioFile* ShpGetIndexFile(ShpHandle h);
// The `.shp` path; copied when a buffer (MAX_PATH characters) is given.
const WChar* ShpGetPath(ShpHandle h, WChar* buffer = nullptr);
int ShpGetOpenFlags(ShpHandle h);
int64_t ShpGetTotalSize(ShpHandle h);
int ShpGetRecordCount(ShpHandle h);
// Entries in `.shx`.
int ShpGetIndexCount(ShpHandle h);
int ShpGetShapeType(ShpHandle h);
int ShpGetBounds(ShpHandle h, CDoubleRect* box);
int ShpGetFullExtent(ShpHandle h, ShapeExtent* extent);
int ShpGetFileCode(ShpHandle h);
int ShpGetFileLength(ShpHandle h);
int ShpGetVersion(ShpHandle h);
// Mutable header bytes (extent recomputation).
uint8_t* ShpGetHeader(ShpHandle h);
void ShpSetHeaderChanged(ShpHandle h);

// 1 when the shapefile opened damaged: a `.shx` shorter than its header
// says (its entries are found again by walking `.shp`, so every shape stays
// reachable) or a `.dbf` with rows missing (DbfIsDamaged). The open leaves
// kShpErrDamaged as the handle's error, and every write fails with it.
int ShpIsDamaged(ShpHandle h);

// ---- errors ----
// text, when given, has room for 256 characters.
int ShpGetError(ShpHandle h, uint32_t* systemError = nullptr, WChar* text = nullptr);
const WChar* ShpGetErrorText(ShpHandle h);
// Format null gives "SHAPE Error:%d WinError:%d(%08lX)".
void ShpSetError(ShpHandle h, int code, const WChar* format = nullptr, ...);
void ShpResetForTests();

// ---- records ----
// Byte offset of the record's header in `.shp`; 0 when the index has no
// such entry or it cannot be read.
int64_t ShpGetRecordOffset(ShpHandle h, int record);
int ShpSeekRecord(ShpHandle h, int record);
// Content length in bytes from `.shp`; 0 on failure.
int ShpGetContentLength(ShpHandle h, int record);
// 1 when the `.shp` record number is 0 or below, or the `.dbf` row is `*`.
int ShpIsRecordDeleted(ShpHandle h, int record);
// The records ShpIsRecordDeleted keeps, counted with a few large reads
// instead of three small ones a record.
int ShpCountLiveRecords(ShpHandle h);
// Reads a record into `buffer` (`capacity` bytes, 0: its shape-heap capacity)
// or into the handle's buffer. The record is checked against its length; a Z
// or M tail the file leaves out reads as Z 0 and M no-data.
ShapeRecord* ShpReadShape(ShpHandle h, int record, ShapeRecord* buffer = nullptr,
                          size_t capacity = 0);
int ShpAppendShape(ShpHandle h, ShapeRecord* r = nullptr);
// Both refuse a deleted record (kShpErrDeleted).
int ShpRewriteShape(ShpHandle h, int record, ShapeRecord* r = nullptr);
int ShpUpdateShape(ShpHandle h, int record, ShapeRecord* r = nullptr);
// 1, or 0 with the error set when a write failed.
int ShpDeleteShape(ShpHandle h, int record, int truncate);
int ShpTruncateLast(ShpHandle h);
// Widens the header's box (and Z and M ranges) by the record's; first makes
// them the record's. Writes both headers.
int ShpUpdateBounds(ShpHandle h, const ShapeRecord* r, int first);
int ShpWriteHeaders(ShpHandle h);

int ShpIsFileWritable(ShpHandle h);
int ShpIsWritable(ShpHandle h);
int ShpSetWritable(ShpHandle h, int writable);
