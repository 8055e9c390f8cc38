// The dBASE handle's layout, shared by the engine and its field access.
// Not for use outside formats/dbf.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/dbf/dbf_engine.h"
#include "formats/dbf/engine_heap.h"
#include "formats/dbf/file_io.h"

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

    ~DbfTable() { fioClose(file); }
};

namespace dbf_detail {

inline uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t Count(const DbfTable* t) {
    return Le32(t->header + 4);
}
inline int HeaderLength(const DbfTable* t) {
    return Le16(t->header + 8);
}
inline int RecordLength(const DbfTable* t) {
    return Le16(t->header + 10);
}
inline uint8_t* Descriptor(const DbfTable* t, int i) {
    return t->descriptors.get() + 32 * i;
}
inline int FieldOffset(const DbfTable* t, int i) {
    return static_cast<int>(Le32(Descriptor(t, i) + 12));
}
inline int FieldLength(const DbfTable* t, int i) {
    return Descriptor(t, i)[16];
}
inline char FieldType(const DbfTable* t, int i) {
    return static_cast<char>(Descriptor(t, i)[11]);
}

}  // namespace dbf_detail
