// rovixtool gpx, csv and backup: what each writes and its exit status (0
// done, 1 nothing to write or a recording that failed, 2 bad arguments or an
// output that cannot be used).
#include "MediaGen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

struct ToolResult {
    int status = -1;
    std::string err;
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

ToolResult tool(const std::string& args, const std::string& errFile, bool prefixTool = true)
{
    ToolResult r;
    const int raw =
        std::system(((prefixTool ? std::string(ROVIX_BINARY_DIR "/src/rovixtool ") : std::string()) + args +
                     " 2>'" + errFile + "'")
                        .c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.err = slurp(errFile);
    return r;
}

class ExportCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rovix_export_cmd_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        err = root + "/stderr";
        fs::create_directories(root + "/card");
        fs::create_directories(root + "/out");
        withLog = root + "/card/FILE210315-083000_M.MP4";
        noLog = root + "/card/FILE210315-083100_M.MP4";
        mediagen::RecordingSpec wanted;
        wanted.seconds = 3;
        ASSERT_TRUE(mediagen::writeRecording(withLog, wanted));
        ASSERT_TRUE(mediagen::writeRecording(noLog, wanted));
        mediagen::NmeaSpec nmea;
        nmea.drive.seconds = 3;
        ASSERT_TRUE(mediagen::writeNmeaLog(root + "/card/FILE210315-083000_M.log", nmea));
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    std::string root, err, withLog, noLog;
};

TEST_F(ExportCommandsTest, GpxAndCsvWriteTheTrackOrExplainWhyNot)
{
    ToolResult r = tool("gpx '" + withLog + "' '" + root + "/out/a.gpx'", err);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string gpx = slurp(root + "/out/a.gpx");
    EXPECT_NE(gpx.find("creator=\"Rovix Manager "), std::string::npos);
    EXPECT_NE(gpx.find("<trkpt "), std::string::npos);
    r = tool("csv '" + withLog + "' '" + root + "/out/a.csv'", err);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(root + "/out/a.csv").rfind("time,latitude,longitude,", 0), 0u);

    // No positions: 1 and no file. An output that cannot be written: 2 and no file.
    r = tool("gpx '" + noLog + "' '" + root + "/out/b.gpx'", err);
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(root + "/out/b.gpx"));
    r = tool("csv '" + withLog + "' '" + root + "/nowhere/b.csv'", err);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos);
    // The track's own log as the output: refused, untouched.
    const std::string log = slurp(root + "/card/FILE210315-083000_M.log");
    r = tool("csv '" + withLog + "' '" + root + "/card/FILE210315-083000_M.log'", err);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(slurp(root + "/card/FILE210315-083000_M.log"), log);
    // A FIFO or a folder as the output: refused at once (the timeout would
    // end a command that waits for a reader).
    ASSERT_EQ(::mkfifo((root + "/out/fifo").c_str(), 0644), 0);
    for (const char* command : {"gpx", "csv", "kml"}) {
        for (const std::string& out : {root + "/out/fifo", root + "/out"}) {
            r = tool(std::string("timeout 20 ") + ROVIX_BINARY_DIR "/src/rovixtool " + command + " '" +
                         withLog + "' '" + out + "'",
                     err, false);
            EXPECT_EQ(r.status, 2) << command << " " << out << ": " << r.err;
            EXPECT_NE(r.err.find(out + ": is "), std::string::npos) << r.err;
        }
    }
    EXPECT_EQ(tool("gpx '" + root + "/card' x.gpx", err).status, 2);
    EXPECT_EQ(tool("gpx only-one-argument", err).status, 2);
}

TEST_F(ExportCommandsTest, BackupExitsByOutcome)
{
    ToolResult r = tool("backup --evidence '" + root + "/out' '" + noLog + "' '" + withLog + "'", err);
    EXPECT_EQ(r.status, 0) << r.err;
    // The package is a folder of its own in the destination.
    std::string pkg;
    for (const auto& e : fs::directory_iterator(root + "/out"))
        pkg = e.path().string();
    ASSERT_NE(pkg.find("/Evidence-"), std::string::npos) << pkg;
    EXPECT_EQ(slurp(pkg + "/recordings/FILE210315-083000_M.MP4"), slurp(withLog));
    EXPECT_TRUE(fs::exists(pkg + "/recordings/FILE210315-083000_M.log"));
    EXPECT_TRUE(fs::exists(pkg + "/tracks/FILE210315-083000_M.MP4.gpx"));
    EXPECT_EQ(std::system(("cd '" + pkg + "' && sha256sum --quiet -c SHA256SUMS").c_str()), 0);

    // A recording that cannot be read: 1, named, nothing after it copied.
    fs::create_directories(root + "/out2");
    r = tool("backup '" + root + "/out2' '" + root + "/card/FILE210315-089900_M.MP4' '" + withLog + "'", err);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("FILE210315-089900_M.MP4"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(root + "/out2"));

    // The recordings' own folder, a missing folder, no recordings: 2.
    const std::string before = slurp(withLog);
    EXPECT_EQ(tool("backup '" + root + "/card' '" + withLog + "'", err).status, 2);
    EXPECT_EQ(slurp(withLog), before);
    EXPECT_EQ(tool("backup '" + root + "/none' '" + withLog + "'", err).status, 2);
    EXPECT_EQ(tool("backup '" + root + "/out2'", err).status, 2);
}

} // namespace
