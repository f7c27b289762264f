// The GPX and CSV writers: exact text for samples with and without a fix,
// altitude or G-sensor reading, times from the recording's name in UTC, and
// exports that cannot be written or would overwrite what they export.
#include "BackupTestSupport.h"

#include "core/GpsList.h"
#include "core/TrackExport.h"

#include <ctime>

using namespace backuptest;

namespace
{

std::string render(bool gpx, const GpsList& list, const std::string& recording)
{
    std::string out;
    const TextSink sink = [&out](const char* text, std::size_t size) {
        out.append(text, size);
        return true;
    };
    if (gpx)
        pmWriteTrackGpx(list, recording, "Rovix Manager 1.2.3", sink);
    else
        pmWriteTrackTable(list, recording, sink);
    return out;
}

// A fixed zone for the tests, restored afterwards.
struct Zone {
    std::string old;
    bool had;
    explicit Zone(const char* tz)
    {
        const char* o = std::getenv("TZ");
        had = o != nullptr;
        old = o ? o : "";
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~Zone()
    {
        if (had)
            ::setenv("TZ", old.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
};

GpsList threeSamples()
{
    GpsList list;
    GpsData fix;
    fix.setFLatitude(35.5f);
    fix.setFLongitude(-139.25f);
    fix.setFSpeed(12.5f);
    fix.setFDirection(90.0f);
    fix.setDAltitude(40.0);
    fix.setSensorValue(-50, 0, 62);
    list.Append(fix);
    GpsData noFix; // status V before any fix: a speed that means nothing
    noFix.setFSpeed(41.244f);
    noFix.setDAltitude(GpsData::kNoAltitude);
    list.Append(noFix);
    GpsData carried = fix; // a position carried over from another second
    carried.setFSpeed(-1);
    carried.setFDirection(-1);
    carried.setDAltitude(GpsData::kNoAltitude);
    list.Append(carried);
    list.setBGps(true);
    list.setBSenser(true);
    return list;
}

TEST(TrackExportTest, CsvAndGpxTextWithTimesInUtc)
{
    Zone zone("JST-9");
    const GpsList list = threeSamples();
    const std::string rec = "/card/FILE210315-081100_M.MP4";
    EXPECT_EQ(render(false, list, rec),
              "time,latitude,longitude,speed_kmh,direction_deg,altitude_m,gx,gy,gz\n"
              "2021-03-14T23:11:00Z,35.500000,-139.250000,12.50,90.00,40.0,-0.800,0.000,0.992\n"
              "2021-03-14T23:11:01Z,,,,,,0.000,0.000,0.000\n"
              "2021-03-14T23:11:02Z,35.500000,-139.250000,,,,-0.800,0.000,0.992\n");
    const std::string gpx = render(true, list, rec);
    EXPECT_NE(gpx.find("<gpx version=\"1.1\" creator=\"Rovix Manager 1.2.3\" "
                       "xmlns=\"http://www.topografix.com/GPX/1/1\""),
              std::string::npos);
    EXPECT_NE(
        gpx.find("<trk>\n<name><![CDATA[FILE210315-081100_M]]></name>\n<trkseg>\n"
                 "<trkpt lat=\"35.500000\" lon=\"-139.250000\"><ele>40.0</ele>"
                 "<time>2021-03-14T23:11:00Z</time></trkpt>\n"
                 "<trkpt lat=\"35.500000\" lon=\"-139.250000\"><time>2021-03-14T23:11:02Z</time></trkpt>\n"
                 "</trkseg>\n</trk>\n</gpx>\n"),
        std::string::npos)
        << gpx;

    // Padded to a 5 s video: the seconds filled in keep their rows, empty,
    // and are no points of the route.
    GpsList padded = threeSamples();
    padded.SyncVideoDuration(5);
    ASSERT_EQ(padded.GetDataCount(), 5);
    EXPECT_EQ(render(false, padded, rec).substr(render(false, list, rec).size()),
              "2021-03-14T23:11:03Z,,,,,,,,\n2021-03-14T23:11:04Z,,,,,,,,\n");
    EXPECT_EQ(render(true, padded, rec), gpx);

    // No real date in the name: no times at all. No G-sensor data: empty G fields.
    // Altitudes that are all 0 come from a log without altitude sentences.
    GpsList plain;
    GpsData s;
    s.setFLatitude(1.0f);
    s.setFLongitude(2.0f);
    plain.Append(s);
    plain.setBGps(true);
    EXPECT_EQ(render(false, plain, "/card/FILE2513xx-250000_M.MP4"),
              "time,latitude,longitude,speed_kmh,direction_deg,altitude_m,gx,gy,gz\n"
              ",1.000000,2.000000,0.00,,,,,\n");
    const std::string noTime = render(true, plain, "/card/CLIP.MP4");
    EXPECT_EQ(noTime.find("<time>"), std::string::npos);
    EXPECT_NE(noTime.find("<trkpt lat=\"1.000000\" lon=\"2.000000\"></trkpt>"), std::string::npos);
}

TEST(TrackExportTest, CsvInMilesPerHourSaysSoInItsHeader)
{
    // The speed unit the user chose applies to the table: the header names it,
    // speeds are converted, missing speeds stay empty.
    Zone zone("JST-9");
    std::string out;
    const TextSink sink = [&out](const char* text, std::size_t size) {
        out.append(text, size);
        return true;
    };
    ASSERT_TRUE(pmWriteTrackTable(threeSamples(), "/card/FILE210315-081100_M.MP4", sink, 1));
    EXPECT_EQ(out, "time,latitude,longitude,speed_mph,direction_deg,altitude_m,gx,gy,gz\n"
                   "2021-03-14T23:11:00Z,35.500000,-139.250000,7.77,90.00,40.0,-0.800,0.000,0.992\n"
                   "2021-03-14T23:11:01Z,,,,,,0.000,0.000,0.000\n"
                   "2021-03-14T23:11:02Z,35.500000,-139.250000,,,,-0.800,0.000,0.992\n");
    // Through the export as the application calls it.
    const std::string dir = makeTempDir("export_mph");
    ASSERT_FALSE(dir.empty());
    const std::string path = dir + "/track.csv";
    ASSERT_EQ(pmExportTrack(TrackFormat::Csv, path, threeSamples(), "/card/FILE210315-081100_M.MP4", "", "x",
                            std::string(), 1),
              TrackExportResult::Ok);
    EXPECT_EQ(readFile(path), out);
    fs::remove_all(dir);
}

TEST(TrackExportTest, ExportsThatCannotBeWrittenLeaveNothing)
{
    const std::string dir = makeTempDir("export");
    const std::string rec = dir + "/FILE210315-081100_M.MP4";
    writeFile(rec, "recording bytes");
    writeFile(dir + "/FILE210315-081100_M.log", "log bytes");
    const GpsList list = threeSamples();
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0644), 0);

    for (TrackFormat f : {TrackFormat::Kml, TrackFormat::Gpx, TrackFormat::Csv}) {
        // A FIFO nobody reads is refused at once, never waited on.
        EXPECT_EQ(pmExportTrack(f, dir + "/fifo", list, rec, "", "c"), TrackExportResult::WriteFailed);
        EXPECT_EQ(pmExportTrack(f, dir + "/missing/out.x", list, rec, "", "c"),
                  TrackExportResult::WriteFailed);
        EXPECT_FALSE(fs::exists(dir + "/missing"));
        // The recording or its log, under any name: refused, untouched.
        fs::create_symlink(rec, dir + "/alias");
        EXPECT_EQ(pmExportTrack(f, dir + "/alias", list, rec, "", "c"),
                  TrackExportResult::WouldOverwriteSource);
        EXPECT_EQ(pmExportTrack(f, dir + "/FILE210315-081100_M.log", list, rec, "", "c"),
                  TrackExportResult::WouldOverwriteSource);
        fs::remove(dir + "/alias");
        EXPECT_EQ(readFile(rec), "recording bytes");
        EXPECT_EQ(readFile(dir + "/FILE210315-081100_M.log"), "log bytes");
        // No positions: no file.
        EXPECT_EQ(pmExportTrack(f, dir + "/none", GpsList(), rec, "", "c"), TrackExportResult::NoTrack);
        EXPECT_FALSE(fs::exists(dir + "/none"));
    }
    // A longer older file of that name is replaced whole.
    writeFile(dir + "/out.csv", std::string(100000, 'z'));
    EXPECT_EQ(pmExportTrack(TrackFormat::Csv, dir + "/out.csv", list, rec, "", "c"), TrackExportResult::Ok);
    EXPECT_EQ(readFile(dir + "/out.csv").find("zzz"), std::string::npos);
    EXPECT_EQ(pmTrackFormatForPath("/a/b.GPX"), TrackFormat::Gpx);
    EXPECT_EQ(pmTrackFormatForPath("/a.csv/b"), TrackFormat::Kml);

    // The device's own full disk: a write error is seen, and nothing stays.
    if (fs::exists("/dev/full")) {
        EXPECT_EQ(pmExportTrack(TrackFormat::Gpx, "/dev/full", list, rec, "", "c"),
                  TrackExportResult::WriteFailed);
        EXPECT_TRUE(fs::exists("/dev/full"));
    }
    fs::remove_all(dir);
}

} // namespace
