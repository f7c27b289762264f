#pragma once
// How far a camera's clock is off. Names and the camera's own time stamps
// are the camera's local time; the GPS times in its track (RMC dates and
// times, embedded fixes) are UTC, and some firmware writes local time into
// them. The difference between the two is told apart by its size: whole
// quarter-hours are the camera's time zone, the rest (under 7.5 minutes either
// way) is the clock's drift.
#include "core/FileRules.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class GpsList;

struct CameraClock {
    int64_t differenceMs = 0; // camera clock minus GPS time
    int zoneMinutes = 0;      // the whole quarter-hours of it
    int64_t driftMs = 0;      // the rest: positive when the camera clock is ahead
    int samples = 0;          // seconds with a GPS time that were compared
};

// From a track whose sample i was recorded at the camera's local wall-clock
// time `cameraStartMs` + i s (that wall-clock time written as ms since 1970 as
// if it were UTC). The median over the seconds that carry a GPS time; false
// when none does, or the difference is no time zone (beyond -12 h .. +14 h).
bool pmCameraClock(const GpsList& list, int64_t cameraStartMs, CameraClock& out);

// "camera clock 2 min 13 s ahead of GPS time; camera time zone UTC+9"
// ("... agrees with GPS time to the second; ..." when the drift is under 1 s).
std::string pmCameraClockText(const CameraClock& clock);
// "UTC+9", "UTC-3:30", "UTC+0"
std::string pmUtcZoneText(int zoneMinutes);

// The lines an evidence file gives for a recording or clip whose track carries
// GPS time: the clock's difference, the start by the camera's clock and the
// start corrected (camera time less the drift, in the camera's time zone, and
// in UTC). `cameraStartMs` is the start by the camera clock as the wall-clock
// ms above; "" when the track carries no GPS time. Each line starts with
// `indent` and ends with a newline.
std::string pmCameraClockLines(const GpsList& list, int64_t cameraStartMs, const std::string& indent = "");
// The start a recording's name states, as wall-clock ms; false without a real one.
bool pmNameWallClockMs(const std::string& recordingPath, int64_t& ms);
// The wall-clock ms of an instant (ms since 1970) as this computer's time zone shows it.
int64_t pmLocalWallClockMs(int64_t instantMs);

// The clock of a card's camera from the differences (camera clock minus GPS
// time, ms) measured on some of its recordings: their median, split as
// pmCameraClock splits one; `samples` counts the recordings. False for none,
// or when the median is no time zone.
bool pmCameraClockOf(std::vector<int64_t> differencesMs, CameraClock& out);
// The same measured on the card: the tracks of at most `maxReads` of the
// recordings (spread evenly over the list, rear cameras passed over while
// other recordings are there: they take their front's log) are read until
// `enough` carry GPS time. Reads files: on a worker, never for a whole card.
bool pmCardCameraClock(const std::vector<std::string>& recordings, CameraClock& out, int maxReads = 12,
                       int enough = 3);

// The moment (ms since 1970) a recording named for `cameraWallMs` by a camera
// whose clock is `differenceMs` off GPS time began: the name's wall clock
// less the camera's time zone and drift.
inline int64_t pmCorrectedInstantMs(int64_t cameraWallMs, int64_t differenceMs)
{
    return cameraWallMs - differenceMs;
}
// The moment a recording's name states, corrected so; none without a real one.
std::optional<int64_t> pmCorrectedNameTimeMs(const std::string& recordingPath, int64_t differenceMs);
// A start by the camera's clock turned into this computer's wall clock at the
// corrected moment (what the time stamp counts from); a start that names no
// real moment is returned as it is.
_SYSTEMTIME pmCorrectedStart(const _SYSTEMTIME& cameraStart, int64_t differenceMs);
