#include "shell/extensions/extension_bars.h"

#include <algorithm>
#include <cstdio>

#include "map/layers/layer_list.h"
#include "shell/extensions/ext_feature_layer.h"
#include "shell/extensions/extensions.h"

int CExtensionBars::GetCount() {
    const int count = m_list.GetCount();
    if (count > kMaxBarExtensions && !m_toldExtensions) {
        m_toldExtensions = true;
        std::fprintf(stderr, "zarnip: %d extensions loaded; the menus show the first %d\n", count,
                     kMaxBarExtensions);
    }
    return std::min(count, kMaxBarExtensions);
}

WString CExtensionBars::GetName(int extension) {
    CExtension* e = m_list.GetAt(extension);
    return e ? e->GetName() : WString();
}

int CExtensionBars::GetToolCount(int extension) {
    CExtension* e = m_list.GetAt(extension);
    if (!e) return 0;
    const int count = e->GetToolCount();
    if (count > kMaxBarTools) {
        if (m_toldTools.size() <= static_cast<size_t>(extension)) m_toldTools.resize(extension + 1);
        if (!m_toldTools[extension]) {
            m_toldTools[extension] = true;
            std::fprintf(stderr, "zarnip: extension %s has %d tools; the menus show the first %d\n",
                         text::ToUtf8(e->GetName()).c_str(), count, kMaxBarTools);
        }
    }
    return std::min(count, kMaxBarTools);
}

DWORD CExtensionBars::GetToolType(int extension, int tool) {
    CExtension* e = m_list.GetAt(extension);
    if (!e) return 0;
    // The icon is asked for as the menus are built; the menus show text only.
    e->GetToolIcon(tool);
    return e->GetToolType(tool);
}

WString CExtensionBars::GetToolName(int extension, int tool) {
    CExtension* e = m_list.GetAt(extension);
    return e ? e->GetToolName(tool) : WString();
}

std::vector<IBarExtensions::Layer> CExtensionBars::GetLayers(int extension) {
    std::vector<Layer> layers;
    CExtension* e = m_list.GetAt(extension);
    CLayerList* list = m_list.GetLayerList();
    if (!e || !list) return layers;
    for (int i = 0; i < list->GetCount(); ++i) {
        CLayer* layer = list->GetAt(i);
        if (ExtensionOfLayer(layer) == e) layers.push_back({i, layer->GetName()});
    }
    return layers;
}

DWORD CExtensionBars::GetLayerHandle(int layerIndex) {
    CLayerList* list = m_list.GetLayerList();
    CLayer* layer = list && layerIndex >= 0 && layerIndex < list->GetCount() ? list->GetAt(layerIndex) : nullptr;
    return layer ? layer->GetExtensionHandle() : 0;
}

int CExtensionBars::RunTool(int extension, int tool, HWND mainWindow, DWORD layerHandle, CDoubleRect* extent) {
    CExtension* e = m_list.GetAt(extension);
    return e ? e->RunTool(tool, mainWindow, layerHandle, extent) : 0;
}

void CExtensionBars::ShowAbout(int extension, HWND parent) {
    if (CExtension* e = m_list.GetAt(extension)) e->DialogAbout(parent);
}
