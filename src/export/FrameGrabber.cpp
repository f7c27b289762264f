#include "export/FrameGrabber.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

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

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

QString avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

FrameGrab failure(const QString& reason)
{
    FrameGrab g;
    g.error = reason;
    return g;
}

QImage toImage(const AVFrame* frame)
{
    const int w = frame->width;
    const int h = frame->height;
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384)
        return QImage();
        // BGRA in memory is Qt's 0xAARRGGBB on a little-endian machine.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    const AVPixelFormat dstFormat = AV_PIX_FMT_BGRA;
#else
    const AVPixelFormat dstFormat = AV_PIX_FMT_ARGB;
#endif
    SwsContext* sws = sws_getContext(w, h, static_cast<AVPixelFormat>(frame->format), w, h, dstFormat,
                                     SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!sws)
        return QImage();
    // The stream's own colour matrix and range (BT.709 for HD, BT.601 otherwise).
    const int space = frame->colorspace != AVCOL_SPC_UNSPECIFIED ? frame->colorspace
                                                                 : (h >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601);
    const int fullRange = frame->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
    const int* coefficients = sws_getCoefficients(space);
    sws_setColorspaceDetails(sws, coefficients, fullRange, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16,
                             1 << 16);
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull()) {
        sws_freeContext(sws);
        return QImage();
    }
    uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
    int dstStride[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    const int rows = sws_scale(sws, frame->data, frame->linesize, 0, h, dst, dstStride);
    sws_freeContext(sws);
    return rows == h ? image : QImage();
}
} // namespace

FrameGrab pmGrabFrame(const QByteArray& nativePath, double seconds)
{
    struct stat st {
    };
    if (nativePath.isEmpty() || ::stat(nativePath.constData(), &st) != 0)
        return failure(QStringLiteral("the file does not exist"));
    if (!S_ISREG(st.st_mode))
        return failure(QStringLiteral("not a regular file"));
    if (!std::isfinite(seconds) || seconds < 0)
        seconds = 0;

    AVFormatContext* raw = nullptr;
    AVDictionary* options = nullptr;
    // Bounded probing: a hostile file cannot make the opening read without end.
    av_dict_set(&options, "probesize", "5000000", 0);
    av_dict_set(&options, "analyzeduration", "5000000", 0);
    int rc = avformat_open_input(&raw, nativePath.constData(), nullptr, &options);
    av_dict_free(&options);
    if (rc < 0)
        return failure(QStringLiteral("cannot open: %1").arg(avError(rc)));
    std::unique_ptr<AVFormatContext, FormatCloser> format(raw);
    if ((rc = avformat_find_stream_info(format.get(), nullptr)) < 0)
        return failure(QStringLiteral("no stream information: %1").arg(avError(rc)));

    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (index < 0 || !codec)
        return failure(QStringLiteral("no video stream"));
    AVStream* stream = format->streams[index];

    std::unique_ptr<AVCodecContext, CodecCloser> decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0)
        return failure(QStringLiteral("no decoder"));
    decoder->thread_count = 0; // as many as the machine has
    if ((rc = avcodec_open2(decoder.get(), codec, nullptr)) < 0)
        return failure(QStringLiteral("cannot open the decoder: %1").arg(avError(rc)));

    const AVRational tb = stream->time_base;
    if (tb.num <= 0 || tb.den <= 0)
        return failure(QStringLiteral("no time base"));
    const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    const double startSeconds = start * av_q2d(tb);
    // The seek goes to the key frame at or before this point; it must not
    // round up into the next frame's start.
    const int64_t target = start + static_cast<int64_t>(std::floor(seconds / av_q2d(tb) + 1e-6));

    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVFrame, FrameFree> kept(av_frame_alloc());
    if (!packet || !frame || !kept)
        return failure(QStringLiteral("out of memory"));
    bool haveKept = false;
    double keptTime = -1;
    bool done = false;
    QString decodeError;

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
        return failure(QStringLiteral("no frame at %1 s").arg(seconds, 0, 'f', 3));
    if (!haveKept)
        return failure(decodeError.isEmpty() ? QStringLiteral("no frame could be decoded at that time")
                                             : QStringLiteral("decoding failed: %1").arg(decodeError));
    // The file ended (cut short, or damaged from some point on) well before
    // the time: the last frame that decoded is another moment, not this one.
    if (!done && keptTime < seconds - kEndSlack)
        return failure(QStringLiteral("the recording has no frame at %1 s (last frame at %2 s)")
                           .arg(seconds, 0, 'f', 3)
                           .arg(keptTime, 0, 'f', 3));
    FrameGrab grab;
    grab.image = toImage(kept.get());
    grab.time = keptTime;
    if (grab.image.isNull())
        grab.error = QStringLiteral("the frame could not be converted");
    return grab;
}
