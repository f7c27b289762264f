// Inputs and measurements for bench/track.sh.
//   rovixtrackbench log OUT SECONDS
//       an NMEA log of SECONDS groups ($GPRMC, $GPGGA, $GSENSOR), one per second
//   rovixtrackbench sparse-avi OUT BYTES SECONDS
//       a sparse AVI of BYTES: headers, a movie list and index spanning the
//       file (holes), then SECONDS position and G-sensor records
//   rovixtrackbench mp4 OUT SECONDS
//       a small MP4 recording whose movie header states SECONDS (0: states no
//       duration, so a reader must ask the media framework)
//   rovixtrackbench events LOG RUNS
//       parses the log and finds its harsh-driving marks, RUNS times each;
//       prints the marks and both median times
//   rovixtrackbench read-avi FILE SECONDS RUNS
//       runs the AVI readers as the track loader does, RUNS times; prints the
//       samples, the bytes read per run (from /proc/self/io) and the median time
#include "MediaGen.h"
#include "core/AviTrack.h"
#include "core/GpsList.h"
#include "core/GpsParser.h"
#include "core/HarshEvents.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

long long readBytesSoFar()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "rchar:")
            return value;
    }
    return -1;
}

void putLe32(std::string& s, std::size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

std::string chunkHead(const char* id, uint32_t size)
{
    std::string c(id, 4);
    c.resize(8);
    putLe32(c, 4, size);
    return c;
}

int makeLog(const std::string& out, int seconds)
{
    mediagen::NmeaSpec settings;
    settings.drive.seconds = seconds;
    settings.drive.eventSecond = seconds / 2;
    std::string error;
    if (!mediagen::writeNmeaLog(out, settings, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

int makeSparseAvi(const std::string& out, long long bytes, int seconds)
{
    mediagen::DriveSpec drive;
    drive.seconds = seconds;
    const auto samples = mediagen::makeDrive(drive);
    std::string track = chunkHead("SLLT", static_cast<uint32_t>(28 * seconds));
    for (const auto& s : samples) {
        const auto r = mediagen::encodePositionRecord(s);
        track.append(reinterpret_cast<const char*>(r.data()), r.size());
    }
    track += chunkHead("SGLT", static_cast<uint32_t>(20 * seconds));
    for (const auto& s : samples) {
        const auto r = mediagen::encodeSensorRecord(s);
        track.append(reinterpret_cast<const char*>(r.data()), r.size());
    }
    // 30 frames per second, two streams: a camera-sized index.
    const long long indexBytes = 16LL * 30 * 2 * seconds;
    std::string head = "RIFF" + std::string(4, '\0') + "AVI ";
    const std::string hdrl = "hdrlavih" + std::string(56, '\0');
    head += chunkHead("LIST", static_cast<uint32_t>(hdrl.size())) + hdrl;
    const long long movieStart = static_cast<long long>(head.size());
    const long long movieBytes =
        bytes - movieStart - 8 - 8 - indexBytes - static_cast<long long>(track.size());
    if (movieBytes < 4) {
        std::fprintf(stderr, "file too small\n");
        return 1;
    }
    putLe32(head, 4, static_cast<uint32_t>(std::min<long long>(bytes - 8, 0xffffffffLL)));
    head += chunkHead("LIST", static_cast<uint32_t>(movieBytes)) + "movi";

    FILE* f = std::fopen(out.c_str(), "wb");
    if (!f)
        return 1;
    std::fwrite(head.data(), 1, head.size(), f);
    // The media data and the index stay holes; only their headers are written.
    const long long indexAt = movieStart + 8 + movieBytes;
    std::fseek(f, static_cast<long>(indexAt), SEEK_SET);
    const std::string idx = chunkHead("idx1", static_cast<uint32_t>(indexBytes));
    std::fwrite(idx.data(), 1, idx.size(), f);
    std::fseek(f, static_cast<long>(indexAt + 8 + indexBytes), SEEK_SET);
    std::fwrite(track.data(), 1, track.size(), f);
    std::fclose(f);
    return 0;
}

int makeMp4(const std::string& out, long seconds)
{
    mediagen::RecordingSpec wanted;
    wanted.container = mediagen::Container::Mp4;
    wanted.seconds = 2;
    std::string error;
    // The pictures are two seconds long; only the stated length matters here.
    if (seconds < 0 || seconds > 4000000 || !mediagen::writeRecording(out, wanted, &error) ||
        !mediagen::patchMvhd(out, 1000, static_cast<uint32_t>(seconds * 1000), &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

int readAvi(const std::string& file, int seconds, int runs)
{
    std::vector<double> times;
    long long bytes = 0;
    int samples = 0;
    for (int i = 0; i < std::max(1, runs); ++i) {
        const long long before = readBytesSoFar();
        const auto t0 = std::chrono::steady_clock::now();
        GpsList list;
        if (!pmGetAviGpsData(file, list, seconds))
            pmGetAviSensorData(file, list);
        const auto t1 = std::chrono::steady_clock::now();
        bytes = readBytesSoFar() - before;
        samples = list.GetDataCount();
        times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("samples=%d bytes_read=%lld median_ms=%.3f\n", samples, bytes, times[times.size() / 2]);
    return 0;
}

} // namespace

int parseAndDetect(const std::string& log, int runs)
{
    using Clock = std::chrono::steady_clock;
    std::vector<double> parse, detect;
    std::size_t marks = 0;
    int samples = 0;
    for (int r = 0; r < std::max(1, runs); ++r) {
        GpsList list;
        GpsParser parser;
        auto t0 = Clock::now();
        parser.ParseFile(log, &list);
        auto t1 = Clock::now();
        marks = findHarshMarks(list).size();
        auto t2 = Clock::now();
        samples = list.GetDataCount();
        parse.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        detect.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    std::sort(parse.begin(), parse.end());
    std::sort(detect.begin(), detect.end());
    const double p = parse[parse.size() / 2], d = detect[detect.size() / 2];
    std::printf("samples=%d marks=%zu parse_ms=%.3f detect_ms=%.3f ratio=%.4f\n", samples, marks, p, d,
                p > 0 ? d / p : 0);
    return 0;
}

int main(int argc, char** argv)
{
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "log" && argc == 4)
        return makeLog(argv[2], std::atoi(argv[3]));
    if (cmd == "sparse-avi" && argc == 5)
        return makeSparseAvi(argv[2], std::atoll(argv[3]), std::atoi(argv[4]));
    if (cmd == "mp4" && argc == 4)
        return makeMp4(argv[2], std::atol(argv[3]));
    if (cmd == "events" && argc == 4)
        return parseAndDetect(argv[2], std::atoi(argv[3]));
    if (cmd == "read-avi" && argc == 5)
        return readAvi(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    std::fprintf(stderr, "usage: rovixtrackbench log OUT SECONDS | sparse-avi OUT BYTES SECONDS | "
                         "mp4 OUT SECONDS | events LOG RUNS | read-avi FILE SECONDS RUNS\n");
    return 2;
}
