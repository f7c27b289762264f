// Feeds arbitrary bytes to the freeGPS reader: as a whole MP4 in memory (the
// "gps " index, the media-data search) when the first byte is even, else
// straight to the block decoder. Checks the reads stay bounded by the file
// and the track stays within its bounds.
#include "TrackFuzzSupport.h"
#include "core/NovatekGps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return trackfuzz::runEmbeddedTarget(
        data, size, 2, pmReadNovatekGps, [](size_t n) { return uint64_t(4) * n + 8192; },
        [](int road, const uint8_t* bytes, size_t n, EmbeddedTrack& track) {
            (void)road;
            pmDecodeNovatekBlock(bytes, n, 0, track);
        });
}
