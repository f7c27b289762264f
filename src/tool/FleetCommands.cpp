// rovixtool ingest, find and report: the fleet archive from the command line.
//
// With --catalogue postgresql://... the catalogue is on a PostgreSQL server
// instead of DIR/catalogue.sqlite; the questions then need no --archive (the
// paths they print are then relative to the archive folder).
//
// ingest --archive DIR [--catalogue URL] --vehicle NAME CARD...
//   One line per file on stdout, tab-separated with escaped paths:
//     copied|adopted|archived  SOURCE  ARCHIVE-PATH
//     skipped                  SOURCE  REASON
//   then a summary line. Exit 0 when everything readable went in (skipped
//   files are counted in the summary), 1 when the archive or its catalogue
//   failed or a signal stopped the run, 2 on a usage error.
// find --archive DIR|--catalogue URL --near LAT,LON --radius METRES [--from T] [--to T] [--vehicle V]
// [--json]
//   One line per pass: vehicle, recording, nearest second, its camera time,
//   distance in metres.
// report --archive DIR|--catalogue URL --from DAY --to DAY [--vehicle V] [--format csv|pdf] [--json]
//   One row per vehicle and day; as a PDF, a paged table on stdout.
// events --archive DIR|--catalogue URL [--from T] [--to T] [--vehicle V] [--kind K] [--json]
//   One line per harsh-driving mark: vehicle, recording, second, its camera
//   time, kind, peak.
#include "tool/Commands.h"

#include "core/BackupEngine.h"
#include "core/FileRules.h"
#include "core/PdfTable.h"
#include "fleet/Catalogue.h"
#include "fleet/Ingest.h"
#include "tool/MediaDurationProbe.h"
#include "tool/StopSignals.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

struct Args {
    std::map<std::string, std::string> values;
    std::vector<std::string> positional;
    bool json = false;
    std::string bad;
};

Args parse(int argc, char** argv, const std::vector<std::string>& withValue)
{
    Args a;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--json") {
            a.json = true;
            continue;
        }
        bool known = false;
        for (const std::string& name : withValue) {
            if (arg == name) {
                known = true;
                if (i + 1 >= argc)
                    a.bad = arg + " needs a value";
                else
                    a.values[name] = argv[++i];
            }
        }
        if (!known) {
            if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-')
                a.bad = "unknown option " + arg;
            else
                a.positional.push_back(arg);
        }
    }
    return a;
}

std::string humanBytes(double bytes)
{
    const char* units[] = {"B", "kB", "MB", "GB", "TB"};
    int u = 0;
    while (bytes >= 1000 && u < 4) {
        bytes /= 1000;
        ++u;
    }
    char text[64];
    std::snprintf(text, sizeof text, u ? "%.1f %s" : "%.0f %s", bytes, units[u]);
    return text;
}

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS" ("T" may stand
// for the space) as camera-clock seconds; a bare day means its first second,
// or with `endOfDay` its last.
bool parseTime(const std::string& text, bool endOfDay, int64_t& out)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char sep = 0;
    int n = std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &y, &mo, &d, &sep, &h, &mi, &s);
    if (n == 3 && text.size() == 10) {
        if (endOfDay) {
            h = 23;
            mi = 59;
            s = 59;
        }
    } else if (!((n == 6 || n == 7) && (sep == ' ' || sep == 'T'))) {
        return false;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || y < 1970)
        return false;
    struct tm t {
    };
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    out = int64_t(::timegm(&t));
    return true;
}

