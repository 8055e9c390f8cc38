// Device file system: the one place where a device path becomes a host path.
//
// Device paths are what the program keeps everywhere: `\` separators (`/` is
// accepted too), no drive letters, names compared without regard to case.
// They live under a device root on the host (the host root `/` by default,
// `ZARNIP_ROOT` for another; tests always set one). `ZARNIP_MOUNTS` maps
// top-level device folders onto host folders, entries separated by `;` or
// newlines: `\Storage Card=/media/sd;\Host=/`. Mount names match without
// regard to case and their roots carry kAttrTemporary.
//
// Resolution (ResolvePath and every call taking a path):
//   - runs of separators collapse; a path without a leading `\` is
//     root-relative (there is no current directory); `.` is dropped and `..`
//     never climbs above the root; trailing dots and blanks of a name are
//     dropped, as the device does;
//   - `C:\...` is "path not found"; names with `: * ? " < > |` or control
//     characters are "invalid name";
//   - each component: the exact host name first, else a case-insensitive
//     match in the folder (the first in byte order when several differ only
//     by case); a file that is created or renamed onto a name reuses an
//     existing case-variant, so writing `roads.dbf` beside `ROADS.DBF`
//     overwrites `ROADS.DBF`.
//
// Errors follow the platform: every call that fails sets the calling
// thread's last error (GetLastError) to one of the kError* codes below and
// returns false / nullptr / kInvalidAttributes. Successful calls that the
// platform documents as setting a code (CreateFile with kCreateAlways or
// kOpenAlways on an existing file sets kErrorAlreadyExists) do the same.
//
// Files:
//   fs::File f;
//   if (!f.Open(u"\\data\\roads.dbf", fs::kGenericRead | fs::kGenericWrite,
//               fs::kShareRead, fs::kOpenExisting)) { auto e = fs::GetLastError(); }
//   f.Read(buf, n, &got); f.Write(buf, n, &put); f.Seek(0, fs::kSeekEnd);
//   f.SetEnd(); f.Flush(); f.Close();
// Share modes are enforced between opens in this process through a table of
// open files: an open whose access the others do not share, or whose share
// mode does not allow what the others already do, fails with
// kErrorSharingViolation, as do delete and rename of an open file that was
// not opened with kShareDelete.
//
// The read-only attribute is a file without any write permission bit; it is
// enforced here for every user (CI runs as root), so opening such a file for
// writing or deleting it fails with kErrorAccessDenied.
//
// FileMapping maps a whole open file read-only or read-write (Map with a
// larger size grows a writable file first, like a mapping with a maximum
// size). FindFirstFile/FindNextFile enumerate with the platform's wildcard
// rules: `*` and `?` match without regard to case, `*.*` matches every name,
// dotted or not, a pattern ending in `.` matches names without a dot; `.` and
// `..` are never returned; names that cannot exist on the device are hidden.
//
// fs::test holds the fault-injection hooks (failing the Nth read or write, a
// byte budget that ends in "disk full", failing opens of one path, simulated
// read-only files) and Reset() for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/text.h"

