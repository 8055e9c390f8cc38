#include "map/layers/layer_list.h"

#include <algorithm>

#include <cfloat>

#include "formats/dbf/dbf_engine.h"
#include "map/map_messages.h"
#include "map/services/main_window.h"
#include "map/services/script_events.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

CLayerList::CLayerList() { RemoveAll(); }

CLayerList::~CLayerList() { RemoveAll(); }

CLayer* CLayerList::GetAt(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_layers[static_cast<size_t>(index)].get();
}

int CLayerList::IndexOf(const CLayer* layer) const {
    for (size_t i = 0; i < m_layers.size(); ++i)
        if (m_layers[i].get() == layer) return static_cast<int>(i);
    return -1;
}

void CLayerList::Insert(int index, std::unique_ptr<CLayer> layer) {
    if (layer) m_layers.insert(m_layers.begin() + index, std::move(layer));
}

void CLayerList::RemoveAll() {
    while (!m_layers.empty()) {
        std::unique_ptr<CLayer> layer = std::move(m_layers.front());
        m_layers.erase(m_layers.begin());
        // Closing can pump messages (packing shows its progress): a paint
        // then must not draw a layer already gone.
        ForgetReferences(layer.get());
        CloseWhenNoScriptRuns(std::move(layer));
    }
    m_editLayers[0] = m_editLayers[1] = m_editLayers[2] = nullptr;
    m_currentFeatureLayer = nullptr;
    m_currentFeatureRecord = -1;
    m_grid.SetVisible(false);
    m_tracklog.SetVisible(false);
    m_ready = true;
}

int CLayerList::GetFullExtent(CDoubleRect& extent, bool visibleOnly) {
    return FullExtent(extent, visibleOnly, nullptr);
}

int CLayerList::GetFullExtent(CDoubleRect& extent, bool visibleOnly, LayerCategory category) {
    return FullExtent(extent, visibleOnly, &category);
}

int CLayerList::FullExtent(CDoubleRect& extent, bool visibleOnly, const LayerCategory* category) {
    extent = CDoubleRect(DBL_MAX, DBL_MAX, -DBL_MAX, -DBL_MAX);
    int used = 0;
    for (const auto& layer : m_layers) {
        if (category && layer->GetCategory() != *category) continue;
        if (visibleOnly && !layer->IsVisible()) continue;
        if (layer->GetKind() == LayerKind::Shape) {
            DbfHandle table = layer->GetTable();
            if (!table || DbfGetRecordCount(table) < 1) continue;
        }
        CDoubleRect e;
        layer->GetExtent(e);
        if (e.IsNull()) continue;
        extent.xmin = std::min(extent.xmin, e.xmin);
        extent.ymin = std::min(extent.ymin, e.ymin);
        extent.xmax = std::max(extent.xmax, e.xmax);
        extent.ymax = std::max(extent.ymax, e.ymax);
        ++used;
    }
    if (used == 0) extent.SetEmpty();
    return used;
}

void CLayerList::SetDrawExtent(const CDoubleRect& extent, int width, int height) {
    for (const auto& layer : m_layers) layer->SetDrawExtent(extent, width, height);
    m_grid.SetDrawExtent(extent, width, height);
    m_tracklog.SetDrawExtent(extent, width, height);
}

CLayer* CLayerList::SetEditLayer(CLayer* layer) {
    if (!layer) return nullptr;
    const int slot = EditSlot(layer->GetDisplayClass());
    if (slot < 0) return nullptr;
    CLayer* previous = m_editLayers[slot];
    if (layer->GetKind() != LayerKind::Shape) return previous;
    if (CLayer* old = m_editLayers[slot]) {
        m_editLayers[slot] = nullptr;
        if (m_currentFeatureLayer == old) SetCurrentFeature(nullptr, -1);
        if (!old->SetEditMode(false))
            ShowMapMessage(IDP_READONLY_MODE, MB_OK | MB_ICONEXCLAMATION, kBeepError,
                           {old->GetName()});
    }
    layer->SetVisible(true);
    if (layer->SetEditMode(true))
        m_editLayers[slot] = layer;
    else
        ShowMapMessage(IDP_WRITE_MODE, MB_OK | MB_ICONERROR, kBeepError, {layer->GetName()});
    return previous;
}

CLayer* CLayerList::GetEditLayer(DisplayClass displayClass) const {
    const int slot = EditSlot(displayClass);
    return slot < 0 ? nullptr : m_editLayers[slot];
}

