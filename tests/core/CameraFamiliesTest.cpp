// Golden names of each naming family: the facts read from the name and the
// partner found on a card laid out as that family's cameras write it.
#include "core/CameraFamilies.h"
#include "core/FileRules.h"
#include "core/LibraryScan.h"
#include "core/TrackLoader.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

struct Golden {
    const char* path;    // relative to the card; every path of a table exists
    const char* family;  // the row that reads it
    int type;            // recording type
    int camera;          // camera code
    const char* start;   // "YYYY-MM-DD HH:MM:SS", or "" for none that exists
    const char* partner; // where the partner is sought (relative; it may not exist), or "" for none
};

class CameraFamilies : public ::testing::Test
{
protected:
    fs::path card;
    void SetUp() override
    {
        card = fs::temp_directory_path() / ("rovix-families-" + std::to_string(::getpid()));
        fs::remove_all(card);
        fs::create_directories(card);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(card, ec);
    }

    std::string abs(const std::string& rel) const { return (card / rel).string(); }

    static std::string startText(const std::string& path)
    {
        _SYSTEMTIME t;
        if (!pmGetFileDateTime(path, t) || !pmIsRealDateTime(t))
            return std::string();
        char text[64];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                      t.wMinute, t.wSecond);
        return text;
    }

    // Lays the table out as files (writable), then checks every row.
    void check(const std::vector<Golden>& table)
    {
        for (const Golden& g : table) {
            const fs::path p = card / g.path;
            fs::create_directories(p.parent_path());
            std::ofstream(p) << "x";
        }
        for (const Golden& g : table) {
            const std::string path = abs(g.path);
            SCOPED_TRACE(g.path);
            EXPECT_EQ(pmReadNameFacts(path).family->id, g.family);
            EXPECT_EQ(int(pmGetFileType(path)), g.type);
            EXPECT_EQ(int(pmGetCameraType(path)), g.camera);
            EXPECT_EQ(startText(path), g.start);
            EXPECT_EQ(pmGetAnotherCameraPath(path), *g.partner ? abs(g.partner) : std::string());
        }
        // Partners stand next to each other in the playlist order, whatever
        // the family's names look like.
        std::vector<std::string> paths;
        for (const Golden& g : table)
            paths.push_back(abs(g.path));
        const std::vector<std::size_t> order = pmSortByFileDate(paths);
        auto listed = [&](const char* rel) {
            for (const Golden& g : table) {
                if (std::string(g.path) == rel)
                    return true;
            }
            return false;
        };
        for (std::size_t i = 0; i < order.size(); ++i) {
            const Golden& g = table[order[i]];
            if (!*g.partner || !listed(g.partner))
                continue;
            const bool before = i > 0 && std::string(table[order[i - 1]].path) == g.partner;
            const bool after = i + 1 < order.size() && std::string(table[order[i + 1]].path) == g.partner;
            EXPECT_TRUE(before || after) << g.path << " is not next to " << g.partner;
        }
    }

    // The playlist order of the given relative paths, as relative paths.
    std::vector<std::string> playlistOrder(const std::vector<std::string>& rels) const
    {
        std::vector<std::string> paths;
        for (const std::string& rel : rels)
            paths.push_back(abs(rel));
        std::vector<std::string> out;
        for (std::size_t i : pmSortByFileDate(paths))
            out.push_back(rels[i]);
        return out;
    }
};

} // namespace

TEST_F(CameraFamilies, OwnNamesKeepTheirRulesAndWinOverPatterns)
{
    check({
        {"DCIM/100MEDIA_M/FILE210315-083000_M.MP4", "rovix", 0, 1, "2021-03-15 08:30:00",
         "DCIM/100MEDIA_2/FILE210315-083000_2.MP4"},
        {"DCIM/100MEDIA_2/FILE210315-083000_2.MP4", "rovix", 0, 2, "2021-03-15 08:30:00",
         "DCIM/100MEDIA_M/FILE210315-083000_M.MP4"},
        {"DCIM/EMER210315-090000.MOV", "rovix", 1, 0, "2021-03-15 09:00:00", ""},
        {"DCIM/BP210315-220000.AVI", "rovix", 2, 0, "", ""},
        // No prefix or camera letter of ours, but a time where our rule reads one.
        {"DCIM/CLIP210315-083000.MP4", "rovix", 0, 0, "2021-03-15 08:30:00", ""},
    });
}

