#include "script/data/script_field.h"

#include <cmath>
#include <cstring>

#include "formats/dbf/dbf_field.h"
#include "script/member_ids.h"

uint8_t* RecordsetFiles::Record() {
    const DbfHandle t = Table();
    if (!t) return nullptr;
    // Room for the record and its closing byte; a field added since the
    // buffer was made makes records longer.
    const size_t needed = static_cast<size_t>(DbfGetRecordLength(t)) + 8;
    if (record.size() < needed) record.resize(needed, ' ');
    return record.data();
}

bool RecordsetFiles::Writable() const {
    if (ShpHandle h = Shapes()) return ShpIsWritable(h) != 0;
    return DbfIsWritable(Table()) != 0;
}

void RecordsetFiles::Drop() {
    if (shapefile) shapefile->Close();
    shapefile.reset();
    if (ownTable) ownTable->Close();
    ownTable.reset();
    table = nullptr;
    record.clear();
    recordModified = shapeModified = false;
    cs.Reset();
}

int32_t ScriptFieldTypeOf(char dbaseType) {
    switch (dbaseType) {
        case 'C':
            return kFieldTypeText;
        case 'D':
            return kFieldTypeDate;
        case 'L':
            return kFieldTypeBoolean;
        case 'N':
            return kFieldTypeDouble;
        default:
            return kFieldTypeOther;
    }
}

const InterfaceDesc& CScriptField::Desc() {
    using C = CScriptField;
    namespace p = dispid::prop;
    namespace m = dispid::method;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"IField", ScriptLibGuid(kLibIField))
            .PropGet(u"Value", dispid::kDefault, &C::get_Value)
            .PropPut(u"Value", dispid::kDefault, &C::put_Value)
            .PropGet(u"Name", p::Name, &C::get_Name)
            .PropGet(u"Type", p::Type, &C::get_Type)
            .PropGet(u"NumericScale", p::NumericScale, &C::get_NumericScale)
            .PropGet(u"DefinedSize", p::DefinedSize, &C::get_DefinedSize)
            .PropGet(u"Precision", p::Precision, &C::get_Precision)
            .PropGet(u"IsNull", p::IsNull, &C::get_IsNull, {}, VT_BOOL)
            .Method(u"Clear", m::Clear, &C::Clear)
            .Build();
    return d;
}

const CoclassDesc& CScriptField::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibField), u"Field", &Desc(), nullptr};
    return c;
}

CScriptField* CScriptField::Create(RecordsetFilesPtr files, int index) {
    auto* o = new CScriptField;
    o->m_files = std::move(files);
    o->m_index = index;
    return o;
}

DbfHandle CScriptField::Table() const {
    const DbfHandle t = m_files ? m_files->Table() : nullptr;
    return t && m_index >= 0 && m_index < DbfGetFieldCount(t) ? t : nullptr;
}

HRESULT CScriptField::ReadValue(RecordsetFiles& files, int index, VARIANT* out) {
    VariantInit(out);
    const DbfHandle t = files.Table();
    const uint8_t* record = files.Record();
    if (!t || !record || index < 0 || index >= DbfGetFieldCount(t)) return E_FAIL;
    switch (DbfGetFieldType(t, index)) {
        case 'C':
            VariantFromString(out, DbfGetString(t, index, record));
            return S_OK;
        case 'D': {
            // A date without a value (blanks, or the zeros some programs
            // write) is Null, not 30 December 1899.
            DbfDateTime d;
            if (!DbfGetDate(t, index, &d, record)) return E_FAIL;
            if (d.year == 0 && d.month == 0 && d.day == 0) {
                out->vt = VT_NULL;
                return S_OK;
            }
            DATE date;
            if (!DateFromParts(d.year, d.month, d.day, 0, 0, 0, &date)) return E_FAIL;
            VariantFromDate(out, date);
            return S_OK;
        }
        case 'L':
            VariantFromBool(out, DbfGetLogical(t, index, record) != 0);
            return S_OK;
        case 'N': {
            const double value = DbfGetNumber(t, index, record);
            const double whole = std::trunc(value);
            // Without decimals the value is an integer; one beyond the 32-bit
            // range stays a double rather than wrapping around.
            if (DbfGetFieldDecimals(t, index) == 0 && whole >= -2147483648.0 &&
                whole <= 2147483647.0)
                VariantFromLong(out, static_cast<int32_t>(whole));
            else
                VariantFromDouble(out, DbfGetFieldDecimals(t, index) == 0 ? whole : value);
            return S_OK;
        }
        default:
            return E_FAIL;
    }
}

