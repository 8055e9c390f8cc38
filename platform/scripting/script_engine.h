// The script engine interface, shaped like the platform's active scripting.
//
// Contract (what a host may rely on, what an engine must do):
// - Creation by programmatic identifier: CreateScriptEngine(u"VBScript", ...)
//   or u"JScript" (names compared without regard to case). Engines register a
//   factory with RegisterScriptEngine (the built-in ones at load time).
//   Unknown names answer CLASS_E_CLASSNOTAVAILABLE. The created object answers
//   IID_IActiveScript and IID_IActiveScriptParse.
// - Setup: IActiveScriptParse::InitNew, then IActiveScript::SetScriptSite.
//   The engine AddRef's the site and releases it at Close.
// - States (SCRIPTSTATE values are the platform's):
//     INITIALIZED (5)   code is parsed and kept; immediate code waits;
//     STARTED (1)       queued immediate code runs, in the order parsed;
//     CONNECTED (2)     also hooks up event handlers (below);
//     DISCONNECTED (3)  handlers unhooked; newly parsed code still runs;
//     CLOSED (4)        everything unadvised, named items and site released.
//   Going back to CONNECTED hooks up again, including handlers added since the
//   last connect. In STARTED/CONNECTED/DISCONNECTED, ParseScriptText runs the
//   text at once. Every state change is told to the site (OnStateChange).
// - AddNamedItem(name, flags): SCRIPTITEM_ISVISIBLE makes the name resolve in
//   scripts, SCRIPTITEM_ISSOURCE lets its events be bound,
//   SCRIPTITEM_GLOBALMEMBERS makes the object's members resolve unqualified.
//   The engine asks the site lazily (GetItemInfo, mask SCRIPTINFO_IUNKNOWN for
//   the object, SCRIPTINFO_ITYPEINFO for the coclass type information).
//   Name resolution order: script variables and procedures first, then named
//   items by name, then global-member items in registration order.
// - ParseScriptText: statements with SCRIPTTEXT_ISVISIBLE|SCRIPTTEXT_ISPERSISTENT
//   (0x42) and a source context cookie; expressions with SCRIPTTEXT_ISEXPRESSION
//   (0x20) give their value in *result. Code persists: later texts see earlier
//   globals and procedures. startingLine is added to reported line numbers.
// - AddScriptlet(itemName, eventName, code): the code is a handler body for
//   item.event; event names match the source interface's method names without
//   regard to case. Several scriptlets may be bound to one event; they run in
//   the order they were added.
// - Event hookup at connect: for each ISSOURCE item, the coclass type info's
//   default source interface gives the event names and DISPIDs; the engine
//   finds the object's connection point for that interface and Advises a sink
//   IDispatch; the sink's Invoke(DISPID) runs the bound handlers.
// - Errors (syntax and run-time) are reported synchronously through
//   IActiveScriptSite::OnScriptError before the failing call returns
//   (the call then answers a failure, SCRIPT_E_REPORTED when the site took
//   it). IActiveScriptError gives the context cookie, the 0-based line, the
//   0-based character position, the source line text and an EXCEPINFO
//   (scode = the COM failure of a member, or the engine's own code). The
//   engine stays usable afterwards.
// - Engines are re-entrant on their one thread: a handler may fire events that
//   run handlers in the same engine or another.
// - GetScriptDispatch(nullptr) gives the global namespace as IDispatch
//   (script variables as properties, procedures as methods).
#pragma once

#include <cstdint>

#include "platform/com/com.h"
#include "platform/com/typeinfo.h"
#include "platform/types.h"

enum SCRIPTSTATE : int32_t {
    SCRIPTSTATE_UNINITIALIZED = 0,
    SCRIPTSTATE_STARTED = 1,
    SCRIPTSTATE_CONNECTED = 2,
    SCRIPTSTATE_DISCONNECTED = 3,
    SCRIPTSTATE_CLOSED = 4,
    SCRIPTSTATE_INITIALIZED = 5,
};

