// The command-bar tests' frame: a top-level window that hands its notices,
// owner-drawn menu items and key-ups to the bars and records the commands
// that reach it; a host of the bars with a map tool, recent lists and layer
// names; a recording extension list and script services.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/mru_list.h"
#include "core/xml_node.h"
#include "map/services/script_events.h"
#include "platform/win/commctrl.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "shell/config/configuration.h"
#include "shell/frame/bar_controls.h"
#include "shell/frame/command_bars.h"
#include "shell_doubles.h"

// The extension modules as a table of tools; records the tool calls.
class CFakeExtensions : public IBarExtensions {
public:
    struct Tool {
        WString name;
        DWORD type;
    };
    struct Module {
        WString name;
        std::vector<Tool> tools;
        std::vector<Layer> layers;
    };
    std::vector<Module> modules;
    std::vector<DWORD> layerHandles;  // by the map's layer index
    struct Run {
        int extension, tool;
        HWND main;
        DWORD layer;
        CDoubleRect extent;
        const CDoubleRect* address;
    };
    std::vector<Run> runs;
    std::vector<int> abouts;

    int GetCount() override { return static_cast<int>(modules.size()); }
    WString GetName(int e) override { return modules[static_cast<size_t>(e)].name; }
    int GetToolCount(int e) override { return static_cast<int>(modules[static_cast<size_t>(e)].tools.size()); }
    DWORD GetToolType(int e, int t) override { return modules[static_cast<size_t>(e)].tools[static_cast<size_t>(t)].type; }
    WString GetToolName(int e, int t) override { return modules[static_cast<size_t>(e)].tools[static_cast<size_t>(t)].name; }
    std::vector<Layer> GetLayers(int e) override { return modules[static_cast<size_t>(e)].layers; }
    DWORD GetLayerHandle(int index) override {
        return index >= 0 && static_cast<size_t>(index) < layerHandles.size() ? layerHandles[static_cast<size_t>(index)] : 0;
    }
    int RunTool(int e, int t, HWND main, DWORD layer, CDoubleRect* extent) override {
        runs.push_back(Run{e, t, main, layer, *extent, extent});
        return 40 + t;
    }
    void ShowAbout(int e, HWND) override { abouts.push_back(e); }
};

// What the bars ask of the frame and the view.
class CFakeBarsHost : public ICommandBarsHost {
public:
    HWND frame = nullptr;
    int tool = 0;
    int layouts = 0, editBarUpdates = 0;
    CDoubleRect extent{1, 2, 3, 4};
    std::vector<WString> recentMaps, layerNames, bookmarks;
    CMruList recentLayers{u"Recent Layer List", u"Layer%d", 9};
    std::vector<WString> added;
    bool addSucceeds = true;
    IScriptHost* globalHost = nullptr;
    CFakeExtensions* extensions = nullptr;

    HWND GetFrameWindow() override { return frame; }
    void RecalcLayout() override { ++layouts; }
    IScriptHost* GetGlobalScriptHost() override { return globalHost; }
    int GetCurrentTool() override { return tool; }
    void SetCurrentTool(int t) override { tool = t == tool ? 0 : t; }
    void UpdateEditBars() override { ++editBarUpdates; }
    bool GetViewExtent(CDoubleRect& e) override {
        e = extent;
        return true;
    }
    std::vector<WString> GetRecentMaps() override { return recentMaps; }
    CMruList* GetRecentLayers() override { return &recentLayers; }
    std::vector<WString> GetLayerNames() override { return layerNames; }
    std::vector<WString> GetBookmarkNames() override { return bookmarks; }
    bool AddLayerFile(const WString& path) override {
        if (addSucceeds) added.push_back(path);
        return addSucceeds;
    }
    IBarExtensions* GetExtensions() override { return extensions; }
};

// Script services that record the events fired.
class CRecordingEvents : public CJournalScriptServices {
public:
    struct Fired {
        IDispatch* source;
        int event;
    };
    std::vector<Fired> fired;
    void FireScriptEvent(IDispatch* source, int event, bool, int) override { fired.push_back(Fired{source, event}); }
};

class BarsTest : public ShellTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the bars with a configuration text (empty: none), then applies
    // its TOOLBARS as start-up does.
    void Build(const std::string& config = {});
    // The commands the frame window received, in order (after draining
    // the queue).
    std::vector<UINT> Commands();
    CToolBarExt* Bar(UINT id);
    std::vector<UINT> ButtonIds(CToolBarExt* bar);
    // The report's lines as narrow text.
    std::vector<std::string> ReportLines() const;

    CFakeBarsHost host_;
    CFakeExtensions extensions_;
    CRecordingEvents events_;
    std::vector<std::string> journal_;
    std::unique_ptr<IScriptHost> scriptHost_;
    CConfigurationReport report_;
    std::unique_ptr<CCommandBars> bars_;
    std::unique_ptr<CXmlDocument> doc_;
};

// The frame window's procedure hands everything for the bars to this one.
extern CCommandBars* g_frameBars;
extern std::vector<UINT> g_frameCommands;
// Runs once a pop-up menu of the frame is showing and idle (start the timer
// kWhileMenuOpenTimer of the frame before tracking).
constexpr UINT kWhileMenuOpenTimer = 77;
extern std::function<void()> g_whileMenuOpen;
