// The dBASE handle's layout, shared by the engine and its field access.
// Not for use outside formats/dbf.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/dbf/dbf_engine.h"
#include "formats/dbf/engine_heap.h"
#include "formats/dbf/file_io.h"
#include "platform/byte_order.h"

struct DbfTable {
    FioFile* file = nullptr;
    uint8_t header[32] = {};
    int fieldCount = 0;
    zn::HeapBlock descriptors;
    int current = 0;
    zn::HeapBlock record;  // record length + 8 bytes
    bool headerChanged = false;
    int errorCode = 0;
    uint32_t systemError = 0;
    WString message;
    unsigned codePage = 0;
    int openFlags = 0;
    // The header counts rows the file does not hold (a cut copy): the rows
    // that exist read, the others fail, and nothing is written.
    bool damaged = false;
    std::vector<uint8_t> scratch;  // an appended row and its end mark
    // The first 32 bytes as the file holds them (`header` may carry changes
    // not written yet): what a failed header write puts back.
    uint8_t fileHeader[32] = {};
    // The state before the last append, while it can still be taken back.
    struct {
        bool valid = false;
        uint32_t count = 0;
        uint8_t header[32] = {};
        uint8_t fileHeader[32] = {};
        bool headerChanged = false;
    } lastAppend;

    ~DbfTable() { fioClose(file); }
};

namespace dbf_detail {

// dBASE headers and field descriptors are little-endian.
using byte_order::LoadLe16;
using byte_order::LoadLe32;
using byte_order::StoreLe16;
using byte_order::StoreLe32;

inline uint32_t Count(const DbfTable* t) {
    return LoadLe32(t->header + 4);
}
inline int HeaderLength(const DbfTable* t) {
    return LoadLe16(t->header + 8);
}
inline int RecordLength(const DbfTable* t) {
    return LoadLe16(t->header + 10);
}
inline uint8_t* Descriptor(const DbfTable* t, int i) {
    return t->descriptors.get() + 32 * i;
}
inline int FieldOffset(const DbfTable* t, int i) {
    return static_cast<int>(LoadLe32(Descriptor(t, i) + 12));
}
inline int FieldLength(const DbfTable* t, int i) {
    return Descriptor(t, i)[16];
}
inline char FieldType(const DbfTable* t, int i) {
    return static_cast<char>(Descriptor(t, i)[11]);
}

}  // namespace dbf_detail
