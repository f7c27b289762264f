#include "core/FileRules.h"
#include "core/Log.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace
{
struct TempDir {
    fs::path path;
    TempDir()
    {
        path = fs::temp_directory_path() / ("rovix-rules-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(reinterpret_cast<uintptr_t>(this)));
        fs::create_directories(path);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path, ec);
    }
    std::string touch(const std::string& rel, bool writable = true) const
    {
        const fs::path p = path / rel;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "x";
        ::chmod(p.c_str(), writable ? 0644 : 0444);
        return p.string();
    }
};
} // namespace

TEST(FileRules, NamesAndContainerKind)
{
    EXPECT_EQ(pmGetFileName("/a/b.c/FILE0001.MOV", false), "FILE0001.MOV");
    EXPECT_EQ(pmGetFileName("/a/b.c/FILE0001.MOV", true), "FILE0001");
    EXPECT_EQ(pmGetFileName("file:///card/x.y.mp4", true), "x.y");
    EXPECT_EQ(pmGetPathWithoutExtension("/a/b.c/NOEXT"), "/a/b.c/NOEXT");
    EXPECT_EQ(pmGetMediaType("/x/CLIP.MOV"), kMediaMov);
    EXPECT_EQ(pmGetMediaType("/x/clip.Mp4"), kMediaMp4);
    EXPECT_EQ(pmGetMediaType("/x/clip.avi"), kMediaAvi);
    EXPECT_EQ(pmGetMediaType("/x/CLIP.MKV"), kMediaUnknown);
    EXPECT_EQ(pmGetMediaType("/x.avi/CLIP"), kMediaUnknown);
    EXPECT_TRUE(pmIsDigitRun("FILE1234", 4));
    EXPECT_FALSE(pmIsDigitRun("FILE123", 4));
    EXPECT_FALSE(pmIsDigitRun("FILE12a4", 4));
}

TEST(FileRules, RecordingTypeWithFallback)
{
    TempDir dir;
    EXPECT_EQ(pmGetFileType(dir.touch("FILE1234abcd.MOV")), kRecordingNormal);
    EXPECT_EQ(pmGetFileType(dir.touch("EMER0001.MOV")), kRecordingEvent);
    EXPECT_EQ(pmGetFileType(dir.touch("even0001.mp4")), kRecordingEvent);
    EXPECT_EQ(pmGetFileType(dir.touch("PARK0001.MOV")), kRecordingParking);
    // No digit run after the prefix: the attribute fallback decides.
    EXPECT_EQ(pmGetFileType(dir.touch("FILEX234.MOV")), kRecordingNormal);
    EXPECT_EQ(pmGetFileType(dir.touch("ro/FILEX234.MOV", false)), kRecordingEvent);
    EXPECT_EQ(pmGetFileType(dir.touch("EMERGENCY.MOV")), kRecordingEvent);
    EXPECT_EQ(pmGetFileType(dir.touch("PARKING.MOV")), kRecordingNormal);
    EXPECT_EQ(pmGetFileType(dir.touch("ro2/PARKING.MOV", false)), kRecordingEvent);
    // Two-letter prefixes, upper-cased before comparing.
    EXPECT_EQ(pmGetFileType(dir.touch("bn123456.MP4")), kRecordingNormal);
    EXPECT_EQ(pmGetFileType(dir.touch("BE123456.MP4")), kRecordingEvent);
    EXPECT_EQ(pmGetFileType(dir.touch("BP123456.MP4")), kRecordingParking);
    // A four-letter match without digits never falls through to the two-letter test.
    EXPECT_EQ(pmGetFileType(dir.touch("ro3/FILE.MP4", false)), kRecordingEvent);
    // Missing file: not writable, so the fallback says Event; empty path is Normal.
    EXPECT_EQ(pmGetFileType((dir.path / "GONE.MOV").string()), kRecordingEvent);
    EXPECT_EQ(pmGetFileType(""), kRecordingNormal);
}

