// Tracks from other devices: GPX, KML, NMEA and CSV as phones and loggers
// write them, hostile files refused with a reason, the alignment onto a
// recording's seconds, and the store of attachments.
#include "core/ForeignTrack.h"
#include "core/GpsList.h"
#include "core/TrackAttachments.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{

const int64_t k0830 = utcMsFromCivil(2021, 3, 15, 8, 30, 0);

ForeignTrack parsed(const std::string& text)
{
    ForeignTrack t;
    std::string error;
    EXPECT_TRUE(parseForeignTrack(text, t, error)) << error << "\n" << text;
    return t;
}

std::string refused(const std::string& text)
{
    ForeignTrack t;
    std::string error;
    EXPECT_FALSE(parseForeignTrack(text, t, error)) << text.substr(0, 200);
    EXPECT_TRUE(t.fixes.empty());
    EXPECT_FALSE(error.empty());
    return error;
}

TEST(ForeignTrackTest, ReadsEachFormatAsPhonesAndLoggersWriteIt)
{
    ForeignTrack gpx =
        parsed("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<gpx version=\"1.1\"><trk><trkseg>\n"
               "<trkpt lat=\"35.5\" lon='-139.25'><ele>12.5</ele><time>2021-03-15T08:30:01Z</time>"
               "<extensions><gpxtpx:speed>10</gpxtpx:speed></extensions></trkpt>\n"
               "<trkpt lon=\"-139.26\" lat=\"35.6\"><time>2021-03-15T17:30:00.500+09:00</time></trkpt>\n"
               "</trkseg></trk></gpx>");
    EXPECT_EQ(gpx.format, ForeignFormat::Gpx);
    ASSERT_EQ(gpx.fixes.size(), 2u);
    EXPECT_EQ(gpx.fixes[0].utcMs, k0830 + 500) << "sorted by time, the zone taken off";
    EXPECT_DOUBLE_EQ(gpx.fixes[0].lat, 35.6);
    EXPECT_EQ(gpx.fixes[1].utcMs, k0830 + 1000);
    EXPECT_DOUBLE_EQ(gpx.fixes[1].lon, -139.25);
    EXPECT_DOUBLE_EQ(gpx.fixes[1].altitude, 12.5);
    EXPECT_DOUBLE_EQ(gpx.fixes[1].speedKmh, 36.0) << "GPX speeds are metres per second";

    ForeignTrack kml =
        parsed("<kml xmlns:gx=\"x\"><Document><Placemark><gx:Track>"
               "<when>2021-03-15T08:30:00Z</when><when>2021-03-15T08:30:02Z</when>"
               "<gx:coord>139.7 35.6 40</gx:coord><gx:coord>139.71 35.61 41</gx:coord>"
               "</gx:Track></Placemark>"
               "<Placemark><TimeStamp><when>2021-03-15T08:30:04Z</when></TimeStamp>"
               "<Point><coordinates>139.72,35.62,42</coordinates></Point></Placemark>"
               "<Placemark><Point><coordinates>1,2</coordinates></Point></Placemark></Document></kml>");
    ASSERT_EQ(kml.fixes.size(), 3u);
    EXPECT_DOUBLE_EQ(kml.fixes[1].lon, 139.71);
    EXPECT_DOUBLE_EQ(kml.fixes[2].lat, 35.62);
    EXPECT_EQ(kml.fixes[2].utcMs, k0830 + 4000);

    // A damaged sentence (wrong checksum) and one without a fix are not positions.
    ForeignTrack nmea =
        parsed("$GPRMC,083000.00,A,3539.4860,N,13942.1020,E,10.0,90.0,150321,,,A*" + std::string("00") +
               "\r\n$GPRMC,083001.00,A,3539.4860,N,13942.1020,E,10.0,90.0,150321,,,A\r\n"
               "$GPGGA,083001.00,3539.4860,N,13942.1020,E,1,09,0.9,55.5,M,39.0,M,,\r\n"
               "$GPRMC,083002.00,V,,,,,,,150321,,,N\r\n");
    ASSERT_EQ(nmea.fixes.size(), 1u);
    EXPECT_EQ(nmea.fixes[0].utcMs, k0830 + 1000);
    EXPECT_NEAR(nmea.fixes[0].lat, 35.65810, 1e-5);
    EXPECT_NEAR(nmea.fixes[0].speedKmh, 18.52, 1e-9);
    EXPECT_DOUBLE_EQ(nmea.fixes[0].altitude, 55.5);

    ForeignTrack csv = parsed("time,lat,lon,elevation,speed (m/s),bearing\n"
                              "2021-03-15T08:30:00Z,35.6,139.7,10,5,90\n\n"
                              "\"2021-03-15 08:30:01\",35.61,139.71,11,6,91\n");
    ASSERT_EQ(csv.fixes.size(), 2u);
    EXPECT_DOUBLE_EQ(csv.fixes[1].speedKmh, 6 * 3.6);
    EXPECT_DOUBLE_EQ(csv.fixes[1].course, 91);
    ForeignTrack semicolons =
        parsed("Timestamp;Latitude;Longitude\n1615797000000;35,6;139.7\n1615797001;35.6;139.7\n");
    ASSERT_EQ(semicolons.fixes.size(), 1u) << "a decimal comma is not a number; epoch ms and s both read";
    EXPECT_EQ(semicolons.fixes[0].utcMs, k0830 + 1000);
    ForeignTrack dateAndTime =
        parsed("date\ttime\tlatitude\tlongitude\n2021-03-15\t08:30:00Z\t35.6\t139.7\n");
    ASSERT_EQ(dateAndTime.fixes.size(), 1u);
    EXPECT_EQ(dateAndTime.fixes[0].utcMs, k0830);
}

