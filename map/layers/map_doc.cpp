#include "map/layers/map_doc.h"

#include <algorithm>
#include <cmath>

#include "core/config_xml_file.h"
#include "core/file_stream.h"
#include "core/shell_helpers.h"
#include "core/xml_node.h"
#include "crs/geographic.h"
#include "crs/wkt.h"
#include "map/map_messages.h"
#include "map/services/preferences.h"
#include "platform/fs/fs.h"
#include "platform/res/resource.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

const WChar CMapDoc::kDefaultWkt[] =
    u"GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137,"
    u"298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.017453292519943295]]";

namespace {

CBookmarkList* MainBookmarks() {
    IMainWindow* main = GetMainWindowServices();
    return main ? &main->GetBookmarks() : nullptr;
}

CCoordSys* CoordSysFromText(WStringView text) {
    CWktCoordSys wkt;
    if (!wkt.ParseWkt(text)) return nullptr;
    return wkt.CreateProjection().release();
}

bool HasFolder(WStringView path) { return path.find_first_of(u"\\/") != WStringView::npos; }

// "1:<number>"; false (value kept) for anything else.
bool ReadScale(const CXmlNode* element, const WChar* name, double& scale) {
    if (!element->HasAttribute(name)) return false;
    WString text = element->GetAttribute(name);
    if (text.size() < 3 || text[1] != u':') return false;
    double v = 0;
    if (!ParseDocumentNumber(WStringView(text).substr(2), v) || !std::isfinite(v) || v < 0)
        return false;
    scale = v;
    return true;
}

std::unique_ptr<CXmlNode> CloneNode(const CXmlNode* node) {
    auto copy = std::make_unique<CXmlNode>();
    copy->SetName(node->GetName());
    copy->SetText(node->GetText());
    for (const auto& [name, value] : node->GetAttributes()) copy->SetAttribute(name, value);
    for (int i = 0; i < node->GetChildCount(); ++i)
        copy->AddChild(CloneNode(node->GetChild(i)).release());
    return copy;
}

// Writes an element back in the writer's form: the attributes layers are
// written with first, in their order, then the others by name.
void WriteNode(CConfigXmlFile& writer, const CXmlNode* node, int level) {
    static const WChar* const kFirst[] = {u"name", u"visible", u"minscale", u"maxscale",
                                          u"identify", u"edit"};
    std::vector<WString> names;
    for (const auto& entry : node->GetAttributes()) names.push_back(entry.first);
    auto rank = [](const WString& n) {
        for (size_t i = 0; i < std::size(kFirst); ++i)
            if (n == kFirst[i]) return static_cast<int>(i);
        return static_cast<int>(std::size(kFirst));
    };
    std::sort(names.begin(), names.end(), [&](const WString& a, const WString& b) {
        int ra = rank(a), rb = rank(b);
        return ra != rb ? ra < rb : a < b;
    });
    WString attrs;
    for (const WString& n : names) {
        WString v = node->GetAttribute(n);
        XmlEscape(v);
        if (!attrs.empty()) attrs += u' ';
        attrs += n + u"=\"" + v + u"\"";
    }
    if (node->GetChildCount() == 0) {
        WString t = node->GetText();
        XmlEscape(t);
        writer.WriteElementWithText(level, node->GetName().c_str(), t.c_str(), u"%s", attrs.c_str());
        return;
    }
    writer.StartElement(level, node->GetName().c_str(), true, u"%s", attrs.c_str());
    for (int i = 0; i < node->GetChildCount(); ++i) WriteNode(writer, node->GetChild(i), level + 1);
    writer.EndElement(level, node->GetName().c_str());
}

bool IsGeographicExtent(const CDoubleRect& e) {
    return e.xmin >= -180 && e.xmin <= 180 && e.xmax >= -180 && e.xmax <= 180 && e.ymin >= -90 &&
           e.ymin <= 90 && e.ymax >= -90 && e.ymax <= 90;
}

WString CoordSysName(const CCoordSys* cs) {
    if (!cs) return {};
    return cs->m_projectionCode == 43000 || cs->m_projectedName.empty() ? cs->m_geographicName
                                                                         : cs->m_projectedName;
}

}  // namespace