std::string clockText(int64_t seconds)
{
    const time_t when = time_t(seconds);
    struct tm t {
    };
    ::gmtime_r(&when, &t);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

bool parseDay(const std::string& text, std::string& day)
{
    int64_t seconds = 0;
    if (text.size() != 10 || !parseTime(text, false, seconds))
        return false;
    day = clockText(seconds).substr(0, 10);
    return day == text;
}

// The catalogue a question names: --catalogue, else the archive's own.
std::unique_ptr<Catalogue> openExisting(const char* command, const Args& a)
{
    std::string error;
    if (a.values.count("--catalogue")) {
        auto catalogue = pmOpenPostgresCatalogue(a.values.at("--catalogue"), error);
        if (!catalogue)
            std::fprintf(stderr, "rovixtool: %s: %s\n", command, error.c_str());
        return catalogue;
    }
    const std::string archive = a.values.at("--archive");
    struct stat st {
    };
    if (::stat((archive + "/catalogue.sqlite").c_str(), &st) != 0) {
        std::fprintf(stderr, "rovixtool: %s: %s holds no catalogue\n", command, archive.c_str());
        return nullptr;
    }
    auto catalogue = pmOpenSqliteCatalogue(archive, error);
    if (!catalogue)
        std::fprintf(stderr, "rovixtool: %s: %s\n", command, error.c_str());
    return catalogue;
}

void appendCsvField(std::string& out, const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

std::string hms(int seconds)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

// Where a question finds its catalogue: --archive, --catalogue or both, and a
// catalogue address that is one.
bool namesCatalogue(const Args& a)
{
    return (a.values.count("--archive") || a.values.count("--catalogue")) &&
           (!a.values.count("--catalogue") || pmIsCatalogueUrl(a.values.at("--catalogue")));
}

// The printed path of an archived file: under --archive when given.
std::string shownPath(const Args& a, const std::string& archivePath)
{
    return a.values.count("--archive") ? a.values.at("--archive") + "/" + archivePath : archivePath;
}

} // namespace

int runIngestCommand(int argc, char** argv)
{
    const Args a = parse(argc, argv, {"--archive", "--vehicle", "--catalogue"});
    if (!a.bad.empty() || !a.values.count("--archive") || !a.values.count("--vehicle") ||
        a.positional.empty() || !namesCatalogue(a)) {
        std::fprintf(stderr,
                     "usage: rovixtool ingest --archive DIR [--catalogue postgresql://...] --vehicle NAME "
                     "CARD...%s%s\n",
                     a.bad.empty() ? "" : "\nrovixtool: ingest: ", a.bad.c_str());
        return 2;
    }
    const std::string archive = a.values.at("--archive");
    const std::string vehicle = a.values.at("--vehicle");
    std::string reason;
    if (!pmIsSafeVehicleName(vehicle, reason)) {
        std::string shown;
        pmAppendEscapedField(shown, vehicle);
        std::fprintf(stderr, "rovixtool: ingest: the vehicle name \"%s\" cannot be a folder name: %s\n",
                     shown.c_str(), reason.c_str());
        return 2;
    }
    if (::mkdir(archive.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "rovixtool: ingest: cannot make %s: %s\n", archive.c_str(),
                     std::strerror(errno));
        return 1;
    }
    std::string error;
    std::unique_ptr<Catalogue> catalogue = a.values.count("--catalogue")
                                               ? pmOpenPostgresCatalogue(a.values.at("--catalogue"), error)
                                               : pmOpenSqliteCatalogue(archive, error);
    if (!catalogue) {
        std::fprintf(stderr, "rovixtool: ingest: %s\n", error.c_str());
        return 1;
    }

    BackupProgress progress;
    pmCancelOnStopSignals(progress.canceled);
    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    const auto started = std::chrono::steady_clock::now();
    auto lastShown = started - std::chrono::seconds(1);
    bool progressShown = false;

    IngestOptions options;
    options.vehicle = vehicle;
    options.videoSeconds = [](const std::string& path) { return toolMediaDurationSeconds(path); };
    options.onProgress = [&](uint64_t done, uint64_t total) {
        if (!showProgress)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastShown < std::chrono::milliseconds(250) && done < total)
            return;
        lastShown = now;
        const double elapsed = std::chrono::duration<double>(now - started).count();
        const double rate = elapsed > 0 ? double(done) / elapsed : 0;
        const double left = rate > 0 && total > done ? double(total - done) / rate : 0;
        std::fprintf(stderr, "\r%s of %s, %s/s, %d:%02d left   ", humanBytes(double(done)).c_str(),
                     humanBytes(double(total)).c_str(), humanBytes(rate).c_str(), int(left) / 60,
                     int(left) % 60);
        progressShown = true;
    };
    options.onFile = [&](const std::string& outcome, const std::string& path, const std::string& detail) {
        if (progressShown) {
            std::fputs("\r\033[K", stderr);
            progressShown = false;
        }
        std::string line = outcome;
        line += '\t';
        pmAppendEscapedField(line, path);
        line += '\t';
        pmAppendEscapedField(line, detail);
        line += '\n';
        std::fputs(line.c_str(), stdout);
    };

    IngestResult total;
    bool failed = false;
    for (const std::string& card : a.positional) {
        progress.bytesDone.store(0);
        const IngestResult r = pmIngestCard(archive, *catalogue, card, options, progress);
        total.recordingsCopied += r.recordingsCopied;
        total.recordingsArchived += r.recordingsArchived;
        total.logsCopied += r.logsCopied;
        total.skipped += r.skipped;
        total.bytesCopied += r.bytesCopied;
        if (r.archiveFailed) {
            std::fprintf(stderr, "rovixtool: ingest: %s: the archive failed: %s\n", card.c_str(),
                         r.error.c_str());
            failed = true;
            break;
        }
        if (r.canceled || progress.canceled.load())
            break;
    }
    if (progressShown)
        std::fputs("\r\033[K", stderr);
    const std::string skipped = std::to_string(total.skipped) + " skipped";
    if (total.recordingsCopied == 0 && total.logsCopied == 0)
        std::printf("ingest: nothing new: %d recordings already archived, %s\n", total.recordingsArchived,
                    skipped.c_str());
    else
        std::printf("ingest: %d recordings and %d logs copied (%s), %d recordings already archived, %s\n",
                    total.recordingsCopied, total.logsCopied, humanBytes(double(total.bytesCopied)).c_str(),
                    total.recordingsArchived, skipped.c_str());
    std::fflush(stdout);
    if (pmStoppedBySignal("ingest"))
        return 1;
    return failed ? 1 : 0;
}

