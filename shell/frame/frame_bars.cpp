#include "shell/frame/frame_bars.h"

#include "core/recent_file_list.h"
#include "map/layers/layer.h"
#include "map/layers/map_doc.h"
#include "map/view/map_view.h"
#include "shell/frame/main_frame.h"

HWND CFrameBarsHost::GetFrameWindow() {
    return m_frame.GetSafeHwnd();
}

void CFrameBarsHost::RecalcLayout() {
    if (CCommandBars* bars = m_frame.GetCommandBars())
        if (HWND strip = bars->GetStripWindow())
            m_frame.SetControlBarAlignment(strip, bars->GetStripAlignment());
    m_frame.RecalcLayout();
}

IScriptHost* CFrameBarsHost::GetGlobalScriptHost() {
    return m_frame.GetHost().GetScriptHost();
}

int CFrameBarsHost::GetCurrentTool() {
    CMapView* view = m_frame.GetMapView();
    return view ? static_cast<int>(view->GetCurrentTool()) : 0;
}

void CFrameBarsHost::SetCurrentTool(int tool) {
    if (CMapView* view = m_frame.GetMapView()) view->SetCurrentTool(static_cast<MapToolId>(tool));
}

void CFrameBarsHost::UpdateEditBars() {
    if (CMapView* view = m_frame.GetMapView()) view->UpdateEditToolbars();
}

void CFrameBarsHost::UpdateAllViews() {
    if (CMapDoc* doc = m_frame.GetMapDoc()) doc->UpdateAllViews(nullptr, 0);
}

bool CFrameBarsHost::GetViewExtent(CDoubleRect& extent) {
    return m_frame.GetViewExtent(extent);
}

std::vector<WString> CFrameBarsHost::GetRecentMaps() {
    win::App* app = win::App::Current();
    auto* list = app ? dynamic_cast<CRecentFileList*>(app->GetRecentFileList()) : nullptr;
    return list ? list->GetEntries() : std::vector<WString>{};
}

CMruList* CFrameBarsHost::GetRecentLayers() {
    return m_frame.GetHost().GetRecentLayers();
}

std::vector<WString> CFrameBarsHost::GetLayerNames() {
    std::vector<WString> names;
    if (CMapDoc* doc = m_frame.GetMapDoc())
        for (int i = 0; i < doc->GetLayers().GetCount(); ++i) names.push_back(doc->GetLayers().GetAt(i)->GetName());
    return names;
}

std::vector<WString> CFrameBarsHost::GetBookmarkNames() {
    std::vector<WString> names;
    CBookmarkList& list = m_frame.GetBookmarks();
    for (int i = 0; i < list.GetCount(); ++i) names.push_back(list.GetAt(i)->m_name);
    return names;
}

bool CFrameBarsHost::AddLayerFile(const WString& path) {
    return m_frame.AddLayerFile(path) != nullptr;
}

IBarExtensions* CFrameBarsHost::GetExtensions() { return m_frame.GetHost().GetBarExtensions(); }
