// The desktop host's object model as the add-ins see it: one abstract class
// per role, the error a failing call raises, and the small values passed
// between host and add-in.
//
// The host (pellum-standin with libdesktophost) and its add-ins are built by
// the same project with the same compiler, so these C++ classes and HostError
// cross the shared-object boundary. Add-ins are built with hidden visibility:
// every class here is marked visible so that its type information and
// vtables are one in the process. An add-in includes this header only; it
// never links the host library.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#define ZN_HOST_API __attribute__((visibility("default")))

namespace host {

// What every failing host call raises. The text says what failed.
class ZN_HOST_API HostError : public std::runtime_error {
public:
    explicit HostError(const std::string& description) : std::runtime_error(description) {}
};

// ------------------------------------------------------------------ values

struct HostPoint {
    double x = 0.0;
    double y = 0.0;
};

// xmin, ymin, xmax, ymax in map units.
struct HostEnvelope {
    double xmin = 0.0;
    double ymin = 0.0;
    double xmax = 0.0;
    double ymax = 0.0;
    HostPoint LowerLeft() const { return {xmin, ymin}; }
    HostPoint UpperRight() const { return {xmax, ymax}; }
};

// Packed RGB: red in the low byte, then green, then blue.
using HostRgb = uint32_t;
constexpr HostRgb MakeRgb(int r, int g, int b) {
    return static_cast<HostRgb>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// A font: size in 1/10000 point, as the platform's font object holds it.
struct HostFont {
    std::string name;
    int64_t size = 0;
    int charset = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    bool operator==(const HostFont&) const = default;
};

// A picture: width x height pixels, rows top first, 0xAARRGGBB.
struct HostImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// ------------------------------------------------------------------ colours and symbols

class ZN_HOST_API IHostColor {
public:
    virtual ~IHostColor() = default;
    virtual HostRgb Rgb() const = 0;
};

class ZN_HOST_API IHostRgbColor : public IHostColor {
public:
    virtual int Red() const = 0;
    virtual int Green() const = 0;
    virtual int Blue() const = 0;
};
// A new RGB colour object holding a packed value.
ZN_HOST_API std::shared_ptr<IHostRgbColor> NewRgbColor(HostRgb rgb);

enum class SymbolKind {
    SimpleMarker,
    CharacterMarker,
    MultiLayerMarker,
    PictureMarker,
    Line,
    SimpleFill,
    OtherFill,
    Text,
};

enum class LineKind { Simple, Cartographic, Hash, MultiLayer };

class ZN_HOST_API IHostSymbol {
public:
    virtual ~IHostSymbol() = default;
    virtual SymbolKind Kind() const = 0;
    bool IsMarker() const {
        const SymbolKind k = Kind();
        return k == SymbolKind::SimpleMarker || k == SymbolKind::CharacterMarker ||
               k == SymbolKind::MultiLayerMarker || k == SymbolKind::PictureMarker;
    }
    bool IsLine() const { return Kind() == SymbolKind::Line; }
    bool IsFill() const {
        return Kind() == SymbolKind::SimpleFill || Kind() == SymbolKind::OtherFill;
    }
};

class ZN_HOST_API IHostMarkerSymbol : public IHostSymbol {
public:
    virtual double Size() const = 0;
    virtual std::shared_ptr<IHostColor> Color() const = 0;
    virtual double Angle() const = 0;
};

class ZN_HOST_API IHostSimpleMarkerSymbol : public IHostMarkerSymbol {
public:
    virtual std::string Style() const = 0;  // circle, square, cross, x, diamond
};

class ZN_HOST_API IHostCharacterMarkerSymbol : public IHostMarkerSymbol {
public:
    virtual HostFont Font() const = 0;
    virtual int CharacterIndex() const = 0;
};

class ZN_HOST_API IHostMultiLayerMarkerSymbol : public IHostMarkerSymbol {
public:
    virtual int LayerCount() const = 0;
    virtual std::shared_ptr<IHostMarkerSymbol> Layer(int index) const = 0;
};

class ZN_HOST_API IHostPictureMarkerSymbol : public IHostMarkerSymbol {};

class ZN_HOST_API IHostLineSymbol : public IHostSymbol {
public:
    virtual LineKind Type() const = 0;
    virtual double Width() const = 0;
    virtual std::shared_ptr<IHostColor> Color() const = 0;
    virtual std::string Style() const = 0;  // solid, dash, dot, dashdot, dashdotdot, null
};

class ZN_HOST_API IHostFillSymbol : public IHostSymbol {
public:
    virtual std::shared_ptr<IHostColor> Color() const = 0;
    // The outline, or null when the fill has none.
    virtual std::shared_ptr<IHostLineSymbol> Outline() const = 0;
};

// Fill styles of a simple fill; 1 is the hollow style.
enum class FillStyle {
    Solid = 0,
    Hollow = 1,
    Horizontal,
    Vertical,
    ForwardDiagonal,
    BackwardDiagonal,
    Cross,
    DiagonalCross
};

class ZN_HOST_API IHostSimpleFillSymbol : public IHostFillSymbol {
public:
    virtual FillStyle Style() const = 0;
};

// Any other fill (gradient, picture, line, marker fills): its kind's name.
class ZN_HOST_API IHostOtherFillSymbol : public IHostFillSymbol {
public:
    virtual std::string OtherKind() const = 0;
};

class ZN_HOST_API IHostTextSymbol : public IHostSymbol {
public:
    virtual HostFont Font() const = 0;
    virtual std::shared_ptr<IHostColor> Color() const = 0;
    virtual double Angle() const = 0;
};

// ------------------------------------------------------------------ renderers and legend

enum class RendererKind { Simple, UniqueValue, ClassBreaks, Other };

class ZN_HOST_API IHostLegendClass {
public:
    virtual ~IHostLegendClass() = default;
    virtual std::string Label() const = 0;
    virtual std::shared_ptr<IHostSymbol> Symbol() const = 0;  // null: no symbol
};

class ZN_HOST_API IHostLegendGroup {
public:
    virtual ~IHostLegendGroup() = default;
    virtual std::string Heading() const = 0;
    virtual int ClassCount() const = 0;
    virtual std::shared_ptr<IHostLegendClass> Class(int index) const = 0;
};

class ZN_HOST_API IHostLegendInfo {
public:
    virtual ~IHostLegendInfo() = default;
    virtual int LegendGroupCount() const = 0;
    virtual std::shared_ptr<IHostLegendGroup> LegendGroup(int index) const = 0;
};

class ZN_HOST_API IHostFeatureRenderer {
public:
    virtual ~IHostFeatureRenderer() = default;
    virtual RendererKind Kind() const = 0;
    // Every renderer offers its legend.
    virtual std::shared_ptr<IHostLegendInfo> Legend() const = 0;
};

class ZN_HOST_API IHostRotationRenderer {
public:
    virtual ~IHostRotationRenderer() = default;
    virtual std::string RotationField() const = 0;
    virtual int RotationType() const = 0;  // 1 arithmetic, otherwise geographic
};

class ZN_HOST_API IHostSimpleRenderer : public IHostFeatureRenderer {
public:
    virtual std::string Label() const = 0;
    virtual std::shared_ptr<IHostSymbol> Symbol() const = 0;
    // Null when the renderer has no rotation settings.
    virtual std::shared_ptr<IHostRotationRenderer> Rotation() const = 0;
};

class ZN_HOST_API IHostUniqueValueRenderer : public IHostFeatureRenderer {
public:
    virtual int FieldCount() const = 0;
    virtual std::string Field(int index) const = 0;
    virtual int ValueCount() const = 0;
    virtual std::string Value(int index) const = 0;
    virtual std::string DefaultLabel() const = 0;
    virtual std::shared_ptr<IHostSymbol> DefaultSymbol() const = 0;
};

class ZN_HOST_API IHostClassBreaksRenderer : public IHostFeatureRenderer {
public:
    virtual std::string Field() const = 0;
    virtual double MinimumBreak() const = 0;
    virtual int BreakCount() const = 0;
    virtual double Break(int index) const = 0;
    virtual std::string Label(int index) const = 0;
    virtual std::shared_ptr<IHostSymbol> Symbol(int index) const = 0;
};

// ------------------------------------------------------------------ labels and links

class ZN_HOST_API IHostLabelEngineProperties {
public:
    virtual ~IHostLabelEngineProperties() = default;
    virtual bool GateFlag() const = 0;  // the label engine's "engineflag"
    virtual std::string Expression() const = 0;
    virtual std::shared_ptr<IHostTextSymbol> Symbol() const = 0;
};

class ZN_HOST_API IHostLabelClass {
public:
    virtual ~IHostLabelClass() = default;
    virtual bool GateFlag() const = 0;  // the label class's "classflag"
    virtual double MinimumScale() const = 0;
    virtual double MaximumScale() const = 0;
    virtual std::shared_ptr<IHostLabelEngineProperties> EngineProperties() const = 0;
};

class ZN_HOST_API IHostLabelClassCollection {
public:
    virtual ~IHostLabelClassCollection() = default;
    virtual int Count() const = 0;
    virtual std::shared_ptr<IHostLabelClass> Class(int index) const = 0;
};

class ZN_HOST_API IHostHyperlinkContainer {
public:
    virtual ~IHostHyperlinkContainer() = default;
    virtual std::string HyperlinkField() const = 0;
};

// ------------------------------------------------------------------ data

class IHostWorkspace;
class IHostFeatureClass;
class IHostRasterDataset;
class IHostSpatialReference;
class IHostDataset;

// The factories' identifiers that workspace names refer to.
constexpr const char kShapefileWorkspaceFactory[] = "qovaCore.ShapefileWorkspaceFactory.1";
constexpr const char kTesselWorkspaceFactory[] = "qovaCore.TesselWorkspaceFactory.1";
// Sources read through OGR (GeoPackage, GeoJSON, ...): the workspace is the
// folder, the dataset the file.
constexpr const char kOgrWorkspaceFactory[] = "qovaCore.OgrWorkspaceFactory.1";
constexpr const char kRasterWorkspaceFactory[] = "qovaCore.RasterWorkspaceFactory.1";

// A name of a workspace, feature class or raster: what opens it later.
class ZN_HOST_API IHostName {
public:
    enum class Kind { Workspace, FeatureClass, Raster };
    virtual ~IHostName() = default;
    virtual Kind NameKind() const = 0;
    // The folder (workspace) or the dataset's name within its workspace.
    virtual std::string Name() const = 0;
    virtual void SetName(const std::string& name) = 0;
    // A workspace name: the folder and the factory's identifier; a dataset
    // name: its workspace's name.
    virtual std::string PathName() const = 0;
    virtual void SetPathName(const std::string& path) = 0;
    virtual std::string FactoryProgId() const = 0;
    virtual void SetFactoryProgId(const std::string& progId) = 0;
    virtual std::shared_ptr<IHostName> WorkspaceName() const = 0;
    virtual void SetWorkspaceName(std::shared_ptr<IHostName> workspace) = 0;
};
// A new, empty name of the kind.
ZN_HOST_API std::shared_ptr<IHostName> NewHostName(IHostName::Kind kind);

// Field types as the host numbers them; 6 and 7 are the object id and the
// geometry, which a copy of attributes passes over.
enum HostFieldType : int {
    kFieldSmallInteger = 0,
    kFieldInteger = 1,
    kFieldSingle = 2,
    kFieldDouble = 3,
    kFieldString = 4,
    kFieldDate = 5,
    kFieldOID = 6,
    kFieldGeometry = 7,
    kFieldBlob = 8,
};

// What the geometry field holds: the shapefile type number (1 point, 3
// polyline, 5 polygon, 8 multipoint, +10 with Z, +20 with M), and the
// coordinate system (null: none known).
struct HostGeometryDef {
    int shapeType = 0;
    bool hasZ = false;
    bool hasM = false;
    std::shared_ptr<IHostSpatialReference> reference;
    // The code page of the table the definition was read from, which a class
    // created from a copy of its fields keeps: the dBASE language driver id
    // (0: none) and the bytes of its .cpg file (empty: none).
    int languageDriverId = 0;
    std::string codePageFile;
};

struct HostField {
    std::string name;
    char type = 'C';  // dBASE type letter; 'G' for the shape field, 'I' for the object id
    int length = 0;
    int decimals = 0;
    int fieldType = kFieldString;  // HostFieldType
    bool editable = true;
    // The geometry field's definition; null for every other field.
    std::shared_ptr<HostGeometryDef> geometryDef;
};

// One shape: points of all parts in order, part starts (empty for points
// and multipoints), Z and M per point when the type has them.
struct HostGeometry {
    int shapeType = 0;
    std::vector<int> parts;
    std::vector<HostPoint> points;
    std::vector<double> z;
    std::vector<double> m;
};

struct HostDate {
    int year = 0;
    int month = 0;
    int day = 0;
    bool operator==(const HostDate&) const = default;
};
// A field's value: null, an integer, a real, a text (UTF-8), a date or a
// logical.
using HostValue = std::variant<std::monostate, int64_t, double, std::string, HostDate, bool>;

// A row: its object id (the 0-based record number), its shape and a value
// per field of the class (the object id and geometry slots stay null).
struct HostFeature {
    int oid = -1;
    HostGeometry shape;
    std::vector<HostValue> values;
};

// The spatial relation of a filter: the feature's geometry truly meets the
// rectangle, edges included (not only its box).
constexpr int kSpatialRelIntersects = 1;

class ZN_HOST_API IHostSpatialFilter {
public:
    virtual ~IHostSpatialFilter() = default;
    virtual void SetGeometry(const HostEnvelope& envelope) = 0;
    virtual HostEnvelope Geometry() const = 0;
    // True: only features that truly intersect pass (not only their boxes).
    virtual void SetIntersects(bool intersects) = 0;
    virtual bool Intersects() const = 0;
    // The system the rectangle is in; null: the data's own.
    virtual void SetOutputSpatialReference(std::shared_ptr<IHostSpatialReference> reference) = 0;
    virtual std::shared_ptr<IHostSpatialReference> OutputSpatialReference() const = 0;
};

class ZN_HOST_API IHostFeatureCursor {
public:
    virtual ~IHostFeatureCursor() = default;
    // The next feature, null at the end; deleted rows are skipped. A
    // recycling cursor hands out the same object each time.
    virtual HostFeature* NextFeature() = 0;
};

class ZN_HOST_API IHostInsertCursor {
public:
    virtual ~IHostInsertCursor() = default;
    // Adds the feature (values by field index of the class); its record number.
    virtual int InsertFeature(const HostFeature& feature) = 0;
    // Writes what is buffered through to the files; raises on failure.
    virtual void Flush() = 0;
};

class ZN_HOST_API IHostFeatureClass {
public:
    virtual ~IHostFeatureClass() = default;
    // Rows that are not deleted.
    virtual int FeatureCount() const = 0;
    virtual std::string ShapeFieldName() const = 0;
    virtual int ShapeType() const = 0;
    // The attribute fields, then the object id and the geometry field.
    virtual std::vector<HostField> Fields() const = 0;
    virtual HostGeometryDef GeometryDef() const = 0;
    // Rows meeting the filter (null: all) in record order; the filter's
    // rectangle is in the class's own system.
    virtual std::unique_ptr<IHostFeatureCursor> Search(const IHostSpatialFilter* filter,
                                                       bool recycling) = 0;
    virtual std::unique_ptr<IHostInsertCursor> Insert(bool buffered) = 0;
    // An empty feature with a value slot per field.
    virtual HostFeature CreateFeatureBuffer() const = 0;
    // Only a spatial index (over the shape field alone) is supported.
    virtual void AddIndex(const std::string& name, const std::vector<std::string>& fields) = 0;
    virtual std::shared_ptr<IHostDataset> Dataset() const = 0;
};

class ZN_HOST_API IHostWorkspaceFactory {
public:
    virtual ~IHostWorkspaceFactory() = default;
    virtual std::shared_ptr<IHostWorkspace> OpenFromFile(const std::string& folder) = 0;
    virtual std::shared_ptr<IHostName> Create(const std::string& parentFolder,
                                              const std::string& name) = 0;
};

class ZN_HOST_API IHostFieldChecker {
public:
    virtual ~IHostFieldChecker() = default;
    virtual void SetInputWorkspace(std::shared_ptr<IHostWorkspace> workspace) = 0;
    virtual void SetValidateWorkspace(std::shared_ptr<IHostWorkspace> workspace) = 0;
    // The fields made valid for the target workspace; the count of changes.
    virtual int Validate(const std::vector<HostField>& in, std::vector<HostField>* out) = 0;
    // The names the last Validate changed: old -> new, in field order.
    virtual std::vector<std::pair<std::string, std::string>> Renames() const = 0;
};

class ZN_HOST_API IHostFeatureDataConverter {
public:
    virtual ~IHostFeatureDataConverter() = default;
    // Copies the features of the input class that meet the filter (null:
    // all), or exactly the selected records (null: no selection), into a new
    // shapefile named by `output`, projected into the geometry definition's
    // system, with the fields given. The record numbers of the features that
    // could not be projected come back; everything else was written.
    virtual std::vector<int> Convert(std::shared_ptr<IHostName> input,
                                     const IHostSpatialFilter* filter,
                                     const std::vector<int>* selection,
                                     std::shared_ptr<IHostName> output,
                                     const HostGeometryDef& geometryDef,
                                     const std::vector<HostField>& fields, int flushInterval) = 0;
};

class ZN_HOST_API IHostRasterDataset {
public:
    virtual ~IHostRasterDataset() = default;
    virtual std::string Format() const = 0;
    virtual std::string FilePath() const = 0;
    virtual int BandCount() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Copies the raster into the folder under the name, in its own format.
    virtual void Copy(const std::string& folder, const std::string& name) = 0;
    // The file names: the complete one, and the full name of the dataset.
    virtual std::string CompleteName() const { return FilePath(); }
    virtual std::shared_ptr<IHostName> FullName() const { throw HostError("not available"); }
    // The coordinate system; null when the raster has none.
    virtual std::shared_ptr<IHostSpatialReference> SpatialReference() const { return nullptr; }
    // Succeeds only when the raster has no system or an equal one; writes nothing.
    virtual void SetSpatialReference(std::shared_ptr<IHostSpatialReference>) {
        throw HostError("not available");
    }
    // The six numbers of the georeference (world-file order: x size, row
    // rotation, column rotation, y size, x and y of the upper left pixel's
    // centre); false when the raster has none.
    virtual bool GeoReference(double (&)[6]) const { return false; }
    virtual void CopyTo(std::shared_ptr<IHostWorkspace>, const std::string&) {
        throw HostError("not available");
    }
};

class ZN_HOST_API IHostMrSidEncoder {
public:
    virtual ~IHostMrSidEncoder() = default;
    // Exactly one raster name: its workspace's folder and its file name.
    virtual void SetInput(const std::vector<std::shared_ptr<IHostName>>& names) = 0;
    // The input's band count.
    virtual int BandCount() = 0;
    // A permutation of three of the input's bands (0-based).
    virtual void SetBandOrder(const std::vector<int32_t>& order) = 0;
    // Raw size over file size, above 1.
    virtual void SetCompressionRatio(float ratio) = 0;
    // Writes the image as `name` into the workspace's folder, and its world
    // file (the name with ".sdw" for its extension) when the input is
    // georeferenced. False when the input has no georeference and no world
    // file was written.
    virtual bool Encode(std::shared_ptr<IHostWorkspace> workspace, const std::string& name) = 0;
};

class IHostLayer;

class ZN_HOST_API IHostLayerFile {
public:
    virtual ~IHostLayerFile() = default;
    virtual void New(const std::string& path) = 0;
    virtual void ReplaceContents(std::shared_ptr<IHostLayer> layer) = 0;
    virtual void Save() = 0;
};

class ZN_HOST_API IHostSpatialReference {
public:
    virtual ~IHostSpatialReference() = default;
    // The PROJCS or GEOGCS name; "Unknown" for a text that cannot be used.
    virtual std::string Name() const = 0;
    // The well-known text.
    virtual std::string Text() const = 0;
    // Writes the text as a .prj file (host path); raises on failure.
    virtual void WritePrjFile(const std::string& hostPath) const = 0;
};

enum class WorkspaceKind { Shapefile, Ogr, Coverage, Raster };

class ZN_HOST_API IHostWorkspace {
public:
    virtual ~IHostWorkspace() = default;
    virtual std::string PathName() const = 0;  // the folder (host path)
    virtual WorkspaceKind Kind() const = 0;
    virtual std::shared_ptr<IHostFeatureClass> OpenFeatureClass(const std::string&) {
        throw HostError("not a feature workspace");
    }
    // A new class of the fields; shapeField names the geometry field.
    virtual std::shared_ptr<IHostFeatureClass> CreateFeatureClass(const std::string&,
                                                                  const std::vector<HostField>&,
                                                                  const std::string&) {
        throw HostError("read-only data source");
    }
    virtual std::shared_ptr<IHostRasterDataset> OpenRasterDataset(const std::string&) {
        throw HostError("not a raster workspace");
    }
};

class ZN_HOST_API IHostDataset {
public:
    virtual ~IHostDataset() = default;
    virtual std::string Name() const = 0;
    virtual std::string BrowseName() const = 0;
    virtual std::string Category() const = 0;
    virtual std::shared_ptr<IHostWorkspace> Workspace() const = 0;
    // The name that opens the dataset again.
    virtual std::shared_ptr<IHostName> FullName() const { throw HostError("not available"); }
    // Copies the dataset's files into the workspace under the name.
    virtual std::shared_ptr<IHostDataset> Copy(const std::string&, std::shared_ptr<IHostWorkspace>) {
        throw HostError("not available");
    }
};

// ------------------------------------------------------------------ layers

enum class LayerRole { Any, Feature, GeoFeature, Raster, Group, Annotation };

class ZN_HOST_API IHostLayer {
public:
    virtual ~IHostLayer() = default;
    virtual std::string Name() const = 0;
    virtual void SetName(const std::string& name) = 0;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool visible) = 0;
    // Denominators in the handheld's sense: the smallest and the largest
    // scale at which the layer draws; 0 is no limit.
    virtual double MinimumScale() const = 0;
    virtual double MaximumScale() const = 0;
    // Whether the layer offers a role (a feature layer is also a geo-feature layer).
    virtual bool Is(LayerRole role) const = 0;
};

class ZN_HOST_API IHostFeatureLayer : public virtual IHostLayer {
public:
    virtual std::shared_ptr<IHostFeatureClass> FeatureClass() const = 0;
    virtual void SetFeatureClass(std::shared_ptr<IHostFeatureClass> featureClass) = 0;
    virtual bool ScaleSymbols() const = 0;
    // The number of selected features.
    virtual int SelectionCount() const = 0;
    // The selected records (0-based record numbers).
    virtual std::vector<int> Selection() const = 0;
    virtual std::shared_ptr<IHostHyperlinkContainer> Hyperlinks() const = 0;
    virtual std::shared_ptr<IHostDataset> Dataset() const = 0;
};

class ZN_HOST_API IHostGeoFeatureLayer : public virtual IHostFeatureLayer {
public:
    virtual std::shared_ptr<IHostFeatureRenderer> Renderer() const = 0;
    virtual void SetRenderer(std::shared_ptr<IHostFeatureRenderer> renderer) = 0;
    virtual std::shared_ptr<IHostLabelClassCollection> LabelClasses() const = 0;
    virtual bool DisplayLabels() const = 0;
};

class ZN_HOST_API IHostRasterLayer : public virtual IHostLayer {
public:
    // The image file (host path).
    virtual std::string FilePath() const = 0;
    virtual std::shared_ptr<IHostRasterDataset> Raster() const = 0;
};

class ZN_HOST_API IHostGroupLayer : public virtual IHostLayer {
public:
    virtual std::vector<std::shared_ptr<IHostLayer>> Children() const = 0;
};

// ------------------------------------------------------------------ map, view, document

class ZN_HOST_API IHostActiveView {
public:
    virtual ~IHostActiveView() = default;
    virtual HostEnvelope VisibleExtent() const = 0;
    virtual void SetVisibleExtent(const HostEnvelope& extent) = 0;
    virtual void Refresh() = 0;
};

class ZN_HOST_API IHostMap {
public:
    virtual ~IHostMap() = default;
    virtual std::string Name() const = 0;
    virtual int LayerCount() const = 0;
    virtual std::shared_ptr<IHostLayer> Layer(int index) const = 0;
    // The layers offering a role, in map order; with topLevelOnly the
    // layers inside group layers are not visited.
    virtual std::vector<std::shared_ptr<IHostLayer>> Layers(LayerRole role,
                                                            bool topLevelOnly) const = 0;
    // Null when the map has no coordinate system.
    virtual std::shared_ptr<IHostSpatialReference> SpatialReference() const = 0;
    virtual double ReferenceScale() const = 0;
    virtual void AddLayer(std::shared_ptr<IHostLayer> layer) = 0;
    virtual void DeleteLayer(std::shared_ptr<IHostLayer> layer) = 0;
    virtual void MoveLayer(std::shared_ptr<IHostLayer> layer, int toIndex) = 0;
};

class ZN_HOST_API IHostMapDocument {
public:
    virtual ~IHostMapDocument() = default;
    virtual std::shared_ptr<IHostMap> FocusMap() const = 0;
    virtual std::shared_ptr<IHostActiveView> ActiveView() const = 0;
    // Null when no layer is selected.
    virtual std::shared_ptr<IHostLayer> SelectedLayer() const = 0;
    virtual void UpdateContents() = 0;
    // Writes the document back to its file; raises on failure (the old
    // file is kept).
    virtual void Save() = 0;
};

// ------------------------------------------------------------------ user interface

enum class PromptIcon { None, Information, Exclamation, Stop, Question };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No, Retry };

