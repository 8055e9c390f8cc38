#include <gtest/gtest.h>

#include <functional>

#include "tests/platform/com_test_model.h"

using namespace testmodel;

namespace {

struct Model {
    Model() : app(new Application) {
        for (auto* n : {u"Roads", u"Rivers", u"Wells"}) {
            ComVariant arg(n), out;
            EXPECT_EQ(CallMethod(app->layers_.Get(), u"Add", &arg, 1, &out), S_OK);
        }
    }
    Layer* layer(int i) { return app->layers_->items_[i].Get(); }
    ComPtr<Application> app;
};

HRESULT Call(IDispatch* d, WStringView name, uint16_t flags, std::vector<VARIANT> args,
             VARIANT* result, uint32_t* argErr = nullptr, EXCEPINFO* excep = nullptr) {
    DISPID id;
    HRESULT hr = GetDispId(d, name, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> rev(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS dp{rev.data(), nullptr, static_cast<uint32_t>(rev.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        dp.rgdispidNamedArgs = &put;
        dp.cNamedArgs = 1;
    }
    uint32_t err = 99;
    hr = d->Invoke(id, IID_NULL, 0, flags, &dp, result, excep, &err);
    if (argErr) *argErr = err;
    return hr;
}

VARIANT Missing() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

VARIANT I4(int32_t n) {
    VARIANT v;
    VariantFromLong(&v, n);
    return v;
}

}  // namespace

TEST(ComDispatch, NamesAndTypeInfo) {
    Model m;
    DISPID id;
    EXPECT_EQ(GetDispId(m.app.Get(), u"cAPTION", &id), S_OK);
    EXPECT_EQ(id, 0x10003);
    EXPECT_EQ(GetDispId(m.app.Get(), u"NoSuchThing", &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    uint32_t n = 0;
    EXPECT_EQ(m.app->GetTypeInfoCount(&n), S_OK);
    EXPECT_EQ(n, 1u);
    ComPtr<ITypeInfo> ti;
    ASSERT_EQ(m.app->GetTypeInfo(7, 0, ti.Receive()), S_OK);  // index ignored
    EXPECT_EQ(ti->GetInterfaceDesc()->name, u"IApplication");
    ComPtr<IConnectionPointContainer> cpc;
    EXPECT_EQ(m.app.As(IID_IConnectionPointContainer, &cpc), S_OK);
    ComPtr<IEnumVARIANT> none;
    EXPECT_EQ(m.app.As(IID_IEnumVARIANT, &none), E_NOINTERFACE);
}

TEST(ComDispatch, CoercesArgumentsAndFillsOptionals) {
    Model m;
    ComVariant r;
    // A number put into a string property; a string index into an I4.
    EXPECT_EQ(Call(m.app.Get(), u"Caption", DISPATCH_PROPERTYPUT, {I4(123)}, nullptr), S_OK);
    EXPECT_EQ(m.app->caption_, u"123");
    ComVariant two(u"2"), val(u"GPS ok");
    EXPECT_EQ(Call(m.app.Get(), u"Text", DISPATCH_PROPERTYPUT, {two, val}, nullptr), S_OK);
    EXPECT_EQ(m.app->text_[2], u"GPS ok");
    EXPECT_EQ(Call(m.app.Get(), u"Text", DISPATCH_PROPERTYGET, {I4(2)}, r.Receive()), S_OK);
    EXPECT_EQ(BstrView(r.bstrVal), u"GPS ok");
    // Optional defaults: B defaults to 10, C (VARIANT, no default) is missing.
    Layer* l = m.layer(0);
    EXPECT_EQ(Call(l, u"Sum", DISPATCH_METHOD, {I4(1)}, r.Receive()), S_OK);
    EXPECT_EQ(r.vt, VT_R8);
    EXPECT_EQ(r.dblVal, 11);
    EXPECT_EQ(Call(l, u"Sum", DISPATCH_METHOD, {I4(1), Missing(), ComVariant(u"0.5")}, r.Receive()),
              S_OK);
    EXPECT_EQ(r.dblVal, 11.5);
    // Errors: which argument failed, and counts.
    uint32_t argErr;
    EXPECT_EQ(Call(l, u"Sum", DISPATCH_METHOD, {I4(1), ComVariant(u"x")}, r.Receive(), &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);  // rgvarg order: the last argument is index 0
    EXPECT_EQ(Call(l, u"Sum", DISPATCH_METHOD, {}, r.Receive()), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(l, u"Sum", DISPATCH_METHOD, {I4(1), I4(2), I4(3), I4(4)}, r.Receive()),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(l, u"Sum", DISPATCH_METHOD, {Missing()}, r.Receive(), &argErr),
              DISP_E_PARAMNOTOPTIONAL);
    // Dates keep their type through a VT_DATE retval.
    ComVariant when(u"2/29/2024 6:00 PM");
    EXPECT_EQ(Call(m.app.Get(), u"When", DISPATCH_PROPERTYPUT, {when}, nullptr), S_OK);
    EXPECT_EQ(Call(m.app.Get(), u"When", DISPATCH_PROPERTYGET, {}, r.Receive()), S_OK);
    EXPECT_EQ(r.vt, VT_DATE);
    EXPECT_DOUBLE_EQ(r.date, 45351.75);
    // A member error with text becomes an exception record.
    EXCEPINFO ei{};
    EXPECT_EQ(Call(l, u"Fail", DISPATCH_METHOD, {I4(2)}, nullptr, nullptr, &ei), DISP_E_EXCEPTION);
    EXPECT_EQ(ei.scode, E_FAIL);
    EXPECT_EQ(BstrView(ei.bstrDescription), u"The layer is not open.");
    ClearExcepInfo(&ei);
    EXPECT_EQ(Call(l, u"Fail", DISPATCH_METHOD, {I4(1)}, nullptr, nullptr, &ei), E_INVALIDARG);
    // Exceptions out of a member keep their kind and their text.
    const struct {
        int32_t code;
        HRESULT returned, scode;
        const char* text;  // part of the description; null: none
    } thrown[] = {
        {3, DISP_E_EXCEPTION, static_cast<HRESULT>(0x80070002), "roads.shp"},
        {4, DISP_E_EXCEPTION, E_FAIL, "no layer by that name"},
        {5, E_OUTOFMEMORY, 0, nullptr},
    };
    for (const auto& t : thrown) {
        SCOPED_TRACE(t.code);
        EXCEPINFO e{};
        EXPECT_EQ(Call(l, u"Fail", DISPATCH_METHOD, {I4(t.code)}, nullptr, nullptr, &e), t.returned);
        if (!t.text) continue;
        EXPECT_EQ(e.scode, t.scode);
        EXPECT_NE(text::ToUtf8(WString(BstrView(e.bstrDescription))).find(t.text), std::string::npos);
        ClearExcepInfo(&e);
    }
}

TEST(ComDispatch, ByReferenceParameters) {
    Model m;
    Layer* l = m.layer(0);
    ComVariant ok;
    // BSTR* from a BSTR reference: the callee's new string lands in the caller's.
    BSTR name = SysAllocString(u"Tracks");
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_BYREF | VT_BSTR;
    ref.pbstrVal = &name;
    EXPECT_EQ(Call(l, u"Rename", DISPATCH_METHOD, {ref}, ok.Receive()), S_OK);
    EXPECT_EQ(BstrView(name), u"layer:Tracks");
    EXPECT_EQ(ok.boolVal, VARIANT_TRUE);
    SysFreeString(name);
    // BSTR* from a VARIANT reference holding a number: converted, written back.
    ComVariant holder(42);
    VARIANT vref;
    VariantInit(&vref);
    vref.vt = VT_BYREF | VT_VARIANT;
    vref.pvarVal = &holder;
    EXPECT_EQ(Call(l, u"Rename", DISPATCH_METHOD, {vref}, ok.Receive()), S_OK);
    EXPECT_EQ(holder.vt, VT_BSTR);
    EXPECT_EQ(BstrView(holder.bstrVal), u"layer:42");
    EXPECT_EQ(l->name_, u"42");
    // By value: the callee works on a temporary.
    ComVariant byVal(u"Temp");
    EXPECT_EQ(Call(l, u"Rename", DISPATCH_METHOD, {byVal}, ok.Receive()), S_OK);
    EXPECT_EQ(BstrView(byVal.bstrVal), u"Temp");
    // VARIANT* in-out, optional.
    ComVariant data(2.5);
    vref.pvarVal = &data;
    ComVariant code;
    EXPECT_EQ(Call(l, u"Escape", DISPATCH_METHOD, {I4(1), vref}, code.Receive()), S_OK);
    EXPECT_EQ(data.dblVal, 5.0);
    EXPECT_EQ(Call(l, u"Escape", DISPATCH_METHOD, {I4(2), vref}, code.Receive()), S_OK);
    EXPECT_EQ(BstrView(data.bstrVal), u"escaped");
    EXPECT_EQ(Call(l, u"Escape", DISPATCH_METHOD, {I4(3)}, code.Receive()), S_OK);
    EXPECT_EQ(code.lVal, 3);
}

TEST(ComDispatch, PutRefAndObjects) {
    Model m;
    Layer* l = m.layer(1);
    uint32_t before = m.app->RefCount();
    ComVariant app(static_cast<IDispatch*>(m.app.Get()));
    EXPECT_EQ(Call(l, u"Owner", DISPATCH_PROPERTYPUTREF, {app}, nullptr), S_OK);
    EXPECT_EQ(l->owner_.Get(), static_cast<IDispatch*>(m.app.Get()));
    // A plain put of an object reaches the putref-only member too.
    ComVariant other(static_cast<IDispatch*>(m.layer(2)));
    EXPECT_EQ(Call(l, u"Owner", DISPATCH_PROPERTYPUT, {other}, nullptr), S_OK);
    EXPECT_EQ(l->owner_.Get(), static_cast<IDispatch*>(m.layer(2)));
    app = ComVariant();
    EXPECT_EQ(m.app->RefCount(), before);
    ComVariant nothing;
    nothing.vt = VT_DISPATCH;
    EXPECT_EQ(Call(l, u"Owner", DISPATCH_PROPERTYPUTREF, {nothing}, nullptr), S_OK);
    EXPECT_FALSE(l->owner_);
}

TEST(ComDispatch, DefaultMembers) {
    Model m;
    ComVariant r;
    // Call/get through DISPID 0 by name and by position.
    ComVariant byName(u"rivers");
    ASSERT_EQ(InvokeHelper(m.app->layers_.Get(), DISPID_VALUE,
                           DISPATCH_METHOD | DISPATCH_PROPERTYGET, &byName, 1, r.Receive()),
              S_OK);
    ASSERT_EQ(r.vt, VT_DISPATCH);
    EXPECT_EQ(r.pdispVal, static_cast<IDispatch*>(m.layer(1)));
    // A miss by name is Nothing, a bad position an error.
    ComVariant miss(u"Lakes");
    EXPECT_EQ(
        InvokeHelper(m.app->layers_.Get(), DISPID_VALUE, DISPATCH_METHOD, &miss, 1, r.Receive()),
        S_OK);
    EXPECT_EQ(r.vt, VT_DISPATCH);
    EXPECT_EQ(r.pdispVal, nullptr);
    VARIANT four = I4(4);
    EXPECT_EQ(
        InvokeHelper(m.app->layers_.Get(), DISPID_VALUE, DISPATCH_METHOD, &four, 1, r.Receive()),
        E_INVALIDARG);
    // Layers(3) on a property that takes no arguments: the rest goes to the
    // returned collection's default member.
    VARIANT three = I4(3);
    ASSERT_EQ(
        Call(m.app.Get(), u"Layers", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {three}, r.Receive()),
        S_OK);
    EXPECT_EQ(r.pdispVal, static_cast<IDispatch*>(m.layer(2)));
    // Put and get through a field's default Value; conversion reads it too.
    ComVariant field;
    ASSERT_EQ(
        Call(m.app.Get(), u"Fields", DISPATCH_PROPERTYGET, {ComVariant(u"NAME")}, field.Receive()),
        S_OK);
    ComVariant abc(u"abc");
    EXPECT_EQ(InvokeHelper(field.pdispVal, DISPID_VALUE, DISPATCH_PROPERTYPUT, &abc, 1, nullptr),
              S_OK);
    ComVariant text;
    EXPECT_EQ(VariantChangeType(&text, &field, 0, VT_BSTR), S_OK);
    EXPECT_EQ(BstrView(text.bstrVal), u"abc");
    EXPECT_EQ(VariantChangeType(&text, &field, VARIANT_NOVALUEPROP, VT_BSTR), DISP_E_TYPEMISMATCH);
    // Fields("NAME") = 5: no put member, so the field's default member takes it.
    EXPECT_EQ(
        Call(m.app.Get(), u"Fields", DISPATCH_PROPERTYPUT, {ComVariant(u"name"), I4(5)}, nullptr),
        S_OK);
    EXPECT_EQ(m.app->fields_[0]->value_.vt, VT_I4);
    EXPECT_EQ(m.app->fields_[0]->value_.lVal, 5);
    EXPECT_EQ(Call(m.app.Get(), u"Name", DISPATCH_PROPERTYPUT, {I4(5)}, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

TEST(ComEnum, CollectionEnumerator) {
    Model m;
    ComPtr<IEnumVARIANT> e;
    ASSERT_EQ(GetEnumerator(m.app->layers_.Get(), e.Receive()), S_OK);
    VARIANT items[2];
    EXPECT_EQ(e->Next(2, items, nullptr), E_INVALIDARG);
    std::vector<WString> names;
    ComVariant v;
    while (e->Next(1, v.Receive(), nullptr) == S_OK) {
        ComVariant n;
        ASSERT_EQ(GetProperty(v.pdispVal, u"Name", &n), S_OK);
        names.emplace_back(BstrView(n.bstrVal));
    }
    EXPECT_EQ(names, (std::vector<WString>{u"Roads", u"Rivers", u"Wells"}));
    e->Reset();
    EXPECT_EQ(e->Skip(2), S_OK);
    uint32_t fetched = 9;
    EXPECT_EQ(e->Next(2, items, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    VariantClear(&items[0]);
    EXPECT_EQ(e->Skip(1), S_FALSE);
    ComPtr<IEnumVARIANT> clone;
    EXPECT_EQ(e->Clone(clone.Receive()), E_NOTIMPL);
    // An empty collection yields nothing.
    ComPtr<Layers> empty(new Layers);
    ASSERT_EQ(GetEnumerator(empty.Get(), e.Receive()), S_OK);
    EXPECT_EQ(e->Next(1, v.Receive(), &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
}

namespace {

// A sink that records its calls and runs an action on each.
class Sink final : public IDispatch {
public:
    Sink(std::vector<WString>* log, WString tag, const IID& iid)
        : log_(log), tag_(std::move(tag)), iid_(iid) {}
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == iid_) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override {
        uint32_t n = --refs;
        if (!n) delete this;
        return n;
    }
    HRESULT GetTypeInfoCount(uint32_t* c) override {
        *c = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, const OLECHAR* const*, uint32_t, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                   uint32_t*) override {
        log_->push_back(tag_ + u":" + text::IntToText(id));
        if (onCall) onCall();
        return E_FAIL;  // failures do not stop delivery
    }
    uint32_t refs = 1;
    std::function<void()> onCall;

private:
    std::vector<WString>* log_;
    WString tag_;
    IID iid_;
};

}  // namespace

TEST(ComConnection, DeliveryOverSnapshot) {
    Model m;
    Layer* layer = m.layer(0);
    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_EQ(ComPtr<IDispatch>(layer).As(IID_IConnectionPointContainer, &cpc), S_OK);
    ComPtr<IConnectionPoint> cp;
    EXPECT_EQ(cpc->FindConnectionPoint(IID_ITApplicationEvents, cp.Receive()), E_FAIL);
    EXPECT_FALSE(cp);
    ASSERT_EQ(cpc->FindConnectionPoint(IID_ITLayerEvents, cp.Receive()), S_OK);
    IID iid;
    cp->GetConnectionInterface(&iid);
    EXPECT_EQ(iid, IID_ITLayerEvents);

    std::vector<WString> log;
    auto* a = new Sink(&log, u"a", IID_ITLayerEvents);
    auto* b = new Sink(&log, u"b", IID_ITLayerEvents);
    auto* c = new Sink(&log, u"c", IID_ITLayerEvents);
    auto* wrong = new Sink(&log, u"x", IID_ITApplicationEvents);
    uint32_t ca, cb, cc, cw;
    EXPECT_EQ(cp->Advise(wrong, &cw), E_NOINTERFACE);
    ASSERT_EQ(cp->Advise(a, &ca), S_OK);
    ASSERT_EQ(cp->Advise(b, &cb), S_OK);
    ASSERT_EQ(cp->Advise(c, &cc), S_OK);
    EXPECT_NE(ca, cb);
    // a unadvises itself and b; b is skipped, c still hears the event.
    a->onCall = [&] {
        EXPECT_EQ(cp->Unadvise(ca), S_OK);
        EXPECT_EQ(cp->Unadvise(cb), S_OK);
    };
    EXPECT_EQ(layer->FireEvent(kOnOpen), 2u);
    EXPECT_EQ(log, (std::vector<WString>{u"a:24", u"c:24"}));
    EXPECT_EQ(a->refs, 1u);  // released by the point
    log.clear();
    EXPECT_EQ(layer->FireEvent(kOnClose), 1u);
    EXPECT_EQ(log, (std::vector<WString>{u"c:25"}));
    EXPECT_EQ(cp->Unadvise(ca), CONNECT_E_NOCONNECTION);
    // The same sink twice hears an event twice.
    uint32_t cc2;
    ASSERT_EQ(cp->Advise(c, &cc2), S_OK);
    log.clear();
    layer->FireEvent(kOnOpen);
    EXPECT_EQ(log.size(), 2u);
    EXPECT_EQ(c->refs, 3u);
    cp->Unadvise(cc);
    cp->Unadvise(cc2);
    a->Release();
    b->Release();
    c->Release();
    wrong->Release();
}

TEST(ComRefCount, ObjectsAreReleased) {
    // Everything handed out during a session is released again; the asan
    // preset's leak checker confirms nothing is left.
    Model m;
    uint32_t base = m.app->RefCount();
    {
        ComVariant layers, item, name;
        ASSERT_EQ(GetProperty(m.app.Get(), u"Layers", &layers), S_OK);
        ComPtr<IEnumVARIANT> e;
        ASSERT_EQ(GetEnumerator(layers.pdispVal, e.Receive()), S_OK);
        while (e->Next(1, item.Receive(), nullptr) == S_OK) {
            ASSERT_EQ(GetProperty(item.pdispVal, u"Name", &name), S_OK);
        }
        ComPtr<ITypeInfo> ti;
        m.app->GetTypeInfo(0, 0, ti.Receive());
        ComPtr<IConnectionPointContainer> cpc;
        m.app.As(IID_IConnectionPointContainer, &cpc);
        ComPtr<IConnectionPoint> cp;
        cpc->FindConnectionPoint(IID_ITApplicationEvents, cp.Receive());
        ComPtr<IConnectionPointContainer> back;
        cp->GetConnectionPointContainer(back.Receive());
        EXPECT_GT(m.app->RefCount(), base);
    }
    EXPECT_EQ(m.app->RefCount(), base);
    EXPECT_EQ(m.layer(0)->RefCount(), 1u);
    EXPECT_EQ(m.app->layers_->RefCount(), 1u);
}
