// Feeds arbitrary bytes to the free-box track reader: as a whole MP4 in
// memory when the first byte is 0 mod 3, else to the NMEA-line or the G
// record parser. Checks the track stays within its bounds.
#include "TrackFuzzSupport.h"
#include "core/BlackVueGps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return trackfuzz::runEmbeddedTarget(
        data, size, 3, pmReadBlackVueGps, [](size_t n) { return uint64_t(2) * n + 4096; },
        [](int road, const uint8_t* bytes, size_t n, EmbeddedTrack& track) {
            if (road == 1)
                pmParseBlackVueNmea(bytes, n, -1, track);
            else
                pmParseBlackVue3gf(bytes, n, 1000, track);
        });
}
