#include "core/mru_list.h"

#include <algorithm>

#include "platform/sys/registry.h"
#include "platform/win/controls.h"
#include "platform/win/window.h"

CMruList::CMruList(WStringView section, WStringView entryFormat, int maximum)
    : m_section(section), m_entryFormat(entryFormat), m_maximum(std::max(maximum, 0)) {}

WString CMruList::EntryName(int number) const {
    return text::Format(m_entryFormat.c_str(), number);
}

void CMruList::Add(WStringView text) {
    if (text.empty()) return;
    auto same = std::find(m_entries.begin(), m_entries.end(), text);
    if (same != m_entries.end()) m_entries.erase(same);
    m_entries.insert(m_entries.begin(), WString(text));
    if (static_cast<int>(m_entries.size()) > m_maximum) m_entries.resize(m_maximum);
}

void CMruList::Load() {
    m_entries.clear();
    for (int i = 1; i <= m_maximum; ++i) {
        WString value = sys::GetProfileString(m_section, EntryName(i));
        if (!value.empty()) m_entries.push_back(std::move(value));
    }
}

void CMruList::Save() const {
    sys::DeleteProfileSection(m_section);
    for (size_t i = 0; i < m_entries.size(); ++i)
        sys::WriteProfileString(m_section, EntryName(static_cast<int>(i) + 1),
                                m_entries[i].c_str());
}

void CMruList::FillComboBox(HWND combo) const {
    WString edit = GetWindowTextString(combo);
    SendMessage(combo, CB_RESETCONTENT, 0, 0);
    for (const auto& entry : m_entries)
        SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    SetWindowText(combo, edit.c_str());
}