CLayer* CLayerList::ClearEditLayer(DisplayClass displayClass) {
    const int slot = EditSlot(displayClass);
    if (slot < 0) return nullptr;
    CLayer* layer = m_editLayers[slot];
    m_editLayers[slot] = nullptr;
    if (!layer) return nullptr;
    if (m_currentFeatureLayer == layer) SetCurrentFeature(nullptr, -1);
    if (!layer->SetEditMode(false))
        ShowMapMessage(IDP_READONLY_MODE, MB_OK | MB_ICONEXCLAMATION, kBeepError,
                       {layer->GetName()});
    return layer;
}

bool CLayerList::MoveLayer(CLayer* layer, int index) {
    const int from = IndexOf(layer);
    if (from < 0) return false;
    const int to = std::clamp(index, 0, GetCount() - 1);
    std::unique_ptr<CLayer> held = std::move(m_layers[static_cast<size_t>(from)]);
    m_layers.erase(m_layers.begin() + from);
    m_layers.insert(m_layers.begin() + to, std::move(held));
    return true;
}

CLayer* CLayerList::LayerFromItem(int item) {
    if (item == -2) return &m_grid;
    if (item == -1) return &m_tracklog;
    return GetAt(item);
}

void CLayerList::ForgetReferences(const CLayer* layer) {
    for (auto& slot : m_editLayers)
        if (slot == layer) slot = nullptr;
    if (m_currentFeatureLayer == layer) SetCurrentFeature(nullptr, -1);
    GetShellServices()->ForgetLayer(const_cast<CLayer*>(layer));
}

bool CLayerList::RemoveLayer(CLayer* layer) {
    if (!layer || layer->GetKind() == LayerKind::System) return false;
    // The edit slots are emptied without switching edit mode off: closing
    // the layer does that (and packs).
    ForgetReferences(layer);
    int index = IndexOf(layer);
    if (index < 0) return false;
    std::unique_ptr<CLayer> owned = std::move(m_layers[static_cast<size_t>(index)]);
    m_layers.erase(m_layers.begin() + index);
    CloseWhenNoScriptRuns(std::move(owned));
    return true;
}

void CLayerList::CloseWhenNoScriptRuns(std::unique_ptr<CLayer> layer) {
    // A script may be running in the layer's own host, or hold its objects
    // on the stack (a layer removed from its own event handler): the layer
    // has left the list, and is closed and destroyed once that script has
    // returned. Without a script running this happens at once.
    std::shared_ptr<CLayer> closing(std::move(layer));
    GetScriptServices()->RunAfterScripts([closing] { closing->Close(); });
}

void CLayerList::SetCurrentFeature(CLayer* layer, int record) {
    m_currentFeatureLayer = layer;
    m_currentFeatureRecord = record;
}

void CLayerList::SetMapCoordSys(CCoordSys* coordSys) {
    m_grid.SetCoordSys(coordSys);
    m_tracklog.SetCoordSys(coordSys);
}

int CLayerList::FindByName(WStringView name) const {
    if (name.size() == 10 && name.front() == u'$' && name.back() == u'$') {
        uint32_t handle = 0;
        for (size_t i = 1; i < 9; ++i) {
            int d = text::HexDigit(name[i]);
            if (d < 0) break;
            handle = handle * 16 + static_cast<uint32_t>(d);
        }
        for (size_t i = 0; i < m_layers.size(); ++i)
            if (m_layers[i]->GetKind() == LayerKind::Extension && m_layers[i]->GetExtensionHandle() == handle)
                return static_cast<int>(i);
        return -1;
    }
    for (size_t i = 0; i < m_layers.size(); ++i)
        if (text::EqualsNoCase(m_layers[i]->GetName(), name)) return static_cast<int>(i);
    return -1;
}

int CLayerList::FindByPath(WStringView title) const {
    for (size_t i = 0; i < m_layers.size(); ++i)
        if (m_layers[i]->GetCategory() == LayerCategory::Feature &&
            text::EqualsNoCase(m_layers[i]->GetDatasetPath().GetTitle(), title))
            return static_cast<int>(i);
    return -1;
}

CLayer* CLayerList::FindByHandle(uint32_t handle) const {
    if (handle == 0) return nullptr;
    for (const auto& layer : m_layers)
        if (layer->GetExtensionHandle() == handle) return layer.get();
    return nullptr;
}

void CLayerList::InvalidateAll() {
    for (const auto& layer : m_layers) layer->SetRefresh(true);
}

bool CLayerList::AnyHasHyperlink() const {
    for (const auto& layer : m_layers)
        if (layer->HasHyperlink()) return true;
    return false;
}

bool CLayerList::AnyIdentifiable() const {
    for (const auto& layer : m_layers)
        if (layer->GetIdentify()) return true;
    return false;
}