TEST(FileRules, MotorAndCamera)
{
    EXPECT_EQ(pmGetMotorType(""), kMotorNone);
    EXPECT_EQ(pmGetMotorType("/c/bn123456.MP4"), kMotorTwoLetter);
    EXPECT_EQ(pmGetMotorType("/c/BX123456.MP4"), kMotorStandard);
    EXPECT_EQ(pmGetMotorType("/c/FILE0001.MOV"), kMotorStandard);

    EXPECT_EQ(pmGetCameraType(""), kCameraNone);
    // 18 characters: never a pair member, whatever the last letter.
    EXPECT_EQ(pmGetCameraType("/c/FILE210101-120000M.MOV"), kCameraNone);
    EXPECT_EQ(pmGetCameraType("/c/FILE210101-120000_M.MOV"), kCameraMain);
    EXPECT_EQ(pmGetCameraType("/c/FILE210101-120000_m.MOV"), kCameraMain);
    EXPECT_EQ(pmGetCameraType("/c/FILE210101-120000_2.MOV"), kCameraRear);
    EXPECT_EQ(pmGetCameraType("/c/FILE210101-12000002.MOV"), kCameraRear);
    EXPECT_EQ(pmGetCameraType("/c/FILE210101-120000X2.MOV"), kCameraRear);
    EXPECT_EQ(pmGetCameraType("/c/FILE210101-120000XF.MOV"), kCameraNone);
    EXPECT_EQ(pmGetCameraType("/c/FILE210101-1200ABXM.MOV"), kCameraNone);
}

TEST(FileRules, StartTimeFromName)
{
    _SYSTEMTIME t;
    t.wYear = 99;
    EXPECT_FALSE(pmGetFileDateTime("/c/FILE210101-1200.MOV", t)); // 16 characters
    EXPECT_EQ(t.wYear, 0);
    ASSERT_TRUE(pmGetFileDateTime("/c/FILE210305-142233M.MOV", t));
    EXPECT_EQ(t.wYear, 2021);
    EXPECT_EQ(t.wMonth, 3);
    EXPECT_EQ(t.wDay, 5);
    EXPECT_EQ(t.wHour, 14);
    EXPECT_EQ(t.wMinute, 22);
    EXPECT_EQ(t.wSecond, 33);
    EXPECT_EQ(t.wDayOfWeek, 0);
    // Not numbers read as 0, a leading digit as far as it goes; no range check.
    ASSERT_TRUE(pmGetFileDateTime("/c/FILEab1x99-2561zz.MOV", t));
    EXPECT_EQ(t.wYear, 2000);
    EXPECT_EQ(t.wMonth, 1);
    EXPECT_EQ(t.wDay, 99);
    EXPECT_EQ(t.wHour, 25);
    EXPECT_EQ(t.wMinute, 61);
    EXPECT_EQ(t.wSecond, 0);
}

TEST(FileRules, CompanionLogOrder)
{
    TempDir dir;
    const std::string video = dir.touch("DCIM/FILE210101-120000M.MOV");
    const std::string stem = (dir.path / "DCIM/FILE210101-120000M").string();
    EXPECT_EQ(pmGetGpsLogFile(video), "");

    // Folder named NMEA beside the recording's folder.
    dir.touch("NMEA/FILE210101-120000N.NMEA");
    EXPECT_EQ(pmGetGpsLogFile(video), (dir.path / "NMEA/FILE210101-120000N.NMEA").string());
    dir.touch("NMEA/FILE210101-120000M.NMEA");
    EXPECT_EQ(pmGetGpsLogFile(video), (dir.path / "NMEA/FILE210101-120000M.NMEA").string());
    dir.touch("NMEA/FILE210101-120000M.nmea");
    EXPECT_EQ(pmGetGpsLogFile(video), (dir.path / "NMEA/FILE210101-120000M.nmea").string());
    // Beside the recording, with the camera letter replaced by N.
    dir.touch("DCIM/FILE210101-120000N.NMEA");
    EXPECT_EQ(pmGetGpsLogFile(video), stem.substr(0, stem.size() - 1) + "N.NMEA");
    // A mixed-case extension is not tried.
    dir.touch("DCIM/FILE210101-120000M.Nmea");
    EXPECT_EQ(pmGetGpsLogFile(video), stem.substr(0, stem.size() - 1) + "N.NMEA");
    for (const char* ext : {".NMEA", ".nmea", ".txt", ".log"}) {
        dir.touch("DCIM/FILE210101-120000M" + std::string(ext));
        EXPECT_EQ(pmGetGpsLogFile(video), stem + ext);
    }

    const std::string clip = dir.touch("other/CLIP.MP4");
    dir.touch("other/CLIP.MP4.txt");
    EXPECT_EQ(pmGetGpsLogFile(clip), clip + ".txt");
    EXPECT_EQ(pmGetGpsLogFile(""), "");
}

