// The "JScript" engine: ECMAScript on duktape behind the engine interface,
// adapted to behave as the classic engine scripts were written for (error
// numbers and texts, the legacy built-ins, dates, conditional compilation).
// duktape is compiled with our configuration (duktape/zn_duk_config.h):
// runaway recursion ends in "Out of stack space", the site's abort poll can
// stop a running script, and a heap is limited to kHeapLimit bytes.
//
// What it does not do (the platform's JScript can): column numbers (duktape
// reports lines only; errors give character position 0), the
// `function Item::Event()` handler syntax, "unknown" from typeof of a member
// whose read fails.
// Global members are found through the names of the item's type information
// (objects without it contribute none); a script's own `var` of such a name
// is recognised in the common `var Name` form and then wins.
#include "platform/scripting/jscript_engine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/scripting/jscript_internal.h"

namespace jscript {

void DetachScriptObject(ScriptObjectDispatch* d);

namespace {

std::mutex g_lock;
std::map<duk_context*, JsEngine*>& Engines() {
    static std::map<duk_context*, JsEngine*> m;
    return m;
}

void Fatal(void*, const char* msg) {
    std::fprintf(stderr, "script engine: fatal duktape error: %s\n", msg ? msg : "");
    std::abort();
}

// The heap's memory: a script that piles up data ends with "Out of memory"
// instead of taking the device's memory. Each block carries its size.
constexpr size_t kHeapLimit = size_t(256) << 20;
constexpr size_t kBlockHeader = 16;

void* HeapAlloc(void* udata, duk_size_t size) {
    auto* engine = static_cast<JsEngine*>(udata);
    size_t& used = engine->HeapBytes();
    if (size > kHeapLimit || used + size > kHeapLimit) return nullptr;
    auto* p = static_cast<char*>(std::malloc(size + kBlockHeader));
    if (!p) return nullptr;
    *reinterpret_cast<size_t*>(p) = size;
    used += size;
    return p + kBlockHeader;
}

void HeapFree(void* udata, void* ptr) {
    if (!ptr) return;
    auto* p = static_cast<char*>(ptr) - kBlockHeader;
    static_cast<JsEngine*>(udata)->HeapBytes() -= *reinterpret_cast<size_t*>(p);
    std::free(p);
}

void* HeapRealloc(void* udata, void* ptr, duk_size_t size) {
    if (!ptr) return HeapAlloc(udata, size);
    if (size == 0) {
        HeapFree(udata, ptr);
        return nullptr;
    }
    size_t& used = static_cast<JsEngine*>(udata)->HeapBytes();
    auto* p = static_cast<char*>(ptr) - kBlockHeader;
    size_t old = *reinterpret_cast<size_t*>(p);
    if (size > kHeapLimit || used - old + size > kHeapLimit) return nullptr;
    auto* q = static_cast<char*>(std::realloc(p, size + kBlockHeader));
    if (!q) return nullptr;
    *reinterpret_cast<size_t*>(q) = size;
    used = used - old + size;
    return q + kBlockHeader;
}

const char* const kName = DUK_HIDDEN_SYMBOL("n");
const char* const kIsItem = DUK_HIDDEN_SYMBOL("i");

class JsCode final : public CompiledCode {
public:
    JsCode(JsEngine* e, uint32_t id) : engine_(e), id_(id) {}
    ~JsCode() override;
    uint32_t Id() const { return id_; }

private:
    JsEngine* engine_;
    uint32_t id_;
};

// The name and kind an accessor was made for (left referenced on the stack).
const char* AccessorNameRaw(duk_context* ctx, duk_size_t* n, bool* isItem) {
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, kName);
    const char* name = duk_get_lstring(ctx, -1, n);
    duk_get_prop_string(ctx, -2, kIsItem);
    *isItem = duk_get_boolean(ctx, -1);
    duk_pop(ctx);
    return name;
}

// Accessors on the global members object.
duk_ret_t GlobalGetter(duk_context* ctx) {
    duk_size_t n;
    bool isItem;
    const char* name = AccessorNameRaw(ctx, &n, &isItem);
    JsEngine* engine = EngineOf(ctx);
    if (!engine || !name) return 0;
    CallOutcome out;
    engine->GetGlobalName(TextOf(name, n), isItem, &out);
    if (FAILED(out.hr)) return ThrowComRaw(ctx, out.hr, out.message, out.source);
    PushVariantRaw(ctx, &out.result);  // the value, or the object of a member to call
    VariantClear(&out.result);
    // A member that must be called: the wrapper hands out its member function.
    if (out.isFunction) duk_get_prop_lstring(ctx, -1, name, n);
    return 1;
}

duk_ret_t GlobalSetter(duk_context* ctx) {
    duk_size_t n;
    bool isItem;
    const char* name = AccessorNameRaw(ctx, &n, &isItem);
    JsEngine* engine = EngineOf(ctx);
    if (!engine || !name) return 0;
    if (isItem) {
        // Assigning to an item's name makes it a script variable.
        duk_push_global_object(ctx);
        duk_push_lstring(ctx, name, n);
        duk_dup(ctx, 0);
        duk_def_prop(ctx, -3,
                     DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE |
                         DUK_DEFPROP_SET_ENUMERABLE | DUK_DEFPROP_SET_CONFIGURABLE);
        return 0;
    }
    VARIANT value;
    ToVariantRaw(ctx, 0, &value);
    CallOutcome out;
    engine->PutGlobalName(TextOf(name, n), &value, &out);
    VariantClear(&value);
    VariantClear(&out.result);
    if (FAILED(out.hr)) return ThrowComRaw(ctx, out.hr, out.message, out.source);
    return 0;
}

HRESULT CreateEngine(IUnknown** out) {
    if (!out) return E_POINTER;
    *out = static_cast<IActiveScript*>(new JsEngine);
    return S_OK;
}

const bool g_registered =
    (RegisterScriptEngine(u"JScript", CLSID_JScriptEngine, &CreateEngine), true);

}  // namespace

