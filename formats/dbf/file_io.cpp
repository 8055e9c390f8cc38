#include "formats/dbf/file_io.h"

#include <sys/sysinfo.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "platform/fs/fs.h"

struct FioFile {
    fs::File file;
    fs::FileMapping mapping;
    WString path;
    uint32_t access = 0;
    uint32_t share = 0;
    uint32_t attributes = 0;
    uint32_t fioFlags = 0;
    // The file pointer callers see, and where the descriptor's pointer
    // really is (-1: unknown). Seeks only move `pos`; the descriptor follows
    // at the next transfer, so seeking back after a read costs nothing.
    int64_t pos = 0;
    int64_t phys = 0;
    // Read-ahead for small reads that follow one another (rows read one at
    // a time): a block of the file from aheadAt, valid while no write has
    // gone to any file of the process since it was read (aheadGeneration).
    std::vector<uint8_t> ahead;
    int64_t aheadAt = -1;
    uint64_t aheadGeneration = 0;
    int64_t lastReadEnd = -1;
    // Positioned writes into the first page (headers); the second one keeps
    // that page mapped, so headers rewritten after every append cost no
    // system call.
    int headWrites = 0;
};

namespace {

std::atomic<FioRetryHandler> g_retry{nullptr};
// Bumped by every write, truncation, reopen and writable mapping through any
// handle: a read-ahead block filled before then may be stale. Writable views
// alive in the process stop read-ahead altogether.
std::atomic<uint64_t> g_writeGeneration{1};
std::atomic<int> g_writableViews{0};
constexpr uint32_t kAheadBlock = 64 * 1024;
constexpr uint32_t kAheadMaxRead = 4096;

void Written() {
    ++g_writeGeneration;
}
std::atomic<FioNotifyHandler> g_notify{nullptr};

WString MemoryText(size_t bytes) {
    struct sysinfo si {};
    unsigned load = 0, phys = 0, virt = 0;
    if (sysinfo(&si) == 0 && si.totalram > 0) {
        const unsigned long long unit = si.mem_unit ? si.mem_unit : 1;
        load = static_cast<unsigned>(100 - (si.freeram * 100) / si.totalram);
        phys = static_cast<unsigned>(si.freeram * unit);
        virt = static_cast<unsigned>((si.freeram + si.freeswap) * unit);
    }
    // The text (and its spelling) is the one users of the device know.
    return text::Format(u"fioAlloc(%u)\n%%%u Load\nAvaialable Phys=%08X\nAvailable Virt=%08X",
                        static_cast<unsigned>(bytes), load, phys, virt);
}

FioFile* OpenImpl(WStringView path, uint32_t access, uint32_t share, uint32_t disposition,
                  uint32_t attributes, uint32_t fioFlags) {
    fs::File f;
    if (!f.Open(path, access, share, disposition, attributes)) return nullptr;
    void* mem = fioAlloc(sizeof(FioFile));
    if (!mem) {
        // Cancelled at the retry prompt: the open file must not leak.
        f.Close();
        fs::SetLastError(fs::kErrorNotEnoughMemory);
        return nullptr;
    }
    auto* rec = new (mem) FioFile;
    rec->file = std::move(f);
    rec->path.assign(path);
    rec->access = access;
    rec->share = share;
    rec->attributes = attributes;
    rec->fioFlags = fioFlags;
    return rec;
}

}  // namespace

zn::EngineHeap& fioHeap() {
    static zn::EngineHeap heap("fio");
    return heap;
}
void fioInitHeap() {
    fioHeap();
}
int fioDestroyHeap() {
    return 0;
}

void* fioAlloc(size_t bytes) {
    for (;;) {
        if (void* p = fioHeap().Alloc(bytes)) return p;
        FioRetryHandler ask = g_retry;
        if (!ask) return nullptr;
        const WString msg = MemoryText(bytes);
        if (!ask(msg.c_str(), u"FileIO Memory Allocation")) return nullptr;
    }
}

void fioFree(void* block) {
    fioHeap().Free(block);
}

void fioSetRetryHandler(FioRetryHandler handler) {
    g_retry = handler;
}
void fioSetNotifyHandler(FioNotifyHandler handler) {
    g_notify = handler;
}
void fioResetForTests() {
    g_retry = nullptr;
    g_notify = nullptr;
    fioHeap().ResetFaults();
}