enum : uint32_t {
    SCRIPTITEM_ISVISIBLE = 0x2,
    SCRIPTITEM_ISSOURCE = 0x4,
    SCRIPTITEM_GLOBALMEMBERS = 0x8,
    SCRIPTITEM_ISPERSISTENT = 0x40,
    SCRIPTITEM_CODEONLY = 0x200,
    SCRIPTITEM_NOCODE = 0x400,
};

enum : uint32_t {
    SCRIPTINFO_IUNKNOWN = 0x1,
    SCRIPTINFO_ITYPEINFO = 0x2,
};

enum : uint32_t {
    SCRIPTTEXT_ISVISIBLE = 0x2,
    SCRIPTTEXT_ISEXPRESSION = 0x20,
    SCRIPTTEXT_ISPERSISTENT = 0x40,
};

// Failure answered by a call whose error was already reported to the site.
constexpr HRESULT SCRIPT_E_REPORTED = static_cast<HRESULT>(0x80020101);
// Engine-defined run-time and syntax errors use this facility: 0x800A0000 + number.
constexpr HRESULT MakeScriptError(uint16_t number) {
    return static_cast<HRESULT>(0x800A0000u | number);
}

extern const IID IID_IActiveScript;
extern const IID IID_IActiveScriptParse;
extern const IID IID_IActiveScriptSite;
extern const IID IID_IActiveScriptSiteWindow;
extern const IID IID_IActiveScriptError;
extern const IID IID_IActiveScriptSiteInterruptPoll;

struct IActiveScriptError : IUnknown {
    // The exception record; the caller owns the strings it receives.
    virtual HRESULT GetExceptionInfo(EXCEPINFO* out) = 0;
    // Source context cookie, 0-based line, 0-based character position.
    virtual HRESULT GetSourcePosition(uintptr_t* context, uint32_t* line, int32_t* charPos) = 0;
    // The failing line's text (caller frees); E_FAIL when the engine has none.
    virtual HRESULT GetSourceLineText(BSTR* out) = 0;

protected:
    ~IActiveScriptError() = default;
};

struct IActiveScriptSite : IUnknown {
    virtual HRESULT GetLCID(LCID* out) = 0;
    // mask: SCRIPTINFO_IUNKNOWN and/or SCRIPTINFO_ITYPEINFO. Names are matched
    // exactly as registered.
    virtual HRESULT GetItemInfo(const OLECHAR* name, uint32_t mask, IUnknown** item,
                                ITypeInfo** typeInfo) = 0;
    virtual HRESULT GetDocVersionString(BSTR* out) = 0;
    virtual HRESULT OnScriptTerminate(const VARIANT* result, const EXCEPINFO* excep) = 0;
    virtual HRESULT OnStateChange(SCRIPTSTATE state) = 0;
    virtual HRESULT OnScriptError(IActiveScriptError* error) = 0;
    virtual HRESULT OnEnterScript() = 0;
    virtual HRESULT OnLeaveScript() = 0;

protected:
    ~IActiveScriptSite() = default;
};

// Optional second interface of a site (QueryInterface from the site): the
// window that owns message boxes the scripts show.
struct IActiveScriptSiteWindow : IUnknown {
    virtual HRESULT GetWindow(HWND* window) = 0;
    virtual HRESULT EnableModeless(bool enable) = 0;

protected:
    ~IActiveScriptSiteWindow() = default;
};

// Optional interface of a site: asked now and then while a script runs
// (the abort poll). S_FALSE stops the running script with an error; the
// engine stays usable.
struct IActiveScriptSiteInterruptPoll : IUnknown {
    virtual HRESULT QueryContinue() = 0;

protected:
    ~IActiveScriptSiteInterruptPoll() = default;
};

