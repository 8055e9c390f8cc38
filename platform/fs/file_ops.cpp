// Attributes, delete, rename, copy, folders, whole-file writes, free space.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <string>

#include "platform/fs/fs.h"
#include "platform/fs/fs_internal.h"

namespace fs {

namespace {

std::string ParentOf(const std::string& host) {
    size_t slash = host.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : host.substr(0, slash);
}

std::string BaseOf(const std::string& host) {
    size_t slash = host.rfind('/');
    return slash == std::string::npos ? host : host.substr(slash + 1);
}

bool CheckFault(const std::string& host) {
    uint32_t error;
    if (detail::FaultForPath(host, &error)) return detail::Fail(error);
    return true;
}

bool ReadOnly(const std::string& host, const struct stat& st) {
    return detail::IsReadOnlyMode(st) || detail::FaultReadOnly(host);
}

mode_t DefaultFileMode() {
    static const mode_t mode = [] {
        mode_t mask = 022;
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("Umask:", 0) == 0)
                mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

// Gives a file new content through a temporary file beside it, renamed over
// it at the end: a failure at any point (a full disk, a read error of the
// source) leaves the old file as it was and no temporary file. `fill` writes
// the content to the descriptor; false with the error set.
template <typename Fill>
bool ReplaceHost(const std::string& host, Fill fill) {
    if (!CheckFault(host)) return false;
    // Through a symbolic link (the resolution kept it inside the root) the
    // link stays and its target gets the content.
    std::string linked = host;
    struct stat lst;
    if (lstat(host.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        char* real = realpath(host.c_str(), nullptr);
        if (!real) return detail::FailErrno(errno);
        linked = real;
        free(real);
    }
    const struct { const std::string& host; } r{linked};
    struct stat st;
    bool exists = stat(r.host.c_str(), &st) == 0;
    mode_t mode = DefaultFileMode();
    if (exists) {
        if (!S_ISREG(st.st_mode) || ReadOnly(r.host, st)) return detail::Fail(kErrorAccessDenied);
        // Refused like an unshared open for writing would be.
        if (!detail::ShareTryAdd(st.st_dev, st.st_ino, kGenericWrite, kShareNone))
            return detail::Fail(kErrorSharingViolation);
        detail::ShareRemove(st.st_dev, st.st_ino, kGenericWrite, kShareNone);
        mode = st.st_mode & 07777;
    }
    // A folder marked read-only takes no new file, as a folder without write
    // permission refuses one (even to a root user on this side).
    if (detail::FaultReadOnly(ParentOf(r.host))) return detail::Fail(kErrorAccessDenied);
    std::string temp = ParentOf(r.host) + "/.~" + BaseOf(r.host) + ".XXXXXX";
    if (temp.size() >= 4096) return detail::Fail(kErrorFilenameTooLong);
    int fd = mkstemp(temp.data());
    if (fd < 0) return detail::FailErrno(errno);
    auto fail = [&]() {
        const uint32_t error = GetLastError();
        ::close(fd);
        unlink(temp.c_str());
        return detail::Fail(error);
    };
    if (!fill(fd)) return fail();
    if (fchmod(fd, mode) != 0 || fsync(fd) != 0) {
        detail::FailErrno(errno);
        return fail();
    }
    if (::close(fd) != 0) {
        unlink(temp.c_str());
        return detail::FailErrno(errno);
    }
    if (rename(temp.c_str(), r.host.c_str()) != 0) {
        int err = errno;
        unlink(temp.c_str());
        return detail::FailErrno(err);
    }
    detail::NoteStep();
    int dir = ::open(ParentOf(r.host).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        ::close(dir);
    }
    return true;
}

template <typename Fill>
bool ReplaceWhole(WStringView devicePath, Fill fill) {
    Resolved r;
    if (!ResolvePath(devicePath, &r)) return false;
    if (r.isMountRoot) return detail::Fail(kErrorAccessDenied);
    return ReplaceHost(r.host, fill);
}

}  // namespace

uint32_t detail::HostAttributes(const std::string& hostPath, const WString& name, struct stat* st) {
    struct stat local;
    if (!st) st = &local;
    if (stat(hostPath.c_str(), st) != 0) {
        SetLastError(errno == ENOTDIR ? kErrorPathNotFound : ErrorFromErrno(errno));
        return kInvalidAttributes;
    }
    uint32_t a = 0;
    if (S_ISDIR(st->st_mode)) a |= kAttrDirectory;
    if (ReadOnly(hostPath, *st)) a |= kAttrReadOnly;
    if (!name.empty() && name[0] == u'.') a |= kAttrHidden;
    return a ? a : kAttrNormal;
}

uint32_t GetFileAttributes(WStringView devicePath) {
    Resolved r;
    if (!ResolvePath(devicePath, &r)) return kInvalidAttributes;
    if (!r.exists) {
        SetLastError(kErrorFileNotFound);
        return kInvalidAttributes;
    }
    uint32_t a = detail::HostAttributes(r.host, text::FromUtf8(BaseOf(r.host)), nullptr);
    if (a != kInvalidAttributes && r.isMountRoot) a = (a & ~kAttrHidden) | kAttrTemporary;
    return a;
}

bool SetFileAttributes(WStringView devicePath, uint32_t attributes) {
    Resolved r;
    if (!ResolvePath(devicePath, &r)) return false;
    if (!r.exists) return detail::Fail(kErrorFileNotFound);
    if (!CheckFault(r.host)) return false;
    struct stat st;
    if (stat(r.host.c_str(), &st) != 0) return detail::FailErrno(errno);
    if (S_ISDIR(st.st_mode)) return true;
    mode_t mode = st.st_mode & 07777;
    if (attributes & kAttrReadOnly)
        mode &= ~(S_IWUSR | S_IWGRP | S_IWOTH);
    else if (detail::IsReadOnlyMode(st))
        mode |= S_IWUSR | (DefaultFileMode() & (S_IWGRP | S_IWOTH));
    if (chmod(r.host.c_str(), mode) != 0) return detail::FailErrno(errno);
    return true;
}

bool Exists(WStringView devicePath) {
    return GetFileAttributes(devicePath) != kInvalidAttributes;
}

bool DeleteFile(WStringView devicePath) {
    Resolved r;
    if (!ResolvePath(devicePath, &r)) return false;
    if (!r.exists) return detail::Fail(kErrorFileNotFound);
    if (!CheckFault(r.host)) return false;
    struct stat st;
    if (lstat(r.host.c_str(), &st) != 0) return detail::FailErrno(errno);
    if (S_ISDIR(st.st_mode) || r.isMountRoot) return detail::Fail(kErrorAccessDenied);
    struct stat target;
    if (stat(r.host.c_str(), &target) == 0) {
        if (ReadOnly(r.host, target)) return detail::Fail(kErrorAccessDenied);
        if (detail::ShareBlocksDelete(target.st_dev, target.st_ino))
            return detail::Fail(kErrorSharingViolation);
    }
    if (unlink(r.host.c_str()) != 0) return detail::FailErrno(errno);
    detail::NoteStep();
    return true;
}

bool MoveFile(WStringView from, WStringView to, bool replace) {
    Resolved src, dst;
    if (!ResolvePath(from, &src)) return false;
    if (!src.exists) return detail::Fail(kErrorFileNotFound);
    if (src.isMountRoot) return detail::Fail(kErrorAccessDenied);
    if (!ResolvePath(to, &dst)) return false;
    if (dst.isMountRoot) return detail::Fail(kErrorAccessDenied);
    if (!CheckFault(src.host) || !CheckFault(dst.host)) return false;
    struct stat sst;
    if (lstat(src.host.c_str(), &sst) != 0) return detail::FailErrno(errno);
    if (detail::ShareBlocksDelete(sst.st_dev, sst.st_ino))
        return detail::Fail(kErrorSharingViolation);
    std::string target = dst.host;
    if (dst.exists) {
        struct stat dst_st;
        if (lstat(dst.host.c_str(), &dst_st) != 0) return detail::FailErrno(errno);
        if (dst_st.st_dev == sst.st_dev && dst_st.st_ino == sst.st_ino) {
            // The same file: only the letter case of its name changes.
            detail::Split split;
            if (!detail::ResolveParent(to, false, &split)) return false;
            target = ParentOf(dst.host) + "/" + text::ToUtf8(split.lastName);
            if (target == src.host) return true;
        } else {
            if (!replace) return detail::Fail(kErrorAlreadyExists);
            if (S_ISDIR(dst_st.st_mode)) return detail::Fail(kErrorAccessDenied);
            struct stat tst;
            if (stat(dst.host.c_str(), &tst) == 0) {
                if (ReadOnly(dst.host, tst)) return detail::Fail(kErrorAccessDenied);
                if (detail::ShareBlocksDelete(tst.st_dev, tst.st_ino))
                    return detail::Fail(kErrorSharingViolation);
            }
        }
    }
    if (rename(src.host.c_str(), target.c_str()) == 0) {
        detail::NoteStep();
        return true;
    }
    if (errno != EXDEV || S_ISDIR(sst.st_mode)) return detail::FailErrno(errno);
    // Another volume (a mount): copy, then remove the original.
    if (!CopyFile(from, to, !replace)) return false;
    if (unlink(src.host.c_str()) != 0) return detail::FailErrno(errno);
    return true;
}

WString ExistingName(WStringView devicePath) {
    const std::string host = HostPath(devicePath);
    if (host.empty()) return WString(devicePath);
    const WString device = DevicePathFromHost(host);
    return device.empty() ? WString(devicePath) : device;
}

namespace {

// Makes the names in a folder (renames, deletes) durable.
void SyncFolderOf(WStringView devicePath) {
    Resolved r;
    if (!ResolvePath(devicePath, &r)) return;
    int dir = ::open(ParentOf(r.host).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        ::close(dir);
    }
}

constexpr char kJournalHeader[] = "rename set 1\n";

// Journals of the sets this process has under way. Their files are being
// replaced right now (and reopened by the code replacing them), so there
// is nothing to recover: an open that settles journals leaves them alone.
std::mutex g_liveMutex;
std::set<std::string>& LiveJournals() {
    static std::set<std::string> live;
    return live;
}

std::string JournalKey(WStringView journal) {
    Resolved r;
    return ResolvePath(journal, &r) ? r.host : std::string();
}

void SetJournalLive(const std::string& key, bool live) {
    if (key.empty()) return;
    std::lock_guard<std::mutex> lock(g_liveMutex);
    if (live)
        LiveJournals().insert(key);
    else
        LiveJournals().erase(key);
}

bool IsJournalLive(WStringView journal) {
    const std::string key = JournalKey(journal);
    std::lock_guard<std::mutex> lock(g_liveMutex);
    return !key.empty() && LiveJournals().count(key) != 0;
}

bool ParseJournal(const std::string& bytes, std::vector<RenameStep>* steps, bool* committing) {
    if (bytes.rfind(kJournalHeader, 0) != 0) return false;
    *committing = false;
    size_t at = sizeof kJournalHeader - 1;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos) return false;
        const std::string line = bytes.substr(at, end - at);
        at = end + 1;
        if (line == "commit") {
            *committing = true;
            continue;
        }
        // "move" or "aside", a tab, the old name, a tab, the new name.
        size_t tab1 = line.find('\t');
        size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos) return false;
        const std::string kind = line.substr(0, tab1);
        if (kind != "move" && kind != "aside") return false;
        steps->push_back({text::FromUtf8(line.substr(tab1 + 1, tab2 - tab1 - 1)),
                          text::FromUtf8(line.substr(tab2 + 1)), kind == "aside"});
    }
    return true;
}

}  // namespace

