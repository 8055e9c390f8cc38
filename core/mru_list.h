// A most-recently-used list of texts kept in the application profile: one
// profile section, one value per entry named by a format with one "%d"
// (1 is the most recent).
#pragma once

#include <vector>

#include "platform/text/text.h"
#include "platform/types.h"

class CMruList {
public:
    CMruList(WStringView section, WStringView entryFormat, int maximum);
    virtual ~CMruList() = default;

    // Empty texts are ignored; an equal entry (exact comparison) moves to
    // the front; entries beyond the maximum drop off the end.
    void Add(WStringView text);
    void Clear() { m_entries.clear(); }
    // Reads entries 1 to the maximum; missing and empty ones are skipped.
    void Load();
    // Deletes the whole profile section and writes the entries from 1.
    void Save() const;
    // Replaces a combo box's list by the entries, keeping its edit text.
    void FillComboBox(HWND combo) const;

    int GetCount() const { return static_cast<int>(m_entries.size()); }
    const WString& operator[](int index) const { return m_entries[index]; }
    const std::vector<WString>& GetEntries() const { return m_entries; }
    const WString& GetSection() const { return m_section; }
    int GetMaximum() const { return m_maximum; }

private:
    WString EntryName(int number) const;

    std::vector<WString> m_entries;  // most recent first
    WString m_section;
    WString m_entryFormat;
    int m_maximum;
};
