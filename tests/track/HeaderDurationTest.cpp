// Durations from the container headers of generated recordings, and what that
// saves rovixtool: the codec libraries are loaded only for a recording whose
// header states no duration.
#include "MediaGen.h"
#include "core/ContainerProbe.h"
#include "core/TrackLoader.h"
#include "media/MediaDuration.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

// Whether rovixtool loads libavformat for this command line, by the dynamic
// loader's own account (which must say something, or the check means nothing).
bool toolLoadsAvformat(const std::string& arguments)
{
    const std::string line =
        "LD_DEBUG=libs " ROVIX_BINARY_DIR "/src/rovixtool " + arguments + " 2>&1 >/dev/null";
    std::string log;
    if (FILE* pipe = ::popen(line.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            log.append(buffer, n);
        ::pclose(pipe);
    }
    EXPECT_NE(log.find("calling init"), std::string::npos) << log.substr(0, 300);
    return log.find("libavformat.so") != std::string::npos;
}

std::string toolOutput(const std::string& arguments)
{
    const std::string line = ROVIX_BINARY_DIR "/src/rovixtool " + arguments + " 2>/dev/null";
    std::string out;
    if (FILE* pipe = ::popen(line.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

} // namespace

TEST(HeaderDuration, RecordingsStateTheirLengthAndTheToolLoadsFfmpegOnlyWithoutIt)
{
    const fs::path dir = fs::temp_directory_path() / ("rovix-duration-" + std::to_string(::getpid()));
    fs::create_directories(dir);
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
        mediagen::RecordingSpec wanted;
        wanted.container = c.container;
        wanted.seconds = 3;
        wanted.fps = c.fps;
        wanted.faststart = c.faststart;
        wanted.withAudio = c.audio;
        const std::string path = (dir / c.name).string();
        ASSERT_TRUE(mediagen::writeRecording(path, wanted));
        EXPECT_NEAR(pmGetContainerDurationSeconds(path), 3.0, 0.05) << c.name;
        EXPECT_EQ(pmWholeVideoSeconds(pmGetMediaDurationSeconds(path)), 3) << c.name;
    }

    // Logs with G-sensor data: their tracks are padded to the recording's
    // length, so the tool must learn it.
    mediagen::NmeaSpec log;
    log.drive.seconds = 2;
    const std::string stated = (dir / "FILE210315-083000.MP4").string();
    const std::string unstated = (dir / "FILE210315-084000.MP4").string();
    mediagen::RecordingSpec longer; // than the log, so the padding shows
    longer.seconds = 4;
    for (const std::string& path : {stated, unstated}) {
        ASSERT_TRUE(mediagen::writeRecording(path, longer));
        ASSERT_TRUE(mediagen::writeNmeaLog(path.substr(0, path.size() - 4) + ".NMEA", log));
    }
    ASSERT_TRUE(mediagen::patchMvhd(unstated, 1000, 0));
    EXPECT_EQ(pmGetContainerDurationSeconds(unstated), 0.0);
    EXPECT_FALSE(toolLoadsAvformat("track " + stated));
    EXPECT_TRUE(toolLoadsAvformat("kml " + unstated + " " + (dir / "u.kml").string()));
    // A stream whose container has no header the probe reads (MPEG-TS under
    // a camera's name): FFmpeg's answer, through the tool's helper, pads the
    // track as the header's does.
    const std::string streamed = (dir / "FILE210315-085000.MP4").string();
    ASSERT_TRUE(mediagen::writeNmeaLog(streamed.substr(0, streamed.size() - 4) + ".NMEA", log));
    ASSERT_EQ(std::system(("ffmpeg -v error -y -i " + stated + " -c copy -f mpegts " + streamed).c_str()), 0);
    EXPECT_EQ(pmGetContainerDurationSeconds(streamed), 0.0);
    const std::string padded = toolOutput("track " + stated);
    EXPECT_NE(padded.find("\n3,"), std::string::npos) << padded; // samples 0..3
    EXPECT_EQ(toolOutput("track " + streamed), padded);
    fs::remove_all(dir);
}
