// The program's main window: the single-document frame around the map view
// with the status bar, the command-bar strip, the global bookmarks, the
// frame-level commands, and the window extensions, other programs and the
// auxiliary port send their messages to.
#pragma once

#include <memory>
#include <vector>

#include "core/double_rect.h"
#include "map/layers/bookmarks.h"
#include "map/services/gps.h"
#include "map/services/main_window.h"
#include "platform/gdi/gdi.h"
#include "platform/win/frame_wnd.h"
#include "shell/config/configuration.h"
#include "shell/shell_messages.h"

class CCommandBars;
class IBarExtensions;
class CFrameBarsHost;
class CLayer;
class CMapDoc;
class CMapView;
class CRecentFileList;
class CXmlNode;
class IScriptHost;

// Script event ids of the Application object the frame fires.
constexpr int kEventOnShutdown = 2;
constexpr int kEventOnTimer = 30;
constexpr int kEventOnExEvent = 39;

// What the frame needs of the application and of work that comes with
// other parts of the program: creation steps it runs, the Application's
// script events, the ports, and the dialogs of its commands. Every member
// has a default that does nothing (or reports "none"), so the frame runs
// without them; tests record the calls.
class IMainFrameHost {
public:
    virtual ~IMainFrameHost() = default;
    // Creation step 4 and 5.
    virtual void LoadExtensions(HWND frame) { (void)frame; }
    // The loaded extension modules as the bars show them (null: none).
    virtual IBarExtensions* GetBarExtensions() { return nullptr; }
    virtual void ShowSplash(HWND frame) { (void)frame; }
    // The configuration's root element while start-up runs, else null.
    virtual const CXmlNode* GetConfigurationRoot() { return nullptr; }
    // The Application object fires an event (ThisEvent's ID for 39).
    virtual void FireApplicationEvent(int eventId, int id) { (void)eventId, (void)id; }
    // The global script host (null before it exists).
    virtual IScriptHost* GetScriptHost() { return nullptr; }
    // The id of the Application Timer object's window timer.
    virtual UINT GetScriptTimerId() { return 10101; }
    // The global script host runs a text (WM_COPYDATA kind 1).
    virtual void ExecuteScriptText(const WString& text) { (void)text; }
    // Writes to the GPS or auxiliary port; false (nothing written) while it
    // is closed.
    virtual bool WriteGpsPort(const uint8_t* data, size_t size) {
        (void)data, (void)size;
        return false;
    }
    virtual bool WriteAuxPort(const uint8_t* data, size_t size) {
        (void)data, (void)size;
        return false;
    }
    // The auxiliary port (null while closed) and its received data.
    virtual IGpsPort* GetAuxPort() { return nullptr; }
    virtual void OnAuxData(WPARAM data) { (void)data; }
    // The recent-layer list (null: none).
    virtual CRecentFileList* GetRecentLayers() { return nullptr; }
    // The application opens a map document (the Open Map command).
    virtual void OpenMap(const WString& path) { (void)path; }
    // The options sheet: true on OK. Afterwards the frame tells the view.
    virtual bool RunOptions() { return false; }
    // The language library again for a changed locale; the program font.
    virtual void SelectLocaleResources() {}
    virtual void ResetProgramFont() {}
    // Dialogs of the frame's commands: the chosen paths (Add Layer), the
    // created shapefile (New Layer), the new workspace file (Add Internet
    // Server); empty when cancelled.
    virtual std::vector<WString> AddLayerDialog(HWND parent) {
        (void)parent;
        return {};
    }
    virtual WString NewLayerDialog(HWND parent) {
        (void)parent;
        return {};
    }
    virtual WString AddInternetServerDialog(HWND parent) {
        (void)parent;
        return {};
    }
    virtual void ScriptEditorDialog(HWND parent) { (void)parent; }
    virtual void MapInformationDialog(HWND parent, CMapDoc* doc) { (void)parent, (void)doc; }
    // Help with the application's help file.
    virtual void ShowHelp() {}
};

// What start-up asks of the main frame beyond the configuration.
class IAppMainFrame {
public:
    virtual ~IAppMainFrame() = default;
    // The application keys that have a bound command are associated with
    // the main window.
    virtual void AssociateApplicationKeys() = 0;
};

class CMainFrame : public win::FrameWnd, public IMainWindow, public IConfigFrame, public IAppMainFrame {
public:
    // Status bar panes and their indicator ids.
    static constexpr UINT kStatusBarId = 59393;
    static constexpr DWORD kStatusBarStyle = 0x50008200;
    static constexpr UINT kPaneIds[4] = {0, 11001, 11000, 11002};
    static constexpr int kPaneWidths[4] = {17, 120, 50, 8};
    // Frame commands.
    enum : UINT {
        kCmdNewLayer = 1000,
        kCmdOptions = 1027,
        kCmdAddLayer = 1029,
        kCmdMapvault = 1032,
        kCmdAddInternetServer = 1033,
        kCmdOptions2 = 1034,
        kCmdScriptEditor = 1037,
        kCmdToggleStatusBar = 1038,
        kCmdMapProperties = 1073,
        kCmdTogglePanFrame = 1074,
        kCmdOpenMap = 57601,
        kCmdSaveMap = 57603,
        kCmdSaveMapAs = 57604,
        kCmdFirstRecentMap = 57616,
        kCmdLastRecentMap = 57631,
        kCmdExit = 57665,
        kCmdHelp = 57670,
        kCmdShowDrawBar = 1035,
    };
    static constexpr const WChar* kOpenMapFilter =
        u"Zarnip Map Documents|*.znm|Shapefiles|*.shp|MrSID Files|*.sid|JPEG Files|*.jpg|Bitmap "
        u"Files|*.bmp;*.2bp|All Files|*.*||";
    static constexpr const WChar* kMapvaultUrl = u"https://mapvault.zarnip.example/";

