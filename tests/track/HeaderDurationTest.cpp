// Durations from the container headers of generated recordings, and what that
// saves rovixtool: FFmpeg is asked only for a recording whose header states no
// duration.
#include "MediaGen.h"
#include "core/ContainerProbe.h"
#include "core/TrackLoader.h"
#include "media/MediaDuration.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

// Whether rovixtool calls into libavformat for this command line, by the
// dynamic loader's own account: with lazy binding a function of a library is
// bound on its first call (the loader must say something, or the check means
// nothing).
bool toolCallsAvformat(const std::string& arguments)
{
    const std::string line = "env -u LD_BIND_NOW LD_DEBUG=libs,bindings " ROVIX_BINARY_DIR "/src/rovixtool " +
                             arguments + " 2>&1 >/dev/null";
    std::string log;
    if (FILE* pipe = ::popen(line.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            log.append(buffer, n);
        ::pclose(pipe);
    }
    EXPECT_NE(log.find("calling init"), std::string::npos) << log.substr(0, 300);
    return log.find("`avformat_open_input'") != std::string::npos;
}

} // namespace

TEST(HeaderDuration, RecordingsStateTheirLengthAndTheToolAsksFfmpegOnlyWithoutIt)
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
    for (const std::string& path : {stated, unstated}) {
        ASSERT_TRUE(mediagen::writeRecording(path, mediagen::RecordingSpec{}));
        ASSERT_TRUE(mediagen::writeNmeaLog(path.substr(0, path.size() - 4) + ".NMEA", log));
    }
    ASSERT_TRUE(mediagen::patchMvhd(unstated, 1000, 0));
    EXPECT_EQ(pmGetContainerDurationSeconds(unstated), 0.0);
    EXPECT_FALSE(toolCallsAvformat("track " + stated));
    EXPECT_TRUE(toolCallsAvformat("kml " + unstated + " " + (dir / "u.kml").string()));
    fs::remove_all(dir);
}
