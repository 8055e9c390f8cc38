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
#include "formats/shape/shape_record.h"
#include "map/dialogs/measure_info_dlg.h"
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
class CShapeLayer;

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
    ID_VIEW_SETMAPCOORDINATES = 1005,
    ID_VIEW_SETMAPSCALE = 1006,
    ID_VIEW_CREATEBOOKMARK = 1007,
    ID_VIEW_MANAGEBOOKMARKS = 1008,
    ID_VIEW_TOGGLESCALEBAR = 1039,
    ID_VIEW_SCALEBAR = 2863,
    ID_VIEW_ZOOMTOLAYER_FIRST = 2100,
    ID_VIEW_ZOOMTOLAYER_LAST = 2199,
    ID_VIEW_BOOKMARK_FIRST = 2200,
    ID_VIEW_BOOKMARK_LAST = 2299,
};

// The GPS commands of the view.
enum MapViewGpsCommand : UINT {
    ID_GPS_CENTER = 1013,
    ID_GPS_ENABLE = 1018,
    ID_GPS_TRACKLOG = 1019,
    ID_GPS_DEBUG = 1020,
    ID_GPS_POSITIONWINDOW = 1021,
    ID_GPS_SENDMESSAGE = 1022,
    ID_GPS_ADDPOINT = 1840,
    ID_GPS_VERTEX = 1841,
    ID_GPS_STREAM = 1842,
    ID_GPS_SELECT = 1845,
};

// The view's window timers.
constexpr uintptr_t kTimerGpsWatchdog = 1;
constexpr uintptr_t kTimerTrayBlink = 2;
constexpr uintptr_t kTimerToolTimeout = 3;
constexpr UINT kGpsWatchdogInterval = 15000;
constexpr UINT kTrayBlinkInterval = 500;

// The view's notification-area icon.
constexpr UINT kViewTrayIconId = 0x0123ABCD;
// Held while the GPS is open (seconds).
constexpr DWORD kGpsIdleTimeout = 10000;

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

// The identify window, as the view asks it: at a place (point mode, rect
// null) or over a rectangle, and one server layer at a point. The program
// installs its window; until then the view asks nobody.
class IIdentifyWindow {
public:
    virtual ~IIdentifyWindow() = default;
    virtual void IdentifyArea(double x, double y, double tolerance, const CDoubleRect* rect) = 0;
    virtual void IdentifyLayerAtPoint(CLayer* layer, double x, double y, double tolerance) = 0;
};
void SetIdentifyWindow(IIdentifyWindow* window);
IIdentifyWindow* GetIdentifyWindow();

// What a measurement gives the Measurement Information dialog: the first
// and last point, the direct distance, the length along, the closed area
// (map distance units: metres on a geographic map) and the mode.
struct MeasureRecord {
    DoublePoint last{};
    double distance = 0;
    double length = 0;
    double area = 0;
    int mode = 0;  // 0 a line, 2 a radius
};
// Runs the Measurement Information dialog; tests install a recorder in
// its place.
using MeasureInfoRunner = std::function<void(HWND owner, const MeasureTexts& texts)>;
void SetMeasureInfoRunner(MeasureInfoRunner runner);

// The vertex dialogs as the view runs them (the program installs those of
// map/dialogs; until then nothing is typed and false comes back): a vertex
// typed or from the GPS (averaging: start at once, close when averaged) and
// a vertex by azimuth and length from a reference vertex. True on OK.
class CMapView;
struct VertexDialogRunners {
    std::function<bool(CMapView* view, int shapeType, SketchVertex& vertex, bool averaging)>
        vertex;
    std::function<bool(CMapView* view, int shapeType, SketchVertex& vertex,
                       const SketchVertex& reference)>
        relative;
};
void SetVertexDialogRunners(VertexDialogRunners runners);
const VertexDialogRunners& GetVertexDialogRunners();

