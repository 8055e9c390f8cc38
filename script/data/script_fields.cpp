#include "script/data/script_fields.h"

#include "formats/dbf/dbf_field.h"
#include "platform/com/objects.h"
#include "script/data/script_field.h"
#include "script/data/script_point.h"
#include "script/data/script_points.h"
#include "script/data/script_polygon.h"
#include "script/data/script_polyline.h"
#include "script/member_ids.h"

const InterfaceDesc& CScriptFields::Desc() {
    using C = CScriptFields;
    namespace p = dispid::prop;
    namespace m = dispid::method;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"IFields", ScriptLibGuid(kLibIFields))
            .PropGet(u"_NewEnum", dispid::kNewEnum, &C::get__NewEnum)
            .PropGet(u"Count", p::Count, &C::get_Count)
            .PropGet(u"Shape", p::Shape, &C::get_Shape)
            .PropPutRef(u"Shape", p::Shape, &C::putref_Shape)
            .PropGet(u"ShapeType", p::ShapeType, &C::get_ShapeType)
            .Method(u"Item", dispid::kDefault, &C::Item, {Param(u"Index")})
            .Method(u"Append", m::Append, &C::Append,
                    {Param(u"Name"), Param(u"Type"), Param(u"DefinedSize").Optional(int32_t{0}),
                     Param(u"NumericScale").Optional(int32_t{0})})
            .Build();
    return d;
}

const CoclassDesc& CScriptFields::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibFields), u"Fields", &Desc(), nullptr};
    return c;
}

CScriptFields* CScriptFields::Create(RecordsetFilesPtr files, bool tableOnly) {
    auto* o = new CScriptFields;
    o->m_files = std::move(files);
    o->m_tableOnly = tableOnly;
    return o;
}

HRESULT CScriptFields::get__NewEnum(IUnknown** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_files->IsOpen()) return E_FAIL;
    *out = NewCollectionEnumerator(this);
    return S_OK;
}

HRESULT CScriptFields::get_Count(int32_t* out) {
    *out = 0;
    if (!m_files->IsOpen()) return E_FAIL;
    *out = DbfGetFieldCount(m_files->Table());
    return S_OK;
}

int CScriptFields::FieldIndex(const VARIANT& index) const {
    const VARIANT* v = VariantDeref(&index);
    if (v->vt == VT_BSTR) return DbfFindField(m_files->Table(), WString(BstrView(v->bstrVal)).c_str());
    int32_t position;
    if (FAILED(ScriptCollectionIndex(*v, &position))) return -2;
    return position >= 1 && position <= DbfGetFieldCount(m_files->Table()) ? position - 1 : -1;
}

HRESULT CScriptFields::Item(VARIANT index, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_files->IsOpen()) return E_FAIL;
    const int field = FieldIndex(index);
    if (field == -2) return E_FAIL;
    if (field < 0) return S_OK;
    *out = CScriptField::Create(m_files, field);
    (*out)->AddRef();
    return S_OK;
}

HRESULT CScriptFields::ValueOf(const VARIANT& index, VARIANT* out) {
    VariantInit(out);
    if (!m_files->IsOpen()) return E_FAIL;
    const int field = FieldIndex(index);
    if (field < 0) return E_INVALIDARG;
    return CScriptField::ReadValue(*m_files, field, out);
}

HRESULT CScriptFields::get_ShapeType(int32_t* out) {
    *out = 0;
    if (!m_files->IsOpen()) return E_FAIL;
    if (ShpHandle h = Shapes()) *out = ShpGetShapeType(h);
    return S_OK;
}

HRESULT CScriptFields::get_Shape(IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_files->IsOpen()) return E_FAIL;
    ShpHandle h = Shapes();
    if (!h) return S_OK;
    const int type = ShpGetShapeType(h);
    const ShapeRecord* buffer = m_files->shapefile->GetBuffer();
    CScriptCoordSys* cs = m_files->cs.Get();
    IDispatch* made = nullptr;
    if (IsPointShapeType(type)) {
        double v[4];
        // A deleted record holds no point: there is no shape to hand out.
        if (!buffer || ShpGetPartPointXYZM(h, 0, v, buffer) < 0) return S_OK;
        made = CScriptPoint::Create(type, v[0], v[1], v[2], v[3], cs);
    } else if (IsPolylineShapeType(type) || IsPolygonShapeType(type) ||
               IsMultiPointShapeType(type)) {
        // The objects keep a copy of their own: later moves overwrite and
        // may move the recordset's buffer.
        ScriptShapePtr shape = ScriptShape::Copy(buffer);
        if (!shape) return S_OK;
        if (IsPolylineShapeType(type))
            made = CScriptPolyline::Create(std::move(shape), cs);
        else if (IsPolygonShapeType(type))
            made = CScriptPolygon::Create(std::move(shape), cs);
        else
            made = CScriptPoints::Create(std::move(shape), 0, cs);
    } else {
        return E_NOTIMPL;
    }
    made->AddRef();
    *out = made;
    return S_OK;
}

HRESULT CScriptFields::putref_Shape(IDispatch* shape) {
    if (!m_files->IsOpen()) return E_FAIL;
    ShpHandle h = Shapes();
    if (!h) return S_OK;
    if (!shape) return E_INVALIDARG;
    if (!IsPointShapeType(ShpGetShapeType(h))) return E_NOTIMPL;
    ComPtr<CScriptPoint> point = CScriptPoint::From(shape);
    if (!point) return E_NOINTERFACE;
    if (!m_files->Writable()) return E_ACCESSDENIED;
    ShapeRecord* buffer = m_files->shapefile->GetBuffer();
    if (!buffer ||
        ShpSetPartPointXYZM(h, 0, point->m_x, point->m_y, point->m_z, point->m_m, buffer) < 0)
        return E_INVALIDARG;
    m_files->shapeModified = true;
    return S_OK;
}

HRESULT CScriptFields::Append(BSTR name, int32_t type, int32_t definedSize, int32_t numericScale) {
    const DbfHandle t = m_files->Table();
    if (!m_files->IsOpen()) return E_FAIL;
    if (DbfGetRecordCount(t) > 0) return E_FAIL;
    char letter;
    switch (type) {
        case 129:
        case 130:
            letter = 'C';
            break;
        case 7:
        case 133:
            letter = 'D';
            break;
        case 11:
            letter = 'L';
            break;
        case 2:
        case 5:
        case 20:
            letter = 'N';
            break;
        default:
            return E_FAIL;
    }
    if (DbfAddField(t, WString(BstrView(name)).c_str(), letter, definedSize, numericScale) < 0)
        return E_FAIL;
    return S_OK;
}
