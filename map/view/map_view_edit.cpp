// Feature capture and selection in the map view: new features appended to
// the edit layer of their class, the new feature's form (whose Cancel takes
// exactly that record away again), the one selected feature with its
// events, the selection at a point by the edit layers' priority, deleting,
// finishing a sketch into a feature, and the feature commands.
#include <algorithm>
#include <cmath>
#include <vector>

#include "formats/shape/shape_builders.h"
#include "formats/shape/shape_geometry.h"
#include "formats/shape/shp_engine.h"
#include "map/dialogs/find_dlg.h"
#include "map/dialogs/identify_dlg.h"
#include "map/layers/shape_layer.h"
#include "map/map_messages.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "map/services/script_events.h"
#include "map/view/map_view.h"
#include "platform/win/theme.h"
#include "resources/zres.h"

namespace {

enum FeatureCommand : UINT {
    ID_FEATURE_PROPERTIES = 1016,
    ID_FEATURE_DELETE = 1017,
    ID_FEATURE_CLEARSELECTED = 1031,
};

// Feature sheet modes.
constexpr int kSheetEditExisting = 2;
constexpr int kSheetEditNew = 3;

void FireOnMapAndLayer(CLayer* layer, int eventId) {
    FireScriptEvent(GetMapScriptObject(), eventId, true, 0);
    if (layer) layer->FireEvent(eventId);
}

}  // namespace

// ---- helpers ----

CShapeLayer* CMapView::EditShapeLayer(DisplayClass displayClass) const {
    if (!m_doc) return nullptr;
    CLayer* layer = m_doc->GetLayers().GetEditLayer(displayClass);
    if (!layer || layer->GetKind() != LayerKind::Shape) return nullptr;
    return dynamic_cast<CShapeLayer*>(layer);
}

CShapeLayer* CMapView::CurrentShapeLayer(int* record) const {
    if (!m_doc) return nullptr;
    CLayerList& layers = m_doc->GetLayers();
    CLayer* layer = layers.GetCurrentFeatureLayer();
    int index = layers.GetCurrentFeatureRecord();
    if (!layer || index < 0 || layer->GetKind() != LayerKind::Shape) return nullptr;
    auto* shape = dynamic_cast<CShapeLayer*>(layer);
    if (!shape || !shape->GetHandle()) return nullptr;
    if (record) *record = index;
    return shape;
}

void CMapView::ReportWriteFailure(ShpHandle shp) {
    IMainWindow* frame = GetMainWindowServices();
    if (!frame) return;
    const WChar* text = shp ? ShpGetErrorText(shp) : nullptr;
    frame->SetStatusText(text && *text ? text : u"The shapefile could not be written.");
}

// ---- adding ----

bool CMapView::FinishAppend(CShapeLayer* layer, int index, const bool* form) {
    if (index < 0) {
        // The layer has beeped; nothing is selected and no form opens.
        ReportWriteFailure(layer ? layer->GetHandle() : nullptr);
        return false;
    }
    SelectFeature(layer, index, true);
    return AddFeatureFinish(form);
}

bool CMapView::AddPointFeatureRecord(const SketchVertex& point, const bool* form) {
    return AddPointFeature(point.x, point.y, point.z, point.m, form);
}

bool CMapView::AddPointFeature(double x, double y, double z, double m, const bool* form) {
    CShapeLayer* layer = EditShapeLayer(DisplayClass::Point);
    if (!layer || !layer->GetHandle()) return false;
    ShpHandle h = layer->GetHandle();
    int index = ShpAppendPointZM(h, x, y, z, m);
    if (index < 0) MessageBeep(0x10);
    return FinishAppend(layer, index, form);
}

bool CMapView::AddLineFeature(const DoublePoint& start, const DoublePoint& end, const bool* form) {
    CShapeLayer* layer = EditShapeLayer(DisplayClass::Line);
    if (!layer) return false;
    return FinishAppend(layer, layer->AddSegment(start, end), form);
}

bool CMapView::AddPolygonFeature(const CDoubleRect& rect, const bool* form) {
    CShapeLayer* layer = EditShapeLayer(DisplayClass::Polygon);
    if (!layer) return false;
    return FinishAppend(layer, layer->AddRectangle(rect), form);
}