TEST(ForeignTrackTest, HostileFilesGiveAClearMessageAndNoTrack)
{
    const std::string point = "<trkpt lat=\"35.6\" lon=\"139.7\"><time>2021-03-15T08:30:00Z</time></trkpt>";
    EXPECT_NE(
        refused(std::string(static_cast<std::size_t>(foreigntrack::kMaxFileBytes) + 1, ' ')).find("64 MB"),
        std::string::npos);
    EXPECT_NE(refused("<gpx><trk>" + point + point).find("cut short"), std::string::npos);
    EXPECT_NE(refused("<gpx><trk><trkpt lat=\"35.6\" lon=\"139.7\"><time>2021</gpx>").find("cut short"),
              std::string::npos);
    EXPECT_NE(refused("<gpx>\xff\xfe" + point + "</gpx>").find("UTF-8"), std::string::npos);
    EXPECT_NE(refused("\xff\xfe<\0g\0p\0x\0").find("UTF-8"), std::string::npos);
    EXPECT_NE(refused("<gpx>\xC0\xAF</gpx>").find("UTF-8"), std::string::npos) << "overlong encoding";
    EXPECT_NE(refused(std::string("time,lat,lon\n2021-03-15T08:30:00Z,35.6,\0"
                                  "139.7\n",
                                  42))
                  .find("UTF-8"),
              std::string::npos);
    EXPECT_NE(
        refused(
            "<gpx><trkpt lat=\"35.6\" lon=\"139.7\"><ele>3</ele></trkpt><trkpt lat=\"35.6\" lon=\"139.7\"/>"
            "</gpx>")
            .find("no times"),
        std::string::npos);
    for (const char* bad : {"nan", "NaN", "inf", "1e3", "91", "-180.5", "0x10", ""}) {
        const std::string lat = bad;
        refused("<gpx><trkpt lat=\"" + lat +
                "\" lon=\"139.7\"><time>2021-03-15T08:30:00Z</time></trkpt></gpx>");
        refused("time,lat,lon\n2021-03-15T08:30:00Z," + lat + ",139.7\n");
    }
    for (const char* when : {"2021-02-30T08:30:00Z", "2021-03-15T24:00:00Z", "1970-01-01T00:00:00Z",
                             "2021-03-15T08:30:00+25:00", "2021-03-15T08:30Z", "yesterday"})
        refused("<gpx><trkpt lat=\"35.6\" lon=\"139.7\"><time>" + std::string(when) +
                "</time></trkpt></gpx>");
    EXPECT_NE(refused(" \r\n").find("is empty"), std::string::npos);
    EXPECT_NE(refused("<gpx></gpx>").find("holds no positions"), std::string::npos);
    EXPECT_NE(refused("<html></html>").find("not GPX, KML, NMEA or CSV"), std::string::npos);
    EXPECT_NE(refused("a,b,c\n1,2,3\n").find("latitude"), std::string::npos);
    EXPECT_NE(refused("lat,lon\n35.6,139.7\n").find("time column"), std::string::npos);
    EXPECT_NE(
        refused("time,lat,lon\n2021-03-15T08:30:00Z,35.6,139.7\n2021-03-15T08:30:01Z,35.6").find("line 3"),
        std::string::npos);
    EXPECT_NE(
        refused("<kml><gx:Track><when>2021-03-15T08:30:00Z</when></gx:Track></kml>").find("1 times for 0"),
        std::string::npos);
    refused("$GPRMC,083000.00,A,3539.4860,N,13942.1020,E,10.0,90.0,,,,A\n"); // no date
    refused("$GPRMC,083000.00,A,9939.4860,N,13942.1020,E,10.0,90.0,150321,,,A\n");
    // An enormous line or count of fields costs linear time and no crash.
    refused("time,lat,lon\n" + std::string(1 << 20, ','));
    refused("$GPRMC" + std::string(1 << 20, ','));
}

