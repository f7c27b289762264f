#pragma once
// Header probes that decide whether a file on the card is a recording we can
// play, before it enters the library. They read a handful of small header
// blocks with plain file reads (never the media data, never a decoder), bound
// every read by the file's real length and trust no length field: a corrupt or
// hostile file is simply "not ready".
#include <string>

// True when the AVI's first stream handler (at byte 112, where the camera's
// fixed layout puts it) is "H264", the first letter in either case.
bool pmIsAviCodecReady(const std::string& path);

// True when the QuickTime/MP4 file starts with "ftyp", the first track's first
// sample entry is "avc1", and the movie is not too short (below about 0.2 s at
// a 1000-unit time scale). The too-short case writes one log line.
bool pmIsMovCodecReady(const std::string& path);
