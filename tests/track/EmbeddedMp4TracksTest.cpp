// Tracks carried in the movie's own structure (NMEA in a text track, GPMF in a
// gpmd track, the position uuid box), read from generated recordings with
// their hostile variants, and checked against ExifTool as an independent
// reader.
#include "core/EmbeddedMp4Tracks.h"
#include "MediaGen.h"
#include "core/EmbeddedTrack.h"
#include "core/GpsList.h"
#include "core/Mp4SampleTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using mediagen::Mp4Telemetry;
using mediagen::Mp4TelemetrySpec;
using mediagen::TrackSample;

namespace
{

class EmbeddedMp4Tracks : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("rovix-mp4tracks-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::vector<TrackSample> drive(int seconds)
    {
        mediagen::DriveSpec d;
        d.seconds = seconds;
        d.seed = 7;
        d.originLat = -33.8568; // south and east: signs are checked too
        d.originLon = 151.2153;
        d.constantKmh = 60;
        return mediagen::makeDrive(d);
    }

    // A recording with the track added (the samples' length in seconds).
    std::string make(const std::string& name, const Mp4TelemetrySpec& recipe)
    {
        mediagen::RecordingSpec rec;
        rec.seconds = static_cast<double>(recipe.samples.size());
        rec.fps = 5;
        const std::string path = (dir / name).string();
        std::string error;
        EXPECT_TRUE(mediagen::writeRecording(path, rec, &error)) << error;
        EXPECT_TRUE(mediagen::addMp4Telemetry(path, recipe, &error)) << error;
        return path;
    }

    static Mp4TelemetrySpec recipe(Mp4Telemetry kind, const std::vector<TrackSample>& samples)
    {
        Mp4TelemetrySpec s;
        s.kind = kind;
        s.samples = samples;
        s.utcStart = {2022, 7, 1, 23, 59, 57}; // crosses midnight and a month
        return s;
    }

    static GpsList filled(const EmbeddedTrack& track)
    {
        GpsList list;
        pmFillGpsList(track, list);
        return list;
    }

    // Same file cut at `size` bytes: every reader must survive it.
    std::string cut(const std::string& path, uint64_t size)
    {
        const std::string out = path + ".cut" + std::to_string(size);
        std::string error;
        EXPECT_TRUE(mediagen::truncatedCopy(path, out, size, &error)) << error;
        return out;
    }

    fs::path dir;
};

void expectAt(const GpsList& list, int second, const TrackSample& want, double tolerance = 1e-5)
{
    const GpsData* s = list.GetGpsData(second);
    ASSERT_NE(s, nullptr) << "second " << second;
    EXPECT_NEAR(s->fLatitude(), want.lat, tolerance) << "second " << second;
    EXPECT_NEAR(s->fLongitude(), want.lon, tolerance) << "second " << second;
}

// Position of a second that had no usable fix: the last one before, speed -1.
void expectCarried(const GpsList& list, int second, const TrackSample& from)
{
    expectAt(list, second, from);
    EXPECT_FLOAT_EQ(list.GetGpsData(second)->fSpeed(), -1.0f) << "second " << second;
}

TEST_F(EmbeddedMp4Tracks, NmeaTextTrackReadsRmcAndGgaAndSurvivesLyingTables)
{
    std::vector<TrackSample> samples = drive(6);
    samples[1].fix = false; // a void RMC: no position, never 0,0
    Mp4TelemetrySpec good = recipe(Mp4Telemetry::NmeaText, samples);
    good.badChecksumSecond = 3; // a damaged sentence is not a fix
    const std::string path = make("text.mp4", good);

    EmbeddedTrack track;
    ASSERT_TRUE(pmReadEmbeddedTrack(path, track));
    EXPECT_EQ(track.format, "nmea-text");
    ASSERT_EQ(track.fixes.size(), 5u); // the bad checksum's RMC is dropped
    EXPECT_FALSE(track.fixes[1].valid);
    EXPECT_EQ(track.fixes[0].utcMs, pmUtcMs(2022, 7, 1, 23, 59, 57));
    EXPECT_EQ(track.fixes[3].utcMs, pmUtcMs(2022, 7, 2, 0, 0, 1)); // the date moves on with the clock
    const GpsList list = filled(track);
    ASSERT_EQ(list.GetDataCount(), 6);
    expectAt(list, 0, samples[0]);
    EXPECT_NEAR(list.GetGpsData(0)->dAltitude(), samples[0].altitude, 0.06); // from GGA
    EXPECT_NEAR(list.GetGpsData(0)->fSpeed(), samples[0].speedKmh, 0.02);
    expectCarried(list, 1, samples[0]);
    expectAt(list, 2, samples[2]);
    expectCarried(list, 3, samples[2]);
    expectAt(list, 5, samples[5]);

    // A table whose counts claim a billion samples, and a first sample whose
    // length runs past its end: the real samples are read, nothing more.
    Mp4TelemetrySpec lying = recipe(Mp4Telemetry::NmeaText, drive(6));
    lying.lyingCounts = true;
    EmbeddedTrack big;
    ASSERT_TRUE(pmReadEmbeddedTrack(make("lying.mp4", lying), big));
    EXPECT_EQ(big.fixes.size(), 6u);

    // A sample past the end and one larger than the file are skipped.
    Mp4TelemetrySpec past = recipe(Mp4Telemetry::NmeaText, drive(6));
    past.offsetPastEnd = true;
    EmbeddedTrack some;
    ASSERT_TRUE(pmReadEmbeddedTrack(make("past.mp4", past), some));
    ASSERT_EQ(some.fixes.size(), 4u);
    EXPECT_DOUBLE_EQ(some.fixes[1].time, 3.0);

    // Cut anywhere in the movie header: no crash, and nothing invented.
    const uint64_t size = fs::file_size(path);
    for (uint64_t at : {size - 1, size - 300, size / 2, uint64_t(4096)}) {
        EmbeddedTrack partial;
        pmReadEmbeddedTrack(cut(path, at), partial);
        EXPECT_LE(partial.fixes.size(), 5u);
    }
}

TEST_F(EmbeddedMp4Tracks, GpmfGps5AndGps9WithScaleTimeFixAndAccelerometer)
{
    std::vector<TrackSample> samples = drive(7);
    samples[2].fix = false; // GPSF 0: no lock
    Mp4TelemetrySpec gps5 = recipe(Mp4Telemetry::Gpmf, samples);
    gps5.gpsPerSecond = 18;
    const std::string path = make("gpmf.mp4", gps5);

    EmbeddedTrack track;
    ASSERT_TRUE(pmReadEmbeddedTrack(path, track));
    EXPECT_EQ(track.format, "gpmf");
    ASSERT_EQ(track.fixes.size(), 7u * 18);
    EXPECT_NEAR(track.fixes[9].time, 0.5, 1e-9); // entries spread over their second
    EXPECT_EQ(track.fixes[18].utcMs, pmUtcMs(2022, 7, 1, 23, 59, 58));
    EXPECT_FALSE(track.fixes[2 * 18].valid);
    ASSERT_EQ(track.gs.size(), 7u * 10);
    const GpsList list = filled(track);
    ASSERT_EQ(list.GetDataCount(), 7);
    expectAt(list, 0, samples[0]);
    EXPECT_NEAR(list.GetGpsData(0)->dAltitude(), samples[0].altitude, 1e-3);
    expectCarried(list, 2, samples[1]);
    expectAt(list, 4, samples[4]);
    // No course in GPS5: it comes from the motion, and not from a standstill.
    EXPECT_FLOAT_EQ(list.GetGpsData(0)->fDirection(), -1.0f);
    EXPECT_NEAR(list.GetGpsData(4)->fDirection(), samples[4].course, 2.0);
    // Stored Z, X, Y in m/s^2 at 418 counts each; read back in g on the right axes.
    EXPECT_NEAR(list.GetGpsData(0)->GetGValueZ(), samples[0].gz, 0.01);
    EXPECT_NEAR(list.GetGpsData(0)->GetGValueX(), samples[0].gx, 0.01);
    EXPECT_TRUE(list.IsGSensorReady());

    // GPS9: each entry its own time and fix.
    Mp4TelemetrySpec gps9 = recipe(Mp4Telemetry::GpmfGps9, samples);
    gps9.gpsPerSecond = 10;
    EmbeddedTrack nine;
    ASSERT_TRUE(pmReadEmbeddedTrack(make("gps9.mp4", gps9), nine));
    ASSERT_EQ(nine.fixes.size(), 70u);
    EXPECT_EQ(nine.fixes[35].utcMs, pmUtcMs(2022, 7, 2, 0, 0, 0.5));
    EXPECT_FALSE(nine.fixes[25].valid);
    const GpsList nineList = filled(nine);
    expectAt(nineList, 3, samples[3]);
    expectCarried(nineList, 2, samples[1]);

    // A gpmd track that holds something else (no device container) is not read.
    EmbeddedTrack foreign;
    EXPECT_FALSE(
        pmReadEmbeddedTrack(make("foreign.mp4", recipe(Mp4Telemetry::ForeignGpmd, samples)), foreign));
    EXPECT_TRUE(foreign.empty());

    // Lying tables and samples past the end.
    Mp4TelemetrySpec lying = recipe(Mp4Telemetry::Gpmf, drive(5));
    lying.lyingCounts = true;
    EmbeddedTrack big;
    ASSERT_TRUE(pmReadEmbeddedTrack(make("lying.mp4", lying), big));
    EXPECT_EQ(big.fixes.size(), 5u);
    Mp4TelemetrySpec past = recipe(Mp4Telemetry::Gpmf, drive(5));
    past.offsetPastEnd = true;
    EmbeddedTrack some;
    ASSERT_TRUE(pmReadEmbeddedTrack(make("past.mp4", past), some));
    EXPECT_EQ(some.fixes.size(), 3u);

    // Payloads cut short or with an item larger than its container.
    std::vector<unsigned char> payload = {'D', 'E', 'V', 'C', 0, 1, 0,    8,
                                          'S', 'T', 'R', 'M', 0, 1, 0xff, 0xff};
    EmbeddedTrack none;
    EXPECT_TRUE(pmDecodeGpmfSample(payload.data(), payload.size(), 0, 1, none));
    EXPECT_TRUE(none.empty());
    EXPECT_FALSE(pmDecodeGpmfSample(payload.data() + 8, payload.size() - 8, 0, 1, none));
}

TEST_F(EmbeddedMp4Tracks, GarminUuidRecordsAndHostileBoxes)
{
    std::vector<TrackSample> samples = drive(6);
    samples[4].fix = false; // 0,0: no position
    const std::string path = make("garmin.mp4", recipe(Mp4Telemetry::Garmin, samples));
    EmbeddedTrack track;
    ASSERT_TRUE(pmReadEmbeddedTrack(path, track));
    EXPECT_EQ(track.format, "garmin");
    ASSERT_EQ(track.fixes.size(), 6u);
    EXPECT_EQ(track.fixes[5].utcMs, pmUtcMs(2022, 7, 2, 0, 0, 2));
    const GpsList list = filled(track);
    expectAt(list, 0, samples[0]);
    EXPECT_NEAR(list.GetGpsData(0)->fSpeed(), samples[0].speedKmh, 1.0); // whole mph
    expectCarried(list, 4, samples[3]);
    expectAt(list, 5, samples[5]);
    // From the motion (over the void second to the next fix), not from a standstill.
    EXPECT_NEAR(list.GetGpsData(3)->fDirection(), samples[3].course, 2.0);
    EXPECT_FLOAT_EQ(list.GetGpsData(0)->fDirection(), -1.0f);

    // A box claiming more than the file: the records really there are read.
    Mp4TelemetrySpec lying = recipe(Mp4Telemetry::Garmin, drive(6));
    lying.lyingCounts = true;
    EmbeddedTrack big;
    ASSERT_TRUE(pmReadEmbeddedTrack(make("lying.mp4", lying), big));
    EXPECT_EQ(big.fixes.size(), 6u);
    // The last record cut in half is not read.
    const std::string shortened = cut(path, fs::file_size(path) - 10);
    EmbeddedTrack five;
    ASSERT_TRUE(pmReadEmbeddedTrack(shortened, five));
    EXPECT_EQ(five.fixes.size(), 5u);
    // A clock that steps back, or leaps a day, gives no fix for that record.
    std::vector<unsigned char> records(17 + 60, 0);
    records[17 + 3] = 100; // second 100 (at 0,0: void), then 50, then 86500
    records[37 + 3] = 50;
    records[37 + 12] = 0x10;
    const unsigned char leap[4] = {0x00, 0x01, 0x51, 0xe4};
    std::copy(leap, leap + 4, records.begin() + 57);
    records[57 + 12] = 0x10;
    EmbeddedTrack back;
    EXPECT_TRUE(pmDecodeGarminRecords(records.data(), records.size(), back));
    ASSERT_EQ(back.fixes.size(), 1u);
    EXPECT_FALSE(back.fixes[0].valid);
}

// ExifTool's reading of the same files: "DocN:GPSLatitude" for the N-th
// sample it found, in file order.
std::map<int, std::pair<double, double>> exiftoolPositions(const std::string& path)
{
    std::map<int, std::pair<double, double>> out;
    const std::string command =
        "exiftool -ee -n -j -G3 -GPSLatitude -GPSLongitude '" + path + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return out;
    std::string text;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
        text.append(buf, n);
    ::pclose(pipe);
    static const std::regex line("\"Doc([0-9]+):GPS(Latitude|Longitude)\": (-?[0-9.]+)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it) {
        const int doc = std::stoi((*it)[1]);
        const double value = std::stod((*it)[3]);
        ((*it)[2] == "Latitude" ? out[doc].first : out[doc].second) = value;
    }
    return out;
}

TEST_F(EmbeddedMp4Tracks, PositionsAgreeWithExifToolAndCostOnlyTheirTables)
{
    ASSERT_EQ(std::system("exiftool -ver >/dev/null 2>&1"), 0) << "exiftool is installed by scripts/deps.sh";
    const std::vector<TrackSample> samples = drive(8);
    for (Mp4Telemetry kind : {Mp4Telemetry::NmeaText, Mp4Telemetry::Gpmf, Mp4Telemetry::Garmin}) {
        Mp4TelemetrySpec s = recipe(kind, samples);
        s.gpsPerSecond = 1;
        const std::string path = make("agree" + std::to_string(static_cast<int>(kind)) + ".mp4", s);
        EmbeddedTrack track;
        uint64_t bytesRead = 0;
        ASSERT_TRUE(pmReadEmbeddedTrack(path, track, &bytesRead));
        // Found by the movie's tables: the media data is never searched.
        EXPECT_LT(bytesRead * 4, fs::file_size(path)) << track.format;
        const GpsList list = filled(track);
        const auto theirs = exiftoolPositions(path);
        ASSERT_EQ(theirs.size(), samples.size()) << track.format;
        ASSERT_EQ(list.GetDataCount(), static_cast<int>(samples.size())) << track.format;
        for (const auto& [doc, position] : theirs) {
            const GpsData* ours = list.GetGpsData(doc - 1);
            ASSERT_NE(ours, nullptr);
            EXPECT_NEAR(ours->fLatitude(), position.first, 1e-4) << track.format << " doc " << doc;
            EXPECT_NEAR(ours->fLongitude(), position.second, 1e-4) << track.format << " doc " << doc;
        }
    }
}

} // namespace
