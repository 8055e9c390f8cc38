// Device root, mounts and the mapping of device paths to host paths.
#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/fs/fs.h"
#include "platform/fs/fs_internal.h"

namespace fs {

namespace {

thread_local uint32_t t_lastError = 0;

struct Mount {
    std::vector<WString> names;  // device folder components
    std::string host;
};

struct Config {
    std::string root = "/";
    std::vector<Mount> mounts;
};

std::mutex g_configMutex;
std::shared_ptr<const Config> g_config;
bool g_rootOverridden = false;
std::string g_rootOverride;

// Lexically normalised absolute host path without a trailing '/'.
std::string NormalizeHost(std::string_view path) {
    std::string abs;
    if (path.empty() || path[0] != '/') {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd)) abs = cwd;
        abs += '/';
    }
    abs.append(path);
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < abs.size()) {
        size_t j = abs.find('/', i);
        if (j == std::string::npos) j = abs.size();
        std::string part = abs.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        i = j + 1;
    }
    std::string out;
    for (const auto& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

bool IsBadNameChar(WChar c, bool allowWildcards) {
    if (c < 0x20) return true;
    switch (c) {
        case u':':
        case u'"':
        case u'<':
        case u'>':
        case u'|':
            return true;
        case u'*':
        case u'?':
            return !allowWildcards;
        default:
            return false;
    }
}

bool HasWildcard(WStringView s) {
    return s.find_first_of(u"*?") != WStringView::npos;
}

// Splits a device path into names: separators collapse, "." goes, ".."
// clamps at the root, trailing dots and blanks are dropped. The last name
// keeps its wildcards (and its trailing dots) when keepWildcards is set.
bool SplitDevicePath(WStringView path, bool keepWildcards, std::vector<WString>* out) {
    out->clear();
    if (path.size() >= 2 && path[1] == u':') return detail::Fail(kErrorPathNotFound);
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = i;
        while (j < path.size() && path[j] != u'\\' && path[j] != u'/') ++j;
        WString name(path.substr(i, j - i));
        bool last = j >= path.size();
        i = j + 1;
        if (name.empty() || name == u".") continue;
        if (name == u"..") {
            if (!out->empty()) out->pop_back();
            continue;
        }
        bool wild = last && keepWildcards && HasWildcard(name);
        if (!wild) {
            while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
            if (name.empty()) continue;
        }
        for (WChar c : name)
            if (IsBadNameChar(c, wild)) return detail::Fail(kErrorInvalidName);
        if (name.size() > kMaxPath) return detail::Fail(kErrorFilenameTooLong);
        out->push_back(std::move(name));
    }
    return true;
}

std::shared_ptr<const Config> LoadConfig() {
    auto cfg = std::make_shared<Config>();
#ifdef ZN_FS_NO_ENVIRONMENT
    // The desktop support library sees the host as it is: the program's
    // device root and mounts are not its business.
    const char* root = nullptr;
    const char* mounts = nullptr;
#else
    const char* root = std::getenv("ZARNIP_ROOT");
    const char* mounts = std::getenv("ZARNIP_MOUNTS");
#endif
    if (g_rootOverridden)
        cfg->root = NormalizeHost(g_rootOverride);
    else if (root && *root)
        cfg->root = NormalizeHost(root);
    if (mounts) {
        std::string all = mounts;
        size_t i = 0;
        while (i < all.size()) {
            size_t j = all.find_first_of(";\n", i);
            if (j == std::string::npos) j = all.size();
            std::string item = all.substr(i, j - i);
            i = j + 1;
            size_t eq = item.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 >= item.size()) continue;
            Mount m;
            if (!SplitDevicePath(text::FromUtf8(item.substr(0, eq)), false, &m.names) ||
                m.names.empty())
                continue;
            m.host = NormalizeHost(item.substr(eq + 1));
            cfg->mounts.push_back(std::move(m));
        }
    }
    return cfg;
}

std::shared_ptr<const Config> GetConfig() {
    std::lock_guard<std::mutex> lock(g_configMutex);
    if (!g_config) g_config = LoadConfig();
    return g_config;
}

template <typename F>
void EditConfig(F edit) {
    std::lock_guard<std::mutex> lock(g_configMutex);
    if (!g_config) g_config = LoadConfig();
    auto copy = std::make_shared<Config>(*g_config);
    edit(*copy);
    g_config = std::move(copy);
}

