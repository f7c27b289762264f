// Golden files: hand-written camera inputs in data/, loaded the way the
// application loads a recording's track, compared byte for byte with the
// track CSV and KML in golden/. ROVIX_UPDATE_GOLDEN=1 rewrites the expected
// files (review the diff before committing).
#include "GpsTestSupport.h"
#include "core/GpsList.h"
#include "core/KmlSave.h"
#include "core/TrackLoader.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace gpstest;

namespace
{

const std::string kData = ROVIX_SOURCE_DIR "/tests/core/data/";
const std::string kGolden = ROVIX_SOURCE_DIR "/tests/core/golden/";

void expectGolden(const std::string& actual, const std::string& goldenName)
{
    const std::string path = kGolden + goldenName;
    if (std::getenv("ROVIX_UPDATE_GOLDEN"))
        std::ofstream(path, std::ios::binary) << actual;
    EXPECT_EQ(actual, readFile(path)) << goldenName;
}

struct FixedKmlClock {
    FixedKmlClock()
    {
        std::tm t{};
        t.tm_year = 126;
        t.tm_mon = 0;
        t.tm_mday = 2;
        t.tm_hour = 3;
        t.tm_min = 4;
        t.tm_sec = 5;
        t.tm_isdst = -1;
        const auto when = std::chrono::system_clock::from_time_t(std::mktime(&t));
        pmSetClock([when] { return when; });
    }
    ~FixedKmlClock() { pmSetClock({}); }
};

} // namespace

TEST(GpsGolden, MixedTalkerLog)
{
    FixedKmlClock clock;
    TempDir dir;
    dir.write("FILE210315-083000.log", readFile(kData + "mixed_talkers.log"));
    GpsList list;
    // A 9.5-second recording: the G-sensor data pads the 7 samples to 9.
    const TrackLoadResult r = loadTrack(dir.file("FILE210315-083000.MP4"), 9.5, list);
    EXPECT_TRUE(r.loaded);
    EXPECT_EQ(r.source, TrackSource::NmeaLog);
    EXPECT_EQ(list.GetSpeedUnit(), 1);
    EXPECT_EQ(list.GetTextStamp(), "Test drive 1");
    expectGolden(pmFormatTrackCsv(list), "mixed_talkers.csv");

    ASSERT_EQ(pmOutputKML(dir.file("FILE210315-083000.kml"), &list), KmlResult::Ok);
    expectGolden(readFile(dir.file("FILE210315-083000.kml")), "mixed_talkers.kml");
}

TEST(GpsGolden, AviChunks)
{
    TempDir dir;
    dir.write("FILE0002.AVI", readFile(kData + "chunks.avi"));
    GpsList list;
    // 7 seconds of video, 5 position records: 2 placeholders first.
    const TrackLoadResult r = loadTrack(dir.file("FILE0002.AVI"), 7.2, list);
    EXPECT_TRUE(r.loaded);
    EXPECT_EQ(r.source, TrackSource::AviChunks);
    EXPECT_FALSE(r.aviSensorFallback);
    expectGolden(pmFormatTrackCsv(list), "chunks.csv");
}

// Logs as the camera writes them (checksummed position sentences, its own
// sentences without one, a header, $GSENSORD, a parked stretch without a
// fix) read exactly as they did before checksums and number forms were checked.
TEST(GpsGolden, GeneratedLogsReadAsBefore)
{
    for (const char* stem : {"FILE210315-083000_M", "FILE210315-083100_M", "FILE210315-083200_M"}) {
        TempDir dir;
        dir.write(std::string(stem) + ".log", readFile(kData + "generated/" + stem + ".log"));
        GpsList list;
        const TrackLoadResult r = loadTrack(dir.file(std::string(stem) + ".MP4"), 0.0, list);
        EXPECT_TRUE(r.loaded) << stem;
        EXPECT_EQ(pmFormatTrackCsv(list), readFile(kGolden + "generated/" + stem + ".csv")) << stem;
    }
}
