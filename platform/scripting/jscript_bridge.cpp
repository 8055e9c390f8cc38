// The bridge between duktape values and automation values: wrappers for
// IDispatch (a callable Proxy per object, one per object identity), VARIANT
// conversions, the Enumerator object, and IDispatch over script objects.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/scripting/automation_objects.h"
#include "platform/scripting/jscript_internal.h"

#define ZN_HIDDEN(name) DUK_HIDDEN_SYMBOL(name)

namespace jscript {

namespace {

const char* const kDisp = ZN_HIDDEN("disp");  // on wrapper targets: the IDispatch*
const char* const kWho = ZN_HIDDEN("w");      // on member functions: the wrapper
const char* const kId = ZN_HIDDEN("id");      // on member functions: the DISPID
const char* const kEnum = ZN_HIDDEN("enum");  // on Enumerator objects: the state
const uint32_t kMaxArgs = 32;

// ---------------------------------------------------------------- helpers without duktape

BSTR BstrFromJs(const char* s, size_t n) {
    WString w = TextOf(s, n);
    return SysAllocStringLen(w.data(), static_cast<uint32_t>(w.size()));
}

void SetMessage(CallOutcome* out, WStringView text) {
    std::string m = text::ToUtf8(text);
    std::snprintf(out->message, sizeof out->message, "%s", m.c_str());
}

// JS time values are UTC milliseconds; OLE dates are wall-clock local time.
DATE OleFromJsTime(double ms) {
    double secs = std::floor(ms / 1000.0);
    time_t t = static_cast<time_t>(secs);
    tm parts{};
    localtime_r(&t, &parts);
    DATE d = 0;
    DateFromParts(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                  parts.tm_min, parts.tm_sec, &d);
    return d;
}

double JsTimeFromOle(DATE d) {
    SYSTEMTIME st;
    if (!VariantTimeToSystemTime(d, &st)) return NAN;
    tm parts{};
    parts.tm_year = st.wYear - 1900;
    parts.tm_mon = st.wMonth - 1;
    parts.tm_mday = st.wDay;
    parts.tm_hour = st.wHour;
    parts.tm_min = st.wMinute;
    parts.tm_sec = st.wSecond;
    parts.tm_isdst = -1;
    return static_cast<double>(mktime(&parts)) * 1000.0;
}

void PutMember(IDispatch* d, WStringView name, VARIANT* value, CallOutcome* out) {
    VariantInit(&out->result);
    DISPID id;
    out->hr = GetDispId(d, name, &id);
    if (FAILED(out->hr)) {
        SetMessage(out, DescribeHResult(out->hr));
        return;
    }
    const VARIANT* v = VariantDeref(value);
    if (v->vt == VT_DISPATCH) {
        InvokeMember(d, id, DISPATCH_PROPERTYPUTREF, value, 1, out);
        if (out->hr != DISP_E_MEMBERNOTFOUND) return;
    }
    InvokeMember(d, id, DISPATCH_PROPERTYPUT, value, 1, out);
}

struct EnumState {
    IEnumVARIANT* e;
    VARIANT current;
    bool atEnd;
};

void Fetch(EnumState* s) {
    VariantClear(&s->current);
    uint32_t got = 0;
    HRESULT hr = s->e ? s->e->Next(1, &s->current, &got) : S_FALSE;
    s->atEnd = hr != S_OK || got != 1;
}

}  // namespace

WString TextOf(const char* s, size_t n) {
    return text::FromUtf8(std::string_view(s, n));
}

void InvokeMember(IDispatch* d, DISPID id, uint16_t flags, VARIANT* args, uint32_t count,
                  CallOutcome* out) {
    VariantInit(&out->result);
    out->isFunction = false;
    EXCEPINFO ei{};
    ComVariant result;
    HRESULT hr = InvokeHelper(d, id, flags, args, count, &result, &ei);
    // An entry the member made was refused for nesting too deep: the error
    // is the calling script's.
    if (TakeScriptNestingRefusal()) {
        ClearExcepInfo(&ei);
        hr = SCRIPT_E_NESTING;
    }
    if (hr == DISP_E_EXCEPTION) {
        if (ei.pfnDeferredFillIn) ei.pfnDeferredFillIn(&ei);
        hr = ei.scode ? ei.scode : MakeScriptError(ei.wCode);
        WStringView desc = BstrView(ei.bstrDescription);
        if (desc.empty())
            std::snprintf(out->message, sizeof out->message, "%s", HostErrorText(hr).c_str());
        else
            SetMessage(out, desc);
        std::string src = text::ToUtf8(BstrView(ei.bstrSource));
        std::snprintf(out->source, sizeof out->source, "%s", src.c_str());
    } else if (FAILED(hr)) {
        std::snprintf(out->message, sizeof out->message, "%s", HostErrorText(hr).c_str());
    }
    ClearExcepInfo(&ei);
    out->hr = hr;
    if (SUCCEEDED(hr)) out->result = result.Detach();
}

void GetMember(IDispatch* d, WStringView name, CallOutcome* out) {
    VariantInit(&out->result);
    out->isFunction = false;
    DISPID id;
    out->hr = GetDispId(d, name, &id);
    if (FAILED(out->hr)) return;
    out->dispid = id;
    uint32_t count = 0;
    ComPtr<ITypeInfo> ti;
    if (SUCCEEDED(d->GetTypeInfoCount(&count)) && count &&
        SUCCEEDED(d->GetTypeInfo(0, LOCALE_EN_US, ti.Receive())) && ti && ti->GetInterfaceDesc()) {
        const InterfaceDesc* desc = ti->GetInterfaceDesc();
        const MemberDesc* get = desc->Find(id, INVOKE_PROPERTYGET);
        const MemberDesc* fn = desc->Find(id, INVOKE_FUNC);
        // Methods, and properties that take arguments, are called as functions.
        if ((!get && fn) || (get && get->RequiredCount() > 0)) {
            out->isFunction = true;
            return;
        }
    }
    InvokeMember(d, id, DISPATCH_PROPERTYGET, nullptr, 0, out);
    if (out->hr == DISP_E_MEMBERNOTFOUND || out->hr == DISP_E_BADPARAMCOUNT ||
        out->hr == DISP_E_PARAMNOTOPTIONAL) {
        out->hr = S_OK;
        out->isFunction = true;
    }
}

bool HasTypeInfo(IDispatch* d) {
    uint32_t count = 0;
    return SUCCEEDED(d->GetTypeInfoCount(&count)) && count > 0;
}

void LookUpMethod(IDispatch* d, WStringView name, CallOutcome* out) {
    VariantInit(&out->result);
    out->isFunction = true;
    out->hr = GetDispId(d, name, &out->dispid);
}

// ---------------------------------------------------------------- IDispatch over script objects

class ScriptObjectDispatch final : public UntypedDispatch {
public:
    ScriptObjectDispatch(JsEngine* engine, uint32_t id) : engine_(engine), id_(id) {
        engine_->Track(this);
    }
    void Detach() { engine_ = nullptr; }
    JsEngine* Engine() const { return engine_; }
    uint32_t Id() const { return id_; }
    bool Answers(REFIID iid) const override { return iid == IID_IDispatch; }
    HRESULT GetIDsOfNames(REFIID, const OLECHAR* const* names, uint32_t count, LCID,
                          DISPID* ids) override {
        if (!names || !ids || !count) return E_INVALIDARG;
        if (!engine_) return E_UNEXPECTED;
        WString name = names[0] ? WString(names[0]) : WString();
        for (uint32_t i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        // Script names are case-sensitive; a caller from a case-insensitive
        // language finds an exact match first, then any spelling.
        for (size_t i = 0; i < names_.size(); ++i)
            if (names_[i] == name) return ids[0] = static_cast<DISPID>(i + 1), S_OK;
        std::string key = text::ToUtf8(name);
        std::string found;
        bool has = false;
        duk_context* ctx = engine_->Context();
        bool ok = Protected(
            ctx,
            [&](duk_context* c) -> duk_ret_t {
                PushSelfRaw(c);
                has = duk_has_prop_lstring(c, -1, key.data(), key.size());
                if (!has) {
                    duk_enum(c, -1, DUK_ENUM_INCLUDE_NONENUMERABLE);
                    while (duk_next(c, -1, 0)) {
                        duk_size_t n;
                        const char* k = duk_get_lstring(c, -1, &n);
                        if (k && !has && text::CompareNoCaseA(std::string_view(k, n), key) == 0) {
                            found.assign(k, n);
                            has = true;
                        }
                        duk_pop(c);
                    }
                }
                return 0;
            },
            0, 1);
        duk_pop(ctx);
        if (!ok || !has) {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        if (!found.empty()) name = text::FromUtf8(found);
        names_.push_back(name);
        ids[0] = static_cast<DISPID>(names_.size());
        return S_OK;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, uint32_t*) override {
        if (result) VariantInit(result);
        if (!engine_) return E_UNEXPECTED;
        if (id != DISPID_VALUE && (id < 1 || static_cast<size_t>(id) > names_.size()))
            return DISP_E_MEMBERNOTFOUND;
        std::string name = id == DISPID_VALUE ? std::string() : text::ToUtf8(names_[id - 1]);
        uint32_t argc = params ? params->cArgs : 0;
        if (argc > kMaxArgs) return DISP_E_BADPARAMCOUNT;
        const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        if (put && (argc < 1 || name.empty())) return DISP_E_MEMBERNOTFOUND;
        VARIANT value;
        VariantInit(&value);
        bool notCallable = false;
        duk_context* ctx = engine_->Context();
        ComPtr<IDispatch> keep(this);
        RunScope run(engine_);
        bool ok = Protected(
            ctx,
            [&](duk_context* c) -> duk_ret_t {
                PushSelfRaw(c);  // [obj]
                if (put) {
                    duk_push_lstring(c, name.data(), name.size());
                    PushVariantRaw(c, &params->rgvarg[0]);
                    duk_put_prop(c, -3);
                    return 0;
                }
                if (name.empty()) {
                    duk_dup(c, -1);  // [obj, fn]
                    duk_push_undefined(c);
                } else {
                    duk_get_prop_lstring(c, -1, name.data(), name.size());  // [obj, member]
                    if (!(flags & DISPATCH_METHOD) || !duk_is_callable(c, -1)) {
                        if (argc == 0) {
                            ToVariantRaw(c, -1, &value);
                            return 0;
                        }
                        if (!duk_is_callable(c, -1)) {
                            notCallable = true;
                            return 0;
                        }
                    }
                    duk_dup(c, -2);  // this
                }
                if (!duk_is_callable(c, -2)) {
                    if (argc == 0 && name.empty()) {
                        duk_pop_2(c);
                        ToVariantRaw(c, -1, &value);
                        return 0;
                    }
                    notCallable = true;
                    return 0;
                }
                for (uint32_t i = 0; i < argc; ++i)
                    PushVariantRaw(c, &params->rgvarg[argc - 1 - i]);
                duk_call_method(c, static_cast<duk_idx_t>(argc));
                ToVariantRaw(c, -1, &value);
                return 0;
            },
            0, 1);
        if (!ok) {
            std::string message;
            Protected(
                ctx,
                [&](duk_context* c) -> duk_ret_t {
                    message = duk_safe_to_string(c, -1);
                    return 0;
                },
                1, 1);
            duk_pop(ctx);
            VariantClear(&value);
            if (excep)
                FillExcepInfo(excep, E_FAIL, u"JScript runtime error", text::FromUtf8(message));
            return DISP_E_EXCEPTION;
        }
        duk_pop(ctx);
        if (notCallable) {
            VariantClear(&value);
            return DISP_E_MEMBERNOTFOUND;
        }
        if (result)
            *result = value;
        else
            VariantClear(&value);
        return S_OK;
    }
    // Pushes the script value this stands for. Throws.
    void PushSelfRaw(duk_context* c) {
        duk_push_heap_stash(c);
        duk_get_prop_string(c, -1, "objs");
        duk_get_prop_index(c, -1, id_);
        duk_remove(c, -2);
        duk_remove(c, -2);
    }

private:
    ~ScriptObjectDispatch() override {
        if (!engine_) return;
        engine_->Untrack(this);
        duk_context* ctx = engine_->Context();
        uint32_t id = id_;
        Protected(
            ctx,
            [id](duk_context* c) -> duk_ret_t {
                duk_push_heap_stash(c);
                duk_get_prop_string(c, -1, "objs");
                duk_del_prop_index(c, -1, id);
                return 0;
            },
            0, 1);
        duk_pop(ctx);
    }
    JsEngine* engine_;
    uint32_t id_;
    std::vector<WString> names_;
};

void DetachScriptObject(ScriptObjectDispatch* d) {
    d->Detach();
}

IDispatch* NewScriptObjectDispatch(JsEngine* engine, duk_context* ctx, duk_idx_t idx) {
    idx = duk_normalize_index(ctx, idx);
    uint32_t id = engine->NewStashId();
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "objs");
    duk_dup(ctx, idx);
    duk_put_prop_index(ctx, -2, id);
    duk_pop_2(ctx);
    return new ScriptObjectDispatch(engine, id);
}

// ---------------------------------------------------------------- wrappers

IDispatch* WrappedDispatch(duk_context* ctx, duk_idx_t idx) {
    if (!duk_is_function(ctx, idx)) return nullptr;
    duk_get_prop_string(ctx, idx, kDisp);
    auto* d = static_cast<IDispatch*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    return d;
}

namespace {

duk_ret_t WrapperTarget(duk_context*) {
    return 0;
}

// For finalizers: the native pointer kept under a hidden key of the object
// at idx, removed from it so that it is let go of once.
void* TakeHiddenPointer(duk_context* ctx, duk_idx_t idx, const char* key) {
    duk_get_prop_string(ctx, idx, key);
    void* p = duk_get_pointer(ctx, -1);
    duk_pop(ctx);
    if (p) duk_del_prop_string(ctx, idx, key);
    return p;
}

duk_ret_t FinalizeWrapper(duk_context* ctx) {
    if (auto* d = static_cast<IDispatch*>(TakeHiddenPointer(ctx, 0, kDisp))) d->Release();
    return 0;
}

// Forgets wrappers whose object nobody but the wrapper holds; the wrapper
// itself lives on while scripts keep it.
void SweepWrappersRaw(duk_context* ctx) {
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "wrappers");
    duk_enum(ctx, -1, DUK_ENUM_OWN_PROPERTIES_ONLY);
    duk_uarridx_t kept = 0;
    while (duk_next(ctx, -1, 1)) {  // [.. enum key proxy]
        IDispatch* d = WrappedDispatch(ctx, -1);
        bool drop = true;
        if (d) {
            d->AddRef();
            drop = d->Release() <= 1;
        }
        duk_pop(ctx);
        if (drop)
            duk_del_prop(ctx, -3);  // consumes the key
        else {
            duk_pop(ctx);
            ++kept;
        }
    }
    duk_pop(ctx);
    duk_push_uint(ctx, kept);
    duk_put_prop_string(ctx, -3, "wrapperCount");
    duk_push_uint(ctx, kept * 2 + 256);
    duk_put_prop_string(ctx, -3, "wrapperLimit");
    duk_pop_2(ctx);
}

void PushDispatchRaw(duk_context* ctx, IDispatch* d) {
    if (auto* so = dynamic_cast<ScriptObjectDispatch*>(d)) {
        if (so->Engine() && so->Engine()->Context() == ctx) {
            so->PushSelfRaw(ctx);
            return;
        }
    }
    IUnknown* identity = nullptr;
    if (SUCCEEDED(d->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) && identity)
        identity->Release();  // only its address is kept, as the identity
    char key[32];
    std::snprintf(key, sizeof key, "%p", static_cast<void*>(identity ? identity : d));
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "wrappers");  // [stash wrappers]
    if (duk_get_prop_string(ctx, -1, key)) {
        duk_remove(ctx, -2);
        duk_remove(ctx, -2);
        return;
    }
    duk_pop(ctx);
    duk_push_c_function(ctx, WrapperTarget, DUK_VARARGS);  // [stash wrappers target]
    // No prototype: a host object is no instance of Object or Function, and
    // members scripts add to those do not show through it.
    duk_push_bare_object(ctx);
    duk_set_prototype(ctx, -2);
    duk_push_pointer(ctx, d);
    duk_put_prop_string(ctx, -2, kDisp);
    d->AddRef();
    duk_push_c_function(ctx, FinalizeWrapper, 2);
    duk_set_finalizer(ctx, -2);
    duk_get_prop_string(ctx, -3, "handler");
    duk_push_proxy(ctx, 0);  // [stash wrappers proxy]
    duk_dup(ctx, -1);
    duk_put_prop_string(ctx, -3, key);
    duk_get_prop_string(ctx, -3, "wrapperCount");
    duk_uint_t count = duk_get_uint(ctx, -1) + 1;
    duk_pop(ctx);
    duk_push_uint(ctx, count);
    duk_put_prop_string(ctx, -4, "wrapperCount");
    duk_get_prop_string(ctx, -3, "wrapperLimit");
    duk_uint_t limit = duk_get_uint(ctx, -1);
    duk_pop(ctx);
    duk_remove(ctx, -2);
    duk_remove(ctx, -2);  // [proxy]
    if (count > limit) SweepWrappersRaw(ctx);
}

// A member that must be called: a function remembering the wrapper and DISPID.
void PushMemberFunctionRaw(duk_context* ctx, duk_idx_t who, DISPID id);

duk_ret_t MemberCall(duk_context* ctx) {
    duk_idx_t argc = duk_get_top(ctx);
    if (argc > static_cast<duk_idx_t>(kMaxArgs))
        return ThrowComRaw(ctx, DISP_E_BADPARAMCOUNT, nullptr);
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, kWho);
    IDispatch* d = WrappedDispatch(ctx, -1);
    duk_get_prop_string(ctx, -2, kId);
    DISPID id = duk_get_int(ctx, -1);
    duk_pop_3(ctx);
    if (!d) return ThrowComRaw(ctx, E_UNEXPECTED, nullptr);
    VARIANT args[kMaxArgs];
    for (duk_idx_t i = 0; i < argc; ++i) ToVariantRaw(ctx, i, &args[i]);
    CallOutcome out;
    d->AddRef();
    InvokeMember(d, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, static_cast<uint32_t>(argc),
                 &out);
    d->Release();
    for (duk_idx_t i = 0; i < argc; ++i) VariantClear(&args[i]);
    if (FAILED(out.hr)) return ThrowComRaw(ctx, out.hr, out.message, out.source);
    PushVariantRaw(ctx, &out.result);
    VariantClear(&out.result);
    return 1;
}