    // The host may be null (every step then does nothing).
    explicit CMainFrame(IMainFrameHost* host = nullptr);
    ~CMainFrame() override;

    // The one main frame, from construction to destruction.
    static CMainFrame* GetMainFrame();
    // The window class of the single-instance guard to create with.
    static void SetInstanceClassName(WStringView name);

    // ---- the status bar ----
    void SetStatusText(const WChar* text) override;
    // printf-style, cut to kStatusTextMax characters.
    void SetStatusTextF(const WChar* format, ...);
    void SetStatusTextId(UINT stringId);
    void SetModeIndicator(int index) override;
    void SetScaleText(unsigned scale) override;
    void ShowStatusBar(bool show) override;
    void ShowStatusBar(bool show, int, int) { ShowStatusBar(show); }
    bool IsStatusBarShown() override;
    void HideStatusPane(int index);
    // The STATUSBAR element of the configuration (null: keeps the panes).
    void ApplyStatusBarConfig(const CXmlNode* element) override;
    // A TOOLBARS element: the bars of the configuration or an applet.
    void LoadToolbars(const CXmlNode* toolbars, IScriptHost* host) override;
    HWND GetMainStatusBar() override { return m_statusBar; }
    // Start-up: the bound application keys go to this window.
    void AssociateApplicationKeys() override;
    // Pane 1 (the StatusBar object, the map server's progress).
    void SetPaneText(int pane, const WString& text);
    WString GetPaneText(int pane) const;
    int GetPaneWidth(int pane) const;
    // A pane's width in the frame's units, laid out at once.
    void SetPaneWidth(int pane, int width);
    // A pane's style bits as the status bar's owner keeps them (borders 0x100
    // and pop-out 0x200 reach the pane's text; the rest is kept as given).
    DWORD GetPaneStyle(int pane) const { return pane >= 0 && pane < 4 ? m_paneStyles[pane] : 0; }
    void SetPaneStyle(int pane, DWORD style);
    int GetPaneCount() const { return 4; }
    bool IsScalePaneEnabled() const { return m_scalePaneEnabled; }
    bool IsRockerPaneEnabled() const { return m_rockerPaneEnabled; }

    // ---- the map ----
    void RefreshView() override;
    // The open layer of that dataset, else a new one; null when it cannot
    // be added.
    CLayer* AddLayerFile(const WString& path);
    void RefreshEditToolbar() override;
    CMapView* GetMapView() const;
    CMapDoc* GetMapDoc() const;

    // ---- IMainWindow ----
    void SetToolButtonImage(UINT commandId) override;
    bool IsToolBarShown(ToolBar bar) override;
    void UpdateToolBarStates(ToolBar bar) override;
    bool IsToolBarButtonEnabled(ToolBar bar, int index) override;
    void SetToolBarButton(ToolBar bar, int index, UINT commandId, int image) override;
    void FireCommandEvent(UINT commandId, int eventId) override;
    int RunBoundKeyCommand(int slot, int reserved) override;
    CBookmarkList& GetBookmarks() override { return m_bookmarks; }
    bool GetViewExtent(CDoubleRect& extent) override;
    void AddToRecentDocuments(WStringView path) override;
    LRESULT OnGpsPosition(GpsPosition* position) override;

    // ---- framework ----
    bool PreCreateWindow(CREATESTRUCT& cs, WString& className) override;
    int OnCreate(CREATESTRUCT* cs) override;
    void RecalcLayout() override;
    void OnIdleUpdateCmdUI() override;
    bool OnCmdMsg(UINT id, int code, CCmdUI* ui) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    CCommandBars* GetCommandBars() const { return m_bars.get(); }
    IMainFrameHost& GetHost() { return *m_host; }

    // The extension services (message 0x8102); each returns 1, or 0 for a
    // bad layer index, a negative count or a null array.
    static int ServiceLayerToMap(int layer, const double* in, int count, double* out);
    static int ServiceMapToLayer(int layer, const double* in, int count, double* out);
    static int ServiceLayerToScreen(int layer, const double* in, int count, int32_t* out);
    static int ServiceScreenToLayer(int layer, const int32_t* in, int count, double* out);
    static int ServiceColorPicker(HWND parent, COLORREF* colour);
    static int ServiceChooseFont(HWND parent, LOGFONT* font);

private:
    void CreateStatusBar();
    void OnOpenMap();
    void OnOpenRecentMap(int entry);
    void OnAddLayer();
    void OnNewLayer();
    void OnOptions();
    void OnAddInternetServer();
    void OnMapvault();
    void OnToggleStatusBar();
    void OnTogglePanFrame();
    LRESULT OnCopyData(const COPYDATASTRUCT* data);
    LRESULT OnAuxData(WPARAM wParam, LPARAM lParam);
    void AddLayersAndZoom(const std::vector<WString>& paths);

    std::unique_ptr<IMainFrameHost> m_defaultHost;
    IMainFrameHost* m_host;
    HWND m_statusBar = nullptr;
    std::unique_ptr<CFrameBarsHost> m_barsHost;
    std::unique_ptr<CCommandBars> m_bars;
    CBookmarkList m_bookmarks;
    int m_paneWidths[4] = {17, 120, 0, 8};
    DWORD m_paneStyles[4] = {};
    // Pixels the scale pane's text needs in the status bar's font; the
    // pane is never narrower, so no digit of the scale is cut.
    int m_scaleTextPixels = 0;
    bool m_scalePaneEnabled = true;
    bool m_rockerPaneEnabled = true;
};
