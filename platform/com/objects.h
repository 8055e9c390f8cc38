// Building blocks for automation objects: a dispatch object driven by its
// type table, an event source with one connection point, and the collection
// enumerator behind _NewEnum.
//
// Contract:
// - DispatchObject<T>: T provides `static const InterfaceDesc& Desc();`
//   built with InterfaceBuilder<T>. Objects start with a count of 0; the
//   creator AddRef's what it keeps or hands out. QueryInterface answers
//   IUnknown, IDispatch and the table's IID. GetTypeInfoCount is 1.
// - ConnectionPoint: Advise queries the sink for the event interface (an
//   IDispatch), appends it and gives an integer cookie (from 1); Unadvise of an
//   unknown cookie answers CONNECT_E_NOCONNECTION. Fire delivers to the sinks
//   in advise order over a snapshot taken before the first call: a sink that
//   unadvises itself or another during delivery is safe, and a sink unadvised
//   before its turn is skipped. Sink failures do not stop delivery.
// - ConnectableObject<T>: a DispatchObject that is also an
//   IConnectionPointContainer with one connection point for T::EventIid().
//   FindConnectionPoint of any other IID answers E_FAIL (CONNECT_E_NOCONNECTION
//   is not used there, as the program expects E_FAIL).
// - NewCollectionEnumerator: IEnumVARIANT over any collection that has Count
//   and Item(1-based index); Next with no fetched pointer accepts only count 1.
#pragma once

#include <atomic>
#include <vector>

#include "platform/com/typeinfo.h"

class ConnectionPoint final : public IConnectionPoint {
public:
    // owner: the container object; its count keeps this point alive.
    ConnectionPoint(IConnectionPointContainer* owner, const IID& eventIid, LCID lcid = LOCALE_EN_US)
        : owner_(owner), iid_(eventIid), lcid_(lcid) {}
    ~ConnectionPoint();
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    uint32_t AddRef() override { return owner_->AddRef(); }
    uint32_t Release() override { return owner_->Release(); }
    HRESULT GetConnectionInterface(IID* out) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT Advise(IUnknown* sink, uint32_t* cookie) override;
    HRESULT Unadvise(uint32_t cookie) override;
    HRESULT EnumConnections(void** out) override;

    // Calls Invoke(id, DISPATCH_METHOD, params) on every sink; returns how
    // many sinks were called.
    size_t Fire(DISPID id, DISPPARAMS* params = nullptr);
    size_t SinkCount() const { return sinks_.size(); }
    void UnadviseAll();
    const IID& EventIid() const { return iid_; }

private:
    struct Sink {
        uint32_t cookie;
        IDispatch* sink;  // counted
    };
    IConnectionPointContainer* owner_;
    IID iid_;
    LCID lcid_;
    std::vector<Sink> sinks_;
    uint32_t nextCookie_ = 1;
};

template <class T>
class DispatchObject : public IDispatch {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == T::Desc().iid) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return QueryOther(iid, out);
    }
    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override {
        uint32_t n = --refs_;
        if (n == 0) delete static_cast<T*>(this);
        return n;
    }
    HRESULT GetTypeInfoCount(uint32_t* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = GetTypeInfoFor(T::Desc());
        return S_OK;
    }
    HRESULT GetIDsOfNames(REFIID, const OLECHAR* const* names, uint32_t count, LCID,
                          DISPID* ids) override {
        return T::Desc().GetIDsOfNames(names, count, ids);
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, uint32_t* argErr) override {
        return T::Desc().Invoke(static_cast<T*>(this), id, flags, params, result, excep, argErr);
    }
    uint32_t RefCount() const { return refs_; }

protected:
    DispatchObject() = default;
    virtual ~DispatchObject() = default;
    virtual HRESULT QueryOther(REFIID, void** out) {
        *out = nullptr;
        return E_NOINTERFACE;
    }

private:
    std::atomic<uint32_t> refs_{0};
};

template <class T>
class ConnectableObject : public DispatchObject<T>, public IConnectionPointContainer {
public:
    uint32_t AddRef() override { return DispatchObject<T>::AddRef(); }
    uint32_t Release() override { return DispatchObject<T>::Release(); }
    HRESULT QueryInterface(REFIID iid, void** out) override {
        return DispatchObject<T>::QueryInterface(iid, out);
    }
    HRESULT EnumConnectionPoints(void** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        if (!out) return E_POINTER;
        if (iid != point_.EventIid()) {
            *out = nullptr;
            return E_FAIL;
        }
        *out = &point_;
        point_.AddRef();
        return S_OK;
    }
    // Fires an event (no arguments) to every advised sink.
    size_t FireEvent(DISPID id) { return point_.Fire(id); }
    ConnectionPoint& Point() { return point_; }

protected:
    ConnectableObject() : point_(this, T::EventIid()) {}
    ~ConnectableObject() override { point_.UnadviseAll(); }
    HRESULT QueryOther(REFIID iid, void** out) override {
        if (iid == IID_IConnectionPointContainer) {
            *out = static_cast<IConnectionPointContainer*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

private:
    ConnectionPoint point_;
};

// A new enumerator (one reference) over collection's Count and Item.
IEnumVARIANT* NewCollectionEnumerator(IDispatch* collection);
