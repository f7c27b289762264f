#pragma once
// The "freeGPS" blocks that many dash cameras write into the media data of
// their MP4 recordings: a "gps " box in "moov" lists (offset, size) pairs of
// blocks, each a "free" box whose contents start with "GPS ". A file without
// that index (a camera that lost power before writing "moov", or one that
// writes none) is searched for such blocks in "mdat", in a bounded way.
#include "core/EmbeddedTrack.h"

// The blocks its index lists (a damaged index is completed by the search).
bool pmReadNovatekGps(EmbeddedInput& input, EmbeddedTrack& track);
// Without an index, the search of the media data. It reads the whole media
// box, so the dispatch runs it after every reader that finds its layout by
// an index or a header.
bool pmSearchNovatekGps(EmbeddedInput& input, EmbeddedTrack& track);

// One block's contents (from its "free" box header on). A block in a form
// not known, or without the signature, adds nothing. `time` is the block's
// second in the recording.
bool pmDecodeNovatekBlock(const unsigned char* block, std::size_t size, double time, EmbeddedTrack& track);
