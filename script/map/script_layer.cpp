#include "script/map/script_layer.h"

#include "formats/shape/spatial_index.h"
#include "map/layers/layer_list.h"
#include "map/layers/shape_layer.h"
#include "map/services/script_events.h"
#include "script/data/script_rect.h"
#include "script/event_table.h"
#include "script/map/script_map_site.h"
#include "script/member_ids.h"
#include "shell/extensions/ext_feature_layer.h"
#include "shell/extensions/ext_image_layer.h"

namespace {

IScriptMapSite* g_site = nullptr;

const char16_t* const kPermissionNames[] = {u"FeatureMoving", u"FeatureSizing", u"VertexMoving",
                                            u"ShowEditForm"};

int16_t Bool(bool on) {
    return on ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace

IScriptMapSite* GetScriptMapSite() {
    return g_site;
}
void SetScriptMapSite(IScriptMapSite* site) {
    g_site = site;
}

const InterfaceDesc& CScriptLayer::Desc() {
    using C = CScriptLayer;
    namespace p = dispid::prop;
    namespace m = dispid::method;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"ILayer", ScriptLibGuid(kLibILayer))
            .PropGet(u"FilePath", p::FilePath, &C::get_FilePath)
            .PropGet(u"Extent", p::Extent, &C::get_Extent)
            .PropGet(u"Comments", p::Comments, &C::get_Comments)
            .PropPut(u"Comments", p::Comments, &C::put_Comments)
            .PropGet(u"Visible", p::Visible, &C::get_Visible, {}, VT_BOOL)
            .PropPut(u"Visible", p::Visible, &C::put_Visible, {Param(u"Visible", VT_BOOL)})
            .PropGet(u"Name", p::Name, &C::get_Name)
            .PropPut(u"Name", p::Name, &C::put_Name)
            .PropGet(u"CanEdit", p::CanEdit, &C::get_CanEdit, {}, VT_BOOL)
            .PropGet(u"Editable", p::Editable, &C::get_Editable, {}, VT_BOOL)
            .PropPut(u"Editable", p::Editable, &C::put_Editable, {Param(u"Editable", VT_BOOL)})
            .PropGet(u"CanIdentify", p::CanIdentify, &C::get_CanIdentify, {}, VT_BOOL)
            .PropGet(u"Identifiable", p::Identifiable, &C::get_Identifiable, {}, VT_BOOL)
            .PropPut(u"Identifiable", p::Identifiable, &C::put_Identifiable,
                     {Param(u"Identifiable", VT_BOOL)})
            .PropGet(u"Records", p::Records, &C::get_Records)
            .PropGet(u"Forms", p::Forms, &C::get_Forms)
            .PropGet(u"LayerType", p::LayerType, &C::get_LayerType)
            .PropGet(u"LayerFormat", p::LayerFormat, &C::get_LayerFormat)
            .PropGet(u"Properties", p::Properties, &C::get_Properties, {Param(u"Property")})
            .PropPut(u"Properties", p::Properties, &C::put_Properties, {Param(u"Property")})
            .Method(u"Edit", m::Edit, &C::Edit, {Param(u"Bookmark")}, VT_BOOL)
            .Method(u"Identify", m::Identify, &C::Identify, {Param(u"Bookmark")}, VT_BOOL)
            .Method(u"Hyperlink", m::Hyperlink, &C::Hyperlink, {Param(u"Bookmark")}, VT_BOOL)
            .Method(u"Escape", m::Escape, &C::Escape,
                    {Param(u"p1").Optional(), Param(u"p2").Optional(), Param(u"p3").Optional()})
            .Method(u"Execute", m::Execute, &C::Execute, {Param(u"Script")})
            .Build();
    return d;
}

const CoclassDesc& CScriptLayer::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibLayer), u"Layer", &Desc(),
                               ScriptEventInterface(kLibILayerEvents)};
    return c;
}

CScriptLayer* CScriptLayer::Create(CLayer* layer) {
    auto* o = new CScriptLayer;
    o->m_layer = layer;
    return o;
}

ComPtr<CScriptLayer> CScriptLayer::From(IDispatch* object) {
    ComPtr<IDispatch> d;
    if (!object || FAILED(object->QueryInterface(Desc().iid, d.ReceiveVoid())) || !d) return {};
    return ComPtr<CScriptLayer>(static_cast<CScriptLayer*>(d.Get()));
}

CScriptLayer::~CScriptLayer() {
    // A recordset a script still holds must not ask a dead object.
    if (m_records) m_records->DetachLayer();
}

void CScriptLayer::Detach() {
    if (m_records) m_records->DetachLayer();
    m_layer = nullptr;
}

CShapeLayer* CScriptLayer::ShapeLayer() const {
    return m_layer && m_layer->GetKind() == LayerKind::Shape ? static_cast<CShapeLayer*>(m_layer)
                                                               : nullptr;
}

// ---- the recordset's view of the layer ----