void PushMemberFunctionRaw(duk_context* ctx, duk_idx_t who, DISPID id) {
    who = duk_normalize_index(ctx, who);
    duk_push_c_function(ctx, MemberCall, DUK_VARARGS);
    duk_dup(ctx, who);
    duk_put_prop_string(ctx, -2, kWho);
    duk_push_int(ctx, id);
    duk_put_prop_string(ctx, -2, kId);
}

// valueOf / toString of a wrapper: the object's default value.
duk_ret_t DefaultValue(duk_context* ctx) {
    bool asString = duk_get_current_magic(ctx) == 1;
    duk_push_this(ctx);
    IDispatch* d = WrappedDispatch(ctx, -1);
    CallOutcome out;
    VariantInit(&out.result);
    out.hr = E_FAIL;
    if (d) InvokeMember(d, DISPID_VALUE, DISPATCH_PROPERTYGET, nullptr, 0, &out);
    if (FAILED(out.hr)) {
        if (asString) duk_push_string(ctx, "[object]");
        return 1;  // valueOf: the object itself
    }
    PushVariantRaw(ctx, &out.result);
    VariantClear(&out.result);
    if (asString) duk_to_string(ctx, -1);
    return 1;
}

duk_ret_t TrapGet(duk_context* ctx) {
    IDispatch* d = WrappedDispatch(ctx, 0);
    if (d && duk_is_symbol(ctx, 1)) {
        // Object.prototype.toString gives "[object Object]".
        duk_size_t n;
        const char* key = duk_get_lstring(ctx, 1, &n);
        static const char kTag[] = "\x81Symbol.toStringTag\xff";
        if (n == sizeof kTag - 1 && std::memcmp(key, kTag, n) == 0) {
            duk_push_string(ctx, "Object");
            return 1;
        }
        return 0;
    }
    if (!d || !duk_is_string(ctx, 1)) return 0;
    duk_size_t n;
    const char* key = duk_get_lstring(ctx, 1, &n);
    if (std::strcmp(key, "valueOf") == 0 || std::strcmp(key, "toString") == 0) {
        duk_push_c_function(ctx, DefaultValue, 0);
        duk_set_magic(ctx, -1, key[0] == 't' ? 1 : 0);
        return 1;
    }
    // o.m(...) on an object without type information: the member is
    // called, not read as a property first.
    const bool call = zn_jscript_method_base && zn_jscript_method_base == duk_get_heapptr(ctx, 2) &&
                      zn_jscript_method_key == duk_get_heapptr(ctx, 1);
    zn_jscript_method_base = nullptr;
    // typeof o.m: a read that fails gives "unknown" instead of an error
    const bool forTypeof =
        zn_jscript_typeof_base && zn_jscript_typeof_base == duk_get_heapptr(ctx, 2);
    zn_jscript_typeof_base = nullptr;
    CallOutcome out;
    d->AddRef();
    if (call && !HasTypeInfo(d))
        LookUpMethod(d, TextOf(key, n), &out);
    else
        GetMember(d, TextOf(key, n), &out);
    d->Release();
    if (out.hr == DISP_E_UNKNOWNNAME) return 0;  // unknown names read as undefined
    if (FAILED(out.hr) && forTypeof) {
        duk_push_c_lightfunc(ctx, zn_jscript_unknown_marker, 0, 0, 0);
        return 1;
    }
    if (FAILED(out.hr)) return ThrowComRaw(ctx, out.hr, out.message, out.source);
    if (out.isFunction) {
        PushMemberFunctionRaw(ctx, 0, out.dispid);
        return 1;
    }
    PushVariantRaw(ctx, &out.result);
    VariantClear(&out.result);
    return 1;
}

