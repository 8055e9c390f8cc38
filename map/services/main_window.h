// What the map engine asks of the main window, the shell's forms, feature
// sheet and extensions. The shell implements these interfaces; the map
// engine reaches them through process-wide pointers, and does nothing when
// none is installed (no main window yet, or a test without one).
#pragma once

#include <functional>

#include "core/double_rect.h"
#include "include/zarnip/znex.h"
#include "map/services/view_messages.h"
#include "platform/text/text.h"
#include "platform/types.h"

class CBookmarkList;
class CFeatureLayer;
class CLayer;

// Status bar pane 0 keeps at most this many characters.
constexpr size_t kStatusTextMax = 160;

class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    // The finished text for pane 0 (callers format; null clears the pane).
    // Implementations keep at most kStatusTextMax characters.
    virtual void SetStatusText(const WChar* text) = 0;
    // Pane 3: 0 "Z", 1 "V", 2 "H".
    virtual void SetModeIndicator(int index) = 0;
    // Pane 2: "1:%u"; 0 hides the pane.
    virtual void SetScaleText(unsigned scale) = 0;
    virtual void ShowStatusBar(bool show) = 0;
    virtual bool IsStatusBarShown() = 0;
    // Invalidates the active view without erasing.
    virtual void RefreshView() = 0;
    // Command 1822, 1824 or 1827 for button 2 of the draw bar.
    virtual void SetToolButtonImage(UINT commandId) = 0;
    virtual void RefreshEditToolbar() = 0;
    // Event 7 click; 18, 19, 20 pointer down, move, up.
    virtual void FireCommandEvent(UINT commandId, int eventId) = 0;
    // Non-zero when a command bound to F1 + slot ran.
    virtual int RunBoundKeyCommand(int slot, int reserved) = 0;
    // The status bar window, null when there is none.
    virtual HWND GetMainStatusBar() = 0;
    // The one list of global and map bookmarks.
    virtual CBookmarkList& GetBookmarks() = 0;
    // The map view's current extent; false without a view.
    virtual bool GetViewExtent(CDoubleRect& extent) = 0;
    // The recent-documents list.
    virtual void AddToRecentDocuments(WStringView path) { (void)path; }
    // WM_GPS_POSITION, relayed to the active view by a send.
    virtual LRESULT OnGpsPosition(GpsPosition* position) = 0;

    // The built-in bars whose tool buttons follow the map's edit layers.
    enum class ToolBar { Browse, Draw };
    virtual bool IsToolBarShown(ToolBar bar) {
        (void)bar;
        return false;
    }
    // Every button's enabled and checked state, asked of the command chain
    // (the view first).
    virtual void UpdateToolBarStates(ToolBar bar) { (void)bar; }
    // Buttons are counted without the separators between them.
    virtual bool IsToolBarButtonEnabled(ToolBar bar, int index) {
        (void)bar, (void)index;
        return false;
    }
    // The button takes another command and image.
    virtual void SetToolBarButton(ToolBar bar, int index, UINT commandId, int image) {
        (void)bar, (void)index, (void)commandId, (void)image;
    }
};

IMainWindow* GetMainWindowServices();
void SetMainWindowServices(IMainWindow* mainWindow);

// What a layer extension reports about a file it accepts.
struct LayerExtensionInfo {
    int layerType = 0;  // 1 feature layer, 2 image layer
    HICON icon = nullptr;
    void* extension = nullptr;  // the shell's extension object
};

// Forms, the feature properties sheet, the identify window, the field
// browser, extensions and the shell's file and address opening.
class IShellServices {
public:
    virtual ~IShellServices() = default;
    // The first layer extension that accepts the file, or null.
    virtual const LayerExtensionInfo* FindLayerExtension(WStringView path) = 0;
    // Mode 1 modeless single instance, 2 edit existing, 3 edit new; the
    // record is 0-based. True when the sheet ended with OK and wrote.
    virtual bool ShowFeatureSheet(CLayer* layer, int record, int mode) = 0;
    virtual bool IsFeatureSheetOpen() = 0;
    virtual void CloseFeatureSheet() = 0;
    // The modeless sheet exists and is visible.
    virtual bool IsFeatureSheetWindow() { return false; }
    // The X/Y bounds of the modeless sheet's feature; false without one.
    virtual bool GetFeatureSheetShape(CDoubleRect& bounds) {
        (void)bounds;
        return false;
    }
    // Highlights the modeless sheet's feature; called by the view after it
    // drew the map.
    virtual void DrawFeatureSheetShape(HDC dc) { (void)dc; }
    // A layer is leaving the map: windows that show its features let go.
    virtual void ForgetLayer(CLayer* layer) { (void)layer; }
    // The identify window shows one feature (records from 1).
    virtual void IdentifyFeature(CLayer* layer, int record) = 0;
    virtual bool BrowseField(HWND parent, CFeatureLayer*& layer, int& field) = 0;
    // The first popup of a menu resource (347, 348, 349 for the map view,
    // 378 for the identify and find actions) with its command images and
    // the language library's texts; null when there is none. The caller
    // enables, checks and tracks it, then destroys it.
    virtual HMENU LoadImageMenu(UINT menuId) = 0;
    // Opens a file with its program; non-zero on success.
    virtual int ShellExecuteFile(HWND parent, const WChar* path) = 0;
    // Opens a web address through an internet shortcut; non-zero on success.
    virtual int OpenUrlShortcut(HWND parent, const WChar* url) = 0;
};

// The installed shell, else one that finds no extensions, opens no sheet and
// opens files and addresses through the platform.
IShellServices* GetShellServices();
void SetShellServices(IShellServices* shell);
// The one used while none is installed (a shell that does only part of the
// work hands the rest to it).
IShellServices* GetDefaultShellServices();

// C 0, N 1, D 2, L 3, any other -1.
int FieldTypeToColumnFormat(WChar type);
// The list-view item's image by dBASE field type: C 0, N 1, D 2, L 3, any
// other none.
void SetFieldTypeImage(HWND list, int item, WChar type);