TEST_F(CameraFamilies, NovatekTypeFromFoldersAndCamerasInSiblingFolders)
{
    check({
        {"Movie/F/2024_0315_083000_0001F.MP4", "novatek", 0, 1, "2024-03-15 08:30:00",
         "Movie/R/2024_0315_083000_0001R.MP4"},
        {"Movie/R/2024_0315_083000_0001R.MP4", "novatek", 0, 2, "2024-03-15 08:30:00",
         "Movie/F/2024_0315_083000_0001F.MP4"},
        {"Movie/RO/2024_0315_083100_000002F.MOV", "novatek", 1, 1, "2024-03-15 08:31:00",
         "Movie/RO/2024_0315_083100_000002R.MOV"},
        {"Movie/RO/2024_0315_083100_000002R.MOV", "novatek", 1, 2, "2024-03-15 08:31:00",
         "Movie/RO/2024_0315_083100_000002F.MOV"},
        {"EMR/Front/2024_0315_083200_0003F.MP4", "novatek", 1, 1, "2024-03-15 08:32:00",
         "EMR/Rear/2024_0315_083200_0003R.MP4"},
        {"EMR/Rear/2024_0315_083200_0003R.MP4", "novatek", 1, 2, "2024-03-15 08:32:00",
         "EMR/Front/2024_0315_083200_0003F.MP4"},
        {"Parking/2024_0315_233000_0004f.mp4", "novatek", 2, 1, "2024-03-15 23:30:00",
         "Parking/2024_0315_233000_0004r.mp4"},
        {"Parking/2024_0315_233000_0004r.mp4", "novatek", 2, 2, "2024-03-15 23:30:00",
         "Parking/2024_0315_233000_0004f.mp4"},
        {"Movie/I/2024_0315_083000_0001I.MP4", "novatek", 0, 3, "2024-03-15 08:30:00", ""},
        {"Movie/T/2024_0315_083000_0001T.MP4", "novatek", 0, 4, "2024-03-15 08:30:00", ""},
        // Five digits of sequence is no Novatek name.
        {"Movie/2024_0315_083000_00001F.MP4", "timeless", 0, 0, "", ""},
    });
}

TEST_F(CameraFamilies, BlackVueTypeAndCameraLetters)
{
    check({
        {"Record/20240315_083000_NF.mp4", "blackvue", 0, 1, "2024-03-15 08:30:00",
         "Record/20240315_083000_NR.mp4"},
        {"Record/20240315_083000_NR.mp4", "blackvue", 0, 2, "2024-03-15 08:30:00",
         "Record/20240315_083000_NF.mp4"},
        {"Record/20240315_083100_EF.mp4", "blackvue", 1, 1, "2024-03-15 08:31:00",
         "Record/20240315_083100_ER.mp4"},
        {"Record/20240315_083100_ER.mp4", "blackvue", 1, 2, "2024-03-15 08:31:00",
         "Record/20240315_083100_EF.mp4"},
        {"Record/20240315_083200_MF.mp4", "blackvue", 1, 1, "2024-03-15 08:32:00",
         "Record/20240315_083200_MR.mp4"},
        {"Record/20240315_233000_PF.mp4", "blackvue", 2, 1, "2024-03-15 23:30:00",
         "Record/20240315_233000_PR.mp4"},
        {"Record/20240315_083000_NI.mp4", "blackvue", 0, 3, "2024-03-15 08:30:00", ""},
        // A day that does not exist is read, but gives no start.
        {"Record/20240230_083000_NF.mp4", "blackvue", 0, 1, "", "Record/20240230_083000_NR.mp4"},
    });
    // A second's front leads its rear in the playlist, as with our own names,
    // whatever the letters' order; interior follows.
    EXPECT_EQ(playlistOrder({"20240315_083000_NI.mp4", "20240315_083000_NR.mp4", "20240315_083000_NF.mp4",
                             "FILE240315-083000_2.MP4", "FILE240315-083000_M.MP4"}),
              (std::vector<std::string>{"FILE240315-083000_M.MP4", "FILE240315-083000_2.MP4",
                                        "20240315_083000_NF.mp4", "20240315_083000_NR.mp4",
                                        "20240315_083000_NI.mp4"}));
}

