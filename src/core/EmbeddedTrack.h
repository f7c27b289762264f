#pragma once
// Tracks that cameras write inside their MP4/MOV recordings (or in files of
// their own beside them), in a form that knows nothing of the layout they came
// from: fixes and G-sensor readings with their time into the recording. Each
// layout has a reader; pmReadEmbeddedTrack tries them in turn, and
// pmFillGpsList turns what one found into the track model the rest of the
// program shows (one sample per second, as a companion log fills it).
#include "core/Mp4Box.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

class GpsList;

// One position report.
struct EmbeddedFix {
    static constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();

    double time = 0;      // seconds into the recording
    bool valid = false;   // a real fix; a void one ("V", no satellites) carries no position
    double latitude = 0;  // degrees, south negative (only when valid)
    double longitude = 0; // degrees, west negative (only when valid)
    double speedKmh = -1; // below 0: not given
    double course = -1;   // degrees from north; below 0: not given
    bool hasAltitude = false;
    double altitude = 0;     // metres, when hasAltitude
    int64_t utcMs = kNoTime; // the fix's own UTC time, ms since 1970, when the layout gives one
};

// One G-sensor reading, in g.
struct EmbeddedG {
    double time = 0; // seconds into the recording
    double x = 0;
    double y = 0;
    double z = 0;
};

struct EmbeddedTrack {
    // No reader keeps more than this many of either (a day at 20 per second):
    // counts and sizes in a file decide nothing beyond it.
    static constexpr std::size_t kMaxItems = 86400u * 20u;

    std::vector<EmbeddedFix> fixes;
    std::vector<EmbeddedG> gs;
    std::string format;     // the layout it was read from ("novatek", "blackvue", ...)
    std::string sourceFile; // the file beside the recording it came from; empty when from the recording

    bool empty() const { return fixes.empty() && gs.empty(); }
    bool full() const { return fixes.size() >= kMaxItems; }
    bool gFull() const { return gs.size() >= kMaxItems; }
    void clear() { *this = EmbeddedTrack(); }
    // Appends unless full; a fix whose numbers are not finite, or whose valid
    // position is off the globe, is kept as a void fix.
    void addFix(const EmbeddedFix& fix);
    void addG(const EmbeddedG& g);
};

// What a reader is given: the open recording, its path (for files beside
// it) and its top-level boxes, walked once for all readers.
struct EmbeddedInput {
    Mp4File& file;
    std::string path;
    std::vector<Mp4Box> top;

    const Mp4Box* find(uint32_t type) const { return pmMp4FindBox(top, type); }
};

// A reader: true when it recognised its layout and put something in the
// track. It returns false, leaving the track empty, for a file that is not
// its layout, and must cost next to nothing then.
using EmbeddedReader = bool (*)(EmbeddedInput& input, EmbeddedTrack& track);
struct EmbeddedReaderEntry {
    const char* name;
    EmbeddedReader read;
};
// The readers in the order they are tried.
const std::vector<EmbeddedReaderEntry>& pmEmbeddedReaders();

// Reads the embedded track of a recording with the first reader that finds
// one. `bytesRead`, when given, receives what the readers read of the
// recording (the readers' own side files not counted). False, with an empty
// track, when no reader found a track or the file cannot be opened.
bool pmReadEmbeddedTrack(const std::string& path, EmbeddedTrack& track, uint64_t* bytesRead = nullptr);
// The same over bytes already in memory (no side files).
bool pmReadEmbeddedTrack(const unsigned char* data, std::size_t size, EmbeddedTrack& track);

// Fills the (cleared) track model: sample i is second i of the recording,
// from the first fix whose time falls in that second. A second without a fix,
// or with a void one, carries the last position with speed -1, and the seconds
// before the first fix get the first position with speed -1, as a companion
// log fills them; without any valid fix no position is set at all and the
// track has no GPS. Each second's G values are its reading of largest
// magnitude; the extremes are over every reading. Seconds run to the last fix
// or reading, at most GpsList::kMaxVideoSeconds. True when anything was filled.
bool pmFillGpsList(const EmbeddedTrack& track, GpsList& list);

// The UTC time at the start of the recording, from the first valid fix that
// carries one; false when none does.
bool pmEmbeddedStartUtc(const EmbeddedTrack& track, int64_t& utcMs);

// Shared by the readers. Degrees from the NMEA form DDMM.MMMM (a value of
// ddmm.mmmm as a number); NaN when the minutes are 60 or more.
double pmDegreesFromNmea(double ddmm);
// Days since 1970-01-01 of a Gregorian date (no checks).
int64_t pmDaysFromCivil(int year, unsigned month, unsigned day);
// UTC ms from broken-down fields; kNoTime when a field is out of range.
int64_t pmUtcMs(int year, int month, int day, int hour, int minute, double second);
// Feeds one NMEA sentence (from "$", without the line end) to a fix builder:
// RMC gives a fix (its checksum checked as in the companion logs), GGA the
// altitude of the fix last added when it belongs to the same second. True when
// the sentence was read.
bool pmAddNmeaSentence(const char* begin, const char* end, double time, EmbeddedTrack& track);
