#include "core/recent_file_list.h"

CRecentFileList::CRecentFileList(WStringView section, WStringView entryFormat, int maximum,
                                 int displayLength)
    : CMruList(section, entryFormat, maximum), m_displayLength(displayLength < 0 ? 0 : displayLength) {}

void CRecentFileList::Remove(int index) {
    if (index < 0 || index >= GetCount()) return;
    std::vector<WString> kept = GetEntries();
    kept.erase(kept.begin() + index);
    Clear();
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) CMruList::Add(*it);
}

WString CRecentFileList::GetDisplayName(int index) const {
    if (index < 0 || index >= GetCount()) return {};
    const WString& path = (*this)[index];
    const size_t max = static_cast<size_t>(m_displayLength);
    if (max == 0 || path.size() <= max) return path;
    size_t slash = path.find_last_of(u'\\');
    WString name = slash == WString::npos ? path : path.substr(slash + 1);
    if (name.size() >= max) return name.substr(0, max);
    // "\First\...\tail": the first folder, then the longest tail that fits.
    size_t firstEnd = path.find(u'\\', path[0] == u'\\' ? 1 : 0);
    if (firstEnd != WString::npos && firstEnd < slash) {
        WString head = path.substr(0, firstEnd + 1) + u"...";
        for (size_t cut = path.find(u'\\', firstEnd + 1); cut != WString::npos && cut <= slash;
             cut = path.find(u'\\', cut + 1)) {
            WString candidate = head + path.substr(cut);
            if (candidate.size() <= max) return candidate;
        }
    }
    WString shortForm = u"...\\" + name;
    return shortForm.size() <= max ? shortForm : name;
}
