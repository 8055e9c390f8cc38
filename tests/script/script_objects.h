// In-test script objects on the program's script object bases, with the
// library's identifiers, names and DISPIDs for exactly the members the
// script tests use. The real Application, Map, Layer... objects replace
// them one by one without changing the scripts.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "script/member_ids.h"
#include "script/script_event.h"
#include "script/script_host.h"
#include "script/script_object.h"

namespace scripttest {

inline BSTR Copy(WStringView s) { return SysAllocString(s); }

// What the scripts write (Log.Write) and what the objects saw.
struct Journal {
    std::vector<std::string> lines;
    void Add(WStringView s) { lines.push_back(text::ToUtf8(s)); }
};
inline Journal& TheJournal() {
    static Journal j;
    return j;
}

// A 1-based collection over counted items, counting the Item calls.
template <class Self, class Element>
class Collection : public CScriptObject<Self> {
public:
    HRESULT get_Count(int32_t* out) {
        *out = static_cast<int32_t>(items.size());
        return S_OK;
    }
    HRESULT Item(VARIANT index, IDispatch** out) {
        *out = nullptr;
        const VARIANT* v = VariantDeref(&index);
        if (v->vt == VT_BSTR) {
            for (auto& e : items)
                if (text::EqualsNoCase(e->name, BstrView(v->bstrVal))) {
                    *out = e.Get();
                    e->AddRef();
                    return S_OK;
                }
            return E_INVALIDARG;
        }
        ComVariant n;
        if (FAILED(VariantChangeType(&n, v, 0, VT_I4))) return E_INVALIDARG;
        itemCalls.push_back(n.lVal);
        if (n.lVal < 1 || n.lVal > static_cast<int32_t>(items.size())) return E_INVALIDARG;
        *out = items[n.lVal - 1].Get();
        (*out)->AddRef();
        return S_OK;
    }
    HRESULT get__NewEnum(IUnknown** out) {
        if (!out) return E_POINTER;
        *out = NewCollectionEnumerator(this);
        return S_OK;
    }
    std::vector<ComPtr<Element>> items;
    std::vector<int32_t> itemCalls;
};

class TApplet : public CScriptObject<TApplet> {
public:
    explicit TApplet(WString n) : name(std::move(n)) {}
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TApplet>(u"IApplet", ScriptLibGuid(kLibIApplet))
                .PropGet(u"Name", dispid::prop::Name, &TApplet::get_Name)
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(kLibApplet), u"Applet", &Desc(),
                                   ScriptEventInterface(kLibIAppletEvents)};
        return c;
    }
    HRESULT get_Name(BSTR* out) {
        *out = Copy(name);
        return S_OK;
    }
    WString name;
};

class TApplets : public Collection<TApplets, TApplet> {
public:
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TApplets>(u"IApplets", ScriptLibGuid(kLibIApplets))
                .PropGet(u"_NewEnum", dispid::kNewEnum, &TApplets::get__NewEnum)
                .PropGet(u"Count", dispid::prop::Count, &TApplets::get_Count)
                .Method(u"Item", dispid::kDefault, &TApplets::Item, {Param(u"Index")})
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(kLibApplets), u"Applets", &Desc(), nullptr};
        return c;
    }
};

class TStatusBar : public CScriptObject<TStatusBar> {
public:
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TStatusBar>(u"IStatusBar", ScriptLibGuid(kLibIStatusBar))
                .PropGet(u"Text", dispid::kDefault, &TStatusBar::get_Text,
                         {Param(u"Pane").Optional(int16_t{0})})
                .PropPut(u"Text", dispid::kDefault, &TStatusBar::put_Text,
                         {Param(u"Pane").Optional(int16_t{0})})
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(kLibStatusBar), u"StatusBar", &Desc(),
                                   ScriptEventInterface(kLibIStatusBarEvents)};
        return c;
    }
    HRESULT get_Text(int16_t pane, BSTR* out) {
        if (pane < 0 || pane > 3) return E_INVALIDARG;
        *out = Copy(panes[pane]);
        return S_OK;
    }
    HRESULT put_Text(int16_t pane, BSTR value) {
        if (pane < 0 || pane > 3) return E_INVALIDARG;
        panes[pane] = BstrView(value);
        TheJournal().Add(u"StatusBar(" + text::IntToText(pane) + u")=" + panes[pane]);
        return S_OK;
    }
    WString panes[4];
};

class TPoint : public CScriptObject<TPoint> {
public:
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TPoint>(u"ISPoint", ScriptLibGuid(kLibISPoint))
                .PropGet(u"x", dispid::prop::x, &TPoint::get_x)
                .PropPut(u"x", dispid::prop::x, &TPoint::put_x)
                .PropGet(u"y", dispid::prop::y, &TPoint::get_y)
                .PropPut(u"y", dispid::prop::y, &TPoint::put_y)
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(kLibSPoint), u"SPoint", &Desc(), nullptr};
        return c;
    }
    HRESULT get_x(double* out) {
        *out = x;
        return S_OK;
    }
    HRESULT put_x(double v) {
        x = v;
        return S_OK;
    }
    HRESULT get_y(double* out) {
        *out = y;
        return S_OK;
    }
    HRESULT put_y(double v) {
        y = v;
        return S_OK;
    }
    double x = 0, y = 0;
};

