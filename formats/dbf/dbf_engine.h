// The dBASE engine: open, create, header and field descriptors, records,
// seeking with the special positions, the mapped whole-table visitor and the
// last error. C-style: a DbfHandle goes into every call; results are 1/0 or a
// record number/-1; failures keep a code, the platform error and a message in
// the handle (or, for open and create, in the calling thread's last open
// error, read with DbfGetError(nullptr)).
//
// One engine serves both character widths: calls that take or give a path,
// a name or a message accept program text (WChar) or 8-bit text (char, UTF-8)
// for the desktop library's build.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/dbf/engine_heap.h"
#include "platform/text/text.h"

struct DbfTable;
using DbfHandle = DbfTable*;
struct FioFile;

// Open flags.
constexpr int kDbfReadWrite = 1;
constexpr int kDbfRandomAccess = 2;
constexpr int kDbfSequential = 4;
constexpr int kDbfNoSharing = 8;
constexpr int kDbfShareAll = 16;
constexpr int kDbfForMapping = 32;

// Special record positions.
constexpr int kDbfCurrent = -2;
constexpr int kDbfAppend = -3;
constexpr int kDbfFirst = -4;
constexpr int kDbfNext = -5;
constexpr int kDbfPrevious = -6;
constexpr int kDbfLast = -7;

// Error codes.
enum DbfError {
    kDbfErrNone = 0,
    kDbfErrMemory = 1,
    kDbfErrOpen = 2,
    kDbfErrHeader = 3,  // also: a header whose lengths do not fit its fields
    kDbfErrDescriptor = 4,
    kDbfErrRead = 5,
    kDbfErrWrite = 6,
    kDbfErrTooManyFields = 7,
    kDbfErrSeek = 8,
    kDbfErrHeaderSeek = 10,
    kDbfErrHeaderWrite = 11,
    kDbfErrDescriptorWrite = 12,
    kDbfErrCreate = 13,
    kDbfErrTruncate = 14,
    kDbfErrEndMark = 15,
    kDbfErrFree = 16,  // reserved: freeing cannot fail here
    kDbfErrDeleteFlag = 17,
    kDbfErrField = 18,     // a field that cannot be added (limits, rows present)
    kDbfErrTooLarge = 19,  // the table would outgrow the format's 32-bit offsets
    kDbfErrDamaged = 20,   // the file holds fewer rows than its header counts
    kDbfErrSwap = 21,      // files left half replaced that could not be mended
};

constexpr int kDbfMaxFields = 1024;

// A field definition (shared with the table object and the new-shapefile dialog).
struct DbfFieldInfo {
    WChar name[11];
    char type;
    uint8_t length;
    uint8_t decimals;
};

// The engine's heap (handles, descriptors, record buffers).
zn::EngineHeap& DbfHeap();

// ---- tables ----
// The journal kept while a table is replaced together with the shapefile
// it belongs to (a pack, a create over old files): "<name>.shp.swap".
// Opening a table finishes or undoes such a replacement first, as opening
// its shapefile does, so a table opened alone never sees half of one.
WString DbfSwapJournal(WStringView path);
template <typename Ch>
DbfHandle DbfOpen(const Ch* path, int flags);
template <typename Ch>
DbfHandle DbfCreate(const Ch* path, int flags);
template <typename Ch>
DbfHandle DbfCreateLike(const Ch* path, DbfHandle source);
// Writes a changed header and closes; the handle is gone either way.
// 0 when the header could not be written.
int DbfClose(DbfHandle h);
// Keeps the path, closes the table, deletes its file; 1 when deleted.
int DbfDeleteFile(DbfHandle h);
// Writes the table's data through to the disk; 0 (kDbfErrWrite) on failure.
int DbfFlush(DbfHandle h);
int64_t DbfGetFileSize(DbfHandle h);
int DbfGetOpenFlags(DbfHandle h);
FioFile* DbfGetFile(DbfHandle h);
// Copies into buffer when given (room for the path and its NUL), else
// returns the engine's copy.
template <typename Ch>
const Ch* DbfGetPath(DbfHandle h, Ch* buffer);
const WChar* DbfGetPath(DbfHandle h);

// ---- errors ----
// The handle's code (or, without a handle, that of the last failed open or
// create on this thread). Copies the message when a buffer (256 characters)
// is given.
int DbfGetError(DbfHandle h, uint32_t* systemError = nullptr);
template <typename Ch>
int DbfGetError(DbfHandle h, uint32_t* systemError, Ch* text);
template <typename Ch>
const Ch* DbfGetErrorInfo(DbfHandle h, int* code, uint32_t* systemError, Ch* buffer);
const WChar* DbfGetErrorInfo(DbfHandle h, int* code = nullptr, uint32_t* systemError = nullptr);
// Stores the code and the platform's last error; format null gives the
// default text "DBF Error:%d WinError:%d(%08lX)".
void DbfSetError(DbfHandle h, int code, const WChar* format = nullptr, ...);

