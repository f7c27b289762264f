// Track readers against what a hostile or damaged card may hold: FIFOs under
// recording and log names, chunks that claim gigabytes, walks through long
// regions that hold no chunk, and positions that are off the globe.
#include "GpsTestSupport.h"
#include "SanitizerBuild.h"
#include "core/AviTrack.h"
#include "core/GpsList.h"
#include "core/GpsParser.h"
#include "core/TrackLoader.h"

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace gpstest;

namespace
{

// Runs `body` in a child process that is killed after `seconds` (a reader that
// blocks or runs away must not take the test run with it) and, when
// `dataLimit` is set, that cannot allocate more than that many bytes of heap
// and private writable memory. Returns the child's exit code, 128 + signal
// when it was killed, or -1 when it could not be run.
int runLimited(unsigned seconds, rlim_t dataLimit, const std::function<bool()>& body)
{
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        ::alarm(seconds);
        if (dataLimit) {
            const struct rlimit limit = {dataLimit, dataLimit};
            if (::setrlimit(RLIMIT_DATA, &limit) != 0)
                ::_exit(3);
        }
        bool ok = false;
        try {
            ok = body();
        } catch (...) {
            ::_exit(4); // std::bad_alloc: the reader wanted more than the limit
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return -1;
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

// A file of `size` bytes that starts with `head` and holds `tail` at
// `tailOffset`; everything between is a hole, so it costs no disk.
std::string sparseFile(const std::string& path, const std::string& head, int64_t size,
                       const std::string& tail = "", int64_t tailOffset = 0)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::pwrite(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
    if (!tail.empty()) {
        EXPECT_EQ(::pwrite(fd, tail.data(), tail.size(), tailOffset), static_cast<ssize_t>(tail.size()));
    }
    EXPECT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
    return path;
}

std::string position(int k)
{
    return gpsRecord(139, static_cast<uint32_t>(k) * 100000u, 35, static_cast<uint32_t>(k) * 100000u,
                     static_cast<uint16_t>(k));
}

// The start of an AVI whose index is followed by nothing the walk knows.
std::string aviHead()
{
    return std::string("RIFF\0\0\0\0AVI LIST\4\0\0\0hdrlidx1\0\0\0\0", 32);
}

} // namespace

TEST(HostileTrack, FifosUnderTrackNamesAreNotWaitedFor)
{
    TempDir dir;
    const std::string fifoAvi = dir.file("FILE250101-100000_M.AVI");
    const std::string fifoLog = dir.file("FILE250101-110000_M.NMEA");
    ASSERT_EQ(::mkfifo(fifoAvi.c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(fifoLog.c_str(), 0644), 0);
    // A recording whose companion log is a FIFO: the loader finds the log by
    // name and must turn it away rather than wait for a writer.
    const std::string mp4 = dir.write("FILE250101-110000_M.MP4", "not probed here");

    const int status = runLimited(10, 0, [&] {
        GpsList list;
        GpsParser parser;
        if (parser.ParseFile(fifoLog, &list) || pmGetAviGpsData(fifoAvi, list, 60) ||
            pmGetAviSensorDataAligned(fifoAvi, list, 60) || pmGetAviSensorData(fifoAvi, list))
            return false;
        const TrackLoadResult fromLog = loadTrack(mp4, 60.0, list);
        const TrackLoadResult fromAvi = loadTrack(fifoAvi, 60.0, list);
        return fromLog.source == TrackSource::NmeaLog && !fromLog.loaded && !fromAvi.loaded &&
               list.GetDataCount() == 0;
    });
    EXPECT_EQ(status, 0) << "0 = refused in time, 1 = read something, 142 = blocked (killed by the alarm)";

    // A folder under a log's name is no log either.
    GpsList list;
    GpsParser parser;
    EXPECT_FALSE(parser.ParseFile(dir.path.string(), &list));
}

TEST(HostileTrack, HugeDeclaredChunksStayWithinMemoryAndTime)
{
    if (kAddressSanitizer)
        GTEST_SKIP() << "the sanitizer's shadow memory does not fit a data limit";
    TempDir dir;
    constexpr int64_t kSize = int64_t(512) << 20;
    // Each chunk claims 2^31-1 bytes; the file really holds 512 MB of zeros
    // after it, that is 19 million position or 26 million G records.
    const std::string sllt =
        sparseFile(dir.file("sllt.avi"), aviHead() + "SLLT" + std::string("\xff\xff\xff\x7f", 4), kSize);
    const std::string sglt =
        sparseFile(dir.file("sglt.avi"), aviHead() + "SGLT" + std::string("\xff\xff\xff\x7f", 4), kSize);

    // 48 MB of heap is plenty for a day of samples; the old readers took gigabytes.
    const int status = runLimited(60, rlim_t(48) << 20, [&] {
        GpsList list;
        pmGetAviGpsData(sllt, list, 60);
        if (list.GetDataCount() != GpsList::kMaxVideoSeconds)
            return false;
        list.ClearAllData();
        pmGetAviSensorDataAligned(sglt, list, 60);
        if (list.GetDataCount() != GpsList::kMaxVideoSeconds)
            return false;
        list.ClearAllData();
        pmGetAviSensorData(sglt, list);
        if (list.GetDataCount() != GpsList::kMaxVideoSeconds)
            return false;
        // The same through the loader, which also pads to the video length.
        return loadTrack(sllt, 60.0, list).source == TrackSource::AviChunks &&
               list.GetDataCount() == GpsList::kMaxVideoSeconds &&
               pmFormatTrackCsv(list).size() < (16u << 20);
    });
    EXPECT_EQ(status, 0) << "1 = wrong sample count, 4 = out of memory, 142 = too slow";
}

TEST(HostileTrack, WalkPastTheIndexKeepsItsFourByteSteps)
{
    TempDir dir;
    const std::string records = position(1) + position(2) + position(3);
    const std::string sllt = "SLLT" + le32(static_cast<uint32_t>(records.size())) + records;
    // Filler words past the index: bytes that start no id, words that start
    // like one but are not ("Lxyz", "Sabc", "gsex"), and zero runs.
    std::string filler;
    for (int i = 0; i < 300000; ++i) {
        switch (i % 7) {
        case 0:
            filler += "Lxyz";
            break;
        case 1:
            filler += "Sabc";
            break;
        case 2:
            filler += "gsex";
            break;
        case 3:
            filler += std::string(4, '\x7f');
            break;
        default:
            filler += std::string(4, '\0');
        }
    }
    // 1.2 MB of filler crosses the reader's block boundary before the chunk.
    GpsList list;
    const std::string found = dir.write("found.avi", aviHead() + filler + sllt);
    pmGetAviGpsData(found, list, 0);
    ASSERT_EQ(list.GetDataCount(), 3);
    EXPECT_NEAR(list.GetGpsData(2)->fLatitude(), 35.003, 1e-4);

    // The same chunk two bytes off the word grid is never met.
    list.ClearAllData();
    const std::string offGrid = dir.write("offgrid.avi", aviHead() + filler + std::string(2, '\0') + sllt);
    EXPECT_FALSE(pmGetAviGpsData(offGrid, list, 0));
    EXPECT_EQ(list.GetDataCount(), 0);

    // A hole of 8 MB, then the chunk on the grid: found across the hole; one
    // that starts two bytes after a hole ends off the grid: not found.
    const int64_t start = static_cast<int64_t>(aviHead().size());
    const int64_t holeEnd = start + (int64_t(8) << 20);
    const std::string acrossHole =
        sparseFile(dir.file("hole.avi"), aviHead(), holeEnd + 4 + static_cast<int64_t>(sllt.size()),
                   "\x01\x02\x03\x04" + sllt, holeEnd);
    list.ClearAllData();
    pmGetAviGpsData(acrossHole, list, 0);
    EXPECT_EQ(list.GetDataCount(), 3);
    const std::string afterHoleOffGrid =
        sparseFile(dir.file("hole2.avi"), aviHead(), holeEnd + 2 + static_cast<int64_t>(sllt.size()),
                   "xx" + sllt, holeEnd);
    list.ClearAllData();
    EXPECT_FALSE(pmGetAviGpsData(afterHoleOffGrid, list, 0));
    EXPECT_EQ(list.GetDataCount(), 0);
}

TEST(HostileTrack, PositionsOffTheGlobeAreNoFix)
{
    // NMEA: 9999.9999 N would be latitude 100.67, 99999.9999 E longitude 1000.67.
    TempDir dir;
    const char* kGood = "$GPRMC,1,A,3500.000,N,13900.000,E,10.0,90.0,,,\n";
    const char* kFarLat = "$GPRMC,2,A,9999.9999,N,13900.000,E,10.0,90.0,,,\n";
    const char* kFarLon = "$GPRMC,3,A,3500.000,N,99999.9999,E,10.0,90.0,,,\n";
    GpsList list;
    GpsParser parser;
    ASSERT_TRUE(
        parser.ParseFile(dir.write("a.log", std::string(kFarLat) + kFarLon + kGood + kFarLat), &list));
    ASSERT_EQ(list.GetDataCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(list.GetGpsData(i)->fLatitude(), 35.0f) << i;
        EXPECT_FLOAT_EQ(list.GetGpsData(i)->fLongitude(), 139.0f) << i;
    }
    EXPECT_FLOAT_EQ(list.GetGpsData(3)->fSpeed(), -1.0f); // no fix after the first one
    // The edges of the globe are positions.
    list.ClearAllData();
    GpsParser edge;
    edge.ParseFile(dir.write("b.log", "$GPRMC,1,A,9000.000,S,18000.000,W,0,0,,,\n"), &list);
    ASSERT_EQ(list.GetDataCount(), 1);
    EXPECT_FLOAT_EQ(list.GetGpsData(0)->fLatitude(), -90.0f);
    EXPECT_FLOAT_EQ(list.GetGpsData(0)->fLongitude(), -180.0f);

    // AVI: a record whose bytes are someone else's decodes far off the globe.
    float lat = 1, lon = 1, speed = 0;
    const std::string farLat = gpsRecord(139, 0, -30381, 0, 5);
    pmDecodeAviGpsRecord(reinterpret_cast<const unsigned char*>(farLat.data()), lat, lon, speed);
    EXPECT_EQ(lat, 0.0f);
    EXPECT_EQ(lon, 0.0f);
    const std::string farLon = gpsRecord(2707, 0, 35, 0, 5);
    pmDecodeAviGpsRecord(reinterpret_cast<const unsigned char*>(farLon.data()), lat, lon, speed);
    EXPECT_EQ(lat, 0.0f);
    EXPECT_EQ(lon, 0.0f);
    EXPECT_EQ(speed, 5.0f);
    const std::string path = dir.write(
        "far.avi", avi(chunk("SLLT", farLat + position(1) + farLon) + chunk("SGLT", std::string(20, '\0'))));
    list.ClearAllData();
    pmGetAviGpsData(path, list, 3);
    ASSERT_EQ(list.GetDataCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(list.GetGpsData(i)->fLatitude(), 35.001, 1e-4) << i;
        EXPECT_NEAR(list.GetGpsData(i)->fLongitude(), 139.001, 1e-4) << i;
    }
}

TEST(HostileTrack, LogsNeverGrowATrackBeyondADay)
{
    // 100,000 position sentences without a fix: one sample per second up to a day.
    TempDir dir;
    std::string log;
    for (int i = 0; i < 100000; ++i)
        log += "$GPRMC\n";
    GpsList list;
    GpsParser parser;
    ASSERT_TRUE(parser.ParseFile(dir.write("long.log", log), &list));
    EXPECT_EQ(list.GetDataCount(), GpsList::kMaxVideoSeconds);
}
