// One applet: a .zna file that adds scripts, handlers, toolbars, forms and
// system-object handlers to the running program. A global applet shares the
// global script host and forms; any other has its own host and forms.
#pragma once

#include <memory>

#include "platform/com/com.h"
#include "platform/types.h"

class CCommandBars;
class CForms;
class CScriptApplet;
class CScriptHost;
class CXmlNode;
class ILayerForms;
class IScriptHost;

class CApplet {
public:
    ~CApplet();
    CApplet(const CApplet&) = delete;
    CApplet& operator=(const CApplet&) = delete;

    // Reads the file and sets the applet up (nothing runs in a host of its
    // own until Start). Null for a file that cannot be read or parsed, whose
    // root is not Zarnip or that has no APPLET.
    static std::unique_ptr<CApplet> Load(IScriptHost* globalHost, CForms* globalForms, const WString& path);
    // The same with the bars that take the applet's toolbars (null: none).
    static std::unique_ptr<CApplet> Load(IScriptHost* globalHost, CForms* globalForms, const WString& path,
                                         CCommandBars* bars);

    // Connects a non-global applet's host, which runs its code and hooks up
    // its handlers, then announces it (OnLoad).
    void Start();

    const WString& GetName() const { return m_name; }
    bool IsGlobal() const { return m_global; }
    DWORD GetLocale() const { return m_lcid; }
    bool IsRightToLeft() const { return m_rightToLeft; }
    // The host the applet's code runs in (the global one for a global applet).
    IScriptHost* GetHost() const;
    // The Applet object, AddRef'd for the caller when `add`.
    IDispatch* GetScriptObject(bool add);
    // The applet's Forms object (AddRef'd), E_FAIL while the forms have no
    // script classes.
    HRESULT GetFormsObject(IDispatch** out);
    // Runs text in the applet's host.
    void Execute(const WString& text);

private:
    CApplet();
    bool Setup(IScriptHost* globalHost, CForms* globalForms, const CXmlNode* root, const CXmlNode* applet,
               const WString& path, CCommandBars* bars);

    WString m_name;
    bool m_global = false;
    IScriptHost* m_globalHost = nullptr;
    std::unique_ptr<CScriptHost> m_ownHost;
    CForms* m_globalForms = nullptr;
    std::unique_ptr<ILayerForms> m_ownForms;
    CScriptApplet* m_object = nullptr;  // one reference for the applet's life
    DWORD m_lcid = 0;
    bool m_rightToLeft = false;
};
