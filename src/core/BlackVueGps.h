#pragma once
// The track some dash cameras keep in a top-level "free" box of their MP4
// recordings: "gps " holds NMEA lines each prefixed "[milliseconds]", "3gf "
// 10-byte G-sensor records. Older models write the same data as NAME.gps and
// NAME.3gf beside NAME.mp4.
#include "core/EmbeddedTrack.h"

bool pmReadBlackVueGps(EmbeddedInput& input, EmbeddedTrack& track);

// The layouts on their own (for side files, tests and fuzz targets). Times
// are made relative to `startMs`, the first timestamp of the recording (or,
// when negative, the first one found in the data).
bool pmParseBlackVueNmea(const unsigned char* data, std::size_t size, int64_t startMs, EmbeddedTrack& track);
bool pmParseBlackVue3gf(const unsigned char* data, std::size_t size, int64_t startMs, EmbeddedTrack& track);
