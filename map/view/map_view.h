// The map view: the one map window of the program. It takes the window's
// messages, commands and keys and coordinates the parts that hold the
// view's state, each in its own file: the transform and extent
// (view_transform), the extent history, the off-screen buffer (map_buffer),
// the overlays (scale_bar, panning_frame, crosshair, the destination mark),
// the current tool and pointer (tool_state), the sketch, the freehand
// trace, the GPS cursor, the Go To destination, the notification icon and
// the vertex markers.
//
// map_view.cpp: creation, transform, extents, commands and keys;
// map_view_draw.cpp: the paint, in which each part draws what it owns.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "core/double_rect.h"
#include "map/layers/map_doc.h"
#include "map/services/view_messages.h"
#include "map/view/crosshair.h"
#include "map/view/destination.h"
#include "map/view/extent_history.h"
#include "map/view/freehand_trace.h"
#include "map/view/gps_cursor.h"
#include "map/view/map_buffer.h"
#include "map/view/map_tracker.h"
#include "map/view/panning_frame.h"
#include "map/view/scale_bar.h"
#include "map/view/sketch.h"
#include "map/view/tool_state.h"
#include "map/view/tray_icon.h"
#include "map/view/vertex_markers.h"
#include "map/view/view_transform.h"
#include "platform/gdi/gdi.h"
#include "platform/win/commctrl.h"
#include "platform/win/view.h"

class CLayer;
class CFeatureLayer;

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

// String ids.
constexpr UINT kStrNoVisibleLayers = 8400;
constexpr UINT kStrDefaultGoToLabel = 20000;

// What the up and down keys do (the mode pane shows "Z", "V" or "H").
enum class ArrowKeyMode : int32_t { Zoom = 0, VerticalPan = 1, HorizontalPan = 2 };

// The steps of PanStep; the numbers are also the panning frame's images.
enum class PanDirection : int32_t {
    Up = 0,
    Down = 1,
    Left = 2,
    Right = 3,
    UpLeft = 4,
    UpRight = 5,
    DownLeft = 6,
    DownRight = 7,
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
    // Other values do nothing.
    void PanStep(PanDirection direction);
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
    MapToolId GetCurrentTool() const { return m_tools.Current(); }
    void SetGoToDestination(double x, double y, const WString* label);
    void ClearDestination();
    const GoToDestination& GetDestination() const { return m_destination.Get(); }

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
    const CDoubleRect& GetExtent() const { return m_transform.Extent(); }
    double GetXScale() const { return m_transform.XScale(); }
    double GetYScale() const { return m_transform.YScale(); }
    int GetClientWidth() const { return m_transform.ClientWidth(); }
    int GetClientHeight() const { return m_transform.ClientHeight(); }
    ArrowKeyMode GetArrowKeyMode() const { return m_arrowKeyMode; }
    int GetHistoryPosition() const { return m_history.Position(); }
    int GetHistoryTop() const { return m_history.Top(); }
    double GetPenTolerance() const { return m_tools.PenTolerance(); }
    int GetVertexMarkerSize() const { return m_vertexMarkers.Size(); }
    bool IsBufferValid() const { return m_buffer.IsValid(); }
    bool IsDrawingInterrupted() const { return m_buffer.IsInterrupted(); }
    HDC GetBufferDC() const { return m_buffer.DC(); }
    HBITMAP GetBufferBitmap() const { return m_buffer.Bitmap(); }
    CMapTracker& GetTracker() { return m_tracker; }
    GpsCursor& GetGpsCursor() { return m_gpsCursor; }
    HDC GetCurrentDrawDC() const { return m_currentDrawDc; }

protected:
    int OnCreate(CREATESTRUCT* cs) override;
    void OnDestroy();
    void OnKeyUp(UINT vk);
    // The GPS port's unit: through the installed feed, which parses it into
    // the receiver's position.
    void OnGpsData(WPARAM wParam, LPARAM lParam);

private:
    bool HasLayers() const;
    void StoreDocumentExtent();
    // The scale pane of the status bar: "1:N" of the extent shown.
    void ShowMapScale();
    // The client area as the last resize gave it.
    RECT ClientRect() const;
    bool HasCurrentFeature() const;
    bool CurrentFeatureExtent(CDoubleRect& extent) const;
    void OnLayersCommand();
    void OnZoomToSelected();
    void Repaint(bool erase);
    bool IsGeographicMap() const;
    CCoordSys* MapCoordSys() const;

    CMapDoc* m_doc = nullptr;
    ViewTransform m_transform;
    ExtentHistory m_history;
    CMapTracker m_tracker;
    MapBuffer m_buffer;
    ScaleBar m_scaleBar;
    PanningFrame m_panFrame;
    Crosshair m_crosshair;
    GoToTarget m_destination;
    MapToolState m_tools;
    Sketch m_sketch;
    FreehandTrace m_freehand;
    GpsCursor m_gpsCursor;
    TrayIconState m_trayIcon;
    VertexMarkers m_vertexMarkers;
    ArrowKeyMode m_arrowKeyMode = ArrowKeyMode::Zoom;
    double m_fixedZoom = 0.5;
    HDC m_currentDrawDc = nullptr;
    bool m_drawingEnabled = true;
};

// The script Map object that the view's events are fired on (set by the
// script host; null while scripting is off).
void SetMapScriptObject(IDispatch* object);
IDispatch* GetMapScriptObject();

// The view and document of the open map, set at initial update.
extern CMapView* CurrentMapView;
extern CMapDoc* CurrentMapDoc;
void ResetCurrentMapViewForTests();
