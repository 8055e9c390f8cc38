// What a Recordset has open, shared with the Fields and Field objects made
// from it: the shapefile (or a wrapper around a layer's handle), the table,
// the current record's buffer and the edit marks. A recordset that closes,
// opens something else, or loses its layer empties the object, so a Fields
// or Field a script still holds then fails instead of reading a table that
// is gone.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "formats/shape/shape_file.h"
#include "script/data/script_coord_sys.h"

struct RecordsetFiles {
    std::unique_ptr<CShapeFile> shapefile;  // null for a plain table
    std::unique_ptr<CDbfTable> ownTable;    // a plain table's object
    CDbfTable* table = nullptr;             // the shapefile's table or ownTable
    std::vector<uint8_t> record;            // the current record (its own buffer)
    bool recordModified = false;
    bool shapeModified = false;
    // The system new shapes are in (null: none).
    ComPtr<CScriptCoordSys> cs;

    bool IsOpen() const { return table != nullptr && table->Table() != nullptr; }
    DbfHandle Table() const { return table ? table->Table() : nullptr; }
    ShpHandle Shapes() const { return shapefile ? shapefile->GetHandle() : nullptr; }
    // Whether edits may be written: the shapefile, or a plain table, was
    // opened for writing.
    bool Writable() const;
    // The record buffer, sized for the table's current record length.
    uint8_t* Record();
    // Closes what is owned and forgets the rest.
    void Drop();
};
using RecordsetFilesPtr = std::shared_ptr<RecordsetFiles>;
