// The embedded catalogue: one SQLite file beside the archived recordings, in
// WAL mode so the questions read while an ingest writes, with a busy wait so
// several ingest processes on one machine take turns instead of failing.
//
// Positions: every run of up to kBoxSeconds seconds of a track is one box
// (latitude, longitude and time bounds) in an R*Tree, which names the
// recording and its seconds; the seconds themselves sit in a table keyed by
// recording and second. A place-and-time question reads the few boxes that
// touch its area and period, then only their seconds, so its cost follows the
// answer, not the size of the archive. One box per second would make the tree
// thirty times larger for no gain: a box of half a minute is still only a few
// hundred metres across.
#include "fleet/Catalogue.h"
#include "fleet/PassSearch.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <tuple>

namespace
{

constexpr int kBoxSeconds = 32;
constexpr double kEarthRadius = 6371008.8;

// Each step takes the schema from version i to i + 1.
const char* const kMigrations[] = {
    R"(
CREATE TABLE files(
    id INTEGER PRIMARY KEY,
    sha256 TEXT NOT NULL UNIQUE,
    size INTEGER NOT NULL,
    archive_path TEXT NOT NULL UNIQUE,
    original_path TEXT NOT NULL,
    card TEXT NOT NULL,
    vehicle TEXT NOT NULL,
    role TEXT NOT NULL,
    ingested_at INTEGER NOT NULL);
CREATE INDEX files_size ON files(size);
CREATE TABLE trips(
    id INTEGER PRIMARY KEY,
    vehicle TEXT NOT NULL);
CREATE TABLE recordings(
    id INTEGER PRIMARY KEY,
    file_id INTEGER NOT NULL UNIQUE REFERENCES files(id),
    vehicle TEXT NOT NULL,
    type INTEGER NOT NULL,
    camera INTEGER NOT NULL,
    kind INTEGER NOT NULL,
    codec TEXT,
    family TEXT,
    start TEXT,
    start_seconds INTEGER NOT NULL,
    day TEXT NOT NULL,
    duration REAL NOT NULL,
    log_sha256 TEXT,
    partner_path TEXT,
    track_source TEXT,
    distance_m REAL NOT NULL,
    driving_s INTEGER NOT NULL,
    top_kmh REAL NOT NULL,
    harsh INTEGER NOT NULL,
    trip_id INTEGER REFERENCES trips(id));
CREATE INDEX recordings_day ON recordings(day, vehicle);
CREATE TABLE track(
    recording_id INTEGER NOT NULL REFERENCES recordings(id),
    second INTEGER NOT NULL,
    lat REAL NOT NULL,
    lon REAL NOT NULL,
    speed_kmh REAL NOT NULL,
    PRIMARY KEY(recording_id, second)) WITHOUT ROWID;
CREATE VIRTUAL TABLE track_boxes USING rtree(
    id, min_lat, max_lat, min_lon, max_lon, min_t, max_t,
    +recording_id, +first_second, +last_second);
CREATE TABLE marks(
    id INTEGER PRIMARY KEY,
    recording_id INTEGER NOT NULL REFERENCES recordings(id),
    second INTEGER NOT NULL,
    kind TEXT NOT NULL,
    value REAL NOT NULL);
CREATE INDEX marks_recording ON marks(recording_id);
)",
    // The day report's sums kept as recordings come in, so a month of a
    // fleet reads a few thousand rows instead of every recording.
    R"(
CREATE TABLE day_totals(
    vehicle TEXT NOT NULL,
    day TEXT NOT NULL,
    distance_m REAL NOT NULL,
    driving_s INTEGER NOT NULL,
    top_kmh REAL NOT NULL,
    harsh INTEGER NOT NULL,
    event_recordings INTEGER NOT NULL,
    recordings INTEGER NOT NULL,
    PRIMARY KEY(vehicle, day)) WITHOUT ROWID;
INSERT INTO day_totals
    SELECT vehicle, day, SUM(distance_m), SUM(driving_s), MAX(top_kmh), SUM(harsh),
           SUM(type=1 AND (camera<>2 OR partner_path IS NULL)), COUNT(*)
    FROM recordings GROUP BY vehicle, day;
)",
};
constexpr int kMigrationCount = int(sizeof(kMigrations) / sizeof(kMigrations[0]));
static_assert(kMigrationCount == kCatalogueSchemaVersion, "one migration per schema version");

