#include "desktop/host/host_objects.h"

#include <sys/stat.h>

#include <algorithm>

#include "crs/wkt.h"
#include "desktop/host/host_faults.h"
#include "desktop/host/host_names.h"
#include "desktop/host/role_factories.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace host {

#define ZN_OP(name) HostFaults::Check(name)

// ------------------------------------------------------------------ session

HostSession::HostSession(DDocument model, std::string hostPath)
    : m_model(std::move(model)), m_path(std::move(hostPath)) {
    const size_t slash = m_path.find_last_of('/');
    m_folder = slash == std::string::npos ? "." : slash == 0 ? "/" : m_path.substr(0, slash);
}

std::string HostSession::Resolve(const std::string& relative) const {
    std::string r = relative;
    std::replace(r.begin(), r.end(), '\\', '/');
    if (!r.empty() && r[0] == '/') return r;
    return m_folder == "/" ? "/" + r : m_folder + "/" + r;
}

DMap& HostSession::FocusMap() {
    for (DMap& m : m_model.maps)
        if (m.name == m_model.focus) return m;
    return m_model.maps.front();
}

void HostSession::Save(const std::string& hostPath) {
    const std::string target = hostPath.empty() ? m_path : hostPath;
    std::string why;
    if (!SaveDmapFile(m_model, target, &why))
        throw HostError("the document could not be saved: " + why);
    if (!hostPath.empty() && hostPath != m_path) {
        m_path = hostPath;
        const size_t slash = m_path.find_last_of('/');
        m_folder = slash == std::string::npos ? "." : slash == 0 ? "/" : m_path.substr(0, slash);
    }
    m_modified = false;
}