// ---- writability ----
// 1 when the file was opened with fewer rows than its header counts. Such a
// table keeps its count (the shapes beside it stay reachable), reports
// kDbfErrDamaged after the open, fails reads of the missing rows and refuses
// every write with kDbfErrDamaged until it is rewritten whole.
int DbfIsDamaged(DbfHandle h);
int DbfIsWritable(DbfHandle h);
int DbfIsFileWritable(DbfHandle h);
int DbfSetWritable(DbfHandle h, int writable);

// ---- code pages ----
unsigned DbfGetCodePage(DbfHandle h);
int DbfSetCodePage(DbfHandle h, unsigned codePage);
int DbfGetLanguageDriverId(DbfHandle h);
int DbfSetLanguageDriverId(DbfHandle h, int id);
// The code page a .cpg file names, 0 when it is missing.
template <typename Ch>
unsigned DbfReadCpgFile(const Ch* path);

// ---- mapping ----
void* DbfMap(DbfHandle h);
void DbfUnmap(DbfHandle h);
void* DbfGetMappedView(DbfHandle h);
int64_t DbfGetRecordOffset(DbfHandle h, int record);
// The record inside the view; null when unmapped or outside the view.
const uint8_t* DbfGetMappedRecord(DbfHandle h, int record);
using DbfRecordCallback = int (*)(DbfHandle h, int record, const uint8_t* data, void* user);
// Calls back for each record from first to last (-1: the last); a callback
// returning 0 stops the walk. Records beyond the file's end are not visited.
int DbfForEachRecord(DbfHandle h, DbfRecordCallback callback, void* user, int first, int last);

// ---- fields ----
int DbfGetFieldCount(DbfHandle h);
int DbfGetFieldDescriptor(DbfHandle h, int index, uint8_t* descriptor32);
template <typename Ch>
const Ch* DbfGetFieldName(DbfHandle h, int index, Ch* buffer);
const WChar* DbfGetFieldName(DbfHandle h, int index);
template <typename Ch>
int DbfFindField(DbfHandle h, const Ch* name);
char DbfGetFieldType(DbfHandle h, int index);
int DbfGetFieldLength(DbfHandle h, int index);
int DbfGetFieldDecimals(DbfHandle h, int index);
int DbfGetFieldOffset(DbfHandle h, int index);
template <typename Ch>
int DbfAddField(DbfHandle h, const Ch* name, char type, int length, int decimals);
int DbfAddFields(DbfHandle h, int count, const DbfFieldInfo* fields);
int DbfCopyFields(DbfHandle destination, DbfHandle source);

// ---- records ----
int DbfSeek(DbfHandle h, int record);
int DbfSeekActive(DbfHandle h, int record);
int DbfGetCurrentRecord(DbfHandle h);
int DbfReadRecord(DbfHandle h, int record, uint8_t* buffer = nullptr);
int DbfWriteRecord(DbfHandle h, int record, const uint8_t* buffer = nullptr);
int DbfDeleteRecord(DbfHandle h, int record);
int DbfIsRecordActive(DbfHandle h, const uint8_t* buffer = nullptr);
int DbfIsActiveAtPosition(DbfHandle h);
inline int DbfIsRecordValid(DbfHandle h) {
    return DbfIsActiveAtPosition(h);
}
int DbfIsEndMarkAtPosition(DbfHandle h);
int DbfGetRecordCount(DbfHandle h);
int DbfGetRecordLength(DbfHandle h);
int DbfGetHeaderLength(DbfHandle h);
uint8_t* DbfGetRecordBuffer(DbfHandle h);
uint8_t* DbfAllocRecordBuffer(DbfHandle h);
void DbfFreeRecordBuffer(uint8_t* buffer);
int DbfBlankRecord(DbfHandle h, uint8_t* buffer = nullptr);
int DbfSetRecordCount(DbfHandle h, int count, uint8_t flag = ' ');
int DbfRemoveAllRecords(DbfHandle h);
int DbfWriteHeader(DbfHandle h, int withDescriptors);
// Takes the first 32 header bytes (row count, flags, date) from the file
// again, after a caller put the file's bytes back as they were.
int DbfRereadHeader(DbfHandle h);
// Takes back the row of the last append, for a caller whose own files could
// not follow it: the header bytes, the count and the end mark are as they
// were before that append. Only right after it (any other write in between
// and this returns 0, doing nothing).
int DbfUndoAppend(DbfHandle h);

// Test reset of process-wide state: the last open error of this thread and
// injected heap faults.
void DbfResetForTests();
