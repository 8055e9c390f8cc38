#include "platform/com/typeinfo.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <system_error>

#include "platform/fs/fs.h"

namespace {

// The error text a member raised during the current Invoke.
struct PendingError {
    bool set = false;
    SCODE scode = 0;
    WString description;
    WString source;
};
thread_local PendingError g_pending;

[[noreturn]] void DeclarationError(const MemberDesc& m, const char* what) {
    std::fprintf(stderr, "type table: member %s: %s\n", text::ToUtf8(m.name).c_str(), what);
    std::abort();
}

VARTYPE BaseVt(VARTYPE vt) {
    return vt & ~VT_BYREF;
}

}  // namespace

HRESULT RaiseDispError(SCODE scode, WStringView description, WStringView source) {
    g_pending.set = true;
    g_pending.scode = scode;
    g_pending.description = description;
    g_pending.source = source;
    return scode;
}

namespace typeinfo_detail {

bool CompatibleVt(VARTYPE declared, VARTYPE natural) {
    if ((declared & VT_BYREF) != (natural & VT_BYREF)) return false;
    VARTYPE d = BaseVt(declared), n = BaseVt(natural);
    if (d == n) return true;
    switch (n) {
        case VT_I2:
            return d == VT_BOOL;
        case VT_R8:
            return d == VT_DATE;
        case VT_I4:
            return d == VT_INT || d == VT_ERROR;
        case VT_UI4:
            return d == VT_UINT;
        default:
            return false;
    }
}

void Bind(MemberDesc& m, std::vector<VARTYPE> natural, std::vector<ParamDesc> declared,
          MemberThunk thunk, std::shared_ptr<const void> member, VARTYPE returns) {
    const size_t n = natural.size();
    bool isPut = m.kind == INVOKE_PROPERTYPUT || m.kind == INVOKE_PROPERTYPUTREF;
    bool hasRetval = false;
    if (isPut) {
        if (n == 0) DeclarationError(m, "a putter needs a value parameter");
        if (declared.size() == n - 1) declared.push_back(ParamDesc(u"value"));
        if (declared.size() != n) DeclarationError(m, "parameter count differs from signature");
    } else if (declared.size() + 1 == n && (natural.back() & VT_BYREF)) {
        hasRetval = true;
    } else if (declared.size() != n || m.kind == INVOKE_PROPERTYGET) {
        DeclarationError(m, "parameter count differs from signature (or a getter lacks a retval)");
    }
    for (size_t i = 0; i < declared.size(); ++i) {
        ParamDesc& p = declared[i];
        if (p.vt == VT_EMPTY) {
            p.vt = natural[i];
        } else {
            p.vt = static_cast<VARTYPE>(p.vt | (natural[i] & VT_BYREF));
            if (!CompatibleVt(p.vt, natural[i])) DeclarationError(m, "declared type does not fit");
        }
        if (p.vt & VT_BYREF) p.flags |= PARAMFLAG_FOUT;
        if ((p.flags & PARAMFLAG_FHASDEFAULT) && BaseVt(p.vt) != VT_VARIANT) {
            // Store the default in the parameter's own type once.
            if (FAILED(p.defaultValue.ChangeType(BaseVt(p.vt))))
                DeclarationError(m, "default value does not convert");
        }
    }
    m.returnType = hasRetval ? BaseVt(natural.back()) : static_cast<VARTYPE>(VT_VOID);
    if (returns != VT_EMPTY) {
        if (!hasRetval || !CompatibleVt(returns | VT_BYREF, natural.back()))
            DeclarationError(m, "declared return type does not fit");
        m.returnType = returns;
    }
    m.params = std::move(declared);
    m.thunk = thunk;
    m.member = std::move(member);
}

}  // namespace typeinfo_detail

size_t MemberDesc::RequiredCount() const {
    size_t n = 0;
    for (auto& p : params)
        if (!(p.flags & PARAMFLAG_FOPT)) ++n;
    return n;
}

// ---------------------------------------------------------------- lookups

