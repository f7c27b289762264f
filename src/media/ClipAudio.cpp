#include "media/ClipAudio.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <vector>

namespace
{

std::string avText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

struct ClipAacEncoder::Impl {
    AVFormatContext* out = nullptr;
    AVStream* stream = nullptr;
    AVCodecContext* encoder = nullptr;
    AVCodecContext* decoder = nullptr;
    SwrContext* convert = nullptr;
    // The converter's input as last set up: a decoder may only know its
    // format once it gives a frame.
    AVChannelLayout convertLayout{};
    int convertFormat = -1;
    int convertRate = 0;
    AVAudioFifo* fifo = nullptr;
    AVFrame* decoded = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int64_t samplesSent = 0; // to the encoder: the next frame's time in samples
    bool outputFailed = false;
    std::vector<uint8_t*> planes;
    int planeSamples = 0;

    ~Impl()
    {
        avcodec_free_context(&encoder);
        avcodec_free_context(&decoder);
        swr_free(&convert);
        av_channel_layout_uninit(&convertLayout);
        if (fifo)
            av_audio_fifo_free(fifo);
        av_frame_free(&decoded);
        av_frame_free(&frame);
        av_packet_free(&packet);
        freePlanes();
    }

    void freePlanes()
    {
        if (!planes.empty())
            av_freep(&planes[0]);
        planes.clear();
        planeSamples = 0;
    }

    int channels() const { return encoder->ch_layout.nb_channels; }

    // Room for `samples` converted samples in `planes`.
    bool reserve(int samples)
    {
        if (samples <= planeSamples)
            return true;
        freePlanes();
        planes.assign(static_cast<std::size_t>(channels()), nullptr);
        if (av_samples_alloc(planes.data(), nullptr, channels(), samples, encoder->sample_fmt, 0) < 0) {
            planes.clear();
            return false;
        }
        planeSamples = samples;
        return true;
    }

    std::string writePackets()
    {
        for (;;) {
            const int rc = avcodec_receive_packet(encoder, packet);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
                return {};
            if (rc < 0)
                return "the sound cannot be encoded (" + avText(rc) + ")";
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int wrote = av_interleaved_write_frame(out, packet);
            av_packet_unref(packet);
            if (wrote < 0) {
                outputFailed = true;
                return "cannot be written (disk full?)";
            }
        }
    }

    // Sends frames of the encoder's size while the queue holds them; the
    // rest too when `all` (the last frame may be short where the encoder
    // takes one, else it is filled with silence).
    std::string encodeQueued(bool all)
    {
        const int size = encoder->frame_size > 0 ? encoder->frame_size : 1024;
        while (av_audio_fifo_size(fifo) >= size || (all && av_audio_fifo_size(fifo) > 0)) {
            const int take = std::min(size, av_audio_fifo_size(fifo));
            const bool shortOk = (encoder->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
            av_frame_unref(frame);
            frame->nb_samples = take < size && !shortOk ? size : take;
            frame->format = encoder->sample_fmt;
            frame->sample_rate = encoder->sample_rate;
            if (av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout) < 0 ||
                av_frame_get_buffer(frame, 0) < 0)
                return "out of memory";
            av_samples_set_silence(frame->extended_data, 0, frame->nb_samples, channels(),
                                   encoder->sample_fmt);
            if (av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame->extended_data), take) != take)
                return "the sound cannot be queued";
            frame->pts = samplesSent;
            samplesSent += frame->nb_samples;
            const int rc = avcodec_send_frame(encoder, frame);
            if (rc < 0)
                return "the sound cannot be encoded (" + avText(rc) + ")";
            if (std::string why = writePackets(); !why.empty())
                return why;
        }
        return {};
    }

    std::string addSilence(int64_t samples)
    {
        while (samples > 0) {
            const int chunk = static_cast<int>(std::min<int64_t>(samples, 4096));
            if (!reserve(chunk))
                return "out of memory";
            av_samples_set_silence(planes.data(), 0, chunk, channels(), encoder->sample_fmt);
            if (av_audio_fifo_write(fifo, reinterpret_cast<void**>(planes.data()), chunk) != chunk)
                return "the sound cannot be queued";
            samples -= chunk;
            if (std::string why = encodeQueued(false); !why.empty())
                return why;
        }
        return {};
    }

    std::string convertFrame(AVFrame* in)
    {
        if (!convert || convertFormat != in->format || convertRate != in->sample_rate ||
            av_channel_layout_compare(&convertLayout, &in->ch_layout) != 0) {
            swr_free(&convert);
            av_channel_layout_uninit(&convertLayout);
            if (in->ch_layout.nb_channels <= 0 || in->sample_rate <= 0)
                return "the sound's layout cannot be read";
            const int rc = swr_alloc_set_opts2(
                &convert, &encoder->ch_layout, encoder->sample_fmt, encoder->sample_rate, &in->ch_layout,
                static_cast<AVSampleFormat>(in->format), in->sample_rate, 0, nullptr);
            if (rc < 0 || swr_init(convert) < 0)
                return "the sound cannot be converted";
            av_channel_layout_copy(&convertLayout, &in->ch_layout);
            convertFormat = in->format;
            convertRate = in->sample_rate;
        }
        const int room = swr_get_out_samples(convert, in->nb_samples);
        if (room < 0 || !reserve(std::max(room, 1)))
            return "out of memory";
        const int got = swr_convert(convert, planes.data(), room,
                                    const_cast<const uint8_t**>(in->extended_data), in->nb_samples);
        if (got < 0)
            return "the sound cannot be converted";
        if (got > 0 && av_audio_fifo_write(fifo, reinterpret_cast<void**>(planes.data()), got) != got)
            return "the sound cannot be queued";
        return encodeQueued(false);
    }

    std::string decodeAll()
    {
        for (;;) {
            const int rc = avcodec_receive_frame(decoder, decoded);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
                return {};
            if (rc < 0)
                return "the sound is damaged (" + avText(rc) + ")";
            std::string why = convertFrame(decoded);
            av_frame_unref(decoded);
            if (!why.empty())
                return why;
        }
    }
};

