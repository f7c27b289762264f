// Whole cards held against the core's name rules, probes, scanner and track
// readers: the manifest must say exactly what the rest of the system will see.
#include "MediaGen.h"
#include "TestSupport.h"
#include "core/AviTrack.h"
#include "core/ContainerProbe.h"
#include "core/FileRules.h"
#include "core/GpsList.h"
#include "core/GpsParser.h"
#include "core/LibraryScan.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>

using namespace mediagen;
using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

bool isRecordingRow(const ManifestEntry& e)
{
    return e.kind != "log" && e.kind != "device";
}

std::set<std::string> filesOnDisk(const fs::path& root)
{
    std::set<std::string> out;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (item.is_regular_file())
            out.insert(fs::relative(item.path(), root).string());
    }
    out.erase(kManifestName);
    return out;
}

int wholeSeconds(double s)
{
    return static_cast<int>(std::ceil(s - 1e-9));
}

struct Card {
    TempDir dir;
    std::vector<ManifestEntry> rows;
    std::string abs(const std::string& rel) const { return dir.file(rel); }
};

} // namespace

// One default card shared by the tests that only read it.
class CardTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        shared = new Card;
        std::string error;
        ASSERT_TRUE(makeCard(shared->dir.path.string(), CardSpec{}, &shared->rows, &error)) << error;
    }
    static void TearDownTestSuite()
    {
        delete shared;
        shared = nullptr;
    }
    static const Card& testCard() { return *shared; }
    static Card* shared;
};

Card* CardTest::shared = nullptr;

TEST_F(CardTest, ManifestListsEveryFileAndAgreesWithTheNameRules)
{
    const Card& card = testCard();
    std::vector<ManifestEntry> fromFile;
    ASSERT_TRUE(readManifest(card.abs(kManifestName), fromFile));
    ASSERT_EQ(fromFile.size(), card.rows.size());
    std::set<std::string> listed;
    for (std::size_t i = 0; i < fromFile.size(); ++i) {
        EXPECT_EQ(manifestLine(fromFile[i]), manifestLine(card.rows[i]));
        EXPECT_TRUE(listed.insert(fromFile[i].path).second) << "listed twice: " << fromFile[i].path;
    }
    EXPECT_EQ(filesOnDisk(card.dir.path), listed);

    uint64_t bytes = 0;
    std::set<std::string> rules, prefixes, days;
    int longNames = 0, shortNames = 0;
    for (const ManifestEntry& e : card.rows) {
        const std::string path = card.abs(e.path);
        struct stat st {
        };
        ASSERT_EQ(::stat(path.c_str(), &st), 0) << e.path;
        bytes += static_cast<uint64_t>(st.st_size);
        EXPECT_EQ(st.st_mtime, e.mtime) << e.path;
        if (!isRecordingRow(e))
            continue;
        const MediaContainerKind kind = pmGetMediaType(path);
        const std::string expectKind = kind == kMediaAvi   ? "AVI"
                                       : kind == kMediaMov ? "MOV"
                                       : kind == kMediaMp4 ? "MP4"
                                                           : "";
        EXPECT_EQ(expectKind, e.container) << e.path;
        EXPECT_EQ(pmGetFileType(path), e.type) << e.path;
        EXPECT_EQ(pmGetCameraType(path), e.camera) << e.path;
        EXPECT_EQ(pmGetGpsLogFile(path), e.log.empty() ? std::string() : card.abs(e.log)) << e.path;
        _SYSTEMTIME t;
        const bool timed = pmGetFileDateTime(path, t);
        if (!e.start.empty()) {
            ASSERT_TRUE(timed) << e.path;
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "%02d%02d%02d-%02d%02d%02d", t.wYear % 100, t.wMonth, t.wDay,
                          t.wHour, t.wMinute, t.wSecond);
            EXPECT_EQ(e.start, stamp) << e.path;
            // The file's date is the start time in its name, so the calendar shows it on that day.
            const std::tm* local = std::localtime(&e.mtime);
            EXPECT_EQ(local->tm_mday, t.wDay) << e.path;
            EXPECT_EQ(local->tm_hour, t.wHour) << e.path;
            days.insert(e.start.substr(0, 6));
        }
        if (!e.logRule.empty())
            rules.insert(e.logRule);
        const std::string base = pmGetFileName(path, true);
        (base.size() > 18 ? longNames : shortNames)++;
        if (e.admitted && base.size() >= 4)
            prefixes.insert(base.substr(
                0, base.rfind("BN", 0) == 0 || base.rfind("BE", 0) == 0 || base.rfind("BP", 0) == 0 ? 2 : 4));
    }
    EXPECT_EQ(rules, (std::set<std::string>{"log", "txt", "nmea", "NMEA", "N.NMEA", "folder-nmea",
                                            "folder-NMEA", "folder-N.NMEA", "ext-txt"}));
    for (const char* p : {"FILE", "EMER", "EVEN", "PARK", "BN", "BE", "BP"})
        EXPECT_TRUE(prefixes.count(p)) << p;
    EXPECT_GE(days.size(), 4u);
    EXPECT_GT(longNames, 10);
    EXPECT_GT(shortNames, 10);
    EXPECT_LT(bytes, 20u * 1024 * 1024);
}

