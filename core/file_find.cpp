#include "core/file_find.h"

CFileFindCE::~CFileFindCE() {
    Close();
}

WString CFileFindCE::GetFileName() const {
    return m_current ? m_current->fileName : WString();
}

WString CFileFindCE::GetFilePath() const {
    WString path = m_root;
    if (path.empty() || (path.back() != u'\\' && path.back() != u'/')) path += u'\\';
    return path + GetFileName();
}

WString CFileFindCE::GetFileTitle() const {
    WString name = GetFileName();
    size_t slash = name.rfind(u'\\');
    return slash == WString::npos ? name : name.substr(slash + 1);
}

WString CFileFindCE::GetFileURL() const {
    return u"file://" + GetFilePath();
}

WString CFileFindCE::GetRoot() const {
    return m_root;
}

namespace {

// One time of the current entry; false when there is none.
bool EntryTime(const std::optional<fs::FindData>& entry, uint64_t fs::FindData::*field,
               uint64_t& fileTime) {
    if (!entry) return false;
    fileTime = (*entry).*field;
    return true;
}

// A file time as the C library's seconds.
bool ToUnixTime(bool ok, uint64_t fileTime, time_t& time) {
    if (ok) time = static_cast<time_t>(fs::UnixFromFileTime(fileTime));
    return ok;
}

}  // namespace

bool CFileFindCE::GetLastWriteTime(time_t& time) const {
    uint64_t ft = 0;
    const bool ok = GetLastWriteTime(ft);  // before ft is read
    return ToUnixTime(ok, ft, time);
}

bool CFileFindCE::GetLastWriteTime(uint64_t& fileTime) const {
    return EntryTime(m_current, &fs::FindData::lastWriteTime, fileTime);
}

bool CFileFindCE::GetLastAccessTime(time_t& time) const {
    uint64_t ft = 0;
    const bool ok = GetLastAccessTime(ft);  // before ft is read
    return ToUnixTime(ok, ft, time);
}

bool CFileFindCE::GetLastAccessTime(uint64_t& fileTime) const {
    return EntryTime(m_current, &fs::FindData::lastAccessTime, fileTime);
}

bool CFileFindCE::GetCreationTime(time_t& time) const {
    uint64_t ft = 0;
    const bool ok = GetCreationTime(ft);  // before ft is read
    return ToUnixTime(ok, ft, time);
}

bool CFileFindCE::GetCreationTime(uint64_t& fileTime) const {
    return EntryTime(m_current, &fs::FindData::creationTime, fileTime);
}

bool CFileFindCE::MatchesMask(uint32_t mask) const {
    return m_current && (m_current->attributes & mask) != 0;
}

bool CFileFindCE::IsDots() const {
    return MatchesMask(fs::kAttrDirectory) &&
           (m_current->fileName == u"." || m_current->fileName == u"..");
}

bool CFileFindCE::FindFile(const WChar* pattern, uint32_t /*flags*/) {
    Close();
    WString text = pattern ? WString(pattern) : WString(u"*.*");
    fs::FindData first;
    m_search = fs::FindFirstFile(text, &first);
    if (!m_search) {
        uint32_t error = fs::GetLastError();
        Close();
        fs::SetLastError(error);
        return false;
    }
    m_next = std::move(first);
    size_t cut = text.find_last_of(u"\\/");
    // Without a separator the search ran in the root folder.
    m_root = cut == WString::npos ? WString() : text.substr(0, cut);
    return true;
}

bool CFileFindCE::FindNextFile() {
    if (!m_search) return false;
    m_current = std::move(m_next);
    m_next.emplace();
    bool more = fs::FindNextFile(m_search, &*m_next);
    if (!more) m_next.reset();
    return more;
}

void CFileFindCE::CloseContext() {
    if (m_search) fs::FindClose(m_search);
    m_search = nullptr;
}

uint32_t CFileFindCE::GetLength() const {
    return m_current ? static_cast<uint32_t>(m_current->fileSize) : 0;
}

uint64_t CFileFindCE::GetLength64() const {
    return m_current ? m_current->fileSize : 0;
}

void CFileFindCE::Close() {
    m_current.reset();
    m_next.reset();
    CloseContext();
    m_root.clear();
}