TEST(ForeignTrackTest, AlignmentInterpolatesLeavesGapsAndAddsTheOffset)
{
    // A fix every 2 s for 20 s, then a 30 s gap, then 10 s more.
    ForeignTrack track;
    for (int s = 0; s <= 60; s += 2) {
        if (s > 20 && s < 50)
            continue;
        ForeignFix f;
        f.utcMs = k0830 + s * 1000;
        f.lat = 35.0 + s * 0.0001;
        f.lon = 139.0;
        track.fixes.push_back(f);
    }
    GpsList list;
    std::string error;
    // The phone runs 4 s ahead: second 0 of the recording is its 08:30:04.
    ASSERT_TRUE(alignForeignTrack(track, k0830 - 4000, 70, 4, list, error)) << error;
    ASSERT_EQ(list.GetDataCount(), 70);
    EXPECT_TRUE(list.IsGPSReady());
    EXPECT_NEAR(list.GetGpsData(0)->fLatitude(), 35.0, 1e-5);
    EXPECT_NEAR(list.GetGpsData(1)->fLatitude(), 35.0001, 1e-5) << "interpolated between two fixes";
    EXPECT_NEAR(list.GetGpsData(1)->fSpeed(), 0.0002 * 111195 / 2 * 3.6, 0.5) << "speed from the positions";
    EXPECT_NEAR(list.GetGpsData(1)->fDirection(), 0, 0.01) << "course from the positions: north";
    EXPECT_TRUE(list.GetGpsData(20)->isReading());
    EXPECT_FALSE(list.GetGpsData(21)->isReading()) << "inside the 30 s gap";
    EXPECT_FALSE(list.GetGpsData(49)->isReading());
    EXPECT_TRUE(list.GetGpsData(50)->isReading());
    EXPECT_TRUE(list.GetGpsData(60)->isReading());
    EXPECT_FALSE(list.GetGpsData(61)->isReading()) << "after the track";
    EXPECT_LT(list.GetGpsData(61)->fSpeed(), 0);

    // A fix that jumps a kilometre in a second is no speed; a lone fix has none either.
    ForeignTrack jump;
    jump.fixes = {track.fixes[0], track.fixes[1]};
    jump.fixes[1].lat += 0.01;
    ASSERT_TRUE(alignForeignTrack(jump, k0830, 3, 0, list, error));
    EXPECT_LT(list.GetGpsData(1)->fSpeed(), 0);
    jump.fixes.resize(1);
    ASSERT_TRUE(alignForeignTrack(jump, k0830, 1, 0, list, error));
    EXPECT_LT(list.GetGpsData(0)->fSpeed(), 0);

    // With a negative offset the same moment is found later in the recording.
    ASSERT_TRUE(alignForeignTrack(track, k0830 + 5000, 10, -5, list, error));
    EXPECT_NEAR(list.GetGpsData(2)->fLatitude(), 35.0002, 1e-5);

    EXPECT_FALSE(alignForeignTrack(track, k0830 + 3600000, 60, 0, list, error));
    EXPECT_NE(error.find("does not cover the recording"), std::string::npos) << error;
    EXPECT_EQ(list.GetDataCount(), 0);
    EXPECT_FALSE(alignForeignTrack(track, k0830, 60, 3601, list, error));
    EXPECT_NE(error.find("between -3600 and 3600"), std::string::npos);

    int offset = 0;
    EXPECT_TRUE(parseTrackOffset("-3600", offset, error));
    EXPECT_EQ(offset, -3600);
    EXPECT_TRUE(parseTrackOffset("+5", offset, error));
    EXPECT_EQ(offset, 5);
    for (const char* bad : {"3601", "-3601", "1.5", "", "5s", "99999999999999999999", "--1"})
        EXPECT_FALSE(parseTrackOffset(bad, offset, error)) << bad;
}