duk_ret_t TrapSet(duk_context* ctx) {
    IDispatch* d = WrappedDispatch(ctx, 0);
    if (!d || !duk_is_string(ctx, 1) || duk_is_symbol(ctx, 1)) {
        duk_push_false(ctx);
        return 1;
    }
    duk_size_t n;
    const char* key = duk_get_lstring(ctx, 1, &n);
    VARIANT value;
    ToVariantRaw(ctx, 2, &value);
    CallOutcome out;
    d->AddRef();
    PutMember(d, TextOf(key, n), &value, &out);
    d->Release();
    VariantClear(&value);
    VariantClear(&out.result);
    if (FAILED(out.hr)) return ThrowComRaw(ctx, out.hr, out.message, out.source);
    duk_push_true(ctx);
    return 1;
}

duk_ret_t TrapHas(duk_context* ctx) {
    IDispatch* d = WrappedDispatch(ctx, 0);
    bool has = false;
    if (d && duk_is_string(ctx, 1) && !duk_is_symbol(ctx, 1)) {
        duk_size_t n;
        const char* key = duk_get_lstring(ctx, 1, &n);
        DISPID id;
        has = SUCCEEDED(GetDispId(d, TextOf(key, n), &id));
    }
    duk_push_boolean(ctx, has);
    return 1;
}

