// On-the-fly reprojection of a layer's points and corners, against cs2cs.
#include <cstdio>
#include <memory>
#include <sstream>

#include "crs/coord_sys.h"
#include "crs/wkt.h"
#include "tests/map/map_doubles.h"
#include "tests/support/run_command.h"

namespace {

const WChar kGeographic[] =
    u"GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137,298.257223563]],"
    u"PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.017453292519943295]]";
// cs2cs from geographic WGS 1984 to UTM zone 33 north.
std::vector<DoublePoint> Cs2cs(const std::vector<DoublePoint>& lonlat) {
    std::ostringstream in;
    in.precision(17);
    for (const DoublePoint& p : lonlat) in << p.x << ' ' << p.y << '\n';
    std::string command = "printf '" + in.str() +
                          "' | cs2cs -f %.6f +proj=longlat +datum=WGS84 +to +proj=utm +zone=33 "
                          "+datum=WGS84";
    std::vector<DoublePoint> out;
    const std::string text = testsupport::RunCommand(command);
    double x, y, z;
    int used = 0;
    for (const char* at = text.c_str(); std::sscanf(at, "%lf %lf %lf%n", &x, &y, &z, &used) == 3;
         at += used)
        out.push_back({x, y});
    return out;
}

class Reprojection : public MapTest {};

TEST_F(Reprojection, LayerPointsAndCornersAgreeWithCs2cs) {
    CCoordSys* map = MakeCoordSys(kUtm33Wkt);
    CTestImageLayer layer(LayerKind::Bitmap);
    layer.SetReprojectable(true);
    layer.SetCoordSys(MakeCoordSys(kGeographic), true);
    layer.SetMapCoordSysRef(&map);
    layer.UpdateReprojection();
    ASSERT_TRUE(layer.IsReprojecting());

    const std::vector<DoublePoint> lonlat = {
        {15, 0}, {16.5, 48.2}, {12.01, 60.5}, {18.9, 35.25}, {9.5, 71.0}};
    std::vector<DoublePoint> expected = Cs2cs(lonlat);
    ASSERT_EQ(expected.size(), lonlat.size());
    std::vector<DoublePoint> got(lonlat.size());
    layer.LayerToMapPoints(lonlat.data(), static_cast<int>(lonlat.size()), got.data());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].x, expected[i].x, 1e-3) << i;  // the series' stated millimetre
        EXPECT_NEAR(got[i].y, expected[i].y, 1e-3) << i;
    }
    std::vector<DoublePoint> back(got.size());
    layer.MapToLayerPoints(got.data(), static_cast<int>(got.size()), back.data());
    for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_NEAR(back[i].x, lonlat[i].x, 1e-8) << i;
        EXPECT_NEAR(back[i].y, lonlat[i].y, 1e-8) << i;
    }

    // Corners: the two corner points, not the box of the outline.
    CDoubleRect corners;
    layer.LayerToMapCorners(CDoubleRect(12.01, 35.25, 18.9, 60.5), corners);
    std::vector<DoublePoint> c = Cs2cs({{12.01, 35.25}, {18.9, 60.5}});
    ASSERT_EQ(c.size(), 2u);
    EXPECT_NEAR(corners.xmin, c[0].x, 1e-3);
    EXPECT_NEAR(corners.ymin, c[0].y, 1e-3);
    EXPECT_NEAR(corners.xmax, c[1].x, 1e-3);
    EXPECT_NEAR(corners.ymax, c[1].y, 1e-3);

    // Without reprojection the points are copied.
    layer.SetReprojectable(false);
    layer.UpdateReprojection();
    layer.LayerToMapPoints(lonlat.data(), 1, got.data());
    EXPECT_EQ(got[0].x, 15);
    EXPECT_EQ(got[0].y, 0);
    layer.SetMapCoordSysRef(nullptr);
    delete map;
}

}  // namespace
