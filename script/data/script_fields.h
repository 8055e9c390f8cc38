// Fields: the attributes of a recordset's current record, by name or
// position, its shape as a geometry object, and new fields for an empty
// table. The collection shares what the recordset has open; once that is
// closed its members fail.
#pragma once

#include "platform/com/com.h"
#include "script/data/script_recordset_files.h"
#include "script/script_object.h"

class CScriptFields : public CScriptObject<CScriptFields> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

    // A new collection (count 0). tableOnly: over the attributes alone, with
    // no shape (the collection a query expression sees).
    static CScriptFields* Create(RecordsetFilesPtr files, bool tableOnly);

    // IFields
    HRESULT get__NewEnum(IUnknown** out);
    HRESULT get_Count(int32_t* out);
    HRESULT get_Shape(IDispatch** out);
    HRESULT putref_Shape(IDispatch* shape);
    HRESULT get_ShapeType(int32_t* out);
    HRESULT Item(VARIANT index, IDispatch** out);
    HRESULT Append(BSTR name, int32_t type, int32_t definedSize, int32_t numericScale);

    // The value of a field by name or position, without making a Field
    // (queries read one per record).
    HRESULT ValueOf(const VARIANT& index, VARIANT* out);

private:
    friend class DispatchObject<CScriptFields>;
    CScriptFields() = default;
    ~CScriptFields() override = default;
    // The 0-based field an argument names; -1 for none, E_FAIL-worthy -2
    // when the argument is neither a name nor a number.
    int FieldIndex(const VARIANT& index) const;
    ShpHandle Shapes() const { return m_tableOnly ? nullptr : m_files->Shapes(); }

    RecordsetFilesPtr m_files;
    bool m_tableOnly = false;
};
