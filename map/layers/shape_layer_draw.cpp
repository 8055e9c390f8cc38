// Drawing of a shapefile layer: the symbol of each feature (the renderer's
// class or the default symbol), points, lines, polygons and multipoints from
// the engine's device points, labels beside points, along lines and inside
// polygons, and the progress copy to the window every 500 features.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/language_module.h"
#include "core/user_abort.h"
#include "formats/dbf/dbf_field.h"
#include "formats/shape/shape_draw.h"
#include "formats/shape/shape_geometry.h"
#include "formats/shape/shp_visit.h"
#include "formats/shape/spatial_index.h"
#include "map/layers/shape_layer.h"
#include "platform/gdi/owned.h"
#include "platform/win/window.h"
#include "platform/win/winconst.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr UINT kSimpleBeep = 0xFFFFFFFF;
constexpr int kProgressEvery = 500;

WString LeftTrimmed(WString s) {
    size_t i = 0;
    while (i < s.size() && s[i] == u' ') ++i;
    return s.substr(i);
}

}  // namespace

int NearestSegment(POINT c, const POINT* p, int count, POINT* foot) {
    if (!p || count < 2) return -1;
    int best = -1;
    double bestMeasure = 0;
    double bestT = 0;
    for (int i = 0; i + 1 < count; ++i) {
        // Device coordinates reach 2^27: products need 64 bits.
        int64_t dx = static_cast<int64_t>(p[i + 1].x) - p[i].x;
        int64_t dy = static_cast<int64_t>(p[i + 1].y) - p[i].y;
        int64_t lengthSquared = dx * dx + dy * dy;
        // Consecutive vertices on one pixel have no direction to label along.
        if (lengthSquared == 0) continue;
        int64_t cx = static_cast<int64_t>(c.x) - p[i].x;
        int64_t cy = static_cast<int64_t>(c.y) - p[i].y;
        double t = (static_cast<double>(cx) * dx + static_cast<double>(cy) * dy) /
                   static_cast<double>(lengthSquared);
        if (t < 0 || t > 1) continue;
        double cross = static_cast<double>(-cy) * dx - static_cast<double>(-cx) * dy;
        if (cross == 0) {
            best = i;
            bestT = t;
            break;
        }
        double measure = std::fabs(cross / static_cast<double>(lengthSquared)) *
                         std::sqrt(static_cast<double>(lengthSquared));
        if (best < 0 || measure < bestMeasure) {
            best = i;
            bestMeasure = measure;
            bestT = t;
        }
    }
    if (best >= 0 && foot) {
        foot->x = static_cast<LONG>(p[best].x + bestT * (static_cast<double>(p[best + 1].x) - p[best].x));
        foot->y = static_cast<LONG>(p[best].y + bestT * (static_cast<double>(p[best + 1].y) - p[best].y));
    }
    return best;
}

bool PlaceLineLabel(const POINT* p, int n, int width, int height, int textWidth,
                    LineLabelPlace* out) {
    if (!p || n < 2 || !out) return false;
    LONG left = p[0].x, right = p[0].x, top = p[0].y, bottom = p[0].y;
    for (int i = 1; i < n; ++i) {
        left = std::min(left, p[i].x);
        right = std::max(right, p[i].x);
        top = std::min(top, p[i].y);
        bottom = std::max(bottom, p[i].y);
    }
    left = std::max<LONG>(left, 0);
    top = std::max<LONG>(top, 0);
    right = std::min<LONG>(right, width - 1);
    bottom = std::min<LONG>(bottom, height - 1);
    if (left > right || top > bottom) return false;
    POINT centre{left + (right - left) / 2, top + (bottom - top) / 2};
    POINT foot{};
    int segment = NearestSegment(centre, p, n, &foot);
    if (segment < 0) return false;
    const POINT& a = p[segment];
    const POINT& b = p[segment + 1];
    double degrees =
        std::atan2(static_cast<double>(a.y) - b.y, static_cast<double>(b.x) - a.x) * 180.0 / kPi;
    int angle = static_cast<int>(degrees * 10) % 3600;
    if (angle < 0) angle += 3600;
    if (angle >= 901 && angle <= 2699) angle = angle < 1800 ? angle + 1800 : angle - 1800;
    out->angle = angle;
    out->foot = foot;
    out->start = CentreLineLabel(foot, angle, textWidth);
    return true;
}

POINT CentreLineLabel(POINT foot, int angle, int textWidth) {
    double half = textWidth * 0.5;
    double r = (angle / 10) * kPi / 180.0;
    return POINT{foot.x - static_cast<LONG>(std::cos(r) * half),
                 foot.y + static_cast<LONG>(std::sin(r) * half)};
}