class TField : public CScriptObject<TField> {
public:
    TField(WString n, ComVariant v) : name(std::move(n)), value(std::move(v)) {}
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TField>(u"IField", ScriptLibGuid(kLibIField))
                .PropGet(u"Value", dispid::kDefault, &TField::get_Value)
                .PropPut(u"Value", dispid::kDefault, &TField::put_Value)
                .PropGet(u"Name", dispid::prop::Name, &TField::get_Name)
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(kLibField), u"Field", &Desc(), nullptr};
        return c;
    }
    HRESULT get_Value(VARIANT* out) { return VariantCopy(out, &value); }
    HRESULT put_Value(VARIANT v) { return VariantCopyInd(&value, &v); }
    HRESULT get_Name(BSTR* out) {
        *out = Copy(name);
        return S_OK;
    }
    WString name;
    ComVariant value;
};

class TFields : public Collection<TFields, TField> {
public:
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TFields>(u"IFields", ScriptLibGuid(kLibIFields))
                .PropGet(u"_NewEnum", dispid::kNewEnum, &TFields::get__NewEnum)
                .PropGet(u"Count", dispid::prop::Count, &TFields::get_Count)
                .PropGet(u"Shape", dispid::prop::Shape, &TFields::get_Shape)
                .PropPutRef(u"Shape", dispid::prop::Shape, &TFields::putref_Shape)
                .Method(u"Item", dispid::kDefault, &TFields::Item, {Param(u"Index")})
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(kLibFields), u"Fields", &Desc(), nullptr};
        return c;
    }
    HRESULT get_Shape(IDispatch** out) {
        *out = shape.Get();
        if (*out) (*out)->AddRef();
        return S_OK;
    }
    HRESULT putref_Shape(IDispatch* value) {
        shape = ComPtr<IDispatch>(value);
        TheJournal().Add(u"Fields.Shape set");
        return S_OK;
    }
    ComPtr<IDispatch> shape;
};

class TRecordset : public CScriptObject<TRecordset> {
public:
    TRecordset() : fields(new TFields) {}
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TRecordset>(u"IRecordset", ScriptLibGuid(kLibIRecordset))
                .PropGet(u"Fields", dispid::kDefault, &TRecordset::get_Fields)
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(kLibRecordset), u"Recordset", &Desc(), nullptr};
        return c;
    }
    HRESULT get_Fields(IDispatch** out) {
        *out = fields.Get();
        (*out)->AddRef();
        return S_OK;
    }
    ComPtr<TFields> fields;
};

class TLayer : public CScriptConnectable<TLayer> {
public:
    explicit TLayer(WString n) : name(std::move(n)), records(new TRecordset) {}
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TLayer>(u"ILayer", ScriptLibGuid(kLibILayer))
                .PropGet(u"Name", dispid::prop::Name, &TLayer::get_Name)
                .PropGet(u"Visible", dispid::prop::Visible, &TLayer::get_Visible, {}, VT_BOOL)
                .PropPut(u"Visible", dispid::prop::Visible, &TLayer::put_Visible,
                         {Param(u"Visible", VT_BOOL)})
                .PropGet(u"Records", dispid::prop::Records, &TLayer::get_Records)
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(kLibLayer), u"Layer", &Desc(),
                                   ScriptEventInterface(kLibILayerEvents)};
        return c;
    }
    HRESULT get_Name(BSTR* out) {
        *out = Copy(name);
        return S_OK;
    }
    HRESULT get_Visible(int16_t* out) {
        *out = visible ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT put_Visible(int16_t v) {
        visible = v != 0;
        TheJournal().Add(name + (visible ? u".Visible=True" : u".Visible=False"));
        return S_OK;
    }
    HRESULT get_Records(IDispatch** out) {
        *out = records.Get();
        (*out)->AddRef();
        return S_OK;
    }
    WString name;
    bool visible = true;
    ComPtr<TRecordset> records;
};

class TLayers : public Collection<TLayers, TLayer> {
public:
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TLayers>(u"ILayers", ScriptLibGuid(kLibILayers))
                .PropGet(u"_NewEnum", dispid::kNewEnum, &TLayers::get__NewEnum)
                .PropGet(u"Count", dispid::prop::Count, &TLayers::get_Count)
                .Method(u"Item", dispid::kDefault, &TLayers::Item, {Param(u"Index")})
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(kLibLayers), u"Layers", &Desc(), nullptr};
        return c;
    }
};

