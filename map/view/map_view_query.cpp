// Asking the map about a place: identify and hyperlink taps (the layers
// from the top down), the identify window's seam, advanced select, and the
// measurements of the measure tools with the texts of their dialog.
#include <cmath>
#include <vector>

#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "crs/coord_text.h"
#include "crs/measure.h"
#include "crs/unit_text.h"
#include "map/dialogs/find_dlg.h"
#include "map/dialogs/identify_dlg.h"
#include "map/layers/feature_layer.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "map/view/map_view.h"
#include "platform/win/theme.h"
#include "platform/win/window.h"

namespace {

IIdentifyWindow* g_identifyWindow = nullptr;

MeasureInfoRunner& MeasureRunner() {
    static MeasureInfoRunner runner;
    return runner;
}

constexpr UINT kBeepNothingFound = 0x30;

void SetStatus(const WChar* text) {
    if (IMainWindow* frame = GetMainWindowServices()) frame->SetStatusText(text);
}

CFeatureLayer* AsFeatureLayer(CLayer* layer) {
    return dynamic_cast<CFeatureLayer*>(layer);
}

WString DistanceText(double value, const WChar* unit) {
    return text::Format(value > 10 ? u"%.1f%s" : u"%.3f%s", value, unit);
}

}  // namespace

void SetIdentifyWindow(IIdentifyWindow* window) {
    g_identifyWindow = window;
}

IIdentifyWindow* GetIdentifyWindow() {
    return g_identifyWindow;
}

void SetMeasureInfoRunner(MeasureInfoRunner runner) {
    MeasureRunner() = std::move(runner);
}

// ---- identify and hyperlink ----

bool CMapView::IdentifyAt(double x, double y) {
    if (!m_doc) return false;
    CLayerList& layers = m_doc->GetLayers();
    if (!layers.AnyIdentifiable()) {
        IdentifyLocation(x, y);
        return true;
    }
    for (int i = 0; i < layers.GetCount(); ++i) {
        CLayer* layer = layers.GetAt(i);
        if (layer && layer->GetIdentify() && IdentifyLayerAt(layer, x, y)) return true;
    }
    SetStatus(u"Nothing found!");
    MessageBeep(kBeepNothingFound);
    return false;
}

bool CMapView::IdentifyLayerAt(CLayer* layer, double x, double y) {
    double t = GetPenTolerance();
    if (layer->HasIdentifyDialog()) {
        // The search box around the point, in map coordinates (the layer
        // converts it to its own).
        const CDoubleRect box(x - t, y - t, x + t, y + t);
        return layer->ShowIdentifyDialog(0, &box) != 0;
    }
    switch (layer->GetKind()) {
        case LayerKind::Shape:
        case LayerKind::Extension:
            return FindFeatureAt(layer, x, y);
        case LayerKind::Internet:
            if (g_identifyWindow) g_identifyWindow->IdentifyLayerAtPoint(layer, x, y, t);
            return true;
        default:
            return false;
    }
}

bool CMapView::FindFeatureAt(CLayer* layer, double x, double y) {
    CFeatureLayer* features = AsFeatureLayer(layer);
    if (!features) return false;
    win::BeginWaitCursor();
    SetStatus(u"Searching...");
    double distance = 0;
    int record = features->HitTestWithWaitCursor(DoublePoint{x, y}, &distance, GetPenTolerance(),
                                                 GetExtent());
    win::EndWaitCursor();
    if (record <= 0) return false;
    WString text = text::Format(u"Feature 0x%X found", static_cast<unsigned>(record));
    SetStatus(text.c_str());
    Repaint(true);
    features->ShowFeatureProperties(GetSafeHwnd(), record);
    return true;
}

void CMapView::IdentifyLocation(double x, double y) {
    if (g_identifyWindow) g_identifyWindow->IdentifyArea(x, y, GetPenTolerance(), nullptr);
}

void CMapView::AdvancedSelect(const CDoubleRect& rect, int shortSide) {
    if (!g_identifyWindow) return;
    double cx, cy;
    rect.GetCenter(cx, cy);
    bool area = shortSide >= win::theme::Scale(8);
    g_identifyWindow->IdentifyArea(cx, cy, GetPenTolerance(), area ? &rect : nullptr);
}

bool CMapView::HyperlinkAt(double x, double y) {
    if (m_doc) {
        CLayerList& layers = m_doc->GetLayers();
        for (int i = 0; i < layers.GetCount(); ++i) {
            CLayer* layer = layers.GetAt(i);
            if (layer && layer->HasHyperlink() && HyperlinkLayerAt(layer, x, y)) return true;
        }
    }
    SetStatus(u"Nothing found!");
    MessageBeep(kBeepNothingFound);
    return false;
}

