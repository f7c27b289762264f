// A track from another device attached on the command line: GPX and KML
// written by gpsbabel from one of our own logs, lined up with a recording
// without a track by the name's local time, the time zone and an offset, must
// give the positions the log itself gives for the same moments.
#include "MediaGen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{

struct ToolRun {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class AttachedTrackTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rovix_attached_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        fs::create_directories(root + "/card");
        fs::create_directories(root + "/own");
        mediagen::RecordingSpec video;
        video.seconds = 20;
        // The camera without GPS, and (for the reference) one whose own log
        // starts 10 s earlier at the same moment the phone's does.
        ASSERT_TRUE(mediagen::writeRecording(root + "/card/FILE210315-083000_M.MP4", video));
        ASSERT_TRUE(mediagen::writeRecording(root + "/card/FILE210315-173000_M.MP4", video));
        video.seconds = 60;
        ASSERT_TRUE(mediagen::writeRecording(root + "/own/FILE210315-082950_M.MP4", video));
        mediagen::NmeaSpec log;
        log.start = mediagen::StartTime{2021, 3, 15, 8, 29, 50};
        log.drive.seconds = 60;
        log.drive.constantKmh = 70;
        log.withGSensor = false;
        ASSERT_TRUE(mediagen::writeNmeaLog(root + "/own/FILE210315-082950_M.log", log));
        // gpsbabel joins each RMC to the GGA written before it, which in our
        // logs is the previous second's: it is given the RMC sentences alone.
        const std::string rmc = root + "/rmc.nmea";
        ASSERT_EQ(std::system(("grep RMC '" + root + "/own/FILE210315-082950_M.log' >'" + rmc +
                               "' && gpsbabel -i nmea -f '" + rmc + "' -o gpx -F '" + root +
                               "/phone.gpx' && gpsbabel -i nmea -f '" + rmc +
                               "' -o kml,points=0,track=1 -F '" + root + "/phone.kml'")
                                  .c_str()),
                  0);
        reference = rows(run("", "track '" + root + "/own/FILE210315-082950_M.MP4'").out);
        ASSERT_GE(reference.size(), 60u);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    ToolRun run(const std::string& env, const std::string& args)
    {
        ToolRun r;
        const int raw = std::system((env + " " ROVIX_BINARY_DIR "/src/rovixtool " + args + " >'" + root +
                                     "/stdout' 2>'" + root + "/stderr'")
                                        .c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(root + "/stdout");
        r.err = slurp(root + "/stderr");
        return r;
    }

    // lat, lon of each sample line of `rovixtool track`.
    static std::vector<std::pair<double, double>> rows(const std::string& text)
    {
        std::vector<std::pair<double, double>> out;
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            int index = 0;
            double lat = 0, lon = 0;
            if (std::sscanf(line.c_str(), "%d,%lf,%lf", &index, &lat, &lon) == 3)
                out.emplace_back(lat, lon);
        }
        return out;
    }

    void expectSameMoments(const std::string& env, const std::string& file, const std::string& recording,
                           int offset, int shift)
    {
        const ToolRun r = run(env, "track --with '" + root + "/" + file + "' --offset " +
                                       std::to_string(offset) + " '" + root + "/card/" + recording + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        const auto got = rows(r.out);
        ASSERT_EQ(got.size(), 20u) << "one sample per second of the recording";
        for (std::size_t i = 0; i < got.size(); ++i) {
            // Within one step of a float at these degrees (the track's storage).
            EXPECT_NEAR(got[i].first, reference[i + static_cast<std::size_t>(shift)].first, 2e-5)
                << file << " offset " << offset << " second " << i;
            EXPECT_NEAR(got[i].second, reference[i + static_cast<std::size_t>(shift)].second, 2e-5)
                << file << " offset " << offset << " second " << i;
        }
    }

    std::string root;
    std::vector<std::pair<double, double>> reference;
};

TEST_F(AttachedTrackTest, GpsbabelFilesLineUpByTimeZoneAndOffset)
{
    // The recording starts 10 s into the phone's track.
    expectSameMoments("TZ=UTC", "phone.gpx", "FILE210315-083000_M.MP4", 0, 10);
    // A phone 5 s ahead: the recording's second 0 is the phone's 08:30:05.
    expectSameMoments("TZ=UTC", "phone.gpx", "FILE210315-083000_M.MP4", 5, 15);
    expectSameMoments("TZ=UTC", "phone.kml", "FILE210315-083000_M.MP4", -7, 3);
    // The name is this computer's local time: 17:30 in Tokyo is 08:30 UTC.
    expectSameMoments("TZ=Asia/Tokyo", "phone.gpx", "FILE210315-173000_M.MP4", 0, 10);

    // The other commands take the same options.
    ToolRun r = run("TZ=UTC", "kml --with '" + root + "/phone.gpx' --offset 5 '" + root +
                                  "/card/FILE210315-083000_M.MP4' '" + root + "/out.kml'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(root + "/out.kml"));
    r = run("TZ=UTC", "gpx --with '" + root + "/phone.gpx' '" + root + "/card/FILE210315-083000_M.MP4' '" +
                          root + "/phone.gpx'");
    EXPECT_EQ(r.status, 2) << "the attached track is never overwritten: " << r.err;
    r = run("TZ=UTC", "events --with '" + root + "/phone.gpx' '" + root + "/card/FILE210315-083000_M.MP4'");
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(AttachedTrackTest, UnusableTracksAndOffsetsAreRefusedWithTheReason)
{
    const std::string rec = " '" + root + "/card/FILE210315-083000_M.MP4'";
    ToolRun r = run("TZ=UTC", "track --with '" + root + "/phone.gpx' --offset 3601" + rec);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("between -3600 and 3600"), std::string::npos) << r.err;
    r = run("TZ=UTC", "track --with '" + root + "/phone.gpx' --offset ten" + rec);
    EXPECT_EQ(r.status, 2);
    // A day off: the track does not cover the recording, and nothing is printed.
    r = run("TZ=America/New_York", "track --with '" + root + "/phone.gpx'" + rec);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("does not cover"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    std::ofstream(root + "/latin1.gpx") << "<gpx><name>M\xfcnchen</name></gpx>";
    r = run("TZ=UTC", "track --with '" + root + "/latin1.gpx'" + rec);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not UTF-8"), std::string::npos) << r.err;
    const std::string gpx = slurp(root + "/phone.gpx");
    std::ofstream(root + "/cut.gpx") << gpx.substr(0, gpx.size() / 2);
    r = run("TZ=UTC", "track --with '" + root + "/cut.gpx'" + rec);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cut short"), std::string::npos) << r.err;
    r = run("TZ=UTC", "track --with '" + root + "/missing.gpx'" + rec);
    EXPECT_EQ(r.status, 1);
    r = run("TZ=UTC", "track --with '" + root + "'" + rec);
    EXPECT_EQ(r.status, 1) << "a folder is not a track";
}

} // namespace
