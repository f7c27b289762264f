#include "core/ClipPackage.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(ClipPackage, WindowsSplitIntoStretchesAndTheTrackFollowsTheClock)
{
    // Two minutes back to back, then one 3 s later.
    const std::vector<ClipSource> trip{{"a", 0, 60000, 0}, {"b", 60000, 60000, 0}, {"c", 123000, 60000, 0}};
    auto pieces = pmPlanClipPieces(trip, 45000, 125000);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].source, 0u);
    EXPECT_DOUBLE_EQ(pieces[0].fromSeconds, 45);
    EXPECT_DOUBLE_EQ(pieces[0].toSeconds, 60);
    EXPECT_DOUBLE_EQ(pieces[1].fromSeconds, 0);
    EXPECT_DOUBLE_EQ(pieces[1].toSeconds, 60);
    EXPECT_DOUBLE_EQ(pieces[2].toSeconds, 2);
    // Before the trip, in its gap, or with no length: nothing.
    EXPECT_TRUE(pmPlanClipPieces(trip, -5000, 0).empty());
    EXPECT_TRUE(pmPlanClipPieces(trip, 120000, 123000).empty());
    EXPECT_TRUE(pmPlanClipPieces({{"x", 0, 0, 0}}, 0, 1000).empty());

    // Each recording's samples are its own seconds; the gap carries no position.
    auto load = [](const ClipSource& s, GpsList& list) {
        for (int i = 0; i < 60; ++i)
            list.InsertData(s.path == "a"   ? 1.0f
                            : s.path == "b" ? 2.0f
                                            : 3.0f,
                            static_cast<float>(i), 0, 0, -1);
        list.setBGps(true);
        return true;
    };
    GpsList track;
    EXPECT_EQ(pmBuildClipTrack(trip, 58500, 124000, track, load), 58000);
    ASSERT_EQ(track.GetDataCount(), 66); // 58 .. 123
    EXPECT_FLOAT_EQ(track.GetGpsData(0)->fLatitude(), 1.0f);
    EXPECT_FLOAT_EQ(track.GetGpsData(0)->fLongitude(), 58.0f);
    EXPECT_FLOAT_EQ(track.GetGpsData(2)->fLatitude(), 2.0f);
    EXPECT_FLOAT_EQ(track.GetGpsData(2)->fLongitude(), 0.0f);
    EXPECT_FLOAT_EQ(track.GetGpsData(63)->fLatitude(), 0.0f); // second 121: between b and c
    EXPECT_FALSE(track.GetGpsData(63)->isReading());
    EXPECT_FLOAT_EQ(track.GetGpsData(65)->fLatitude(), 3.0f);
    EXPECT_TRUE(track.GetGpsData(65)->isReading());
    EXPECT_TRUE(track.IsGPSReady());
    // An hour either side: the track is the trip's seconds only, from its first.
    EXPECT_EQ(pmBuildClipTrack(trip, -3600000, 3700000, track, load), 0);
    EXPECT_EQ(track.GetDataCount(), 183);
    EXPECT_EQ(pmBuildClipTrack(trip, -3600000, -1000, track, load), -3600000);
    EXPECT_EQ(track.GetDataCount(), 0);
}

