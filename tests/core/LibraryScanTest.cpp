#include "core/LibraryScan.h"
#include "core/DeviceXml.h"
#include "core/Log.h"

#include "ProbeMediaBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace probebytes;

namespace
{

class LibraryScanTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rovix_scan_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override
    {
        // Restore permissions a test may have taken away, then remove everything.
        std::error_code ec;
        for (auto it =
                 fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_symlink(ec))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        ::chmod(root.c_str(), 0700);
        fs::remove_all(root, ec);
    }
    std::string mkdir(const std::string& rel)
    {
        const std::string path = root + "/" + rel;
        fs::create_directories(path);
        return path;
    }
    std::string good(const std::string& rel)
    {
        const std::string path = root + "/" + rel;
        fs::create_directories(fs::path(path).parent_path());
        writeFile(path, rel.size() >= 4 &&
                                (rel.substr(rel.size() - 4) == ".avi" || rel.substr(rel.size() - 4) == ".AVI")
                            ? avi("H264")
                            : goodMov());
        return path;
    }
    static std::vector<std::string> paths(const std::vector<ScannedRecording>& found)
    {
        std::vector<std::string> out;
        for (const auto& r : found)
            out.push_back(r.path);
        return out;
    }

    std::string root;
};

// The order a plain recursive walk over readdir gives: what the scan must match.
void referenceWalk(const std::string& folder, std::vector<std::string>& out)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] != '.')
            names.emplace_back(e->d_name);
    }
    ::closedir(dir);
    for (const auto& name : names) {
        const std::string path = folder + "/" + name;
        struct stat st {
        };
        if (::stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            referenceWalk(path, out);
        else if (LibraryScanner::admit(path))
            out.push_back(path);
    }
}

} // namespace

TEST_F(LibraryScanTest, DepthFirstInListingOrderAndOnlyPlayableVisibleRecordings)
{
    good("FILE200101-120000F.MP4");
    good("sub/FILE200101-120100F.MOV");
    good("sub/deeper/FILE200101-120200F.AVI");
    good("sub/z.avi");
    good("EVEN200101-120300F.mp4");
    good("zz/last.MP4");
    // Never taken: hidden entries, unknown kinds, failed probes, broken links.
    good(".hidden.MP4");
    mkdir(".Trash");
    good(".Trash/FILE200101-130000F.MP4");
    writeFile(root + "/CLIP.MKV", goodMov());
    writeFile(root + "/NOEXTENSION", goodMov());
    writeFile(root + "/bad.mp4", std::string(4096, '\0'));
    writeFile(root + "/bad.avi", avi("XVID"));
    fs::create_symlink(root + "/nowhere.mp4", root + "/broken.mp4");
    // A name that is not UTF-8 is carried byte for byte.
    const std::string odd = good("\xff\xfe\x80.mp4");

    std::vector<std::string> expected;
    referenceWalk(root, expected);
    ASSERT_EQ(expected.size(), 7u);

    LibraryScanner scanner;
    std::vector<std::pair<std::string, int>> offered;
    scanner.onFileOffered = [&](const std::string& path, bool) {
        offered.emplace_back(path, scanner.currentLevel());
    };
    const auto found = scanner.scan(root);
    EXPECT_EQ(paths(found), expected);
    EXPECT_NE(std::find(expected.begin(), expected.end(), odd), expected.end());
    EXPECT_EQ(scanner.currentLevel(), 0);

    // Every visible file is offered (at the depth of its folder), hidden ones never.
    for (const auto& [path, level] : offered) {
        EXPECT_EQ(path.find("/."), std::string::npos) << path;
        const int depth = int(std::count(path.begin() + long(root.size()), path.end(), '/'));
        EXPECT_EQ(level, depth) << path;
    }
    EXPECT_EQ(offered.size(), 11u);

    // The sub-folder's recordings come right where the sub-folder is listed:
    // contiguous, before whatever the parent lists after it.
    const auto isSub = [&](const std::string& p) { return p.rfind(root + "/sub/", 0) == 0; };
    const auto first = std::find_if(expected.begin(), expected.end(), isSub);
    EXPECT_TRUE(std::all_of(first, first + 3, isSub));
}

TEST_F(LibraryScanTest, RecordsModificationTime)
{
    const std::string path = good("FILE200101-120000F.MP4");
    timespec times[2] = {{1577880000, 0}, {1577880000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    const auto found = LibraryScanner().scan(root);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].mtimeMsecs, std::optional<int64_t>(1577880000123));
}

