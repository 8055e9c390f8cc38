// Rows of a shapefile as the host hands them out: shapes between the
// engine's records and HostGeometry, dBASE rows between their bytes and
// HostValue, and the cursors over a shapefile. A row is deleted by the
// engine's one rule (ShpIsRecordDeleted: a record number of 0 or below in
// the .shp, or '*' in the .dbf); search cursors skip such rows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "desktop/host/host_interfaces.h"
#include "formats/dbf/dbf_engine.h"
#include "formats/shape/shape_record.h"

namespace host {

// An open shapefile, closed when the last class or cursor holding it goes.
class ShpFileHandle {
public:
    explicit ShpFileHandle(ShpHandle h) : m_h(h) {}
    ~ShpFileHandle();
    ShpFileHandle(const ShpFileHandle&) = delete;
    ShpFileHandle& operator=(const ShpFileHandle&) = delete;
    ShpHandle Get() const { return m_h; }
    // Closes now when no one else holds the files; false with the reason
    // when the last header could not be written.
    bool Close(std::string* why);
    // The engine's reason for the last failure on the handle.
    std::string Reason() const;

private:
    ShpHandle m_h;
};

HostGeometry GeometryOfRecord(const ShapeRecord* r);
// The record of a geometry in `storage`; null for a null shape or a type the
// engine cannot build (HostError for counts that do not fit the type).
ShapeRecord* RecordOfGeometry(const HostGeometry& g, std::vector<uint8_t>& storage);

// The table's fields as host fields (dBASE letters, widths and types).
std::vector<HostField> TableFields(DbfHandle t);
// The values of a row's fields (one per table field, in order) into values[0..n).
void ReadRowValues(DbfHandle t, const uint8_t* row, std::vector<HostValue>& values);
// Writes values[0..n) into a blank row; false when a value does not fit its
// field (a number too wide), with the field's name in *why.
bool WriteRowValues(DbfHandle t, const std::vector<HostValue>& values, uint8_t* row,
                    std::string* why);

// Search over a shapefile: rows not deleted, meeting the filter, in order.
// `values` is the number of value slots each feature gets.
std::unique_ptr<IHostFeatureCursor> NewShapefileSearchCursor(std::shared_ptr<ShpFileHandle> file,
                                                             const IHostSpatialFilter* filter,
                                                             bool recycling, size_t values);
// Appends rows; buffered cursors leave the headers to Flush, whose outcome
// is checked. Flush hands the bytes to the system without syncing the disk;
// ShpFileHandle::Close syncs them.
std::unique_ptr<IHostInsertCursor> NewShapefileInsertCursor(std::shared_ptr<ShpFileHandle> file,
                                                            bool buffered);

}  // namespace host
