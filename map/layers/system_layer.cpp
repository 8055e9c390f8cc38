#include "map/layers/system_layer.h"

#include <cmath>

#include "crs/coord_sys.h"
#include "crs/coord_text.h"
#include "map/map_messages.h"
#include "map/services/preferences.h"
#include "resources/zres.h"

CSystemLayer::CSystemLayer() { SetKind(LayerKind::System); }

CGridLayer::CGridLayer() {
    SetDisplayClass(DisplayClass::Grid);
    SetName(LoadMapString(IDS_MAP_GRID));
    SetVisible(false);
}

bool CGridLayer::Draw(HDC target, HDC, double) {
    if (!target) return false;
    PreferencesData::MapGrid& symbols = GetPreferences()->Data().mapgrid;
    symbols.line.SelectDrawingObjects(target, 0);
    GridPlan plan = Plan();
    HGDIOBJ previousFont = GetCurrentObject(target, OBJ_FONT);
    bool vertical = false;
    bool fontChosen = false;
    for (const GridLine& line : plan.lines) {
        if (!fontChosen || line.vertical != vertical) {
            // Labels of vertical lines read upwards along them.
            symbols.text.SelectWithAngle(target, line.vertical ? 2700 : 0);
            vertical = line.vertical;
            fontChosen = true;
        }
        POINT ends[2] = {MapToDevice(line.from.x, line.from.y), MapToDevice(line.to.x, line.to.y)};
        MoveToEx(target, ends[0].x, ends[0].y, nullptr);
        LineTo(target, ends[1].x, ends[1].y);
        POINT at = MapToDevice(line.labelAt.x, line.labelAt.y);
        ExtTextOut(target, at.x, at.y, 0, nullptr, line.label.c_str(),
                   static_cast<UINT>(line.label.size()), nullptr);
    }
    if (previousFont) SelectObject(target, previousFont);
    return true;
}

bool CGridLayer::IsGeographic() const {
    const CCoordSys* cs = GetLayerCoordSys();
    return cs && cs->m_projectionCode == 43000;
}

namespace {

// 15 before 10 on purpose: above 7.5 degrees the grid jumps to 15.
const double kGeographicIntervals[] = {
    0,          1 / 3600.0,  2 / 3600.0, 5 / 3600.0, 7.5 / 3600.0, 10 / 3600.0,
    15 / 3600.0, 30 / 3600.0, 1 / 60.0,   2 / 60.0,   5 / 60.0,     7.5 / 60.0,
    10 / 60.0,  15 / 60.0,   0.5,        1,          5,            7.5,
    15,         10,          15,         20,         30};
const double kProjectedIntervals[] = {
    0,       0.01,    0.25,    0.5,      1,        2,        5,        10,       20,
    25,      50,      100,     200,      250,      500,      1000,     2000,     2500,
    5000,    10000,   20000,   25000,    50000,    100000,   200000,   250000,   500000,
    1000000, 2000000, 2500000, 5000000,  10000000, 25000000, 50000000};

constexpr double kMaxGridLines = 1000;

WString AxisLabel(double v, bool geographic, bool latitude) {
    if (geographic) return FormatDms(v, latitude);
    const WChar* whole = latitude ? u"%.15gN" : u"%.15gE";
    const WChar* fraction = latitude ? u"%.2fN" : u"%.2fE";
    return text::Format(v == std::floor(v) ? whole : fraction, v);
}

}  // namespace

double CGridLayer::ChooseInterval(double wanted, bool geographic) {
    if (!(wanted > 0)) return 0;
    if (geographic) {
        for (double v : kGeographicIntervals)
            if (v >= wanted) return v;
        return 30;
    }
    for (double v : kProjectedIntervals)
        if (v >= wanted) return v;
    return 0;
}

GridPlan CGridLayer::PlanGrid(const CDoubleRect& drawExtent, bool geographic) {
    GridPlan plan;
    CDoubleRect e = drawExtent;
    if (geographic) {
        e.xmin = std::max(e.xmin, -180.0);
        e.ymin = std::max(e.ymin, -90.0);
        e.xmax = std::min(e.xmax, 180.0);
        e.ymax = std::min(e.ymax, 90.0);
    }
    plan.extent = e;
    if (!std::isfinite(e.xmin) || !std::isfinite(e.ymin) || !std::isfinite(e.xmax) ||
        !std::isfinite(e.ymax) || e.xmax <= e.xmin || e.ymax <= e.ymin)
        return plan;
    double ix = ChooseInterval((e.xmax - e.xmin) / 8, geographic);
    double iy = ChooseInterval((e.ymax - e.ymin) / 4, geographic);
    double interval = std::max(ix, iy);
    plan.interval = interval;
    if (interval <= 0) return plan;

    auto axis = [&](double lo, double hi, double limit, bool vertical) {
        double first = std::floor(lo / interval) * interval;
        double last = std::ceil(hi / interval + 0.5) * interval;
        if (geographic) {
            if (first <= -limit) first = -limit;
            if (last >= limit) last = limit;
        }
        // One interval can serve an axis far longer than the other (the
        // larger wanted interval was past the table): such an axis would
        // get millions of lines, so it gets none.
        if ((last - first) / interval > kMaxGridLines) return;
        for (double v = first; v <= last; v += interval) {
            GridLine line;
            line.vertical = vertical;
            line.value = v;
            if (vertical) {
                line.from = {v, e.ymin};
                line.to = {v, e.ymax};
                line.labelAt = {v, e.ymax};
            } else {
                line.from = {e.xmin, v};
                line.to = {e.xmax, v};
                line.labelAt = {e.xmin, v};
            }
            line.label = AxisLabel(v, geographic, !vertical);
            plan.lines.push_back(std::move(line));
        }
    };
    axis(e.xmin, e.xmax, 180, true);
    axis(e.ymin, e.ymax, 90, false);
    return plan;
}
