// rovixtool ingest, find and report on a temporary archive of generated
// cards: what goes in exactly once and verifies, what a second or a stopped
// run does, several ingests at once, and the answers on a fleet whose passes
// are known by construction.
#include "FleetTestSupport.h"
#include "StopSignalsWait.h"

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>

#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>

using namespace fleettest;

namespace
{

std::string sql(const std::string& archive, const std::string& query)
{
    return shell("sqlite3 " + quote(archive + "/catalogue.sqlite") + " " + quote(query)).out;
}

// The catalogue's hashes checked against the files by the shell's sha256sum.
bool catalogueVerifies(const std::string& archive)
{
    // An empty catalogue verifies (sha256sum would call no lines an error).
    if (sql(archive, "SELECT count(*) FROM files") == "0\n")
        return true;
    return shell("cd " + quote(archive) +
                 " && sqlite3 catalogue.sqlite \"SELECT sha256||'  '||archive_path FROM files\"" +
                 " | sha256sum --strict --quiet -c")
               .status == 0;
}

class FleetCommand : public ::testing::Test
{
protected:
    void SetUp() override { m_dir = makeTempDir("fleet"); }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string m_dir;
};

TEST_F(FleetCommand, IngestKeepsEveryRecordingOnceSkipsBadFilesAndChangesNothingTheSecondTime)
{
    const std::string card = m_dir + "/card";
    ASSERT_TRUE(mediagen::makeCard(card, mediagen::CardSpec{}));
    // What a real card may hold besides: a FIFO posing as a recording, a
    // loop of links, and a recording that cannot be read.
    ASSERT_EQ(::mkfifo((card + "/DCIM/100MEDIA_M/FILE210401-100000_M.MP4").c_str(), 0644), 0);
    fs::create_directory_symlink("..", card + "/DCIM/loop");
    const std::string archive = m_dir + "/archive";

    ToolRun first = tool("ingest --archive " + archive + " --vehicle 'van 7' " + card, m_dir);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("skipped\t" + card + "/DCIM/100MEDIA_M/FILE210401-100000_M.MP4\t"),
              std::string::npos);
    EXPECT_NE(first.out.find("skipped\t" + card + "/MISC/EMPTY.MP4\t"), std::string::npos);
    EXPECT_NE(first.out.find("logs copied"), std::string::npos) << first.out;
    EXPECT_TRUE(catalogueVerifies(archive));
    // Every admitted recording of the card exactly once, by content.
    const std::set<std::string> expected = recordingHashes(card);
    ASSERT_FALSE(expected.empty());
    const std::string got = sql(archive, "SELECT f.sha256 FROM recordings r JOIN files f ON f.id=r.file_id");
    std::set<std::string> hashes;
    int rows = 0;
    for (std::size_t at = 0; at + 64 <= got.size(); at += 65, ++rows)
        hashes.insert(got.substr(at, 64));
    EXPECT_EQ(hashes, expected);
    EXPECT_EQ(rows, int(expected.size()));
    // Filed by vehicle and the day the name states, under the original name.
    EXPECT_TRUE(fs::exists(archive + "/van 7/2021/03/15/FILE210315-081100_M.MP4"));
    EXPECT_EQ(sql(archive, "PRAGMA journal_mode"), "wal\n");

    const std::multiset<std::string> before = archivedFiles(archive);
    const std::string catalogued = sql(archive, "SELECT count(*) FROM files; SELECT count(*) FROM track");
    ToolRun second = tool("ingest --archive " + archive + " --vehicle 'van 7' " + card, m_dir);
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.out.find("ingest: nothing new: " + std::to_string(expected.size()) + " recordings"),
              std::string::npos)
        << second.out;
    EXPECT_EQ(archivedFiles(archive), before);
    EXPECT_EQ(sql(archive, "SELECT count(*) FROM files; SELECT count(*) FROM track"), catalogued);

    // Names that cannot be one folder are refused before anything is made.
    for (const char* name : {"a/b", "..", "tab\there", ""}) {
        ToolRun bad =
            tool("ingest --archive " + m_dir + "/other --vehicle " + quote(name) + " " + card, m_dir);
        EXPECT_EQ(bad.status, 2) << name;
        EXPECT_FALSE(fs::exists(m_dir + "/other")) << name;
    }
    // A catalogue of a newer schema is refused with its version, not touched.
    sql(archive, "PRAGMA user_version=7");
    ToolRun newer = tool("ingest --archive " + archive + " --vehicle 'van 7' " + card, m_dir);
    EXPECT_EQ(newer.status, 1);
    EXPECT_NE(newer.err.find("schema version 7"), std::string::npos) << newer.err;
    ToolRun query = tool("report --archive " + archive + " --from 2021-03-01 --to 2021-03-31", m_dir);
    EXPECT_EQ(query.status, 1);
}

