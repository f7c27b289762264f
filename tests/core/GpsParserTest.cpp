#include "core/GpsParser.h"
#include "GpsTestSupport.h"
#include "core/GpsList.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

using namespace gpstest;

namespace
{

const char kRmc[] = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
const char kRmcV[] = "$GPRMC,123519,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*7D\r\n";
const float kSpeed = static_cast<float>(22.4 * 1.150779 * 1.6);

struct Parsed {
    GpsList list;
    bool ok = false;
};

Parsed parse(const std::string& text)
{
    TempDir dir;
    Parsed p;
    GpsParser parser;
    p.ok = parser.ParseFile(dir.write("t.log", text), &p.list);
    return p;
}

} // namespace

TEST(GpsParser, PositionSentence)
{
    Parsed p = parse(kRmc);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.list.GetDataCount(), 1);
    const GpsData* s = p.list.GetGpsData(0);
    EXPECT_NEAR(s->fLatitude(), 48.1173, 1e-5);
    EXPECT_NEAR(s->fLongitude(), 11.516667, 1e-5);
    EXPECT_FLOAT_EQ(s->fSpeed(), kSpeed);
    EXPECT_NEAR(s->fSpeed(), 41.244, 1e-3);
    EXPECT_FLOAT_EQ(s->fDirection(), 84.4f);
    EXPECT_TRUE(p.list.IsGPSReady());
    EXPECT_FALSE(p.list.IsGSensorReady());

    // South and west, the GN talker, and a sentence without checksum or course.
    p = parse("$GNRMC,1,A,3339.000,S,07030.000,W,0,,x\n");
    ASSERT_EQ(p.list.GetDataCount(), 1);
    EXPECT_NEAR(p.list.GetGpsData(0)->fLatitude(), -33.65, 1e-5);
    EXPECT_NEAR(p.list.GetGpsData(0)->fLongitude(), -70.5, 1e-5);
    EXPECT_EQ(p.list.GetGpsData(0)->fDirection(), -1.0f);
}

TEST(GpsParser, InvalidFixesTakeTheLastOrFirstValidPosition)
{
    // No valid position yet: at (0, 0) with the parsed speed.
    Parsed p = parse(kRmcV);
    ASSERT_EQ(p.list.GetDataCount(), 1);
    EXPECT_EQ(p.list.GetGpsData(0)->fLatitude(), 0.0f);
    EXPECT_FLOAT_EQ(p.list.GetGpsData(0)->fSpeed(), kSpeed);
    EXPECT_TRUE(p.list.IsGPSReady());

    // Three without a fix, then one: the first three are back-filled with speed -1.
    p = parse(std::string(kRmcV) + kRmcV + kRmcV + kRmc + kRmcV);
    ASSERT_EQ(p.list.GetDataCount(), 5);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(p.list.GetGpsData(i)->fLatitude(), 48.1173, 1e-5) << i;
        EXPECT_EQ(p.list.GetGpsData(i)->fSpeed(), -1.0f) << i;
        EXPECT_FLOAT_EQ(p.list.GetGpsData(i)->fDirection(), 84.4f) << i;
    }
    EXPECT_FLOAT_EQ(p.list.GetGpsData(3)->fSpeed(), kSpeed);
    // After the fix, an invalid one stays where the last fix was, speed -1.
    EXPECT_NEAR(p.list.GetGpsData(4)->fLongitude(), 11.516667, 1e-5);
    EXPECT_EQ(p.list.GetGpsData(4)->fSpeed(), -1.0f);
}

TEST(GpsParser, AltitudeAndGSensorSentences)
{
    Parsed p =
        parse(std::string(kRmc) + "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n" +
              "$GSENSOR,ff,80,7f\r\n" + kRmc + "$GSENSOR,FF,00,10\r\n" + kRmc +
              "$GSENSORD,12.5,-0.3,0.98\r\n" + kRmc + "$GSENSOR,1ff,,zz\r\n");
    ASSERT_EQ(p.list.GetDataCount(), 4);
    const GpsData* s = p.list.GetGpsData(0);
    EXPECT_DOUBLE_EQ(s->dAltitude(), 545.4);
    EXPECT_EQ(s->GetSensorX(), -1);
    EXPECT_EQ(s->GetSensorY(), -128);
    EXPECT_EQ(s->GetSensorZ(), 127);
    EXPECT_FLOAT_EQ(s->GetGValueY(), -2.048f);
    EXPECT_FLOAT_EQ(s->GetGValueZ(), 2.032f);
    // Upper-case hexadecimal reads like lower case.
    EXPECT_EQ(p.list.GetGpsData(1)->GetSensorX(), -1);
    EXPECT_EQ(p.list.GetGpsData(1)->GetSensorZ(), 16);
    // Values in g are clamped to +-10; the raw counts stay 0.
    EXPECT_FLOAT_EQ(p.list.GetGpsData(2)->GetGValueX(), 10.0f);
    EXPECT_FLOAT_EQ(p.list.GetGpsData(2)->GetGValueY(), -0.3f);
    EXPECT_EQ(p.list.GetGpsData(2)->GetSensorX(), 0);
    // Higher bits are dropped, empty and unreadable words are 0.
    EXPECT_EQ(p.list.GetGpsData(3)->GetSensorX(), -1);
    EXPECT_EQ(p.list.GetGpsData(3)->GetSensorY(), 0);
    EXPECT_EQ(p.list.GetGpsData(3)->GetSensorZ(), 0);

    EXPECT_TRUE(p.list.IsGSensorReady());
    EXPECT_FLOAT_EQ(p.list.GetMaxGValue(), 10.0f);
    EXPECT_EQ(p.list.GetMaxGIndex(), 2);
    EXPECT_FLOAT_EQ(p.list.GetMinGValue(), -2.048f);
    EXPECT_EQ(p.list.GetMinGIndex(), 0);
}

