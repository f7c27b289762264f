#pragma once
// The recording's duration for rovixtool: the container header answers for
// the camera's recordings; only a file whose header states none is handed to
// rovixprobe (src/tool/ProbeMain.cpp, next to rovixtool), which asks FFmpeg
// through rovixmedia as the application does. Linking FFmpeg into the tool
// itself would make every run load some hundred codec libraries (tens of
// milliseconds against a few for a whole track), and a damaged file that
// upsets FFmpeg ends the helper, not the command.
#include <string>

// Seconds, or 0 when the file is missing, not a regular file, or neither its
// header nor the probe states a usable duration.
double toolMediaDurationSeconds(const std::string& path);
