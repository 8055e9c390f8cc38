// A script host and script services for the fuzz targets: every call
// succeeds and runs nothing; a target may look at the script elements the
// host is asked to run.
#pragma once

#include <functional>
#include <memory>

#include "map/services/script_events.h"

class FuzzScriptHost : public IScriptHost {
public:
    std::function<void(const CXmlNode*)> onRun;
    bool StartEngine(const WChar*) override { return true; }
    bool AddNamedItem(const WChar*, IDispatch*, DWORD) override { return true; }
    bool BindElementEvents(const CXmlNode* e, const WChar*) override { return e != nullptr; }
    bool RunScriptElements(const CXmlNode* e) override {
        if (onRun) onRun(e);
        return true;
    }
    bool SetScriptState(int) override { return true; }
    void StopEngine() override {}
    bool IsStarted() override { return true; }
    void EnableDebugging(bool) override {}
};

class FuzzScriptServices : public IScriptServices {
public:
    std::function<void(const CXmlNode*)> onRun;  // given to every host made
    void FireScriptEvent(IDispatch*, int, bool, int) override {}
    IDispatch* CreateLayerObject(CLayer*) override { return nullptr; }
    std::unique_ptr<IScriptHost> CreateScriptHost() override {
        auto host = std::make_unique<FuzzScriptHost>();
        host->onRun = onRun;
        return host;
    }
    bool HasEventAttributes(const CXmlNode*, const WChar*) override { return false; }
    bool GetScriptLanguage(const CXmlNode*, WString&) override { return false; }
};
