#include "desktop/host/feature_converter.h"

#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "crs/coord_sys.h"
#include "crs/datum_table.h"
#include "desktop/host/feature_cursor.h"
#include "desktop/host/host_faults.h"
#include "desktop/host/host_log.h"
#include "desktop/host/host_objects.h"
#include "desktop/host/ogr_workspace.h"
#include "desktop/host/shapefile_workspace.h"
#include "desktop/host/spatial_filter.h"
#include "platform/fs/fs.h"

namespace host {

std::shared_ptr<IHostFeatureClass> OpenNamedFeatureClass(const IHostName& name) {
    const std::string factory = name.FactoryProgId();
    if (factory == kTesselWorkspaceFactory) throw HostError("coverage data not supported");
    if (factory == kShapefileWorkspaceFactory) return OpenShapefileClass(name.PathName(), name.Name());
    if (factory == kOgrWorkspaceFactory) return OpenOgrClass(name.PathName(), name.Name());
    throw HostError("an unknown workspace factory: " + factory);
}

namespace {

// The datum table the handheld ships, found as the program finds it: in
// the System folder beside the executable. A host that set another keeps it.
void EnsureDatumTable() {
    if (!GetDatumTableFile().empty()) return;
    WString folder = fs::GetModuleFileName();
    const size_t slash = folder.find_last_of(u"\\/");
    folder = slash == WString::npos ? WString() : folder.substr(0, slash);
    const WString table = folder + u"\\System\\znDatums.dbf";
    if (fs::Exists(table)) SetDatumTableFile(table);
}

// Moves vertices from the source's system into the target's.
class Projector {
public:
    Projector(const std::shared_ptr<IHostSpatialReference>& from,
              const std::shared_ptr<IHostSpatialReference>& to) {
        // Without a system on either side the source is taken as already in
        // the target's.
        if (!from || !to) return;
        m_from = CoordSysOf(*from);
        m_to = CoordSysOf(*to);
        if (m_from && m_to) {
            if (m_from->IsEqual(m_to.get())) {
                m_from.reset();
                return;
            }
            switch (FindConversionProblem(*m_from, *m_to)) {
                case ConversionProblem::kNone:
                    return;
                case ConversionProblem::kShiftNotSupported:
                    throw HostError("the datum shift from " + from->Name() + " to " + to->Name() +
                                    " needs grid files, which are not supported");
                case ConversionProblem::kUnknownDatum:
                    HostLog("a datum of " + from->Name() + " or " + to->Name() +
                            " is not in the datum table: WGS 1984's numbers stand in");
                    return;
                case ConversionProblem::kUnknownSystem:
                    break;
            }
        }
        // A system our reader cannot use: OSR and PROJ project.
        m_from.reset();
        m_to.reset();
        m_src = NewOsr(from->Text());
        m_dst = NewOsr(to->Text());
        m_transform = OCTNewCoordinateTransformation(m_src, m_dst);
        if (!m_transform)
            throw HostError("no transformation from " + from->Name() + " to " + to->Name());
    }
    ~Projector() {
        if (m_transform) OCTDestroyCoordinateTransformation(m_transform);
        if (m_src) OSRDestroySpatialReference(m_src);
        if (m_dst) OSRDestroySpatialReference(m_dst);
    }
    Projector(const Projector&) = delete;
    Projector& operator=(const Projector&) = delete;

