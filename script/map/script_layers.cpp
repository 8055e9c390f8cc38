#include "script/map/script_layers.h"

#include "map/layers/layer_list.h"
#include "platform/com/objects.h"
#include "script/data/script_points.h"
#include "script/data/script_rect.h"
#include "script/map/script_layer.h"
#include "script/map/script_map_site.h"
#include "script/member_ids.h"

namespace {

CLayerList* CurrentLayers() {
    IScriptMapSite* site = GetScriptMapSite();
    return site ? site->Layers() : nullptr;
}

}  // namespace

const InterfaceDesc& CScriptLayers::Desc() {
    using C = CScriptLayers;
    namespace p = dispid::prop;
    namespace m = dispid::method;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"ILayers", ScriptLibGuid(kLibILayers))
            .PropGet(u"_NewEnum", dispid::kNewEnum, &C::get__NewEnum)
            .PropGet(u"Count", p::Count, &C::get_Count)
            .PropGet(u"Extent", p::Extent, &C::get_Extent)
            .Method(u"Item", dispid::kDefault, &C::Item, {Param(u"Index")})
            .Method(u"Clear", m::Clear, &C::Clear)
            .Method(u"Remove", m::Remove, &C::Remove, {Param(u"Index")})
            .Build();
    return d;
}

const CoclassDesc& CScriptLayers::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibLayers), u"Layers", &Desc(), nullptr};
    return c;
}

CScriptLayers* CScriptLayers::Create() {
    return new CScriptLayers;
}

HRESULT CScriptLayers::Find(CLayerList& list, const VARIANT& index, CLayer** out) {
    *out = nullptr;
    const VARIANT* v = VariantDeref(&index);
    int at;
    if (v->vt == VT_BSTR) {
        at = list.FindByName(BstrView(v->bstrVal));
        if (at < 0) at = list.FindByPath(BstrView(v->bstrVal));
    } else {
        int32_t position;
        if (FAILED(ScriptCollectionIndex(*v, &position))) return E_FAIL;
        at = position - 1;
    }
    if (at >= 0 && at < list.GetCount()) *out = list.GetAt(at);
    return S_OK;
}

HRESULT CScriptLayers::get__NewEnum(IUnknown** out) {
    if (!out) return E_POINTER;
    *out = NewCollectionEnumerator(this);
    return S_OK;
}

HRESULT CScriptLayers::get_Count(int32_t* out) {
    CLayerList* list = CurrentLayers();
    *out = list ? list->GetCount() : 0;
    return S_OK;
}

HRESULT CScriptLayers::get_Extent(IDispatch** out) {
    *out = nullptr;
    CLayerList* list = CurrentLayers();
    CDoubleRect box;
    CCoordSys* cs = nullptr;
    if (list) {
        list->GetFullExtent(box, false);
        if (list->GetCount() > 0) cs = list->GetAt(0)->GetMapCoordSys();
    }
    *out = CScriptRect::FromBox(box, CScriptCoordSys::ForSystem(cs).Get());
    (*out)->AddRef();
    return S_OK;
}

HRESULT CScriptLayers::Item(VARIANT index, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    CLayerList* list = CurrentLayers();
    if (!list) return S_OK;
    CLayer* layer = nullptr;
    if (FAILED(Find(*list, index, &layer))) return E_FAIL;
    if (layer) *out = layer->GetScriptObject(true);
    return S_OK;
}

HRESULT CScriptLayers::Clear() {
    CLayerList* list = CurrentLayers();
    if (!list) return S_OK;
    // Layers leave the list at once; they close once no script runs.
    list->RemoveAll();
    GetScriptMapSite()->RefreshView();
    return S_OK;
}

HRESULT CScriptLayers::Remove(VARIANT index) {
    CLayerList* list = CurrentLayers();
    const VARIANT* v = VariantDeref(&index);
    CLayer* layer = nullptr;
    if (v->vt == VT_DISPATCH) {
        ComPtr<CScriptLayer> object = CScriptLayer::From(v->pdispVal);
        // A layer object whose layer is gone names nothing to remove.
        if (!object || !object->GetLayer()) return E_INVALIDARG;
        layer = object->GetLayer();
    } else if (list && FAILED(Find(*list, index, &layer))) {
        return E_INVALIDARG;
    }
    if (!list || !layer || !list->RemoveLayer(layer)) return E_INVALIDARG;
    GetScriptMapSite()->RefreshView();
    return S_OK;
}