FioFile* fioOpen(const WChar* path, uint32_t access, uint32_t share, uint32_t disposition,
                 uint32_t attributes, uint32_t fioFlags) {
    if (!path) {
        fs::SetLastError(fs::kErrorInvalidParameter);
        return nullptr;
    }
    return OpenImpl(path, access, share, disposition, attributes, fioFlags);
}

FioFile* fioOpen(const char* utf8Path, uint32_t access, uint32_t share, uint32_t disposition,
                 uint32_t attributes, uint32_t fioFlags) {
    if (!utf8Path) {
        fs::SetLastError(fs::kErrorInvalidParameter);
        return nullptr;
    }
    return OpenImpl(text::FromUtf8(utf8Path), access, share, disposition, attributes, fioFlags);
}

void fioClose(FioFile* file) {
    if (!file) return;
    fioUnmap(file);
    file->file.Close();
    file->~FioFile();
    fioFree(file);
}

namespace {
bool Sync(FioFile* file) {
    if (file->phys == file->pos) return true;
    uint64_t now = 0;
    if (!file->file.Seek(file->pos, fs::kSeekBegin, &now)) {
        file->phys = -1;
        return false;
    }
    file->phys = static_cast<int64_t>(now);
    return true;
}
}  // namespace

uint32_t fioRead(FioFile* file, void* buffer, uint32_t bytes) {
    if (bytes > 0 && bytes <= kAheadMaxRead && !file->mapping.Data() && g_writableViews == 0) {
        const uint64_t generation = g_writeGeneration;
        if (file->aheadAt >= 0 && file->aheadGeneration == generation && file->pos >= file->aheadAt &&
            file->pos + bytes <= file->aheadAt + static_cast<int64_t>(file->ahead.size())) {
            memcpy(buffer, file->ahead.data() + (file->pos - file->aheadAt), bytes);
            file->pos += bytes;
            file->lastReadEnd = file->pos;
            return bytes;
        }
        if (file->pos == file->lastReadEnd) {
            // The second read in a row that starts where the last one ended.
            if (!Sync(file)) return 0;
            file->ahead.resize(kAheadBlock);
            size_t got = 0;
            if (!file->file.Read(file->ahead.data(), kAheadBlock, &got)) {
                file->phys = -1;
                file->ahead.clear();
                file->aheadAt = -1;
                return 0;
            }
            file->ahead.resize(got);
            file->aheadAt = file->pos;
            file->aheadGeneration = generation;
            file->phys = file->pos + static_cast<int64_t>(got);
            const uint32_t n = static_cast<uint32_t>(std::min<size_t>(got, bytes));
            memcpy(buffer, file->ahead.data(), n);
            file->pos += n;
            file->lastReadEnd = file->pos;
            return n;
        }
    }
    if (!Sync(file)) return 0;
    size_t got = 0;
    if (!file->file.Read(buffer, bytes, &got)) {
        file->phys = -1;
        return 0;
    }
    file->pos += static_cast<int64_t>(got);
    file->phys = file->pos;
    file->lastReadEnd = file->pos;
    return static_cast<uint32_t>(got);
}

uint32_t fioWrite(FioFile* file, const void* buffer, uint32_t bytes) {
    Written();
    if (!Sync(file)) return 0;
    size_t put = 0;
    const bool ok = file->file.Write(buffer, bytes, &put);
    if (put > bytes) put = 0;
    file->pos += static_cast<int64_t>(put);
    file->phys = ok ? file->pos : -1;
    return static_cast<uint32_t>(put);
}

uint32_t fioWriteAt(FioFile* file, int64_t offset, const void* buffer, uint32_t bytes) {
    Written();
    if (offset < 0) {
        fs::SetLastError(fs::kErrorInvalidParameter);
        return 0;
    }
    constexpr int64_t kHeadPage = 4096;
    if (offset + static_cast<int64_t>(bytes) <= kHeadPage && file->headWrites < 2 &&
        ++file->headWrites == 2)
        file->file.MapHead();
    size_t put = 0;
    file->file.WriteAt(static_cast<uint64_t>(offset), buffer, bytes, &put);
    if (put > bytes) put = 0;
    file->pos = offset + static_cast<int64_t>(put);
    return static_cast<uint32_t>(put);
}

int64_t fioSeek(FioFile* file, int64_t offset, int origin) {
    int64_t base = 0;
    if (origin == 1) {
        base = file->pos;
    } else if (origin == 2) {
        base = fioGetSize(file);
        if (base < 0) return -1;
    } else if (origin != 0) {
        fs::SetLastError(fs::kErrorInvalidParameter);
        return -1;
    }
    const int64_t target = base + offset;
    if (target < 0) {
        fs::SetLastError(fs::kErrorInvalidParameter);
        return -1;
    }
    file->pos = target;
    return target;
}

