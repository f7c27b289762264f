#include "core/TrackExport.h"

#include "core/FileRules.h"
#include "core/GpsList.h"
#include "core/KmlSave.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Miles per kilometre, as every speed shown in mph is converted.
constexpr double kMilesPerKm = 0.62137;

// Fixed-point text of a number whatever the locale; not finite reads as 0.
void appendNumber(std::string& out, double v, int decimals)
{
    if (!std::isfinite(v))
        v = 0;
    char text[400];
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
    if (r.ec == std::errc())
        out.append(text, r.ptr);
}

// A log without altitude sentences leaves every altitude at 0, and the
// embedded chunks mark a missing reading as kNoAltitude: either way there is
// no altitude to write.
bool trackHasAltitude(const GpsList& list)
{
    for (const GpsData& s : list.gpslist())
        if (s.isReading() && s.dAltitude() != 0 && s.dAltitude() != GpsData::kNoAltitude)
            return true;
    return false;
}

bool isAltitudeReading(const GpsData& s, bool trackHasAltitude)
{
    return trackHasAltitude && s.isReading() && s.dAltitude() != GpsData::kNoAltitude;
}

std::string sampleTime(const std::optional<std::chrono::system_clock::time_point>& start, int second)
{
    if (!start)
        return std::string();
    return pmFormatUtcTime(*start + std::chrono::seconds(second));
}

bool emit(const TextSink& sink, const std::string& text)
{
    return sink(text.data(), text.size());
}

// Removes what a failed export left, but never anything that is not a plain file.
void removePartial(const std::string& path)
{
    struct stat st {
    };
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::unlink(path.c_str());
}

} // namespace

bool pmHasPosition(const GpsData& sample)
{
    return sample.fLatitude() != 0.0f || sample.fLongitude() != 0.0f;
}

bool pmHasPositionReading(const GpsData& sample)
{
    return sample.isReading() && pmHasPosition(sample);
}

bool pmTrackHasPositions(const GpsList& list)
{
    return list.IsGPSReady() && list.GetDataCount() > 0;
}

std::optional<std::chrono::system_clock::time_point> pmRecordingStart(const std::string& recordingPath)
{
    _SYSTEMTIME st;
    if (!pmGetFileDateTime(recordingPath, st)) {
        // A name without a time: the camera's first fix says when it started.
        if (const std::optional<int64_t> fixed = pmTrackStartMs(recordingPath))
            return std::chrono::system_clock::time_point(std::chrono::milliseconds(*fixed));
        return std::nullopt;
    }
    if (!pmIsRealDateTime(st))
        return std::nullopt;
    std::tm local{};
    local.tm_year = st.wYear - 1900;
    local.tm_mon = st.wMonth - 1;
    local.tm_mday = st.wDay;
    local.tm_hour = st.wHour;
    local.tm_min = st.wMinute;
    local.tm_sec = st.wSecond;
    local.tm_isdst = -1; // let the zone rules decide summer time for that day
    const std::time_t t = std::mktime(&local);
    if (t == static_cast<std::time_t>(-1))
        return std::nullopt;
    return std::chrono::system_clock::from_time_t(t);
}

std::string pmFormatUtcTime(std::chrono::system_clock::time_point when)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

bool pmWriteTrackGpx(const GpsList& list, const std::string& recordingPath, const std::string& creator,
                     const TextSink& sink)
{
    return pmWriteTrackGpx(list, pmGetFileName(recordingPath, true), pmRecordingStart(recordingPath), creator,
                           sink);
}

bool pmWriteTrackGpx(const GpsList& list, const std::string& trackName,
                     std::optional<std::chrono::system_clock::time_point> start, const std::string& creator,
                     const TextSink& sink)
{
    const bool altitude = trackHasAltitude(list);
    // The creator is an attribute: keep it to characters that need no escaping.
    std::string safeCreator;
    for (char c : creator)
        if (c != '"' && c != '&' && c != '<' && c != '>' && static_cast<unsigned char>(c) >= 0x20)
            safeCreator += c;
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<gpx version=\"1.1\" creator=\"" +
                       safeCreator +
                       "\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
                       "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                       "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
                       "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n"
                       "<trk>\n<name>" +
                       KmlSave::StringAsCData(trackName) + "</name>\n<trkseg>\n";
    if (!emit(sink, text))
        return false;
    int second = 0;
    for (const GpsData& s : list.gpslist()) {
        const int index = second++;
        // A second the track only filled in (its last position repeated) is
        // no point of the route.
        if (!pmHasPositionReading(s))
            continue;
        text = "<trkpt lat=\"";
        appendNumber(text, static_cast<double>(s.fLatitude()), 6);
        text += "\" lon=\"";
        appendNumber(text, static_cast<double>(s.fLongitude()), 6);
        text += "\">";
        if (isAltitudeReading(s, altitude)) {
            text += "<ele>";
            appendNumber(text, s.dAltitude(), 1);
            text += "</ele>";
        }
        if (start) {
            text += "<time>";
            text += sampleTime(start, index);
            text += "</time>";
        }
        text += "</trkpt>\n";
        if (!emit(sink, text))
            return false;
    }
    return emit(sink, "</trkseg>\n</trk>\n</gpx>\n");
}

