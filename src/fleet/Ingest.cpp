#include "fleet/Ingest.h"

#include "core/CameraFamilies.h"
#include "core/FileRules.h"
#include "core/GpsList.h"
#include "core/HarshEvents.h"
#include "core/LibraryScan.h"
#include "core/TrackLoader.h"
#include "core/Trips.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

namespace
{

// Slots a name may take in one day folder before the run gives up on it.
constexpr int kMaxSlots = 1000;
// A second-to-second step longer than this (1,000 km/h) is a bad fix, not a drive.
constexpr double kMaxStepMetres = 280.0;
// At or above this the vehicle counts as driving.
constexpr float kDrivingKmh = 5.0f;

std::string nameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool makeFolders(const std::string& root, const std::string& relative, std::string& error)
{
    std::string path = root;
    std::size_t at = 0;
    while (at < relative.size()) {
        const auto slash = relative.find('/', at);
        const std::string part =
            relative.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
        at = slash == std::string::npos ? relative.size() : slash + 1;
        if (part.empty())
            continue;
        path += "/" + part;
        if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
            error = "cannot make " + path + ": " + std::strerror(errno);
            return false;
        }
        struct stat st {
        };
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            error = path + " is not a folder";
            return false;
        }
    }
    return true;
}

std::string realPath(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return std::string();
    std::string out(resolved);
    std::free(resolved);
    return out;
}

bool isInside(const std::string& path, const std::string& folder)
{
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path[folder.size()] == '/');
}

// The camera clock of a recording's start: the name's, else the file's
// modification time read as this machine's local time (the way a camera
// without a time in its names set it).
int64_t startSecondsOf(const NameFacts& facts, const std::string& path, bool& fromName)
{
    struct tm t {
    };
    fromName = facts.hasTime && pmIsRealDateTime(facts.start);
    if (fromName) {
        t.tm_year = facts.start.wYear - 1900;
        t.tm_mon = facts.start.wMonth - 1;
        t.tm_mday = facts.start.wDay;
        t.tm_hour = facts.start.wHour;
        t.tm_min = facts.start.wMinute;
        t.tm_sec = facts.start.wSecond;
    } else {
        struct stat st {
        };
        const time_t mtime = ::stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
        ::localtime_r(&mtime, &t);
    }
    return int64_t(::timegm(&t));
}

std::string dayText(int64_t seconds, char separator)
{
    const time_t when = time_t(seconds);
    struct tm t {
    };
    ::gmtime_r(&when, &t);
    char text[64];
    std::snprintf(text, sizeof text, "%04d%c%02d%c%02d", t.tm_year + 1900, separator, t.tm_mon + 1, separator,
                  t.tm_mday);
    return text;
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

// One file of a recording's unit on its way into the archive.
struct Job {
    std::string source;
    std::string role;
    std::string sha256;
    uint64_t size = 0;
    std::string archived; // relative path of the same content already catalogued
    std::unique_ptr<StagedCopy> staged;
    std::string placed; // relative path it was given (or taken over) in this run
    bool adopted = false;
    bool failed = false;
};

const char* trackSourceName(TrackSource source)
{
    switch (source) {
    case TrackSource::NmeaLog:
        return "log";
    case TrackSource::AviChunks:
        return "avi";
    case TrackSource::Embedded:
        return "embedded";
    case TrackSource::None:
        break;
    }
    return "";
}

void fillTrack(CatalogueRecording& r, const GpsList& list, bool ownTrack)
{
    bool havePrevious = false;
    CatalogueSecond previous;
    for (int i = 0; i < list.GetDataCount(); ++i) {
        const GpsData* d = list.GetGpsData(i);
        if (!d)
            continue;
        const double lat = d->fLatitude();
        const double lon = d->fLongitude();
        // The readers mark a second without a fix as 0, 0.
        if ((lat == 0 && lon == 0) || std::fabs(lat) > 90 || std::fabs(lon) > 180)
            continue;
        r.track.push_back({i, lat, lon, d->fSpeed()});
        const CatalogueSecond now = r.track.back();
        if (ownTrack) {
            r.topSpeedKmh = std::max(r.topSpeedKmh, double(now.speedKmh));
            if (now.speedKmh >= kDrivingKmh)
                ++r.drivingSeconds;
            if (havePrevious && now.second == previous.second + 1) {
                const double step = pmDistanceMetres(previous.lat, previous.lon, lat, lon);
                if (step <= kMaxStepMetres)
                    r.distanceMetres += step;
            }
        }
        previous = now;
        havePrevious = true;
    }
}

} // namespace