// delete of a member: plain automation objects cannot lose members.
duk_ret_t TrapDelete(duk_context* ctx) {
    duk_push_false(ctx);
    return 1;
}

// Calling a wrapper calls the object's default member: Layers(1).
duk_ret_t TrapApply(duk_context* ctx) {
    IDispatch* d = WrappedDispatch(ctx, 0);
    if (!d) return ThrowComRaw(ctx, E_UNEXPECTED, nullptr);
    duk_size_t argc = duk_get_length(ctx, 2);
    if (argc > kMaxArgs) return ThrowComRaw(ctx, DISP_E_BADPARAMCOUNT, nullptr);
    VARIANT args[kMaxArgs];
    for (duk_size_t i = 0; i < argc; ++i) {
        duk_get_prop_index(ctx, 2, static_cast<duk_uarridx_t>(i));
        ToVariantRaw(ctx, -1, &args[i]);
        duk_pop(ctx);
    }
    CallOutcome out;
    d->AddRef();
    InvokeMember(d, DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args,
                 static_cast<uint32_t>(argc), &out);
    d->Release();
    for (duk_size_t i = 0; i < argc; ++i) VariantClear(&args[i]);
    if (FAILED(out.hr)) return ThrowComRaw(ctx, out.hr, out.message, out.source);
    PushVariantRaw(ctx, &out.result);
    VariantClear(&out.result);
    return 1;
}

// ---------------------------------------------------------------- Enumerator

EnumState* StateOf(duk_context* ctx) {
    duk_push_this(ctx);
    duk_get_prop_string(ctx, -1, kEnum);
    auto* s = static_cast<EnumState*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    return s;
}

duk_ret_t EnumFinalize(duk_context* ctx) {
    if (auto* s = static_cast<EnumState*>(TakeHiddenPointer(ctx, 0, kEnum))) {
        if (s->e) s->e->Release();
        VariantClear(&s->current);
        delete s;
    }
    return 0;
}

duk_ret_t EnumConstruct(duk_context* ctx) {
    if (!duk_is_constructor_call(ctx))
        return ThrowComRaw(ctx, MakeScriptError(5007), "Object expected");
    IDispatch* d = duk_get_top(ctx) > 0 ? WrappedDispatch(ctx, 0) : nullptr;
    if (!d && duk_get_top(ctx) > 0 && !duk_is_undefined(ctx, 0))
        return ThrowComRaw(ctx, MakeScriptError(5007), "Object is not a collection");
    IEnumVARIANT* e = nullptr;
    HRESULT hr = d ? GetEnumerator(d, &e) : S_OK;
    if (FAILED(hr))
        return ThrowComRaw(ctx, MakeScriptError(5007 /* not a collection */),
                           "Object is not a collection");
    auto* s = new EnumState{e, {}, true};
    VariantInit(&s->current);
    Fetch(s);
    duk_push_this(ctx);
    duk_push_pointer(ctx, s);
    duk_put_prop_string(ctx, -2, kEnum);
    duk_push_c_function(ctx, EnumFinalize, 2);
    duk_set_finalizer(ctx, -2);
    return 0;
}

