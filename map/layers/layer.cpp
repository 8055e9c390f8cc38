#include "map/layers/layer.h"

#include <atomic>
#include <cmath>
#include <map>

#include "core/config_xml_file.h"
#include "core/ini_file.h"
#include "core/xml_node.h"
#include "crs/coord_sys.h"
#include "crs/wkt.h"
#include "formats/shape/shape_draw.h"
#include "map/services/script_events.h"
#include "platform/com/com.h"
#include "platform/fs/fs.h"

namespace {

std::atomic<uint64_t> g_nextSerial{1};

// The extension text after the last dot of the file name, without the dot.
WString ExtensionOf(const WString& path) { return CPath(WStringView(path)).GetExtension(false); }

void ReplaceExtension(WString& path, WStringView extension) {
    CPath p{WStringView(path)};
    p.SetExtension(extension);
    path = p.GetPath();
}

}  // namespace

CLayer::CLayer() : m_serial(g_nextSerial++) {}

CLayer::~CLayer() {
    if (m_scriptObject) m_scriptObject->Release();
    ReleaseCoordSys();
}

// ---- kind and factory ----

bool DatasetFileExists(WStringView path) {
    uint32_t attrs = fs::GetFileAttributes(path);
    return attrs != fs::kInvalidAttributes && !(attrs & fs::kAttrDirectory);
}

WString GetWorldFilePath(const WString& imagePath) {
    WString ext = ExtensionOf(imagePath);
    if (ext.size() == 3) {
        WString world{ext[0], ext[2], u'w'};
        WString path = imagePath;
        ReplaceExtension(path, world);
        return path;
    }
    // Other lengths: the extension followed by "w".
    WString path = imagePath;
    ReplaceExtension(path, ext + u"w");
    return path;
}

bool HasWorldFile(const WString& imagePath) { return DatasetFileExists(GetWorldFilePath(imagePath)); }

bool IsNitfFile(const WString& path) {
    fs::File f;
    if (!f.Open(path, fs::kGenericRead, fs::kShareRead, fs::kOpenExisting)) return false;
    char head[4] = {};
    size_t got = 0;
    return f.Read(head, 4, &got) && got == 4 && head[0] == 'N' && head[1] == 'I' &&
           head[2] == 'T' && head[3] == 'F';
}

LayerKind GetLayerFileType(WString& path, const LayerExtensionInfo** extension) {
    if (extension) *extension = nullptr;
    WString ext = ExtensionOf(path);
    auto is = [&](const WChar* name) { return text::EqualsNoCase(ext, name); };
    if (is(u"shp")) {
        ReplaceExtension(path, u"shp");
        return LayerKind::Shape;
    }
    if (is(u"bmp") || is(u"2bp")) {
        ReplaceExtension(path, text::ToLower(ext));
        return HasWorldFile(path) ? LayerKind::Bitmap : LayerKind::None;
    }
    if (is(u"jpg")) {
        ReplaceExtension(path, u"jpg");
        return HasWorldFile(path) ? LayerKind::Jpeg : LayerKind::None;
    }
    if (is(u"sid")) {
        ReplaceExtension(path, u"sid");
        return HasWorldFile(path) ? LayerKind::Sid : LayerKind::None;
    }
    if (is(u"mvd")) return LayerKind::Internet;
    if (const LayerExtensionInfo* found = GetShellServices()->FindLayerExtension(path)) {
        if (extension) *extension = found;
        return LayerKind::Extension;
    }
    return IsNitfFile(path) ? LayerKind::Rpf : LayerKind::None;
}

DisplayClass ShapeTypeToDisplayClass(int shapeType) {
    switch (shapeType) {
        case 1: case 8: case 11: case 18: case 21: case 28: return DisplayClass::Point;
        case 3: case 13: case 23: return DisplayClass::Line;
        case 5: case 15: case 25: case 31: return DisplayClass::Polygon;
        default: return DisplayClass::None;
    }
}

DisplayClass GetShapefileClass(const WString& path) {
    ShpHandle h = ShpOpen(path.c_str(), 0);
    if (!h) return DisplayClass::None;
    int type = ShpGetShapeType(h);
    ShpClose(h);
    return ShapeTypeToDisplayClass(type);
}

