// Field: one attribute of the record a recordset's cursor is on. The object
// names a field by position and reads and writes the recordset's record
// buffer, so one object follows the cursor; once the recordset has closed
// (or opened something else) its members fail.
#pragma once

#include "platform/com/com.h"
#include "script/data/script_recordset_files.h"
#include "script/script_object.h"

// The numbers scripts see for the dBASE types (a record cursor's numbering).
enum ScriptFieldType : int32_t {
    kFieldTypeDate = 7,
    kFieldTypeDouble = 5,
    kFieldTypeBoolean = 11,
    kFieldTypeText = 129,
    kFieldTypeOther = 10,
};
int32_t ScriptFieldTypeOf(char dbaseType);

class CScriptField : public CScriptObject<CScriptField> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

    // A new object over field `index` (0-based; count 0).
    static CScriptField* Create(RecordsetFilesPtr files, int index);

    // The value of field `index` in the record buffer as a script sees it.
    static HRESULT ReadValue(RecordsetFiles& files, int index, VARIANT* out);

    // IField
    HRESULT get_Value(VARIANT* out);
    HRESULT put_Value(VARIANT value);
    HRESULT get_Name(BSTR* out);
    HRESULT get_Type(int32_t* out);
    HRESULT get_NumericScale(int32_t* out);
    HRESULT get_DefinedSize(int32_t* out);
    HRESULT get_Precision(int32_t* out);
    HRESULT get_IsNull(int16_t* out);
    HRESULT Clear();

private:
    friend class DispatchObject<CScriptField>;
    CScriptField() = default;
    ~CScriptField() override = default;
    // The open table holding the field; null when it is gone.
    DbfHandle Table() const;

    RecordsetFilesPtr m_files;
    int m_index = 0;
};
