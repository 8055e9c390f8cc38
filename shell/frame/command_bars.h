// The main window's command bars: the strip with the built-in "main",
// "browse" and "draw" bars and the bars of the configuration file and the
// applets, their drop-down menus, the configured commands with their script
// objects, the hardware-key bindings and the routing of the commands they
// give. The main frame owns one CCommandBars and calls it at creation, for
// its commands and notifications, at idle time, for keys and at
// destruction.
#pragma once

#include <memory>
#include <vector>

#include "core/double_rect.h"
#include "platform/com/com.h"
#include "platform/text/text.h"
#include "platform/types.h"
#include "platform/win/command.h"
#include "core/stylus.h"
#include "shell/frame/image_menu.h"

class CConfigurationReport;
class CMruList;
class CReBarExt;
class CToolBarExt;
class CXmlNode;
class IScriptHost;

// Command id ranges and the private numbers of the bars.
constexpr UINT kFirstConfiguredCommand = 9000;
constexpr UINT kLastConfiguredCommand = 9199;  // 200 commands per run
constexpr UINT kFirstConfiguredBar = 9200;
constexpr UINT kLastConfiguredBar = 9299;  // 100 bars per run
constexpr UINT kFirstRecentLayer = 3801;
constexpr UINT kLastRecentLayer = 3816;
constexpr UINT kFirstRecentMap = 57616;
constexpr UINT kFirstLayerName = 2100;
constexpr UINT kFirstBookmark = 2200;
constexpr UINT kFirstExtensionAbout = 2400;
constexpr UINT kLastExtensionAbout = 2499;
constexpr UINT kFirstExtensionTool = 30000;
constexpr UINT kLastExtensionTool = 30255;
constexpr UINT kMainBarId = 128;
constexpr UINT kBrowseBarId = 129;
constexpr UINT kDrawBarId = 130;
constexpr UINT kStripId = 59396;
// A configured map tool's number is its command id plus this.
constexpr int kConfiguredToolOffset = 1000;
// The button style bit every button of a bar on a vertical strip gets.
constexpr DWORD kButtonWrapStyle = 0x200;

// What an extension tool's type says (low 16 bits the kind, bits 16 to 23
// the class).
constexpr int kToolKindCommand = 0;
constexpr int kToolKindLayer = 256;
constexpr int kToolKindLayerRun = 257;
constexpr int kToolClassGeneral = 0;
constexpr int kToolClassFind = 1;

// The loaded extension modules as the bars and menus see them: names, tools,
// their layers and the tool and About calls. The extension list implements
// it; tests use a recording fake.
class IBarExtensions {
public:
    virtual ~IBarExtensions() = default;
    virtual int GetCount() = 0;
    virtual WString GetName(int extension) = 0;
    virtual int GetToolCount(int extension) = 0;
    // Bits 0 to 15 the kind, 16 to 23 the class.
    virtual DWORD GetToolType(int extension, int tool) = 0;
    virtual WString GetToolName(int extension, int tool) = 0;
    // The map's layers that belong to the extension: their indexes in the
    // map's layer list and names.
    struct Layer {
        int index;
        WString name;
    };
    virtual std::vector<Layer> GetLayers(int extension) = 0;
    // The extension layer handle of the map's layer at the index, 0 when it
    // has none.
    virtual DWORD GetLayerHandle(int layerIndex) = 0;
    // Calls the tool entry point; 0 when the module has none.
    virtual int RunTool(int extension, int tool, HWND mainWindow, DWORD layerHandle,
                        CDoubleRect* extent) = 0;
    virtual void ShowAbout(int extension, HWND parent) = 0;
};

