// Texts, zoom and page scripts of the map panel, without a window.
#include "views/MapLogic.h"
#include "core/GpsList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

// Readable failures for texts.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace MapLogic;

namespace
{

const QString kDeg = QString(QChar(0x00B0));

GpsList trackOf(std::initializer_list<std::pair<float, float>> points)
{
    GpsList list;
    for (const auto& p : points)
        list.InsertData(p.first, p.second, 10.0f, 90.0f, -1);
    list.setBGps(true);
    return list;
}

// A point `metres` north of (35, 139) along the meridian.
std::pair<float, float> north(double metres)
{
    return {static_cast<float>(35.0 + metres / 1000.0 / 6378.137 * 180.0 / 3.141592653589793), 139.0f};
}

} // namespace

TEST(MapLogic, DirectionSectorsAndRounding)
{
    EXPECT_EQ(directionString(22.5f, kDeg), "N 23" + kDeg);
    EXPECT_EQ(directionString(22.6f, kDeg), "NE 23" + kDeg);
    EXPECT_EQ(directionString(337.5f, kDeg), "N 338" + kDeg);
    EXPECT_EQ(directionString(337.4f, kDeg), "NW 337" + kDeg);
    EXPECT_EQ(directionString(45.4f, kDeg), "NE 45" + kDeg);
    EXPECT_EQ(directionString(0.0f, kDeg), "N 0" + kDeg);
    EXPECT_EQ(directionString(112.5f, kDeg), "E 113" + kDeg);
    EXPECT_EQ(directionString(200.0f, kDeg), "S 200" + kDeg);
    EXPECT_EQ(directionString(250.0f, kDeg), "W 250" + kDeg);
    EXPECT_EQ(directionString(-1.0f, kDeg), "-");
    EXPECT_EQ(directionString(std::numeric_limits<float>::quiet_NaN(), kDeg), "-");
}

TEST(MapLogic, CoordinateTexts)
{
    EXPECT_EQ(locationString(true, -25.5f, kDeg), "S 25" + kDeg + "30'0.0\"");
    EXPECT_EQ(locationString(false, 139.25f, kDeg), "E 139" + kDeg + "15'0.0\"");
    EXPECT_EQ(locationString(false, -0.5f, kDeg), "W 0" + kDeg + "30'0.0\"");
    EXPECT_EQ(locationString(true, 0.0f, kDeg), "N 0" + kDeg + "00'00\"");
}

TEST(MapLogic, InfoBarTextForms)
{
    // Full position with altitude; hemisphere letters from the signs.
    EXPECT_EQ(
        infoText(-25.5f, 139.25f, 40, 120.75f, 45.4f, kDeg).toStdString(),
        ("NE 45" + kDeg + " [25.50000" + kDeg + "S. 139.25000" + kDeg + "E]  Alt.120.8m").toStdString());
    EXPECT_EQ(infoText(35.0f, -0.5f, 0, 65534.9f, -1, kDeg),
              "  [35.00000" + kDeg + "N. 0.50000" + kDeg + "W]  Alt.65534.9m");
    // No altitude reading.
    EXPECT_EQ(infoText(35.0f, 139.0f, 0, 65535.0f, 90, kDeg),
              "E 90" + kDeg + " [35.00000" + kDeg + "N. 139.00000" + kDeg + "E]  Alt.-");
    // No position, or a carried-over position (speed -1): the short form.
    EXPECT_EQ(infoText(0, 0, 0, 0, -1, kDeg), "  [-. -]  Alt.-");
    EXPECT_EQ(infoText(35.0f, 139.0f, -1, 10, 90, kDeg), "E 90" + kDeg + " [-. -]  Alt.-");
}

TEST(MapLogic, SpeedFigureAndUnits)
{
    EXPECT_EQ(speedFigure(100, 0), "100");
    EXPECT_EQ(speedFigure(100, 1), "62");
    EXPECT_EQ(speedFigure(0.5f, 0), "1");
    EXPECT_EQ(speedFigure(-1, 0), "-");
    EXPECT_EQ(speedFigure(-1, 1), "-");
    EXPECT_EQ(speedUnitString(1), "mph");
    EXPECT_EQ(speedUnitString(0), "km/h");
    EXPECT_EQ(speedUnitString(7), "km/h");
}

