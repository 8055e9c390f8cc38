#include "script/app/applets.h"

#include <algorithm>

#include "platform/fs/fs.h"
#include "script/app/applet.h"
#include "script/app/script_applets.h"

CApplets::CApplets() = default;

CApplets::~CApplets() { DeleteAll(); }

void CApplets::LoadFolder(const WString& folder) {
    WString base = folder;
    if (base.empty() || base.back() != u'\\') base += u'\\';
    std::vector<WString> names;
    fs::FindData data;
    if (fs::FindHandle* find = fs::FindFirstFile(base + u"*.*", &data)) {
        do {
            if (data.attributes & fs::kAttrDirectory) continue;
            const WString& name = data.fileName;
            if (name.size() > 4 && text::EqualsNoCase(WStringView(name).substr(name.size() - 4), u".zna"))
                names.push_back(name);
        } while (fs::FindNextFile(find, &data));
        fs::FindClose(find);
    }
    // The file system's order is arbitrary here; name order is the same on
    // every device.
    std::stable_sort(names.begin(), names.end(), [](const WString& a, const WString& b) {
        return text::CompareNoCase(a, b) < 0;
    });
    for (const WString& name : names)
        if (std::unique_ptr<CApplet> applet = CApplet::Load(m_globalHost, m_globalForms, base + name))
            Add(std::move(applet));
}

void CApplets::Add(std::unique_ptr<CApplet> applet) {
    m_list.push_back(std::move(applet));
    m_list.back()->Start();
}

void CApplets::DeleteAll() {
    m_list.clear();
    if (m_object) {
        m_object->Detach();
        m_object->Release();
        m_object = nullptr;
    }
}

CApplet* CApplets::GetAt(int index) const {
    return index >= 0 && index < GetCount() ? m_list[static_cast<size_t>(index)].get() : nullptr;
}

int CApplets::IndexOf(WStringView name) const {
    for (int i = 0; i < GetCount(); ++i)
        if (text::EqualsNoCase(m_list[static_cast<size_t>(i)]->GetName(), name)) return i;
    return -1;
}

IDispatch* CApplets::GetScriptObject() {
    if (!m_object) {
        m_object = CScriptApplets::Create(this);
        m_object->AddRef();
    }
    return m_object;
}
