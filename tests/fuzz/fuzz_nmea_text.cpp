// Feeds arbitrary bytes to the NMEA text-track reader: as a whole MP4 in memory
// (boxes, sample tables, samples) when the first byte is even, else straight
// to its payload decoder. Checks the track it fills stays within its bounds.
#include "TrackFuzzSupport.h"
#include "core/EmbeddedMp4Tracks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool whole = (data[0] & 1) == 0;
    ++data;
    --size;
    EmbeddedTrack track;
    if (whole) {
        Mp4File file(data, size);
        EmbeddedInput input{file, std::string(), pmMp4TopLevel(file)};
        pmReadNmeaTextTrack(input, track);
        if (file.bytesRead() > 64 * (size + 4096))
            std::abort(); // reads must be bounded by the file, not by its counts
    } else {
        pmDecodeNmeaTextSample(data, size, 0.5, track);
    }
    trackfuzz::checkEmbedded(track);
    GpsList list;
    pmFillGpsList(track, list);
    trackfuzz::checkTrack(list);
    return 0;
}
