#include "core/TrackLoader.h"

#include "core/AviTrack.h"
#include "core/CameraFamilies.h"
#include "core/EmbeddedTrack.h"
#include "core/GpsList.h"
#include "core/GpsParser.h"
#include "core/Log.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string pmGetAnotherCameraPath(const std::string& path)
{
    return pmGetAnotherCameraPath(path, pmIsFileExist);
}

int pmWholeVideoSeconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    if (seconds >= GpsList::kMaxVideoSeconds)
        return GpsList::kMaxVideoSeconds;
    return static_cast<int>(seconds);
}

TrackLoadResult loadTrack(const std::string& recordingPath, double videoSeconds, GpsList& list)
{
    return loadTrack(
        recordingPath, [videoSeconds] { return videoSeconds; }, list);
}

std::string pmTrackLogFile(const std::string& recordingPath)
{
    if (recordingPath.empty())
        return std::string();
    // The rear camera shows the front camera's track.
    std::string trackPath = recordingPath;
    if (pmGetCameraType(recordingPath) == kCameraRear) {
        const std::string partner = pmGetAnotherCameraPath(recordingPath);
        if (!partner.empty())
            trackPath = partner;
    }
    return pmGetGpsLogFile(trackPath);
}

TrackLoadResult loadTrack(const std::string& recordingPath, const std::function<double()>& videoSeconds,
                          GpsList& list)
{
    return loadTrackFrom(recordingPath, pmTrackLogFile(recordingPath), recordingPath, videoSeconds, list);
}

TrackLoadResult loadTrackFrom(const std::string& recordingPath, const std::string& log,
                              const std::string& recordingFile, const std::function<double()>& videoSeconds,
                              GpsList& list)
{
    TrackLoadResult result;
    bool known = false;
    auto seconds = [&] {
        if (!known) {
            result.videoSeconds = pmWholeVideoSeconds(videoSeconds ? videoSeconds() : 0.0);
            known = true;
        }
        return result.videoSeconds;
    };
    list.ClearAllData();
    if (recordingPath.empty())
        return result;

    GpsParser parser;
    if (!log.empty()) {
        pmWriteLog("OnOpenGpsFile() - Found GPS file  - " + log);
        result.source = TrackSource::NmeaLog;
        result.sourcePath = log;
        result.loaded = parser.ParseFile(log, &list);
    } else {
        pmWriteLog("OnOpenGpsFile() - No GPS file !");
        list.ClearAllData();
        // Without a log, a rear recording reads its own chunks, not its partner's.
        if (pmGetMediaType(recordingPath) == kMediaAvi) {
            result.source = TrackSource::AviChunks;
            result.sourcePath = recordingFile;
            result.loaded = pmGetAviGpsData(recordingFile, list, std::function<int()>(seconds));
            if (!result.loaded) {
                result.aviSensorFallback = true;
                result.loaded = pmGetAviSensorData(recordingFile, list);
            }
        } else if (pmGetMediaType(recordingPath) != kMediaUnknown) {
            // MOV/MP4: the track the camera wrote into the recording (or
            // beside it, in its own layout).
            EmbeddedTrack embedded;
            if (pmReadEmbeddedTrack(recordingFile, embedded) && pmFillGpsList(embedded, list)) {
                pmWriteLog("OnOpenGpsFile() - Embedded track (" + embedded.format + ") - " +
                           (embedded.sourceFile.empty() ? recordingFile : embedded.sourceFile));
                result.source = TrackSource::Embedded;
                result.sourcePath = embedded.sourceFile.empty() ? recordingFile : embedded.sourceFile;
                result.embeddedFormat = embedded.format;
                result.loaded = true;
            }
        }
    }

    if (result.loaded && list.IsGSensorReady())
        list.SyncVideoDuration(seconds());
    return result;
}

std::optional<int64_t> pmTrackStartMs(const std::string& recordingPath)
{
    _SYSTEMTIME named;
    const MediaContainerKind media = pmGetMediaType(recordingPath);
    if (recordingPath.empty() || pmGetFileDateTime(recordingPath, named) || media == kMediaAvi ||
        media == kMediaUnknown || !pmTrackLogFile(recordingPath).empty())
        return std::nullopt;
    EmbeddedTrack embedded;
    int64_t startMs = 0;
    if (!pmReadEmbeddedTrack(recordingPath, embedded) || !pmEmbeddedStartUtc(embedded, startMs))
        return std::nullopt;
    return startMs;
}

int chooseEventMark(RecordingType type, bool hasGSensor, float maxG, int maxIndex, float minG, int minIndex)
{
    if (type != kRecordingEvent || !hasGSensor)
        return -1;
    float value = maxG;
    int index = maxIndex;
    if (std::fabs(minG) > std::fabs(maxG)) {
        value = minG;
        index = minIndex;
    }
    return std::fabs(value) > 0.5f ? index : -1;
}

int chooseEventMark(RecordingType type, const GpsList& list)
{
    return chooseEventMark(type, list.IsGSensorReady(), list.GetMaxGValue(), list.GetMaxGIndex(),
                           list.GetMinGValue(), list.GetMinGIndex());
}

bool pmWriteTrackCsv(const GpsList& list, const TextSink& sink)
{
    static const char kHeader[] = "index,lat,lon,speed,direction,altitude,gx,gy,gz\n";
    if (!sink(kHeader, sizeof kHeader - 1))
        return false;
    char line[1600];
    auto emit = [&](int n) {
        return n <= 0 || sink(line, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof line - 1));
    };
    int index = 0;
    for (const GpsData& s : list.gpslist()) {
        const int n =
            std::snprintf(line, sizeof line, "%d,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f\n", index++,
                          static_cast<double>(s.fLatitude()), static_cast<double>(s.fLongitude()),
                          static_cast<double>(s.fSpeed()), static_cast<double>(s.fDirection()), s.dAltitude(),
                          static_cast<double>(s.GetGValueX()), static_cast<double>(s.GetGValueY()),
                          static_cast<double>(s.GetGValueZ()));
        if (!emit(n))
            return false;
    }
    return emit(std::snprintf(line, sizeof line, "#gps=%d gsensor=%d max=%.6f@%d min=%.6f@%d\n",
                              list.IsGPSReady() ? 1 : 0, list.IsGSensorReady() ? 1 : 0,
                              static_cast<double>(list.GetMaxGValue()), list.GetMaxGIndex(),
                              static_cast<double>(list.GetMinGValue()), list.GetMinGIndex()));
}

std::string pmFormatTrackCsv(const GpsList& list)
{
    std::string out;
    pmWriteTrackCsv(list, [&out](const char* text, std::size_t size) {
        out.append(text, size);
        return true;
    });
    return out;
}