bool RenameSet::WriteJournal(const std::vector<RenameStep>& steps, bool committing) {
    std::string bytes = kJournalHeader;
    for (const RenameStep& step : steps)
        bytes += (step.aside ? "aside\t" : "move\t") + text::ToUtf8(step.from) + "\t" +
                 text::ToUtf8(step.to) + "\n";
    if (committing) bytes += "commit\n";
    if (!WriteWholeFile(journal_, bytes.data(), bytes.size())) return false;
    if (journalKey_.empty()) {
        journalKey_ = JournalKey(journal_);
        SetJournalLive(journalKey_, true);
    }
    return true;
}

void RenameSet::EndJournal() {
    SetJournalLive(journalKey_, false);
    journalKey_.clear();
}

// `from` is the name the file has on the disk (ExistingName), so that the
// undo gives it back exactly, letter case included.
bool RenameSet::Record(WString from, WStringView to, bool replace, bool aside) {
    if (!journal_.empty()) {
        // The journal names the step before it happens: a step it names
        // that did not happen is recognised by the files and left alone.
        std::vector<RenameStep> planned = steps_;
        planned.push_back({from, WString(to), aside});
        if (!WriteJournal(planned, false)) {
            Rollback();
            return false;
        }
    }
    if (!MoveFile(from, to, replace)) {
        Rollback();
        return false;
    }
    steps_.push_back({std::move(from), WString(to), aside});
    if (!journal_.empty()) SyncFolderOf(steps_.back().to);
    return true;
}

