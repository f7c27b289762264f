#pragma once
// Sound that an MP4 cannot hold as it is (the PCM of AVI recordings), encoded
// to AAC with FFmpeg's own encoder while the pictures are copied: decoded,
// converted to the encoder's sample format, rate and channels, and cut into
// the encoder's frames. Each packet is placed at the output time the caller
// gives; where the sound runs ahead or behind by more than 20 ms, silence is
// added or the excess dropped, so sound and picture stay in step across
// joins. Internal to rovixmedia.
extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <memory>
#include <string>

class ClipAacEncoder
{
public:
    ClipAacEncoder();
    ~ClipAacEncoder();
    ClipAacEncoder(const ClipAacEncoder&) = delete;
    ClipAacEncoder& operator=(const ClipAacEncoder&) = delete;

    // Whether `format` carries sound of this codec as it is.
    static bool fits(const AVOutputFormat* format, AVCodecID codec);

    // Adds the sound stream to `out`, before its header is written, for sound
    // like `source`. "" or why not.
    std::string open(const AVCodecParameters* source, AVFormatContext* out);
    int streamIndex() const;
    // The packets that follow come from a stream with these parameters.
    std::string beginSource(const AVCodecParameters* source);
    // A packet of that stream, to be heard from `atUs` of the output on.
    std::string add(const AVPacket* packet, int64_t atUs);
    // Encodes what is left; the stream is complete after it.
    std::string finish();
    // The last failure was the output's (a full disk), not the source's.
    bool writeFailed() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
