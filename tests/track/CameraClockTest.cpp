// The camera clock against the GPS time its track carries: the difference
// split into a time zone (whole quarter-hours) and drift, from camera logs and
// embedded fixes, and written into the evidence package.
#include "core/CameraClock.h"
#include "MediaGen.h"
#include "core/EmbeddedTrack.h"
#include "core/GpsList.h"
#include "core/GpsParser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

class CameraClockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rovix_clock_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    // A camera log whose GPS times start at `utc` (the name's time is the camera's).
    GpsList logFrom(const mediagen::StartTime& utc, int seconds = 30)
    {
        mediagen::NmeaSpec recipe;
        recipe.start = utc;
        recipe.drive.seconds = seconds;
        const std::string path = root + "/x.log";
        EXPECT_TRUE(mediagen::writeNmeaLog(path, recipe));
        GpsList list;
        GpsParser parser;
        EXPECT_TRUE(parser.ParseFile(path, &list));
        return list;
    }
    std::string root;
};

const int64_t k1730 = 1615829400000LL; // 2021-03-15 17:30:00 as wall-clock ms

TEST_F(CameraClockTest, DifferenceSplitsIntoTimeZoneAndDrift)
{
    CameraClock clock;
    // Camera 17:30:00 in Tokyo while the GPS says 08:27:47 UTC.
    GpsList tokyo = logFrom({2021, 3, 15, 8, 27, 47});
    ASSERT_TRUE(pmCameraClock(tokyo, k1730, clock));
    EXPECT_EQ(clock.zoneMinutes, 9 * 60);
    EXPECT_EQ(clock.driftMs, 133000);
    EXPECT_EQ(clock.samples, 30);
    EXPECT_EQ(pmCameraClockText(clock), "camera clock 2 min 13 s ahead of GPS time; camera time zone UTC+9");
    EXPECT_EQ(pmCameraClockLines(tokyo, k1730),
              "Camera clock: camera clock 2 min 13 s ahead of GPS time; camera time zone UTC+9 (from 30 GPS "
              "times)\n"
              "Start by the camera clock: 2021-03-15 17:30:00\n"
              "Start corrected: 2021-03-15 17:27:47 UTC+9 (2021-03-15 08:27:47 UTC)\n");

    // Newfoundland (UTC-3:30), the camera 40 s slow: 17:30:00 local is 21:00:40 UTC.
    ASSERT_TRUE(pmCameraClock(logFrom({2021, 3, 15, 21, 0, 40}), k1730, clock));
    EXPECT_EQ(pmCameraClockText(clock), "camera clock 40 s behind GPS time; camera time zone UTC-3:30");
    // Firmware that writes local time into the GPS fields: no zone, no drift.
    ASSERT_TRUE(pmCameraClock(logFrom({2021, 3, 15, 17, 30, 0}), k1730, clock));
    EXPECT_EQ(pmCameraClockText(clock),
              "camera clock agrees with GPS time to the second; camera time zone UTC+0");
    // Just under half a quarter-hour is drift; across midnight and the date line too.
    ASSERT_TRUE(pmCameraClock(logFrom({2021, 3, 15, 17, 37, 20}), k1730, clock));
    EXPECT_EQ(pmCameraClockText(clock), "camera clock 7 min 20 s behind GPS time; camera time zone UTC+0");
    ASSERT_TRUE(pmCameraClock(logFrom({2021, 3, 16, 5, 30, 0}), k1730, clock));
    EXPECT_EQ(clock.zoneMinutes, -12 * 60);
    EXPECT_FALSE(pmCameraClock(logFrom({2021, 3, 17, 5, 30, 0}), k1730, clock)) << "no time zone is 36 h";

    // No GPS times (padding, a track without them): no claim about the clock.
    GpsList none;
    none.SyncVideoDuration(10);
    GpsData plain;
    none.InsertData(&plain, -1);
    EXPECT_FALSE(pmCameraClock(none, k1730, clock));
    EXPECT_EQ(pmCameraClockLines(none, k1730), "");

    // Embedded fixes keep their UTC time at the whole second they stand for.
    EmbeddedTrack track;
    for (int i = 0; i < 3; ++i) {
        EmbeddedFix fix;
        fix.time = i + 0.4;
        fix.valid = true;
        fix.latitude = 35.6;
        fix.longitude = 139.7;
        fix.utcMs = k1730 - 9 * 3600000LL + i * 1000 + 400 - 5000; // 5 s ahead
        track.addFix(fix);
    }
    GpsList embedded;
    ASSERT_TRUE(pmFillGpsList(track, embedded));
    ASSERT_TRUE(pmCameraClock(embedded, k1730, clock));
    EXPECT_EQ(pmCameraClockText(clock), "camera clock 5 s ahead of GPS time; camera time zone UTC+9");
}

TEST_F(CameraClockTest, EvidencePackageStatesTheCameraClock)
{
    fs::create_directories(root + "/card");
    fs::create_directories(root + "/out");
    const std::string rec = root + "/card/FILE210315-173000_M.MP4";
    mediagen::RecordingSpec video;
    video.seconds = 3;
    ASSERT_TRUE(mediagen::writeRecording(rec, video));
    mediagen::NmeaSpec recipe;
    recipe.start = {2021, 3, 15, 8, 27, 47};
    recipe.drive.seconds = 3;
    ASSERT_TRUE(mediagen::writeNmeaLog(root + "/card/FILE210315-173000_M.log", recipe));
    ASSERT_EQ(std::system((ROVIX_BINARY_DIR "/src/rovixtool backup --evidence '" + root + "/out' '" + rec +
                           "' 2>/dev/null")
                              .c_str()),
              0);
    std::string package;
    for (const auto& e : fs::directory_iterator(root + "/out"))
        package = e.path().string();
    std::ifstream in(package + "/package.txt");
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_NE(
        text.str().find("Camera clock against the GPS time in the tracks:\nFILE210315-173000_M.MP4:\n"
                        "  Camera clock: camera clock 2 min 13 s ahead of GPS time; camera time zone UTC+9"),
        std::string::npos)
        << text.str();
    EXPECT_NE(text.str().find("  Start corrected: 2021-03-15 17:27:47 UTC+9 (2021-03-15 08:27:47 UTC)\n"),
              std::string::npos);
    EXPECT_EQ(std::system(("cd '" + package + "' && sha256sum --quiet -c SHA256SUMS").c_str()), 0);
}

} // namespace