// The longest mount whose names start `names` (only the first `count` names
// are considered); null when none.
const Mount* MatchMount(const Config& cfg, const std::vector<WString>& names, size_t count) {
    const Mount* best = nullptr;
    for (const auto& m : cfg.mounts) {
        if (m.names.size() > count) continue;
        if (best && best->names.size() >= m.names.size()) continue;
        bool same = true;
        for (size_t k = 0; k < m.names.size() && same; ++k)
            same = text::EqualsNoCase(m.names[k], names[k]);
        if (same) best = &m;
    }
    return best;
}

// What a scan of a host folder learnt: for each name folded to lower case,
// its first case-insensitive match in byte order. It is kept while the
// folder's status change time stays as it was (any entry made, renamed or
// removed changes it, and no program can set it back); a folder changed less
// than two seconds before the scan is not kept, as the file system's clock
// may be too coarse to show a change made just after.
std::atomic<int> g_settleSeconds{2};
struct Listing {
    timespec changed{};
    std::unordered_map<WString, std::string> names;
};
std::mutex g_listingMutex;
std::unordered_map<std::string, Listing> g_listings;
constexpr size_t kMaxListings = 64;

WString FoldedName(WStringView name) {
    WString folded(name);
    for (WChar& c : folded) c = text::ToLowerChar(c);
    return folded;
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Finds `name` in a host folder: the exact host name first, then the first
// case-insensitive match in byte order. Empty when there is none.
std::string FindChild(const std::string& folder, const WString& name) {
    std::string exact = text::ToUtf8(name);
    struct stat st;
    if (lstat(Join(folder, exact).c_str(), &st) == 0) return exact;
    const WString key = FoldedName(name);
    struct stat folderStat;
    const bool dated = stat(folder.c_str(), &folderStat) == 0;
    if (dated) {
        std::lock_guard<std::mutex> lock(g_listingMutex);
        auto it = g_listings.find(folder);
        if (it != g_listings.end() && SameTime(it->second.changed, folderStat.st_ctim)) {
            auto hit = it->second.names.find(key);
            return hit == it->second.names.end() ? std::string() : hit->second;
        }
    }
    Listing listing;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* e = readdir(dir)) {
            WString candidate;
            if (!detail::DeviceNameFromHost(e->d_name, &candidate)) continue;
            auto [at, fresh] = listing.names.try_emplace(FoldedName(candidate), e->d_name);
            if (!fresh && at->second > e->d_name) at->second = e->d_name;
        }
        closedir(dir);
    }
    auto hit = listing.names.find(key);
    std::string best = hit == listing.names.end() ? std::string() : hit->second;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    if (dated && folderStat.st_ctim.tv_sec + g_settleSeconds < now.tv_sec) {
        listing.changed = folderStat.st_ctim;
        std::lock_guard<std::mutex> lock(g_listingMutex);
        if (g_listings.size() >= kMaxListings) g_listings.clear();
        g_listings[folder] = std::move(listing);
    }
    return best;
}

// A symbolic link on the way is followed only where it leads inside the root
// or a mount; one that leads elsewhere (or nowhere) would let a device path
// reach any host file, so it is refused.
bool Inside(const std::string& path, const std::string& base) {
    return base == "/" || path == base ||
           (path.size() > base.size() && path.compare(0, base.size(), base) == 0 &&
            path[base.size()] == '/');
}

