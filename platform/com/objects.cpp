#include "platform/com/objects.h"

ConnectionPoint::~ConnectionPoint() {
    UnadviseAll();
}

HRESULT ConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* out) {
    if (!out) return E_POINTER;
    *out = iid_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    *out = owner_;
    owner_->AddRef();
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, uint32_t* cookie) {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    void* p = nullptr;
    HRESULT hr = sink->QueryInterface(iid_, &p);
    if (FAILED(hr)) return hr;
    if (!p) return CONNECT_E_CANNOTCONNECT;
    // The event interface is a dispatch interface.
    sinks_.push_back(Sink{nextCookie_, static_cast<IDispatch*>(p)});
    *cookie = nextCookie_++;
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(uint32_t cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->cookie == cookie) {
            IDispatch* d = it->sink;
            sinks_.erase(it);
            d->Release();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(void** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

void ConnectionPoint::UnadviseAll() {
    std::vector<Sink> old;
    old.swap(sinks_);
    for (auto& s : old) s.sink->Release();
}

size_t ConnectionPoint::Fire(DISPID id, DISPPARAMS* params) {
    // Snapshot with counted references: sinks may unadvise (themselves or
    // others) or advise new ones while we deliver.
    std::vector<std::pair<uint32_t, ComPtr<IDispatch>>> snapshot;
    snapshot.reserve(sinks_.size());
    for (auto& s : sinks_) snapshot.emplace_back(s.cookie, ComPtr<IDispatch>(s.sink));
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    size_t called = 0;
    ComPtr<IConnectionPointContainer> keepOwner(owner_);
    for (auto& [cookie, sink] : snapshot) {
        bool stillAdvised = false;
        for (auto& s : sinks_)
            if (s.cookie == cookie) stillAdvised = true;
        if (!stillAdvised) continue;
        ++called;
        sink->Invoke(id, IID_NULL, lcid_, DISPATCH_METHOD, params ? params : &none, nullptr,
                     nullptr, nullptr);
    }
    return called;
}

namespace {

class CollectionEnumerator final : public RefCountedObject<IEnumVARIANT> {
public:
    explicit CollectionEnumerator(IDispatch* c) : collection_(c) {}
    bool Answers(REFIID iid) const override { return iid == IID_IEnumVARIANT; }
    HRESULT Next(uint32_t count, VARIANT* items, uint32_t* fetched) override {
        if (!fetched && count != 1) return E_INVALIDARG;
        if (!items && count) return E_POINTER;
        for (uint32_t i = 0; i < count; ++i) VariantInit(&items[i]);
        int32_t size = 0;
        {
            ComVariant n;
            if (SUCCEEDED(GetProperty(collection_.Get(), u"Count", &n)) &&
                SUCCEEDED(n.ChangeType(VT_I4)))
                size = n.lVal;
        }
        uint32_t got = 0;
        DISPID item;
        bool haveItem = SUCCEEDED(GetDispId(collection_.Get(), u"Item", &item));
        while (haveItem && got < count && position_ < size) {
            ++position_;
            VARIANT arg;
            VariantFromLong(&arg, position_);
            HRESULT hr = InvokeHelper(collection_.Get(), item,
                                      DISPATCH_METHOD | DISPATCH_PROPERTYGET, &arg, 1, &items[got]);
            if (FAILED(hr)) break;
            ++got;
        }
        if (fetched) *fetched = got;
        return got == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(uint32_t count) override {
        ComVariant n;
        int32_t size = 0;
        if (SUCCEEDED(GetProperty(collection_.Get(), u"Count", &n)) &&
            SUCCEEDED(n.ChangeType(VT_I4)))
            size = n.lVal;
        int64_t target = static_cast<int64_t>(position_) + count;
        position_ =
            static_cast<int32_t>(target > size ? (size > position_ ? size : position_) : target);
        return target > size ? S_FALSE : S_OK;
    }
    HRESULT Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumVARIANT** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

private:
    ComPtr<IDispatch> collection_;
    int32_t position_ = 0;
};

}  // namespace

IEnumVARIANT* NewCollectionEnumerator(IDispatch* collection) {
    return new CollectionEnumerator(collection);
}