namespace {

bool FileExists(const std::string& hostPath) {
    struct stat st {};
    return ::stat(hostPath.c_str(), &st) == 0;
}

// ------------------------------------------------------------------ colours and symbols

class RgbColorObj : public IHostRgbColor {
public:
    explicit RgbColorObj(HostRgb rgb) : m_rgb(rgb) {}
    HostRgb Rgb() const override {
        ZN_OP("IHostColor::Rgb");
        return m_rgb;
    }
    int Red() const override {
        ZN_OP("IHostRgbColor::Red");
        return static_cast<int>(m_rgb & 0xFF);
    }
    int Green() const override {
        ZN_OP("IHostRgbColor::Green");
        return static_cast<int>((m_rgb >> 8) & 0xFF);
    }
    int Blue() const override {
        ZN_OP("IHostRgbColor::Blue");
        return static_cast<int>((m_rgb >> 16) & 0xFF);
    }

private:
    HostRgb m_rgb;
};

std::shared_ptr<IHostSymbol> SymbolObject(const DSymbolPtr& s);

template <class Base>
class MarkerObj : public Base {
public:
    explicit MarkerObj(DSymbolPtr s) : m_s(std::move(s)) {}
    SymbolKind Kind() const override { return m_s->kind; }
    double Size() const override {
        ZN_OP("IHostMarkerSymbol::Size");
        return m_s->size;
    }
    std::shared_ptr<IHostColor> Color() const override {
        ZN_OP("IHostMarkerSymbol::Color");
        return NewRgbColor(m_s->color);
    }
    double Angle() const override {
        ZN_OP("IHostMarkerSymbol::Angle");
        return m_s->angle;
    }

protected:
    DSymbolPtr m_s;
};

class SimpleMarkerObj : public MarkerObj<IHostSimpleMarkerSymbol> {
public:
    using MarkerObj::MarkerObj;
    std::string Style() const override {
        ZN_OP("IHostSimpleMarkerSymbol::Style");
        return m_s->style;
    }
};

class CharacterMarkerObj : public MarkerObj<IHostCharacterMarkerSymbol> {
public:
    using MarkerObj::MarkerObj;
    HostFont Font() const override {
        ZN_OP("IHostCharacterMarkerSymbol::Font");
        return m_s->font;
    }
    int CharacterIndex() const override {
        ZN_OP("IHostCharacterMarkerSymbol::CharacterIndex");
        return m_s->index;
    }
};

class MultiLayerMarkerObj : public MarkerObj<IHostMultiLayerMarkerSymbol> {
public:
    using MarkerObj::MarkerObj;
    int LayerCount() const override {
        ZN_OP("IHostMultiLayerMarkerSymbol::LayerCount");
        return static_cast<int>(m_s->layers.size());
    }
    std::shared_ptr<IHostMarkerSymbol> Layer(int index) const override {
        ZN_OP("IHostMultiLayerMarkerSymbol::Layer");
        if (index < 0 || index >= static_cast<int>(m_s->layers.size()))
            throw HostError("no marker layer " + std::to_string(index));
        return std::dynamic_pointer_cast<IHostMarkerSymbol>(
            SymbolObject(m_s->layers[static_cast<size_t>(index)]));
    }
};

class PictureMarkerObj : public MarkerObj<IHostPictureMarkerSymbol> {
public:
    using MarkerObj::MarkerObj;
};

class LineObj : public IHostLineSymbol {
public:
    explicit LineObj(DSymbolPtr s) : m_s(std::move(s)) {}
    SymbolKind Kind() const override { return SymbolKind::Line; }
    LineKind Type() const override {
        ZN_OP("IHostLineSymbol::Type");
        return m_s->lineKind;
    }
    double Width() const override {
        ZN_OP("IHostLineSymbol::Width");
        return m_s->width;
    }
    std::shared_ptr<IHostColor> Color() const override {
        ZN_OP("IHostLineSymbol::Color");
        return NewRgbColor(m_s->color);
    }
    std::string Style() const override {
        ZN_OP("IHostLineSymbol::Style");
        return m_s->style;
    }

private:
    DSymbolPtr m_s;
};

template <class Base>
class FillObj : public Base {
public:
    explicit FillObj(DSymbolPtr s) : m_s(std::move(s)) {}
    SymbolKind Kind() const override { return m_s->kind; }
    std::shared_ptr<IHostColor> Color() const override {
        ZN_OP("IHostFillSymbol::Color");
        return NewRgbColor(m_s->color);
    }
    std::shared_ptr<IHostLineSymbol> Outline() const override {
        ZN_OP("IHostFillSymbol::Outline");
        if (!m_s->outline) return nullptr;
        return std::make_shared<LineObj>(m_s->outline);
    }

protected:
    DSymbolPtr m_s;
};

class SimpleFillObj : public FillObj<IHostSimpleFillSymbol> {
public:
    using FillObj::FillObj;
    FillStyle Style() const override {
        ZN_OP("IHostSimpleFillSymbol::Style");
        static const char* kNames[] = {"solid",     "hollow",    "horizontal", "vertical",
                                       "fdiagonal", "bdiagonal", "cross",      "diagcross"};
        for (int i = 0; i < 8; ++i)
            if (m_s->style == kNames[i]) return static_cast<FillStyle>(i);
        return FillStyle::Solid;
    }
};

class OtherFillObj : public FillObj<IHostOtherFillSymbol> {
public:
    using FillObj::FillObj;
    std::string OtherKind() const override {
        ZN_OP("IHostOtherFillSymbol::OtherKind");
        return m_s->otherKind;
    }
};

class TextObj : public IHostTextSymbol {
public:
    explicit TextObj(const DLabelClass& c) : m_font(c.font), m_color(c.color), m_angle(c.angle) {}
    SymbolKind Kind() const override { return SymbolKind::Text; }
    HostFont Font() const override {
        ZN_OP("IHostTextSymbol::Font");
        return m_font;
    }
    std::shared_ptr<IHostColor> Color() const override {
        ZN_OP("IHostTextSymbol::Color");
        return NewRgbColor(m_color);
    }
    double Angle() const override {
        ZN_OP("IHostTextSymbol::Angle");
        return m_angle;
    }

private:
    HostFont m_font;
    HostRgb m_color;
    double m_angle;
};

std::shared_ptr<IHostSymbol> SymbolObject(const DSymbolPtr& s) {
    if (!s) return nullptr;
    switch (s->kind) {
        case SymbolKind::SimpleMarker:
            return std::make_shared<SimpleMarkerObj>(s);
        case SymbolKind::CharacterMarker:
            return std::make_shared<CharacterMarkerObj>(s);
        case SymbolKind::MultiLayerMarker:
            return std::make_shared<MultiLayerMarkerObj>(s);
        case SymbolKind::PictureMarker:
            return std::make_shared<PictureMarkerObj>(s);
        case SymbolKind::Line:
            return std::make_shared<LineObj>(s);
        case SymbolKind::SimpleFill:
            return std::make_shared<SimpleFillObj>(s);
        case SymbolKind::OtherFill:
            return std::make_shared<OtherFillObj>(s);
        case SymbolKind::Text:
            break;
    }
    return nullptr;
}

// ------------------------------------------------------------------ legend and renderers

struct LegendEntry {
    std::string label;
    DSymbolPtr symbol;
};

class LegendClassObj : public IHostLegendClass {
public:
    explicit LegendClassObj(LegendEntry e) : m_e(std::move(e)) {}
    std::string Label() const override {
        ZN_OP("IHostLegendClass::Label");
        return m_e.label;
    }
    std::shared_ptr<IHostSymbol> Symbol() const override {
        ZN_OP("IHostLegendClass::Symbol");
        return SymbolObject(m_e.symbol);
    }

private:
    LegendEntry m_e;
};

struct LegendGroupData {
    std::string heading;
    std::vector<LegendEntry> classes;
};

class LegendGroupObj : public IHostLegendGroup {
public:
    explicit LegendGroupObj(LegendGroupData g) : m_g(std::move(g)) {}
    std::string Heading() const override {
        ZN_OP("IHostLegendGroup::Heading");
        return m_g.heading;
    }
    int ClassCount() const override {
        ZN_OP("IHostLegendGroup::ClassCount");
        return static_cast<int>(m_g.classes.size());
    }
    std::shared_ptr<IHostLegendClass> Class(int index) const override {
        ZN_OP("IHostLegendGroup::Class");
        if (index < 0 || index >= static_cast<int>(m_g.classes.size()))
            throw HostError("no legend class " + std::to_string(index));
        return std::make_shared<LegendClassObj>(m_g.classes[static_cast<size_t>(index)]);
    }

private:
    LegendGroupData m_g;
};

class LegendInfoObj : public IHostLegendInfo {
public:
    explicit LegendInfoObj(std::vector<LegendGroupData> groups) : m_groups(std::move(groups)) {}
    int LegendGroupCount() const override {
        ZN_OP("IHostLegendInfo::LegendGroupCount");
        return static_cast<int>(m_groups.size());
    }
    std::shared_ptr<IHostLegendGroup> LegendGroup(int index) const override {
        ZN_OP("IHostLegendInfo::LegendGroup");
        if (index < 0 || index >= static_cast<int>(m_groups.size()))
            throw HostError("no legend group " + std::to_string(index));
        return std::make_shared<LegendGroupObj>(m_groups[static_cast<size_t>(index)]);
    }

private:
    std::vector<LegendGroupData> m_groups;
};

std::vector<LegendGroupData> LegendOf(const DRenderer& r) {
    std::vector<LegendGroupData> out;
    switch (r.kind) {
        case RendererKind::Simple:
            out.push_back({"", {{r.label, r.symbol}}});
            break;
        case RendererKind::UniqueValue:
            for (const DGroup& g : r.groups) {
                LegendGroupData d{g.heading, {}};
                for (const DClass& c : g.classes) d.classes.push_back({c.label, c.symbol});
                out.push_back(std::move(d));
            }
            break;
        case RendererKind::ClassBreaks: {
            LegendGroupData d{r.field, {}};
            for (const DBreak& b : r.breaks) d.classes.push_back({b.label, b.symbol});
            out.push_back(std::move(d));
            break;
        }
        case RendererKind::Other:
            break;
    }
    return out;
}

// Renderers are snapshots of the layer's renderer: the model is changed
// through SetRenderer only.
template <class Base>
class RendererObj : public Base {
public:
    explicit RendererObj(DRenderer r) : m_r(std::move(r)) {}
    RendererKind Kind() const override { return m_r.kind; }
    std::shared_ptr<IHostLegendInfo> Legend() const override {
        ZN_OP("IHostFeatureRenderer::Legend");
        return std::make_shared<LegendInfoObj>(LegendOf(m_r));
    }
    const DRenderer& Model() const { return m_r; }

protected:
    DRenderer m_r;
};

class RotationObj : public IHostRotationRenderer {
public:
    RotationObj(std::string field, int type) : m_field(std::move(field)), m_type(type) {}
    std::string RotationField() const override {
        ZN_OP("IHostRotationRenderer::RotationField");
        return m_field;
    }
    int RotationType() const override {
        ZN_OP("IHostRotationRenderer::RotationType");
        return m_type;
    }

private:
    std::string m_field;
    int m_type;
};

class SimpleRendererObj : public RendererObj<IHostSimpleRenderer> {
public:
    using RendererObj::RendererObj;
    std::string Label() const override {
        ZN_OP("IHostSimpleRenderer::Label");
        return m_r.label;
    }
    std::shared_ptr<IHostSymbol> Symbol() const override {
        ZN_OP("IHostSimpleRenderer::Symbol");
        return SymbolObject(m_r.symbol);
    }
    std::shared_ptr<IHostRotationRenderer> Rotation() const override {
        ZN_OP("IHostSimpleRenderer::Rotation");
        if (!m_r.hasRotation) return nullptr;
        return std::make_shared<RotationObj>(m_r.rotationField, m_r.rotationType);
    }
};

class UniqueValueRendererObj : public RendererObj<IHostUniqueValueRenderer> {
public:
    explicit UniqueValueRendererObj(DRenderer r) : RendererObj(std::move(r)) {
        for (const DGroup& g : m_r.groups)
            for (const DClass& c : g.classes) m_values.push_back(c.value);
    }
    int FieldCount() const override {
        ZN_OP("IHostUniqueValueRenderer::FieldCount");
        return static_cast<int>(m_r.fields.size());
    }
    std::string Field(int index) const override {
        ZN_OP("IHostUniqueValueRenderer::Field");
        if (index < 0 || index >= static_cast<int>(m_r.fields.size()))
            throw HostError("no field " + std::to_string(index));
        return m_r.fields[static_cast<size_t>(index)];
    }
    // The values are the classes of all groups in document order.
    int ValueCount() const override {
        ZN_OP("IHostUniqueValueRenderer::ValueCount");
        return static_cast<int>(m_values.size());
    }
    std::string Value(int index) const override {
        ZN_OP("IHostUniqueValueRenderer::Value");
        if (index < 0 || index >= static_cast<int>(m_values.size()))
            throw HostError("no value " + std::to_string(index));
        return m_values[static_cast<size_t>(index)];
    }
    std::string DefaultLabel() const override {
        ZN_OP("IHostUniqueValueRenderer::DefaultLabel");
        return m_r.defaultLabel;
    }
    std::shared_ptr<IHostSymbol> DefaultSymbol() const override {
        ZN_OP("IHostUniqueValueRenderer::DefaultSymbol");
        return SymbolObject(m_r.defaultSymbol);
    }

private:
    std::vector<std::string> m_values;
};

class ClassBreaksRendererObj : public RendererObj<IHostClassBreaksRenderer> {
public:
    using RendererObj::RendererObj;
    std::string Field() const override {
        ZN_OP("IHostClassBreaksRenderer::Field");
        return m_r.field;
    }
    double MinimumBreak() const override {
        ZN_OP("IHostClassBreaksRenderer::MinimumBreak");
        return m_r.minimum;
    }
    int BreakCount() const override {
        ZN_OP("IHostClassBreaksRenderer::BreakCount");
        return static_cast<int>(m_r.breaks.size());
    }
    double Break(int index) const override {
        ZN_OP("IHostClassBreaksRenderer::Break");
        return At(index).value;
    }
    std::string Label(int index) const override {
        ZN_OP("IHostClassBreaksRenderer::Label");
        return At(index).label;
    }
    std::shared_ptr<IHostSymbol> Symbol(int index) const override {
        ZN_OP("IHostClassBreaksRenderer::Symbol");
        return SymbolObject(At(index).symbol);
    }

private:
    const DBreak& At(int index) const {
        if (index < 0 || index >= static_cast<int>(m_r.breaks.size()))
            throw HostError("no break " + std::to_string(index));
        return m_r.breaks[static_cast<size_t>(index)];
    }
};

class OtherRendererObj : public RendererObj<IHostFeatureRenderer> {
public:
    using RendererObj::RendererObj;
};

std::shared_ptr<IHostFeatureRenderer> RendererObject(const DRenderer& r) {
    switch (r.kind) {
        case RendererKind::Simple:
            return std::make_shared<SimpleRendererObj>(r);
        case RendererKind::UniqueValue:
            return std::make_shared<UniqueValueRendererObj>(r);
        case RendererKind::ClassBreaks:
            return std::make_shared<ClassBreaksRendererObj>(r);
        case RendererKind::Other:
            return std::make_shared<OtherRendererObj>(r);
    }
    return nullptr;
}

std::optional<DRenderer> ModelOfRenderer(const IHostFeatureRenderer& r) {
    if (auto* p = dynamic_cast<const RendererObj<IHostSimpleRenderer>*>(&r)) return p->Model();
    if (auto* p = dynamic_cast<const RendererObj<IHostUniqueValueRenderer>*>(&r)) return p->Model();
    if (auto* p = dynamic_cast<const RendererObj<IHostClassBreaksRenderer>*>(&r)) return p->Model();
    if (auto* p = dynamic_cast<const RendererObj<IHostFeatureRenderer>*>(&r)) return p->Model();
    return std::nullopt;
}

// ------------------------------------------------------------------ labels and links

class LabelEngineObj : public IHostLabelEngineProperties {
public:
    explicit LabelEngineObj(DLabelClass c) : m_c(std::move(c)) {}
    bool GateFlag() const override {
        ZN_OP("IHostLabelEngineProperties::GateFlag");
        return m_c.engineFlag;
    }
    std::string Expression() const override {
        ZN_OP("IHostLabelEngineProperties::Expression");
        return m_c.expression;
    }
    std::shared_ptr<IHostTextSymbol> Symbol() const override {
        ZN_OP("IHostLabelEngineProperties::Symbol");
        return std::make_shared<TextObj>(m_c);
    }

private:
    DLabelClass m_c;
};

class LabelClassObj : public IHostLabelClass {
public:
    explicit LabelClassObj(DLabelClass c) : m_c(std::move(c)) {}
    bool GateFlag() const override {
        ZN_OP("IHostLabelClass::GateFlag");
        return m_c.classFlag;
    }
    double MinimumScale() const override {
        ZN_OP("IHostLabelClass::MinimumScale");
        return m_c.minScale;
    }
    double MaximumScale() const override {
        ZN_OP("IHostLabelClass::MaximumScale");
        return m_c.maxScale;
    }
    std::shared_ptr<IHostLabelEngineProperties> EngineProperties() const override {
        ZN_OP("IHostLabelClass::EngineProperties");
        return std::make_shared<LabelEngineObj>(m_c);
    }

private:
    DLabelClass m_c;
};

class LabelClassesObj : public IHostLabelClassCollection {
public:
    explicit LabelClassesObj(std::vector<DLabelClass> c) : m_c(std::move(c)) {}
    int Count() const override {
        ZN_OP("IHostLabelClassCollection::Count");
        return static_cast<int>(m_c.size());
    }
    std::shared_ptr<IHostLabelClass> Class(int index) const override {
        ZN_OP("IHostLabelClassCollection::Class");
        if (index < 0 || index >= static_cast<int>(m_c.size()))
            throw HostError("no label class " + std::to_string(index));
        return std::make_shared<LabelClassObj>(m_c[static_cast<size_t>(index)]);
    }

private:
    std::vector<DLabelClass> m_c;
};

class HyperlinksObj : public IHostHyperlinkContainer {
public:
    explicit HyperlinksObj(std::string field) : m_field(std::move(field)) {}
    std::string HyperlinkField() const override {
        ZN_OP("IHostHyperlinkContainer::HyperlinkField");
        return m_field;
    }

private:
    std::string m_field;
};

// ------------------------------------------------------------------ data

class WorkspaceObj : public IHostWorkspace {
public:
    WorkspaceObj(std::string path, WorkspaceKind kind) : m_path(std::move(path)), m_kind(kind) {}
    std::string PathName() const override {
        ZN_OP("IHostWorkspace::PathName");
        return m_path;
    }
    WorkspaceKind Kind() const override {
        ZN_OP("IHostWorkspace::Kind");
        return m_kind;
    }

private:
    std::string m_path;
    WorkspaceKind m_kind;
};

class DatasetObj : public IHostDataset {
public:
    DatasetObj(std::string name, std::string category, std::shared_ptr<IHostWorkspace> ws)
        : m_name(std::move(name)), m_category(std::move(category)), m_ws(std::move(ws)) {}
    std::string Name() const override {
        ZN_OP("IHostDataset::Name");
        return m_name;
    }
    std::string BrowseName() const override {
        ZN_OP("IHostDataset::BrowseName");
        return m_name;
    }
    std::string Category() const override {
        ZN_OP("IHostDataset::Category");
        return m_category;
    }
    std::shared_ptr<IHostWorkspace> Workspace() const override {
        ZN_OP("IHostDataset::Workspace");
        return m_ws;
    }
    std::shared_ptr<IHostName> FullName() const override {
        ZN_OP("IHostDataset::FullName");
        const char* factory = m_ws->Kind() == WorkspaceKind::Shapefile ? kShapefileWorkspaceFactory
                              : m_ws->Kind() == WorkspaceKind::Ogr     ? kOgrWorkspaceFactory
                              : m_ws->Kind() == WorkspaceKind::Raster  ? kRasterWorkspaceFactory
                                                                       : kTesselWorkspaceFactory;
        return FeatureClassName(m_ws->PathName(), factory, m_name);
    }

private:
    std::string m_name;
    std::string m_category;
    std::shared_ptr<IHostWorkspace> m_ws;
};

class SpatialReferenceObj : public IHostSpatialReference {
public:
    SpatialReferenceObj(std::string name, std::string text, std::shared_ptr<CCoordSys> cs)
        : m_name(std::move(name)), m_text(std::move(text)), m_cs(std::move(cs)) {}
    std::string Name() const override {
        ZN_OP("IHostSpatialReference::Name");
        return m_name;
    }
    std::string Text() const override {
        ZN_OP("IHostSpatialReference::Text");
        return m_text;
    }
    void WritePrjFile(const std::string& hostPath) const override {
        ZN_OP("IHostSpatialReference::WritePrjFile");
        const WString device = fs::DevicePathFromHost(hostPath);
        if (device.empty()) throw HostError("a name the handheld cannot hold: " + hostPath);
        bool ok;
        if (m_cs) {
            ok = ::WritePrjFile(device, *m_cs);
        } else {
            ok = fs::WriteWholeFile(device, m_text.data(), m_text.size());
        }
        if (!ok) throw HostError("the projection file could not be written: " + hostPath);
    }

