// Directory enumeration with the framework's file-finder protocol over the
// platform's first/next search.
//
//   CFileFindCE find;
//   bool more = find.FindFile(u"\\data\\*.shp");
//   while (more) {
//       more = find.FindNextFile();  // the entry just fetched is current now,
//       use(find.GetFilePath());     // also the last one, when it returned false
//   }
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

#include "platform/fs/fs.h"
#include "platform/text/text.h"

class CFileFindCE {
public:
    CFileFindCE() = default;
    virtual ~CFileFindCE();
    CFileFindCE(const CFileFindCE&) = delete;
    CFileFindCE& operator=(const CFileFindCE&) = delete;

    static constexpr const char* kRuntimeClassName = "CFileFindCE";

    virtual WString GetFileName() const;
    // root, `\` unless the root ends with one, file name.
    virtual WString GetFilePath() const;
    virtual WString GetFileTitle() const;
    virtual WString GetFileURL() const;
    virtual WString GetRoot() const;
    // The times of the current entry, as seconds since 1970 (UTC) or as the
    // raw file time; false without a current entry.
    virtual bool GetLastWriteTime(time_t& time) const;
    virtual bool GetLastWriteTime(uint64_t& fileTime) const;
    virtual bool GetLastAccessTime(time_t& time) const;
    virtual bool GetLastAccessTime(uint64_t& fileTime) const;
    virtual bool GetCreationTime(time_t& time) const;
    virtual bool GetCreationTime(uint64_t& fileTime) const;
    // A current entry exists and its attributes share a bit with the mask.
    virtual bool MatchesMask(uint32_t mask) const;
    virtual bool IsDots() const;
    // Starts a search; a null pattern means "*.*". A pattern without a
    // separator is taken from the root folder. Keeps the platform's error
    // (fs::GetLastError) when nothing is found.
    virtual bool FindFile(const WChar* pattern = nullptr, uint32_t flags = 0);
    virtual bool FindNextFile();
    virtual void CloseContext();

    bool IsDirectory() const { return MatchesMask(fs::kAttrDirectory); }
    uint32_t GetLength() const;
    uint64_t GetLength64() const;
    void Close();

private:
    const fs::FindData* Current() const { return m_current ? &*m_current : nullptr; }

    std::optional<fs::FindData> m_current;
    std::optional<fs::FindData> m_next;
    fs::FindHandle* m_search = nullptr;
    WString m_root;
};
