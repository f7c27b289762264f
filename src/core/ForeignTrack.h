#pragma once
// A track recorded by another device (a phone, a GPS logger) for a recording
// whose camera wrote none, or a poor one: read from GPX, KML, NMEA or CSV,
// then laid onto the recording's seconds by time.
//
// Every reader is bounded: a file larger than kMaxFileBytes, text that is not
// UTF-8, a document cut short, values that are not numbers or lie off the
// globe, and a file with no times give a clear message and no track. Times
// are UTC in milliseconds since 1970.
//
// Alignment: second i of the recording is the moment start + i s (the name's
// local time, as this computer's time zone reads it); the track's time for it
// is that moment plus the offset. A phone whose clock runs 5 s ahead wrote
// 08:30:05 at the recording's 08:30:00, so it takes an offset of +5.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class GpsList;

struct ForeignFix {
    int64_t utcMs = 0;
    double lat = 0;
    double lon = 0;
    double speedKmh = -1; // -1: the file gives none (then it comes from the positions)
    double course = -1;   // degrees, -1: none
    double altitude = 0;
    bool hasAltitude = false;
};

enum class ForeignFormat { Unknown, Gpx, Kml, Nmea, Csv };

struct ForeignTrack {
    ForeignFormat format = ForeignFormat::Unknown;
    std::vector<ForeignFix> fixes; // in time order, no two in the same millisecond
};

namespace foreigntrack
{
constexpr int64_t kMaxFileBytes = 64LL * 1024 * 1024;
constexpr int kMinOffsetSeconds = -3600;
constexpr int kMaxOffsetSeconds = 3600;
// Two fixes further apart than this are a gap: the seconds between them get no position.
constexpr int64_t kMaxGapMs = 10000;
} // namespace foreigntrack

const char* foreignFormatName(ForeignFormat format); // "GPX", "KML", "NMEA", "CSV"

// Reads text already in memory (the format from its content). False with
// `error` set, and `out` empty, when it holds no usable track.
bool parseForeignTrack(std::string_view text, ForeignTrack& out, std::string& error);
// The same for a file (a regular file, at most kMaxFileBytes).
bool readForeignTrack(const std::string& path, ForeignTrack& out, std::string& error);

// "" when the offset is usable, else why not.
std::string trackOffsetProblem(long long offsetSeconds);
bool parseTrackOffset(const std::string& text, int& offsetSeconds, std::string& error);

// The recording's start in UTC ms: its name's local time read in this
// computer's time zone. False for a name without a real time.
bool recordingStartUtcMs(const std::string& recordingPath, int64_t& utcMs);

// "YYYY-MM-DDTHH:MM:SS[.fff][Z|+HH:MM|-HH:MM]" (a space for the T; no zone is
// UTC) into UTC ms. False for anything else or an impossible date.
bool parseIsoTime(std::string_view text, int64_t& utcMs);
int64_t utcMsFromCivil(int year, int month, int day, int hour, int minute, double second);

// Fills `list` with one sample per whole second of the recording
// (`seconds` of them) from the track: positions interpolated between the fixes
// around each moment, speed and course from the file or else from the
// positions. Seconds outside the track or inside a gap are samples that are
// not readings. False (and `error`, `list` empty) when no second of the
// recording falls inside the track.
bool alignForeignTrack(const ForeignTrack& track, int64_t recordingStartUtcMs, int seconds, int offsetSeconds,
                       GpsList& list, std::string& error);
