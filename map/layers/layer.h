// The base of every layer of a map: what all layers share (dataset path,
// name, visibility, identify, scale range, coordinate systems, the draw
// transform of the view, the script object, the bookmarks), kept private
// behind accessors, and the operations through which the layer list, the
// document and the view handle any layer without knowing its class. Also
// the layer kind of a path; the factory that makes a layer for it is in
// layer_factory.cpp, the image of image layers in image_cache.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "core/double_rect.h"
#include "core/path.h"
#include "core/text_helpers.h"
#include "formats/shape/shp_engine.h"
#include "map/layers/bookmarks.h"
#include "map/services/main_window.h"
#include "platform/gdi/gdi.h"
#include "platform/text/text.h"
#include "platform/types.h"

class CCoordSys;
class CConfigXmlFile;
class CXmlNode;
class IScriptHost;
struct IDispatch;

// Kinds, display classes and categories keep the numbers the program has
// always used for them (the document, layer files and preferences never
// store them, but scripts and extensions see the numbers).
enum class LayerKind : int32_t {
    None = -1,
    Shape = 0,
    Bitmap = 1,
    Jpeg = 2,
    Rpf = 3,  // CADRG/CIB
    Sid = 4,  // MrSID
    System = 5,
    Internet = 6,
    Extension = 7,
};

enum class DisplayClass : int32_t {
    None = -1,
    Point = 0,
    Line = 1,
    Polygon = 2,
    Image = 4,
    OtherFeatures = 5,
    Grid = 6,
    Tracklog = 7,
};

// The classes that have an edit layer, in slot order.
constexpr DisplayClass kEditableClasses[] = {DisplayClass::Point, DisplayClass::Line,
                                             DisplayClass::Polygon};
// The edit slot of a display class, -1 when it has none.
constexpr int EditSlot(DisplayClass displayClass) {
    const int v = static_cast<int>(displayClass);
    return v >= 0 && v <= 2 ? v : -1;
}

enum class LayerCategory : int32_t {
    System = -2,
    Feature = 0,
    Image = 1,
};

class CLayer {
public:
    CLayer();
    virtual ~CLayer();
    CLayer(const CLayer&) = delete;
    CLayer& operator=(const CLayer&) = delete;

    // ---- virtual operations, in slot order ----
    // The layer's own identify and hyperlink dialogs for a record and the
    // search box (map coordinates) it was found in; non-zero when shown.
    virtual bool HasIdentifyDialog() { return false; }
    virtual int ShowIdentifyDialog(int record, const CDoubleRect* searchBox) {
        (void)record;
        (void)searchBox;
        return 0;
    }
    virtual bool HasHyperlinkDialog() { return false; }
    virtual int ShowHyperlinkDialog(int record, const CDoubleRect* searchBox) {
        (void)record;
        (void)searchBox;
        return 0;
    }
    virtual int ShowPropertiesDialog(HWND parent) {
        (void)parent;
        return 0;
    }
    virtual bool HasPropertiesDialog() { return false; }
    // A new system from the dataset's .prj file, or null; the caller owns it.
    virtual CCoordSys* GetCoordSys();
    virtual ShpHandle GetShapeFile() { return nullptr; }
    virtual DbfHandle GetTable() { return nullptr; }
    virtual bool CanEdit() { return false; }
    virtual bool SetEditMode(bool on) {
        (void)on;
        return false;
    }
    virtual bool IsOpenForEdit() { return false; }
    virtual void GetExtent(CDoubleRect& extent) { extent = m_extent; }
    virtual void LoadProperties(const CXmlNode* layerElement) { (void)layerElement; }
    virtual void GetInfoText(WString& text) { (void)text; }
    virtual void WriteXml(CConfigXmlFile& writer) { (void)writer; }
    virtual void ReadXml(const CXmlNode* layerElement) { (void)layerElement; }
    virtual bool OpenDataset(const WString& path) = 0;
    virtual void CloseDataset() = 0;
    virtual void OnViewChanged() = 0;
    virtual bool Draw(HDC target, HDC second, double mapScale) = 0;
    // Frees what the layer holds of its image once the dataset is closed.
    virtual void ReleaseImage() {}

    // ---- kind of a path and the factory ----
    // A new, unopened layer for the path, or null.
    // A recognised extension of the path is rewritten in lower case.
    static std::unique_ptr<CLayer> CreateLayer(WString& path);

    // ---- life ----
    // With a path, it becomes the dataset path. False, without an event,
    // when no file exists there.
    bool Open(const WChar* path = nullptr);
    void Close();

    // The script Layer object, made on first use; `add` adds a reference
    // for the caller.
    IDispatch* GetScriptObject(bool add);
    bool HasScriptObject() const { return m_scriptObject != nullptr; }
    // The host of the layer file's scripts; null when it has none.
    IScriptHost* GetScriptHost() const { return m_scriptHost.get(); }
    void FireEvent(int eventId);

