// H.264 recordings encoded with libavcodec and muxed with libavformat, bit-exact.
#include "Common.h"
#include "MediaGen.h"
#include "Picture.h"

#include <cmath>
#include <fstream>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace mediagen
{

namespace
{

std::string averr(int code)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

const char* muxerName(Container c)
{
    switch (c) {
    case Container::Mov:
        return "mov";
    case Container::Mp4:
        return "mp4";
    case Container::Avi:
        return "avi";
    case Container::Mkv:
        return "matroska";
    }
    return "mp4";
}

struct Stream {
    AVCodecContext* ctx = nullptr;
    AVStream* st = nullptr;
    AVFrame* frame = nullptr;
};

class Muxer
{
public:
    ~Muxer()
    {
        for (Stream* s : {&video, &audio}) {
            av_frame_free(&s->frame);
            avcodec_free_context(&s->ctx);
        }
        av_packet_free(&pkt);
        if (oc) {
            if (opened)
                avio_closep(&oc->pb);
            avformat_free_context(oc);
        }
    }

    bool open(const std::string& path, const RecordingSpec& cfg, std::string* error);
    bool sendVideo(int index, std::string* error);
    bool sendAudioUpTo(int64_t sampleEnd, std::string* error);
    bool finish(std::string* error);

    AVFormatContext* oc = nullptr;
    AVPacket* pkt = nullptr;
    Stream video;
    Stream audio;
    bool opened = false;
    bool hasAudio = false;
    RecordingSpec cfg;
    int64_t audioSamples = 0;

private:
    bool addVideo(std::string* error);
    bool addAudio(std::string* error);
    bool drain(Stream& s, std::string* error);
};

// Opens an H.264 or H.265 encoder context for the picture, or returns none.
AVCodecContext* openVideoEncoder(const AVCodec* codec, const RecordingSpec& cfg, bool globalHeader, int& rc)
{
    AVCodecContext* c = avcodec_alloc_context3(codec);
    if (!c) {
        rc = AVERROR(ENOMEM);
        return nullptr;
    }
    c->width = cfg.width;
    c->height = cfg.height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, cfg.fps};
    c->framerate = AVRational{cfg.fps, 1};
    c->gop_size = std::max(1, cfg.fps * std::max(1, cfg.gopSeconds));
    c->keyint_min = c->gop_size;
    c->max_b_frames = 0;
    c->thread_count = 1;
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    if (globalHeader)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (std::string(codec->name) == "libx264") {
        av_opt_set(c->priv_data, "preset", "ultrafast", 0);
        av_opt_set(c->priv_data, "tune", "zerolatency", 0);
        av_opt_set(c->priv_data, "crf", std::to_string(cfg.crf).c_str(), 0);
        // A fixed GOP (no scene cuts) and one thread keep the bytes identical run to run.
        const std::string params = "scenecut=0:sliced-threads=0:threads=1:lookahead-threads=1" +
                                   (cfg.encoderParams.empty() ? std::string() : ":" + cfg.encoderParams);
        av_opt_set(c->priv_data, "x264-params", params.c_str(), 0);
    } else if (std::string(codec->name) == "libx265") {
        av_opt_set(c->priv_data, "preset", "ultrafast", 0);
        av_opt_set(c->priv_data, "tune", "zerolatency", 0);
        av_opt_set(c->priv_data, "crf", std::to_string(cfg.crf).c_str(), 0);
        // No thread pool, one frame thread, no wavefronts: the same bytes every run.
        std::string params = "pools=none:frame-threads=1:wpp=0:scenecut=0:log-level=none:keyint=" +
                             std::to_string(c->gop_size) + ":min-keyint=" + std::to_string(c->gop_size);
        if (cfg.hev1Entry)
            params += ":repeat-headers=1";
        if (!cfg.encoderParams.empty())
            params += ":" + cfg.encoderParams;
        av_opt_set(c->priv_data, "x265-params", params.c_str(), 0);
    } else {
        c->bit_rate = static_cast<int64_t>(cfg.width) * cfg.height * cfg.fps / 8;
    }
    rc = avcodec_open2(c, codec, nullptr);
    if (rc < 0)
        avcodec_free_context(&c);
    return c;
}

bool Muxer::addVideo(std::string* error)
{
    video.st = avformat_new_stream(oc, nullptr);
    if (!video.st)
        return fail(error, "out of memory");
    const bool globalHeader = (oc->oformat->flags & AVFMT_GLOBALHEADER) != 0;
    int rc = AVERROR_ENCODER_NOT_FOUND;
    if (cfg.h265) {
        if (cfg.container != Container::Mov && cfg.container != Container::Mp4)
            return fail(error, "H.265 recordings are MOV or MP4");
        const AVCodec* x265 = avcodec_find_encoder_by_name("libx265");
        if (!x265)
            return fail(error, "libx265 is not available");
        video.ctx = openVideoEncoder(x265, cfg, globalHeader, rc);
        if (!video.ctx)
            return fail(error, "the H.265 encoder could not be opened: " + averr(rc));
    }
    // libx264 first; without it, the first other H.264 encoder that opens here.
    const AVCodec* x264 = video.ctx ? nullptr : avcodec_find_encoder_by_name("libx264");
    if (x264)
        video.ctx = openVideoEncoder(x264, cfg, globalHeader, rc);
    void* it = nullptr;
    while (!video.ctx) {
        const AVCodec* codec = av_codec_iterate(&it);
        if (!codec)
            break;
        if (av_codec_is_encoder(codec) && codec->id == AV_CODEC_ID_H264 &&
            std::string(codec->name) != "libx264")
            video.ctx = openVideoEncoder(codec, cfg, globalHeader, rc);
    }
    if (!video.ctx)
        return fail(error, "no H.264 encoder could be opened: " + averr(rc));
    AVCodecContext* c = video.ctx;
    avcodec_parameters_from_context(video.st->codecpar, c);
    if (cfg.h265)
        video.st->codecpar->codec_tag = cfg.hev1Entry ? MKTAG('h', 'e', 'v', '1') : MKTAG('h', 'v', 'c', '1');
    video.st->time_base = c->time_base;
    video.st->avg_frame_rate = c->framerate;
    video.frame = av_frame_alloc();
    video.frame->format = c->pix_fmt;
    video.frame->width = c->width;
    video.frame->height = c->height;
    rc = av_frame_get_buffer(video.frame, 0);
    if (rc < 0)
        return fail(error, "cannot allocate a frame: " + averr(rc));
    return true;
}

bool Muxer::addAudio(std::string* error)
{
    const bool pcm = cfg.container == Container::Avi;
    const AVCodec* codec = avcodec_find_encoder(pcm ? AV_CODEC_ID_PCM_S16LE : AV_CODEC_ID_AAC);
    if (!codec)
        return fail(error, "no audio encoder available");
    audio.st = avformat_new_stream(oc, nullptr);
    audio.ctx = avcodec_alloc_context3(codec);
    if (!audio.st || !audio.ctx)
        return fail(error, "out of memory");
    AVCodecContext* c = audio.ctx;
    c->sample_fmt = pcm ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_FLTP;
    c->sample_rate = 16000;
    av_channel_layout_default(&c->ch_layout, 1);
    c->bit_rate = 32000;
    c->time_base = AVRational{1, c->sample_rate};
    c->thread_count = 1;
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    if (oc->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int rc = avcodec_open2(c, codec, nullptr);
    if (rc < 0)
        return fail(error, "cannot open the audio encoder: " + averr(rc));
    avcodec_parameters_from_context(audio.st->codecpar, c);
    audio.st->time_base = c->time_base;
    audio.frame = av_frame_alloc();
    audio.frame->format = c->sample_fmt;
    audio.frame->sample_rate = c->sample_rate;
    av_channel_layout_copy(&audio.frame->ch_layout, &c->ch_layout);
    audio.frame->nb_samples = c->frame_size > 0 ? c->frame_size : 1024;
    rc = av_frame_get_buffer(audio.frame, 0);
    if (rc < 0)
        return fail(error, "cannot allocate an audio frame: " + averr(rc));
    return true;
}

bool Muxer::open(const std::string& path, const RecordingSpec& s, std::string* error)
{
    cfg = s;
    hasAudio = cfg.withAudio || cfg.audioFirst;
    if (cfg.width < 16 || cfg.height < 16 || cfg.width % 2 || cfg.height % 2 || cfg.fps < 1 || cfg.fps > 240)
        return fail(error, "unsupported picture size or frame rate");
    int rc = avformat_alloc_output_context2(&oc, nullptr, muxerName(cfg.container), path.c_str());
    if (rc < 0 || !oc)
        return fail(error, "cannot create the muxer: " + averr(rc));
    oc->flags |= AVFMT_FLAG_BITEXACT;
    pkt = av_packet_alloc();
    if (hasAudio && cfg.audioFirst) {
        if (!addAudio(error) || !addVideo(error))
            return false;
    } else {
        if (!addVideo(error) || (hasAudio && !addAudio(error)))
            return false;
    }
    rc = avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0)
        return fail(error, "cannot create " + path + ": " + averr(rc));
    opened = true;
    AVDictionary* opts = nullptr;
    if (cfg.faststart && (cfg.container == Container::Mov || cfg.container == Container::Mp4))
        av_dict_set(&opts, "movflags", "+faststart", 0);
    rc = avformat_write_header(oc, &opts);
    av_dict_free(&opts);
    if (rc < 0)
        return fail(error, "cannot write the header: " + averr(rc));
    return true;
}

bool Muxer::drain(Stream& s, std::string* error)
{
    for (;;) {
        int rc = avcodec_receive_packet(s.ctx, pkt);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return true;
        if (rc < 0)
            return fail(error, "encoding failed: " + averr(rc));
        av_packet_rescale_ts(pkt, s.ctx->time_base, s.st->time_base);
        pkt->stream_index = s.st->index;
        rc = av_interleaved_write_frame(oc, pkt);
        if (rc < 0)
            return fail(error, "writing failed: " + averr(rc));
    }
}

bool Muxer::sendVideo(int index, std::string* error)
{
    int rc = av_frame_make_writable(video.frame);
    if (rc < 0)
        return fail(error, "frame not writable: " + averr(rc));
    const StartTime now = cfg.clock.plusSeconds(index / cfg.fps);
    FrameInfo info;
    info.frame = index;
    info.fps = cfg.fps;
    info.hour = now.hour;
    info.minute = now.minute;
    info.second = now.second;
    info.rear = cfg.rear;
    info.seed = cfg.seed;
    info.frameCode = cfg.frameCode;
    info.finePatches = cfg.finePatches;
    AVFrame* f = video.frame;
    Plane y{f->data[0], f->linesize[0], f->width, f->height};
    Plane u{f->data[1], f->linesize[1], (f->width + 1) / 2, (f->height + 1) / 2};
    Plane v{f->data[2], f->linesize[2], (f->width + 1) / 2, (f->height + 1) / 2};
    if (cfg.equirect)
        drawEquirectFrame(info, y, u, v);
    else
        drawFrame(info, y, u, v);
    f->pts = index;
    f->pict_type = AV_PICTURE_TYPE_NONE;
    rc = avcodec_send_frame(video.ctx, f);
    if (rc < 0)
        return fail(error, "encoding failed: " + averr(rc));
    return drain(video, error);
}

bool Muxer::sendAudioUpTo(int64_t sampleEnd, std::string* error)
{
    if (!hasAudio)
        return true;
    const int rate = audio.ctx->sample_rate;
    const double tone = 110.0 + 55.0 * (cfg.seed % 4) + (cfg.rear ? 30.0 : 0.0);
    while (audioSamples < sampleEnd) {
        int rc = av_frame_make_writable(audio.frame);
        if (rc < 0)
            return fail(error, "audio frame not writable: " + averr(rc));
        const int n = audio.frame->nb_samples;
        for (int i = 0; i < n; ++i) {
            const double t = static_cast<double>(audioSamples + i) / rate;
            // A quiet hum with a second harmonic.
            const double value = 0.04 * std::sin(2 * M_PI * tone * t) + 0.02 * std::sin(4 * M_PI * tone * t);
            if (audio.ctx->sample_fmt == AV_SAMPLE_FMT_S16)
                reinterpret_cast<int16_t*>(audio.frame->data[0])[i] =
                    static_cast<int16_t>(std::lround(value * 32767));
            else
                reinterpret_cast<float*>(audio.frame->data[0])[i] = static_cast<float>(value);
        }
        audio.frame->pts = audioSamples;
        audioSamples += n;
        rc = avcodec_send_frame(audio.ctx, audio.frame);
        if (rc < 0)
            return fail(error, "audio encoding failed: " + averr(rc));
        if (!drain(audio, error))
            return false;
    }
    return true;
}

bool Muxer::finish(std::string* error)
{
    for (Stream* s : {&video, &audio}) {
        if (!s->ctx)
            continue;
        int rc = avcodec_send_frame(s->ctx, nullptr);
        if (rc < 0 && rc != AVERROR_EOF)
            return fail(error, "flushing failed: " + averr(rc));
        if (!drain(*s, error))
            return false;
    }
    int rc = av_write_trailer(oc);
    if (rc < 0)
        return fail(error, "cannot write the trailer: " + averr(rc));
    rc = avio_closep(&oc->pb);
    opened = false;
    if (rc < 0)
        return fail(error, "cannot close the file: " + averr(rc));
    return true;
}

} // namespace