HRESULT InterfaceDesc::GetIDOfName(WStringView n, DISPID* id) const {
    if (const MemberDesc* m = FindByName(n)) {
        *id = m->dispid;
        return S_OK;
    }
    *id = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT InterfaceDesc::GetIDsOfNames(const OLECHAR* const* names, uint32_t count,
                                     DISPID* ids) const {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    // Only the member name is looked up; parameter names are not supported.
    HRESULT hr = GetIDOfName(names[0] ? WStringView(names[0]) : WStringView(), &ids[0]);
    for (uint32_t i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (SUCCEEDED(hr) && count > 1) return DISP_E_UNKNOWNNAME;
    return hr;
}

const MemberDesc* InterfaceDesc::Find(DISPID id, uint16_t kinds) const {
    for (auto& m : members)
        if (m.dispid == id && (!kinds || (m.kind & kinds))) return &m;
    return nullptr;
}

const MemberDesc* InterfaceDesc::FindByName(WStringView n) const {
    for (auto& m : members)
        if (text::EqualsNoCase(m.name, n)) return &m;
    return nullptr;
}

// ---------------------------------------------------------------- generic Invoke

namespace {

bool IsMissing(const VARIANT* v) {
    const VARIANT* d = VariantDeref(v);
    return d && d->vt == VT_ERROR && d->scode == DISP_E_PARAMNOTFOUND;
}

// Everything one call needs, cleaned up at the end.
struct CallFrame {
    explicit CallFrame(size_t n) : slot(n + 1), value(n + 1), ptr(n + 1) {
        for (size_t i = 0; i <= n; ++i) {
            VariantInit(&slot[i]);
            VariantInit(&value[i]);
        }
    }
    ~CallFrame() {
        for (auto& v : value) VariantClear(&v);
    }
    std::vector<VARIANT> slot;   // by-reference slots (not owning)
    std::vector<VARIANT> value;  // owned values
    std::vector<VARIANT*> ptr;   // what the thunk receives
    // Write-backs into caller VARIANTs passed as VT_BYREF|VT_VARIANT.
    std::vector<std::pair<VARIANT*, size_t>> writeBack;
};

void PointAt(VARIANT* slot, VARTYPE base, VARIANT* holder) {
    slot->vt = VT_BYREF | base;
    slot->byref =
        base == VT_VARIANT ? static_cast<void*>(holder) : static_cast<void*>(&holder->llVal);
}

}  // namespace

HRESULT InterfaceDesc::Invoke(void* instance, DISPID id, uint16_t flags, DISPPARAMS* dp,
                              VARIANT* result, EXCEPINFO* excep, uint32_t* argErr) const {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (!dp) dp = &none;
    if (dp->cArgs && !dp->rgvarg) return E_INVALIDARG;
    const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;

    const MemberDesc* m = nullptr;
    if (isPut) {
        bool ref = (flags & DISPATCH_PROPERTYPUTREF) != 0;
        m = Find(id, ref ? INVOKE_PROPERTYPUTREF : INVOKE_PROPERTYPUT);
        if (!m) m = Find(id, ref ? INVOKE_PROPERTYPUT : INVOKE_PROPERTYPUTREF);
        if (dp->cArgs == 0) return m ? DISP_E_BADPARAMCOUNT : DISP_E_MEMBERNOTFOUND;
        if (!m) {
            // Fields("NAME") = v on a get-only member giving an object: put
            // the object's default member.
            const MemberDesc* get = Find(id, INVOKE_PROPERTYGET);
            if (!get || (get->returnType != VT_DISPATCH && get->returnType != VT_VARIANT))
                return DISP_E_MEMBERNOTFOUND;
            DISPPARAMS index{dp->rgvarg + 1, nullptr, dp->cArgs - 1, 0};
            ComVariant obj;
            HRESULT hr = Invoke(instance, id, DISPATCH_PROPERTYGET, &index, &obj, excep, argErr);
            if (FAILED(hr)) return hr;
            const VARIANT* o = VariantDeref(&obj);
            if (o->vt != VT_DISPATCH || !o->pdispVal) return DISP_E_MEMBERNOTFOUND;
            DISPID put = DISPID_PROPERTYPUT;
            DISPPARAMS value{dp->rgvarg, &put, 1, 1};
            return o->pdispVal->Invoke(DISPID_VALUE, IID_NULL, LOCALE_EN_US, flags, &value, nullptr,
                                       excep, argErr);
        }
        if (dp->cNamedArgs > 1 ||
            (dp->cNamedArgs == 1 && dp->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
            return DISP_E_NONAMEDARGS;
    } else {
        if (flags & DISPATCH_METHOD) m = Find(id, INVOKE_FUNC);
        if (!m && (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)))
            m = Find(id, INVOKE_PROPERTYGET);
        if (!m) return DISP_E_MEMBERNOTFOUND;
        if (dp->cNamedArgs) return DISP_E_NONAMEDARGS;
    }
    if (!m->thunk) return DISP_E_MEMBERNOTFOUND;

    const uint32_t cArgs = dp->cArgs;
    const size_t nParams = m->params.size();
    // Natural-order argument i: rgvarg[cArgs-1-i]; a put's value is rgvarg[0].
    uint32_t extra = 0;
    if (cArgs > nParams) {
        bool objectResult = m->kind == INVOKE_PROPERTYGET &&
                            (m->returnType == VT_DISPATCH || m->returnType == VT_VARIANT);
        if (!objectResult) return DISP_E_BADPARAMCOUNT;
        extra = cArgs - static_cast<uint32_t>(nParams);
    }
    const uint32_t given = cArgs - extra;
    auto argFor = [&](size_t i, uint32_t* index) -> VARIANT* {
        if (isPut) {
            if (i + 1 == nParams) {
                *index = 0;
                return &dp->rgvarg[0];
            }
            if (i + 1 < given) {
                *index = cArgs - 1 - static_cast<uint32_t>(i);
                return &dp->rgvarg[*index];
            }
            return nullptr;
        }
        if (i < given) {
            *index = cArgs - 1 - static_cast<uint32_t>(i);
            return &dp->rgvarg[*index];
        }
        return nullptr;
    };
    auto fail = [&](HRESULT hr, uint32_t index) {
        if (argErr) *argErr = index;
        return hr;
    };

    CallFrame f(nParams);
    for (size_t i = 0; i < nParams; ++i) {
        const ParamDesc& p = m->params[i];
        const VARTYPE base = BaseVt(p.vt);
        const bool byref = (p.vt & VT_BYREF) != 0;
        uint32_t index = 0;
        VARIANT* arg = argFor(i, &index);
        if (!arg || IsMissing(arg)) {
            if (!(p.flags & PARAMFLAG_FOPT))
                return arg ? fail(DISP_E_PARAMNOTOPTIONAL, index) : DISP_E_BADPARAMCOUNT;
            VARIANT& v = f.value[i];
            if (p.flags & PARAMFLAG_FHASDEFAULT) {
                VariantCopy(&v, &p.defaultValue);
            } else if (base == VT_VARIANT) {
                v.vt = VT_ERROR;
                v.scode = DISP_E_PARAMNOTFOUND;
            } else {
                v.vt = base;
            }
            if (byref) {
                PointAt(&f.slot[i], base, &v);
                f.ptr[i] = &f.slot[i];
            } else {
                f.ptr[i] = &v;
            }
            continue;
        }
        if (base == VT_VARIANT) {
            if (!byref) {
                f.ptr[i] = arg;  // borrowed as the platform passes it
            } else if (arg->vt == (VT_BYREF | VT_VARIANT) && arg->pvarVal) {
                f.ptr[i] = arg;
            } else {
                VariantCopy(&f.value[i], arg);
                PointAt(&f.slot[i], VT_VARIANT, &f.value[i]);
                f.ptr[i] = &f.slot[i];
            }
            continue;
        }
        if (!byref) {
            if (arg->vt == base) {
                f.ptr[i] = arg;
                continue;
            }
            HRESULT hr = VariantChangeType(&f.value[i], arg, 0, base);
            if (FAILED(hr)) return fail(DISP_E_TYPEMISMATCH, index);
            f.ptr[i] = &f.value[i];
            continue;
        }
        // A typed by-reference parameter.
        if (arg->vt == (VT_BYREF | base) && arg->byref) {
            f.ptr[i] = arg;
            continue;
        }
        VARIANT* target = arg->vt == (VT_BYREF | VT_VARIANT) ? VariantDeref(arg) : nullptr;
        if (target && target->vt == base) {
            PointAt(&f.slot[i], base, target);
            f.ptr[i] = &f.slot[i];
            continue;
        }
        HRESULT hr = VariantChangeType(&f.value[i], arg, 0, base);
        if (FAILED(hr)) return fail(DISP_E_TYPEMISMATCH, index);
        PointAt(&f.slot[i], base, &f.value[i]);
        f.ptr[i] = &f.slot[i];
        if (target) f.writeBack.emplace_back(target, i);
    }
    // The return value.
    VARIANT& ret = f.value[nParams];
    if (m->returnType != VT_VOID) {
        if (m->returnType != VT_VARIANT) ret.vt = m->returnType;
        PointAt(&f.slot[nParams], m->returnType, &ret);
        f.ptr[nParams] = &f.slot[nParams];
    }

    g_pending = PendingError{};
    HRESULT hr;
    try {
        hr = m->thunk(m->member.get(), instance, f.ptr.data());
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (const std::system_error& e) {
        // File and system errors keep their code and their text for the
        // caller's exception record.
        hr = E_FAIL;
        const std::error_category& c = e.code().category();
        if (e.code().value() != 0 && (c == std::generic_category() || c == std::system_category()))
            hr = static_cast<HRESULT>(0x80070000u | (fs::ErrorFromErrno(e.code().value()) & 0xFFFF));
        g_pending = PendingError{true, hr, text::FromUtf8(e.what()), WString()};
    } catch (const std::exception& e) {
        hr = E_FAIL;
        g_pending = PendingError{true, hr, text::FromUtf8(e.what()), WString()};
    } catch (...) {
        hr = E_FAIL;
    }
    if (FAILED(hr)) {
        if (g_pending.set && g_pending.scode == hr) {
            g_pending.set = false;
            if (excep) {
                FillExcepInfo(excep, hr, g_pending.source, g_pending.description);
                return DISP_E_EXCEPTION;
            }
        }
        return hr;
    }
    for (auto& [target, i] : f.writeBack) {
        VariantClear(target);
        *target = f.value[i];
        VariantInit(&f.value[i]);
    }
    if (m->returnType == VT_VOID) {
        if (result) VariantInit(result);
        return hr;
    }
    if (extra) {
        // The rest of the arguments go to the returned object's default member.
        const VARIANT* obj = VariantDeref(&ret);
        if (obj->vt != VT_DISPATCH || !obj->pdispVal) return DISP_E_BADPARAMCOUNT;
        DISPPARAMS rest{dp->rgvarg, nullptr, extra, 0};
        ComPtr<IDispatch> d(obj->pdispVal);
        return d->Invoke(DISPID_VALUE, IID_NULL, LOCALE_EN_US,
                         DISPATCH_METHOD | DISPATCH_PROPERTYGET, &rest, result, excep, argErr);
    }
    if (result) {
        VariantClear(result);
        *result = ret;
        VariantInit(&ret);
    }
    return hr;
}

// ---------------------------------------------------------------- ITypeInfo

namespace {

class TypeInfoObject final : public RefCountedObject<ITypeInfo> {
public:
    TypeInfoObject(const InterfaceDesc* i, const CoclassDesc* c) : iface_(i), coclass_(c) {}
    bool Answers(REFIID iid) const override { return iid == IID_ITypeInfo; }
    const InterfaceDesc* GetInterfaceDesc() override { return iface_; }
    const CoclassDesc* GetCoclassDesc() override { return coclass_; }

private:
    const InterfaceDesc* iface_;
    const CoclassDesc* coclass_;
};

}  // namespace

ITypeInfo* GetTypeInfoFor(const InterfaceDesc& d) {
    return new TypeInfoObject(&d, nullptr);
}
ITypeInfo* GetTypeInfoFor(const CoclassDesc& d) {
    return new TypeInfoObject(nullptr, &d);
}

InterfaceDesc MakeEventInterface(WStringView name, const IID& iid,
                                 std::initializer_list<std::pair<const char16_t*, DISPID>> events) {
    InterfaceDesc d;
    d.name = name;
    d.iid = iid;
    d.flags = TYPEFLAG_FDISPATCHABLE;
    for (auto& [n, id] : events) {
        MemberDesc m;
        m.name = n;
        m.dispid = id;
        m.kind = INVOKE_FUNC;
        d.members.push_back(std::move(m));
    }
    return d;
}
