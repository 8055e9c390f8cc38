// CDbfTable: the object wrapper of a dBASE table that layers, forms, scripts,
// the datum table and the shapefile object hold. It adds an own record buffer
// and ownership of the handle; everything else is the dBASE engine.
//
// Buffer rule of every value call: a record buffer given by the caller is
// used; else the object's own buffer; when that was never made, the table's
// own record buffer.
#pragma once

#include "formats/dbf/dbf_engine.h"
#include "formats/dbf/dbf_field.h"

class CDbfTable {
public:
    CDbfTable() = default;
    CDbfTable(DbfHandle table, bool owns) { Attach(table, owns); }
    virtual ~CDbfTable();
    CDbfTable(const CDbfTable&) = delete;
    CDbfTable& operator=(const CDbfTable&) = delete;

    // Each of these first closes what the object held (an owned table is
    // closed, the object's buffer freed: it was sized for that table).
    void Attach(DbfHandle table, bool owns);
    bool Open(const WChar* path, int flags);
    bool Create(const WChar* path, int flags);
    void Close();
    // Takes the path, closes, deletes the file; false when it was not deleted.
    bool DeleteFile();
    // A new object owning a new table with the same fields; null on failure.
    CDbfTable* CreateLike(const WChar* path) const;

    DbfHandle Table() const { return table_; }
    bool Owns() const { return owns_; }
    uint8_t* GetRecordBuffer();
    bool IsDeleted(const uint8_t* record = nullptr) const;
    // Set by field writes from scripts, cleared by their update.
    bool IsModified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }

    int GetRecordCount() const { return DbfGetRecordCount(table_); }
    int GetFieldCount() const { return DbfGetFieldCount(table_); }
    int FindField(const WChar* name) const { return DbfFindField(table_, name); }
    // The file name without folder and extension.
    WString GetTitle() const;
    WString GetFieldName(int index) const;
    bool GetFieldInfo(int index, DbfFieldInfo* info) const;

    WString GetFieldString(int index, const uint8_t* record = nullptr) const;
    void GetFieldString(WString& out, int index, const uint8_t* record = nullptr) const;
    WString GetFieldStringByName(const WChar* name, const uint8_t* record = nullptr) const;
    // Into the caller's buffer (field length + 1 characters); the length.
    int GetFieldText(int index, WChar* buffer, const uint8_t* record = nullptr) const;
    int GetFieldTextLen(int index, WString& out, const uint8_t* record = nullptr) const;

    int SetFieldString(int index, const WString& value, uint8_t* record = nullptr);
    int SetFieldString(const WChar* name, const WString& value, uint8_t* record = nullptr);
    int SetFieldText(int index, const WChar* value, uint8_t* record = nullptr);
    int SetFieldText(const WChar* name, const WChar* value, uint8_t* record = nullptr);
    int SetFieldDouble(int index, double value, uint8_t* record = nullptr);
    int SetFieldDouble(const WChar* name, double value, uint8_t* record = nullptr);
    int SetFieldDate(int index, const DbfDateTime& value, uint8_t* record = nullptr);
    int SetFieldDate(const WChar* name, const DbfDateTime& value, uint8_t* record = nullptr);

    int GetMinMax(int index, double* minimum, double* maximum) const;
    int FindText(int field, const WChar* value, int matchCase, int first) const;
    // "#code:Win#system:" followed by the table's error message.
    WString GetErrorText() const;

private:
    const uint8_t* Buffer(const uint8_t* record) const;
    uint8_t* Buffer(uint8_t* record);

    DbfHandle table_ = nullptr;
    uint8_t* buffer_ = nullptr;
    bool owns_ = false;
    bool modified_ = false;
};