ClipAacEncoder::ClipAacEncoder() : d(std::make_unique<Impl>()) {}

ClipAacEncoder::~ClipAacEncoder() = default;

bool ClipAacEncoder::fits(const AVOutputFormat* format, AVCodecID codec)
{
    return avformat_query_codec(format, codec, FF_COMPLIANCE_NORMAL) == 1;
}

std::string ClipAacEncoder::open(const AVCodecParameters* source, AVFormatContext* out)
{
    const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!aac)
        return "no AAC encoder";
    d->out = out;
    d->encoder = avcodec_alloc_context3(aac);
    d->decoded = av_frame_alloc();
    d->frame = av_frame_alloc();
    d->packet = av_packet_alloc();
    if (!d->encoder || !d->decoded || !d->frame || !d->packet)
        return "out of memory";
    // The source's rate where AAC has it, else 48 kHz; mono stays mono, more
    // channels than two are mixed down to stereo.
    int rate = 48000;
    for (const int* r = aac->supported_samplerates; r && *r; ++r)
        if (*r == source->sample_rate)
            rate = source->sample_rate;
    av_channel_layout_default(&d->encoder->ch_layout, source->ch_layout.nb_channels == 1 ? 1 : 2);
    d->encoder->sample_rate = rate;
    d->encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    d->encoder->bit_rate = 64000 * d->encoder->ch_layout.nb_channels;
    d->encoder->time_base = AVRational{1, rate};
    d->encoder->flags |= AV_CODEC_FLAG_BITEXACT;
    if (out->oformat->flags & AVFMT_GLOBALHEADER)
        d->encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int rc = avcodec_open2(d->encoder, aac, nullptr); rc < 0)
        return "the AAC encoder cannot be opened (" + avText(rc) + ")";
    d->fifo = av_audio_fifo_alloc(d->encoder->sample_fmt, d->channels(), 4096);
    d->stream = avformat_new_stream(out, nullptr);
    if (!d->fifo || !d->stream || avcodec_parameters_from_context(d->stream->codecpar, d->encoder) < 0)
        return "out of memory";
    d->stream->time_base = d->encoder->time_base;
    return beginSource(source);
}

bool ClipAacEncoder::writeFailed() const
{
    return d->outputFailed;
}

int ClipAacEncoder::streamIndex() const
{
    return d->stream ? d->stream->index : -1;
}

std::string ClipAacEncoder::beginSource(const AVCodecParameters* source)
{
    if (d->decoder) {
        // What the last source's decoder still holds belongs to it.
        avcodec_send_packet(d->decoder, nullptr);
        if (std::string why = d->decodeAll(); !why.empty())
            return why;
        avcodec_free_context(&d->decoder);
    }
    const AVCodec* codec = avcodec_find_decoder(source->codec_id);
    if (!codec)
        return "no decoder for the sound";
    d->decoder = avcodec_alloc_context3(codec);
    if (!d->decoder || avcodec_parameters_to_context(d->decoder, source) < 0)
        return "out of memory";
    d->decoder->pkt_timebase = AVRational{1, source->sample_rate > 0 ? source->sample_rate : 1};
    if (const int rc = avcodec_open2(d->decoder, codec, nullptr); rc < 0)
        return "the sound cannot be decoded (" + avText(rc) + ")";
    return {};
}

std::string ClipAacEncoder::add(const AVPacket* packet, int64_t atUs)
{
    if (!d->decoder)
        return "no source for the sound";
    const int rate = d->encoder->sample_rate;
    const int64_t target = av_rescale(atUs, rate, 1000000);
    const int64_t queued = d->samplesSent + av_audio_fifo_size(d->fifo);
    const int64_t slack = rate / 50;
    if (target > queued + slack) {
        if (std::string why = d->addSilence(target - queued); !why.empty())
            return why;
    } else if (target < queued - slack) {
        av_audio_fifo_drain(
            d->fifo, static_cast<int>(std::min<int64_t>(queued - target, av_audio_fifo_size(d->fifo))));
    }
    const int rc = avcodec_send_packet(d->decoder, packet);
    if (rc < 0 && rc != AVERROR(EAGAIN))
        return "the sound is damaged (" + avText(rc) + ")";
    return d->decodeAll();
}

std::string ClipAacEncoder::finish()
{
    if (!d->encoder || !d->fifo)
        return "the sound was never set up";
    if (d->decoder) {
        avcodec_send_packet(d->decoder, nullptr);
        if (std::string why = d->decodeAll(); !why.empty())
            return why;
    }
    if (std::string why = d->encodeQueued(true); !why.empty())
        return why;
    avcodec_send_frame(d->encoder, nullptr);
    return d->writePackets();
}
