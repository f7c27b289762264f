#include "GpsTestSupport.h"
#include "core/AviTrack.h"
#include "core/GpsList.h"

#include <gtest/gtest.h>

using namespace gpstest;

namespace
{

// Position record at lat 35 + k/1000, lon 139 + k/1000 (or no fix), speed k.
std::string position(int k, bool fix = true)
{
    if (!fix)
        return gpsRecord(0, 0, 0, 0, static_cast<uint16_t>(k));
    return gpsRecord(139, static_cast<uint32_t>(k) * 100000u, 35, static_cast<uint32_t>(k) * 100000u,
                     static_cast<uint16_t>(k));
}

std::string positions(int from, int count, int noFix = 0)
{
    std::string payload;
    for (int k = from; k < from + count; ++k)
        payload += position(k, k - from >= noFix);
    return payload;
}

// G record with x = k/100 g, y = -k/200 g, z = 1 g.
std::string gValue(int k)
{
    return gRecord(0, k * 1000, 0x80, k * 500, 0x01, 0);
}

std::string gValues(int count, int spikeAt = -1)
{
    std::string payload;
    for (int k = 0; k < count; ++k)
        payload += k == spikeAt ? gRecord(0x82, 50000, 0, 0, 0x01, 0) : gValue(k % 10);
    return payload;
}

} // namespace

TEST(AviTrack, RecordDecoding)
{
    std::string r = gpsRecord(-123, 50000000, 25, 5000000, 72);
    float lat, lo, speed;
    pmDecodeAviGpsRecord(reinterpret_cast<const unsigned char*>(r.data()), lat, lo, speed);
    EXPECT_FLOAT_EQ(lo, -123.5f);
    EXPECT_FLOAT_EQ(lat, 25.05f);
    EXPECT_EQ(speed, 72.0f);

    const unsigned char neg[5] = {0x81, 0, 0, 0x61, 0xA8}; // 25000
    const unsigned char pos[5] = {0x01, 0, 0, 0x61, 0xA8};
    const unsigned char bit6[5] = {0x41, 0, 0, 0x61, 0xA8}; // bit 6 is ignored
    const unsigned char six[5] = {0x3F, 0, 0, 0, 0};        // -1 as a 6-bit number
    EXPECT_FLOAT_EQ(pmDecodeAviGAxis(neg), -1.25f);
    EXPECT_FLOAT_EQ(pmDecodeAviGAxis(pos), 1.25f);
    EXPECT_FLOAT_EQ(pmDecodeAviGAxis(bit6), 1.25f);
    EXPECT_FLOAT_EQ(pmDecodeAviGAxis(six), -1.0f);
}

TEST(AviTrack, PositionsAlignToTheEndOfTheVideo)
{
    TempDir dir;
    // 55 position records, the first 3 without a fix, and 60 G records, in a 60-second video.
    const std::string path =
        dir.write("a.avi", avi(chunk("SLLT", positions(1, 55, 3)) + chunk("SGLT", gValues(60, 42))));
    GpsList list;
    ASSERT_TRUE(pmGetAviGpsData(path, list, 60));
    ASSERT_EQ(list.GetDataCount(), 60);
    EXPECT_TRUE(list.IsGPSReady());
    EXPECT_TRUE(list.IsGSensorReady());
    // 5 placeholders and 3 records without a fix take the first fix, speed -1.
    for (int i = 0; i < 8; ++i) {
        const GpsData* s = list.GetGpsData(i);
        EXPECT_NEAR(s->fLatitude(), 35.004, 1e-5) << i;
        EXPECT_NEAR(s->fLongitude(), 139.004, 1e-5) << i;
        EXPECT_EQ(s->fSpeed(), -1.0f) << i;
        EXPECT_EQ(s->dAltitude(), 65535.0) << i;
        EXPECT_EQ(s->fDirection(), -1.0f) << i;
    }
    EXPECT_EQ(list.GetGpsData(8)->fSpeed(), 4.0f);
    EXPECT_NEAR(list.GetGpsData(59)->fLatitude(), 35.055, 1e-5);
    // G values line up with the seconds; the spike decides the minimum.
    EXPECT_FLOAT_EQ(list.GetGpsData(3)->GetGValueX(), 0.03f);
    EXPECT_FLOAT_EQ(list.GetGpsData(3)->GetGValueY(), -0.015f);
    EXPECT_FLOAT_EQ(list.GetGpsData(42)->GetGValueX(), -2.5f);
    EXPECT_FLOAT_EQ(list.GetMinGValue(), -2.5f);
    EXPECT_EQ(list.GetMinGIndex(), 42);
    EXPECT_FLOAT_EQ(list.GetMaxGValue(), 1.0f);
    EXPECT_EQ(list.GetMaxGIndex(), 0);
}

