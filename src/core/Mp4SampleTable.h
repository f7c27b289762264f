#pragma once
// The samples of an MP4/QuickTime track, as its sample table states them:
// where each sample lies in the file, how long it is and when it plays. Read
// for the small timed-metadata tracks (text, GPS, sensor data), never for the
// media: a table is only built for the tracks a caller picks by handler and
// sample entry.
//
// Nothing in a table is trusted. Every count is checked against the bytes its
// box really holds (a lying count never decides an allocation), a sample that
// lies past the end of the file is dropped, and a track keeps at most
// kMaxSamples samples.
#include "core/Mp4Box.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct Mp4Sample {
    uint64_t offset = 0;
    uint32_t size = 0;
    double time = 0;     // decode time in seconds from the start of the track
    double duration = 0; // seconds
};

struct Mp4Track {
    uint32_t handler = 0;     // hdlr handler type ('text', 'sbtl', 'meta', 'vide', ...)
    uint32_t sampleEntry = 0; // type of the first sample entry ('tx3g', 'text', 'gpmd', ...)
    uint32_t timescale = 0;   // mdhd units per second
    std::vector<Mp4Sample> samples;
};

// The contents (after the box header) of the boxes one table is built from;
// a missing box is an empty span.
struct Mp4Span {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};
struct Mp4TableBoxes {
    Mp4Span stts;
    Mp4Span stsc;
    Mp4Span stsz; // or the contents of stz2 with compact = true
    bool compact = false;
    Mp4Span stco; // or the contents of co64 with wide = true
    bool wide = false;
};

// Samples from the table boxes, in decode order. Samples that would pass
// `fileSize` and empty samples are left out; a table without sizes or chunk
// offsets, or a time scale of 0, gives none.
std::vector<Mp4Sample> pmMp4BuildSamples(const Mp4TableBoxes& boxes, uint32_t timescale, uint64_t fileSize);

// First sample entry type of an stsd box's contents; 0 when there is none.
uint32_t pmMp4FirstSampleEntry(Mp4Span stsd);

// At most this many samples per track: hours of once-a-second data many
// times over, and a bound on what a lying table can make us hold.
constexpr std::size_t kMp4MaxSamples = 1u << 20;

// The tracks of the movie `moov` whose handler and first sample entry `want`
// accepts, each with its samples. The table boxes are read only for those.
using Mp4TrackFilter = bool (*)(uint32_t handler, uint32_t sampleEntry);
std::vector<Mp4Track> pmMp4ReadTracks(Mp4File& file, const Mp4Box& moov, Mp4TrackFilter want);