// What the bars ask of the main frame, the map view and the document. The
// frame implements it; what the frame does not have yet keeps the default.
class ICommandBarsHost {
public:
    virtual ~ICommandBarsHost() = default;
    // The frame window: parent of the strip and target of the commands.
    virtual HWND GetFrameWindow() = 0;
    // Lays out the frame again after the strip changed.
    virtual void RecalcLayout() {}
    // The global script host, where configured commands are registered when
    // the caller names none.
    virtual IScriptHost* GetGlobalScriptHost() { return nullptr; }
    // The map view's current tool; choosing the current tool again clears it.
    virtual int GetCurrentTool() { return 0; }
    virtual void SetCurrentTool(int tool) { (void)tool; }
    // The view re-evaluates the edit bars; all views redraw.
    virtual void UpdateEditBars() {}
    virtual void UpdateAllViews() {}
    // The view's current extent; false without a view.
    virtual bool GetViewExtent(CDoubleRect& extent) {
        (void)extent;
        return false;
    }
    // The lists the drop-down menus show.
    virtual std::vector<WString> GetRecentMaps() { return {}; }
    virtual CMruList* GetRecentLayers() { return nullptr; }
    virtual std::vector<WString> GetLayerNames() { return {}; }
    virtual std::vector<WString> GetBookmarkNames() { return {}; }
    // Adds a layer from its path (refreshing the view and marking the
    // document modified); false when no layer results.
    virtual bool AddLayerFile(const WString& path) {
        (void)path;
        return false;
    }
    virtual IBarExtensions* GetExtensions() { return nullptr; }
};

class CScriptToolItem;

// Makes the script objects of configured commands. The script module
// installs one; without it a command's object is a plain counted object.
class IToolItemObjectFactory {
public:
    virtual ~IToolItemObjectFactory() = default;
    // The command's object, one reference for the record.
    virtual IDispatch* CreateToolItemObject(CScriptToolItem* item) = 0;
    // The record goes away: its object (which scripts may still hold) lets go of it.
    virtual void ForgetToolItem(IDispatch* object) = 0;
};
void SetToolItemObjectFactory(IToolItemObjectFactory* factory);

// One configured command (button or menu item) and its script object.
class CScriptToolItem {
public:
    CScriptToolItem(UINT id, WString name);
    ~CScriptToolItem();
    CScriptToolItem(const CScriptToolItem&) = delete;
    CScriptToolItem& operator=(const CScriptToolItem&) = delete;

    UINT GetId() const { return m_id; }
    const WString& GetName() const { return m_name; }
    IDispatch* GetDispatch() const { return m_object; }

    bool m_mapTool = false;
    bool m_enabled = true;
    bool m_checked = false;
    // The bar (null for a menu item) or the menu that shows the command.
    CToolBarExt* m_bar = nullptr;
    CImageMenu* m_menu = nullptr;

private:
    UINT m_id;
    WString m_name;
    IDispatch* m_object;
};

// One bar of the strip.
class CCommandBarInfo {
public:
    WString m_name;
    WString m_caption;  // empty for the built-in bars
    CToolBarExt* m_bar = nullptr;
    // The drop-down menus of the bar's buttons (configured bars).
    std::vector<std::unique_ptr<CImageMenu>> m_menus;
    bool m_builtIn = false;
};

class CCommandBars : public CCmdTarget {
public:
    explicit CCommandBars(ICommandBarsHost& host);
    ~CCommandBars() override;
    CCommandBars(const CCommandBars&) = delete;
    CCommandBars& operator=(const CCommandBars&) = delete;

    // Where problems of the configuration are reported; without one, the
    // application's report.
    void SetReport(CConfigurationReport* report) { m_report = report; }

    // ---- creation and destruction ----
    // The frame's creation step: docks the strip as TOOLBARS "align" says,
    // creates it and the built-in bars the configuration asks for (the
    // configuration's root element, or null). False when the strip or a
    // built-in bar could not be made; the bars made so far stay.
    bool BuildCommandBars(const CXmlNode* configRoot);
    // Applies a TOOLBARS element (of the configuration or an applet): the
    // built-in bars' "visible" and "style", then the configured bars. The
    // caller has run the element's own scripts. Host null: the global host.
    // `folder` is where image files named without a folder are looked for.
    void LoadToolbars(const CXmlNode* toolbars, IScriptHost* host, const WString& folder = {});
    // Destroys the configured bars, menus and commands (the frame's
    // destruction); the built-in bars go with the frame's windows.
    void Destroy();

