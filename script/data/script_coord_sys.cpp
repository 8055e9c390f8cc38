#include "script/data/script_coord_sys.h"

#include "crs/code_tables.h"
#include "crs/datum_table.h"
#include "crs/geographic.h"
#include "crs/wkt.h"
#include "script/data/script_point.h"
#include "script/data/script_rect.h"
#include "script/member_ids.h"

namespace {

// The datum row keeps names of this length at most.
constexpr size_t kDatumNameLimit = 40;

// A code argument: a string looked up by name (-1 when absent), else the
// number (0 when it is none).
int32_t ResolveCode(const VARIANT& argument) {
    const VARIANT* v = VariantDeref(&argument);
    if (v->vt == VT_BSTR) return GetCrsCodeFromName(BstrView(v->bstrVal));
    ComVariant n;
    if (FAILED(VariantChangeType(&n, v, 0, VT_I4))) return 0;
    return n.lVal;
}

}  // namespace

const InterfaceDesc& CScriptCoordSys::Desc() {
    using C = CScriptCoordSys;
    namespace p = dispid::prop;
    namespace m = dispid::method;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"ICoordSys", ScriptLibGuid(kLibICoordSys))
            .PropGet(u"String", dispid::kDefault, &C::get_String)
            .PropPut(u"String", dispid::kDefault, &C::put_String)
            .PropGet(u"GeographicUnit", p::GeographicUnit, &C::get_GeographicUnit)
            .PropPut(u"GeographicUnit", p::GeographicUnit, &C::put_GeographicUnit)
            .PropGet(u"GeographicName", p::GeographicName, &C::get_GeographicName)
            .PropPut(u"GeographicName", p::GeographicName, &C::put_GeographicName)
            .PropGet(u"Projection", p::Projection, &C::get_Projection)
            .PropGet(u"ProjectionUnit", p::ProjectionUnit, &C::get_ProjectionUnit)
            .PropPut(u"ProjectionUnit", p::ProjectionUnit, &C::put_ProjectionUnit)
            .PropGet(u"ProjectionName", p::ProjectionName, &C::get_ProjectionName)
            .PropPut(u"ProjectionName", p::ProjectionName, &C::put_ProjectionName)
            .PropGet(u"Datum", p::Datum, &C::get_Datum)
            .PropPut(u"Datum", p::Datum, &C::put_Datum)
            .PropGet(u"DatumName", p::DatumName, &C::get_DatumName)
            .PropPut(u"DatumName", p::DatumName, &C::put_DatumName)
            .PropGet(u"Method", p::Method, &C::get_Method)
            .PropPut(u"Method", p::Method, &C::put_Method)
            .PropGet(u"Transform", p::Transform, &C::get_Transform)
            .PropPut(u"Transform", p::Transform, &C::put_Transform)
            .PropGet(u"SemiMajorAxis", p::SemiMajorAxis, &C::get_SemiMajorAxis)
            .PropPut(u"SemiMajorAxis", p::SemiMajorAxis, &C::put_SemiMajorAxis)
            .PropGet(u"Flattening", p::Flattening, &C::get_Flattening)
            .PropPut(u"Flattening", p::Flattening, &C::put_Flattening)
            .PropGet(u"Parameters", p::Parameters, &C::get_Parameters, {Param(u"Parameter")})
            .PropPut(u"Parameters", p::Parameters, &C::put_Parameters, {Param(u"Parameter")})
            .Method(u"Update", m::Update, &C::Update)
            .Method(u"Import", m::Import, &C::Import, {Param(u"File")}, VT_BOOL)
            .Method(u"Export", m::Export, &C::Export, {Param(u"File")}, VT_BOOL)
            .Method(u"Project", m::Project, &C::Project, {Param(u"Shape")})
            .Method(u"LookupCode", m::LookupCode, &C::LookupCode, {Param(u"CodeName")})
            .Method(u"LookupConstant", m::LookupConstant, &C::LookupConstant, {Param(u"Parameter")})
            .Build();
    return d;
}

const CoclassDesc& CScriptCoordSys::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibCoordSys), u"CoordSys", &Desc(), nullptr};
    return c;
}