    const std::shared_ptr<CCoordSys>& CoordSys() const { return m_cs; }

private:
    std::string m_name;
    std::string m_text;
    std::shared_ptr<CCoordSys> m_cs;  // null for "Unknown"
};

std::shared_ptr<IHostSpatialReference> ReferenceOfParsed(CWktCoordSys& wkt, bool parsed,
                                                         const std::string& source) {
    std::unique_ptr<CCoordSys> cs = parsed ? wkt.CreateProjection() : nullptr;
    if (!cs || !wkt.m_projectionSupported)
        return std::make_shared<SpatialReferenceObj>("Unknown", source, nullptr);
    const std::string name =
        text::ToUtf8(!wkt.m_projcsName.empty() ? wkt.m_projcsName : wkt.m_geogcsName);
    const std::string text = text::ToUtf8(FormatWkt(*cs, false));
    return std::make_shared<SpatialReferenceObj>(name, text,
                                                 std::shared_ptr<CCoordSys>(std::move(cs)));
}

std::shared_ptr<IHostSpatialReference> SpatialReferenceOf(const HostSession& session,
                                                          const DCoordSys& c) {
    if (!c.prj.empty()) {
        const std::string path = session.Resolve(c.prj);
        const WString device = fs::DevicePathFromHost(path);
        std::string bytes;
        if (device.empty() || !fs::ReadWholeFile(device, &bytes))
            throw HostError("the projection file cannot be read: " + path);
        return SpatialReferenceFromPrj(bytes);
    }
    CWktCoordSys wkt;
    return ReferenceOfParsed(wkt, wkt.ParseWkt(text::FromUtf8(c.wkt)), c.wkt);
}

// ------------------------------------------------------------------ layers

class LayerCore {
public:
    LayerCore(std::shared_ptr<HostSession> s, std::shared_ptr<DLayer> l)
        : m_session(std::move(s)), m_layer(std::move(l)) {}
    std::shared_ptr<DLayer> Model() const { return m_layer; }

protected:
    std::shared_ptr<HostSession> m_session;
    std::shared_ptr<DLayer> m_layer;
};

template <class Base>
class LayerObj : public Base, public LayerCore {
public:
    using LayerCore::LayerCore;
    std::string Name() const override {
        ZN_OP("IHostLayer::Name");
        return m_layer->name;
    }
    void SetName(const std::string& name) override {
        ZN_OP("IHostLayer::SetName");
        m_layer->name = name;
        m_session->SetModified();
    }
    bool Visible() const override {
        ZN_OP("IHostLayer::Visible");
        return m_layer->visible;
    }
    void SetVisible(bool visible) override {
        ZN_OP("IHostLayer::SetVisible");
        m_layer->visible = visible;
        m_session->SetModified();
    }
    double MinimumScale() const override {
        ZN_OP("IHostLayer::MinimumScale");
        return m_layer->minScale;
    }
    double MaximumScale() const override {
        ZN_OP("IHostLayer::MaximumScale");
        return m_layer->maxScale;
    }
    bool Is(LayerRole role) const override {
        ZN_OP("IHostLayer::Is");
        switch (role) {
            case LayerRole::Any:
                return true;
            case LayerRole::Feature:
            case LayerRole::GeoFeature:
                return m_layer->kind == DLayerKind::Feature;
            case LayerRole::Raster:
                return m_layer->kind == DLayerKind::Raster;
            case LayerRole::Group:
                return m_layer->kind == DLayerKind::Group;
            case LayerRole::Annotation:
                return m_layer->kind == DLayerKind::Annotation;
        }
        return false;
    }
};

class FeatureLayerObj : public LayerObj<IHostGeoFeatureLayer> {
public:
    using LayerObj::LayerObj;

