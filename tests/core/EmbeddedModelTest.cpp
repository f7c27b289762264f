// The box walker that every embedded-track reader stands on, and the fill
// from the layout-neutral track into the one-sample-per-second model.
#include "core/EmbeddedTrack.h"
#include "core/GpsList.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace
{

std::string box(const char* type, const std::string& content, int64_t statedSize = -1)
{
    std::string b(8, '\0');
    const auto size = static_cast<uint32_t>(statedSize >= 0 ? statedSize : int64_t(8 + content.size()));
    for (int i = 0; i < 4; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<char>(size >> (24 - 8 * i));
    b.replace(4, 4, type, 4);
    return b + content;
}

std::vector<Mp4Box> children(Mp4File& file, const Mp4Box& parent)
{
    std::vector<Mp4Box> out;
    Mp4BoxWalker walker(file, parent);
    Mp4Box b;
    while (walker.next(b))
        out.push_back(b);
    return out;
}

const auto* bytes(const std::string& s)
{
    return reinterpret_cast<const unsigned char*>(s.data());
}

} // namespace

TEST(Mp4Box, SizesThatLieAreCutToTheirParentAndNeverLeakOut)
{
    // A 64-bit size, then a parent whose last child claims far more than the
    // parent holds, then a box of size 0 running to the end of the file.
    std::string large(16, '\0');
    large[3] = 1;
    large.replace(4, 4, "wide");
    large[15] = 20; // 16-byte header + 4 bytes
    large += "abcd";
    const std::string parent = box("moov", box("mvhd", "xxxx") + box("trak", "yy", 4000));
    const std::string tail = box("mdat", "zzzzzz", 0);
    const std::string file = box("ftyp", "isom") + large + parent + tail;
    Mp4File f(bytes(file), file.size());
    const std::vector<Mp4Box> top = pmMp4TopLevel(f);
    ASSERT_EQ(top.size(), 4u);
    EXPECT_EQ(top[1].typeText(), "wide");
    EXPECT_EQ(top[1].headerSize, 16u);
    EXPECT_EQ(top[1].contentSize(), 4u);
    EXPECT_EQ(top[3].end(), file.size());

    const std::vector<Mp4Box> inside = children(f, top[2]);
    ASSERT_EQ(inside.size(), 2u);
    EXPECT_TRUE(inside[1].clamped);
    EXPECT_EQ(inside[1].end(), top[2].end()); // not 4000 bytes on, into the next box

    // A size below its own header ends a walk; so does a file that does not
    // open with a box.
    const std::string broken = box("ftyp", "isom") + box("junk", "", 3) + box("moov", "");
    Mp4File b(bytes(broken), broken.size());
    Mp4BoxWalker walker(b, 0, b.size());
    Mp4Box one;
    EXPECT_TRUE(walker.next(one));
    EXPECT_FALSE(walker.next(one));
    EXPECT_TRUE(walker.broken());
    const std::string text = "\x01\x02\x03\x04\x05\x06\x07\x08 not an mp4";
    Mp4File t(bytes(text), text.size());
    EXPECT_TRUE(pmMp4TopLevel(t).empty());

    // Reads are clamped to the file and counted.
    std::vector<unsigned char> out;
    EXPECT_TRUE(f.readBlock(file.size() - 3, 1u << 30, out, 1u << 20));
    EXPECT_EQ(out.size(), 3u);
    EXPECT_FALSE(f.readBlock(file.size(), 10, out, 100));
}

TEST(EmbeddedFill, OneSamplePerSecondVoidFixesNeverBecomeZeroZero)
{
    EmbeddedTrack track;
    auto fix = [&](double time, bool valid, double lat, double lon, double kmh = 36) {
        EmbeddedFix f;
        f.time = time;
        f.valid = valid;
        f.latitude = lat;
        f.longitude = lon;
        f.speedKmh = kmh;
        f.course = 90;
        track.addFix(f);
    };
    // Written out of order, several a second; second 0 void, second 3 void,
    // second 4 has no report at all; nonsense times and an off-globe fix
    // are not fixes.
    fix(2.5, true, 10.3, 20.3);
    fix(1.0, true, 10.1, 20.1);
    fix(1.5, true, 10.15, 20.15);
    fix(0.2, false, 0, 0);
    fix(2.0, true, 10.2, 20.2);
    fix(3.0, false, 0, 0);
    fix(5.0, true, 95.0, 20.5);      // off the globe: void
    fix(6.0, true, 10.6, 20.6, 900); // a speed no car reaches
    fix(std::nan(""), true, 1, 1);
    fix(-4, true, 1, 1);
    fix(1e12, true, 1, 1);
    EXPECT_FALSE(track.fixes[6].valid);

    GpsList list;
    ASSERT_TRUE(pmFillGpsList(track, list));
    ASSERT_EQ(list.GetDataCount(), 7);
    EXPECT_TRUE(list.IsGPSReady());
    EXPECT_FALSE(list.IsGSensorReady());
    const float expectLat[] = {10.1f, 10.1f, 10.2f, 10.2f, 10.2f, 10.2f, 10.6f};
    const float expectSpeed[] = {-1, 36, 36, -1, -1, -1, -1};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(list.GetGpsData(i)->fLatitude(), expectLat[i]);
        EXPECT_FLOAT_EQ(list.GetGpsData(i)->fSpeed(), expectSpeed[i]);
        EXPECT_NE(list.GetGpsData(i)->fLongitude(), 0.0f);
    }

    // Nothing but void fixes: seconds, but no position and no GPS.
    EmbeddedTrack voids;
    EmbeddedFix v;
    v.time = 3;
    voids.addFix(v);
    list.ClearAllData();
    ASSERT_TRUE(pmFillGpsList(voids, list));
    EXPECT_EQ(list.GetDataCount(), 4);
    EXPECT_FALSE(list.IsGPSReady());

    // G: each second shows its strongest reading; the extremes are over
    // every reading; the track runs on past the last fix with G only.
    EmbeddedTrack g = track;
    auto reading = [&](double time, double x, double y, double z) { g.addG(EmbeddedG{time, x, y, z}); };
    reading(0.1, 0.1, 0, 0.5);
    reading(0.5, -0.9, 0.2, 0.5); // strongest of second 0
    reading(0.9, 0.3, 0, 0.8);
    reading(8.2, 0, 0, 25); // beyond any sensor: clamped
    list.ClearAllData();
    ASSERT_TRUE(pmFillGpsList(g, list));
    ASSERT_EQ(list.GetDataCount(), 9);
    EXPECT_FLOAT_EQ(list.GetGpsData(0)->GetGValueX(), -0.9f);
    EXPECT_FLOAT_EQ(list.GetMinGValue(), -0.9f);
    EXPECT_EQ(list.GetMinGIndex(), 0);
    EXPECT_FLOAT_EQ(list.GetMaxGValue(), 10.0f);
    EXPECT_EQ(list.GetMaxGIndex(), 8);
    EXPECT_FLOAT_EQ(list.GetGpsData(8)->fLatitude(), 10.6f);
    EXPECT_FLOAT_EQ(list.GetGpsData(8)->fSpeed(), -1);
}

