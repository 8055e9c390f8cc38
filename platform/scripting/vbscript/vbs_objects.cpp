#include "platform/scripting/vbscript/vbs_objects.h"

namespace vbs {

// ---- DispatchBase ----

HRESULT DispatchBase::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

uint32_t DispatchBase::Release() {
    uint32_t n = --refs_;
    if (n == 0) LastRelease();
    return n;
}

HRESULT DispatchBase::GetTypeInfoCount(uint32_t* count) {
    if (count) *count = 0;
    return S_OK;
}

HRESULT DispatchBase::GetTypeInfo(uint32_t, LCID, ITypeInfo** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT DispatchBase::GetIDsOfNames(REFIID, const OLECHAR* const* names, uint32_t count, LCID,
                                    DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (uint32_t i = 0; i < count; ++i) {
        ids[i] = i == 0 ? FindMember(Fold(names[i]), nullptr) : DISPID_UNKNOWN;
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

namespace {

// A by-reference argument must point somewhere, through every level of a
// VT_BYREF|VT_VARIANT chain.
bool RefsValid(const VARIANT* v) {
    for (int depth = 0; v->vt & VT_BYREF; ++depth) {
        if (!v->byref || depth > 64) return false;
        if (v->vt != (VT_BYREF | VT_VARIANT)) return true;
        v = v->pvarVal;
    }
    return true;
}

}  // namespace

HRESULT ArgsFromParams(DISPPARAMS* dp, ArgList& args, std::vector<Value>& temps,
                       bool skipPutValue) {
    uint32_t n = dp ? dp->cArgs : 0;
    uint32_t named = dp ? dp->cNamedArgs : 0;
    args.clear();
    temps.clear();
    if (n > 0 && !dp->rgvarg) return E_POINTER;
    if (named > 0 && !dp->rgdispidNamedArgs) return E_POINTER;
    for (uint32_t k = 0; k < n; ++k) {
        if (!RefsValid(&dp->rgvarg[k])) return E_POINTER;
    }
    uint32_t first = 0;
    if (skipPutValue && named > 0 && dp->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT) first = 1;
    temps.resize(n);
    for (uint32_t k = n; k-- > first;) {
        VARIANT* v = &dp->rgvarg[k];
        Arg a;
        if (v->vt == (VT_BYREF | VT_VARIANT)) {
            a.ref = Target(v->pvarVal);
        } else if (v->vt & VT_BYREF) {
            VariantCopyInd(&temps[k], v);
            a.ref = &temps[k];
        } else if (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND) {
            a.missing = true;
            a.val.vt = VT_ERROR;
            a.val.scode = DISP_E_PARAMNOTFOUND;
        } else {
            VariantCopy(&a.val, v);
        }
        args.push_back(std::move(a));
    }
    return S_OK;
}

void WriteBack(DISPPARAMS* dp, ArgList&, std::vector<Value>& temps) {
    if (!dp) return;
    for (uint32_t k = 0; k < dp->cArgs && k < temps.size(); ++k) {
        VARIANT* v = &dp->rgvarg[k];
        if (!(v->vt & VT_BYREF) || v->vt == (VT_BYREF | VT_VARIANT) || !v->byref) continue;
        VARTYPE want = v->vt & ~VT_BYREF;
        Value conv;
        if (FAILED(VariantChangeType(&conv, &temps[k], VARIANT_ALPHABOOL, want))) continue;
        switch (want) {
            case VT_BSTR:
                SysFreeString(*v->pbstrVal);
                *v->pbstrVal = conv.bstrVal;
                conv.vt = VT_EMPTY;
                break;
            case VT_I4:
            case VT_INT:
                *v->plVal = conv.lVal;
                break;
            case VT_I2:
                *v->piVal = conv.iVal;
                break;
            case VT_BOOL:
                *v->pboolVal = conv.boolVal;
                break;
            case VT_R8:
            case VT_DATE:
                *v->pdblVal = conv.dblVal;
                break;
            case VT_R4:
                *v->pfltVal = conv.fltVal;
                break;
            case VT_UI1:
                *v->pbVal = conv.bVal;
                break;
            case VT_DISPATCH:
                if (*v->ppdispVal) (*v->ppdispVal)->Release();
                *v->ppdispVal = conv.pdispVal;
                conv.vt = VT_EMPTY;
                break;
            default:
                break;
        }
    }
}

HRESULT DispatchBase::Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* excep, uint32_t* argErr) {
    (void)argErr;
    ComPtr<IDispatch> keep(this);
    ArgList args;
    std::vector<Value> temps;
    try {
        // a put's value travels last in natural order already
        if (HRESULT hr = ArgsFromParams(params, args, temps, false); FAILED(hr)) return hr;
        Value r;
        Call(id, flags, args, &r);
        WriteBack(params, args, temps);
        if (result) {
            VariantClear(result);
            *result = r.Detach();
        }
        return S_OK;
    } catch (const VbsError& e) {
        if (e.hr == E_UNEXPECTED) return E_UNEXPECTED;
        if (e.number == 438 && !excep) return DISP_E_MEMBERNOTFOUND;
        if (excep) {
            FillExcepInfo(excep, e.hr, e.source, e.description);
            if (e.number > 0 && e.number <= 0xFFFF && (uint32_t(e.hr) >> 16) == 0x800A) {
                excep->scode = e.hr;
            }
            return DISP_E_EXCEPTION;
        }
        return e.hr ? e.hr : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

// ---- ClassInstance ----

ClassInstance::ClassInstance(Interp* in, const ClassInfo* info)
    : in_(in), alive_(in->AliveFlag()), info_(info) {
    fields_.resize(info->decl->fields.size());
    for (size_t i = 0; i < info->decl->fields.size(); ++i) {
        const ClassField& f = info->decl->fields[i];
        if (f.isArray && !f.bounds.empty()) {
            std::vector<SAFEARRAYBOUND> b;
            for (int n : f.bounds) b.push_back({uint32_t(n + 1), 0});
            SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, uint32_t(b.size()), b.data());
            if (sa) {
                sa->fFeatures |= FADF_FIXEDSIZE | FADF_STATIC;
                fields_[i].vt = VT_ARRAY | VT_VARIANT;
                fields_[i].parray = sa;
            }
        }
    }
}

DISPID ClassInstance::FindMember(const WString& lname, const ClassInstance* caller) const {
    if (!Owner()) return DISPID_UNKNOWN;  // the engine that defined the class is closed
    auto it = info_->index.find(lname);
    if (it == info_->index.end()) return DISPID_UNKNOWN;
    const auto& m = info_->members[it->second];
    if (!m.isPublic && !(caller && caller->info_ == info_)) return DISPID_UNKNOWN;
    return it->second + 1;
}

void ClassInstance::Call(DISPID id, uint16_t flags, ArgList& args, Value* result) {
    Interp* in = Owner();
    if (!in) Throw(51);
    ComPtr<IDispatch> keep(this);
    if (id == DISPID_VALUE) {
        if (info_->defaultMember < 0) Throw(438);
        id = info_->defaultMember + 1;
    }
    if (id < 1 || size_t(id) > info_->members.size()) Throw(438);
    const auto& m = info_->members[id - 1];
    bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    switch (m.kind) {
        case ClassInfo::Member::Field: {
            Value& f = fields_[m.field];
            if (isPut) {
                if (args.empty()) Throw(450);
                if (args.size() == 1) {
                    Value v;
                    Assign(&v, args.back().Get());
                    if ((flags & DISPATCH_PROPERTYPUTREF) == 0 && IsObjectVt(v.vt)) {
                        Value d;
                        ValueOf(&v, &d);
                        v = std::move(d);
                    }
                    MoveInto(&f, v);
                    return;
                }
                // element of an array field
                Value v;
                Assign(&v, args.back().Get());
                ArgList idx;
                for (size_t i = 0; i + 1 < args.size(); ++i) {
                    Arg a;
                    Assign(&a.val, args[i].Get());
                    idx.push_back(std::move(a));
                }
                if (!(f.vt & VT_ARRAY)) Throw(13);
                Value elem;
                // reuse the interpreter's indexing
                ArgList none;
                in->CallDefault(&f, idx, DISPATCH_PROPERTYGET, &elem);  // bounds check
                int32_t ix[64];
                SAFEARRAY* sa = f.parray;
                for (size_t i = 0; i < idx.size() && i < 64; ++i) ix[i] = ToLong(idx[i].Get());
                void* p;
                if (FAILED(SafeArrayPtrOfIndex(sa, ix, &p))) Throw(9);
                MoveInto(static_cast<VARIANT*>(p), v);
                return;
            }
            if (args.empty()) {
                Assign(result->Receive(), &f);
                return;
            }
            in->CallDefault(&f, args, flags, result);
            return;
        }
        case ClassInfo::Member::Method:
            in->CallProc(m.method, this, args, result);
            return;
        case ClassInfo::Member::Prop: {
            if (isPut) {
                // Set needs a Property Set; a plain put takes the Let (or the Set
                // when that is all there is). A Let given an object receives the
                // object itself: its body decides what value it needs.
                const Proc* p = (flags & DISPATCH_PROPERTYPUTREF) ? m.set : m.let ? m.let : m.set;
                if (!p) Throw(438);
                Value ignore;
                in->CallProc(p, this, args, &ignore);
                return;
            }
            if (!m.get) Throw(438);
            in->CallProc(m.get, this, args, result);
            return;
        }
    }
}

void ClassInstance::LastRelease() {
    Interp* in = Owner();
    if (in && info_->term) {
        // Class_Terminate runs with the object alive again for its duration
        refs_ = 1;
        try {
            ArgList none;
            Value r;
            in->CallProc(info_->term, this, none, &r);
        } catch (...) {
            // errors in a terminate handler do not reach the releasing code
        }
        if (--refs_ != 0) return;  // resurrected by the handler
    }
    delete this;
}

// ---- Err ----

namespace {
enum ErrIds { kNumber = 1, kDescription, kSource, kHelpFile, kHelpContext, kClear, kRaise };
}

DISPID ErrObject::FindMember(const WString& l, const ClassInstance*) const {
    if (l == u"number") return kNumber;
    if (l == u"description") return kDescription;
    if (l == u"source") return kSource;
    if (l == u"helpfile") return kHelpFile;
    if (l == u"helpcontext") return kHelpContext;
    if (l == u"clear") return kClear;
    if (l == u"raise") return kRaise;
    return DISPID_UNKNOWN;
}

void ErrObject::Call(DISPID id, uint16_t flags, ArgList& args, Value* result) {
    bool isPut = (flags & DISPATCH_PROPERTYPUT) != 0;
    if (id == DISPID_VALUE) id = kNumber;
    switch (id) {
        case kNumber:
            if (isPut) {
                number = ToLong(args.back().Get());
                return;
            }
            VariantFromLong(result->Receive(), number);
            return;
        case kDescription:
            if (isPut) {
                description = ToStr(args.back().Get());
                return;
            }
            VariantFromString(result->Receive(), description);
            return;
        case kSource:
            if (isPut) {
                source = ToStr(args.back().Get());
                return;
            }
            VariantFromString(result->Receive(), source);
            return;
        case kHelpFile:
            if (isPut) {
                helpFile = ToStr(args.back().Get());
                return;
            }
            VariantFromString(result->Receive(), helpFile);
            return;
        case kHelpContext:
            if (isPut) {
                helpContext = ToLong(args.back().Get());
                return;
            }
            VariantFromLong(result->Receive(), helpContext);
            return;
        case kClear:
            number = 0;
            description.clear();
            source.clear();
            helpFile.clear();
            helpContext = 0;
            return;
        case kRaise: {
            if (args.empty() || args[0].missing) Throw(450);
            VbsError e;
            double n = ToDouble(args[0].Get());
            if (n < -2147483648.0 || n > 4294967295.0) Throw(5);
            e.number = n > 2147483647.0 ? int32_t(uint32_t(n)) : int32_t(n);
            if (e.number == 0) Throw(5);
            e.hr = HrOfNumber(e.number);
            // what is not given stays from the error before ("Err.Raise n" again)
            e.source = args.size() > 1 && !args[1].missing ? ToStr(args[1].Get())
                       : !source.empty()                   ? source
                                                           : WString(kRuntimeSource);
            e.helpFile = args.size() > 3 && !args[3].missing ? ToStr(args[3].Get()) : helpFile;
            e.helpContext =
                args.size() > 4 && !args[4].missing ? ToLong(args[4].Get()) : helpContext;
            if (args.size() > 2 && !args[2].missing) {
                e.description = ToStr(args[2].Get());
            } else if (!description.empty()) {
                e.description = description;
            } else {
                const char16_t* t = e.number > 0 && e.number <= 0xFFFF ? ErrorText(e.number) : u"";
                e.description = *t ? WString(t) : u"Unknown runtime error";
            }
            throw e;
        }
        default:
            Throw(438);
    }
}

// ---- ProcRef ----

DISPID ProcRef::FindMember(const WString&, const ClassInstance*) const {
    return DISPID_UNKNOWN;
}

void ProcRef::Call(DISPID id, uint16_t, ArgList& args, Value* result) {
    if (id != DISPID_VALUE) Throw(438);
    if (!*alive_) Throw(51);
    in_->CallProc(proc_, nullptr, args, result);
}

}  // namespace vbs
