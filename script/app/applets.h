// The loaded applets, in loading order, and their collection object.
#pragma once

#include <memory>
#include <vector>

#include "platform/com/com.h"
#include "platform/text/text.h"

class CApplet;
class CForms;
class CScriptApplets;
class IScriptHost;

class CApplets {
public:
    CApplets();
    ~CApplets();
    CApplets(const CApplets&) = delete;
    CApplets& operator=(const CApplets&) = delete;

    void SetGlobal(IScriptHost* host, CForms* forms) {
        m_globalHost = host;
        m_globalForms = forms;
    }
    // Loads and starts every "*.zna" file of the folder (any letter case),
    // in name order without regard to case; files that do not load are
    // skipped.
    void LoadFolder(const WString& folder);
    // Appends one loaded applet and starts it.
    void Add(std::unique_ptr<CApplet> applet);
    // Deletes every applet (releases its object, destroys its own host).
    void DeleteAll();

    int GetCount() const { return static_cast<int>(m_list.size()); }
    CApplet* GetAt(int index) const;
    // The 0-based index of the first applet of the name (without regard to
    // case), -1 when none.
    int IndexOf(WStringView name) const;
    // The Applets object, made on first request (not AddRef'd).
    IDispatch* GetScriptObject();

private:
    std::vector<std::unique_ptr<CApplet>> m_list;
    IScriptHost* m_globalHost = nullptr;
    CForms* m_globalForms = nullptr;
    CScriptApplets* m_object = nullptr;  // one reference once made
};