class Statement
{
public:
    Statement(sqlite3* db, const char* sql)
    {
        m_ok = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) == SQLITE_OK;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return m_ok; }
    void reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    void bind(int i, int64_t v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bind(int i, double v) { sqlite3_bind_double(m_stmt, i, v); }
    void bind(int i, const std::string& v)
    {
        sqlite3_bind_text(m_stmt, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
    }
    void bindNull(int i) { sqlite3_bind_null(m_stmt, i); }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return sqlite3_step(m_stmt); }
    int64_t integer(int i) const { return sqlite3_column_int64(m_stmt, i); }
    double real(int i) const { return sqlite3_column_double(m_stmt, i); }
    std::string text(int i) const
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
        return p ? std::string(p, std::size_t(sqlite3_column_bytes(m_stmt, i))) : std::string();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    bool m_ok = false;
};

class SqliteCatalogue final : public Catalogue
{
public:
    ~SqliteCatalogue() override
    {
        if (m_db)
            sqlite3_close_v2(m_db);
    }

    // No pragma that writes, no migration: the journal mode is the file's
    // own (WAL, set by the ingest that made it), and an older schema is read
    // as it is, since every question it can answer reads tables it has.
    bool openReadOnly(const std::string& path, std::string& error)
    {
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr) !=
            SQLITE_OK) {
            error = path + ": " + (m_db ? sqlite3_errmsg(m_db) : "cannot open");
            return false;
        }
        sqlite3_busy_timeout(m_db, 10000);
        int version = 0;
        if (!userVersion(version, error)) {
            error = path + ": " + error;
            return false;
        }
        if (version > kCatalogueSchemaVersion) {
            error = path + ": the catalogue has schema version " + std::to_string(version) +
                    ", newer than this program's " + std::to_string(kCatalogueSchemaVersion) +
                    "; use a newer program";
            return false;
        }
        if (version < 1) {
            error = path + ": not a catalogue (no schema)";
            return false;
        }
        return true;
    }

    bool open(const std::string& path, std::string& error)
    {
        if (sqlite3_open_v2(path.c_str(), &m_db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                            nullptr) != SQLITE_OK) {
            error = path + ": " + (m_db ? sqlite3_errmsg(m_db) : "cannot open");
            return false;
        }
        // Another ingest may hold the write lock for one file's transaction;
        // a minute is far more than any of those takes.
        sqlite3_busy_timeout(m_db, 60000);
        // Turning a new file to WAL needs a lock SQLite does not wait for
        // through the busy handler, so ingests opening a new archive at once
        // can meet "database is locked" there: wait for it, bounded.
        bool wal = exec("PRAGMA journal_mode=WAL", error);
        for (int wait = 0; !wal && sqlite3_errcode(m_db) == SQLITE_BUSY && wait < 1200; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            wal = exec("PRAGMA journal_mode=WAL", error);
        }
        if (!wal || !exec("PRAGMA synchronous=FULL", error) || !exec("PRAGMA foreign_keys=ON", error))
            return false;
        int version = 0;
        if (!userVersion(version, error))
            return false;
        if (version > kCatalogueSchemaVersion) {
            error = path + ": the catalogue has schema version " + std::to_string(version) +
                    ", newer than this program's " + std::to_string(kCatalogueSchemaVersion) +
                    "; use a newer program";
            return false;
        }
        if (version == kCatalogueSchemaVersion)
            return true;
        // Made or migrated under the write lock, so two processes opening a
        // new archive at once cannot both run the same step.
        if (!begin(error))
            return false;
        if (!userVersion(version, error)) {
            rollback();
            return false;
        }
        for (; version < kCatalogueSchemaVersion; ++version) {
            if (!exec(kMigrations[version], error)) {
                rollback();
                return false;
            }
        }
        if (!exec(("PRAGMA user_version=" + std::to_string(kCatalogueSchemaVersion)).c_str(), error) ||
            !commit(error)) {
            rollback();
            return false;
        }
        return true;
    }

    bool begin(std::string& error) override { return exec("BEGIN IMMEDIATE", error); }
    bool commit(std::string& error) override { return exec("COMMIT", error); }
    void rollback() override
    {
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }

    std::optional<std::string> pathOfContent(const std::string& sha256) override
    {
        Statement s(m_db, "SELECT archive_path FROM files WHERE sha256=?");
        s.bind(1, sha256);
        if (s.ok() && s.step() == SQLITE_ROW)
            return s.text(0);
        return std::nullopt;
    }

    bool isPathCatalogued(const std::string& archivePath) override
    {
        Statement s(m_db, "SELECT 1 FROM files WHERE archive_path=?");
        s.bind(1, archivePath);
        return s.ok() && s.step() == SQLITE_ROW;
    }

    bool hasFileOfSize(uint64_t size) override
    {
        Statement s(m_db, "SELECT 1 FROM files WHERE size=? LIMIT 1");
        s.bind(1, int64_t(size));
        return s.ok() && s.step() == SQLITE_ROW;
    }

    int64_t addFile(const CatalogueFile& f, std::string& error) override
    {
        Statement s(m_db,
                    "INSERT INTO files(sha256,size,archive_path,original_path,card,vehicle,role,ingested_at)"
                    " VALUES(?,?,?,?,?,?,?,?)");
        s.bind(1, f.sha256);
        s.bind(2, int64_t(f.size));
        s.bind(3, f.archivePath);
        s.bind(4, f.originalPath);
        s.bind(5, f.card);
        s.bind(6, f.vehicle);
        s.bind(7, f.role);
        s.bind(8, f.ingestedAt);
        if (!done(s, error))
            return -1;
        return sqlite3_last_insert_rowid(m_db);
    }

    int64_t addRecording(int64_t fileId, const CatalogueRecording& r, std::string& error) override
    {
        Statement s(m_db,
                    "INSERT INTO recordings(file_id,vehicle,type,camera,kind,codec,family,start,"
                    "start_seconds,day,duration,log_sha256,partner_path,track_source,distance_m,driving_s,"
                    "top_kmh,harsh) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
        s.bind(1, fileId);
        s.bind(2, r.vehicle);
        s.bind(3, int64_t(r.type));
        s.bind(4, int64_t(r.camera));
        s.bind(5, int64_t(r.kind));
        bindOptional(s, 6, r.codec);
        bindOptional(s, 7, r.family);
        if (r.start)
            s.bind(8, *r.start);
        s.bind(9, r.startSeconds);
        s.bind(10, r.day);
        s.bind(11, r.durationSeconds);
        bindOptional(s, 12, r.logSha256);
        bindOptional(s, 13, r.partnerPath);
        bindOptional(s, 14, r.trackSource);
        s.bind(15, r.distanceMetres);
        s.bind(16, int64_t(r.drivingSeconds));
        s.bind(17, r.topSpeedKmh);
        s.bind(18, int64_t(r.marks.size()));
        if (!done(s, error))
            return -1;
        const int64_t id = sqlite3_last_insert_rowid(m_db);

        // An event recording counts once per moment: a rear camera's with a
        // front partner is the same event.
        const bool eventRecording = r.type == 1 && (r.camera != 2 || r.partnerPath.empty());
        Statement day(
            m_db, "INSERT INTO day_totals VALUES(?,?,?,?,?,?,?,1) ON CONFLICT(vehicle,day) DO UPDATE SET"
                  " distance_m=distance_m+excluded.distance_m, driving_s=driving_s+excluded.driving_s,"
                  " top_kmh=max(top_kmh,excluded.top_kmh), harsh=harsh+excluded.harsh,"
                  " event_recordings=event_recordings+excluded.event_recordings, recordings=recordings+1");
        day.bind(1, r.vehicle);
        day.bind(2, r.day);
        day.bind(3, r.distanceMetres);
        day.bind(4, int64_t(r.drivingSeconds));
        day.bind(5, r.topSpeedKmh);
        day.bind(6, int64_t(r.marks.size()));
        day.bind(7, int64_t(eventRecording));
        if (!done(day, error))
            return -1;

        Statement point(m_db, "INSERT INTO track(recording_id,second,lat,lon,speed_kmh) VALUES(?,?,?,?,?)");
        Statement box(m_db,
                      "INSERT INTO track_boxes(min_lat,max_lat,min_lon,max_lon,min_t,max_t,recording_id,"
                      "first_second,last_second) VALUES(?,?,?,?,?,?,?,?,?)");
        std::size_t boxStart = 0;
        for (std::size_t i = 0; i < r.track.size(); ++i) {
            const CatalogueSecond& p = r.track[i];
            point.reset();
            point.bind(1, id);
            point.bind(2, int64_t(p.second));
            point.bind(3, p.lat);
            point.bind(4, p.lon);
            point.bind(5, double(p.speedKmh));
            if (!done(point, error))
                return -1;
            const bool last = i + 1 == r.track.size();
            if (last || r.track[i + 1].second - r.track[boxStart].second >= kBoxSeconds) {
                double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
                for (std::size_t k = boxStart; k <= i; ++k) {
                    minLat = std::min(minLat, r.track[k].lat);
                    maxLat = std::max(maxLat, r.track[k].lat);
                    minLon = std::min(minLon, r.track[k].lon);
                    maxLon = std::max(maxLon, r.track[k].lon);
                }
                box.reset();
                box.bind(1, minLat);
                box.bind(2, maxLat);
                box.bind(3, minLon);
                box.bind(4, maxLon);
                box.bind(5, double(r.startSeconds + r.track[boxStart].second));
                box.bind(6, double(r.startSeconds + p.second));
                box.bind(7, id);
                box.bind(8, int64_t(r.track[boxStart].second));
                box.bind(9, int64_t(p.second));
                if (!done(box, error))
                    return -1;
                boxStart = i + 1;
            }
        }
        Statement mark(m_db, "INSERT INTO marks(recording_id,second,kind,value) VALUES(?,?,?,?)");
        for (const CatalogueMark& m : r.marks) {
            mark.reset();
            mark.bind(1, id);
            mark.bind(2, int64_t(m.second));
            mark.bind(3, m.kind);
            mark.bind(4, m.value);
            if (!done(mark, error))
                return -1;
        }
        return id;
    }

    bool addTrip(const std::string& vehicle, const std::vector<int64_t>& recordingIds,
                 std::string& error) override
    {
        Statement trip(m_db, "INSERT INTO trips(vehicle) VALUES(?)");
        trip.bind(1, vehicle);
        if (!done(trip, error))
            return false;
        const int64_t id = sqlite3_last_insert_rowid(m_db);
        Statement member(m_db, "UPDATE recordings SET trip_id=? WHERE id=?");
        for (int64_t recording : recordingIds) {
            member.reset();
            member.bind(1, id);
            member.bind(2, recording);
            if (!done(member, error))
                return false;
        }
        return true;
    }

    bool findPasses(const PassQuery& q, std::vector<Pass>& passes, std::string& error) override
    {
        passes.clear();
        const PlaceBounds area = pmPlaceBounds(q);
        const double from = q.from ? double(*q.from) : -1e18;
        const double to = q.to ? double(*q.to) : 1e18;
        Statement boxes(m_db,
                        "SELECT b.recording_id, b.first_second, b.last_second, r.start_seconds, r.vehicle,"
                        " f.archive_path FROM track_boxes b JOIN recordings r ON r.id=b.recording_id"
                        " JOIN files f ON f.id=r.file_id"
                        " WHERE b.max_lat>=? AND b.min_lat<=? AND b.max_lon>=? AND b.min_lon<=?"
                        " AND b.max_t>=? AND b.min_t<=?");
        if (!boxes.ok())
            return fail(error);
        std::map<int64_t, RecordingHits> byRecording;
        Statement seconds(
            m_db, "SELECT second, lat, lon FROM track WHERE recording_id=? AND second BETWEEN ? AND ?");
        std::set<std::pair<int64_t, int64_t>>
            boxesRead; // (recording, first second): a box found twice counts once
        int rc = SQLITE_DONE;
        for (const auto& [lonMin, lonMax] : area.lonRanges) {
            boxes.reset();
            boxes.bind(1, area.minLat);
            boxes.bind(2, area.maxLat);
            boxes.bind(3, lonMin);
            boxes.bind(4, lonMax);
            boxes.bind(5, from);
            boxes.bind(6, to);
            while ((rc = boxes.step()) == SQLITE_ROW) {
                const int64_t recording = boxes.integer(0);
                if (!boxesRead.insert({recording, boxes.integer(1)}).second)
                    continue;
                if (!q.vehicle.empty() && boxes.text(4) != q.vehicle)
                    continue;
                RecordingHits& r = byRecording[recording];
                r.start = boxes.integer(3);
                r.vehicle = boxes.text(4);
                r.path = boxes.text(5);
                seconds.reset();
                seconds.bind(1, recording);
                seconds.bind(2, boxes.integer(1));
                seconds.bind(3, boxes.integer(2));
                while ((rc = seconds.step()) == SQLITE_ROW)
                    pmTestSecond(q, int(seconds.integer(0)), seconds.real(1), seconds.real(2), r);
                if (rc != SQLITE_DONE)
                    return fail(error);
            }
            if (rc != SQLITE_DONE)
                return fail(error);
        }
        pmPassesFromHits(byRecording, passes);
        return true;
    }

    bool report(const ReportQuery& q, std::vector<DayReport>& rows, std::string& error) override
    {
        rows.clear();
        Statement s(
            m_db, "SELECT vehicle, day, distance_m, driving_s, top_kmh, harsh, event_recordings, recordings"
                  " FROM day_totals WHERE day BETWEEN ? AND ? AND (?='' OR vehicle=?) ORDER BY vehicle, day");
        if (!s.ok())
            return fail(error);
        s.bind(1, q.fromDay);
        s.bind(2, q.toDay);
        s.bind(3, q.vehicle);
        s.bind(4, q.vehicle);
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) {
            DayReport r;
            r.vehicle = s.text(0);
            r.day = s.text(1);
            r.distanceMetres = s.real(2);
            r.drivingSeconds = int(s.integer(3));
            r.topSpeedKmh = s.real(4);
            r.harshEvents = int(s.integer(5));
            r.eventRecordings = int(s.integer(6));
            r.recordings = int(s.integer(7));
            rows.push_back(std::move(r));
        }
        return rc == SQLITE_DONE || fail(error);
    }

    bool events(const EventQuery& q, std::vector<ArchiveEvent>& events, std::string& error) override
    {
        events.clear();
        Statement s(
            m_db,
            "SELECT r.vehicle, f.archive_path, m.second, r.start_seconds + m.second AS t, m.kind, m.value"
            " FROM marks m JOIN recordings r ON r.id=m.recording_id JOIN files f ON f.id=r.file_id"
            " WHERE t BETWEEN ? AND ? AND (?='' OR r.vehicle=?) AND (?='' OR m.kind=?)"
            " ORDER BY t, r.vehicle, f.archive_path");
        if (!s.ok())
            return fail(error);
        s.bind(1, q.from ? *q.from : INT64_MIN);
        s.bind(2, q.to ? *q.to : INT64_MAX);
        s.bind(3, q.vehicle);
        s.bind(4, q.vehicle);
        s.bind(5, q.kind);
        s.bind(6, q.kind);
        int rc;
        while ((rc = s.step()) == SQLITE_ROW)
            events.push_back({s.text(0), s.text(1), int(s.integer(2)), s.integer(3), s.text(4), s.real(5)});
        return rc == SQLITE_DONE || fail(error);
    }

    bool listFiles(std::vector<std::pair<std::string, std::string>>& files, std::string& error) override
    {
        files.clear();
        Statement s(m_db, "SELECT archive_path, sha256 FROM files ORDER BY archive_path");
        int rc;
        while ((rc = s.step()) == SQLITE_ROW)
            files.emplace_back(s.text(0), s.text(1));
        return rc == SQLITE_DONE || fail(error);
    }

    bool vehicles(std::vector<std::string>& names, std::string& error) override
    {
        names.clear();
        Statement s(m_db, "SELECT DISTINCT vehicle FROM files ORDER BY vehicle");
        int rc;
        while ((rc = s.step()) == SQLITE_ROW)
            names.push_back(s.text(0));
        return rc == SQLITE_DONE || fail(error);
    }