namespace fs {

// ---- error codes (the platform's values) ----
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorTooManyOpenFiles = 4;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorNotSameDevice = 17;
constexpr uint32_t kErrorNoMoreFiles = 18;
constexpr uint32_t kErrorWriteProtect = 19;
constexpr uint32_t kErrorWriteFault = 29;
constexpr uint32_t kErrorReadFault = 30;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorHandleEof = 38;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorNegativeSeek = 131;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorDirNotEmpty = 145;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorFilenameTooLong = 206;
constexpr uint32_t kErrorDirectory = 267;  // not a folder
constexpr uint32_t kErrorFileInvalid = 1006;

// The calling thread's last error.
uint32_t GetLastError();
void SetLastError(uint32_t error);
// A sentence saying what an error code means, for messages to the user
// ("The file was not found."); empty for kErrorSuccess.
WString ErrorText(uint32_t error);
// errno to the platform's code (ENOENT -> kErrorFileNotFound, ...).
uint32_t ErrorFromErrno(int err);

// ---- access, share, creation, attributes ----
constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kGenericWrite = 0x40000000;

constexpr uint32_t kShareNone = 0;
constexpr uint32_t kShareRead = 1;
constexpr uint32_t kShareWrite = 2;
constexpr uint32_t kShareDelete = 4;

constexpr uint32_t kCreateNew = 1;         // fails with kErrorFileExists when it exists
constexpr uint32_t kCreateAlways = 2;      // creates or truncates
constexpr uint32_t kOpenExisting = 3;      // fails when missing
constexpr uint32_t kOpenAlways = 4;        // opens or creates
constexpr uint32_t kTruncateExisting = 5;  // existing only, truncated; needs kGenericWrite

constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrSystem = 0x04;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kAttrNormal = 0x80;
constexpr uint32_t kAttrTemporary = 0x100;  // mount roots (storage cards)
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFF;

// Open flags that ride with the attributes; accepted, used only as hints.
constexpr uint32_t kFlagWriteThrough = 0x80000000;
constexpr uint32_t kFlagRandomAccess = 0x10000000;
constexpr uint32_t kFlagSequentialScan = 0x08000000;

constexpr int kSeekBegin = 0;
constexpr int kSeekCurrent = 1;
constexpr int kSeekEnd = 2;

constexpr size_t kMaxPath = 260;

// ---- device root and mounts ----

// The host folder of the device root (no trailing '/', except for "/").
std::string GetDeviceRoot();
// Replaces the root; an empty text goes back to ZARNIP_ROOT or "/".
void SetDeviceRoot(std::string_view hostFolder);
// Adds or replaces a mount of a top-level device folder (e.g. u"\\Storage Card").
void AddMount(WStringView deviceFolder, std::string_view hostFolder);
void ClearMounts();
// Re-reads ZARNIP_ROOT and ZARNIP_MOUNTS and clears the fault hooks. Open
// files and their share entries are left alone.
void ResetConfiguration();

struct Resolved {
    std::string host;          // the host path (of the would-be file when !exists)
    bool exists = false;       // the last component exists
    bool isMountRoot = false;  // the path names a mount's root
};

// Maps a device path. Fails (kErrorPathNotFound, kErrorInvalidName, ...)
// when a folder on the way is missing; a missing last component is not an
// error: `exists` tells.
bool ResolvePath(WStringView devicePath, Resolved* out);
// The host path of an existing file or folder, else empty with the last error set.
std::string HostPath(WStringView devicePath);
// The device path of a host path under a mount or the root (relative host
// paths are taken from the working folder); empty when it lies outside or
// has names the device cannot hold.
WString DevicePathFromHost(std::string_view hostPath);
// The program's own file as a device path (the executable), or its host
// path turned into `\`-form when it lies outside the root.
WString GetModuleFileName();

// ---- times ----
// FILETIME: 100 ns units since 1601-01-01 UTC.
uint64_t FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);
int64_t UnixFromFileTime(uint64_t fileTime);  // whole seconds (floor)

// ---- files ----

class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    // Opens or creates like the platform's CreateFile. flagsAndAttributes:
    // kAttrReadOnly makes a newly created file read-only (once closed, as on
    // the device); the kFlag* hints are accepted. Access 0 opens for queries.
    bool Open(WStringView devicePath, uint32_t access, uint32_t share, uint32_t disposition,
              uint32_t flagsAndAttributes = kAttrNormal);
    bool IsOpen() const { return fd_ >= 0; }
    // Closes; false (with the last error) when the system reported a failure.
    bool Close();

    // Reads up to n bytes; *done (optional) gets the count; reading at the
    // end succeeds with 0 bytes.
    bool Read(void* buffer, size_t n, size_t* done = nullptr);
    // Writes n bytes; a short write fails with kErrorDiskFull.
    bool Write(const void* buffer, size_t n, size_t* done = nullptr);
    // Writes n bytes at an offset without moving the file pointer.
    bool WriteAt(uint64_t offset, const void* buffer, size_t n, size_t* done = nullptr);
    // Keeps the first page of the file mapped for writing, so that a later
    // WriteAt inside the bytes the file held then (a header rewritten after
    // every append) stores into the file's cached page without a system call.
    // Such a write stores 8-byte pieces from the end of its range towards its
    // start (the first piece may be shorter), each with one instruction: a
    // process that dies during it leaves every piece old or new, and the
    // lowest offsets, where headers keep their counts, change last. Faults
    // injected for tests apply as to any write. Only for a file opened for
    // writing that no other handle may write (a truncation by another writer
    // would leave the page unbacked); false otherwise, and writes go on as
    // before. SetEnd below those bytes gives them up.
    bool MapHead();
    // Moves the file pointer; a negative resulting position fails with
    // kErrorNegativeSeek. *position (optional) gets the new position.
    bool Seek(int64_t offset, int origin, uint64_t* position = nullptr);
    uint64_t Tell() const;
    // The file's size, or UINT64_MAX with the last error set.
    uint64_t Size() const;
    // Sets the end of the file at the file pointer (grows or shrinks).
    bool SetEnd();
    bool Flush();
    // Attributes of the open file (kAttrNormal, kAttrReadOnly, ...).
    uint32_t GetAttributes() const;
    // FILETIMEs of the open file; a null pointer skips that value.
    bool GetTimes(uint64_t* creation, uint64_t* lastAccess, uint64_t* lastWrite) const;
    bool SetLastWriteTime(uint64_t fileTime);

    uint32_t Access() const { return access_; }
    uint32_t Share() const { return share_; }
    const WString& DevicePath() const { return devicePath_; }
    const std::string& HostPath() const { return hostPath_; }
    int NativeHandle() const { return fd_; }