// An add-in's own dialog: a model offering the actions a user has. The Qt
// host shows its view (ShowQt, built by the add-in); the scripted host
// applies the actions of its answers file.
class ZN_HOST_API IHostDialog {
public:
    virtual ~IHostDialog() = default;
    virtual std::string Caption() const = 0;
    // What the log records of the dialog when it is shown.
    virtual std::string Describe() const = 0;
    // Called when the dialog becomes active.
    virtual void Activate() = 0;
    // One user action: "press" a button by its text, "type" text into a named
    // box ("name=text"), "tick" a list entry ("list=entry"), "choose" an
    // option, "key" (Escape, Enter), "close". False when the action does not
    // fit this dialog.
    virtual bool Act(const std::string& action, const std::string& argument) = 0;
    // True once an action ended the dialog.
    virtual bool Finished() const = 0;
    // Shows the dialog's own Qt view modally and returns when it ends.
    virtual void ShowQt() = 0;
};

class ZN_HOST_API IHostUi {
public:
    virtual ~IHostUi() = default;
    virtual PromptAnswer MessageBox(const std::string& caption, const std::string& text,
                                    PromptIcon icon, PromptButtons buttons) = 0;
    // The folder picker: the chosen folder, "" when cancelled.
    virtual std::string BrowseForFolder(const std::string& prompt) = 0;
    // Filter "text|pattern|text|pattern"; flags kFileMustExist and friends.
    // The chosen file, "" when cancelled.
    virtual std::string FileDialog(bool save, const std::string& title, const std::string& filter,
                                   unsigned flags, const std::string& defaultExtension) = 0;
    virtual void Beep() = 0;
    virtual void PumpMessages() = 0;
    virtual void SetWaitCursor(bool on) = 0;
    virtual void RunDialog(IHostDialog& dialog) = 0;
};
constexpr unsigned kFileMustExist = 0x1000;
constexpr unsigned kFileOverwritePrompt = 0x2;
constexpr unsigned kFileCreatePrompt = 0x2000;

