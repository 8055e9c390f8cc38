// The scripting the program installs (SetScriptServices): real hosts,
// events raised through ThisEvent, the binding questions of the XML readers,
// the system objects forwarded to the application's scripting, and clean-ups
// deferred until no script runs.
#pragma once

#include <functional>
#include <vector>

#include "map/services/script_events.h"

class IAppScripting;

class CScriptServices : public IScriptServices {
public:
    CScriptServices();
    ~CScriptServices() override;

    // The application's script objects, forms and applets (null: none).
    void SetAppScripting(IAppScripting* scripting) { m_appScripting = scripting; }

    void FireScriptEvent(IDispatch* source, int eventId, bool clearResult, int id) override;
    IDispatch* CreateLayerObject(CLayer* layer) override;
    void DetachLayerObject(IDispatch* object) override;
    std::unique_ptr<IScriptHost> CreateScriptHost() override;
    bool HasEventAttributes(const CXmlNode* element, const WChar* prefix) override;
    bool GetScriptLanguage(const CXmlNode* element, WString& language) override;
    void RegisterSystemObjects(IScriptHost* host) override;
    void RunAfterScripts(std::function<void()> cleanUp) override;

    void SetEventResultBool(bool result) override;
    void ResetEventState() override;
    bool GetEventResultBool(bool clear) override;
    UINT GetEventMessageType() override;
    WString GetEventMessageText() override;

private:
    static void RunDeferred();
    IAppScripting* m_appScripting = nullptr;
};
