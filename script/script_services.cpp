#include "script/script_services.h"

#include <cstdio>

#include "platform/scripting/script_engine.h"
#include "script/map/script_layer.h"
#include "script/script_binding.h"
#include "script/script_event.h"
#include "script/script_host.h"
#include "script/type_library.h"
#include "shell/app/app_services.h"

namespace {
// Clean-ups waiting for the outermost script or event to return.
std::vector<std::function<void()>>& Deferred() {
    static std::vector<std::function<void()>> d;
    return d;
}
}  // namespace

CScriptServices::CScriptServices() {
    // The event object is there from start-up; the other classes register
    // with their first object.
    RegisterScriptCoclass(CScriptEvent::Class());
    if (!CheckScriptTypeRegistry()) std::fprintf(stderr, "zarnip: the script type library is incomplete\n");
    SetScriptNestingIdleHook(&CScriptServices::RunDeferred);
}

CScriptServices::~CScriptServices() {
    SetScriptNestingIdleHook(nullptr);
    RunDeferred();
}

void CScriptServices::RunDeferred() {
    // A clean-up may defer another; run until none is left.
    while (!Deferred().empty()) {
        std::vector<std::function<void()>> now;
        now.swap(Deferred());
        for (auto& f : now) f();
    }
}

void CScriptServices::FireScriptEvent(IDispatch* source, int eventId, bool clearResult, int id) {
    FireScriptEventNow(source, eventId, clearResult, id);
}

IDispatch* CScriptServices::CreateLayerObject(CLayer* layer) {
    if (!layer) return CreatePlainScriptObject();
    CScriptLayer* object = CScriptLayer::Create(layer);
    object->AddRef();
    return object;
}

void CScriptServices::DetachLayerObject(IDispatch* object) {
    if (ComPtr<CScriptLayer> layer = CScriptLayer::From(object)) layer->Detach();
}

std::unique_ptr<IScriptHost> CScriptServices::CreateScriptHost() {
    return std::make_unique<CScriptHost>();
}

bool CScriptServices::HasEventAttributes(const CXmlNode* element, const WChar* prefix) {
    return ::HasEventAttributes(element, prefix);
}

bool CScriptServices::GetScriptLanguage(const CXmlNode* element, WString& language) {
    return ::GetScriptLanguage(element, language);
}

void CScriptServices::RegisterSystemObjects(IScriptHost* host) {
    if (m_appScripting && host) m_appScripting->RegisterSystemObjects(host);
}

void CScriptServices::RunAfterScripts(std::function<void()> cleanUp) {
    if (!cleanUp) return;
    if (ScriptNestingDepth() == 0) {
        cleanUp();
        return;
    }
    Deferred().push_back(std::move(cleanUp));
}

void CScriptServices::SetEventResultBool(bool result) { ::SetEventResultBool(result); }

void CScriptServices::ResetEventState() { ::ResetEventState(); }

bool CScriptServices::GetEventResultBool(bool clear) { return ::GetEventResultBool(clear); }

UINT CScriptServices::GetEventMessageType() {
    return static_cast<UINT>(ThisEvent().MessageType());
}

WString CScriptServices::GetEventMessageText() { return ThisEvent().MessageText(); }