struct IActiveScript : IUnknown {
    virtual HRESULT SetScriptSite(IActiveScriptSite* site) = 0;
    virtual HRESULT GetScriptSite(REFIID iid, void** out) = 0;
    virtual HRESULT SetScriptState(SCRIPTSTATE state) = 0;
    virtual HRESULT GetScriptState(SCRIPTSTATE* out) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT AddNamedItem(const OLECHAR* name, uint32_t flags) = 0;
    // itemName null: the global namespace.
    virtual HRESULT GetScriptDispatch(const OLECHAR* itemName, IDispatch** out) = 0;

protected:
    ~IActiveScript() = default;
};

struct IActiveScriptParse : IUnknown {
    virtual HRESULT InitNew() = 0;
    // Binds code to itemName.eventName. *name (optional) receives the
    // scriptlet's name; the caller frees it.
    virtual HRESULT AddScriptlet(const OLECHAR* defaultName, const OLECHAR* code,
                                 const OLECHAR* itemName, const OLECHAR* subItemName,
                                 const OLECHAR* eventName, const OLECHAR* delimiter,
                                 uintptr_t context, uint32_t startingLine, uint32_t flags,
                                 BSTR* name, EXCEPINFO* excep) = 0;
    virtual HRESULT ParseScriptText(const OLECHAR* code, const OLECHAR* itemName,
                                    IUnknown* contextObject, const OLECHAR* delimiter,
                                    uintptr_t context, uint32_t startingLine, uint32_t flags,
                                    VARIANT* result, EXCEPINFO* excep) = 0;

protected:
    ~IActiveScriptParse() = default;
};

// ---- engine registry (process-wide) ----

// Makes a new engine object with one reference.
using ScriptEngineFactory = HRESULT (*)(IUnknown** out);

// Registers (or replaces) an engine under a programmatic identifier.
void RegisterScriptEngine(WStringView progId, const CLSID& clsid, ScriptEngineFactory factory);
// Removes a registration (tests); false when there was none.
bool UnregisterScriptEngine(WStringView progId);
// The engine's class identifier; false when no engine has that name.
bool ScriptEngineClsid(WStringView progId, CLSID* out);
// Creates an engine by name and queries it for iid.
HRESULT CreateScriptEngine(WStringView progId, REFIID iid, void** out);

// ---- nesting of script runs (process-wide) ----
//
// Every run of script code (an engine's text, expression or event handler)
// and every event the program fires counts as one entry, over all engines
// and hosts of the process. A handler that fires an event that runs a
// handler... nests on the one native stack; past kMaxScriptNesting the
// entry is refused: the engine being entered answers SCRIPT_E_NESTING
// without running anything, and the refusal is kept until the calling
// script's engine takes it after its member call returns and raises
// run-time error 28 "Out of stack space" in that script. An engine's own
// limits (nested procedure calls) count within that engine only.
constexpr int kMaxScriptNesting = 48;
constexpr HRESULT SCRIPT_E_NESTING = MakeScriptError(28);

// False (and the refusal noted) when one more entry would pass the limit.
bool EnterScriptNesting();
void LeaveScriptNesting();
int ScriptNestingDepth();
// True once per refusal: the calling engine raises error 28.
bool TakeScriptNestingRefusal();
// Called each time the outermost entry ends (deferred clean-ups).
void SetScriptNestingIdleHook(void (*hook)());

// Brackets one entry; ok() is false when it was refused.
class ScriptNestingScope {
public:
    ScriptNestingScope() : entered_(EnterScriptNesting()) {}
    ~ScriptNestingScope() {
        if (entered_) LeaveScriptNesting();
    }
    ScriptNestingScope(const ScriptNestingScope&) = delete;
    ScriptNestingScope& operator=(const ScriptNestingScope&) = delete;
    bool ok() const { return entered_; }

private:
    bool entered_;
};

// How many expression texts the engines compiled (each engine keeps the
// compiled form of an expression by its text); for tests and benchmarks.
void CountScriptExpressionCompile();
uint64_t ScriptExpressionCompileCount();