    std::shared_ptr<IHostFeatureClass> FeatureClass() const override {
        ZN_OP("IHostFeatureLayer::FeatureClass");
        if (m_featureClass) return m_featureClass;
        const std::string folder = m_session->Resolve(m_layer->data->workspace);
        // Shapefiles are found without regard to letter case, as the
        // handheld's engines find them.
        const std::string path = folder + "/" + m_layer->data->dataset +
                                 (m_layer->data->kind == WorkspaceKind::Shapefile ? ".shp" : "");
        const WString device = fs::DevicePathFromHost(path);
        if (m_layer->data->kind == WorkspaceKind::Shapefile ? device.empty() || !fs::Exists(device)
                                                            : !FileExists(path))
            throw HostError("data source not found: " + path);
        return CreateFeatureClass(Dataset());
    }
    void SetFeatureClass(std::shared_ptr<IHostFeatureClass> featureClass) override {
        ZN_OP("IHostFeatureLayer::SetFeatureClass");
        if (!featureClass) throw HostError("no feature class");
        auto ds = featureClass->Dataset();
        auto ws = ds->Workspace();
        DData d;
        d.workspace = ws->PathName();
        d.dataset = ds->Name();
        d.kind = ws->Kind();
        m_layer->data = d;
        m_featureClass = std::move(featureClass);
        m_session->SetModified();
    }
    bool ScaleSymbols() const override {
        ZN_OP("IHostFeatureLayer::ScaleSymbols");
        return m_layer->symbolsScale;
    }
    int SelectionCount() const override {
        ZN_OP("IHostFeatureLayer::SelectionCount");
        return m_layer->selection ? static_cast<int>(m_layer->selection->size()) : 0;
    }
    std::vector<int> Selection() const override {
        ZN_OP("IHostFeatureLayer::Selection");
        return m_layer->selection.value_or(std::vector<int>{});
    }
    std::shared_ptr<IHostHyperlinkContainer> Hyperlinks() const override {
        ZN_OP("IHostFeatureLayer::Hyperlinks");
        return std::make_shared<HyperlinksObj>(m_layer->hyperlinkField);
    }
    std::shared_ptr<IHostDataset> Dataset() const override {
        ZN_OP("IHostFeatureLayer::Dataset");
        const DData& d = *m_layer->data;
        static const char* kCategory[] = {"Shapefile Feature Class", "Feature Class",
                                          "Coverage Feature Class"};
        return std::make_shared<DatasetObj>(
            d.dataset, kCategory[static_cast<int>(d.kind)],
            std::make_shared<WorkspaceObj>(m_session->Resolve(d.workspace), d.kind));
    }
    std::shared_ptr<IHostFeatureRenderer> Renderer() const override {
        ZN_OP("IHostGeoFeatureLayer::Renderer");
        if (!m_layer->renderer) return nullptr;
        return RendererObject(*m_layer->renderer);
    }
    void SetRenderer(std::shared_ptr<IHostFeatureRenderer> renderer) override {
        ZN_OP("IHostGeoFeatureLayer::SetRenderer");
        if (!renderer) {
            m_layer->renderer.reset();
        } else {
            auto model = ModelOfRenderer(*renderer);
            if (!model) throw HostError("a renderer this host did not make");
            m_layer->renderer = *model;
        }
        m_session->SetModified();
    }
    std::shared_ptr<IHostLabelClassCollection> LabelClasses() const override {
        ZN_OP("IHostGeoFeatureLayer::LabelClasses");
        return std::make_shared<LabelClassesObj>(m_layer->labelClasses);
    }
    bool DisplayLabels() const override {
        ZN_OP("IHostGeoFeatureLayer::DisplayLabels");
        return m_layer->showLabels;
    }

private:
    std::shared_ptr<IHostFeatureClass> m_featureClass;
};

class RasterLayerObj : public LayerObj<IHostRasterLayer> {
public:
    using LayerObj::LayerObj;
    std::string FilePath() const override {
        ZN_OP("IHostRasterLayer::FilePath");
        return m_session->Resolve(m_layer->file);
    }
    std::shared_ptr<IHostRasterDataset> Raster() const override {
        ZN_OP("IHostRasterLayer::Raster");
        const std::string path = m_session->Resolve(m_layer->file);
        if (!FileExists(path)) throw HostError("data source not found: " + path);
        return CreateRasterDataset(path);
    }
};

class GroupLayerObj : public LayerObj<IHostGroupLayer> {
public:
    using LayerObj::LayerObj;
    std::vector<std::shared_ptr<IHostLayer>> Children() const override {
        ZN_OP("IHostGroupLayer::Children");
        std::vector<std::shared_ptr<IHostLayer>> out;
        for (const auto& c : m_layer->children) out.push_back(LayerObject(m_session, c));
        return out;
    }
};

class PlainLayerObj : public LayerObj<IHostLayer> {
public:
    using LayerObj::LayerObj;
};

// ------------------------------------------------------------------ map, view, document

class ActiveViewObj : public IHostActiveView {
public:
    explicit ActiveViewObj(std::shared_ptr<HostSession> s) : m_session(std::move(s)) {}
    HostEnvelope VisibleExtent() const override {
        ZN_OP("IHostActiveView::VisibleExtent");
        const DMap& m = m_session->FocusMap();
        if (!m.view) throw HostError("the map has no visible extent");
        return *m.view;
    }
    void SetVisibleExtent(const HostEnvelope& e) override {
        ZN_OP("IHostActiveView::SetVisibleExtent");
        if (!(e.xmax >= e.xmin && e.ymax >= e.ymin)) throw HostError("not an extent");
        m_session->FocusMap().view = e;
        m_session->SetModified();
    }
    void Refresh() override { ZN_OP("IHostActiveView::Refresh"); }

private:
    std::shared_ptr<HostSession> m_session;
};

class MapObj : public IHostMap {
public:
    MapObj(std::shared_ptr<HostSession> s, DMap* map) : m_session(std::move(s)), m_map(map) {}
    std::string Name() const override {
        ZN_OP("IHostMap::Name");
        return m_map->name;
    }
    int LayerCount() const override {
        ZN_OP("IHostMap::LayerCount");
        return static_cast<int>(m_map->layers.size());
    }
    std::shared_ptr<IHostLayer> Layer(int index) const override {
        ZN_OP("IHostMap::Layer");
        if (index < 0 || index >= static_cast<int>(m_map->layers.size()))
            throw HostError("no layer " + std::to_string(index));
        return LayerObject(m_session, m_map->layers[static_cast<size_t>(index)]);
    }
    std::vector<std::shared_ptr<IHostLayer>> Layers(LayerRole role,
                                                    bool topLevelOnly) const override {
        ZN_OP("IHostMap::Layers");
        std::vector<std::shared_ptr<IHostLayer>> out;
        Collect(m_map->layers, role, topLevelOnly, out);
        return out;
    }
    std::shared_ptr<IHostSpatialReference> SpatialReference() const override {
        ZN_OP("IHostMap::SpatialReference");
        if (!m_map->coordSys) return nullptr;
        return SpatialReferenceOf(*m_session, *m_map->coordSys);
    }
    double ReferenceScale() const override {
        ZN_OP("IHostMap::ReferenceScale");
        return m_map->referenceScale;
    }
    void AddLayer(std::shared_ptr<IHostLayer> layer) override {
        ZN_OP("IHostMap::AddLayer");
        auto model = layer ? ModelOf(*layer) : nullptr;
        if (!model) throw HostError("a layer this host did not make");
        if (Find(model) >= 0) throw HostError("the layer is in the map already");
        m_map->layers.insert(m_map->layers.begin(), model);
        m_session->SetModified();
    }
    void DeleteLayer(std::shared_ptr<IHostLayer> layer) override {
        ZN_OP("IHostMap::DeleteLayer");
        auto model = layer ? ModelOf(*layer) : nullptr;
        const int at = model ? Find(model) : -1;
        if (at < 0) throw HostError("the layer is not in the map");
        m_map->layers.erase(m_map->layers.begin() + at);
        m_session->SetModified();
    }
    void MoveLayer(std::shared_ptr<IHostLayer> layer, int toIndex) override {
        ZN_OP("IHostMap::MoveLayer");
        auto model = layer ? ModelOf(*layer) : nullptr;
        const int at = model ? Find(model) : -1;
        if (at < 0) throw HostError("the layer is not in the map");
        if (toIndex < 0 || toIndex >= static_cast<int>(m_map->layers.size()))
            throw HostError("no position " + std::to_string(toIndex));
        m_map->layers.erase(m_map->layers.begin() + at);
        m_map->layers.insert(m_map->layers.begin() + toIndex, model);
        m_session->SetModified();
    }

private:
    int Find(const std::shared_ptr<DLayer>& model) const {
        for (size_t i = 0; i < m_map->layers.size(); ++i)
            if (m_map->layers[i] == model) return static_cast<int>(i);
        return -1;
    }
    void Collect(const std::vector<DLayerPtr>& layers, LayerRole role, bool topLevelOnly,
                 std::vector<std::shared_ptr<IHostLayer>>& out) const {
        for (const auto& l : layers) {
            auto obj = LayerObject(m_session, l);
            if (obj->Is(role)) out.push_back(obj);
            if (!topLevelOnly && l->kind == DLayerKind::Group)
                Collect(l->children, role, false, out);
        }
    }

