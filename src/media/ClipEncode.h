#pragma once
// What every re-encoded clip shares: the MP4 writer with its one H.264 (or
// H.265) picture stream, held to a few frames in flight, and the caption
// stage, a drawtext filter graph that burns the time, speed and position into
// one or more regions of a picture. The overlay of one camera and the
// layouts of both run their pictures through these.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/rational.h>
}

struct AVCodecContext;
struct AVFormatContext;
struct AVFilterGraph;
struct AVFilterContext;
struct AVPacket;
struct AVStream;

// One MP4 being written: create() sets up the picture stream (the caller may
// then add a sound stream to format()), begin() creates the file, send()
// encodes a picture, finish() closes it. Until finish() has succeeded the
// file is removed when the writer goes, so a failed or canceled clip leaves
// nothing behind. Every failure names the file; a full disk says so.
class ClipVideoWriter
{
public:
    ClipVideoWriter() = default;
    ClipVideoWriter(const ClipVideoWriter&) = delete;
    ClipVideoWriter& operator=(const ClipVideoWriter&) = delete;
    ~ClipVideoWriter();

    // "" when set up, else why not. `hevc` picks libx265 over libx264.
    std::string create(const std::string& path, int width, int height, AVRational rate, bool hevc, int crf);
    AVFormatContext* format() const { return m_out; }
    std::string begin();
    // Encodes a 4:2:0 picture as the next frame; "" or why it failed.
    std::string send(AVFrame* frame);
    std::string finish();
    // Removes what was written (a no-op once finished).
    void discard();

    bool created() const { return m_out != nullptr; }
    int64_t frames() const { return m_frames; }
    double seconds() const;
    long long bytesWritten() const { return m_bytes; }
    const char* encoderName() const { return m_hevc ? "H.265" : "H.264"; }

private:
    bool drain();
    AVFormatContext* m_out = nullptr;
    AVCodecContext* m_enc = nullptr;
    AVStream* m_stream = nullptr;
    AVPacket* m_packet = nullptr;
    std::string m_path;
    bool m_opened = false; // the file exists
    bool m_done = false;
    bool m_hevc = false;
    int64_t m_frames = 0;
    long long m_bytes = 0;
};

// A caption and the part of the picture it belongs to: drawn at that
// region's bottom left (bottom right when `right`), sized to the region.
struct CaptionPlace {
    std::string text;   // parts separated by '\n'
    std::string widest; // a caption at least as wide, part by part: the size holds still
    int x = 0, y = 0, width = 0, height = 0;
    bool right = false;
};

class CaptionStage
{
public:
    CaptionStage();
    CaptionStage(const CaptionStage&) = delete;
    CaptionStage& operator=(const CaptionStage&) = delete;
    ~CaptionStage();

    // "" when a font for the caption is there, else why not.
    const std::string& error() const { return m_error; }
    // Draws the captions into `picture`; the result (4:2:0) goes to `out`.
    // The graph is made again only when a caption changes: drawtext's own
    // way of changing its text (reinit) leaks a little every time. It holds
    // no frame between pictures.
    bool draw(AVFrame* picture, const std::vector<CaptionPlace>& places, AVFrame* out);

private:
    bool makeGraph(const AVFrame& picture, const std::vector<CaptionPlace>& places);
    std::string m_font;
    std::string m_error;
    AVFilterGraph* m_graph = nullptr;
    AVFilterContext* m_src = nullptr;
    AVFilterContext* m_sink = nullptr;
    std::vector<std::string> m_shown;
    int m_width = 0, m_height = 0, m_format = -1;
};
