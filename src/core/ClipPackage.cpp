#include "core/ClipPackage.h"

#include "core/BackupEngine.h"
#include "core/ContainerProbe.h"
#include "core/FileRules.h"
#include "core/KmlSave.h"
#include "core/LibraryScan.h"
#include "core/Sha256.h"
#include "core/TrackExport.h"
#include "core/TrackLoader.h"
#include "core/Trips.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string join(const std::string& folder, const std::string& name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The recordings of a folder (not below it) of the camera and type given, sorted as the playlist sorts.
std::vector<std::string> folderRecordings(const std::string& folder, int camera, int type)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return {};
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.')
            continue;
        const std::string path = join(folder, name);
        if (pmGetMediaType(path) == kMediaUnknown || pmGetCameraType(path) != camera ||
            static_cast<int>(pmGetFileType(path)) != type)
            continue;
        struct stat st {
        };
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return pmLessByFileDate(a, b); });
    std::vector<std::string> out;
    for (const std::string& n : names)
        out.push_back(join(folder, n));
    return out;
}

bool hashFile(const std::string& path, std::string& hex)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    Sha256 sha;
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ok = false;
        if (got <= 0)
            break;
        sha.update(buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (ok)
        hex = Sha256::toHex(sha.finish());
    return ok;
}

} // namespace

std::optional<int64_t> pmClipStartMs(const std::string& path)
{
    if (const std::optional<int64_t> named = pmNameTimeMsecs(path))
        return named;
    if (const std::optional<int64_t> fixed = pmTrackStartMs(path))
        return fixed;
    struct stat st {
    };
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
}

std::vector<ClipPiece> pmPlanClipPieces(const std::vector<ClipSource>& trip, int64_t fromMs, int64_t toMs)
{
    std::vector<ClipPiece> pieces;
    for (std::size_t i = 0; i < trip.size(); ++i) {
        const ClipSource& s = trip[i];
        if (s.durationMs <= 0)
            continue;
        const int64_t from = std::max(fromMs, s.startMs);
        const int64_t to = std::min(toMs, s.startMs + s.durationMs);
        if (to - from < 1)
            continue;
        pieces.push_back({i, static_cast<double>(from - s.startMs) / 1000.0,
                          static_cast<double>(to - s.startMs) / 1000.0});
    }
    return pieces;
}

namespace
{

std::string shownName(const std::string& path)
{
    std::string out;
    pmAppendEscapedField(out, pmGetFileName(path, false));
    return out;
}

// Why the trip holds nothing in [fromMs, toMs): the recordings around it, and
// any that lie in it but cannot be read.
std::string holeReason(const std::vector<ClipSource>& trip, int64_t fromMs, int64_t toMs)
{
    std::string unreadable;
    const ClipSource* before = nullptr;
    const ClipSource* after = nullptr;
    for (const ClipSource& s : trip) {
        if (s.durationMs <= 0) {
            if (s.startMs < toMs && s.startMs + kClipJoinToleranceMs > fromMs)
                unreadable += (unreadable.empty() ? "" : ", ") + shownName(s.path);
            continue;
        }
        const int64_t end = s.startMs + s.durationMs;
        if (end <= fromMs + kClipJoinToleranceMs && (!before || end > before->startMs + before->durationMs))
            before = &s;
        if (s.startMs >= toMs - kClipJoinToleranceMs && (!after || s.startMs < after->startMs))
            after = &s;
    }
    if (!unreadable.empty())
        return unreadable + " cannot be read (no length in its header)" +
               (after ? "" : "; the trip ends with it");
    if (before && after)
        return "no recording between the end of " + shownName(before->path) + " and the start of " +
               shownName(after->path);
    if (after)
        return "the trip begins with " + shownName(after->path);
    if (before)
        return "the trip ends with " + shownName(before->path);
    return "no recording";
}

} // namespace

ClipPlan pmPlanClipParts(const std::vector<ClipSource>& trip, int64_t fromMs, int64_t toMs)
{
    ClipPlan plan;
    if (toMs <= fromMs)
        return plan;
    auto hole = [&](int64_t a, int64_t b) {
        if (b - a >= 1)
            plan.holes.push_back({a, b, holeReason(trip, a, b)});
    };
    int64_t covered = fromMs; // the end of what the parts hold so far
    // Where the current part's video has got to: its start plus the lengths
    // of its pieces. Small gaps add up over many joins; a part ends before
    // its pictures fall more than the tolerance behind the names' clock.
    int64_t videoAt = fromMs;
    for (const ClipPiece& p : pmPlanClipPieces(trip, fromMs, toMs)) {
        const ClipSource& s = trip[p.source];
        const int64_t a = s.startMs + static_cast<int64_t>(std::llround(p.fromSeconds * 1000.0));
        const int64_t b = s.startMs + static_cast<int64_t>(std::llround(p.toSeconds * 1000.0));
        const bool joins = !plan.parts.empty() && std::llabs(a - covered) <= kClipJoinToleranceMs &&
                           std::llabs(a - videoAt) <= kClipJoinToleranceMs;
        if (!joins) {
            hole(covered, a);
            plan.parts.push_back({{}, a, b});
            videoAt = a;
        }
        videoAt += b - a;
        ClipPart& part = plan.parts.back();
        part.pieces.push_back(p);
        part.endMs = std::max(part.endMs, b);
        covered = std::max(covered, b);
    }
    hole(covered, toMs);
    return plan;
}

