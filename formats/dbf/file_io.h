// The file layer under the dBASE and shapefile engines: one open file of the
// device file system in a small record that keeps its identity when it is
// reopened with another access (fioSetMode), with an optional whole-file
// mapping. It knows nothing of file formats. Paths are device paths, given as
// program text or as UTF-8 (the 8-bit build of the desktop library).
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/dbf/engine_heap.h"
#include "platform/text/text.h"

struct FioFile;

// Access masks and share modes of the platform.
constexpr uint32_t kFioRead = 0x80000000;   // GENERIC_READ
constexpr uint32_t kFioWrite = 0x40000000;  // GENERIC_WRITE
constexpr uint32_t kFioShareNone = 0;
constexpr uint32_t kFioShareRead = 1;
constexpr uint32_t kFioShareReadWrite = 3;
constexpr uint32_t kFioShareDelete = 4;
// Creation dispositions.
constexpr uint32_t kFioCreateAlways = 2;
constexpr uint32_t kFioOpenExisting = 3;
// Attributes and hints.
constexpr uint32_t kFioAttrNormal = 0x80;
constexpr uint32_t kFioRandomAccess = 0x10000000;
constexpr uint32_t kFioSequentialScan = 0x08000000;
// fio flags: bit 0, opened for memory mapping.
constexpr uint32_t kFioForMapping = 1;

// The layer's heap (records come from it). Exists for the whole process;
// fioInitHeap and fioDestroyHeap are kept for callers written against them.
zn::EngineHeap& fioHeap();
void fioInitHeap();
int fioDestroyHeap();
// A zero-filled block; when memory runs out the retry handler is asked
// (Retry repeats, Cancel returns null).
void* fioAlloc(size_t bytes);
void fioFree(void* block);

// Asked with (text, caption) when an allocation fails: return nonzero to
// retry. Null restores the default, which answers Cancel (headless use).
using FioRetryHandler = int (*)(const WChar* text, const WChar* caption);
void fioSetRetryHandler(FioRetryHandler handler);
// Told (text, caption) about a fatal condition ("file no longer open").
using FioNotifyHandler = void (*)(const WChar* text, const WChar* caption);
void fioSetNotifyHandler(FioNotifyHandler handler);
// Test reset: default handlers, no injected faults in the layer's heap.
void fioResetForTests();

// Opens a file; null on failure (fioGetLastError tells why).
FioFile* fioOpen(const WChar* path, uint32_t access, uint32_t share, uint32_t disposition,
                 uint32_t attributes, uint32_t fioFlags);
FioFile* fioOpen(const char* utf8Path, uint32_t access, uint32_t share, uint32_t disposition,
                 uint32_t attributes, uint32_t fioFlags);
// Unmaps, closes and frees; null is ignored.
void fioClose(FioFile* file);

// Bytes transferred, 0 on failure.
uint32_t fioRead(FioFile* file, void* buffer, uint32_t bytes);
uint32_t fioWrite(FioFile* file, const void* buffer, uint32_t bytes);
// Writes at an offset in one call (the file pointer ends after the bytes,
// as a seek and a write would leave it); bytes transferred, 0 on failure.
uint32_t fioWriteAt(FioFile* file, int64_t offset, const void* buffer, uint32_t bytes);
// New position, -1 on failure. origin: 0 begin, 1 current, 2 end.
int64_t fioSeek(FioFile* file, int64_t offset, int origin);
int64_t fioTell(FioFile* file);
// Sets the end of file at the current position; nonzero on success.
int fioTruncate(FioFile* file);
// Flushes the view when mapped, then the file; only for files open for
// writing (else nothing to do). Nonzero on success; on failure the last
// error of the file system tells why.
int fioFlush(FioFile* file);
// Maps the whole file (read-write when open for writing); null on failure or
// for an empty file.
void* fioMap(FioFile* file);
void fioUnmap(FioFile* file);
int fioIsAtEnd(FioFile* file);
// Attribute word of the open file; bit 0 is read-only.
uint32_t fioGetAttributes(FioFile* file);
// Reopens with another access and share, keeping the record; 1 or 0. The
// old mode is kept on failure. A mapped file is refused (0).
int fioSetMode(FioFile* file, uint32_t access, uint32_t share);

// Renames the open file over `target` (replacing a file there) and keeps it
// open under the new name with `share`; the file must have been opened with
// kFioShareDelete. 1 or 0; on failure the file keeps its old name.
int fioReplace(FioFile* file, const WChar* target, uint32_t share);

// What the engines read of the record.
uint32_t fioGetAccess(const FioFile* file);
uint32_t fioGetShare(const FioFile* file);
void* fioGetView(const FioFile* file);
uint64_t fioGetViewLength(const FioFile* file);  // bytes of the view, 0 when unmapped
const WChar* fioGetPath(const FioFile* file);
int64_t fioGetSize(FioFile* file);  // -1 on failure
// The platform error of the last failed call on this thread.
uint32_t fioGetLastError();