bool RenameSet::Move(WStringView from, WStringView to, bool replace) {
    return Record(ExistingName(from), to, replace, false);
}

bool RenameSet::SetAside(WStringView path, WStringView aside) {
    if (!Exists(path)) return true;
    WString name = ExistingName(path);
    WString to = aside.empty() ? name + u"~old" : WString(aside);
    return Record(std::move(name), to, true, true);
}

bool RenameSet::Replace(WStringView from, WStringView to, WStringView aside) {
    const WString name = ExistingName(to);
    return SetAside(name, aside) && Record(ExistingName(from), name, false, false);
}

bool RenameSet::Commit() {
    bool ok = true;
    // From here on an interrupted set is finished, not undone. Without the
    // mark the set stays pending: the files set aside are what an undo needs.
    if (!journal_.empty() && !steps_.empty() && !WriteJournal(steps_, true)) return false;
    for (const RenameStep& step : steps_)
        if (step.aside && !DeleteFile(step.to)) ok = false;
    if (!journal_.empty() && !steps_.empty()) {
        SyncFolderOf(steps_.back().to);
        if (ok) {
            DeleteFile(journal_);
            SyncFolderOf(journal_);
        }
    }
    steps_.clear();
    EndJournal();
    return ok;
}

bool RenameSet::Rollback() {
    const uint32_t error = GetLastError();
    bool ok = true;
    for (auto it = steps_.rbegin(); it != steps_.rend(); ++it)
        if (!MoveFile(it->to, it->from, true)) ok = false;
    if (!journal_.empty()) {
        if (!steps_.empty()) SyncFolderOf(steps_.back().to);
        // A set not undone in full is undone from its journal next time.
        if (ok && Exists(journal_)) {
            DeleteFile(journal_);
            SyncFolderOf(journal_);
        }
    }
    steps_.clear();
    EndJournal();
    SetLastError(error);
    return ok;
}

