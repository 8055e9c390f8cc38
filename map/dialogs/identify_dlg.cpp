#include "map/dialogs/identify_dlg.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "core/text_helpers.h"
#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "crs/coord_text.h"
#include "crs/mgrs.h"
#include "crs/transverse_mercator.h"
#include "formats/shape/shp_engine.h"
#include "map/dialogs/feature_action_menu.h"
#include "map/dialogs/identify_search.h"
#include "map/layers/feature_layer.h"
#include "map/layers/internet_layer.h"
#include "map/server/feature_response.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "platform/gdi/owned.h"
#include "platform/res/resource.h"
#include "platform/win/controls.h"
#include "platform/win/menu.h"
#include "platform/win/window.h"
#include "resources/zres.h"

namespace {

constexpr COLORREF kWhiteMask = 0xFFFFFF;
constexpr UINT kBeepRefused = 0x30;

std::unique_ptr<CIdentifyDlg>& Instance() {
    static std::unique_ptr<CIdentifyDlg> dialog;
    return dialog;
}

HWND TopLevelOf(HWND window) {
    HWND top = window;
    while (top && GetParent(top)) top = GetParent(top);
    return top;
}

CMapDoc* MapDoc() {
    return CurrentMapView ? CurrentMapView->GetDocument() : nullptr;
}

// Layers handed around as item data are checked against the map before use:
// the layer may have been removed while the window stayed open.
bool IsMapLayer(const CLayer* layer) {
    CMapDoc* doc = MapDoc();
    return layer && doc && doc->GetLayers().IndexOf(layer) >= 0;
}

int LayerImage(const CLayer& layer) {
    if (layer.GetKind() == LayerKind::Extension) return CIdentifyDlg::kImageOtherLayer;
    switch (layer.GetDisplayClass()) {
        case DisplayClass::Point: return CIdentifyDlg::kImagePointLayer;
        case DisplayClass::Line: return CIdentifyDlg::kImageLineLayer;
        case DisplayClass::Polygon: return CIdentifyDlg::kImagePolygonLayer;
        default: return CIdentifyDlg::kImageOtherLayer;
    }
}

int FieldImage(WChar type) {
    switch (type) {
        case u'C': return CIdentifyDlg::kImageCharacter;
        case u'N': return CIdentifyDlg::kImageNumeric;
        case u'D': return CIdentifyDlg::kImageDate;
        case u'L': return CIdentifyDlg::kImageLogical;
        default: return CIdentifyDlg::kImageValue;
    }
}

HTREEITEM Next(HWND tree, HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(
        SendMessage(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

LPARAM ItemData(HWND tree, HTREEITEM item) {
    TVITEM tv;
    tv.mask = TVIF_PARAM | TVIF_HANDLE;
    tv.hItem = item;
    return SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&tv)) ? tv.lParam : 0;
}

WString ItemText(HWND tree, HTREEITEM item) {
    WChar buffer[CIdentifyDlg::kItemTextUnits] = {};
    TVITEM tv;
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = buffer;
    tv.cchTextMax = static_cast<int>(CIdentifyDlg::kItemTextUnits);
    if (!SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&tv))) return WString();
    return WString(buffer);
}

WString LabelText(CFeatureLayer* layer, int record, int field) {
    WString text;
    if (field >= 0 && field < layer->GetFieldCount() && layer->ReadRecord(record))
        layer->GetFieldText(field, text);
    return text;
}

}  // namespace

CIdentifyDlg::CIdentifyDlg()
    : CDialogExt(IDD_IDENTIFY,
                 CurrentMapView ? TopLevelOf(CurrentMapView->GetSafeHwnd()) : nullptr) {
    m_rect.SetEmpty();
    m_featureExtent.SetEmpty();
}

CIdentifyDlg::~CIdentifyDlg() {
    if (GetSafeHwnd()) ::DestroyWindow(GetSafeHwnd());
    if (m_images) ImageList_Destroy(m_images);
}

WString CIdentifyDlg::FitItemText(WString text) {
    const size_t limit = kItemTextUnits - 1;
    if (text.size() <= limit) return text;
    size_t cut = limit;
    // Never keep the first half of a surrogate pair alone.
    if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;
    text.resize(cut);
    return text;
}

