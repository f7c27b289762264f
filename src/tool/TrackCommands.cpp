// rovixtool track / kml / gpx / csv / events: the track the application would load for
// a recording (or one from another device, --with FILE [--offset SECONDS]), printed as CSV or written as a
// KML, GPX or CSV document. A recording that is missing, a folder, not a regular file or unreadable is an
// error (exit 2), as is a KML output that is the recording itself or the log its track comes from: writing
// there would destroy the very data being exported.
#include "tool/Commands.h"

#include "core/FileRules.h"
#include "core/ForeignTrack.h"
#include "core/GpsList.h"
#include "core/HarshEvents.h"
#include "core/KmlSave.h"
#include "core/TrackExport.h"
#include "core/TrackLoader.h"
#include "tool/MediaDurationProbe.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

// A recording the commands can read: an existing regular file that opens for
// reading. Says why not on stderr.
bool checkRecording(const char* command, const char* recording)
{
    struct stat st {
    };
    const char* why = nullptr;
    if (!recording || !*recording || ::stat(recording, &st) != 0)
        why = recording && *recording ? std::strerror(errno) : "no recording given";
    else if (S_ISDIR(st.st_mode))
        why = "is a folder, not a recording";
    else if (!S_ISREG(st.st_mode))
        why = "is not a regular file";
    if (!why) {
        const int fd = ::open(recording, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0)
            why = std::strerror(errno);
        else
            ::close(fd);
    }
    if (!why)
        return true;
    std::fprintf(stderr, "rovixtool: %s: %s: %s\n", command, recording ? recording : "", why);
    return false;
}

// An output the commands may write: a regular file, or a name not taken yet.
// A FIFO, device, socket or folder is refused before the track is read (the
// writers, which open without blocking, would refuse it too, less plainly).
bool checkOutput(const char* command, const char* output)
{
    struct stat st {
    };
    const char* why = nullptr;
    if (!output || !*output)
        why = "no output given";
    else if (::stat(output, &st) == 0 && S_ISDIR(st.st_mode))
        why = "is a folder, not a file";
    else if (::stat(output, &st) == 0 && !S_ISREG(st.st_mode))
        why = "is not a regular file";
    if (!why)
        return true;
    std::fprintf(stderr, "rovixtool: %s: %s: %s\n", command, output ? output : "", why);
    return false;
}

// A track from another device (--with FILE [--offset SECONDS]) replaces the
// one the recording brings.
const char* g_withTrack = nullptr;
int g_offsetSeconds = 0;

// The track for the recording; false (said on stderr) when an attached track
// cannot be read or does not cover the recording.
bool loadFor(const char* recording, GpsList& list, TrackLoadResult& result)
{
    const std::string path = recording;
    if (!g_withTrack) {
        result = loadTrack(
            path, [&path] { return toolMediaDurationSeconds(path); }, list);
        return true;
    }
    result = TrackLoadResult();
    ForeignTrack track;
    std::string error;
    int64_t start = 0;
    int seconds = 0;
    if (!readForeignTrack(g_withTrack, track, error)) {
        std::fprintf(stderr, "rovixtool: %s: %s\n", g_withTrack, error.c_str());
        return false;
    }
    if (!recordingStartUtcMs(path, start)) {
        std::fprintf(stderr, "rovixtool: %s: the name holds no start time to line the track up with\n",
                     recording);
        return false;
    }
    seconds = pmWholeVideoSeconds(toolMediaDurationSeconds(path));
    if (seconds <= 0) {
        std::fprintf(stderr, "rovixtool: %s: cannot tell the recording's length\n", recording);
        return false;
    }
    if (!alignForeignTrack(track, start, seconds, g_offsetSeconds, list, error)) {
        std::fprintf(stderr, "rovixtool: %s: %s\n", g_withTrack, error.c_str());
        return false;
    }
    result.loaded = true;
    result.sourcePath = g_withTrack;
    result.videoSeconds = seconds;
    return true;
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
    pmSetClock([when] { return when; });
}

} // namespace

int runTrackCommand(const char* recording)
{
    if (!checkRecording("track", recording))
        return 2;
    GpsList list;
    TrackLoadResult loaded;
    if (!loadFor(recording, list, loaded))
        return 1;

    // Line by line through stdio's buffer: the text of a long track is never held whole.
    const bool written = pmWriteTrackCsv(
        list, [](const char* text, std::size_t size) { return std::fwrite(text, 1, size, stdout) == size; });
    if (!written || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "rovixtool: cannot write the track\n");
        return 2;
    }
    return 0;
}