    // False when a vertex falls outside the target's range.
    bool Project(HostGeometry& g) {
        if (m_from) {
            for (HostPoint& p : g.points) {
                double x, y;
                m_from->ConvertTo(p.x, p.y, m_to.get(), &x, &y);
                if (std::isnan(x) || std::isnan(y)) return false;
                p = {x, y};
            }
        } else if (m_transform && !g.points.empty()) {
            m_x.resize(g.points.size());
            m_y.resize(g.points.size());
            for (size_t i = 0; i < g.points.size(); ++i) {
                m_x[i] = g.points[i].x;
                m_y[i] = g.points[i].y;
            }
            m_ok.assign(g.points.size(), 0);
            OCTTransformEx(m_transform, static_cast<int>(g.points.size()), m_x.data(), m_y.data(),
                           nullptr, m_ok.data());
            for (size_t i = 0; i < g.points.size(); ++i) {
                if (!m_ok[i] || !std::isfinite(m_x[i]) || !std::isfinite(m_y[i])) return false;
                g.points[i] = {m_x[i], m_y[i]};
            }
        }
        return true;
    }

private:
    static OGRSpatialReferenceH NewOsr(const std::string& text) {
        EnsureGdal();
        OGRSpatialReferenceH s = OSRNewSpatialReference(nullptr);
        if (OSRSetFromUserInput(s, text.c_str()) != OGRERR_NONE) {
            OSRDestroySpatialReference(s);
            throw HostError("a coordinate system that cannot be read: " + text.substr(0, 80));
        }
        OSRSetAxisMappingStrategy(s, OAMS_TRADITIONAL_GIS_ORDER);
        return s;
    }