TEST_F(CameraFamilies, ThinkwarePrefixesAndPlaylistOrderByTime)
{
    check({
        {"cont_rec/REC_2024_03_15_08_30_00_F.MP4", "thinkware", 0, 1, "2024-03-15 08:30:00",
         "cont_rec/REC_2024_03_15_08_30_00_R.MP4"},
        {"cont_rec/REC_2024_03_15_08_30_00_R.MP4", "thinkware", 0, 2, "2024-03-15 08:30:00",
         "cont_rec/REC_2024_03_15_08_30_00_F.MP4"},
        {"evt_rec/EVT_2024_03_15_08_31_00_F.MP4", "thinkware", 1, 1, "2024-03-15 08:31:00",
         "evt_rec/EVT_2024_03_15_08_31_00_R.MP4"},
        {"manual_rec/MAN_2024_03_15_08_32_00_F.MP4", "thinkware", 1, 1, "2024-03-15 08:32:00",
         "manual_rec/MAN_2024_03_15_08_32_00_R.MP4"},
        {"parking_rec/MOT_2024_03_15_23_30_00_R.MP4", "thinkware", 2, 2, "2024-03-15 23:30:00",
         "parking_rec/MOT_2024_03_15_23_30_00_F.MP4"},
    });
    // The key our names use (characters 4..17) would stop at the hour and
    // order a family's hour backwards; the time decides.
    EXPECT_EQ(playlistOrder({"REC_2024_03_15_08_59_00_F.MP4", "REC_2024_03_15_08_01_00_F.MP4",
                             "EVT_2024_03_15_08_30_00_F.MP4", "REC_2024_03_15_09_00_00_F.MP4"}),
              (std::vector<std::string>{"REC_2024_03_15_08_01_00_F.MP4", "EVT_2024_03_15_08_30_00_F.MP4",
                                        "REC_2024_03_15_08_59_00_F.MP4", "REC_2024_03_15_09_00_00_F.MP4"}));
}

TEST_F(CameraFamilies, SeventyMaiPrefixesAndFrontBackFolders)
{
    check({
        {"Normal/Front/NO20240315-083000-000001F.MP4", "70mai", 0, 1, "2024-03-15 08:30:00",
         "Normal/Back/NO20240315-083000-000001R.MP4"},
        {"Normal/Back/NO20240315-083000-000001R.MP4", "70mai", 0, 2, "2024-03-15 08:30:00",
         "Normal/Front/NO20240315-083000-000001F.MP4"},
        {"Event/EV20240315-083100-000002F.MP4", "70mai", 1, 1, "2024-03-15 08:31:00",
         "Event/EV20240315-083100-000002R.MP4"},
        {"Event/EV20240315-083100-000002R.MP4", "70mai", 1, 2, "2024-03-15 08:31:00",
         "Event/EV20240315-083100-000002F.MP4"},
        // Not in a camera's own folder: sought beside it only.
        {"Parking/PA20240315-233000-000003F.MP4", "70mai", 2, 1, "2024-03-15 23:30:00",
         "Parking/PA20240315-233000-000003R.MP4"},
    });
}

TEST_F(CameraFamilies, NamesWithoutTimeKeepOurFallbacks)
{
    check({
        {"DCIM/105UNSVD/GRMN0001.MP4", "timeless", 0, 0, "", ""},
        {"DCIM/GOPR0042.MP4", "timeless", 0, 0, "", ""},
        {"clip.mov", "timeless", 0, 0, "", ""},
    });
    // The write-protected fallback of our rules still marks them as events,
    // and they sort by their whole names.
    const std::string locked = abs("DCIM/105UNSVD/GRMN0001.MP4");
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    EXPECT_EQ(pmGetFileType(locked), kRecordingEvent);
    EXPECT_EQ(playlistOrder({"GRMN0002.MP4", "GRMN0001.MP4"}),
              (std::vector<std::string>{"GRMN0001.MP4", "GRMN0002.MP4"}));
}

TEST(JsonString, EscapesAndKeepsBytesThatAreNotUtf8)
{
    auto json = [](const std::string& text) {
        std::string out;
        pmAppendJsonString(out, text);
        return out;
    };
    EXPECT_EQ(json("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
    EXPECT_EQ(json(std::string("\t\n\r\x01\x1f\x7f", 6)), "\"\\t\\n\\r\\u0001\\u001f\\u007f\"");
    EXPECT_EQ(json(std::string("\0", 1)), "\"\\u0000\"");
    // Valid UTF-8 passes as it is: two, three and four bytes.
    EXPECT_EQ(json("caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x9a\x97"),
              "\"caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x9a\x97\"");
    // Stray, cut, overlong, surrogate and out-of-range sequences: each byte
    // on its own as U+DC80+byte.
    EXPECT_EQ(json("\xe9t\xe9"), "\"\\udce9t\\udce9\"");
    EXPECT_EQ(json("\xe6\x97"), "\"\\udce6\\udc97\"");
    EXPECT_EQ(json("\xc0\xaf"), "\"\\udcc0\\udcaf\"");
    EXPECT_EQ(json("\xed\xa0\x80"), "\"\\udced\\udca0\\udc80\"");
    EXPECT_EQ(json("\xf4\x90\x80\x80"), "\"\\udcf4\\udc90\\udc80\\udc80\"");
    EXPECT_EQ(json("\xff"), "\"\\udcff\"");
}
