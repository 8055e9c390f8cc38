// The map view: the one map window of the program. It owns the display
// transform between map coordinates and window pixels, the view extent and
// its history, the current tool, the sketch, the Go To destination, the GPS
// cursor, the off-screen drawing buffer and the notification icon.
//
// One class, several source files: map_view.cpp (creation, transform,
// extents, commands and keys), map_view_draw.cpp (the paint and overlays).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "core/double_rect.h"
#include "map/layers/map_doc.h"
#include "map/symbology/text_symbol.h"
#include "map/view/map_tracker.h"
#include "platform/gdi/gdi.h"
#include "platform/win/commctrl.h"
#include "platform/win/view.h"

class CLayer;
class CFeatureLayer;

// Messages the view receives.
constexpr UINT WM_VIEW_TRAYNOTIFY = 0x8003;
constexpr UINT WM_VIEW_REFRESH = 0x8004;
constexpr UINT WM_VIEW_FLASHSHAPE = 0x8008;
constexpr UINT WM_VIEW_AFTERDRAW = 0x8009;
// Sent to the averaging listener on each fix.
constexpr UINT WM_AVERAGING_GPSFIX = 0x8006;

// Commands of the view.
enum MapViewCommand : UINT {
    ID_VIEW_ZOOMPREVIOUS = 1003,
    ID_VIEW_ZOOMNEXT = 1004,
    ID_VIEW_FIXEDZOOMIN = 1010,
    ID_VIEW_FIXEDZOOMOUT = 1011,
    ID_VIEW_ZOOMTOSELECTED = 1012,
    ID_VIEW_ZOOMFULLEXTENT = 1014,
    ID_VIEW_REPAINT = 1023,
    ID_VIEW_LAYERS = 1025,
    ID_VIEW_REFRESH = 1026,
    ID_VIEW_FIND = 1028,
    ID_VIEW_CENTERONSELECTED = 1070,
    ID_VIEW_ZOOMTOSELECTEDFEATURE = 1071,
    ID_VIEW_GOTOSELECTEDFEATURE = 1072,
    ID_VIEW_SCALEBAR = 2863,
    ID_VIEW_ZOOMTOLAYER_FIRST = 2100,
    ID_VIEW_ZOOMTOLAYER_LAST = 2199,
    ID_VIEW_BOOKMARK_FIRST = 2200,
    ID_VIEW_BOOKMARK_LAST = 2299,
};

// Tools of the view (the pen tools are filled in by the tool code).
using MapToolId = int32_t;
constexpr MapToolId kToolNone = 0;
constexpr MapToolId kToolMeasure = 4;
constexpr MapToolId kToolVertexEdit = 12;

// String ids.
constexpr UINT kStrNoVisibleLayers = 8400;
constexpr UINT kStrDefaultGoToLabel = 20000;

// A position of the sketch or the GPS.
struct SketchVertex {
    double x = 0;
    double y = 0;
    double z = 0;
    double m = 0;
};

// The Go To destination.
struct GoToDestination {
    bool set = false;
    WString label;
    double longitude = 0;
    double latitude = 0;
    double x = 0;
    double y = 0;
    double bearing = 0;
    double distance = 0;
};

// Runs the Layers dialog for a document; its result is the layer list's
// changed flag. The program installs the dialog; until then nothing changes.
using LayersDialogRunner = std::function<bool(CMapDoc* doc)>;
void SetLayersDialogRunner(LayersDialogRunner runner);

class CMapView : public win::View, public IMapDocView {
public:
    CMapView();
    ~CMapView() override;

    void SetDocument(CMapDoc* doc) { m_doc = doc; }
    CMapDoc* GetDocument() const { return m_doc; }

    // ---- framework ----
    bool OnCmdMsg(UINT id, int code, CCmdUI* ui) override;
    bool PreCreateWindow(CREATESTRUCT& cs, UINT& classStyle) override;
    void OnInitialUpdate() override;
    void OnUpdate(win::DocumentView* sender, LPARAM hint) override;
    void OnDraw(HDC dc) override;
    void UpdateEditToolbars() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // ---- transform ----
    double RecomputeTransform();
    void ScreenToMap(int px, int py, double& x, double& y) const;
    void MapToScreen(double x, double y, int& px, int& py) const;
    POINT MapPointToScreen(const DoublePoint& p) const;
    CDoubleRect ScreenRectToMap(const RECT& r) const;
    // A ground distance in metres as whole pixels at the given latitude
    // (used on geographic maps only).
    int GroundDistanceToPixels(double metres, double latitude) const;
    double GetMapScale(bool rounded) const;
    void SetMapScale(double denominator);
    int GetCoordinateEntryMode() const;