ClipTrip pmFindClipTrip(const std::string& recording,
                        const std::function<double(const std::string&)>& durationSeconds)
{
    ClipTrip trip;
    const int camera = pmGetCameraType(recording);
    const int type = static_cast<int>(pmGetFileType(recording));
    trip.momentIsRear = camera == kCameraRear;
    auto source = [&](const std::string& path) {
        ClipSource s;
        s.path = path;
        s.startMs = pmClipStartMs(path).value_or(0);
        s.durationMs = static_cast<int64_t>(std::llround(std::max(0.0, durationSeconds(path)) * 1000.0));
        struct stat st {
        };
        s.sizeBytes = ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
        return s;
    };

    // The front recordings chain; rear ones go with their fronts. Where the
    // moment's camera has no partner at all, it chains on its own.
    const std::string partnerOfMoment =
        camera == kCameraNone ? std::string() : pmGetAnotherCameraPath(recording);
    const bool paired = !partnerOfMoment.empty() && pmIsFileExist(partnerOfMoment);
    const std::string chainPath = trip.momentIsRear && paired ? partnerOfMoment : recording;
    const int chainCamera = pmGetCameraType(chainPath);
    std::vector<std::string> chain = folderRecordings(folderOf(chainPath), chainCamera, type);
    if (std::find(chain.begin(), chain.end(), chainPath) == chain.end())
        chain = {chainPath};

    std::vector<TripEntry> entries;
    std::vector<ClipSource> sources;
    for (const std::string& p : chain) {
        sources.push_back(source(p));
        TripEntry e;
        e.startMs = sources.back().startMs;
        e.startKnown = pmNameTimeMsecs(p).has_value(); // a file date never chains
        e.durationMs = sources.back().durationMs;
        e.camera = chainCamera;
        e.type = type;
        entries.push_back(e);
    }
    const std::vector<Trip> trips = pmDetectTrips(entries);
    const auto at = static_cast<int>(std::find(chain.begin(), chain.end(), chainPath) - chain.begin());
    std::vector<ClipSource> members;
    for (const Trip& t : trips)
        if (std::find(t.members.begin(), t.members.end(), at) != t.members.end())
            for (int m : t.members)
                members.push_back(sources[static_cast<std::size_t>(m)]);

    if (chainCamera == kCameraRear) {
        trip.rear = members; // rear recordings without fronts
        return trip;
    }
    trip.front = members;
    if (chainCamera == kCameraMain) {
        for (const ClipSource& f : members) {
            const std::string r = pmGetAnotherCameraPath(f.path);
            if (!r.empty() && pmIsFileExist(r))
                trip.rear.push_back(source(r));
        }
    }
    return trip;
}

std::string pmFormatLocalTime(int64_t ms, const char* format)
{
    const std::time_t t = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    std::tm local{};
    localtime_r(&t, &local);
    char text[64];
    if (std::strftime(text, sizeof text, format, &local) == 0)
        return {};
    return text;
}

std::string pmClipFolderName(int64_t momentMs)
{
    return pmFormatLocalTime(momentMs, "Clip-%Y%m%d-%H%M%S");
}

std::string pmMakeClipFolder(const std::string& dest, int64_t momentMs, int& error)
{
    return pmMakeNewFolder(dest, pmClipFolderName(momentMs), error);
}

