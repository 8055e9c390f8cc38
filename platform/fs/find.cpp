// First/next file search and the platform's wildcard rules.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "platform/fs/fs.h"
#include "platform/fs/fs_internal.h"

namespace fs {

class FindHandle {
public:
    std::vector<FindData> items;
    size_t next = 0;
};

namespace {

bool FillFindData(const detail::Entry& e, FindData* d) {
    struct statx sx;
    if (statx(AT_FDCWD, e.hostPath.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return false;
    struct stat st;
    uint32_t a = detail::HostAttributes(e.hostPath, e.name, &st);
    if (a == kInvalidAttributes) return false;
    if (e.isMount) a = (a & ~kAttrHidden) | kAttrTemporary;
    auto ft = [](const statx_timestamp& t) { return FileTimeFromUnix(t.tv_sec, t.tv_nsec); };
    d->attributes = a;
    d->creationTime = (sx.stx_mask & STATX_BTIME) ? ft(sx.stx_btime) : ft(sx.stx_mtime);
    d->lastAccessTime = ft(sx.stx_atime);
    d->lastWriteTime = ft(sx.stx_mtime);
    d->fileSize = (a & kAttrDirectory) ? 0 : sx.stx_size;
    d->objectId = static_cast<uint32_t>(sx.stx_ino);
    d->fileName = e.name;
    return true;
}

bool HasWildcard(WStringView s) {
    return s.find_first_of(u"*?") != WStringView::npos;
}

}  // namespace

bool MatchesWildcard(WStringView pattern, WStringView name) {
    // A pattern ending in '.' (but not ".*") wants names without an extension.
    if (!pattern.empty() && pattern.back() == u'.') {
        if (name.find(u'.') != WStringView::npos) return false;
        while (!pattern.empty() && pattern.back() == u'.') pattern.remove_suffix(1);
    }
    auto eq = [](WChar a, WChar b) { return text::ToLowerChar(a) == text::ToLowerChar(b); };
    // The rest of the pattern may match an exhausted name: only '*'s, or a
    // ".*" tail (so "*.*" and "readme.*" match "readme").
    auto tailMatchesEmpty = [](WStringView rest) {
        size_t i = 0;
        while (i < rest.size() && rest[i] == u'*') ++i;
        if (i == rest.size()) return true;
        if (rest[i] != u'.') return false;
        for (++i; i < rest.size(); ++i)
            if (rest[i] != u'*') return false;
        return true;
    };
    size_t p = 0, n = 0, starP = WStringView::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || eq(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starP != WStringView::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    return tailMatchesEmpty(pattern.substr(p));
}

FindHandle* FindFirstFile(WStringView pattern, FindData* data) {
    detail::Split split;
    if (!detail::ResolveParent(pattern, true, &split)) return nullptr;
    if (split.lastName.empty() || pattern.back() == u'\\' || pattern.back() == u'/') {
        SetLastError(kErrorFileNotFound);
        return nullptr;
    }
    std::vector<detail::Entry> entries;
    if (!detail::ListFolder(split.parentHost, split.parentIsRoot, &entries)) return nullptr;
    auto handle = std::make_unique<FindHandle>();
    if (HasWildcard(split.lastName)) {
        for (const auto& e : entries) {
            if (!MatchesWildcard(split.lastName, e.name)) continue;
            FindData d;
            if (FillFindData(e, &d)) handle->items.push_back(std::move(d));
        }
    } else {
        // One entry, found as path resolution finds it: exact name first.
        std::string exact = text::ToUtf8(split.lastName);
        const detail::Entry* hit = nullptr;
        for (const auto& e : entries) {
            if (e.hostName == exact) {
                hit = &e;
                break;
            }
            if (!hit && text::EqualsNoCase(e.name, split.lastName)) hit = &e;
        }
        FindData d;
        if (hit && FillFindData(*hit, &d)) handle->items.push_back(std::move(d));
    }
    if (handle->items.empty()) {
        SetLastError(kErrorFileNotFound);
        return nullptr;
    }
    *data = handle->items[0];
    handle->next = 1;
    SetLastError(kErrorSuccess);
    return handle.release();
}

bool FindNextFile(FindHandle* handle, FindData* data) {
    if (!handle) return detail::Fail(kErrorInvalidHandle);
    if (handle->next >= handle->items.size()) return detail::Fail(kErrorNoMoreFiles);
    *data = handle->items[handle->next++];
    return true;
}

void FindClose(FindHandle* handle) {
    delete handle;
}

}  // namespace fs
