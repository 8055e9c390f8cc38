// Named map extents. Global bookmarks live in the user's bookmarks file;
// map documents and layer files carry their own. A name beginning with '*'
// is hidden and never written.
#pragma once

#include <memory>
#include <vector>

#include "core/double_rect.h"
#include "platform/text/text.h"
#include "platform/types.h"

class CConfigXmlFile;
class CXmlNode;

class CBookmark {
public:
    CBookmark() = default;
    CBookmark(WStringView name, const CDoubleRect& extent, bool global)
        : m_name(name), m_extent(extent), m_global(global) {}
    CBookmark(WStringView name, double xmin, double ymin, double xmax, double ymax, bool global)
        : m_name(name), m_extent(xmin, ymin, xmax, ymax), m_global(global) {}
    virtual ~CBookmark() = default;

    // One BOOKMARK element; nothing for a hidden name.
    void WriteXml(CConfigXmlFile& writer) const;

    WString m_name;
    CDoubleRect m_extent;
    bool m_global = false;
};

class CBookmarkList {
public:
    static constexpr const WChar* kFileName = u"ZarnipBookmarks.znx";

    CBookmarkList() = default;
    CBookmarkList(const CBookmarkList&) = delete;
    CBookmarkList& operator=(const CBookmarkList&) = delete;

    // Load of the documents folder's bookmarks file.
    void LoadGlobal();
    // Remembers the path, empties the list, reads the file's bookmarks as
    // global when its root is exactly "Zarnip".
    void Load(WStringView path);
    // Appends the BOOKMARK children of the element's first BOOKMARKS child.
    void ReadXml(const CXmlNode* element, bool global);
    // Writes the global bookmarks to the path (null: the stored one)
    // through a temporary file; false when nothing was written.
    bool SaveGlobal(const WChar* path = nullptr);
    // BOOKMARKS with every bookmark whose global flag is `global`.
    void WriteXml(CConfigXmlFile& writer, bool global) const;
    // all: every bookmark; otherwise the non-global ones.
    void RemoveBookmarks(bool all);
    // One string item per bookmark, in list order, ids first, first + 1, ...
    void FillMenu(HMENU menu, UINT firstId) const;
    bool GetExtentAt(int index, CDoubleRect& extent) const;
    // The first bookmark of that name, without regard to case.
    bool GetExtentByName(WStringView name, CDoubleRect& extent) const;

    CBookmark* Add(std::unique_ptr<CBookmark> bookmark);
    CBookmark* Add(WStringView name, const CDoubleRect& extent, bool global);
    // Deletes the bookmark; false when it is not in the list.
    bool Delete(const CBookmark* bookmark);
    int GetCount() const { return static_cast<int>(m_items.size()); }
    CBookmark* GetAt(int index) const;
    const WString& GetPath() const { return m_path; }

private:
    std::vector<std::unique_ptr<CBookmark>> m_items;
    WString m_path;
};