bool CIdentifyDlg::IsOpenableAddress(WStringView address) {
    if (address.empty() || address.size() > kMaxLinkUnits) return false;
    for (WChar c : address)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

// ---- entry points ----

void CIdentifyDlg::EnsureWindow() {
    if (!GetSafeHwnd()) Create();
    if (GetSafeHwnd() && !IsWindowVisible(GetSafeHwnd())) ShowWindow(GetSafeHwnd(), SW_SHOW);
}

void CIdentifyDlg::PostRefresh() {
    EnsureWindow();
    if (GetSafeHwnd()) PostMessage(GetSafeHwnd(), kRefreshMessage, 0, 0);
}

void CIdentifyDlg::IdentifyArea(double x, double y, double tolerance, const CDoubleRect* rect) {
    m_x = x;
    m_y = y;
    m_tolerance = tolerance;
    if (rect) {
        m_rect = *rect;
        m_pointMode = false;
    } else {
        m_rect = CDoubleRect(x - tolerance, y - tolerance, x + tolerance, y + tolerance);
        m_pointMode = true;
    }
    m_serverLayer = nullptr;
    m_singleLayer = nullptr;
    m_singleRecord = 0;
    PostRefresh();
}

void CIdentifyDlg::IdentifyLayerAtPoint(CLayer* layer, double x, double y, double tolerance) {
    IdentifyArea(x, y, tolerance, nullptr);
    m_serverLayer = dynamic_cast<CInternetLayer*>(layer);
}

void CIdentifyDlg::IdentifyFeature(CLayer* layer, int record) {
    auto* features = dynamic_cast<CFeatureLayer*>(layer);
    if (!features || record <= 0) return;
    m_serverLayer = nullptr;
    m_singleLayer = features;
    m_singleRecord = record;
    m_pointMode = true;
    PostRefresh();
}

void CIdentifyDlg::ClearIdentifyPoint() {
    m_x = m_y = 0;
    m_featureExtent.SetEmpty();
}

bool CIdentifyDlg::IsIdentifyWindowVisible() const {
    return GetSafeHwnd() && IsWindowVisible(GetSafeHwnd());
}

bool CIdentifyDlg::GetSelectedFeatureExtent(CDoubleRect& extent) const {
    if (!IsIdentifyWindowVisible()) return false;
    Selection s = GetSelection();
    if (s.kind != Selection::Feature && s.kind != Selection::Attribute) return false;
    return s.layer->GetFeatureExtent(s.record, extent);
}

// ---- the window ----

bool CIdentifyDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    HWND tree = GetTree();
    if (!m_images)
        m_images = ImageList_LoadBitmap(res::GetProgramModule(),
                                        MAKEINTRESOURCE(static_cast<WORD>(IDB_IDENTIFY_IMAGES)), 16,
                                        1, kWhiteMask);
    if (m_images)
        SendMessage(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(m_images));
    SendMessage(GetDlgItem(IDC_IDENTIFY_CLOSE_AFTER), BM_SETCHECK,
                m_closeAfterAction ? BST_CHECKED : BST_UNCHECKED, 0);
    AddAnchor(IDC_IDENTIFY_TREE, kAnchorStretch, kAnchorStretch);
    UpdateButtons();
    return true;
}

HWND CIdentifyDlg::GetTree() const {
    return GetDlgItem(IDC_IDENTIFY_TREE);
}

void CIdentifyDlg::OnCancel() {
    // Closing destroys the window only; the object stays for the next
    // identify.
    ::DestroyWindow(GetSafeHwnd());
}

LRESULT CIdentifyDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT forwarded = 0;
    if (ForwardMenuOwnerMessage(msg, wParam, lParam, &forwarded)) return forwarded;
    switch (msg) {
        case kRefreshMessage:
            Refresh();
            return 0;
        case WM_NOTIFY: {
            auto* nm = reinterpret_cast<NMHDR*>(lParam);
            if (nm && nm->hwndFrom == GetTree()) {
                if (nm->code == TVN_SELCHANGED) {
                    OnSelectionChanged();
                    return 0;
                }
                if (nm->code == NM_DBLCLK) {
                    OpenItemLink(Next(GetTree(), nullptr, TVGN_CARET));
                    return 0;
                }
            }
            break;
        }
        case WM_DESTROY: {
            LRESULT result = CDialogExt::WindowProc(msg, wParam, lParam);
            if (m_images) {
                ImageList_Destroy(m_images);
                m_images = nullptr;
            }
            // The overlay goes with the window.
            if (CurrentMapView && CurrentMapView->GetSafeHwnd())
                InvalidateRect(CurrentMapView->GetSafeHwnd(), nullptr, TRUE);
            return result;
        }
        default:
            break;
    }
    return CDialogExt::WindowProc(msg, wParam, lParam);
}

