// Map coordinate conversions: the published reference point, the edges of
// the conversion area, the inverses and the map-type choice.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/MapType.h"
#include "telemetry/GPSTransfer.h"

namespace {

const GPSTransfer kTransfer;

void expectNear(LatLon actual, LatLon expected, double tolerance) {
    EXPECT_NEAR(actual.lat, expected.lat, tolerance);
    EXPECT_NEAR(actual.lon, expected.lon, tolerance);
}

bool moved(LatLon a, LatLon b) {
    return a.lat != b.lat || a.lon != b.lon;
}

}  // namespace

TEST(GPSTransfer, BeijingShiftsNorthAndEastByTheKnownOffset) {
    const LatLon gcj = kTransfer.WGS84_To_GCJ02(39.9, 116.4);
    expectNear(gcj, {39.901404, 116.406243}, 1e-6);
}

TEST(GPSTransfer, InsideTheAreaIsConvertedOutsideIsKept) {
    const struct {
        double lat;
        double lon;
        bool inside;
    } cases[] = {{48.85, 2.35, false},   // Paris
                 {-33.9, 151.2, false},  // Sydney
                 {30.0, 72.004, true},
                 {30.0, 137.8347, true},
                 {0.8293, 110.0, true},
                 {55.8271, 110.0, true},
                 {30.0, std::nextafter(72.004, 0.0), false},
                 {30.0, std::nextafter(137.8347, 200.0), false},
                 {std::nextafter(0.8293, 0.0), 110.0, false},
                 {std::nextafter(55.8271, 90.0), 110.0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lat << ", " << c.lon);
        EXPECT_EQ(kTransfer.outOfChina(c.lat, c.lon), !c.inside);
        EXPECT_EQ(moved(kTransfer.WGS84_To_GCJ02(c.lat, c.lon), {c.lat, c.lon}), c.inside);
        // Both inverses leave a position outside the area alone.
        if (!c.inside) {
            expectNear(kTransfer.GCJ02_To_WGS84(c.lat, c.lon), {c.lat, c.lon}, 0.0);
            expectNear(kTransfer.GCJ02_To_WGS84_exact(c.lat, c.lon), {c.lat, c.lon}, 0.0);
        }
    }
}

TEST(GPSTransfer, InversesRecoverTheReferencePoints) {
    // Beijing, and the north-east corner where the offset exceeds 0.01 degrees.
    for (const LatLon wgs : {LatLon{39.9, 116.4}, LatLon{55.39, 131.03}}) {
        const LatLon gcj = kTransfer.WGS84_To_GCJ02(wgs.lat, wgs.lon);
        expectNear(kTransfer.GCJ02_To_WGS84_exact(gcj.lat, gcj.lon), wgs, 1e-6);
        // One step of the approximate inverse leaves an error of the order of
        // the offset's slope.
        expectNear(kTransfer.GCJ02_To_WGS84(gcj.lat, gcj.lon), wgs, 1e-4);
    }
    EXPECT_GT(kTransfer.WGS84_To_GCJ02(55.39, 131.03).lon - 131.03, 0.01);
}

// The bisection must undo the forward conversion anywhere in the area, not
// only near the reference point: walk a grid that keeps off the edges so that
// the shifted point stays inside too. Each coordinate is halved on its own
// sign, and the slight coupling between them can cost a few 1e-6 degrees.
TEST(GPSTransfer, ExactInverseUndoesForwardOverTheArea) {
    int checked = 0;
    for (double lat = 1.0; lat <= 55.6; lat += 0.37) {
        for (double lon = 72.2; lon <= 137.6; lon += 0.53) {
            const LatLon gcj = kTransfer.WGS84_To_GCJ02(lat, lon);
            const LatLon back = kTransfer.GCJ02_To_WGS84_exact(gcj.lat, gcj.lon);
            ASSERT_NEAR(back.lat, lat, 2e-5) << lat << ", " << lon;
            ASSERT_NEAR(back.lon, lon, 2e-5) << lat << ", " << lon;
            ++checked;
        }
    }
    EXPECT_GT(checked, 15000);
}

TEST(GPSTransfer, BaiduShiftsByTheConstantAndRoundTrips) {
    expectNear(kTransfer.GCJ02_To_BD09(0.0, 0.0), {0.006, 0.0065}, 1e-15);
    for (const LatLon p :
         {LatLon{39.901404, 116.406243}, LatLon{22.5, 113.9}, LatLon{31.23, 121.47}}) {
        const LatLon bd = kTransfer.GCJ02_To_BD09(p.lat, p.lon);
        EXPECT_GT(bd.lat - p.lat, 0.005);
        EXPECT_GT(bd.lon - p.lon, 0.005);
        expectNear(kTransfer.BD09_To_GCJ02(bd.lat, bd.lon), p, 1e-6);
    }
}

TEST(GPSTransfer, MapChoiceFollowsTheServiceAndNoFixIsTheOrigin) {
    const LatLon wgs{39.9, 116.4};
    const LatLon previous{10.0, 20.0};
    const LatLon gcj = kTransfer.WGS84_To_GCJ02(wgs.lat, wgs.lon);
    const LatLon bd = kTransfer.GCJ02_To_BD09(gcj.lat, gcj.lon);
    const std::pair<MapType, LatLon> cases[] = {{MapType::Google, gcj}, {MapType::Bing, gcj},
                                                {MapType::Baidu, bd},   {MapType::OSMap, wgs},
                                                {MapType(0), previous}, {MapType(5), previous}};
    for (const auto& [mapType, expected] : cases) {
        SCOPED_TRACE(static_cast<int>(mapType));
        expectNear(kTransfer.toMap(mapType, wgs, previous), expected, 0.0);
        expectNear(kTransfer.toMap(mapType, {0.0000005, 116.4}, previous), {0.0, 0.0}, 0.0);
        expectNear(kTransfer.toMap(mapType, {39.9, -0.0000009}, previous), {0.0, 0.0}, 0.0);
    }
    // Exactly 1e-6 is a fix.
    EXPECT_TRUE(moved(kTransfer.toMap(MapType::OSMap, {1e-6, 116.4}, previous), {0.0, 0.0}));
}