bool CMapView::HyperlinkLayerAt(CLayer* layer, double x, double y) {
    CFeatureLayer* features = AsFeatureLayer(layer);
    if (!features) return false;
    double distance = 0;
    int record = features->HitTestWithWaitCursor(DoublePoint{x, y}, &distance, GetPenTolerance(),
                                                 GetExtent());
    if (record <= 0) return false;
    return features->OpenHyperlink(GetSafeHwnd(), record);
}

// ---- the identify window's and Find's marks ----

void CMapView::DrawIdentifyOverlay(HDC dc) {
    ::DrawIdentifyOverlay(*this, dc);
}

void CMapView::DrawFoundFeature(HDC dc) {
    if (HasFoundFeature()) ::DrawFoundFeature(*this, dc);
}

// ---- measuring ----

void CMapView::MeasurePolyline(int units, CCoordSys* cs, int count, const DoublePoint* points) {
    if (count < 1 || !points) return;
    MeasureRecord record;
    record.last = points[count - 1];
    record.distance = MeasureDistance(cs, points[0], points[count - 1]);
    record.length = MeasureLength(cs, count, points);
    record.area = MeasureArea(cs, count, points);
    record.mode = 0;
    ShowMeasureInfo(units, cs, points[0], record);
}

void CMapView::MeasureRadial(int units, CCoordSys* cs, const DoublePoint& centre,
                             const DoublePoint& edge) {
    MeasureRecord record;
    record.last = edge;
    double r = MeasureDistance(cs, centre, edge);
    record.distance = r;
    record.length = r * 2 * M_PI;
    record.area = r * r * M_PI;
    record.mode = 2;
    ShowMeasureInfo(units, cs, centre, record);
}

MeasureTexts CMapView::MeasureInfoTexts(int units, CCoordSys* cs, const DoublePoint& first,
                                        const MeasureRecord& record) {
    MeasureTexts out;
    out.kind = record.mode;
    double forward = 0, back = 0;
    MeasureDistance(cs, first, record.last, &forward, &back);
    bool geographic = cs && cs->m_projectionCode == crs_code::kGeographic;
    int32_t unit = 9001;
    auto pointText = [&](const DoublePoint& p) {
        if (geographic) {
            WString lat = FormatDms(p.y, true), lon = FormatDms(p.x, false);
            return text::Format(u"%s, %s", lat.c_str(), lon.c_str());
        }
        return text::Format(u"%.1lfE, %.1lfN", p.x, p.y);
    };
    if (!geographic && cs) unit = cs->m_projectionUnitCode;
    out.from = pointText(first);
    out.to = pointText(record.last);
    auto azimuth = [](double a) {
        return text::Format(u"%d\u00B0", std::isfinite(a) ? static_cast<int>(a) : 0);
    };
    out.forwardAzimuth = azimuth(forward);
    out.backAzimuth = azimuth(back);
    double distance = record.distance, length = record.length, area = record.area;
    const WChar* label = ScaleDistanceForDisplay(units, unit, &distance);
    out.distance = DistanceText(distance, label);
    label = ScaleDistanceForDisplay(units, unit, &length);
    out.length = DistanceText(length, label);
    label = ScaleAreaForDisplay(units, unit, &area);
    out.area = text::Format(u"%.2f %s", area, label);
    return out;
}

void CMapView::ShowMeasureInfo(int units, CCoordSys* cs, const DoublePoint& first,
                               const MeasureRecord& record) {
    MeasureTexts texts = MeasureInfoTexts(units, cs, first, record);
    if (MeasureRunner())
        MeasureRunner()(GetSafeHwnd(), texts);
    else
        RunMeasureInfoDialog(GetSafeHwnd(), texts);
}

void CMapView::AddFreehandPoint(POINT p) {
    m_freehand.Append(p);
}

void CMapView::MeasureFreehand() {
    int n = m_freehand.Count();
    if (n < 2) return;
    std::vector<DoublePoint> points(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const POINT& p = m_freehand.Points()[i];
        ScreenToMap(p.x, p.y, points[static_cast<size_t>(i)].x, points[static_cast<size_t>(i)].y);
    }
    MeasurePolyline(GetPreferences()->Data().display.units, MapCoordSys(), n, points.data());
    m_freehand.Clear();
    Repaint(false);
}