TEST_F(LibraryScanTest, SurvivesLoopsDeepTreesAndVanishingOrUnreadableEntries)
{
    // Symlinks back to the root and to a sibling: each real folder once.
    good("a/one.mp4");
    good("b/two.mp4");
    fs::create_directory_symlink(root, root + "/a/loop");
    fs::create_directory_symlink(root + "/b", root + "/a/alsoB");
    auto found = LibraryScanner().scan(root);
    EXPECT_EQ(found.size(), 2u);

    // A deep tree without call-stack recursion, in the same order as one.
    std::string rel = "deep";
    for (int i = 0; i < 120; ++i) {
        mkdir(rel);
        good(rel + "/f" + std::to_string(i) + ".mp4");
        rel += "/d";
    }
    std::vector<std::string> expected;
    referenceWalk(root + "/deep", expected);
    found = LibraryScanner().scan(root + "/deep");
    EXPECT_EQ(found.size(), 120u);
    EXPECT_EQ(paths(found), expected);

    // Files removed while the scan runs are passed over.
    const std::string gone = mkdir("gone");
    for (int i = 0; i < 5; ++i)
        good("gone/g" + std::to_string(i) + ".mp4");
    LibraryScanner scanner;
    std::string kept;
    scanner.onFileOffered = [&](const std::string& path, bool) {
        if (path.rfind(gone + "/", 0) == 0 && kept.empty()) {
            kept = path;
            for (const auto& e : fs::directory_iterator(gone))
                if (e.path() != path)
                    fs::remove(e.path());
        }
    };
    found = scanner.scan(gone);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].path, kept);

    EXPECT_TRUE(LibraryScanner().scan(root + "/no-such-folder").empty());
    EXPECT_TRUE(LibraryScanner().scan(kept).empty());

    if (::geteuid() == 0)
        GTEST_SKIP() << "permission checks do not apply to the superuser";
    const std::string locked = mkdir("locked");
    good("locked/x.mp4");
    const std::string unreadable = good("unreadable.mp4");
    ::chmod(locked.c_str(), 0);
    ::chmod(unreadable.c_str(), 0);
    found = LibraryScanner().scan(root);
    for (const auto& r : found) {
        EXPECT_EQ(r.path.find("/locked/"), std::string::npos);
        EXPECT_NE(r.path, unreadable);
    }
}

TEST(LibraryOrder, PlaylistOrderComesFromTheNameKey)
{
    // Characters 4..17 decide: the earlier time first whatever the prefix.
    EXPECT_TRUE(pmLessByFileDate("PARK200101-110000F.MP4", "EMER200101-120000F.MP4"));
    EXPECT_FALSE(pmLessByFileDate("EMER200101-120000F.MP4", "PARK200101-110000F.MP4"));
    // Same key: full names descending.
    EXPECT_TRUE(pmLessByFileDate("FILE200101-120000F.MP4", "EMER200101-120000F.MP4"));
    EXPECT_FALSE(pmLessByFileDate("EMER200101-120000F.MP4", "FILE200101-120000F.MP4"));
    EXPECT_FALSE(pmLessByFileDate("A.MP4", "A.MP4"));
    // 18 characters or fewer compare whole; 19 uses the key.
    EXPECT_EQ(pmFileDateSortKey("FILE200101-12000.MP4").size(), 14u);
    EXPECT_EQ(pmFileDateSortKey("123456789012345678"), "123456789012345678");
    EXPECT_EQ(pmFileDateSortKey("1234567890123456789"), "56789012345678");
    EXPECT_TRUE(pmLessByFileDate("A.MP4", "CLIP.MP4"));
    // Characters, not bytes: a multi-byte prefix yields the same key.
    EXPECT_EQ(pmFileDateSortKey("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"
                                "F200101-120000F.MP4"),
              "200101-120000F");

    const std::vector<std::string> lib = {"/c/FILE200102-080000F.MP4", "/c/x/EVEN200101-090000F.MP4",
                                          "/c/FILE200101-090000F.MP4", "/c/y/FILE200101-090000F.MP4",
                                          "/c/PARK191231-235959F.MP4"};
    // Equal names keep scan order (stable).
    EXPECT_EQ(pmSortByFileDate(lib), (std::vector<std::size_t>{4, 2, 3, 1, 0}));

    // Newest still present, walking back from the end of the playlist order.
    std::vector<std::string> present = lib;
    auto exists = [&](const std::string& p) {
        return std::find(present.begin(), present.end(), p) != present.end();
    };
    EXPECT_EQ(pmNewestExistingRecording(lib, exists), std::optional<std::size_t>(0));
    present.erase(present.begin());
    EXPECT_EQ(pmNewestExistingRecording(lib, exists), std::optional<std::size_t>(1));
    present.clear();
    EXPECT_EQ(pmNewestExistingRecording(lib, exists), std::nullopt);
}

