#include <cstdlib>
#include <cstring>

#include "platform/com/com.h"

namespace {

uint32_t ElementSize(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_R8:
        case VT_DATE:
        case VT_CY:
        case VT_I8:
        case VT_UI8:
            return 8;
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return sizeof(void*);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

size_t HeaderSize(uint32_t dims) {
    return offsetof(SAFEARRAY, rgsabound) + dims * sizeof(SAFEARRAYBOUND);
}

// Releases what the elements in [from, to) hold.
void ReleaseElements(SAFEARRAY* psa, uint64_t from, uint64_t to) {
    auto* base = static_cast<char*>(psa->pvData);
    for (uint64_t i = from; i < to; ++i) {
        void* p = base + i * psa->cbElements;
        switch (psa->vt) {
            case VT_BSTR:
                SysFreeString(*static_cast<BSTR*>(p));
                break;
            case VT_DISPATCH:
            case VT_UNKNOWN:
                if (auto* u = *static_cast<IUnknown**>(p)) u->Release();
                break;
            case VT_VARIANT:
                VariantClear(static_cast<VARIANT*>(p));
                break;
            default:
                break;
        }
    }
}

HRESULT CopyElement(VARTYPE vt, void* dst, const void* src, uint32_t size) {
    switch (vt) {
        case VT_BSTR: {
            BSTR s = *static_cast<const BSTR*>(src);
            BSTR c = s ? SysAllocStringLen(s, SysStringLen(s)) : nullptr;
            if (s && !c) return E_OUTOFMEMORY;
            *static_cast<BSTR*>(dst) = c;
            return S_OK;
        }
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            IUnknown* u = *static_cast<IUnknown* const*>(src);
            if (u) u->AddRef();
            *static_cast<IUnknown**>(dst) = u;
            return S_OK;
        }
        case VT_VARIANT:
            VariantInit(static_cast<VARIANT*>(dst));
            return VariantCopy(static_cast<VARIANT*>(dst), static_cast<const VARIANT*>(src));
        default:
            std::memcpy(dst, src, size);
            return S_OK;
    }
}

}  // namespace

uint64_t SafeArrayCount(const SAFEARRAY* psa) {
    if (!psa) return 0;
    uint64_t n = 1;
    for (uint32_t i = 0; i < psa->cDims; ++i) n *= psa->rgsabound[i].cElements;
    return n;
}

