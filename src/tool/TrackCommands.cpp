// rovixtool track / kml: the track the application would load for a recording,
// printed as CSV or written as a KML document.
#include "tool/Commands.h"

#include "core/GpsList.h"
#include "core/KmlSave.h"
#include "core/TrackLoader.h"
#include "library/MediaDuration.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{

TrackLoadResult loadFor(const char* recording, GpsList& list)
{
    const std::string path = recording;
    return loadTrack(
        path, [&path] { return pmGetMediaDurationSeconds(path); }, list);
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

    const std::string out = pmFormatTrackCsv(list);
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
