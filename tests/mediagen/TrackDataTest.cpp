// Drives, NMEA logs and AVI track chunks read back the way the readers see them.
#include "MediaGen.h"
#include "TestSupport.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace mediagen;
using namespace testsupport;

namespace
{

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        if (nl == std::string::npos)
            nl = text.size();
        std::string line = text.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.push_back(line);
        start = nl + 1;
    }
    return out;
}

std::vector<std::string> words(const std::string& s)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = s.find(',', start);
        out.push_back(s.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return out;
        start = comma + 1;
    }
}

double nmeaDegrees(const std::string& v, int degreeDigits)
{
    return std::stoi(v.substr(0, degreeDigits)) + std::stod(v.substr(degreeDigits)) / 60.0;
}

int signedByte(const std::string& hex)
{
    return static_cast<int8_t>(std::stoi(hex, nullptr, 16));
}

uint32_t le32(const std::string& d, std::size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(d[at + i]);
    return v;
}

// Top-level chunk ids of a RIFF file in order, walking by their sizes.
std::vector<std::string> riffChunks(const std::string& d)
{
    std::vector<std::string> ids;
    std::size_t pos = 12;
    while (pos + 8 <= d.size()) {
        ids.push_back(d.substr(pos, 4));
        pos += 8 + le32(d, pos + 4);
    }
    return ids;
}

} // namespace

TEST(Drive, IsDeterministicPlausibleAndCarriesTheEvent)
{
    DriveSpec cfg;
    cfg.seconds = 90;
    cfg.constantKmh = 80;
    cfg.eventSecond = 40;
    const auto a = makeDrive(cfg);
    const auto b = makeDrive(cfg);
    ASSERT_EQ(a.size(), 90u);
    double top = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].lat, b[i].lat);
        EXPECT_EQ(a[i].gx, b[i].gx);
        EXPECT_GE(a[i].speedKmh, 0);
        EXPECT_LE(a[i].speedKmh, 80.0 + 1e-9);
        top = std::max(top, a[i].speedKmh);
        if (i > 0) {
            // Positions move by what the speed allows (metres per second ~ km/h / 3.6).
            const double dy = (a[i].lat - a[i - 1].lat) * 111320;
            const double dx = (a[i].lon - a[i - 1].lon) * 111320 * std::cos(a[i].lat * M_PI / 180);
            EXPECT_NEAR(std::hypot(dx, dy), a[i].speedKmh / 3.6, 0.5);
        }
        if (static_cast<int>(i) != cfg.eventSecond) {
            EXPECT_LT(std::fabs(a[i].gx), 0.5) << i;
        }
    }
    EXPECT_GT(top, 60.0) << "the drive reaches road speeds";
    EXPECT_LT(a.back().speedKmh, 10.0) << "and comes to a stop";
    EXPECT_LT(a[40].gx, -1.5);

    cfg.profile = SpeedProfile::Parked;
    for (const TrackSample& s : makeDrive(cfg)) {
        EXPECT_EQ(s.speedKmh, 0);
        EXPECT_EQ(s.lat, cfg.originLat);
    }
}

TEST(Nmea, OneGroupPerSecondInTheCameraFormat)
{
    NmeaSpec cfg;
    cfg.drive.seconds = 12;
    cfg.drive.eventSecond = 5;
    cfg.start = StartTime{2021, 12, 31, 23, 59, 55};
    const auto samples = nmeaSamples(cfg);
    const std::string text = makeNmeaLog(cfg, samples);
    const auto ls = lines(text);
    ASSERT_EQ(ls.size(), 1u + 3u * 12u);
    EXPECT_EQ(ls[0], "$GTIMESTAMP,METRIC,ON,Coordinate,ROVIX");
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "lines end in CR LF";
    for (int i = 0; i < 12; ++i) {
        const auto rmc = words(ls[1 + 3 * i]);
        const auto gga = words(ls[2 + 3 * i]);
        const auto g = words(ls[3 + 3 * i]);
        ASSERT_EQ(rmc[0], "$GPRMC");
        ASSERT_EQ(gga[0], "$GPGGA");
        ASSERT_EQ(g[0], "$GSENSOR");
        EXPECT_LT(rmc.size(), 24u);
        for (const auto& w : rmc)
            EXPECT_LE(w.size(), 20u);
        // Checksums of the standard sentences are right; the camera's own carry none.
        const std::string& line = ls[1 + 3 * i];
        const auto star = line.find('*');
        ASSERT_NE(star, std::string::npos);
        EXPECT_EQ(line.substr(star + 1), nmeaChecksum(line.substr(1, star - 1)));
        EXPECT_EQ(ls[3 + 3 * i].find('*'), std::string::npos);

        EXPECT_EQ(rmc[2], "A");
        EXPECT_NEAR(nmeaDegrees(rmc[3], 2), samples[i].lat, 1e-6);
        EXPECT_EQ(rmc[4], "N");
        EXPECT_NEAR(nmeaDegrees(rmc[5], 3), samples[i].lon, 1e-6);
        EXPECT_EQ(rmc[6], "E");
        EXPECT_NEAR(std::stod(rmc[7]) * kKmhPerKnot, samples[i].speedKmh, 0.01);
        EXPECT_NEAR(std::stod(gga[9]), samples[i].altitude, 0.051);
        EXPECT_NEAR(signedByte(g[1]) * 0.016, samples[i].gx, 0.0081);
        EXPECT_NEAR(signedByte(g[3]) * 0.016, samples[i].gz, 0.0081);
    }
    // The clock runs over midnight into the new year.
    EXPECT_EQ(words(ls[1])[1], "235955.00");
    EXPECT_EQ(words(ls[1])[9], "311221");
    EXPECT_EQ(words(ls[1 + 3 * 5])[1], "000000.00");
    EXPECT_EQ(words(ls[1 + 3 * 5])[9], "010122");
    EXPECT_LT(signedByte(words(ls[3 + 3 * 5])[1]), -90) << "the event spike";
}

