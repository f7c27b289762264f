// rovixtool ingest, find, report and events with the catalogue on a
// throwaway PostgreSQL server: generated fleets in once and verifying, four
// ingests at once, the same answers as the embedded catalogue, and a server
// that goes away in the middle of a run.
#include "PostgresServer.h"

#include <algorithm>
#include <memory>
#include <thread>

using namespace fleettest;

namespace
{

class FleetPostgres : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_server = new PostgresServer; }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }

    void SetUp() override
    {
        if (!s_server->ready())
            GTEST_SKIP() << s_server->why;
        m_dir = makeTempDir("fleetpg");
        m_db = s_server->createDatabase();
        ASSERT_FALSE(m_db.empty());
        m_url = s_server->url(m_db);
    }
    void TearDown() override
    {
        if (!m_dir.empty())
            fs::remove_all(m_dir);
    }

    std::string sql(const std::string& query) { return s_server->psql(m_db, query).out; }

    // The catalogue's hashes checked against the archive's files by sha256sum.
    bool verifies(const std::string& archive)
    {
        const std::string list =
            sql("SELECT sha256 || '  ' || convert_from(archive_path, 'UTF8') FROM files");
        writeFile(m_dir + "/.sums", list);
        return !list.empty() &&
               shell("cd " + quote(archive) + " && sha256sum --strict --quiet -c " + quote(m_dir + "/.sums"))
                       .status == 0;
    }

    // Every recording of the cards in the catalogue, each exactly once, and
    // every catalogued file in the archive.
    void expectExactlyOnce(const std::string& archive, const std::vector<std::string>& cards)
    {
        std::set<std::string> expected;
        for (const std::string& card : cards)
            for (const std::string& h : recordingHashes(card))
                expected.insert(h);
        ASSERT_FALSE(expected.empty());
        std::string got = sql("SELECT f.sha256 FROM recordings r JOIN files f ON f.id=r.file_id ORDER BY 1");
        std::string want;
        for (const std::string& h : expected)
            want += h + "\n";
        EXPECT_EQ(got, want);
        EXPECT_EQ(sql("SELECT count(*) FROM files"), std::to_string(archivedFiles(archive).size()) + "\n");
        EXPECT_TRUE(verifies(archive));
        EXPECT_TRUE(hiddenFiles(archive).empty());
    }

    std::string ingest(const std::string& archive, const std::string& vehicle, const std::string& cards)
    {
        return "ingest --archive " + archive + " --catalogue " + quote(m_url) + " --vehicle " + vehicle +
               " " + cards;
    }

    static PostgresServer* s_server;
    std::string m_dir, m_db, m_url;
};

PostgresServer* FleetPostgres::s_server = nullptr;

TEST_F(FleetPostgres, TwoFleetsIngestOnceReingestChangesNothingAndANewerSchemaIsRefused)
{
    mediagen::CardSpec recipe;
    ASSERT_TRUE(mediagen::makeCard(m_dir + "/a", recipe));
    recipe.seed = 2;
    ASSERT_TRUE(mediagen::makeCard(m_dir + "/b", recipe));
    const std::string archive = m_dir + "/archive";
    for (const char* vehicle : {"a", "b"}) {
        ToolRun run = tool(ingest(archive, vehicle, m_dir + "/" + vehicle), m_dir);
        ASSERT_EQ(run.status, 0) << run.err;
    }
    expectExactlyOnce(archive, {m_dir + "/a", m_dir + "/b"});
    // The catalogue is the server's: nothing of SQLite in the archive.
    EXPECT_FALSE(fs::exists(archive + "/catalogue.sqlite"));
    EXPECT_EQ(sql("SELECT version FROM catalogue_version"), "2\n");
    EXPECT_NE(sql("SELECT count(*) FROM track_cells"), "0\n");

    const std::multiset<std::string> before = archivedFiles(archive);
    const std::string counts =
        sql("SELECT (SELECT count(*) FROM files), (SELECT count(*) FROM track),"
            " (SELECT count(*) FROM track_cells), (SELECT sum(recordings) FROM day_totals)");
    for (const char* vehicle : {"a", "b"}) {
        ToolRun again = tool(ingest(archive, vehicle, m_dir + "/" + vehicle), m_dir);
        ASSERT_EQ(again.status, 0) << again.err;
        EXPECT_NE(again.out.find("ingest: nothing new: "), std::string::npos) << again.out;
    }
    EXPECT_EQ(archivedFiles(archive), before);
    EXPECT_EQ(sql("SELECT (SELECT count(*) FROM files), (SELECT count(*) FROM track),"
                  " (SELECT count(*) FROM track_cells), (SELECT sum(recordings) FROM day_totals)"),
              counts);

    sql("UPDATE catalogue_version SET version=7");
    ToolRun newer = tool(ingest(archive, "a", m_dir + "/a"), m_dir);
    EXPECT_EQ(newer.status, 1);
    EXPECT_NE(newer.err.find("schema version 7"), std::string::npos) << newer.err;
    EXPECT_EQ(tool("report --catalogue " + quote(m_url) + " --from 2021-01-01 --to 2021-12-31", m_dir).status,
              1);
    // An address that is not one is a usage error; a server that is not there fails.
    EXPECT_EQ(tool("report --catalogue /tmp/x --from 2021-01-01 --to 2021-12-31", m_dir).status, 2);
    ToolRun absent = tool(
        "report --catalogue 'postgresql:///x?host=" + m_dir + "' --from 2021-01-01 --to 2021-12-31", m_dir);
    EXPECT_EQ(absent.status, 1);
    EXPECT_NE(absent.err.find("cannot reach the PostgreSQL catalogue"), std::string::npos) << absent.err;
}