class TMap : public CScriptConnectable<TMap> {
public:
    TMap() : layers(new TLayers) {}
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TMap>(u"IMap", ScriptLibGuid(kLibIMap))
                .PropGet(u"Layers", dispid::kDefault, &TMap::get_Layers)
                .Method(u"Clear", dispid::method::Clear, &TMap::Clear)
                .Method(u"Refresh", dispid::method::Refresh, &TMap::Refresh)
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(kLibMap), u"Map", &Desc(),
                                   ScriptEventInterface(kLibIMapEvents)};
        return c;
    }
    HRESULT get_Layers(IDispatch** out) {
        *out = layers.Get();
        (*out)->AddRef();
        return S_OK;
    }
    HRESULT Clear() {
        TheJournal().Add(u"Map.Clear");
        return S_OK;
    }
    HRESULT Refresh() {
        TheJournal().Add(u"Map.Refresh");
        return S_OK;
    }
    ComPtr<TLayers> layers;
};

class TNavigation : public CScriptConnectable<TNavigation> {
public:
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TNavigation>(u"INavigation", ScriptLibGuid(kLibINavigation))
                .PropGet(u"x", dispid::prop::x, &TNavigation::get_x)
                .PropGet(u"y", dispid::prop::y, &TNavigation::get_y)
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(kLibNavigation), u"Navigation", &Desc(),
                                   ScriptEventInterface(kLibINavigationEvents)};
        return c;
    }
    HRESULT get_x(double* out) {
        *out = 500000.5;
        return S_OK;
    }
    HRESULT get_y(double* out) {
        *out = 4649776.25;
        return S_OK;
    }
};

// A configured command: clicking it fires OnClick on itself.
class TToolItem : public CScriptConnectable<TToolItem> {
public:
    explicit TToolItem(WString n) : name(std::move(n)) {}
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TToolItem>(u"IToolItem", ScriptLibGuid(kLibIToolItem))
                .PropGet(u"Name", dispid::prop::Name, &TToolItem::get_Name)
                .Method(u"Click", dispid::method::Click, &TToolItem::Click)
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(kLibToolItem), u"ToolItem", &Desc(),
                                   ScriptEventInterface(kLibIToolItemEvents)};
        return c;
    }
    HRESULT get_Name(BSTR* out) {
        *out = Copy(name);
        return S_OK;
    }
    HRESULT Click() {
        FireScriptEventNow(this, 7, true, 0);
        return S_OK;
    }
    WString name;
};

class TApplication : public CScriptConnectable<TApplication> {
public:
    TApplication() : applets(new TApplets), statusBar(new TStatusBar) {}
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TApplication>(u"IApplication", ScriptLibGuid(kLibIApplication))
                .PropGet(u"Applets", dispid::prop::Applets, &TApplication::get_Applets)
                .PropGet(u"StatusBar", dispid::prop::StatusBar, &TApplication::get_StatusBar)
                .PropGet(u"Properties", dispid::prop::Properties, &TApplication::get_Properties,
                         {Param(u"Property")})
                .PropGet(u"UserProperties", dispid::prop::UserProperties,
                         &TApplication::get_UserProperties, {Param(u"Name")})
                .PropPut(u"UserProperties", dispid::prop::UserProperties,
                         &TApplication::put_UserProperties, {Param(u"Name")})
                .Method(u"Execute", dispid::method::Execute, &TApplication::Execute,
                        {Param(u"Script")})
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(kLibApplication), u"Application", &Desc(),
                                   ScriptEventInterface(kLibIApplicationEvents)};
        return c;
    }
    HRESULT get_Applets(IDispatch** out) {
        *out = applets.Get();
        (*out)->AddRef();
        return S_OK;
    }
    HRESULT get_StatusBar(IDispatch** out) {
        *out = statusBar.Get();
        (*out)->AddRef();
        return S_OK;
    }
    HRESULT get_Properties(BSTR name, VARIANT* out) {
        if (text::EqualsNoCase(BstrView(name), u"Version")) {
            VariantFromString(out, u"1.0");
            return S_OK;
        }
        return E_INVALIDARG;
    }
    HRESULT get_UserProperties(BSTR name, VARIANT* out) {
        auto it = user.find(WString(BstrView(name)));
        return it == user.end() ? S_OK : VariantCopy(out, &it->second);
    }
    HRESULT put_UserProperties(BSTR name, VARIANT value) {
        ComVariant v;
        VariantCopyInd(&v, &value);
        user[WString(BstrView(name))] = v;
        return S_OK;
    }
    HRESULT Execute(BSTR script) {
        if (host) host->ExecuteString(WString(BstrView(script)).c_str());
        return S_OK;
    }
    ComPtr<TApplets> applets;
    ComPtr<TStatusBar> statusBar;
    std::map<WString, ComVariant> user;
    CScriptHost* host = nullptr;
};

// Log.Write: what the test scripts print.
class TLog : public CScriptObject<TLog> {
public:
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TLog>(u"ITestLog", MakeProgramGuid(0x7F000001))
                .Method(u"Write", 0x20001, &TLog::Write, {Param(u"Text")})
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{MakeProgramGuid(0x7F000002), u"TestLog", &Desc(), nullptr};
        return c;
    }
    HRESULT Write(VARIANT value) {
        ComVariant s;
        if (FAILED(VariantChangeType(&s, &value, 0, VT_BSTR))) {
            TheJournal().Add(u"<not text>");
            return S_OK;
        }
        TheJournal().Add(BstrView(s.bstrVal));
        return S_OK;
    }
};

}  // namespace scripttest