bool CIdentifyDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    switch (id) {
        case IDC_IDENTIFY_INFO:
        case IDC_IDENTIFY_EDIT:
        case IDC_IDENTIFY_GOTO:
            RunAction(id);
            return true;
        case IDC_IDENTIFY_ACTIONS:
            OnActionMenu();
            return true;
        case IDC_IDENTIFY_CLOSE_AFTER:
            m_closeAfterAction =
                SendMessage(GetDlgItem(IDC_IDENTIFY_CLOSE_AFTER), BM_GETCHECK, 0, 0) == BST_CHECKED;
            return true;
        default:
            // The action commands, from the menu or sent by id.
            if (id >= ID_FEATURE_FLASH && id <= ID_FEATURE_HYPERLINK) {
                RunAction(id);
                return true;
            }
            return CDialogExt::OnCommand(wParam, lParam);
    }
}

// ---- the tree ----

HTREEITEM CIdentifyDlg::Insert(HTREEITEM parent, const WString& text, int image, LPARAM data) {
    TVINSERTSTRUCT ins;
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    WString copy = FitItemText(text);
    ins.item.pszText = copy.data();
    ins.item.iImage = image;
    ins.item.iSelectedImage = image;
    ins.item.lParam = data;
    return reinterpret_cast<HTREEITEM>(
        SendMessage(GetTree(), TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&ins)));
}