// The host's objects that add-ins create (they never link the host
// library): workspace factories by their identifiers, the converter, the
// field checker, spatial filters, names, the MrSID encoder, and new feature
// layers.
class ZN_HOST_API IHostObjects {
public:
    virtual ~IHostObjects() = default;
    virtual std::shared_ptr<IHostWorkspaceFactory> WorkspaceFactory(const std::string& progId) = 0;
    virtual std::shared_ptr<IHostFeatureDataConverter> FeatureDataConverter() = 0;
    virtual std::shared_ptr<IHostFieldChecker> FieldChecker() = 0;
    virtual std::shared_ptr<IHostSpatialFilter> SpatialFilter() = 0;
    // A new, empty name of the kind.
    virtual std::shared_ptr<IHostName> Name(IHostName::Kind kind) = 0;
    virtual std::shared_ptr<IHostMrSidEncoder> MrSidEncoder() = 0;
    // A new feature layer over the class, named after it, in no map yet.
    virtual std::shared_ptr<IHostLayer> FeatureLayer(std::shared_ptr<IHostFeatureClass> featureClass) = 0;
};

class ZN_HOST_API IHostApplication {
public:
    virtual ~IHostApplication() = default;
    virtual std::shared_ptr<IHostMapDocument> Document() const = 0;
    virtual IHostUi& Ui() = 0;
    virtual IHostObjects& Objects() = 0;
};

