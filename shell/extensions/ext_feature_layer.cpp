#include "shell/extensions/ext_feature_layer.h"

#include <cstdio>
#include <set>
#include <vector>

#include "core/config_xml_file.h"
#include "core/xml_node.h"
#include "crs/wkt.h"
#include "gps/aux_port.h"
#include "map/map_messages.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "resources/zres.h"
#include "shell/extensions/ext_image_layer.h"

namespace {

ZnxRect ToZnx(const CDoubleRect& r) { return {r.xmin, r.ymin, r.xmax, r.ymax}; }
CDoubleRect FromZnx(const ZnxRect& r) { return CDoubleRect(r.xmin, r.ymin, r.xmax, r.ymax); }

// Characters XML 1.0 allows in a document (production [2]); a value with
// any other cannot be written.
bool IsXmlText(WStringView text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const WChar c = text[i];
        if (c < 0x20 && c != 0x9 && c != 0xA && c != 0xD) return false;
        if (c == 0xFFFE || c == 0xFFFF) return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

}  // namespace

CLayerExtension* ExtensionOfLayer(CLayer* layer) {
    if (!layer || layer->GetKind() != LayerKind::Extension) return nullptr;
    if (auto* feature = dynamic_cast<CExtFeatureLayer*>(layer)) return feature->GetExtension();
    if (auto* image = dynamic_cast<CExtImageLayer*>(layer)) return image->GetExtension();
    return nullptr;
}

CExtFeatureLayer::CExtFeatureLayer(const LayerExtensionInfo* info)
    : m_info(info), m_extension(info ? static_cast<CLayerExtension*>(info->extension) : nullptr) {
    SetKind(LayerKind::Extension);
    SetCategory(LayerCategory::Feature);
    SetDisplayClass(DisplayClass::OtherFeatures);
}

CExtFeatureLayer::~CExtFeatureLayer() { CloseHandle(); }

int32_t CExtFeatureLayer::Property(int32_t code, int32_t index, int32_t subIndex, void* buffer) {
    const uint32_t handle = GetExtensionHandle();
    return handle ? m_extension->LayerGetProperty(handle, code, index, subIndex, buffer) : 0;
}

WString CExtFeatureLayer::PropertyText(int32_t code, int32_t index, int32_t subIndex) {
    return ReadExtensionText(
        [&](char16_t* buffer) { return Property(code, index, subIndex, buffer); });
}

ZnxRect CExtFeatureLayer::ToLayerRect(const CDoubleRect& mapRect) const {
    if (!IsReprojecting()) return ToZnx(mapRect);
    CDoubleRect layerRect;
    MapToLayerCorners(mapRect, layerRect);
    return ToZnx(layerRect);
}

bool CExtFeatureLayer::ReadExtent(int record, CDoubleRect& mapExtent) {
    ZnxRect r{0, 0, 0, 0};
    const int32_t answer = Property(ZNEX_LAYER_EXTENT, record, 0, &r);
    const CDoubleRect layerRect = FromZnx(r);
    if (IsReprojecting())
        LayerToMapCorners(layerRect, mapExtent);
    else
        mapExtent = layerRect;
    return answer > 0;
}

HRESULT CExtFeatureLayer::Escape(VARIANT* arg1, VARIANT* arg2, VARIANT* arg3, VARIANT* result) {
    return m_extension ? m_extension->Escape(GetExtensionHandle(), arg1, arg2, arg3, result) : E_NOTIMPL;
}

// ---- open and close ----

bool CExtFeatureLayer::OpenDataset(const WString& path) {
    if (!m_extension) return false;
    CloseHandle();
    const uint32_t handle = m_extension->LayerOpen(path.c_str(), win::GetMainWindow());
    if (!handle) return false;
    SetExtensionHandle(handle);
    SetName(PropertyText(ZNEX_LAYER_NAME, 0, 0));
    SetComments(PropertyText(ZNEX_LAYER_COMMENTS, 0, 0));

    if (Property(ZNEX_LAYER_FLAGS, 0, 0, nullptr) & ZNEX_LAYER_NEEDS_AUX) {
        CAuxPort* aux = CAuxPort::GetAux();
        if (aux && aux->IsOpen()) {
            ShowMapMessage(IDP_AUX_IN_USE, MB_OK | MB_ICONERROR, kBeepError);
            CloseHandle();
            return false;
        }
        if (aux) aux->SetClaim(m_extension, TokenToHandle<void*>(handle));
        // Line mode: the module gets every line through ZNExAUX.
        if (!aux || !aux->Open(nullptr, false)) {
            if (aux) aux->ClearClaim();
            ShowMapMessage(IDP_AUX_OPEN_ERROR, MB_OK | MB_ICONERROR, kBeepError);
            CloseHandle();
            return false;
        }
        m_holdsAux = true;
    }

    const int fields = GetFieldCount();
    SetHasAttributes(fields > 0);
    SetIdentifiable(m_extension->LayerDialogIdentify != nullptr || fields > 0);
    SetHasLegendClasses(GetLegendClassCount() > 0);
    SetCoordSys(GetCoordSys(), true);
    const int32_t flags = Property(ZNEX_LAYER_FLAGS, 0, 0, nullptr);
    SetReprojectable((flags & ZNEX_LAYER_REPROJECTABLE) && GetLayerCoordSys());
    UpdateReprojection();
    SetDynamic((flags & ZNEX_LAYER_DYNAMIC) != 0);
    ZnxRect r{0, 0, 0, 0};
    Property(ZNEX_LAYER_EXTENT, 0, 0, &r);
    SetExtent(FromZnx(r));
    return true;
}

void CExtFeatureLayer::CloseHandle() {
    const uint32_t handle = GetExtensionHandle();
    if (m_holdsAux) {
        if (CAuxPort* aux = CAuxPort::GetAux()) {
            aux->Close();
            aux->ClearClaim();
        }
        m_holdsAux = false;
    }
    if (handle && m_extension) m_extension->LayerClose(handle);
    SetExtensionHandle(0);
    m_currentRecord = 0;
}

void CExtFeatureLayer::CloseDataset() { CloseHandle(); }

// ---- what the layer is ----

CCoordSys* CExtFeatureLayer::GetCoordSys() {
    const WString wkt = PropertyText(ZNEX_LAYER_WKT, 0, 0);
    if (wkt.empty()) return CLayer::GetCoordSys();
    CWktCoordSys parser;
    if (!parser.ParseWkt(wkt)) return nullptr;
    return parser.CreateProjection().release();
}

void CExtFeatureLayer::GetExtent(CDoubleRect& extent) {
    UpdateReprojection();
    ReadExtent(0, extent);
}

void CExtFeatureLayer::GetInfoText(WString& text) {
    text = text::Format(u"Reprojectable=%d\r\nReprojecting=%d\r\nDynamic=%d\r\nAUX=%d\r\n", IsReprojectable() ? 1 : 0,
                        IsReprojecting() ? 1 : 0, IsDynamic() ? 1 : 0, m_holdsAux ? 1 : 0);
}

bool CExtFeatureLayer::HasIdentifyDialog() { return m_extension && m_extension->LayerDialogIdentify; }

int CExtFeatureLayer::ShowIdentifyDialog(int record, const CDoubleRect* searchBox) {
    if (!HasIdentifyDialog() || !GetExtensionHandle()) return 0;
    const ZnxRect box = searchBox ? ToLayerRect(*searchBox) : ZnxRect{0, 0, 0, 0};
    return m_extension->LayerDialogIdentify(GetExtensionHandle(), record, box);
}

bool CExtFeatureLayer::HasHyperlinkDialog() { return m_extension && m_extension->LayerDialogHyperlink; }

int CExtFeatureLayer::ShowHyperlinkDialog(int record, const CDoubleRect* searchBox) {
    if (!HasHyperlinkDialog() || !GetExtensionHandle()) return 0;
    const ZnxRect box = searchBox ? ToLayerRect(*searchBox) : ZnxRect{0, 0, 0, 0};
    return m_extension->LayerDialogHyperlink(GetExtensionHandle(), record, box);
}

bool CExtFeatureLayer::HasPropertiesDialog() { return m_extension && m_extension->LayerDialogProperties; }

int CExtFeatureLayer::ShowPropertiesDialog(HWND parent) {
    if (!HasPropertiesDialog() || !GetExtensionHandle()) return 0;
    return m_extension->LayerDialogProperties(GetExtensionHandle(), parent);
}

// ---- the map document ----

void CExtFeatureLayer::WriteXml(CConfigXmlFile& writer) {
    if (!GetExtensionHandle() || !m_extension->LayerSaveProperty) return;
    std::vector<std::pair<WString, WString>> properties;
    std::set<WString> names;
    // A module that never answers 0 must not hang the save.
    for (int index = 0; index < kMaxExtraProperties; ++index) {
        char16_t name[ZNEX_SAVE_NAME_SIZE] = {};
        char16_t value[ZNEX_SAVE_VALUE_SIZE] = {};
        if (!m_extension->LayerSaveProperty(GetExtensionHandle(), index, name, value)) break;
        name[ZNEX_SAVE_NAME_SIZE - 1] = 0;
        value[ZNEX_SAVE_VALUE_SIZE - 1] = 0;
        WString n(name), v(value);
        // One bad name or value would make the whole document unreadable.
        if (!IsXmlName(n) || !IsXmlText(v) || !names.insert(n).second) {
            std::fprintf(stderr, "zarnip: layer %s: extra property %d (%s) cannot be saved\n",
                         text::ToUtf8(GetName()).c_str(), index, text::ToUtf8(n).c_str());
            continue;
        }
        properties.emplace_back(std::move(n), std::move(v));
    }
    if (properties.empty()) return;
    writer.BeginElement(-1, u"EXTRAPROPERTIES");
    for (const auto& [n, v] : properties) writer.WriteStringAttribute(n.c_str(), v);
    writer.EndStartTag(false);
}

void CExtFeatureLayer::ReadXml(const CXmlNode* layerElement) {
    if (!layerElement || !GetExtensionHandle() || !m_extension->LayerLoadProperty) return;
    const CXmlNode* extra = layerElement->FindChild(u"EXTRAPROPERTIES");
    if (!extra) return;
    for (const auto& [name, value] : extra->GetAttributes())
        m_extension->LayerLoadProperty(GetExtensionHandle(), name.c_str(), value.c_str());
}

// ---- drawing ----

bool CExtFeatureLayer::Draw(HDC target, HDC second, double mapScale) {
    if (!GetExtensionHandle()) return false;
    ZnxDrawRecord record{};
    record.targetDc = HandleToToken(target);
    record.secondDc = HandleToToken(second);
    record.area = ToLayerRect(GetDrawExtent());
    record.mapScale = mapScale;
    record.device = {0, 0, GetDeviceWidth() - 1, GetDeviceHeight() - 1};
    m_extension->LayerDraw(GetExtensionHandle(), &record);
    return true;
}

void CExtFeatureLayer::DrawFeatureSymbol(int record, HDC dc, const RECT& rect) {
    const int32_t legendClass = Property(ZNEX_LAYER_CLASS_OF, record, 0, nullptr);
    if (legendClass == -1) return;
    DrawRecord(legendClass, dc, rect);
}

// ---- fields and records ----

int CExtFeatureLayer::GetFieldCount() {
    const int32_t count = Property(ZNEX_LAYER_FIELD_COUNT, 0, 0, nullptr);
    return count > 0 ? count : 0;
}

WString CExtFeatureLayer::GetFieldName(int field) { return PropertyText(ZNEX_LAYER_FIELD_NAME, 0, field); }

WChar CExtFeatureLayer::GetFieldType(int field) {
    const int32_t type = Property(ZNEX_LAYER_FIELD_TYPE, 0, field, nullptr);
    return type > 0 && type <= 0xFFFF ? static_cast<WChar>(type) : 0;
}

int CExtFeatureLayer::GetFieldWidth(int field) { return Property(ZNEX_LAYER_FIELD_WIDTH, 0, field, nullptr); }

int CExtFeatureLayer::GetFieldDecimals(int field) {
    return Property(ZNEX_LAYER_FIELD_DECIMALS, 0, field, nullptr);
}

int CExtFeatureLayer::GetFieldText(int field, WString& text, const void* record) {
    (void)record;
    text.clear();
    switch (GetFieldType(field)) {
        case u'C': {
            // The module writes into a buffer of the field's width + 1; what
            // it writes past the width is not the field's.
            const int width = GetFieldWidth(field);
            if (width < 1 || width > kMaxExtensionText) break;
            std::vector<char16_t> buffer(static_cast<size_t>(width) + 1, u'\0');
            Property(ZNEX_LAYER_FIELD_VALUE, m_currentRecord, field, buffer.data());
            buffer[static_cast<size_t>(width)] = u'\0';
            text = buffer.data();
            break;
        }
        case u'D': {
            int year = 0, month = 0, day = 0;
            GetFieldDate(field, year, month, day);
            text = text::Format(u"%04d%02d%02d", year, month, day);
            break;
        }
        case u'L':
            text = GetFieldLogical(field) ? u"True" : u"False";
            break;
        case u'N':
            text = text::Format(u"%*.*f", GetFieldWidth(field), GetFieldDecimals(field), GetFieldNumber(field));
            break;
        default:
            break;
    }
    return static_cast<int>(text.size());
}

double CExtFeatureLayer::GetFieldNumber(int field, const void* record) {
    (void)record;
    double value = 0;
    Property(ZNEX_LAYER_FIELD_VALUE, m_currentRecord, field, &value);
    return value;
}

bool CExtFeatureLayer::GetFieldLogical(int field, const void* record) {
    (void)record;
    int32_t value = 0;
    Property(ZNEX_LAYER_FIELD_VALUE, m_currentRecord, field, &value);
    return value != 0;
}

bool CExtFeatureLayer::GetFieldDate(int field, int& year, int& month, int& day, const void* record) {
    (void)record;
    ZnxDate date{};
    Property(ZNEX_LAYER_FIELD_VALUE, m_currentRecord, field, &date);
    year = date.year;
    month = date.month;
    day = date.day;
    return GetExtensionHandle() != 0;
}

bool CExtFeatureLayer::GetFeatureExtent(int record, CDoubleRect& extent) {
    if (!GetExtensionHandle()) return false;
    if (record != 0) Property(ZNEX_LAYER_CURRENT, record, 0, nullptr);
    return ReadExtent(record, extent);
}

bool CExtFeatureLayer::ReadRecord(int record, void* buffer) {
    (void)buffer;
    m_currentRecord = record;
    return Property(ZNEX_LAYER_CURRENT, record, 0, nullptr) == 1;
}

bool CExtFeatureLayer::WriteRecord(int record, const void* buffer) {
    (void)buffer;
    if (!GetExtensionHandle() || !m_extension->LayerSetProperty) return false;
    return m_extension->LayerSetProperty(GetExtensionHandle(), ZNEX_LAYER_CURRENT, 0, 0, record) == 1;
}

int CExtFeatureLayer::FindNext(int record, const CDoubleRect* extent) {
    if (!GetExtensionHandle() || !m_extension->LayerQuery) return 0;
    ZnxRect rect{0, 0, 0, 0};
    if (extent) rect = ToLayerRect(*extent);
    const int32_t found = m_extension->LayerQuery(GetExtensionHandle(), record, extent ? &rect : nullptr, 0);
    return found > 0 ? found : 0;
}

int CExtFeatureLayer::HitTest(const DoublePoint& point, double* distance, double tolerance,
                              const CDoubleRect& searchExtent) {
    (void)searchExtent;
    if (!GetExtensionHandle() || !m_extension->LayerQuery) return 0;
    const ZnxRect rect = ToLayerRect(
        CDoubleRect(point.x - tolerance, point.y - tolerance, point.x + tolerance, point.y + tolerance));
    const int32_t found = m_extension->LayerQuery(GetExtensionHandle(), 0, &rect, 1);
    if (found <= 0) return 0;
    if (distance) *distance = 0;
    return found;
}

// ---- legend ----

int CExtFeatureLayer::GetLegendClassCount() {
    const int32_t count = Property(ZNEX_LAYER_CLASS_COUNT, 0, 0, nullptr);
    return count > 0 ? count : 0;
}

WString CExtFeatureLayer::GetString302(int record) { return PropertyText(ZNEX_LAYER_CLASS_VALUE, 0, record); }

WString CExtFeatureLayer::GetString301(int record) { return PropertyText(ZNEX_LAYER_CLASS_LABEL, 0, record); }

bool CExtFeatureLayer::GetRecordFlag(int record) {
    return (Property(ZNEX_LAYER_CLASS_FLAGS, 0, record, nullptr) & 1) != 0;
}

void CExtFeatureLayer::SetRecordFlag(int record, bool on) {
    if (!GetExtensionHandle() || !m_extension->LayerSetProperty) return;
    int32_t flags = Property(ZNEX_LAYER_CLASS_FLAGS, 0, record, nullptr);
    flags = on ? (flags | 1) : (flags & ~1);
    m_extension->LayerSetProperty(GetExtensionHandle(), ZNEX_LAYER_CLASS_FLAGS, 0, record, flags);
}

void CExtFeatureLayer::DrawRecord(int record, HDC dc, const RECT& rect) {
    if (!GetExtensionHandle() || !m_extension->LayerDrawSymbol) return;
    const ZnxCellRect cell{rect.left, rect.top, rect.right, rect.bottom};
    m_extension->LayerDrawSymbol(GetExtensionHandle(), record, dc, &cell, 0);
}

bool CExtFeatureLayer::DialogSymbol(HWND window, int record) {
    if (!window || !GetExtensionHandle() || !m_extension->LayerDialogSymbol) return false;
    return m_extension->LayerDialogSymbol(GetExtensionHandle(), window, record) != 0;
}