private:
    void Release();

    int fd_ = -1;
    uint32_t access_ = 0;
    uint32_t share_ = 0;
    bool readOnlyOnClose_ = false;
    uint64_t shareKey_[2] = {0, 0};  // device and inode
    WString devicePath_;
    std::string hostPath_;
    // The first page mapped by MapHead, and how many of its bytes the file
    // holds (writes inside them go to the page).
    char* head_ = nullptr;
    size_t headMapped_ = 0;
    uint64_t headBytes_ = 0;
};

// A mapped view of a whole open file.
class FileMapping {
public:
    FileMapping() = default;
    ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    // Maps `size` bytes (0: the whole file) of an open file. writable needs
    // a file opened with kGenericWrite (else kErrorAccessDenied) and grows
    // the file to `size` when it is shorter. An empty mapping fails with
    // kErrorFileInvalid, as on the platform.
    bool Map(File& file, bool writable, uint64_t size = 0);
    // Maps a window of `length` bytes at `offset` (any offset; no alignment
    // needed) of an open file. The window must lie inside the file, else
    // kErrorInvalidParameter; a zero length fails the same way.
    bool MapView(File& file, bool writable, uint64_t offset, uint64_t length);
    void* Data() const { return data_; }
    uint64_t Size() const { return size_; }
    bool IsWritable() const { return writable_; }
    // Writes dirty pages back to the file.
    bool Flush();
    void Unmap();

private:
    void* base_ = nullptr;  // the page-aligned start of the mapping
    size_t mapped_ = 0;     // bytes mapped from base_
    void* data_ = nullptr;
    uint64_t size_ = 0;
    bool writable_ = false;
};

// ---- whole-file and name operations ----

// kInvalidAttributes (and the last error) when missing.
uint32_t GetFileAttributes(WStringView devicePath);
// Only kAttrReadOnly is stored (as the write permission bits); the rest is ignored.
bool SetFileAttributes(WStringView devicePath, uint32_t attributes);
bool Exists(WStringView devicePath);
bool DeleteFile(WStringView devicePath);
// Renames a file or folder. Fails with kErrorAlreadyExists when the target
// exists (any case-variant) unless replace is true; a rename that only
// changes the letter case of a name works.
bool MoveFile(WStringView from, WStringView to, bool replace = false);
bool CopyFile(WStringView from, WStringView to, bool failIfExists);
// The device path of an existing file or folder with the letter case its
// name has on the disk; the path as given when it does not exist.
WString ExistingName(WStringView devicePath);

// One rename of a RenameSet: `aside` for a file moved out of the way.
struct RenameStep {
    WString from, to;
    bool aside;
};

// Renames that go together or not at all. Each step is recorded; Commit()
// keeps them and deletes the files that were set aside. Whatever is not
// committed (a step that fails, Rollback(), or the object going away) is
// undone, the last step first, and files set aside return under their own
// names. Every failure keeps the failing call's last error through the undo.
//   fs::RenameSet swap;
//   if (!swap.Replace(u"\\new.dat", u"\\data.dat")) return false;  // already undone
//   if (!Reopen(u"\\data.dat")) return false;  // undone as `swap` goes
//   swap.Commit();
//
// With a journal (a device path beside the files), the set survives the
// process ending half-way: before each rename the steps so far are written
// to the journal, and the journal goes only after the last step is kept or
// undone. RecoverRenames(journal) then finishes a set that was being
// committed and undoes any other, so the files are either all old or all new;
// it leaves alone the journal of a set still under way in this process.
class RenameSet {
public:
    RenameSet() = default;
    explicit RenameSet(WStringView journal) : journal_(journal) {}
    ~RenameSet() { Rollback(); }
    RenameSet(const RenameSet&) = delete;
    RenameSet& operator=(const RenameSet&) = delete;

    // Renames `from` to `to` as MoveFile does.
    bool Move(WStringView from, WStringView to, bool replace = false);
    // Moves an existing file out of the way, to `aside` (empty: its own
    // name + "~old"), replacing a leftover there; a missing file is no
    // failure. The name it returns to is the one it has on the disk.
    bool SetAside(WStringView path, WStringView aside = {});
    // Moves `from` over `to`: an existing `to` is set aside (as above) and
    // `from` takes its name, letter case included.
    bool Replace(WStringView from, WStringView to, WStringView aside = {});
    // Keeps every rename and deletes the files set aside; false when one of
    // them could not be deleted (it stays under its aside name). With a
    // journal, also false when the journal could not record the set as kept:
    // then nothing is kept and the set stays pending, to be undone.
    bool Commit();
    // True while renames are done that are neither kept nor undone.
    bool IsPending() const { return !steps_.empty(); }
    // Undoes the renames not committed; false when one could not be undone.
    bool Rollback();

private:
    bool Record(WString from, WStringView to, bool replace, bool aside);
    bool WriteJournal(const std::vector<RenameStep>& steps, bool committing);