TEST(Nmea, HeaderTalkerAndGValueOptions)
{
    NmeaSpec cfg;
    cfg.drive.seconds = 4;
    cfg.drive.noFixSeconds = 2;
    cfg.withHeader = true;
    cfg.talker = "GN";
    cfg.gSensorInG = true;
    cfg.withTimestamp = false;
    cfg.hostile.trailingZeros = 100;
    std::string text = makeNmeaLog(cfg, nmeaSamples(cfg));
    // "$HEAD," then 8 lower-case hex digits giving the length of the valid data.
    ASSERT_GT(text.size(), 16u);
    EXPECT_EQ(text.substr(0, 6), "$HEAD,");
    const std::string hex = text.substr(6, 8);
    EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(std::stoul(hex, nullptr, 16), text.size() - 100);
    EXPECT_EQ(text.substr(text.size() - 100), std::string(100, '\0'));
    EXPECT_EQ(text.substr(0, 16).find('\0'), std::string::npos);

    const auto ls = lines(text.substr(0, text.size() - 100));
    ASSERT_EQ(ls.size(), 1u + 3u * 4u);
    EXPECT_EQ(words(ls[1])[0], "$GNRMC");
    EXPECT_EQ(words(ls[1])[2], "V");
    EXPECT_EQ(words(ls[1])[3], "");
    EXPECT_EQ(words(ls[1])[8], "") << "no course without a fix";
    EXPECT_EQ(words(ls[7])[2], "A");
    EXPECT_EQ(words(ls[3])[0], "$GSENSORD");
    EXPECT_NEAR(std::stod(words(ls[3])[3]), 1.0, 0.05);

    cfg.hostile.headerLengthDelta = -50;
    text = makeNmeaLog(cfg, nmeaSamples(cfg));
    EXPECT_EQ(std::stoul(text.substr(6, 8), nullptr, 16), text.size() - 150);
}

TEST(Nmea, HostileContentIsWhereItShouldBe)
{
    NmeaSpec cfg;
    cfg.drive.seconds = 4;
    cfg.hostile.longLine = true;
    cfg.hostile.tooManyWords = true;
    cfg.hostile.dollarMidSentence = true;
    cfg.hostile.upperCaseHex = true;
    cfg.hostile.binaryGarbage = true;
    cfg.hostile.missingFinalNewline = true;
    cfg.hostile.unknownSentences = true;
    cfg.drive.eventSecond = 0;
    const std::string text = makeNmeaLog(cfg, nmeaSamples(cfg));
    const auto ls = lines(text);
    int longLines = 0, manyWords = 0, cut = 0, rmc = 0, upper = 0;
    for (const auto& l : ls) {
        longLines += l.size() == 250;
        manyWords += words(l).size() == 24;
        cut += l.find('$', 1) != std::string::npos;
        // A "$" restarts a sentence, so what counts is the text from the last one.
        const std::string tail = l.substr(std::min(l.size(), l.rfind('$')));
        rmc += tail.rfind("$GPRMC,", 0) == 0 && tail.size() < 100 && words(tail).size() < 24;
        if (l.rfind("$GSENSOR,", 0) == 0)
            upper += l.find_first_of("abcdef") == std::string::npos;
    }
    EXPECT_EQ(longLines, 1);
    EXPECT_EQ(manyWords, 1);
    EXPECT_EQ(cut, 1);
    EXPECT_EQ(rmc, 4) << "the regular position sentences are all there";
    EXPECT_EQ(upper, 4);
    EXPECT_NE(text.find(std::string("\0", 1)), std::string::npos);
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.find("$GPGSV,"), std::string::npos);
}

