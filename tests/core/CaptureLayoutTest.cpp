#include "core/CaptureLayout.h"
#include "core/PrintLayout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

TEST(CaptureLayout, TimeStampSizeAndPositionFollowTheFrameWidth)
{
    const TimeStampPlacement hd = pmTimeStampPlacement(1920);
    EXPECT_EQ(hd.fontSize, 18);
    EXPECT_EQ(hd.x, 1620);
    EXPECT_EQ(hd.y, 10);
    const TimeStampPlacement p720 = pmTimeStampPlacement(1280);
    EXPECT_EQ(p720.fontSize, 18);
    EXPECT_EQ(p720.x, 980);
    const TimeStampPlacement vga = pmTimeStampPlacement(640);
    EXPECT_EQ(vga.fontSize, 12);
    EXPECT_EQ(vga.x, 440);
    EXPECT_EQ(pmTimeStampPlacement(1279).fontSize, 12);
    EXPECT_EQ(pmTimeStampPlacement(1279).x, 1079);
    // Truncated, not rounded.
    EXPECT_EQ(pmTimeStampPlacement(640.9).x, 440);
}

TEST(CaptureLayout, NarrowerRearIsScaledToTheFrontWidthBelowIt)
{
    const CombinedLayout l = pmCombineLayout(1920, 1080, 1280, 720);
    EXPECT_EQ(l.width, 1920);
    EXPECT_EQ(l.height, 2160);
    EXPECT_EQ(l.camera2, (PmFrameF{0, 0, 1920, 1080}));
    EXPECT_EQ(l.camera1, (PmFrameF{0, 1080, 1920, 1080}));

    // A wider rear keeps its own size; the picture is the front's width.
    const CombinedLayout wide = pmCombineLayout(640, 360, 1280, 720);
    EXPECT_EQ(wide.width, 640);
    EXPECT_EQ(wide.height, 1080);
    EXPECT_EQ(wide.camera2, (PmFrameF{0, 0, 1280, 720}));
    EXPECT_EQ(wide.camera1.y, 720);

    // A fractional scaled height: the front sits on its truncated top.
    const CombinedLayout odd = pmCombineLayout(1000, 500, 300, 200);
    EXPECT_NEAR(odd.camera2.height, 666.6667, 1e-3);
    EXPECT_EQ(odd.camera1.y, 666);
    EXPECT_EQ(odd.height, 1166);

    EXPECT_EQ(pmCombineLayout(0, 0, 640, 480).width, 0);
}

TEST(CaptureLayout, ProposedNamesFromTheLocalMomentOfSaving)
{
    const CaptureDate d{2024, 3, 5, 7, 8, 9};
    EXPECT_EQ(pmCaptureFileName(d, 0), "20240305-070809.jpg");
    EXPECT_EQ(pmCaptureFileName(d, 1), "20240305-070809-1.jpg");
    EXPECT_EQ(pmCaptureFileName(d, 2), "20240305-070809-2.jpg");

    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 31;
    local.tm_hour = 23;
    local.tm_min = 59;
    local.tm_sec = 58;
    local.tm_isdst = -1;
    const CaptureDate back = pmCaptureDate(std::chrono::system_clock::from_time_t(std::mktime(&local)));
    EXPECT_EQ(pmCaptureFileName(back, 0), "20241231-235958.jpg");
}

TEST(PrintLayout, OneCameraOnA600By800Page)
{
    const PrintLayout l = pmPrintLayout(600, 800, PrintOneCamera, 1920, 1080, 0, 0, 14);
    // Top-left (10, 10, 580, 324.8) turned to the bottom-left origin.
    EXPECT_DOUBLE_EQ(l.rectVideo.x, 10);
    EXPECT_DOUBLE_EQ(l.rectVideo.width, 580);
    EXPECT_NEAR(l.rectVideo.height, 324.8, 1e-9);
    EXPECT_NEAR(l.rectVideo.y, 800 - 324.8 - 10, 1e-9);
    EXPECT_EQ(l.rectVideo2, l.rectVideo);
    // G-sensor picture 290 x 179.8 at x = 300, 10 below the video.
    EXPECT_DOUBLE_EQ(l.rectGSensor.x, 300);
    EXPECT_DOUBLE_EQ(l.rectGSensor.width, 290);
    EXPECT_NEAR(l.rectGSensor.height, 179.8, 1e-9);
    EXPECT_NEAR(l.rectGSensor.y, 800 - 179.8 - 344.8, 1e-9);
    // Rows from y = 344 every 39 points (gap 19), each centred for a 14-point line.
    const PmFrameF* rows[] = {&l.rectDirection, &l.rectLongitude, &l.rectLatitude, &l.rectAltitude,
                              &l.rectSpeed};
    for (int i = 0; i < 5; ++i) {
        const double top = 344 + i * 39;
        EXPECT_DOUBLE_EQ(rows[i]->x, 10) << i;
        EXPECT_DOUBLE_EQ(rows[i]->width, 290) << i;
        EXPECT_DOUBLE_EQ(rows[i]->height, 14) << i;
        EXPECT_DOUBLE_EQ(rows[i]->y, 800 - 20 - top + 3) << i;
    }
    EXPECT_EQ(l.rectDate, (PmFrameF{300, 10, 290, 20}));

    // Drawing narrows the 16:9 frame's area to 324.8 / 0.5625, keeping x and the bottom edge.
    const PmFrameF drawn = pmPrintFitSingleFrame(l.rectVideo, 1920, 1080);
    EXPECT_NEAR(drawn.width, 577.42, 0.01);
    EXPECT_DOUBLE_EQ(drawn.height, l.rectVideo.height);
    EXPECT_DOUBLE_EQ(drawn.x, 10);
    EXPECT_DOUBLE_EQ(drawn.y, l.rectVideo.y);
    // A 2:1 frame keeps the width and takes half of it as height; a portrait frame is left alone.
    const PmFrameF twoToOne = pmPrintFitSingleFrame(l.rectVideo, 2000, 1000);
    EXPECT_DOUBLE_EQ(twoToOne.width, 580);
    EXPECT_DOUBLE_EQ(twoToOne.height, 290);
    EXPECT_DOUBLE_EQ(twoToOne.y, l.rectVideo.y);
    EXPECT_EQ(pmPrintFitSingleFrame(l.rectVideo, 1080, 1920), l.rectVideo);

    EXPECT_EQ(pmMakeHalfRect(PmFrameF{10, 5, 290, 14}), (PmFrameF{155, 5, 145, 14}));
}

