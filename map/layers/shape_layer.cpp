#include "map/layers/shape_layer.h"

#include <cfloat>
#include <vector>

#include "core/config_xml_file.h"
#include "core/path.h"
#include "core/xml_node.h"
#include "crs/coord_sys.h"
#include "formats/dbf/dbf_codepage.h"
#include "formats/dbf/dbf_field.h"
#include "formats/shape/shape_builders.h"
#include "formats/shape/shape_draw.h"
#include "formats/shape/spatial_index.h"
#include "map/map_messages.h"
#include "map/services/preferences.h"
#include "map/services/script_events.h"
#include "map/services/shape_pack_ui.h"
#include "platform/fs/fs.h"
#include "platform/win/window.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

namespace {

LayerFormsFactory g_formsFactory = nullptr;

WString WithExtension(const WString& path, WStringView extension) {
    CPath p{WStringView(path)};
    p.SetExtension(extension);
    return p.GetPath();
}

// "0x409" or "1033".
bool ParseLocaleId(const WString& text, DWORD& out) {
    WString t = text::Trim(text);
    if (t.empty()) return false;
    unsigned long value = 0;
    size_t i = 0;
    int base = 10;
    if (t.size() > 2 && t[0] == u'0' && (t[1] == u'x' || t[1] == u'X')) {
        base = 16;
        i = 2;
    }
    for (; i < t.size(); ++i) {
        WChar c = t[i];
        int digit;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        else return false;
        value = value * base + digit;
        if (value > 0xFFFFFFFFul) return false;
    }
    out = static_cast<DWORD>(value);
    return true;
}

bool IsEditableType(int type) {
    switch (type) {
        case 1: case 3: case 5: case 11: case 13: case 15: case 21: case 23: case 25: return true;
        default: return false;
    }
}

class CNullLayerForms : public ILayerForms {
public:
    bool ReadForms(const CXmlNode*, DWORD) override { return false; }
    void* GetForm(bool) override { return nullptr; }
};

}  // namespace

void SetLayerFormsFactory(LayerFormsFactory factory) { g_formsFactory = factory; }

LayerFormsFactory GetLayerFormsFactory() { return g_formsFactory; }

CShapeLayer::CShapeLayer() {
    SetHasAttributes(true);
    SetIdentifiable(true);
    SetKind(LayerKind::Shape);
    m_labelField = 0;
    m_autopack = GetPreferences()->Data().layers.autopack;
    ScriptHost() = GetScriptServices()->CreateScriptHost();
    if (g_formsFactory) m_forms = g_formsFactory(ScriptHost().get());
    if (!m_forms) m_forms = std::make_unique<CNullLayerForms>();
}

CShapeLayer::~CShapeLayer() {
    CloseDataset();
    m_forms.reset();
}

// ---- open and close ----

bool CShapeLayer::OpenDataset(const WString& path) {
    if (GetHandle()) CLayer::Close();
    if (!m_file.Open(path.c_str(), 0)) return false;
    int type = ShpGetShapeType(GetHandle());
    if (IsEditableType(type)) {
        m_canEdit = true;
    } else if (type == 8 || type == 18 || type == 28) {
        m_canEdit = false;
    } else {
        m_file.Close(true);
        return false;
    }
    SetDisplayClass(ShapeTypeToDisplayClass(type));
    CDoubleRect empty;
    empty.SetEmpty();
    SetExtent(empty);
    m_labelField = FindLabelField();
    SetDefaultSymbol();
    ReadLayerFile(path);
    OpenSpatialIndex();
    return true;
}

void CShapeLayer::CloseDataset() {
    if (!GetHandle()) return;
    if (IsOpenForEdit()) SetEditMode(false);
    if (ScriptHost() && ScriptHost()->IsStarted()) ScriptHost()->StopEngine();
    m_file.Close(true);
    CloseSpatialIndex();
    m_hadIndex = false;
}