bool RecoverRenames(WStringView journal) {
    if (!Exists(journal) || IsJournalLive(journal)) return true;
    std::string bytes;
    if (!ReadWholeFile(journal, &bytes)) return false;
    std::vector<RenameStep> steps;
    bool committing = false;
    if (!ParseJournal(bytes, &steps, &committing)) return detail::Fail(kErrorFileInvalid);
    bool ok = true;
    if (committing) {
        for (const RenameStep& step : steps)
            if (step.aside && Exists(step.to) && !DeleteFile(step.to)) ok = false;
    } else {
        // Last step first. A file set aside is back as soon as its aside
        // name exists; a move happened when only its new name exists.
        for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
            if (!Exists(it->to)) continue;
            if (!it->aside && Exists(it->from)) continue;
            if (!MoveFile(it->to, it->from, it->aside)) ok = false;
        }
    }
    if (!steps.empty()) SyncFolderOf(steps.back().to);
    if (!ok) return false;
    if (!DeleteFile(journal)) return false;
    SyncFolderOf(journal);
    return true;
}

bool ReplaceFiles(const std::vector<std::pair<WString, WString>>& moves) {
    RenameSet renames;
    for (const auto& [from, to] : moves)
        if (!renames.Replace(from, to)) return false;
    renames.Commit();
    return true;
}

bool CopyFile(WStringView from, WStringView to, bool failIfExists) {
    File in;
    if (!in.Open(from, kGenericRead, kShareRead, kOpenExisting)) return false;
    Resolved dst;
    if (!ResolvePath(to, &dst)) return false;
    if (dst.exists && failIfExists) return detail::Fail(kErrorFileExists);
    if (dst.exists && dst.host == in.HostPath()) return detail::Fail(kErrorSharingViolation);
    // A copy that fails halfway must not cost the file it was to replace.
    return ReplaceWhole(to, [&](int out) {
        int src = ::open(in.HostPath().c_str(), O_RDONLY | O_CLOEXEC);
        if (src < 0) return detail::FailErrno(errno);
        char buf[65536];
        bool ok = true;
        for (;;) {
            ssize_t k = ::read(src, buf, sizeof buf);
            if (k < 0 && errno == EINTR) continue;
            if (k < 0) {
                ok = detail::Fail(kErrorReadFault);
                break;
            }
            if (k == 0) break;
            if (!detail::WriteFd(out, buf, static_cast<size_t>(k))) {
                ok = false;
                break;
            }
        }
        // The copy keeps the source's time of last writing.
        struct stat st;
        if (ok && fstat(src, &st) == 0) {
            const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
            futimens(out, times);
        }
        ::close(src);
        return ok;
    });
}