private:
    static void bindOptional(Statement& s, int i, const std::string& v)
    {
        if (v.empty())
            s.bindNull(i);
        else
            s.bind(i, v);
    }

    bool fail(std::string& error)
    {
        error = sqlite3_errmsg(m_db);
        return false;
    }

    bool done(Statement& s, std::string& error) { return (s.ok() && s.step() == SQLITE_DONE) || fail(error); }

    bool exec(const char* sql, std::string& error)
    {
        char* message = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
            return true;
        error = message ? message : sqlite3_errmsg(m_db);
        sqlite3_free(message);
        return false;
    }

    bool userVersion(int& version, std::string& error)
    {
        Statement s(m_db, "PRAGMA user_version");
        if (!s.ok() || s.step() != SQLITE_ROW)
            return fail(error);
        version = int(s.integer(0));
        return true;
    }

    sqlite3* m_db = nullptr;
};

} // namespace

std::unique_ptr<Catalogue> pmOpenSqliteCatalogue(const std::string& archiveFolder, std::string& error)
{
    auto catalogue = std::make_unique<SqliteCatalogue>();
    if (!catalogue->open(archiveFolder + "/catalogue.sqlite", error))
        return nullptr;
    return catalogue;
}

std::unique_ptr<Catalogue> pmOpenSqliteCatalogueReadOnly(const std::string& archiveFolder, std::string& error)
{
    const std::string path = archiveFolder + "/catalogue.sqlite";
    struct stat st {
    };
    // SQLite would answer a missing file with "unable to open database file".
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = archiveFolder + " holds no catalogue";
        return nullptr;
    }
    auto catalogue = std::make_unique<SqliteCatalogue>();
    if (!catalogue->openReadOnly(path, error))
        return nullptr;
    return catalogue;
}

double pmDistanceMetres(double lat1, double lon1, double lat2, double lon2)
{
    const double r = M_PI / 180.0;
    const double dLat = (lat2 - lat1) * r;
    const double dLon = (lon2 - lon1) * r;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1 * r) * std::cos(lat2 * r) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(a)));
}
