#include "core/path.h"

#include <cstring>
#include <vector>

#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"

namespace {

size_t LastSlash(const WString& s) {
    return s.rfind(u'\\');
}

// The directory entry of the one file a path names.
bool FindEntry(const WString& path, fs::FindData* data) {
    fs::FindHandle* find = fs::FindFirstFile(path, data);
    if (!find) return false;
    fs::FindClose(find);
    return true;
}

}  // namespace

bool CPath::SetToModuleFileName(HMODULE module) {
    m_path.clear();
    if (module) return false;
    m_path = fs::GetProgramFileName();
    if (m_path.size() > fs::kMaxPath) m_path.resize(fs::kMaxPath);
    return !m_path.empty();
}

WString CPath::GetDirectory() const {
    size_t slash = LastSlash(m_path);
    if (slash != WString::npos) return slash == 0 ? WString() : m_path.substr(0, slash);
    if (m_path.find(u':') != WString::npos) return m_path.substr(0, 2);
    return {};
}

WString CPath::GetDirectoryWithSlash() const {
    WString dir = GetDirectory();
    return dir.empty() ? dir : dir + u"\\";
}

WString CPath::GetFileName() const {
    size_t slash = LastSlash(m_path);
    if (slash != WString::npos) return m_path.substr(slash + 1);
    size_t colon = m_path.rfind(u':');
    if (colon != WString::npos) return m_path.substr(colon + 1);
    return m_path;
}

WString CPath::GetTitle() const {
    WString name = GetFileName();
    size_t dot = name.rfind(u'.');
    return dot == WString::npos ? name : name.substr(0, dot);
}

WString CPath::GetExtension(bool withDot) const {
    WString name = GetFileName();
    size_t dot = name.rfind(u'.');
    if (dot == WString::npos) return {};
    return name.substr(withDot ? dot : dot + 1);
}

WString CPath::GetPathWithoutExtension() const {
    return GetDirectoryWithSlash() + GetTitle();
}

void CPath::SetDirectory(WStringView directory) {
    m_path = WString(directory) + u"\\" + GetFileName();
}

void CPath::SetFileName(WStringView name) {
    m_path = GetDirectoryWithSlash() + WString(name);
}

void CPath::SetTitle(WStringView title) {
    WString ext = GetExtension(false);
    m_path = GetDirectoryWithSlash() + WString(title);
    if (!ext.empty()) m_path += u"." + ext;
}

void CPath::SetExtension(WStringView extension) {
    WString base = GetDirectoryWithSlash() + GetTitle();
    m_path = extension.empty() ? base : base + u"." + WString(extension);
}

bool CPath::HasDrive() const {
    return m_path.size() >= 3 && m_path[1] == u':';
}

bool CPath::Exists() const {
    return FileExists(m_path);
}

bool CPath::DeleteFile() const {
    return fs::DeleteFile(m_path);
}

bool CPath::CorrectCase() {
    fs::FindData data;
    if (!FindEntry(m_path, &data)) return false;
    SetFileName(data.fileName);
    return true;
}

bool CPath::GetFileSize(uint64_t* size) const {
    fs::FindData data;
    if (!FindEntry(m_path, &data)) return false;
    *size = data.fileSize;
    return true;
}

bool CPath::GetFileSize(uint32_t* low, uint32_t* high) const {
    uint64_t size;
    if (!GetFileSize(&size)) return false;
    *low = static_cast<uint32_t>(size);
    *high = static_cast<uint32_t>(size >> 32);
    return true;
}

uint32_t CPath::GetFileSizeLow() const {
    uint64_t size;
    return GetFileSize(&size) ? static_cast<uint32_t>(size) : 0;
}

bool CPath::GetDiskFreeSpace(uint64_t* freeBytes) const {
    return fs::GetDiskFreeSpace(GetDirectoryWithSlash(), freeBytes, nullptr, nullptr);
}

uint32_t CPath::GetFreeBytes() const {
    uint64_t bytes;
    if (!GetDiskFreeSpace(&bytes)) return 0;
    return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

bool CPath::CreateWithText(const char* text) const {
    fs::File file;
    if (!file.Open(m_path, fs::kGenericRead | fs::kGenericWrite, fs::kShareNone, fs::kCreateNew,
                   fs::kAttrNormal))
        return false;
    bool ok = !text || file.Write(text, std::strlen(text));
    uint32_t error = fs::GetLastError();
    ok = file.Close() && ok;
    if (!ok) {
        fs::DeleteFile(m_path);
        fs::SetLastError(error);
    }
    return ok;
}

bool CPath::FindNearby(const WChar* subfolder) {
    if (Exists()) return true;
    WString sub = subfolder ? WString(subfolder) : WString();
    WString d = GetDirectory();
    WString p = CPath(d).GetDirectory();
    WString g = CPath(p).GetDirectory();
    std::vector<WString> tries;
    if (!sub.empty()) tries.push_back(d + u"\\" + sub);
    tries.push_back(p);
    if (!sub.empty()) tries.push_back(p + u"\\" + sub);
    tries.push_back(g);
    if (!sub.empty()) tries.push_back(g + u"\\" + sub);
    for (const auto& dir : tries) {
        SetDirectory(dir);
        if (Exists()) return true;
    }
    SetDirectory(d);
    return Exists();
}

bool FileExists(WStringView name) {
    return fs::GetFileAttributes(name) != fs::kInvalidAttributes;
}

int GetFileTitleOf(const WChar* path, WChar* buffer, unsigned size) {
    if (!path) return -1;
    WString name = CPath(path).GetFileName();
    if (!buffer || size < name.size() + 1) return static_cast<int>(name.size() + 1);
    std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(WChar));
    return 0;
}
