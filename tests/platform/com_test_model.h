// A small application-like object model for the COM and script engine tests:
// an application with global members and events, a layer collection with
// default members and enumeration, layers with events, by-reference and
// optional parameters, and an event object handlers answer through.
#pragma once

#include <cerrno>
#include <new>
#include <stdexcept>
#include <system_error>

#include <functional>
#include <vector>

#include "platform/com/objects.h"

namespace testmodel {

inline const IID IID_ITApplication = MakeProgramGuid(0x7E0002);
inline const IID IID_ITApplicationEvents = MakeProgramGuid(0x7E0003);
inline const CLSID CLSID_TApplication = MakeProgramGuid(0x7E0004);
inline const IID IID_ITLayer = MakeProgramGuid(0x7E0008);
inline const IID IID_ITLayerEvents = MakeProgramGuid(0x7E0009);
inline const CLSID CLSID_TLayer = MakeProgramGuid(0x7E000A);
inline const IID IID_ITLayers = MakeProgramGuid(0x7E000B);
inline const IID IID_ITEvent = MakeProgramGuid(0x7E0E00);
inline const IID IID_ITField = MakeProgramGuid(0x7E000D);
inline const CLSID CLSID_TEvent = MakeProgramGuid(0x7E0E01);

enum : DISPID {
    kOnStartUp = 1,
    kOnShutDown = 2,
    kOnOpen = 24,
    kOnClose = 25,
    kOnTimer = 30,
};

inline BSTR Copy(WStringView s) {
    return SysAllocString(s);
}

class Layer : public ConnectableObject<Layer> {
public:
    explicit Layer(WString name) : name_(std::move(name)) {}
    static const IID& EventIid() { return IID_ITLayerEvents; }
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<Layer>(u"ILayer", IID_ITLayer)
                .PropGet(u"Name", 0x10000, &Layer::get_Name)
                .PropPut(u"Name", 0x10000, &Layer::put_Name)
                .PropGet(u"Visible", 0x10001, &Layer::get_Visible, {}, VT_BOOL)
                .PropPut(u"Visible", 0x10001, &Layer::put_Visible, {Param(u"value", VT_BOOL)})
                .PropGet(u"Owner", 0x10040, &Layer::get_Owner)
                .PropPutRef(u"Owner", 0x10040, &Layer::putref_Owner)
                .Method(u"Rename", 0x20010, &Layer::Rename, {Param(u"Name")}, VT_BOOL)
                .Method(u"Escape", 0x20011, &Layer::Escape,
                        {Param(u"Code"), Param(u"Data").Optional()})
                .Method(u"Sum", 0x20012, &Layer::Sum,
                        {Param(u"A"), Param(u"B").Optional(10), Param(u"C").Optional()})
                .Method(u"Fail", 0x20013, &Layer::Fail, {Param(u"Code")})
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const InterfaceDesc events = MakeEventInterface(
            u"ILayerEvents", IID_ITLayerEvents, {{u"OnOpen", kOnOpen}, {u"OnClose", kOnClose}});
        static const CoclassDesc c{CLSID_TLayer, u"Layer", &Desc(), &events};
        return c;
    }

