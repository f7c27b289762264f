#include "media/ClipOverlay.h"

#include "media/AvOpen.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <cmath>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct GraphFree {
    void operator()(AVFilterGraph* g) const { avfilter_graph_free(&g); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct OutputFree {
    void operator()(AVFormatContext* c) const
    {
        if (!c)
            return;
        if (c->pb)
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};

std::string fontFile()
{
    for (const char* path : {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
                             "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf",
                             "/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf"}) {
        struct stat st {
        };
        if (::stat(path, &st) == 0)
            return path;
    }
    return {};
}

// A value inside a filter option string: the separators and quotes escaped.
std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == ':' || c == '\\' || c == '\'' || c == ',' || c == ';' || c == '[' || c == ']' || c == '=')
            out += '\\';
        if (static_cast<unsigned char>(c) >= 0x20)
            out += c;
    }
    return out;
}

} // namespace

ClipCutResult pmRenderOverlayClip(const std::vector<ClipStretch>& stretches,
                                  const std::function<std::string(int)>& caption,
                                  const std::string& outputPath, const std::function<void(double)>& progress,
                                  const std::atomic<bool>* cancel)
{
    ClipCutResult result;
    std::unique_ptr<AVFormatContext, OutputFree> out;
    std::unique_ptr<AVCodecContext, CodecFree> enc;
    bool created = false;
    auto fail = [&](const std::string& why) {
        enc.reset();
        out.reset();
        if (created)
            ::unlink(outputPath.c_str());
        result.ok = false;
        if (!result.canceled)
            result.error = why;
        return result;
    };
    const std::string font = fontFile();
    if (font.empty())
        return fail("no font for the caption");
    double total = 0;
    for (const ClipStretch& s : stretches)
        total += std::max(0.0, s.toSeconds - s.fromSeconds);
    if (!(total > 0))
        return fail("the clip is empty");

    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc()), filtered(av_frame_alloc());
    if (!packet || !frame || !filtered)
        return fail("out of memory");
    AVStream* os = nullptr;
    int64_t frameCount = 0;
    double doneBefore = 0;
    int shownSecond = -1;
    double lastShare = -1;

    auto writePackets = [&]() -> bool {
        for (;;) {
            const int rc = avcodec_receive_packet(enc.get(), packet.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
                return true;
            if (rc < 0)
                return false;
            av_packet_rescale_ts(packet.get(), enc->time_base, os->time_base);
            packet->stream_index = os->index;
            result.bytesRead += packet->size;
            if (av_interleaved_write_frame(out.get(), packet.get()) < 0)
                return false;
        }
    };

    for (const ClipStretch& stretch : stretches) {
        media::OpenedFormat opened = media::openLocalFile(stretch.path, std::chrono::milliseconds(0));
        if (!opened.context)
            return fail(stretch.path + ": cannot be opened");
        AVFormatContext* in = opened.context.get();
        if (avformat_find_stream_info(in, nullptr) < 0)
            return fail(stretch.path + ": no stream information");
        const AVCodec* decoder = nullptr;
        const int v = av_find_best_stream(in, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
        if (v < 0 || !decoder)
            return fail(stretch.path + ": no video stream");
        AVStream* vin = in->streams[v];
        std::unique_ptr<AVCodecContext, CodecFree> dec(avcodec_alloc_context3(decoder));
        if (!dec || avcodec_parameters_to_context(dec.get(), vin->codecpar) < 0 ||
            avcodec_open2(dec.get(), decoder, nullptr) < 0)
            return fail(stretch.path + ": cannot be decoded");
        AVRational rate = av_guess_frame_rate(in, vin, nullptr);
        if (rate.num <= 0 || rate.den <= 0)
            rate = {30, 1};

        if (!out) {
            AVFormatContext* raw = nullptr;
            if (avformat_alloc_output_context2(&raw, nullptr, "mp4", outputPath.c_str()) < 0 || !raw)
                return fail("cannot make an MP4 writer");
            out.reset(raw);
            const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
            if (!x264)
                return fail("no H.264 encoder");
            enc.reset(avcodec_alloc_context3(x264));
            enc->width = dec->width;
            enc->height = dec->height;
            enc->pix_fmt = AV_PIX_FMT_YUV420P;
            enc->time_base = av_inv_q(rate);
            enc->framerate = rate;
            enc->gop_size = static_cast<int>(std::lround(av_q2d(rate)));
            if (out->oformat->flags & AVFMT_GLOBALHEADER)
                enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            av_opt_set(enc->priv_data, "preset", "veryfast", 0);
            av_opt_set(enc->priv_data, "crf", "23", 0);
            if (avcodec_open2(enc.get(), x264, nullptr) < 0)
                return fail("the H.264 encoder cannot start");
            os = avformat_new_stream(out.get(), nullptr);
            if (!os || avcodec_parameters_from_context(os->codecpar, enc.get()) < 0)
                return fail("cannot set up the video stream");
            os->time_base = enc->time_base;
            if (avio_open(&out->pb, outputPath.c_str(), AVIO_FLAG_WRITE) < 0)
                return fail(outputPath + ": cannot be created");
            created = true;
            if (avformat_write_header(out.get(), nullptr) < 0)
                return fail(outputPath + ": cannot be written");
        } else if (dec->width != enc->width || dec->height != enc->height) {
            return fail(stretch.path + ": its picture size differs from the clip's first recording");
        }

        // buffer -> drawtext -> format -> buffersink
        std::unique_ptr<AVFilterGraph, GraphFree> graph(avfilter_graph_alloc());
        AVFilterContext *src = nullptr, *sink = nullptr, *text = nullptr, *format = nullptr;
        char args[512];
        std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                      dec->width, dec->height, dec->pix_fmt, vin->time_base.num, vin->time_base.den,
                      std::max(1, dec->sample_aspect_ratio.num), std::max(1, dec->sample_aspect_ratio.den));
        const std::string drawArgs = "fontfile=" + escaped(font) +
                                     ":fontsize=" + std::to_string(std::max(12, dec->height / 22)) +
                                     ":fontcolor=white:box=1:boxcolor=black@0.55:boxborderw=6:x=12:y=h-th-14"
                                     ":expansion=none:text=.";
        if (!graph ||
            avfilter_graph_create_filter(&src, avfilter_get_by_name("buffer"), "in", args, nullptr,
                                         graph.get()) < 0 ||
            avfilter_graph_create_filter(&text, avfilter_get_by_name("drawtext"), "caption", drawArgs.c_str(),
                                         nullptr, graph.get()) < 0 ||
            avfilter_graph_create_filter(&format, avfilter_get_by_name("format"), "fmt", "pix_fmts=yuv420p",
                                         nullptr, graph.get()) < 0 ||
            avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                         graph.get()) < 0 ||
            avfilter_link(src, 0, text, 0) < 0 || avfilter_link(text, 0, format, 0) < 0 ||
            avfilter_link(format, 0, sink, 0) < 0 || avfilter_graph_config(graph.get(), nullptr) < 0)
            return fail("the caption cannot be drawn (drawtext)");
        shownSecond = -1;

        const int64_t start = vin->start_time != AV_NOPTS_VALUE ? vin->start_time : 0;
        const int64_t fromTs =
            start + av_rescale_q(static_cast<int64_t>(std::llround(stretch.fromSeconds * 1e6)), {1, 1000000},
                                 vin->time_base);
        const int64_t toTs = start + av_rescale_q(static_cast<int64_t>(std::llround(stretch.toSeconds * 1e6)),
                                                  {1, 1000000}, vin->time_base);
        if (stretch.fromSeconds > 0 && av_seek_frame(in, v, fromTs, AVSEEK_FLAG_BACKWARD) < 0)
            return fail(stretch.path + ": cannot seek to the clip's start");

        bool done = false, draining = false;
        while (!done) {
            if (cancel && cancel->load()) {
                result.canceled = true;
                return fail("canceled");
            }
            if (!draining) {
                const int rc = av_read_frame(in, packet.get());
                if (rc == AVERROR_EOF) {
                    draining = true;
                    avcodec_send_packet(dec.get(), nullptr);
                } else if (rc < 0) {
                    return fail(stretch.path + ": damaged");
                } else {
                    const bool mine = packet->stream_index == v;
                    if (mine && avcodec_send_packet(dec.get(), packet.get()) < 0 &&
                        !(packet->flags & AV_PKT_FLAG_CORRUPT)) {
                        av_packet_unref(packet.get());
                        return fail(stretch.path + ": damaged picture data");
                    }
                    av_packet_unref(packet.get());
                    if (!mine)
                        continue;
                }
            }
            for (;;) {
                const int rc = avcodec_receive_frame(dec.get(), frame.get());
                if (rc == AVERROR(EAGAIN))
                    break;
                if (rc == AVERROR_EOF) {
                    done = true;
                    break;
                }
                if (rc < 0)
                    return fail(stretch.path + ": damaged picture data");
                const int64_t pts = frame->best_effort_timestamp;
                if (pts < fromTs) {
                    av_frame_unref(frame.get());
                    continue;
                }
                if (pts >= toTs) {
                    av_frame_unref(frame.get());
                    done = true;
                    break;
                }
                const double inStretch = static_cast<double>(pts - fromTs) * av_q2d(vin->time_base);
                const int second = static_cast<int>(std::floor(doneBefore + inStretch + 1e-6));
                if (second != shownSecond) {
                    shownSecond = second;
                    const std::string command = "text=" + escaped(caption ? caption(second) : std::string());
                    avfilter_graph_send_command(graph.get(), "caption", "reinit", command.c_str(), nullptr, 0,
                                                0);
                }
                if (av_buffersrc_add_frame(src, frame.get()) < 0)
                    return fail("the caption cannot be drawn");
                while (av_buffersink_get_frame(sink, filtered.get()) >= 0) {
                    filtered->pts = frameCount++;
                    filtered->pict_type = AV_PICTURE_TYPE_NONE;
                    const int sent = avcodec_send_frame(enc.get(), filtered.get());
                    av_frame_unref(filtered.get());
                    if (sent < 0 || !writePackets())
                        return fail(outputPath + ": cannot be written (disk full?)");
                }
                if (progress) {
                    const double share = std::min(1.0, (doneBefore + inStretch) / total);
                    if (share - lastShare >= 0.01) {
                        lastShare = share;
                        progress(share);
                    }
                }
            }
            if (draining && !done)
                done = true;
        }
        doneBefore += stretch.toSeconds - stretch.fromSeconds;
    }
    if (!enc || frameCount == 0)
        return fail("no picture in the clip");
    avcodec_send_frame(enc.get(), nullptr);
    if (!writePackets() || av_write_trailer(out.get()) < 0)
        return fail(outputPath + ": cannot be finished (disk full?)");
    result.durationSeconds = static_cast<double>(frameCount) * av_q2d(enc->time_base);
    if (avio_closep(&out->pb) < 0)
        return fail(outputPath + ": cannot be closed (disk full?)");
    enc.reset();
    out.reset();
    result.ok = true;
    if (progress)
        progress(1.0);
    return result;
}