TEST(ClipPackage, FoldersAreNamedByTheMomentAndNeverReused)
{
    const fs::path dir = fs::temp_directory_path() / ("clip-package-" + std::to_string(::getpid()));
    fs::create_directories(dir / "card/DCIM");
    setenv("TZ", "UTC", 1);
    tzset();
    int error = 0;
    const int64_t moment = 1615797045000; // 2021-03-15 08:30:45 UTC
    EXPECT_EQ(pmClipFolderName(moment), "Clip-20210315-083045");
    EXPECT_EQ(pmMakeClipFolder(dir.string(), moment, error), (dir / "Clip-20210315-083045").string());
    EXPECT_EQ(pmMakeClipFolder(dir.string(), moment, error), (dir / "Clip-20210315-083045-2").string());
    unsetenv("TZ");
    tzset();

    EXPECT_TRUE(pmIsInsideFolder((dir / "card").string(), (dir / "card").string()));
    EXPECT_TRUE(pmIsInsideFolder((dir / "card/DCIM/../DCIM").string(), (dir / "card/").string()));
    EXPECT_FALSE(pmIsInsideFolder((dir / "cardboard").string(), (dir / "card").string()));
    fs::create_directory_symlink(dir / "card/DCIM", dir / "link");
    EXPECT_TRUE(pmIsInsideFolder((dir / "link").string(), (dir / "card").string()));

    ASSERT_TRUE(pmWriteWholeFile((dir / "a b.txt").string(), "one\n"));
    ASSERT_TRUE(pmWriteWholeFile((dir / "back\\slash").string(), "two\n"));
    EXPECT_FALSE(pmWriteWholeFile((dir / "a b.txt").string(), "again\n")); // never over a file
    ASSERT_TRUE(pmWriteSha256Sums(dir.string(), {"a b.txt", "back\\slash"}));
    EXPECT_EQ(std::system(("cd '" + dir.string() + "' && sha256sum --quiet -c SHA256SUMS").c_str()), 0);
    EXPECT_FALSE(pmWriteSha256Sums(dir.string(), {"missing"}));
    fs::remove_all(dir);
}

TEST(ClipPackage, PartsBreakWhereRecordingsBreakOffAndEveryHoleHasItsReason)
{
    // a and b follow within the names' second; c starts 3 s after b's end;
    // d's length is unknown; e overlaps c by 10 s.
    const std::vector<ClipSource> trip{{"/x/a.MP4", 0, 59600, 0},
                                       {"/x/b.MP4", 60000, 60000, 0},
                                       {"/x/c.MP4", 123000, 30000, 0},
                                       {"/x/d.MP4", 153000, 0, 0},
                                       {"/x/e.MP4", 143000, 20000, 0}};
    const ClipPlan plan = pmPlanClipParts(trip, -2000, 170000);
    ASSERT_EQ(plan.parts.size(), 3u);
    ASSERT_EQ(plan.parts[0].pieces.size(), 2u); // a and b join
    EXPECT_EQ(plan.parts[0].startMs, 0);
    EXPECT_EQ(plan.parts[0].endMs, 120000);
    EXPECT_EQ(plan.parts[1].startMs, 123000);
    EXPECT_EQ(plan.parts[2].startMs, 143000); // an overlap starts a part of its own, leaving no hole
    EXPECT_EQ(plan.parts[2].pieces.at(0).source, 4u);
    ASSERT_EQ(plan.holes.size(), 3u);
    EXPECT_EQ(plan.holes[0].fromMs, -2000);
    EXPECT_EQ(plan.holes[0].toMs, 0);
    EXPECT_EQ(plan.holes[0].why, "the trip begins with a.MP4");
    EXPECT_EQ(plan.holes[1].fromMs, 120000);
    EXPECT_EQ(plan.holes[1].toMs, 123000);
    EXPECT_EQ(plan.holes[1].why, "no recording between the end of b.MP4 and the start of c.MP4");
    EXPECT_EQ(plan.holes[2].fromMs, 163000);
    EXPECT_EQ(plan.holes[2].toMs, 170000);
    EXPECT_EQ(plan.holes[2].why, "the trip ends with e.MP4");
    // The unreadable recording is named where it leaves the window uncovered.
    const ClipPlan cut = pmPlanClipParts({trip[0], {"/x/d\tx.MP4", 59600, 0, 0}}, 50000, 70000);
    ASSERT_EQ(cut.holes.size(), 1u);
    EXPECT_EQ(cut.holes[0].why, "d\\tx.MP4 cannot be read (no length in its header); the trip ends with it");
    EXPECT_TRUE(pmPlanClipParts(trip, 10000, 10000).parts.empty());

    // Gaps under the tolerance join, but never add up to more than it within a part.
    std::vector<ClipSource> minutes;
    for (int k = 0; k < 4; ++k)
        minutes.push_back({"/x/m" + std::to_string(k), 60000 * k, 59600, 0});
    const ClipPlan drift = pmPlanClipParts(minutes, 0, 240000);
    ASSERT_EQ(drift.parts.size(), 2u);
    EXPECT_EQ(drift.parts[0].pieces.size(), 3u); // 0.8 s behind the names at the third join
    EXPECT_EQ(drift.parts[1].startMs, 180000);   // 1.2 s at the fourth
}
