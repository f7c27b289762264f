#include "media/ClipEncode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{

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

// The drawtext options of one caption in its region of the picture.
std::string drawCommand(const CaptionFit& fit, const CaptionPlace& place)
{
    const std::string left = std::to_string(place.x + fit.margin);
    const std::string x = place.right ? std::to_string(place.x + place.width - fit.margin) + "-tw" : left;
    return "fontsize=" + std::to_string(fit.fontSize) + ":boxborderw=" + std::to_string(fit.border) +
           ":x=" + x + ":y=" + std::to_string(place.y + place.height - fit.margin) + "-th" +
           ":text=" + escaped(fit.text);
}

} // namespace

ClipVideoWriter::~ClipVideoWriter()
{
    discard();
}

void ClipVideoWriter::discard()
{
    if (m_enc)
        avcodec_free_context(&m_enc);
    if (m_out) {
        if (m_out->pb)
            avio_closep(&m_out->pb);
        avformat_free_context(m_out);
        m_out = nullptr;
    }
    av_packet_free(&m_packet);
    if (m_opened && !m_done)
        ::unlink(m_path.c_str());
    m_opened = false;
}

std::string ClipVideoWriter::create(const std::string& path, int width, int height, AVRational rate,
                                    bool hevc, int crf)
{
    discard();
    m_path = path;
    m_hevc = hevc;
    m_done = false;
    m_frames = 0;
    m_bytes = 0;
    if (avformat_alloc_output_context2(&m_out, nullptr, "mp4", path.c_str()) < 0 || !m_out)
        return "cannot make an MP4 writer";
    const AVCodec* encoder = avcodec_find_encoder_by_name(hevc ? "libx265" : "libx264");
    if (!encoder)
        return std::string("no ") + encoderName() + " encoder";
    m_enc = avcodec_alloc_context3(encoder);
    m_packet = av_packet_alloc();
    if (!m_enc || !m_packet)
        return "out of memory";
    m_enc->width = width;
    m_enc->height = height;
    m_enc->pix_fmt = AV_PIX_FMT_YUV420P;
    m_enc->time_base = av_inv_q(rate);
    m_enc->framerate = rate;
    m_enc->gop_size = static_cast<int>(std::lround(av_q2d(rate)));
    if (m_out->oformat->flags & AVFMT_GLOBALHEADER)
        m_enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const std::string quality = std::to_string(std::clamp(crf, 0, 51));
    av_opt_set(m_enc->priv_data, "preset", "veryfast", 0);
    av_opt_set(m_enc->priv_data, "crf", quality.c_str(), 0);
    // Memory: the encoder holds a whole picture (13 MB at 1080p, twice that
    // for two cameras side by side) for every frame in flight, and by
    // default that is a lookahead of 10, three B-frames and one frame per
    // thread, threads counted from the cores. Threads that share one
    // frame's slices, no B-frames and a short lookahead keep the pictures
    // held to a handful whatever the machine.
    m_enc->thread_count = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    m_enc->max_b_frames = 0;
    if (hevc) {
        av_opt_set(m_enc->priv_data, "x265-params",
                   "log-level=error:bframes=0:rc-lookahead=5:frame-threads=1", 0);
        m_enc->codec_tag = MKTAG('h', 'v', 'c', '1');
    } else {
        av_opt_set(m_enc->priv_data, "x264-params", "sliced-threads=1:rc-lookahead=5", 0);
    }
    if (avcodec_open2(m_enc, encoder, nullptr) < 0)
        return std::string("the ") + encoderName() + " encoder cannot start";
    m_stream = avformat_new_stream(m_out, nullptr);
    if (!m_stream || avcodec_parameters_from_context(m_stream->codecpar, m_enc) < 0)
        return "cannot set up the video stream";
    m_stream->time_base = m_enc->time_base;
    return {};
}

std::string ClipVideoWriter::begin()
{
    if (!m_out)
        return "no MP4 writer";
    if (avio_open(&m_out->pb, m_path.c_str(), AVIO_FLAG_WRITE) < 0)
        return m_path + ": cannot be created";
    m_opened = true;
    if (avformat_write_header(m_out, nullptr) < 0)
        return m_path + ": cannot be written (disk full?)";
    return {};
}

double ClipVideoWriter::seconds() const
{
    return m_enc ? static_cast<double>(m_frames) * av_q2d(m_enc->time_base) : 0.0;
}

