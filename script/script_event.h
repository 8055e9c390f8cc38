// Script events: the event table, the one function every part of the
// program raises events through, and ThisEvent, the object handlers read
// the event from and answer through.
//
// Side effects of firing (handlers run inside FireScriptEvent):
// - a handler may fire other events; each inner event publishes its own id,
//   source and ID and gives the outer event's back when it ends. Result,
//   MessageType and MessageText are one shared answer channel;
// - a handler may unadvise itself or other sinks (delivery runs over a
//   snapshot of the sinks) and may drop the last reference to its source
//   (the source is held while it delivers);
// - nesting past the process-wide limit is refused (see script_engine.h).
#pragma once

#include <cstdint>

#include "platform/com/objects.h"
#include "script/event_table.h"
#include "script/script_object.h"

// ThisEvent (class Event, interface IEvent).
class CScriptEvent : public CScriptObject<CScriptEvent> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

    // IEvent
    HRESULT get_Object(IDispatch** out);
    HRESULT get_Name(BSTR* out);
    HRESULT get_Result(VARIANT* out);
    HRESULT put_Result(VARIANT value);
    HRESULT get_MessageText(BSTR* out);
    HRESULT put_MessageText(BSTR* value);
    HRESULT get_MessageType(int32_t* out);
    HRESULT put_MessageType(int32_t value);
    HRESULT get_ID(int16_t* out);

    // The firer's side.
    VARIANT* ResultPtr() { return &m_result; }
    void SetResult(const VARIANT& value);
    void ClearResult();
    bool ResultAnswer() const { return m_answer; }
    int32_t MessageType() const { return m_messageType; }
    const WString& MessageText() const { return m_messageText; }
    void ResetState();
    int CurrentEventId() const { return m_eventId; }
    IDispatch* CurrentSource() const { return m_source; }
    int16_t GetID() const { return m_id; }

private:
    friend VARIANT* FireScriptEventNow(IDispatch*, int, bool, int);
    int32_t m_eventId = -1;
    IDispatch* m_source = nullptr;  // not counted: the firer holds it
    ComVariant m_result;
    // What Result answers as a Boolean, taken when it was stored.
    bool m_answer = false;
    int32_t m_messageType = 0;
    WString m_messageText;
    int16_t m_id = 0;
};

// The one event object, made on first use, kept until exit.
CScriptEvent& ThisEvent();
// Drops it (tests; the next use makes a new one).
void ResetThisEventForTests();

// Raises an event on `source` (the object's sinks, head to tail): publishes
// the id, the source and `id16` in ThisEvent, runs the handlers, and clears
// Result afterwards when asked. A null source, or one without a connection
// point, fires nothing. Answers ThisEvent's Result.
VARIANT* FireScriptEventNow(IDispatch* source, int eventId, bool clearResult, int id16);

// The answer protocol of firers that let handlers cancel.
void ResetEventState();
void ClearEventResult();
void SetEventResultBool(bool value);
// What the last Result stored answers as a Boolean; clears Result when asked.
bool GetEventResultBool(bool clear);
