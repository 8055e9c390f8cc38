#pragma once
// What the host's feature classes share: the fields (the table's, then an
// object id and the shape) and the geometry definition they describe.
#include <memory>
#include <string>
#include <vector>

#include "desktop/host/host_faults.h"
#include "desktop/host/host_interfaces.h"

namespace host {

class HostFeatureClassBase : public IHostFeatureClass {
public:
    std::string ShapeFieldName() const override {
        HostFaults::Check("IHostFeatureClass::ShapeFieldName");
        return "Shape";
    }
    int ShapeType() const override {
        HostFaults::Check("IHostFeatureClass::ShapeType");
        return m_def->shapeType;
    }
    std::vector<HostField> Fields() const override {
        HostFaults::Check("IHostFeatureClass::Fields");
        return m_fields;
    }
    HostGeometryDef GeometryDef() const override {
        HostFaults::Check("IHostFeatureClass::GeometryDef");
        return *m_def;
    }

protected:
    // Appends the object id (named as the source names it) and the shape
    // field after the table's fields; m_def must be set.
    void AddIdAndShapeFields(const char* idName) {
        HostField oid;
        oid.name = idName;
        oid.type = 'I';
        oid.fieldType = kFieldOID;
        oid.editable = false;
        m_fields.push_back(oid);
        HostField shape;
        shape.name = "Shape";
        shape.type = 'G';
        shape.fieldType = kFieldGeometry;
        shape.geometryDef = m_def;
        m_fields.push_back(shape);
    }

    std::vector<HostField> m_fields;
    std::shared_ptr<HostGeometryDef> m_def;
};

}  // namespace host