// ------------------------------------------------------------------ what add-ins implement

class ZN_HOST_API IHostItemDef {
public:
    virtual ~IHostItemDef() = default;
    virtual std::string Id() const = 0;
    virtual void SetId(const std::string& id) = 0;
    virtual bool Group() const = 0;
    virtual void SetGroup(bool group) = 0;
};

class ZN_HOST_API ICommand {
public:
    virtual ~ICommand() = default;
    virtual bool Enabled() const = 0;
    virtual bool Checked() const = 0;
    virtual std::string Name() const = 0;
    virtual std::string Caption() const = 0;
    virtual std::string Tooltip() const = 0;
    virtual std::string Message() const = 0;
    virtual std::string HelpFile() const = 0;
    virtual int HelpContextId() const = 0;
    virtual const HostImage& Bitmap() const = 0;
    virtual std::string Category() const = 0;
    virtual void OnCreate(IHostApplication* hook) = 0;
    virtual void OnClick() = 0;
};

class ZN_HOST_API IToolBarDef {
public:
    virtual ~IToolBarDef() = default;
    virtual int ItemCount() const = 0;
    virtual void GetItemInfo(int position, IHostItemDef& item) const = 0;
    virtual std::string Name() const = 0;
    virtual std::string Caption() const = 0;
};

// An add-in's objects, made by its exported ZnCreateObject(progId): exactly
// one of the two is set. The caller owns both.
struct AddInObject {
    std::unique_ptr<ICommand> command;
    std::unique_ptr<IToolBarDef> toolbar;
};

}  // namespace host

// The one entry point of an add-in library. Never throws; null when the
// library does not know the identifier (compared without regard to case).
extern "C" typedef host::AddInObject* (*ZnCreateObjectFunc)(const char* progId);
constexpr const char kZnCreateObjectName[] = "ZnCreateObject";
