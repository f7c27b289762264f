#pragma once
// Shared by the track fuzz targets: a per-process scratch file and a check
// that a track holds only finite values and consistent extremes.
#include "core/EmbeddedTrack.h"
#include "core/GpsList.h"
#include "core/Mp4Box.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace trackfuzz
{

inline std::string writeScratch(const char* name, const uint8_t* data, size_t size)
{
    const std::string path = "/tmp/" + std::string(name) + "." + std::to_string(::getpid());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return std::string();
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}

inline void checkTrack(const GpsList& list)
{
    for (const GpsData& s : list.gpslist()) {
        if (!std::isfinite(s.fLatitude()) || !std::isfinite(s.fLongitude()) || !std::isfinite(s.fSpeed()) ||
            !std::isfinite(s.fDirection()) || !std::isfinite(s.dAltitude()) ||
            !std::isfinite(s.GetGValueX()) || !std::isfinite(s.GetGValueY()) ||
            !std::isfinite(s.GetGValueZ()))
            std::abort();
    }
    if (list.GetMaxGValue() < 0 || list.GetMinGValue() > 0 ||
        list.GetMaxGIndex() >= list.GetDataCount() + 1 || list.GetMinGIndex() >= list.GetDataCount() + 1 ||
        list.GetDataCount() > 20 * GpsList::kMaxVideoSeconds)
        std::abort();
}

// An embedded track: within its caps, finite times, valid fixes on the globe.
inline void checkEmbedded(const EmbeddedTrack& track)
{
    if (track.fixes.size() > EmbeddedTrack::kMaxItems || track.gs.size() > EmbeddedTrack::kMaxItems)
        std::abort();
    for (const EmbeddedFix& f : track.fixes)
        if (!std::isfinite(f.time) ||
            (f.valid && !(std::fabs(f.latitude) <= 90 && std::fabs(f.longitude) <= 180)))
            std::abort();
    for (const EmbeddedG& g : track.gs)
        if (!std::isfinite(g.time) || !std::isfinite(g.x) || !std::isfinite(g.y) || !std::isfinite(g.z))
            std::abort();
}

// Video length taken from the first two bytes of the input, so the fuzzer
// explores placeholders and alignment too.
inline int takeSeconds(const uint8_t*& data, size_t& size)
{
    if (size < 2)
        return 0;
    const int seconds = data[0] | (data[1] & 0x7f) << 8;
    data += 2;
    size -= 2;
    return seconds;
}

// The frame every embedded-track target shares. The first byte picks the
// road (its value modulo `roads`) and the rest is the input: road 0 reads it
// as a whole MP4 in memory with `reader` and aborts when the bytes read pass
// `maxRead(size)`, because reads must be bounded by the file, not by its
// counts; any other road goes to `decode(road, data, size, track)`, the
// reader's payload decoders. The track and its fill are checked either way.
template <typename MaxRead, typename Decode>
int runEmbeddedTarget(const uint8_t* data, size_t size, int roads, EmbeddedReader reader, MaxRead maxRead,
                      Decode decode)
{
    if (size < 1)
        return 0;
    const int road = data[0] % roads;
    ++data;
    --size;
    EmbeddedTrack track;
    if (road == 0) {
        Mp4File file(data, size);
        EmbeddedInput input{file, std::string(), pmMp4TopLevel(file)};
        reader(input, track);
        if (file.bytesRead() > maxRead(size))
            std::abort();
    } else {
        decode(road, data, size, track);
    }
    checkEmbedded(track);
    GpsList list;
    pmFillGpsList(track, list);
    checkTrack(list);
    return 0;
}

} // namespace trackfuzz