bool CreateDirectory(WStringView devicePath) {
    Resolved r;
    if (!ResolvePath(devicePath, &r)) return false;
    if (r.exists || r.isMountRoot) return detail::Fail(kErrorAlreadyExists);
    if (!CheckFault(r.host)) return false;
    if (mkdir(r.host.c_str(), 0777) != 0) return detail::FailErrno(errno);
    return true;
}

bool RemoveDirectory(WStringView devicePath) {
    Resolved r;
    if (!ResolvePath(devicePath, &r)) return false;
    if (!r.exists) return detail::Fail(kErrorFileNotFound);
    if (r.isMountRoot || r.host == GetDeviceRoot()) return detail::Fail(kErrorAccessDenied);
    if (!CheckFault(r.host)) return false;
    struct stat st;
    if (lstat(r.host.c_str(), &st) != 0) return detail::FailErrno(errno);
    if (!S_ISDIR(st.st_mode)) return detail::Fail(kErrorDirectory);
    if (rmdir(r.host.c_str()) != 0) return detail::FailErrno(errno);
    return true;
}

bool WriteWholeFile(WStringView devicePath, const void* data, size_t n) {
    return ReplaceWhole(devicePath, [&](int fd) { return detail::WriteFd(fd, data, n); });
}

bool WriteWholeHostFile(const std::string& hostPath, const void* data, size_t n) {
    return ReplaceHost(hostPath, [&](int fd) { return detail::WriteFd(fd, data, n); });
}

bool ReadWholeHostFile(const std::string& hostPath, std::string* bytes) {
    bytes->clear();
    // Regular files only: a FIFO would wait for a writer, a folder has no bytes.
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return detail::FailErrno(errno);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return detail::Fail(kErrorAccessDenied);
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        if (uint32_t fault = 0; detail::FaultOnRead(&fault)) {
            ok = detail::Fail(fault);
            break;
        }
        const ssize_t k = ::read(fd, buffer, sizeof buffer);
        if (k < 0 && errno == EINTR) continue;
        if (k < 0) {
            ok = detail::FailErrno(errno);
            break;
        }
        if (k == 0) break;
        bytes->append(buffer, static_cast<size_t>(k));
    }
    ::close(fd);
    return ok;
}

bool ReadWholeFile(WStringView devicePath, std::string* bytes) {
    bytes->clear();
    File f;
    if (!f.Open(devicePath, kGenericRead, kShareRead, kOpenExisting)) return false;
    uint64_t size = f.Size();
    if (size == UINT64_MAX) return false;
    if (size > bytes->max_size()) return detail::Fail(kErrorNotEnoughMemory);
    bytes->resize(static_cast<size_t>(size));
    size_t got = 0;
    if (!f.Read(bytes->data(), bytes->size(), &got)) {
        bytes->clear();
        return false;
    }
    bytes->resize(got);
    return true;
}

bool GetDiskFreeSpace(WStringView devicePath, uint64_t* freeToCaller, uint64_t* totalBytes,
                      uint64_t* totalFree) {
    Resolved r;
    if (!ResolvePath(devicePath, &r)) return false;
    std::string host = r.exists ? r.host : ParentOf(r.host);
    struct statvfs vfs;
    if (statvfs(host.c_str(), &vfs) != 0) return detail::FailErrno(errno);
    uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    if (freeToCaller) *freeToCaller = static_cast<uint64_t>(vfs.f_bavail) * unit;
    if (totalBytes) *totalBytes = static_cast<uint64_t>(vfs.f_blocks) * unit;
    if (totalFree) *totalFree = static_cast<uint64_t>(vfs.f_bfree) * unit;
    return true;
}

}  // namespace fs