ShpHandle CScriptLayer::Handle() {
    CShapeLayer* l = ShapeLayer();
    return l ? l->GetHandle() : nullptr;
}
CSpatialIndex* CScriptLayer::Index() {
    CShapeLayer* l = ShapeLayer();
    return l && l->HasSpatialIndex() ? l->m_index.get() : nullptr;
}
CCoordSys* CScriptLayer::MapCoordSys() {
    return m_layer ? m_layer->GetMapCoordSys() : nullptr;
}
bool CScriptLayer::RebuildIndex() {
    CShapeLayer* l = ShapeLayer();
    return l && l->BuildSpatialIndex();
}
bool CScriptLayer::DeleteIndex() {
    CShapeLayer* l = ShapeLayer();
    return l && l->DeleteSpatialIndex();
}
bool CScriptLayer::Pack() {
    CShapeLayer* l = ShapeLayer();
    return l && l->Pack(false);
}
void CScriptLayer::RecordDeleted(int record) {
    if (m_layer && g_site) g_site->RecordDeleted(m_layer, record);
}

// ---- properties ----

HRESULT CScriptLayer::get_FilePath(BSTR* out) {
    *out = nullptr;
    if (!m_layer) return E_FAIL;
    *out = SysAllocString(WStringView(m_layer->GetPath()));
    return S_OK;
}

HRESULT CScriptLayer::get_Extent(IDispatch** out) {
    *out = nullptr;
    if (!m_layer) return E_FAIL;
    *out = CScriptRect::FromBox(m_layer->Extent(),
                                CScriptCoordSys::ForSystem(m_layer->GetMapCoordSys()).Get());
    (*out)->AddRef();
    return S_OK;
}

HRESULT CScriptLayer::get_Comments(BSTR* out) {
    *out = nullptr;
    if (!m_layer) return E_FAIL;
    *out = SysAllocString(WStringView(m_layer->GetComments()));
    return S_OK;
}
HRESULT CScriptLayer::put_Comments(BSTR value) {
    if (!m_layer) return E_FAIL;
    m_layer->SetComments(BstrView(value));
    return S_OK;
}

HRESULT CScriptLayer::get_Visible(int16_t* out) {
    *out = VARIANT_FALSE;
    if (!m_layer) return E_FAIL;
    *out = Bool(m_layer->IsVisible());
    return S_OK;
}
HRESULT CScriptLayer::put_Visible(int16_t value) {
    if (!m_layer) return E_FAIL;
    m_layer->SetVisible(value != 0);
    if (g_site) g_site->RefreshView();
    return S_OK;
}

HRESULT CScriptLayer::get_Name(BSTR* out) {
    *out = nullptr;
    if (!m_layer) return E_FAIL;
    *out = SysAllocString(WStringView(m_layer->GetName()));
    return S_OK;
}
HRESULT CScriptLayer::put_Name(BSTR value) {
    if (!m_layer) return E_FAIL;
    m_layer->SetName(BstrView(value));
    return S_OK;
}

HRESULT CScriptLayer::get_CanEdit(int16_t* out) {
    *out = VARIANT_FALSE;
    if (!m_layer) return E_FAIL;
    CShapeLayer* l = ShapeLayer();
    *out = Bool(l && l->CanEdit());
    return S_OK;
}

HRESULT CScriptLayer::get_Editable(int16_t* out) {
    *out = VARIANT_FALSE;
    if (!m_layer) return E_FAIL;
    CLayerList* list = g_site ? g_site->Layers() : nullptr;
    *out = Bool(list && EditSlot(m_layer->GetDisplayClass()) >= 0 &&
                list->GetEditLayer(m_layer->GetDisplayClass()) == m_layer);
    return S_OK;
}

HRESULT CScriptLayer::put_Editable(int16_t value) {
    CShapeLayer* l = ShapeLayer();
    if (!l || !l->CanEdit()) return E_FAIL;
    CLayerList* list = g_site ? g_site->Layers() : nullptr;
    if (!list || list->IndexOf(l) < 0) return E_FAIL;
    if (value)
        list->SetEditLayer(l);
    else if (list->GetEditLayer(l->GetDisplayClass()) == l)
        list->ClearEditLayer(l->GetDisplayClass());
    if (g_site) g_site->RefreshView();
    return S_OK;
}

HRESULT CScriptLayer::get_CanIdentify(int16_t* out) {
    *out = VARIANT_FALSE;
    if (!m_layer) return E_FAIL;
    *out = Bool(m_layer->IsIdentifiable());
    return S_OK;
}
HRESULT CScriptLayer::get_Identifiable(int16_t* out) {
    *out = VARIANT_FALSE;
    if (!m_layer) return E_FAIL;
    *out = Bool(m_layer->GetIdentify());
    return S_OK;
}
HRESULT CScriptLayer::put_Identifiable(int16_t value) {
    if (!m_layer) return E_FAIL;
    if (!m_layer->IsIdentifiable()) return E_ACCESSDENIED;
    m_layer->SetIdentify(value != 0);
    return S_OK;
}