bool ClassifyLayerFile(const WString& path, LayerKind* kind, DisplayClass* displayClass,
                       const LayerExtensionInfo** extension) {
    WString p = path;
    const LayerExtensionInfo* ext = nullptr;
    LayerKind k = GetLayerFileType(p, &ext);
    DisplayClass dc = DisplayClass::None;
    switch (k) {
        case LayerKind::Shape:
            dc = GetShapefileClass(p);
            break;
        case LayerKind::Bitmap:
        case LayerKind::Jpeg:
        case LayerKind::Rpf:
        case LayerKind::Sid:
            dc = DisplayClass::Image;
            break;
        case LayerKind::Extension:
            if (ext && ext->layerType == 1) dc = DisplayClass::OtherFeatures;
            if (ext && ext->layerType == 2) dc = DisplayClass::Image;
            break;
        default:
            break;
    }
    if (kind) *kind = k;
    if (displayClass) *displayClass = dc;
    if (extension) *extension = ext;
    return k != LayerKind::None;
}

// ---- life ----

bool CLayer::Open(const WChar* path) {
    if (path) m_path.Set(path);
    if (!DatasetFileExists(m_path.GetPath())) return false;
    m_name.clear();
    m_comments.clear();
    if (!OpenDataset(m_path.GetPath())) return false;
    ReadMetadataFile();
    // Scripts hear of the layer only once it is really open.
    FireEvent(kEventOnOpen);
    return true;
}

void CLayer::Close() {
    FireEvent(kEventOnClose);
    // The object writes what its scripts left pending while the files are
    // still open, and forgets the layer before it goes.
    if (m_scriptObject) GetScriptServices()->DetachLayerObject(m_scriptObject);
    CloseDataset();
    if (m_scriptObject) {
        IDispatch* object = m_scriptObject;
        m_scriptObject = nullptr;
        object->Release();
    }
    ReleaseImage();
    ReleaseCoordSys();
}

IDispatch* CLayer::GetScriptObject(bool add) {
    if (!m_scriptObject) m_scriptObject = GetScriptServices()->CreateLayerObject(this);
    if (add && m_scriptObject) m_scriptObject->AddRef();
    return m_scriptObject;
}

void CLayer::FireEvent(int eventId) {
    // Only a layer whose file defined scripts has a script object to fire on.
    if (m_scriptObject) FireScriptEvent(m_scriptObject, eventId, true, 0);
}

void CLayer::SetIdentify(bool on) {
    if (m_identifiable && on) m_visible = true;
    m_identify = m_identifiable && on;
}

bool CLayer::IsInScaleRange(double scale) const {
    if (scale == 0) return true;
    if (m_minScale != 0 && scale < m_minScale) return false;
    if (m_maxScale != 0 && scale > m_maxScale) return false;
    return true;
}

// ---- draw transform ----

bool CLayer::SetDrawExtent(const CDoubleRect& extent, int width, int height) {
    double w = extent.xmax - extent.xmin;
    double h = extent.ymax - extent.ymin;
    // A transform from a degenerate extent or window would divide by zero
    // or flip the map: keep the one we have.
    if (width <= 0 || height <= 0 || !(w > 0) || !(h > 0) || !std::isfinite(w) ||
        !std::isfinite(h))
        return false;
    m_drawExtent = extent;
    m_deviceWidth = width;
    m_deviceHeight = height;
    m_deviceRect = {0, 0, width - 1, height - 1};
    m_xScale = width / w;
    m_yScale = height / h;
    OnViewChanged();
    return true;
}

namespace {
// Far-away points zoomed far in leave the 32-bit range: clamp first.
LONG ToDevice(double v) {
    if (std::isnan(v)) return 0;
    if (v > kShpDeviceLimit) v = kShpDeviceLimit;
    if (v < -kShpDeviceLimit) v = -kShpDeviceLimit;
    return static_cast<LONG>(v);
}
}  // namespace

POINT CLayer::MapToDevice(double x, double y) const {
    POINT pt;
    pt.x = ToDevice((x - m_drawExtent.xmin) * m_xScale);
    pt.y = m_deviceHeight - ToDevice((y - m_drawExtent.ymin) * m_yScale);
    return pt;
}

void CLayer::DrawTo(HDC target, HDC second, double mapScale) {
    int savedTarget = target ? SaveDC(target) : 0;
    int savedSecond = second ? SaveDC(second) : 0;
    Draw(target, second, mapScale);
    if (second && savedSecond) RestoreDC(second, savedSecond);
    if (target && savedTarget) RestoreDC(target, savedTarget);
}

// ---- coordinate systems ----

