#include "script/script_event.h"

#include <memory>

#include "platform/scripting/script_engine.h"
#include "script/member_ids.h"

// ---- ThisEvent ----

const InterfaceDesc& CScriptEvent::Desc() {
    static const InterfaceDesc d =
        InterfaceBuilder<CScriptEvent>(u"IEvent", ScriptLibGuid(kLibIEvent))
            .PropGet(u"Object", dispid::kDefault, &CScriptEvent::get_Object)
            .PropGet(u"Name", dispid::prop::Name, &CScriptEvent::get_Name)
            .PropGet(u"Result", dispid::prop::Result, &CScriptEvent::get_Result)
            .PropPut(u"Result", dispid::prop::Result, &CScriptEvent::put_Result)
            .PropGet(u"MessageText", dispid::prop::MessageText, &CScriptEvent::get_MessageText)
            .PropPut(u"MessageText", dispid::prop::MessageText, &CScriptEvent::put_MessageText)
            .PropGet(u"MessageType", dispid::prop::MessageType, &CScriptEvent::get_MessageType)
            .PropPut(u"MessageType", dispid::prop::MessageType, &CScriptEvent::put_MessageType)
            .PropGet(u"ID", dispid::prop::ID, &CScriptEvent::get_ID)
            .Build();
    return d;
}

const CoclassDesc& CScriptEvent::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibEvent), u"Event", &Desc(), nullptr};
    return c;
}

HRESULT CScriptEvent::get_Object(IDispatch** out) {
    *out = nullptr;
    if (m_eventId == -1 || !m_source) return E_FAIL;
    *out = m_source;
    m_source->AddRef();
    return S_OK;
}

HRESULT CScriptEvent::get_Name(BSTR* out) {
    *out = nullptr;
    const char16_t* name = m_eventId == -1 ? nullptr : EventNameFromId(m_eventId);
    if (!name) return E_FAIL;
    *out = SysAllocString(name);
    return S_OK;
}

HRESULT CScriptEvent::get_Result(VARIANT* out) { return VariantCopy(out, &m_result); }

HRESULT CScriptEvent::put_Result(VARIANT value) {
    SetResult(value);
    return S_OK;
}

HRESULT CScriptEvent::get_MessageText(BSTR* out) {
    *out = SysAllocString(m_messageText);
    return S_OK;
}

HRESULT CScriptEvent::put_MessageText(BSTR* value) {
    if (!value) return E_POINTER;
    m_messageText = BstrView(*value);
    return S_OK;
}

HRESULT CScriptEvent::get_MessageType(int32_t* out) {
    *out = m_messageType;
    return S_OK;
}

HRESULT CScriptEvent::put_MessageType(int32_t value) {
    m_messageType = value;
    return S_OK;
}

HRESULT CScriptEvent::get_ID(int16_t* out) {
    *out = m_id;
    return S_OK;
}

void CScriptEvent::SetResult(const VARIANT& value) {
    VariantClear(&m_result);
    VariantCopyInd(&m_result, &value);
    // The answer is what the value means as a Boolean now; a value that is
    // no Boolean ("abc", an object without a default value) answers false.
    ComVariant b;
    m_answer = SUCCEEDED(VariantChangeType(&b, &m_result, 0, VT_BOOL)) && b.boolVal != 0;
}

void CScriptEvent::ClearResult() { VariantClear(&m_result); }

void CScriptEvent::ResetState() {
    m_messageType = 0;
    m_messageText.clear();
}

namespace {
CScriptEvent* g_thisEvent = nullptr;
}  // namespace

CScriptEvent& ThisEvent() {
    if (!g_thisEvent) {
        g_thisEvent = new CScriptEvent();
        g_thisEvent->AddRef();  // lives until exit
    }
    return *g_thisEvent;
}

void ResetThisEventForTests() {
    CScriptEvent* e = g_thisEvent;
    g_thisEvent = nullptr;
    if (e) e->Release();
}

// ---- firing ----

namespace {

// The connection point of a script object's default source, else null.
ConnectionPoint* SourcePoint(IDispatch* source) {
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(source->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid())) ||
        !container)
        return nullptr;
    ComPtr<ITypeInfo> type;
    if (FAILED(source->GetTypeInfo(0, 0, type.Receive())) || !type) return nullptr;
    const InterfaceDesc* desc = type->GetInterfaceDesc();
    const CoclassDesc* coclass = desc ? FindScriptCoclass(desc->iid) : nullptr;
    if (!coclass || !coclass->defaultSource) return nullptr;
    ComPtr<IConnectionPoint> point;
    if (FAILED(container->FindConnectionPoint(coclass->defaultSource->iid, point.Receive())) ||
        !point)
        return nullptr;
    // Every connection point of this program's objects is the platform's.
    return dynamic_cast<ConnectionPoint*>(point.Get());
}

}  // namespace

VARIANT* FireScriptEventNow(IDispatch* source, int eventId, bool clearResult, int id16) {
    CScriptEvent& ev = ThisEvent();
    if (!source) return ev.ResultPtr();
    // The source lives while it delivers, whatever its handlers release.
    ComPtr<IDispatch> holdSource(source);
    ComPtr<IDispatch> holdEvent(&ev);
    ScriptNestingScope nesting;
    if (!nesting.ok()) return ev.ResultPtr();

    const int32_t outerId = ev.m_eventId;
    IDispatch* const outerSource = ev.m_source;
    const int16_t outerID = ev.m_id;
    ev.m_eventId = eventId;
    ev.m_source = source;
    ev.m_id = static_cast<int16_t>(id16);

    if (ConnectionPoint* point = SourcePoint(source)) point->Fire(eventId);

    // An inner event gives the outer one back; the outermost leaves none.
    ev.m_eventId = outerId;
    ev.m_source = outerSource;
    if (outerId != -1) ev.m_id = outerID;
    if (clearResult) ev.ClearResult();
    return ev.ResultPtr();
}

void ResetEventState() { ThisEvent().ResetState(); }

void ClearEventResult() { ThisEvent().ClearResult(); }

void SetEventResultBool(bool value) {
    ComVariant v(value);
    ThisEvent().SetResult(v);
}

bool GetEventResultBool(bool clear) {
    CScriptEvent& ev = ThisEvent();
    const bool answer = ev.ResultAnswer();
    if (clear) ev.ClearResult();
    return answer;
}
