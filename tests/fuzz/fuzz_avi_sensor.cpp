// Feeds arbitrary bytes to the plain AVI G-sensor-chunk reader.
#include "TrackFuzzSupport.h"
#include "core/AviTrack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = trackfuzz::writeScratch("fuzz_avi_sensor", data, size);
    if (path.empty())
        return 0;
    GpsList list;
    pmGetAviSensorData(path, list);
    ::unlink(path.c_str());
    trackfuzz::checkTrack(list);
    if (list.GetDataCount() > static_cast<int>(size / 20))
        std::abort(); // one sample per whole record present, never more
    return 0;
}