    // ---- what the layer is ----
    LayerKind GetKind() const { return m_kind; }
    DisplayClass GetDisplayClass() const { return m_displayClass; }
    LayerCategory GetCategory() const { return m_category; }
    // The handle an extension gave its layer (0 for other layers).
    uint32_t GetExtensionHandle() const { return m_extensionHandle; }

    const WString& GetPath() const { return m_path.GetPath(); }
    const CPath& GetDatasetPath() const { return m_path; }
    void SetPath(WStringView path) { m_path.Set(path); }
    const CPath& GetMetadataPath() const { return m_metadataPath; }
    const WString& GetName() const { return m_name; }
    void SetName(WStringView name) { m_name = name; }
    const WString& GetComments() const { return m_comments; }
    void SetComments(WStringView comments) { m_comments = comments; }
    // A number no other layer of this run has (kept documents elements
    // remember their place by it).
    uint64_t GetSerial() const { return m_serial; }
    CBookmarkList& GetBookmarks() { return m_bookmarks; }

    // The layer file's locale, code page and reading order.
    int32_t GetLocaleId() const { return m_localeId; }
    int32_t GetCodePage() const { return m_codePage; }
    bool IsRightToLeft() const { return m_rightToLeft; }
    void SetRightToLeft(bool on) { m_rightToLeft = on; }

    // ---- display and identify ----
    bool IsVisible() const { return m_visible; }
    void SetVisible(bool on) { m_visible = on; }
    // Dynamic layers are drawn over the buffered map on every paint.
    bool IsDynamic() const { return m_dynamic; }
    void SetDynamic(bool on) { m_dynamic = on; }
    // Scale denominators; 0 is no limit.
    double GetMinScale() const { return m_minScale; }
    double GetMaxScale() const { return m_maxScale; }
    void SetMinScale(double scale) { m_minScale = scale; }
    void SetMaxScale(double scale) { m_maxScale = scale; }
    // Whether the layer draws at a map scale denominator (0 always draws).
    bool IsInScaleRange(double scale) const;
    bool HasAttributes() const { return m_hasAttributes; }
    bool IsIdentifiable() const { return m_identifiable; }
    bool GetIdentify() const { return m_identify; }
    void SetIdentify(bool on);
    int32_t GetHyperlinkField() const { return m_hyperlinkField; }
    // -1 for none.
    void SetHyperlinkField(int32_t field) { m_hyperlinkField = field; }
    bool HasHyperlink() const { return m_kind == LayerKind::Shape && m_hyperlinkField >= 0; }
    bool UsesRenderer() const { return m_usesRenderer; }
    void SetUsesRenderer(bool on) { m_usesRenderer = on; }
    bool HasLegendClasses() const { return m_hasLegendClasses; }
    // Set when the map asks every layer to draw afresh.
    bool NeedsRefresh() const { return m_refresh; }
    void SetRefresh(bool on) { m_refresh = on; }

    // ---- feature editing state the view reads while it draws ----
    bool IsFeatureMoving() const { return m_featureMoving; }
    bool IsFeatureSizing() const { return m_featureSizing; }
    bool IsVertexMoving() const { return m_vertexMoving; }
    void SetFeatureMoving(bool on) { m_featureMoving = on; }
    void SetFeatureSizing(bool on) { m_featureSizing = on; }
    void SetVertexMoving(bool on) { m_vertexMoving = on; }
    bool GetShowEditForm() const { return m_showEditForm; }
    void SetShowEditForm(bool on) { m_showEditForm = on; }

    // ---- draw transform ----
    // A width, height or extent that is not positive keeps the previous
    // transform.
    bool SetDrawExtent(const CDoubleRect& extent, int width, int height);
    POINT MapToDevice(double x, double y) const;
    void DrawTo(HDC target, HDC second, double mapScale);
    const CDoubleRect& GetDrawExtent() const { return m_drawExtent; }
    const RECT& GetDeviceRect() const { return m_deviceRect; }
    int32_t GetDeviceWidth() const { return m_deviceWidth; }
    int32_t GetDeviceHeight() const { return m_deviceHeight; }
    double GetXScale() const { return m_xScale; }
    double GetYScale() const { return m_yScale; }
    // The extent the base's GetExtent answers.
    void SetExtent(const CDoubleRect& extent) { m_extent = extent; }
    // The extent as GetExtent gives it.
    CDoubleRect Extent() {
        CDoubleRect extent;
        GetExtent(extent);
        return extent;
    }

