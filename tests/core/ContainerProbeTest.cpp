#include "core/ContainerProbe.h"
#include "core/Log.h"

#include "ProbeMediaBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace probebytes;

namespace
{

class ContainerProbeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rovix_probe_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        pmSetLogFilePath({});
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string put(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir + "/" + name;
        writeFile(path, bytes);
        return path;
    }
    bool mov(const std::string& bytes) { return pmIsMovCodecReady(put("probe.mp4", bytes)); }

    std::string dir;
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST_F(ContainerProbeTest, AviAcceptsOnlyH264HandlerWithFirstLetterEitherCase)
{
    EXPECT_TRUE(pmIsAviCodecReady(put("a.avi", avi("H264"))));
    EXPECT_TRUE(pmIsAviCodecReady(put("b.avi", avi("h264"))));
    EXPECT_FALSE(pmIsAviCodecReady(put("c.avi", avi("X264"))));
    EXPECT_FALSE(pmIsAviCodecReady(put("d.avi", avi("AVC1"))));
    EXPECT_FALSE(pmIsAviCodecReady(put("e.avi", avi("H26"))));
    // Exactly long enough for the four handler bytes, and one short.
    EXPECT_TRUE(pmIsAviCodecReady(put("f.avi", avi("H264", 116))));
    EXPECT_FALSE(pmIsAviCodecReady(put("g.avi", avi("H264").substr(0, 115))));
    EXPECT_FALSE(pmIsAviCodecReady(put("empty.avi", "")));
    EXPECT_FALSE(pmIsAviCodecReady(dir + "/missing.avi"));
    EXPECT_FALSE(pmIsAviCodecReady(dir));
    EXPECT_FALSE(pmIsAviCodecReady(""));
}

TEST_F(ContainerProbeTest, MovNeedsMoreThan2048BytesAndLeadingFtyp)
{
    const std::string head = ftyp() + moov(mvhd(1000, 5000) + trak());
    EXPECT_FALSE(mov(padTo(head, 2048)));
    EXPECT_TRUE(mov(padTo(head, 2049)));
    // Same header well past the minimum but without a leading ftyp.
    const std::string rest = moov(mvhd(1000, 5000) + trak()) + atom("mdat", std::string(3000, '\0'));
    EXPECT_FALSE(mov(atom("wide") + ftyp() + rest));
    EXPECT_FALSE(mov(atom("mdat", std::string(3000, '\0')) + ftyp() + rest));
    // Type comparison ignores case.
    EXPECT_TRUE(mov(atom("FTYP", "isom") + atom("MOOV", mvhd(1000, 5000) + trak("AVC1")) +
                    atom("mdat", std::string(3000, '\0'))));
    EXPECT_FALSE(pmIsMovCodecReady(dir + "/missing.mp4"));
}

TEST_F(ContainerProbeTest, MovWalkSkipsMdatByItsSizeIncludingLargeSize)
{
    const std::string movie = moov(mvhd(1000, 5000) + trak());
    const std::string payload(3000, '\x11');
    EXPECT_TRUE(mov(ftyp() + atom("mdat", payload) + movie));
    EXPECT_TRUE(mov(ftyp() + largeAtom("mdat", payload) + movie));
    // Only the low 32 bits of a large size count: 2^32 + real size still lands on moov.
    EXPECT_TRUE(mov(ftyp() + largeAtom("mdat", payload, (uint64_t(1) << 32) + 16 + payload.size()) + movie));
    // 2^63 has zero low bits; a size below its own header goes backwards; both stop the walk.
    EXPECT_FALSE(mov(ftyp() + largeAtom("mdat", payload, uint64_t(1) << 63) + movie));
    EXPECT_FALSE(mov(ftyp() + largeAtom("mdat", payload, 15) + movie));
    // Sizes 0 and 2..7 move backwards; a size beyond the file stops too.
    for (uint32_t size : {0u, 2u, 7u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(size);
        EXPECT_FALSE(mov(ftyp() + rawHeader(size, "mdat") + payload + movie));
    }
    // A step into an atom is followed by an exact skip of its unknown children.
    EXPECT_TRUE(mov(ftyp() + moov(atom("udta", std::string(40, '\0')) + mvhd(600, 600) + trak()) + payload));
}

TEST_F(ContainerProbeTest, MovTruncatedAnywhereBeforeTheSampleEntryIsNotReady)
{
    // Movie at the end, so every cut lands in the part the walk needs.
    const std::string head = ftyp() + atom("mdat", std::string(3000, '\0'));
    const std::string file = head + moov(mvhd(1000, 5000) + trak());
    const std::size_t entryEnd = file.rfind("avc1") + 4;
    for (std::size_t cut = 2049; cut <= file.size(); ++cut) {
        ASSERT_EQ(mov(file.substr(0, cut)), cut >= entryEnd) << "cut at " << cut;
    }
}

TEST_F(ContainerProbeTest, MovDurationTestRejectsShortMoviesAndLogsThem)
{
    const std::string logPath = dir + "/log.txt";
    pmSetLogFilePath(logPath);
    const std::string tail = atom("mdat", std::string(3000, '\0'));

    const std::string shortPath = put("short.mp4", ftyp() + moov(mvhd(600, 100) + trak()) + tail);
    EXPECT_FALSE(pmIsMovCodecReady(shortPath));
    EXPECT_NE(slurp(logPath).find(" pmIsMovCodecReady() - Duration is too short, filter out it - " +
                                  shortPath + "\n"),
              std::string::npos);

    EXPECT_TRUE(mov(ftyp() + moov(mvhd(600, 600) + trak()) + tail));
    // A duration below 8 wraps to a huge value and passes; a time scale below
    // 8 wraps and fails; exactly 8 would divide by zero and is refused.
    EXPECT_TRUE(mov(ftyp() + moov(mvhd(1000, 0) + trak()) + tail));
    EXPECT_FALSE(mov(ftyp() + moov(mvhd(0, 5000) + trak()) + tail));
    EXPECT_FALSE(mov(ftyp() + moov(mvhd(8, 5000) + trak()) + tail));
    // A movie header after the first track is never reached.
    EXPECT_TRUE(mov(ftyp() + moov(trak() + mvhd(600, 100)) + tail));
}

TEST_F(ContainerProbeTest, MovFirstTrackDecidesTheCodec)
{
    const std::string tail = atom("mdat", std::string(3000, '\0'));
    EXPECT_FALSE(mov(ftyp() + moov(mvhd(1000, 5000) + trak("mp4a") + trak("avc1")) + tail));
    EXPECT_TRUE(mov(ftyp() + moov(mvhd(1000, 5000) + trak("avc1") + trak("mp4a")) + tail));
    EXPECT_FALSE(mov(ftyp() + moov(mvhd(1000, 5000) + trak("hvc1")) + tail));
    // No track at all: end of file without a decision.
    EXPECT_FALSE(mov(ftyp() + moov(mvhd(1000, 5000)) + tail));
}

TEST_F(ContainerProbeTest, ProbesRefuseSpecialFilesWithoutBlocking)
{
    const std::string fifo = dir + "/pipe.mp4";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(pmIsMovCodecReady(fifo));
    EXPECT_FALSE(pmIsAviCodecReady(fifo));
    EXPECT_FALSE(pmIsMovCodecReady("/dev/zero"));
}