CScriptCoordSys* CScriptCoordSys::CreateFree() {
    auto* o = new CScriptCoordSys;
    o->m_owned = std::make_unique<CUnknownProjection>();
    o->m_cs = o->m_owned.get();
    return o;
}

ComPtr<CScriptCoordSys> CScriptCoordSys::ForSystem(CCoordSys* system) {
    if (!system) return {};
    // The program's systems are attached to no other kind of object.
    if (auto* attached = static_cast<CScriptCoordSys*>(system->m_scriptObject))
        return ComPtr<CScriptCoordSys>(attached);
    ComPtr<CScriptCoordSys> o(new CScriptCoordSys);
    o->m_cs = system;
    system->AttachScriptObject(o.Get());
    return o;
}

CScriptCoordSys::~CScriptCoordSys() {
    // An owned system never holds this object (that would be a cycle).
    m_cs = nullptr;
}

void CScriptCoordSys::ReplaceOwned(std::unique_ptr<CCoordSys> system) {
    m_owned = std::move(system);
    m_cs = m_owned.get();
}

HRESULT ScriptSystemOf(CScriptCoordSys* object, CCoordSys** system) {
    *system = nullptr;
    if (!object) return S_OK;
    *system = object->System();
    return *system ? S_OK : E_FAIL;
}

HRESULT HandOutCoordSys(CScriptCoordSys* object, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = object;
    if (object) object->AddRef();
    return S_OK;
}

#define ZN_NEED_SYSTEM \
    if (!m_cs) return E_FAIL

HRESULT CScriptCoordSys::get_String(BSTR* out) {
    *out = nullptr;
    ZN_NEED_SYSTEM;
    *out = SysAllocString(FormatWkt(*m_cs, false));
    return S_OK;
}

HRESULT CScriptCoordSys::put_String(BSTR value) {
    if (!m_owned) return E_ACCESSDENIED;
    CWktCoordSys wkt;
    if (!wkt.ParseWkt(BstrView(value))) return E_FAIL;
    std::unique_ptr<CCoordSys> system = wkt.CreateProjection();
    if (!system) return E_FAIL;
    ReplaceOwned(std::move(system));
    return S_OK;
}

HRESULT CScriptCoordSys::get_GeographicUnit(int32_t* out) {
    *out = 0;
    ZN_NEED_SYSTEM;
    *out = m_cs->m_geographicUnitCode;
    return S_OK;
}

// Code 0 names no unit ("Unknown"): a system needs a real one.
HRESULT CScriptCoordSys::put_GeographicUnit(int32_t value) {
    ZN_NEED_SYSTEM;
    if (value <= 0 || !GetCrsCodeName(value) || !m_cs->SetGeographicUnit(value))
        return E_INVALIDARG;
    return S_OK;
}

HRESULT CScriptCoordSys::get_GeographicName(BSTR* out) {
    *out = nullptr;
    ZN_NEED_SYSTEM;
    *out = SysAllocString(m_cs->m_geographicName);
    return S_OK;
}

HRESULT CScriptCoordSys::put_GeographicName(BSTR value) {
    ZN_NEED_SYSTEM;
    m_cs->m_geographicName = WString(BstrView(value));
    return S_OK;
}

HRESULT CScriptCoordSys::get_Projection(int32_t* out) {
    *out = 0;
    ZN_NEED_SYSTEM;
    *out = m_cs->m_projectionCode;
    return S_OK;
}

HRESULT CScriptCoordSys::get_ProjectionUnit(int32_t* out) {
    *out = 0;
    ZN_NEED_SYSTEM;
    *out = m_cs->m_projectionUnitCode;
    return S_OK;
}

HRESULT CScriptCoordSys::put_ProjectionUnit(int32_t value) {
    ZN_NEED_SYSTEM;
    if (value <= 0 || !GetCrsCodeName(value) || !m_cs->SetProjectionUnit(value))
        return E_INVALIDARG;
    return S_OK;
}

HRESULT CScriptCoordSys::get_ProjectionName(BSTR* out) {
    *out = nullptr;
    ZN_NEED_SYSTEM;
    *out = SysAllocString(m_cs->m_projectedName);
    return S_OK;
}

