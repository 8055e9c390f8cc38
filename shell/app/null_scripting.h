// Scripting that runs nothing: what the program uses until it has a script
// host. Engines "start", items and handlers are accepted, and no script
// text ever runs; events fire into nothing.
#pragma once

#include "map/services/script_events.h"

class CNullScriptHost : public IScriptHost {
public:
    bool StartEngine(const WChar*) override {
        m_started = true;
        return true;
    }
    bool AddNamedItem(const WChar*, IDispatch*, DWORD) override { return true; }
    bool BindElementEvents(const CXmlNode*, const WChar*) override { return true; }
    bool RunScriptElements(const CXmlNode*) override { return true; }
    bool SetScriptState(ScriptState) override { return true; }
    void StopEngine() override { m_started = false; }
    bool IsStarted() override { return m_started; }
    void EnableDebugging(bool) override {}

private:
    bool m_started = false;
};

class CNullScriptServices : public IScriptServices {
public:
    void FireScriptEvent(IDispatch*, int, bool, int) override {}
    IDispatch* CreateLayerObject(CLayer*) override { return CreatePlainScriptObject(); }
    std::unique_ptr<IScriptHost> CreateScriptHost() override { return std::make_unique<CNullScriptHost>(); }
    bool HasEventAttributes(const CXmlNode*, const WChar*) override { return false; }
    bool GetScriptLanguage(const CXmlNode*, WString&) override { return false; }
};