duk_ret_t EnumAtEnd(duk_context* ctx) {
    EnumState* s = StateOf(ctx);
    duk_push_boolean(ctx, !s || s->atEnd);
    return 1;
}

duk_ret_t EnumItem(duk_context* ctx) {
    EnumState* s = StateOf(ctx);
    if (!s || s->atEnd) return 0;
    PushVariantRaw(ctx, &s->current);
    return 1;
}

duk_ret_t EnumMoveNext(duk_context* ctx) {
    if (EnumState* s = StateOf(ctx)) Fetch(s);
    return 0;
}

duk_ret_t EnumMoveFirst(duk_context* ctx) {
    if (EnumState* s = StateOf(ctx)) {
        if (s->e) s->e->Reset();
        Fetch(s);
    }
    return 0;
}

// ---------------------------------------------------------------- VBArray

const char* const kVBArray = ZN_HIDDEN("vba");  // on VBArray objects: the SAFEARRAY*

SAFEARRAY* ThisVBArrayRaw(duk_context* ctx) {
    duk_push_this(ctx);
    SAFEARRAY* psa = VBArrayOf(ctx, -1);
    duk_pop(ctx);
    if (!psa) ThrowComRaw(ctx, MakeScriptError(5013), ClassicErrorText(5013));
    return psa;
}

duk_ret_t VBArrayFinalize(duk_context* ctx) {
    if (auto* psa = static_cast<SAFEARRAY*>(TakeHiddenPointer(ctx, 0, kVBArray)))
        SafeArrayDestroy(psa);
    return 0;
}

// Pushes the element at p of an array of type vt.
void PushElementRaw(duk_context* ctx, VARTYPE vt, void* p) {
    if (vt == VT_VARIANT) {
        PushVariantRaw(ctx, static_cast<VARIANT*>(p));
        return;
    }
    VARIANT view;
    VariantInit(&view);
    view.vt = static_cast<VARTYPE>(VT_BYREF | vt);
    view.byref = p;
    PushVariantRaw(ctx, &view);
}

duk_ret_t VBArrayConstruct(duk_context* ctx) {
    SAFEARRAY* psa = duk_get_top(ctx) > 0 ? VBArrayOf(ctx, 0) : nullptr;
    if (!psa) return ThrowComRaw(ctx, MakeScriptError(5013), ClassicErrorText(5013));
    SAFEARRAY* copy = nullptr;
    if (FAILED(SafeArrayCopy(psa, &copy)) || !copy)
        return ThrowComRaw(ctx, MakeScriptError(7), ClassicErrorText(7));
    PushVBArrayRaw(ctx, copy);
    return 1;
}

duk_ret_t VBArrayToArray(duk_context* ctx) {
    SAFEARRAY* psa = ThisVBArrayRaw(ctx);
    duk_push_array(ctx);
    uint64_t count = SafeArrayCount(psa);
    for (uint64_t i = 0; i < count; ++i) {
        PushElementRaw(ctx, psa->vt, static_cast<char*>(psa->pvData) + i * psa->cbElements);
        duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
    }
    return 1;
}

duk_ret_t VBArrayDimensions(duk_context* ctx) {
    duk_push_uint(ctx, SafeArrayGetDim(ThisVBArrayRaw(ctx)));
    return 1;
}

// lbound(d) and ubound(d), d from 1 (the default).
duk_ret_t VBArrayBound(duk_context* ctx) {
    SAFEARRAY* psa = ThisVBArrayRaw(ctx);
    double d = duk_is_undefined(ctx, 0) ? 1 : duk_to_number(ctx, 0);
    int32_t v = 0;
    HRESULT hr = E_INVALIDARG;
    if (d >= 1 && d <= SafeArrayGetDim(psa)) {
        auto dim = static_cast<uint32_t>(d);
        hr = duk_get_current_magic(ctx) ? SafeArrayGetUBound(psa, dim, &v)
                                        : SafeArrayGetLBound(psa, dim, &v);
    }
    if (FAILED(hr)) return ThrowComRaw(ctx, MakeScriptError(9), ClassicErrorText(9));
    duk_push_int(ctx, v);
    return 1;
}

duk_ret_t VBArrayGetItem(duk_context* ctx) {
    SAFEARRAY* psa = ThisVBArrayRaw(ctx);
    duk_idx_t n = duk_get_top(ctx);
    int32_t indices[64];
    if (n != static_cast<duk_idx_t>(SafeArrayGetDim(psa)) || n > 64)
        return ThrowComRaw(ctx, MakeScriptError(9), ClassicErrorText(9));
    for (duk_idx_t i = 0; i < n; ++i) {
        double v = duk_to_number(ctx, i);
        if (!(v >= -2147483648.0 && v <= 2147483647.0))
            return ThrowComRaw(ctx, MakeScriptError(9), ClassicErrorText(9));
        indices[i] = static_cast<int32_t>(v);
    }
    void* p = nullptr;
    if (FAILED(SafeArrayPtrOfIndex(psa, indices, &p)))
        return ThrowComRaw(ctx, MakeScriptError(9), ClassicErrorText(9));
    PushElementRaw(ctx, psa->vt, p);
    return 1;
}

}  // namespace

SAFEARRAY* VBArrayOf(duk_context* ctx, duk_idx_t idx) {
    if (!duk_is_object(ctx, idx)) return nullptr;
    duk_get_prop_string(ctx, idx, kVBArray);
    auto* psa = static_cast<SAFEARRAY*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    return psa;
}

void PushVBArrayRaw(duk_context* ctx, SAFEARRAY* psa) {
    duk_push_object(ctx);
    duk_push_pointer(ctx, psa);
    duk_put_prop_string(ctx, -2, kVBArray);
    duk_push_c_function(ctx, VBArrayFinalize, 2);
    duk_set_finalizer(ctx, -2);
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "VBArray");
    duk_set_prototype(ctx, -3);
    duk_pop(ctx);
}