TEST(GpsParser, GSensorOnlyLogsGetOneSamplePerLine)
{
    Parsed p = parse("$GSENSOR,01,02,03\n$GSENSOR,04,05,06\n$GSENSORD,0.1,0.2,0.3\n");
    ASSERT_EQ(p.list.GetDataCount(), 3);
    EXPECT_FALSE(p.list.IsGPSReady());
    EXPECT_TRUE(p.list.IsGSensorReady());
    EXPECT_EQ(p.list.GetGpsData(0)->fDirection(), -1.0f);
    EXPECT_EQ(p.list.GetGpsData(1)->fLatitude(), 0.0f);
    EXPECT_EQ(p.list.GetGpsData(2)->fDirection(), 0.0f); // the g sentence's own sample
    EXPECT_EQ(p.list.GetMaxGIndex(), 2);
    EXPECT_EQ(p.list.GetMinGIndex(), 0);
}

TEST(GpsParser, TimeStampPreferences)
{
    Parsed p = parse("$GTIMESTAMP,imperial,off,g-SENSOR,Hello world\n");
    EXPECT_EQ(p.list.GetSpeedUnit(), 1);
    EXPECT_FALSE(p.list.IsShowSpeed());
    EXPECT_EQ(p.list.GetStampType(), 1);
    EXPECT_EQ(p.list.GetTextStamp(), "Hello world");
    p = parse("$GTIMESTAMP,IMPERIAL,OFF,G-sensor,a\n$GTIMESTAMP,metric,xx,,\n");
    EXPECT_EQ(p.list.GetSpeedUnit(), 0);
    EXPECT_TRUE(p.list.IsShowSpeed());
    EXPECT_EQ(p.list.GetStampType(), 0);
    EXPECT_EQ(p.list.GetTextStamp(), "");
    EXPECT_EQ(p.list.GetDataCount(), 0);
}

TEST(GpsParser, LinesWordsAndIdentifiers)
{
    // A line of 230 characters is cut to its first 200 before it is split: the
    // word that would be too long is cut to 15 characters and the sentence counts.
    std::string line = "$GPRMC,1,A,4807.038,N,01131.000,E,1,2";
    for (int i = 0; i < 7; ++i)
        line += "," + std::string(20, 'a');
    line += "," + std::string(45, 'b');
    ASSERT_EQ(line.size(), 230u);
    Parsed p = parse(line + "\n");
    EXPECT_EQ(p.list.GetDataCount(), 1);

    // 24 words are too many, 23 are fine.
    std::string rmc23 = "$GPRMC,1,A,4807.038,N,01131.000,E,1,2";
    for (int i = 9; i < 23; ++i)
        rmc23 += ",";
    p = parse(rmc23 + "\n" + rmc23 + ",\n");
    EXPECT_EQ(p.list.GetDataCount(), 1);

    // Words of 20 characters are fine, 21 are not.
    p = parse("$GPRMC,1,A,4807.038,N,01131.000,E,1," + std::string(20, '9') +
              "\n$GPRMC,1,A,4807.038,N,01131.000,E,1," + std::string(21, '9') + "\n");
    EXPECT_EQ(p.list.GetDataCount(), 1);

    // "$" restarts a sentence; identifiers are exact; comments and other
    // talkers are ignored; no final line feed: unparsed.
    p = parse("$GPRMC,1,A,48$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\n"
              "$gprmc,1,A,4807.038,N,01131.000,E,1,2\n$GLRMC,1,A,4807.038,N,01131.000,E,1,2\n"
              "$GARMC,1,A,4807.038,N,01131.000,E,1,2\n# a comment # $GPRMC,1,A,4807.038,N,01131.000,E,1,2\n"
              "$GPGSV,3,1,11\n$GPGSA,A,3\n$GPRMC,1,A,4807.038,N,01131.000,E,1,2");
    EXPECT_EQ(p.list.GetDataCount(), 2); // the spliced one, and the one after "# "
    EXPECT_NEAR(p.list.GetGpsData(0)->fLatitude(), 48.1173, 1e-5);

    // A zero byte ends the sentence's text; CR alone is not a line end.
    const char withZero[] = "$GPRMC,1,A,4807.038,N,01131.000,E,1,2\0,garbage\n\x01\xff\xfe\r$GSENSOR,1,2,3\r";
    p = parse(std::string(withZero, sizeof withZero - 1));
    EXPECT_EQ(p.list.GetDataCount(), 1);
    EXPECT_EQ(p.list.GetGpsData(0)->fDirection(), 2.0f);
}