CSymbol* CShapeLayer::ClassForRecord(int record) {
    if (m_rendererField < 0) return m_renderer.GetClass(0);
    DbfHandle table = GetTable();
    if (!DbfReadRecord(table, record)) return m_renderer.GetClass(0);
    CSymbol* symbol;
    if (DbfIsNumericField(table, m_rendererField)) {
        symbol = m_renderer.FindClass(DbfGetNumber(table, m_rendererField));
    } else {
        WString value;
        m_file.GetTable().GetFieldTextLen(m_rendererField, value);
        symbol = m_renderer.FindClass(WStringView(text::ToUpper(value)));
    }
    return symbol ? symbol : m_renderer.GetClass(0);
}

void CShapeLayer::DrawFeatureSymbol(int record, HDC dc, const RECT& rect) {
    if (!GetHandle() || record < 1) return;
    if (CSymbol* symbol = ClassForRecord(record - 1)) symbol->DrawSwatch(dc, rect);
}

namespace {

// One walk's view of the layer while it draws.
struct Drawing {
    CShapeLayer* layer;
    HDC dc;
};

// The class symbol of a feature, or null when it is not drawn (its class is
// hidden or the renderer has none). `read` tells whether the record was read.
CSymbol* FeatureSymbol(CShapeLayer& layer, int record, bool* read) {
    *read = false;
    if (!layer.UsesRenderer()) return &layer.m_defaultSymbol;
    CSymbol* symbol = layer.ClassForRecord(record);
    *read = layer.m_rendererField >= 0;
    if (!symbol) return nullptr;
    ++symbol->m_drawCount;
    return symbol->m_visible ? symbol : nullptr;
}

void FeatureDrawn(CShapeLayer& layer) {
    if (layer.m_drawSecond && layer.m_featureCount % kProgressEvery == 0)
        BitBlt(layer.m_drawSecond, 0, 0, layer.GetDeviceWidth(), layer.GetDeviceHeight(),
               layer.m_drawTarget, 0, 0, SRCCOPY);
    ++layer.m_featureCount;
}

WString LabelText(CShapeLayer& layer) {
    WString text;
    layer.GetFieldText(layer.m_labelField, text);
    return LeftTrimmed(std::move(text));
}

int Rotation(CShapeLayer& layer, int field) {
    return static_cast<int>(layer.GetFieldNumber(field) * 10);
}

void WriteText(HDC dc, int x, int y, UINT options, const WString& text) {
    if (text.empty()) return;
    ExtTextOut(dc, x, y, options, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

// A point label beside its marker: right of it, or, read right to left,
// ending left of it.
void WritePointLabel(CShapeLayer& layer, HDC dc, int x, int y, SIZE half, const WString& text) {
    if (text.empty()) return;
    if (!layer.m_drawRightToLeft) {
        WriteText(dc, x + half.cx + 1, y, layer.m_textOptions, text);
        return;
    }
    SIZE extent{};
    GetTextExtentPoint32(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    WriteText(dc, x - half.cx - 1 - extent.cx, y, layer.m_textOptions, text);
}


// A marker (and its label) at a device point.
void DrawPoint(CShapeLayer& layer, HDC dc, CSymbol& symbol, int x, int y) {
    if (layer.UsesRenderer()) {
        int rotationType = 0;
        int rotation = 0;
        if (layer.m_symbolRotationField >= 0) {
            rotationType = layer.m_renderer.m_rotationType;
            rotation = Rotation(layer, layer.m_symbolRotationField);
        }
        int saved = SaveDC(dc);
        // A simple marker draws with what the device context holds: its
        // class's own pen and brush. (A class without a symbol of its own,
        // the value map's class 0 without an OTHER entry, keeps the layer's.)
        if (symbol.m_type == CSymbol::kTypeSimpleMarker)
            symbol.SelectDrawingObjects(dc, layer.m_drawScale);
        SIZE half = symbol.DrawMarker(dc, x, y, rotationType, rotation, layer.m_drawScale);
        RestoreDC(dc, saved);
        if (layer.m_labelsOn) {
            if (layer.m_labelRotationField >= 0)
                layer.m_labelRenderer.SelectFontRotated(
                    dc, layer.m_drawScale, Rotation(layer, layer.m_labelRotationField));
            WritePointLabel(layer, dc, x, y, half, LabelText(layer));
        }
        return;
    }
    SIZE half = symbol.DrawMarker(dc, x, y, 0, 0, 0);
    if (layer.m_labelsOn) WritePointLabel(layer, dc, x, y, half, LabelText(layer));
}

bool ReadForDrawing(CShapeLayer& layer, int record, bool alreadyRead, bool needed) {
    if (alreadyRead || !needed) return true;
    return DbfReadRecord(layer.GetTable(), record) != 0;
}

int PointFeature(ShpHandle, int record, const ShapeRecord*, POINT*, void* user, int x, int y) {
    CShapeLayer& layer = *static_cast<CShapeLayer*>(user);
    bool read;
    CSymbol* symbol = FeatureSymbol(layer, record, &read);
    if (!symbol) return 1;
    bool needed = layer.m_labelsOn || layer.m_symbolRotationField >= 0 ||
                  layer.m_labelRotationField >= 0;
    ReadForDrawing(layer, record, read, needed);
    DrawPoint(layer, layer.m_drawTarget, *symbol, x, y);
    FeatureDrawn(layer);
    return 1;
}

int MultiPointFeature(ShpHandle h, int record, const ShapeRecord* shape, POINT*, void* user, int,
                      int) {
    CShapeLayer& layer = *static_cast<CShapeLayer*>(user);
    bool read;
    CSymbol* symbol = FeatureSymbol(layer, record, &read);
    if (!symbol) return 1;
    int count = ShpGetPointCount(shape);
    POINT* points = ShpTransformPoints(h, count, ShapeGetPoints(shape));
    if (!points) return 1;
    bool needed = layer.m_labelsOn || layer.m_symbolRotationField >= 0;
    ReadForDrawing(layer, record, read, needed);
    HDC dc = layer.m_drawTarget;
    WString label = layer.m_labelsOn ? LabelText(layer) : WString();
    if (layer.UsesRenderer()) {
        int rotationType = 0;
        int rotation = 0;
        if (layer.m_symbolRotationField >= 0) {
            rotationType = layer.m_renderer.m_rotationType;
            rotation = Rotation(layer, layer.m_symbolRotationField);
        }
        int saved = SaveDC(dc);
        if (symbol->m_type == CSymbol::kTypeSimpleMarker)
            symbol->SelectDrawingObjects(dc, layer.m_drawScale);
        for (int i = 0; i < count; ++i)
            symbol->DrawMarker(dc, points[i].x, points[i].y, rotationType, rotation,
                               layer.m_drawScale);
        RestoreDC(dc, saved);
        if (layer.m_labelsOn)
            for (int i = 0; i < count; ++i)
                WriteText(dc, points[i].x + 1, points[i].y, layer.m_textOptions, label);
    } else {
        for (int i = 0; i < count; ++i) {
            SIZE half = symbol->DrawMarker(dc, points[i].x, points[i].y, 0, 0, 0);
            if (layer.m_labelsOn) WritePointLabel(layer, dc, points[i].x, points[i].y, half, label);
        }
    }
    FeatureDrawn(layer);
    return 1;
}

// The label of one line part, kept upright along its segment nearest the
// centre of the part's visible box.
void LabelLinePart(CShapeLayer& layer, HDC dc, const LOGFONT& font, const WString& text,
                   const POINT* p, int n) {
    LineLabelPlace place;
    if (!PlaceLineLabel(p, n, layer.GetDeviceWidth(), layer.GetDeviceHeight(), 0, &place)) return;
    LOGFONT rotated = font;
    rotated.lfEscapement = place.angle;
    rotated.lfOrientation = place.angle;
    gdi::OwnedFont made(CreateFontIndirect(&rotated));
    if (!made) return;
    HFONT previous = SelectObject(dc, made.get());
    SIZE extent{};
    GetTextExtentPoint32(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    POINT start = CentreLineLabel(place.foot, place.angle, extent.cx);
    WriteText(dc, start.x, start.y, layer.m_textOptions, text);
    SelectObject(dc, previous);
}

int LineFeature(ShpHandle, int record, const ShapeRecord* shape, POINT* points, void* user, int,
                int) {
    CShapeLayer& layer = *static_cast<CShapeLayer*>(user);
    int parts = ShapeGetPartCount(shape);
    if (parts < 0) return 1;
    bool read;
    CSymbol* symbol = FeatureSymbol(layer, record, &read);
    if (!symbol) return 1;
    HDC dc = layer.m_drawTarget;
    if (layer.UsesRenderer()) symbol->SelectDrawingObjects(dc, layer.m_drawScale);
    int total = ShpGetPointCount(shape);
    const uint8_t* starts = ShapeGetParts(shape);
    ShpPolylineParts(dc, points, total, starts, parts);
    if (layer.m_labelsOn) {
        ReadForDrawing(layer, record, read, true);
        WString text = LabelText(layer);
        LOGFONT font{};
        if (!text.empty() && GetObject(GetCurrentObject(dc, OBJ_FONT), sizeof font, &font)) {
            for (int part = parts - 1; part >= 0; --part) {
                int last = 0;
                int first = ShapeGetPartRange(shape, part, &last);
                if (first < 0 || last < first) continue;
                LabelLinePart(layer, dc, font, text, points + first, last - first + 1);
            }
        }
    }
    FeatureDrawn(layer);
    return 1;
}

int PolygonFeature(ShpHandle, int record, const ShapeRecord* shape, POINT* points, void* user, int,
                   int) {
    CShapeLayer& layer = *static_cast<CShapeLayer*>(user);
    int parts = ShapeGetPartCount(shape);
    if (parts < 0) return 1;
    bool read;
    CSymbol* symbol = FeatureSymbol(layer, record, &read);
    if (!symbol) return 1;
    HDC dc = layer.m_drawTarget;
    int total = ShpGetPointCount(shape);
    FillSymbolPolygon(dc, *symbol, points, total, ShapeGetParts(shape), parts,
                      layer.m_drawScale);
    if (layer.m_labelsOn) {
        ReadForDrawing(layer, record, read, true);
        WString text = LabelText(layer);
        const uint8_t* mapPoints = ShapeGetPoints(shape);
        for (int part = parts - 1; part >= 0 && !text.empty(); --part) {
            int last = 0;
            int first = ShapeGetPartRange(shape, part, &last);
            if (first < 0 || last < first) continue;
            // From map coordinates: the engine's point buffer belongs to the
            // record being drawn.
            const uint8_t* ring = mapPoints + 16 * static_cast<size_t>(first);
            int n = last - first + 1;
            DoublePoint labelPoint{};
            GetLabelPoint(&labelPoint, ring, n);
            double area = RingSignedArea(ring, n);
            if (area == 0 || std::fabs(area) * layer.GetXScale() * layer.GetYScale() < 100) continue;
            POINT at = layer.MapToDevice(labelPoint.x, labelPoint.y);
            SIZE extent{};
            GetTextExtentPoint32(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            WriteText(dc, at.x - extent.cx / 2, at.y - extent.cy / 2, layer.m_textOptions, text);
        }
    }
    FeatureDrawn(layer);
    return 1;
}

}  // namespace

bool CShapeLayer::Draw(HDC target, HDC second, double mapScale) {
    ShpHandle h = GetHandle();
    if (!h || !target) return false;
    ShpPointsCallback callback;
    switch (ShpGetShapeType(h)) {
        case 1: case 11: case 21: callback = PointFeature; break;
        case 3: case 13: case 23: callback = LineFeature; break;
        case 5: case 15: case 25: callback = PolygonFeature; break;
        case 8: case 18: case 28: callback = MultiPointFeature; break;
        default: return false;
    }
    m_drawRightToLeft = GetLanguageModule()->IsRightToLeft() || IsRightToLeft();
    m_textOptions = m_drawRightToLeft ? ETO_RTLREADING : 0;
    m_drawScale = mapScale;
    m_drawTarget = target;
    m_drawSecond = second;
    m_defaultSymbol.SelectDrawingObjects(target, mapScale);
    HGDIOBJ previousFont = GetCurrentObject(target, OBJ_FONT);
    m_labelsOn = false;
    if (m_labelRenderer.m_visible && m_labelRenderer.IsInScaleRange(mapScale))
        m_labelsOn = m_labelRenderer.SelectFont(target, mapScale) != nullptr;
    m_featureCount = 0;
    m_renderer.ResetDrawCounts();
    int ok = 1;
    // A tap or Escape stops the walk: the engine asks the message-queue poll.
    const CAbortCheck::Poll previousPoll = ShpSetAbortPoll(&IsAbortRequested);
    if (HasSpatialIndex()) {
        int found = m_index->QueryRect(GetDrawExtent(), 0);
        const uint32_t* words = m_index->GetResultData(0);
        if (found > 0 && words)
            ok = ShpForEachInList(h, m_file.GetTable().GetRecordCount(), found, words,
                                  callback, this);
    } else {
        ok = ShpForEachInExtent(h, &GetDrawExtent(), kShpDrawMapped, callback, this);
    }
    ShpSetAbortPoll(previousPoll);
    if (!ok) MessageBeep(kSimpleBeep);
    if (previousFont) SelectObject(target, previousFont);
    m_drawTarget = nullptr;
    m_drawSecond = nullptr;
    return true;
}