bool CMapView::AddEllipseFeature(const CDoubleRect& rect, int segments, const bool* form) {
    CShapeLayer* layer = EditShapeLayer(DisplayClass::Polygon);
    if (!layer) return false;
    return FinishAppend(layer, layer->AddEllipse(rect, segments), form);
}

bool CMapView::AddPointListFeature(int count, const DoublePoint* points, bool polygon,
                                   const bool* form) {
    if (count <= 1 || !points) return false;
    CShapeLayer* layer = EditShapeLayer(polygon ? DisplayClass::Polygon : DisplayClass::Line);
    if (!layer) return false;
    return FinishAppend(layer, layer->AddShapeFromPoints(count, points, polygon), form);
}

bool CMapView::AddFeatureFinish(const bool* form) {
    if (!m_doc) return false;
    CLayerList& layers = m_doc->GetLayers();
    CLayer* layer = layers.GetCurrentFeatureLayer();
    const int added = layers.GetCurrentFeatureRecord();
    ShpHandle h = layer ? layer->GetShapeFile() : nullptr;
    if (!h || added < 0) return false;
    if (!ShpFlush(h)) {
        MessageBeep(0x10);
        ReportWriteFailure(h);
    }
    const bool showForm = form ? *form : layer->GetShowEditForm();
    if (showForm) {
        // The form's scripts may select or change other features while the
        // sheet runs: what Cancel takes away is the record added here.
        bool ok = GetShellServices()->ShowFeatureSheet(layer, added, kSheetEditNew);
        // The form may have closed the layer.
        if (layers.IndexOf(layer) < 0) return false;
        h = layer->GetShapeFile();
        if (!h) return false;
        if (ok) {
            if (!ShpFlush(h)) {
                MessageBeep(0x10);
                ReportWriteFailure(h);
            }
        } else {
            bool removed = true;
            if (added < ShpGetRecordCount(h) && !ShpIsRecordDeleted(h, added))
                removed = ShpDeleteShape(h, added, 1) != 0;
            if (!ShpFlush(h)) removed = false;
            if (!removed) {
                MessageBeep(0x10);
                ReportWriteFailure(h);
            }
            Repaint(false);
            if (layers.GetCurrentFeatureLayer() == layer &&
                layers.GetCurrentFeatureRecord() == added)
                ClearSelection();
            return false;
        }
    }
    FireOnMapAndLayer(layer, kEventOnFeatureAdded);
    Repaint(false);
    return true;
}

// ---- selection ----

void CMapView::SelectFeature(CLayer* layer, int record, bool resetVertexAdd) {
    if (m_doc) m_doc->GetLayers().SetCurrentFeature(layer, record);
    if (layer && !m_sketch.IsActive()) {
        UINT command = 0;
        switch (layer->GetDisplayClass()) {
            case DisplayClass::Point:
                command = 1822;
                break;
            case DisplayClass::Line:
                command = 1824;
                break;
            case DisplayClass::Polygon:
                command = 1827;
                break;
            default:
                break;
        }
        if (command)
            if (IMainWindow* frame = GetMainWindowServices()) frame->SetToolButtonImage(command);
    }
    if (resetVertexAdd) m_vertexMarkers.SetAddMode(VertexAddMode::Off);
    FireScriptEvent(GetMapScriptObject(), kEventOnSelectionChanged, true, 0);
    Repaint(false);
}

void CMapView::ClearSelection() {
    SelectFeature(nullptr, -1, true);
    ::ClearIdentifyPoint();
    GetShellServices()->CloseFeatureSheet();
    ClearFoundFeature();
    Repaint(true);
}

bool CMapView::SelectAtScreenPoint(POINT p) {
    double x, y;
    m_tracker.ScreenToMap(p.x, p.y, x, y);
    return SelectAtMapPoint(x, y);
}

