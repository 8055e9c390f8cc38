#include "script/data/script_shape.h"

std::shared_ptr<const ScriptShape> ScriptShape::Copy(const ShapeRecord* record) {
    if (!record) return nullptr;
    const size_t size = ShapeGetRecordSize(record);
    if (size == 0) return nullptr;
    auto shape = std::make_shared<ScriptShape>();
    const uint8_t* bytes = ShapeBytes(record);
    shape->m_bytes.assign(bytes, bytes + size);
    return shape;
}