TEST(Log, LineFormatAndReset)
{
    using namespace std::chrono;
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 11;
    tm.tm_mday = 7;
    tm.tm_hour = 9;
    tm.tm_min = 5;
    tm.tm_sec = 3;
    tm.tm_isdst = -1;
    const auto base = system_clock::from_time_t(std::mktime(&tm));
    EXPECT_EQ(pmFormatLogLine(base + milliseconds(7) + microseconds(999), "hello"),
              "2026-12-07 09:05:03.7 hello\n");
    EXPECT_EQ(pmFormatLogLine(base + milliseconds(123), "x"), "2026-12-07 09:05:03.123 x\n");

    TempDir dir;
    const fs::path log = dir.path / "RovixManagerLog_mac.txt";
    pmSetLogFilePath(log);
    pmSetClock([base] { return base; });
    pmWriteLog("first launch");
    pmResetLog();
    pmWriteLog("second launch");
    pmSetClock({});
    pmSetLogFilePath({});
    std::ifstream in(log);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all, "2026-12-07 09:05:03.0 second launch\n");
}

// The log's name is never followed: a link put there (before launch or
// while the program runs) is replaced by a fresh log and what it pointed at
// is left as it was; a folder or a pipe there makes the line be dropped.
TEST(Log, ALinkWhereTheLogGoesIsReplacedNeverWrittenThrough)
{
    auto read = [](const fs::path& p) {
        std::ifstream in(p);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    TempDir dir;
    const fs::path log = dir.path / "RovixManagerLog_mac.txt";
    const fs::path users = dir.path / "notes.txt";
    std::ofstream(users) << "the user's own\n";
    pmSetLogFilePath(log);

    fs::create_symlink(users, log); // put there while the program runs
    pmWriteLog("one");
    EXPECT_EQ(read(users), "the user's own\n");
    EXPECT_FALSE(fs::is_symlink(log));
    pmWriteLog("two");
    const std::string lines = read(log);
    EXPECT_NE(lines.find(" one\n"), std::string::npos);
    EXPECT_NE(lines.find(" two\n"), std::string::npos);

    // At launch: the reset removes the link itself, never its target.
    fs::remove(log);
    fs::create_symlink(users, log);
    pmResetLog();
    EXPECT_FALSE(fs::exists(fs::symlink_status(log)));
    EXPECT_EQ(read(users), "the user's own\n");
    // A dangling link would have made a file where it points.
    fs::create_symlink(dir.path / "made-by-link.txt", log);
    pmWriteLog("three");
    EXPECT_FALSE(fs::exists(dir.path / "made-by-link.txt"));
    EXPECT_NE(read(log).find(" three\n"), std::string::npos);

    // A pipe (nobody reading) or a folder: the line is dropped, nothing waits.
    fs::remove(log);
    ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0);
    pmWriteLog("four");
    EXPECT_TRUE(fs::is_fifo(log));
    fs::remove(log);
    fs::create_directory(log);
    pmWriteLog("five");
    EXPECT_TRUE(fs::is_directory(log));
    pmSetLogFilePath({});
}