    // ---- coordinate systems ----
    // With `owns` the layer deletes the system when it is replaced or
    // released.
    void SetCoordSys(CCoordSys* coordSys, bool owns = false);
    void ReleaseCoordSys();
    CCoordSys* GetLayerCoordSys() const { return m_coordSys; }
    CCoordSys* GetMapCoordSys() const { return m_mapCoordSysRef ? *m_mapCoordSysRef : nullptr; }
    void SetMapCoordSysRef(CCoordSys** ref) { m_mapCoordSysRef = ref; }
    // Whether the layer can be shown in a map system other than its own.
    bool IsReprojectable() const { return m_reprojectable; }
    void SetReprojectable(bool on) { m_reprojectable = on; }
    bool IsReprojecting() const { return m_reprojecting; }
    void UpdateReprojection();
    void LayerToMapPoints(const DoublePoint* in, int count, DoublePoint* out) const;
    void MapToLayerPoints(const DoublePoint* in, int count, DoublePoint* out) const;
    void LayerToMapCorners(const CDoubleRect& in, CDoubleRect& out) const;
    void MapToLayerCorners(const CDoubleRect& in, CDoubleRect& out) const;
    // Whether the user was told that this layer's positions cannot be
    // converted to the map's, or may be off (once per layer).
    bool WasToldConversionProblem() const { return m_toldConversionProblem; }
    void SetToldConversionProblem() { m_toldConversionProblem = true; }

    // ---- metadata ----
    void ReadMetadataFile();
    void ReadMetadata(const CXmlNode* layerElement);
    void WriteMetadata(CConfigXmlFile& writer);

protected:
    // What each layer class says of itself when it is made or opened.
    void SetKind(LayerKind kind) { m_kind = kind; }
    void SetDisplayClass(DisplayClass displayClass) { m_displayClass = displayClass; }
    void SetCategory(LayerCategory category) { m_category = category; }
    void SetExtensionHandle(uint32_t handle) { m_extensionHandle = handle; }
    void SetHasAttributes(bool on) { m_hasAttributes = on; }
    void SetIdentifiable(bool on) { m_identifiable = on; }
    void SetHasLegendClasses(bool on) { m_hasLegendClasses = on; }
    void SetLocale(int32_t localeId, int32_t codePage) {
        m_localeId = localeId;
        m_codePage = codePage;
    }
    const CDoubleRect& StoredExtent() const { return m_extent; }
    // The script host of a layer whose file runs scripts.
    std::unique_ptr<IScriptHost>& ScriptHost() { return m_scriptHost; }

private:
    uint32_t m_extensionHandle = 0;
    CPath m_path;
    CPath m_metadataPath;
    LayerCategory m_category = LayerCategory::System;
    DisplayClass m_displayClass = DisplayClass::Point;
    LayerKind m_kind = LayerKind::Shape;
    bool m_featureMoving = false;
    bool m_featureSizing = false;
    bool m_vertexMoving = false;
    bool m_showEditForm = true;
    std::unique_ptr<IScriptHost> m_scriptHost;
    IDispatch* m_scriptObject = nullptr;
    WString m_name;
    WString m_comments;
    int32_t m_hyperlinkField = -1;
    bool m_visible = true;
    bool m_hasAttributes = false;
    bool m_identifiable = false;
    bool m_identify = false;
    bool m_hasLegendClasses = false;
    bool m_usesRenderer = false;
    double m_minScale = 0;
    double m_maxScale = 0;
    CCoordSys* m_coordSys = nullptr;
    bool m_ownsCoordSys = false;
    CCoordSys** m_mapCoordSysRef = nullptr;
    CDoubleRect m_extent;
    bool m_refresh = true;
    CDoubleRect m_drawExtent;
    RECT m_deviceRect = {0, 0, 0, 0};
    int32_t m_deviceWidth = 0;
    int32_t m_deviceHeight = 0;
    double m_xScale = 0;
    double m_yScale = 0;
    bool m_reprojectable = false;
    bool m_reprojecting = false;
    bool m_toldConversionProblem = false;
    bool m_dynamic = false;
    CBookmarkList m_bookmarks;
    int32_t m_localeId = 0;
    int32_t m_codePage = 0;
    bool m_rightToLeft = false;
    uint64_t m_serial;
};

// The kind of a path; a recognised extension is rewritten in lower case.
// The accepting layer extension, for extension layers, goes to `extension`.
LayerKind GetLayerFileType(WString& path, const LayerExtensionInfo** extension = nullptr);
// Kind and display class of a file; false when the kind is None.
bool ClassifyLayerFile(const WString& path, LayerKind* kind, DisplayClass* displayClass,
                       const LayerExtensionInfo** extension = nullptr);
// The world file of an image: abc becomes acw.
WString GetWorldFilePath(const WString& imagePath);
bool HasWorldFile(const WString& imagePath);
// True when the file exists and begins with "NITF".
bool IsNitfFile(const WString& path);
// True when a file (not a folder) exists at the device path.
bool DatasetFileExists(WStringView path);
// The display class of a shapefile by its shape type; None when it cannot
// be opened or its type is unknown.
DisplayClass GetShapefileClass(const WString& path);
DisplayClass ShapeTypeToDisplayClass(int shapeType);

