// The catalogue on a PostgreSQL server, for an archive that several machines
// feed at once. The tables are the embedded catalogue's, with the same
// version number and migration steps; the version sits in catalogue_version.
//
// Writers take turns: begin() takes a transaction-scoped advisory lock, so the
// ingest's check "is this content catalogued?" and its choice of a free name
// on the shared archive are repeated under the lock exactly as with one
// machine, and the unique keys on the hash and the archive path refuse a
// doubled row should any writer not take it. A transaction covers one
// recording (its files, facts, track and marks), so the lock is held for
// milliseconds while the copying runs in parallel.
//
// Paths, cards and vehicle names are bytea: a file name is bytes, not
// necessarily UTF-8, which a text column of a UTF-8 database would refuse;
// bytea also sorts byte by byte as the embedded catalogue does.
//
// Positions: every run of up to kRunSeconds seconds of a track within one
// grid cell of kCellDegrees is one row of track_cells, keyed by a B-tree on
// (cell, start time). A place question lists the cells its area touches and
// reads, per cell, only the runs of its period; their seconds are then
// measured exactly, as in the embedded catalogue.
#include "fleet/Catalogue.h"
#include "fleet/LibPq.h"
#include "fleet/PassSearch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{

// libpq's functions; called only by a catalogue that was opened, so after
// pmOpenPostgresCatalogue has loaded them. Looked up once: the calls come
// once per value read.
const LibPq& pq()
{
    static const LibPq* const loaded = [] {
        std::string ignored;
        return pmLibPq(ignored);
    }();
    return *loaded;
}

constexpr int kRunSeconds = 32;
constexpr double kCellDegrees = 0.01;
constexpr int64_t kCellRow = 65536; // cell = latitude index * kCellRow + longitude index
// Above this many cells (a radius of tens of kilometres) the question reads
// whole rows of cells instead of listing each one.
constexpr std::size_t kMaxListedCells = 20000;
// The advisory lock every writer of a catalogue takes ("Rovix" in ASCII).
constexpr long long kWriterLock = 0x526f766978LL;
constexpr int64_t kNoBound = int64_t(1) << 62;

const char* const kMigrations[] = {
    R"(
CREATE TABLE files(
    id BIGSERIAL PRIMARY KEY,
    sha256 TEXT NOT NULL UNIQUE,
    size BIGINT NOT NULL,
    archive_path BYTEA NOT NULL UNIQUE,
    original_path BYTEA NOT NULL,
    card BYTEA NOT NULL,
    vehicle BYTEA NOT NULL,
    role TEXT NOT NULL,
    ingested_at BIGINT NOT NULL);
CREATE INDEX files_size ON files(size);
CREATE TABLE trips(
    id BIGSERIAL PRIMARY KEY,
    vehicle BYTEA NOT NULL);
CREATE TABLE recordings(
    id BIGSERIAL PRIMARY KEY,
    file_id BIGINT NOT NULL UNIQUE REFERENCES files(id),
    vehicle BYTEA NOT NULL,
    type INTEGER NOT NULL,
    camera INTEGER NOT NULL,
    kind INTEGER NOT NULL,
    codec TEXT,
    family TEXT,
    start TEXT,
    start_seconds BIGINT NOT NULL,
    day TEXT NOT NULL,
    duration DOUBLE PRECISION NOT NULL,
    log_sha256 TEXT,
    partner_path BYTEA,
    track_source TEXT,
    distance_m DOUBLE PRECISION NOT NULL,
    driving_s INTEGER NOT NULL,
    top_kmh DOUBLE PRECISION NOT NULL,
    harsh INTEGER NOT NULL,
    trip_id BIGINT REFERENCES trips(id));
CREATE INDEX recordings_day ON recordings(day, vehicle);
CREATE TABLE track(
    recording_id BIGINT NOT NULL REFERENCES recordings(id),
    second INTEGER NOT NULL,
    lat DOUBLE PRECISION NOT NULL,
    lon DOUBLE PRECISION NOT NULL,
    speed_kmh DOUBLE PRECISION NOT NULL,
    PRIMARY KEY(recording_id, second));
CREATE TABLE track_cells(
    cell BIGINT NOT NULL,
    min_t BIGINT NOT NULL,
    max_t BIGINT NOT NULL,
    recording_id BIGINT NOT NULL REFERENCES recordings(id),
    first_second INTEGER NOT NULL,
    last_second INTEGER NOT NULL);
CREATE INDEX track_cells_place ON track_cells(cell, min_t);
CREATE TABLE marks(
    id BIGSERIAL PRIMARY KEY,
    recording_id BIGINT NOT NULL REFERENCES recordings(id),
    second INTEGER NOT NULL,
    kind TEXT NOT NULL,
    value DOUBLE PRECISION NOT NULL);
CREATE INDEX marks_recording ON marks(recording_id);
)",
    R"(
