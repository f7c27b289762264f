// Harsh-driving marks on generated drives whose harsh moments are known: found
// within a second from the G-sensor and from the speeds alone, one mark per
// sustained manoeuvre, none on a calm drive; and rovixtool events.
#include "core/HarshEvents.h"
#include "MediaGen.h"
#include "core/GpsList.h"
#include "core/GpsParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using mediagen::HarshKindSpec;

namespace
{

class HarshEventsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rovix_harsh_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    static mediagen::NmeaSpec drive(int seconds, uint32_t seed)
    {
        mediagen::NmeaSpec recipe;
        recipe.drive.seconds = seconds;
        recipe.drive.seed = seed;
        recipe.drive.constantKmh = 80;
        recipe.drive.calm = true;
        return recipe;
    }
    // The log written and read back through the camera-log parser.
    GpsList parsed(const mediagen::NmeaSpec& recipe, const std::string& name = "drive.log")
    {
        const std::string path = root + "/" + name;
        EXPECT_TRUE(mediagen::writeNmeaLog(path, recipe));
        GpsList list;
        GpsParser parser;
        EXPECT_TRUE(parser.ParseFile(path, &list));
        return list;
    }

    std::string root;
};

// A moment counts as found when a mark of its kind starts within 1 s of it.
void expectFound(const std::vector<HarshMark>& marks, const std::vector<mediagen::HarshMomentSpec>& moments)
{
    ASSERT_EQ(marks.size(), moments.size()) << "one mark per moment";
    for (std::size_t i = 0; i < moments.size(); ++i) {
        const auto want = static_cast<int>(moments[i].kind);
        EXPECT_EQ(static_cast<int>(marks[i].kind), want) << "mark " << i;
        EXPECT_LE(std::abs(marks[i].second - moments[i].second), 1) << formatHarshMark(marks[i]);
    }
}

TEST_F(HarshEventsTest, KnownManoeuvresAreFoundFromTheSensorAndFromTheSpeeds)
{
    mediagen::NmeaSpec recipe = drive(240, 7);
    // A three-second hard brake is one mark; the turn and the short burst of
    // acceleration are marks of their own.
    recipe.drive.harsh = {{60, HarshKindSpec::Brake, 0.7, 3},
                          {120, HarshKindSpec::Turn, 0.6, 2},
                          {170, HarshKindSpec::Accel, 0.5, 1}};

    const GpsList withSensor = parsed(recipe, "g.log");
    ASSERT_TRUE(withSensor.IsGSensorReady());
    const std::vector<HarshMark> g = findHarshMarks(withSensor);
    expectFound(g, recipe.drive.harsh);
    ASSERT_EQ(g.size(), 3u);
    EXPECT_NEAR(g[0].peak, 0.7, 0.06);
    EXPECT_FALSE(g[0].fromSpeed);
    EXPECT_EQ(formatHarshMark(g[0]).rfind(std::to_string(g[0].second) + " brake 0.", 0), 0u);

    // The same drive from a logger without a G-sensor: judged from the speeds.
    recipe.withGSensor = false;
    const GpsList speedsOnly = parsed(recipe, "s.log");
    ASSERT_FALSE(speedsOnly.IsGSensorReady());
    const std::vector<HarshMark> s = findHarshMarks(speedsOnly);
    expectFound(s, recipe.drive.harsh);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_TRUE(s[0].fromSpeed);
    EXPECT_NEAR(s[0].peak, 0.7 * harsh::kKmhPerSecondPerG, 1.5) << "km/h per second";

    // A threshold above the brake's peak leaves no brake mark.
    for (const HarshMark& m : findHarshMarks(withSensor, 0.75))
        EXPECT_NE(m.kind, HarshKind::Brake) << formatHarshMark(m);
}