    std::shared_ptr<HostSession> m_session;
    DMap* m_map;
};

DLayerPtr FindLayerNamed(const std::vector<DLayerPtr>& layers, const std::string& name) {
    for (const auto& l : layers) {
        if (l->name == name) return l;
        if (auto c = FindLayerNamed(l->children, name)) return c;
    }
    return nullptr;
}

class MapDocumentObj : public IHostMapDocument {
public:
    explicit MapDocumentObj(std::shared_ptr<HostSession> s) : m_session(std::move(s)) {}
    std::shared_ptr<IHostMap> FocusMap() const override {
        ZN_OP("IHostMapDocument::FocusMap");
        return std::make_shared<MapObj>(m_session, &m_session->FocusMap());
    }
    std::shared_ptr<IHostActiveView> ActiveView() const override {
        ZN_OP("IHostMapDocument::ActiveView");
        return std::make_shared<ActiveViewObj>(m_session);
    }
    std::shared_ptr<IHostLayer> SelectedLayer() const override {
        ZN_OP("IHostMapDocument::SelectedLayer");
        const DMap& m = m_session->FocusMap();
        if (m.selected.empty()) return nullptr;
        auto l = FindLayerNamed(m.layers, m.selected);
        return l ? LayerObject(m_session, l) : nullptr;
    }
    void UpdateContents() override { ZN_OP("IHostMapDocument::UpdateContents"); }
    void Save() override {
        ZN_OP("IHostMapDocument::Save");
        m_session->Save();
    }

private:
    std::shared_ptr<HostSession> m_session;
};

// ------------------------------------------------------------------ the layer file

// The host's layer file: one layer of a .dmap document, written as a
// document of its own holding one map with that layer. Its data paths are
// made absolute, so the file reads the same wherever it is.
class LayerFileObj : public IHostLayerFile {
public:
    void New(const std::string& path) override {
        ZN_OP("IHostLayerFile::New");
        if (path.empty()) throw HostError("a layer file needs a path");
        m_path = path;
        m_layer.reset();
    }
    void ReplaceContents(std::shared_ptr<IHostLayer> layer) override {
        ZN_OP("IHostLayerFile::ReplaceContents");
        auto model = layer ? ModelOf(*layer) : nullptr;
        if (!model) throw HostError("a layer this host did not make");
        auto copy = std::make_shared<DLayer>(*model);
        if (auto feature = std::dynamic_pointer_cast<IHostFeatureLayer>(layer);
            feature && copy->data)
            copy->data->workspace = feature->Dataset()->Workspace()->PathName();
        if (auto raster = std::dynamic_pointer_cast<IHostRasterLayer>(layer))
            copy->file = raster->FilePath();
        m_layer = std::move(copy);
    }
    void Save() override {
        ZN_OP("IHostLayerFile::Save");
        if (m_path.empty()) throw HostError("the layer file has no path");
        if (!m_layer) throw HostError("the layer file has no contents");
        DDocument document;
        DMap map;
        map.name = m_layer->name;
        map.layers.push_back(m_layer);
        document.focus = map.name;
        document.maps.push_back(std::move(map));
        std::string error;
        if (!SaveDmapFile(document, m_path, &error)) throw HostError(error);
    }

private:
    std::string m_path;
    std::shared_ptr<DLayer> m_layer;
};

}  // namespace

