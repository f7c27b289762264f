#pragma once
// Duration of a media file read from its container with FFmpeg (libavformat),
// without decoding: the value the track loader aligns and pads the track to.
// Probing is capped in bytes and time, so a hostile file cannot hang it.
#include <string>

// Seconds, or 0 when the file cannot be opened or states no usable duration.
double pmGetMediaDurationSeconds(const std::string& path);