    HRESULT get_Name(BSTR* out) {
        *out = Copy(name_);
        return S_OK;
    }
    HRESULT put_Name(BSTR v) {
        name_ = BstrView(v);
        return S_OK;
    }
    HRESULT get_Visible(int16_t* out) {
        *out = visible_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT put_Visible(int16_t v) {
        visible_ = v != 0;
        return S_OK;
    }
    HRESULT get_Owner(IDispatch** out) {
        *out = owner_.Get();
        if (*out) (*out)->AddRef();
        return S_OK;
    }
    HRESULT putref_Owner(IDispatch* d) {
        owner_ = ComPtr<IDispatch>(d);
        return S_OK;
    }
    // Answers through a by-reference BSTR, as CreateAppObject does.
    HRESULT Rename(BSTR* name, int16_t* ok) {
        WString n(BstrView(*name));
        if (n.empty()) {
            *ok = VARIANT_FALSE;
            return S_OK;
        }
        name_ = n;
        SysReAllocString(name, (u"layer:" + n).c_str());
        *ok = VARIANT_TRUE;
        return S_OK;
    }
    // In-out VARIANT as the extension escape passes it: code 1 doubles a
    // number, code 2 makes it a string; the result is the code.
    HRESULT Escape(int32_t code, VARIANT* data, int32_t* result) {
        *result = code;
        VARIANT* d = VariantDeref(data);
        if (d->vt == VT_ERROR) return S_OK;  // omitted
        if (code == 1) {
            ComVariant n;
            if (FAILED(VariantChangeType(&n, d, 0, VT_R8))) return E_INVALIDARG;
            VariantClear(d);
            VariantFromDouble(d, n.dblVal * 2);
        } else if (code == 2) {
            VariantClear(d);
            VariantFromString(d, u"escaped");
        }
        return S_OK;
    }
    HRESULT Sum(int32_t a, int32_t b, VARIANT c, double* out) {
        double extra = 0;
        const VARIANT* cv = VariantDeref(&c);
        if (cv->vt != VT_ERROR) {
            ComVariant n;
            if (FAILED(VariantChangeType(&n, cv, 0, VT_R8))) return DISP_E_TYPEMISMATCH;
            extra = n.dblVal;
        }
        *out = a + b + extra;
        return S_OK;
    }
    HRESULT Fail(int32_t code) {
        if (code == 1) return E_INVALIDARG;
        if (code == 3) throw std::system_error(ENOENT, std::generic_category(), "roads.shp");
        if (code == 4) throw std::runtime_error("no layer by that name");
        if (code == 5) throw std::bad_alloc();
        return RaiseDispError(E_FAIL, u"The layer is not open.", u"Layer");
    }

    WString name_;
    bool visible_ = true;
    ComPtr<IDispatch> owner_;
};

class Layers : public DispatchObject<Layers> {
public:
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<Layers>(u"ILayers", IID_ITLayers)
                .PropGet(u"Count", 0x10006, &Layers::get_Count)
                .Method(u"Item", DISPID_VALUE, &Layers::Item, {Param(u"Index")})
                .PropGet(u"_NewEnum", DISPID_NEWENUM, &Layers::get__NewEnum)
                .Method(u"Add", 0x20001, &Layers::Add, {Param(u"Name")})
                .Build();
        return d;
    }
    HRESULT get_Count(int32_t* out) {
        *out = static_cast<int32_t>(items_.size());
        return S_OK;
    }
    // A name or a 1-based position; a name that is not there answers Nothing.
    HRESULT Item(VARIANT index, IDispatch** out) {
        *out = nullptr;
        const VARIANT* v = VariantDeref(&index);
        if (v->vt == VT_BSTR) {
            for (auto& l : items_)
                if (text::EqualsNoCase(l->name_, BstrView(v->bstrVal))) {
                    *out = l.Get();
                    l->AddRef();
                }
            return S_OK;
        }
        ComVariant n;
        if (FAILED(VariantChangeType(&n, v, 0, VT_I4))) return E_INVALIDARG;
        if (n.lVal < 1 || n.lVal > static_cast<int32_t>(items_.size())) return E_INVALIDARG;
        *out = items_[n.lVal - 1].Get();
        (*out)->AddRef();
        return S_OK;
    }
    HRESULT get__NewEnum(IUnknown** out) {
        *out = NewCollectionEnumerator(this);
        return S_OK;
    }
    HRESULT Add(BSTR name, IDispatch** out) {
        auto* l = new Layer(WString(BstrView(name)));
        items_.emplace_back(l);
        *out = l;
        l->AddRef();
        return S_OK;
    }
    std::vector<ComPtr<Layer>> items_;
};

// A record field: its default member is Value.
class Field : public DispatchObject<Field> {
public:
    explicit Field(WString name) : name_(std::move(name)) { ++live; }
    ~Field() override { --live; }
    static inline int live = 0;  // fields in existence
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d = InterfaceBuilder<Field>(u"IField", IID_ITField)
                                           .PropGet(u"Value", DISPID_VALUE, &Field::get_Value)
                                           .PropPut(u"Value", DISPID_VALUE, &Field::put_Value)
                                           .PropGet(u"Name", 0x10000, &Field::get_Name)
                                           .Build();
        return d;
    }
    HRESULT get_Value(VARIANT* out) { return VariantCopy(out, &value_); }
    HRESULT put_Value(VARIANT v) { return VariantCopyInd(&value_, &v); }
    HRESULT get_Name(BSTR* out) {
        *out = Copy(name_);
        return S_OK;
    }
    WString name_;
    ComVariant value_;
};

// The event object handlers read and answer through.
class Event : public DispatchObject<Event> {
public:
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<Event>(u"IEvent", IID_ITEvent)
                .PropGet(u"Name", 0x10000, &Event::get_Name)
                .PropGet(u"Result", 0x10019, &Event::get_Result)
                .PropPut(u"Result", 0x10019, &Event::put_Result)
                .PropGet(u"MessageText", 0x1001A, &Event::get_MessageText)
                .PropPut(u"MessageText", 0x1001A, &Event::put_MessageText)
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{CLSID_TEvent, u"Event", &Desc(), nullptr};
        return c;
    }
    HRESULT get_Name(BSTR* out) {
        if (name_.empty()) return E_FAIL;
        *out = Copy(name_);
        return S_OK;
    }
    HRESULT get_Result(VARIANT* out) { return VariantCopy(out, &result_); }
    HRESULT put_Result(VARIANT v) { return VariantCopyInd(&result_, &v); }
    HRESULT get_MessageText(BSTR* out) {
        *out = Copy(messageText_);
        return S_OK;
    }
    HRESULT put_MessageText(BSTR* v) {
        messageText_ = BstrView(*v);
        return S_OK;
    }
    WString name_;
    ComVariant result_;
    WString messageText_;
};