bool ClipVideoWriter::drain()
{
    for (;;) {
        const int rc = avcodec_receive_packet(m_enc, m_packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            break;
        if (rc < 0)
            return false;
        av_packet_rescale_ts(m_packet, m_enc->time_base, m_stream->time_base);
        m_packet->stream_index = m_stream->index;
        m_bytes += m_packet->size;
        if (av_interleaved_write_frame(m_out, m_packet) < 0)
            return false;
    }
    // A write the buffer took may still have failed underneath: the error
    // stays on the file until it is asked.
    return !m_out->pb || m_out->pb->error >= 0;
}

std::string ClipVideoWriter::send(AVFrame* frame)
{
    frame->pts = m_frames++;
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(m_enc, frame) < 0 || !drain())
        return m_path + ": cannot be written (disk full?)";
    return {};
}

std::string ClipVideoWriter::finish()
{
    if (!m_enc || m_frames == 0)
        return "no picture in the clip";
    avcodec_send_frame(m_enc, nullptr);
    if (!drain())
        return m_path + ": cannot be finished (disk full?)";
    if (av_write_trailer(m_out) < 0 || (m_out->pb && m_out->pb->error < 0))
        return m_path + ": cannot be finished (disk full?)";
    if (avio_closep(&m_out->pb) < 0)
        return m_path + ": cannot be closed (disk full?)";
    m_done = true;
    return {};
}

CaptionStage::CaptionStage() : m_font(fontFile())
{
    if (m_font.empty())
        m_error = "no font for the caption";
}

CaptionStage::~CaptionStage()
{
    avfilter_graph_free(&m_graph);
}

// buffer -> drawtext (one per caption) -> format -> buffersink.
bool CaptionStage::makeGraph(const AVFrame& picture, const std::vector<CaptionPlace>& places)
{
    avfilter_graph_free(&m_graph);
    m_src = m_sink = nullptr;
    m_graph = avfilter_graph_alloc();
    if (!m_graph)
        return false;
    char args[512];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/90000:pixel_aspect=%d/%d",
                  picture.width, picture.height, picture.format, std::max(1, picture.sample_aspect_ratio.num),
                  std::max(1, picture.sample_aspect_ratio.den));
    if (avfilter_graph_create_filter(&m_src, avfilter_get_by_name("buffer"), "in", args, nullptr, m_graph) <
        0)
        return false;
    AVFilterContext* last = m_src;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const CaptionPlace& place = places[i];
        const std::string drawArgs =
            "fontfile=" + escaped(m_font) + ":fontcolor=white:box=1:boxcolor=black@0.55:expansion=none:" +
            drawCommand(fitCaption(place.text, place.widest, place.width, place.height), place);
        AVFilterContext* text = nullptr;
        const std::string name = "caption" + std::to_string(i);
        if (avfilter_graph_create_filter(&text, avfilter_get_by_name("drawtext"), name.c_str(),
                                         drawArgs.c_str(), nullptr, m_graph) < 0 ||
            avfilter_link(last, 0, text, 0) < 0)
            return false;
        last = text;
    }
    AVFilterContext* format = nullptr;
    return avfilter_graph_create_filter(&format, avfilter_get_by_name("format"), "fmt", "pix_fmts=yuv420p",
                                        nullptr, m_graph) >= 0 &&
           avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                        m_graph) >= 0 &&
           avfilter_link(last, 0, format, 0) >= 0 && avfilter_link(format, 0, m_sink, 0) >= 0 &&
           avfilter_graph_config(m_graph, nullptr) >= 0;
}

bool CaptionStage::draw(AVFrame* picture, const std::vector<CaptionPlace>& places, AVFrame* out)
{
    if (!m_error.empty())
        return false;
    std::vector<std::string> texts;
    for (const CaptionPlace& place : places)
        texts.push_back(place.text + '\0' + std::to_string(place.x) + "," + std::to_string(place.width));
    if (!m_graph || texts != m_shown || picture->width != m_width || picture->height != m_height ||
        picture->format != m_format) {
        m_shown.clear();
        if (!makeGraph(*picture, places)) {
            m_error = "the caption cannot be drawn (drawtext)";
            return false;
        }
        m_shown = texts;
        m_width = picture->width;
        m_height = picture->height;
        m_format = picture->format;
    }
    if (av_buffersrc_add_frame(m_src, picture) < 0 || av_buffersink_get_frame(m_sink, out) < 0) {
        m_error = "the caption cannot be drawn";
        return false;
    }
    return true;
}