CCoordSys* CShapeLayer::GetCoordSys() {
    CCoordSys* system = CLayer::GetCoordSys();
    if (!system || system->m_projectionCode != 43000 || !GetHandle()) return system;
    CDoubleRect e;
    GetExtent(e);
    if (e.xmin >= -180 && e.xmax <= 180 && e.ymin >= -90 && e.ymax <= 90) return system;
    delete system;
    if (!m_toldCoordSysMismatch) {
        m_toldCoordSysMismatch = true;
        WString name = GetName().empty() ? GetDatasetPath().GetFileName() : GetName();
        ShowMapMessage(IDP_COORDSYS_NOT_FIT, MB_OK | MB_ICONEXCLAMATION, kBeepExclamation, {name});
    }
    return nullptr;
}

// ---- the layer file ----

bool CShapeLayer::ReadLayerFile(const WString& datasetPath) {
    WString path = WithExtension(datasetPath, u"znl");
    fs::Resolved resolved;
    if (!fs::ResolvePath(path, &resolved) || !resolved.exists) return false;
    CXmlDocument doc;
    // A layer file the user put there but that cannot be used must not leave
    // them wondering why the layer draws with default symbols.
    if (!doc.LoadFile(path) || !doc.GetRoot()) {
        ShowMapMessage(IDP_ERROR_PARSING, MB_OK | MB_ICONERROR, kBeepError, {path});
        return false;
    }
    const CXmlNode* root = doc.GetRoot();
    if (root->GetName() != u"Zarnip") {
        ShowMapMessage(IDP_ROOT_NOT_ZARNIP, MB_OK | MB_ICONERROR, kBeepError, {path});
        return false;
    }
    const CXmlNode* layer = doc.FindElement(u"LAYER", true);
    if (!layer) return false;

    SetName(layer->GetAttribute(u"name"));
    m_autopack = layer->GetAttributeBool(u"autopack", m_autopack);
    // The desktop exporter writes the layer's scale range here; a map
    // document's own values are read afterwards and win.
    double minScale = GetMinScale(), maxScale = GetMaxScale();
    ReadScaleText(layer->GetAttribute(u"minscale"), minScale);
    ReadScaleText(layer->GetAttribute(u"maxscale"), maxScale);
    SetMinScale(minScale);
    SetMaxScale(maxScale);

    if (const CXmlNode* locale = layer->FindChild(u"LOCALE")) {
        DWORD lcid = GetPreferences()->Data().locale.lcid;
        ParseLocaleId(locale->GetAttribute(u"lcid"), lcid);
        SetLocale(static_cast<int32_t>(lcid), locale->GetAttributeInt(u"codepage", 0));
        DWORD primary = lcid & 0x3FF;
        SetRightToLeft(primary == 0x01 || primary == 0x0D);
        if (GetCodePage() > 0 && text::IsCodePageSupported(static_cast<unsigned>(GetCodePage())))
            DbfSetCodePage(GetTable(), static_cast<unsigned>(GetCodePage()));
    }

    IScriptServices* scripts = GetScriptServices();
    if (scripts->HasEventAttributes(layer, nullptr) || layer->FindChild(u"FORMS") ||
        doc.FindElement(u"SCRIPT", true))
        StartLayerScripts(root, layer);

    bool read = m_renderer.ReadXml(layer);
    SetHasLegendClasses(read);
    SetUsesRenderer(read);
    if (read) LookUpRendererFields();

    ReadLabels(layer);
    SetHyperlinkField(m_renderer.m_hyperlinkField.empty()
                           ? -1
                           : m_file.GetTable().FindField(m_renderer.m_hyperlinkField.c_str()));
    GetBookmarks().ReadXml(layer, false);
    return true;
}

