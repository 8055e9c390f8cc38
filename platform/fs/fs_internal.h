// Shared pieces of the device file system; not for use outside platform/fs.
#pragma once

#include <sys/stat.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/fs/fs.h"

namespace fs::detail {

// Sets the last error and returns false, for one-line failure exits.
inline bool Fail(uint32_t error) {
    SetLastError(error);
    return false;
}
inline bool FailErrno(int err) {
    return Fail(ErrorFromErrno(err));
}

// A name the device can hold: valid UTF-8, none of \ / : * ? " < > | or
// control characters, not "." or "..". Sets *name to the UTF-16 form.
bool DeviceNameFromHost(const std::string& hostName, WString* name);

// One entry of a host folder as the device sees it.
struct Entry {
    WString name;
    std::string hostName;
    bool isMount = false;  // a mount shown in the root listing
    std::string hostPath;  // full host path
};
// Lists a host folder (sorted by host name), adding the mounts when the
// folder is the device root. False with the last error when it cannot be read.
bool ListFolder(const std::string& hostFolder, bool isDeviceRoot, std::vector<Entry>* out);

// The resolved parent folder and last name of a device path.
struct Split {
    std::string parentHost;  // host folder holding the last component
    bool parentIsRoot = false;
    WString lastName;  // as written (trailing dots/blanks dropped); empty for the root
};
// Resolves every folder but the last component. The last name keeps its
// wildcards when keepWildcards is set (for search patterns).
bool ResolveParent(WStringView devicePath, bool keepWildcards, Split* out);

// Attribute word of a host path (follows symlinks); kInvalidAttributes with
// the last error when missing.
uint32_t HostAttributes(const std::string& hostPath, const WString& name, struct stat* st);
bool IsReadOnlyMode(const struct stat& st);

// Fault hooks consulted by the file and name operations.
bool FaultForPath(const std::string& hostPath, uint32_t* error);
bool FaultReadOnly(const std::string& hostPath);
bool FaultOnRead(uint32_t* error);
bool FaultOnFlush(uint32_t* error);
// How many of n bytes a write may store; false with *error when none.
bool FaultOnWrite(size_t n, size_t* allowed, uint32_t* error);
void ChargeWrite(size_t n);
// Tells the step hook (test::OnStep) that a rename, delete or write is done.
void NoteStep();
// Writes n bytes to a host descriptor under the write hooks above; false with
// the error set (a full disk after a part was written included).
// Writes at the descriptor's position, or at `offset` (pwrite) when it is not negative.
bool WriteFd(int fd, const void* buffer, size_t n, size_t* done = nullptr, int64_t offset = -1);

// Share table: registers an open of the file identified by dev/ino, or
// returns false when it conflicts with the opens already there.
bool ShareTryAdd(uint64_t dev, uint64_t ino, uint32_t access, uint32_t share);
void ShareRemove(uint64_t dev, uint64_t ino, uint32_t access, uint32_t share);
// True when the file is open without kShareDelete (deleting or renaming it
// is refused).
bool ShareBlocksDelete(uint64_t dev, uint64_t ino);

// Tests: how long a folder must have been unchanged before what a scan of it
// learnt is kept (2 s); also forgets every kept scan.
void SetFolderSettleSecondsForTests(int seconds);

}  // namespace fs::detail
