#include "media/FrameGrabber.h"

#include "media/AvOpen.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <new>
#include <sys/stat.h>

namespace
{
// Packets read past the seek point before giving up: far more than the
// longest group of pictures a camera writes (a few seconds at 60 fps), far
// fewer than a hostile index could ask for.
constexpr int kMaxPackets = 4000;
// A frame counts as "at" the time when its start lies within this of it, so
// a time read back from a player as a double lands on its own frame.
constexpr double kTimeSlack = 1e-4;
// How far before the time the last frame of a file may start and still be
// the one shown there (a player at the end rests on the last frame).
constexpr double kEndSlack = 0.5;

struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

std::string avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof text);
    return text;
}

// Seconds with three decimals, whatever the process's locale.
std::string fixed3(double seconds)
{
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 3);
    return std::string(text, r.ec == std::errc() ? r.ptr : text);
}

MediaFrame failure(const std::string& reason)
{
    MediaFrame g;
    g.error = reason;
    return g;
}

// The frame's pixels as native-endian 0xAARRGGBB words (AV_PIX_FMT_RGB32);
// false when it has no usable size or cannot be converted.
bool toPixels(const AVFrame* frame, MediaFrame& out)
{
    const int w = frame->width;
    const int h = frame->height;
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384)
        return false;
    SwsContext* sws = sws_getContext(w, h, static_cast<AVPixelFormat>(frame->format), w, h, AV_PIX_FMT_RGB32,
                                     SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!sws)
        return false;
    // The stream's own colour matrix and range (BT.709 for HD, BT.601 otherwise).
    const int space = frame->colorspace != AVCOL_SPC_UNSPECIFIED ? frame->colorspace
                                                                 : (h >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601);
    const int fullRange = frame->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
    const int* coefficients = sws_getCoefficients(space);
    sws_setColorspaceDetails(sws, coefficients, fullRange, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16,
                             1 << 16);
    std::vector<std::uint32_t> pixels;
    try {
        pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    } catch (const std::bad_alloc&) {
        sws_freeContext(sws);
        return false;
    }
    uint8_t* dst[4] = {reinterpret_cast<uint8_t*>(pixels.data()), nullptr, nullptr, nullptr};
    int dstStride[4] = {w * 4, 0, 0, 0};
    const int rows = sws_scale(sws, frame->data, frame->linesize, 0, h, dst, dstStride);
    sws_freeContext(sws);
    if (rows != h)
        return false;
    out.width = w;
    out.height = h;
    out.pixels = std::move(pixels);
    return true;
}
} // namespace

MediaFrame pmGrabMediaFrame(const std::string& nativePath, double seconds)
{
    struct stat st {
    };
    if (nativePath.empty() || ::stat(nativePath.c_str(), &st) != 0)
        return failure("the file does not exist");
    if (!S_ISREG(st.st_mode))
        return failure("not a regular file");
    if (!std::isfinite(seconds) || seconds < 0)
        seconds = 0;

    // Bounded probing: a hostile file cannot make the opening read without end.
    media::OpenedFormat opened = media::openLocalFile(nativePath, std::chrono::milliseconds(0));
    if (!opened.context)
        return failure("cannot open: " + avError(opened.error));
    const std::unique_ptr<AVFormatContext, media::FormatCloser>& format = opened.context;
    int rc = 0;
    if ((rc = avformat_find_stream_info(format.get(), nullptr)) < 0)
        return failure("no stream information: " + avError(rc));

    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (index < 0 || !codec)
        return failure("no video stream");
    AVStream* stream = format->streams[index];

    std::unique_ptr<AVCodecContext, CodecCloser> decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0)
        return failure("no decoder");
    decoder->thread_count = 0; // as many as the machine has
    if ((rc = avcodec_open2(decoder.get(), codec, nullptr)) < 0)
        return failure("cannot open the decoder: " + avError(rc));

    const AVRational tb = stream->time_base;
    if (tb.num <= 0 || tb.den <= 0)
        return failure("no time base");
    const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    const double startSeconds = start * av_q2d(tb);
    // The seek goes to the key frame at or before this point; it must not
    // round up into the next frame's start.
    const int64_t target = start + static_cast<int64_t>(std::floor(seconds / av_q2d(tb) + 1e-6));

    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVFrame, FrameFree> kept(av_frame_alloc());
    if (!packet || !frame || !kept)
        return failure("out of memory");
    bool haveKept = false;
    double keptTime = -1;
    bool done = false;
    std::string decodeError;

    // Takes every frame the decoder has ready; true once a frame lies past the time.
    auto drain = [&]() -> bool {
        for (;;) {
            const int r = avcodec_receive_frame(decoder.get(), frame.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return false;
            if (r < 0) {
                decodeError = avError(r);
                return false;
            }
            const int64_t pts = frame->best_effort_timestamp;
            const double t = pts == AV_NOPTS_VALUE ? keptTime : pts * av_q2d(tb) - startSeconds;
            if (haveKept && t > seconds + kTimeSlack) {
                av_frame_unref(frame.get());
                return true;
            }
            // The first frame stands in for a time before it.
            av_frame_unref(kept.get());
            av_frame_move_ref(kept.get(), frame.get());
            haveKept = true;
            keptTime = t;
            if (t > seconds + kTimeSlack)
                return true;
        }
    };

    // An index that places a key frame later than it is can land the seek
    // after the time; then start again from further back, and at last from
    // the start of the file.
    int64_t seekTo = target;
    const int64_t second = std::max<int64_t>(1, static_cast<int64_t>(1.0 / av_q2d(tb)));
    for (int attempt = 0; attempt < 4; ++attempt) {
        const bool fromStart = attempt == 3 || seekTo <= start;
        if (fromStart)
            seekTo = start;
        if (av_seek_frame(format.get(), index, seekTo, AVSEEK_FLAG_BACKWARD) < 0)
            av_seek_frame(format.get(), index, start, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
        avcodec_flush_buffers(decoder.get());
        haveKept = false;
        keptTime = -1;
        done = false;
        decodeError.clear();
        int packets = 0;
        while (!done && packets < kMaxPackets) {
            rc = av_read_frame(format.get(), packet.get());
            if (rc < 0)
                break; // end of file or a read error: what was decoded so far counts
            if (packet->stream_index == index) {
                ++packets;
                // A packet the decoder refuses (damaged data) is skipped; later ones may decode.
                avcodec_send_packet(decoder.get(), packet.get());
                done = drain();
            }
            av_packet_unref(packet.get());
        }
        if (!done) {
            // The frames the decoder still holds (frame threads, reordering).
            avcodec_send_packet(decoder.get(), nullptr);
            drain();
        }
        const bool landedLate = haveKept && keptTime > seconds + kTimeSlack;
        if (!landedLate || fromStart)
            break;
        seekTo -= second << (2 * attempt);
    }
    if (haveKept && keptTime > seconds + kEndSlack && seconds > kEndSlack)
        return failure("no frame at " + fixed3(seconds) + " s");
    if (!haveKept)
        return failure(decodeError.empty() ? std::string("no frame could be decoded at that time")
                                           : "decoding failed: " + decodeError);
    // The file ended (cut short, or damaged from some point on) well before
    // the time: the last frame that decoded is another moment, not this one.
    if (!done && keptTime < seconds - kEndSlack)
        return failure("the recording has no frame at " + fixed3(seconds) + " s (last frame at " +
                       fixed3(keptTime) + " s)");
    MediaFrame grab;
    grab.time = keptTime;
    if (!toPixels(kept.get(), grab))
        grab.error = "the frame could not be converted";
    return grab;
}
