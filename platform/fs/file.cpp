// Open files with share modes, memory mappings and the fault hooks.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "platform/fs/fs.h"
#include "platform/fs/fs_internal.h"

namespace fs {

namespace {

// ---- share table ----

struct OpenEntry {
    uint32_t access;
    uint32_t share;
};

std::mutex g_shareMutex;
std::map<std::pair<uint64_t, uint64_t>, std::vector<OpenEntry>> g_opens;
size_t g_openCount = 0;

bool Conflicts(const OpenEntry& have, uint32_t access, uint32_t share) {
    // Opens for queries only (no data access) neither block nor are blocked.
    if (access == 0 || have.access == 0) return false;
    if ((access & kGenericRead) && !(have.share & kShareRead)) return true;
    if ((access & kGenericWrite) && !(have.share & kShareWrite)) return true;
    if ((have.access & kGenericRead) && !(share & kShareRead)) return true;
    if ((have.access & kGenericWrite) && !(share & kShareWrite)) return true;
    return false;
}

// ---- fault hooks ----

struct Faults {
    int flushCountdown = 0;
    uint32_t flushError = 0;
    int readCountdown = 0;
    uint32_t readError = 0;
    int writeCountdown = 0;
    uint32_t writeError = 0;
    bool budgetSet = false;
    uint64_t budget = 0;
    std::map<std::string, uint32_t> paths;
    std::set<std::string> readOnly;
};

std::atomic<void (*)()> g_stepHook{nullptr};
std::atomic<void (*)(const std::string&)> g_flushHook{nullptr};

std::mutex g_faultMutex;
Faults g_faults;

std::string ResolveForHook(WStringView devicePath) {
    Resolved r;
    return ResolvePath(devicePath, &r) ? r.host : std::string();
}

bool IsWritableAccess(uint32_t access) {
    return (access & kGenericWrite) != 0;
}

}  // namespace

namespace detail {

bool ShareTryAdd(uint64_t dev, uint64_t ino, uint32_t access, uint32_t share) {
    std::lock_guard<std::mutex> lock(g_shareMutex);
    auto& list = g_opens[{dev, ino}];
    for (const auto& e : list)
        if (Conflicts(e, access, share)) return false;
    list.push_back({access, share});
    ++g_openCount;
    return true;
}

void ShareRemove(uint64_t dev, uint64_t ino, uint32_t access, uint32_t share) {
    std::lock_guard<std::mutex> lock(g_shareMutex);
    auto it = g_opens.find({dev, ino});
    if (it == g_opens.end()) return;
    auto& list = it->second;
    for (auto e = list.begin(); e != list.end(); ++e)
        if (e->access == access && e->share == share) {
            list.erase(e);
            --g_openCount;
            break;
        }
    if (list.empty()) g_opens.erase(it);
}

bool ShareBlocksDelete(uint64_t dev, uint64_t ino) {
    std::lock_guard<std::mutex> lock(g_shareMutex);
    auto it = g_opens.find({dev, ino});
    if (it == g_opens.end()) return false;
    for (const auto& e : it->second)
        if (!(e.share & kShareDelete)) return true;
    return false;
}

bool FaultForPath(const std::string& hostPath, uint32_t* error) {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    auto it = g_faults.paths.find(hostPath);
    if (it == g_faults.paths.end()) return false;
    *error = it->second;
    return true;
}

bool FaultReadOnly(const std::string& hostPath) {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    return g_faults.readOnly.count(hostPath) != 0;
}

bool FaultOnRead(uint32_t* error) {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    if (g_faults.readCountdown > 0 && --g_faults.readCountdown == 0) {
        *error = g_faults.readError;
        return true;
    }
    return false;
}

bool FaultOnFlush(uint32_t* error) {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    if (g_faults.flushCountdown > 0 && --g_faults.flushCountdown == 0) {
        *error = g_faults.flushError;
        return true;
    }
    return false;
}

bool FaultOnWrite(size_t n, size_t* allowed, uint32_t* error) {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    *allowed = n;
    if (g_faults.writeCountdown > 0 && --g_faults.writeCountdown == 0) {
        *error = g_faults.writeError;
        *allowed = 0;
        return false;
    }
    if (g_faults.budgetSet && g_faults.budget < n) {
        *allowed = static_cast<size_t>(g_faults.budget);
        *error = kErrorDiskFull;
        if (*allowed == 0) return false;
    }
    return true;
}

void ChargeWrite(size_t n) {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    if (g_faults.budgetSet) g_faults.budget -= std::min<uint64_t>(g_faults.budget, n);
}

void NoteStep() {
    if (void (*hook)() = g_stepHook.load()) hook();
}

bool IsReadOnlyMode(const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace detail

namespace test {

void Reset() {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    g_faults = Faults{};
}

void FailNthRead(int n, uint32_t error) {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    g_faults.readCountdown = n;
    g_faults.readError = error;
}

void OnStep(void (*hook)()) {
    g_stepHook.store(hook);
}

void OnFlush(void (*hook)(const std::string& hostPath)) {
    g_flushHook.store(hook);
}

void FailNthFlush(int n, uint32_t error) {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    g_faults.flushCountdown = n;
    g_faults.flushError = error;
}

bool ReadFaultPending() {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    return g_faults.readCountdown > 0;
}

bool WriteFaultPending() {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    return g_faults.writeCountdown > 0;
}

void FailNthWrite(int n, uint32_t error) {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    g_faults.writeCountdown = n;
    g_faults.writeError = error;
}

void SetWriteBudget(uint64_t bytes) {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    g_faults.budgetSet = true;
    g_faults.budget = bytes;
}

void FailPath(WStringView devicePath, uint32_t error) {
    std::string host = ResolveForHook(devicePath);
    if (host.empty()) return;
    std::lock_guard<std::mutex> lock(g_faultMutex);
    if (error)
        g_faults.paths[host] = error;
    else
        g_faults.paths.erase(host);
}

void SetReadOnly(WStringView devicePath, bool readOnly) {
    std::string host = ResolveForHook(devicePath);
    if (host.empty()) return;
    std::lock_guard<std::mutex> lock(g_faultMutex);
    if (readOnly)
        g_faults.readOnly.insert(host);
    else
        g_faults.readOnly.erase(host);
}

size_t OpenFileCount() {
    std::lock_guard<std::mutex> lock(g_shareMutex);
    return g_openCount;
}

}  // namespace test

// ---- File ----

File::~File() {
    Close();
}

File::File(File&& other) noexcept {
    *this = std::move(other);
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        access_ = other.access_;
        share_ = other.share_;
        readOnlyOnClose_ = other.readOnlyOnClose_;
        shareKey_[0] = other.shareKey_[0];
        shareKey_[1] = other.shareKey_[1];
        devicePath_ = std::move(other.devicePath_);
        hostPath_ = std::move(other.hostPath_);
        head_ = std::exchange(other.head_, nullptr);
        headMapped_ = std::exchange(other.headMapped_, 0);
        headBytes_ = std::exchange(other.headBytes_, 0);
    }
    return *this;
}

bool File::Open(WStringView devicePath, uint32_t access, uint32_t share, uint32_t disposition,
                uint32_t flagsAndAttributes) {
    Close();
    if (disposition < kCreateNew || disposition > kTruncateExisting)
        return detail::Fail(kErrorInvalidParameter);
    if (disposition == kTruncateExisting && !IsWritableAccess(access))
        return detail::Fail(kErrorInvalidParameter);
    Resolved r;
    if (!ResolvePath(devicePath, &r)) return false;
    if (r.isMountRoot) return detail::Fail(kErrorAccessDenied);
    uint32_t fault;
    if (detail::FaultForPath(r.host, &fault)) return detail::Fail(fault);

    struct stat st;
    bool exists = stat(r.host.c_str(), &st) == 0;
    // Only regular files hold data: a folder, a FIFO (whose open would wait
    // for a writer), a device or a socket is refused.
    if (exists && !S_ISREG(st.st_mode)) return detail::Fail(kErrorAccessDenied);
    if (disposition == kCreateNew && exists) return detail::Fail(kErrorFileExists);
    if ((disposition == kOpenExisting || disposition == kTruncateExisting) && !exists)
        return detail::Fail(kErrorFileNotFound);
    bool truncate = exists && (disposition == kCreateAlways || disposition == kTruncateExisting);
    if (exists && (IsWritableAccess(access) || truncate) &&
        (detail::IsReadOnlyMode(st) || detail::FaultReadOnly(r.host)))
        return detail::Fail(kErrorAccessDenied);

    int flags = O_CLOEXEC;
    if (IsWritableAccess(access) || truncate)
        flags |= (access & kGenericRead) || truncate ? O_RDWR : O_WRONLY;
    else
        flags |= O_RDONLY;
    bool created = false;
    if (!exists && disposition != kOpenExisting && disposition != kTruncateExisting) {
        flags |= O_CREAT | O_EXCL;
        created = true;
    }
    // Without waiting, should the name have become a FIFO since the test above.
    flags |= O_NONBLOCK;
    int fd = ::open(r.host.c_str(), flags, 0666);
    if (fd < 0) {
        int err = errno;
        if (err == EEXIST && disposition != kCreateNew) {
            // Made by someone else between the test and the open: open it.
            fd = ::open(r.host.c_str(), flags & ~(O_CREAT | O_EXCL));
            created = false;
            err = errno;
        }
        if (fd < 0) return detail::FailErrno(err == ENXIO ? EACCES : err);
    }
    struct stat fst;
    if (fstat(fd, &fst) != 0 || !S_ISREG(fst.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return detail::Fail(kErrorAccessDenied);
    }
    if (!detail::ShareTryAdd(fst.st_dev, fst.st_ino, access, share)) {
        ::close(fd);
        if (created) unlink(r.host.c_str());
        return detail::Fail(kErrorSharingViolation);
    }
    if (truncate && ftruncate(fd, 0) != 0) {
        int err = errno;
        detail::ShareRemove(fst.st_dev, fst.st_ino, access, share);
        ::close(fd);
        return detail::FailErrno(err);
    }
    fd_ = fd;
    access_ = access;
    share_ = share;
    readOnlyOnClose_ = created && (flagsAndAttributes & kAttrReadOnly);
    shareKey_[0] = fst.st_dev;
    shareKey_[1] = fst.st_ino;
    devicePath_ = WString(devicePath);
    hostPath_ = r.host;
    SetLastError(exists && (disposition == kCreateAlways || disposition == kOpenAlways)
                     ? kErrorAlreadyExists
                     : kErrorSuccess);
    return true;
}

void File::Release() {
    if (head_) munmap(head_, headMapped_);
    head_ = nullptr;
    headMapped_ = 0;
    headBytes_ = 0;
    fd_ = -1;
    access_ = share_ = 0;
    readOnlyOnClose_ = false;
    shareKey_[0] = shareKey_[1] = 0;
    devicePath_.clear();
    hostPath_.clear();
}

bool File::Close() {
    if (fd_ < 0) return true;
    detail::ShareRemove(shareKey_[0], shareKey_[1], access_, share_);
    if (readOnlyOnClose_) {
        struct stat st;
        if (fstat(fd_, &st) == 0) fchmod(fd_, st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH));
    }
    int rc = ::close(fd_);
    int err = errno;
    Release();
    if (rc != 0 && err != EINTR) return detail::FailErrno(err);
    return true;
}

bool File::Read(void* buffer, size_t n, size_t* done) {
    if (done) *done = 0;
    if (fd_ < 0) return detail::Fail(kErrorInvalidHandle);
    if (!(access_ & kGenericRead)) return detail::Fail(kErrorAccessDenied);
    uint32_t fault;
    if (detail::FaultOnRead(&fault)) return detail::Fail(fault);
    size_t got = 0;
    auto* p = static_cast<char*>(buffer);
    while (got < n) {
        ssize_t k = ::read(fd_, p + got, n - got);
        if (k < 0) {
            if (errno == EINTR) continue;
            if (done) *done = got;
            return detail::Fail(errno == EIO ? kErrorReadFault : ErrorFromErrno(errno));
        }
        if (k == 0) break;
        got += static_cast<size_t>(k);
    }
    if (done) *done = got;
    return true;
}

bool detail::WriteFd(int fd, const void* buffer, size_t n, size_t* done, int64_t offset) {
    if (done) *done = 0;
    size_t allowed;
    uint32_t fault = 0;
    if (!FaultOnWrite(n, &allowed, &fault)) return Fail(fault);
    size_t put = 0;
    auto* p = static_cast<const char*>(buffer);
    while (put < allowed) {
        ssize_t k = offset < 0 ? ::write(fd, p + put, allowed - put)
                               : ::pwrite(fd, p + put, allowed - put,
                                          static_cast<off_t>(offset + static_cast<int64_t>(put)));
        if (k < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ChargeWrite(put);
            if (done) *done = put;
            return Fail(err == EIO ? kErrorWriteFault : ErrorFromErrno(err));
        }
        put += static_cast<size_t>(k);
    }
    ChargeWrite(put);
    if (done) *done = put;
    if (put > 0) NoteStep();
    if (put < n) return Fail(fault ? fault : kErrorDiskFull);
    return true;
}

bool File::Write(const void* buffer, size_t n, size_t* done) {
    if (done) *done = 0;
    if (fd_ < 0) return detail::Fail(kErrorInvalidHandle);
    if (!(access_ & kGenericWrite)) return detail::Fail(kErrorAccessDenied);
    return detail::WriteFd(fd_, buffer, n, done);
}

namespace {
// Words at any address (headers put 8-byte fields at offsets 4 mod 8).
using Unaligned64 = uint64_t __attribute__((aligned(1)));
using Unaligned32 = uint32_t __attribute__((aligned(1)));

// Stores n bytes from the last 8 to the first, each piece with one
// instruction (volatile: neither merged nor reordered by the compiler).
void StoreFromTheEnd(char* dst, const char* src, size_t n) {
    while (n >= 8) {
        n -= 8;
        uint64_t piece;
        memcpy(&piece, src + n, 8);
        *reinterpret_cast<volatile Unaligned64*>(dst + n) = piece;
    }
    if (n >= 4) {
        n -= 4;
        uint32_t piece;
        memcpy(&piece, src + n, 4);
        *reinterpret_cast<volatile Unaligned32*>(dst + n) = piece;
    }
    while (n > 0) {
        --n;
        *reinterpret_cast<volatile char*>(dst + n) = src[n];
    }
}
}  // namespace

bool File::WriteAt(uint64_t offset, const void* buffer, size_t n, size_t* done) {
    if (done) *done = 0;
    if (fd_ < 0) return detail::Fail(kErrorInvalidHandle);
    if (!(access_ & kGenericWrite)) return detail::Fail(kErrorAccessDenied);
    if (head_ && offset <= headBytes_ && n <= headBytes_ - offset) {
        size_t allowed;
        uint32_t fault = 0;
        if (!detail::FaultOnWrite(n, &allowed, &fault)) return detail::Fail(fault);
        StoreFromTheEnd(head_ + offset, static_cast<const char*>(buffer), allowed);
        detail::ChargeWrite(allowed);
        if (done) *done = allowed;
        if (allowed > 0) detail::NoteStep();
        if (allowed < n) return detail::Fail(fault ? fault : kErrorDiskFull);
        return true;
    }
    return detail::WriteFd(fd_, buffer, n, done, static_cast<int64_t>(offset));
}

bool File::MapHead() {
    if (head_) return true;
    if (fd_ < 0 || !(access_ & kGenericWrite) || (share_ & kShareWrite)) return false;
    const uint64_t size = Size();
    if (size == UINT64_MAX || size == 0) return false;
    static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* p = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (p == MAP_FAILED) return false;
    head_ = static_cast<char*>(p);
    headMapped_ = page;
    headBytes_ = std::min<uint64_t>(size, page);
    return true;
}

bool File::Seek(int64_t offset, int origin, uint64_t* position) {
    if (fd_ < 0) return detail::Fail(kErrorInvalidHandle);
    int64_t base;
    switch (origin) {
        case kSeekBegin:
            base = 0;
            break;
        case kSeekCurrent:
            base = lseek(fd_, 0, SEEK_CUR);
            break;
        case kSeekEnd: {
            struct stat st;
            if (fstat(fd_, &st) != 0) return detail::FailErrno(errno);
            base = st.st_size;
            break;
        }
        default:
            return detail::Fail(kErrorInvalidParameter);
    }
    if (base < 0) return detail::FailErrno(errno);
    if ((offset < 0 && base + offset < 0)) return detail::Fail(kErrorNegativeSeek);
    off_t pos = lseek(fd_, static_cast<off_t>(base + offset), SEEK_SET);
    if (pos < 0) return detail::FailErrno(errno);
    if (position) *position = static_cast<uint64_t>(pos);
    return true;
}

uint64_t File::Tell() const {
    if (fd_ < 0) return 0;
    off_t pos = lseek(fd_, 0, SEEK_CUR);
    return pos < 0 ? 0 : static_cast<uint64_t>(pos);
}

uint64_t File::Size() const {
    struct stat st;
    if (fd_ < 0) {
        SetLastError(kErrorInvalidHandle);
        return UINT64_MAX;
    }
    if (fstat(fd_, &st) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return UINT64_MAX;
    }
    return static_cast<uint64_t>(st.st_size);
}

bool File::SetEnd() {
    if (fd_ < 0) return detail::Fail(kErrorInvalidHandle);
    if (!(access_ & kGenericWrite)) return detail::Fail(kErrorAccessDenied);
    off_t pos = lseek(fd_, 0, SEEK_CUR);
    if (pos < 0) return detail::FailErrno(errno);
    // Bytes of the head page past the new end are no longer the file's.
    if (head_ && static_cast<uint64_t>(pos) < headBytes_) headBytes_ = static_cast<uint64_t>(pos);
    if (ftruncate(fd_, pos) != 0) return detail::FailErrno(errno);
    return true;
}

bool File::Flush() {
    if (fd_ < 0) return detail::Fail(kErrorInvalidHandle);
    if (!(access_ & kGenericWrite)) return detail::Fail(kErrorAccessDenied);
    if (void (*hook)(const std::string&) = g_flushHook.load()) hook(hostPath_);
    if (uint32_t fault = 0; detail::FaultOnFlush(&fault)) return detail::Fail(fault);
    if (fdatasync(fd_) != 0 && errno != EINVAL) return detail::FailErrno(errno);
    return true;
}

uint32_t File::GetAttributes() const {
    if (fd_ < 0) {
        SetLastError(kErrorInvalidHandle);
        return kInvalidAttributes;
    }
    struct stat st;
    if (fstat(fd_, &st) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return kInvalidAttributes;
    }
    uint32_t a = 0;
    if (detail::IsReadOnlyMode(st) || detail::FaultReadOnly(hostPath_)) a |= kAttrReadOnly;
    size_t slash = hostPath_.rfind('/');
    if (slash != std::string::npos && hostPath_.compare(slash + 1, 1, ".") == 0) a |= kAttrHidden;
    return a ? a : kAttrNormal;
}

bool File::GetTimes(uint64_t* creation, uint64_t* lastAccess, uint64_t* lastWrite) const {
    if (fd_ < 0) return detail::Fail(kErrorInvalidHandle);
    struct statx sx;
    if (statx(fd_, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return detail::FailErrno(errno);
    auto ft = [](const statx_timestamp& t) { return FileTimeFromUnix(t.tv_sec, t.tv_nsec); };
    if (creation) *creation = (sx.stx_mask & STATX_BTIME) ? ft(sx.stx_btime) : ft(sx.stx_mtime);
    if (lastAccess) *lastAccess = ft(sx.stx_atime);
    if (lastWrite) *lastWrite = ft(sx.stx_mtime);
    return true;
}

bool File::SetLastWriteTime(uint64_t fileTime) {
    if (fd_ < 0) return detail::Fail(kErrorInvalidHandle);
    if (!(access_ & kGenericWrite)) return detail::Fail(kErrorAccessDenied);
    int64_t hundreds = static_cast<int64_t>(fileTime % 10000000);
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = UnixFromFileTime(fileTime);
    times[1].tv_nsec = static_cast<long>(hundreds * 100);
    if (futimens(fd_, times) != 0) return detail::FailErrno(errno);
    return true;
}

// ---- FileMapping ----

FileMapping::~FileMapping() {
    Unmap();
}

bool FileMapping::Map(File& file, bool writable, uint64_t size) {
    Unmap();
    if (!file.IsOpen()) return detail::Fail(kErrorInvalidHandle);
    if (!(file.Access() & kGenericRead)) return detail::Fail(kErrorAccessDenied);
    if (writable && !(file.Access() & kGenericWrite)) return detail::Fail(kErrorAccessDenied);
    uint64_t current = file.Size();
    if (current == UINT64_MAX) return false;
    uint64_t want = size ? size : current;
    if (want == 0) return detail::Fail(kErrorFileInvalid);
    if (want > current) {
        if (!writable) return detail::Fail(kErrorAccessDenied);
        if (ftruncate(file.NativeHandle(), static_cast<off_t>(want)) != 0)
            return detail::FailErrno(errno);
    }
    return MapView(file, writable, 0, want);
}

bool FileMapping::MapView(File& file, bool writable, uint64_t offset, uint64_t length) {
    Unmap();
    if (!file.IsOpen()) return detail::Fail(kErrorInvalidHandle);
    if (!(file.Access() & kGenericRead)) return detail::Fail(kErrorAccessDenied);
    if (writable && !(file.Access() & kGenericWrite)) return detail::Fail(kErrorAccessDenied);
    uint64_t fileSize = file.Size();
    if (fileSize == UINT64_MAX) return false;
    if (length == 0 || offset > fileSize || length > fileSize - offset)
        return detail::Fail(kErrorInvalidParameter);
    static const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    uint64_t start = offset - offset % page;
    uint64_t span = length + (offset - start);
    if (span > SIZE_MAX) return detail::Fail(kErrorNotEnoughMemory);
    void* p = mmap(nullptr, static_cast<size_t>(span), PROT_READ | (writable ? PROT_WRITE : 0),
                   MAP_SHARED, file.NativeHandle(), static_cast<off_t>(start));
    if (p == MAP_FAILED) return detail::FailErrno(errno);
    base_ = p;
    mapped_ = static_cast<size_t>(span);
    data_ = static_cast<char*>(p) + (offset - start);
    size_ = length;
    writable_ = writable;
    return true;
}

bool FileMapping::Flush() {
    if (!data_) return detail::Fail(kErrorInvalidHandle);
    if (uint32_t fault = 0; writable_ && detail::FaultOnFlush(&fault)) return detail::Fail(fault);
    if (writable_ && msync(base_, mapped_, MS_SYNC) != 0) return detail::FailErrno(errno);
    return true;
}

void FileMapping::Unmap() {
    if (base_) munmap(base_, mapped_);
    base_ = nullptr;
    mapped_ = 0;
    data_ = nullptr;
    size_ = 0;
    writable_ = false;
}

// ---- times ----

namespace {
constexpr int64_t kEpochDifference = 11644473600LL;  // seconds from 1601 to 1970
}

uint64_t FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
    int64_t s = seconds + kEpochDifference;
    if (s < 0) return 0;
    return static_cast<uint64_t>(s) * 10000000ULL + nanoseconds / 100;
}

int64_t UnixFromFileTime(uint64_t fileTime) {
    return static_cast<int64_t>(fileTime / 10000000ULL) - kEpochDifference;
}

}  // namespace fs
