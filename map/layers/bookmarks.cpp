#include "map/layers/bookmarks.h"

#include "core/config_xml_file.h"
#include "core/file_stream.h"
#include "core/shell_helpers.h"
#include "core/xml_node.h"
#include "map/services/preferences.h"
#include "platform/fs/fs.h"
#include "platform/win/menu.h"
#include "platform/win/winconst.h"

void CBookmark::WriteXml(CConfigXmlFile& writer) const {
    if (!m_name.empty() && m_name[0] == u'*') return;
    writer.BeginElement(-1, u"BOOKMARK");
    writer.WriteStringAttribute(u"name", m_name);
    writer.WriteDoubleAttribute(u"minx", m_extent.xmin);
    writer.WriteDoubleAttribute(u"miny", m_extent.ymin);
    writer.WriteDoubleAttribute(u"maxx", m_extent.xmax);
    writer.WriteDoubleAttribute(u"maxy", m_extent.ymax);
    writer.EndStartTag(false);
}

void CBookmarkList::LoadGlobal() {
    WString path = GetSpecialFolderPath(nullptr, kFolderPersonal);
    path += u"\\";
    path += kFileName;
    Load(path);
}

void CBookmarkList::Load(WStringView path) {
    m_path = path;
    RemoveBookmarks(true);
    CXmlDocument document;
    if (!document.LoadFile(m_path, GetPreferences()->GetAnsiCodePage())) return;
    const CXmlNode* root = document.GetRoot();
    if (!root || root->GetName() != CConfigXmlFile::kRootName) return;
    ReadXml(root, true);
}

void CBookmarkList::ReadXml(const CXmlNode* element, bool global) {
    if (!element) return;
    const CXmlNode* list = element->FindChild(u"BOOKMARKS");
    if (!list) return;
    for (int i = 0; i < list->GetChildCount(); ++i) {
        const CXmlNode* item = list->GetChild(i);
        if (item->GetName() != u"BOOKMARK") continue;
        CDoubleRect extent;
        ReadExtentAttributes(item, extent);
        Add(item->GetAttribute(u"name"), extent, global);
    }
}

bool CBookmarkList::SaveGlobal(const WChar* path) {
    WString target = path ? WString(path) : m_path;
    if (target.empty()) return false;
    CConfigXmlFile writer;
    if (!writer.Open(target, false)) return false;
    try {
        writer.StartElement(0, CConfigXmlFile::kRootName, true);
        WriteXml(writer, true);
        writer.EndElement(0, CConfigXmlFile::kRootName);
        writer.Close(false);
    } catch (const CFileException&) {
        return false;
    }
    return true;
}

void CBookmarkList::WriteXml(CConfigXmlFile& writer, bool global) const {
    int level = writer.GetLevel();
    bool any = false;
    for (const auto& b : m_items)
        if (b->m_global == global && !(b->m_name.size() && b->m_name[0] == u'*')) any = true;
    if (!any) {
        writer.StartElement(level, u"BOOKMARKS", false);
        return;
    }
    writer.StartElement(level, u"BOOKMARKS", true);
    for (const auto& b : m_items)
        if (b->m_global == global) b->WriteXml(writer);
    writer.EndElement(level, u"BOOKMARKS");
}

void CBookmarkList::RemoveBookmarks(bool all) {
    if (all) {
        m_items.clear();
        return;
    }
    std::erase_if(m_items, [](const std::unique_ptr<CBookmark>& b) { return !b->m_global; });
}

void CBookmarkList::FillMenu(HMENU menu, UINT firstId) const {
    UINT id = firstId;
    for (const auto& b : m_items) AppendMenu(menu, MF_STRING, id++, b->m_name.c_str());
}

bool CBookmarkList::GetExtentAt(int index, CDoubleRect& extent) const {
    if (index < 0 || index >= GetCount()) return false;
    extent = m_items[static_cast<size_t>(index)]->m_extent;
    return true;
}

bool CBookmarkList::GetExtentByName(WStringView name, CDoubleRect& extent) const {
    for (const auto& b : m_items) {
        if (text::EqualsNoCase(b->m_name, name)) {
            extent = b->m_extent;
            return true;
        }
    }
    return false;
}

CBookmark* CBookmarkList::Add(std::unique_ptr<CBookmark> bookmark) {
    m_items.push_back(std::move(bookmark));
    return m_items.back().get();
}

CBookmark* CBookmarkList::Add(WStringView name, const CDoubleRect& extent, bool global) {
    return Add(std::make_unique<CBookmark>(name, extent, global));
}

bool CBookmarkList::Delete(const CBookmark* bookmark) {
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        if (it->get() == bookmark) {
            m_items.erase(it);
            return true;
        }
    }
    return false;
}

CBookmark* CBookmarkList::GetAt(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_items[static_cast<size_t>(index)].get();
}
