// The camera clock against the GPS time its track carries: the difference
// split into a time zone (whole quarter-hours) and drift, from camera logs and
// embedded fixes, and written into the evidence package.
#include "core/CameraClock.h"
#include "MediaGen.h"
#include "TzGuard.h"
#include "core/EmbeddedTrack.h"
#include "core/ForeignTrack.h"
#include "core/GpsList.h"
#include "core/GpsParser.h"
#include "core/PlaylistFilter.h"

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

// A recording of 3 s named for `camera` time whose log's GPS time starts at
// `utc` (none: no log).
std::string recordingWithLog(const std::string& folder, const mediagen::StartTime& camera,
                             const mediagen::StartTime* utc, const char* suffix = "_M")
{
    const std::string rec = folder + "/FILE" + camera.nameStamp() + suffix + ".MP4";
    mediagen::RecordingSpec video;
    video.seconds = 3;
    EXPECT_TRUE(mediagen::writeRecording(rec, video));
    if (utc) {
        mediagen::NmeaSpec recipe;
        recipe.start = *utc;
        recipe.drive.seconds = 3;
        EXPECT_TRUE(mediagen::writeNmeaLog(folder + "/FILE" + camera.nameStamp() + suffix + ".log", recipe));
    }
    return rec;
}

TEST_F(CameraClockTest, TheCardsClockMovesItsRecordingsToTheirTrueMoments)
{
    const std::string card = root + "/card";
    fs::create_directories(card);
    // A camera on Tokyo time (UTC+9) running 3 min slow: 23:58 by its clock is 15:01 UTC.
    const mediagen::StartTime late{2021, 3, 15, 23, 58, 0}, lateUtc{2021, 3, 15, 15, 1, 0};
    const mediagen::StartTime noon{2021, 3, 15, 12, 0, 0}, noonUtc{2021, 3, 15, 3, 3, 0};
    // One recording from days when its clock was on UTC does not sway the card's.
    const mediagen::StartTime away{2021, 3, 10, 10, 0, 0};
    const std::string a = recordingWithLog(card, late, &lateUtc);
    const std::string b = recordingWithLog(card, noon, &noonUtc);
    const std::string c = recordingWithLog(card, away, &away);
    const std::string rear = recordingWithLog(card, late, nullptr, "_R"); // takes its front's log
    const std::string plain = recordingWithLog(card, {2021, 3, 15, 13, 0, 0}, nullptr);

    // The median over the recordings that carry GPS time.
    CameraClock clock;
    ASSERT_TRUE(pmCardCameraClock({plain, c, rear, a, b}, clock));
    EXPECT_EQ(clock.differenceMs, (8 * 60 + 57) * 60000LL);
    EXPECT_EQ(clock.zoneMinutes, 9 * 60);
    EXPECT_EQ(clock.driftMs, -180000);
    EXPECT_EQ(clock.samples, 3);
    // Bounded: one read finds what that one recording says, or nothing.
    ASSERT_TRUE(pmCardCameraClock({b, a}, clock, 1));
    EXPECT_EQ(clock.samples, 1);
    EXPECT_FALSE(pmCardCameraClock({plain, b}, clock, 1));
    // A card without GPS time has no clock to correct, so nothing moves.
    EXPECT_FALSE(pmCardCameraClock({plain, rear}, clock));
    EXPECT_FALSE(pmCardCameraClock({}, clock));

    const int64_t difference = (8 * 60 + 57) * 60000LL;
    const int64_t fileDate = 1615820280000LL; // some file date: 2021-03-15 15:08 UTC
    {
        // In Tokyo the corrected 23:58 is 00:01 of the next day, on the calendar and in the list.
        TzGuard tz("JST-9");
        const std::optional<int64_t> placed = pmPlacementMsecs(a, fileDate, false, difference);
        ASSERT_TRUE(placed.has_value());
        EXPECT_EQ(*placed, utcMsFromCivil(2021, 3, 15, 15, 1, 0));
        const std::optional<LocalDay> day = pmLocalDayOf(*placed);
        ASSERT_TRUE(day.has_value());
        EXPECT_EQ(day->day, 16);
        EXPECT_EQ(pmPlacementMsecs(a, fileDate, false), fileDate) << "off: the file date as before";
        EXPECT_EQ(pmPlacementMsecs(root + "/CLIP.MP4", fileDate, true, difference), fileDate)
            << "a name without a time keeps its file date";
        const _SYSTEMTIME start = pmCorrectedStart({2021, 3, 0, 15, 23, 58, 10, 0}, difference);
        EXPECT_EQ(std::vector<int>(
                      {start.wYear, start.wMonth, start.wDay, start.wHour, start.wMinute, start.wSecond}),
                  std::vector<int>({2021, 3, 16, 0, 1, 10}));
        const _SYSTEMTIME unreal{2021, 13, 0, 15, 23, 58, 10, 0};
        EXPECT_EQ(pmCorrectedStart(unreal, difference).wMonth, 13) << "no real moment: left as it is";

        // The day's playlist takes the corrected day.
        PlaylistFilterOptions o;
        o.year = 2021;
        o.month = 3;
        o.day = 16;
        const std::vector<ScannedRecording> library{{a, fileDate, kCodecUnknown},
                                                    {b, fileDate, kCodecUnknown}};
        EXPECT_TRUE(pmFilterPlaylist(library, o).empty());
        o.clockDifferenceMs = difference;
        EXPECT_EQ(pmFilterPlaylist(library, o), std::vector<std::size_t>{0});
    }
    {
        // Shown on a computer in New York: the same moment, the evening before.
        TzGuard tz("EST5");
        const _SYSTEMTIME start = pmCorrectedStart({2021, 3, 0, 15, 23, 58, 10, 0}, difference);
        EXPECT_EQ(std::vector<int>({start.wDay, start.wHour, start.wMinute, start.wSecond}),
                  std::vector<int>({15, 10, 1, 10}));
    }
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
