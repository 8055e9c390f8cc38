// The base of every layer of a map: what all layers share (dataset path,
// name, visibility, identify, scale range, coordinate systems, the draw
// transform of the view, the image window of image layers, the script
// object, the bookmarks) and the operations through which the layer list,
// the document and the view handle any layer without knowing its class.
// Also the layer kind of a path and the factory that makes a layer for it.
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

// 0 shapefile, 1 bitmap, 2 JPEG, 3 CADRG/CIB, 4 MrSID, 5 system layer,
// 6 internet map server, 7 extension layer; -1 none.
using LayerKind = int32_t;
// 0 point, 1 line, 2 polygon, 4 image, 5 other features, 6 map grid,
// 7 GPS tracklog.
using DisplayClass = int32_t;
// -2 system layer, 0 feature layer, 1 image layer.
using LayerCategory = int32_t;

constexpr LayerKind kLayerShape = 0;
constexpr LayerKind kLayerBitmap = 1;
constexpr LayerKind kLayerJpeg = 2;
constexpr LayerKind kLayerRpf = 3;
constexpr LayerKind kLayerSid = 4;
constexpr LayerKind kLayerSystem = 5;
constexpr LayerKind kLayerInternet = 6;
constexpr LayerKind kLayerExtension = 7;

class CLayer {
public:
    CLayer();
    virtual ~CLayer();
    CLayer(const CLayer&) = delete;
    CLayer& operator=(const CLayer&) = delete;