bool pmIsSafeVehicleName(const std::string& name, std::string& reason)
{
    if (name.empty())
        reason = "it is empty";
    else if (name.size() > 100)
        reason = "it is longer than 100 bytes";
    else if (name[0] == '.')
        reason = "it starts with \".\"";
    else if (name.find('/') != std::string::npos)
        reason = "it holds \"/\"";
    else {
        for (unsigned char c : name)
            if (c < 0x20 || c == 0x7f) {
                reason = "it holds a control character";
                return false;
            }
        return true;
    }
    return false;
}

IngestResult pmIngestCard(const std::string& archiveFolder, Catalogue& catalogue, const std::string& card,
                          const IngestOptions& options, BackupProgress& progress)
{
    IngestResult result;
    auto report = [&](const char* outcome, const std::string& path, const std::string& detail) {
        if (options.onFile)
            options.onFile(outcome, path, detail);
    };
    auto skip = [&](const std::string& path, const std::string& reason) {
        ++result.skipped;
        report("skipped", path, reason);
    };
    auto archiveFailure = [&](const std::string& error) {
        catalogue.rollback();
        result.archiveFailed = true;
        result.error = error;
        return result;
    };

    const std::string archive = realPath(archiveFolder);
    const std::string cardPath = realPath(card);
    struct stat st {
    };
    if (archive.empty())
        return archiveFailure(archiveFolder + ": " + std::strerror(errno));
    if (cardPath.empty() || ::stat(cardPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        skip(card, "not an existing folder");
        return result;
    }
    if (isInside(cardPath, archive) || isInside(archive, cardPath)) {
        skip(card, "the card and the archive overlap");
        return result;
    }
    std::string error;
    if (!makeFolders(archive, options.vehicle, error))
        return archiveFailure(error);

    // The walk: playable recordings, and the candidates it turned away.
    // The candidates are taken from the folder listings rather than offered
    // one by one, so the probes keep running on the scan's thread pool.
    LibraryScanner scanner;
    std::vector<std::string> candidates;
    scanner.onFolderListed = [&candidates](const std::string& folder, const std::vector<std::string>& names) {
        for (const std::string& name : names)
            if (pmGetMediaType(name) != kMediaUnknown)
                candidates.push_back(!folder.empty() && folder.back() == '/' ? folder + name
                                                                             : folder + "/" + name);
    };
    std::vector<ScannedRecording> scanned = scanner.scan(cardPath);
    std::unordered_set<std::string> admitted;
    for (const ScannedRecording& s : scanned)
        admitted.insert(s.path);
    for (const std::string& path : candidates) {
        struct stat cs {
        };
        if (admitted.count(path) || (::stat(path.c_str(), &cs) == 0 && S_ISDIR(cs.st_mode)))
            continue;
        skip(path, "not a playable recording (cut, damaged, or not what its name says)");
    }
    std::vector<std::string> paths;
    std::vector<VideoCodec> codecs;
    for (ScannedRecording& s : scanned) {
        paths.push_back(std::move(s.path));
        codecs.push_back(s.codec);
    }
    const std::vector<std::size_t> order = pmSortByFileDate(paths);

    const uint64_t total = pmBackupTotalSize(paths);
    uint64_t hashedOnly = 0;
    BackupOptions copyOptions;
    copyOptions.blockSize = options.blockSize;
    copyOptions.onBlock = [&](uint64_t done) {
        if (options.onProgress)
            options.onProgress(done + hashedOnly, total);
    };

    struct NewRecording {
        int64_t id;
        std::string source;
        TripEntry entry;
    };
    std::vector<NewRecording> added;
    std::unordered_map<std::string, std::size_t> addedBySource;

    for (std::size_t index : order) {
        if (progress.canceled.load())
            break;
        const std::string& recording = paths[index];
        const NameFacts facts = pmReadNameFacts(recording);
        bool startFromName = false;
        const int64_t startSeconds = startSecondsOf(facts, recording, startFromName);
        const std::string dayFolder = options.vehicle + "/" + dayText(startSeconds, '/');
        if (!makeFolders(archive, dayFolder, error))
            return archiveFailure(error);
        const std::string dayPath = archive + "/" + dayFolder;

        std::vector<Job> jobs(1);
        jobs[0].source = recording;
        jobs[0].role = "recording";
        const std::string log = pmGetGpsLogFile(recording);
        if (!log.empty()) {
            jobs.emplace_back();
            jobs.back().source = log;
            jobs.back().role = "log";
        }

        // Outside the catalogue's lock: hash what may be known, copy the rest.
        for (Job& job : jobs) {
            struct stat fs {
            };
            if (::stat(job.source.c_str(), &fs) != 0 || !S_ISREG(fs.st_mode)) {
                job.failed = true;
                skip(job.source, fs.st_mode && !S_ISREG(fs.st_mode) ? "not a regular file"
                                                                    : std::string(std::strerror(errno)));
                continue;
            }
            if (catalogue.hasFileOfSize(uint64_t(fs.st_size))) {
                std::string detail;
                if (!pmHashFileSha256(job.source, job.sha256, detail)) {
                    job.failed = true;
                    skip(job.source, detail);
                    continue;
                }
                if (auto known = catalogue.pathOfContent(job.sha256)) {
                    job.archived = *known;
                    job.size = uint64_t(fs.st_size);
                    hashedOnly += job.size;
                    if (options.onProgress)
                        options.onProgress(progress.bytesDone.load() + hashedOnly, total);
                    continue;
                }
            }
            job.staged = std::make_unique<StagedCopy>();
            std::string detail;
            const BackupStatus status = job.staged->stage(job.source, dayPath, copyOptions, progress, detail);
            if (status == BackupStatus::Canceled) {
                result.canceled = true;
                return result;
            }
            if (status == BackupStatus::WriteFailed)
                return archiveFailure("cannot write into " + dayPath + ": " + detail);
            if (status != BackupStatus::Done) {
                job.failed = true;
                job.staged.reset();
                skip(job.source, detail.empty() ? "cannot be read" : detail);
                continue;
            }
            job.sha256 = job.staged->sha256();
            job.size = job.staged->size();
        }
        if (jobs[0].failed) {
            // No recording, no use for its log in the archive.
            continue;
        }

        // The recording's facts and track, read before taking the lock so
        // other ingests are not held up by parsing.
        CatalogueRecording facts2;
        GpsList list;
        const bool newRecording = jobs[0].archived.empty();
        if (newRecording) {
            facts2.vehicle = options.vehicle;
            facts2.type = facts.typeKnown
                              ? facts.type
                              : (pmIsEventByAttribute(recording) ? kRecordingEvent : kRecordingNormal);
            facts2.camera = facts.camera;
            facts2.kind = int(pmGetMediaType(recording));
            facts2.codec = pmVideoCodecName(codecs[index]);
            facts2.family = facts.family ? facts.family->id : "";
            if (startFromName)
                facts2.start = clockText(startSeconds);
            facts2.startSeconds = startSeconds;
            facts2.day = dayText(startSeconds, '-');
            facts2.durationSeconds = options.videoSeconds ? options.videoSeconds(recording) : 0;
            const double seconds = facts2.durationSeconds;
            const TrackLoadResult loaded = loadTrack(recording, seconds, list);
            facts2.trackSource = trackSourceName(loaded.source);
            const std::string partner = pmGetAnotherCameraPath(recording);
            if (!partner.empty() && partner != recording && pmIsFileExist(partner))
                facts2.partnerPath = partner;
            // A rear camera reads the front's log: that drive counts once, with the front.
            const bool ownTrack =
                !(loaded.source == TrackSource::NmeaLog && facts.camera == kCameraRear &&
                  !facts2.partnerPath.empty() && pmGetGpsLogFile(partner) == loaded.sourcePath);
            fillTrack(facts2, list, ownTrack);
            if (ownTrack)
                for (const HarshMark& mark : findHarshMarks(list))
                    facts2.marks.push_back({mark.second, harshKindName(mark.kind), mark.peak});
            if (jobs.size() > 1 && !jobs[1].failed)
                facts2.logSha256 = jobs[1].sha256;
        }

        if (!catalogue.begin(error))
            return archiveFailure("catalogue: " + error);
        // Another ingest may have brought the same content meanwhile.
        std::vector<Job*> toPlace;
        for (Job& job : jobs) {
            if (job.failed || !job.staged)
                continue;
            if (auto known = catalogue.pathOfContent(job.sha256)) {
                job.archived = *known;
                job.staged.reset();
                continue;
            }
            toPlace.push_back(&job);
        }
        if (!toPlace.empty()) {
            std::string slotFolder;
            for (int slot = 1; slot <= kMaxSlots && slotFolder.empty(); ++slot) {
                const std::string folder = slot == 1 ? dayFolder : dayFolder + "/" + std::to_string(slot);
                bool fits = true;
                for (Job* job : toPlace) {
                    const std::string rel = folder + "/" + nameOf(job->source);
                    job->adopted = false;
                    struct stat es {
                    };
                    if (::lstat((archive + "/" + rel).c_str(), &es) != 0)
                        continue;
                    // A name left by a run that stopped before cataloguing it
                    // is taken over when it holds the same content.
                    std::string sha, detail;
                    if (!S_ISREG(es.st_mode) || catalogue.isPathCatalogued(rel) ||
                        !pmHashFileSha256(archive + "/" + rel, sha, detail) || sha != job->sha256) {
                        fits = false;
                        break;
                    }
                    job->adopted = true;
                }
                if (fits)
                    slotFolder = folder;
            }
            if (slotFolder.empty())
                return archiveFailure("no free name for " + nameOf(recording) + " in " + dayPath);
            if (!makeFolders(archive, slotFolder, error))
                return archiveFailure(error);
            for (Job* job : toPlace) {
                job->placed = slotFolder + "/" + nameOf(job->source);
                if (job->adopted) {
                    job->staged.reset();
                    continue;
                }
                if (!job->staged->place(archive + "/" + job->placed))
                    return archiveFailure("cannot name " + archive + "/" + job->placed + ": " +
                                          std::strerror(errno));
            }
        }
        int64_t fileId = -1;
        const int64_t now = int64_t(std::time(nullptr));
        for (Job& job : jobs) {
            if (job.placed.empty())
                continue;
            CatalogueFile f;
            f.sha256 = job.sha256;
            f.size = job.size;
            f.archivePath = job.placed;
            f.originalPath = job.source;
            f.card = cardPath;
            f.vehicle = options.vehicle;
            f.role = job.role;
            f.ingestedAt = now;
            const int64_t id = catalogue.addFile(f, error);
            if (id < 0)
                return archiveFailure("catalogue: " + error);
            if (&job == &jobs[0])
                fileId = id;
        }
        int64_t recordingId = -1;
        if (fileId >= 0) {
            recordingId = catalogue.addRecording(fileId, facts2, error);
            if (recordingId < 0)
                return archiveFailure("catalogue: " + error);
        }
        if (!catalogue.commit(error))
            return archiveFailure("catalogue: " + error);

        for (Job& job : jobs) {
            if (job.failed)
                continue;
            const bool isRecording = &job == &jobs[0];
            if (!job.placed.empty()) {
                report(job.adopted ? "adopted" : "copied", job.source, job.placed);
                if (!job.adopted)
                    result.bytesCopied += job.size;
                (isRecording ? result.recordingsCopied : result.logsCopied) += 1;
            } else {
                report("archived", job.source, job.archived);
                if (isRecording)
                    ++result.recordingsArchived;
            }
        }
        if (recordingId >= 0) {
            TripEntry entry;
            entry.startMs = startSeconds * 1000;
            entry.startKnown = startFromName;
            entry.durationMs = int64_t(facts2.durationSeconds * 1000);
            entry.camera = facts2.camera;
            entry.type = facts2.type;
            entry.codec = int(codecs[index]);
            addedBySource[recording] = added.size();
            added.push_back({recordingId, recording, entry});
        }
    }
    if (progress.canceled.load())
        result.canceled = true;

    // Trips among the recordings this run brought in.
    if (!added.empty()) {
        std::vector<TripEntry> entries;
        for (NewRecording& n : added) {
            if (n.entry.camera == kCameraRear) {
                const auto partner = addedBySource.find(pmGetAnotherCameraPath(n.source));
                if (partner != addedBySource.end())
                    n.entry.frontPartner = int(partner->second);
            }
            entries.push_back(n.entry);
        }
        const std::vector<Trip> trips = pmDetectTrips(entries);
        if (!catalogue.begin(error))
            return archiveFailure("catalogue: " + error);
        for (const Trip& trip : trips) {
            std::vector<int64_t> ids;
            for (int member : trip.members)
                ids.push_back(added[std::size_t(member)].id);
            if (!catalogue.addTrip(options.vehicle, ids, error))
                return archiveFailure("catalogue: " + error);
        }
        if (!catalogue.commit(error))
            return archiveFailure("catalogue: " + error);
    }
    return result;
}
