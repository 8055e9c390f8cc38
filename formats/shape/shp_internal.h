// The shapefile handle's layout, shared by the shape engine's files.
// Not for use outside formats/shape.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/dbf/dbf_engine.h"
#include "formats/dbf/file_io.h"
#include "formats/shape/shape_draw.h"
#include "formats/shape/shape_record.h"
#include "platform/byte_order.h"
#include "platform/text/text.h"

struct ShpFile {
    DbfHandle table = nullptr;
    FioFile* shp = nullptr;
    FioFile* shx = nullptr;
    uint8_t header[100] = {};
    bool headerChanged = false;
    int errorCode = 0;
    uint32_t systemError = 0;
    WString message;
    ShapeRecord* buffer = nullptr;
    int current = -1;
    int openFlags = 0;
    // Records the `.shx` header's file length announces: the last write of an
    // append, so a process killed before it leaves the record out for every
    // reader alike.
    int shxRecords = 0;
    // The sizes of `.shp` and `.shx` after this handle's last append, so
    // that appends in a row do not ask the files again; every other write
    // forgets them (-1).
    int64_t appendedShp = -1;
    int64_t appendedShx = -1;
    // A `.shx` cut short is replaced by entries found by walking `.shp`
    // (100-byte header, then the entries), kept for the handle's life.
    std::vector<uint8_t> foundIndex;
    bool damaged = false;
    // Views mapped by ShpMapFile (0 .shp, 1 .shx).
    bool mapped[2] = {false, false};
    // The whole `.shx` and the `.shp` size, read once for the reading paths
    // and dropped by every write (not kept for files shared with writers).
    std::vector<uint8_t> index;
    bool indexLoaded = false;
    int64_t shpSize = -1;
    // Read-ahead block of `.shp` for sequential reads.
    std::vector<uint8_t> ahead;
    int64_t aheadAt = -1;
    int64_t lastEnd = -1;
    // The world to device transform of the layer's drawing.
    ShpDrawTransform draw;

    ~ShpFile();
};

namespace shp_detail {

// The main file's header and record headers are partly big-endian.
using byte_order::LoadBe32;
using byte_order::StoreBe32;

inline int HeaderType(const ShpFile* h) {
    return ShapeLoadInt(h->header + 32);
}
inline ShapeExtent HeaderExtent(const ShpFile* h) {
    ShapeExtent e;
    memcpy(&e, h->header + 36, sizeof e);
    return e;
}
inline void SetHeaderExtent(ShpFile* h, const ShapeExtent& e) {
    memcpy(h->header + 36, &e, sizeof e);
}

// True when neither value is NaN nor the no-data measure.
bool IsRealXY(double x, double y);
// Widens the header box by one point (first: the box becomes the point);
// marks the header changed. Skips points that are not real.
void HeaderAddXY(ShpFile* h, double x, double y, bool first);
// Completes a record whose content (length bytes) leaves out the tail of its
// full size: zeros, and no-data measures when it stops before them.
void FillShortRecord(uint8_t* b, size_t length, size_t full);
// ShpReadShape, also giving the record's number from its `.shp` header.
ShapeRecord* ReadShape(ShpFile* h, int record, ShapeRecord* buffer, size_t capacity, int* number);

}  // namespace shp_detail
