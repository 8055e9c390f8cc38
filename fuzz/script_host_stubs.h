// What the configuration fuzz targets share: a script host and script
// services where every call succeeds and runs nothing (a target may look at
// the script elements the host is asked to run), and a device root with a
// program folder.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "map/services/script_events.h"
#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"

// A new device root under /tmp with the program in \Program; the host path
// of \Program\Zarnip.znx.
inline std::string MakeFuzzProgramFolder(const char* prefix) {
    std::string tmpl = std::string("/tmp/") + prefix + "-XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    ::mkdir((tmpl + "/Program").c_str(), 0755);
    setenv("ZARNIP_ROOT", tmpl.c_str(), 1);
    fs::ResetConfiguration();
    fs::test::SetProgramFileName(u"\\Program\\zarnip");
    return tmpl + "/Program/Zarnip.znx";
}

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
    bool SetScriptState(ScriptState) override { return true; }
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
