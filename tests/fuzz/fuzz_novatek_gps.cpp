// Feeds arbitrary bytes to the freeGPS reader: as a whole MP4 in memory (the
// "gps " index, the media-data search) when the first byte is even, else
// straight to the block decoder. Checks the reads stay bounded by the file
// and the track stays within its bounds.
#include "TrackFuzzSupport.h"
#include "core/NovatekGps.h"

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
        pmReadNovatekGps(input, track);
        // The index, each block's head at most once, and at most two passes
        // of the media data.
        if (file.bytesRead() > 4 * size + 8192)
            std::abort();
    } else {
        pmDecodeNovatekBlock(data, size, 0, track);
    }
    trackfuzz::checkEmbedded(track);
    GpsList list;
    pmFillGpsList(track, list);
    trackfuzz::checkTrack(list);
    return 0;
}
