#pragma once
// Header probes that decide whether a file on the card is a recording we can
// play, before it enters the library. They read a handful of small header
// blocks with plain file reads (never the media data, never a decoder), bound
// every read by the file's real length and trust no length field: a corrupt or
// hostile file is simply "not ready".
#include <cstdint>
#include <string>

// The video codec of an admitted recording.
enum VideoCodec : uint8_t { kCodecUnknown = 0, kCodecH264 = 1, kCodecH265 = 2 };
// "h264", "h265", or "" for unknown.
const char* pmVideoCodecName(VideoCodec codec);

// True when the AVI's first stream handler (at byte 112, where the camera's
// fixed layout puts it) is "H264", the first letter in either case.
bool pmIsAviCodecReady(const std::string& path);

// True when the QuickTime/MP4 file starts with "ftyp", the first track's first
// sample entry is H.264 ("avc1") or H.265 ("hvc1" or "hev1"), and the movie is
// not too short (below about 0.2 s at a 1000-unit time scale). The too-short
// case writes one log line.
bool pmIsMovCodecReady(const std::string& path);

// The probe a library scan runs on each candidate, on one open of the file:
// pmIsAviCodecReady or pmIsMovCodecReady by the name's container kind, plus
// the modification time of the file it opened (the scan then needs no stat of
// its own). It writes nothing to the log, so scans on several threads can
// keep the log in scan order: a caller writes the too-short line with
// pmLogTooShortRecording. Safe to call from any thread.
struct RecordingProbe {
    bool ready = false;               // a recording we can play
    bool opened = false;              // a regular file that could be opened
    bool tooShort = false;            // refused for its movie's length (the one case that is logged)
    int64_t mtimeMsecs = 0;           // of the opened file, ms since the epoch
    VideoCodec codec = kCodecUnknown; // of a ready recording
};
// With `dirFd` (the open folder that holds the file) the file is opened by its
// last path component in that folder: a scan that holds the folder open spares
// the kernel the walk down the whole path.
RecordingProbe pmProbeRecording(const std::string& path, int dirFd = -1);
void pmLogTooShortRecording(const std::string& path);

// The codec of a recording the probe admits; kCodecUnknown for anything it
// refuses. The same header reads as the probe.
VideoCodec pmGetRecordingCodec(const std::string& path);

// The recording's duration in seconds as its container header states it, read
// with the same few small header reads as the probes: the movie header
// ("mvhd", version 0 or 1) of a MOV/MP4, or for an AVI the first video
// stream's length and rate, else the main header's frame count and period.
// 0 when the header states none (a fragmented movie, a zero or unknown
// length) or cannot be read; a caller that must know then asks a media
// framework.
double pmGetContainerDurationSeconds(const std::string& path);
