// The loaded modules as the command bars see them: at most
// kMaxBarExtensions modules and kMaxBarTools tools of each (the menus'
// item data and About ids have no room for more), and the active map's
// layers of each module.
#pragma once

#include "shell/frame/command_bars.h"

class CExtensions;

class CExtensionBars : public IBarExtensions {
public:
    explicit CExtensionBars(CExtensions& list) : m_list(list) {}

    int GetCount() override;
    WString GetName(int extension) override;
    int GetToolCount(int extension) override;
    DWORD GetToolType(int extension, int tool) override;
    WString GetToolName(int extension, int tool) override;
    std::vector<Layer> GetLayers(int extension) override;
    DWORD GetLayerHandle(int layerIndex) override;
    int RunTool(int extension, int tool, HWND mainWindow, DWORD layerHandle, CDoubleRect* extent) override;
    void ShowAbout(int extension, HWND parent) override;

private:
    CExtensions& m_list;
    bool m_toldExtensions = false;
    std::vector<bool> m_toldTools;
};