namespace {

// ---------------------------------------------------------------- ActiveXObject, GetObject

struct Created {
    HRESULT hr = S_OK;
    IDispatch* object = nullptr;
    char message[200] = {0};
};

void CreateNamed(const char* name, size_t n, Created* out) {
    out->hr = CreateAutomationObject(TextOf(name, n), &out->object);
    if (FAILED(out->hr))
        std::snprintf(out->message, sizeof out->message, "%s", HostErrorText(out->hr).c_str());
}

duk_ret_t PushCreatedRaw(duk_context* ctx, Created* c) {
    if (FAILED(c->hr)) return ThrowComRaw(ctx, c->hr, c->message);
    PushDispatchRaw(ctx, c->object);
    c->object->Release();
    return 1;
}

// new ActiveXObject(progId [, server])
duk_ret_t ActiveXObjectNative(duk_context* ctx) {
    duk_size_t n;
    const char* name = duk_safe_to_lstring(ctx, 0, &n);
    Created c;
    CreateNamed(name, n, &c);
    return PushCreatedRaw(ctx, &c);
}

// GetObject([path] [, progId]): objects by programmatic identifier only.
duk_ret_t GetObjectNative(duk_context* ctx) {
    Created c;
    if (duk_is_undefined(ctx, 1)) {
        c.hr = MakeScriptError(429);
        std::snprintf(c.message, sizeof c.message, "%s", ClassicErrorText(429));
    } else {
        duk_size_t n;
        const char* name = duk_safe_to_lstring(ctx, 1, &n);
        CreateNamed(name, n, &c);
    }
    return PushCreatedRaw(ctx, &c);
}

void InstallVBArrayRaw(duk_context* ctx) {
    duk_push_c_function(ctx, ActiveXObjectNative, 2);
    duk_put_global_string(ctx, "ActiveXObject");
    duk_push_c_function(ctx, GetObjectNative, 2);
    duk_put_global_string(ctx, "GetObject");
    duk_push_c_function(ctx, VBArrayConstruct, 1);
    duk_push_object(ctx);
    const duk_function_list_entry methods[] = {{"toArray", VBArrayToArray, 0},
                                               {"dimensions", VBArrayDimensions, 0},
                                               {"getItem", VBArrayGetItem, DUK_VARARGS},
                                               {nullptr, nullptr, 0}};
    duk_put_function_list(ctx, -1, methods);
    for (int k = 0; k < 2; ++k) {
        duk_push_c_function(ctx, VBArrayBound, 1);
        duk_set_magic(ctx, -1, k);
        duk_put_prop_string(ctx, -2, k ? "ubound" : "lbound");
    }
    duk_push_heap_stash(ctx);
    duk_dup(ctx, -2);
    duk_put_prop_string(ctx, -2, "VBArray");
    duk_pop(ctx);
    duk_put_prop_string(ctx, -2, "prototype");
    duk_put_global_string(ctx, "VBArray");
}

}  // namespace

// ---------------------------------------------------------------- conversions

void PushTextRaw(duk_context* ctx, const WChar* s, size_t n) {
    // CESU-8, one UTF-16 unit at a time, as duktape keeps its strings.
    auto* p = static_cast<uint8_t*>(duk_push_dynamic_buffer(ctx, n * 3));
    size_t k = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t u = s[i];
        if (u < 0x80) {
            p[k++] = static_cast<uint8_t>(u);
        } else if (u < 0x800) {
            p[k++] = static_cast<uint8_t>(0xC0 | (u >> 6));
            p[k++] = static_cast<uint8_t>(0x80 | (u & 0x3F));
        } else {
            p[k++] = static_cast<uint8_t>(0xE0 | (u >> 12));
            p[k++] = static_cast<uint8_t>(0x80 | ((u >> 6) & 0x3F));
            p[k++] = static_cast<uint8_t>(0x80 | (u & 0x3F));
        }
    }
    duk_resize_buffer(ctx, -1, k);
    duk_buffer_to_string(ctx, -1);
}

void PushVariantRaw(duk_context* ctx, const VARIANT* in) {
    const VARIANT* v = VariantDeref(in);
    if (!v) {
        duk_push_undefined(ctx);
        return;
    }
    const VARTYPE base = v->vt & ~VT_BYREF;
    const void* p = (v->vt & VT_BYREF) ? v->byref : static_cast<const void*>(&v->llVal);
    if ((v->vt & VT_BYREF) && !p) {
        duk_push_undefined(ctx);
        return;
    }
    if (base & VT_ARRAY) {
        // A VBArray of its own copy, never flattened behind the script's back.
        SAFEARRAY* psa = *static_cast<SAFEARRAY* const*>(p);
        SAFEARRAY* copy = nullptr;
        if (psa && FAILED(SafeArrayCopy(psa, &copy))) copy = nullptr;
        if (!copy) {
            duk_push_null(ctx);
            return;
        }
        PushVBArrayRaw(ctx, copy);
        return;
    }
    switch (base) {
        case VT_NULL:
            duk_push_null(ctx);
            return;
        case VT_I1:
            duk_push_int(ctx, *static_cast<const int8_t*>(p));
            return;
        case VT_UI1:
            duk_push_uint(ctx, *static_cast<const uint8_t*>(p));
            return;
        case VT_I2:
            duk_push_int(ctx, *static_cast<const int16_t*>(p));
            return;
        case VT_UI2:
            duk_push_uint(ctx, *static_cast<const uint16_t*>(p));
            return;
        case VT_BOOL:
            duk_push_boolean(ctx, *static_cast<const int16_t*>(p) != 0);
            return;
        case VT_I4:
        case VT_INT:
            duk_push_int(ctx, *static_cast<const int32_t*>(p));
            return;
        case VT_UI4:
        case VT_UINT:
            duk_push_uint(ctx, *static_cast<const uint32_t*>(p));
            return;
        case VT_I8:
            duk_push_number(ctx, static_cast<double>(*static_cast<const int64_t*>(p)));
            return;
        case VT_UI8:
            duk_push_number(ctx, static_cast<double>(*static_cast<const uint64_t*>(p)));
            return;
        case VT_R4:
            duk_push_number(ctx, *static_cast<const float*>(p));
            return;
        case VT_R8:
            duk_push_number(ctx, *static_cast<const double*>(p));
            return;
        case VT_CY:
            duk_push_number(ctx, static_cast<double>(static_cast<const CY*>(p)->int64) / 10000.0);
            return;
        case VT_DATE: {
            // Dates from the host compare by value, as the classic engine's
            // date values do: equal dates are the same Date object.
            double ms = JsTimeFromOle(*static_cast<const double*>(p));
            // The stash key is the value's shortest exact text, the same in
            // every locale.
            char key[40];
            *std::to_chars(key, key + sizeof key - 1, ms).ptr = '\0';
            duk_push_heap_stash(ctx);
            duk_get_prop_string(ctx, -1, "dates");  // [stash dates]
            if (duk_get_prop_string(ctx, -1, key)) {
                duk_remove(ctx, -2);
                duk_remove(ctx, -2);
                return;
            }
            duk_pop(ctx);
            duk_get_prop_string(ctx, -2, "Date");
            duk_push_number(ctx, ms);
            duk_new(ctx, 1);  // [stash dates date]
            duk_dup(ctx, -1);
            duk_put_prop_string(ctx, -3, key);
            duk_get_prop_string(ctx, -3, "dateCount");
            duk_uint_t count = duk_get_uint(ctx, -1) + 1;
            duk_pop(ctx);
            if (count > 1024) {
                duk_push_object(ctx);
                duk_put_prop_string(ctx, -4, "dates");
                count = 0;
            }
            duk_push_uint(ctx, count);
            duk_put_prop_string(ctx, -4, "dateCount");
            duk_remove(ctx, -2);
            duk_remove(ctx, -2);
            return;
        }
        case VT_BSTR: {
            BSTR s = *static_cast<const BSTR*>(p);
            PushTextRaw(ctx, s ? s : u"", SysStringLen(s));
            return;
        }
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            IUnknown* u = *static_cast<IUnknown* const*>(p);
            if (!u) {
                duk_push_null(ctx);
                return;
            }
            IDispatch* d = nullptr;
            if (base == VT_DISPATCH) {
                d = static_cast<IDispatch*>(u);
                d->AddRef();
            } else if (FAILED(u->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d))) ||
                       !d) {
                duk_push_undefined(ctx);
                return;
            }
            PushDispatchRaw(ctx, d);
            d->Release();
            return;
        }
        default:
            duk_push_undefined(ctx);
            return;
    }
}

