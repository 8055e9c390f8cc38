// The shape that geometry objects read: an immutable copy of one shape
// record, shared by a line or polygon and the Parts and Points collections
// made from it, so a collection a script keeps survives every later move,
// close or release of the recordset it came from.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "formats/shape/shape_record.h"

class ScriptShape {
public:
    // A copy of the record; null for none or for a record whose type has no
    // size (null shapes, multipatches).
    static std::shared_ptr<const ScriptShape> Copy(const ShapeRecord* record);
    const ShapeRecord* Record() const { return AsShapeRecord(m_bytes.data()); }
    int Type() const { return ShapeLoadInt(m_bytes.data()); }

private:
    std::vector<uint8_t> m_bytes;
};
using ScriptShapePtr = std::shared_ptr<const ScriptShape>;
