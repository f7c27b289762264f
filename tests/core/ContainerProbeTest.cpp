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
    // H.265 in either sample entry is admitted like H.264, and the probe says which.
    const struct {
        const char* entry;
        VideoCodec codec;
    } codecs[] = {{"avc1", kCodecH264},   {"AVC1", kCodecH264},    {"hvc1", kCodecH265},
                  {"hev1", kCodecH265},   {"hvc2", kCodecUnknown}, {"mp4v", kCodecUnknown},
                  {"avc3", kCodecUnknown}};
    for (const auto& c : codecs) {
        const std::string path = put(std::string("codec-") + c.entry + ".mp4",
                                     ftyp() + moov(mvhd(1000, 5000) + trak(c.entry) + trak("mp4a")) + tail);
        const RecordingProbe probe = pmProbeRecording(path);
        EXPECT_EQ(probe.ready, c.codec != kCodecUnknown) << c.entry;
        EXPECT_EQ(probe.codec, c.codec) << c.entry;
        EXPECT_EQ(pmGetRecordingCodec(path), c.codec) << c.entry;
        EXPECT_EQ(pmIsMovCodecReady(path), c.codec != kCodecUnknown) << c.entry;
    }
    EXPECT_FALSE(mov(ftyp() + moov(mvhd(1000, 5000) + trak("mp4a") + trak("hvc1")) + tail));
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

namespace
{

std::string le32(uint32_t v)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string riffChunk(const std::string& id, const std::string& payload)
{
    return id + le32(uint32_t(payload.size())) + payload + (payload.size() % 2 ? std::string(1, '\0') : "");
}

// An AVI header list: the main header (frame period, frame count) and one
// stream list per (type, scale, rate, length).
struct AviStream {
    const char* type;
    uint32_t scale, rate, length;
};
std::string aviHeader(uint32_t microSecPerFrame, uint32_t totalFrames, const std::vector<AviStream>& streams)
{
    std::string mainHeader = le32(microSecPerFrame) + std::string(12, '\0') + le32(totalFrames);
    mainHeader.resize(56, '\0');
    std::string lists;
    for (const AviStream& s : streams) {
        std::string strh = std::string(s.type) + "H264" + std::string(12, '\0') + le32(s.scale) +
                           le32(s.rate) + le32(0) + le32(s.length);
        strh.resize(56, '\0');
        lists +=
            riffChunk("LIST", "strl" + riffChunk("strh", strh) + riffChunk("strf", std::string(40, '\0')));
    }
    const std::string hdrl = riffChunk("LIST", "hdrl" + riffChunk("avih", mainHeader) + lists);
    const std::string body = "AVI " + hdrl + riffChunk("LIST", "movi");
    return "RIFF" + le32(uint32_t(body.size())) + body;
}

// Version 1 movie header: 64-bit times and duration.
std::string mvhd1(uint32_t timeScale, uint64_t duration)
{
    std::string body = std::string(1, '\1') + std::string(3, '\0') + std::string(16, '\0');
    body += be32(timeScale) + be64(duration) + std::string(80, '\0');
    return atom("mvhd", body);
}

} // namespace

TEST_F(ContainerProbeTest, DurationFromTheMovieHeaderOrTheAviHeaders)
{
    const std::string media = atom("mdat", std::string(3000, '\0'));
    auto duration = [&](const std::string& name, const std::string& bytes) {
        return pmGetContainerDurationSeconds(put(name, bytes));
    };
    // Movie header before or after the media, version 0 and 1; the extension
    // picks the reader, so a MOV is read the same way.
    EXPECT_DOUBLE_EQ(duration("a.mp4", ftyp() + moov(mvhd(1000, 61500) + trak()) + media), 61.5);
    EXPECT_DOUBLE_EQ(duration("b.MOV", ftyp() + media + moov(trak() + mvhd(600, 36000))), 60.0);
    EXPECT_DOUBLE_EQ(duration("c.mp4", ftyp() + moov(mvhd1(90000, 90000ULL * 36000) + trak()) + media),
                     36000.0);
    // Media data with a 64-bit size is skipped by its whole size.
    EXPECT_DOUBLE_EQ(
        duration("d.mp4", ftyp() + largeAtom("mdat", std::string(100, '\0')) + moov(mvhd(1000, 2000))), 2.0);
    // No duration stated: unknown, zero, no time scale, no movie header, or a
    // movie header that is not inside the movie.
    EXPECT_EQ(duration("e.mp4", ftyp() + moov(mvhd(1000, 0xFFFFFFFFu) + trak()) + media), 0.0);
    EXPECT_EQ(duration("f.mp4", ftyp() + moov(mvhd1(1000, ~0ULL) + trak()) + media), 0.0);
    EXPECT_EQ(duration("h.mp4", ftyp() + moov(mvhd(0, 5000)) + media), 0.0);
    EXPECT_EQ(duration("j.mp4", ftyp() + mvhd(1000, 5000) + moov(trak()) + media), 0.0);
    // Sizes are never trusted: beyond the file, or a header bigger than its movie.
    EXPECT_EQ(duration("k.mp4", ftyp() + rawHeader(0x7fffffff, "mdat") + moov(mvhd(1000, 5000))), 0.0);
    EXPECT_EQ(duration("l.mp4", ftyp() + be32(20) + "moov" + mvhd(1000, 5000)), 0.0);
    EXPECT_EQ(duration("m.txt", ftyp() + moov(mvhd(1000, 5000))), 0.0);

    // AVI: the video stream's length in scale / rate units, exact where the
    // main header's rounded frame period is not (90 frames at 30000/1001).
    EXPECT_DOUBLE_EQ(duration("a.avi", aviHeader(33367, 90, {{"vids", 1001, 30000, 90}})),
                     90 * 1001 / 30000.0);
    EXPECT_DOUBLE_EQ(duration("b.avi", aviHeader(33333, 1800, {{"vids", 1, 30, 1800}})), 60.0);
    // An audio stream first: the video stream still decides.
    EXPECT_DOUBLE_EQ(
        duration("c.AVI", aviHeader(100000, 30, {{"auds", 1, 8000, 99999}, {"vids", 1, 10, 30}})), 3.0);
    // A video stream without a length or rate: the main header answers.
    EXPECT_DOUBLE_EQ(duration("d.avi", aviHeader(100000, 50, {{"vids", 1, 0, 30}})), 5.0);
    EXPECT_EQ(duration("f.avi", avi("H264")), 0.0); // no header sizes at all
    EXPECT_EQ(pmGetContainerDurationSeconds(dir), 0.0);

    // Cut anywhere: no crash, and either nothing or the whole answer.
    for (const auto& [name, whole] :
         {std::pair<std::string, std::string>{"cut.mp4", ftyp() + media + moov(trak() + mvhd1(1000, 7000))},
          {"cut.avi", aviHeader(100000, 70, {{"auds", 1, 8000, 9}, {"vids", 1, 10, 70}})}}) {
        for (std::size_t cut = 0; cut < whole.size(); ++cut) {
            const double seconds = duration(name, whole.substr(0, cut));
            EXPECT_TRUE(seconds == 0.0 || seconds == 7.0) << name << " cut at " << cut << ": " << seconds;
        }
        EXPECT_DOUBLE_EQ(duration(name, whole), 7.0);
    }
}