TEST(LibraryOrder, DayTestUsesTheLocalCalendar)
{
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz ? oldTz : "";
    ::setenv("TZ", "JST-9", 1);
    ::tzset();
    // 2020-01-01 15:30 UTC is already 2 January in Japan.
    const int64_t when = int64_t(1577892600) * 1000;
    const auto day = pmLocalDayOf(when);
    ASSERT_TRUE(day);
    EXPECT_EQ(day->year, 2020);
    EXPECT_EQ(day->month, 1);
    EXPECT_EQ(day->day, 2);
    EXPECT_TRUE(pmIsMediaExistByDate({std::nullopt, when}, 2020, 1, 2));
    EXPECT_FALSE(pmIsMediaExistByDate({std::nullopt, when}, 2020, 1, 1));
    EXPECT_FALSE(pmIsMediaExistByDate({}, 2020, 1, 2));
    // Just before the epoch stays on 1 January 1970 09:00 minus 1 ms in Japan.
    EXPECT_EQ(pmLocalDayOf(-1)->day, 1);

    // The days worked out once give the same answers.
    const MediaDays days({std::nullopt, when, when + 3600 * 1000, int64_t(1577892600 + 86400) * 1000});
    EXPECT_EQ(days.size(), 2u);
    EXPECT_TRUE(days.contains(2020, 1, 2));
    EXPECT_TRUE(days.contains(2020, 1, 3));
    EXPECT_FALSE(days.contains(2020, 1, 1));
    EXPECT_FALSE(days.contains(2020, 1, 0));
    EXPECT_FALSE(MediaDays(std::vector<std::optional<int64_t>>{}).contains(2020, 1, 2));
    // On the night the clocks go forward, 03:30 is only 2.5 hours after
    // midnight: 23:30 the evening before must stay on its own day.
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    auto local = [](int y, int mo, int d, int h, int mi) {
        std::tm t{};
        t.tm_year = y - 1900;
        t.tm_mon = mo - 1;
        t.tm_mday = d;
        t.tm_hour = h;
        t.tm_min = mi;
        t.tm_isdst = -1;
        return int64_t(std::mktime(&t)) * 1000;
    };
    const MediaDays spring({local(2021, 3, 28, 3, 30), local(2021, 3, 27, 23, 30)});
    EXPECT_TRUE(spring.contains(2021, 3, 27));
    EXPECT_TRUE(spring.contains(2021, 3, 28));
    const MediaDays autumn(
        {local(2021, 10, 31, 23, 59), local(2021, 10, 31, 0, 1), local(2021, 11, 1, 0, 0)});
    EXPECT_EQ(autumn.size(), 2u);
    EXPECT_TRUE(autumn.contains(2021, 11, 1));
    if (oldTz)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST_F(LibraryScanTest, ProbesSharedAmongThreadsKeepTheWalksOrderAndLogLines)
{
    // Enough candidates in enough folders for the helpers to start, between
    // sub-folders, beside logs, failed probes and a link.
    const std::string logPath = root + "/../" + fs::path(root).filename().string() + ".log";
    pmSetLogFilePath(logPath);
    std::vector<std::string> tooShort;
    for (int day = 0; day < 6; ++day) {
        const std::string d = "DCIM/day" + std::to_string(day);
        for (int i = 0; i < 40; ++i) {
            const std::string stem = d + (i % 2 ? "/F/" : "/R/") + "FILE2001" + std::to_string(10 + day) +
                                     "-12" + std::to_string(10 + i) + "00";
            good(stem + (i % 3 == 0 ? ".AVI" : ".MP4"));
            writeFile(root + "/" + stem + ".log", "$GPRMC\n");
            if (i % 13 == 5) {
                const std::string path = root + "/" + stem + "X.MP4";
                writeFile(path,
                          ftyp() + moov(mvhd(600, 100) + trak()) + atom("mdat", std::string(3000, '\0')));
                tooShort.push_back(path);
            }
            if (i % 17 == 3)
                writeFile(root + "/" + stem + "bad.mp4", std::string(4096, '\0'));
        }
    }
    fs::create_symlink(root + "/DCIM/day2/R/FILE200112-121000.MP4", root + "/DCIM/linked.MP4");

    std::vector<std::string> expected;
    referenceWalk(root, expected);
    ASSERT_GT(expected.size(), 200u);

    // One at a time (a watcher of each file) and shared out give the same
    // library, dates and all, run after run.
    std::vector<std::string> watched;
    LibraryScanner oneByOne;
    oneByOne.onFileOffered = [&](const std::string& path, bool admitted) {
        if (admitted)
            watched.push_back(path);
    };
    const std::vector<ScannedRecording> single = oneByOne.scan(root);
    pmSetLogFilePath({});
    std::remove(logPath.c_str());
    pmSetLogFilePath(logPath);
    const auto caller = std::this_thread::get_id();
    int progress = 0;
    bool progressElsewhere = false;
    LibraryScanner shared;
    shared.onProgress = [&] {
        ++progress;
        progressElsewhere = progressElsewhere || std::this_thread::get_id() != caller;
    };
    const std::vector<ScannedRecording> found = shared.scan(root);
    pmSetLogFilePath({});
    EXPECT_EQ(paths(found), expected);
    EXPECT_EQ(paths(single), expected);
    EXPECT_EQ(watched, expected);
    ASSERT_EQ(found.size(), single.size());
    for (std::size_t i = 0; i < found.size(); ++i)
        EXPECT_EQ(found[i].mtimeMsecs, single[i].mtimeMsecs) << found[i].path;
    EXPECT_GT(progress, 6);
    EXPECT_FALSE(progressElsewhere);
    EXPECT_EQ(shared.currentLevel(), 0);
    for (int run = 0; run < 3; ++run)
        EXPECT_EQ(paths(LibraryScanner().scan(root)), expected);

    // The too-short recordings are logged once each, in the walk's order.
    std::ifstream log(logPath);
    std::vector<std::string> logged;
    for (std::string line; std::getline(log, line);) {
        const std::string marker = "Duration is too short, filter out it - ";
        const auto at = line.find(marker);
        if (at != std::string::npos)
            logged.push_back(line.substr(at + marker.size()));
    }
    std::remove(logPath.c_str());
    std::vector<std::string> walkOrder;
    LibraryScanner everything;
    everything.onFileOffered = [&](const std::string& path, bool) {
        if (std::find(tooShort.begin(), tooShort.end(), path) != tooShort.end())
            walkOrder.push_back(path);
    };
    everything.scan(root);
    ASSERT_FALSE(walkOrder.empty());
    EXPECT_EQ(logged, walkOrder);
}

TEST_F(LibraryScanTest, ModelNameFromNearestDeviceXml)
{
    const std::string card = mkdir("card/DCIM/Movie");
    EXPECT_EQ(pmGetModelName(card), "");
    writeFile(root + "/card/DEVICE.XML",
              "<?xml version=\"1.0\"?><Device><ProductName>ABCDEFGHIJKLMNOPQRSTUVWXY</ProductName>"
              "<ProductName>Other</ProductName></Device>");
    EXPECT_EQ(pmGetModelName(card), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(pmGetModelName(card + "/"), "ABCDEFGHIJKLMNOPQRST");

    // The nearest file decides even when it names nothing.
    const std::string near = root + "/card/DCIM/DEVICE.XML";
    for (const std::string& text :
         {std::string("<ProductName></ProductName>"), std::string("<ProductName>X"),
          std::string("</ProductName><ProductName>X"), std::string("<ProductName>\xff\xfe</ProductName>")}) {
        writeFile(near, text);
        EXPECT_EQ(pmGetModelName(card), "") << text;
    }

    // Cut after 20 characters, never inside one.
    std::string kana;
    for (int i = 0; i < 25; ++i)
        kana += "\xe3\x81\x82";
    writeFile(near, "<ProductName>" + kana + "</ProductName>");
    EXPECT_EQ(pmGetModelName(card), kana.substr(0, 60));

    // A 1 GiB file costs a bounded read: the name near the top is found, one
    // beyond the read limit is not.
    writeFile(near, "<ProductName>Big</ProductName>");
    fs::resize_file(near, uint64_t(1) << 30);
    EXPECT_EQ(pmGetModelName(card), "Big");
    std::ofstream(near, std::ios::trunc).close();
    fs::resize_file(near, uint64_t(1) << 30);
    {
        std::fstream out(near, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(kDeviceXmlReadLimit + 10);
        out << "<ProductName>Far</ProductName>";
    }
    EXPECT_EQ(pmGetModelName(card), "");
    // A multi-byte character cut by the read limit is not an encoding error.
    std::string edge = "<ProductName>Edge</ProductName>";
    edge.resize(kDeviceXmlReadLimit - 1, ' ');
    writeFile(near, edge + "\xe3\x81\x82 tail");
    EXPECT_EQ(pmGetModelName(card), "Edge");
}
