#include "core/TimeStampText.h"

#include <gtest/gtest.h>

namespace
{
_SYSTEMTIME at(int y, int mo, int d, int h, int mi, int s)
{
    _SYSTEMTIME t;
    t.wYear = static_cast<uint16_t>(y);
    t.wMonth = static_cast<uint16_t>(mo);
    t.wDay = static_cast<uint16_t>(d);
    t.wHour = static_cast<uint16_t>(h);
    t.wMinute = static_cast<uint16_t>(mi);
    t.wSecond = static_cast<uint16_t>(s);
    return t;
}
} // namespace

TEST(TimeStampText, DegreesMinutesSeconds)
{
    EXPECT_EQ(pmFormatDegree(true, -33.5f, "°"), "S 33°30'0.0\"");
    EXPECT_EQ(pmFormatDegree(true, 0.0f, "°"), "N 0°00'00\"");
    EXPECT_EQ(pmFormatDegree(false, -0.0001f, "°"), "W 0°00'0.4\"");
    EXPECT_EQ(pmFormatDegree(false, 139.75f, "d"), "E 139d45'0.0\"");
}

TEST(TimeStampText, NoStartDateAndNoTrack)
{
    TimeStampInputs in;
    EXPECT_FALSE(pmBuildTimeStampString(in).has_value());

    in.rearCamTime = at(2021, 3, 5, 14, 22, 33);
    in.currentTime = 2.9;
    EXPECT_EQ(*pmBuildTimeStampString(in),
              " \n \n2021/03/05 14:22:35 0 km/h\n- --° --' ----\" - --° --' ----\"");
    // The user's unit holds without a track too.
    in.speedUnit = 1;
    EXPECT_EQ(*pmBuildTimeStampString(in),
              " \n \n2021/03/05 14:22:35 0 mph\n- --° --' ----\" - --° --' ----\"");
}

TEST(TimeStampText, RollsOverMidnightAndYear)
{
    TimeStampInputs in;
    in.rearCamTime = at(2021, 12, 31, 23, 59, 50);
    in.currentTime = 10.4;
    const std::string text = *pmBuildTimeStampString(in);
    EXPECT_NE(text.find("2022/01/01 00:00:00 "), std::string::npos) << text;
}

TEST(TimeStampText, ImpossibleStartTimeDoesNotPretend)
{
    TimeStampInputs in;
    in.rearCamTime = at(2021, 13, 5, 25, 0, 0);
    in.currentTime = 5;
    const std::string text = *pmBuildTimeStampString(in);
    EXPECT_NE(text.find("----/--/-- --:--:-- "), std::string::npos) << text;
    in.rearCamTime = at(2021, 2, 29, 10, 0, 0); // 2021 is not a leap year
    EXPECT_NE(pmBuildTimeStampString(in)->find("----/--/--"), std::string::npos);
    in.rearCamTime = at(2020, 2, 29, 10, 0, 0);
    EXPECT_NE(pmBuildTimeStampString(in)->find("2020/02/29 10:00:05"), std::string::npos);
}

TEST(TimeStampText, SpeedUnitsTextsAndStampType)
{
    TimeStampInputs in;
    in.rearCamTime = at(2021, 3, 5, 14, 0, 0);
    in.hasTrack = true;
    in.hasSample = true;
    in.latitude = 35.5f;
    in.longitude = 139.25f;
    in.speed = 99.6f;
    in.modelName = "DX-2";
    in.textStamp = "Fleet 7";
    std::string text = *pmBuildTimeStampString(in);
    EXPECT_EQ(text, "Fleet 7\nDX-2\n2021/03/05 14:00:00 100 km/h\nN 35°30'0.0\"  E 139°15'0.0\"");

    in.speedUnit = 1;
    in.modelName = "X"; // a one-character model counts as none: the free text moves to line 2
    text = *pmBuildTimeStampString(in);
    EXPECT_EQ(text.substr(0, 10), " \nFleet 7\n");
    EXPECT_NE(text.find(" 62 mph\n"), std::string::npos) << text;

    in.speed = -5.0f; // not converted, rounds toward zero after +0.5
    in.stampType = 1;
    in.gx = 0.1234f;
    in.gy = -1.0f;
    in.gz = 0;
    text = *pmBuildTimeStampString(in);
    EXPECT_NE(text.find(" -4 mph\nX: 0.123  Y: -1.000  Z: 0.000"), std::string::npos) << text;

    in.showSpeed = false;
    in.latitude = std::numeric_limits<float>::quiet_NaN();
    in.longitude = 0;
    text = *pmBuildTimeStampString(in);
    EXPECT_NE(text.find("14:00:00 \nX:"), std::string::npos) << text;
    EXPECT_EQ(text.find("nan"), std::string::npos);
}

TEST(TimeStampText, PlacementInsideFittedPicture)
{
    // 1920x1080 in a 640x480 host: picture 640x360, margins 10 and 70.
    OverlayPoint p = pmPlaceTimeStamp(100, 50, 640, 480, 1920, 1080, 200, 60);
    EXPECT_EQ(p.x, 100 + 640 - 200 - 10);
    EXPECT_EQ(p.y, 50 + 70);
    // A surface that reports 0x0 uses the host's own size.
    p = pmPlaceTimeStamp(0, 0, 640, 480, 0, 0, 200, 60);
    EXPECT_EQ(p.x, 640 - 200 - 10);
    EXPECT_EQ(p.y, 10);
}