CREATE TABLE day_totals(
    vehicle BYTEA NOT NULL,
    day TEXT NOT NULL,
    distance_m DOUBLE PRECISION NOT NULL,
    driving_s INTEGER NOT NULL,
    top_kmh DOUBLE PRECISION NOT NULL,
    harsh INTEGER NOT NULL,
    event_recordings INTEGER NOT NULL,
    recordings INTEGER NOT NULL,
    PRIMARY KEY(vehicle, day));
INSERT INTO day_totals
    SELECT vehicle, day, SUM(distance_m), SUM(driving_s), MAX(top_kmh), SUM(harsh),
           SUM((type=1 AND (camera<>2 OR partner_path IS NULL))::int), COUNT(*)
    FROM recordings GROUP BY vehicle, day;
)",
};
static_assert(int(sizeof(kMigrations) / sizeof(kMigrations[0])) == kCatalogueSchemaVersion,
              "one migration per schema version");

struct ResultFree {
    void operator()(PGresult* r) const { pq().PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

// Query parameters: numbers and plain text as text, bytes as binary.
class Params
{
public:
    Params& text(std::string v) { return add(std::move(v), 0); }
    Params& bytes(std::string v) { return add(std::move(v), 1); }
    Params& number(int64_t v) { return add(std::to_string(v), 0); }
    Params& real(double v)
    {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", v);
        return add(text, 0);
    }
    // "" as SQL NULL.
    Params& optionalText(const std::string& v) { return v.empty() ? null() : text(v); }
    Params& optionalBytes(const std::string& v) { return v.empty() ? null() : bytes(v); }
    Params& null()
    {
        m_values.emplace_back();
        m_null.push_back(true);
        m_formats.push_back(0);
        return *this;
    }

    int count() const { return int(m_values.size()); }
    std::vector<const char*> values() const
    {
        std::vector<const char*> out;
        for (std::size_t i = 0; i < m_values.size(); ++i)
            out.push_back(m_null[i] ? nullptr : m_values[i].data());
        return out;
    }
    std::vector<int> lengths() const
    {
        std::vector<int> out;
        for (const std::string& v : m_values)
            out.push_back(int(v.size()));
        return out;
    }
    const int* formats() const { return m_formats.data(); }

private:
    Params& add(std::string v, int format)
    {
        m_values.push_back(std::move(v));
        m_null.push_back(false);
        m_formats.push_back(format);
        return *this;
    }
    std::vector<std::string> m_values;
    std::vector<bool> m_null;
    std::vector<int> m_formats;
};

// An array literal for a parameter such as $2::float8[].
template <typename T, typename F> std::string arrayOf(const std::vector<T>& items, F value)
{
    std::string out = "{";
    char text[40];
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += ',';
        value(items[i], text, sizeof text);
        out += text;
    }
    return out + "}";
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

int64_t latIndex(double lat)
{
    return std::clamp(int64_t(std::floor((lat + 90.0) / kCellDegrees)), int64_t(0),
                      int64_t(180 / kCellDegrees));
}

int64_t lonIndex(double lon)
{
    return std::clamp(int64_t(std::floor((lon + 180.0) / kCellDegrees)), int64_t(0),
                      int64_t(360 / kCellDegrees));
}

class PostgresCatalogue final : public Catalogue
{
public:
    ~PostgresCatalogue() override
    {
        if (m_conn)
            pq().PQfinish(m_conn);
    }

    bool open(const std::string& url, std::string& error)
    {
        m_conn = pq().PQconnectdb(url.c_str());
        if (pq().PQstatus(m_conn) != CONNECTION_OK) {
            error = "cannot reach the PostgreSQL catalogue: " + connectionError();
            return false;
        }
        m_name = std::string("the PostgreSQL catalogue ") + pq().PQdb(m_conn) + " on " + pq().PQhost(m_conn);
        if (!run("SET client_min_messages = warning", Params(), error) ||
            !run("SET bytea_output = hex", Params(), error))
            return false;
        int version = 0;
        if (!schemaVersion(version, error))
            return false;
        if (version == kCatalogueSchemaVersion)
            return true;
        if (version < kCatalogueSchemaVersion) {
            // Made or migrated under the writers' lock, so processes opening
            // a new catalogue at once cannot both run the same step.
            if (!begin(error))
                return false;
            if (!run("CREATE TABLE IF NOT EXISTS catalogue_version(version INTEGER NOT NULL)", Params(),
                     error) ||
                !schemaVersion(version, error)) {
                rollback();
                return false;
            }
            for (int step = version; step < kCatalogueSchemaVersion; ++step) {
                if (!run(kMigrations[step], Params(), error)) {
                    rollback();
                    return false;
                }
            }
            if (version < kCatalogueSchemaVersion &&
                (!run("DELETE FROM catalogue_version", Params(), error) ||
                 !run("INSERT INTO catalogue_version VALUES($1)", Params().number(kCatalogueSchemaVersion),
                      error))) {
                rollback();
                return false;
            }
            if (!commit(error))
                return false;
        }
        if (version > kCatalogueSchemaVersion) {
            error = m_name + ": the catalogue has schema version " + std::to_string(version) +
                    ", newer than this program's " + std::to_string(kCatalogueSchemaVersion) +
                    "; use a newer program";
            return false;
        }
        return true;
    }

    bool begin(std::string& error) override
    {
        if (!run("BEGIN", Params(), error))
            return false;
        m_inTransaction = true;
        if (!run("SELECT pg_advisory_xact_lock($1)", Params().number(kWriterLock), error)) {
            rollback();
            return false;
        }
        return true;
    }

    bool commit(std::string& error) override
    {
        m_inTransaction = false;
        return run("COMMIT", Params(), error);
    }

    void rollback() override
    {
        if (!m_inTransaction)
            return;
        m_inTransaction = false;
        std::string ignored;
        if (pq().PQstatus(m_conn) == CONNECTION_OK)
            run("ROLLBACK", Params(), ignored);
    }

    std::optional<std::string> pathOfContent(const std::string& sha256) override
    {
        std::string error;
        Result r = query("SELECT archive_path FROM files WHERE sha256=$1", Params().text(sha256), error);
        if (r && pq().PQntuples(r.get()) > 0)
            return bytesAt(r.get(), 0, 0);
        return std::nullopt;
    }

    bool isPathCatalogued(const std::string& archivePath) override
    {
        std::string error;
        Result r = query("SELECT 1 FROM files WHERE archive_path=$1", Params().bytes(archivePath), error);
        return r && pq().PQntuples(r.get()) > 0;
    }

    bool hasFileOfSize(uint64_t size) override
    {
        std::string error;
        Result r = query("SELECT 1 FROM files WHERE size=$1 LIMIT 1", Params().number(int64_t(size)), error);
        return r && pq().PQntuples(r.get()) > 0;
    }

    int64_t addFile(const CatalogueFile& f, std::string& error) override
    {
        Result r =
            query("INSERT INTO files(sha256,size,archive_path,original_path,card,vehicle,role,ingested_at)"
                  " VALUES($1,$2,$3,$4,$5,$6,$7,$8) RETURNING id",
                  Params()
                      .text(f.sha256)
                      .number(int64_t(f.size))
                      .bytes(f.archivePath)
                      .bytes(f.originalPath)
                      .bytes(f.card)
                      .bytes(f.vehicle)
                      .text(f.role)
                      .number(f.ingestedAt),
                  error);
        return r ? integerAt(r.get(), 0, 0) : -1;
    }

    int64_t addRecording(int64_t fileId, const CatalogueRecording& rec, std::string& error) override
    {
        Params p;
        p.number(fileId)
            .bytes(rec.vehicle)
            .number(rec.type)
            .number(rec.camera)
            .number(rec.kind)
            .optionalText(rec.codec)
            .optionalText(rec.family);
        if (rec.start)
            p.text(*rec.start);
        else
            p.null();
        p.number(rec.startSeconds)
            .text(rec.day)
            .real(rec.durationSeconds)
            .optionalText(rec.logSha256)
            .optionalBytes(rec.partnerPath)
            .optionalText(rec.trackSource)
            .real(rec.distanceMetres)
            .number(rec.drivingSeconds)
            .real(rec.topSpeedKmh)
            .number(int64_t(rec.marks.size()));
        Result r =
            query("INSERT INTO recordings(file_id,vehicle,type,camera,kind,codec,family,start,"
                  "start_seconds,day,duration,log_sha256,partner_path,track_source,distance_m,driving_s,"
                  "top_kmh,harsh) VALUES($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,$12,$13,$14,$15,$16,$17,$18)"
                  " RETURNING id",
                  p, error);
        if (!r)
            return -1;
        const int64_t id = integerAt(r.get(), 0, 0);

        // An event recording counts once per moment: a rear camera's with a
        // front partner is the same event.
        const bool eventRecording = rec.type == 1 && (rec.camera != 2 || rec.partnerPath.empty());
        if (!run(
                "INSERT INTO day_totals VALUES($1,$2,$3,$4,$5,$6,$7,1) ON CONFLICT(vehicle,day) DO UPDATE SET"
                " distance_m=day_totals.distance_m+excluded.distance_m,"
                " driving_s=day_totals.driving_s+excluded.driving_s,"
                " top_kmh=GREATEST(day_totals.top_kmh,excluded.top_kmh),"
                " harsh=day_totals.harsh+excluded.harsh,"
                " event_recordings=day_totals.event_recordings+excluded.event_recordings,"
                " recordings=day_totals.recordings+1",
                Params()
                    .bytes(rec.vehicle)
                    .text(rec.day)
                    .real(rec.distanceMetres)
                    .number(rec.drivingSeconds)
                    .real(rec.topSpeedKmh)
                    .number(int64_t(rec.marks.size()))
                    .number(eventRecording ? 1 : 0),
                error))
            return -1;

        if (!rec.track.empty()) {
            auto number = [](int v, char* t, std::size_t n) { std::snprintf(t, n, "%d", v); };
            auto real = [](double v, char* t, std::size_t n) { std::snprintf(t, n, "%.17g", v); };
            std::vector<int> seconds;
            std::vector<double> lats, lons, speeds;
            for (const CatalogueSecond& s : rec.track) {
                seconds.push_back(s.second);
                lats.push_back(s.lat);
                lons.push_back(s.lon);
                speeds.push_back(double(s.speedKmh));
            }
            if (!run("INSERT INTO track(recording_id,second,lat,lon,speed_kmh)"
                     " SELECT $1::bigint, * FROM unnest($2::int[], $3::float8[], $4::float8[], $5::float8[])",
                     Params()
                         .number(id)
                         .text(arrayOf(seconds, number))
                         .text(arrayOf(lats, real))
                         .text(arrayOf(lons, real))
                         .text(arrayOf(speeds, real)),
                     error))
                return -1;

            // Runs within one cell and at most kRunSeconds long.
            std::vector<int64_t> cells, minT, maxT;
            std::vector<int> first, last;
            auto cellOf = [](const CatalogueSecond& s) {
                return latIndex(s.lat) * kCellRow + lonIndex(s.lon);
            };
            std::size_t runStart = 0;
            for (std::size_t i = 0; i < rec.track.size(); ++i) {
                const bool end = i + 1 == rec.track.size() ||
                                 rec.track[i + 1].second - rec.track[runStart].second >= kRunSeconds ||
                                 cellOf(rec.track[i + 1]) != cellOf(rec.track[runStart]);
                if (!end)
                    continue;
                cells.push_back(cellOf(rec.track[runStart]));
                minT.push_back(rec.startSeconds + rec.track[runStart].second);
                maxT.push_back(rec.startSeconds + rec.track[i].second);
                first.push_back(rec.track[runStart].second);
                last.push_back(rec.track[i].second);
                runStart = i + 1;
            }
            auto big = [](int64_t v, char* t, std::size_t n) { std::snprintf(t, n, "%lld", (long long)v); };
            if (!run("INSERT INTO track_cells(cell,min_t,max_t,recording_id,first_second,last_second)"
                     " SELECT c, lo, hi, $1::bigint, f, l FROM unnest($2::bigint[], $3::bigint[], "
                     "$4::bigint[],"
                     " $5::int[], $6::int[]) AS u(c, lo, hi, f, l)",
                     Params()
                         .number(id)
                         .text(arrayOf(cells, big))
                         .text(arrayOf(minT, big))
                         .text(arrayOf(maxT, big))
                         .text(arrayOf(first, number))
                         .text(arrayOf(last, number)),
                     error))
                return -1;
        }
        for (const CatalogueMark& m : rec.marks) {
            if (!run("INSERT INTO marks(recording_id,second,kind,value) VALUES($1,$2,$3,$4)",
                     Params().number(id).number(m.second).text(m.kind).real(m.value), error))
                return -1;
        }
        return id;
    }

    bool addTrip(const std::string& vehicle, const std::vector<int64_t>& recordingIds,
                 std::string& error) override
    {
        Result r =
            query("INSERT INTO trips(vehicle) VALUES($1) RETURNING id", Params().bytes(vehicle), error);
        if (!r)
            return false;
        auto big = [](int64_t v, char* t, std::size_t n) { std::snprintf(t, n, "%lld", (long long)v); };
        return run("UPDATE recordings SET trip_id=$1 WHERE id = ANY($2::bigint[])",
                   Params().number(integerAt(r.get(), 0, 0)).text(arrayOf(recordingIds, big)), error);
    }

    bool findPasses(const PassQuery& q, std::vector<Pass>& passes, std::string& error) override
    {
        passes.clear();
        const PlaceBounds area = pmPlaceBounds(q);
        // The cells the area touches, as ranges of each row of the grid.
        std::vector<std::pair<int64_t, int64_t>> rows;
        std::size_t cellCount = 0;
        for (int64_t lat = latIndex(area.minLat); lat <= latIndex(area.maxLat); ++lat)
            for (const auto& [west, east] : area.lonRanges) {
                rows.emplace_back(lat * kCellRow + lonIndex(west), lat * kCellRow + lonIndex(east));
                cellCount += std::size_t(rows.back().second - rows.back().first + 1);
            }
        auto big = [](int64_t v, char* t, std::size_t n) { std::snprintf(t, n, "%lld", (long long)v); };
        // A run is at most kRunSeconds long, so one that reaches into the
        // period starts at most that much before it: both ends of the index
        // range are bounded.
        const int64_t from = q.from ? *q.from : -kNoBound;
        const int64_t to = q.to ? *q.to : kNoBound;
        const std::string select =
            "SELECT c.recording_id, r.start_seconds, r.vehicle, f.archive_path, t.second, t.lat, t.lon"
            " FROM track_cells c JOIN recordings r ON r.id=c.recording_id JOIN files f ON f.id=r.file_id"
            " JOIN track t ON t.recording_id=c.recording_id AND t.second BETWEEN c.first_second AND "
            "c.last_second";
        Result r;
        Params p;
        std::string where;
        if (cellCount <= kMaxListedCells) {
            std::vector<int64_t> cells;
            for (const auto& [lo, hi] : rows)
                for (int64_t c = lo; c <= hi; ++c)
                    cells.push_back(c);
            p.text(arrayOf(cells, big));
            where = " WHERE c.cell = ANY($1::bigint[])";
        } else {
            std::vector<int64_t> lows, highs;
            for (const auto& [lo, hi] : rows) {
                lows.push_back(lo);
                highs.push_back(hi);
            }
            p.text(arrayOf(lows, big)).text(arrayOf(highs, big));
            where = " JOIN unnest($1::bigint[], $2::bigint[]) AS g(lo, hi) ON c.cell BETWEEN g.lo AND g.hi "
                    "WHERE true";
        }
        const int n = p.count();
        auto arg = [n](int i) { return "$" + std::to_string(n + i); };
        where += " AND c.min_t BETWEEN " + arg(1) + " AND " + arg(2) + " AND c.max_t >= " + arg(3) +
                 " AND (" + arg(4) + "::bytea IS NULL OR r.vehicle=" + arg(4) + ")";
        p.number(from - kRunSeconds).number(to).number(from).optionalBytes(q.vehicle);
        r = query(select + where, p, error);
        if (!r)
            return false;
        std::map<int64_t, RecordingHits> byRecording;
        for (int i = 0; i < pq().PQntuples(r.get()); ++i) {
            RecordingHits& hits = byRecording[integerAt(r.get(), i, 0)];
            if (hits.path.empty()) {
                hits.start = integerAt(r.get(), i, 1);
                hits.vehicle = bytesAt(r.get(), i, 2);
                hits.path = bytesAt(r.get(), i, 3);
            }
            pmTestSecond(q, int(integerAt(r.get(), i, 4)), realAt(r.get(), i, 5), realAt(r.get(), i, 6),
                         hits);
        }
        pmPassesFromHits(byRecording, passes);
        return true;
    }

    bool report(const ReportQuery& q, std::vector<DayReport>& rows, std::string& error) override
    {
        rows.clear();
        Result r =
            query("SELECT vehicle, day, distance_m, driving_s, top_kmh, harsh, event_recordings, recordings"
                  " FROM day_totals WHERE day BETWEEN $1 AND $2 AND ($3::bytea IS NULL OR vehicle=$3)"
                  " ORDER BY vehicle, day COLLATE \"C\"",
                  Params().text(q.fromDay).text(q.toDay).optionalBytes(q.vehicle), error);
        if (!r)
            return false;
        for (int i = 0; i < pq().PQntuples(r.get()); ++i) {
            DayReport d;
            d.vehicle = bytesAt(r.get(), i, 0);
            d.day = pq().PQgetvalue(r.get(), i, 1);
            d.distanceMetres = realAt(r.get(), i, 2);
            d.drivingSeconds = int(integerAt(r.get(), i, 3));
            d.topSpeedKmh = realAt(r.get(), i, 4);
            d.harshEvents = int(integerAt(r.get(), i, 5));
            d.eventRecordings = int(integerAt(r.get(), i, 6));
            d.recordings = int(integerAt(r.get(), i, 7));
            rows.push_back(std::move(d));
        }
        return true;
    }

    bool events(const EventQuery& q, std::vector<ArchiveEvent>& events, std::string& error) override
    {
        events.clear();
        Result r = query(
            "SELECT r.vehicle, f.archive_path, m.second, r.start_seconds + m.second AS t, m.kind, m.value"
            " FROM marks m JOIN recordings r ON r.id=m.recording_id JOIN files f ON f.id=r.file_id"
            " WHERE r.start_seconds + m.second BETWEEN $1 AND $2"
            " AND ($3::bytea IS NULL OR r.vehicle=$3) AND ($4::text IS NULL OR m.kind=$4)"
            " ORDER BY t, r.vehicle, f.archive_path",
            Params()
                .number(q.from ? *q.from : -kNoBound)
                .number(q.to ? *q.to : kNoBound)
                .optionalBytes(q.vehicle)
                .optionalText(q.kind),
            error);
        if (!r)
            return false;
        for (int i = 0; i < pq().PQntuples(r.get()); ++i)
            events.push_back({bytesAt(r.get(), i, 0), bytesAt(r.get(), i, 1), int(integerAt(r.get(), i, 2)),
                              integerAt(r.get(), i, 3), pq().PQgetvalue(r.get(), i, 4),
                              realAt(r.get(), i, 5)});
        return true;
    }

    bool listFiles(std::vector<std::pair<std::string, std::string>>& files, std::string& error) override
    {
        files.clear();
        Result r = query("SELECT archive_path, sha256 FROM files ORDER BY archive_path", Params(), error);
        if (!r)
            return false;
        for (int i = 0; i < pq().PQntuples(r.get()); ++i)
            files.emplace_back(bytesAt(r.get(), i, 0), pq().PQgetvalue(r.get(), i, 1));
        return true;
    }

private:
    // libpq's message on one line; a lost server said as such.
    std::string connectionError() const
    {
        std::string message;
        for (const char* c = pq().PQerrorMessage(m_conn); *c; ++c) {
            const bool space = *c == '\n' || *c == '\t' || *c == ' ';
            if (!space)
                message += *c;
            else if (!message.empty() && message.back() != ' ')
                message += ' ';
        }
        if (!message.empty() && message.back() == ' ')
            message.pop_back();
        if (pq().PQstatus(m_conn) == CONNECTION_BAD && !m_name.empty())
            return "the server went away (" + message + ")";
        return message;
    }

    Result query(const std::string& sql, const Params& p, std::string& error)
    {
        const std::vector<const char*> values = p.values();
        const std::vector<int> lengths = p.lengths();
        // Without parameters through the simple protocol, which also runs
        // the several statements of a migration step.
        Result r(p.count() == 0 ? pq().PQexec(m_conn, sql.c_str())
                                : pq().PQexecParams(m_conn, sql.c_str(), p.count(), nullptr, values.data(),
                                                    lengths.data(), p.formats(), 0));
        const ExecStatusType status = r ? pq().PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            return r;
        error = m_name.empty() ? connectionError() : m_name + ": " + connectionError();
        return nullptr;
    }

    bool run(const std::string& sql, const Params& p, std::string& error)
    {
        return bool(query(sql, p, error));
    }

    bool schemaVersion(int& version, std::string& error)
    {
        Result exists = query("SELECT to_regclass('catalogue_version') IS NOT NULL", Params(), error);
        if (!exists)
            return false;
        version = 0;
        if (std::strcmp(pq().PQgetvalue(exists.get(), 0, 0), "t") != 0)
            return true;
        Result r = query("SELECT COALESCE(MAX(version), 0) FROM catalogue_version", Params(), error);
        if (!r)
            return false;
        version = int(integerAt(r.get(), 0, 0));
        return true;
    }

    static int64_t integerAt(PGresult* r, int row, int column)
    {
        return std::strtoll(pq().PQgetvalue(r, row, column), nullptr, 10);
    }
    static double realAt(PGresult* r, int row, int column)
    {
        return std::strtod(pq().PQgetvalue(r, row, column), nullptr);
    }
    // A bytea column in the hex output form "\x...".
    static std::string bytesAt(PGresult* r, int row, int column)
    {
        const char* text = pq().PQgetvalue(r, row, column);
        const std::size_t length = std::size_t(pq().PQgetlength(r, row, column));
        std::string out;
        if (length < 2 || text[0] != '\\' || text[1] != 'x')
            return std::string(text, length);
        out.reserve((length - 2) / 2);
        for (std::size_t i = 2; i + 1 < length; i += 2)
            out += char(hexValue(text[i]) * 16 + hexValue(text[i + 1]));
        return out;
    }

    PGconn* m_conn = nullptr;
    std::string m_name;
    bool m_inTransaction = false;
};

} // namespace

bool pmIsCatalogueUrl(const std::string& text)
{
    return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Catalogue> pmOpenPostgresCatalogue(const std::string& url, std::string& error)
{
    if (!pmIsCatalogueUrl(url)) {
        error = "a catalogue is named by a postgresql:// address";
        return nullptr;
    }
    if (!pmLibPq(error))
        return nullptr;
    auto catalogue = std::make_unique<PostgresCatalogue>();
    if (!catalogue->open(url, error))
        return nullptr;
    return catalogue;
}