TEST(ForeignTrackTest, AttachmentStoreKeepsWhatWasAttachedUntilRemoved)
{
    char pattern[] = "/tmp/rovix_attach_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    std::string error;
    {
        TrackAttachmentStore store(folder);
        ASSERT_TRUE(store.load(error)) << "no file yet is an empty list";
        EXPECT_TRUE(store.attach({"/card/A\tB\n.MP4", "/phone\\x.gpx", -5, false}, error));
        EXPECT_TRUE(store.attach({"/card/TRIP1.MP4", "/phone/day.gpx", 12, true}, error));
        EXPECT_TRUE(store.attach({"/card/TRIP1.MP4", "/phone/day2.gpx", 13, true}, error)) << "replaces";
        EXPECT_FALSE(store.attach({"/card/C.MP4", "/x.gpx", 4000, false}, error));
        EXPECT_NE(error.find("between -3600 and 3600"), std::string::npos);
        EXPECT_FALSE(store.attach({"", "/x.gpx", 0, false}, error));
        ASSERT_TRUE(store.save(error)) << error;
    }
    {
        std::ofstream(folder + "/track-attachments.tsv", std::ios::app)
            << "trip\tnot a number\t/a\t/b\nbroken\n";
    }
    TrackAttachmentStore store(folder);
    ASSERT_TRUE(store.load(error)) << error;
    EXPECT_EQ(store.all().size(), 2u);
    EXPECT_EQ(store.skippedLines(), 2);
    auto own = store.find("/card/A\tB\n.MP4", "/card/TRIP1.MP4");
    ASSERT_TRUE(own);
    EXPECT_EQ(own->trackFile, "/phone\\x.gpx") << "its own attachment before its trip's";
    EXPECT_EQ(own->offsetSeconds, -5);
    auto trip = store.find("/card/TRIP1-second.MP4", "/card/TRIP1.MP4");
    ASSERT_TRUE(trip);
    EXPECT_EQ(trip->trackFile, "/phone/day2.gpx");
    EXPECT_EQ(trip->offsetSeconds, 13);
    EXPECT_FALSE(store.find("/card/other.MP4"));
    EXPECT_TRUE(store.remove("/card/TRIP1.MP4", true));
    EXPECT_FALSE(store.remove("/card/TRIP1.MP4", true));
    ASSERT_TRUE(store.save(error));
    TrackAttachmentStore again(folder);
    ASSERT_TRUE(again.load(error));
    EXPECT_EQ(again.all().size(), 1u);
    EXPECT_FALSE(again.find("/card/TRIP1-second.MP4", "/card/TRIP1.MP4"));
    std::filesystem::remove_all(folder);
}

} // namespace
