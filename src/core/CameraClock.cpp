#include "core/CameraClock.h"

#include "core/ContainerProbe.h"
#include "core/FileRules.h"
#include "core/ForeignTrack.h"
#include "core/GpsList.h"
#include "core/TrackLoader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace
{

constexpr int64_t kQuarterHourMs = 15 * 60 * 1000;

// "YYYY-MM-DD HH:MM:SS" of wall-clock ms (read as UTC fields).
std::string wallText(int64_t ms)
{
    const std::time_t when = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    std::tm tm{};
    char text[32] = "?";
    if (gmtime_r(&when, &tm))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

} // namespace

bool pmCameraClock(const GpsList& list, int64_t cameraStartMs, CameraClock& out)
{
    std::vector<int64_t> differences;
    int second = 0;
    for (const GpsData& s : list.gpslist()) {
        if (s.isReading() && s.hasUtc())
            differences.push_back(cameraStartMs + static_cast<int64_t>(second) * 1000 - s.utcMs());
        ++second;
    }
    return pmCameraClockOf(std::move(differences), out);
}

bool pmCameraClockOf(std::vector<int64_t> differences, CameraClock& out)
{
    if (differences.empty())
        return false;
    const auto mid = differences.begin() + static_cast<std::ptrdiff_t>(differences.size() / 2);
    std::nth_element(differences.begin(), mid, differences.end());
    const int64_t difference = *mid;
    // Nearest quarter-hour; a drift of exactly 7.5 min goes to the zone below.
    const int64_t quarters =
        (difference >= 0 ? difference + kQuarterHourMs / 2 - 1 : difference - kQuarterHourMs / 2) /
        kQuarterHourMs;
    const int zone = static_cast<int>(quarters * 15);
    if (zone < -12 * 60 || zone > 14 * 60)
        return false;
    out.differenceMs = difference;
    out.zoneMinutes = zone;
    out.driftMs = difference - quarters * kQuarterHourMs;
    out.samples = static_cast<int>(differences.size());
    return true;
}

bool pmCardCameraClock(const std::vector<std::string>& recordings, CameraClock& out, int maxReads, int enough)
{
    std::vector<const std::string*> candidates;
    for (const std::string& r : recordings)
        if (pmGetCameraType(r) != kCameraRear)
            candidates.push_back(&r);
    if (candidates.empty())
        for (const std::string& r : recordings)
            candidates.push_back(&r);
    const std::size_t reads = std::min(candidates.size(), static_cast<std::size_t>(std::max(maxReads, 0)));
    std::vector<int64_t> differences;
    for (std::size_t i = 0; i < reads && static_cast<int>(differences.size()) < enough; ++i) {
        // Evenly over the card: a clock set right on one day and off on another still gives its middle.
        const std::string& path = *candidates[i * candidates.size() / reads];
        int64_t cameraStart = 0;
        if (!pmNameWallClockMs(path, cameraStart))
            continue;
        GpsList list;
        loadTrack(
            path, [&path] { return pmGetContainerDurationSeconds(path); }, list);
        CameraClock clock;
        if (pmCameraClock(list, cameraStart, clock))
            differences.push_back(clock.differenceMs);
    }
    return pmCameraClockOf(std::move(differences), out);
}

std::optional<int64_t> pmCorrectedNameTimeMs(const std::string& recordingPath, int64_t differenceMs)
{
    int64_t wall = 0;
    if (!pmNameWallClockMs(recordingPath, wall))
        return std::nullopt;
    return pmCorrectedInstantMs(wall, differenceMs);
}

_SYSTEMTIME pmCorrectedStart(const _SYSTEMTIME& cameraStart, int64_t differenceMs)
{
    if (!pmIsRealDateTime(cameraStart))
        return cameraStart;
    const int64_t wall = utcMsFromCivil(cameraStart.wYear, cameraStart.wMonth, cameraStart.wDay,
                                        cameraStart.wHour, cameraStart.wMinute, cameraStart.wSecond);
    const int64_t local = pmLocalWallClockMs(pmCorrectedInstantMs(wall, differenceMs));
    const std::time_t when = static_cast<std::time_t>(local >= 0 ? local / 1000 : (local - 999) / 1000);
    std::tm tm{};
    if (!gmtime_r(&when, &tm) || tm.tm_year + 1900 < 1 || tm.tm_year + 1900 > 65535)
        return cameraStart;
    _SYSTEMTIME out = cameraStart;
    out.wYear = static_cast<uint16_t>(tm.tm_year + 1900);
    out.wMonth = static_cast<uint16_t>(tm.tm_mon + 1);
    out.wDay = static_cast<uint16_t>(tm.tm_mday);
    out.wDayOfWeek = static_cast<uint16_t>(tm.tm_wday);
    out.wHour = static_cast<uint16_t>(tm.tm_hour);
    out.wMinute = static_cast<uint16_t>(tm.tm_min);
    out.wSecond = static_cast<uint16_t>(tm.tm_sec);
    return out;
}

std::string pmUtcZoneText(int zoneMinutes)
{
    const int a = std::abs(zoneMinutes);
    char text[16];
    if (a % 60 == 0)
        std::snprintf(text, sizeof text, "UTC%c%d", zoneMinutes < 0 ? '-' : '+', a / 60);
    else
        std::snprintf(text, sizeof text, "UTC%c%d:%02d", zoneMinutes < 0 ? '-' : '+', a / 60, a % 60);
    return text;
}

std::string pmCameraClockText(const CameraClock& clock)
{
    const int64_t seconds = (std::llabs(clock.driftMs) + 500) / 1000;
    std::string text = "camera clock ";
    if (seconds == 0) {
        text += "agrees with GPS time to the second";
    } else {
        if (seconds >= 60)
            text += std::to_string(seconds / 60) + " min";
        if (seconds % 60 != 0)
            text += std::string(seconds >= 60 ? " " : "") + std::to_string(seconds % 60) + " s";
        text += clock.driftMs > 0 ? " ahead of GPS time" : " behind GPS time";
    }
    return text + "; camera time zone " + pmUtcZoneText(clock.zoneMinutes);
}

std::string pmCameraClockLines(const GpsList& list, int64_t cameraStartMs, const std::string& indent)
{
    CameraClock clock;
    if (!pmCameraClock(list, cameraStartMs, clock))
        return {};
    const int64_t corrected = cameraStartMs - clock.driftMs;
    const int64_t utc = cameraStartMs - clock.differenceMs;
    return indent + "Camera clock: " + pmCameraClockText(clock) + " (from " + std::to_string(clock.samples) +
           " GPS times)\n" + indent + "Start by the camera clock: " + wallText(cameraStartMs) + "\n" +
           indent + "Start corrected: " + wallText(corrected) + " " + pmUtcZoneText(clock.zoneMinutes) +
           " (" + wallText(utc) + " UTC)\n";
}

int64_t pmLocalWallClockMs(int64_t instantMs)
{
    const std::time_t when =
        static_cast<std::time_t>(instantMs >= 0 ? instantMs / 1000 : (instantMs - 999) / 1000);
    std::tm tm{};
    if (!localtime_r(&when, &tm))
        return instantMs;
    return instantMs + static_cast<int64_t>(tm.tm_gmtoff) * 1000;
}

bool pmNameWallClockMs(const std::string& recordingPath, int64_t& ms)
{
    _SYSTEMTIME t;
    if (!pmGetFileDateTime(recordingPath, t) || !pmIsRealDateTime(t))
        return false;
    ms = utcMsFromCivil(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return true;
}
