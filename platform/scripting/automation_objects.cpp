#include "platform/scripting/automation_objects.h"

#include <map>
#include <mutex>

#include "platform/scripting/script_engine.h"

namespace {

std::mutex g_lock;
std::map<WString, AutomationObjectFactory>& Table() {
    static std::map<WString, AutomationObjectFactory> t;
    return t;
}

WString Key(WStringView progId) {
    return text::ToLower(WString(progId));
}

}  // namespace

void RegisterAutomationObject(WStringView progId, AutomationObjectFactory create) {
    std::lock_guard<std::mutex> g(g_lock);
    Table()[Key(progId)] = create;
}

bool UnregisterAutomationObject(WStringView progId) {
    std::lock_guard<std::mutex> g(g_lock);
    return Table().erase(Key(progId)) > 0;
}

HRESULT CreateAutomationObject(WStringView progId, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    AutomationObjectFactory create = nullptr;
    {
        std::lock_guard<std::mutex> g(g_lock);
        auto it = Table().find(Key(progId));
        if (it != Table().end()) create = it->second;
    }
    if (!create) return MakeScriptError(429);
    HRESULT hr = create(out);
    if (SUCCEEDED(hr) && !*out) hr = MakeScriptError(429);
    return hr;
}