TEST(GpsParser, NumbersThatAreNotFiniteAreUnusable)
{
    Parsed p = parse(std::string(kRmc) + "$GPRMC,1,A,48nan,N,011inf,E,nan,inf,x\n" +
                     "$GPRMC,1,A,481e999,N,01131.000,E,1e999,-1e999\n" + "$GPGGA,1,2,3,4,5,6,7,8,nan\n" +
                     "$GSENSORD,nan,inf,-1e999\n" + "$GPRMC,1,A,4807.038,N,01131.000,E,1e300,1e300\n");
    ASSERT_EQ(p.list.GetDataCount(), 4);
    for (const GpsData& s : p.list.gpslist()) {
        EXPECT_TRUE(std::isfinite(s.fLatitude()) && std::isfinite(s.fLongitude()) &&
                    std::isfinite(s.fSpeed()) && std::isfinite(s.fDirection()) &&
                    std::isfinite(s.dAltitude()) && std::isfinite(s.GetGValueX()) &&
                    std::isfinite(s.GetGValueY()) && std::isfinite(s.GetGValueZ()));
    }
    // Unusable coordinates give no position: the last fix is used, speed -1.
    EXPECT_NEAR(p.list.GetGpsData(1)->fLatitude(), 48.1173, 1e-5);
    EXPECT_EQ(p.list.GetGpsData(1)->fSpeed(), -1.0f);
    EXPECT_EQ(p.list.GetGpsData(1)->fDirection(), -1.0f);
    EXPECT_EQ(p.list.GetGpsData(2)->fDirection(), -1.0f);
    EXPECT_EQ(p.list.GetGpsData(2)->dAltitude(), 0.0);
    EXPECT_EQ(p.list.GetGpsData(2)->GetGValueX(), 0.0f);
    // Finite text whose value overflows a float is unusable too.
    EXPECT_EQ(p.list.GetGpsData(3)->fSpeed(), 0.0f);
    EXPECT_EQ(p.list.GetGpsData(3)->fDirection(), -1.0f);
}

TEST(GpsParser, HeaderLengthAndFileFailures)
{
    const std::string body = std::string(kRmc) + kRmc + kRmc;
    const std::size_t rmcLength = std::string(kRmc).size();
    // A header stating the length of itself and one and a half sentences.
    char head[32];
    std::snprintf(head, sizeof head, "$HEAD,%08zx,x\n", 17 + rmcLength + rmcLength / 2);
    Parsed p = parse(head + body);
    EXPECT_EQ(p.list.GetDataCount(), 1);
    // Upper-case digits are not a header: the whole file.
    p = parse("$HEAD,0000009F,x\n" + body);
    EXPECT_EQ(p.list.GetDataCount(), 3);
    // A header promising more than the file holds parses what is there.
    p = parse("$HEAD,7fffffff,x\n" + body);
    EXPECT_EQ(p.list.GetDataCount(), 3);
    // A header stating 0, and an empty file: no.
    p = parse("$HEAD,00000000,x\n" + body);
    EXPECT_FALSE(p.ok);
    p = parse("");
    EXPECT_FALSE(p.ok);
    // Nothing usable still parses.
    p = parse("garbage without sentences");
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.list.GetDataCount(), 0);

    GpsList list;
    GpsParser parser;
    EXPECT_FALSE(parser.ParseFile("/nonexistent/dir/x.log", &list));
}

TEST(GpsParser, HexConversion)
{
    int64_t v = 77;
    EXPECT_FALSE(GpsParser::wxtoi(nullptr, v));
    const std::string empty;
    EXPECT_TRUE(GpsParser::wxtoi(&empty, v));
    EXPECT_EQ(v, 77);
    const std::string ok = "ffffffff", tooLong = "000000001", upper = "FF";
    EXPECT_TRUE(GpsParser::wxtoi(&ok, v));
    EXPECT_EQ(v, 0xffffffffLL);
    EXPECT_FALSE(GpsParser::wxtoi(&tooLong, v));
    EXPECT_FALSE(GpsParser::wxtoi(&upper, v));
}