// A command's enable and check state (checked -1: not a check item) for a
// state query; true when `ui` was a query, which is then answered.
bool AnswerCommandQuery(CCmdUI* ui, bool enabled, int checked);

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
    // Choosing the current tool again turns it off: false. With invalidate
    // the window is repainted (without erase) either way.
    bool SetCurrentTool(MapToolId tool, bool invalidate = false);
    MapToolId GetCurrentTool() const { return m_tools.Current(); }
    void SetGoToDestination(double x, double y, const WString* label);
    void ClearDestination();
    const GoToDestination& GetDestination() const { return m_destination.Get(); }
    const GoToTarget& GetGoToTarget() const { return m_destination; }

    // ---- pen tools (map_view_tools.cpp) ----
    void OnLButtonDown(UINT flags, POINT p);
    void OnLButtonUp(UINT flags, POINT p);
    void OnMouseMove(UINT flags, POINT p);
    void OnLButtonDblClk(UINT flags, POINT p);
    bool OnSetCursor(UINT hitTest);
    // Lost the pen to another window (a message box in the middle of a drag).
    void OnCaptureChanged(HWND newHolder);
    // The direction (PanDirection's numbers) of a point on the panning
    // frame; -1 off the frame or with the frame hidden.
    int HitTestPanningFrame(POINT p) const;
    // XOR: drawn twice it is gone.
    void DrawCrosshair(POINT p);
    // The enable and check states and the action of the tool commands;
    // false for other commands.
    bool OnToolCommand(UINT id, CCmdUI* ui);
    // Where the pen last went down or moved in the view, whatever the tool.
    POINT GetLastPenPoint() const { return m_tools.LastPen(); }
    // The configured tools' pointer: pixels and map units.
    POINT GetPointer() const { return m_tools.Pointer(); }
    double GetPointerMapX() const { return m_tools.PointerMapX(); }
    double GetPointerMapY() const { return m_tools.PointerMapY(); }

    // ---- sketch ----
    // 0 empties the sketch.
    void ReserveSketch(int count);
    // False when ignored (the last vertex again) or refused (full: beep).
    bool AddSketchVertex(const SketchVertex& v);
    bool AddSketchPoint(double x, double y);
    Sketch& GetSketch() { return m_sketch; }
    const Sketch& GetSketch() const { return m_sketch; }
    VertexMarkers& GetVertexMarkers() { return m_vertexMarkers; }

    // ---- identify, hyperlink and measure (map_view_query.cpp) ----
    bool IdentifyAt(double x, double y);
    bool HyperlinkAt(double x, double y);
    bool IdentifyLayerAt(CLayer* layer, double x, double y);
    bool FindFeatureAt(CLayer* layer, double x, double y);
    bool HyperlinkLayerAt(CLayer* layer, double x, double y);
    void IdentifyLocation(double x, double y);
    void AdvancedSelect(const CDoubleRect& rect, int shortSide);
    void MeasurePolyline(int units, CCoordSys* cs, int count, const DoublePoint* points);
    void MeasureRadial(int units, CCoordSys* cs, const DoublePoint& centre,
                       const DoublePoint& edge);
    void ShowMeasureInfo(int units, CCoordSys* cs, const DoublePoint& first,
                         const MeasureRecord& record);
    // The texts ShowMeasureInfo gives the dialog.
    static MeasureTexts MeasureInfoTexts(int units, CCoordSys* cs, const DoublePoint& first,
                                         const MeasureRecord& record);
    void AddFreehandPoint(POINT p);
    void MeasureFreehand();
    const FreehandTrace& GetFreehandTrace() const { return m_freehand; }

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
    // The cursor drawn (show) or erased on `dc` (null: the window's own);
    // with `update` (a paint) only when its box meets that rectangle.
    void DrawGpsCursor(HDC dc, bool show, const RECT* update);
    void FillDebugBackground(HDC dc);
    // Overlays of the identify window, the find dialog and the feature sheet.
    void DrawIdentifyOverlay(HDC dc);
    void DrawFoundFeature(HDC dc);
    void DrawFeatureSheetShape(HDC dc);

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

    // ---- feature capture and selection (map_view_edit.cpp) ----
    // Each Add... appends to the edit layer of its class, selects the new
    // feature and finishes it (AddFeatureFinish). The form switch (null: the
    // layer's ShowEditForm) says whether the feature sheet opens. False when
    // nothing was added: no edit layer, a failed write (the engine's text in
    // the status bar), or a cancelled form.
    bool AddPointFeatureRecord(const SketchVertex& point, const bool* form = nullptr);
    bool AddPointFeature(double x, double y, double z, double m, const bool* form = nullptr);
    bool AddLineFeature(const DoublePoint& start, const DoublePoint& end,
                        const bool* form = nullptr);
    bool AddPolygonFeature(const CDoubleRect& rect, const bool* form = nullptr);
    // The ellipse inscribed in the rectangle; `segments` points per quarter.
    bool AddEllipseFeature(const CDoubleRect& rect, int segments, const bool* form = nullptr);
    // A line or closed polygon through the points (at least 2).
    bool AddPointListFeature(int count, const DoublePoint* points, bool polygon,
                             const bool* form = nullptr);
    // The current feature was just appended: flush, the form in its new
    // mode (Cancel takes exactly that record away again), OnFeatureAdded.
    bool AddFeatureFinish(const bool* form = nullptr);
    // The record is 0-based, -1 none; `resetVertexAdd` turns the vertex-add
    // mode off. OnSelectionChanged fires either way.
    void SelectFeature(CLayer* layer, int record, bool resetVertexAdd);
    void ClearSelection();
    // The feature under a map point by the edit layers' priority; false
    // (and nothing selected) when there is none.
    bool SelectAtMapPoint(double x, double y);
    bool SelectAtScreenPoint(POINT p);
    // Deletes the current feature's record and clears the selection; false
    // (selection kept) when the files could not be written.
    bool DeleteSelected();
    bool GetSelectedFeatureExtent(CDoubleRect& extent);
    void FireFeatureChanged();
    // Begins a sketch of the kind, or finishes the one running.
    void BeginOrFinishSketch(SketchKind kind);
    // A line or polygon from the tracker's freehand points.
    bool AddFreehandFeature(bool polygon, const bool* form = nullptr);
    // The "Vertex Add" menu on tap and hold during a sketch: false when the
    // pen was not held.
    bool SketchVertexMenu(POINT p);
    // The vertex edit tool's tap and hold: "Vertex Edit" on a vertex,
    // "Feature Edit" elsewhere; a tap with the vertex-add mode on adds a
    // vertex at the end. False when the tracker is to take the tap.
    bool VertexEditMenu(POINT p);
    bool FeatureEditMenu(POINT p);
    // The feature commands 1016, 1017 and 1031: false for other ids.
    bool OnFeatureCommand(UINT id, CCmdUI* ui);

    // ---- vertex editing (map_view_vertex.cpp) ----
    // Asking for the mode that is on turns it off.
    void SetVertexAddMode(VertexAddMode mode);
    VertexAddMode GetVertexAddMode() const { return m_vertexMarkers.AddMode(); }
    // The vertex of the current feature whose marker box holds p (the first
    // in order), -1 none; with its neighbours' indexes (-1 none).
    int HitTestVertex(POINT p, int* previous = nullptr, int* next = nullptr);
    // The rubber band's neighbours of vertex i of an n-vertex shape of the
    // geometry class (0 point, 1 line, 2 polygon); -1 none.
    static void VertexNeighbours(int geometryClass, int n, int i, int* previous, int* next);
    // The write operations on the current feature; each fires the
    // feature-changed events on success and leaves the files as they were
    // on failure.
    bool SetVertex(int index, const SketchVertex& vertex);
    bool DeleteVertex(int index);
    bool InsertVertexAt(const SketchVertex& at, const SketchVertex* gps);
    bool AddVertexAtEnd(VertexAddMode end, const SketchVertex& vertex);
    // Maps the shape's bounds onto the rectangle (resize), or moves it by
    // the offset of the rectangle's corner (move); a one-point shape goes
    // to the rectangle's centre.
    bool MoveOrResizeFeature(const CDoubleRect& rect, bool resize);

    // ---- GPS positions for vertices ----
    // The GPS position in map units after the quality checks (with `check`
    // a failure is told to the user); false while the GPS is closed.
    bool GpsCapturePosition(SketchVertex& vertex, bool check);
    bool GpsCapturePositionAveraged(SketchVertex& vertex, bool check);
    // ---- GPS on the map (map_view_gps.cpp) ----
    // The receiver posted a unit (wParam) of its port (lParam).
    void OnGpsData(WPARAM wParam, LPARAM lParam);
    // A new position from the receiver (through the main window).
    LRESULT OnGpsPosition(GpsPosition* position);
    // An alert window was confirmed (number 6: the approach alert).
    void OnAlertClosed(int alert);
    // Opens or closes the GPS (command 1018); true when it opened.
    bool OnGpsActive();
    bool IsGpsOpen() const;
    // The GPS commands' enable and check states and actions; false for
    // other commands.
    bool OnGpsCommand(UINT id, CCmdUI* ui);
    void ShowGpsCursor();
    void HideGpsCursor();
    // Quality, map position (null: none), speed and course of a fix.
    void UpdateGpsCursor(int quality, const SketchVertex* position, double speed, double course);
    // The radius of the accuracy circle in pixels at the cursor (0 none).
    int AccuracyRadiusPixels();
    // Holds the device's idle time-outs while the GPS is open (save: the
    // current ones are kept first), or puts the kept ones back.
    void HoldIdleTimeouts(bool restore, bool save);
    // One received unit as text in the debug display.
    void ShowGpsDebugText(const uint8_t* data, int length);
    int GetDebugTextLine() const { return m_debugTextLine; }
    bool IsStreaming() const { return m_streaming; }
    int GetStreamCounter() const { return m_streamCounter; }

    // ---- timers, notification icon and view dialogs ----
    void OnTimer(uintptr_t id);
    // Image 0 without a tip removes the icon; else it is added or changed.
    void SetTrayIcon(int image, const WChar* tip, bool modify);
    // A string id makes the icon blink until tapped; 0 stops it.
    void SetTrayAlert(UINT stringId);
    void ShowGpsActivity();
    void OnTrayNotify(LPARAM mouseMessage);
    const TrayIconState& GetTrayIcon() const { return m_trayIcon; }
    // Commands 1005-1008 and 1039; false for others.
    bool OnViewDialogCommand(UINT id, CCmdUI* ui);

    // The window that gets WM_AVERAGING_GPSFIX for each new fix.
    void SetAveragingListener(HWND window) { m_averagingListener = window; }
    HWND GetAveragingListener() const { return m_averagingListener; }

