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