CCoordSys* CLayer::GetCoordSys() {
    WString prj = m_path.GetPath();
    if (prj.empty()) return nullptr;
    ReplaceExtension(prj, u"prj");
    if (!DatasetFileExists(prj)) return nullptr;
    CWktCoordSys wkt;
    if (!wkt.ReadPrjFile(prj)) return nullptr;
    return wkt.CreateProjection().release();
}

void CLayer::SetCoordSys(CCoordSys* coordSys, bool owns) {
    if (m_ownsCoordSys && m_coordSys != coordSys) delete m_coordSys;
    m_coordSys = coordSys;
    m_ownsCoordSys = owns && coordSys;
}

void CLayer::ReleaseCoordSys() {
    if (m_ownsCoordSys) delete m_coordSys;
    m_coordSys = nullptr;
    m_ownsCoordSys = false;
}

void CLayer::UpdateReprojection() {
    CCoordSys* map = GetMapCoordSys();
    m_reprojecting = m_reprojectable && m_coordSys && map && !m_coordSys->IsEqual(map);
}

namespace {
void ConvertPoints(CCoordSys* from, CCoordSys* to, bool convert, const DoublePoint* in, int count,
                   DoublePoint* out) {
    for (int i = 0; i < count; ++i) {
        if (convert)
            from->ConvertTo(in[i].x, in[i].y, to, &out[i].x, &out[i].y);
        else
            out[i] = in[i];
    }
}
}  // namespace

void CLayer::LayerToMapPoints(const DoublePoint* in, int count, DoublePoint* out) const {
    ConvertPoints(m_coordSys, GetMapCoordSys(), m_reprojecting, in, count, out);
}

void CLayer::MapToLayerPoints(const DoublePoint* in, int count, DoublePoint* out) const {
    ConvertPoints(GetMapCoordSys(), m_coordSys, m_reprojecting, in, count, out);
}

// Two corners, each on its own: not the box of the converted outline.
void CLayer::LayerToMapCorners(const CDoubleRect& in, CDoubleRect& out) const {
    DoublePoint p[2] = {{in.xmin, in.ymin}, {in.xmax, in.ymax}};
    DoublePoint q[2];
    LayerToMapPoints(p, 2, q);
    out = CDoubleRect(q[0].x, q[0].y, q[1].x, q[1].y);
}

void CLayer::MapToLayerCorners(const CDoubleRect& in, CDoubleRect& out) const {
    DoublePoint p[2] = {{in.xmin, in.ymin}, {in.xmax, in.ymax}};
    DoublePoint q[2];
    MapToLayerPoints(p, 2, q);
    out = CDoubleRect(q[0].x, q[0].y, q[1].x, q[1].y);
}

// ---- metadata ----

void CLayer::ReadMetadataFile() {
    if (m_kind == LayerKind::System || m_kind == LayerKind::Rpf) return;
    WString ext = m_path.GetExtension(false);
    WString metaExt = ext.empty() ? WString(u"inf") : WString{ext.front(), ext.back(), u'i'};
    WString meta = m_path.GetPath();
    ReplaceExtension(meta, metaExt);
    m_metadataPath.Set(WStringView(meta));
    if (m_name.empty()) m_name = m_path.GetFileName();
    if (!DatasetFileExists(meta)) return;
    CIniFile ini;
    ini.Load(meta);
    const WString name = m_name;
    const WString comments = m_comments;
    ini.Lookup(m_name, u"Dataset Information", u"Title", name.c_str());
    ini.Lookup(m_comments, u"Dataset Information", u"Comments", comments.c_str());
}

void CLayer::ReadMetadata(const CXmlNode* layerElement) {
    if (!layerElement) return;
    if (const CXmlNode* metadata = layerElement->FindChild(u"METADATA")) {
        if (const CXmlNode* comments = metadata->FindChild(u"COMMENTS"))
            m_comments = comments->GetText();
    }
    ReadXml(layerElement);
}

void CLayer::WriteMetadata(CConfigXmlFile& writer) {
    int level = writer.GetLevel();
    if (m_comments.empty()) {
        writer.StartElement(level, u"METADATA", false);
    } else {
        writer.StartElement(level, u"METADATA", true);
        WString text = m_comments;
        XmlEscape(text);
        writer.WriteElementWithText(level + 1, u"COMMENTS", text.c_str());
        writer.EndElement(level, u"METADATA");
    }
    WriteXml(writer);
}

