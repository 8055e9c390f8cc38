// The ordered layers of a map, head (top of the map) to tail (bottom), with
// the map grid and the GPS tracklog embedded beside them, the edit layer of
// each editable display class and the current feature.
#pragma once

#include <memory>
#include <vector>

#include "map/layers/layer.h"
#include "map/layers/system_layer.h"
#include "map/layers/tracklog_layer.h"

class CLayerList {
public:
    CLayerList();
    ~CLayerList();
    CLayerList(const CLayerList&) = delete;
    CLayerList& operator=(const CLayerList&) = delete;

    int GetCount() const { return static_cast<int>(m_layers.size()); }
    // Null when the index is out of range.
    CLayer* GetAt(int index) const;
    int IndexOf(const CLayer* layer) const;
    // The list takes the layer; the layer as it is held.
    template <class Layer>
    Layer* AddHead(std::unique_ptr<Layer> layer) {
        Layer* held = layer.get();
        Insert(0, std::move(layer));
        return held;
    }
    template <class Layer>
    Layer* AddTail(std::unique_ptr<Layer> layer) {
        Layer* held = layer.get();
        Insert(GetCount(), std::move(layer));
        return held;
    }

    // Closes and deletes every layer, clears edit layers and the current
    // feature, hides the grid and the tracklog.
    void RemoveAll();
    // Union of layer extents, of every category or of one; the number of
    // layers used.
    int GetFullExtent(CDoubleRect& extent, bool visibleOnly);
    int GetFullExtent(CDoubleRect& extent, bool visibleOnly, LayerCategory category);
    void SetDrawExtent(const CDoubleRect& extent, int width, int height);
    // The previous edit layer of the layer's class.
    CLayer* SetEditLayer(CLayer* layer);
    CLayer* GetEditLayer(DisplayClass displayClass) const;
    CLayer* ClearEditLayer(DisplayClass displayClass);
    // -2 the grid, -1 the tracklog, else a list position.
    CLayer* LayerFromItem(int item);
    bool RemoveLayer(CLayer* layer);
    // Moves a layer of the list to `index` (clamped to the list); false when
    // the list does not hold it.
    bool MoveLayer(CLayer* layer, int index);
    void SetCurrentFeature(CLayer* layer, int record);
    CLayer* GetCurrentFeatureLayer() const { return m_currentFeatureLayer; }
    // 0-based record index, -1 none.
    int GetCurrentFeatureRecord() const { return m_currentFeatureRecord; }
    void SetMapCoordSys(CCoordSys* coordSys);
    int FindByName(WStringView name) const;
    int FindByPath(WStringView title) const;
    CLayer* FindByHandle(uint32_t handle) const;
    void InvalidateAll();
    bool AnyHasHyperlink() const;
    bool AnyIdentifiable() const;

    CGridLayer& GetGrid() { return m_grid; }
    CTracklogLayer& GetTracklog() { return m_tracklog; }
    bool IsReady() const { return m_ready; }
    // Set by the Layers dialog, read by the view, cleared when a map is
    // opened or reset.
    bool m_layersChanged = false;

private:
    void Insert(int index, std::unique_ptr<CLayer> layer);
    int FullExtent(CDoubleRect& extent, bool visibleOnly, const LayerCategory* category);
    void ForgetReferences(const CLayer* layer);
    static void CloseWhenNoScriptRuns(std::unique_ptr<CLayer> layer);

    std::vector<std::unique_ptr<CLayer>> m_layers;
    CGridLayer m_grid;
    CTracklogLayer m_tracklog;
    CLayer* m_editLayers[3] = {nullptr, nullptr, nullptr};
    CLayer* m_currentFeatureLayer = nullptr;
    int m_currentFeatureRecord = -1;
    bool m_ready = false;
};
