// Type tables: the compiled-in description of dispatch interfaces and
// coclasses, and the generic Invoke built on them.
//
// Contract:
// - One declaration per interface gives everything: member names, DISPIDs,
//   invoke kinds, parameter types and flags (in, out, retval, optional,
//   default values) and the C++ member each entry calls:
//
//     const InterfaceDesc& FieldDesc() {
//         static const InterfaceDesc d =
//             InterfaceBuilder<Field>(u"IField", IID_IField)
//                 .PropGet(u"Value", DISPID_VALUE, &Field::get_Value)
//                 .PropPut(u"Value", DISPID_VALUE, &Field::put_Value)
//                 .Method(u"Resize", 0x20001, &Field::Resize,
//                         {Param(u"Width"), Param(u"Fill", VT_BOOL).Optional(false)})
//                 .Build();
//         return d;
//     }
//
//   Parameter types follow from the C++ signature (BSTR, int32_t = I4,
//   int16_t = I2, uint8_t = UI1, float, double = R8, VARIANT, IDispatch*,
//   IUnknown*; a pointer is a by-reference in/out parameter); Param(name, vt)
//   picks the alias where one C type serves two (VT_BOOL, VT_DATE, VT_INT,
//   VT_UI4). A getter's or method's last pointer parameter beyond the listed
//   Params is the return value (its alias, e.g. VT_DATE, is the optional last
//   argument of PropGet/Method); a putter's last parameter is the assigned value.
// - InterfaceDesc::Invoke is the generic Invoke: finds the member by DISPID and
//   kind; coerces each argument to its declared type with VariantChangeType
//   (argument error index on failure); fills omitted optional arguments
//   (VT_ERROR/DISP_E_PARAMNOTFOUND or a missing trailing argument) with their
//   default (a VARIANT parameter without one gets VT_ERROR DISP_E_PARAMNOTFOUND);
//   passes by-reference arguments through when the caller's type matches and
//   through a temporary written back otherwise; returns the retval in *result.
//   DISPATCH_METHOD|DISPATCH_PROPERTYGET tries both. A property get given more
//   arguments than it takes, whose value is an object, passes the rest to that
//   object's default member (so Layers(1) works when Layers takes none).
//   A put of an object to a member that has only putref (or the reverse) is
//   accepted. A put to a get-only member that gives an object puts that
//   object's default member (Fields("NAME") = v).
// - CoclassDesc names the default interface and the default source (event)
//   interface, whose members carry the event names and DISPIDs.
// - ITypeInfo is our stand-in for the platform's type information: it hands
//   out the descriptions; GetTypeInfoFor() wraps one.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <type_traits>
#include <vector>

#include "platform/com/com.h"

enum INVOKEKIND : uint16_t {
    INVOKE_FUNC = 1,
    INVOKE_PROPERTYGET = 2,
    INVOKE_PROPERTYPUT = 4,
    INVOKE_PROPERTYPUTREF = 8,
};

enum : uint16_t {
    PARAMFLAG_NONE = 0,
    PARAMFLAG_FIN = 0x1,
    PARAMFLAG_FOUT = 0x2,
    PARAMFLAG_FRETVAL = 0x8,
    PARAMFLAG_FOPT = 0x10,
    PARAMFLAG_FHASDEFAULT = 0x20,
};

struct ParamDesc {
    WString name;
    VARTYPE vt = VT_EMPTY;  // VT_BYREF set for pointer parameters
    uint16_t flags = PARAMFLAG_FIN;
    ComVariant defaultValue;  // meaningful with PARAMFLAG_FHASDEFAULT

    // Declares a parameter; vt 0 means "as the C++ type says".
    explicit ParamDesc(WStringView n, VARTYPE t = VT_EMPTY) : name(n), vt(t) {}
    ParamDesc& Optional() {
        flags |= PARAMFLAG_FOPT;
        return *this;
    }
    template <class V>
    ParamDesc& Optional(V value) {
        flags |= PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT;
        defaultValue = ComVariant(value);
        return *this;
    }
};
inline ParamDesc Param(WStringView name, VARTYPE vt = VT_EMPTY) {
    return ParamDesc(name, vt);
}

// Calls the C++ member: instance, one VARIANT slot per parameter (retval and
// put value included): a by-value parameter's slot holds a value of its type,
// a pointer parameter's slot is VT_BYREF pointing at the storage.
using MemberThunk = HRESULT (*)(const void* member, void* instance, VARIANT* const* slots);