bool IsMapDocumentPath(WStringView path) {
    size_t dot = path.rfind(u'.');
    return dot != WStringView::npos && text::EqualsNoCase(path.substr(dot + 1), u"znm");
}

CMapDoc::CMapDoc() : win::Document(LoadMapString(IDS_DOC_TEMPLATE)) { m_mapExtent.SetEmpty(); }

CMapDoc::~CMapDoc() {
    m_layers.RemoveAll();
    m_layers.SetMapCoordSys(nullptr);
    delete m_coordSys;
}

// ---- framework steps ----

bool CMapDoc::OnNewDocument() {
    if (!win::Document::OnNewDocument()) return false;
    ResetMap(true);
    for (win::DocumentView* v : GetViews())
        if (auto* view = dynamic_cast<IMapDocView*>(v)) view->UpdateEditToolbars();
    return true;
}

bool CMapDoc::OnOpenDocument(const WString& path) {
    // The open map is replaced only once the file has proved readable: a
    // file that is missing, not a map document or not a dataset that opens
    // leaves it as it was, and the message says why.
    if (IsMapDocumentPath(path)) {
        CXmlDocument document;
        WString reason;
        if (!LoadMapElement(path, document, reason)) {
            ShowMapMessage(IDP_ERROR_OPENING_MAP, MB_OK | MB_ICONERROR, kBeepError, {path}, reason);
            return false;
        }
        if (!win::Document::OnOpenDocument(path)) return false;
        ResetMap(true);
        if (!ReadMapFile(path, false)) return false;
        if (IMainWindow* main = GetMainWindowServices()) main->AddToRecentDocuments(path);
        return true;
    }
    return OpenDatasetAsMap(path);
}

