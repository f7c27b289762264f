// The command-line front end, run as a user would.
#include "MediaGen.h"
#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace mediagen;
using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

const std::string kTool = std::string(ROVIX_BINARY_DIR) + "/tools/mediagen/rovixmediagen";

int run(const std::string& args)
{
    const int rc = std::system((kTool + " " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

} // namespace

TEST(Cli, CommandsWriteWhatTheLibraryWrites)
{
    if (!fs::exists(kTool))
        GTEST_SKIP() << "the command-line tool is not built";
    TempDir dir;
    ASSERT_EQ(
        run("recording " + dir.file("a.mov") + " --seconds 1 --width 96 --height 64 --fps 8 --rear --seed 3"),
        0);
    RecordingSpec r;
    r.container = Container::Mov;
    r.seconds = 1;
    r.width = 96;
    r.height = 64;
    r.fps = 8;
    r.rear = true;
    r.seed = 3;
    ASSERT_TRUE(writeRecording(dir.file("b.mov"), r));
    EXPECT_EQ(slurp(dir.file("a.mov")), slurp(dir.file("b.mov")));

    ASSERT_EQ(run("nmea " + dir.file("n.log") + " --seconds 3 --start 240101-235959 --header"), 0);
    NmeaSpec n;
    n.drive.seconds = 3;
    n.start = StartTime{2024, 1, 1, 23, 59, 59};
    n.withHeader = true;
    EXPECT_EQ(slurp(dir.file("n.log")), makeNmeaLog(n, nmeaSamples(n)));

    ASSERT_EQ(run("avi-track " + dir.file("t.avi") + " --seconds 2 --variant 2"), 0);
    const std::string avi = slurp(dir.file("t.avi"));
    EXPECT_NE(avi.find("SGLT"), std::string::npos);
    EXPECT_EQ(avi.find("SLLT"), std::string::npos);

    ASSERT_EQ(run("card " + dir.file("card") + " --count 1 --seconds 1"), 0);
    std::vector<ManifestEntry> rows;
    EXPECT_TRUE(readManifest(dir.file("card/card-manifest.tsv"), rows));
    EXPECT_GT(rows.size(), 40u);

    // Bad input is refused with a usage error, and an occupied folder is left alone.
    EXPECT_EQ(run("recording " + dir.file("x.mkv")), 2);
    EXPECT_EQ(run("nmea " + dir.file("x.log") + " --start 24-01-01"), 2);
    EXPECT_EQ(run("avi-track " + dir.file("x.avi") + " --variant 9"), 2);
    EXPECT_EQ(run("bogus " + dir.file("x")), 2);
    EXPECT_EQ(run("card " + dir.file("card")), 1);
    EXPECT_FALSE(fs::exists(dir.file("x.log")));
}