TEST_F(FleetCommand, StoppedRunIsTakenOverAndOtherContentUnderTheSameNameIsKeptApart)
{
    const std::string card = m_dir + "/card";
    const std::string archive = m_dir + "/archive";
    const std::string name = "FILE210501-090000_M.MP4";
    mediagen::RecordingSpec recipe;
    fs::create_directories(card + "/DCIM/100MEDIA_M");
    ASSERT_TRUE(mediagen::writeRecording(card + "/DCIM/100MEDIA_M/" + name, recipe));
    // A run that stopped after naming its copy and before cataloguing it.
    fs::create_directories(archive + "/bus/2021/05/01");
    fs::copy_file(card + "/DCIM/100MEDIA_M/" + name, archive + "/bus/2021/05/01/" + name);
    ToolRun run = tool("ingest --archive " + archive + " --vehicle bus " + card, m_dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("adopted\t"), std::string::npos) << run.out;
    EXPECT_EQ(archivedFiles(archive).size(), 1u);

    // Another card, another recording of the same name: both stay, the
    // second one's name unchanged in a folder of its own.
    const std::string other = m_dir + "/other";
    recipe.seed = 9;
    fs::create_directories(other);
    ASSERT_TRUE(mediagen::writeRecording(other + "/" + name, recipe));
    run = tool("ingest --archive " + archive + " --vehicle bus " + other, m_dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(archive + "/bus/2021/05/01/2/" + name));
    EXPECT_EQ(sql(archive, "SELECT count(*) FROM recordings"), "2\n");
    EXPECT_TRUE(catalogueVerifies(archive));
}

