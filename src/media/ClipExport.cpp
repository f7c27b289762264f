#include "media/ClipExport.h"

#include "core/Clock.h"
#include "core/FileRules.h"
#include "core/Log.h"
#include "core/TrackExport.h"
#include "media/ClipCutter.h"
#include "media/ClipOverlay.h"
#include "media/MediaDuration.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
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

std::string fixed(double v, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string localTime(int64_t ms)
{
    return pmFormatLocalTime(ms, "%Y-%m-%d %H:%M:%S");
}

std::vector<ClipSource> sourcesOf(const std::vector<std::string>& paths)
{
    std::vector<ClipSource> out;
    for (const std::string& p : paths) {
        ClipSource s;
        s.path = p;
        s.startMs = pmClipStartMs(p).value_or(0);
        s.durationMs = static_cast<int64_t>(std::llround(pmClipDurationSeconds(p) * 1000.0));
        struct stat st {
        };
        s.sizeBytes = ::stat(p.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
        out.push_back(s);
    }
    return out;
}

// Flushes a written file (or folder) to the disk: a clip said to be saved
// must survive a pulled plug.
bool syncPath(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

ClipResult refused(const std::string& why)
{
    ClipResult r;
    r.status = ClipStatus::BadRequest;
    r.message = why;
    return r;
}

} // namespace

double pmClipDurationSeconds(const std::string& path)
{
    return pmGetMediaDurationSeconds(path);
}

std::string pmClipVideoName(bool rear, bool singleCamera)
{
    if (singleCamera)
        return "clip.mp4";
    return rear ? "clip-rear.mp4" : "clip-front.mp4";
}

ClipResult pmExportClip(const ClipRequest& request, ClipJobState& state)
{
    // ---- the checks made before anything is written
    struct stat st {
    };
    if (request.dest.empty() || ::stat(request.dest.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return refused(request.dest + ": no such folder");
    if (::access(request.dest.c_str(), W_OK | X_OK) != 0)
        return refused(request.dest + ": cannot be written");
    if (::stat(request.recording.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return refused(request.recording + ": no such recording");
    if (!std::isfinite(request.seconds) || request.seconds < 0 || !std::isfinite(request.before) ||
        !std::isfinite(request.after) || request.before < 0 || request.after < 0 ||
        request.before + request.after <= 0 || request.before > 3600 || request.after > 3600)
        return refused("the clip's times are not usable");

    std::vector<ClipSource> front, rear;
    if (request.front.empty() && request.rear.empty()) {
        const ClipTrip trip = pmFindClipTrip(request.recording, pmClipDurationSeconds);
        front = trip.front;
        rear = trip.rear;
    } else {
        front = sourcesOf(request.front);
        rear = sourcesOf(request.rear);
    }
    const bool momentIsRear = std::any_of(rear.begin(), rear.end(),
                                          [&](const ClipSource& s) { return s.path == request.recording; });
    const std::vector<ClipSource>& momentTrip = momentIsRear ? rear : front;
    const auto momentAt = std::find_if(momentTrip.begin(), momentTrip.end(),
                                       [&](const ClipSource& s) { return s.path == request.recording; });
    if (momentAt == momentTrip.end())
        return refused(request.recording + ": not in the trip given");
    if (momentAt->durationMs <= 0)
        return refused(request.recording + ": its length cannot be read");
    if (request.seconds * 1000.0 > static_cast<double>(momentAt->durationMs) + 1.0)
        return refused("the moment lies beyond the recording's end");
    for (const std::vector<ClipSource>* list : {&front, &rear})
        for (const ClipSource& s : *list)
            if (pmIsInsideFolder(request.dest, folderOf(s.path)))
                return refused(request.dest + ": is the folder of a recording of the clip");
    for (const std::string& f : request.forbidden)
        if (!f.empty() && pmIsInsideFolder(request.dest, f))
            return refused(request.dest + ": lies inside the card being shown");

    const int64_t momentMs = momentAt->startMs + static_cast<int64_t>(std::llround(request.seconds * 1000.0));
    const int64_t fromMs = momentMs - static_cast<int64_t>(std::llround(request.before * 1000.0));
    const int64_t toMs = momentMs + static_cast<int64_t>(std::llround(request.after * 1000.0));

    struct Camera {
        bool rear;
        const std::vector<ClipSource>* trip;
        std::vector<ClipPiece> pieces;
    };
    std::vector<Camera> cameras;
    for (bool isRear : {false, true}) {
        const std::vector<ClipSource>& trip = isRear ? rear : front;
        std::vector<ClipPiece> pieces = pmPlanClipPieces(trip, fromMs, toMs);
        if (!pieces.empty())
            cameras.push_back({isRear, &trip, pieces});
    }
    if (cameras.empty())
        return refused("the window holds no recording");
    const bool singleCamera = pmGetCameraType(request.recording) == kCameraNone;

    // ---- the folder and its files
    int error = 0;
    const std::string folder = pmMakeClipFolder(request.dest, momentMs, error);
    if (folder.empty())
        return refused(request.dest + ": cannot make the clip's folder (" + std::strerror(error) + ")");
    pmWriteLog("Clip - writing " + folder);
    ClipResult result;
    auto failed = [&](ClipStatus status, const std::string& why) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        pmWriteLog("Clip - " + (status == ClipStatus::Canceled ? std::string("canceled") : why) +
                   "; removed " + folder);
        ClipResult r;
        r.status = status;
        r.message = status == ClipStatus::Canceled ? std::string("canceled") : why;
        return r;
    };

    double plannedSeconds = 0;
    int64_t plannedBytes = 0;
    std::vector<int64_t> cameraBytes;
    for (const Camera& c : cameras) {
        int64_t bytes = 0;
        for (const ClipPiece& p : c.pieces) {
            plannedSeconds += p.toSeconds - p.fromSeconds;
            const ClipSource& s = (*c.trip)[p.source];
            bytes += static_cast<int64_t>(static_cast<double>(s.sizeBytes) * (p.toSeconds - p.fromSeconds) /
                                          (static_cast<double>(s.durationMs) / 1000.0));
        }
        cameraBytes.push_back(bytes);
        plannedBytes += bytes;
    }
    state.totalBytes.store(plannedBytes);
    int64_t bytesBefore = 0;
    double doneSeconds = 0;
    std::string description = request.creator + "\nIncident clip\n";
    description += "Moment: " + localTime(momentMs) + " (" + pmGetFileName(request.recording, false) +
                   " at " + fixed(request.seconds, 3) + " s)\n";
    description +=
        "Window: " + fixed(request.before, 3) + " s before, " + fixed(request.after, 3) + " s after\n";
    description +=
        "Made: " +
        localTime(std::chrono::duration_cast<std::chrono::milliseconds>(pmNow().time_since_epoch()).count()) +
        "\n";
    // The track follows the front camera (a rear recording carries its front's log).
    GpsList track;
    const std::vector<ClipSource>& trackTrip = !front.empty() ? front : rear;
    const int64_t trackStartMs = pmBuildClipTrack(trackTrip, fromMs, toMs, track);
    // The overlay's caption of the clip's second k: its time, and the speed
    // and position of the track's sample of that second.
    auto caption = [&](int k) {
        const int64_t at = fromMs + int64_t{k} * 1000;
        std::string text = localTime(at);
        const int64_t index = (at >= 0 ? at / 1000 : (at - 999) / 1000) - trackStartMs / 1000;
        const GpsData* sample = index >= 0 ? track.GetGpsData(static_cast<int>(index)) : nullptr;
        if (sample && pmHasPosition(*sample)) {
            if (sample->fSpeed() >= 0)
                text += "  " + fixed(static_cast<double>(sample->fSpeed()), 0) + " km/h";
            text += "  " + fixed(static_cast<double>(sample->fLatitude()), 5) + ", " +
                    fixed(static_cast<double>(sample->fLongitude()), 5);
        }
        return text;
    };
    for (const Camera& c : cameras) {
        const std::string name = pmClipVideoName(c.rear, singleCamera);
        std::vector<ClipStretch> stretches;
        for (const ClipPiece& p : c.pieces)
            stretches.push_back({(*c.trip)[p.source].path, p.fromSeconds, p.toSeconds});
        double cameraSeconds = 0;
        for (const ClipPiece& p : c.pieces)
            cameraSeconds += p.toSeconds - p.fromSeconds;
        const double before = doneSeconds;
        const std::size_t index = static_cast<std::size_t>(&c - cameras.data());
        state.camera.store(static_cast<int>(index));
        using Cutter =
            std::function<ClipCutResult(const std::vector<ClipStretch>&, const std::string&,
                                        const std::function<void(double)>&, const std::atomic<bool>*)>;
        const Cutter cutter =
            request.overlay ? Cutter([&](const std::vector<ClipStretch>& parts, const std::string& out,
                                         const std::function<void(double)>& pr, const std::atomic<bool>* ca) {
                return pmRenderOverlayClip(parts, caption, out, pr, ca);
            })
                            : Cutter(pmCutClip);
        const ClipCutResult cut = cutter(
            stretches, folder + "/" + name,
            [&](double share) {
                state.permille.store(static_cast<int>(std::min(
                    950.0, 950.0 * (before + share * cameraSeconds) / std::max(plannedSeconds, 1e-9))));
                state.bytesDone.store(bytesBefore +
                                      static_cast<int64_t>(share * static_cast<double>(cameraBytes[index])));
            },
            &state.cancel);
        bytesBefore += cameraBytes[index];
        state.bytesDone.store(bytesBefore);
        if (cut.canceled || state.cancel.load())
            return failed(ClipStatus::Canceled, {});
        if (!cut.ok)
            return failed(ClipStatus::Failed, cut.error);
        if (!syncPath(folder + "/" + name))
            return failed(ClipStatus::Failed, folder + "/" + name + ": cannot be written to the disk");
        doneSeconds += cameraSeconds;
        result.files.push_back(name);
        result.seconds = std::max(result.seconds, cut.durationSeconds);
        description +=
            "\n" + std::string(c.rear ? "Rear" : (singleCamera ? "Camera" : "Front")) + " camera: " + name +
            ", " + fixed(cut.durationSeconds, 3) +
            (request.overlay
                 ? std::string(" s, re-encoded (H.264) with the time, speed and position "
                               "drawn in, from the window's start\n")
                 : " s, begins at the key frame " + fixed(cut.leadSeconds, 3) + " s before the window\n");
        for (const ClipPiece& p : c.pieces) {
            const ClipSource& s = (*c.trip)[p.source];
            std::error_code ec;
            const std::string shown = std::filesystem::absolute(s.path, ec).lexically_normal().string();
            description += "  " + (ec ? s.path : shown) + "\t" + fixed(p.fromSeconds, 3) + " s to " +
                           fixed(p.toSeconds, 3) + " s\t" + std::to_string(s.sizeBytes) + " bytes\n";
        }
    }

    state.packaging.store(true);
    if (!pmWriteClipTracks(folder, "clip", track, trackStartMs, request.creator, result.files))
        return failed(ClipStatus::Failed, folder + ": the clip's track cannot be written");
    if (state.cancel.load())
        return failed(ClipStatus::Canceled, {});
    description += pmTrackHasPositions(track)
                       ? "\nTrack: clip.gpx, clip.kml, clip.csv, one sample per second from " +
                             localTime(trackStartMs) + "\n"
                       : std::string("\nTrack: none (the recordings hold no positions)\n");
    if (!pmWriteWholeFile(folder + "/clip.txt", description))
        return failed(ClipStatus::Failed, folder + ": clip.txt cannot be written");
    result.files.push_back("clip.txt");
    state.permille.store(970);
    if (!pmWriteSha256Sums(folder, result.files))
        return failed(ClipStatus::Failed, folder + ": SHA256SUMS cannot be written");
    result.files.push_back("SHA256SUMS");
    syncPath(folder);
    syncPath(request.dest);
    state.permille.store(1000);
    result.status = ClipStatus::Done;
    result.folder = folder;
    pmWriteLog("Clip - done " + folder);
    return result;
}
