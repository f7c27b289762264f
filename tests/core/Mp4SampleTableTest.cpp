// Sample tables as cameras write them (several sample-to-chunk runs, 64-bit
// chunk offsets, compact sizes, two time runs) and as damage leaves them.
#include "core/Mp4SampleTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

void put32(std::string& s, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        s += static_cast<char>(v >> shift & 0xff);
}

// A full box's contents: version and flags 0, then the words.
std::string words(std::initializer_list<uint32_t> values)
{
    std::string s;
    put32(s, 0);
    for (uint32_t v : values)
        put32(s, v);
    return s;
}

Mp4Span span(const std::string& s)
{
    return Mp4Span{reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

TEST(Mp4SampleTable, ExpandsRunsChunksSizesAndTimesAndDropsWhatLies)
{
    // Chunks 1-2 hold two samples each, chunk 3 one: five samples.
    const std::string stsc = words({2, 1, 2, 1, 3, 1, 1});
    const std::string stts = words({2, 2, 500, 3, 1000}); // 2 x 0.5 s, then 3 x 1 s at 1000/s
    std::string co64 = words({3});
    for (uint64_t offset : {uint64_t(0x100000000), uint64_t(0x100001000), uint64_t(0x100002000)}) {
        put32(co64, static_cast<uint32_t>(offset >> 32));
        put32(co64, static_cast<uint32_t>(offset));
    }
    std::string compactSizes; // reserved, an 8-bit field size, five sizes
    put32(compactSizes, 0);
    compactSizes += std::string("\0\0\0\x08", 4);
    put32(compactSizes, 5);
    compactSizes += std::string("\x10\x20\x30\x40\x50", 5);

    Mp4TableBoxes boxes;
    boxes.stsc = span(stsc);
    boxes.stts = span(stts);
    boxes.stco = span(co64);
    boxes.wide = true;
    boxes.stsz = span(compactSizes);
    boxes.compact = true;
    const uint64_t big = uint64_t(1) << 40;
    std::vector<Mp4Sample> s = pmMp4BuildSamples(boxes, 1000, big);
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[0].offset, 0x100000000u);
    EXPECT_EQ(s[1].offset, 0x100000010u); // after the first sample of its chunk
    EXPECT_EQ(s[2].offset, 0x100001000u);
    EXPECT_EQ(s[4].offset, 0x100002000u);
    EXPECT_EQ(s[4].size, 0x50u);
    EXPECT_DOUBLE_EQ(s[1].time, 0.5);
    EXPECT_DOUBLE_EQ(s[2].time, 1.0);
    EXPECT_DOUBLE_EQ(s[4].time, 3.0);
    EXPECT_DOUBLE_EQ(s[4].duration, 1.0);

    // The same file cut inside the second chunk's second sample: that sample
    // and all after it are gone.
    s = pmMp4BuildSamples(boxes, 1000, 0x100001040);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[2].offset, 0x100001000u);

    // Counts that claim far more than the boxes hold, a run that goes back,
    // and a huge samples-per-chunk: the real entries and nothing more.
    const std::string lyingStsc = words({0x7fffffff, 1, 0x7fffffff, 1, 1, 1, 1});
    const std::string lyingStsz = words({0, 0x7fffffff, 8, 8, 8});
    const std::string lyingStco = words({0x7fffffff, 0, 100});
    Mp4TableBoxes lying;
    lying.stsc = span(lyingStsc);
    lying.stsz = span(lyingStsz);
    lying.stco = span(lyingStco);
    s = pmMp4BuildSamples(lying, 1000, 1000);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[2].offset, 16u);
    // One fixed size and a count of two billion: no more samples than the
    // file could hold, and no time scale means no samples at all.
    const std::string fixedSize = words({4, 2000000000});
    lying.stsz = span(fixedSize);
    EXPECT_LE(pmMp4BuildSamples(lying, 1000, 1000).size(), 250u);
    EXPECT_TRUE(pmMp4BuildSamples(lying, 0, 1000).empty());
}

} // namespace