bool LinkStaysInside(const Config& cfg, const std::string& host) {
    struct stat st;
    if (lstat(host.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    char target[PATH_MAX];
    if (!realpath(host.c_str(), target)) return false;
    auto contains = [&](const std::string& base) {
        char real[PATH_MAX];
        return realpath(base.c_str(), real) && Inside(target, real);
    };
    if (contains(cfg.root)) return true;
    for (const auto& m : cfg.mounts)
        if (contains(m.host)) return true;
    return false;
}

bool IsFolder(const std::string& host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Resolves the first `count` names as folders that must exist.
bool ResolveFolders(const Config& cfg, const std::vector<WString>& names, size_t count,
                    std::string* host, bool* isRoot, bool* isMountRoot) {
    size_t k = 0;
    std::string cur = cfg.root;
    if (const Mount* m = MatchMount(cfg, names, count)) {
        cur = m->host;
        k = m->names.size();
    }
    *isRoot = count == 0;
    *isMountRoot = k > 0 && k == count;
    for (; k < count; ++k) {
        std::string child = FindChild(cur, names[k]);
        if (child.empty()) return detail::Fail(kErrorPathNotFound);
        cur = Join(cur, child);
        if (!LinkStaysInside(cfg, cur)) return detail::Fail(kErrorAccessDenied);
    }
    if (!IsFolder(cur)) return detail::Fail(kErrorPathNotFound);
    *host = std::move(cur);
    return true;
}

}  // namespace

namespace detail {
void SetFolderSettleSecondsForTests(int seconds) {
    g_settleSeconds = seconds;
    std::lock_guard<std::mutex> lock(g_listingMutex);
    g_listings.clear();
}
}  // namespace detail

uint32_t GetLastError() {
    return t_lastError;
}
void SetLastError(uint32_t error) {
    t_lastError = error;
}

WString ErrorText(uint32_t error) {
    switch (error) {
        case kErrorSuccess:
            return {};
        case kErrorFileNotFound:
            return u"The file was not found.";
        case kErrorPathNotFound:
            return u"The folder was not found.";
        case kErrorAccessDenied:
            return u"Access is denied.";
        case kErrorWriteProtect:
            return u"The medium is write-protected.";
        case kErrorSharingViolation:
            return u"The file is in use by another program.";
        case kErrorDiskFull:
            return u"There is not enough space on the disk.";
        case kErrorInvalidName:
        case kErrorFilenameTooLong:
            return u"The file name is not valid.";
        case kErrorDirectory:
            return u"The name is a folder, not a file.";
        case kErrorNotEnoughMemory:
            return u"There is not enough memory.";
        case kErrorReadFault:
            return u"The file could not be read.";
        case kErrorWriteFault:
            return u"The file could not be written.";
        default:
            return text::Format(u"System error %u.", error);
    }
}

uint32_t ErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return kErrorSuccess;
        case ENOENT:
            return kErrorFileNotFound;
        case ENOTDIR:
            return kErrorPathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EBUSY:
        case ETXTBSY:
            return kErrorAccessDenied;
        case EMFILE:
        case ENFILE:
            return kErrorTooManyOpenFiles;
        case EBADF:
            return kErrorInvalidHandle;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        case EXDEV:
            return kErrorNotSameDevice;
        case EROFS:
            return kErrorWriteProtect;
        case EEXIST:
            return kErrorFileExists;
        case EINVAL:
            return kErrorInvalidParameter;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return kErrorDiskFull;
        case ENAMETOOLONG:
            return kErrorFilenameTooLong;
        case ENOTEMPTY:
            return kErrorDirNotEmpty;
        case EIO:
            return kErrorGenFailure;
        default:
            return kErrorGenFailure;
    }
}

std::string GetDeviceRoot() {
    return GetConfig()->root;
}

void SetDeviceRoot(std::string_view hostFolder) {
    {
        std::lock_guard<std::mutex> lock(g_configMutex);
        g_rootOverridden = !hostFolder.empty();
        g_rootOverride = hostFolder;
    }
    auto fresh = LoadConfig();
    EditConfig([&](Config& c) { c.root = fresh->root; });
}

void AddMount(WStringView deviceFolder, std::string_view hostFolder) {
    Mount m;
    if (!SplitDevicePath(deviceFolder, false, &m.names) || m.names.empty()) return;
    m.host = NormalizeHost(hostFolder);
    EditConfig([&](Config& c) {
        for (auto it = c.mounts.begin(); it != c.mounts.end(); ++it) {
            bool same = it->names.size() == m.names.size();
            for (size_t k = 0; same && k < m.names.size(); ++k)
                same = text::EqualsNoCase(it->names[k], m.names[k]);
            if (same) {
                c.mounts.erase(it);
                break;
            }
        }
        c.mounts.push_back(m);
    });
}

void ClearMounts() {
    EditConfig([](Config& c) { c.mounts.clear(); });
}

void ResetConfiguration() {
    {
        std::lock_guard<std::mutex> lock(g_configMutex);
        g_rootOverridden = false;
        g_rootOverride.clear();
        g_config = LoadConfig();
    }
    test::Reset();
}

bool ResolvePath(WStringView devicePath, Resolved* out) {
    auto cfg = GetConfig();
    std::vector<WString> names;
    if (!SplitDevicePath(devicePath, false, &names)) return false;
    *out = Resolved{};
    if (const Mount* m = MatchMount(*cfg, names, names.size());
        m && m->names.size() == names.size()) {
        out->host = m->host;
        out->isMountRoot = true;
        out->exists = IsFolder(m->host);
        return true;
    }
    if (names.empty()) {
        out->host = cfg->root;
        out->exists = IsFolder(cfg->root);
        return true;
    }
    std::string parent;
    bool isRoot = false, isMountRoot = false;
    if (!ResolveFolders(*cfg, names, names.size() - 1, &parent, &isRoot, &isMountRoot))
        return false;
    std::string child = FindChild(parent, names.back());
    out->exists = !child.empty();
    out->host = Join(parent, child.empty() ? text::ToUtf8(names.back()) : child);
    if (out->exists && !LinkStaysInside(*cfg, out->host)) return detail::Fail(kErrorAccessDenied);
    if (out->host.size() >= PATH_MAX) return detail::Fail(kErrorFilenameTooLong);
    return true;
}