std::shared_ptr<IHostSpatialReference> SpatialReferenceFromPrj(const std::string& bytes) {
    // Each byte is one character, as the handheld reads a .prj.
    WString latin1;
    for (unsigned char b : bytes) latin1 += static_cast<WChar>(b);
    CWktCoordSys wkt;
    return ReferenceOfParsed(wkt, wkt.ParseWkt(latin1), bytes);
}

std::shared_ptr<IHostSpatialReference> SpatialReferenceFromSystem(const CCoordSys& cs) {
    return SpatialReferenceFromPrj(text::ToUtf8(FormatWkt(cs, false)));
}

std::shared_ptr<CCoordSys> CoordSysOf(const IHostSpatialReference& reference) {
    if (auto* r = dynamic_cast<const SpatialReferenceObj*>(&reference)) return r->CoordSys();
    return nullptr;
}

std::shared_ptr<IHostRgbColor> NewRgbColor(HostRgb rgb) {
    return std::make_shared<RgbColorObj>(rgb);
}

// Made here rather than with the other role factories: it works on the
// model behind the layer objects of this file.
std::shared_ptr<IHostLayerFile> CreateLayerFile() {
    ZN_OP("CreateLayerFile");
    return std::make_shared<LayerFileObj>();
}

std::shared_ptr<IHostLayer> LayerObject(std::shared_ptr<HostSession> session,
                                        std::shared_ptr<DLayer> layer) {
    switch (layer->kind) {
        case DLayerKind::Feature:
            return std::make_shared<FeatureLayerObj>(std::move(session), std::move(layer));
        case DLayerKind::Raster:
            return std::make_shared<RasterLayerObj>(std::move(session), std::move(layer));
        case DLayerKind::Group:
            return std::make_shared<GroupLayerObj>(std::move(session), std::move(layer));
        case DLayerKind::Annotation:
            return std::make_shared<PlainLayerObj>(std::move(session), std::move(layer));
    }
    return nullptr;
}