bool CMapDoc::OnSaveDocument(const WString& path) {
    CPath target{WStringView(path)};
    target.SetExtension(u"znm");
    WString p = target.GetPath();
    if (p.size() >= 2 && p[0] == u'\\' && p[1] == u'\\') p.erase(0, 1);
    fs::SetLastError(fs::kErrorSuccess);
    if (!WriteMapFile(p)) {
        // The old file and the open map stay as they were; the user learns why.
        ShowMapMessage(IDP_ERROR_SAVING_MAP, MB_OK | MB_ICONERROR, kBeepError, {p},
                       fs::ErrorText(fs::GetLastError()));
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

void CMapDoc::OnCloseDocument() {
    ResetMap(false);
    win::Document::OnCloseDocument();
}

bool CMapDoc::DoSave(const WString& path, bool replace) {
    if (!win::Document::DoSave(path, replace)) return false;
    if (!m_mapTitle.empty()) SetTitle(m_mapTitle);
    if (IMainWindow* main = GetMainWindowServices(); main && replace)
        main->AddToRecentDocuments(GetPathName());
    return true;
}

// ---- the map ----

void CMapDoc::ResetMap(bool loadDefault) {
    m_mapExtent.SetEmpty();
    m_layers.RemoveAll();
    m_layers.m_layersChanged = false;
    m_kept.clear();
    SetMapCoordSys(nullptr, false);
    if (loadDefault) {
        WString prj = GetSpecialFolderPath(nullptr, kFolderPersonal) + u"\\Zarnip.prj";
        CWktCoordSys wkt;
        if (DatasetFileExists(prj) && wkt.ReadPrjFile(prj))
            if (CCoordSys* cs = wkt.CreateProjection().release()) SetMapCoordSys(cs, true);
        if (!m_coordSys) SetMapCoordSys(CoordSysFromText(kDefaultWkt), true);
        if (m_coordSys && m_coordSys->m_projectionCode == 43000)
            m_mapExtent = CDoubleRect(-180, -90, 180, 90);
    }
    if (CBookmarkList* bookmarks = MainBookmarks()) bookmarks->RemoveBookmarks(false);
}

void CMapDoc::ShowWholeMap() {
    CDoubleRect full;
    if (m_layers.GetFullExtent(full, false) != 0 && !full.IsEmpty()) m_mapExtent = full;
}

void CMapDoc::SetMapCoordSys(CCoordSys* coordSys, bool notify) {
    if (coordSys != m_coordSys) {
        m_layers.SetMapCoordSys(nullptr);
        delete m_coordSys;
        m_coordSys = coordSys;
    }
    m_layers.SetMapCoordSys(m_coordSys);
    if (notify) UpdateAllViews(nullptr, 1);
}

CLayer* CMapDoc::FindLayerByPath(WStringView path) const {
    for (int i = 0; i < m_layers.GetCount(); ++i)
        if (text::EqualsNoCase(m_layers.GetAt(i)->GetPath(), path)) return m_layers.GetAt(i);
    return nullptr;
}

namespace {
// A layer whose positions cannot be converted to the map's, or may be off,
// says so once instead of being drawn nowhere or in the wrong place.
void TellConversionProblem(CLayer* layer, const CCoordSys& layerCs, const CCoordSys& mapCs) {
    if (layer->WasToldConversionProblem()) return;
    const ConversionProblem problem = FindConversionProblem(layerCs, mapCs);
    if (problem == ConversionProblem::kNone) return;
    layer->SetToldConversionProblem();
    ShowConversionProblem(problem, layer->GetName(), layerCs, mapCs);
}
}  // namespace

CLayer* CMapDoc::AddLayer(std::unique_ptr<CLayer> owned, int position) {
    CLayer* layer = owned.get();
    if (!layer) return nullptr;
    CCoordSys* layerCs = layer->GetCoordSys();
    bool defined = m_coordSys && m_coordSys->m_projectionCode != 0;
    bool hasLayers = m_layers.GetCount() > 0;
    if (layerCs) {
        if (!defined || !hasLayers) {
            // The first layer of a map brings its own system.
            TellConversionProblem(layer, *layerCs, *layerCs);
            SetMapCoordSys(layerCs, false);
        } else {
            bool fits = layer->IsReprojectable() || layerCs->IsEqual(m_coordSys);
            if (fits) TellConversionProblem(layer, *layerCs, *m_coordSys);
            delete layerCs;
            if (!fits) {
                ShowMapMessage(IDP_PROJECTION_MISMATCH, MB_OK | MB_ICONERROR, kBeepError,
                               {layer->GetName()});
                return nullptr;
            }
        }
    } else if (defined) {
        CDoubleRect extent;
        layer->GetExtent(extent);
        bool geographicMap = m_coordSys->m_projectionCode == 43000;
        if (geographicMap && !IsGeographicExtent(extent)) {
            SetMapCoordSys(new CUnknownProjection(), false);
        } else {
            UINT id = geographicMap ? IDP_ASSUME_GEOGRAPHIC : IDP_ASSUME_PROJECTION;
            int answer = ShowMapMessage(id, MB_YESNO | MB_ICONEXCLAMATION, kBeepExclamation,
                                        {layer->GetName(), CoordSysName(m_coordSys)});
            if (answer != IDYES) return nullptr;
        }
    }
    layer->SetMapCoordSysRef(&m_coordSys);
    bool tail = position == 1 || (position == 0 && layer->GetCategory() == LayerCategory::Image);
    if (tail)
        m_layers.AddTail(std::move(owned));
    else
        m_layers.AddHead(std::move(owned));
    layer->SetIdentify(true);
    return layer;
}

bool CMapDoc::OpenDatasetAsMap(const WString& path) {
    WString p = path;
    fs::SetLastError(fs::kErrorSuccess);
    std::unique_ptr<CLayer> layer = CLayer::CreateLayer(p);
    if (!layer || !layer->Open(p.c_str())) {
        WString reason = fs::ErrorText(fs::GetLastError());
        if (reason.empty() && !layer) reason = u"It is not a kind of file the program can show.";
        ShowMapMessage(IDP_ERROR_OPENING, MB_OK | MB_ICONERROR, kBeepError, {p}, reason);
        return false;
    }
    if (!win::Document::OnOpenDocument(path)) return false;
    ResetMap(true);
    layer->LoadProperties(nullptr);
    if (!AddLayer(std::move(layer), 0)) return false;
    ShowWholeMap();
    return true;
}

bool CMapDoc::AddLayerFromPath(const WString& path, CLayer** out) {
    if (out) *out = nullptr;
    if (IsMapDocumentPath(path)) return ReadMapFile(path, true);
    if (CLayer* existing = FindLayerByPath(path)) {
        if (out) *out = existing;
        return true;
    }
    WString p = path;
    std::unique_ptr<CLayer> made = CLayer::CreateLayer(p);
    if (!made) return false;
    if (!made->Open(p.c_str())) {
        WString message = res::FormatMessageText(LoadMapString(IDP_ERROR_OPENING), {made->GetPath()});
        message += text::Format(u" : Error %d", ShpGetError(nullptr));
        ShowMapMessageText(message, MB_OK | MB_ICONERROR, kBeepError);
        return false;
    }
    made->LoadProperties(nullptr);
    CLayer* layer = AddLayer(std::move(made), 0);
    if (!layer) return false;
    if (out) *out = layer;
    return true;
}

// ---- reading ----

const CXmlNode* CMapDoc::LoadMapElement(const WString& path, CXmlDocument& document,
                                        WString& reason) {
    fs::SetLastError(fs::kErrorSuccess);
    bool loaded = document.LoadFile(path, GetPreferences()->GetAnsiCodePage());
    const CXmlNode* root = loaded ? document.GetRoot() : nullptr;
    const CXmlNode* map = nullptr;
    if (root && root->GetName() == CConfigXmlFile::kRootName)
        map = root->GetName() == u"MAP" ? root : root->FindChild(u"MAP", true);
    if (map) return map;
    if (!document.GetErrorText().empty())
        reason = document.GetErrorText();
    else if (!loaded)
        reason = fs::ErrorText(fs::GetLastError());
    if (reason.empty()) reason = u"It is not a map document.";
    return nullptr;
}

bool CMapDoc::ReadMapFile(const WString& path, bool layersOnly) {
    CXmlDocument document;
    WString reason;
    const CXmlNode* map = LoadMapElement(path, document, reason);
    if (!map) {
        ShowMapMessage(IDP_ERROR_OPENING_MAP, MB_OK | MB_ICONERROR, kBeepError, {path}, reason);
        return false;
    }

    bool storedExtent = false;
    if (!layersOnly) {
        CBookmarkList* bookmarks = MainBookmarks();
        if (bookmarks) bookmarks->ReadXml(map, false);
        if (const CXmlNode* properties = map->FindChild(u"PROPERTIES")) {
            if (const CXmlNode* envelope = properties->FindChild(u"ENVELOPE")) {
                double v[4] = {0, 0, 0, 0};
                const WChar* names[4] = {u"minx", u"miny", u"maxx", u"maxy"};
                bool ok = true;
                for (int i = 0; i < 4; ++i)
                    if (envelope->HasAttribute(names[i]))
                        ok = ok && ParseDocumentNumber(envelope->GetAttribute(names[i]), v[i]);
                for (double d : v) ok = ok && std::isfinite(d);
                ok = ok && v[0] <= v[2] && v[1] <= v[3];
                if (ok) {
                    storedExtent = true;
                    m_mapExtent = CDoubleRect(v[0], v[1], v[2], v[3]);
                    if (bookmarks) bookmarks->Add(u"*Default*", m_mapExtent, false);
                }
            }
            if (const CXmlNode* coordSys = properties->FindChild(u"COORDSYS")) {
                WString wkt = coordSys->GetAttribute(u"string");
                if (!wkt.empty())
                    if (CCoordSys* cs = CoordSysFromText(wkt)) SetMapCoordSys(cs, true);
            }
        }
        // Adding a document's layers leaves the current map's title alone.
        m_mapTitle = map->GetAttribute(u"name");
    }

    WString folder = CPath(WStringView(path)).GetDirectory();
    std::vector<uint64_t> added;
    std::vector<WString> failed;
    for (int i = 0; i < map->GetChildCount(); ++i) {
        const CXmlNode* element = map->GetChild(i);
        if (element->GetName() == u"LAYER")
            ReadLayerElement(element, folder, layersOnly, added, failed);
    }
    if (!failed.empty()) {
        // Once for the document, with every layer that did not open, whether
        // its file is missing or could not be read.
        WString list = failed[0];
        for (size_t i = 1; i < failed.size(); ++i) list += u"', '" + failed[i];
        ShowMapMessage(IDP_ERROR_OPENING, MB_OK | MB_ICONERROR, kBeepError, {list});
    }

    // A document that stores no extent is shown whole, not at the default
    // map's extent.
    if (!layersOnly && !storedExtent) ShowWholeMap();

    IMainWindow* main = GetMainWindowServices();
    if (const CXmlNode* statusBar = map->FindChild(u"STATUSBAR")) {
        bool current = main ? main->IsStatusBarShown() : m_statusBarVisible;
        m_statusBarVisible = statusBar->GetAttributeBool(u"visible", current);
        if (main) main->ShowStatusBar(m_statusBarVisible);
    }
    if (const CXmlNode* scaleBar = map->FindChild(u"SCALEBAR"))
        m_scaleBarVisible = scaleBar->GetAttributeBool(u"visible", true);
    return true;
}

void CMapDoc::ReadLayerElement(const CXmlNode* element, const WString& folder, bool layersOnly,
                               std::vector<uint64_t>& added, std::vector<WString>& failed) {
    const CXmlNode* dataset = element->FindChild(u"DATASET");
    if (!dataset) return;
    WString path = dataset->GetAttribute(u"name");
    if (path.empty()) return;
    if (!HasFolder(path)) path = folder + u"\\" + path;
    // A missing card or folder, a dataset that does not open (an image without
    // its world file, a server out of reach) or one the map refuses must not
    // drop the layer from the saved map.
    auto keep = [&] {
        if (!layersOnly) m_kept.push_back({added, CloneNode(element), folder});
    };
    if (!DatasetFileExists(path)) {
        keep();
        failed.push_back(path);
        return;
    }
    if (FindLayerByPath(path)) return;
    std::unique_ptr<CLayer> made = CLayer::CreateLayer(path);
    if (!made || !made->Open(path.c_str())) {
        keep();
        failed.push_back(path);
        return;
    }
    CLayer* layer = AddLayer(std::move(made), 1);
    if (!layer) {
        keep();
        return;
    }
    added.push_back(layer->GetSerial());
    layer->LoadProperties(element);
    if (element->HasAttribute(u"name")) layer->SetName(element->GetAttribute(u"name"));
    layer->SetIdentify(element->GetAttributeBool(u"identify", false));
    layer->SetVisible(element->GetAttributeBool(u"visible", true));
    double minScale = layer->GetMinScale(), maxScale = layer->GetMaxScale();
    ReadScale(element, u"minscale", minScale);
    ReadScale(element, u"maxscale", maxScale);
    layer->SetMinScale(minScale);
    layer->SetMaxScale(maxScale);
    layer->ReadMetadata(element);
    if (element->GetAttributeBool(u"edit", false)) m_layers.SetEditLayer(layer);
}

// ---- writing ----

uint64_t CMapDoc::AnchorOf(const KeptLayer& kept) const {
    for (auto it = kept.preceding.rbegin(); it != kept.preceding.rend(); ++it)
        for (int i = 0; i < m_layers.GetCount(); ++i)
            if (m_layers.GetAt(i)->GetSerial() == *it) return *it;
    return 0;
}

void CMapDoc::WriteKept(CConfigXmlFile& writer, uint64_t anchor, const WString& folder) {
    for (const KeptLayer& kept : m_kept) {
        if (AnchorOf(kept) != anchor) continue;
        const CXmlNode* dataset = kept.element->FindChild(u"DATASET");
        WString name = dataset ? dataset->GetAttribute(u"name") : WString();
        if (name.empty() || HasFolder(name) || text::EqualsNoCase(kept.folder, folder)) {
            WriteNode(writer, kept.element.get(), 2);
            continue;
        }
        // A name relative to the document it came from: written in full for
        // a document in another folder.
        std::unique_ptr<CXmlNode> moved = CloneNode(kept.element.get());
        moved->FindChild(u"DATASET")->SetAttribute(u"name", kept.folder + u"\\" + name);
        WriteNode(writer, moved.get(), 2);
    }
}

void CMapDoc::WriteLayer(CConfigXmlFile& writer, CLayer* layer, const WString& folder) {
    writer.BeginElement(2, u"LAYER");
    writer.WriteStringAttribute(u"name", layer->GetName(), u"");
    writer.WriteBoolAttribute(u"visible", layer->IsVisible(), true);
    if (layer->GetMinScale() != 0)
        writer.WriteAttribute(u"minscale", text::Format(u"1:%.15g", layer->GetMinScale()));
    if (layer->GetMaxScale() != 0)
        writer.WriteAttribute(u"maxscale", text::Format(u"1:%.15g", layer->GetMaxScale()));
    writer.WriteBoolAttribute(u"identify", layer->GetIdentify(), false);
    writer.WriteBoolAttribute(u"edit", m_layers.GetEditLayer(layer->GetDisplayClass()) == layer,
                              false);
    writer.EndStartTag(true);
    const CPath& dataset = layer->GetDatasetPath();
    WString name = text::EqualsNoCase(dataset.GetDirectory(), folder) ? dataset.GetFileName()
                                                                       : dataset.GetPath();
    writer.BeginElement(3, u"DATASET");
    writer.WriteStringAttribute(u"name", name);
    writer.EndStartTag(false);
    layer->WriteMetadata(writer);
    writer.EndElement(2, u"LAYER");
}

bool CMapDoc::WriteMapFile(const WString& path) {
    CConfigXmlFile writer;
    if (!writer.Open(path, true, u"MAP", m_mapTitle.c_str())) return false;
    writer.StartElement(2, u"PROPERTIES", true);
    writer.BeginElement(3, u"ENVELOPE");
    writer.WriteDoubleAttribute(u"minx", m_mapExtent.xmin);
    writer.WriteDoubleAttribute(u"miny", m_mapExtent.ymin);
    writer.WriteDoubleAttribute(u"maxx", m_mapExtent.xmax);
    writer.WriteDoubleAttribute(u"maxy", m_mapExtent.ymax);
    writer.EndStartTag(false);
    if (m_coordSys && m_coordSys->m_projectionCode != 0) {
        writer.BeginElement(3, u"COORDSYS");
        WString wkt = FormatWkt(*m_coordSys, false);
        XmlEscape(wkt);
        writer.WriteAttribute(u"string", wkt);
        writer.EndStartTag(false);
    }
    writer.EndElement(2, u"PROPERTIES");
    if (CBookmarkList* bookmarks = MainBookmarks()) {
        bookmarks->WriteXml(writer, false);
    } else {
        writer.StartElement(2, u"BOOKMARKS", false);
    }
    WString folder = CPath(WStringView(path)).GetDirectory();
    WriteKept(writer, 0, folder);
    for (int i = 0; i < m_layers.GetCount(); ++i) {
        CLayer* layer = m_layers.GetAt(i);
        WriteLayer(writer, layer, folder);
        WriteKept(writer, layer->GetSerial(), folder);
    }
    IMainWindow* main = GetMainWindowServices();
    bool statusBar = main ? main->IsStatusBarShown() : m_statusBarVisible;
    writer.StartElement(2, u"STATUSBAR", false, u"visible=\"%s\"", BoolText(statusBar));
    writer.StartElement(2, u"SCALEBAR", false, u"visible=\"%s\"", BoolText(m_scaleBarVisible));
    try {
        writer.Close(true);
    } catch (const CFileException&) {
        return false;
    }
    return true;
}
