// Inside the "JScript" engine: the bridge between duktape values and
// automation values. Internal to platform/scripting.
//
// Side effects and safety rules (duktape reports errors with longjmp):
// - A function that may throw a duktape error ("Raw" in its name, and every
//   native callback) holds no C++ object with a destructor in its own frame
//   while it calls duktape; such objects live in the caller's frame, which is
//   protected by duk_safe_call (Protected below) or duk_pcall.
// - COM work (Invoke, conversions, strings) happens in helpers that make no
//   throwing duktape calls; natives collect their outcome in plain structs and
//   throw only once nothing with a destructor is alive.
// - Invoking a COM member can run script again (an event fired from inside a
//   member runs handlers in this or another engine): the value stack is left
//   balanced by every nested run.
#pragma once

#include "platform/scripting/duktape/zn_duk_config.h"

#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "platform/com/com.h"

namespace jscript {

class JsEngine;

// The engine that owns a heap (null once the heap is gone).
JsEngine* EngineOf(duk_context* ctx);

// Runs f(ctx) -> duk_ret_t under duk_safe_call. On failure the error value is
// left as the only result (nrets slots in total) and false is returned.
template <class F>
bool Protected(duk_context* ctx, F&& f, duk_idx_t nargs = 0, duk_idx_t nrets = 0) {
    using Fn = std::remove_reference_t<F>;
    if (!duk_check_stack(ctx, nrets + 16)) return false;
    duk_int_t rc = duk_safe_call(
        ctx, [](duk_context* c, void* ud) -> duk_ret_t { return (*static_cast<Fn*>(ud))(c); }, &f,
        nargs, nrets);
    return rc == DUK_EXEC_SUCCESS;
}

// Sets up the heap: the wrapper handler, the wrapper table, Enumerator.
// Throws (call protected).
void InstallBridgeRaw(duk_context* ctx);

// Runs the prelude (the built-ins written in script). Throws.
void InstallPreludeRaw(duk_context* ctx);

// Pushes a VARIANT as a JS value (objects as wrappers). Throws.
void PushVariantRaw(duk_context* ctx, const VARIANT* v);
// Pushes UTF-16 text as a JS string. Throws.
void PushTextRaw(duk_context* ctx, const WChar* s, size_t n);
// Reads the JS value at idx into *out (initialised first). JS objects other
// than wrappers become script-object dispatches. Throws.
void ToVariantRaw(duk_context* ctx, duk_idx_t idx, VARIANT* out);
// The SAFEARRAY a VBArray object holds (borrowed), or null.
SAFEARRAY* VBArrayOf(duk_context* ctx, duk_idx_t idx);
// Pushes a VBArray object that takes over psa. Throws.
void PushVBArrayRaw(duk_context* ctx, SAFEARRAY* psa);
// The IDispatch a wrapper stands for (borrowed), or null.
IDispatch* WrappedDispatch(duk_context* ctx, duk_idx_t idx);
// Throws a JS Error for a COM failure (with .number = hr). Never returns.
duk_ret_t ThrowComRaw(duk_context* ctx, HRESULT hr, const char* messageUtf8,
                      const char* sourceUtf8 = nullptr);

// ---- conditional compilation (jscript_conditional.cpp) ----
// What @cc_on and @set leave for later texts of the same engine.
struct CcState {
    CcState();
    bool on = false;
    std::map<WString, std::pair<double, bool>> vars;  // value, is a boolean
};
// Rewrites the conditional-compilation parts of code into plain script with
// the same lines. On a malformed directive: false, the classic error number
// and the 0-based line.
bool PreprocessConditional(WStringView code, CcState* state, WString* out, int* errorNumber,
                           uint32_t* errorLine);

// ---- errors (jscript_errors.cpp) ----
// The classic English text of an error number (5009, 1002, ...), or null.
const char* ClassicErrorText(int number);
// The text for a host failure that came without one: the classic text of a
// code in the script facility, the system text of a known code, else "".
std::string HostErrorText(HRESULT hr);
// The error type (DUK_ERR_*) for a host failure code.
int ErrorTypeForHResult(HRESULT hr);
// duktape's own error (name, message) as the classic number and text.
struct ClassicError {
    int32_t number = 0;
    std::string text;
};
ClassicError ClassifyEngineError(std::string_view name, std::string_view message);
// Hidden properties of error objects: the source given by a host's
// exception; the compiled text ("#id") and line where it was thrown.
extern const char* const kErrorSource;
extern const char* const kThrowFile;
extern const char* const kThrowLine;
// The built-ins written in script (jscript_prelude.cpp).
extern const char* const kPrelude;

// A JS string (CESU-8 bytes) as UTF-16.
WString TextOf(const char* s, size_t n);
// UTF-16 as CESU-8 (each unit on its own), the form duktape keeps strings
// and source in, so characters beyond the BMP stay two units long.
std::string ToCesu8(WStringView s);

// Outcome of a COM call made for a native callback (no destructor: natives
// keep it in their frame).
struct CallOutcome {
    HRESULT hr = S_OK;
    VARIANT result;  // initialised by the helpers
    bool isFunction = false;
    DISPID dispid = 0;
    char message[400] = {0};  // UTF-8 description when hr failed
    char source[128] = {0};   // UTF-8 source of the host's exception, if any
};

// Property get of `name` on d: a value, or (isFunction) a member that must
// be called (methods and properties with arguments).
void GetMember(IDispatch* d, WStringView name, CallOutcome* out);
// Whether the object gives type information.
bool HasTypeInfo(IDispatch* d);
// The member to call for `name` (no property read): isFunction and dispid.
void LookUpMethod(IDispatch* d, WStringView name, CallOutcome* out);
// Invoke with arguments in natural order.
void InvokeMember(IDispatch* d, DISPID id, uint16_t flags, VARIANT* args, uint32_t count,
                  CallOutcome* out);

// Script-object dispatch over a JS value kept in the heap stash.
IDispatch* NewScriptObjectDispatch(JsEngine* engine, duk_context* ctx, duk_idx_t idx);
// For the global namespace dispatch and for handing JS objects to COM.
IDispatch* ScriptObjectFromStash(JsEngine* engine, uint32_t stashId);

}  // namespace jscript