    std::shared_ptr<CCoordSys> m_from, m_to;
    OGRSpatialReferenceH m_src = nullptr, m_dst = nullptr;
    OGRCoordinateTransformationH m_transform = nullptr;
    std::vector<double> m_x, m_y;
    std::vector<int> m_ok;
};

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsAttribute(const HostField& f) {
    return f.fieldType != kFieldOID && f.fieldType != kFieldGeometry && f.type != 'G' && f.type != 'I';
}

std::string LastErrorText() {
    const WString t = fs::ErrorText(fs::GetLastError());
    return t.empty() ? std::string("a file could not be moved") : text::ToUtf8(t);
}

}  // namespace

std::vector<int> FeatureDataConverter::Convert(std::shared_ptr<IHostName> input,
                                               const IHostSpatialFilter* filter,
                                               const std::vector<int>* selection,
                                               std::shared_ptr<IHostName> output,
                                               const HostGeometryDef& geometryDef,
                                               const std::vector<HostField>& fields,
                                               int flushInterval) {
    HostFaults::Check("IHostFeatureDataConverter::Convert");
    if (!input || !output) throw HostError("no input or output name");
    if (output->FactoryProgId() != kShapefileWorkspaceFactory)
        throw HostError("output goes to shapefiles only");
    const std::string folder = output->PathName();
    const std::string name = output->Name();
    if (name.empty()) throw HostError("no output name");
    // A file that survived the export's deletion must never be mixed with new data.
    if (fs::Exists(ShapefileDevicePath(folder, name, ".shp"))) throw HostError("output exists");

    EnsureDatumTable();
    auto source = OpenNamedFeatureClass(*input);
    const HostGeometryDef sourceDef = source->GeometryDef();
    HostGeometryDef def = geometryDef;
    if (def.shapeType == 0) def.shapeType = sourceDef.shapeType;
    def.hasZ = ShapeTypeHasZ(def.shapeType);
    def.hasM = ShapeTypeHasM(def.shapeType);
    if (def.languageDriverId == 0 && def.codePageFile.empty()) {
        def.languageDriverId = sourceDef.languageDriverId;
        def.codePageFile = sourceDef.codePageFile;
    }
    Projector projector(sourceDef.reference, def.reference);
    const ShapeTest test(filter);

    // The output's fields, each fed by its source field: by position when
    // the lists match (a checked copy), else by name.
    std::vector<HostField> outFields;
    std::string shapeField = "Shape";
    bool haveShape = false;
    for (const HostField& f : fields) {
        HostField g = f;
        if (!IsAttribute(f) && (f.fieldType == kFieldGeometry || f.type == 'G')) {
            g.geometryDef = std::make_shared<HostGeometryDef>(def);
            shapeField = f.name;
            haveShape = true;
        }
        outFields.push_back(std::move(g));
    }
    if (!haveShape) {
        HostField g;
        g.name = shapeField;
        g.type = 'G';
        g.fieldType = kFieldGeometry;
        g.geometryDef = std::make_shared<HostGeometryDef>(def);
        outFields.push_back(std::move(g));
    }
    const std::vector<HostField> sourceFields = source->Fields();
    std::vector<int> sourceAttrs, outAttrs;
    for (size_t i = 0; i < sourceFields.size(); ++i)
        if (IsAttribute(sourceFields[i])) sourceAttrs.push_back(static_cast<int>(i));
    for (size_t i = 0; i < outFields.size(); ++i)
        if (IsAttribute(outFields[i])) outAttrs.push_back(static_cast<int>(i));
    std::vector<int> feed(outFields.size(), -1);
    const bool positional = sourceAttrs.size() == outAttrs.size();
    for (size_t k = 0; k < outAttrs.size(); ++k) {
        if (positional) {
            feed[static_cast<size_t>(outAttrs[k])] = sourceAttrs[k];
            continue;
        }
        for (int s : sourceAttrs)
            if (SameName(sourceFields[static_cast<size_t>(s)].name, outFields[static_cast<size_t>(outAttrs[k])].name))
                feed[static_cast<size_t>(outAttrs[k])] = s;
    }

    std::unordered_set<int> selected;
    if (selection) selected.insert(selection->begin(), selection->end());

    const std::string temp = name + "~new";
    auto removeTemp = [&] {
        for (const char* ext : kShapefileExtensions)
            fs::DeleteFile(ShapefileDevicePath(folder, temp, ext));
    };
    removeTemp();  // leftovers of a run that ended half-way
    std::vector<int> notConverted;
    try {
        {
            auto target = OpenShapefileWorkspace(folder)->CreateFeatureClass(temp, outFields, shapeField);
            auto inserter = target->Insert(true);
            HostFeature out = target->CreateFeatureBuffer();
            auto cursor = source->Search(nullptr, true);
            std::vector<uint8_t> storage;
            const int every = flushInterval > 0 ? flushInterval : 1000;
            int pending = 0;
            while (HostFeature* f = cursor->NextFeature()) {
                if (selection && !selected.count(f->oid)) continue;
                if (f->shape.shapeType == 0 || !projector.Project(f->shape)) {
                    notConverted.push_back(f->oid);
                    continue;
                }
                if (!test.Any() && !test.Passes(RecordOfGeometry(f->shape, storage))) continue;
                out.shape = std::move(f->shape);
                out.shape.shapeType = def.shapeType;
                for (size_t i = 0; i < feed.size(); ++i)
                    out.values[i] = feed[i] >= 0 && static_cast<size_t>(feed[i]) < f->values.size()
                                        ? f->values[static_cast<size_t>(feed[i])]
                                        : HostValue();
                inserter->InsertFeature(out);
                if (++pending >= every) {
                    inserter->Flush();
                    pending = 0;
                }
            }
            inserter->Flush();
            cursor.reset();
            inserter.reset();
            CloseShapefileClass(target);
        }  // every handle on the temporary files is closed here

        // The complete files take their names together; what an earlier
        // export left beside the target (a code page, an index) goes with
        // the same step, so it can never describe the new table.
        fs::RenameSet swap;
        for (const char* ext : kShapefileExtensions) {
            const WString from = ShapefileDevicePath(folder, temp, ext);
            const WString to = ShapefileDevicePath(folder, name, ext);
            const bool ok = fs::Exists(from) ? swap.Replace(from, to) : swap.SetAside(to);
            if (!ok) throw HostError("the output could not be moved into place: " + LastErrorText());
        }
        // The files are in place once committed; a file set aside that
        // cannot be deleted stays beside them under its "~old" name.
        if (!swap.Commit()) HostLog("an old file beside " + name + " could not be deleted: " + LastErrorText());
    } catch (const HostError&) {
        removeTemp();
        throw;
    } catch (const std::exception& e) {
        removeTemp();
        throw HostError(e.what());
    }
    return notConverted;
}

}  // namespace host
