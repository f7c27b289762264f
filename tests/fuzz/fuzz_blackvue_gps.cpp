// Feeds arbitrary bytes to the free-box track reader: as a whole MP4 in
// memory when the first byte is 0 mod 3, else to the NMEA-line or the G
// record parser. Checks the track stays within its bounds.
#include "TrackFuzzSupport.h"
#include "core/BlackVueGps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int mode = data[0] % 3;
    ++data;
    --size;
    EmbeddedTrack track;
    if (mode == 0) {
        Mp4File file(data, size);
        EmbeddedInput input{file, std::string(), pmMp4TopLevel(file)};
        pmReadBlackVueGps(input, track);
        if (file.bytesRead() > 2 * size + 4096)
            std::abort();
    } else if (mode == 1) {
        pmParseBlackVueNmea(data, size, -1, track);
    } else {
        pmParseBlackVue3gf(data, size, 1000, track);
    }
    trackfuzz::checkEmbedded(track);
    GpsList list;
    pmFillGpsList(track, list);
    trackfuzz::checkTrack(list);
    return 0;
}