    // ---- extent ----
    void ZoomToExtent(const CDoubleRect& extent, bool recordHistory, double margin);
    void CenterAt(double x, double y);
    void Pan(double dx, double dy, bool recordHistory);
    void PanStep(int direction);
    void PushExtentHistory();
    void ZoomPrevious();
    void ZoomNext();
    void ZoomAt(double x, double y, double factor, bool recordHistory);
    void ZoomInAt(double x, double y) { ZoomAt(x, y, m_fixedZoom, true); }
    void ZoomOutAt(double x, double y) { ZoomAt(x, y, 1.0 / m_fixedZoom, true); }
    void ZoomToFullExtent();
    void OnRefresh();
    void PostRefresh();
    void EnableDrawing(bool on) { m_drawingEnabled = on; }
    void OnPreferencesChanged();

    // ---- tools and destination ----
    void SetCurrentTool(MapToolId tool);
    MapToolId GetCurrentTool() const { return m_currentTool; }
    void SetGoToDestination(double x, double y, const WString* label);
    void ClearDestination();
    const GoToDestination& GetDestination() const { return m_destination; }

    // ---- drawing (map_view_draw.cpp) ----
    void OnSize(UINT type, int width, int height);
    bool OnEraseBackground(HDC dc);
    void OnFlashShape(CFeatureLayer* layer, int record);
    void OnAfterDraw();
    void DrawTracklog(HDC dc);
    void DrawEditLayers(HDC dc, double mapScale);
    void DrawSelection(HDC dc);
    void DrawSelectedVertices(HDC dc);
    void DrawDestination(HDC dc);
    void DrawSketch(HDC dc);
    void DrawScaleBar(HDC dc, double mapScale);
    // The scale bar's rectangle, and the ground length of its left half in
    // metres.
    RECT ScaleBarRect() const;
    double ScaleBarHalfLength() const;
    void DrawPanningFrame(HDC dc);
    void DrawGpsCursor(HDC dc, const RECT* update);
    void FillDebugBackground(HDC dc);
    // Overlays of the identify window, the find dialog and the feature sheet.
    void DrawIdentifyOverlay(HDC dc) { (void)dc; }
    void DrawFoundFeature(HDC dc) { (void)dc; }
    void DrawFeatureSheetShape(HDC dc) { (void)dc; }

    // ---- read by the program and tests ----
    const CDoubleRect& GetExtent() const { return m_extent; }
    double GetXScale() const { return m_xScale; }
    double GetYScale() const { return m_yScale; }
    int GetClientWidth() const { return m_clientWidth; }
    int GetClientHeight() const { return m_clientHeight; }
    int GetArrowKeyMode() const { return m_arrowKeyMode; }
    int GetHistoryPosition() const { return m_historyPosition; }
    int GetHistoryTop() const { return m_historyTop; }
    double GetPenTolerance() const { return m_penTolerance; }
    bool IsBufferValid() const { return m_bufferValid; }
    bool IsDrawingInterrupted() const { return m_drawingInterrupted; }
    HDC GetBufferDC() const { return m_offscreenDc; }
    HBITMAP GetBufferBitmap() const { return m_offscreenBitmap; }
    CMapTracker& GetTracker() { return m_tracker; }
    HDC GetCurrentDrawDC() const { return m_currentDrawDc; }

