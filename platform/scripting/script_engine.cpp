#include "platform/scripting/script_engine.h"

#include <atomic>
#include <map>
#include <mutex>

// Interface identifiers as the platform defines them.
const IID IID_IActiveScript = {
    0xBB1A2AE1, 0xA4F9, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};
const IID IID_IActiveScriptParse = {
    0xC7EF7658, 0xE1EE, 0x480E, {0x97, 0xEA, 0xD5, 0x2C, 0xB4, 0xD7, 0x6D, 0x17}};
const IID IID_IActiveScriptSite = {
    0xDB01A1E3, 0xA42B, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};
const IID IID_IActiveScriptSiteWindow = {
    0xD10F6761, 0x83E9, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};
const IID IID_IActiveScriptError = {
    0xEAE1BA61, 0xA4ED, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};
const IID IID_IActiveScriptSiteInterruptPoll = {
    0x539698A0, 0xCDCA, 0x11CF, {0xA5, 0xEB, 0x00, 0xAA, 0x00, 0x47, 0xA0, 0x63}};

namespace {

struct Registration {
    CLSID clsid;
    ScriptEngineFactory factory;
};

struct Registry {
    std::mutex lock;
    std::map<WString, Registration> byName;  // lower-case names
};

Registry& TheRegistry() {
    static Registry r;
    return r;
}

}  // namespace

void RegisterScriptEngine(WStringView progId, const CLSID& clsid, ScriptEngineFactory factory) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> g(r.lock);
    r.byName[text::ToLower(progId)] = Registration{clsid, factory};
}

bool UnregisterScriptEngine(WStringView progId) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> g(r.lock);
    return r.byName.erase(text::ToLower(progId)) > 0;
}

bool ScriptEngineClsid(WStringView progId, CLSID* out) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> g(r.lock);
    auto it = r.byName.find(text::ToLower(progId));
    if (it == r.byName.end()) return false;
    if (out) *out = it->second.clsid;
    return true;
}

HRESULT CreateScriptEngine(WStringView progId, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ScriptEngineFactory factory = nullptr;
    {
        Registry& r = TheRegistry();
        std::lock_guard<std::mutex> g(r.lock);
        auto it = r.byName.find(text::ToLower(progId));
        if (it == r.byName.end()) return CLASS_E_CLASSNOTAVAILABLE;
        factory = it->second.factory;
    }
    IUnknown* engine = nullptr;
    HRESULT hr = factory(&engine);
    if (FAILED(hr)) return hr;
    if (!engine) return E_FAIL;
    hr = engine->QueryInterface(iid, out);
    engine->Release();
    return hr;
}

// ---- nesting ----

namespace {
// Scripts run on the user-interface thread only; these are not guarded.
int g_nesting = 0;
bool g_refused = false;
void (*g_idleHook)() = nullptr;
}  // namespace

bool EnterScriptNesting() {
    if (g_nesting >= kMaxScriptNesting) {
        g_refused = true;
        return false;
    }
    ++g_nesting;
    return true;
}

void LeaveScriptNesting() {
    if (g_nesting > 0 && --g_nesting == 0) {
        g_refused = false;
        if (g_idleHook) g_idleHook();
    }
}

int ScriptNestingDepth() { return g_nesting; }

bool TakeScriptNestingRefusal() {
    bool r = g_refused;
    g_refused = false;
    return r;
}

void SetScriptNestingIdleHook(void (*hook)()) { g_idleHook = hook; }

namespace {
std::atomic<uint64_t> g_expressionCompiles{0};
}  // namespace

void CountScriptExpressionCompile() { ++g_expressionCompiles; }
uint64_t ScriptExpressionCompileCount() { return g_expressionCompiles; }
