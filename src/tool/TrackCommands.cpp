// rovixtool track / kml: the track the application would load for a recording,
// printed as CSV or written as a KML document.
#include "tool/Commands.h"

#include "core/GpsList.h"
#include "core/KmlSave.h"
#include "core/TrackLoader.h"
#include "library/MediaDuration.h"

extern "C" {
#include <libavutil/log.h>
}

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{

TrackLoadResult loadFor(const char* recording, GpsList& list)
{
    av_log_set_level(AV_LOG_QUIET);
    const double seconds = pmGetMediaDurationSeconds(recording);
    return loadTrack(recording, seconds, list);
}

// A reproducible build or test may fix the export time in the document.
void useSourceDateEpoch()
{
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (!epoch || !*epoch)
        return;
    char* end = nullptr;
    const long long secs = std::strtoll(epoch, &end, 10);
    if (*end != '\0')
        return;
    const auto when = std::chrono::system_clock::time_point(std::chrono::seconds(secs));
    pmSetKmlClock([when] { return when; });
}

} // namespace

int runTrackCommand(const char* recording)
{
    GpsList list;
    loadFor(recording, list);

    std::string out = "index,lat,lon,speed,direction,altitude,gx,gy,gz\n";
    char line[1024];
    int index = 0;
    for (const GpsData& s : list.gpslist()) {
        const int n =
            std::snprintf(line, sizeof line, "%d,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f\n", index++,
                          static_cast<double>(s.fLatitude()), static_cast<double>(s.fLongitude()),
                          static_cast<double>(s.fSpeed()), static_cast<double>(s.fDirection()), s.dAltitude(),
                          static_cast<double>(s.GetGValueX()), static_cast<double>(s.GetGValueY()),
                          static_cast<double>(s.GetGValueZ()));
        if (n > 0)
            out.append(line, static_cast<std::size_t>(std::min<int>(n, sizeof line - 1)));
    }
    std::snprintf(line, sizeof line, "#gps=%d gsensor=%d max=%.6f@%d min=%.6f@%d\n",
                  list.IsGPSReady() ? 1 : 0, list.IsGSensorReady() ? 1 : 0,
                  static_cast<double>(list.GetMaxGValue()), list.GetMaxGIndex(),
                  static_cast<double>(list.GetMinGValue()), list.GetMinGIndex());
    out += line;
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "rovixtool: cannot write the track\n");
        return 2;
    }
    return 0;
}

int runKmlCommand(const char* recording, const char* outputPath)
{
    GpsList list;
    loadFor(recording, list);
    if (!list.IsGPSReady() || list.GetDataCount() == 0) {
        std::fprintf(stderr, "rovixtool: %s has no GPS positions; no KML written\n", recording);
        return 1;
    }
    useSourceDateEpoch();
    switch (pmOutputKML(outputPath, &list)) {
    case KmlResult::Ok:
        return 0;
    case KmlResult::NoTrack:
        std::fprintf(stderr, "rovixtool: %s has no GPS positions; no KML written\n", recording);
        return 1;
    case KmlResult::WriteFailed:
        break;
    }
    std::fprintf(stderr, "rovixtool: cannot write %s\n", outputPath);
    return 2;
}