bool pmWriteTrackTable(const GpsList& list, const std::string& recordingPath, const TextSink& sink,
                       int speedUnit)
{
    return pmWriteTrackTable(list, pmRecordingStart(recordingPath), sink, speedUnit);
}

bool pmWriteTrackTable(const GpsList& list, std::optional<std::chrono::system_clock::time_point> start,
                       const TextSink& sink, int speedUnit)
{
    const bool altitude = trackHasAltitude(list);
    const bool gsensor = list.IsGSensorReady();
    // The header names the unit the speeds are written in.
    const bool mph = speedUnit != 0;
    if (!emit(sink, mph ? "time,latitude,longitude,speed_mph,direction_deg,altitude_m,gx,gy,gz\n"
                        : "time,latitude,longitude,speed_kmh,direction_deg,altitude_m,gx,gy,gz\n"))
        return false;
    std::string row;
    int second = 0;
    for (const GpsData& s : list.gpslist()) {
        row = sampleTime(start, second++);
        row += ',';
        // A second without a reading keeps its row (the rows stay the
        // video's seconds) but claims nothing: every value is empty.
        if (!s.isReading()) {
            row += ",,,,,,,\n";
            if (!emit(sink, row))
                return false;
            continue;
        }
        // Speed and course come with the fix: without a position they mean
        // nothing, and a speed of -1 marks a position carried over from
        // another second.
        const bool position = pmHasPosition(s);
        if (position) {
            appendNumber(row, static_cast<double>(s.fLatitude()), 6);
            row += ',';
            appendNumber(row, static_cast<double>(s.fLongitude()), 6);
        } else {
            row += ',';
        }
        row += ',';
        if (position && s.fSpeed() >= 0)
            appendNumber(row, static_cast<double>(s.fSpeed()) * (mph ? kMilesPerKm : 1.0), 2);
        row += ',';
        if (position && s.fDirection() >= 0)
            appendNumber(row, static_cast<double>(s.fDirection()), 2);
        row += ',';
        if (isAltitudeReading(s, altitude))
            appendNumber(row, s.dAltitude(), 1);
        for (float g : {s.GetGValueX(), s.GetGValueY(), s.GetGValueZ()}) {
            row += ',';
            if (gsensor)
                appendNumber(row, static_cast<double>(g), 3);
        }
        row += '\n';
        if (!emit(sink, row))
            return false;
    }
    return true;
}

TrackFormat pmTrackFormatForPath(const std::string& path)
{
    const std::string name = pmGetFileName(path, false);
    const auto dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (ext == "gpx")
        return TrackFormat::Gpx;
    if (ext == "csv")
        return TrackFormat::Csv;
    return TrackFormat::Kml;
}

TrackExportResult pmExportTrack(TrackFormat format, const std::string& outputPath, const GpsList& list,
                                const std::string& recordingPath, const std::string& trackSourcePath,
                                const std::string& creator, const std::string& kmlName, int speedUnit)
{
    for (const std::string& source : {recordingPath, trackSourcePath, pmGetGpsLogFile(recordingPath)})
        if (pmIsSameFile(outputPath, source))
            return TrackExportResult::WouldOverwriteSource;
    if (!pmTrackHasPositions(list))
        return TrackExportResult::NoTrack;
    if (format == TrackFormat::Kml) {
        switch (pmOutputKML(outputPath, &list, kmlName)) {
        case KmlResult::Ok:
            return TrackExportResult::Ok;
        case KmlResult::NoTrack:
            return TrackExportResult::NoTrack;
        case KmlResult::WriteFailed:
            break;
        }
        return TrackExportResult::WriteFailed;
    }
    std::FILE* f = pmCreateOutputFile(outputPath);
    if (!f)
        return TrackExportResult::WriteFailed;
    const TextSink sink = [f](const char* text, std::size_t size) {
        return std::fwrite(text, 1, size, f) == size;
    };
    bool ok = format == TrackFormat::Gpx ? pmWriteTrackGpx(list, recordingPath, creator, sink)
                                         : pmWriteTrackTable(list, recordingPath, sink, speedUnit);
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        removePartial(outputPath);
        return TrackExportResult::WriteFailed;
    }
    return TrackExportResult::Ok;
}
