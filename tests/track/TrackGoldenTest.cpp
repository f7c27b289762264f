// End-to-end golden files: the media generator makes recordings, NMEA logs
// and AVI files with track chunks; the track the application would load is
// compared byte for byte with expected CSV and KML, through the library and
// through rovixtool. ROVIX_UPDATE_GOLDEN=1 rewrites the expected files.
#include "MediaGen.h"
#include "core/GpsList.h"
#include "core/KmlSave.h"
#include "core/TrackLoader.h"
#include "media/MediaDuration.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

const std::string kExpected = ROVIX_SOURCE_DIR "/tests/track/expected/";
const std::string kTool = ROVIX_BINARY_DIR "/src/rovixtool";

struct TempDir {
    fs::path path;
    TempDir()
    {
        path = fs::temp_directory_path() / ("rovix-trackgold-" + std::to_string(::getpid()));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string file(const std::string& rel) const { return (path / rel).string(); }
};

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void expectGolden(const std::string& actual, const std::string& name)
{
    if (std::getenv("ROVIX_UPDATE_GOLDEN"))
        std::ofstream(kExpected + name, std::ios::binary) << actual;
    EXPECT_EQ(actual, readFile(kExpected + name)) << name;
}

struct CommandRun {
    int status = -1;
    std::string out;
};

// Runs a shell command line and collects its standard output.
CommandRun run(const std::string& command)
{
    CommandRun r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return r;
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0)
        r.out.append(buf.data(), n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string shellQuote(const std::string& s)
{
    return "'" + s + "'";
}

std::string loadCsv(const std::string& recording)
{
    GpsList list;
    loadTrack(recording, pmGetMediaDurationSeconds(recording), list);
    return pmFormatTrackCsv(list);
}

// 2021-03-15 08:30:00 UTC, the export time of the expected documents.
constexpr long long kExportEpoch = 1615797000;

struct Media {
    TempDir dir;
    std::string front, rear, avi, aviOnlyG, mp4NoLog;
    Media()
    {
        std::string error;
        mediagen::RecordingSpec video;
        video.container = mediagen::Container::Mp4;
        video.seconds = 24;
        video.fps = 2;
        front = dir.file("EVEN210315-083000-0001FM.MP4");
        rear = dir.file("EVEN210315-083000-0001F2.MP4");
        EXPECT_TRUE(mediagen::writeRecording(front, video, &error)) << error;
        video.rear = true;
        EXPECT_TRUE(mediagen::writeRecording(rear, video, &error)) << error;

        mediagen::NmeaSpec log;
        log.drive.seconds = 20;
        log.drive.seed = 7;
        log.drive.noFixSeconds = 2;
        log.drive.eventSecond = 12;
        log.hostile.unknownSentences = true;
        log.hostile.binaryGarbage = true;
        EXPECT_TRUE(mediagen::writeNmeaLog(dir.file("EVEN210315-083000-0001FM.log"), log, &error)) << error;

        mediagen::RecordingSpec aviVideo;
        aviVideo.container = mediagen::Container::Avi;
        aviVideo.seconds = 12;
        aviVideo.fps = 2;
        mediagen::DriveSpec drive;
        drive.seconds = 12;
        drive.seed = 3;
        drive.noFixSeconds = 1;
        drive.eventSecond = 5;
        const auto samples = mediagen::makeDrive(drive);
        mediagen::AviTrackSpec track;
        track.positions.assign(samples.begin() + 2, samples.end()); // 10 records for 12 seconds
        track.sensor = samples;
        avi = dir.file("FILE210315-090000.AVI");
        EXPECT_TRUE(mediagen::writeAviWithTrackChunks(avi, aviVideo, track, &error)) << error;
        track.layout = mediagen::AviTrackLayout::SensorOnly;
        aviOnlyG = dir.file("FILE210315-091000.AVI");
        EXPECT_TRUE(mediagen::writeAviWithTrackChunks(aviOnlyG, aviVideo, track, &error)) << error;

        mp4NoLog = dir.file("FILE210315-092000.MP4");
        video.seconds = 3;
        EXPECT_TRUE(mediagen::writeRecording(mp4NoLog, video, &error)) << error;
    }
};

Media& media()
{
    static Media m;
    return m;
}

} // namespace

TEST(TrackGolden, GeneratedLogAndChunks)
{
    Media& m = media();
    EXPECT_EQ(static_cast<int>(pmGetMediaDurationSeconds(m.front)), 24);
    EXPECT_EQ(static_cast<int>(pmGetMediaDurationSeconds(m.avi)), 12);

    const std::string frontCsv = loadCsv(m.front);
    expectGolden(frontCsv, "event_front.csv");
    // The rear recording shows the front camera's track.
    EXPECT_EQ(loadCsv(m.rear), frontCsv);
    expectGolden(loadCsv(m.avi), "avi_chunks.csv");
    expectGolden(loadCsv(m.aviOnlyG), "avi_sensor_only.csv");

    // The event mark of the event recording lands on the generated spike.
    GpsList list;
    loadTrack(m.front, 24, list);
    EXPECT_EQ(chooseEventMark(pmGetFileType(m.front), list), 12);
    loadTrack(m.avi, 12, list);
    EXPECT_EQ(chooseEventMark(pmGetFileType(m.avi), list), -1); // a normal recording
}

TEST(TrackGolden, ToolPrintsAndWritesTheSameTrack)
{
    if (!fs::exists(kTool))
        GTEST_SKIP() << "rovixtool not built";
    Media& m = media();
    for (const auto& [recording, expected] : {std::pair<std::string, std::string>{m.front, "event_front.csv"},
                                              {m.rear, "event_front.csv"},
                                              {m.avi, "avi_chunks.csv"},
                                              {m.aviOnlyG, "avi_sensor_only.csv"}}) {
        const CommandRun r = run(kTool + " track " + shellQuote(recording));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, readFile(kExpected + expected)) << recording;
    }