TEST_F(FleetPostgres, FourIngestsAtOnceOnOverlappingCardsKeepEveryRecordingExactlyOnce)
{
    mediagen::CardSpec recipe;
    recipe.count = 3;
    ASSERT_TRUE(mediagen::makeCard(m_dir + "/a", recipe));
    recipe.seed = 2;
    ASSERT_TRUE(mediagen::makeCard(m_dir + "/b", recipe));
    const std::string a = m_dir + "/a", b = m_dir + "/b";
    const std::string archive = m_dir + "/archive";
    // Each process makes the schema of the new catalogue if it is first.
    std::vector<std::thread> runs;
    std::vector<ToolRun> results(4);
    for (int i = 0; i < 4; ++i)
        runs.emplace_back([&, i] {
            results[std::size_t(i)] = tool(ingest(archive, "van", i % 2 ? a + " " + b : b + " " + a), m_dir);
        });
    for (std::thread& t : runs)
        t.join();
    for (const ToolRun& r : results)
        EXPECT_EQ(r.status, 0) << r.err;
    expectExactlyOnce(archive, {a, b});
    EXPECT_EQ(sql("SELECT count(*) = count(DISTINCT recording_id::text || ':' || second) FROM track"), "t\n");
}

// The same cards into the embedded catalogue and into the server: every
// question answers the same, over a small and a large circle (listed cells
// and whole rows of cells), a period, a vehicle, and the report in each form.
TEST_F(FleetPostgres, FindReportAndEventsAnswerAsTheEmbeddedCatalogueDoes)
{
    // Two vehicles' drives, one with a hard brake (harsh marks need a drive).
    auto drive = [&](const std::string& card, int minute, double north, int brakeSecond) {
        mediagen::StartTime start;
        start.year = 2022, start.month = 6, start.day = 7, start.hour = 10, start.minute = minute;
        mediagen::RecordingSpec rec;
        rec.seconds = 40;
        rec.seed = uint32_t(minute * 10 + north);
        fs::create_directories(card + "/DCIM/100MEDIA_M");
        const std::string stem = card + "/DCIM/100MEDIA_M/FILE" + start.nameStamp() + "_M";
        mediagen::NmeaSpec log;
        log.start = start;
        log.drive.seconds = 40;
        log.drive.profile = mediagen::SpeedProfile::Constant;
        log.drive.constantKmh = 90;
        log.drive.originCourse = 45;
        log.drive.originLat = 48.1 + north / 111195.0;
        log.drive.originLon = 11.5;
        log.drive.eventSecond = brakeSecond;
        return mediagen::writeRecording(stem + ".MP4", rec) && mediagen::writeNmeaLog(stem + ".NMEA", log);
    };
    ASSERT_TRUE(drive(m_dir + "/x", 0, 0, 12) && drive(m_dir + "/x", 5, 0, -1) &&
                drive(m_dir + "/y", 0, 300, 20));
    ASSERT_TRUE(mediagen::makeCard(m_dir + "/z", mediagen::CardSpec{}));
    const std::string lite = m_dir + "/lite", server = m_dir + "/server";
    for (const char* v : {"x", "y", "z"}) {
        ASSERT_EQ(tool("ingest --archive " + lite + " --vehicle " + v + " " + m_dir + "/" + v, m_dir).status,
                  0);
        ASSERT_EQ(tool(ingest(server, v, m_dir + "/" + v), m_dir).status, 0);
    }
    // A point on x's drives, 200 m from the start, and one on the generated card's track.
    const std::string onX =
        sql("SELECT lat || ',' || lon FROM track ORDER BY recording_id, second LIMIT 1 OFFSET 8");
    const std::string onZ =
        sql("SELECT t.lat || ',' || t.lon FROM track t JOIN recordings r ON r.id=t.recording_id"
            " WHERE convert_from(r.vehicle, 'UTF8')='z' ORDER BY t.recording_id, t.second LIMIT 1 OFFSET 1");
    ASSERT_FALSE(onX.empty());
    ASSERT_FALSE(onZ.empty());
    const std::string near = onX.substr(0, onX.size() - 1), nearZ = onZ.substr(0, onZ.size() - 1);
    // The embedded catalogue's paths under --archive; the server's relative without it.
    auto same = [&](const std::string& question, bool wantSome) {
        const std::size_t word = question.find(' ');
        auto ask = [&](const std::string& source) {
            return tool(question.substr(0, word) + " " + source + question.substr(word), m_dir);
        };
        ToolRun a = ask("--archive " + lite);
        ToolRun b = ask("--catalogue " + quote(m_url));
        ASSERT_EQ(a.status, 0) << question << a.err;
        ASSERT_EQ(b.status, 0) << question << b.err;
        std::string expected = a.out;
        for (std::size_t at; (at = expected.find(lite + "/")) != std::string::npos;)
            expected.erase(at, lite.size() + 1);
        EXPECT_EQ(b.out, expected) << question;
        EXPECT_EQ(!b.out.empty(), wantSome) << question << "\n" << b.out;
    };
    same("find --near " + near + " --radius 30", true);
    same("find --near " + near + " --radius 30 --json --from '2022-06-07 10:03'", true);
    same("find --near " + near + " --radius 800 --vehicle y", true);
    same("find --near " + near + " --radius 800 --from '2022-06-07 10:00:20' --to '2022-06-07 10:05:10'",
         true);
    same("find --near " + nearZ + " --radius 100000", true);
    same("find --near " + nearZ + " --radius 25", true);
    same("find --near " + near + " --radius 30 --from 2022-06-08", false);
    same("report --from 2000-01-01 --to 2030-12-31 --format csv", true);
    same("report --from 2022-06-07 --to 2022-06-07 --vehicle x --json", true);
    same("events ", true);
    same("events --kind brake --vehicle y --json", true);
    same("events --from '2022-06-07 10:00:15'", true);

    // The paged report: one row per vehicle and day, the same bytes from either.
    ToolRun pdf =
        tool("report --catalogue " + quote(m_url) + " --from 2000-01-01 --to 2030-12-31 --format pdf", m_dir);
    ASSERT_EQ(pdf.status, 0) << pdf.err;
    EXPECT_EQ(pdf.out.rfind("%PDF-1.4", 0), 0u);
    EXPECT_EQ(
        pdf.out,
        tool("report --archive " + lite + " --from 2000-01-01 --to 2030-12-31 --format pdf", m_dir).out);

    // A catalogue of the first schema is migrated on opening and reports the same.
    const ToolRun report =
        tool("report --catalogue " + quote(m_url) + " --from 2000-01-01 --to 2030-12-31", m_dir);
    sql("DROP TABLE day_totals; UPDATE catalogue_version SET version=1");
    EXPECT_EQ(tool("report --catalogue " + quote(m_url) + " --from 2000-01-01 --to 2030-12-31", m_dir).out,
              report.out);
    EXPECT_EQ(sql("SELECT version FROM catalogue_version"), "2\n");
}