std::shared_ptr<DLayer> ModelOf(const IHostLayer& layer) {
    if (auto* core = dynamic_cast<const LayerCore*>(&layer)) return core->Model();
    return nullptr;
}

namespace {

class HostObjectsImpl : public IHostObjects {
public:
    explicit HostObjectsImpl(std::shared_ptr<HostSession> s) : m_session(std::move(s)) {}
    std::shared_ptr<IHostWorkspaceFactory> WorkspaceFactory(const std::string& progId) override {
        return CreateWorkspaceFactory(progId);
    }
    std::shared_ptr<IHostFeatureDataConverter> FeatureDataConverter() override {
        return CreateFeatureDataConverter();
    }
    std::shared_ptr<IHostFieldChecker> FieldChecker() override { return CreateFieldChecker(); }
    std::shared_ptr<IHostSpatialFilter> SpatialFilter() override { return CreateSpatialFilter(); }
    std::shared_ptr<IHostName> Name(IHostName::Kind kind) override {
        ZN_OP("IHostObjects::Name");
        return NewHostName(kind);
    }
    std::shared_ptr<IHostMrSidEncoder> MrSidEncoder() override { return CreateMrSidEncoder(); }
    std::shared_ptr<IHostLayer> FeatureLayer(std::shared_ptr<IHostFeatureClass> featureClass) override {
        ZN_OP("IHostObjects::FeatureLayer");
        if (!featureClass) throw HostError("no feature class");
        auto model = std::make_shared<DLayer>();
        model->kind = DLayerKind::Feature;
        model->name = featureClass->Dataset()->Name();
        auto layer = std::make_shared<FeatureLayerObj>(m_session, model);
        layer->SetFeatureClass(std::move(featureClass));
        return layer;
    }

private:
    std::shared_ptr<HostSession> m_session;
};

}  // namespace