void ToVariantRaw(duk_context* ctx, duk_idx_t idx, VARIANT* out) {
    VariantInit(out);
    idx = duk_normalize_index(ctx, idx);
    switch (duk_get_type(ctx, idx)) {
        case DUK_TYPE_NULL:
            // null is an object reference to nothing.
            VariantFromDispatch(out, nullptr);
            return;
        case DUK_TYPE_BOOLEAN:
            VariantFromBool(out, duk_get_boolean(ctx, idx));
            return;
        case DUK_TYPE_NUMBER: {
            double d = duk_get_number(ctx, idx);
            if (d >= -2147483648.0 && d <= 2147483647.0 && d == std::floor(d) &&
                !(d == 0 && std::signbit(d)))
                VariantFromLong(out, static_cast<int32_t>(d));
            else
                VariantFromDouble(out, d);
            return;
        }
        case DUK_TYPE_STRING: {
            duk_size_t n;
            const char* s = duk_get_lstring(ctx, idx, &n);
            BSTR b = BstrFromJs(s, n);
            out->vt = VT_BSTR;
            out->bstrVal = b;
            return;
        }
        case DUK_TYPE_OBJECT:
        case DUK_TYPE_LIGHTFUNC: {
            if (IDispatch* d = WrappedDispatch(ctx, idx)) {
                VariantFromDispatch(out, d);
                return;
            }
            if (SAFEARRAY* psa = VBArrayOf(ctx, idx)) {
                SAFEARRAY* copy = nullptr;
                if (SUCCEEDED(SafeArrayCopy(psa, &copy)) && copy) {
                    out->vt = static_cast<VARTYPE>(VT_ARRAY | copy->vt);
                    out->parray = copy;
                }
                return;
            }
            duk_push_heap_stash(ctx);
            duk_get_prop_string(ctx, -1, "Date");
            bool isDate = duk_instanceof(ctx, idx, -1);
            duk_pop_2(ctx);
            if (isDate) {
                duk_push_string(ctx, "getTime");
                duk_call_prop(ctx, idx, 0);
                double ms = duk_get_number(ctx, -1);
                duk_pop(ctx);
                if (std::isfinite(ms)) VariantFromDate(out, OleFromJsTime(ms));
                return;
            }
            JsEngine* engine = EngineOf(ctx);
            if (!engine) return;
            IDispatch* d = NewScriptObjectDispatch(engine, ctx, idx);
            out->vt = VT_DISPATCH;
            out->pdispVal = d;
            return;
        }
        default:
            return;  // undefined and the rest: Empty
    }
}

namespace {
// An error object's number, description and message: enumerable values.
constexpr duk_uint_t kShownValue = DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE |
                                   DUK_DEFPROP_SET_ENUMERABLE | DUK_DEFPROP_SET_CONFIGURABLE;
}  // namespace

duk_ret_t ThrowComRaw(duk_context* ctx, HRESULT hr, const char* message, const char* source) {
    // No file name: the error takes the position of the script that called us.
    if (!message) message = "";
    duk_push_error_object_raw(ctx, ErrorTypeForHResult(hr), nullptr, 0, "%s", message);
    duk_del_prop_string(ctx, -1, "message");
    duk_push_string(ctx, "number");
    duk_push_int(ctx, hr);
    duk_def_prop(ctx, -3, kShownValue);
    duk_push_string(ctx, "description");
    duk_push_string(ctx, message);
    duk_def_prop(ctx, -3, kShownValue);
    duk_push_string(ctx, "message");
    duk_push_string(ctx, message);
    duk_def_prop(ctx, -3, kShownValue);
    if (source && *source) {
        duk_push_string(ctx, source);
        duk_put_prop_string(ctx, -2, kErrorSource);
    }
    return duk_throw(ctx);
}

namespace {

struct Classified {
    int32_t number;
    char text[400];
};

void ClassifyInto(const char* name, const char* message, Classified* out) {
    ClassicError c = ClassifyEngineError(name ? name : "", message ? message : "");
    out->number = c.number;
    std::snprintf(out->text, sizeof out->text, "%s", c.text.c_str());
}

// Duktape.errCreate: every error the engine creates gets the classic number
// and text. Script-made errors are finished by the Error constructors of the
// prelude, host errors by ThrowComRaw.
duk_ret_t ErrCreateHook(duk_context* ctx) {
    duk_set_top(ctx, 1);
    if (!duk_is_error(ctx, 0) || duk_has_prop_string(ctx, 0, "number")) return 1;
    duk_get_prop_string(ctx, 0, "name");
    duk_get_prop_string(ctx, 0, "message");
    Classified c;
    ClassifyInto(duk_get_string(ctx, 1), duk_get_string(ctx, 2), &c);
    duk_pop_2(ctx);
    // number, description and message: enumerable, in that order
    duk_del_prop_string(ctx, 0, "message");
    duk_push_string(ctx, "number");
    duk_push_int(ctx, c.number);
    duk_def_prop(ctx, 0, kShownValue);
    duk_push_string(ctx, "description");
    duk_push_string(ctx, c.text);
    duk_def_prop(ctx, 0, kShownValue);
    duk_push_string(ctx, "message");
    duk_push_string(ctx, c.text);
    duk_def_prop(ctx, 0, kShownValue);
    // a pattern that does not compile is a RegExpError
    const int32_t n = c.number & 0xFFFF;
    if ((static_cast<uint32_t>(c.number) >> 16) == 0x800Au && n >= 5017 && n <= 5021) {
        duk_push_heap_stash(ctx);
        duk_get_prop_string(ctx, -1, "regExpErrorProto");
        if (duk_is_object(ctx, -1)) {
            duk_set_prototype(ctx, 0);
            duk_pop(ctx);
        } else {
            duk_pop_2(ctx);
        }
    }
    return 1;
}

}  // namespace