bool CMapView::SelectAtMapPoint(double x, double y) {
    const double scale = std::max(GetXScale(), GetYScale());
    const double tolerance =
        scale > 0 ? win::theme::Scale(GetPreferences()->Data().display.tolerance) / scale : 0;
    const DoublePoint at{x, y};
    const CDoubleRect extent = GetExtent();
    CShapeLayer* points = EditShapeLayer(DisplayClass::Point);
    int e = -1;
    double de = 0;
    if (points && points->GetHandle()) {
        e = FindNearestPoint(points->GetHandle(), at, tolerance, &de, &extent, false);
        if (e >= 0 && de == 0) {
            SelectFeature(points, e, true);
            return true;
        }
    }
    if (CShapeLayer* lines = EditShapeLayer(DisplayClass::Line); lines && lines->GetHandle()) {
        double df = 0;
        int f = FindNearestLine(lines->GetHandle(), at, tolerance, &df, &extent, false);
        if (f >= 0) {
            // A point wins only when it is strictly nearer.
            if (df != 0 && e >= 0 && de < df)
                SelectFeature(points, e, true);
            else
                SelectFeature(lines, f, true);
            return true;
        }
    }
    if (e >= 0) {
        SelectFeature(points, e, true);
        return true;
    }
    if (CShapeLayer* polygons = EditShapeLayer(DisplayClass::Polygon);
        polygons && polygons->GetHandle()) {
        int g = FindContainingPolygon(polygons->GetHandle(), at, tolerance, &extent, false);
        if (g >= 0) {
            SelectFeature(polygons, g, true);
            return true;
        }
    }
    SelectFeature(nullptr, -1, true);
    return false;
}

bool CMapView::DeleteSelected() {
    int record = -1;
    CShapeLayer* layer = CurrentShapeLayer(&record);
    if (!layer) {
        if (m_doc && m_doc->GetLayers().GetCurrentFeatureLayer()) ClearSelection();
        return false;
    }
    ShpHandle h = layer->GetHandle();
    bool ok = ShpDeleteShape(h, record, 1) != 0;
    if (ok) ok = ShpFlush(h) != 0;
    if (!ok) {
        MessageBeep(0x10);
        ReportWriteFailure(h);
        return false;
    }
    ClearSelection();
    return true;
}

bool CMapView::GetSelectedFeatureExtent(CDoubleRect& extent) {
    if (!m_doc) return false;
    CLayerList& layers = m_doc->GetLayers();
    auto* layer = dynamic_cast<CFeatureLayer*>(layers.GetCurrentFeatureLayer());
    int index = layers.GetCurrentFeatureRecord();
    if (!layer || index < 0) return false;
    return layer->GetFeatureExtent(RecordNumberFromIndex(index), extent);
}

void CMapView::FireFeatureChanged() {
    CLayer* layer = m_doc ? m_doc->GetLayers().GetCurrentFeatureLayer() : nullptr;
    FireOnMapAndLayer(layer, kEventOnFeatureChanged);
    Repaint(false);
}

// ---- commands ----

bool CMapView::OnFeatureCommand(UINT id, CCmdUI* ui) {
    if (id != ID_FEATURE_PROPERTIES && id != ID_FEATURE_DELETE && id != ID_FEATURE_CLEARSELECTED)
        return false;
    const bool selected = HasCurrentFeature();
    bool enabled = selected;
    if (id == ID_FEATURE_CLEARSELECTED)
        enabled = selected || m_destination.IsSet() || GetShellServices()->IsFeatureSheetOpen() ||
                  ::HasIdentifyPoint() || HasFoundFeature();
    if (ui) {
        ui->Enable(enabled);
        return true;
    }
    if (!enabled) return true;
    CLayerList& layers = m_doc->GetLayers();
    switch (id) {
        case ID_FEATURE_PROPERTIES:
            if (GetShellServices()->ShowFeatureSheet(layers.GetCurrentFeatureLayer(),
                                                     layers.GetCurrentFeatureRecord(),
                                                     kSheetEditExisting))
                FireFeatureChanged();
            break;
        case ID_FEATURE_DELETE: {
            MessageBeep(MB_ICONQUESTION);
            if (ShowMapMessage(IDP_DELETE_FEATURE, MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION,
                               kBeepNone) != IDYES)
                break;
            // Deleting clears the selection: keep what the events need.
            CLayer* layer = layers.GetCurrentFeatureLayer();
            if (DeleteSelected()) FireOnMapAndLayer(layer, kEventOnFeatureDeleted);
            break;
        }
        case ID_FEATURE_CLEARSELECTED:
            ClearSelection();
            ClearDestination();
            Repaint(true);
            break;
        default:
            break;
    }
    return true;
}
