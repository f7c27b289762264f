#include "core/PlaylistFilter.h"
#include "TzGuard.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(PlaylistFilter, DayTypeAndExistence)
{
    TzGuard tz("JST-9");
    const fs::path dir = fs::temp_directory_path() / ("rovix-playlist-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto make = [&](const std::string& name) {
        std::ofstream(dir / name) << "x";
        return (dir / name).string();
    };
    // 2021-03-04 15:30 UTC is already 2021-03-05 00:30 in Tokyo.
    const int64_t lateUtc = 1614871800LL * 1000;
    const int64_t noonLocal = (1614871800LL + 12 * 3600) * 1000;
    std::vector<ScannedRecording> lib = {
        {make("FILE210305-003000.MP4"), lateUtc},     {make("EMER210305-120000.MP4"), noonLocal},
        {make("PARK210305-120500.MP4"), noonLocal},   {make("CLIP.MP4"), noonLocal},
        {(dir / "GONE0001.MP4").string(), noonLocal}, {make("FILE210306-120000.MP4"), noonLocal + 86400000LL},
        {make("NODATE0001.MP4"), std::nullopt},
    };
    PlaylistFilterOptions o;
    o.year = 2021;
    o.month = 3;
    o.day = 5;
    EXPECT_EQ(pmFilterPlaylist(lib, o), (std::vector<std::size_t>{0, 1, 2, 3}));

    o.showNormal = o.showEvent = false; // parking only: an unprefixed name is never parking
    EXPECT_EQ(pmFilterPlaylist(lib, o), (std::vector<std::size_t>{2}));
    o.showParking = false;
    EXPECT_TRUE(pmFilterPlaylist(lib, o).empty());

    o.showNormal = true;
    o.allFiles = true; // every day, still filtered by type; undated entries pass too
    EXPECT_EQ(pmFilterPlaylist(lib, o), (std::vector<std::size_t>{0, 3, 5, 6}));

    fs::remove_all(dir);
}

TEST(PlaylistFilter, DaysByTheTimeInTheNames)
{
    TzGuard tz("JST-9");
    const fs::path dir = fs::temp_directory_path() / ("rovix-nametime-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto make = [&](const std::string& name) {
        std::ofstream(dir / name) << "x";
        return (dir / name).string();
    };
    // A card copied without dates: every file carries the copy's time.
    const int64_t copied = (1700000000LL) * 1000; // 2023-11-15 07:13:20 in Tokyo
    std::vector<ScannedRecording> lib = {
        {make("FILE210305-235959F.MP4"), copied},
        {make("EMER210306-000000F.MP4"), copied},
        {make("FILE210230-120000F.MP4"), copied}, // 30 February: no real moment
        {make("CLIP.MP4"), copied},
        {make("PARK210306-083000F.MP4"), std::nullopt}, // no file date, but a name time
    };

    // The name's clock reads as local time, to the second.
    EXPECT_EQ(pmNameTimeMsecs(lib[0].path), std::optional<int64_t>((1614956399LL) * 1000));
    EXPECT_EQ(pmNameTimeMsecs(lib[2].path), std::nullopt);
    EXPECT_EQ(pmNameTimeMsecs(lib[3].path), std::nullopt);
    EXPECT_EQ(pmNameTimeMsecs("/x/FILE210306-246000F.MP4"), std::nullopt);

    PlaylistFilterOptions o;
    o.year = 2023;
    o.month = 11;
    o.day = 15;
    // Off: everything with a file date lands on the copy's day.
    EXPECT_EQ(pmFilterPlaylist(lib, o), (std::vector<std::size_t>{0, 1, 2, 3}));
    // On: the copy's day keeps only what the names cannot place.
    o.byNameTime = true;
    EXPECT_EQ(pmFilterPlaylist(lib, o), (std::vector<std::size_t>{2, 3}));
    o.year = 2021;
    o.month = 3;
    o.day = 5;
    EXPECT_EQ(pmFilterPlaylist(lib, o), (std::vector<std::size_t>{0}));
    o.day = 6;
    EXPECT_EQ(pmFilterPlaylist(lib, o), (std::vector<std::size_t>{1, 4}));

    fs::remove_all(dir);
}
