#pragma once
// The archive's catalogue: what each archived file is, what each recording
// says, and where every second of its track was. The ingest and the questions
// talk to this interface only, so a database server can stand in for the
// embedded file without either of them changing.
//
// Times are the camera's clock (the reading its names and logs state, no time
// zone), as seconds since 1970-01-01 00:00 of that clock.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct CatalogueFile {
    std::string sha256; // lower-case hex, unique in the catalogue
    uint64_t size = 0;
    std::string archivePath; // relative to the archive folder
    std::string originalPath;
    std::string card;
    std::string vehicle;
    std::string role;       // "recording" or "log"
    int64_t ingestedAt = 0; // seconds since the epoch (UTC)
};

struct CatalogueSecond {
    int second = 0; // from the start of the recording
    double lat = 0;
    double lon = 0;
    float speedKmh = 0;
};

struct CatalogueMark {
    int second = 0;
    std::string kind;
    double value = 0;
};

struct CatalogueRecording {
    std::string vehicle;
    int type = 0;
    int camera = 0;
    int kind = 0;
    std::string codec;
    std::string family;
    std::optional<std::string> start; // "YYYY-MM-DD HH:MM:SS" when the name states a real one
    int64_t startSeconds = 0;         // the name's start, else the file's modification time
    std::string day;                  // "YYYY-MM-DD" of startSeconds
    double durationSeconds = 0;
    std::string logSha256;   // the log's file, "" when none
    std::string partnerPath; // original path of the other camera's recording, "" when none
    std::string trackSource; // "log", "avi", "embedded" or ""
    // Figures of the day report; zero for a recording whose track is another's
    // (a rear camera reads its front partner's log), so no drive counts twice.
    double distanceMetres = 0;
    int drivingSeconds = 0;
    double topSpeedKmh = 0;
    std::vector<CatalogueSecond> track; // the seconds with a fix
    // Harsh-driving marks ("brake", "accel", "turn"; the peak in g, or in
    // km/h per second for a track without G-sensor data).
    std::vector<CatalogueMark> marks;
};

struct PassQuery {
    double lat = 0;
    double lon = 0;
    double radiusMetres = 0;
    std::optional<int64_t> from; // camera clock, inclusive
    std::optional<int64_t> to;
    std::string vehicle; // "" for all
};

// A run of consecutive seconds of one recording within the radius.
struct Pass {
    std::string vehicle;
    std::string archivePath;
    int firstSecond = 0;
    int lastSecond = 0;
    int nearestSecond = 0;
    int64_t nearestTime = 0; // camera clock
    double distanceMetres = 0;
};

struct ReportQuery {
    std::string fromDay; // "YYYY-MM-DD", inclusive
    std::string toDay;
    std::string vehicle;
};

struct EventQuery {
    std::optional<int64_t> from; // camera clock, inclusive
    std::optional<int64_t> to;
    std::string vehicle;
    std::string kind; // "" for every kind
};

struct ArchiveEvent {
    std::string vehicle;
    std::string archivePath;
    int second = 0;
    int64_t time = 0; // camera clock
    std::string kind;
    double value = 0;
};

struct DayReport {
    std::string vehicle;
    std::string day;
    double distanceMetres = 0;
    int drivingSeconds = 0;
    double topSpeedKmh = 0;
    int harshEvents = 0;
    int eventRecordings = 0;
    int recordings = 0;
};

class Catalogue
{
public:
    virtual ~Catalogue() = default;

    // One writer at a time: begin() waits for others (other processes
    // included) and every change until commit() lands whole or not at all.
    virtual bool begin(std::string& error) = 0;
    virtual bool commit(std::string& error) = 0;
    virtual void rollback() = 0;

    // The archive path of the file with this content, if catalogued.
    virtual std::optional<std::string> pathOfContent(const std::string& sha256) = 0;
    virtual bool isPathCatalogued(const std::string& archivePath) = 0;
    // Whether any file of this size is catalogued (a cheap test before hashing).
    virtual bool hasFileOfSize(uint64_t size) = 0;

    // Inside begin()/commit(). Return the new row's id, or -1 with `error`.
    virtual int64_t addFile(const CatalogueFile& file, std::string& error) = 0;
    virtual int64_t addRecording(int64_t fileId, const CatalogueRecording& recording, std::string& error) = 0;
    virtual bool addTrip(const std::string& vehicle, const std::vector<int64_t>& recordingIds,
                         std::string& error) = 0;

    virtual bool findPasses(const PassQuery& query, std::vector<Pass>& passes, std::string& error) = 0;
    virtual bool report(const ReportQuery& query, std::vector<DayReport>& rows, std::string& error) = 0;
    // Harsh-driving marks in time order.
    virtual bool events(const EventQuery& query, std::vector<ArchiveEvent>& events, std::string& error) = 0;
    // Every catalogued file: archive path and hash (for checks).
    virtual bool listFiles(std::vector<std::pair<std::string, std::string>>& files, std::string& error) = 0;
    // The vehicles that have a file in the archive, sorted. Worked out from
    // listFiles unless a backend can answer it from an index.
    virtual bool vehicles(std::vector<std::string>& names, std::string& error);
};

// The schema version this program writes.
constexpr int kCatalogueSchemaVersion = 2;

// The embedded catalogue DIR/catalogue.sqlite, made or migrated as needed;
// null with `error` when it cannot be opened or is of a newer schema.
std::unique_ptr<Catalogue> pmOpenSqliteCatalogue(const std::string& archiveFolder, std::string& error);
// The same catalogue for questions only: nothing is made, migrated or
// written, so a browser never changes an archive it looks at. Null with
// `error` when the folder holds no catalogue, the file is no catalogue, or its
// schema is newer than this program's. Writing through it fails.
std::unique_ptr<Catalogue> pmOpenSqliteCatalogueReadOnly(const std::string& archiveFolder,
                                                         std::string& error);

// Whether the text names a PostgreSQL catalogue (postgresql:// or postgres://).
bool pmIsCatalogueUrl(const std::string& text);

// The catalogue on a PostgreSQL server, named by a libpq connection address
// (postgresql://user@host/db, or a Unix socket as postgresql:///db?host=/run/postgresql),
// made or migrated as needed; null with `error` when the server cannot be
// reached or the catalogue is of a newer schema.
std::unique_ptr<Catalogue> pmOpenPostgresCatalogue(const std::string& url, std::string& error);

// Great-circle distance in metres.
double pmDistanceMetres(double lat1, double lon1, double lat2, double lon2);
