// Durations from the container headers of generated recordings, and what that
// saves rovixtool: the codec libraries are loaded only for a recording whose
// header states no duration.
#include "MediaGen.h"
#include "core/ContainerProbe.h"
#include "core/TrackLoader.h"
#include "library/MediaDuration.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

const std::string kTool = ROVIX_BINARY_DIR "/src/rovixtool";

struct TempDir {
    fs::path path;
    TempDir()
    {
        path = fs::temp_directory_path() / ("rovix-duration-" + std::to_string(::getpid()));
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

// Standard error of a command line run with the dynamic loader's library log.
std::string loaderLog(const std::string& command)
{
    const std::string line = "LD_DEBUG=libs " + command + " 2>&1 >/dev/null";
    std::string out;
    FILE* pipe = ::popen(line.c_str(), "r");
    if (!pipe)
        return out;
    std::array<char, 4096> buffer{};
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    ::pclose(pipe);
    return out;
}

bool loadsAvformat(const std::string& log)
{
    return log.find("libavformat.so") != std::string::npos;
}

} // namespace

TEST(HeaderDuration, GeneratedRecordingsStateTheirLengthInTheirHeaders)
{
    TempDir dir;
    struct Case {
        const char* name;
        mediagen::Container container;
        int fps;
        bool faststart, audio;
    } cases[] = {
        {"a.MP4", mediagen::Container::Mp4, 10, false, false},
        {"b.MP4", mediagen::Container::Mp4, 10, true, true},
        {"c.MOV", mediagen::Container::Mov, 10, false, true},
        {"d.AVI", mediagen::Container::Avi, 10, false, false},
        // 30 fps: the main header's rounded frame period alone would give 2.99997 s.
        {"e.AVI", mediagen::Container::Avi, 30, false, true},
    };
    for (const Case& c : cases) {
        mediagen::RecordingSpec spec;
        spec.container = c.container;
        spec.seconds = 3;
        spec.fps = c.fps;
        spec.faststart = c.faststart;
        spec.withAudio = c.audio;
        std::string error;
        const std::string path = dir.file(c.name);
        ASSERT_TRUE(mediagen::writeRecording(path, spec, &error)) << error;
        const double seconds = pmGetContainerDurationSeconds(path);
        EXPECT_NEAR(seconds, 3.0, 0.05) << c.name;
        EXPECT_EQ(pmWholeVideoSeconds(pmGetMediaDurationSeconds(path)), 3) << c.name;
    }
}

TEST(HeaderDuration, ToolLoadsTheCodecLibrariesOnlyWhenTheHeaderStatesNoDuration)
{
    TempDir dir;
    mediagen::RecordingSpec spec;
    spec.seconds = 4;
    std::string error;
    // A log with G-sensor data: its track is padded to the recording's length,
    // so the length is needed.
    mediagen::NmeaSpec log;
    log.drive.seconds = 2;
    const std::string stated = dir.file("FILE210315-083000.MP4");
    ASSERT_TRUE(mediagen::writeRecording(stated, spec, &error)) << error;
    ASSERT_TRUE(mediagen::writeNmeaLog(dir.file("FILE210315-083000.NMEA"), log, &error)) << error;
    const std::string unstated = dir.file("FILE210315-084000.MP4");
    ASSERT_TRUE(mediagen::writeRecording(unstated, spec, &error)) << error;
    ASSERT_TRUE(mediagen::patchMvhd(unstated, 1000, 0, &error)) << error;
    ASSERT_TRUE(mediagen::writeNmeaLog(dir.file("FILE210315-084000.NMEA"), log, &error)) << error;

    // The loader's log names the libraries the tool loads; make sure it speaks.
    const std::string statedLog = loaderLog(kTool + " track " + stated);
    ASSERT_NE(statedLog.find("calling init"), std::string::npos) << statedLog.substr(0, 400);
    EXPECT_FALSE(loadsAvformat(statedLog));
    EXPECT_TRUE(loadsAvformat(loaderLog(kTool + " kml " + unstated + " " + dir.file("u.kml"))));

    EXPECT_EQ(pmGetContainerDurationSeconds(unstated), 0.0);
    EXPECT_EQ(pmWholeVideoSeconds(pmGetMediaDurationSeconds(stated)), 4);
}
