#include "MediaGen.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace mediagen;
using namespace testsupport;

namespace
{

std::string make(const TempDir& dir, const std::string& name, const RecordingSpec& cfg)
{
    const std::string path = dir.file(name);
    std::string error;
    EXPECT_TRUE(writeRecording(path, cfg, &error)) << error;
    return path;
}

// Share of pixels that differ noticeably between two luma pictures, within a box.
double changedShare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int width, int x1, int y1)
{
    int changed = 0;
    for (int y = 0; y < y1; ++y)
        for (int x = 0; x < x1; ++x)
            changed += std::abs(a[y * width + x] - b[y * width + x]) > 60;
    return static_cast<double>(changed) / (x1 * y1);
}

} // namespace

TEST(Recording, SameSpecGivesSameBytesAndSeedOrCameraChangesThem)
{
    TempDir dir;
    for (Container c : {Container::Mp4, Container::Mov, Container::Avi}) {
        RecordingSpec cfg;
        cfg.container = c;
        cfg.withAudio = c == Container::Mov;
        const std::string a = make(dir, "a", cfg);
        const std::string b = make(dir, "b", cfg);
        const std::string first = slurp(a);
        ASSERT_GT(first.size(), 2048u);
        EXPECT_EQ(first, slurp(b)) << "container " << static_cast<int>(c);
        cfg.seed = 2;
        EXPECT_NE(first, slurp(make(dir, "c", cfg)));
        cfg.seed = 1;
        cfg.rear = true;
        EXPECT_NE(first, slurp(make(dir, "d", cfg)));
    }
}

TEST(Recording, DecodesAsH264WithTheAskedSizeLengthAndKeyFrames)
{
    TempDir dir;
    struct Case {
        Container c;
        const char* name;
        int w, h, fps;
        double seconds;
    };
    for (const Case& k :
         {Case{Container::Mp4, "x.mp4", 160, 96, 10, 3.0}, Case{Container::Mov, "x.mov", 320, 180, 15, 2.0},
          Case{Container::Avi, "x.avi", 176, 144, 12, 2.0}}) {
        RecordingSpec cfg;
        cfg.container = k.c;
        cfg.width = k.w;
        cfg.height = k.h;
        cfg.fps = k.fps;
        cfg.seconds = k.seconds;
        const MediaInfo m = readMedia(make(dir, k.name, cfg));
        ASSERT_TRUE(m.ok) << k.name << ": " << m.error;
        EXPECT_EQ(m.videoCodec, "h264") << k.name;
        EXPECT_EQ(m.width, k.w);
        EXPECT_EQ(m.height, k.h);
        EXPECT_EQ(m.decodedFrames, static_cast<int>(k.seconds * k.fps)) << k.name;
        EXPECT_NEAR(m.duration, k.seconds, 1.0 / k.fps + 1e-3) << k.name;
        EXPECT_EQ(m.keyPackets, static_cast<int>(k.seconds)) << k.name << ": a key frame every second";
        EXPECT_EQ(m.streams, 1);
    }
}

TEST(Recording, PictureShowsEachSecondAndTheCamera)
{
    TempDir dir;
    RecordingSpec cfg;
    cfg.seconds = 3;
    const MediaInfo front = readMedia(make(dir, "front.mp4", cfg));
    ASSERT_TRUE(front.ok);
    ASSERT_EQ(front.secondPictures.size(), 3u);
    // The clock digits sit in the top-left box; they change from one second to the next.
    const int boxW = cfg.width * 2 / 3, boxH = cfg.height / 2;
    EXPECT_GT(changedShare(front.secondPictures[0], front.secondPictures[1], cfg.width, boxW, boxH), 0.01);
    EXPECT_GT(changedShare(front.secondPictures[1], front.secondPictures[2], cfg.width, boxW, boxH), 0.01);

    cfg.rear = true;
    const MediaInfo rear = readMedia(make(dir, "rear.mp4", cfg));
    ASSERT_TRUE(rear.ok);
    EXPECT_GT(front.meanU, front.meanV) << "front pictures lean blue";
    EXPECT_GT(rear.meanV, rear.meanU) << "rear pictures lean red";
}

TEST(Recording, AudioTrackOrderAndMovieHeaderPlacement)
{
    TempDir dir;
    RecordingSpec cfg;
    cfg.withAudio = true;
    const std::string videoFirst = make(dir, "v.mp4", cfg);
    cfg.audioFirst = true;
    const std::string audioFirst = make(dir, "a.mp4", cfg);

    EXPECT_EQ(trackEntryTypes(slurp(videoFirst)), (std::vector<std::string>{"avc1", "mp4a"}));
    EXPECT_EQ(trackEntryTypes(slurp(audioFirst)), (std::vector<std::string>{"mp4a", "avc1"}));
    const MediaInfo m = readMedia(audioFirst);
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(m.firstStreamType, "audio");
    EXPECT_EQ(m.decodedFrames, 20) << "the video still plays";

    // Plain muxing leaves the movie header behind the media data; faststart moves it ahead.
    auto order = [](const std::string& data) {
        std::string s;
        for (const TopAtom& a : atomsOf(data, 0, data.size()))
            s += a.type + " ";
        return s;
    };
    RecordingSpec plain;
    plain.container = Container::Mov;
    EXPECT_EQ(order(slurp(make(dir, "p.mov", plain))), "ftyp wide mdat moov ");
    plain.container = Container::Mp4;
    plain.faststart = true;
    const std::string fast = order(slurp(make(dir, "f.mp4", plain)));
    EXPECT_LT(fast.find("moov"), fast.find("mdat"));
    EXPECT_EQ(fast.rfind("ftyp", 0), 0u);
}

TEST(Recording, RejectsImpossibleSpecs)
{
    TempDir dir;
    RecordingSpec cfg;
    cfg.width = 161;
    std::string error;
    EXPECT_FALSE(writeRecording(dir.file("odd.mp4"), cfg, &error));
    EXPECT_FALSE(error.empty());
    cfg.width = 160;
    EXPECT_FALSE(writeRecording(dir.file("no/such/folder/x.mp4"), cfg, &error));
}