TEST_F(CardTest, PairsLieBesideEachOtherAndInSiblingFoldersAndSortTogether)
{
    const Card& card = testCard();
    std::map<std::string, const ManifestEntry*> byPath;
    std::vector<std::string> admitted;
    for (const ManifestEntry& e : card.rows) {
        byPath[e.path] = &e;
        if (e.admitted)
            admitted.push_back(e.path);
    }
    int sameFolder = 0, siblingFolders = 0, lonely = 0;
    for (const ManifestEntry& e : card.rows) {
        if (e.camera == 0)
            continue;
        ASSERT_FALSE(e.partner.empty()) << e.path;
        const auto partner = byPath.find(e.partner);
        if (partner == byPath.end()) {
            ++lonely;
            // The partner is looked for in the sibling folder whose last character is the camera's.
            EXPECT_EQ(fs::path(e.partner).parent_path().string().back(), e.camera == 1 ? '2' : 'M');
            continue;
        }
        EXPECT_EQ(partner->second->camera, 3 - e.camera);
        EXPECT_EQ(partner->second->partner, e.path);
        const bool same = fs::path(e.partner).parent_path() == fs::path(e.path).parent_path();
        (same ? sameFolder : siblingFolders)++;
    }
    EXPECT_GT(sameFolder, 0);
    EXPECT_GT(siblingFolders, 0);
    EXPECT_GT(lonely, 0);

    // In the playlist order a front recording and its rear partner are neighbours, front first.
    const auto order = pmSortByFileDate(admitted);
    std::map<std::string, std::size_t> position;
    for (std::size_t i = 0; i < order.size(); ++i)
        position[admitted[order[i]]] = i;
    int checked = 0;
    for (const ManifestEntry& e : card.rows) {
        if (e.camera == 1 && position.count(e.partner)) {
            EXPECT_EQ(position[e.partner], position[e.path] + 1) << e.path;
            ++checked;
        }
    }
    EXPECT_GE(checked, 6);
}

TEST_F(CardTest, ScanAndProbesAdmitExactlyWhatTheManifestSays)
{
    const Card& card = testCard();
    LibraryScanner scanner;
    std::set<std::string> scanned;
    for (const ScannedRecording& r : scanner.scan(card.dir.path.string()))
        scanned.insert(fs::relative(r.path, card.dir.path).string());
    std::set<std::string> expected;
    for (const ManifestEntry& e : card.rows) {
        if (e.admitted)
            expected.insert(e.path);
        if (isRecordingRow(e) && e.kind != "hidden") {
            EXPECT_EQ(LibraryScanner::admit(card.abs(e.path)), e.admitted == 1)
                << e.path << " (" << e.kind << ")";
        }
    }
    EXPECT_EQ(scanned, expected);
    EXPECT_EQ(pmGetModelName(card.abs("DCIM/100MEDIA_M")), "DRC-2000W");
}

TEST_F(CardTest, TracksReadBackThroughTheCoreReaders)
{
    const Card& card = testCard();
    int logs = 0, avis = 0;
    for (const ManifestEntry& e : card.rows) {
        if (!isRecordingRow(e))
            continue;
        const int secs = wholeSeconds(e.seconds);
        if (!e.log.empty() && e.camera != 2) {
            GpsList list;
            GpsParser parser;
            ASSERT_TRUE(parser.ParseFile(card.abs(e.log), &list)) << e.log;
            EXPECT_EQ(list.GetDataCount(), secs) << e.log;
            EXPECT_TRUE(list.IsGPSReady()) << e.log;
            EXPECT_TRUE(list.IsGSensorReady()) << e.log;
            EXPECT_NE(list.GetGpsData(0)->fLatitude(), 0.0f) << e.log;
            if (e.type == 1) {
                EXPECT_GT(std::max(list.GetMaxGValue(), -list.GetMinGValue()), 0.5f)
                    << "event spike in " << e.log;
            }
            ++logs;
        }
        if (e.kind.rfind("recording-avi-", 0) != 0)
            continue;
        ++avis;
        const std::string path = card.abs(e.path);
        GpsList list;
        const bool gps = pmGetAviGpsData(path, list, secs);
        if (e.kind == "recording-avi-track-1" || e.kind == "recording-avi-short-track") {
            EXPECT_TRUE(gps) << e.path;
            EXPECT_EQ(list.GetDataCount(), secs) << e.path;
            EXPECT_TRUE(list.IsGPSReady() && list.IsGSensorReady()) << e.path;
        } else if (e.kind == "recording-avi-track-2") {
            EXPECT_FALSE(gps) << e.path;
            GpsList g;
            EXPECT_TRUE(pmGetAviSensorData(path, g)) << e.path;
            EXPECT_EQ(g.GetDataCount(), secs);
        } else if (e.kind == "recording-avi-track-3") {
            EXPECT_TRUE(gps) << "positions without a G-sensor chunk are a track: " << e.path;
            EXPECT_EQ(list.GetDataCount(), secs) << "the positions stay";
        } else if (e.kind == "recording-avi-track-4") {
            GpsList g;
            EXPECT_FALSE(gps) << e.path;
            EXPECT_FALSE(pmGetAviSensorData(path, g)) << e.path;
        }
    }
    EXPECT_GT(logs, 10);
    EXPECT_GE(avis, 6);
}