// Labels stay on only when their field exists.
void CShapeLayer::ReadLabels(const CXmlNode* layer) {
    if (!m_labelRenderer.ReadFromLayer(layer)) return;
    CDbfTable& table = m_file.GetTable();
    int field = table.FindField(m_labelRenderer.m_field.c_str());
    if (field >= 0) m_labelField = field;
    m_labelRenderer.m_visible = m_labelRenderer.m_visible && field >= 0;
    m_labelRotationField = m_labelRenderer.m_rotationField.empty()
                               ? -1
                               : table.FindField(m_labelRenderer.m_rotationField.c_str());
}

void CShapeLayer::LookUpRendererFields() {
    CDbfTable& table = m_file.GetTable();
    m_rendererField = m_renderer.m_lookupField.empty()
                          ? -1
                          : table.FindField(m_renderer.m_lookupField.c_str());
    m_symbolRotationField = m_renderer.m_rotationField.empty()
                                ? -1
                                : table.FindField(m_renderer.m_rotationField.c_str());
}

void CShapeLayer::StartLayerScripts(const CXmlNode* root, const CXmlNode* layer) {
    if (!ScriptHost()) return;
    IScriptServices* scripts = GetScriptServices();
    WString language;
    scripts->GetScriptLanguage(root, language);
    if (!ScriptHost()->StartEngine(language.empty() ? nullptr : language.c_str())) return;
    if (root->GetAttributeBool(u"debug", false)) ScriptHost()->EnableDebugging(true);
    // The application's objects come before "Layer".
    scripts->RegisterSystemObjects(ScriptHost().get());
    // The host keeps its own reference.
    ScriptHost()->AddNamedItem(u"Layer", GetScriptObject(false), 6);
    ScriptHost()->BindElementEvents(layer, u"Layer");
    ScriptHost()->RunScriptElements(root);
    if (const CXmlNode* forms = layer->FindChild(u"FORMS"))
        m_forms->ReadForms(forms, static_cast<DWORD>(GetLocaleId()));
    ScriptHost()->SetScriptState(ScriptState::Connected);
}

void* CShapeLayer::GetForm(bool edit) { return m_forms ? m_forms->GetForm(edit) : nullptr; }

// ---- map documents ----

void CShapeLayer::WriteXml(CConfigXmlFile& writer) {
    if (GetHyperlinkField() >= 0 && GetHyperlinkField() < GetFieldCount()) {
        writer.BeginElement(-1, u"HYPERLINK");
        writer.WriteStringAttribute(u"field", GetFieldName(GetHyperlinkField()));
        writer.EndStartTag(false);
    }
    writer.StartElement(-1, u"SYMBOLOGY", true);
    writer.BeginElement(-1, u"SIMPLERENDERER");
    writer.WriteBoolAttribute(u"visible", !(UsesRenderer() && HasLegendClasses()));
    writer.EndStartTag(true);
    m_defaultSymbol.WriteXml(writer);
    writer.EndElement(-1, u"SIMPLERENDERER");
    WString field = m_labelRenderer.m_field;
    if (m_labelField >= 0 && m_labelField < GetFieldCount()) m_labelRenderer.m_field = GetFieldName(m_labelField);
    m_labelRenderer.WriteXml(writer);
    m_labelRenderer.m_field = field;
    writer.EndElement(-1, u"SYMBOLOGY");
}

void CShapeLayer::ReadXml(const CXmlNode* layerElement) {
    if (!layerElement) return;
    LoadProperties(layerElement);
    if (const CXmlNode* link = layerElement->FindChild(u"HYPERLINK")) {
        WString name = link->GetAttribute(u"field");
        SetHyperlinkField(name.empty() ? -1 : m_file.GetTable().FindField(name.c_str()));
    }
    const CXmlNode* symbology = layerElement->FindChild(u"SYMBOLOGY");
    if (!symbology) return;
    if (const CXmlNode* simple = symbology->FindChild(u"SIMPLERENDERER")) {
        m_defaultSymbol.ReadXml(simple, true);
        SetUsesRenderer(!simple->GetAttributeBool(u"visible", !UsesRenderer()));
    }
    ReadLabels(layerElement);
}