    void EndJournal();

    std::vector<RenameStep> steps_;
    WString journal_;
    std::string journalKey_;  // set while the journal is on the disk
};

// Brings the files of an interrupted journaled RenameSet back to one side:
// a set that was being committed is finished, any other undone; then the
// journal goes. True when there was no journal or it was dealt with; false
// (the journal kept) when a file could not be moved or deleted.
bool RecoverRenames(WStringView journal);

// Moves each `from` over its `to`, all or none: the files replaced are kept
// aside (as their name + "~old") until every move is done, and put back when
// one fails. False with the failing move's error.
bool ReplaceFiles(const std::vector<std::pair<WString, WString>>& moves);
bool CreateDirectory(WStringView devicePath);
bool RemoveDirectory(WStringView devicePath);

// Writes a whole file through a temporary file beside it that is flushed and
// then renamed over the target, so the old content survives any failure.
bool WriteWholeFile(WStringView devicePath, const void* data, size_t n);
// The same for a file of the host given by its host path (the program's own
// settings, which live outside the device root).
bool WriteWholeHostFile(const std::string& hostPath, const void* data, size_t n);
// Reads a host file whole; on failure `bytes` keeps what was read.
bool ReadWholeHostFile(const std::string& hostPath, std::string* bytes);
bool ReadWholeFile(WStringView devicePath, std::string* bytes);

// Free bytes of the volume holding a path (a folder, a file, or a missing
// name in an existing folder). Null pointers skip values.
bool GetDiskFreeSpace(WStringView devicePath, uint64_t* freeToCaller, uint64_t* totalBytes,
                      uint64_t* totalFree);

// ---- finding files ----

struct FindData {
    uint32_t attributes = 0;
    uint64_t creationTime = 0;  // FILETIME
    uint64_t lastAccessTime = 0;
    uint64_t lastWriteTime = 0;
    uint64_t fileSize = 0;
    uint32_t objectId = 0;
    WString fileName;  // at most kMaxPath units

    uint32_t SizeHigh() const { return static_cast<uint32_t>(fileSize >> 32); }
    uint32_t SizeLow() const { return static_cast<uint32_t>(fileSize); }
};

class FindHandle;  // opaque; owned by the caller until FindClose

// Starts a search: the folder part of the pattern is resolved, the name part
// may hold wildcards. Null with kErrorFileNotFound when nothing matches,
// kErrorPathNotFound when the folder is missing.
FindHandle* FindFirstFile(WStringView pattern, FindData* data);
// false with kErrorNoMoreFiles at the end.
bool FindNextFile(FindHandle* handle, FindData* data);
void FindClose(FindHandle* handle);
// Wildcard rules of the platform (see the top of this header).
bool MatchesWildcard(WStringView pattern, WStringView name);

// ---- fault injection for tests ----
namespace test {
// Clears every hook below.
void Reset();
// The nth read or write from now (1 = the next one) fails with `error`.
void FailNthRead(int n, uint32_t error = kErrorReadFault);
void FailNthWrite(int n, uint32_t error = kErrorDiskFull);
// True while the read or write set up above has not been reached.
bool ReadFaultPending();
bool WriteFaultPending();
// The nth flush of a file or a writable view from now fails with `error`.
void FailNthFlush(int n, uint32_t error = kErrorWriteFault);
// Writes may store `bytes` more bytes in total; the write that crosses the
// budget stores what fits and fails with kErrorDiskFull.
void SetWriteBudget(uint64_t bytes);
// Opens, creates, deletes and renames of this device path (compared without
// regard to case after resolution rules) fail with `error`; 0 removes it.
void FailPath(WStringView devicePath, uint32_t error);
// Treats the file as read-only in addition to its permission bits.
void SetReadOnly(WStringView devicePath, bool readOnly);
// Number of files open through File in this process.
size_t OpenFileCount();
// Called after every rename, delete and write that reached the disk (for
// tests that end the process at each step); null removes it.
void OnStep(void (*hook)());
// Called with the host path of every file about to be synced to the disk
// (File::Flush); null removes it.
void OnFlush(void (*hook)(const std::string& hostPath));
}  // namespace test

}  // namespace fs