void CIdentifyDlg::Refresh() {
    HWND tree = GetTree();
    if (!tree) return;
    win::BeginWaitCursor();
    SendMessage(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    m_featureExtent.SetEmpty();
    m_firstResult = nullptr;
    UpdateButtons();
    m_root = Insert(TVI_ROOT, u"Coordinates", kImageCoordinates, 0);
    if (m_singleLayer && IsMapLayer(m_singleLayer)) {
        AddSingleFeature();
    } else {
        m_singleLayer = nullptr;
        AddCoordinates(m_root);
        if (CMapDoc* doc = MapDoc()) {
            CLayerList& layers = doc->GetLayers();
            for (int i = 0; i < layers.GetCount(); ++i) {
                CLayer* layer = layers.GetAt(i);
                if (!layer) continue;
                if (m_serverLayer) {
                    if (layer == m_serverLayer) AddServerLayer(m_serverLayer);
                    continue;
                }
                if (!layer->GetIdentify()) continue;
                if (layer->GetKind() == LayerKind::Shape || layer->GetKind() == LayerKind::Extension) {
                    if (auto* features = dynamic_cast<CFeatureLayer*>(layer)) AddFeatureLayer(features);
                } else if (auto* server = dynamic_cast<CInternetLayer*>(layer)) {
                    AddServerLayer(server);
                }
            }
        }
    }
    if (m_firstResult) {
        SendMessage(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(m_firstResult));
    } else {
        SendMessage(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(m_root));
        SendMessage(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(m_root));
    }
    OnSelectionChanged();
    win::EndWaitCursor();
    if (CurrentMapView && CurrentMapView->GetSafeHwnd())
        InvalidateRect(CurrentMapView->GetSafeHwnd(), nullptr, FALSE);
}

void CIdentifyDlg::AddCoordinates(HTREEITEM root) {
    CMapDoc* doc = MapDoc();
    CCoordSys* cs = doc ? doc->GetMapCoordSys() : nullptr;
    if (!cs || cs->m_projectionCode == 0) {
        Insert(root, text::Format(u"X=%.3f", m_x), kImageValue, 0);
        Insert(root, text::Format(u"Y=%.3f", m_y), kImageValue, 0);
        return;
    }
    double lon = m_x, lat = m_y;
    if (cs->m_projectionCode != crs_code::kGeographic) {
        Insert(root, text::Format(u"Easting=%.3f", m_x), kImageValue, 0);
        Insert(root, text::Format(u"Northing=%.3f", m_y), kImageValue, 0);
        cs->ProjectedToGeographic(m_x, m_y, &lon, &lat);
    }
    Insert(root, text::Format(u"Datum=%s", cs->m_datum.datumName.c_str()), kImageValue, 0);
    if (!std::isfinite(lon) || !std::isfinite(lat)) return;
    Insert(root, u"Latitude=" + FormatDms(lat, true), kImageValue, 0);
    Insert(root, u"Longitude=" + FormatDms(lon, false), kImageValue, 0);
    const int zone = UtmZoneFromLongitude(lon, lat);
    CTransverseMercator utm;
    utm.SetUtmZone(zone);
    utm.SetDatum(cs->m_datum);
    double e = 0, n = 0;
    utm.GeographicToProjected(lon, lat, &e, &n);
    if (std::isfinite(e) && std::isfinite(n)) {
        Insert(root, text::Format(u"UTM Easting=%.3f", e), kImageValue, 0);
        Insert(root, text::Format(u"UTM Northing=%.3f", n), kImageValue, 0);
        Insert(root, text::Format(u"UTM Zone=%d%c", std::abs(zone), zone > 0 ? u'N' : u'S'),
               kImageValue, 0);
    }
    CMGRSConverter mgrs;
    Insert(root, u"MGRS=" + mgrs.Format(lon, lat, cs->m_datum), kImageValue, 0);
}

void CIdentifyDlg::AddFields(HTREEITEM parent, CFeatureLayer* layer, int record) {
    if (!layer->ReadRecord(record)) return;
    for (int f = 0; f < layer->GetFieldCount(); ++f) {
        WString value;
        layer->GetFieldText(f, value);
        WString name = layer->GetFieldName(f);
        HTREEITEM item = Insert(parent, text::Format(u"%s=%s", name.c_str(), value.c_str()),
                                FieldImage(layer->GetFieldType(f)), f);
        if (!m_firstResult && m_singleLayer) m_firstResult = item;
    }
}

void CIdentifyDlg::AddFeatureLayer(CFeatureLayer* layer) {
    HTREEITEM layerItem =
        Insert(TVI_ROOT, layer->GetName(), LayerImage(*layer), reinterpret_cast<LPARAM>(layer));
    const int label = layer->FindLabelField();
    IdentifySearch search;
    search.x = m_x;
    search.y = m_y;
    search.tolerance = m_tolerance;
    search.rect = m_rect;
    search.pointMode = m_pointMode;
    int number = 0;
    const int counted = search.ForEach(*layer, [&](int record) {
        WString labelText = LabelText(layer, record, label);
        HTREEITEM item = Insert(layerItem, text::Format(u"%d: %s", ++number, labelText.c_str()),
                                kImageValue, record);
        if (!m_firstResult) m_firstResult = item;
        AddFields(item, layer, record);
    });
    if (counted == 0) SendMessage(GetTree(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(layerItem));
}

void CIdentifyDlg::AddServerLayer(CInternetLayer* layer) {
    auto& subLayers = layer->SubLayers();
    for (int i = static_cast<int>(subLayers.size()) - 1; i >= 0; --i) {
        const InternetSubLayer& sub = subLayers[static_cast<size_t>(i)];
        int image;
        switch (sub.type) {
            case 0: image = kImagePointLayer; break;
            case 1: image = kImageLineLayer; break;
            case 2: image = kImagePolygonLayer; break;
            default: continue;
        }
        CMapServerResponse response;
        if (!layer->QueryFeatures(i, m_rect, response)) continue;
        ServerFeatureSet answer;
        if (!ReadFeatureResponse(response, answer)) continue;
        WString name = sub.name;
        HTREEITEM subItem =
            Insert(TVI_ROOT, text::Format(u"%s (%d)", name.c_str(), answer.count), image, 0);
        bool anyField = false;
        int number = 0;
        for (const ServerFeature& feature : answer.features) {
            if (feature.fields.empty()) continue;
            const WString& first = feature.fields.front().second;
            HTREEITEM item = Insert(subItem, text::Format(u"Feature %d : %s", ++number, first.c_str()),
                                    kImageValue, 0);
            for (const auto& [fieldName, value] : feature.fields) {
                if (!fieldName.empty() && fieldName[0] == u'#') continue;
                Insert(item, text::Format(u"%s=%s", fieldName.c_str(), value.c_str()), kImageValue, 0);
                anyField = true;
            }
        }
        if (!anyField) SendMessage(GetTree(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(subItem));
        UpdateWindow(GetTree());
    }
}

void CIdentifyDlg::AddSingleFeature() {
    CFeatureLayer* layer = m_singleLayer;
    CDoubleRect extent;
    extent.SetEmpty();
    if (layer->GetFeatureExtent(m_singleRecord, extent)) {
        m_featureExtent = extent;
        // The coordinates are those of the feature, not of an earlier tap.
        extent.GetCenter(m_x, m_y);
    }
    AddCoordinates(m_root);
    Insert(m_root, text::Format(u"xMin=%.15g", extent.xmin), kImageValue, 0);
    Insert(m_root, text::Format(u"yMin=%.15g", extent.ymin), kImageValue, 0);
    Insert(m_root, text::Format(u"xMax=%.15g", extent.xmax), kImageValue, 0);
    Insert(m_root, text::Format(u"yMax=%.15g", extent.ymax), kImageValue, 0);
    HTREEITEM layerItem =
        Insert(TVI_ROOT, layer->GetName(), LayerImage(*layer), reinterpret_cast<LPARAM>(layer));
    AddFields(layerItem, layer, m_singleRecord);
    SendMessage(GetTree(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(layerItem));
}

// ---- selection and buttons ----

CIdentifyDlg::Selection CIdentifyDlg::GetSelection() const {
    Selection s;
    HWND tree = GetTree();
    if (!tree) return s;
    HTREEITEM item = Next(tree, nullptr, TVGN_CARET);
    if (!item) return s;
    if (item == m_root) {
        s.kind = Selection::Coordinates;
        return s;
    }
    HTREEITEM parent = Next(tree, item, TVGN_PARENT);
    if (!parent) return s;  // a layer or server item
    if (parent == m_root) {
        s.kind = Selection::Coordinates;
        return s;
    }
    HTREEITEM grand = Next(tree, parent, TVGN_PARENT);
    auto* layer = reinterpret_cast<CFeatureLayer*>(ItemData(tree, grand ? grand : parent));
    if (!layer || !IsMapLayer(layer)) return s;
    s.layer = layer;
    if (!grand) {
        if (m_singleLayer) {
            // One feature: its fields stand right under the layer.
            s.kind = Selection::Attribute;
            s.record = m_singleRecord;
            s.field = static_cast<int>(ItemData(tree, item));
        } else {
            s.kind = Selection::Feature;
            s.record = static_cast<int>(ItemData(tree, item));
        }
        return s;
    }
    if (Next(tree, grand, TVGN_PARENT)) return Selection();
    s.kind = Selection::Attribute;
    s.record = static_cast<int>(ItemData(tree, parent));
    s.field = static_cast<int>(ItemData(tree, item));
    return s;
}

void CIdentifyDlg::UpdateButtons() {
    if (!GetSafeHwnd()) return;
    Selection s = GetSelection();
    const bool feature = s.kind == Selection::Feature;
    const bool featureOrAttribute = feature || s.kind == Selection::Attribute;
    EnableWindow(GetDlgItem(IDC_IDENTIFY_GOTO), s.kind != Selection::None);
    EnableWindow(GetDlgItem(IDC_IDENTIFY_INFO),
                 feature && s.layer->GetKind() != LayerKind::Extension);
    EnableWindow(GetDlgItem(IDC_IDENTIFY_EDIT), feature && s.layer->GetKind() == LayerKind::Shape &&
                                                    s.layer->IsOpenForEdit());
    EnableWindow(GetDlgItem(IDC_IDENTIFY_ACTIONS), featureOrAttribute);
    m_featureExtent.SetEmpty();
    if (featureOrAttribute) {
        CDoubleRect extent;
        if (s.layer->GetFeatureExtent(s.record, extent)) m_featureExtent = extent;
    }
}

void CIdentifyDlg::OnSelectionChanged() {
    UpdateButtons();
    if (CurrentMapView && CurrentMapView->GetSafeHwnd())
        InvalidateRect(CurrentMapView->GetSafeHwnd(), nullptr, FALSE);
}

void CIdentifyDlg::CloseAfterAction(bool succeeded) {
    if (succeeded && m_closeAfterAction && GetSafeHwnd()) ::DestroyWindow(GetSafeHwnd());
}

bool CIdentifyDlg::RunAction(UINT command) {
    CMapView* view = CurrentMapView;
    Selection s = GetSelection();
    const bool featureOrAttribute = s.kind == Selection::Feature || s.kind == Selection::Attribute;
    double cx = m_x, cy = m_y;
    if (featureOrAttribute && !m_featureExtent.IsEmpty()) m_featureExtent.GetCenter(cx, cy);
    bool done = false;
    switch (command) {
        case IDC_IDENTIFY_GOTO:
        case ID_FEATURE_GOTO: {
            if (!view || s.kind == Selection::None) break;
            WString label;
            if (s.kind == Selection::Feature)
                label = LabelText(s.layer, s.record, s.layer->FindLabelField());
            else if (s.kind == Selection::Attribute)
                label = LabelText(s.layer, s.record, s.field);
            view->SetGoToDestination(cx, cy, s.kind == Selection::Coordinates ? nullptr : &label);
            view->CenterAt(cx, cy);
            done = true;
            break;
        }
        case IDC_IDENTIFY_INFO:
        case ID_FEATURE_ACTION_INFO:
            if (s.kind == Selection::Feature && s.layer->GetKind() != LayerKind::Extension)
                done = s.layer->ShowFeatureProperties(GetSafeHwnd(), s.record);
            break;
        case IDC_IDENTIFY_EDIT:
        case ID_FEATURE_ACTION_EDIT:
            if (view && s.kind == Selection::Feature && s.layer->GetKind() == LayerKind::Shape &&
                s.layer->IsOpenForEdit()) {
                view->SelectFeature(s.layer, IndexFromRecordNumber(s.record), true);
                done = s.layer->EditFeatureProperties(GetSafeHwnd(), s.record);
            }
            break;
        case ID_FEATURE_ZOOMTO:
            if (view && featureOrAttribute && !m_featureExtent.IsEmpty()) {
                view->ZoomToExtent(m_featureExtent, true, 1.25);
                done = true;
            }
            break;
        case ID_FEATURE_CENTER:
            if (view && featureOrAttribute && !m_featureExtent.IsEmpty()) {
                view->CenterAt(cx, cy);
                done = true;
            }
            break;
        case ID_FEATURE_SELECT:
            if (view && featureOrAttribute && s.layer->IsOpenForEdit()) {
                view->SelectFeature(s.layer, IndexFromRecordNumber(s.record), true);
                done = true;
            }
            break;
        case ID_FEATURE_HYPERLINK:
            done = OpenItemLink(Next(GetTree(), nullptr, TVGN_CARET));
            break;
        default:
            return false;
    }
    CloseAfterAction(done);
    return done;
}

void CIdentifyDlg::OnActionMenu() {
    Selection s = GetSelection();
    if (s.kind != Selection::Feature && s.kind != Selection::Attribute) return;
    HTREEITEM item = Next(GetTree(), nullptr, TVGN_CARET);
    WString text = item ? ItemText(GetTree(), item) : WString();
    size_t eq = text.find(u'=');
    const bool linkItem = eq != WString::npos && StartsWithNoCase(text.substr(eq + 1), u"http:");
    const UINT chosen = TrackFeatureActionMenu(GetSafeHwnd(), GetDlgItem(IDC_IDENTIFY_ACTIONS),
                                               s.layer->IsOpenForEdit(), s.layer->HasHyperlink() || linkItem);
    if (chosen) RunAction(chosen);
}

bool CIdentifyDlg::OpenItemLink(HTREEITEM item) {
    HWND tree = GetTree();
    if (!tree || !item) return false;
    // The selection rules, for this item.
    HTREEITEM caret = Next(tree, nullptr, TVGN_CARET);
    if (caret != item) SendMessage(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    Selection s = GetSelection();
    if (s.kind != Selection::Feature) {
        // An attribute, or an item that is not a result (a server field).
        WString value = ItemText(tree, item);
        size_t eq = value.find(u'=');
        if (eq != WString::npos) {
            value = value.substr(eq + 1);
            // The item shows a cut text: the layer's field holds all of it.
            if (s.kind == Selection::Attribute) value = LabelText(s.layer, s.record, s.field);
            if (StartsWithNoCase(value, u"http:")) {
                if (!IsOpenableAddress(value)) {
                    MessageBeep(kBeepRefused);
                    return false;
                }
                return GetShellServices()->OpenUrlShortcut(GetSafeHwnd(), value.c_str()) != 0;
            }
        }
    }
    if ((s.kind == Selection::Feature || s.kind == Selection::Attribute) && s.layer->HasHyperlink())
        return s.layer->OpenHyperlink(GetSafeHwnd(), s.record);
    return false;
}

// ---- the map overlay ----

void CIdentifyDlg::DrawIdentifyOverlay(CMapView& view, HDC dc) {
    // A cleared point takes the whole mark away, not just moves it to (0, 0).
    if (!IsIdentifyWindowVisible() || !HasIdentifyPoint()) return;
    const auto& display = GetPreferences()->Data().display;
    int saved = SaveDC(dc);
    gdi::OwnedPen pen(CreatePen(PS_SOLID, display.highlightwidth, display.highlightcolor));
    SelectObject(dc, pen.get());
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    if (m_pointMode) {
        int px = 0, py = 0;
        view.MapToScreen(m_x, m_y, px, py);
        int radius = static_cast<int>(m_tolerance * view.GetXScale() + 0.5);
        radius = std::max(radius, 1);
        Ellipse(dc, px - radius, py - radius, px + radius, py + radius);
    } else {
        int l, b, r, t;
        view.MapToScreen(m_rect.xmin, m_rect.ymin, l, b);
        view.MapToScreen(m_rect.xmax, m_rect.ymax, r, t);
        Rectangle(dc, l, t, r, b);
    }
    Selection s = GetSelection();
    bool drawn = false;
    if ((s.kind == Selection::Feature || s.kind == Selection::Attribute) &&
        s.layer->GetKind() == LayerKind::Shape) {
        ShpHandle shp = s.layer->GetShapeFile();
        const ShapeRecord* shape = shp ? ShpReadShape(shp, IndexFromRecordNumber(s.record)) : nullptr;
        const int geometry =
            shape ? GetShapeTypeGeometryClass(ShpGetRecordShapeType(shp, shape)) : -1;
        if (geometry == 1 || geometry == 2) {
            const uint8_t* raw = ShapeGetPoints(shape);
            for (int part = 0; part < ShapeGetPartCount(shape); ++part) {
                int last = 0;
                int first = ShapeGetPartRange(shape, part, &last);
                if (first < 0 || last < first) continue;
                std::vector<POINT> points;
                for (int i = first; i <= last; ++i)
                    points.push_back(view.MapPointToScreen(ShapeLoadPoint(raw, i)));
                if (points.size() >= 2) Polyline(dc, points.data(), static_cast<int>(points.size()));
            }
            drawn = true;
        }
    }
    if (!drawn && !m_featureExtent.IsEmpty() && m_featureExtent.xmax > m_featureExtent.xmin &&
        m_featureExtent.ymax > m_featureExtent.ymin) {
        int l, b, r, t;
        view.MapToScreen(m_featureExtent.xmin, m_featureExtent.ymin, l, b);
        view.MapToScreen(m_featureExtent.xmax, m_featureExtent.ymax, r, t);
        Rectangle(dc, l, t, r, b);
    }
    RestoreDC(dc, saved);
}

// ---- the one window ----

CIdentifyDlg& GetIdentifyDlg() {
    if (!Instance()) Instance() = std::make_unique<CIdentifyDlg>();
    return *Instance();
}

void ReleaseIdentifyDlg() {
    Instance().reset();
}

IIdentifyWindow* GetIdentifyWindowSeam() {
    class Seam final : public IIdentifyWindow {
    public:
        void IdentifyArea(double x, double y, double tolerance, const CDoubleRect* rect) override {
            GetIdentifyDlg().IdentifyArea(x, y, tolerance, rect);
        }
        void IdentifyLayerAtPoint(CLayer* layer, double x, double y, double tolerance) override {
            GetIdentifyDlg().IdentifyLayerAtPoint(layer, x, y, tolerance);
        }
    };
    static Seam seam;
    return &seam;
}

void ClearIdentifyPoint() {
    if (Instance()) Instance()->ClearIdentifyPoint();
}

bool HasIdentifyPoint() {
    return Instance() && Instance()->HasIdentifyPoint();
}

CDoubleRect GetIdentifyPointExtent() {
    if (Instance()) return Instance()->GetIdentifyPointExtent();
    return CDoubleRect(0, 0, 0, 0);
}

bool IsIdentifyWindowVisible() {
    return Instance() && Instance()->IsIdentifyWindowVisible();
}

bool GetIdentifySelectionExtent(CDoubleRect& extent) {
    return Instance() && Instance()->GetSelectedFeatureExtent(extent);
}

void DrawIdentifyOverlay(CMapView& view, HDC dc) {
    if (Instance()) Instance()->DrawIdentifyOverlay(view, dc);
}
