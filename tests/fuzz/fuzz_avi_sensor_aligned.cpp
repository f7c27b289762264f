// Feeds arbitrary bytes to the aligned AVI G-sensor reader, over a track that
// already holds some samples, with a fuzzed video length.
#include "TrackFuzzSupport.h"
#include "core/AviTrack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int seconds = trackfuzz::takeSeconds(data, size);
    int existing = 0;
    if (size > 0) {
        existing = data[0] % 64;
        ++data;
        --size;
    }
    const std::string path = trackfuzz::writeScratch("fuzz_avi_sensor_aligned", data, size);
    if (path.empty())
        return 0;
    GpsList list;
    for (int i = 0; i < existing; ++i)
        list.InsertData(35.0f, 139.0f, 10.0f, 90.0f, -1);
    pmGetAviSensorDataAligned(path, list, seconds);
    ::unlink(path.c_str());
    trackfuzz::checkTrack(list);
    if (list.GetMaxGIndex() >= list.GetDataCount() || list.GetMinGIndex() >= list.GetDataCount())
        std::abort(); // an extreme always names a sample that exists
    return 0;
}