int runFindCommand(int argc, char** argv)
{
    const Args a =
        parse(argc, argv, {"--archive", "--catalogue", "--near", "--radius", "--from", "--to", "--vehicle"});
    PassQuery q;
    bool ok = a.bad.empty() && a.positional.empty() && namesCatalogue(a) && a.values.count("--near") &&
              a.values.count("--radius");
    if (ok) {
        char* end = nullptr;
        const std::string& near = a.values.at("--near");
        q.lat = std::strtod(near.c_str(), &end);
        ok = end && *end == ',';
        if (ok) {
            const char* lon = end + 1;
            q.lon = std::strtod(lon, &end);
            ok = end != lon && *end == 0;
        }
        const std::string& radius = a.values.at("--radius");
        q.radiusMetres = std::strtod(radius.c_str(), &end);
        ok = ok && end != radius.c_str() && *end == 0 && std::isfinite(q.lat) && std::isfinite(q.lon) &&
             std::fabs(q.lat) <= 90 && std::fabs(q.lon) <= 180 && q.radiusMetres > 0 &&
             q.radiusMetres <= 100000;
        int64_t t = 0;
        if (a.values.count("--from")) {
            ok = ok && parseTime(a.values.at("--from"), false, t);
            q.from = t;
        }
        if (a.values.count("--to")) {
            ok = ok && parseTime(a.values.at("--to"), true, t);
            q.to = t;
        }
        if (a.values.count("--vehicle"))
            q.vehicle = a.values.at("--vehicle");
    }
    if (!ok) {
        std::fprintf(stderr, "usage: rovixtool find --archive DIR|--catalogue URL --near LAT,LON --radius "
                             "METRES [--from T] [--to T] "
                             "[--vehicle V] [--json]\n"
                             "  T: YYYY-MM-DD[ HH:MM[:SS]] of the camera clock; METRES up to 100000\n");
        return 2;
    }
    auto catalogue = openExisting("find", a);
    if (!catalogue)
        return 1;
    std::vector<Pass> passes;
    std::string error;
    if (!catalogue->findPasses(q, passes, error)) {
        std::fprintf(stderr, "rovixtool: find: %s\n", error.c_str());
        return 1;
    }
    std::string out;
    char number[64];
    for (const Pass& p : passes) {
        const std::string path = shownPath(a, p.archivePath);
        std::snprintf(number, sizeof number, "%.1f", p.distanceMetres);
        if (a.json) {
            out += "{\"vehicle\":";
            pmAppendJsonString(out, p.vehicle);
            out += ",\"path\":";
            pmAppendJsonString(out, path);
            out += ",\"second\":" + std::to_string(p.nearestSecond) + ",\"time\":\"" +
                   clockText(p.nearestTime) + "\",\"distance_m\":" + number +
                   ",\"first_second\":" + std::to_string(p.firstSecond) +
                   ",\"last_second\":" + std::to_string(p.lastSecond) + "}\n";
        } else {
            pmAppendEscapedField(out, p.vehicle);
            out += '\t';
            pmAppendEscapedField(out, path);
            out += '\t' + std::to_string(p.nearestSecond) + '\t' + clockText(p.nearestTime) + '\t' + number +
                   '\n';
        }
    }
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "rovixtool: find: cannot write the answer\n");
        return 1;
    }
    return 0;
}

