#pragma once
// Duration of a media file without decoding: the value the track loader aligns
// and pads the track to, and the time slider's range. The container header
// (pmGetContainerDurationSeconds: the MOV/MP4 movie header, the AVI stream
// and main headers) answers for the camera's recordings; FFmpeg (libavformat)
// is asked only when the header states no duration. Probing is capped in bytes
// and time, and limited to local files, so a hostile file cannot hang it or
// send it elsewhere.
#include <string>

// Seconds, or 0 when the file does not exist, cannot be opened or states no
// usable duration.
double pmGetMediaDurationSeconds(const std::string& path);
