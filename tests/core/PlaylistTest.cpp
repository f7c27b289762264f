#include "core/Playlist.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

TEST(Playlist, RowsThatPlayAreFoundAgainAfterTheRowsMoved)
{
    const Playlist before({"/c/a", "/c/b", "/c/c"});
    const Playlist after({"/c/x", "/c/a", "/c/c", "/c/b"});
    EXPECT_FALSE(after.sameRows(before));
    EXPECT_TRUE(before.sameRows(Playlist({"/c/a", "/c/b", "/c/c"})));
    EXPECT_FALSE(before.sameRows(Playlist({"/c/a", "/c/c", "/c/b"})));

    KeptRows kept = after.keptRows(before, 1, 0, 2);
    EXPECT_TRUE(kept.playingListed);
    EXPECT_EQ(kept.front, 3);
    EXPECT_EQ(kept.rear, 1);
    EXPECT_EQ(kept.selected, 2);

    // Nothing plays, nothing selected: no row is made up for them.
    kept = after.keptRows(before, -1, -1, -1);
    EXPECT_TRUE(kept.playingListed);
    EXPECT_EQ(kept.front, -1);
    EXPECT_EQ(kept.rear, -1);
    EXPECT_EQ(kept.selected, -2);
}

TEST(Playlist, APlayingRecordingGoneIsReportedAndASelectedOneIsDropped)
{
    const Playlist before({"/c/a", "/c/b", "/c/c"});
    const Playlist after({"/c/a", "/c/c"});
    EXPECT_FALSE(after.keptRows(before, 1, -1, -1).playingListed);
    EXPECT_FALSE(after.keptRows(before, 0, 1, -1).playingListed); // the rear went
    const KeptRows kept = after.keptRows(before, 2, -1, 1);
    EXPECT_TRUE(kept.playingListed);
    EXPECT_EQ(kept.front, 1);
    EXPECT_EQ(kept.selected, -1); // its recording left
    // Everything gone: what played is not listed any more.
    EXPECT_FALSE(Playlist().keptRows(before, 0, -1, -1).playingListed);
    EXPECT_EQ(Playlist().keptRows(Playlist(), -1, -1, 0).selected, -2);
}

TEST(Playlist, DuplicatesAreFoundAtTheirFirstRowAndFilteredRowsKeepTheirLibraryEntries)
{
    const Playlist twice({"/c/a", "/c/b", "/c/a"});
    EXPECT_EQ(twice.rowOf("/c/a"), 0);
    EXPECT_EQ(twice.rowOf("/c/b"), 1);
    EXPECT_EQ(twice.rowOf("/c/z"), -1);
    EXPECT_EQ(Playlist({"/c/b", "/c/a"}).keptRows(twice, 2, -1, -1).front, 1);

    const fs::path dir = fs::temp_directory_path() / ("rovix-playlist-rows-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "FILE210305-120000F.MP4") << "x";
    std::ofstream(dir / "FILE210305-130000F.MP4") << "x";
    const std::vector<ScannedRecording> library = {{(dir / "FILE210305-120000F.MP4").string(), 0},
                                                   {(dir / "GONE210305-123000F.MP4").string(), 0},
                                                   {(dir / "FILE210305-130000F.MP4").string(), 0}};
    PlaylistFilterOptions every;
    every.allFiles = true;
    const Playlist listed = Playlist::filtered(library, every);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed.rows()[0].id, library[0].path);
    EXPECT_EQ(listed.rows()[1].id, library[2].path);
    EXPECT_EQ(listed.rows()[1].libraryIndex, 2u);
    fs::remove_all(dir);
}

} // namespace
