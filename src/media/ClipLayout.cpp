#include "media/ClipLayout.h"

#include "media/AvOpen.h"
#include "media/ClipEncode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace
{

struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// The pictures of one recording over a stretch, in order: from the key
// frame before the stretch decoded, the frames before its start skipped.
class StretchReader
{
public:
    std::string error;

    bool open(const ClipStretch& stretch)
    {
        m_opened = media::openLocalFile(stretch.path, std::chrono::milliseconds(0));
        AVFormatContext* in = m_opened.context.get();
        if (!in || avformat_find_stream_info(in, nullptr) < 0)
            return fail(stretch.path + ": cannot be opened");
        const AVCodec* decoder = nullptr;
        m_video = av_find_best_stream(in, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
        if (m_video < 0 || !decoder)
            return fail(stretch.path + ": no video stream");
        m_stream = in->streams[m_video];
        m_dec.reset(avcodec_alloc_context3(decoder));
        if (!m_dec || avcodec_parameters_to_context(m_dec.get(), m_stream->codecpar) < 0)
            return fail(stretch.path + ": cannot be decoded");
        m_dec->thread_count = 2;
        if (avcodec_open2(m_dec.get(), decoder, nullptr) < 0)
            return fail(stretch.path + ": cannot be decoded");
        m_rate = av_guess_frame_rate(in, m_stream, nullptr);
        if (m_rate.num <= 0 || m_rate.den <= 0)
            m_rate = {30, 1};
        m_start = m_stream->start_time != AV_NOPTS_VALUE ? m_stream->start_time : 0;
        m_fromTs = m_start +
                   av_rescale_q(std::llround(stretch.fromSeconds * 1e6), {1, 1000000}, m_stream->time_base);
        m_toTs =
            m_start + av_rescale_q(std::llround(stretch.toSeconds * 1e6), {1, 1000000}, m_stream->time_base);
        m_path = stretch.path;
        if (stretch.fromSeconds > 0 && av_seek_frame(in, m_video, m_fromTs, AVSEEK_FLAG_BACKWARD) < 0)
            return fail(stretch.path + ": cannot seek to the clip's start");
        m_packet.reset(av_packet_alloc());
        return m_packet != nullptr;
    }

    AVCodecID codec() const { return m_stream ? m_stream->codecpar->codec_id : AV_CODEC_ID_NONE; }
    int width() const { return m_dec ? m_dec->width : 0; }
    int height() const { return m_dec ? m_dec->height : 0; }
    AVRational rate() const { return m_rate; }
    const std::string& path() const { return m_path; }
    double lastEnd() const { return m_lastEnd; }

    // The next picture of the stretch, with its time in seconds into the
    // recording; null at the stretch's end (`error` set when the data is damaged).
    FramePtr next(double& seconds)
    {
        for (;;) {
            FramePtr frame(av_frame_alloc());
            if (!frame)
                return nullptr;
            const int rc = avcodec_receive_frame(m_dec.get(), frame.get());
            if (rc >= 0) {
                const int64_t pts = frame->best_effort_timestamp;
                if (pts < m_fromTs)
                    continue;
                if (pts >= m_toTs) {
                    m_done = true;
                    return nullptr;
                }
                seconds = static_cast<double>(pts - m_start) * av_q2d(m_stream->time_base);
                m_lastEnd = seconds + av_q2d(av_inv_q(m_rate));
                return frame;
            }
            if (rc == AVERROR_EOF || m_done)
                return nullptr;
            if (rc != AVERROR(EAGAIN)) {
                error = m_path + ": damaged picture data";
                return nullptr;
            }
            const int got = av_read_frame(m_opened.context.get(), m_packet.get());
            if (got == AVERROR_EOF) {
                avcodec_send_packet(m_dec.get(), nullptr);
                continue;
            }
            if (got < 0) {
                error = m_path + ": damaged";
                return nullptr;
            }
            if (m_packet->stream_index == m_video) {
                const bool corrupt = m_packet->flags & AV_PKT_FLAG_CORRUPT;
                const int sent = avcodec_send_packet(m_dec.get(), m_packet.get());
                if (sent < 0 && !corrupt) {
                    av_packet_unref(m_packet.get());
                    error = m_path + ": damaged picture data";
                    return nullptr;
                }
            }
            av_packet_unref(m_packet.get());
        }
    }

private:
    bool fail(const std::string& why)
    {
        error = why;
        return false;
    }
    media::OpenedFormat m_opened;
    std::unique_ptr<AVCodecContext, CodecFree> m_dec;
    std::unique_ptr<AVPacket, PacketFree> m_packet;
    AVStream* m_stream = nullptr;
    int m_video = -1;
    AVRational m_rate{30, 1};
    int64_t m_start = 0, m_fromTs = 0, m_toTs = 0;
    bool m_done = false;
    double m_lastEnd = 0;
    std::string m_path;
};

// Scales a picture into a rectangle of a 4:2:0 frame (x, y and the size even).
class Placer
{
public:
    bool place(const AVFrame& from, AVFrame& to, int x, int y, int w, int h)
    {
        m_scale.reset(sws_getCachedContext(m_scale.release(), from.width, from.height,
                                           static_cast<AVPixelFormat>(from.format), w, h, AV_PIX_FMT_YUV420P,
                                           SWS_BILINEAR, nullptr, nullptr, nullptr));
        if (!m_scale)
            return false;
        uint8_t* planes[4] = {to.data[0] + static_cast<std::ptrdiff_t>(y) * to.linesize[0] + x,
                              to.data[1] + static_cast<std::ptrdiff_t>(y / 2) * to.linesize[1] + x / 2,
                              to.data[2] + static_cast<std::ptrdiff_t>(y / 2) * to.linesize[2] + x / 2,
                              nullptr};
        return sws_scale(m_scale.get(), from.data, from.linesize, 0, from.height, planes, to.linesize) == h;
    }

private:
    std::unique_ptr<SwsContext, ScaleFree> m_scale;
};

void fillBlack(AVFrame& to, int x, int y, int w, int h)
{
    for (int r = 0; r < h; ++r)
        std::memset(to.data[0] + static_cast<std::ptrdiff_t>(y + r) * to.linesize[0] + x, 16,
                    static_cast<std::size_t>(w));
    for (int p = 1; p <= 2; ++p)
        for (int r = 0; r < h / 2; ++r)
            std::memset(to.data[p] + static_cast<std::ptrdiff_t>(y / 2 + r) * to.linesize[p] + x / 2, 128,
                        static_cast<std::size_t>(w / 2));
}

int even(double v)
{
    return std::max(2, static_cast<int>(std::lround(v / 2)) * 2);
}

} // namespace

void pmClipPictureSize(const std::string& path, int& w, int& h)
{
    w = h = 0;
    media::OpenedFormat opened = media::openLocalFile(path, std::chrono::milliseconds(0));
    if (!opened.context || avformat_find_stream_info(opened.context.get(), nullptr) < 0)
        return;
    const int v = av_find_best_stream(opened.context.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (v < 0)
        return;
    w = opened.context->streams[v]->codecpar->width;
    h = opened.context->streams[v]->codecpar->height;
}

bool pmParseClipLayout(const std::string& word, ClipLayout& out)
{
    for (ClipLayout l : {ClipLayout::Separate, ClipLayout::SideBySide, ClipLayout::PictureInPicture,
                         ClipLayout::FrontOnly, ClipLayout::RearOnly})
        if (word == pmClipLayoutWord(l)) {
            out = l;
            return true;
        }
    return false;
}

const char* pmClipLayoutWord(ClipLayout layout)
{
    switch (layout) {
    case ClipLayout::Separate:
        return "separate";
    case ClipLayout::SideBySide:
        return "side-by-side";
    case ClipLayout::PictureInPicture:
        return "pip";
    case ClipLayout::FrontOnly:
        return "front";
    case ClipLayout::RearOnly:
        return "rear";
    }
    return "separate";
}

ClipLayoutResult pmRenderLayoutClip(const std::vector<LayoutStretch>& stretches, const ClipLayoutSpec& wanted,
                                    const std::string& outputPath,
                                    const std::function<void(double)>& progress,
                                    const std::atomic<bool>* cancel, const LayoutCaption* caption)
{
    ClipLayoutResult result;
    ClipVideoWriter writer;
    auto fail = [&](const std::string& why) {
        writer.discard();
        result.ok = false;
        if (!result.canceled)
            result.error = why;
        return result;
    };
    double total = 0;
    for (const LayoutStretch& s : stretches)
        total += std::max(0.0, s.main.toSeconds - s.main.fromSeconds);
    if (!(total > 0))
        return fail("the clip is empty");
    const bool pair =
        wanted.layout == ClipLayout::SideBySide || wanted.layout == ClipLayout::PictureInPicture;

    std::unique_ptr<CaptionStage> captions;
    FramePtr captioned;
    if (caption && caption->text) {
        captions = std::make_unique<CaptionStage>();
        captioned.reset(av_frame_alloc());
        if (!captions->error().empty())
            return fail(captions->error());
        if (!captioned)
            return fail("out of memory");
    }
    double doneBefore = 0, lastShare = -1;
    // The picture's plan, fixed by the first stretch: the main picture, and
    // the rear panel's place and size.
    int mainW = 0, mainH = 0, outW = 0, outH = 0, panelX = 0, panelY = 0, panelW = 0, panelH = 0;
    Placer mainPlacer, panelPlacer;

    for (const LayoutStretch& stretch : stretches) {
        StretchReader main;
        if (!main.open(stretch.main))
            return fail(main.error);
        StretchReader rear;
        bool rearOpen = false;
        if (pair && !stretch.partner.empty()) {
            ClipStretch r = stretch.main;
            r.path = stretch.partner;
            rearOpen = rear.open(r);
        }
        if (!writer.created()) {
            mainW = main.width() & ~1;
            mainH = main.height() & ~1;
            if (mainW < 2 || mainH < 2)
                return fail(stretch.main.path + ": no picture size");
            int rw = rearOpen ? rear.width() : 0, rh = rearOpen ? rear.height() : 0;
            if (pair && (rw <= 0 || rh <= 0))
                for (const LayoutStretch& other : stretches)
                    if (!other.partner.empty() && rw <= 0) {
                        pmClipPictureSize(other.partner, rw, rh);
                        if (rw <= 0 || rh <= 0)
                            rw = rh = 0;
                    }
            if (rw <= 0 || rh <= 0) {
                rw = mainW; // no rear anywhere: a panel the front's shape
                rh = mainH;
            }
            outW = mainW;
            outH = mainH;
            if (wanted.layout == ClipLayout::SideBySide) {
                panelH = mainH;
                panelW = even(static_cast<double>(rw) * mainH / rh);
                panelX = mainW;
                panelY = 0;
                outW = mainW + panelW;
            } else if (wanted.layout == ClipLayout::PictureInPicture) {
                panelW = std::min(mainW, even(mainW * std::clamp(wanted.insetShare, 0.1, 0.5)));
                panelH = std::min(mainH, even(static_cast<double>(panelW) * rh / rw));
                const int margin = even(std::min(mainW, mainH) / 40.0);
                const bool right = wanted.corner == 1 || wanted.corner == 3;
                const bool bottom = wanted.corner == 2 || wanted.corner == 3;
                panelX = std::max(0, right ? mainW - panelW - margin : margin) & ~1;
                panelY = std::max(0, bottom ? mainH - panelH - margin : margin) & ~1;
            }

            const bool hevc = main.codec() == AV_CODEC_ID_HEVC;
            result.encoder = hevc ? "H.265" : "H.264";
            std::string why = writer.create(outputPath, outW, outH, main.rate(), hevc, wanted.crf);
            if (why.empty())
                why = writer.begin();
            if (!why.empty())
                return fail(why);
        }

        // The rear frame shown with a front frame is the latest that began
        // by the front frame's time (half a frame's grace for rounding), as
        // long as the rear recording has not ended there.
        FramePtr held, pending;
        double heldAt = 0, pendingAt = 0;
        bool rearEnded = !rearOpen;
        const double half = 0.5 * av_q2d(av_inv_q(main.rate()));
        double seconds = 0;
        for (;;) {
            if (cancel && cancel->load()) {
                result.canceled = true;
                return fail("canceled");
            }
            FramePtr frame = main.next(seconds);
            if (!frame) {
                if (!main.error.empty())
                    return fail(main.error);
                break;
            }
            FramePtr composed(av_frame_alloc());
            if (!composed)
                return fail("out of memory");
            composed->width = outW;
            composed->height = outH;
            composed->format = AV_PIX_FMT_YUV420P;
            if (av_frame_get_buffer(composed.get(), 0) < 0)
                return fail("out of memory");
            // The marked areas are hidden in the camera's own picture, before any scaling.
            if (!wanted.blur.empty()) {
                if (av_frame_make_writable(frame.get()) < 0)
                    return fail("out of memory");
                const double clipAt = doneBefore + (seconds - stretch.main.fromSeconds);
                const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
                const bool planar = d && (d->flags & AV_PIX_FMT_FLAG_PLANAR) && d->nb_components >= 3 &&
                                    !(d->flags & AV_PIX_FMT_FLAG_RGB) && d->comp[0].depth == 8;
                if (!planar)
                    return fail(stretch.main.path + ": its picture format cannot be blurred");
                for (const BlurArea& area : wanted.blur) {
                    const std::optional<BlurRect> r = pmBlurRectAt(area, clipAt);
                    if (!r)
                        continue;
                    const int block = pmBlurBlock(*r);
                    pmPixelate(frame->data[0], frame->linesize[0], frame->width, frame->height, *r, block);
                    const int sx = d->log2_chroma_w, sy = d->log2_chroma_h;
                    const BlurRect c{r->x >> sx, r->y >> sy,
                                     (r->x + r->w + (1 << sx) - 1) / (1 << sx) - (r->x >> sx),
                                     (r->y + r->h + (1 << sy) - 1) / (1 << sy) - (r->y >> sy)};
                    for (int p = 1; p <= 2; ++p)
                        pmPixelate(frame->data[p], frame->linesize[p], AV_CEIL_RSHIFT(frame->width, sx),
                                   AV_CEIL_RSHIFT(frame->height, sy), c, std::max(1, block >> sx));
                }
            }
            if (!mainPlacer.place(*frame, *composed, 0, 0, mainW, mainH))
                return fail(stretch.main.path + ": its picture cannot be scaled");
            bool rearShown = false;
            if (pair) {
                while (!rearEnded) {
                    if (!pending) {
                        pending = rear.next(pendingAt);
                        if (!pending) {
                            rearEnded = true;
                            break;
                        }
                    }
                    if (pendingAt > seconds + half)
                        break;
                    held = std::move(pending);
                    heldAt = pendingAt;
                }
                rearShown = held && seconds < rear.lastEnd() - 1e-3 && heldAt <= seconds + half;
                if (rearShown) {
                    if (!panelPlacer.place(*held, *composed, panelX, panelY, panelW, panelH))
                        return fail(stretch.partner + ": its picture cannot be scaled");
                } else {
                    fillBlack(*composed, panelX, panelY, panelW, panelH);
                    result.rearMissingSeconds += 2 * half;
                }
            }
            AVFrame* picture = composed.get();
            if (captions) {
                // Each picture's caption is its own recording's clock: the
                // front's frame time, and beside it the rear's.
                std::vector<CaptionPlace> places(1);
                const std::size_t k = static_cast<std::size_t>(&stretch - stretches.data());
                places[0].text = caption->text(k, false, seconds);
                places[0].widest = caption->widest;
                places[0].width = mainW;
                places[0].height = mainH;
                // Clear of an inset in the bottom left corner.
                places[0].right = wanted.layout == ClipLayout::PictureInPicture && wanted.corner == 2;
                if (wanted.layout == ClipLayout::SideBySide && rearShown) {
                    CaptionPlace rearPlace;
                    rearPlace.text = caption->text(k, true, heldAt);
                    rearPlace.widest = caption->widest;
                    rearPlace.x = panelX;
                    rearPlace.y = panelY;
                    rearPlace.width = panelW;
                    rearPlace.height = panelH;
                    places.push_back(rearPlace);
                }
                if (!captions->draw(picture, places, captioned.get()))
                    return fail(captions->error());
                picture = captioned.get();
            }
            const std::string why = writer.send(picture);
            if (captioned)
                av_frame_unref(captioned.get());
            if (!why.empty())
                return fail(why);
            if (progress) {
                const double share = std::min(1.0, (doneBefore + seconds - stretch.main.fromSeconds) / total);
                if (share - lastShare >= 0.01) {
                    lastShare = share;
                    progress(share);
                }
            }
        }
        // A main recording that ends well before its stretch does is cut short.
        if (main.lastEnd() + 0.25 < stretch.main.toSeconds)
            return fail(stretch.main.path + ": ends before the recording's stated length (cut short?)");
        doneBefore += stretch.main.toSeconds - stretch.main.fromSeconds;
    }
    const std::string why = writer.finish();
    if (!why.empty())
        return fail(why);
    result.durationSeconds = writer.seconds();
    result.ok = true;
    if (progress)
        progress(1.0);
    return result;
}