int runArchiveEventsCommand(int argc, char** argv)
{
    const Args a = parse(argc, argv, {"--archive", "--catalogue", "--from", "--to", "--vehicle", "--kind"});
    EventQuery q;
    bool ok = a.bad.empty() && a.positional.empty() && namesCatalogue(a);
    int64_t t = 0;
    if (ok && a.values.count("--from")) {
        ok = parseTime(a.values.at("--from"), false, t);
        q.from = t;
    }
    if (ok && a.values.count("--to")) {
        ok = parseTime(a.values.at("--to"), true, t);
        q.to = t;
    }
    if (a.values.count("--vehicle"))
        q.vehicle = a.values.at("--vehicle");
    if (a.values.count("--kind")) {
        q.kind = a.values.at("--kind");
        ok = ok && (q.kind == "brake" || q.kind == "accel" || q.kind == "turn");
    }
    if (!ok) {
        std::fprintf(
            stderr, "usage: rovixtool events --archive DIR|--catalogue URL [--from T] [--to T] [--vehicle V] "
                    "[--kind brake|accel|turn] [--json]\n");
        return 2;
    }
    auto catalogue = openExisting("events", a);
    if (!catalogue)
        return 1;
    std::vector<ArchiveEvent> events;
    std::string error;
    if (!catalogue->events(q, events, error)) {
        std::fprintf(stderr, "rovixtool: events: %s\n", error.c_str());
        return 1;
    }
    std::string out;
    char peak[32];
    for (const ArchiveEvent& e : events) {
        const std::string path = shownPath(a, e.archivePath);
        std::snprintf(peak, sizeof peak, "%.2f", e.value);
        if (a.json) {
            out += "{\"vehicle\":";
            pmAppendJsonString(out, e.vehicle);
            out += ",\"path\":";
            pmAppendJsonString(out, path);
            out += ",\"second\":" + std::to_string(e.second) + ",\"time\":\"" + clockText(e.time) +
                   "\",\"kind\":";
            pmAppendJsonString(out, e.kind);
            out += ",\"peak\":" + std::string(peak) + "}\n";
        } else {
            pmAppendEscapedField(out, e.vehicle);
            out += '\t';
            pmAppendEscapedField(out, path);
            out += '\t' + std::to_string(e.second) + '\t' + clockText(e.time) + '\t' + e.kind + '\t' + peak +
                   '\n';
        }
    }
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "rovixtool: events: cannot write the list\n");
        return 1;
    }
    return 0;
}