TEST_F(FleetCommand, StopSignalEndsTheRunWithOneAndTheNextRunCompletesIt)
{
    const std::string card = m_dir + "/card";
    ASSERT_TRUE(mediagen::makeCard(card, mediagen::CardSpec{}));
    const std::string archive = m_dir + "/archive";
    for (int signal : {SIGINT, SIGTERM}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(kTool.c_str(), kTool.c_str(), "ingest", "--archive", archive.c_str(), "--vehicle", "van",
                    card.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ASSERT_TRUE(stopsignalswait::catchesStopSignals(pid));
        ::kill(pid, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "died by signal " << WTERMSIG(status);
        // 0 only when the run had finished before the signal came.
        EXPECT_TRUE(WEXITSTATUS(status) == 1 || WEXITSTATUS(status) == 0) << WEXITSTATUS(status);
        EXPECT_TRUE(hiddenFiles(archive).empty());
        EXPECT_TRUE(catalogueVerifies(archive));
    }
    ToolRun rest = tool("ingest --archive " + archive + " --vehicle van " + card, m_dir);
    ASSERT_EQ(rest.status, 0) << rest.err;
    EXPECT_EQ(sql(archive, "SELECT count(*) FROM recordings"),
              std::to_string(recordingHashes(card).size()) + "\n");
    EXPECT_EQ(sql(archive, "SELECT count(*) FROM files"),
              std::to_string(archivedFiles(archive).size()) + "\n");
}

TEST_F(FleetCommand, FullArchiveDiskFailsTheRunWithOnlyWholeFilesCataloguedAndTheNextRunCompletesIt)
{
    const std::string card = m_dir + "/card";
    ASSERT_TRUE(mediagen::makeCard(card, mediagen::CardSpec{}));
    SmallMount disk(m_dir + "/disk", "size=500k");
    if (!disk.mounted)
        GTEST_SKIP() << disk.why;
    const std::string archive = disk.dir + "/archive";
    ToolRun full = tool("ingest --archive " + archive + " --vehicle van " + card, m_dir);
    EXPECT_EQ(full.status, 1) << full.out;
    EXPECT_NE(full.err.find("the archive failed"), std::string::npos) << full.err;
    EXPECT_TRUE(catalogueVerifies(archive));
    EXPECT_TRUE(hiddenFiles(archive).empty());

    ASSERT_EQ(::mount("tmpfs", disk.dir.c_str(), "tmpfs", MS_REMOUNT, "size=8m"), 0);
    ToolRun rest = tool("ingest --archive " + archive + " --vehicle van " + card, m_dir);
    ASSERT_EQ(rest.status, 0) << rest.err;
    EXPECT_EQ(sql(archive, "SELECT count(*) FROM recordings"),
              std::to_string(recordingHashes(card).size()) + "\n");
    EXPECT_EQ(sql(archive, "SELECT count(*) FROM files"),
              std::to_string(archivedFiles(archive).size()) + "\n");
    EXPECT_TRUE(catalogueVerifies(archive));
}

TEST_F(FleetCommand, FourIngestsAtOnceOnOverlappingCardsKeepEveryRecordingExactlyOnce)
{
    const std::string a = m_dir + "/a";
    const std::string b = m_dir + "/b";
    mediagen::CardSpec recipe;
    recipe.count = 3;
    ASSERT_TRUE(mediagen::makeCard(a, recipe));
    recipe.seed = 2;
    ASSERT_TRUE(mediagen::makeCard(b, recipe));
    const std::string archive = m_dir + "/archive";
    std::vector<std::thread> runs;
    std::vector<ToolRun> results(4);
    for (int i = 0; i < 4; ++i)
        runs.emplace_back([&, i] {
            results[std::size_t(i)] =
                tool("ingest --archive " + archive + " --vehicle van " + (i % 2 ? a + " " + b : b + " " + a),
                     m_dir);
        });
    for (std::thread& t : runs)
        t.join();
    for (const ToolRun& r : results)
        EXPECT_EQ(r.status, 0) << r.err;
    std::set<std::string> expected = recordingHashes(a);
    for (const std::string& h : recordingHashes(b))
        expected.insert(h);
    EXPECT_EQ(
        sql(archive,
            "SELECT count(*), count(DISTINCT f.sha256) FROM recordings r JOIN files f ON f.id=r.file_id"),
        std::to_string(expected.size()) + "|" + std::to_string(expected.size()) + "\n");
    EXPECT_EQ(sql(archive, "SELECT count(*) FROM files"),
              std::to_string(archivedFiles(archive).size()) + "\n");
    EXPECT_TRUE(catalogueVerifies(archive));
}

// Vehicle A drives east at 36 km/h (10 m/s) from the origin twice, at 10:00
// and 10:05; vehicle B drives the same a kilometre north. The point 32 m east
// of the origin is 2 m from each of A's third seconds and 8 m from the fourth.
// B brakes hard in its fifth second.
TEST_F(FleetCommand, FindListsEachPassOnceAndReportSumsEachVehicleDay)
{
    const double lat0 = 48.1, lon0 = 11.5;
    auto drive = [&](const std::string& card, const mediagen::StartTime& start, double northMetres) {
        mediagen::RecordingSpec rec;
        rec.seconds = 8;
        rec.seed = uint32_t(start.minute * 10 + northMetres); // each recording its own content
        fs::create_directories(card + "/DCIM/100MEDIA_M");
        const std::string stem = card + "/DCIM/100MEDIA_M/FILE" + start.nameStamp() + "_M";
        mediagen::NmeaSpec log;
        log.start = start;
        log.drive.seconds = 8;
        log.drive.profile = mediagen::SpeedProfile::Constant;
        log.drive.constantKmh = 36;
        log.drive.originCourse = 90;
        log.drive.originLat = lat0 + northMetres / 111195.0;
        log.drive.originLon = lon0;
        if (northMetres > 0)
            log.drive.eventSecond = 4; // B brakes hard once
        return mediagen::writeRecording(stem + ".MP4", rec) && mediagen::writeNmeaLog(stem + ".NMEA", log);
    };
    mediagen::StartTime t1;
    t1.year = 2022, t1.month = 6, t1.day = 7, t1.hour = 10, t1.minute = 0;
    mediagen::StartTime t2 = t1.plusSeconds(300);
    ASSERT_TRUE(drive(m_dir + "/a", t1, 0) && drive(m_dir + "/a", t2, 0) && drive(m_dir + "/b", t1, 1000));
    const std::string archive = m_dir + "/archive";
    ASSERT_EQ(tool("ingest --archive " + archive + " --vehicle A " + m_dir + "/a", m_dir).status, 0);
    ASSERT_EQ(tool("ingest --archive " + archive + " --vehicle B " + m_dir + "/b", m_dir).status, 0);

    const double metresPerDegreeLon = 111195.0 * std::cos(lat0 * M_PI / 180);
    char near[64];
    std::snprintf(near, sizeof near, "%.7f,%.7f", lat0, lon0 + 32 / metresPerDegreeLon);
    ToolRun find = tool("find --archive " + archive + " --near " + near + " --radius 10", m_dir);
    ASSERT_EQ(find.status, 0) << find.err;
    const std::string day = archive + "/A/2022/06/07/";
    std::vector<std::string> lines;
    for (std::size_t at = 0, nl; (nl = find.out.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(find.out.substr(at, nl - at));
    ASSERT_EQ(lines.size(), 2u) << find.out;
    EXPECT_EQ(lines[0].rfind("A\t" + day + "FILE220607-100000_M.MP4\t3\t2022-06-07 10:00:03\t", 0), 0u)
        << lines[0];
    EXPECT_EQ(lines[1].rfind("A\t" + day + "FILE220607-100500_M.MP4\t3\t2022-06-07 10:05:03\t", 0), 0u)
        << lines[1];
    EXPECT_NEAR(std::stod(lines[0].substr(lines[0].rfind('\t') + 1)), 2.0, 1.5);

    // Time and vehicle narrow it; the JSON form carries the same pass.
    find = tool("find --archive " + archive + " --near " + near +
                    " --radius 10 --from '2022-06-07 10:03' --json",
                m_dir);
    EXPECT_EQ(
        find.out.rfind("{\"vehicle\":\"A\",\"path\":\"" + day + "FILE220607-100500_M.MP4\",\"second\":3,", 0),
        0u)
        << find.out;
    EXPECT_EQ(std::count(find.out.begin(), find.out.end(), '\n'), 1);
    EXPECT_EQ(tool("find --archive " + archive + " --near " + near + " --radius 10 --vehicle B", m_dir).out,
              "");
    EXPECT_EQ(tool("find --archive " + archive + " --near 91,0 --radius 10", m_dir).status, 2);

    // Seven 10 m steps per recording; eight seconds each at 36 km/h (35.8 as
    // the log's knots state it).
    ToolRun report =
        tool("report --archive " + archive + " --from 2022-06-01 --to 2022-06-30 --format csv", m_dir);
    ASSERT_EQ(report.status, 0) << report.err;
    EXPECT_EQ(report.out, "vehicle,day,distance_km,driving_time,top_speed_kmh,harsh_events,event_recordings\n"
                          "A,2022-06-07,0.140,0:00:16,35.8,0,0\n"
                          "B,2022-06-07,0.070,0:00:08,35.8,1,0\n");
    // A catalogue of the first schema, without the day sums, is migrated on
    // opening and reports the same.
    sql(archive, "DROP TABLE day_totals; PRAGMA user_version=1");
    EXPECT_EQ(
        tool("report --archive " + archive + " --from 2022-06-01 --to 2022-06-30 --format csv", m_dir).out,
        report.out);
    EXPECT_EQ(sql(archive, "PRAGMA user_version"), "2\n");
    report = tool("report --archive " + archive + " --from 2022-06-08 --to 2022-06-30 --json", m_dir);
    EXPECT_EQ(report.out, "");

    ToolRun events = tool("events --archive " + archive, m_dir);
    ASSERT_EQ(events.status, 0) << events.err;
    EXPECT_EQ(events.out.rfind("B\t" + archive +
                                   "/B/2022/06/07/FILE220607-100000_M.MP4\t4\t2022-06-07 10:00:04\tbrake\t",
                               0),
              0u)
        << events.out;
    EXPECT_EQ(std::count(events.out.begin(), events.out.end(), '\n'), 1);
    EXPECT_EQ(tool("events --archive " + archive + " --vehicle A", m_dir).out, "");

    // A circle over the 180th meridian finds the drive on its other side.
    mediagen::StartTime t3 = t1.plusSeconds(3600);
    fs::create_directories(m_dir + "/c/DCIM/100MEDIA_M");
    {
        mediagen::RecordingSpec rec;
        rec.seconds = 8;
        rec.seed = 77;
        const std::string stem = m_dir + "/c/DCIM/100MEDIA_M/FILE" + t3.nameStamp() + "_M";
        mediagen::NmeaSpec log;
        log.start = t3;
        log.drive.seconds = 8;
        log.drive.profile = mediagen::SpeedProfile::Constant;
        log.drive.originCourse = 0;
        log.drive.originLat = -17.0;
        log.drive.originLon = -179.9999;
        ASSERT_TRUE(mediagen::writeRecording(stem + ".MP4", rec) &&
                    mediagen::writeNmeaLog(stem + ".NMEA", log));
    }
    ASSERT_EQ(tool("ingest --archive " + archive + " --vehicle C " + m_dir + "/c", m_dir).status, 0);
    find = tool("find --archive " + archive + " --near -17.0,179.9999 --radius 50", m_dir);
    EXPECT_EQ(find.out.rfind("C\t", 0), 0u) << find.out;
    EXPECT_EQ(std::count(find.out.begin(), find.out.end(), '\n'), 1);
}

} // namespace