class Application : public ConnectableObject<Application> {
public:
    Application() : layers_(new Layers) {}
    static const IID& EventIid() { return IID_ITApplicationEvents; }
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<Application>(u"IApplication", IID_ITApplication)
                .PropGet(u"Name", 0x10000, &Application::get_Name)
                .PropGet(u"Caption", 0x10003, &Application::get_Caption)
                .PropPut(u"Caption", 0x10003, &Application::put_Caption)
                .PropGet(u"Layers", 0x10010, &Application::get_Layers)
                .PropGet(u"Text", 0x10011, &Application::get_Text, {Param(u"Index")})
                .PropPut(u"Text", 0x10011, &Application::put_Text, {Param(u"Index")})
                .PropGet(u"UserProperties", 0x10012, &Application::get_UserProperties,
                         {Param(u"Name")})
                .PropPut(u"UserProperties", 0x10012, &Application::put_UserProperties,
                         {Param(u"Name")})
                .PropGet(u"When", 0x10013, &Application::get_When, {}, VT_DATE)
                .PropPut(u"When", 0x10013, &Application::put_When, {Param(u"value", VT_DATE)})
                .PropGet(u"Fields", 0x10014, &Application::get_Fields, {Param(u"Name")})
                .Method(u"Log", 0x20020, &Application::Log, {Param(u"Text")})
                .Method(u"Scratch", 0x20022, &Application::Scratch)
                .Method(u"Raise", 0x20021, &Application::Raise, {Param(u"Event")})
                .Method(u"Execute", 0x2005E, &Application::Execute, {Param(u"Command")})
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const InterfaceDesc events = MakeEventInterface(
            u"IApplicationEvents", IID_ITApplicationEvents,
            {{u"OnStartup", kOnStartUp}, {u"OnShutdown", kOnShutDown}, {u"OnTimer", kOnTimer}});
        static const CoclassDesc c{CLSID_TApplication, u"Application", &Desc(), &events};
        return c;
    }

    HRESULT get_Name(BSTR* out) {
        *out = Copy(u"Zarnip");
        return S_OK;
    }
    HRESULT get_Caption(BSTR* out) {
        *out = Copy(caption_);
        return S_OK;
    }
    HRESULT put_Caption(BSTR v) {
        caption_ = BstrView(v);
        return S_OK;
    }
    HRESULT get_Layers(IDispatch** out) {
        *out = layers_.Get();
        (*out)->AddRef();
        return S_OK;
    }
    HRESULT get_Text(int32_t index, BSTR* out) {
        if (index < 0 || index >= 4) return E_INVALIDARG;
        *out = Copy(text_[index]);
        return S_OK;
    }
    HRESULT put_Text(int32_t index, BSTR v) {
        if (index < 0 || index >= 4) return E_INVALIDARG;
        text_[index] = BstrView(v);
        return S_OK;
    }
    HRESULT get_UserProperties(BSTR name, VARIANT* out) {
        for (auto& [k, v] : props_)
            if (text::EqualsNoCase(k, BstrView(name))) return VariantCopy(out, &v);
        return S_OK;  // Empty
    }
    HRESULT put_UserProperties(BSTR name, VARIANT v) {
        for (auto& [k, old] : props_)
            if (text::EqualsNoCase(k, BstrView(name))) return VariantCopyInd(&old, &v);
        props_.emplace_back(WString(BstrView(name)), ComVariant());
        return VariantCopyInd(&props_.back().second, &v);
    }
    HRESULT get_When(double* out) {
        *out = when_;
        return S_OK;
    }
    HRESULT put_When(double v) {
        when_ = v;
        return S_OK;
    }
    HRESULT get_Fields(BSTR name, IDispatch** out) {
        for (auto& f : fields_)
            if (text::EqualsNoCase(f->name_, BstrView(name))) {
                *out = f.Get();
                f->AddRef();
                return S_OK;
            }
        fields_.emplace_back(new Field(WString(BstrView(name))));
        *out = fields_.back().Get();
        (*out)->AddRef();
        return S_OK;
    }
    // A new object at each call, as geometry objects are.
    HRESULT Scratch(IDispatch** out) {
        *out = new Field(u"scratch");
        (*out)->AddRef();
        return S_OK;
    }
    HRESULT Log(BSTR t) {
        log_.emplace_back(BstrView(t));
        return S_OK;
    }
    // Fires one of its own events from inside a script (re-entrancy).
    HRESULT Raise(int32_t id) {
        FireEvent(id);
        return S_OK;
    }
    HRESULT Execute(BSTR command) {
        log_.push_back(u"execute:" + WString(BstrView(command)));
        if (onExecute) onExecute();
        return S_OK;
    }
    std::function<void()> onExecute;

    ComPtr<Layers> layers_;
    WString caption_ = u"Map";
    WString text_[4];
    std::vector<std::pair<WString, ComVariant>> props_;
    double when_ = 0;
    std::vector<WString> log_;
    std::vector<ComPtr<Field>> fields_;
};

}  // namespace testmodel
