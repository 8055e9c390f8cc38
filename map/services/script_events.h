// What the map engine asks of the script host: raising events, the layer's
// script object, and a script host per layer. The script subsystem
// implements IScriptServices; until it is installed scripting is off:
// events go nowhere and a layer's script object is a plain counted object.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/com/com.h"
#include "platform/text/text.h"
#include "platform/types.h"

class CLayer;
class CXmlNode;

// Event ids raised by the map engine.
enum ScriptEventId {
    kEventOnOpen = 24,
    kEventOnClose = 25,
    kEventOnAfterDraw = 26,
    kEventOnSelectionChanged = 29,
    kEventOnFeatureAdded = 31,
    kEventOnFeatureChanged = 32,
    kEventOnFeatureDeleted = 33,
    kEventOnInRange = 34,
    kEventOnGoto = 38,
};

// The states a script host's engine is put in (the script engines' own
// values).
enum class ScriptState : int32_t {
    Uninitialized = 0,
    Started = 1,
    Connected = 2,
    Disconnected = 3,
    Closed = 4,
    Initialized = 5,
};

// The script engine of one layer (or applet, or the application).
class IScriptHost {
public:
    virtual ~IScriptHost() = default;
    // Null or empty: "VBScript". False when the language has no engine.
    virtual bool StartEngine(const WChar* language) = 0;
    // Flags 6: visible and an event source.
    virtual bool AddNamedItem(const WChar* name, IDispatch* object, DWORD flags) = 0;
    virtual bool BindElementEvents(const CXmlNode* element, const WChar* itemName) = 0;
    virtual bool RunScriptElements(const CXmlNode* element) = 0;
    // Connected starts the engine's event handling.
    virtual bool SetScriptState(ScriptState state) = 0;
    virtual void StopEngine() = 0;
    virtual bool IsStarted() = 0;
    // Lets a debugger attach to the engine's scripts.
    virtual void EnableDebugging(bool on) = 0;
    // Keeps the script text in a private heap of the host (configuration
    // "debug"); nothing by default.
    virtual void CreateHeap() {}
    // Runs script text in the host's language (text other programs send the
    // main window); false when it did not run.
    virtual bool ExecuteScriptText(const WChar* text) {
        (void)text;
        return false;
    }
    // Evaluates an expression in the host's language into *result (which
    // the caller clears); false when it did not evaluate.
    virtual bool Evaluate(const WChar* expression, VARIANT* result) {
        (void)expression;
        (void)result;
        return false;
    }
};

class IScriptServices {
public:
    virtual ~IScriptServices() = default;
    // Does nothing for a null source or while scripting is off.
    virtual void FireScriptEvent(IDispatch* source, int eventId, bool clearResult, int id) = 0;
    // The script Layer object of a layer, with one reference for the caller.
    virtual IDispatch* CreateLayerObject(CLayer* layer) = 0;
    // The layer is closing (its files are still open): the object lets go
    // of it. Called before the layer releases its reference.
    virtual void DetachLayerObject(IDispatch* object) { (void)object; }
    virtual std::unique_ptr<IScriptHost> CreateScriptHost() = 0;
    // True when the element has an attribute named after a script event
    // (with the prefix, when one is given).
    virtual bool HasEventAttributes(const CXmlNode* element, const WChar* prefix) = 0;
    // True when the first SCRIPT below the element names a language.
    virtual bool GetScriptLanguage(const CXmlNode* element, WString& language) = 0;
    // Registers the application's system objects (Application, Map, ...,
    // ThisEvent) as named items of a started host: a layer file's scripts
    // see them beside "Layer". Nothing while scripting is off.
    virtual void RegisterSystemObjects(IScriptHost* host) { (void)host; }
    // Runs a clean-up that may destroy what a script is using (a layer, a
    // form): at once when no script or event runs, else when the outermost
    // one has returned. While scripting is off: at once.
    virtual void RunAfterScripts(std::function<void()> cleanUp) {
        if (cleanUp) cleanUp();
    }

    // The answer of the event being handled: its result (which a handler may
    // set to False), and the message type and text an OnValidate handler
    // leaves. While scripting is off nothing handles an event: the result is
    // the value last set, the type 0 and the text empty.
    virtual void SetEventResultBool(bool result) { m_eventResult = result; }
    virtual void ResetEventState() { m_eventResult = true; }
    virtual bool GetEventResultBool(bool clear) {
        const bool result = m_eventResult;
        if (clear) m_eventResult = true;
        return result;
    }
    virtual UINT GetEventMessageType() { return 0; }
    virtual WString GetEventMessageText() { return {}; }

private:
    bool m_eventResult = true;
};

// The installed host, else the scripting-off services. Never null.
IScriptServices* GetScriptServices();
void SetScriptServices(IScriptServices* services);

inline void FireScriptEvent(IDispatch* source, int eventId, bool clearResult, int id) {
    GetScriptServices()->FireScriptEvent(source, eventId, clearResult, id);
}

// A counted object that answers no members: what a layer holds as its
// script object while scripting is off.
IDispatch* CreatePlainScriptObject();