    // ---- the frame's messages ----
    // Commands and their update (CCmdTarget): configured commands, bar
    // toggles, recent layers, extension About boxes; true when handled.
    bool OnCmdMsg(UINT id, int code, CCmdUI* ui) override;
    // WM_NOTIFY of a bar (drop-down taps, tooltip texts); true when handled.
    bool OnNotify(const NMHDR* header, LRESULT* result);
    // WM_MEASUREITEM and WM_DRAWITEM of the image menus; true when handled.
    bool OnOwnerDraw(UINT msg, WPARAM wParam, LPARAM lParam);
    // WM_KEYUP of the frame: application keys (virtual keys 0xC1 to 0xCA)
    // run their commands; true when one ran.
    bool OnKeyUp(UINT virtualKey);
    // The idle update: every button's enabled and checked state from the
    // command chain.
    void UpdateButtons(const std::vector<CCmdTarget*>& chain);
    // Associates the bound application keys with the main window.
    void AssociateAppKeys();

    // ---- keys ----
    // Function-key slot 0 to 23 and application-key slot 0 to 9: false for a
    // slot out of range or unbound, else the command is posted (sent when
    // `send`) and true.
    bool RunBoundKeyCommand(int slot, bool send = false);
    bool RunAppKeyCommand(int slot, bool send = false);
    UINT GetFunctionKeyCommand(int slot) const;
    UINT GetAppKeyCommand(int slot) const;
    // Binds the keys a "shortcut" text names to the command; a taken slot
    // keeps its command and message 8005 or 8001 says so.
    // A text that binds no key adds a line to the report naming the bar.
    void ParseShortcut(const WString& shortcut, UINT command, const WString& barName = {});

    // ---- bars and commands ----
    HWND GetStripWindow() const;
    // Where the strip docks (control-bar alignment and border bits); the
    // frame lays the strip out by it.
    DWORD GetStripAlignment() const { return m_alignment; }
    bool IsStripVertical() const { return m_vertical; }
    CReBarExt* GetStrip() const { return m_strip.get(); }
    CToolBarExt* GetBuiltInBar(UINT id) const;
    const std::vector<std::unique_ptr<CCommandBarInfo>>& GetBars() const { return m_bars; }
    CCommandBarInfo* FindCommandBarByName(WStringView name) const;
    CCommandBarInfo* FindCommandBarById(UINT id) const;
    CImageMenu* FindButtonMenu(CCommandBarInfo* bar, int button) const;
    CScriptToolItem* GetCommandById(UINT id) const;
    CScriptToolItem* FindCommandByName(WStringView name) const;
    // Shows or hides a bar at once, lays out the frame, updates the views
    // and lets the view re-evaluate the edit bars when the bar now shows.
    void ShowCommandBar(CToolBarExt* bar, bool show);
    // 128/1075 main, 129/1036 browse, 130/1035 draw, else a configured bar.
    void ToggleCommandBar(UINT id);
    // Button 2 of the draw bar takes the draw command and its image.
    void SetToolButtonImage(UINT drawCommand);
    // Fires a script event on a configured command's object.
    void FireCommandEvent(UINT id, int eventId);
    // Runs the extension tool of a tool menu item's data.
    int RunExtensionTool(uintptr_t itemData);
    // The built-in drop-down menu of a button, tracked at the point (screen
    // coordinates); the chosen command, 0 when none.
    UINT ShowButtonMenu(UINT command, int buttonIndex, const RECT& buttonScreen, CToolBarExt* bar);

    // The next ids the configuration would get.
    UINT GetNextCommandId() const { return m_nextCommand; }
    UINT GetNextBarId() const { return m_nextBar; }

private:
    struct Impl;
    friend struct Impl;
    ICommandBarsHost& m_host;
    CConfigurationReport* m_report = nullptr;
    std::unique_ptr<CReBarExt> m_strip;
    std::unique_ptr<CToolBarExt> m_main, m_browse, m_draw;
    std::vector<std::unique_ptr<CCommandBarInfo>> m_bars;
    std::vector<std::unique_ptr<CScriptToolItem>> m_commands;
    std::vector<std::unique_ptr<CToolBarExt>> m_configuredBars;
    UINT m_nextCommand = kFirstConfiguredCommand;
    UINT m_nextBar = kFirstConfiguredBar;
    WORD m_functionKeys[24] = {};
    WORD m_appKeys[10] = {};
    DWORD m_alignment = 0;  // control-bar alignment of the strip
    DWORD m_barStyle = 0;   // control-bar style of the bars
    bool m_vertical = false;
};