int runKmlCommand(const char* recording, const char* outputPath)
{
    if (!checkRecording("kml", recording) || !checkOutput("kml", outputPath))
        return 2;
    GpsList list;
    TrackLoadResult loaded;
    if (!loadFor(recording, list, loaded))
        return 1;
    // The recording, the log the track was read from, and the recording's own
    // log (a rear recording reads its partner's) are never overwritten.
    for (const std::string& source :
         {std::string(recording), loaded.sourcePath, pmGetGpsLogFile(recording)}) {
        if (pmIsSameFile(outputPath, source)) {
            std::fprintf(stderr, "rovixtool: kml: %s is %s; refusing to overwrite it\n", outputPath,
                         source == recording ? "the recording" : "the recording's track log");
            return 2;
        }
    }
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

int runTrackExportCommand(const char* command, const char* recording, const char* outputPath)
{
    if (!checkRecording(command, recording) || !checkOutput(command, outputPath))
        return 2;
    GpsList list;
    TrackLoadResult loaded;
    if (!loadFor(recording, list, loaded))
        return 1;
    const TrackFormat format = std::strcmp(command, "gpx") == 0 ? TrackFormat::Gpx : TrackFormat::Csv;
    switch (pmExportTrack(format, outputPath, list, recording, loaded.sourcePath, toolCreator())) {
    case TrackExportResult::Ok:
        return 0;
    case TrackExportResult::NoTrack:
        std::fprintf(stderr, "rovixtool: %s has no GPS positions; no %s written\n", recording,
                     format == TrackFormat::Gpx ? "GPX" : "CSV");
        return 1;
    case TrackExportResult::WouldOverwriteSource:
        std::fprintf(stderr,
                     "rovixtool: %s: %s is the recording or its track log; refusing to overwrite it\n",
                     command, outputPath);
        return 2;
    case TrackExportResult::WriteFailed:
        break;
    }
    std::fprintf(stderr, "rovixtool: cannot write %s\n", outputPath);
    return 2;
}

int runTrackFamilyCommand(int argc, char** argv)
{
    const std::string command = argc > 0 ? argv[0] : "";
    double threshold = harsh::kDefaultThresholdG;
    std::vector<const char*> rest;
    for (int i = 1; i < argc; ++i) {
        const bool withValue = std::strcmp(argv[i], "--with") == 0 || std::strcmp(argv[i], "--offset") == 0 ||
                               (command == "events" && std::strcmp(argv[i], "--threshold") == 0);
        if (!withValue) {
            if (argv[i][0] == '-' && argv[i][1] == '-') {
                std::fprintf(stderr, "rovixtool: %s: unknown option %s\n", command.c_str(), argv[i]);
                return 2;
            }
            rest.push_back(argv[i]);
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "rovixtool: %s: %s needs a value\n", command.c_str(), argv[i]);
            return 2;
        }
        const std::string option = argv[i++];
        std::string why;
        if (option == "--with") {
            g_withTrack = argv[i];
        } else if (option == "--offset") {
            if (!parseTrackOffset(argv[i], g_offsetSeconds, why)) {
                std::fprintf(stderr, "rovixtool: %s: %s\n", command.c_str(), why.c_str());
                return 2;
            }
        } else if (!parseHarshThreshold(argv[i], threshold, why)) {
            std::fprintf(stderr, "rovixtool: %s: %s\n", command.c_str(), why.c_str());
            return 2;
        }
    }
    const std::size_t wanted = command == "track" || command == "events" ? 1 : 2;
    if (rest.size() != wanted) {
        std::fprintf(stderr, "rovixtool: %s: expected %s\n", command.c_str(),
                     wanted == 1 ? "one recording" : "a recording and an output file");
        return 2;
    }
    if (command == "track")
        return runTrackCommand(rest[0]);
    if (command == "kml")
        return runKmlCommand(rest[0], rest[1]);
    if (command == "events")
        return runEventsCommand(rest[0], threshold);
    return runTrackExportCommand(command.c_str(), rest[0], rest[1]);
}

int runEventsCommand(const char* recording, double threshold)
{
    if (!checkRecording("events", recording))
        return 2;
    GpsList list;
    TrackLoadResult loaded;
    if (!loadFor(recording, list, loaded))
        return 1;
    for (const HarshMark& mark : findHarshMarks(list, threshold))
        std::printf("%s\n", formatHarshMark(mark).c_str());
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "rovixtool: cannot write the events\n");
        return 2;
    }
    return 0;
}