HRESULT CScriptField::get_Value(VARIANT* out) {
    if (!out) return E_POINTER;
    if (!Table()) {
        VariantInit(out);
        return E_FAIL;
    }
    return ReadValue(*m_files, m_index, out);
}

HRESULT CScriptField::put_Value(VARIANT value) {
    const DbfHandle t = Table();
    if (!t) return E_FAIL;
    if (!m_files->Writable()) return E_ACCESSDENIED;
    uint8_t* record = m_files->Record();
    const VARIANT* v = VariantDeref(&value);
    ComVariant converted;
    HRESULT hr;
    switch (DbfGetFieldType(t, m_index)) {
        case 'C':
            hr = VariantChangeType(&converted, v, 0, VT_BSTR);
            if (FAILED(hr)) return hr;
            DbfPutText(t, m_index, WString(BstrView(converted.bstrVal)).c_str(), record);
            break;
        case 'D': {
            hr = VariantChangeType(&converted, v, 0, VT_DATE);
            if (FAILED(hr)) return hr;
            SYSTEMTIME st;
            if (!VariantTimeToSystemTime(converted.date, &st)) return E_INVALIDARG;
            const DbfDateTime d{st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, 0, 0, 0, 0};
            if (!DbfPutDate(t, m_index, &d, record)) return E_FAIL;
            break;
        }
        case 'L':
            hr = VariantChangeType(&converted, v, 0, VT_BOOL);
            if (FAILED(hr)) return hr;
            DbfPutLogical(t, m_index, converted.boolVal ? 'T' : 'F', record);
            break;
        case 'N': {
            hr = VariantChangeType(&converted, v, 0, VT_R8);
            if (FAILED(hr)) return hr;
            // A number too wide for the field would leave stars (no value) in
            // it: the field keeps what it held and the script is told.
            const int length = DbfGetFieldLength(t, m_index);
            std::vector<uint8_t> before(static_cast<size_t>(length) + 1);
            DbfGetFieldBytes(t, m_index, before.data(), record);
            if (!DbfPutNumber(t, m_index, converted.dblVal, record)) {
                DbfPutFieldBytes(t, m_index, before.data(), record);
                return E_INVALIDARG;
            }
            break;
        }
        default:
            return E_FAIL;
    }
    m_files->recordModified = true;
    return S_OK;
}

HRESULT CScriptField::get_Name(BSTR* out) {
    *out = nullptr;
    const DbfHandle t = Table();
    if (!t) return E_FAIL;
    *out = SysAllocString(WStringView(DbfGetFieldName(t, m_index)));
    return S_OK;
}

HRESULT CScriptField::get_Type(int32_t* out) {
    *out = 0;
    const DbfHandle t = Table();
    if (!t) return E_FAIL;
    *out = ScriptFieldTypeOf(DbfGetFieldType(t, m_index));
    return S_OK;
}

HRESULT CScriptField::get_NumericScale(int32_t* out) {
    *out = 0;
    const DbfHandle t = Table();
    if (!t) return E_FAIL;
    *out = DbfGetFieldDecimals(t, m_index);
    return S_OK;
}

HRESULT CScriptField::get_DefinedSize(int32_t* out) {
    *out = 0;
    const DbfHandle t = Table();
    if (!t) return E_FAIL;
    *out = DbfGetFieldLength(t, m_index);
    return S_OK;
}

HRESULT CScriptField::get_Precision(int32_t* out) {
    *out = 0;
    const DbfHandle t = Table();
    if (!t) return E_FAIL;
    if (DbfIsNumericField(t, m_index)) *out = DbfGetFieldLength(t, m_index);
    return S_OK;
}

HRESULT CScriptField::get_IsNull(int16_t* out) {
    *out = VARIANT_FALSE;
    const DbfHandle t = Table();
    if (!t) return E_FAIL;
    *out = DbfIsBlank(t, m_index, m_files->Record()) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptField::Clear() {
    const DbfHandle t = Table();
    if (!t) return E_FAIL;
    // A cleared value that could never be written is refused like a put.
    if (!m_files->Writable()) return E_ACCESSDENIED;
    if (!DbfBlankField(t, m_index, m_files->Record())) return E_FAIL;
    m_files->recordModified = true;
    return S_OK;
}
