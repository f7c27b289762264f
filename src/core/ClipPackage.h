#pragma once
// The parts of an incident clip that need no media library: which stretch of
// which recording of a trip a moment's window covers, the clip's folder, its
// track (one sample per second across the recordings), its description
// "clip.txt" and its "SHA256SUMS". The joining of the video itself lives in
// rovixmedia (media/ClipExport.h), which drives these.
#include "core/GpsList.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// One recording of a trip, in play order.
struct ClipSource {
    std::string path;
    int64_t startMs = 0;    // the name's time (the file date where the name states none)
    int64_t durationMs = 0; // container duration
    int64_t sizeBytes = 0;  // the file's size when planned
};

// The stretch of one source inside a window.
struct ClipPiece {
    std::size_t source = 0;
    double fromSeconds = 0; // into the recording
    double toSeconds = 0;
};

// What one camera of a clip holds of the window. Pieces whose recordings
// follow each other on the clock (within kClipJoinToleranceMs, the names'
// one-second resolution) join into one part, one continuous video; where the
// recordings leave a stretch of the window uncovered, or overlap, a new part
// begins, so no video ever presents a jump in time as continuous. Every
// uncovered stretch of the window is a hole, with the reason.
constexpr int64_t kClipJoinToleranceMs = 1000;

struct ClipPart {
    std::vector<ClipPiece> pieces;
    int64_t startMs = 0; // on the clock of the names: where its first piece begins
    int64_t endMs = 0;
};

struct ClipHole {
    int64_t fromMs = 0;
    int64_t toMs = 0;
    std::string why; // a phrase: "FILE_B.MP4 cannot be read (no length in its header)"
};

struct ClipPlan {
    std::vector<ClipPart> parts;
    std::vector<ClipHole> holes; // in time order
};

// The parts and holes of the trip in [fromMs, toMs). A recording whose length
// is unknown holds nothing and is named in the hole it leaves.
ClipPlan pmPlanClipParts(const std::vector<ClipSource>& trip, int64_t fromMs, int64_t toMs);

// A recording's start as trips measure it: the time in its name, else (a name
// with no time) its embedded track's first fix, else its modification time;
// nullopt when none can be read.
std::optional<int64_t> pmClipStartMs(const std::string& path);

// The stretches of the trip inside [fromMs, toMs), in order; recordings the
// window misses are left out, as are stretches shorter than a millisecond.
std::vector<ClipPiece> pmPlanClipPieces(const std::vector<ClipSource>& trip, int64_t fromMs, int64_t toMs);

// The trip that holds `recording`, found from its folder (and the folder of
// its other camera's recording): per camera, the recordings in play order.
// `durationSeconds` answers a recording's length (header or media library).
// The recording's own camera list always holds it, alone when nothing chains.
struct ClipTrip {
    std::vector<ClipSource> front; // main camera, or the only camera
    std::vector<ClipSource> rear;
    bool momentIsRear = false; // the recording asked for is a rear one
};
ClipTrip pmFindClipTrip(const std::string& recording,
                        const std::function<double(const std::string&)>& durationSeconds);

// "Clip-YYYYMMDD-HHMMSS" of a moment, local time.
std::string pmClipFolderName(int64_t momentMs);
// Milliseconds since the epoch in local time, through a strftime format.
std::string pmFormatLocalTime(int64_t ms, const char* format);
// Makes DEST/Clip-... (then -2, -3, ...), never one that exists; "" and
// `error` (errno) on failure.
std::string pmMakeClipFolder(const std::string& dest, int64_t momentMs, int& error);

// The clip's track, one sample per whole second of the window from the first
// second a recording of the trip covers to the last: sample k is that second
// plus k s of the recording that covers it (a second between recordings, or
// past its recording's track, is a sample that is no reading). Returns the
// moment of sample 0 in ms. `load` fills a source's track (the application's
// loader by default).
int64_t pmBuildClipTrack(const std::vector<ClipSource>& trip, int64_t fromMs, int64_t toMs, GpsList& out,
                         const std::function<bool(const ClipSource&, GpsList&)>& load = {});

// Writes `base`.gpx, .kml and .csv of the track into the folder; false when
// one cannot be written. Nothing is written for a track without positions
// (and true is returned); `written` gets the names written.
bool pmWriteClipTracks(const std::string& folder, const std::string& base, const GpsList& track,
                       int64_t startMs, const std::string& creator, std::vector<std::string>& written);

// SHA256SUMS over the files named (relative to the folder), in sha256sum's
// format, written last under a temporary name and renamed.
bool pmWriteSha256Sums(const std::string& folder, const std::vector<std::string>& names);

// Writes `text` to the file, flushed; false on any failure (the file is then removed).
bool pmWriteWholeFile(const std::string& path, const std::string& text);

// True when `inner` is `outer` or lies inside it (after resolving links).
bool pmIsInsideFolder(const std::string& inner, const std::string& outer);
