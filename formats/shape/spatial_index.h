// CSpatialIndex: the spatial bin index of one shapefile as layers, packing
// and scripts see it. It opens the `.sbn`/`.sbx` pair beside a `.shp`,
// answers rectangle queries into three numbered result sets (0 drawing and
// hit tests, 2 searches; each the record count of the attribute table in
// capacity), rebuilds the pair from the shapes and deletes it.
//
// An open index keeps its files open without delete sharing, so deleting or
// rebuilding them through another object fails, as on the device; the
// object's own Rebuild closes and reopens it around the new files.
#pragma once

#include <cstdint>
#include <memory>

#include "core/double_rect.h"
#include "core/path.h"
#include "formats/shape/record_set.h"
#include "formats/shape/sbn_index.h"
#include "formats/shape/shape_record.h"

class CSpatialIndex {
public:
    static constexpr int kResultCount = 3;

    CSpatialIndex() = default;
    CSpatialIndex(const CSpatialIndex&) = delete;
    CSpatialIndex& operator=(const CSpatialIndex&) = delete;
    virtual ~CSpatialIndex() { Close(); }

    // `path` is the shapefile's (any extension); the index is its `.sbn`.
    bool OpenFile(const WChar* path, int recordCount);
    bool OpenForLayer(ShpHandle shapefile);
    void Close();
    bool IsOpen() const;
    // Empties result n (0 to 2) and fills it with the candidates of the
    // rectangle; returns their number.
    int QueryRect(const CDoubleRect& rectangle, int n);
    ERecordSet* GetResultSet(int n) const;
    // Bit k of the words is record number k; null without that result.
    const uint32_t* GetResultData(int n);
    const CPath& GetPath() const { return m_path; }
    ESpatialIndex& GetIndex() { return m_index; }

    static bool DeleteIndexFiles(const WChar* path);
    static bool DeleteForLayer(ShpHandle shapefile);
    bool CloseAndDelete();
    // Rebuilds the index of a shapefile from its shapes. An empty shapefile
    // gets no index (true). The new pair is written beside the old one and
    // renamed over it once complete, so every failure keeps the old pair:
    // false when the old files cannot be replaced (open elsewhere) or when
    // records exist and none of them can be read; CFileException when the
    // new files cannot be written. When this object had that index open, it
    // is reopened on the (new or old) files.
    bool Rebuild(ShpHandle shapefile);

private:
    CPath m_path;
    ESpatialIndex m_index;
    std::unique_ptr<ERecordSet> m_results[kResultCount];
    int m_recordCount = 0;
};