// ---- extent and information ----

void CShapeLayer::GetExtent(CDoubleRect& extent) {
    extent.SetEmpty();
    if (!GetHandle()) return;
    ShpGetBounds(GetHandle(), &extent);
    if (extent.xmax - extent.xmin < 1e-13) {
        extent.xmin -= 1.0;
        extent.xmax += 1.0;
    }
    if (extent.ymax - extent.ymin < 1e-13) {
        extent.ymin -= 1.0;
        extent.ymax += 1.0;
    }
}

void CShapeLayer::GetInfoText(WString& out) {
    DbfHandle table = GetTable();
    int ldid = table ? DbfGetLanguageDriverId(table) : 0;
    out = text::Format(u"%d Features\r\nDBF Codepage : %u (0x%02X)\r\nCodepage in use : %u\r\n\r\n",
                       ShpGetRecordCount(GetHandle()), DbfLdidToCodePage(ldid),
                       static_cast<unsigned>(ldid), table ? DbfGetCodePage(table) : 0u);
    if (HasSpatialIndex()) out += u"Using Spatial Index\r\n";
}

void CShapeLayer::OnViewChanged() {
    if (!GetHandle()) return;
    RECT device{0, 0, GetDeviceWidth(), GetDeviceHeight()};
    ShpSetDrawTransform(GetHandle(), device, &GetDrawExtent());
}

// ---- records ----

int CShapeLayer::GetFieldCount() { return m_file.GetTable().GetFieldCount(); }
WString CShapeLayer::GetFieldName(int field) { return m_file.GetTable().GetFieldName(field); }
int CShapeLayer::GetFieldDecimals(int field) { return DbfGetFieldDecimals(GetTable(), field); }
int CShapeLayer::GetFieldWidth(int field) { return DbfGetFieldLength(GetTable(), field); }
WChar CShapeLayer::GetFieldType(int field) {
    return static_cast<WChar>(static_cast<unsigned char>(DbfGetFieldType(GetTable(), field)));
}

int CShapeLayer::GetFieldText(int field, WString& out, const void* record) {
    return m_file.GetTable().GetFieldTextLen(field, out, static_cast<const uint8_t*>(record));
}

double CShapeLayer::GetFieldNumber(int field, const void* record) {
    return DbfGetNumber(GetTable(), field, static_cast<const uint8_t*>(record));
}

bool CShapeLayer::GetFieldLogical(int field, const void* record) {
    return DbfGetLogical(GetTable(), field, static_cast<const uint8_t*>(record)) != 0;
}

bool CShapeLayer::GetFieldDate(int field, int& year, int& month, int& day, const void* record) {
    DbfDateTime date{};
    year = month = day = 0;
    if (!DbfGetDate(GetTable(), field, &date, static_cast<const uint8_t*>(record))) return false;
    year = date.year;
    month = date.month;
    day = date.day;
    return true;
}

bool CShapeLayer::ReadRecord(int record, void* buffer) {
    return DbfReadRecord(GetTable(), record - 1, static_cast<uint8_t*>(buffer)) != 0;
}

bool CShapeLayer::WriteRecord(int record, const void* buffer) {
    return DbfWriteRecord(GetTable(), record - 1, static_cast<const uint8_t*>(buffer)) != 0;
}

bool CShapeLayer::GetFeatureExtent(int record, CDoubleRect& extent) {
    const ShapeRecord* shape = record == 0 ? m_file.GetBuffer() : nullptr;
    if (record != 0) {
        ShapeRecord* buffer = m_file.GetBuffer();
        shape = ShpReadShape(GetHandle(), record - 1, buffer, buffer ? 0 : 0);
    }
    if (!shape) return false;
    return ShpGetShapeBounds(shape, &extent);
}

bool CShapeLayer::IsNullFeature(int record) { return m_file.IsNullShape(record - 1) != 0; }