std::string HostPath(WStringView devicePath) {
    Resolved r;
    if (!ResolvePath(devicePath, &r)) return {};
    if (!r.exists) {
        SetLastError(kErrorFileNotFound);
        return {};
    }
    return r.host;
}

WString DevicePathFromHost(std::string_view hostPath) {
    auto cfg = GetConfig();
    std::string host = NormalizeHost(hostPath);
    auto under = [&](const std::string& base, std::string* rest) {
        if (base == "/") {
            *rest = host == "/" ? std::string() : host.substr(1);
            return true;
        }
        if (host == base) {
            rest->clear();
            return true;
        }
        if (host.size() > base.size() && host.compare(0, base.size(), base) == 0 &&
            host[base.size()] == '/') {
            *rest = host.substr(base.size() + 1);
            return true;
        }
        return false;
    };
    WString device;
    std::string rest;
    const Mount* best = nullptr;
    for (const auto& m : cfg->mounts) {
        std::string r;
        if (under(m.host, &r) && (!best || m.host.size() > best->host.size())) {
            best = &m;
            rest = r;
        }
    }
    if (best) {
        for (const auto& n : best->names) device += u"\\" + n;
    } else if (!under(cfg->root, &rest)) {
        return {};
    }
    size_t i = 0;
    while (i < rest.size()) {
        size_t j = rest.find('/', i);
        if (j == std::string::npos) j = rest.size();
        WString name;
        if (!detail::DeviceNameFromHost(rest.substr(i, j - i), &name)) return {};
        device += u"\\" + name;
        i = j + 1;
    }
    return device.empty() ? WString(u"\\") : device;
}

WString GetModuleFileName() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string host(buf, static_cast<size_t>(n));
    WString device = DevicePathFromHost(host);
    if (!device.empty()) return device;
    WString w = text::FromUtf8(host);
    std::replace(w.begin(), w.end(), u'/', u'\\');
    return w;
}

namespace detail {

bool DeviceNameFromHost(const std::string& hostName, WString* name) {
    if (hostName.empty() || hostName == "." || hostName == "..") return false;
    *name = text::FromUtf8(hostName);
    if (text::ToUtf8(*name) != hostName) return false;  // not valid UTF-8
    if (name->size() > kMaxPath) return false;
    // The device drops trailing dots and blanks, so it could never open such a name.
    if (name->back() == u'.' || name->back() == u' ') return false;
    for (WChar c : *name)
        if (c == u'\\' || c == u'/' || c == u'*' || c == u'?' || IsBadNameChar(c, false))
            return false;
    return true;
}

bool ListFolder(const std::string& hostFolder, bool isDeviceRoot, std::vector<Entry>* out) {
    out->clear();
    DIR* dir = opendir(hostFolder.c_str());
    if (!dir) return FailErrno(errno == ENOENT ? ENOTDIR : errno);
    while (dirent* e = readdir(dir)) {
        Entry entry;
        if (!DeviceNameFromHost(e->d_name, &entry.name)) continue;
        entry.hostName = e->d_name;
        entry.hostPath = Join(hostFolder, entry.hostName);
        out->push_back(std::move(entry));
    }
    closedir(dir);
    if (isDeviceRoot) {
        auto cfg = GetConfig();
        for (const auto& m : cfg->mounts) {
            if (m.names.size() != 1) continue;
            // A mount hides a host folder of the same name in the root.
            std::erase_if(*out,
                          [&](const Entry& e) { return text::EqualsNoCase(e.name, m.names[0]); });
            Entry entry;
            entry.name = m.names[0];
            entry.hostName = text::ToUtf8(m.names[0]);
            entry.hostPath = m.host;
            entry.isMount = true;
            out->push_back(std::move(entry));
        }
    }
    std::sort(out->begin(), out->end(),
              [](const Entry& a, const Entry& b) { return a.hostName < b.hostName; });
    return true;
}

bool ResolveParent(WStringView devicePath, bool keepWildcards, Split* out) {
    auto cfg = GetConfig();
    std::vector<WString> names;
    if (!SplitDevicePath(devicePath, keepWildcards, &names)) return false;
    *out = Split{};
    bool isMountRoot = false;
    size_t count = names.empty() ? 0 : names.size() - 1;
    if (!ResolveFolders(*cfg, names, count, &out->parentHost, &out->parentIsRoot, &isMountRoot))
        return false;
    if (!names.empty()) out->lastName = names.back();
    return true;
}

}  // namespace detail

}  // namespace fs