struct MemberDesc {
    WString name;
    DISPID dispid = 0;
    INVOKEKIND kind = INVOKE_FUNC;
    VARTYPE returnType = VT_VOID;   // VT_VOID when there is no retval
    std::vector<ParamDesc> params;  // declared parameters, put value included, retval excluded
    // Binding to C++ (absent in descriptions of event interfaces).
    MemberThunk thunk = nullptr;
    std::shared_ptr<const void> member;  // the member pointer, type-erased
    size_t RequiredCount() const;
};

enum : uint32_t {
    TYPEFLAG_FDUAL = 0x40,
    TYPEFLAG_FDISPATCHABLE = 0x1000,
};

class InterfaceDesc {
public:
    IID iid{};
    WString name;
    uint32_t flags = TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE;
    std::vector<MemberDesc> members;  // library order

    // Case-insensitive; DISP_E_UNKNOWNNAME when absent.
    HRESULT GetIDOfName(WStringView name, DISPID* id) const;
    HRESULT GetIDsOfNames(const OLECHAR* const* names, uint32_t count, DISPID* ids) const;
    // The first member with that id (and any kind when kinds is 0).
    const MemberDesc* Find(DISPID id, uint16_t kinds = 0) const;
    const MemberDesc* FindByName(WStringView name) const;
    // The generic Invoke on a C++ instance of the declaring class.
    HRESULT Invoke(void* instance, DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, uint32_t* argErr) const;
};

struct CoclassDesc {
    CLSID clsid{};
    WString name;
    const InterfaceDesc* defaultInterface = nullptr;
    const InterfaceDesc* defaultSource = nullptr;  // null when the class raises no events
};

extern const IID IID_ITypeInfo;

// Stand-in for the platform's type information object.
struct ITypeInfo : IUnknown {
    // Exactly one of the two is non-null.
    virtual const InterfaceDesc* GetInterfaceDesc() = 0;
    virtual const CoclassDesc* GetCoclassDesc() = 0;

protected:
    ~ITypeInfo() = default;
};

// New type information objects with one reference (the descriptions must
// outlive them; they are statics in practice).
ITypeInfo* GetTypeInfoFor(const InterfaceDesc& d);
ITypeInfo* GetTypeInfoFor(const CoclassDesc& d);

// A description of an event interface: names and DISPIDs only.
InterfaceDesc MakeEventInterface(WStringView name, const IID& iid,
                                 std::initializer_list<std::pair<const char16_t*, DISPID>> events);

// ---- binding C++ members ----

namespace typeinfo_detail {

template <class T>
struct ArgTraits;  // vt: default VARTYPE; Get(slot): the C++ argument from a slot
#define ZN_ARG_TRAIT(T, VT, FIELD)                                      \
    template <>                                                         \
    struct ArgTraits<T> {                                               \
        static constexpr VARTYPE vt = VT;                               \
        static T Get(VARIANT* s) { return s->FIELD; }                   \
    };                                                                  \
    template <>                                                         \
    struct ArgTraits<T*> {                                              \
        static constexpr VARTYPE vt = VT | VT_BYREF;                    \
        static T* Get(VARIANT* s) { return static_cast<T*>(s->byref); } \
    };
ZN_ARG_TRAIT(BSTR, VT_BSTR, bstrVal)
ZN_ARG_TRAIT(int32_t, VT_I4, lVal)
ZN_ARG_TRAIT(uint32_t, VT_UI4, ulVal)
ZN_ARG_TRAIT(int16_t, VT_I2, iVal)
ZN_ARG_TRAIT(uint8_t, VT_UI1, bVal)
ZN_ARG_TRAIT(float, VT_R4, fltVal)
ZN_ARG_TRAIT(double, VT_R8, dblVal)
ZN_ARG_TRAIT(CY, VT_CY, cyVal)
ZN_ARG_TRAIT(IDispatch*, VT_DISPATCH, pdispVal)
ZN_ARG_TRAIT(IUnknown*, VT_UNKNOWN, punkVal)
ZN_ARG_TRAIT(SAFEARRAY*, VT_ARRAY | VT_VARIANT, parray)
#undef ZN_ARG_TRAIT
template <>
struct ArgTraits<VARIANT> {
    static constexpr VARTYPE vt = VT_VARIANT;
    static VARIANT Get(VARIANT* s) { return *s; }  // borrowed, as the platform passes it
};
template <>
struct ArgTraits<VARIANT*> {
    static constexpr VARTYPE vt = VT_VARIANT | VT_BYREF;
    static VARIANT* Get(VARIANT* s) { return s->pvarVal; }
};
template <>
struct ArgTraits<const VARIANT&> : ArgTraits<VARIANT> {};

// Whether vt is an allowed alias of the C++ type's default.
bool CompatibleVt(VARTYPE declared, VARTYPE natural);

template <class C, class... A>
struct Binder {
    using Fn = HRESULT (C::*)(A...);
    static constexpr size_t kArity = sizeof...(A);
    template <size_t... I>
    static HRESULT CallImpl(const void* m, void* inst, VARIANT* const* slots,
                            std::index_sequence<I...>) {
        Fn fn = *static_cast<const Fn*>(m);
        return (static_cast<C*>(inst)->*fn)(ArgTraits<A>::Get(slots[I])...);
    }
    static HRESULT Call(const void* m, void* inst, VARIANT* const* slots) {
        return CallImpl(m, inst, slots, std::index_sequence_for<A...>{});
    }
    static std::vector<VARTYPE> Vts() { return {ArgTraits<A>::vt...}; }
};

// Fills kind, params, returnType and binding; aborts with a message when the
// declaration and the C++ signature disagree (a programming error).
void Bind(MemberDesc& m, std::vector<VARTYPE> natural, std::vector<ParamDesc> declared,
          MemberThunk thunk, std::shared_ptr<const void> member, VARTYPE returns);

}  // namespace typeinfo_detail

