// Feeds arbitrary bytes to the NMEA text-track reader: as a whole MP4 in memory
// (boxes, sample tables, samples) when the first byte is even, else straight
// to its payload decoder. Checks the track it fills stays within its bounds.
#include "TrackFuzzSupport.h"
#include "core/EmbeddedMp4Tracks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return trackfuzz::runEmbeddedTarget(
        data, size, 2, pmReadNmeaTextTrack, [](size_t n) { return uint64_t(64) * (n + 4096); },
        [](int road, const uint8_t* bytes, size_t n, EmbeddedTrack& track) {
            (void)road;
            pmDecodeNmeaTextSample(bytes, n, 0.5, track);
        });
}