int64_t pmBuildClipTrack(const std::vector<ClipSource>& trip, int64_t fromMs, int64_t toMs, GpsList& out,
                         const std::function<bool(const ClipSource&, GpsList&)>& load)
{
    out.ClearAllData();
    const int64_t firstSecond = fromMs >= 0 ? fromMs / 1000 : (fromMs - 999) / 1000;
    if (toMs <= fromMs)
        return firstSecond * 1000;
    const int64_t seconds =
        std::min<int64_t>((toMs - firstSecond * 1000 + 999) / 1000, GpsList::kMaxVideoSeconds);
    const auto covers = [](const ClipSource& s, int64_t t) {
        return t >= s.startMs - 999 && t < s.startMs + s.durationMs;
    };
    // The track runs from the first to the last second a recording covers:
    // the window's seconds before and after the video are no part of it.
    int64_t first = seconds, last = -1;
    for (int64_t k = 0; k < seconds; ++k) {
        const int64_t t = (firstSecond + k) * 1000;
        if (std::any_of(trip.begin(), trip.end(), [&](const ClipSource& s) { return covers(s, t); })) {
            first = std::min(first, k);
            last = k;
        }
    }
    if (last < 0)
        return firstSecond * 1000;
    std::vector<GpsList> tracks(trip.size());
    std::vector<bool> loaded(trip.size(), false);
    bool anyGps = false, anySensor = false;
    for (int64_t k = first; k <= last; ++k) {
        const int64_t t = (firstSecond + k) * 1000;
        const GpsData* sample = nullptr;
        for (std::size_t i = 0; i < trip.size() && !sample; ++i) {
            const ClipSource& s = trip[i];
            if (!covers(s, t))
                continue;
            if (!loaded[i]) {
                loaded[i] = true;
                if (load)
                    load(s, tracks[i]);
                else
                    loadTrack(s.path, static_cast<double>(s.durationMs) / 1000.0, tracks[i]);
                anyGps = anyGps || tracks[i].IsGPSReady();
                anySensor = anySensor || tracks[i].IsGSensorReady();
            }
            const int64_t index = std::max<int64_t>(0, (t - s.startMs) / 1000);
            sample =
                tracks[i].GetGpsData(static_cast<int>(std::min<int64_t>(index, GpsList::kMaxVideoSeconds)));
        }
        if (sample) {
            out.Append(*sample);
        } else {
            GpsData none; // a gap between recordings, or past a recording's track
            none.setReading(false);
            out.Append(none);
        }
    }
    out.setBGps(anyGps);
    out.setBSenser(anySensor);
    return (firstSecond + first) * 1000;
}

bool pmWriteClipTracks(const std::string& folder, const std::string& base, const GpsList& track,
                       int64_t startMs, const std::string& creator, std::vector<std::string>& written)
{
    if (!pmTrackHasPositions(track))
        return true;
    const auto start = std::chrono::system_clock::time_point(std::chrono::milliseconds(startMs));
    for (const char* ext : {".gpx", ".kml", ".csv"}) {
        const std::string name = base + ext;
        const std::string path = join(folder, name);
        bool ok = false;
        if (std::string(ext) == ".kml") {
            ok = pmOutputKML(path, &track, base) == KmlResult::Ok;
        } else {
            std::FILE* f = std::fopen(path.c_str(), "wxe");
            if (!f)
                return false;
            const TextSink sink = [f](const char* text, std::size_t size) {
                return std::fwrite(text, 1, size, f) == size;
            };
            ok = std::string(ext) == ".gpx" ? pmWriteTrackGpx(track, base, start, creator, sink)
                                            : pmWriteTrackTable(track, start, sink);
            ok = std::fflush(f) == 0 && ::fsync(fileno(f)) == 0 && ok;
            ok = std::fclose(f) == 0 && ok;
        }
        if (!ok) {
            ::unlink(path.c_str());
            return false;
        }
        written.push_back(name);
    }
    return true;
}

bool pmWriteWholeFile(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "wxe");
    if (!f)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fflush(f) == 0 && ::fsync(fileno(f)) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}

bool pmWriteSha256Sums(const std::string& folder, const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) {
        std::string hex;
        if (!hashFile(join(folder, name), hex))
            return false;
        text += pmSha256SumLine(hex, name);
    }
    const std::string part = join(folder, ".SHA256SUMS.part");
    if (!pmWriteWholeFile(part, text))
        return false;
    if (::rename(part.c_str(), join(folder, "SHA256SUMS").c_str()) != 0) {
        ::unlink(part.c_str());
        return false;
    }
    return true;
}

bool pmIsInsideFolder(const std::string& inner, const std::string& outer)
{
    std::error_code ec1, ec2;
    const std::filesystem::path a = std::filesystem::weakly_canonical(inner, ec1);
    const std::filesystem::path b = std::filesystem::weakly_canonical(outer, ec2);
    if (ec1 || ec2 || b.empty())
        return false;
    auto ai = a.begin();
    for (auto bi = b.begin(); bi != b.end(); ++bi, ++ai) {
        if (bi->empty() && std::next(bi) == b.end())
            break; // a trailing separator
        if (ai == a.end() || *ai != *bi)
            return false;
    }
    return true;
}