int64_t fioTell(FioFile* file) {
    return file->pos;
}

int fioTruncate(FioFile* file) {
    if (file->mapping.Data()) {
        // Shrinking under a live view would fault its readers.
        fs::SetLastError(fs::kErrorSharingViolation);
        return 0;
    }
    Written();
    if (!Sync(file)) return 0;
    return file->file.SetEnd() ? 1 : 0;
}

int fioFlush(FioFile* file) {
    if (!(file->access & kFioWrite)) return 1;
    bool ok = !file->mapping.Data() || file->mapping.Flush();
    const uint32_t error = fs::GetLastError();
    ok = file->file.Flush() && ok;
    if (!ok && !fs::GetLastError()) fs::SetLastError(error);
    return ok ? 1 : 0;
}

void* fioMap(FioFile* file) {
    if (file->mapping.Data()) return file->mapping.Data();
    const bool writable = (file->access & kFioWrite) != 0;
    if (!file->mapping.Map(file->file, writable)) {
        file->mapping.Unmap();
        return nullptr;
    }
    if (writable) {
        ++g_writableViews;
        Written();
    }
    return file->mapping.Data();
}

void fioUnmap(FioFile* file) {
    if (file->mapping.Data() && file->mapping.IsWritable()) {
        --g_writableViews;
        Written();
    }
    file->mapping.Unmap();
}

int fioIsAtEnd(FioFile* file) {
    const uint64_t size = file->file.Size();
    return size != UINT64_MAX && static_cast<uint64_t>(fioTell(file)) == size ? 1 : 0;
}

uint32_t fioGetAttributes(FioFile* file) {
    return file->file.GetAttributes();
}

int fioSetMode(FioFile* file, uint32_t access, uint32_t share) {
    if (access == file->access && share == file->share) return 1;
    if (file->mapping.Data()) {
        // A view made under the old mode would outlive the descriptor.
        fs::SetLastError(fs::kErrorSharingViolation);
        return 0;
    }
    // Open the new descriptor before giving up the old one, so a failure
    // leaves the file open in its old mode.
    fs::File next;
    bool ok = next.Open(file->path, access, share, fs::kOpenExisting, file->attributes);
    if (!ok && fs::GetLastError() == fs::kErrorSharingViolation) {
        // Possibly our own old open conflicting: retry the device's way.
        file->file.Close();
        file->headWrites = 0;
        ok = next.Open(file->path, access, share, fs::kOpenExisting, file->attributes);
        if (!ok) {
            const uint32_t err = fs::GetLastError();
            if (!file->file.Open(file->path, file->access, file->share, fs::kOpenExisting,
                                 file->attributes)) {
                if (FioNotifyHandler tell = g_notify)
                    tell(u"Fatal error, file no longer open", u"fioSetMode");
            }
            file->pos = 0;
            file->phys = 0;
            fs::SetLastError(err);
            return 0;
        }
    }
    if (!ok) return 0;
    Written();
    file->file = std::move(next);
    file->access = access;
    file->share = share;
    file->pos = 0;
    file->phys = 0;
    file->headWrites = 0;
    return 1;
}

int fioReplace(FioFile* file, const WChar* target, uint32_t share) {
    if (!file || !target) {
        fs::SetLastError(fs::kErrorInvalidParameter);
        return 0;
    }
    if (!fs::MoveFile(file->path, target, true)) return 0;
    file->path.assign(target);
    // Reopen under the new name, which also gives up the delete sharing.
    const uint32_t access = file->access;
    file->share = share | kFioShareDelete;
    return fioSetMode(file, access, share);
}

uint32_t fioGetAccess(const FioFile* file) {
    return file->access;
}
uint32_t fioGetShare(const FioFile* file) {
    return file->share;
}
void* fioGetView(const FioFile* file) {
    return file->mapping.Data();
}
uint64_t fioGetViewLength(const FioFile* file) {
    return file->mapping.Data() ? file->mapping.Size() : 0;
}
const WChar* fioGetPath(const FioFile* file) {
    return file->path.c_str();
}
int64_t fioGetSize(FioFile* file) {
    const uint64_t size = file->file.Size();
    return size == UINT64_MAX ? -1 : static_cast<int64_t>(size);
}
uint32_t fioGetLastError() {
    return fs::GetLastError();
}
