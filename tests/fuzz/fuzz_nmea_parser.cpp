// Feeds arbitrary bytes to the NMEA log parser as a whole file.
#include "TrackFuzzSupport.h"
#include "core/GpsParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = trackfuzz::writeScratch("fuzz_nmea_parser", data, size);
    if (path.empty())
        return 0;
    GpsList list;
    GpsParser parser;
    parser.ParseFile(path, &list);
    ::unlink(path.c_str());
    trackfuzz::checkTrack(list);
    if (list.GetMaxGValue() > 10.0f || list.GetMinGValue() < -10.0f)
        std::abort(); // raw counts reach 2.032 g, values in g are clamped to 10
    return 0;
}
