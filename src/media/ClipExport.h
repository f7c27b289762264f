#pragma once
// An incident clip, whole: around a moment of a recording, from `before`
// seconds before to `after` seconds after, within the recording's trip, into
// a new folder "Clip-YYYYMMDD-HHMMSS" (the moment's local time) of the
// destination holding one MP4 per camera joined without re-encoding
// (ClipCutter.h), the clip's track as GPX, KML and CSV, "clip.txt" (the
// source recordings with their stretches and sizes, the moment, the
// application) and, written last, "SHA256SUMS" for `sha256sum -c`. A
// re-encoded clip (the overlay) lies at the top as a copy, with each
// camera's stream-copied original in "originals/" beside it, all covered by
// the one SHA256SUMS.
// A failed or canceled job removes its folder; the sources are only read.
// Runs on the calling thread; only ClipJobState is shared with other threads.
#include "core/ClipPackage.h"
#include "core/TrackAttachments.h"
#include "media/ClipLayout.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct ClipRequest {
    std::string dest;
    std::string recording; // the moment's recording
    double seconds = 0;    // the moment, into that recording
    double before = 30;
    double after = 30;
    // The trip per camera in play order (the moment's recording among its
    // camera's); both empty: found from the recording's folder.
    std::vector<std::string> front;
    std::vector<std::string> rear;
    // Folders the clip must not go into (the card being shown).
    std::vector<std::string> forbidden;
    std::string creator; // "Rovix Manager <version>"
    // Re-encode with the time, speed and position drawn in (ClipOverlay.h)
    // instead of joining the camera's own pictures.
    bool overlay = false;
    // The cameras in one re-encoded picture (ClipLayout.h) instead of one
    // file per camera, and the areas to blur in it (times from the window's
    // start, rectangles in the main camera's pixels).
    ClipLayoutSpec layout;
    // Tracks attached to the recordings from other devices: their positions
    // replace the recordings' own in the clip's track. Called on the job's thread.
    TrackAttachmentFinder attachedTrack;
};

// A re-encoded clip keeps, in this folder of the clip, each camera's
// stretch as the camera recorded it (cut without re-encoding), under the
// same name as its copy at the top.
constexpr const char* kClipOriginalsFolder = "originals";

enum class ClipStatus { Done, Failed, Canceled, BadRequest };

struct ClipResult {
    ClipStatus status = ClipStatus::Failed;
    std::string folder;             // the clip's folder (Done only)
    std::string message;            // why, when not Done
    std::vector<std::string> files; // names in the folder, SHA256SUMS last
    double seconds = 0;             // length of the longest video written
    // Done: each stretch of the window a camera lacks, as clip.txt states it
    // ("Rear camera: Not in the clip: ... to ... (20.000 s): ...").
    std::vector<std::string> holes;
};

struct ClipJobState {
    std::atomic<bool> cancel{false};
    std::atomic<int> permille{0};       // progress of the whole job
    std::atomic<int64_t> totalBytes{0}; // of the recordings' stretches, known once planned
    std::atomic<int64_t> bytesDone{0};  // of those, read so far (estimated by time)
    std::atomic<int> camera{-1};        // index of the MP4 being written
    std::atomic<bool> packaging{false}; // the track, clip.txt and SHA256SUMS
};

// Seconds a recording lasts: the header's answer, else FFmpeg's.
double pmClipDurationSeconds(const std::string& path);

ClipResult pmExportClip(const ClipRequest& request, ClipJobState& state);

// Output names per camera: "clip-front.mp4", "clip-rear.mp4" ("clip.mp4" for
// a recording of a single-camera name).
std::string pmClipVideoName(bool rear, bool singleCamera);
// A camera whose recordings break off in the window (or change their video's
// set-up) gets one video per unbroken stretch, named by the local time it
// starts: "clip-front-083040.mp4".
std::string pmClipPartName(bool rear, bool singleCamera, int64_t startMs);
