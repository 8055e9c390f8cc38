#include "desktop/host/ogr_workspace.h"

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cpl_conv.h>
#include <deque>
#include <mutex>

#include "desktop/host/feature_class_base.h"
#include "desktop/host/feature_cursor.h"
#include "desktop/host/host_faults.h"
#include "desktop/host/host_names.h"
#include "desktop/host/host_objects.h"
#include "desktop/host/spatial_filter.h"
#include "formats/shape/shape_geometry.h"

namespace host {

void EnsureGdal() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

std::string PrjTextOfOsr(void* osr) {
    if (!osr) return {};
    OGRSpatialReferenceH clone = OSRClone(static_cast<OGRSpatialReferenceH>(osr));
    std::string out;
    if (OSRMorphToESRI(clone) == OGRERR_NONE) {
        char* wkt = nullptr;
        if (OSRExportToWkt(clone, &wkt) == OGRERR_NONE && wkt) out = wkt;
        CPLFree(wkt);
    }
    OSRDestroySpatialReference(clone);
    return out;
}

namespace {

struct DatasetCloser {
    void operator()(void* ds) const { GDALClose(ds); }
};
using DatasetPtr = std::unique_ptr<void, DatasetCloser>;

HostField FieldOfDefn(OGRFieldDefnH d) {
    HostField f;
    f.name = OGR_Fld_GetNameRef(d);
    const int width = OGR_Fld_GetWidth(d);
    switch (OGR_Fld_GetType(d)) {
        case OFTString:
            f.type = 'C';
            f.length = width > 0 ? width : 254;
            f.fieldType = kFieldString;
            break;
        case OFTInteger:
            if (OGR_Fld_GetSubType(d) == OFSTBoolean) {
                f.type = 'L';
                f.length = 1;
                f.fieldType = kFieldSmallInteger;
            } else {
                f.type = 'N';
                f.length = 10;
                f.fieldType = kFieldInteger;
            }
            break;
        case OFTInteger64:
            f.type = 'N';
            f.length = 19;
            f.fieldType = kFieldDouble;
            break;
        case OFTReal:
            f.type = 'N';
            f.length = 19;
            f.decimals = 11;
            f.fieldType = kFieldDouble;
            break;
        case OFTDate:
            f.type = 'D';
            f.length = 8;
            f.fieldType = kFieldDate;
            break;
        default:
            f.type = 'C';
            f.length = 254;
            f.fieldType = kFieldString;
            break;
    }
    return f;
}

int ShapeTypeOf(OGRwkbGeometryType t) {
    const OGRwkbGeometryType flat = wkbFlatten(t);
    int base = 0;
    switch (flat) {
        case wkbPoint:
            base = 1;
            break;
        case wkbLineString:
        case wkbMultiLineString:
            base = 3;
            break;
        case wkbPolygon:
        case wkbMultiPolygon:
            base = 5;
            break;
        case wkbMultiPoint:
            base = 8;
            break;
        default:
            return 0;
    }
    if (wkbHasZ(t)) return base + 10;
    if (wkbHasM(t)) return base + 20;
    return base;
}

void AddPoints(OGRGeometryH g, HostGeometry& out, bool z, bool m) {
    const int n = OGR_G_GetPointCount(g);
    for (int i = 0; i < n; ++i) {
        out.points.push_back({OGR_G_GetX(g, i), OGR_G_GetY(g, i)});
        if (z) out.z.push_back(OGR_G_GetZ(g, i));
        if (m) out.m.push_back(OGR_G_GetM(g, i));
    }
}

// Shapefile rings: the outer one clockwise, holes counter-clockwise.
void AddRing(OGRGeometryH ring, HostGeometry& out, bool outer, bool z, bool m) {
    const size_t start = out.points.size();
    out.parts.push_back(static_cast<int>(start));
    AddPoints(ring, out, z, m);
    const size_t n = out.points.size() - start;
    const double area = RingSignedArea(reinterpret_cast<const uint8_t*>(&out.points[start]),
                                       static_cast<int>(n));
    if ((outer && area < 0) || (!outer && area > 0)) {
        std::reverse(out.points.begin() + static_cast<long>(start), out.points.end());
        if (z) std::reverse(out.z.begin() + static_cast<long>(start), out.z.end());
        if (m) std::reverse(out.m.begin() + static_cast<long>(start), out.m.end());
    }
}

HostGeometry GeometryOfOgr(OGRGeometryH g, int shapeType) {
    HostGeometry out;
    if (!g || OGR_G_IsEmpty(g)) return out;
    out.shapeType = shapeType;
    const bool z = ShapeTypeHasZ(shapeType), m = shapeType > 20;
    const OGRwkbGeometryType flat = wkbFlatten(OGR_G_GetGeometryType(g));
    switch (flat) {
        case wkbPoint:
        case wkbMultiPoint:
            if (flat == wkbPoint) {
                AddPoints(g, out, z, m);
            } else {
                for (int i = 0; i < OGR_G_GetGeometryCount(g); ++i)
                    AddPoints(OGR_G_GetGeometryRef(g, i), out, z, m);
            }
            break;
        case wkbLineString:
            out.parts.push_back(0);
            AddPoints(g, out, z, m);
            break;
        case wkbMultiLineString:
            for (int i = 0; i < OGR_G_GetGeometryCount(g); ++i) {
                out.parts.push_back(static_cast<int>(out.points.size()));
                AddPoints(OGR_G_GetGeometryRef(g, i), out, z, m);
            }
            break;
        case wkbPolygon:
            for (int i = 0; i < OGR_G_GetGeometryCount(g); ++i)
                AddRing(OGR_G_GetGeometryRef(g, i), out, i == 0, z, m);
            break;
        case wkbMultiPolygon:
            for (int k = 0; k < OGR_G_GetGeometryCount(g); ++k) {
                OGRGeometryH poly = OGR_G_GetGeometryRef(g, k);
                for (int i = 0; i < OGR_G_GetGeometryCount(poly); ++i)
                    AddRing(OGR_G_GetGeometryRef(poly, i), out, i == 0, z, m);
            }
            break;
        default:
            out.shapeType = 0;
            break;
    }
    return out;
}

HostValue ValueOf(OGRFeatureH f, int i, const HostField& field) {
    if (!OGR_F_IsFieldSetAndNotNull(f, i)) return std::monostate();
    switch (field.type) {
        case 'L':
            return OGR_F_GetFieldAsInteger(f, i) != 0;
        case 'N':
            if (field.decimals == 0) return static_cast<int64_t>(OGR_F_GetFieldAsInteger64(f, i));
            return OGR_F_GetFieldAsDouble(f, i);
        case 'D': {
            int y, mo, d, h, mi, tz;
            float s;
            if (!OGR_F_GetFieldAsDateTimeEx(f, i, &y, &mo, &d, &h, &mi, &s, &tz))
                return std::monostate();
            return HostDate{y, mo, d};
        }
        default:
            return std::string(OGR_F_GetFieldAsString(f, i));
    }
}

class OgrSource {
public:
    OgrSource(std::string folder, std::string name) : m_folder(std::move(folder)), m_name(std::move(name)) {
        EnsureGdal();
        const std::string path = m_folder + "/" + m_name;
        m_ds.reset(GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr,
                              nullptr));
        if (!m_ds) throw HostError("the data source cannot be opened: " + path);
        if (GDALDatasetGetLayerCount(m_ds.get()) < 1) throw HostError("no layer in " + path);
        m_layer = GDALDatasetGetLayer(m_ds.get(), 0);
    }
    OGRLayerH Layer() const { return m_layer; }
    std::string Driver() const {
        GDALDriverH d = GDALGetDatasetDriver(m_ds.get());
        const char* l = d ? GDALGetMetadataItem(d, GDAL_DMD_LONGNAME, nullptr) : nullptr;
        return l ? l : "OGR";
    }
    std::mutex& Lock() { return m_lock; }
    const std::string& Folder() const { return m_folder; }
    const std::string& Name() const { return m_name; }

private:
    std::string m_folder, m_name;
    DatasetPtr m_ds;
    OGRLayerH m_layer = nullptr;
    std::mutex m_lock;
};

class OgrCursor : public IHostFeatureCursor {
public:
    OgrCursor(std::shared_ptr<OgrSource> src, const IHostSpatialFilter* filter, bool recycling,
              std::vector<HostField> fields, int shapeType)
        : m_src(std::move(src)), m_test(filter), m_recycling(recycling), m_fields(std::move(fields)),
          m_shapeType(shapeType) {
        OGR_L_ResetReading(m_src->Layer());
    }
    HostFeature* NextFeature() override {
        HostFaults::Check("IHostFeatureCursor::NextFeature");
        for (;;) {
            OGRFeatureH f = OGR_L_GetNextFeature(m_src->Layer());
            if (!f) return nullptr;
            const int seq = m_next++;
            HostGeometry g = GeometryOfOgr(OGR_F_GetGeometryRef(f), m_shapeType);
            if (!m_test.Any()) {
                const ShapeRecord* r = RecordOfGeometry(g, m_storage);
                if (!m_test.Passes(r)) {
                    OGR_F_Destroy(f);
                    continue;
                }
            }
            HostFeature* out;
            if (m_recycling) {
                out = &m_feature;
            } else {
                m_handed.emplace_back();
                out = &m_handed.back();
            }
            out->oid = seq;
            out->shape = std::move(g);
            out->values.assign(m_fields.size(), std::monostate());
            const int n = OGR_F_GetFieldCount(f);
            for (int i = 0; i < n && static_cast<size_t>(i) < m_fields.size(); ++i)
                out->values[static_cast<size_t>(i)] = ValueOf(f, i, m_fields[static_cast<size_t>(i)]);
            OGR_F_Destroy(f);
            return out;
        }
    }

private:
    std::shared_ptr<OgrSource> m_src;
    ShapeTest m_test;
    bool m_recycling;
    std::vector<HostField> m_fields;
    int m_shapeType;
    int m_next = 0;
    std::vector<uint8_t> m_storage;
    HostFeature m_feature;
    std::deque<HostFeature> m_handed;
};

class OgrDataset : public IHostDataset {
public:
    OgrDataset(std::string folder, std::string name, std::string category)
        : m_folder(std::move(folder)), m_name(std::move(name)), m_category(std::move(category)) {}
    std::string Name() const override {
        HostFaults::Check("IHostDataset::Name");
        return m_name;
    }
    std::string BrowseName() const override {
        HostFaults::Check("IHostDataset::BrowseName");
        return m_name;
    }
    std::string Category() const override {
        HostFaults::Check("IHostDataset::Category");
        return m_category;
    }
    std::shared_ptr<IHostWorkspace> Workspace() const override {
        HostFaults::Check("IHostDataset::Workspace");
        return OpenOgrWorkspace(m_folder);
    }
    std::shared_ptr<IHostName> FullName() const override {
        HostFaults::Check("IHostDataset::FullName");
        return FeatureClassName(m_folder, kOgrWorkspaceFactory, m_name);
    }

private:
    std::string m_folder, m_name, m_category;
};

class OgrFeatureClass : public HostFeatureClassBase {
public:
    explicit OgrFeatureClass(std::shared_ptr<OgrSource> src) : m_src(std::move(src)) {
        OGRFeatureDefnH defn = OGR_L_GetLayerDefn(m_src->Layer());
        for (int i = 0; i < OGR_FD_GetFieldCount(defn); ++i)
            m_fields.push_back(FieldOfDefn(OGR_FD_GetFieldDefn(defn, i)));
        m_def = std::make_shared<HostGeometryDef>();
        m_def->shapeType = ShapeTypeOf(OGR_L_GetGeomType(m_src->Layer()));
        if (m_def->shapeType == 0) {
            // A layer of mixed types (GeoJSON): the first shape decides.
            OGR_L_ResetReading(m_src->Layer());
            while (m_def->shapeType == 0) {
                OGRFeatureH f = OGR_L_GetNextFeature(m_src->Layer());
                if (!f) break;
                if (OGRGeometryH g = OGR_F_GetGeometryRef(f))
                    m_def->shapeType = ShapeTypeOf(OGR_G_GetGeometryType(g));
                OGR_F_Destroy(f);
            }
        }
        m_def->hasZ = ShapeTypeHasZ(m_def->shapeType);
        m_def->hasM = m_def->shapeType > 20;
        const std::string prj = PrjTextOfOsr(OGR_L_GetSpatialRef(m_src->Layer()));
        if (!prj.empty()) m_def->reference = SpatialReferenceFromPrj(prj);
        // OGR hands out text as UTF-8.
        m_def->codePageFile = "UTF-8";
        AddIdAndShapeFields("OBJECTID");
    }
    int FeatureCount() const override {
        HostFaults::Check("IHostFeatureClass::FeatureCount");
        return static_cast<int>(OGR_L_GetFeatureCount(m_src->Layer(), TRUE));
    }
    std::unique_ptr<IHostFeatureCursor> Search(const IHostSpatialFilter* filter,
                                               bool recycling) override {
        HostFaults::Check("IHostFeatureClass::Search");
        return std::make_unique<OgrCursor>(m_src, filter, recycling, m_fields, m_def->shapeType);
    }
    std::unique_ptr<IHostInsertCursor> Insert(bool) override {
        HostFaults::Check("IHostFeatureClass::Insert");
        throw HostError("read-only data source");
    }
    HostFeature CreateFeatureBuffer() const override {
        HostFaults::Check("IHostFeatureClass::CreateFeatureBuffer");
        throw HostError("read-only data source");
    }
    void AddIndex(const std::string&, const std::vector<std::string>&) override {
        HostFaults::Check("IHostFeatureClass::AddIndex");
        throw HostError("read-only data source");
    }
    std::shared_ptr<IHostDataset> Dataset() const override {
        HostFaults::Check("IHostFeatureClass::Dataset");
        return std::make_shared<OgrDataset>(m_src->Folder(), m_src->Name(),
                                            m_src->Driver() + " Feature Class");
    }

private:
    std::shared_ptr<OgrSource> m_src;
};

class OgrWorkspace : public IHostWorkspace {
public:
    explicit OgrWorkspace(std::string folder) : m_folder(std::move(folder)) {}
    std::string PathName() const override {
        HostFaults::Check("IHostWorkspace::PathName");
        return m_folder;
    }
    WorkspaceKind Kind() const override {
        HostFaults::Check("IHostWorkspace::Kind");
        return WorkspaceKind::Ogr;
    }
    std::shared_ptr<IHostFeatureClass> OpenFeatureClass(const std::string& name) override {
        HostFaults::Check("IHostWorkspace::OpenFeatureClass");
        return OpenOgrClass(m_folder, name);
    }
    std::shared_ptr<IHostFeatureClass> CreateFeatureClass(const std::string&,
                                                          const std::vector<HostField>&,
                                                          const std::string&) override {
        HostFaults::Check("IHostWorkspace::CreateFeatureClass");
        throw HostError("read-only data source");
    }

private:
    std::string m_folder;
};

}  // namespace

std::shared_ptr<IHostWorkspace> OpenOgrWorkspace(const std::string& folder) {
    return std::make_shared<OgrWorkspace>(folder);
}

std::shared_ptr<IHostFeatureClass> OpenOgrClass(const std::string& folder, const std::string& name) {
    return std::make_shared<OgrFeatureClass>(std::make_shared<OgrSource>(folder, name));
}

}  // namespace host