TEST(AviTrack, FewerGRecordsLandOnTheLastSeconds)
{
    TempDir dir;
    const std::string path =
        dir.write("a.avi", avi(chunk("SLLT", positions(1, 60)) + chunk("SGLT", gValues(40, 5))));
    GpsList list;
    ASSERT_TRUE(pmGetAviGpsData(path, list, 60));
    ASSERT_EQ(list.GetDataCount(), 60);
    EXPECT_EQ(list.GetGpsData(19)->GetGValueZ(), 0.0f);
    EXPECT_FLOAT_EQ(list.GetGpsData(20)->GetGValueZ(), 1.0f);
    EXPECT_FLOAT_EQ(list.GetGpsData(59)->GetGValueZ(), 1.0f);
    EXPECT_EQ(list.GetMinGIndex(), 25);
    EXPECT_EQ(list.GetMaxGIndex(), 20);

    // More G records than the track holds are appended.
    GpsList longer;
    const std::string p2 =
        dir.write("b.avi", avi(chunk("SLLT", positions(1, 10)) + chunk("SGLT", gValues(12))));
    ASSERT_TRUE(pmGetAviGpsData(p2, longer, 10));
    EXPECT_EQ(longer.GetDataCount(), 12);
    EXPECT_EQ(longer.GetGpsData(11)->fLatitude(), 0.0f);
    EXPECT_FLOAT_EQ(longer.GetGpsData(11)->GetGValueZ(), 1.0f);
}

TEST(AviTrack, ChunkWalkOutcomes)
{
    TempDir dir;
    GpsList list;
    // No track chunks: end of file after the index.
    const std::string plain = dir.write("plain.avi", avi(""));
    EXPECT_FALSE(pmGetAviGpsData(plain, list, 10));
    EXPECT_FALSE(pmGetAviSensorData(plain, list));
    EXPECT_EQ(list.GetDataCount(), 0);

    // "GSEA" before the chunks stops every reader.
    const std::string gsea =
        dir.write("gsea.avi", avi(chunk("GSEA", std::string(8, '\0')) + chunk("SLLT", positions(1, 5)) +
                                  chunk("SGLT", gValues(5))));
    EXPECT_FALSE(pmGetAviGpsData(gsea, list, 5));
    EXPECT_FALSE(pmGetAviSensorDataAligned(gsea, list, 5));
    EXPECT_FALSE(pmGetAviSensorData(gsea, list));
    EXPECT_EQ(list.GetDataCount(), 0);

    // Only a G chunk: the position reader steps through it to the end (NO);
    // the plain reader appends one sample per record.
    const std::string gOnly = dir.write("g.avi", avi(chunk("SGLT", gValues(7, 2))));
    EXPECT_FALSE(pmGetAviGpsData(gOnly, list, 30));
    EXPECT_EQ(list.GetDataCount(), 0);
    EXPECT_TRUE(pmGetAviSensorData(gOnly, list));
    EXPECT_EQ(list.GetDataCount(), 7);
    EXPECT_FALSE(list.IsGPSReady());
    EXPECT_TRUE(list.IsGSensorReady());
    EXPECT_EQ(list.GetMinGIndex(), 2);
    EXPECT_EQ(list.GetGpsData(0)->fDirection(), -1.0f);

    // Only a position chunk: the positions are a loaded track, though the
    // G-sensor walk finds nothing after them.
    list.ClearAllData();
    const std::string pOnly = dir.write("p.avi", avi(std::string(8, '\0') + chunk("sllt", positions(1, 4))));
    EXPECT_TRUE(pmGetAviGpsData(pOnly, list, 4));
    EXPECT_EQ(list.GetDataCount(), 4);
    EXPECT_TRUE(list.IsGPSReady());
    EXPECT_TRUE(list.IsGSensorReady());
    EXPECT_FALSE(pmGetAviSensorData(pOnly, list));
    EXPECT_EQ(list.GetDataCount(), 4);

    // Not an AVI at all: nothing, and no claim of G-sensor data.
    list.ClearAllData();
    const std::string text = dir.write("text.avi", "just some text that is long enough");
    EXPECT_FALSE(pmGetAviGpsData(text, list, 10));
    EXPECT_FALSE(pmGetAviSensorData(text, list));
    EXPECT_FALSE(list.IsGSensorReady());
    EXPECT_EQ(list.GetDataCount(), 0);
    EXPECT_FALSE(pmGetAviGpsData(dir.write("empty.avi", ""), list, 10));
    EXPECT_FALSE(pmGetAviGpsData(dir.file("missing.avi"), list, 10));
}

