// Feeds arbitrary bytes to the AVI position-chunk reader (which also runs the
// aligned G-sensor reader), with a fuzzed video length.
#include "TrackFuzzSupport.h"
#include "core/AviTrack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int seconds = trackfuzz::takeSeconds(data, size);
    const std::string path = trackfuzz::writeScratch("fuzz_avi_gps", data, size);
    if (path.empty())
        return 0;
    GpsList list;
    pmGetAviGpsData(path, list, seconds);
    ::unlink(path.c_str());
    trackfuzz::checkTrack(list);
    return 0;
}
