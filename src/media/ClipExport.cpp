#include "media/ClipExport.h"

#include "core/CameraClock.h"
#include "core/Clock.h"
#include "core/FileRules.h"
#include "core/LibraryScan.h"
#include "core/Log.h"
#include "core/TimeStampText.h"
#include "core/TrackAttachments.h"
#include "core/TrackExport.h"
#include "core/TrackLoader.h"
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

// A number as clip.txt writes it; a negative zero reads as the zero it is.
std::string fixed(double v, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v == 0 ? 0.0 : v);
    return text;
}

// Paths and names in clip.txt stay on their line, as in package.txt.
std::string escapedField(const std::string& text)
{
    std::string out;
    pmAppendEscapedField(out, text);
    return out;
}

std::string localTime(int64_t ms)
{
    return pmFormatLocalTime(ms, "%Y-%m-%d %H:%M:%S");
}

// With the milliseconds: the bounds of a hole need not fall on a second.
std::string localTimeMs(int64_t ms)
{
    const int64_t part = ((ms % 1000) + 1000) % 1000;
    char text[8];
    std::snprintf(text, sizeof text, ".%03d", static_cast<int>(part));
    return localTime(ms) + text;
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

std::string pmClipPartName(bool rear, bool singleCamera, int64_t startMs)
{
    std::string name = pmClipVideoName(rear, singleCamera);
    name.erase(name.size() - 4);
    return name + "-" + pmFormatLocalTime(startMs, "%H%M%S") + ".mp4";
}

ClipResult pmExportClip(const ClipRequest& request, ClipJobState& state)
{
    // ---- the checks made before anything is written
    struct stat st {
    };
    if (request.dest.empty() || ::stat(request.dest.c_str(), &st) != 0)
        return refused(request.dest + ": no such folder");
    if (!S_ISDIR(st.st_mode))
        return refused(request.dest + ": not a folder");
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

    const ClipLayout layout = request.layout.layout;
    const bool composite = layout != ClipLayout::Separate;
    if (!request.layout.blur.empty() && !composite)
        return refused("blurring makes a re-encoded copy: choose a layout other than separate (front, rear, "
                       "side-by-side or pip)");
    const bool rearMain = layout == ClipLayout::RearOnly;
    const CameraCode askedCamera = pmGetCameraType(request.recording);
    if (composite && layout != ClipLayout::FrontOnly && askedCamera != kCameraMain &&
        askedCamera != kCameraRear)
        return refused(std::string("the ") + pmClipLayoutWord(layout) +
                       " layout wants a front and rear pair; this recording's camera has no partner");
    if (composite && (rearMain ? rear : front).empty())
        return refused(std::string("the ") + pmClipLayoutWord(layout) + " layout needs the " +
                       (rearMain ? "rear" : "front") + " camera's recordings");
    std::vector<BlurArea> blur = request.layout.blur;
    if (!blur.empty()) {
        int w = 0, h = 0;
        pmClipPictureSize((rearMain ? rear : front).front().path, w, h);
        if (w <= 0 || h <= 0)
            return refused((rearMain ? rear : front).front().path + ": its picture size cannot be read");
        for (BlurArea& area : blur) {
            const std::string why = pmFitBlurArea(area, w, h, request.before + request.after);
            if (!why.empty())
                return refused("blur area: " + why);
        }
    }

    const int64_t momentMs = momentAt->startMs + static_cast<int64_t>(std::llround(request.seconds * 1000.0));
    const int64_t fromMs = momentMs - static_cast<int64_t>(std::llround(request.before * 1000.0));
    const int64_t toMs = momentMs + static_cast<int64_t>(std::llround(request.after * 1000.0));

    // Per camera, the parts it holds of the window (each one continuous
    // video) and the holes it leaves. A part splits again where the video's
    // set-up changes: pictures of another profile or other parameter sets
    // cannot be copied on under the first recording's.
    struct Part {
        std::vector<ClipPiece> pieces;
        int64_t startMs = 0;
        int64_t endMs = 0;
        bool newSetup = false; // begins where the video's set-up changes
        std::string name;
    };
    struct Camera {
        bool rear;
        const std::vector<ClipSource>* trip;
        std::vector<Part> parts;
        std::vector<ClipHole> holes;
    };
    // Only the two cameras of a pair name their files apart; an interior or
    // telephoto camera has no partner.
    const CameraCode momentCamera = pmGetCameraType(request.recording);
    const bool singleCamera = momentCamera != kCameraMain && momentCamera != kCameraRear;
    std::vector<Camera> cameras;
    // Of a two-camera name, the cameras with nothing in the window: a hole
    // where the camera has recordings in the trip, a note where it has none.
    struct EmptyCamera {
        std::string name;
        std::vector<ClipHole> holes;
    };
    std::vector<EmptyCamera> emptyCameras;
    for (bool isRear : {false, true}) {
        const std::vector<ClipSource>& trip = isRear ? rear : front;
        ClipPlan plan = pmPlanClipParts(trip, fromMs, toMs);
        if (plan.parts.empty()) {
            if (!singleCamera)
                emptyCameras.push_back({isRear ? "Rear camera" : "Front camera",
                                        trip.empty() ? std::vector<ClipHole>() : plan.holes});
            continue;
        }
        Camera camera{isRear, &trip, {}, std::move(plan.holes)};
        std::vector<std::string> setups(trip.size());
        std::vector<bool> probed(trip.size(), false);
        auto setupOf = [&](std::size_t source) -> const std::string& {
            if (!probed[source]) {
                probed[source] = true;
                setups[source] = pmClipVideoSetup(trip[source].path);
            }
            return setups[source];
        };
        for (const ClipPart& planned : plan.parts) {
            Part part;
            part.startMs = planned.startMs;
            const std::string* setup = nullptr;
            for (const ClipPiece& p : planned.pieces) {
                const std::string& mine = setupOf(p.source);
                const int64_t at =
                    trip[p.source].startMs + static_cast<int64_t>(std::llround(p.fromSeconds * 1000.0));
                // A video that cannot be probed stays in its part: the cut names what is wrong with it.
                if (setup && !setup->empty() && !mine.empty() && mine != *setup) {
                    camera.parts.push_back(part);
                    part = Part();
                    part.startMs = at;
                    part.newSetup = true;
                }
                if (!mine.empty())
                    setup = &mine;
                part.pieces.push_back(p);
                part.endMs =
                    trip[p.source].startMs + static_cast<int64_t>(std::llround(p.toSeconds * 1000.0));
            }
            camera.parts.push_back(part);
        }
        // A rear hole left by a front recording without its partner names the missing file.
        if (isRear) {
            for (ClipHole& h : camera.holes) {
                for (const ClipSource& f : front) {
                    if (f.durationMs <= 0 || f.startMs >= h.toMs || f.startMs + f.durationMs <= h.fromMs)
                        continue;
                    const std::string partner = pmGetAnotherCameraPath(f.path);
                    if (!partner.empty() && !pmIsFileExist(partner)) {
                        std::string name;
                        pmAppendEscapedField(name, pmGetFileName(partner, false));
                        h.why += "; " + name + " is not on the card";
                    }
                }
            }
        }
        std::vector<std::string> names;
        for (Part& part : camera.parts) {
            part.name = pmClipVideoName(isRear, singleCamera);
            if (camera.parts.size() > 1)
                part.name = pmClipPartName(isRear, singleCamera, part.startMs);
            for (int n = 2; std::find(names.begin(), names.end(), part.name) != names.end(); ++n)
                part.name = pmClipPartName(isRear, singleCamera, part.startMs) + "-" + std::to_string(n);
            names.push_back(part.name);
        }
        cameras.push_back(std::move(camera));
    }
    if (cameras.empty())
        return refused("the window holds no recording");

    // ---- the folder and its files
    int error = 0;
    const std::string folder = pmMakeClipFolder(request.dest, momentMs, error);
    if (folder.empty())
        return refused(request.dest + ": cannot make the clip's folder (" + std::strerror(error) + ")");
    pmWriteLog("Clip - writing " + folder);
    const bool reencoded = request.overlay || composite;
    if (reencoded && ::mkdir((folder + "/" + kClipOriginalsFolder).c_str(), 0777) != 0) {
        const int why = errno;
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        return refused(folder + ": cannot make its " + kClipOriginalsFolder + " folder (" +
                       std::strerror(why) + ")");
    }
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

    auto pieceBytes = [](const ClipSource& s, const ClipPiece& p) {
        return static_cast<int64_t>(static_cast<double>(s.sizeBytes) * (p.toSeconds - p.fromSeconds) /
                                    (static_cast<double>(s.durationMs) / 1000.0));
    };
    double plannedSeconds = 0;
    int64_t plannedBytes = 0;
    for (const Camera& c : cameras)
        for (const Part& part : c.parts)
            for (const ClipPiece& p : part.pieces) {
                plannedSeconds += p.toSeconds - p.fromSeconds;
                plannedBytes += pieceBytes((*c.trip)[p.source], p);
            }
    state.totalBytes.store(plannedBytes);
    int64_t bytesBefore = 0;
    // The progress window measures the job in the sources' bytes. A layout's
    // originals are quick beside its re-encoding: they count for a tenth.
    auto bytesShown = [&](int64_t bytes) { return composite ? bytes / 10 : bytes; };
    double doneSeconds = 0;
    bool anyHole = false;
    for (const Camera& c : cameras)
        anyHole = anyHole || !c.holes.empty();
    for (const EmptyCamera& c : emptyCameras)
        anyHole = anyHole || !c.holes.empty();
    std::string description = request.creator + "\nIncident clip\n";
    // The overlay of a layout is drawn into its one copy, not into each camera's.
    const bool overlayEach = request.overlay && !composite;
    if (overlayEach)
        description += std::string("Re-encoded copy: the time, speed and position drawn in; beside it, in ") +
                       kClipOriginalsFolder + "/, each camera's pictures as recorded, not re-encoded\n";
    const std::size_t layoutLineAt = description.size(); // a layout's line, once its encoder is known
    description +=
        "Moment: " + localTime(momentMs) + " (" + escapedField(pmGetFileName(request.recording, false)) +
        " at " + fixed(request.seconds, 3) + " s)" +
        (pmNameTimeMsecs(request.recording) ? std::string()
         : pmTrackStartMs(request.recording)
             ? std::string("; its name holds no time, so its start is taken from its first GPS fix "
                           "and no other recording is joined to it")
             : std::string("; its name holds no time, so its start is taken from its file date "
                           "and no other recording is joined to it")) +
        "\n";
    description +=
        "Window: " + fixed(request.before, 3) + " s before, " + fixed(request.after, 3) + " s after\n";
    description += anyHole
                       ? std::string("Holds: not all of the window; each stretch it lacks is listed below "
                                     "as \"Not in the clip\"\n")
                       : std::string("Holds: the whole window, for each camera it holds\n");
    description +=
        "Made: " +
        localTime(std::chrono::duration_cast<std::chrono::milliseconds>(pmNow().time_since_epoch()).count()) +
        "\n";
    // The track follows the front camera (a rear recording carries its front's log).
    GpsList track;
    const std::vector<ClipSource>& trackTrip = !front.empty() ? front : rear;
    std::vector<TrackAttachment> attachedUsed; // the attached tracks the clip's track took positions from
    const int64_t trackStartMs =
        pmBuildClipTrack(trackTrip, fromMs, toMs, track, [&](const ClipSource& s, GpsList& list) {
            const double seconds = static_cast<double>(s.durationMs) / 1000.0;
            const bool loaded = loadTrack(s.path, seconds, list).loaded;
            const std::optional<TrackAttachment> a =
                request.attachedTrack ? request.attachedTrack(s.path) : std::nullopt;
            GpsList attached;
            std::string why;
            if (!a)
                return loaded;
            if (!pmLoadAttachedTrack(a->trackFile, a->offsetSeconds, s.path, seconds, attached, why)) {
                pmWriteLog("Clip - the track attached to " + s.path + " is not used: " + why);
                return loaded;
            }
            pmTakeAttachedPositions(list, attached);
            if (std::none_of(attachedUsed.begin(), attachedUsed.end(), [&](const TrackAttachment& u) {
                    return u.trackFile == a->trackFile && u.offsetSeconds == a->offsetSeconds;
                }))
                attachedUsed.push_back(*a);
            return true;
        });
    // The overlay's caption of a frame: the camera's clock at that frame
    // (its recording's start and the whole second the frame is in there,
    // so a hole between recordings cannot shift it), and the speed and
    // position of the track's sample of that second.
    auto caption = [&](const ClipSource& source, double secondsIntoRecording) {
        const int64_t at = source.startMs + int64_t{pmFrameSecond(secondsIntoRecording)} * 1000;
        std::string text = localTime(at);
        const int64_t index = (at >= 0 ? at / 1000 : (at - 999) / 1000) - trackStartMs / 1000;
        const GpsData* sample = index >= 0 && index <= GpsList::kMaxVideoSeconds
                                    ? track.GetGpsData(static_cast<int>(index))
                                    : nullptr;
        if (sample && pmHasPositionReading(*sample)) {
            if (sample->fSpeed() >= 0)
                text += "\n" + fixed(static_cast<double>(sample->fSpeed()), 0) + " km/h";
            text += "\n" + fixed(static_cast<double>(sample->fLatitude()), 5) + ", " +
                    fixed(static_cast<double>(sample->fLongitude()), 5);
        }
        return text;
    };
    const std::string widestCaption =
        "0000-00-00 00:00:00" +
        std::string(pmTrackHasPositions(track) ? "\n999 km/h\n-89.99999, -179.99999" : "");
    auto stretchLines = [&](const Camera& c, const Part& part, const std::string& indent) {
        std::string text;
        for (const ClipPiece& p : part.pieces) {
            const ClipSource& s = (*c.trip)[p.source];
            std::error_code ec;
            const std::string shown = std::filesystem::absolute(s.path, ec).lexically_normal().string();
            text += indent + escapedField(ec ? s.path : shown) + "\t" + fixed(p.fromSeconds, 3) + " s to " +
                    fixed(p.toSeconds, 3) + " s\t" + std::to_string(s.sizeBytes) + " bytes\n";
        }
        return text;
    };
    auto addHoles = [&](const std::string& cameraName, const std::vector<ClipHole>& holes) {
        for (const ClipHole& h : holes) {
            const std::string line =
                "Not in the clip: " + localTimeMs(h.fromMs) + " to " + localTimeMs(h.toMs) + " (" +
                fixed(static_cast<double>(h.toMs - h.fromMs) / 1000.0, 3) + " s): " + h.why;
            description += "  " + line + "\n";
            result.holes.push_back(cameraName + ": " + line);
        }
    };
    for (const Camera& c : cameras) {
        const std::size_t index = static_cast<std::size_t>(&c - cameras.data());
        state.camera.store(static_cast<int>(index));
        const std::string cameraName = c.rear ? "Rear camera" : (singleCamera ? "Camera" : "Front camera");
        const bool parted = c.parts.size() > 1;
        if (parted)
            description += "\n" + cameraName + ": " + std::to_string(c.parts.size()) +
                           " parts, a new one wherever the recordings break off or their video changes\n";
        for (const Part& part : c.parts) {
            std::vector<ClipStretch> stretches;
            double partSeconds = 0;
            int64_t partBytes = 0;
            for (const ClipPiece& p : part.pieces) {
                stretches.push_back({(*c.trip)[p.source].path, p.fromSeconds, p.toSeconds});
                partSeconds += p.toSeconds - p.fromSeconds;
                partBytes += pieceBytes((*c.trip)[p.source], p);
            }
            const double before = doneSeconds;
            using Cutter =
                std::function<ClipCutResult(const std::vector<ClipStretch>&, const std::string&,
                                            const std::function<void(double)>&, const std::atomic<bool>*)>;
            const Cutter cutter =
                overlayEach ? Cutter([&](const std::vector<ClipStretch>& parts, const std::string& out,
                                         const std::function<void(double)>& pr, const std::atomic<bool>* ca) {
                    OverlayCaption words;
                    words.widest = widestCaption;
                    words.text = [&](std::size_t stretch, double seconds) {
                        return caption((*c.trip)[part.pieces.at(stretch).source], seconds);
                    };
                    return pmRenderOverlayClip(parts, words, out, pr, ca);
                })
                            : Cutter(pmCutClip);
            // The progress of a part: a re-encoded copy spends a tenth of it
            // on the stream-copied original kept beside it.
            auto progressOf = [&](double from, double span) {
                return [&, from, span](double share) {
                    const double done = from + span * share;
                    // A layout's originals are quick beside its re-encoding.
                    const double scale = composite ? 95.0 : 950.0;
                    state.permille.store(static_cast<int>(std::min(
                        scale, scale * (before + done * partSeconds) / std::max(plannedSeconds, 1e-9))));
                    state.bytesDone.store(bytesShown(
                        bytesBefore + static_cast<int64_t>(done * static_cast<double>(partBytes))));
                };
            };
            // A re-encoded copy is not the evidence itself: the camera's own
            // pictures of the same stretch go beside it, cut without re-encoding.
            ClipCutResult original;
            const std::string originalName = std::string(kClipOriginalsFolder) + "/" + part.name;
            if (reencoded) {
                const std::string originalPath = folder + "/" + originalName;
                original = pmCutClip(stretches, originalPath, progressOf(0, 0.1), &state.cancel);
                if (original.canceled || state.cancel.load())
                    return failed(ClipStatus::Canceled, {});
                if (!original.ok)
                    return failed(ClipStatus::Failed, original.error);
                if (!syncPath(originalPath))
                    return failed(ClipStatus::Failed, originalPath + ": cannot be written to the disk");
            }
            // A layout's copy is made after every camera's original: here only the originals.
            const std::string path = folder + "/" + (composite ? originalName : part.name);
            const ClipCutResult cut =
                composite ? original
                          : cutter(stretches, path, reencoded ? progressOf(0.1, 0.9) : progressOf(0, 1),
                                   &state.cancel);
            bytesBefore += partBytes;
            state.bytesDone.store(bytesShown(bytesBefore));
            if (cut.canceled || state.cancel.load())
                return failed(ClipStatus::Canceled, {});
            if (!cut.ok)
                return failed(ClipStatus::Failed, cut.error);
            if (!syncPath(path))
                return failed(ClipStatus::Failed, path + ": cannot be written to the disk");
            doneSeconds += partSeconds;
            if (!composite)
                result.files.push_back(part.name);
            if (reencoded)
                result.files.push_back(originalName);
            result.seconds = std::max(result.seconds, cut.durationSeconds);
            const std::string how =
                overlayEach
                    ? std::string(" s, re-encoded copy (H.264) with the time, speed and position drawn "
                                  "in, from ") +
                          (parted ? "its start" : "the window's start") + "; the original: " + originalName +
                          ", " + fixed(original.durationSeconds, 3) +
                          " s, not re-encoded, begins at the key frame " + fixed(original.leadSeconds, 3) +
                          " s before " + (parted ? "its start" : "the window")
                    : " s, begins at the key frame " + fixed(cut.leadSeconds, 3) + " s before " +
                          (parted ? "its start" : "the window");
            std::string line = part.name + ", " + fixed(cut.durationSeconds, 3) + how;
            if (composite)
                line = originalName + ", " + fixed(cut.durationSeconds, 3) +
                       " s, not re-encoded, begins at the key frame " + fixed(cut.leadSeconds, 3) +
                       " s before " + (parted ? "its start" : "the window");
            if (parted)
                line = "  " + part.name + ", " + localTimeMs(part.startMs) + " to " +
                       localTimeMs(part.endMs) + ", " + fixed(cut.durationSeconds, 3) + how +
                       (part.newSetup ? "; its video's set-up (profile or parameter sets) differs from the "
                                        "part before, so it is not joined to it"
                                      : "");
            description += parted ? line + "\n" : "\n" + cameraName + ": " + line + "\n";
            if (!cut.soundConvertedFrom.empty())
                description += std::string(parted ? "    " : "  ") + "Sound: " + cut.soundConvertedFrom +
                               " encoded to AAC, which an MP4 can hold\n";
            if (!cut.sound.empty())
                description +=
                    std::string(parted ? "    " : "  ") + "Sound: " + escapedField(cut.sound) + "\n";
            description += stretchLines(c, part, parted ? "    " : "  ");
        }
        addHoles(cameraName, c.holes);
    }
    for (const EmptyCamera& c : emptyCameras) {
        description += "\n" + c.name + ": nothing; " +
                       (c.holes.empty() ? "none of the clip's recordings has its recording on the card\n"
                                        : "no recording of this camera covers the window\n");
        addHoles(c.name, c.holes);
    }

    if (composite) {
        const auto mainCamera =
            std::find_if(cameras.begin(), cameras.end(), [&](const Camera& c) { return c.rear == rearMain; });
        if (mainCamera == cameras.end())
            return failed(ClipStatus::BadRequest, std::string("the ") + pmClipLayoutWord(layout) +
                                                      " layout needs the " + (rearMain ? "rear" : "front") +
                                                      " camera, which has nothing in the window");
        const bool pair = layout == ClipLayout::SideBySide || layout == ClipLayout::PictureInPicture;
        double compositeTotal = 0, compositeDone = 0;
        for (const Part& part : mainCamera->parts)
            for (const ClipPiece& p : part.pieces)
                compositeTotal += p.toSeconds - p.fromSeconds;
        std::string encoder = "H.264", lines;
        state.camera.store(static_cast<int>(cameras.size())); // the copy, after the originals
        std::vector<std::string> copies;
        const bool parted = mainCamera->parts.size() > 1;
        for (const Part& part : mainCamera->parts) {
            std::vector<LayoutStretch> stretches;
            double partSeconds = 0;
            for (const ClipPiece& p : part.pieces) {
                const ClipSource& source = (*mainCamera->trip)[p.source];
                LayoutStretch ls;
                ls.main = {source.path, p.fromSeconds, p.toSeconds};
                // The rear shown beside a front recording is its partner, at
                // the same time into it, as playback pairs them.
                if (pair) {
                    const std::string partner = pmGetAnotherCameraPath(source.path);
                    if (!partner.empty() && pmIsFileExist(partner))
                        ls.partner = partner;
                }
                stretches.push_back(ls);
                partSeconds += p.toSeconds - p.fromSeconds;
            }
            ClipLayoutSpec wanted = request.layout;
            wanted.blur = blur;
            const double partAt = static_cast<double>(part.startMs - fromMs) / 1000.0;
            for (BlurArea& area : wanted.blur)
                for (BlurKey& k : area.keys)
                    k.seconds -= partAt;
            std::string name =
                std::string(singleCamera ? "clip" : "clip-") + (singleCamera ? "" : pmClipLayoutWord(layout));
            if (parted)
                name += "-" + pmFormatLocalTime(part.startMs, "%H%M%S");
            for (int n = 2; std::find(copies.begin(), copies.end(), name + ".mp4") != copies.end(); ++n)
                name += "-" + std::to_string(n);
            name += ".mp4";
            const std::string path = folder + "/" + name;
            const double doneBefore = compositeDone;
            // Each picture captioned with its own recording's clock: the
            // main camera's source of the stretch, or its partner.
            LayoutCaption words;
            words.widest = widestCaption;
            if (request.overlay)
                words.text = [&](std::size_t k, bool partner, double seconds) {
                    const ClipSource& source = (*mainCamera->trip)[part.pieces.at(k).source];
                    if (!partner)
                        return caption(source, seconds);
                    const std::string& partnerPath = stretches.at(k).partner;
                    const auto known = std::find_if(
                        rear.begin(), rear.end(), [&](const ClipSource& r) { return r.path == partnerPath; });
                    ClipSource other;
                    other.path = partnerPath;
                    other.startMs =
                        known != rear.end() ? known->startMs : pmClipStartMs(partnerPath).value_or(0);
                    return caption(other, seconds);
                };
            const ClipLayoutResult made = pmRenderLayoutClip(
                stretches, wanted, path,
                [&](double share) {
                    const double done = (doneBefore + share * partSeconds) / std::max(compositeTotal, 1e-9);
                    state.permille.store(static_cast<int>(std::min(950.0, 95.0 + 855.0 * done)));
                    state.bytesDone.store(
                        plannedBytes / 10 +
                        static_cast<int64_t>(0.9 * static_cast<double>(plannedBytes) * std::min(1.0, done)));
                },
                &state.cancel, &words);
            if (made.canceled || state.cancel.load())
                return failed(ClipStatus::Canceled, {});
            if (!made.ok)
                return failed(ClipStatus::Failed, made.error);
            if (!syncPath(path))
                return failed(ClipStatus::Failed, path + ": cannot be written to the disk");
            compositeDone += partSeconds;
            encoder = made.encoder;
            copies.push_back(name);
            result.seconds = std::max(result.seconds, made.durationSeconds);
            lines += "\nCopy: " + name + ", " + fixed(made.durationSeconds, 3) + " s, re-encoded" +
                     (parted ? ", " + localTimeMs(part.startMs) + " to " + localTimeMs(part.endMs) : "") +
                     "; no sound (the originals keep it)\n";
            if (made.rearMissingSeconds > 0.0005) {
                const std::string note = "Rear camera: a black panel for " +
                                         fixed(made.rearMissingSeconds, 3) + " s of " + name +
                                         ", where its recording is missing or has ended";
                lines += "  " + note + "\n";
                result.holes.push_back(note);
            }
        }
        result.files.insert(result.files.begin(), copies.begin(), copies.end());
        std::string what;
        switch (layout) {
        case ClipLayout::SideBySide:
            what = "the front and rear cameras side by side (front left, rear right, heights matched)";
            break;
        case ClipLayout::PictureInPicture: {
            static const char* const corners[] = {"top left", "top right", "bottom left", "bottom right"};
            what = std::string("the rear camera in the ") + corners[std::clamp(request.layout.corner, 0, 3)] +
                   " corner of the front picture, " +
                   std::to_string(
                       static_cast<int>(std::lround(std::clamp(request.layout.insetShare, 0.1, 0.5) * 100))) +
                   " % of its width";
            break;
        }
        case ClipLayout::RearOnly:
            what = "the rear camera alone";
            break;
        default:
            what = singleCamera ? "the camera alone" : "the front camera alone";
            break;
        }
        if (request.overlay)
            what += layout == ClipLayout::SideBySide
                        ? "; the time, speed and position drawn in, each camera's half with its own clock"
                        : "; the time, speed and position drawn in";
        if (!blur.empty())
            what += "; " + std::to_string(blur.size()) + (blur.size() == 1 ? " area" : " areas") +
                    " blurred (pixelated), as marked";
        description.insert(layoutLineAt, "Re-encoded copy: " + what + ", " + encoder + " at quality (CRF) " +
                                             std::to_string(std::clamp(request.layout.crf, 0, 51)) +
                                             "; beside it, in " + kClipOriginalsFolder +
                                             "/, each camera's pictures as recorded, not re-encoded\n");
        description += lines;
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
    for (const TrackAttachment& a : attachedUsed)
        description += "Positions from a track attached from another device: " + a.trackFile + ", offset " +
                       pmTrackOffsetText(a.offsetSeconds) + "\n";
    description += pmCameraClockLines(track, pmLocalWallClockMs(trackStartMs));
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
