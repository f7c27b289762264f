#include "core/TrackLoader.h"
#include "GpsTestSupport.h"
#include "core/GpsList.h"

#include <gtest/gtest.h>
#include <limits>

using namespace gpstest;

namespace
{

const std::string kFront = "FILE210315-083000-0001FM";
const std::string kRear = "FILE210315-083000-0001F2";

std::string nmea(int fixes, bool gsensor)
{
    std::string s;
    for (int i = 0; i < fixes; ++i) {
        s += "$GPRMC,1,A,3539.000,N,13942.000,E,10,90\r\n";
        if (gsensor)
            s += "$GSENSOR,01,02,3e\r\n";
    }
    return s;
}

std::string aviWithTrack(int positionsCount, int gCount)
{
    std::string p, g;
    for (int i = 0; i < positionsCount; ++i)
        p += gpsRecord(139, 70000000, 35, 65000000, 20);
    for (int i = 0; i < gCount; ++i)
        g += gRecord(0, 0, 0, 0, 1, 0);
    std::string tail;
    if (positionsCount > 0)
        tail += chunk("SLLT", p);
    if (gCount > 0)
        tail += chunk("SGLT", g);
    return avi(tail);
}

} // namespace

TEST(TrackLoader, PartnerPath)
{
    TempDir dir;
    EXPECT_EQ(pmGetAnotherCameraPath(""), "");
    EXPECT_EQ(pmGetAnotherCameraPath(dir.file("FILE0001.AVI")), "");
    EXPECT_EQ(pmGetAnotherCameraPath(dir.file("x/FILE210315-083000-0001.AVI")), "");

    // Nothing beside it: the sibling folder with the swapped letter, existing or not.
    const std::string mainInM = dir.write("CAMM/" + kFront + ".AVI", "x");
    EXPECT_EQ(pmGetAnotherCameraPath(mainInM), dir.file("CAM2/" + kRear + ".AVI"));
    // The partner beside it wins.
    const std::string rearBeside = dir.write("CAMM/" + kRear + ".AVI", "x");
    EXPECT_EQ(pmGetAnotherCameraPath(mainInM), rearBeside);
    EXPECT_EQ(pmGetAnotherCameraPath(rearBeside), mainInM);
    // A lower-case m is main too; the rear's partner always gets an upper-case M.
    EXPECT_EQ(pmGetAnotherCameraPath(dir.file("D/FILE210315-083000-0001Fm.MP4")),
              dir.file("2/FILE210315-083000-0001F2.MP4"));
    EXPECT_EQ(pmGetAnotherCameraPath("FILE210315-083000-0001F2.MP4"), "FILE210315-083000-0001FM.MP4");
}