    // ---- virtual operations, in slot order ----
    virtual bool HasIdentifyDialog() { return false; }
    virtual int ShowIdentifyDialog(int record, const RECT* pointRect) {
        (void)record;
        (void)pointRect;
        return 0;
    }
    virtual bool HasHyperlinkDialog() { return false; }
    virtual int ShowHyperlinkDialog(int record, const RECT* pointRect) {
        (void)record;
        (void)pointRect;
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

    // ---- kind of a path and the factory ----
    // A new, unopened layer for the path, or null.
    // A recognised extension of the path is rewritten in lower case.
    static CLayer* CreateLayer(WString& path);

    // ---- life ----
    // With a path, it becomes the dataset path. False, without an event,
    // when no file exists there.
    bool Open(const WChar* path = nullptr);
    void Close();

    // The script Layer object, made on first use; `add` adds a reference
    // for the caller.
    IDispatch* GetScriptObject(bool add);
    void FireEvent(int eventId);

    void SetIdentify(bool on);
    bool HasHyperlink() const { return m_kind == kLayerShape && m_hyperlinkField >= 0; }
    // Whether the layer draws at a map scale denominator (0 always draws).
    bool IsInScaleRange(double scale) const;

    // ---- draw transform ----
    // A width, height or extent that is not positive keeps the previous
    // transform.
    bool SetDrawExtent(const CDoubleRect& extent, int width, int height);
    POINT MapToDevice(double x, double y) const;
    void DrawTo(HDC target, HDC second, double mapScale);

    // ---- coordinate systems ----
    void SetCoordSys(CCoordSys* coordSys);
    void ReleaseCoordSys();
    CCoordSys* GetLayerCoordSys() const { return m_coordSys; }
    CCoordSys* GetMapCoordSys() const { return m_mapCoordSysRef ? *m_mapCoordSysRef : nullptr; }
    void SetMapCoordSysRef(CCoordSys** ref) { m_mapCoordSysRef = ref; }
    void UpdateReprojection();
    void LayerToMapPoints(const DoublePoint* in, int count, DoublePoint* out) const;
    void MapToLayerPoints(const DoublePoint* in, int count, DoublePoint* out) const;
    void LayerToMapCorners(const CDoubleRect& in, CDoubleRect& out) const;
    void MapToLayerCorners(const CDoubleRect& in, CDoubleRect& out) const;

    // ---- metadata ----
    void ReadMetadataFile();
    void ReadMetadata(const CXmlNode* layerElement);
    void WriteMetadata(CConfigXmlFile& writer);

    const WString& GetPath() const { return m_path.GetPath(); }
    const WString& GetName() const { return m_name; }
    void SetName(WStringView name) { m_name = name; }
    // A number no other layer of this run has (kept documents elements
    // remember their place by it).
    uint64_t GetSerial() const { return m_serial; }

    // ---- fields, in the design's order ----
    uint32_t m_extensionHandle = 0;
    int32_t m_imageWidth = 0;
    int32_t m_imageHeight = 0;
    double m_pixelWidth = 0;
    double m_pixelHeight = 0;
    double m_leftX = 0;
    double m_topY = 0;
    int32_t m_fullImageWidth = 0;
    int32_t m_fullImageHeight = 0;
    double m_worldPixelWidth = 0;
    double m_worldPixelHeight = 0;
    double m_worldLeftX = 0;
    double m_worldTopY = 0;
    RECT m_cacheWindow = {-1, -1, -1, -1};
    CPath m_path;
    CPath m_metadataPath;
    LayerCategory m_category = -2;
    DisplayClass m_displayClass = 0;
    LayerKind m_kind = 0;
    HBITMAP m_imageBitmap = nullptr;
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
    void* m_imageBits = nullptr;
    int32_t m_cacheStride = 0;
    double m_cacheZoom = 0;
    int32_t m_cacheTileFactor = 0;
    int32_t m_cacheWidth = 0;
    int32_t m_cacheHeight = 0;
    int32_t m_cacheMark1 = 0;
    int32_t m_cacheMark2 = 0;
    bool m_imageFullyLoaded = false;
    CDoubleRect m_cacheExtent;
    CDoubleRect m_extent;
    bool m_refresh = true;
    CDoubleRect m_visibleImageExtent;
    CDoubleRect m_drawExtent;
    RECT m_deviceRect = {0, 0, 0, 0};
    int32_t m_deviceWidth = 0;
    int32_t m_deviceHeight = 0;
    double m_xScale = 0;
    double m_yScale = 0;
    HDC m_secondDc = nullptr;
    HDC m_targetDc = nullptr;
    bool m_reprojectable = false;
    bool m_reprojecting = false;
    // Whether the user was told that this layer's positions cannot be
    // converted to the map's, or may be off (once per layer).
    bool m_toldConversionProblem = false;
    bool m_dynamic = false;
    CBookmarkList m_bookmarks;
    int32_t m_localeId = 0;
    int32_t m_codePage = 0;
    bool m_rightToLeft = false;

private:
    uint64_t m_serial;
};

// The kind of a path; a recognised extension is rewritten in lower case.
// The accepting layer extension, for kind 7, goes to `extension`.
LayerKind GetLayerFileType(WString& path, const LayerExtensionInfo** extension = nullptr);
// Kind and display class of a file; false when the kind is -1.
bool ClassifyLayerFile(const WString& path, LayerKind* kind, DisplayClass* displayClass,
                       const LayerExtensionInfo** extension = nullptr);
// The world file of an image: abc becomes acw.
WString GetWorldFilePath(const WString& imagePath);
bool HasWorldFile(const WString& imagePath);
// True when the file exists and begins with "NITF".
bool IsNitfFile(const WString& path);
// True when a file (not a folder) exists at the device path.
bool DatasetFileExists(WStringView path);
// The display class of a shapefile by its shape type; -1 when it cannot be
// opened or its type is unknown.
DisplayClass GetShapefileClass(const WString& path);
DisplayClass ShapeTypeToDisplayClass(int shapeType);

// Each layer class registers how it is made; an empty entry makes none.
// Kind 7 constructors get the accepting extension.
using LayerConstructor = std::function<CLayer*(const LayerExtensionInfo* extension)>;
void SetLayerClass(LayerKind kind, LayerConstructor constructor);
void ResetLayerClassesForTests();