template <class C>
class InterfaceBuilder {
public:
    InterfaceBuilder(WStringView name, const IID& iid) {
        d_.name = name;
        d_.iid = iid;
    }
    InterfaceBuilder& DispatchOnly() {
        d_.flags &= ~TYPEFLAG_FDUAL;
        return *this;
    }
    template <class Base, class... A>
    InterfaceBuilder& Method(WStringView name, DISPID id, HRESULT (Base::*fn)(A...),
                             std::initializer_list<ParamDesc> params = {},
                             VARTYPE returns = VT_EMPTY) {
        return Add(name, id, INVOKE_FUNC, fn, params, returns);
    }
    template <class Base, class... A>
    InterfaceBuilder& PropGet(WStringView name, DISPID id, HRESULT (Base::*fn)(A...),
                              std::initializer_list<ParamDesc> params = {},
                              VARTYPE returns = VT_EMPTY) {
        return Add(name, id, INVOKE_PROPERTYGET, fn, params, returns);
    }
    template <class Base, class... A>
    InterfaceBuilder& PropPut(WStringView name, DISPID id, HRESULT (Base::*fn)(A...),
                              std::initializer_list<ParamDesc> params = {}) {
        return Add(name, id, INVOKE_PROPERTYPUT, fn, params, VT_EMPTY);
    }
    template <class Base, class... A>
    InterfaceBuilder& PropPutRef(WStringView name, DISPID id, HRESULT (Base::*fn)(A...),
                                 std::initializer_list<ParamDesc> params = {}) {
        return Add(name, id, INVOKE_PROPERTYPUTREF, fn, params, VT_EMPTY);
    }
    InterfaceDesc Build() { return std::move(d_); }

private:
    // fn may be a member of a base class of C (a shared collection base).
    template <class Base, class... A>
    InterfaceBuilder& Add(WStringView name, DISPID id, INVOKEKIND kind, HRESULT (Base::*base)(A...),
                          std::initializer_list<ParamDesc> params, VARTYPE returns) {
        static_assert(std::is_base_of_v<Base, C>, "a member of the class or of a base");
        HRESULT (C::*fn)(A...) = base;
        using B = typeinfo_detail::Binder<C, A...>;
        MemberDesc m;
        m.name = name;
        m.dispid = id;
        m.kind = kind;
        auto stored = std::make_shared<typename B::Fn>(fn);
        typeinfo_detail::Bind(m, B::Vts(), std::vector<ParamDesc>(params), &B::Call, stored,
                              returns);
        d_.members.push_back(std::move(m));
        return *this;
    }
    InterfaceDesc d_;
};

// A member that wants its failure reported with a text returns
// RaiseDispError(...): the generic Invoke then fills EXCEPINFO (when the
// caller gave one) and answers DISP_E_EXCEPTION; without one it answers scode.
HRESULT RaiseDispError(SCODE scode, WStringView description, WStringView source = u"");
