// The layers every map has outside its layer list: the map grid and the GPS
// tracklog. They see the map's coordinate system without owning it.
#pragma once

#include <vector>

#include "map/layers/layer.h"

class CSystemLayer : public CLayer {
public:
    CSystemLayer();
    bool OpenDataset(const WString&) override { return true; }
    void CloseDataset() override {}
    void OnViewChanged() override {}
};

// One line of the map grid in map units, with its label.
struct GridLine {
    bool vertical = true;
    double value = 0;  // x of a vertical line, y of a horizontal one
    DoublePoint from;
    DoublePoint to;
    DoublePoint labelAt;
    WString label;
};

struct GridPlan {
    double interval = 0;  // 0: no lines
    CDoubleRect extent;   // the grid extent (cut to the world on geographic maps)
    std::vector<GridLine> lines;  // vertical lines first, then horizontal
};

class CGridLayer : public CSystemLayer {
public:
    CGridLayer();
    // The grid is drawn by the shapefile layer drawing with the preferences'
    // grid symbols; until then it draws nothing.
    bool Draw(HDC target, HDC second, double mapScale) override;

    bool IsGeographic() const;
    // The first table entry not smaller than the wanted interval.
    static double ChooseInterval(double wanted, bool geographic);
    // Lines and labels for a draw extent.
    static GridPlan PlanGrid(const CDoubleRect& drawExtent, bool geographic);
    GridPlan Plan() const { return PlanGrid(GetDrawExtent(), IsGeographic()); }
};