HRESULT CScriptLayer::get_Records(IDispatch** out) {
    *out = nullptr;
    if (!ShapeLayer()) return E_FAIL;
    if (!m_records) m_records = ComPtr<CScriptRecordset>(CScriptRecordset::ForLayer(this));
    *out = m_records.Get();
    (*out)->AddRef();
    return S_OK;
}

HRESULT CScriptLayer::get_Forms(IDispatch** out) {
    *out = nullptr;
    // The layer file's forms get their script objects once the forms'
    // objects are installed; until then a layer has none to give.
    return E_FAIL;
}

HRESULT CScriptLayer::get_LayerType(int16_t* out) {
    *out = 0;
    if (!m_layer) return E_FAIL;
    *out = static_cast<int16_t>(m_layer->GetCategory());
    return S_OK;
}

HRESULT CScriptLayer::get_LayerFormat(BSTR* out) {
    *out = nullptr;
    if (!m_layer) return E_FAIL;
    static const char16_t* const kFormats[] = {u"SHAPEFILE", u"BITMAP", u"JPEG",     u"CADRG",
                                               u"MRSID",     u"INTERNAL", u"OMBRIX", u"EXTERNAL"};
    const int kind = static_cast<int>(m_layer->GetKind());
    if (kind < 0 || kind >= static_cast<int>(std::size(kFormats))) return E_FAIL;
    *out = SysAllocString(kFormats[kind]);
    return S_OK;
}

int CScriptLayer::PermissionIndex(BSTR property) {
    for (int i = 0; i < 4; ++i)
        if (text::EqualsNoCase(BstrView(property), kPermissionNames[i])) return i;
    return -1;
}

HRESULT CScriptLayer::get_Properties(BSTR property, VARIANT* out) {
    VariantInit(out);
    if (!m_layer) return E_FAIL;
    bool on;
    switch (PermissionIndex(property)) {
        case 0:
            on = m_layer->IsFeatureMoving();
            break;
        case 1:
            on = m_layer->IsFeatureSizing();
            break;
        case 2:
            on = m_layer->IsVertexMoving();
            break;
        case 3:
            on = m_layer->GetShowEditForm();
            break;
        default:
            return E_INVALIDARG;
    }
    VariantFromBool(out, on);
    return S_OK;
}

HRESULT CScriptLayer::put_Properties(BSTR property, VARIANT value) {
    if (!m_layer) return E_FAIL;
    const VARIANT* v = VariantDeref(&value);
    // Only a true Boolean turns a permission on.
    const bool on = v->vt == VT_BOOL && v->boolVal != VARIANT_FALSE;
    switch (PermissionIndex(property)) {
        case 0:
            m_layer->SetFeatureMoving(on);
            break;
        case 1:
            m_layer->SetFeatureSizing(on);
            break;
        case 2:
            m_layer->SetVertexMoving(on);
            break;
        case 3:
            m_layer->SetShowEditForm(on);
            break;
        default:
            return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CScriptLayer::FeatureCommand(int32_t bookmark, int16_t* ok, int which) {
    *ok = VARIANT_FALSE;
    if (!m_layer) return E_FAIL;
    CShapeLayer* l = ShapeLayer();
    if (!l) return E_NOTIMPL;
    // The feature commands count records from 1, as bookmarks do.
    if (bookmark < 1 || bookmark > DbfGetRecordCount(l->GetTable())) return E_INVALIDARG;
    HWND parent = g_site ? g_site->ViewWindow() : nullptr;
    bool done;
    if (which == 0)
        done = l->EditFeatureProperties(parent, bookmark);
    else if (which == 1)
        done = l->ShowFeatureProperties(parent, bookmark);
    else
        done = l->OpenHyperlink(parent, bookmark);
    *ok = Bool(done);
    return S_OK;
}

HRESULT CScriptLayer::Edit(int32_t bookmark, int16_t* ok) {
    return FeatureCommand(bookmark, ok, 0);
}
HRESULT CScriptLayer::Identify(int32_t bookmark, int16_t* ok) {
    return FeatureCommand(bookmark, ok, 1);
}
HRESULT CScriptLayer::Hyperlink(int32_t bookmark, int16_t* ok) {
    return FeatureCommand(bookmark, ok, 2);
}

HRESULT CScriptLayer::Escape(VARIANT* p1, VARIANT* p2, VARIANT* p3, VARIANT* result) {
    VariantInit(result);
    if (!m_layer || m_layer->GetKind() != LayerKind::Extension) return E_FAIL;
    if (auto* feature = dynamic_cast<CExtFeatureLayer*>(m_layer))
        return feature->Escape(p1, p2, p3, result);
    if (auto* image = dynamic_cast<CExtImageLayer*>(m_layer))
        return image->Escape(p1, p2, p3, result);
    return E_FAIL;
}

HRESULT CScriptLayer::Execute(BSTR script) {
    if (IScriptHost* host = m_layer ? m_layer->GetScriptHost() : nullptr)
        host->ExecuteScriptText(WString(BstrView(script)).c_str());
    return S_OK;
}
