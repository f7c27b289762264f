#pragma once
// Tracks embedded in AVI recordings: a position chunk "SLLT" (28-byte records,
// one per second) and a G-sensor chunk "SGLT" (20-byte records), appended as
// top-level RIFF chunks after the index. The readers skip the media chunks by
// their sizes and read only the wanted chunk's records, in bounded blocks; a
// declared payload length never decides an allocation, and no chunk yields more
// records than GpsList::kMaxVideoSeconds. Only regular files are opened, never
// blocking.
#include <cstdint>
#include <functional>
#include <string>

class GpsList;

// Reads "SLLT" into the track (placeholders first, so that the records line up
// with the end of a video of `videoSeconds` seconds), then the G-sensor chunk
// with pmGetAviSensorDataAligned. True when that reader succeeded or when at
// least one position record was read (a track with positions is a loaded
// track, G-sensor chunk or not).
bool pmGetAviGpsData(const std::string& path, GpsList& list, int videoSeconds);
// The same, asking for the video length only when the walk has not already
// ended in NO: finding a length can cost far more than the walk.
bool pmGetAviGpsData(const std::string& path, GpsList& list, const std::function<int()>& videoSeconds);
// Puts the "SGLT" records onto the samples of the track, aligned to the end of
// the video; appends samples where the track is too short.
bool pmGetAviSensorDataAligned(const std::string& path, GpsList& list, int videoSeconds);
// Appends one sample per "SGLT" record (the fallback when there is no position chunk).
bool pmGetAviSensorData(const std::string& path, GpsList& list);

// Record decoders, exposed for tests and tools.
// Longitude and latitude of a 28-byte "SLLT" record, and its speed in km/h.
// A latitude outside [-90, 90] or a longitude outside [-180, 180] gives (0, 0),
// no fix.
void pmDecodeAviGpsRecord(const unsigned char* record, float& latitude, float& longitude, float& speed);
// One axis of a "SGLT" record: sign-and-whole byte plus a signed 32-bit
// big-endian fraction in units of 1e-5 g.
float pmDecodeAviGAxis(const unsigned char* fiveBytes);
