#include "formats/shape/spatial_index.h"

#include <algorithm>
#include <vector>

#include "formats/dbf/dbf_engine.h"
#include "formats/shape/shp_engine.h"
#include "platform/fs/fs.h"

namespace {

CPath IndexPath(const WChar* path, const WChar* extension) {
    CPath p(path);
    p.SetExtension(extension);
    return p;
}

}  // namespace

bool CSpatialIndex::OpenFile(const WChar* path, int recordCount) {
    Close();
    m_path = IndexPath(path, u"sbn");
    if (!m_index.Open(m_path.GetPath(), true)) return false;
    m_results[0] = std::make_unique<ERecordSet>(recordCount);
    m_recordCount = recordCount;
    return true;
}

bool CSpatialIndex::OpenForLayer(ShpHandle shapefile) {
    if (!shapefile) return false;
    return OpenFile(ShpGetPath(shapefile), DbfGetRecordCount(ShpGetTable(shapefile)));
}

void CSpatialIndex::Close() {
    m_index.Close();
    for (auto& r : m_results) r.reset();
}

bool CSpatialIndex::IsOpen() const {
    return m_index.IsOpen() && m_results[0] != nullptr;
}

int CSpatialIndex::QueryRect(const CDoubleRect& r, int n) {
    if (n < 0 || n >= kResultCount || !m_index.IsOpen()) return 0;
    if (!m_results[n]) m_results[n] = std::make_unique<ERecordSet>(m_recordCount);
    m_results[n]->RemoveAll();
    return m_index.Query(EExtent(r.xmin, r.ymin, r.xmax, r.ymax), *m_results[n]);
}

ERecordSet* CSpatialIndex::GetResultSet(int n) const {
    return n >= 0 && n < kResultCount ? m_results[n].get() : nullptr;
}

const uint32_t* CSpatialIndex::GetResultData(int n) {
    ERecordSet* set = GetResultSet(n);
    return set ? set->GetWords() : nullptr;
}

bool CSpatialIndex::DeleteIndexFiles(const WChar* path) {
    const CPath sbn = IndexPath(path, u"sbn");
    if (sbn.Exists() && !sbn.DeleteFile()) return false;
    const CPath sbx = IndexPath(path, u"sbx");
    return !sbx.Exists() || sbx.DeleteFile();
}

bool CSpatialIndex::DeleteForLayer(ShpHandle shapefile) {
    return shapefile && DeleteIndexFiles(ShpGetPath(shapefile));
}

bool CSpatialIndex::CloseAndDelete() {
    Close();
    if (m_path.IsEmpty()) return false;
    return DeleteIndexFiles(m_path.GetPath().c_str());
}

bool CSpatialIndex::Rebuild(ShpHandle shapefile) {
    if (!shapefile) return false;
    const CPath path = IndexPath(ShpGetPath(shapefile), u"sbn");
    // Our own open index on these files is closed first and reopened on the
    // new ones, so its holders see fresh results.
    const bool reopen = m_index.IsOpen() && text::EqualsNoCase(m_path.GetPath(), path.GetPath());
    if (reopen) Close();
    const int records = DbfGetRecordCount(ShpGetTable(shapefile));
    auto finish = [&](bool result) {
        if (reopen && !OpenFile(path.GetPath().c_str(), records)) m_path = path;
        return result;
    };
    if (!DeleteIndexFiles(path.GetPath().c_str())) return finish(false);

    // The extent is the union of the header box and every shape's box: a
    // stale header box would leave shapes out, and they would vanish from
    // every drawing and search that goes through the index.
    struct Entry {
        int record;
        CDoubleRect box;
    };
    std::vector<Entry> shapes;
    CDoubleRect extent;
    bool haveExtent = false;
    CDoubleRect header;
    if (ShpGetBounds(shapefile, &header) && header.xmin <= header.xmax &&
        header.ymin <= header.ymax) {
        extent = header;
        haveExtent = true;
    }
    for (int i = 0; i < records; ++i) {
        ShapeRecord* r = ShpReadShape(shapefile, i);
        CDoubleRect box;
        // Unreadable records (a `.shp` shorter than the table) and null
        // shapes are left out rather than filed at (0, 0).
        if (!r || ShpGetRecordShapeType(shapefile, r) == 0 || !ShpGetShapeBounds(r, &box)) continue;
        if (!(box.xmin <= box.xmax && box.ymin <= box.ymax)) continue;
        shapes.push_back({i + 1, box});
        if (!haveExtent) {
            extent = box;
            haveExtent = true;
        } else {
            extent.xmin = std::min(extent.xmin, box.xmin);
            extent.ymin = std::min(extent.ymin, box.ymin);
            extent.xmax = std::max(extent.xmax, box.xmax);
            extent.ymax = std::max(extent.ymax, box.ymax);
        }
    }
    // An empty shapefile gets no index: nothing to build, and other readers
    // refuse an index without features anyway.
    if (shapes.empty()) return finish(true);
    ESpatialIndexBuilder builder(records,
                                 EExtent(extent.xmin, extent.ymin, extent.xmax, extent.ymax));
    for (const Entry& e : shapes)
        builder.AddShape(e.record, EExtent(e.box.xmin, e.box.ymin, e.box.xmax, e.box.ymax));
    try {
        builder.Write(path.GetPath());
    } catch (...) {
        finish(false);
        throw;
    }
    return finish(true);
}