int runReportCommand(int argc, char** argv)
{
    const Args a = parse(argc, argv, {"--archive", "--catalogue", "--from", "--to", "--vehicle", "--format"});
    ReportQuery q;
    bool ok = a.bad.empty() && a.positional.empty() && namesCatalogue(a) && a.values.count("--from") &&
              a.values.count("--to") && parseDay(a.values.at("--from"), q.fromDay) &&
              parseDay(a.values.at("--to"), q.toDay);
    const std::string format = a.values.count("--format") ? a.values.at("--format") : "text";
    ok = ok && (format == "text" || format == "csv" || (format == "pdf" && !a.json));
    if (!ok) {
        std::fprintf(
            stderr, "usage: rovixtool report --archive DIR|--catalogue URL --from YYYY-MM-DD --to YYYY-MM-DD "
                    "[--vehicle V] [--format csv|pdf] [--json]\n");
        return 2;
    }
    if (format == "pdf" && ::isatty(STDOUT_FILENO) == 1) {
        std::fprintf(stderr, "rovixtool: report: a PDF is written to stdout: redirect it to a file\n");
        return 2;
    }
    if (a.values.count("--vehicle"))
        q.vehicle = a.values.at("--vehicle");
    auto catalogue = openExisting("report", a);
    if (!catalogue)
        return 1;
    std::vector<DayReport> rows;
    std::string error;
    if (!catalogue->report(q, rows, error)) {
        std::fprintf(stderr, "rovixtool: report: %s\n", error.c_str());
        return 1;
    }
    std::string out;
    char figures[160];
    if (format == "pdf") {
        PdfTable table;
        table.title =
            "Day report " + q.fromDay + " to " + q.toDay + (q.vehicle.empty() ? "" : ", " + q.vehicle);
        table.columns = {{"Vehicle", false},         {"Day", false},
                         {"Distance (km)", true},    {"Driving time", true},
                         {"Top speed (km/h)", true}, {"Harsh events", true},
                         {"Event recordings", true}};
        for (const DayReport& r : rows) {
            std::snprintf(figures, sizeof figures, "%.3f", r.distanceMetres / 1000);
            std::string distance = figures;
            std::snprintf(figures, sizeof figures, "%.1f", r.topSpeedKmh);
            table.rows.push_back({r.vehicle, r.day, distance, hms(r.drivingSeconds), figures,
                                  std::to_string(r.harshEvents), std::to_string(r.eventRecordings)});
        }
        out = pmWritePdfTable(table);
    } else if (!a.json)
        out +=
            format == "csv"
                ? "vehicle,day,distance_km,driving_time,top_speed_kmh,harsh_events,event_recordings\n"
                : "vehicle\tday\tdistance_km\tdriving_time\ttop_speed_kmh\tharsh_events\tevent_recordings\n";
    for (const DayReport& r : rows) {
        if (a.json) {
            out += "{\"vehicle\":";
            pmAppendJsonString(out, r.vehicle);
            std::snprintf(
                figures, sizeof figures,
                ",\"day\":\"%s\",\"distance_km\":%.3f,\"driving_seconds\":%d,\"top_speed_kmh\":%.1f,"
                "\"harsh_events\":%d,\"event_recordings\":%d,\"recordings\":%d}\n",
                r.day.c_str(), r.distanceMetres / 1000, r.drivingSeconds, r.topSpeedKmh, r.harshEvents,
                r.eventRecordings, r.recordings);
            out += figures;
            continue;
        }
        const char sep = format == "csv" ? ',' : '\t';
        if (format == "csv")
            appendCsvField(out, r.vehicle);
        else
            pmAppendEscapedField(out, r.vehicle);
        std::snprintf(figures, sizeof figures, "%c%s%c%.3f%c%s%c%.1f%c%d%c%d\n", sep, r.day.c_str(), sep,
                      r.distanceMetres / 1000, sep, hms(r.drivingSeconds).c_str(), sep, r.topSpeedKmh, sep,
                      r.harshEvents, sep, r.eventRecordings);
        out += figures;
    }
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "rovixtool: report: cannot write the report\n");
        return 1;
    }
    return 0;
}