TEST(TrackLoader, SourceDecision)
{
    TempDir dir;
    GpsList list;

    // The rear recording shows the front camera's log.
    const std::string front = dir.write("M/" + kFront + ".AVI", aviWithTrack(2, 2));
    const std::string frontLog = dir.write("M/" + kFront + ".log", nmea(3, false));
    const std::string rear = dir.write("M/" + kRear + ".AVI", aviWithTrack(4, 4));
    TrackLoadResult r = loadTrack(rear, 4.9, list);
    EXPECT_TRUE(r.loaded);
    EXPECT_EQ(r.source, TrackSource::NmeaLog);
    EXPECT_EQ(r.sourcePath, frontLog);
    EXPECT_EQ(r.videoSeconds, 0);      // not needed: no G data, no chunks
    EXPECT_EQ(list.GetDataCount(), 3); // no G data: not padded
    EXPECT_NEAR(list.GetGpsData(0)->fLatitude(), 35.65, 1e-5);

    // Without that log, the rear recording reads its own chunks.
    fs::remove(frontLog);
    r = loadTrack(rear, 6, list);
    EXPECT_TRUE(r.loaded);
    EXPECT_EQ(r.source, TrackSource::AviChunks);
    EXPECT_EQ(r.sourcePath, rear);
    EXPECT_EQ(r.videoSeconds, 6);
    EXPECT_EQ(list.GetDataCount(), 6); // 2 placeholders + 4 records
    EXPECT_TRUE(list.IsGPSReady());

    // A log that is found but empty is the answer: the chunks are not tried.
    dir.write("M/" + kFront + ".log", "");
    r = loadTrack(front, 2, list);
    EXPECT_FALSE(r.loaded);
    EXPECT_EQ(r.source, TrackSource::NmeaLog);
    EXPECT_EQ(list.GetDataCount(), 0);

    // An MP4 without a log has no track at all.
    const std::string mp4 = dir.write("FILE0002.MP4", "not really");
    r = loadTrack(mp4, 10, list);
    EXPECT_FALSE(r.loaded);
    EXPECT_EQ(r.source, TrackSource::None);
    EXPECT_EQ(list.GetDataCount(), 0);

    // G data pads the track to the video length; a hostile length is capped.
    const std::string withG = dir.write("FILE0003.MP4", "x");
    dir.write("FILE0003.log", nmea(3, true));
    r = loadTrack(withG, 5.99, list);
    EXPECT_TRUE(r.loaded);
    ASSERT_EQ(list.GetDataCount(), 5);
    EXPECT_EQ(list.GetGpsData(4)->fSpeed(), -1.0f);
    EXPECT_NEAR(list.GetGpsData(4)->fLongitude(), 139.7, 1e-4);
    loadTrack(withG, std::numeric_limits<double>::quiet_NaN(), list);
    EXPECT_EQ(list.GetDataCount(), 3);
    loadTrack(withG, 1e12, list);
    EXPECT_EQ(list.GetDataCount(), GpsList::kMaxVideoSeconds);

    // The duration is asked for only when it matters, and once.
    int asked = 0;
    auto duration = [&asked] {
        ++asked;
        return 7.0;
    };
    loadTrack(mp4, duration, list);
    EXPECT_EQ(asked, 0);
    loadTrack(withG, duration, list);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(list.GetDataCount(), 7);
    loadTrack(rear, duration, list); // the front's (empty) log decides: no chunks, no duration
    EXPECT_EQ(asked, 1);

    // An AVI with only a G chunk falls back to the plain G reader, then pads.
    const std::string gOnly = dir.write("FILE0004.AVI", aviWithTrack(0, 3));
    r = loadTrack(gOnly, 8, list);
    EXPECT_TRUE(r.loaded);
    EXPECT_TRUE(r.aviSensorFallback);
    EXPECT_FALSE(list.IsGPSReady());
    EXPECT_EQ(list.GetDataCount(), 8);

    // Positions without a G chunk are a loaded track of their own; the plain
    // G reader is not asked.
    const std::string pOnly = dir.write("FILE0005.AVI", aviWithTrack(4, 0));
    r = loadTrack(pOnly, 6, list);
    EXPECT_TRUE(r.loaded);
    EXPECT_FALSE(r.aviSensorFallback);
    EXPECT_TRUE(list.IsGPSReady());
    EXPECT_EQ(list.GetDataCount(), 6);
    EXPECT_NEAR(list.GetGpsData(0)->fLatitude(), 35.65, 1e-5); // the first fix fills the placeholders

    // No path: nothing.
    r = loadTrack("", 8, list);
    EXPECT_FALSE(r.loaded);
    EXPECT_EQ(list.GetDataCount(), 0);
}

TEST(TrackLoader, EventMark)
{
    EXPECT_EQ(chooseEventMark(kRecordingEvent, true, 0.4f, 3, -0.7f, 9), 9);
    EXPECT_EQ(chooseEventMark(kRecordingEvent, true, 0.7f, 3, -0.7f, 9), 3);
    EXPECT_EQ(chooseEventMark(kRecordingEvent, true, 0.5f, 3, -0.3f, 9), -1);
    EXPECT_EQ(chooseEventMark(kRecordingNormal, true, 3.0f, 3, -0.3f, 9), -1);
    EXPECT_EQ(chooseEventMark(kRecordingParking, true, 3.0f, 3, -0.3f, 9), -1);
    EXPECT_EQ(chooseEventMark(kRecordingEvent, false, 3.0f, 3, -0.3f, 9), -1);

    GpsList list;
    list.InsertData(0, 0, 0, -1, -1);
    list.InsertData(0, 0, 0, -1, -1);
    list.setBSenser(true);
    list.UpdateGExtremes(0.1f, 0.1f, 0.1f, 0);
    list.UpdateGExtremes(-1.5f, 0.2f, 0.6f, 1);
    EXPECT_EQ(chooseEventMark(kRecordingEvent, list), 1);
}