TEST(AviTrack, RecordsEncodeAsTheCameraWritesThem)
{
    TrackSample s;
    s.lon = -123.5;
    s.lat = 35.25;
    s.speedKmh = 61.6;
    s.gx = -1.25;
    s.gy = 1.25;
    s.gz = 0.98765;
    const auto p = encodePositionRecord(s);
    EXPECT_EQ(p[5], 0xFF);
    EXPECT_EQ(p[6], 0x85);
    EXPECT_EQ((p[7] << 24) | (p[8] << 16) | (p[9] << 8) | p[10], 50000000);
    EXPECT_EQ(decodeCoordinate(static_cast<int16_t>((p[5] << 8) | p[6]), 50000000), -123.5);
    EXPECT_EQ((p[11] << 8) | p[12], 35);
    EXPECT_EQ(
        decodeCoordinate(35, static_cast<uint32_t>((p[13] << 24) | (p[14] << 16) | (p[15] << 8) | p[16])),
        35.25);
    EXPECT_EQ((p[19] << 8) | p[20], 62);

    const auto g = encodeSensorRecord(s);
    auto axis = [&](int at) {
        return decodeAxis(g[at], static_cast<int32_t>((g[at + 1] << 24) | (g[at + 2] << 16) |
                                                      (g[at + 3] << 8) | g[at + 4]));
    };
    EXPECT_EQ(g[5], 0x81);
    EXPECT_DOUBLE_EQ(axis(5), -1.25);
    EXPECT_EQ(g[10], 0x01);
    EXPECT_DOUBLE_EQ(axis(10), 1.25);
    EXPECT_NEAR(axis(15), 0.98765, 1e-9);

    TrackSample noFix;
    noFix.fix = false;
    const auto z = encodePositionRecord(noFix);
    for (int i = 5; i < 17; ++i)
        EXPECT_EQ(z[i], 0) << "no fix is written as zero coordinates";
}

TEST(AviTrack, ChunksFollowTheIndexInEveryLayoutAndTheFilePlays)
{
    TempDir dir;
    RecordingSpec cfg;
    cfg.seconds = 3;
    DriveSpec drive;
    drive.seconds = 3;
    AviTrackSpec track;
    track.positions = makeDrive(drive);
    track.sensor = std::vector<TrackSample>(track.positions.begin(), track.positions.begin() + 2);

    struct Expect {
        AviTrackLayout layout;
        std::vector<std::string> tail; // chunk ids from the index on
    };
    const std::vector<Expect> cases = {
        {AviTrackLayout::PositionAndSensor, {"idx1", "SLLT", "SGLT"}},
        {AviTrackLayout::SensorOnly, {"idx1", "SGLT"}},
        {AviTrackLayout::PositionOnly, {"idx1", "SLLT"}},
        {AviTrackLayout::GseaFirst, {"idx1", "GSEA", "SLLT", "SGLT"}},
        {AviTrackLayout::SensorBeforeIndex, {"SGLT", "idx1", "SLLT"}},
    };
    for (const Expect& e : cases) {
        track.layout = e.layout;
        const std::string path = dir.file("t" + std::to_string(static_cast<int>(e.layout)) + ".avi");
        std::string error;
        ASSERT_TRUE(writeAviWithTrackChunks(path, cfg, track, &error)) << error;
        const std::string d = slurp(path);
        EXPECT_EQ(le32(d, 4), d.size() - 8) << "the RIFF size covers the appended chunks";
        EXPECT_EQ(d.substr(112, 4), "H264");
        const auto ids = riffChunks(d);
        ASSERT_GE(ids.size(), e.tail.size());
        EXPECT_EQ(std::vector<std::string>(ids.end() - static_cast<long>(e.tail.size()), ids.end()), e.tail)
            << "layout " << static_cast<int>(e.layout);
        const auto sllt = d.find("SLLT");
        if (sllt != std::string::npos) {
            EXPECT_EQ(le32(d, sllt + 4), 3u * 28u);
            EXPECT_EQ(
                d.substr(sllt + 8, 28),
                std::string(reinterpret_cast<const char*>(encodePositionRecord(track.positions[0]).data()),
                            28));
        }
        const auto sglt = d.find("SGLT");
        if (sglt != std::string::npos) {
            EXPECT_EQ(le32(d, sglt + 4), 2u * 20u);
        }
        const MediaInfo m = readMedia(path);
        ASSERT_TRUE(m.ok) << m.error;
        EXPECT_EQ(m.decodedFrames, 30) << "layout " << static_cast<int>(e.layout);
    }

    // Zero words between the index and the chunks, stepped over four bytes at a time.
    track.layout = AviTrackLayout::PositionAndSensor;
    track.fillerWords = 5;
    const std::string path = dir.file("filler.avi");
    ASSERT_TRUE(writeAviWithTrackChunks(path, cfg, track));
    const std::string d = slurp(path);
    const auto idx = d.find("idx1");
    ASSERT_NE(idx, std::string::npos);
    EXPECT_EQ(d.substr(idx + 8 + le32(d, idx + 4), 24), std::string(20, '\0') + "SLLT");

    // Not an AVI, or one with something already after its index: refused.
    EXPECT_FALSE(addAviTrackChunks(path, track));
    ASSERT_TRUE(writeRecording(dir.file("x.mp4"), RecordingSpec{}));
    EXPECT_FALSE(addAviTrackChunks(dir.file("x.mp4"), track));
}