TEST(MapLogic, ZoomFromTrackExtent)
{
    EXPECT_EQ(zoomForDistance(0.0999), 18);
    EXPECT_EQ(zoomForDistance(0.1), 15);
    EXPECT_EQ(zoomForDistance(0.9), 14);
    EXPECT_EQ(zoomForDistance(1.0), 13);
    EXPECT_NEAR(haversineKm(35, 139, 36, 139), 111.3195, 0.001);

    auto zoomOf = [](double metres) {
        const GpsList list = trackOf({north(0), north(metres)});
        return planPath(&list).zoom;
    };
    EXPECT_EQ(zoomOf(80), 18);
    EXPECT_EQ(zoomOf(300), 15);
    EXPECT_EQ(zoomOf(900), 14);
    EXPECT_EQ(zoomOf(1005), 13);
    // One sample: the route is sent, no zoom.
    const GpsList one = trackOf({north(0)});
    const PathPlan single = planPath(&one);
    EXPECT_EQ(single.points.size(), 1u);
    EXPECT_EQ(single.zoom, -1);
}

TEST(MapLogic, PathPlanSendsEverySampleButMeasuresFromRealPositions)
{
    // Leading samples without a position are sent (as points the page will
    // skip) but the extent runs from the first real position: 80 m -> 18,
    // where measuring from (0, 0) would give 13.
    const auto a = north(0), b = north(80);
    const GpsList list = trackOf({{0, 0}, {0, 0}, a, {0, 0}, b});
    const PathPlan plan = planPath(&list);
    ASSERT_EQ(plan.points.size(), 5u);
    EXPECT_EQ(plan.points[0], std::make_pair(0.0f, 0.0f));
    EXPECT_EQ(plan.zoom, 18);

    // Nothing to send.
    EXPECT_TRUE(planPath(nullptr).points.empty());
    GpsList noGps = trackOf({a, b});
    noGps.setBGps(false);
    EXPECT_TRUE(planPath(&noGps).points.empty());
    GpsList empty;
    empty.setBGps(true);
    EXPECT_TRUE(planPath(&empty).points.empty());
}

TEST(MapLogic, DamagedCoordinatesNeverReachThePage)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(setCenterScript(95.0f, 10.0f), "mapSetCenter(0.000000, 0.000000)");
    EXPECT_EQ(setCenterScript(10.0f, 400.0f), "mapSetCenter(0.000000, 0.000000)");
    EXPECT_EQ(addPathPointScript(nan, 10.0f), "addPathPoint(0.000000, 0.000000)");
    EXPECT_EQ(setCenterScript(-33.5f, 151.25f), "mapSetCenter(-33.500000, 151.250000)");
    EXPECT_EQ(setZoomScript(15), "setZoom(15)");

    const GpsList list = trackOf({{35.5f, 139.25f}, {95.0f, 400.0f}, {35.5f, 139.5f}});
    const PathPlan plan = planPath(&list);
    EXPECT_EQ(pathBatchScript(plan, 0, 3),
              "addPathPoint(35.500000, 139.250000);addPathPoint(0.000000, 0.000000);"
              "addPathPoint(35.500000, 139.500000);");
    // The batch range is clamped to the plan.
    EXPECT_EQ(pathBatchScript(plan, 2, 99), "addPathPoint(35.500000, 139.500000);");
    EXPECT_TRUE(pathBatchScript(plan, 3, 5).isEmpty());
}

TEST(MapLogic, SampleOfTheSecondAndGValues)
{
    // No sample: the reset values.
    PanelPosition none = positionForSample(nullptr);
    EXPECT_EQ(none.latitude, 0);
    EXPECT_EQ(none.direction, -1);

    GpsData s;
    s.setFLatitude(35);
    s.setFLongitude(139);
    s.setFSpeed(50);
    s.setDAltitude(12.5);
    s.setFDirection(90);
    PanelPosition p = positionForSample(&s);
    EXPECT_EQ(p.latitude, 35);
    EXPECT_EQ(p.speed, 50);
    EXPECT_FLOAT_EQ(p.altitude, 12.5f);
    EXPECT_EQ(p.direction, 90);

    // Without a position: no speed, no course, altitude 0 unless "no reading".
    s.setFLatitude(0);
    s.setFLongitude(0);
    p = positionForSample(&s);
    EXPECT_EQ(p.speed, 0);
    EXPECT_EQ(p.altitude, 0);
    EXPECT_EQ(p.direction, -1);
    s.setDAltitude(65535);
    EXPECT_EQ(positionForSample(&s).altitude, 65535.0f);

    EXPECT_EQ(gThousandths(0.0004f), 0);
    EXPECT_EQ(gThousandths(0.0005f), 1);
    EXPECT_EQ(gThousandths(-0.0015f), -2);
    EXPECT_EQ(gThousandths(-1.2f), -1200);
    EXPECT_EQ(gThousandths(std::numeric_limits<float>::infinity()), 0);
}
