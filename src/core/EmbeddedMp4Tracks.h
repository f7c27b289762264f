#pragma once
// Embedded tracks that live in the movie's own structure rather than in a
// camera's private block: NMEA text in a timed text track, GPMF telemetry in
// a "gpmd" metadata track, and the 20-byte position records of a "uuid" box
// in the movie header. Each layout has a pure decoder over the bytes of one
// sample (or box) and a reader for the dispatch in EmbeddedTrack.
#include "core/EmbeddedTrack.h"

#include <cstddef>
#include <cstdint>

// --- NMEA in a timed text track ("tx3g" or "text" entries of a text track).
// One sample: a 16-bit big-endian text length, then the text. A length that
// runs past the sample takes what the sample holds; a sample that starts
// with "$" has no length and is all text. Every RMC/GGA sentence in it is
// added at `time` (checksums checked as in the companion logs). True when a
// sentence was read.
bool pmDecodeNmeaTextSample(const unsigned char* data, std::size_t size, double time, EmbeddedTrack& track);
bool pmReadNmeaTextTrack(EmbeddedInput& input, EmbeddedTrack& track);

// --- GPMF telemetry ("gpmd" entries of a "meta" track).
// One sample: key-length-value items (a four-character key, a type byte, a
// structure size byte and a 16-bit big-endian repeat count, then the data
// padded to 4 bytes), nested in "DEVC" device and "STRM" stream containers.
// A stream's GPS5 (or GPS9) entries are scaled by its SCAL, void without a
// fix (GPSF 0, GPS9's own fix field 0), timed by GPSU, and spread evenly over
// the sample's [time, time + duration). ACCL (m/s^2, axes per ORIN) gives G
// readings (the reader adds the course from motion). A payload that does
// not start with a "DEVC" container is not
// GPMF and gives nothing. True when the payload was GPMF.
bool pmDecodeGpmfSample(const unsigned char* data, std::size_t size, double time, double duration,
                        EmbeddedTrack& track);
bool pmReadGpmfTrack(EmbeddedInput& input, EmbeddedTrack& track);

// Layouts that give no course (GPMF, the uuid records) get the course over
// ground from their own motion: for each valid fix from `first` on without
// one, the bearing to the next valid fix 0.9 to 5 seconds later, when the two
// lie at least 3 m apart (closer, the bearing is only the receiver's noise).
void pmCourseFromMotion(EmbeddedTrack& track, std::size_t first);

// --- Position records in the movie header's uuid box of this identity.
constexpr unsigned char kGarminGpsUuid[16] = {0x9b, 0x63, 0x0f, 0x8d, 0x63, 0x74, 0x40, 0xec,
                                              0x82, 0x04, 0xbc, 0x5f, 0xf5, 0x09, 0x17, 0x28};
// The box's contents after the 16-byte identity: a 17-byte header, then
// 20-byte big-endian records: seconds since 1904 (UTC), speed in mph, 6 bytes
// not used, latitude and longitude as signed 32-bit fractions of 180 degrees.
// Times count from the first record: a record earlier than that, or a day or
// more later, is left out; a position of exactly 0,0 is a void fix. True when
// a record was read.
bool pmDecodeGarminRecords(const unsigned char* data, std::size_t size, EmbeddedTrack& track);
bool pmReadGarminTrack(EmbeddedInput& input, EmbeddedTrack& track);