TEST(EmbeddedFill, NmeaSentencesAreCheckedAsInTheLogs)
{
    EmbeddedTrack track;
    const std::string good = "$GPRMC,083005.00,A,3352.1280,S,15112.5580,E,10.0,90.0,150321,,,A*";
    auto withSum = [](const std::string& s) {
        unsigned sum = 0;
        for (std::size_t i = 1; i < s.size() - 1; ++i)
            sum ^= static_cast<unsigned char>(s[i]);
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", sum);
        return s + hex;
    };
    const std::string rmc = withSum(good);
    EXPECT_TRUE(pmAddNmeaSentence(rmc.data(), rmc.data() + rmc.size(), 5, track));
    std::string bad = rmc;
    bad.back() = bad.back() == '0' ? '1' : '0';
    EXPECT_FALSE(pmAddNmeaSentence(bad.data(), bad.data() + bad.size(), 6, track));
    const std::string gga = "$GNGGA,083005.00,3352.1280,S,15112.5580,E,1,08,0.9,36.5,M,0.0,M,,";
    EXPECT_TRUE(pmAddNmeaSentence(gga.data(), gga.data() + gga.size(), 5.4, track));
    ASSERT_EQ(track.fixes.size(), 1u);
    const EmbeddedFix& f = track.fixes[0];
    EXPECT_TRUE(f.valid);
    EXPECT_NEAR(f.latitude, -(33 + 52.128 / 60), 1e-9);
    EXPECT_NEAR(f.longitude, 151 + 12.558 / 60, 1e-9);
    EXPECT_NEAR(f.speedKmh, 18.52, 1e-9);
    EXPECT_TRUE(f.hasAltitude);
    EXPECT_DOUBLE_EQ(f.altitude, 36.5);
    EXPECT_EQ(f.utcMs, pmUtcMs(2021, 3, 15, 8, 30, 5));
    int64_t start = 0;
    ASSERT_TRUE(pmEmbeddedStartUtc(track, start));
    EXPECT_EQ(start, pmUtcMs(2021, 3, 15, 8, 30, 0));
}