TEST_F(HarshEventsTest, CalmDrivesTiltedMountsAndPaddingGiveNoMarks)
{
    for (uint32_t seed : {1u, 2u, 3u}) {
        mediagen::NmeaSpec recipe = drive(600, seed);
        GpsList list = parsed(recipe);
        EXPECT_TRUE(findHarshMarks(list).empty()) << "seed " << seed;
        // A camera mounted at a tilt reads a constant on X and Y.
        for (int i = 0; i < list.GetDataCount(); ++i) {
            GpsData* d = list.GetGpsData(i);
            d->setFGSensorX(d->fGSensorX() + 0.5f);
            d->setFGSensorY(d->fGSensorY() - 0.5f);
        }
        EXPECT_TRUE(findHarshMarks(list).empty()) << "tilted, seed " << seed;
        recipe.withGSensor = false;
        EXPECT_TRUE(findHarshMarks(parsed(recipe, "s.log")).empty()) << "speeds, seed " << seed;
    }
    // Padding to the video's length is not a reading: a padded second right
    // after a hard reading is not a manoeuvre, nor is the fall from speed to -1.
    mediagen::NmeaSpec recipe = drive(60, 4);
    GpsList list = parsed(recipe);
    list.SyncVideoDuration(120);
    EXPECT_TRUE(findHarshMarks(list).empty());
    recipe.withGSensor = false;
    GpsList speeds = parsed(recipe, "s.log");
    GpsData pad;
    pad.setFSpeed(-1);
    pad.setReading(false);
    speeds.InsertData(&pad, -1);
    EXPECT_TRUE(findHarshMarks(speeds).empty());
    EXPECT_TRUE(findHarshMarks(GpsList()).empty());
}

TEST_F(HarshEventsTest, ThresholdOutsideItsRangeIsRefusedWithTheReason)
{
    double g = 0;
    std::string why;
    for (const char* bad : {"0.05", "2.5", "-1", "nan", "inf", "abc", "", " 0.5", "0.5g"}) {
        EXPECT_FALSE(parseHarshThreshold(bad, g, why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
    EXPECT_NE(harshThresholdProblem(5).find("between 0.1 and 2.0 g"), std::string::npos);
    EXPECT_TRUE(parseHarshThreshold("0.3", g, why));
    EXPECT_DOUBLE_EQ(g, 0.3);
    mediagen::NmeaSpec recipe = drive(120, 5);
    recipe.drive.harsh = {{60, HarshKindSpec::Brake, 0.7, 1}};
    EXPECT_TRUE(findHarshMarks(parsed(recipe), 2.5).empty()) << "an unusable threshold finds nothing";
}

std::string run(const std::string& args, int& status)
{
    const std::string out = "/tmp/rovix_harsh_out_" + std::to_string(::getpid());
    const int raw =
        std::system((std::string(ROVIX_BINARY_DIR "/src/rovixtool ") + args + " >" + out + " 2>&1").c_str());
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(out);
    std::ostringstream text;
    text << in.rdbuf();
    std::remove(out.c_str());
    return text.str();
}

TEST_F(HarshEventsTest, EventsCommandPrintsOneLinePerMark)
{
    const std::string rec = root + "/FILE210315-083000_M.MP4";
    mediagen::RecordingSpec video;
    video.seconds = 2;
    ASSERT_TRUE(mediagen::writeRecording(rec, video));
    mediagen::NmeaSpec recipe = drive(150, 9);
    recipe.drive.harsh = {{50, HarshKindSpec::Brake, 0.8, 2}, {100, HarshKindSpec::Turn, 0.5, 1}};
    ASSERT_TRUE(mediagen::writeNmeaLog(root + "/FILE210315-083000_M.log", recipe));

    int status = -1;
    const std::string text = run("events '" + rec + "'", status);
    EXPECT_EQ(status, 0) << text;
    int second = -1, second2 = -1;
    char kind[8] = {}, kind2[8] = {};
    double peak = 0, peak2 = 0;
    ASSERT_EQ(
        std::sscanf(text.c_str(), "%d %7s %lf\n%d %7s %lf\n", &second, kind, &peak, &second2, kind2, &peak2),
        6)
        << text;
    EXPECT_LE(std::abs(second - 50), 1);
    EXPECT_STREQ(kind, "brake");
    EXPECT_NEAR(peak, 0.8, 0.06);
    EXPECT_LE(std::abs(second2 - 100), 1);
    EXPECT_STREQ(kind2, "turn");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;

    EXPECT_EQ(run("events --threshold 0.9 '" + rec + "'", status), "");
    EXPECT_EQ(status, 0);
    EXPECT_NE(run("events --threshold 3 '" + rec + "'", status).find("between 0.1 and 2.0 g"),
              std::string::npos);
    EXPECT_EQ(status, 2);
    run("events --threshold '" + rec + "'", status);
    EXPECT_EQ(status, 2);
    run("events '" + root + "/missing.MP4'", status);
    EXPECT_EQ(status, 2);
}

} // namespace