const char* const kErrorSource = ZN_HIDDEN("src");
const char* const kThrowFile = ZN_HIDDEN("tf");
const char* const kThrowLine = ZN_HIDDEN("tl");

namespace {

// Duktape.errThrow: remembers the script line an error was (re)thrown from,
// the line the classic engine reports for an uncaught error. Natives and
// the prelude are skipped: the line is that of the host's script.
duk_ret_t ErrThrowHook(duk_context* ctx) {
    duk_set_top(ctx, 1);
    if (!duk_is_error(ctx, 0)) return 1;
    for (duk_int_t level = -2; level >= -16; --level) {
        duk_inspect_callstack_entry(ctx, level);
        if (!duk_is_object(ctx, -1)) {
            duk_pop(ctx);
            break;
        }
        duk_get_prop_string(ctx, -1, "function");
        duk_get_prop_string(ctx, -1, "fileName");
        const char* file = duk_get_string(ctx, -1);
        if (file && file[0] == '#') {
            duk_put_prop_string(ctx, 0, kThrowFile);
            duk_pop(ctx);
            duk_get_prop_string(ctx, -1, "lineNumber");
            duk_put_prop_string(ctx, 0, kThrowLine);
            duk_pop(ctx);
            break;
        }
        duk_pop_3(ctx);
    }
    return 1;
}

duk_ret_t IsHostNative(duk_context* ctx) {
    duk_push_boolean(ctx, WrappedDispatch(ctx, 0) != nullptr);
    return 1;
}

duk_ret_t CollectGarbageNative(duk_context* ctx) {
    duk_gc(ctx, 0);
    return 0;
}

}  // namespace

// The prelude compiled once per process; later heaps load its bytecode.
std::mutex g_preludeLock;
std::vector<char> g_preludeBytecode;

void KeepPreludeBytecode(const void* code, size_t n) {
    std::lock_guard<std::mutex> g(g_preludeLock);
    if (g_preludeBytecode.empty() && code && n)
        g_preludeBytecode.assign(static_cast<const char*>(code),
                                 static_cast<const char*>(code) + n);
}

void InstallPreludeRaw(duk_context* ctx) {
    size_t size = 0;
    {
        std::lock_guard<std::mutex> g(g_preludeLock);
        size = g_preludeBytecode.size();
    }
    if (size) {
        void* buf = duk_push_fixed_buffer(ctx, size);
        {
            std::lock_guard<std::mutex> g(g_preludeLock);
            std::memcpy(buf, g_preludeBytecode.data(), size);
        }
        duk_load_function(ctx);
    } else {
        duk_push_string(ctx, kPrelude);
        duk_push_string(ctx, "prelude");
        // a flag, not a scope: duk_compile may throw past a destructor
        zn_jscript_no_source = 1;
        if (duk_pcompile(ctx, DUK_COMPILE_EVAL) != 0) {
            zn_jscript_no_source = 0;
            duk_throw(ctx);
        }
        zn_jscript_no_source = 0;
        duk_call(ctx, 0);  // the prelude's function
        duk_dup(ctx, -1);
        duk_dump_function(ctx);
        duk_size_t n = 0;
        const void* code = duk_get_buffer(ctx, -1, &n);
        KeepPreludeBytecode(code, n);
        duk_pop(ctx);
    }
    duk_push_global_object(ctx);
    duk_push_object(ctx);
    duk_push_c_function(ctx, CollectGarbageNative, 0);
    duk_put_prop_string(ctx, -2, "gc");
    duk_push_c_function(ctx, IsHostNative, 1);
    duk_put_prop_string(ctx, -2, "isHost");
    duk_call(ctx, 2);
    duk_pop(ctx);
    duk_push_heap_stash(ctx);
    duk_get_global_string(ctx, "RegExpError");
    duk_get_prop_string(ctx, -1, "prototype");
    duk_put_prop_string(ctx, -3, "regExpErrorProto");
    duk_pop_2(ctx);
}

void InstallBridgeRaw(duk_context* ctx) {
    duk_push_heap_stash(ctx);
    // The wrapper handler.
    duk_push_object(ctx);
    duk_push_c_function(ctx, TrapGet, 3);
    duk_put_prop_string(ctx, -2, "get");
    duk_push_c_function(ctx, TrapSet, 4);
    duk_put_prop_string(ctx, -2, "set");
    duk_push_c_function(ctx, TrapHas, 2);
    duk_put_prop_string(ctx, -2, "has");
    duk_push_c_function(ctx, TrapApply, 3);
    duk_put_prop_string(ctx, -2, "apply");
    duk_push_c_function(ctx, TrapDelete, 2);
    duk_put_prop_string(ctx, -2, "deleteProperty");
    duk_put_prop_string(ctx, -2, "handler");
    duk_push_object(ctx);
    duk_put_prop_string(ctx, -2, "wrappers");
    duk_push_uint(ctx, 0);
    duk_put_prop_string(ctx, -2, "wrapperCount");
    duk_push_uint(ctx, 256);
    duk_put_prop_string(ctx, -2, "wrapperLimit");
    duk_push_object(ctx);
    duk_put_prop_string(ctx, -2, "objs");
    duk_push_object(ctx);
    duk_put_prop_string(ctx, -2, "dates");
    // The original Date, whatever scripts do to the global one.
    duk_get_global_string(ctx, "Date");
    duk_put_prop_string(ctx, -2, "Date");
    duk_pop(ctx);
    // Enumerator.
    duk_push_c_function(ctx, EnumConstruct, 1);
    duk_push_object(ctx);
    const duk_function_list_entry methods[] = {{"atEnd", EnumAtEnd, 0},
                                               {"item", EnumItem, 0},
                                               {"moveNext", EnumMoveNext, 0},
                                               {"moveFirst", EnumMoveFirst, 0},
                                               {nullptr, nullptr, 0}};
    duk_put_function_list(ctx, -1, methods);
    duk_put_prop_string(ctx, -2, "prototype");
    duk_put_global_string(ctx, "Enumerator");
    InstallVBArrayRaw(ctx);
    // Classic numbers and texts on the engine's errors.
    duk_get_global_string(ctx, "Duktape");
    duk_push_c_function(ctx, ErrCreateHook, 1);
    duk_put_prop_string(ctx, -2, "errCreate");
    duk_push_c_function(ctx, ErrThrowHook, 1);
    duk_put_prop_string(ctx, -2, "errThrow");
    duk_pop(ctx);
}

}  // namespace jscript