int CShapeLayer::FindNext(int record, const CDoubleRect* extent) {
    ShpHandle h = GetHandle();
    if (!h) return 0;
    int count = ShpGetRecordCount(h);
    if (extent && HasSpatialIndex()) {
        if (record == 0) {
            m_searchCount = m_index->QueryRect(*extent, 2);
            if (m_searchCount <= 0) return 0;
        }
        const uint32_t* words = m_index->GetResultData(2);
        if (!words) return 0;
        for (int number = record + 1; number <= count; ++number) {
            if (!(words[number >> 5] & (1u << (number & 31)))) continue;
            CDoubleRect box;
            ShapeRecord* shape = ShpReadShape(h, number - 1);
            if (shape && ShpGetShapeBounds(shape, &box) && box.Intersects(*extent)) return number;
        }
        return 0;
    }
    if (record == 0) m_searchCursor = 0;
    else m_searchCursor = record;
    while (m_searchCursor < count) {
        int index = m_searchCursor++;
        if (m_file.IsNullShape(index)) continue;
        if (!extent) return index + 1;
        CDoubleRect box;
        ShapeRecord* shape = ShpReadShape(h, index);
        if (shape && ShpGetShapeBounds(shape, &box) && box.Intersects(*extent)) return index + 1;
    }
    return 0;
}

int CShapeLayer::HitTest(const DoublePoint& point, double* distance, double tolerance,
                         const CDoubleRect& searchExtent) {
    if (!GetHandle()) return 0;
    int index;
    if (!HasSpatialIndex()) {
        index = m_file.HitTest(point, distance, tolerance, &searchExtent);
    } else {
        CDoubleRect square(point.x - tolerance, point.y - tolerance, point.x + tolerance,
                           point.y + tolerance);
        int members = m_index->QueryRect(square, 0);
        const uint32_t* words = m_index->GetResultData(0);
        if (members <= 0 || !words) return 0;
        index = m_file.HitTestRecords(point, distance, tolerance, m_file.GetTable().GetRecordCount(),
                               members, words);
    }
    return index >= 0 ? index + 1 : 0;
}

// ---- edit mode ----

bool CShapeLayer::CanEdit() {
    ShpHandle h = GetHandle();
    return h && m_canEdit && EditSlot(GetDisplayClass()) >= 0 &&
           ShpIsFileWritable(h) != 0;
}

bool CShapeLayer::IsOpenForEdit() { return GetHandle() && ShpIsWritable(GetHandle()) != 0; }

bool CShapeLayer::SetEditMode(bool on) {
    ShpHandle h = GetHandle();
    if (!h) return false;
    if (!ShpSetWritable(h, on ? 1 : 0)) return false;
    if (on) {
        DeleteSpatialIndex();
    } else if (m_autopack) {
        Pack(true);
    } else if (m_hadIndex) {
        BuildSpatialIndex();
    }
    return true;
}

bool CShapeLayer::Pack(bool force) {
    if (!GetHandle()) return false;
    int before = ShpGetRecordCount(GetHandle());
    CPlatformPackUi platformUi;
    IPackUi& ui = m_packUi ? *m_packUi : static_cast<IPackUi&>(platformUi);
    if (!PackShapefile(m_file, false, ui)) return false;
    if (m_hadIndex && (force || ShpGetRecordCount(GetHandle()) != before)) {
        bool had = m_hadIndex;
        BuildSpatialIndex();
        m_hadIndex = had;
    }
    return true;
}

bool CShapeLayer::OpenSpatialIndex() {
    m_index.reset();
    auto index = std::make_unique<CSpatialIndex>();
    m_hadIndex = index->OpenForLayer(GetHandle());
    if (m_hadIndex) m_index = std::move(index);
    return m_hadIndex;
}

void CShapeLayer::CloseSpatialIndex() { m_index.reset(); }

