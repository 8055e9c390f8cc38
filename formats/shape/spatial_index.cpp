#include "formats/shape/spatial_index.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "formats/dbf/dbf_engine.h"
#include "formats/shape/shp_engine.h"
#include "platform/fs/fs.h"

namespace {

// Beside an upper-case dataset (as desktop tools write them) the index
// files are upper case too, so a rebuilt pair does not appear in lower case
// next to the others.
CPath IndexPath(const WChar* path, const WChar* extension) {
    CPath p(path);
    // The dataset's name as it is on the disk, whatever case it was asked for in.
    std::string onDisk;
    fs::Resolved resolved;
    if (fs::ResolvePath(p.GetPath(), &resolved) && resolved.exists) onDisk = resolved.host;
    else onDisk = text::ToUtf8(p.GetPath());
    size_t slash = onDisk.rfind('/');
    size_t dot = onDisk.rfind('.');
    bool upper = dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
                 dot + 1 < onDisk.size();
    for (size_t i = dot + 1; upper && i < onDisk.size(); ++i)
        upper = !(onDisk[i] >= 'a' && onDisk[i] <= 'z');
    p.SetExtension(upper ? text::ToUpper(WString(extension)) : WString(extension));
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

namespace {

bool IsFinite(const CDoubleRect& b) {
    return std::isfinite(b.xmin) && std::isfinite(b.ymin) && std::isfinite(b.xmax) &&
           std::isfinite(b.ymax);
}

}  // namespace

bool CSpatialIndex::OpenForLayer(ShpHandle shapefile) {
    if (!shapefile) return false;
    if (!OpenFile(ShpGetPath(shapefile), DbfGetRecordCount(ShpGetTable(shapefile)))) return false;
    // An index left from another state of the shapefile (records added or
    // removed since, or shapes outside its grid) would hide features: it is
    // treated as absent, and the caller scans the shapes instead.
    bool current = m_index.GetShapeCount() == ShpGetRecordCount(shapefile);
    CDoubleRect box;
    if (current && ShpGetRecordCount(shapefile) > 0 && ShpGetBounds(shapefile, &box) &&
        box.xmin <= box.xmax && box.ymin <= box.ymax && IsFinite(box)) {
        const EExtent& e = m_index.GetExtent();
        const double slack =
            1e-9 * std::max({1.0, std::fabs(e.xmin), std::fabs(e.xmax), std::fabs(e.ymin),
                             std::fabs(e.ymax)});
        current = box.xmin >= e.xmin - slack && box.ymin >= e.ymin - slack &&
                  box.xmax <= e.xmax + slack && box.ymax <= e.ymax + slack;
    }
    if (!current) Close();
    return current;
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

    // The extent is the union of the header box and every shape's box: a
    // stale header box would leave shapes out, and they would vanish from
    // every drawing and search that goes through the index.
    struct Entry {
        int record;
        CDoubleRect box;
    };
    std::vector<Entry> shapes;
    int unreadable = 0;
    CDoubleRect extent;
    bool haveExtent = false;
    CDoubleRect header;
    if (ShpGetBounds(shapefile, &header) && header.xmin <= header.xmax &&
        header.ymin <= header.ymax && IsFinite(header)) {
        extent = header;
        haveExtent = true;
    }
    for (int i = 0; i < records; ++i) {
        ShapeRecord* r = ShpReadShape(shapefile, i);
        CDoubleRect box;
        if (!r) {
            if (!ShpIsRecordDeleted(shapefile, i)) ++unreadable;
            continue;
        }
        // Null shapes are left out rather than filed at (0, 0); so are boxes
        // that are not finite, which no reader could place in the grid.
        if (ShpGetRecordShapeType(shapefile, r) == 0 || !ShpGetShapeBounds(r, &box)) continue;
        if (!(box.xmin <= box.xmax && box.ymin <= box.ymax) || !IsFinite(box)) continue;
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
    // Records exist but none could be read (a damaged `.shp` or `.shx`): an
    // empty index would hide them all, and the old one may still be right.
    if (shapes.empty() && unreadable > 0) return finish(false);
    // An empty shapefile gets no index: nothing to build, and other readers
    // refuse an index without features anyway.
    if (shapes.empty()) return finish(DeleteIndexFiles(path.GetPath().c_str()));

    // The new pair is written beside the old one and takes its names only
    // when complete; the old pair is kept under a third name until then.
    CPath stem(path);
    stem.SetExtension(u"");
    WString base = stem.GetPath();
    while (!base.empty() && base.back() == u'.') base.pop_back();
    const CPath fresh(base + u"~.sbn");
    const CPath aside(base + u"~old.sbn");
    CSpatialIndex::DeleteIndexFiles(fresh.GetPath().c_str());
    ESpatialIndexBuilder builder(records,
                                 EExtent(extent.xmin, extent.ymin, extent.xmax, extent.ymax));
    for (const Entry& e : shapes)
        builder.AddShape(e.record, EExtent(e.box.xmin, e.box.ymin, e.box.xmax, e.box.ymax));
    try {
        builder.Write(fresh.GetPath());
    } catch (...) {
        DeleteIndexFiles(fresh.GetPath().c_str());
        finish(false);
        throw;
    }
    DeleteIndexFiles(aside.GetPath().c_str());
    fs::RenameSet swap(ShpIndexSwapJournal(path.GetPath().c_str()));
    bool ok = true;
    for (const WChar* extension : {u"sbx", u"sbn"})
        ok = ok && swap.Replace(IndexPath(fresh.GetPath().c_str(), extension).GetPath(),
                                IndexPath(path.GetPath().c_str(), extension).GetPath(),
                                IndexPath(aside.GetPath().c_str(), extension).GetPath());
    if (ok) ok = swap.Commit() || !swap.IsPending();
    DeleteIndexFiles(fresh.GetPath().c_str());
    return finish(ok);
}
