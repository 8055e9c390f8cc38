// CShapeFile: the object wrapper of an open shapefile for layers, the
// spatial index, packing and scripts. It holds the engine's handle, a table
// object attached (not owning) to the handle's `.dbf`, and a shape buffer of
// its own, so records read into it survive the engine's own reads. Callers
// use the engine's functions on its handle, table and buffer for the rest.
#pragma once

#include <cstddef>

#include "core/double_rect.h"
#include "formats/dbf/dbf_table.h"
#include "formats/shape/shape_record.h"
#include "formats/shape/shp_engine.h"

class CShapeFile {
public:
    CShapeFile() = default;
    CShapeFile(ShpHandle shapefile, bool owns) { Attach(shapefile, owns); }
    CShapeFile(const CShapeFile&) = delete;
    CShapeFile& operator=(const CShapeFile&) = delete;
    virtual ~CShapeFile();

    // An owned handle held before is closed first.
    void Attach(ShpHandle shapefile, bool owns);
    bool Create(const WChar* path, int shapeType, int flags);
    bool Open(const WChar* path, int flags);
    // Closes the shapefile when owning or forced; always frees the buffer and
    // forgets the handle.
    void Close(bool force = false);
    // Deletes the shapefile's files (shp, shx, dbf, sbn, sbx, ain, aih, prj;
    // a .cpg stays). 0 without doing anything when the object holds a
    // handle it does not own: the owner's files are not ours to remove.
    int DeleteFiles();
    // The object's buffer, at least `size` and at least 48 bytes; null when
    // memory runs out (the old buffer is kept).
    ShapeRecord* ReserveBuffer(size_t size);
    int IsNullShape(int record) const;
    // 1 when the box of the shape in the buffer meets the extent (touching counts).
    int ShapeIntersects(const CDoubleRect& extent) const;
    // The record index under the point by the file's geometry class, or -1.
    int HitTest(const DoublePoint& point, double* distance, double tolerance,
                const CDoubleRect* extent);
    int HitTestRecords(const DoublePoint& point, double* distance, double tolerance, int limit,
                       int members, const uint32_t* words);
    // A new object owning a new shapefile with this one's type and fields.
    CShapeFile* CreateLike(const WChar* path) const;

    ShpHandle GetHandle() const { return m_shapefile; }
    CDbfTable& GetTable() { return m_table; }
    ShapeRecord* GetBuffer() const { return m_buffer; }
    bool Owns() const { return m_owns; }

private:
    ShpHandle m_shapefile = nullptr;
    CDbfTable m_table;
    ShapeRecord* m_buffer = nullptr;
    bool m_owns = false;
};