SAFEARRAY* SafeArrayCreate(VARTYPE vt, uint32_t cDims, const SAFEARRAYBOUND* bounds) {
    uint32_t size = ElementSize(vt);
    if (!size || cDims == 0 || cDims > 60 || !bounds) return nullptr;
    uint64_t count = 1;
    for (uint32_t i = 0; i < cDims; ++i) {
        count *= bounds[i].cElements;
        if (count * size > 0x7FFFFFFFull) return nullptr;
    }
    auto* psa = static_cast<SAFEARRAY*>(std::calloc(1, HeaderSize(cDims)));
    if (!psa) return nullptr;
    psa->cDims = static_cast<uint16_t>(cDims);
    psa->cbElements = size;
    psa->vt = vt;
    psa->fFeatures = FADF_HAVEVARTYPE | (vt == VT_BSTR       ? FADF_BSTR
                                         : vt == VT_VARIANT  ? FADF_VARIANT
                                         : vt == VT_DISPATCH ? FADF_DISPATCH
                                         : vt == VT_UNKNOWN  ? FADF_UNKNOWN
                                                             : 0);
    std::memcpy(psa->rgsabound, bounds, cDims * sizeof(SAFEARRAYBOUND));
    // Zero-filled storage is a valid empty value for every element type.
    psa->pvData = std::calloc(count ? count : 1, size);
    if (!psa->pvData) {
        std::free(psa);
        return nullptr;
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lowerBound, uint32_t count) {
    SAFEARRAYBOUND b{count, lowerBound};
    return SafeArrayCreate(vt, 1, &b);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
    ReleaseElements(psa, 0, SafeArrayCount(psa));
    std::free(psa->pvData);
    std::free(psa);
    return S_OK;
}

uint32_t SafeArrayGetDim(const SAFEARRAY* psa) {
    return psa ? psa->cDims : 0;
}
uint32_t SafeArrayGetElemsize(const SAFEARRAY* psa) {
    return psa ? psa->cbElements : 0;
}

HRESULT SafeArrayGetVartype(const SAFEARRAY* psa, VARTYPE* vt) {
    if (!psa || !vt) return E_INVALIDARG;
    *vt = psa->vt;
    return S_OK;
}

HRESULT SafeArrayGetLBound(const SAFEARRAY* psa, uint32_t dim, int32_t* out) {
    if (!psa || !out) return E_INVALIDARG;
    if (dim < 1 || dim > psa->cDims) return DISP_E_BADINDEX;
    *out = psa->rgsabound[dim - 1].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(const SAFEARRAY* psa, uint32_t dim, int32_t* out) {
    if (!psa || !out) return E_INVALIDARG;
    if (dim < 1 || dim > psa->cDims) return DISP_E_BADINDEX;
    const auto& b = psa->rgsabound[dim - 1];
    *out = static_cast<int32_t>(static_cast<int64_t>(b.lLbound) + b.cElements - 1);
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (!psa->cLocks) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** data) {
    if (!psa || !data) return E_INVALIDARG;
    SafeArrayLock(psa);
    *data = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    return SafeArrayUnlock(psa);
}

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, const int32_t* indices, void** out) {
    if (!psa || !indices || !out) return E_INVALIDARG;
    uint64_t offset = 0, stride = 1;
    for (uint32_t i = 0; i < psa->cDims; ++i) {
        const auto& b = psa->rgsabound[i];
        int64_t k = static_cast<int64_t>(indices[i]) - b.lLbound;
        if (k < 0 || k >= static_cast<int64_t>(b.cElements)) return DISP_E_BADINDEX;
        offset += static_cast<uint64_t>(k) * stride;
        stride *= b.cElements;
    }
    *out = static_cast<char*>(psa->pvData) + offset * psa->cbElements;
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, const int32_t* indices, void* out) {
    void* p;
    HRESULT hr = SafeArrayPtrOfIndex(psa, indices, &p);
    if (FAILED(hr)) return hr;
    if (!out) return E_INVALIDARG;
    return CopyElement(psa->vt, out, p, psa->cbElements);
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, const int32_t* indices, const void* value) {
    void* p;
    HRESULT hr = SafeArrayPtrOfIndex(psa, indices, &p);
    if (FAILED(hr)) return hr;
    if (!value) return E_INVALIDARG;
    // Copy first, then release the old value, so putting an element onto
    // itself is safe.
    alignas(VARIANT) char tmp[sizeof(VARIANT)];
    hr = CopyElement(psa->vt, tmp, value, psa->cbElements);
    if (FAILED(hr)) return hr;
    uint64_t index = (static_cast<char*>(p) - static_cast<char*>(psa->pvData)) / psa->cbElements;
    ReleaseElements(psa, index, index + 1);
    std::memcpy(p, tmp, psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayCopy(const SAFEARRAY* psa, SAFEARRAY** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!psa) return S_OK;
    SAFEARRAY* copy = SafeArrayCreate(psa->vt, psa->cDims, psa->rgsabound);
    if (!copy) return E_OUTOFMEMORY;
    uint64_t n = SafeArrayCount(psa);
    for (uint64_t i = 0; i < n; ++i) {
        HRESULT hr = CopyElement(psa->vt, static_cast<char*>(copy->pvData) + i * psa->cbElements,
                                 static_cast<const char*>(psa->pvData) + i * psa->cbElements,
                                 psa->cbElements);
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *out = copy;
    return S_OK;
}

HRESULT SafeArrayRedim(SAFEARRAY* psa, const SAFEARRAYBOUND* lastDim) {
    if (!psa || !lastDim) return E_INVALIDARG;
    if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
    uint64_t inner = 1;
    for (uint32_t i = 0; i + 1 < psa->cDims; ++i) inner *= psa->rgsabound[i].cElements;
    uint64_t oldCount = inner * psa->rgsabound[psa->cDims - 1].cElements;
    uint64_t newCount = inner * lastDim->cElements;
    if (newCount * psa->cbElements > 0x7FFFFFFFull) return E_OUTOFMEMORY;
    if (newCount < oldCount) {
        // Shrinking needs no new memory: once the dropped elements are released
        // the bounds change whatever happens, and a block that cannot be made
        // smaller is kept as it is.
        ReleaseElements(psa, newCount, oldCount);
        psa->rgsabound[psa->cDims - 1] = *lastDim;
        if (void* data = std::realloc(psa->pvData, (newCount ? newCount : 1) * psa->cbElements))
            psa->pvData = data;
        return S_OK;
    }
    void* data = std::realloc(psa->pvData, (newCount ? newCount : 1) * psa->cbElements);
    if (!data) return E_OUTOFMEMORY;
    psa->pvData = data;
    if (newCount > oldCount)
        std::memset(static_cast<char*>(data) + oldCount * psa->cbElements, 0,
                    (newCount - oldCount) * psa->cbElements);
    psa->rgsabound[psa->cDims - 1] = *lastDim;
    return S_OK;
}