    // ---- state, in declaration order ----
    GoToDestination m_destination;
    bool m_approachAlertArmed = false;
    uint64_t m_nextApproachAlertTime = 0;
    int32_t m_approachAlertInterval = 0;
    double m_xScale = 1.0;
    double m_yScale = 1.0;
    double m_originX = 0;
    double m_originY = 0;
    int32_t m_clientWidth = 0;
    int32_t m_clientHeight = 0;
    CDoubleRect m_extent{-180, -90, 180, 90};
    CDoubleRect m_lastDrawnExtent;
    CMapTracker m_tracker;
    CDoubleRect m_history[10];
    int32_t m_historyPosition = 0;
    int32_t m_historyTop = 0;
    HWND m_gpsPositionWindow = nullptr;
    POINT m_freehandStart{};
    POINT m_freehandLast{};
    HPEN m_freehandPen = nullptr;
    std::unique_ptr<POINT[]> m_freehandPoints;
    int32_t m_freehandCount = 0;
    int32_t m_savedIdleTimeouts[3] = {0, 0, 0};
    bool m_commandRouted = false;
    bool m_gpsDebugDisplay = false;
    bool m_streamingCapture = false;
    int32_t m_streamingFixCounter = 0;
    SketchVertex m_lastStreamed;
    RECT m_accuracyCircle{};
    double m_qualityRadius = 0;
    bool m_gpsCursorShown = false;
    bool m_gpsCursorDrawn = false;
    HDC m_gpsCursorSaveDc = nullptr;
    HBITMAP m_gpsCursorSaveBitmap = nullptr;
    POINT m_gpsCursorSavePos{};
    int32_t m_gpsCursorWidth = 0;
    int32_t m_gpsCursorHeight = 0;
    POINT m_gpsCursorPoint{};
    SketchVertex m_gpsCursorPosition;
    double m_lastSpeed = -1.0;
    double m_lastCourse = -1.0;
    int32_t m_gpsCursorImage = 0;
    int32_t m_lastFixQuality = 0;
    HIMAGELIST m_gpsCursorImages = nullptr;
    bool m_dataReceived = false;
    bool m_firstData = false;
    bool m_autoPan = true;
    double m_autoPanMargin = 0.9;
    int32_t m_sketchKind = 0;
    std::unique_ptr<SketchVertex[]> m_sketchVertices;
    int32_t m_sketchCapacity = 0;
    int32_t m_sketchMaximum = 0;
    int32_t m_sketchCount = 0;
    std::unique_ptr<POINT[]> m_sketchPoints;
    HPEN m_sketchPen = nullptr;
    int32_t m_debugTextLine = 0;
    int32_t m_arrowKeyMode = 0;
    HDC m_offscreenDc = nullptr;
    HBITMAP m_offscreenBitmap = nullptr;
    bool m_bufferValid = false;
    bool m_drawingInterrupted = false;
    CTextSymbol m_scaleBarSymbol;
    bool m_crosshairShown = false;
    POINT m_crosshairPoint{};
    HIMAGELIST m_panFrameImages = nullptr;
    HRGN m_panFrameRegion = nullptr;
    RECT m_clientRect{};
    RECT m_innerRect{};
    double m_fixedZoom = 0.5;
    HDC m_currentDrawDc = nullptr;
    bool m_drawingEnabled = true;
    MapToolId m_currentTool = kToolNone;
    int32_t m_pointerX = 0;
    int32_t m_pointerY = 0;
    double m_pointerMapX = 0;
    double m_pointerMapY = 0;
    double m_penTolerance = 0;
    int32_t m_trayIconState = 0;
    int32_t m_pendingTrayAlert = 0;
    int32_t m_vertexMarkerSize = 4;
    int32_t m_vertexAddMode = 0;
    HWND m_averagingListener = nullptr;
    POINT m_panStart{};
    POINT m_panLast{};

protected:
    int OnCreate(CREATESTRUCT* cs) override;
    void OnDestroy();
    void OnKeyUp(UINT vk);

private:
    bool HasLayers() const;
    void StoreDocumentExtent();
    // The scale pane of the status bar: "1:N" of the extent shown.
    void ShowMapScale();
    // A scale as the "1:%u" texts show it (held to the unsigned range).
    static unsigned ShownDenominator(double scale);
    bool HasCurrentFeature() const;
    bool CurrentFeatureExtent(CDoubleRect& extent) const;
    void OnLayersCommand();
    void OnZoomToSelected();
    void Repaint(bool erase);
    bool IsGeographicMap() const;
    CCoordSys* MapCoordSys() const;

    CMapDoc* m_doc = nullptr;
    HBITMAP m_offscreenOriginal = nullptr;  // the buffer DC's own bitmap
};

// The script Map object that the view's events are fired on (set by the
// script host; null while scripting is off).
void SetMapScriptObject(IDispatch* object);
IDispatch* GetMapScriptObject();

// The view and document of the open map, set at initial update.
extern CMapView* CurrentMapView;
extern CMapDoc* CurrentMapDoc;
void ResetCurrentMapViewForTests();