HostApplicationImpl::HostApplicationImpl(std::shared_ptr<HostSession> session, IHostUi& ui)
    : m_session(std::move(session)), m_ui(ui),
      m_objects(std::make_unique<HostObjectsImpl>(m_session)) {}

HostApplicationImpl::~HostApplicationImpl() = default;

std::shared_ptr<IHostMapDocument> HostApplicationImpl::Document() const {
    ZN_OP("IHostApplication::Document");
    return std::make_shared<MapDocumentObj>(m_session);
}

std::shared_ptr<HostApplicationImpl> OpenHostDocument(const std::string& hostPath, IHostUi& ui,
                                                      DmapError* error) {
    auto model = ReadDmapFile(hostPath, error);
    if (!model) return nullptr;
    return std::make_shared<HostApplicationImpl>(
        std::make_shared<HostSession>(std::move(*model), hostPath), ui);
}

std::string HostItemDef::Id() const {
    ZN_OP("IHostItemDef::Id");
    return m_id;
}
void HostItemDef::SetId(const std::string& id) {
    ZN_OP("IHostItemDef::SetId");
    m_id = id;
}
bool HostItemDef::Group() const {
    ZN_OP("IHostItemDef::Group");
    return m_group;
}
void HostItemDef::SetGroup(bool group) {
    ZN_OP("IHostItemDef::SetGroup");
    m_group = group;
}

}  // namespace host
