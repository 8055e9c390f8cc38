#include "formats/dbf/dbf_table.h"

#include "platform/fs/fs.h"

CDbfTable::~CDbfTable() {
    Close();
}

void CDbfTable::Attach(DbfHandle table, bool owns) {
    if (table != table_) Close();
    table_ = table;
    owns_ = owns;
}

bool CDbfTable::Open(const WChar* path, int flags) {
    Close();
    table_ = DbfOpen(path, flags);
    owns_ = true;
    return table_ != nullptr;
}

bool CDbfTable::Create(const WChar* path, int flags) {
    Close();
    table_ = DbfCreate(path, flags);
    owns_ = true;
    return table_ != nullptr;
}

void CDbfTable::Close() {
    DbfFreeRecordBuffer(buffer_);
    buffer_ = nullptr;
    if (owns_) DbfClose(table_);
    table_ = nullptr;
    owns_ = false;
    modified_ = false;
}

bool CDbfTable::DeleteFile() {
    const WChar* p = DbfGetPath(table_);
    if (!p || !*p) return false;
    const WString path = p;
    if (owns_) {
        // The engine closes the table and deletes its file in one step.
        DbfFreeRecordBuffer(buffer_);
        buffer_ = nullptr;
        const DbfHandle t = table_;
        table_ = nullptr;
        owns_ = false;
        return DbfDeleteFile(t) != 0;
    }
    // Not ours: the owner's open stops the delete (share modes).
    Close();
    return fs::DeleteFile(path);
}

CDbfTable* CDbfTable::CreateLike(const WChar* path) const {
    DbfHandle h = DbfCreateLike(path, table_);
    return h ? new CDbfTable(h, true) : nullptr;
}

uint8_t* CDbfTable::GetRecordBuffer() {
    if (!buffer_) buffer_ = DbfAllocRecordBuffer(table_);
    return buffer_;
}

const uint8_t* CDbfTable::Buffer(const uint8_t* record) const {
    if (record) return record;
    if (buffer_) return buffer_;
    return DbfGetRecordBuffer(table_);
}

uint8_t* CDbfTable::Buffer(uint8_t* record) {
    if (record) return record;
    if (buffer_) return buffer_;
    return DbfGetRecordBuffer(table_);
}

bool CDbfTable::IsDeleted(const uint8_t* record) const {
    const uint8_t* r = Buffer(record);
    return r && r[0] == '*';
}

WString CDbfTable::GetTitle() const {
    const WChar* p = DbfGetPath(table_);
    if (!p) return WString();
    const WStringView path(p);
    // Only a dot in the file name counts, not one in a folder name.
    const size_t sep = path.find_last_of(u"\\/");
    const WStringView name = sep == WStringView::npos ? path : path.substr(sep + 1);
    const size_t dot = name.rfind(u'.');
    return WString(dot == WStringView::npos ? name : name.substr(0, dot));
}

WString CDbfTable::GetFieldName(int index) const {
    const WChar* n = DbfGetFieldName(table_, index);
    return n ? WString(n) : WString();
}

bool CDbfTable::GetFieldInfo(int index, DbfFieldInfo* info) const {
    if (!table_ || !info || index < 0 || index >= DbfGetFieldCount(table_)) return false;
    DbfGetFieldName(table_, index, info->name);
    info->type = DbfGetFieldType(table_, index);
    info->length = static_cast<uint8_t>(DbfGetFieldLength(table_, index));
    info->decimals = static_cast<uint8_t>(DbfGetFieldDecimals(table_, index));
    return true;
}

WString CDbfTable::GetFieldString(int index, const uint8_t* record) const {
    return DbfGetString(table_, index, Buffer(record));
}

void CDbfTable::GetFieldString(WString& out, int index, const uint8_t* record) const {
    out = GetFieldString(index, record);
}

WString CDbfTable::GetFieldStringByName(const WChar* name, const uint8_t* record) const {
    return GetFieldString(FindField(name), record);
}

int CDbfTable::GetFieldText(int index, WChar* buffer, const uint8_t* record) const {
    if (!buffer) return 0;
    const WChar* s = DbfGetText(table_, index, buffer, Buffer(record));
    if (!s) {
        buffer[0] = 0;
        return 0;
    }
    return static_cast<int>(text::Length(s));
}

int CDbfTable::GetFieldTextLen(int index, WString& out, const uint8_t* record) const {
    out = GetFieldString(index, record);
    return static_cast<int>(out.size());
}

int CDbfTable::SetFieldString(int index, const WString& value, uint8_t* record) {
    return DbfPutText(table_, index, value.c_str(), Buffer(record));
}
int CDbfTable::SetFieldString(const WChar* name, const WString& value, uint8_t* record) {
    return SetFieldString(FindField(name), value, record);
}
int CDbfTable::SetFieldText(int index, const WChar* value, uint8_t* record) {
    return DbfPutText(table_, index, value, Buffer(record));
}
int CDbfTable::SetFieldText(const WChar* name, const WChar* value, uint8_t* record) {
    return SetFieldText(FindField(name), value, record);
}
int CDbfTable::SetFieldDouble(int index, double value, uint8_t* record) {
    return DbfPutNumber(table_, index, value, Buffer(record));
}
int CDbfTable::SetFieldDouble(const WChar* name, double value, uint8_t* record) {
    return SetFieldDouble(FindField(name), value, record);
}
int CDbfTable::SetFieldDate(int index, const DbfDateTime& value, uint8_t* record) {
    return DbfPutDate(table_, index, &value, Buffer(record));
}
int CDbfTable::SetFieldDate(const WChar* name, const DbfDateTime& value, uint8_t* record) {
    return SetFieldDate(FindField(name), value, record);
}

int CDbfTable::GetMinMax(int index, double* minimum, double* maximum) const {
    return DbfGetMinMax(table_, index, minimum, maximum);
}

int CDbfTable::FindText(int field, const WChar* value, int matchCase, int first) const {
    return DbfFindText(table_, field, value, matchCase, first);
}

WString CDbfTable::GetErrorText() const {
    uint32_t sys = 0;
    int code = 0;
    const WChar* msg = DbfGetErrorInfo(table_, &code, &sys);
    return text::Format(u"#%d:Win#%d:%s", code, static_cast<int>(sys), msg ? msg : u"");
}