RecordingSpec hdRecording(RecordingSpec cfg)
{
    cfg.width = 1920;
    cfg.height = 1080;
    cfg.fps = 30;
    return cfg;
}

bool writeRecording(const std::string& path, const RecordingSpec& cfg, std::string* error)
{
    av_log_set_level(AV_LOG_ERROR);
    Muxer m;
    if (!m.open(path, cfg, error))
        return false;
    const int frames =
        cfg.frames > 0 ? cfg.frames : std::max(1, static_cast<int>(std::lround(cfg.seconds * cfg.fps)));
    const int rate = m.hasAudio ? m.audio.ctx->sample_rate : 0;
    for (int i = 0; i < frames; ++i) {
        if (!m.sendVideo(i, error))
            return false;
        const int64_t end = static_cast<int64_t>(i + 1) * rate / cfg.fps;
        // Keep the audio slightly short of the video so the movie lasts as long as the picture.
        if (!m.sendAudioUpTo(std::max<int64_t>(0, end - (m.hasAudio ? m.audio.frame->nb_samples : 0)), error))
            return false;
    }
    if (!m.finish(error))
        return false;
    if (cfg.container == Container::Avi && !m.hasAudio) {
        // Readers find the video handler at byte 112 because the header blocks
        // before it have fixed sizes; a muxer that lays them out otherwise would
        // make every AVI we write unreadable to them, so say so at once.
        std::string head(116, '\0');
        std::ifstream in(path, std::ios::binary);
        in.read(&head[0], static_cast<std::streamsize>(head.size()));
        if (in.gcount() < 116 || head.compare(100, 4, "strh") != 0 || head.compare(112, 4, "H264") != 0)
            return fail(error, "the AVI muxer did not put the H.264 handler at byte 112 of " + path);
    }
    return true;
}

} // namespace mediagen
