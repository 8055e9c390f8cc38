// Component objects: GUIDs, IUnknown, IDispatch, connection points and
// enumerators, shaped like the platform's automation interfaces.
//
// Contract:
// - Interfaces are plain C++ abstract classes; nothing outside the process
//   calls them, so no calling convention or vtable layout is promised.
// - Reference counting as on the platform: an object starts at 0, its creator
//   AddRef's it; a returned interface pointer is AddRef'd; the last Release
//   destroys. ComPtr<T> holds one counted reference.
// - IDispatch::GetIDsOfNames compares names without regard to case.
// - IDispatch::Invoke: DISPPARAMS::rgvarg holds the arguments in reverse order
//   (the last argument first); a property put passes its value as rgvarg[0]
//   with the named argument DISPID_PROPERTYPUT; a failing argument's index
//   (in rgvarg order) goes to *argErr. A member that raised an error with
//   text answers DISP_E_EXCEPTION and fills EXCEPINFO; other failures come
//   back as the member's own HRESULT.
// - DISPID_VALUE (0) is the default member, DISPID_NEWENUM (-4) gives an
//   IEnumVARIANT through _NewEnum.
// - Connection points: Advise gives an integer cookie (never 0); Unadvise of
//   an unknown cookie answers CONNECT_E_NOCONNECTION.
#pragma once

#include <atomic>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/com/variant.h"

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFIID;
typedef const GUID& REFCLSID;
typedef const GUID& REFGUID;

inline bool operator==(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator!=(const GUID& a, const GUID& b) {
    return !(a == b);
}
inline bool IsEqualGUID(const GUID& a, const GUID& b) {
    return a == b;
}
inline bool IsEqualIID(const GUID& a, const GUID& b) {
    return a == b;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
WString GuidToString(const GUID& g);
// Reads the form above (braces optional, any case); false when malformed.
bool GuidFromString(WStringView s, GUID* out);

// The program's identifiers share one tail; only the first group differs.
constexpr GUID MakeProgramGuid(uint32_t first) {
    return GUID{first, 0x5A4E, 0x4950, {0x9A, 0x3C, 0x5A, 0x61, 0x72, 0x6E, 0x69, 0x70}};
}

extern const IID IID_NULL;
extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_ITypeInfo;
extern const IID IID_IEnumVARIANT;
extern const IID IID_IConnectionPoint;
extern const IID IID_IConnectionPointContainer;

constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_NEWENUM = -4;

// Invoke flags.
enum : uint16_t {
    DISPATCH_METHOD = 0x1,
    DISPATCH_PROPERTYGET = 0x2,
    DISPATCH_PROPERTYPUT = 0x4,
    DISPATCH_PROPERTYPUTREF = 0x8,
};

constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_EN_US = 0x0409;

struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    uint32_t cArgs;
    uint32_t cNamedArgs;
};

struct EXCEPINFO {
    uint16_t wCode;  // an error number of the thrower's own, or 0
    uint16_t wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    uint32_t dwHelpContext;
    void* pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;  // used when wCode is 0
};

// Frees the strings and zeroes the record.
void ClearExcepInfo(EXCEPINFO* e);
// Fills an exception record (strings copied), clearing what it held.
void FillExcepInfo(EXCEPINFO* e, SCODE scode, WStringView source, WStringView description);

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

struct ITypeInfo;

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
    virtual HRESULT GetTypeInfo(uint32_t index, LCID lcid, ITypeInfo** out) = 0;
    virtual HRESULT GetIDsOfNames(REFIID iid, const OLECHAR* const* names, uint32_t count,
                                  LCID lcid, DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, uint16_t flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excep, uint32_t* argErr) = 0;

protected:
    ~IDispatch() = default;
};

struct IEnumVARIANT : IUnknown {
    // Fills up to count items; S_FALSE when fewer were left. fetched may be
    // null only when count is 1.
    virtual HRESULT Next(uint32_t count, VARIANT* items, uint32_t* fetched) = 0;
    virtual HRESULT Skip(uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumVARIANT** out) = 0;

protected:
    ~IEnumVARIANT() = default;
};

struct IConnectionPointContainer;

struct IConnectionPoint : IUnknown {
    virtual HRESULT GetConnectionInterface(IID* out) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** out) = 0;
    virtual HRESULT Advise(IUnknown* sink, uint32_t* cookie) = 0;
    virtual HRESULT Unadvise(uint32_t cookie) = 0;
    virtual HRESULT EnumConnections(void** out) = 0;  // E_NOTIMPL here

protected:
    ~IConnectionPoint() = default;
};

struct IConnectionPointContainer : IUnknown {
    virtual HRESULT EnumConnectionPoints(void** out) = 0;  // E_NOTIMPL here
    virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** out) = 0;

protected:
    ~IConnectionPointContainer() = default;
};

// One counted reference to an interface.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : p_(p) {  // AddRef's
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~ComPtr() { Reset(); }
    ComPtr& operator=(const ComPtr& o) {
        ComPtr(o).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept {
        ComPtr(std::move(o)).Swap(*this);
        return *this;
    }
    // Takes over a reference the caller already owns.
    static ComPtr Adopt(T* p) {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    void Reset() {
        if (p_) {
            T* p = p_;
            p_ = nullptr;
            p->Release();
        }
    }
    T* Detach() {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    // Out-parameter address; releases what was held.
    T** Receive() {
        Reset();
        return &p_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void Swap(ComPtr& o) { std::swap(p_, o.p_); }
    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>* out) const {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(iid, out->ReceiveVoid());
    }

private:
    T* p_ = nullptr;
};

// Reference counting and QueryInterface for an object with one interface I.
// It starts with one reference, its creator's; the last Release deletes it.
// QueryInterface answers IUnknown and whatever Answers() accepts.
template <class I>
class RefCountedObject : public I {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || Answers(iid)) {
            *out = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override {
        uint32_t n = --refs_;
        if (n == 0) delete this;
        return n;
    }

protected:
    RefCountedObject() = default;
    virtual ~RefCountedObject() = default;
    virtual bool Answers(REFIID iid) const = 0;

private:
    std::atomic<uint32_t> refs_{1};
};

// An IDispatch that offers no type information (event sinks, script objects):
// the rest of IDispatch is the subclass's.
class UntypedDispatch : public RefCountedObject<IDispatch> {
public:
    HRESULT GetTypeInfoCount(uint32_t* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
};

// ---- late-bound helpers used by engines and hosts ----

// Looks up one name (case-insensitive).
HRESULT GetDispId(IDispatch* d, WStringView name, DISPID* id);
// Invoke with arguments in natural order (args[0] is the first argument).
// For puts, value is the assigned value and goes last.
HRESULT InvokeHelper(IDispatch* d, DISPID id, uint16_t flags, const VARIANT* args, uint32_t count,
                     VARIANT* result, EXCEPINFO* excep = nullptr);
HRESULT GetProperty(IDispatch* d, WStringView name, VARIANT* result);
HRESULT PutProperty(IDispatch* d, WStringView name, const VARIANT& value);
HRESULT CallMethod(IDispatch* d, WStringView name, const VARIANT* args, uint32_t count,
                   VARIANT* result);
// Gets an object's default member value (DISPID 0, property get) into result.
HRESULT GetDefaultValue(IDispatch* d, VARIANT* result);
// Opens _NewEnum of a collection (property get or method, DISPID -4).
HRESULT GetEnumerator(IDispatch* collection, IEnumVARIANT** out);