protected:
    int OnCreate(CREATESTRUCT* cs) override;
    void OnDestroy();
    void OnKeyUp(UINT vk);

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
    bool HasEditLayer(DisplayClass c) const;
    bool AnyEditLayer() const;
    // Turns the measure tool off: the sketch measured, emptied, repainted.
    void FinishMeasure();
    void EndPanDrag(bool pan, POINT p);
    // A pen gesture holds the view: a tracker loop or a pan drag has the
    // capture, or a tap and hold is being recognised. GPS data then changes
    // data only; the drawing waits for the gesture's end.
    bool InGesture() const;
    bool RecognizeHold(HWND window, POINT p);
    // The gesture ended: auto-pan and the drawing the GPS held back.
    void CatchUpGps();
    // The map position of the receiver's fix (the projected one; on a
    // geographic map the fix on the map's datum, which it equals).
    SketchVertex GpsMapPosition() const;
    bool HasUsableCoordSys() const;
    void AppendTracklog(IGps* gps);
    void StreamVertex(const SketchVertex& position);
    void MeasureDestination(const SketchVertex& position);
    bool CheckCapture(bool check);
    void CloseGps();
    void ToggleDebugDisplay();
    void OnPositionWindowCommand();
    void CapturePoint();
    void CaptureVertex();
    void SetViewCoordinates();
    void SetScaleFromDialog();
    void CreateBookmark();

    CMapDoc* m_doc = nullptr;
    ViewTransform m_transform;
    ExtentHistory m_history;
    CMapTracker m_tracker;
    MapBuffer m_buffer;
    mutable ScaleBar m_scaleBar;  // its font is made when first measured
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
    HWND m_averagingListener = nullptr;

    // GPS state (map_view_gps.cpp).
    bool m_streaming = false;
    int32_t m_streamCounter = 0;
    DoublePoint m_lastStreamed{};
    uint64_t m_lastTracklogTime = 0;
    int32_t m_debugTextLine = 0;
    DWORD m_savedIdleTimeouts[3] = {0, 0, 0};
    bool m_commandRouted = false;
    int32_t m_holdRecognitions = 0;
    bool m_gpsHeldBack = false;

    // Capture and editing helpers (map_view_edit.cpp, map_view_vertex.cpp).
    CShapeLayer* EditShapeLayer(DisplayClass displayClass) const;
    // The current feature's shapefile layer and record; null when none.
    CShapeLayer* CurrentShapeLayer(int* record) const;
    bool FinishAppend(CShapeLayer* layer, int index, const bool* form);
    // The engine's text of a failed write into the status bar.
    void ReportWriteFailure(ShpHandle shp);
    // Writes the changed shape of the current feature (all or nothing),
    // selects it under its record (which may move), fires the events.
    bool WriteCurrentShape(ShapeRecord* shape, bool flush, bool resetVertexAdd);
    // The pen on the capture and editing tools (map_view_capture.cpp); the
    // down handler answers whether the crosshair shows.
    bool OnEditToolDown(MapToolId tool, POINT p);
    void OnEditToolUp(MapToolId tool, POINT p, bool tapped);
    void OnEditToolDoubleTap(POINT p);
    void OnVertexEditDown(POINT p);
    // The tracker's rectangle as the selection box of the current feature
    // (as drawn); false without one.
    bool UpdateSelectionBox();
    bool IsMapEditLayer(const CLayer* layer) const;
    int CurrentShapeType() const;
    // Shows a menu of the view at p with its states set; the chosen command.
    UINT TrackViewMenu(UINT menuId, POINT p, const std::function<void(HMENU)>& states);
};

// The script Map object that the view's events are fired on (set by the
// script host; null while scripting is off).
void SetMapScriptObject(IDispatch* object);
IDispatch* GetMapScriptObject();

// The script Navigation object that the destination's events are fired on
// (set by the script host; null while scripting is off).
void SetNavigationScriptObject(IDispatch* object);
IDispatch* GetNavigationScriptObject();

// The view and document of the open map, set at initial update.
extern CMapView* CurrentMapView;
extern CMapDoc* CurrentMapDoc;
void ResetCurrentMapViewForTests();
