#include "media/ClipOverlay.h"

#include "media/AvOpen.h"
#include "media/ClipAudio.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <thread>
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
// A line feed stays: drawtext breaks the line there.
std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == ':' || c == '\\' || c == '\'' || c == ',' || c == ';' || c == '[' || c == ']' || c == '=')
            out += '\\';
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\n')
            out += c;
    }
    return out;
}

std::vector<std::string> partsOf(const std::string& caption)
{
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = caption.find('\n', from);
        parts.push_back(caption.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            return parts;
        from = at + 1;
    }
}

// Characters as drawn (UTF-8 continuation bytes add none).
int widthOf(const std::string& text)
{
    int n = 0;
    for (char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// A glyph's advance and a line's height in pixels for a font size, both on
// the generous side: the font is monospaced with an advance of 0.6 of its
// size, rounded to whole pixels by the renderer.
int advanceOf(int fontSize)
{
    return fontSize * 61 / 100 + 1;
}
int lineHeightOf(int fontSize)
{
    return fontSize * 5 / 4 + 1;
}
int borderOf(int fontSize)
{
    return std::clamp(fontSize / 2, 1, 6);
}

// How a caption is drawn into a picture: on one line at the picture's usual
// size when that fits; else one line per part, or for a narrow picture one
// line per word, whichever allows the larger font, shrunk until every line
// fits. Each line is laid out at least as wide as the same line of the
// clip's widest caption, so the size holds still from frame to frame.
struct CaptionFit {
    std::string text;
    int fontSize = 12;
    int margin = 12;
    int border = 6;
};

std::vector<std::string> wordsOf(const std::vector<std::string>& parts)
{
    std::vector<std::string> words;
    for (const std::string& part : parts) {
        std::size_t from = 0;
        while (from < part.size()) {
            const std::size_t at = part.find(' ', from);
            const std::size_t end = at == std::string::npos ? part.size() : at;
            if (end > from)
                words.push_back(part.substr(from, end - from));
            from = end + 1;
        }
    }
    return words;
}

std::string joined(const std::vector<std::string>& lines, const char* between)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += (i > 0 ? between : "") + lines[i];
    return text;
}

CaptionFit fitCaption(const std::string& caption, const std::string& widest, int width, int height)
{
    CaptionFit fit;
    fit.margin = std::clamp(std::min(width, height) / 24, 2, 12);
    const int base = std::max(12, height / 22);
    // The largest size up to `base` at which the lines fit; 0 when none does.
    const auto sizeFor = [&](const std::vector<std::string>& lines, const std::vector<std::string>& wide) {
        int chars = 0;
        for (std::size_t i = 0; i < lines.size(); ++i)
            chars = std::max({chars, widthOf(lines[i]), i < wide.size() ? widthOf(wide[i]) : 0});
        const int count = static_cast<int>(lines.size());
        for (int size = base; size >= 1; --size) {
            const int border = borderOf(size);
            if (chars * advanceOf(size) + 2 * border <= width - 2 * fit.margin &&
                count * lineHeightOf(size) + 2 * border <= height - 2 * fit.margin)
                return size;
        }
        return 0;
    };
    const std::vector<std::string> parts = partsOf(caption), wideParts = partsOf(widest);
    const std::vector<std::string> oneLine = {joined(parts, "  ")}, wideLine = {joined(wideParts, "  ")};
    const std::vector<std::string> words = wordsOf(parts), wideWords = wordsOf(wideParts);
    if (sizeFor(oneLine, wideLine) == base) {
        fit.text = oneLine.front();
        fit.fontSize = base;
    } else {
        const int byPart = sizeFor(parts, wideParts), byWord = sizeFor(words, wideWords);
        fit.text = joined(byWord > byPart ? words : parts, "\n");
        fit.fontSize = std::max(1, std::max(byPart, byWord));
    }
    fit.border = borderOf(fit.fontSize);
    return fit;
}

std::string drawCommand(const CaptionFit& fit)
{
    return "fontsize=" + std::to_string(fit.fontSize) + ":boxborderw=" + std::to_string(fit.border) +
           ":x=" + std::to_string(fit.margin) + ":y=h-th-" + std::to_string(fit.margin) +
           ":text=" + escaped(fit.text);
}

struct ParametersFree {
    void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
};

bool sameSound(const AVCodecParameters* a, const AVCodecParameters* b)
{
    return a->codec_id == b->codec_id && a->sample_rate == b->sample_rate &&
           a->ch_layout.nb_channels == b->ch_layout.nb_channels && a->extradata_size == b->extradata_size &&
           (a->extradata_size == 0 || std::memcmp(a->extradata, b->extradata, a->extradata_size) == 0);
}

std::string soundName(AVCodecID id)
{
    const AVCodecDescriptor* d = avcodec_descriptor_get(id);
    std::string name = d ? d->name : "unknown";
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

// Whether the clip keeps the recordings' sound: only when every stretch
// carries the same, so one stream runs through the clip in step with the
// pictures; copied when MP4 can hold it as it is, else encoded to AAC.
// `note` says what became of it.
struct SoundPlan {
    std::unique_ptr<AVCodecParameters, ParametersFree> parameters; // kept: the stream's
    bool encode = false;                                           // to AAC
    std::string note;
};

SoundPlan planSound(const std::vector<ClipStretch>& stretches)
{
    SoundPlan plan;
    const AVOutputFormat* mp4 = av_guess_format("mp4", nullptr, nullptr);
    std::string lacking, differing;
    bool any = false;
    for (const ClipStretch& stretch : stretches) {
        media::OpenedFormat opened = media::openLocalFile(stretch.path, std::chrono::milliseconds(0));
        if (!opened.context)
            continue; // the pictures' pass says why
        AVFormatContext* in = opened.context.get();
        const int v = av_find_best_stream(in, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const int a = av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, v, nullptr, 0);
        if (a < 0) {
            if (lacking.empty())
                lacking = stretch.path;
            continue;
        }
        any = true;
        const AVCodecParameters* par = in->streams[a]->codecpar;
        if (!plan.parameters) {
            plan.parameters.reset(avcodec_parameters_alloc());
            if (!plan.parameters || avcodec_parameters_copy(plan.parameters.get(), par) < 0) {
                plan.parameters.reset();
                plan.note = "left out (out of memory)";
                return plan;
            }
        } else if (!sameSound(plan.parameters.get(), par) && differing.empty()) {
            differing = stretch.path;
        }
    }
    if (!any)
        return plan;
    const std::string name = soundName(plan.parameters->codec_id);
    const bool fits = mp4 && ClipAacEncoder::fits(mp4, plan.parameters->codec_id);
    if (!lacking.empty())
        plan.note = "left out: " + lacking + " has none";
    else if (!differing.empty())
        plan.note = "left out: " + differing + " carries other sound than the first recording";
    else if (fits)
        plan.note = name + ", copied";
    else if (avcodec_find_decoder(plan.parameters->codec_id))
        plan.encode = true; // the caller names the conversion
    else
        plan.note = "left out: MP4 cannot hold " + name + " sound, and it cannot be decoded";
    if (plan.note.rfind("left out", 0) == 0)
        plan.parameters.reset();
    return plan;
}

long long fileSize(const std::string& path)
{
    struct stat st {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<long long>(st.st_size) : -1;
}

// True when some sample of the stream that plays before `untilTs` lies, by
// the file's own index, past the file's end.
bool indexReachesPast(AVStream* stream, int64_t untilTs, long long size)
{
    const int count = avformat_index_get_entries_count(stream);
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry* e = avformat_index_get_entry(stream, i);
        if (e && e->timestamp < untilTs && (e->pos < 0 || e->pos + e->size > size))
            return true;
    }
    return false;
}

} // namespace

ClipCutResult pmRenderOverlayClip(const std::vector<ClipStretch>& stretches, const OverlayCaption& caption,
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
    SoundPlan sound = planSound(stretches);
    result.sound = sound.note;
    if (sound.encode)
        result.soundConvertedFrom = avcodec_get_name(sound.parameters->codec_id);
    std::unique_ptr<ClipAacEncoder> aac;
    AVStream* os = nullptr;
    AVStream* soundOut = nullptr;
    int64_t soundLastDts = std::numeric_limits<int64_t>::min();
    int64_t frameCount = 0;
    double doneBefore = 0;
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

    for (std::size_t k = 0; k < stretches.size(); ++k) {
        const ClipStretch& stretch = stretches[k];
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
        const int a = soundOut ? av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, v, nullptr, 0) : -1;
        AVStream* ain = a >= 0 ? in->streams[a] : nullptr;
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
            if (!enc)
                return fail("out of memory");
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
            // Memory: x264 holds a picture (about 13 MB at 1080p) for every
            // frame in flight, and by default that is a lookahead of 10,
            // three B-frames and one frame per thread, threads counted from
            // the cores: 300 MB at 1080p, more on a bigger machine. Threads
            // that share one frame's slices, no B-frames and a short
            // lookahead keep it near 150 MB whatever the machine.
            enc->thread_count = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
            enc->max_b_frames = 0;
            av_opt_set(enc->priv_data, "x264-params", "sliced-threads=1:rc-lookahead=5", 0);
            if (avcodec_open2(enc.get(), x264, nullptr) < 0)
                return fail("the H.264 encoder cannot start");
            os = avformat_new_stream(out.get(), nullptr);
            if (!os || avcodec_parameters_from_context(os->codecpar, enc.get()) < 0)
                return fail("cannot set up the video stream");
            os->time_base = enc->time_base;
            if (sound.encode) {
                aac = std::make_unique<ClipAacEncoder>();
                const std::string why = aac->open(sound.parameters.get(), out.get());
                if (!why.empty())
                    return fail(stretch.path + ": its sound (" + result.soundConvertedFrom +
                                ") cannot go into an MP4 as it is, and converting it to AAC failed: " + why);
                soundOut = out->streams[aac->streamIndex()];
            } else if (sound.parameters) {
                soundOut = avformat_new_stream(out.get(), nullptr);
                if (!soundOut || avcodec_parameters_copy(soundOut->codecpar, sound.parameters.get()) < 0)
                    return fail("cannot set up the sound stream");
                soundOut->codecpar->codec_tag = 0;
                soundOut->time_base = {1, std::max(1, sound.parameters->sample_rate)};
            }
            if (avio_open(&out->pb, outputPath.c_str(), AVIO_FLAG_WRITE) < 0)
                return fail(outputPath + ": cannot be created");
            created = true;
            if (avformat_write_header(out.get(), nullptr) < 0)
                return fail(outputPath + ": cannot be written");
            if (soundOut) {
                const int sa = av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, v, nullptr, 0);
                ain = sa >= 0 ? in->streams[sa] : nullptr;
            }
        } else if (dec->width != enc->width || dec->height != enc->height) {
            return fail(stretch.path + ": its picture size differs from the clip's first recording");
        }
        const int soundIn = ain ? ain->index : -1;
        if (aac && ain) {
            const std::string why = aac->beginSource(ain->codecpar);
            if (!why.empty())
                return fail(stretch.path + ": " + why);
        }

        // buffer -> drawtext -> format -> buffersink, made again for each
        // new caption: drawtext's own way of changing its text (reinit)
        // leaks a little every time. It holds no frame between pictures.
        std::unique_ptr<AVFilterGraph, GraphFree> graph;
        AVFilterContext *src = nullptr, *sink = nullptr;
        auto makeGraph = [&](const AVFrame& picture, const std::string& draw) {
            graph.reset(avfilter_graph_alloc());
            AVFilterContext *text = nullptr, *format = nullptr;
            char args[512];
            std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                          picture.width, picture.height, picture.format, vin->time_base.num,
                          vin->time_base.den, std::max(1, picture.sample_aspect_ratio.num),
                          std::max(1, picture.sample_aspect_ratio.den));
            const std::string drawArgs = "fontfile=" + escaped(font) +
                                         ":fontcolor=white:box=1:boxcolor=black@0.55:expansion=none:" + draw;
            return graph &&
                   avfilter_graph_create_filter(&src, avfilter_get_by_name("buffer"), "in", args, nullptr,
                                                graph.get()) >= 0 &&
                   avfilter_graph_create_filter(&text, avfilter_get_by_name("drawtext"), "caption",
                                                drawArgs.c_str(), nullptr, graph.get()) >= 0 &&
                   avfilter_graph_create_filter(&format, avfilter_get_by_name("format"), "fmt",
                                                "pix_fmts=yuv420p", nullptr, graph.get()) >= 0 &&
                   avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr,
                                                nullptr, graph.get()) >= 0 &&
                   avfilter_link(src, 0, text, 0) >= 0 && avfilter_link(text, 0, format, 0) >= 0 &&
                   avfilter_link(format, 0, sink, 0) >= 0 && avfilter_graph_config(graph.get(), nullptr) >= 0;
        };
        std::string shownCaption;
        bool captionSet = false;

        const int64_t start = vin->start_time != AV_NOPTS_VALUE ? vin->start_time : 0;
        const int64_t fromTs =
            start + av_rescale_q(static_cast<int64_t>(std::llround(stretch.fromSeconds * 1e6)), {1, 1000000},
                                 vin->time_base);
        const int64_t toTs = start + av_rescale_q(static_cast<int64_t>(std::llround(stretch.toSeconds * 1e6)),
                                                  {1, 1000000}, vin->time_base);
        // A recording cut short while its index still states the whole
        // length: what lies past the cut cannot be read.
        const long long size = fileSize(stretch.path);
        if (indexReachesPast(vin, toTs, size) ||
            (ain && indexReachesPast(ain, av_rescale_q(toTs, vin->time_base, ain->time_base), size)))
            return fail(stretch.path + ": cut short (its data ends before the stretch the clip needs)");
        if (stretch.fromSeconds > 0 && av_seek_frame(in, v, fromTs, AVSEEK_FLAG_BACKWARD) < 0)
            return fail(stretch.path + ": cannot seek to the clip's start");
        // The sound is measured on the recording's own clock, as the pictures
        // are, and lands where this stretch's pictures land in the clip.
        const AVRational micro{1, 1000000};
        const int64_t fromUs = av_rescale_q(fromTs, vin->time_base, micro);
        const int64_t toUs = av_rescale_q(toTs, vin->time_base, micro);
        const int64_t stretchOutUs = av_rescale_q(frameCount, enc->time_base, micro);
        const int64_t frameTs = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), vin->time_base));
        int64_t reachedTs = fromTs; // the end of the last picture drawn
        bool reachedEnd = false;

        bool videoDone = false, soundDone = soundIn < 0, draining = false;
        while (!videoDone || !soundDone) {
            if (cancel && cancel->load()) {
                result.canceled = true;
                return fail("canceled");
            }
            if (!draining) {
                const int rc = av_read_frame(in, packet.get());
                if (rc == AVERROR_EOF) {
                    draining = true;
                    soundDone = true;
                    if (!videoDone)
                        avcodec_send_packet(dec.get(), nullptr);
                } else if (rc < 0) {
                    return fail(stretch.path + ": damaged");
                } else if (packet->stream_index == v && !videoDone) {
                    const bool corrupt = packet->flags & AV_PKT_FLAG_CORRUPT;
                    const int sent = avcodec_send_packet(dec.get(), packet.get());
                    av_packet_unref(packet.get());
                    if (sent < 0 && !corrupt)
                        return fail(stretch.path + ": damaged picture data");
                } else if (packet->stream_index == soundIn && !soundDone) {
                    const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
                    const int64_t atUs = pts != AV_NOPTS_VALUE ? av_rescale_q(pts, ain->time_base, micro)
                                                               : std::numeric_limits<int64_t>::min();
                    if (atUs >= toUs) {
                        soundDone = true;
                    } else if (atUs >= fromUs && aac) {
                        const std::string why = aac->add(packet.get(), stretchOutUs + atUs - fromUs);
                        if (!why.empty()) {
                            av_packet_unref(packet.get());
                            return fail((aac->writeFailed() ? outputPath : stretch.path) + ": " + why);
                        }
                    } else if (atUs >= fromUs) {
                        const int64_t outPts =
                            av_rescale_q(stretchOutUs + atUs - fromUs, micro, soundOut->time_base);
                        packet->duration =
                            av_rescale_q(packet->duration, ain->time_base, soundOut->time_base);
                        packet->pts = packet->dts = outPts;
                        packet->stream_index = soundOut->index;
                        packet->pos = -1;
                        // A packet that would overlap the one before (a join
                        // a hair early) is left out rather than moved.
                        if (outPts > soundLastDts) {
                            soundLastDts = outPts;
                            if (av_interleaved_write_frame(out.get(), packet.get()) < 0)
                                return fail(outputPath + ": cannot be written (disk full?)");
                        }
                    }
                    av_packet_unref(packet.get());
                } else {
                    av_packet_unref(packet.get());
                }
            }
            while (!videoDone) {
                const int rc = avcodec_receive_frame(dec.get(), frame.get());
                if (rc == AVERROR(EAGAIN))
                    break;
                if (rc == AVERROR_EOF) {
                    videoDone = true;
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
                    videoDone = true;
                    reachedEnd = true;
                    break;
                }
                reachedTs = std::max(reachedTs, pts + frameTs);
                // The caption is the frame's own: its recording and its time
                // there, whatever lies between the stretches.
                const double inRecording = static_cast<double>(pts - start) * av_q2d(vin->time_base);
                if (frame->width != enc->width || frame->height != enc->height)
                    return fail(stretch.path + ": its picture size changes inside the recording");
                const std::string words = caption.text ? caption.text(k, inRecording) : std::string();
                if (!captionSet || words != shownCaption) {
                    captionSet = true;
                    shownCaption = words;
                    if (!makeGraph(*frame, drawCommand(fitCaption(words, caption.widest, frame->width,
                                                                  frame->height))))
                        return fail("the caption cannot be drawn (drawtext)");
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
                    const double inStretch = static_cast<double>(pts - fromTs) * av_q2d(vin->time_base);
                    const double share = std::min(1.0, (doneBefore + inStretch) / total);
                    if (share - lastShare >= 0.01) {
                        lastShare = share;
                        progress(share);
                    }
                }
            }
        }
        // A recording that ends well before its stretch does is cut short:
        // the clip would hold less than it says.
        // Its last pictures may end a little before the stated length (the
        // sound may run longer); a quarter of a second more is missing data.
        const int64_t allowance = std::max(2 * frameTs, av_rescale_q(250000, micro, vin->time_base));
        if (!reachedEnd && reachedTs + allowance < toTs)
            return fail(stretch.path + ": ends before the recording's stated length (cut short?)");
        doneBefore += stretch.toSeconds - stretch.fromSeconds;
    }
    if (!enc || frameCount == 0)
        return fail("no picture in the clip");
    avcodec_send_frame(enc.get(), nullptr);
    if (!writePackets())
        return fail(outputPath + ": cannot be finished (disk full?)");
    if (aac) {
        const std::string why = aac->finish();
        if (!why.empty())
            return fail(outputPath + ": the sound " + why);
    }
    if (av_write_trailer(out.get()) < 0)
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