    const std::string env = "TZ=UTC SOURCE_DATE_EPOCH=" + std::to_string(kExportEpoch) + " ";
    const std::string kml = m.dir.file("EVEN210315-083000-0001FM.kml");
    CommandRun r = run(env + kTool + " kml " + shellQuote(m.front) + " " + shellQuote(kml));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    expectGolden(readFile(kml), "event_front.kml");
    xmlDocPtr doc = xmlReadFile(kml.c_str(), nullptr, XML_PARSE_NONET);
    EXPECT_NE(doc, nullptr);
    if (doc)
        xmlFreeDoc(doc);

    const std::string aviKml = m.dir.file("FILE210315-090000.kml");
    r = run(env + kTool + " kml " + shellQuote(m.avi) + " " + shellQuote(aviKml));
    EXPECT_EQ(r.status, 0);
    expectGolden(readFile(aviKml), "avi_chunks.kml");

    // A KML reader reads back one track point per sample.
    if (run("command -v gpsbabel >/dev/null").status == 0) {
        const CommandRun back =
            run("gpsbabel -i kml -f " + shellQuote(kml) + " -o gpx -F - | grep -c '<trkpt'");
        GpsList list;
        loadTrack(m.front, 24, list);
        EXPECT_EQ(back.out, std::to_string(list.GetDataCount()) + "\n");
    }

    // No positions: exit 1 and no file; an MP4 without a log is the same.
    const std::string none = m.dir.file("none.kml");
    r = run(kTool + " kml " + shellQuote(m.aviOnlyG) + " " + shellQuote(none) + " 2>/dev/null");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(none));
    r = run(kTool + " kml " + shellQuote(m.mp4NoLog) + " " + shellQuote(none) + " 2>/dev/null");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(none));
    // Cannot write: exit 2, and no partial file left behind.
    r = run(kTool + " kml " + shellQuote(m.front) + " " + shellQuote(m.dir.file("missing/x.kml")) +
            " 2>/dev/null");
    EXPECT_EQ(r.status, 2);
    if (fs::exists("/dev/full")) {
        r = run(kTool + " kml " + shellQuote(m.front) + " /dev/full 2>/dev/null");
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(fs::exists("/dev/full"));
    }
}
