// The main frame's side of the command bars: what the bars ask of the
// frame, its view and its document.
#pragma once

#include "shell/frame/command_bars.h"

class CMainFrame;

class CFrameBarsHost : public ICommandBarsHost {
public:
    explicit CFrameBarsHost(CMainFrame& frame) : m_frame(frame) {}
    HWND GetFrameWindow() override;
    void RecalcLayout() override;
    IScriptHost* GetGlobalScriptHost() override;
    int GetCurrentTool() override;
    void SetCurrentTool(int tool) override;
    void UpdateEditBars() override;
    void UpdateAllViews() override;
    bool GetViewExtent(CDoubleRect& extent) override;
    std::vector<WString> GetRecentMaps() override;
    CMruList* GetRecentLayers() override;
    std::vector<WString> GetLayerNames() override;
    std::vector<WString> GetBookmarkNames() override;
    bool AddLayerFile(const WString& path) override;
    IBarExtensions* GetExtensions() override;

private:
    CMainFrame& m_frame;
};