TEST_F(FleetPostgres, ServerGoingAwayMidRunFailsTheRunAndLeavesTheCommittedCatalogueWhole)
{
    mediagen::CardSpec recipe;
    recipe.count = 3;
    ASSERT_TRUE(mediagen::makeCard(m_dir + "/a", recipe));
    recipe.seed = 5;
    ASSERT_TRUE(mediagen::makeCard(m_dir + "/b", recipe));
    const std::string archive = m_dir + "/archive";
    ASSERT_EQ(tool(ingest(archive, "van", m_dir + "/a"), m_dir).status, 0);
    const std::string committed =
        sql("SELECT (SELECT count(*) FROM files), (SELECT count(*) FROM recordings),"
            " (SELECT count(*) FROM track), (SELECT sum(recordings) FROM day_totals)");

    // Another session holds the writers' lock, so the second run is surely
    // in the middle (its copies staged, waiting to catalogue) when the
    // server shuts down.
    std::thread holder([&] {
        s_server->psql(m_db, std::string("SELECT pg_advisory_lock(") + PostgresServer::kWriterLock +
                                 "); SELECT pg_sleep(120)");
    });
    auto count = [&](const char* where) {
        return sql(std::string("SELECT count(*) FROM pg_locks WHERE locktype='advisory' AND ") + where);
    };
    for (int i = 0; i < 600 && count("granted") != "1\n"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ToolRun cut;
    std::thread run([&] { cut = tool(ingest(archive, "van", m_dir + "/b"), m_dir); });
    for (int i = 0; i < 600 && count("NOT granted") != "1\n"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(count("NOT granted"), "1\n");
    s_server->stop();
    run.join();
    holder.join();
    EXPECT_EQ(cut.status, 1) << cut.out;
    EXPECT_NE(cut.err.find("the archive failed: catalogue: "), std::string::npos) << cut.err;
    EXPECT_NE(cut.err.find("the server went away"), std::string::npos) << cut.err;

    ASSERT_TRUE(s_server->start());
    EXPECT_EQ(sql("SELECT (SELECT count(*) FROM files), (SELECT count(*) FROM recordings),"
                  " (SELECT count(*) FROM track), (SELECT sum(recordings) FROM day_totals)"),
              committed);
    expectExactlyOnce(archive, {m_dir + "/a"});
    // The next run brings the rest.
    ToolRun rest = tool(ingest(archive, "van", m_dir + "/b"), m_dir);
    ASSERT_EQ(rest.status, 0) << rest.err;
    expectExactlyOnce(archive, {m_dir + "/a", m_dir + "/b"});
}

} // namespace