JsEngine* EngineOf(duk_context* ctx) {
    std::lock_guard<std::mutex> g(g_lock);
    auto it = Engines().find(ctx);
    return it == Engines().end() ? nullptr : it->second;
}

bool JsEngine::ShouldStop() {
    if (stopping_) return true;
    if (IActiveScriptSite* site = Site()) {
        ComPtr<IActiveScriptSiteInterruptPoll> poll;
        if (SUCCEEDED(site->QueryInterface(IID_IActiveScriptSiteInterruptPoll,
                                           poll.ReceiveVoid())) &&
            poll && poll->QueryContinue() == S_FALSE)
            stopping_ = true;
    }
    return stopping_;
}

}  // namespace jscript

extern "C" int zn_jscript_should_stop(void* heapUserData) {
    auto* engine = static_cast<jscript::JsEngine*>(heapUserData);
    return engine && engine->ShouldStop() ? 1 : 0;
}

namespace jscript {

JsCode::~JsCode() {
    engine_->DropCode(id_);
}

JsEngine::JsEngine() : ScriptEngineBase(/*caseSensitiveNames=*/true) {
    (void)g_registered;
    ctx_ = duk_create_heap(HeapAlloc, HeapRealloc, HeapFree, this, Fatal);
    if (!ctx_) return;
    {
        std::lock_guard<std::mutex> g(g_lock);
        Engines()[ctx_] = this;
    }
    bool ok = Protected(
        ctx_,
        [](duk_context* c) -> duk_ret_t {
            InstallBridgeRaw(c);
            InstallPreludeRaw(c);
            duk_push_heap_stash(c);
            duk_push_object(c);
            duk_put_prop_string(c, -2, "code");
            // global -> members -> Object.prototype: script declarations on
            // the global object come first, then items and global members.
            duk_push_global_object(c);
            duk_push_object(c);
            duk_dup(c, -1);
            duk_put_prop_string(c, -4, "members");
            duk_set_prototype(c, -2);
            duk_pop(c);
            duk_eval_string(c,
                            "(function (g, n) { if (!Object.prototype.hasOwnProperty.call(g, n)) "
                            "Object.defineProperty(g, n, {value: undefined, writable: true, "
                            "enumerable: true, configurable: true}); })");
            duk_put_prop_string(c, -2, "declare");
            duk_pop(c);
            return 0;
        },
        0, 1);
    duk_pop(ctx_);
    if (!ok) DestroyHeap();
}

JsEngine::~JsEngine() {
    DestroyHeap();
}

void JsEngine::DestroyHeap() {
    expressions_.clear();
    for (ScriptObjectDispatch* d : live_) DetachScriptObject(d);
    live_.clear();
    if (!ctx_) return;
    {
        std::lock_guard<std::mutex> g(g_lock);
        Engines().erase(ctx_);
    }
    // Finalizers release the COM objects scripts still held.
    duk_context* ctx = ctx_;
    ctx_ = nullptr;
    duk_destroy_heap(ctx);
    texts_.clear();
}

void JsEngine::OnClose() {
    DestroyHeap();
}

void JsEngine::DropCode(uint32_t id) {
    texts_.erase(id);
    if (!ctx_) return;
    Protected(
        ctx_,
        [id](duk_context* c) -> duk_ret_t {
            duk_push_heap_stash(c);
            duk_get_prop_string(c, -1, "code");
            duk_del_prop_index(c, -1, id);
            return 0;
        },
        0, 1);
    duk_pop(ctx_);
}

// ---------------------------------------------------------------- names

void JsEngine::SyncItems() {
    auto& items = Items();
    if (!ctx_ || syncedItems_ >= items.size()) return;
    std::vector<std::pair<WString, bool>> names;
    for (size_t i = syncedItems_; i < items.size(); ++i) {
        NamedItem& item = *items[i];
        if (item.flags & SCRIPTITEM_ISVISIBLE) names.emplace_back(item.name, true);
        if (item.flags & SCRIPTITEM_GLOBALMEMBERS) {
            const InterfaceDesc* desc = nullptr;
            ComPtr<ITypeInfo> own;
            if (ITypeInfo* ti = ItemTypeInfo(item)) {
                if (ti->GetCoclassDesc())
                    desc = ti->GetCoclassDesc()->defaultInterface;
                else
                    desc = ti->GetInterfaceDesc();
            }
            if (!desc) {
                if (IDispatch* obj = ItemObject(item)) {
                    if (SUCCEEDED(obj->GetTypeInfo(0, LOCALE_EN_US, own.Receive())) && own)
                        desc = own->GetInterfaceDesc();
                }
            }
            if (desc)
                for (auto& m : desc->members) names.emplace_back(m.name, false);
        }
    }
    syncedItems_ = items.size();
    for (auto& [name, isItem] : names) {
        if (!memberNames_.insert(name).second) continue;
        bool item = isItem;
        const WString& n = name;
        Protected(
            ctx_,
            [&](duk_context* c) -> duk_ret_t {
                duk_push_heap_stash(c);
                duk_get_prop_string(c, -1, "members");
                PushTextRaw(c, n.data(), n.size());
                for (int k = 0; k < 2; ++k) {
                    duk_push_c_function(c, k == 0 ? GlobalGetter : GlobalSetter, k == 0 ? 0 : 1);
                    PushTextRaw(c, n.data(), n.size());
                    duk_put_prop_string(c, -2, kName);
                    duk_push_boolean(c, item);
                    duk_put_prop_string(c, -2, kIsItem);
                }
                duk_def_prop(c, -4,
                             DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER |
                                 DUK_DEFPROP_SET_CONFIGURABLE);
                return 0;
            },
            0, 1);
        duk_pop(ctx_);
    }
}

void JsEngine::GetGlobalName(WStringView name, bool isItem, CallOutcome* out) {
    VariantInit(&out->result);
    out->hr = S_OK;
    out->isFunction = false;
    if (isItem) {
        NamedItem* item = FindItem(name);
        IDispatch* obj = item ? ItemObject(*item) : nullptr;
        VariantFromDispatch(&out->result, obj);
        return;
    }
    DISPID id;
    IDispatch* d = FindGlobalMember(name, &id);
    if (!d) {
        out->hr = DISP_E_UNKNOWNNAME;
        std::snprintf(out->message, sizeof out->message, "'%s' is undefined",
                      text::ToUtf8(name).c_str());
        return;
    }
    GetMember(d, name, out);
    if (SUCCEEDED(out->hr) && out->isFunction) VariantFromDispatch(&out->result, d);
}

void JsEngine::PutGlobalName(WStringView name, VARIANT* value, CallOutcome* out) {
    VariantInit(&out->result);
    DISPID id;
    IDispatch* d = FindGlobalMember(name, &id);
    if (!d) {
        out->hr = DISP_E_UNKNOWNNAME;
        std::snprintf(out->message, sizeof out->message, "'%s' is undefined",
                      text::ToUtf8(name).c_str());
        return;
    }
    const VARIANT* v = VariantDeref(value);
    uint16_t flags = v->vt == VT_DISPATCH ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
    InvokeMember(d, id, flags, value, 1, out);
    if (out->hr == DISP_E_MEMBERNOTFOUND && flags == DISPATCH_PROPERTYPUTREF)
        InvokeMember(d, id, DISPATCH_PROPERTYPUT, value, 1, out);
}

// A script's `var Name` of a global member's name declares its own variable.
void JsEngine::PredeclareVars(WStringView code) {
    if (memberNames_.empty()) return;
    std::vector<WString> declared;
    auto isIdent = [](WChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               c == u'_' || c == u'$';
    };
    for (size_t i = 0; i + 3 < code.size(); ++i) {
        if (code.compare(i, 3, u"var") != 0 || (i > 0 && isIdent(code[i - 1])) ||
            !text::IsBlank(code[i + 3]))
            continue;
        size_t j = i + 3;
        while (j < code.size() && text::IsBlank(code[j])) ++j;
        size_t k = j;
        while (k < code.size() && isIdent(code[k])) ++k;
        WString name(code.substr(j, k - j));
        if (!name.empty() && memberNames_.count(name)) declared.push_back(name);
    }
    for (auto& name : declared) {
        Protected(
            ctx_,
            [&](duk_context* c) -> duk_ret_t {
                duk_push_heap_stash(c);
                duk_get_prop_string(c, -1, "declare");
                duk_push_global_object(c);
                PushTextRaw(c, name.data(), name.size());
                duk_call(c, 2);
                return 0;
            },
            0, 1);
        duk_pop(ctx_);
    }
}

// ---------------------------------------------------------------- running

HRESULT JsEngine::CompileAs(const ScriptText& text, Kind kind, uint32_t* id) {
    if (!ctx_) return E_UNEXPECTED;
    SyncItems();
    if (kind == Kind::kProgram) PredeclareVars(text.code);
    *id = nextId_++;
    texts_[*id] = text;
    WString plain;
    int ccError = 0;
    uint32_t ccLine = 0;
    if (!PreprocessConditional(text.code, &cc_, &plain, &ccError, &ccLine)) {
        ScriptErrorInfo e;
        e.scode = MakeScriptError(static_cast<uint16_t>(ccError));
        const char* t = ClassicErrorText(ccError);
        e.description = text::FromUtf8(t ? t : "Syntax error");
        e.source = u"JScript compilation error";
        e.context = text.context;
        e.line = text.startingLine + ccLine;
        e.lineText = ScriptLineText(text.code, ccLine);
        e.hasLineText = true;
        texts_.erase(*id);
        return ReportError(e);
    }
    std::string src = text::ToUtf8(plain);
    // A handler body becomes a function whose first line is the body's first.
    if (kind == Kind::kFunction) src = "function () {" + src + "\n}";
    std::string file = "#" + std::to_string(*id);
    duk_uint_t flags = kind == Kind::kFunction ? DUK_COMPILE_FUNCTION
                       : kind == Kind::kEval   ? DUK_COMPILE_EVAL
                                               : 0;
    uint32_t key = *id;
    bool ok = Protected(
        ctx_,
        [&](duk_context* c) -> duk_ret_t {
            duk_push_lstring(c, src.data(), src.size());
            duk_push_lstring(c, file.data(), file.size());
            duk_compile(c, flags);
            duk_push_heap_stash(c);
            duk_get_prop_string(c, -1, "code");
            duk_dup(c, -3);
            duk_put_prop_index(c, -2, key);
            return 0;
        },
        0, 1);
    if (!ok) {
        HRESULT hr = ReportTopError(true, key);
        texts_.erase(key);
        return hr;
    }
    duk_pop(ctx_);
    return S_OK;
}

HRESULT JsEngine::Compile(const ScriptText& text, std::unique_ptr<CompiledCode>* out) {
    uint32_t id;
    HRESULT hr = CompileAs(text, Kind::kProgram, &id);
    if (SUCCEEDED(hr)) *out = std::make_unique<JsCode>(this, id);
    return hr;
}

HRESULT JsEngine::CompileScriptlet(const ScriptText& body, WStringView, WStringView,
                                   std::unique_ptr<CompiledCode>* out) {
    uint32_t id;
    HRESULT hr = CompileAs(body, Kind::kFunction, &id);
    if (SUCCEEDED(hr)) *out = std::make_unique<JsCode>(this, id);
    return hr;
}

HRESULT JsEngine::RunCode(CompiledCode& code) {
    if (!ctx_) return E_UNEXPECTED;
    SyncItems();
    uint32_t id = static_cast<JsCode&>(code).Id();
    RunScope run(this);
    bool ok = Protected(
        ctx_,
        [id](duk_context* c) -> duk_ret_t {
            duk_push_heap_stash(c);
            duk_get_prop_string(c, -1, "code");
            duk_get_prop_index(c, -1, id);
            duk_call(c, 0);
            return 0;
        },
        0, 1);
    if (!ok) return ReportTopError(false, id);
    duk_pop(ctx_);
    return S_OK;
}

HRESULT JsEngine::Evaluate(const ScriptText& text, VARIANT* result) {
    // An expression evaluated record by record is compiled once: the
    // compiled form stays in the stash under its text (a bounded number).
    WString key = text::IntToText(int64_t(text.startingLine)) + u":" + text.code;
    uint32_t id;
    HRESULT hr = S_OK;
    // Conditional compilation ("@") depends on the state earlier texts set:
    // such texts are compiled each time.
    const bool cacheable = text.code.find(u'@') == WString::npos;
    auto cached = cacheable ? expressions_.find(key) : expressions_.end();
    if (cached != expressions_.end()) {
        id = cached->second;
        SyncItems();
    } else {
        hr = CompileAs(text, Kind::kEval, &id);
        if (FAILED(hr)) return hr;
        CountScriptExpressionCompile();
    }
    if (cached == expressions_.end() && cacheable) {
        if (expressions_.size() >= kMaxCachedExpressions) {
            // A running expression keeps its function on the value stack.
            for (auto& [k, old] : expressions_) DropCode(old);
            expressions_.clear();
        }
        expressions_.emplace(std::move(key), id);
    }
    VARIANT value;
    VariantInit(&value);
    RunScope run(this);
    bool ok = Protected(
        ctx_,
        [&](duk_context* c) -> duk_ret_t {
            duk_push_heap_stash(c);
            duk_get_prop_string(c, -1, "code");
            duk_get_prop_index(c, -1, id);
            duk_call(c, 0);
            ToVariantRaw(c, -1, &value);
            return 0;
        },
        0, 1);
    if (!ok) {
        hr = ReportTopError(false, id);
        VariantClear(&value);
    } else {
        duk_pop(ctx_);
        VariantClear(result);
        *result = value;
    }
    if (!cacheable) DropCode(id);
    return hr;
}

HRESULT JsEngine::ReportTopError(bool compiling, uint32_t textId) {
    struct {
        std::string name, message, file, source;
        int line = 0;
        bool hasNumber = false;
        bool isError = false;
        int32_t number = 0;
    } info;
    Protected(
        ctx_,
        [&](duk_context* c) -> duk_ret_t {
            if (duk_is_error(c, -1)) {
                info.isError = true;
                duk_get_prop_string(c, -1, "name");
                info.name = duk_safe_to_string(c, -1);
                duk_pop(c);
                // What scripts show is the description; a script-made error
                // without one reports its message.
                duk_get_prop_string(c, -1, "description");
                if (duk_is_undefined(c, -1)) {
                    duk_pop(c);
                    duk_get_prop_string(c, -1, "message");
                }
                info.message = duk_safe_to_string(c, -1);
                duk_pop(c);
                // Where it was made when that is in a script of ours (the
                // engine's own errors), else where it was thrown from.
                duk_get_prop_string(c, -1, "fileName");
                if (duk_is_string(c, -1)) info.file = duk_get_string(c, -1);
                duk_pop(c);
                duk_get_prop_string(c, -1, "lineNumber");
                info.line = duk_get_int(c, -1);
                duk_pop(c);
                if (info.file.empty() || info.file[0] != '#') {
                    duk_get_prop_string(c, -1, kThrowFile);
                    if (duk_is_string(c, -1)) {
                        info.file = duk_get_string(c, -1);
                        duk_get_prop_string(c, -2, kThrowLine);
                        info.line = duk_get_int(c, -1);
                        duk_pop(c);
                    }
                    duk_pop(c);
                }
                duk_get_prop_string(c, -1, "number");
                if (duk_is_number(c, -1)) {
                    info.hasNumber = true;
                    double n = duk_get_number(c, -1);
                    info.number = static_cast<int32_t>(static_cast<uint32_t>(
                        static_cast<int64_t>(std::isfinite(n) ? n : 0)));
                }
                duk_pop(c);
                duk_get_prop_string(c, -1, kErrorSource);
                if (duk_is_string(c, -1)) info.source = duk_get_string(c, -1);
                duk_pop(c);
            } else {
                info.message = duk_safe_to_string(c, -1);
            }
            return 0;
        },
        1, 1);
    duk_pop(ctx_);

    ScriptErrorInfo e;
    uint32_t id = textId;
    if (info.file.size() > 1 && info.file[0] == '#')
        id = static_cast<uint32_t>(std::atoi(info.file.c_str() + 1));
    auto it = texts_.find(id);
    if (it == texts_.end()) it = texts_.find(textId);
    uint32_t line = info.line > 0 ? static_cast<uint32_t>(info.line - 1) : 0;
    if (it != texts_.end()) {
        e.context = it->second.context;
        e.line = it->second.startingLine + line;
        e.lineText = ScriptLineText(it->second.code, line);
        e.hasLineText = true;
    }
    e.description = text::FromUtf8(info.message);
    const bool syntax = info.name == "SyntaxError" && compiling;
    if (info.hasNumber && info.number != 0)
        e.scode = info.number;
    else if (!info.isError) {
        // A thrown value that is not an error object.
        e.scode = MakeScriptError(5022);
        e.description = text::FromUtf8(ClassicErrorText(5022));
    } else
        e.scode = MakeScriptError(5022);
    if (!info.source.empty())
        e.source = text::FromUtf8(info.source);
    else
        e.source = compiling || syntax ? u"JScript compilation error" : u"JScript runtime error";
    return ReportError(e);
}

HRESULT JsEngine::GetGlobalDispatch(IDispatch** out) {
    if (!ctx_) return E_UNEXPECTED;
    IDispatch* d = nullptr;
    bool ok = Protected(
        ctx_,
        [&](duk_context* c) -> duk_ret_t {
            duk_push_global_object(c);
            d = NewScriptObjectDispatch(this, c, -1);
            return 0;
        },
        0, 1);
    duk_pop(ctx_);
    if (!ok || !d) return E_FAIL;
    *out = d;
    return S_OK;
}

}  // namespace jscript

const CLSID CLSID_JScriptEngine = MakeProgramGuid(0x0E5C0001);