HRESULT CScriptCoordSys::put_ProjectionName(BSTR value) {
    ZN_NEED_SYSTEM;
    m_cs->m_projectedName = WString(BstrView(value));
    return S_OK;
}

HRESULT CScriptCoordSys::get_Datum(int32_t* out) {
    *out = 0;
    ZN_NEED_SYSTEM;
    *out = m_cs->m_datum.datumId;
    return S_OK;
}

HRESULT CScriptCoordSys::put_Datum(int32_t value) {
    ZN_NEED_SYSTEM;
    const DatumTransformation* row = FindDatumById(value);
    if (!row) return E_FAIL;
    m_cs->SetDatumRecord(row);
    return S_OK;
}

HRESULT CScriptCoordSys::get_DatumName(BSTR* out) {
    *out = nullptr;
    ZN_NEED_SYSTEM;
    *out = SysAllocString(m_cs->m_datum.datumName);
    return S_OK;
}

HRESULT CScriptCoordSys::put_DatumName(BSTR value) {
    ZN_NEED_SYSTEM;
    WStringView name = BstrView(value);
    m_cs->m_datum.datumName = WString(name.substr(0, kDatumNameLimit));
    return S_OK;
}

HRESULT CScriptCoordSys::get_Method(int32_t* out) {
    *out = 0;
    ZN_NEED_SYSTEM;
    *out = m_cs->m_datum.method;
    return S_OK;
}

HRESULT CScriptCoordSys::put_Method(int32_t value) {
    ZN_NEED_SYSTEM;
    m_cs->m_datum.method = value;
    return S_OK;
}

HRESULT CScriptCoordSys::get_Transform(int32_t* out) {
    *out = 0;
    ZN_NEED_SYSTEM;
    *out = m_cs->m_datum.transformationId;
    return S_OK;
}

HRESULT CScriptCoordSys::put_Transform(int32_t value) {
    ZN_NEED_SYSTEM;
    const DatumTransformation* row = FindDatumByTransformId(value);
    if (!row) return E_FAIL;
    m_cs->SetDatumRecord(row);
    return S_OK;
}

HRESULT CScriptCoordSys::get_SemiMajorAxis(double* out) {
    *out = 0.0;
    ZN_NEED_SYSTEM;
    *out = m_cs->m_a;
    return S_OK;
}

HRESULT CScriptCoordSys::put_SemiMajorAxis(double value) {
    ZN_NEED_SYSTEM;
    m_cs->m_a = value;
    m_cs->m_datum.a = value;
    return S_OK;
}

HRESULT CScriptCoordSys::get_Flattening(double* out) {
    *out = 0.0;
    ZN_NEED_SYSTEM;
    *out = m_cs->m_f;
    return S_OK;
}

HRESULT CScriptCoordSys::put_Flattening(double value) {
    ZN_NEED_SYSTEM;
    m_cs->m_f = value;
    m_cs->m_datum.f = value;
    return S_OK;
}

double* CScriptCoordSys::ParameterSlot(int32_t code) {
    CCoordSys& cs = *m_cs;
    switch (code) {
        case 100001:
            return &cs.m_falseEasting;
        case 100002:
            return &cs.m_falseNorthing;
        case 100003:
            return &cs.m_scaleFactor;
        case 100004:
            return &cs.m_azimuth;
        case 100010:
            return &cs.m_centralMeridian;
        case 100020:
        case 100021:
            return &cs.m_latitudeOfOrigin;
        case 100025:
            return &cs.m_standardParallel1;
        case 100026:
            return &cs.m_standardParallel2;
        case 100040:
            return &cs.m_datum.dx;
        case 100041:
            return &cs.m_datum.dy;
        case 100042:
            return &cs.m_datum.dz;
        case 100043:
            return &cs.m_datum.rx;
        case 100044:
            return &cs.m_datum.ry;
        case 100045:
            return &cs.m_datum.rz;
        case 100046:
            return &cs.m_datum.ds;
        default:
            return nullptr;
    }
}

