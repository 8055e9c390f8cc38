#include "platform/com/com.h"

#include "platform/com/typeinfo.h"

// The platform's well-known interface identifiers.
const IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ITypeInfo = {0x00020401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IEnumVARIANT = {0x00020404, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IConnectionPoint = {
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IConnectionPointContainer = {
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

WString GuidToString(const GUID& g) {
    return text::Format(u"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                        g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                        g.Data4[5], g.Data4[6], g.Data4[7]);
}

bool GuidFromString(WStringView s, GUID* out) {
    if (s.size() == 38 && s.front() == u'{' && s.back() == u'}') s = s.substr(1, 36);
    if (s.size() != 36) return false;
    static const int kGroups[] = {8, 4, 4, 4, 12};
    uint64_t vals[5] = {};
    size_t pos = 0;
    for (int g = 0; g < 5; ++g) {
        if (g > 0) {
            if (s[pos] != u'-') return false;
            ++pos;
        }
        for (int k = 0; k < kGroups[g]; ++k, ++pos) {
            int v = text::HexDigit(s[pos]);
            if (v < 0) return false;
            vals[g] = vals[g] * 16 + v;
        }
    }
    out->Data1 = static_cast<uint32_t>(vals[0]);
    out->Data2 = static_cast<uint16_t>(vals[1]);
    out->Data3 = static_cast<uint16_t>(vals[2]);
    out->Data4[0] = static_cast<uint8_t>(vals[3] >> 8);
    out->Data4[1] = static_cast<uint8_t>(vals[3]);
    for (int i = 0; i < 6; ++i) out->Data4[2 + i] = static_cast<uint8_t>(vals[4] >> (40 - 8 * i));
    return true;
}

void ClearExcepInfo(EXCEPINFO* e) {
    if (!e) return;
    SysFreeString(e->bstrSource);
    SysFreeString(e->bstrDescription);
    SysFreeString(e->bstrHelpFile);
    *e = EXCEPINFO{};
}

void FillExcepInfo(EXCEPINFO* e, SCODE scode, WStringView source, WStringView description) {
    if (!e) return;
    ClearExcepInfo(e);
    e->scode = scode;
    e->bstrSource = SysAllocString(source);
    e->bstrDescription = SysAllocString(description);
}

// ---------------------------------------------------------------- late-bound helpers

HRESULT GetDispId(IDispatch* d, WStringView name, DISPID* id) {
    if (!d || !id) return E_POINTER;
    WString n(name);
    const OLECHAR* p = n.c_str();
    return d->GetIDsOfNames(IID_NULL, &p, 1, LOCALE_EN_US, id);
}

HRESULT InvokeHelper(IDispatch* d, DISPID id, uint16_t flags, const VARIANT* args, uint32_t count,
                     VARIANT* result, EXCEPINFO* excep) {
    if (!d) return E_POINTER;
    std::vector<VARIANT> rev(count);
    for (uint32_t i = 0; i < count; ++i) rev[count - 1 - i] = args[i];  // borrowed
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS dp{rev.data(), nullptr, count, 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        dp.rgdispidNamedArgs = &put;
        dp.cNamedArgs = 1;
    }
    uint32_t argErr = 0;
    return d->Invoke(id, IID_NULL, LOCALE_EN_US, flags, &dp, result, excep, &argErr);
}

HRESULT GetProperty(IDispatch* d, WStringView name, VARIANT* result) {
    DISPID id;
    HRESULT hr = GetDispId(d, name, &id);
    if (FAILED(hr)) return hr;
    return InvokeHelper(d, id, DISPATCH_PROPERTYGET, nullptr, 0, result);
}

HRESULT PutProperty(IDispatch* d, WStringView name, const VARIANT& value) {
    DISPID id;
    HRESULT hr = GetDispId(d, name, &id);
    if (FAILED(hr)) return hr;
    return InvokeHelper(d, id, DISPATCH_PROPERTYPUT, &value, 1, nullptr);
}

HRESULT CallMethod(IDispatch* d, WStringView name, const VARIANT* args, uint32_t count,
                   VARIANT* result) {
    DISPID id;
    HRESULT hr = GetDispId(d, name, &id);
    if (FAILED(hr)) return hr;
    return InvokeHelper(d, id, DISPATCH_METHOD, args, count, result);
}

HRESULT GetDefaultValue(IDispatch* d, VARIANT* result) {
    return InvokeHelper(d, DISPID_VALUE, DISPATCH_PROPERTYGET, nullptr, 0, result);
}

HRESULT GetEnumerator(IDispatch* collection, IEnumVARIANT** out) {
    if (!collection || !out) return E_POINTER;
    *out = nullptr;
    ComVariant v;
    HRESULT hr = InvokeHelper(collection, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                              nullptr, 0, &v);
    if (FAILED(hr)) return hr;
    if ((v.vt != VT_UNKNOWN && v.vt != VT_DISPATCH) || !v.punkVal) return DISP_E_TYPEMISMATCH;
    return v.punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(out));
}