bool CShapeLayer::HasSpatialIndex() const { return m_index && m_index->IsOpen(); }

bool CShapeLayer::DeleteSpatialIndex() {
    if (m_index) {
        bool deleted = m_index->CloseAndDelete();
        m_index.reset();
        return deleted;
    }
    return CSpatialIndex::DeleteForLayer(GetHandle());
}

bool CShapeLayer::BuildSpatialIndex() {
    ShpHandle h = GetHandle();
    if (!h) return false;
    DeleteSpatialIndex();
    auto index = std::make_unique<CSpatialIndex>();
    bool built;
    try {
        built = index->Rebuild(h);
    } catch (...) {
        built = false;
    }
    if (!built) return false;
    // The rebuilt pair is opened for drawing and hit tests.
    OpenSpatialIndex();
    return true;
}

// ---- appending ----

int CShapeLayer::AppendShape(ShapeRecord* record) {
    ShpHandle h = GetHandle();
    if (h && record && ShpAppendShape(h, record)) return ShpGetRecordCount(h) - 1;
    MessageBeep(MB_ICONHAND);
    return -1;
}

namespace {
int BuilderResult(ShpHandle h, int index) {
    if (h && index >= 0) return ShpGetRecordCount(h) - 1;
    MessageBeep(MB_ICONHAND);
    return -1;
}
}  // namespace

int CShapeLayer::AddSegment(const DoublePoint& a, const DoublePoint& b) {
    ShpHandle h = GetHandle();
    return BuilderResult(h, h ? ShpAppendSegment(h, a, b) : -1);
}

int CShapeLayer::AddRectangle(const CDoubleRect& rect) {
    ShpHandle h = GetHandle();
    return BuilderResult(h, h ? ShpAppendRectangle(h, rect) : -1);
}

int CShapeLayer::AddEllipse(const CDoubleRect& rect, int pointsPerQuarter) {
    ShpHandle h = GetHandle();
    return BuilderResult(h, h ? ShpAppendEllipse(h, rect, pointsPerQuarter) : -1);
}

int CShapeLayer::AddShapeFromPoints(int count, const DoublePoint* vertices, bool closed) {
    ShpHandle h = GetHandle();
    if (!h || !vertices || count < 2 || (closed && count < 3)) return -1;
    int type = ShpGetShapeType(h);
    if (!IsLineOrPolygonShapeType(type)) return -1;
    int total = count + (closed ? 1 : 0);
    size_t size = ShapeRecordSize(type, 1, total);
    if (size == 0) return -1;
    ShapeRecord* r = ShapeHeapRealloc(nullptr, size);
    if (!r) return -1;
    int result = -1;
    if (ShapeInitRecord(h, type, 1, total, r)) {
        uint8_t* parts = ShapeGetParts(r);
        if (parts) ShapeStoreInt(parts, 0);
        uint8_t* points = ShapeGetPoints(r);
        uint8_t* z = ShapeGetZArray(r);
        uint8_t* m = ShapeGetMArray(r);
        for (int i = 0; i < total; ++i) {
            const DoublePoint& v = vertices[i < count ? i : 0];
            if (points) ShapeStorePoint(points, i, v);
            if (z) ShapeStoreDouble(z + 8 * i, 0.0);
            // A sketch has no measures: no data, as the shape builders write.
            if (m) ShapeStoreDouble(m + 8 * i, kNoDataMeasure);
        }
        ShpComputeShapeBounds(r);
        if (uint8_t* zr = ShapeGetZRange(r)) {
            ShapeStoreDouble(zr, 0.0);
            ShapeStoreDouble(zr + 8, 0.0);
        }
        if (uint8_t* mr = ShapeGetMRange(r)) {
            ShapeStoreDouble(mr, kNoDataMeasure);
            ShapeStoreDouble(mr + 8, kNoDataMeasure);
        }
        result = AppendShape(r);
    }
    ShapeFreeBuffer(r);
    return result;
}
