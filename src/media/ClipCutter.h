#pragma once
// Joins stretches of several recordings of one camera into one MP4 without
// re-encoding: the packets are copied as they are. The first stretch starts
// at the key frame at or before its start (a picture cannot begin elsewhere
// without decoding), each later stretch is appended with its timestamps moved
// to follow the previous one's end, so the output plays as one continuous
// stream. Video and the first audio stream are kept (sound an MP4 cannot hold
// is encoded to AAC); every stretch must carry the same video set-up as the
// first (pmClipVideoSetup).
//
// Nothing is trusted: a stretch whose file ends early (or whose index points
// past the file's end), reads more bytes than the file holds, or yields no
// packets fails the job. On failure or cancel
// the output file is removed; the sources are only ever read.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

struct ClipStretch {
    std::string path;
    double fromSeconds = 0; // into the recording
    double toSeconds = 0;   // into the recording, > fromSeconds
};

struct ClipCutResult {
    bool ok = false;
    bool canceled = false;
    std::string error;          // a sentence when !ok and !canceled
    double leadSeconds = 0;     // how far before the first stretch's start the key frame lies
    double durationSeconds = 0; // of the written video stream
    long long bytesRead = 0;    // packet bytes copied
    // The sound's codec ("pcm_s16le") when it was encoded to AAC because an
    // MP4 cannot hold it as it is; "" when copied (or there is none).
    std::string soundConvertedFrom;
    // The sound: empty when the recordings carry none; else what became of
    // it, in words for clip.txt ("AAC, copied", or why it was left out).
    std::string sound;
};

// What a decoder is told of a recording's video before its first picture
// (codec, size, pixel format, and the avcC/hvcC record or in-band parameter
// sets): stretches are joined into one video only where this is the same.
// "" when the video cannot be read.
std::string pmClipVideoSetup(const std::string& path);

// `progress` gets the share done (0..1) now and then; `cancel` is polled per
// packet. Runs on the calling thread.
ClipCutResult pmCutClip(const std::vector<ClipStretch>& stretches, const std::string& outputPath,
                        const std::function<void(double)>& progress = {},
                        const std::atomic<bool>* cancel = nullptr);
