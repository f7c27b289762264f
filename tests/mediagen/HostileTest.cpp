#include "MediaGen.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace mediagen;
using namespace testsupport;

TEST(Hostile, LargeMdatKeepsTheMediaInPlaceAndStillPlays)
{
    TempDir dir;
    for (Container c : {Container::Mp4, Container::Mov}) {
        RecordingSpec cfg;
        cfg.container = c;
        const std::string path = dir.file(c == Container::Mp4 ? "l.mp4" : "l.mov");
        ASSERT_TRUE(writeRecording(path, cfg));
        const std::string before = slurp(path);
        std::string error;
        ASSERT_TRUE(patchLargeMdat(path, &error)) << error;
        const std::string after = slurp(path);
        ASSERT_EQ(before.size(), after.size());

        const auto top = atomsOf(after, 0, after.size());
        ASSERT_EQ(top.size(), 3u);
        EXPECT_EQ(top[0].type, "ftyp");
        EXPECT_EQ(top[1].type, "mdat");
        EXPECT_EQ(top[1].sizeField, 1u);
        EXPECT_EQ(top[2].type, "moov");
        EXPECT_EQ(top[1].offset + top[1].size, top[2].offset);
        // Only the two 8-byte headers changed.
        EXPECT_EQ(before.substr(top[1].offset + 16), after.substr(top[1].offset + 16));
        const MediaInfo m = readMedia(path);
        ASSERT_TRUE(m.ok);
        EXPECT_EQ(m.decodedFrames, 20);
        // A second patch finds nothing left to turn into a large header.
        EXPECT_FALSE(patchLargeMdat(path, &error));
    }
}

TEST(Hostile, ShortMoviesAndPatchedMovieHeaders)
{
    TempDir dir;
    RecordingSpec cfg;
    cfg.container = Container::Mov;
    cfg.frames = 1;
    const std::string path = dir.file("short.mov");
    ASSERT_TRUE(writeRecording(path, cfg));
    uint32_t scale = 0, duration = 0;
    ASSERT_TRUE(movieHeader(slurp(path), scale, duration));
    EXPECT_EQ(scale, 1000u);
    EXPECT_EQ(duration, 100u);
    EXPECT_LT((duration - 8.0) / (scale - 8.0), 0.2);

    ASSERT_TRUE(patchMvhd(path, 600, 600));
    ASSERT_TRUE(movieHeader(slurp(path), scale, duration));
    EXPECT_EQ(scale, 600u);
    EXPECT_EQ(duration, 600u);
    EXPECT_FALSE(patchMvhd(dir.file("missing.mov"), 1, 1));
}

TEST(Hostile, SkeletonsHaveExactSizesAndLayouts)
{
    MovSkeletonSpec cfg;
    cfg.totalSize = 2048;
    std::string d = makeMovSkeleton(cfg);
    EXPECT_EQ(d.size(), 2048u);
    EXPECT_EQ(trackEntryTypes(d), (std::vector<std::string>{"avc1"}));
    uint32_t scale = 0, duration = 0;
    ASSERT_TRUE(movieHeader(d, scale, duration));
    EXPECT_EQ(scale, 1000u);
    EXPECT_EQ(duration, 5000u);

    // Sizes that leave less than a free atom's header are absorbed by the media data.
    for (uint64_t size : {2049u, 2052u, 2055u, 4096u}) {
        cfg.totalSize = size;
        d = makeMovSkeleton(cfg);
        EXPECT_EQ(d.size(), size);
        uint64_t sum = 0;
        for (const TopAtom& a : atomsOf(d, 0, d.size()))
            sum += a.size;
        EXPECT_EQ(sum, size) << "atoms must tile the file";
    }

    MovSkeletonSpec audio;
    audio.tracks = {"mp4a", "avc1"};
    audio.largeMdat = true;
    audio.ftyp = false;
    d = makeMovSkeleton(audio);
    EXPECT_EQ(trackEntryTypes(d), (std::vector<std::string>{"mp4a", "avc1"}));
    const auto top = atomsOf(d, 0, d.size());
    ASSERT_GE(top.size(), 3u);
    EXPECT_EQ(top[0].type, "wide");
    EXPECT_EQ(top[1].type, "mdat");
    EXPECT_EQ(top[1].sizeField, 1u);

    MovSkeletonSpec late;
    late.mvhdAfterTraks = true;
    late.mdatFirst = false;
    d = makeMovSkeleton(late);
    const auto moov = atomsOf(d, 0, d.size())[1];
    ASSERT_EQ(moov.type, "moov");
    const auto kids = atomsOf(d, moov.offset + 8, moov.offset + moov.size);
    ASSERT_EQ(kids.size(), 2u);
    EXPECT_EQ(kids[0].type, "trak");
    EXPECT_EQ(kids[1].type, "mvhd");
}

TEST(Hostile, AviHandlerAndCutCopies)
{
    TempDir dir;
    RecordingSpec cfg;
    cfg.container = Container::Avi;
    const std::string path = dir.file("h.avi");
    ASSERT_TRUE(writeRecording(path, cfg));
    EXPECT_EQ(slurp(path).substr(112, 4), "H264") << "the first stream's handler sits at offset 112";
    EXPECT_EQ(slurp(path).substr(108, 4), "vids");
    ASSERT_TRUE(patchAviHandler(path, "X264"));
    EXPECT_EQ(slurp(path).substr(112, 4), "X264");

    ASSERT_TRUE(truncatedCopy(path, dir.file("cut.avi"), 1000));
    EXPECT_EQ(slurp(dir.file("cut.avi")), slurp(path).substr(0, 1000));
    ASSERT_TRUE(truncatedCopy(path, dir.file("whole.avi"), 1u << 30));
    EXPECT_EQ(slurp(dir.file("whole.avi")), slurp(path));
    ASSERT_TRUE(writeSizedFile(dir.file("sized.mp4"), "ftyp", 2048));
    EXPECT_EQ(slurp(dir.file("sized.mp4")).size(), 2048u);

    // A MOV is not patched as if it were an AVI.
    cfg.container = Container::Mov;
    ASSERT_TRUE(writeRecording(dir.file("m.mov"), cfg));
    EXPECT_FALSE(patchAviHandler(dir.file("m.mov"), "X264"));
}

TEST(Hostile, DeviceXmlCarriesTheProductName)
{
    TempDir dir;
    ASSERT_TRUE(writeDeviceXml(dir.path.string(), "DRC-2000W"));
    const std::string xml = slurp(dir.file("DEVICE.XML"));
    EXPECT_NE(xml.find("<ProductName>DRC-2000W</ProductName>"), std::string::npos);
    EXPECT_FALSE(writeDeviceXml(dir.file("missing"), "X"));
}