HRESULT CScriptCoordSys::get_Parameters(VARIANT parameter, double* out) {
    *out = 0.0;
    ZN_NEED_SYSTEM;
    const double* slot = ParameterSlot(ResolveCode(parameter));
    if (!slot) return E_INVALIDARG;
    *out = *slot;
    return S_OK;
}

HRESULT CScriptCoordSys::put_Parameters(VARIANT parameter, double value) {
    ZN_NEED_SYSTEM;
    double* slot = ParameterSlot(ResolveCode(parameter));
    if (!slot) return E_INVALIDARG;
    *slot = value;
    return S_OK;
}

HRESULT CScriptCoordSys::Update() {
    ZN_NEED_SYSTEM;
    m_cs->Setup();
    return S_OK;
}

HRESULT CScriptCoordSys::Import(BSTR file, int16_t* success) {
    *success = VARIANT_FALSE;
    if (!m_owned) return E_ACCESSDENIED;
    CWktCoordSys wkt;
    if (!wkt.ReadPrjFile(BstrView(file))) return S_OK;
    std::unique_ptr<CCoordSys> system = wkt.CreateProjection();
    if (!system) return S_OK;
    ReplaceOwned(std::move(system));
    *success = VARIANT_TRUE;
    return S_OK;
}

HRESULT CScriptCoordSys::Export(BSTR file, int16_t* success) {
    *success = VARIANT_FALSE;
    ZN_NEED_SYSTEM;
    *success = WritePrjFile(BstrView(file), *m_cs) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// The shape's coordinates are converted from the shape's system into this
// one, and the new shape carries this system.
HRESULT CScriptCoordSys::Project(IDispatch* shape, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (ComPtr<CScriptPoint> point = CScriptPoint::From(shape)) {
        CCoordSys* from = nullptr;
        if (!point->m_cs || FAILED(ScriptSystemOf(point->m_cs.Get(), &from))) return E_FAIL;
        ZN_NEED_SYSTEM;
        double x, y;
        from->ConvertTo(point->m_x, point->m_y, m_cs, &x, &y);
        *out = CScriptPoint::Create(point->m_shapeType, x, y, point->m_z, point->m_m, this);
        (*out)->AddRef();
        return S_OK;
    }
    if (ComPtr<CScriptRect> rect = CScriptRect::From(shape)) {
        CCoordSys* from = nullptr;
        if (!rect->m_cs || FAILED(ScriptSystemOf(rect->m_cs.Get(), &from))) return E_FAIL;
        ZN_NEED_SYSTEM;
        // A rectangle written with its sides swapped is the same area.
        const CDoubleRect box = rect->Normalized();
        CScriptRect* result = CScriptRect::Create(this);
        from->ConvertTo(box.xmin, box.ymax, m_cs, &result->m_left, &result->m_top);
        from->ConvertTo(box.xmax, box.ymin, m_cs, &result->m_right, &result->m_bottom);
        result->m_floor = rect->m_floor;
        result->m_ceiling = rect->m_ceiling;
        result->m_minMeasure = rect->m_minMeasure;
        result->m_maxMeasure = rect->m_maxMeasure;
        *out = result;
        result->AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT CScriptCoordSys::LookupCode(VARIANT codeName, VARIANT* out) {
    VariantInit(out);
    const VARIANT* v = VariantDeref(&codeName);
    if (v->vt == VT_BSTR) {
        const int32_t code = GetCrsCodeFromName(BstrView(v->bstrVal));
        if (code == -1) return E_INVALIDARG;
        out->vt = VT_I4;
        out->lVal = code;
        return S_OK;
    }
    ComVariant n;
    if (FAILED(VariantChangeType(&n, v, 0, VT_I4))) return E_INVALIDARG;
    const WChar* name = GetCrsCodeName(n.lVal);
    if (!name) return E_INVALIDARG;
    out->vt = VT_BSTR;
    out->bstrVal = SysAllocString(name);
    return S_OK;
}

HRESULT CScriptCoordSys::LookupConstant(VARIANT parameter, double* out) {
    *out = 0.0;
    const int32_t code = ResolveCode(parameter);
    if (code == 0) return E_INVALIDARG;
    *out = GetUnitFactor(code);
    return S_OK;
}
