#pragma once
// Duration of a media file read from its container with FFmpeg (libavformat),
// without decoding: the value the track loader aligns and pads the track to.
// Probing is capped in bytes and time, so a hostile file cannot hang it.
//
// libavformat is loaded on first use (dlopen), not at program start: a
// command-line run that never needs a duration does not pay for loading the
// codec libraries.
#include <string>

// Seconds, or 0 when the file does not exist, cannot be opened or states no
// usable duration.
double pmGetMediaDurationSeconds(const std::string& path);