TEST(AviTrack, GChunkBeforeTheIndexIsPaddedToItsSeconds)
{
    TempDir dir;
    const std::string path =
        dir.write("a.avi", avi(chunk("SLLT", positions(1, 10)), 64, chunk("SGLT", gValues(4, 1))));
    GpsList list;
    // The position walk stops at the G chunk before the index; the G records
    // still land on the last 4 of 10 seconds, and the extreme names that sample.
    EXPECT_TRUE(pmGetAviGpsData(path, list, 10));
    ASSERT_EQ(list.GetDataCount(), 10);
    EXPECT_FALSE(list.IsGPSReady());
    EXPECT_EQ(list.GetGpsData(5)->GetGValueZ(), 0.0f);
    EXPECT_FLOAT_EQ(list.GetGpsData(6)->GetGValueZ(), 1.0f);
    EXPECT_EQ(list.GetMinGIndex(), 7);
    EXPECT_FLOAT_EQ(list.GetGpsData(7)->GetGValueX(), -2.5f);
}

TEST(AviTrack, LengthsAreBoundedByTheFile)
{
    TempDir dir;
    GpsList list;
    // A length beyond the end yields the whole records present.
    const std::string over =
        dir.write("over.avi", avi(chunk("SGLT", gValues(3)) +
                                  chunkWithLength("SLLT", 0x7fffff00, positions(1, 3) + "xx")));
    // The position walk steps through the G chunk after the index and finds the positions.
    EXPECT_TRUE(pmGetAviGpsData(over, list, 0));
    EXPECT_EQ(list.GetDataCount(), 3);
    EXPECT_FLOAT_EQ(list.GetGpsData(2)->GetGValueZ(), 1.0f);
    list.ClearAllData();
    const std::string over2 = dir.write(
        "over2.avi", avi(chunkWithLength("SLLT", 0x7fffff00, positions(1, 3) + std::string(27, 'z'))));
    EXPECT_TRUE(pmGetAviGpsData(over2, list, 0));
    EXPECT_EQ(list.GetDataCount(), 3);

    // A negative length reads nothing but still marks the track as having positions.
    list.ClearAllData();
    const std::string negative = dir.write("neg.avi", avi(chunkWithLength("SLLT", -28, positions(1, 2)) +
                                                          chunkWithLength("SGLT", -1, gValues(1))));
    pmGetAviGpsData(negative, list, 3);
    EXPECT_EQ(list.GetDataCount(), 3); // the placeholders only
    EXPECT_TRUE(list.IsGPSReady());

    // A huge video length cannot decide the allocation either.
    list.ClearAllData();
    const std::string small =
        dir.write("s.avi", avi(chunk("SLLT", positions(1, 2)) + chunk("SGLT", gValues(2))));
    EXPECT_TRUE(pmGetAviGpsData(small, list, 2000000000));
    EXPECT_EQ(list.GetDataCount(), GpsList::kMaxVideoSeconds);

    // Cut at every offset: never a crash, never more samples than records.
    const std::string whole = readFile(small);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        const std::string p = dir.write("cut.avi", whole.substr(0, cut));
        GpsList l;
        pmGetAviGpsData(p, l, 2);
        pmGetAviSensorData(p, l);
        EXPECT_LE(l.GetDataCount(), 4) << cut;
    }
}
