// A recent-file list: the most-recently-used list of file paths the
// framework adds opened documents to, shown in menus abbreviated to a
// display length. The map list is section "Recent File List", entries
// "File%d", 9 long.
#pragma once

#include "core/mru_list.h"
#include "platform/win/framework.h"

class CRecentFileList : public CMruList, public win::RecentFileList {
public:
    static constexpr const WChar* kMapSection = u"Recent File List";
    static constexpr const WChar* kMapEntryFormat = u"File%d";
    static constexpr int kMapCount = 9;

    // displayLength 0: entries are shown whole.
    CRecentFileList(WStringView section, WStringView entryFormat, int maximum, int displayLength = 0);

    void Add(WStringView path) override { CMruList::Add(path); }
    // Drops entry `index` (0 the most recent); out of range does nothing.
    void Remove(int index);
    // The entry as a menu shows it: whole when it fits the display length,
    // else the first folder, "..." and as many trailing parts as fit, else
    // the file name cut to the display length. Empty out of range.
    WString GetDisplayName(int index) const;
    int GetDisplayLength() const { return m_displayLength; }

private:
    int m_displayLength;
};