#include <map>
#include <set>

#include "platform/scripting/engine_base.h"

namespace jscript {

class ScriptObjectDispatch;

class JsEngine final : public ScriptEngineBase {
public:
    JsEngine();
    duk_context* Context() const { return ctx_; }
    // Stash slots for values held by C++ (script-object dispatches).
    uint32_t NewStashId() { return nextId_++; }
    void Track(ScriptObjectDispatch* d) { live_.insert(d); }
    void Untrack(ScriptObjectDispatch* d) { live_.erase(d); }
    // Accessor callbacks of names on the global members object.
    void GetGlobalName(WStringView name, bool isItem, CallOutcome* out);
    void PutGlobalName(WStringView name, VARIANT* value, CallOutcome* out);
    // Forgets a compiled text (its code object is gone).
    void DropCode(uint32_t id);
    // Brackets every entry into script code (runs, evaluations, calls from
    // the host); a stop request lasts until the outermost one has returned.
    void EnterRun() { ++runDepth_; }
    void LeaveRun() {
        if (--runDepth_ <= 0) {
            runDepth_ = 0;
            stopping_ = false;
        }
    }
    // Bytes the heap holds (its allocator keeps the count).
    size_t& HeapBytes() { return heapBytes_; }
    // The time-out check: asks the site's interrupt poll whether the
    // running script may go on.
    bool ShouldStop();

protected:
    ~JsEngine() override;
    HRESULT Compile(const ScriptText& text, std::unique_ptr<CompiledCode>* out) override;
    HRESULT RunCode(CompiledCode& code) override;
    HRESULT Evaluate(const ScriptText& text, VARIANT* result) override;
    HRESULT CompileScriptlet(const ScriptText& body, WStringView item, WStringView event,
                             std::unique_ptr<CompiledCode>* out) override;
    HRESULT GetGlobalDispatch(IDispatch** out) override;
    void OnClose() override;

private:
    enum class Kind { kProgram, kFunction, kEval };
    HRESULT CompileAs(const ScriptText& text, Kind kind, uint32_t* id);
    // Reports the error value on top of the stack (and pops it).
    HRESULT ReportTopError(bool compiling, uint32_t textId);
    void SyncItems();
    void PredeclareVars(WStringView code);
    void DestroyHeap();

    duk_context* ctx_ = nullptr;
    uint32_t nextId_ = 1;
    std::map<uint32_t, ScriptText> texts_;
    // Compiled expressions by their text (and starting line).
    static constexpr size_t kMaxCachedExpressions = 256;
    std::map<WString, uint32_t> expressions_;
    std::set<ScriptObjectDispatch*> live_;
    std::set<WString> memberNames_;  // names defined on the global members object
    size_t syncedItems_ = 0;
    int runDepth_ = 0;
    bool stopping_ = false;
    CcState cc_;
    size_t heapBytes_ = 0;
};

// EnterRun/LeaveRun for a scope.
class RunScope {
public:
    explicit RunScope(JsEngine* e) : e_(e) { e_->EnterRun(); }
    ~RunScope() { e_->LeaveRun(); }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    JsEngine* e_;
};

}  // namespace jscript