TEST(PrintLayout, BothCamerasShareTheUpperTwoThirds)
{
    const double W = 600, H = 800;
    const PrintLayout l = pmPrintLayout(W, H, PrintBothCameras, 1920, 1080, 1280, 720, 14);
    // Camera 1: height 256 (32 % of 800), width fitted to 16:9 = int(256 / 1080 * 1920) = 455.
    EXPECT_DOUBLE_EQ(l.rectVideo.height, 256);
    EXPECT_DOUBLE_EQ(l.rectVideo.width, 455);
    EXPECT_DOUBLE_EQ(l.rectVideo.y, H - 256 - 10);
    // Camera 2 below it: top 276, height int(536) - 256 - 10 = 270; the page
    // width's scale 580/1280 is above 270/720, so its width becomes 0.375 x 1280.
    EXPECT_DOUBLE_EQ(l.rectVideo2.width, 480);
    EXPECT_DOUBLE_EQ(l.rectVideo2.height, 270);
    EXPECT_DOUBLE_EQ(l.rectVideo2.y, H - 270 - 276);
    // The G-sensor picture 10 below camera 2.
    EXPECT_NEAR(l.rectGSensor.y, H - 179.8 - 556, 1e-9);
    // A wide frame: the height is fitted to the page width instead.
    const PrintLayout wide = pmPrintLayout(W, H, PrintBothCameras, 2320, 580, 2320, 580, 14);
    EXPECT_DOUBLE_EQ(wide.rectVideo.width, 580);
    EXPECT_DOUBLE_EQ(wide.rectVideo.height, 145);
}

TEST(PrintLayout, ValueTextsAndTheirDashes)
{
    PrintSample s;
    s.direction = 45;
    s.longitude = 139.70171f;
    s.latitude = -35.65812f;
    s.altitude = 41.25f;
    s.speed = 99.6f;
    PrintValueTexts t = pmPrintValueTexts(s, 0, "°");
    EXPECT_EQ(t.longitude, "139.70171°");
    EXPECT_EQ(t.latitude, "-35.65812°");
    EXPECT_EQ(t.altitude, "41.2 m");
    EXPECT_EQ(t.speed, "100 km/h");
    EXPECT_EQ(pmPrintValueTexts(s, 1, "°").speed, "62 mph");

    // No fix (latitude 0): everything but the direction is "-".
    PrintSample noFix = s;
    noFix.latitude = 0;
    t = pmPrintValueTexts(noFix, 0, "°");
    EXPECT_EQ(t.longitude, "-");
    EXPECT_EQ(t.latitude, "-");
    EXPECT_EQ(t.speed, "-");
    EXPECT_EQ(t.altitude, "-");

    PrintSample noAltitude = s;
    noAltitude.altitude = 65535;
    EXPECT_EQ(pmPrintValueTexts(noAltitude, 0, "°").altitude, "-");
    EXPECT_EQ(pmPrintValueTexts(noAltitude, 0, "°").speed, "100 km/h");
    PrintSample reversing = s;
    reversing.speed = -1;
    t = pmPrintValueTexts(reversing, 0, "°");
    EXPECT_EQ(t.speed, "-");
    EXPECT_EQ(t.longitude, "-");
    EXPECT_EQ(t.altitude, "41.2 m");

    // Without a sample everything is "-".
    t = pmPrintValueTexts(PrintSample{}, 0, "°");
    EXPECT_EQ(t.altitude, "-");
    EXPECT_EQ(t.speed, "-");

    EXPECT_EQ(pmPrintDateText("Print date", 2024, 3, 5), "Print date : 2024/03/05");
}