TEST(Card, SameSeedSameBytesOtherSeedOtherCard)
{
    TempDir a, b, c;
    CardSpec cfg;
    cfg.seed = 5;
    cfg.count = 3;
    ASSERT_TRUE(makeCard(a.path.string(), cfg));
    ASSERT_TRUE(makeCard(b.path.string(), cfg));
    cfg.seed = 6;
    ASSERT_TRUE(makeCard(c.path.string(), cfg));
    const auto files = filesOnDisk(a.path);
    EXPECT_EQ(files, filesOnDisk(b.path));
    for (const std::string& f : files)
        EXPECT_EQ(slurp(a.file(f)), slurp(b.file(f))) << f;
    EXPECT_EQ(slurp(a.file(kManifestName)), slurp(b.file(kManifestName)));
    EXPECT_NE(slurp(a.file(kManifestName)), slurp(c.file(kManifestName)));
}

TEST(Card, DemoPresetIsAPlausibleFirstLibrary)
{
    TempDir dir;
    const auto t0 = std::chrono::steady_clock::now();
    std::string error;
    ASSERT_TRUE(makeDemoCard(dir.path.string(), &error)) << error;
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 60.0);
    std::vector<ManifestEntry> rows;
    ASSERT_TRUE(readManifest(dir.file(kManifestName), rows));

    std::set<std::string> days;
    std::set<int> types;
    int recordings = 0, fronts = 0, rears = 0;
    double topSpeed = 0, strongestG = 0;
    for (const ManifestEntry& e : rows) {
        if (!isRecordingRow(e))
            continue;
        ++recordings;
        EXPECT_EQ(e.admitted, 1);
        EXPECT_TRUE(LibraryScanner::admit(dir.file(e.path))) << e.path;
        days.insert(e.start.substr(0, 6));
        types.insert(e.type);
        (e.camera == 1 ? fronts : rears)++;
        EXPECT_FALSE(e.partner.empty());
        EXPECT_GE(e.seconds, 10.0);
        if (e.camera == 1 && !e.log.empty()) {
            GpsList list;
            GpsParser parser;
            ASSERT_TRUE(parser.ParseFile(dir.file(e.log), &list));
            for (int i = 0; i < list.GetDataCount(); ++i)
                topSpeed = std::max<double>(topSpeed, list.GetGpsData(i)->fSpeed());
            if (e.type == 1)
                strongestG = std::max<double>(list.GetMaxGValue(), -list.GetMinGValue());
        }
    }
    // Every front recording has its rear partner right after it in the playlist order.
    std::vector<std::string> paths;
    for (const ManifestEntry& e : rows)
        if (isRecordingRow(e))
            paths.push_back(e.path);
    const auto order = pmSortByFileDate(paths);
    for (std::size_t i = 0; i + 1 < order.size(); i += 2) {
        EXPECT_EQ(pmGetCameraType(paths[order[i]]), kCameraMain) << paths[order[i]];
        EXPECT_EQ(pmGetCameraType(paths[order[i + 1]]), kCameraRear) << paths[order[i + 1]];
    }
    EXPECT_EQ(recordings, 12);
    EXPECT_EQ(fronts, 6);
    EXPECT_EQ(rears, 6);
    EXPECT_EQ(days.size(), 3u);
    EXPECT_EQ(types, (std::set<int>{0, 1, 2}));
    EXPECT_GT(topSpeed, 50.0);
    EXPECT_LE(topSpeed, 85.0);
    EXPECT_GT(strongestG, 1.0);
    const MediaInfo m = readMedia(dir.file(rows[1].path));
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(m.width, 640);
    EXPECT_EQ(m.streams, 2) << "demo recordings carry sound";
}