TEST(GpsParser, ChecksumsPlainNumbersAndPlausibleReadings)
{
    // Present and wrong: skipped (a damaged fix would be 444 km off), and
    // counted once in the log. Lower-case digits are fine; no checksum is read.
    const std::string damaged = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6B\r\n";
    const std::string lower = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6a\r\n";
    const std::string noSum = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W\r\n";
    TempDir dir;
    GpsList list;
    GpsParser parser;
    ASSERT_TRUE(parser.ParseFile(dir.write("t.log", damaged + kRmc + damaged + lower + noSum +
                                                        "$GPRMC,1,A,4807.038,N,01131.000,E,1,2*\n" +
                                                        "$GPRMC,1,A,4807.038,N,01131.000,E,1,2*6A6A\n"),
                                 &list));
    EXPECT_EQ(parser.badChecksums(), 4);
    ASSERT_EQ(list.GetDataCount(), 3);
    for (const GpsData& s : list.gpslist()) {
        EXPECT_NEAR(s.fLatitude(), 48.1173, 1e-5);
        EXPECT_FLOAT_EQ(s.fSpeed(), kSpeed);
    }
    // The checksum is not part of the last word: a camera sentence with one reads whole.
    Parsed p = parse(std::string(kRmc) + "$GSENSOR,01,02,7f*2F\n");
    EXPECT_EQ(p.list.GetGpsData(0)->GetSensorZ(), 127);

    // Plain decimals only: hexadecimal floats, exponents, inf and nan are no numbers.
    p = parse("$GPRMC,1,A,0x1p4,N,01131.000,E,1,2\n$GPRMC,1,A,4807.038,N,0x1p41.0,E,0x10,1e2\n"
              "$GPRMC,1,A,48-7.038,N,01131.000,E,+1.5,inf\n$GPRMC,1,A,4807.038,N,01131.000,E,.5,90.\n");
    ASSERT_EQ(p.list.GetDataCount(), 4);
    EXPECT_NEAR(p.list.GetGpsData(0)->fLatitude(), 48.1173, 1e-5); // no fix of its own: back-filled
    EXPECT_EQ(p.list.GetGpsData(0)->fSpeed(), -1.0f);
    EXPECT_EQ(p.list.GetGpsData(1)->fSpeed(), -1.0f);
    EXPECT_EQ(p.list.GetGpsData(1)->fDirection(), -1.0f);
    EXPECT_EQ(p.list.GetGpsData(2)->fDirection(), -1.0f);
    EXPECT_NEAR(p.list.GetGpsData(3)->fSpeed(), 0.5 * 1.150779 * 1.6, 1e-5);
    EXPECT_FLOAT_EQ(p.list.GetGpsData(3)->fDirection(), 90.0f);
    double value = 7;
    for (const char* bad : {"1e308", "0x1p4", "nan", "-inf", "1.5.2", "", "-", "+-1", "12abc", "1 2"})
        EXPECT_FALSE(pmParseDecimal(bad, bad + std::strlen(bad), value)) << bad;
    EXPECT_EQ(value, 7.0);
    for (const auto& [text, expected] :
         {std::pair{" -12.5 ", -12.5}, std::pair{"+3", 3.0}, std::pair{".25", 0.25}}) {
        ASSERT_TRUE(pmParseDecimal(text, text + std::strlen(text), value)) << text;
        EXPECT_EQ(value, expected);
    }

    // Altitudes outside -500 m to 10,000 m and speeds above 500 km/h are no readings.
    p = parse(std::string(kRmc) + "$GPGGA,1,2,3,4,5,6,7,8,10000.5\n" + kRmc +
              "$GPGGA,1,2,3,4,5,6,7,8,-500\n" + kRmc + "$GPGGA,1,2,3,4,5,6,7,8,99999999999999999999\n" +
              "$GPRMC,1,A,4807.038,N,01131.000,E,270.0,1\n$GPRMC,1,A,4807.038,N,01131.000,E,272.0,1\n");
    ASSERT_EQ(p.list.GetDataCount(), 5);
    EXPECT_EQ(p.list.GetGpsData(0)->dAltitude(), 0.0);
    EXPECT_EQ(p.list.GetGpsData(1)->dAltitude(), -500.0);
    EXPECT_EQ(p.list.GetGpsData(2)->dAltitude(), 0.0);
    EXPECT_NEAR(p.list.GetGpsData(3)->fSpeed(), 270 * 1.150779 * 1.6, 1e-3); // 497 km/h
    EXPECT_EQ(p.list.GetGpsData(4)->fSpeed(), -1.0f);                        // 501 km/h
}
