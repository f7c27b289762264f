#include "media/ClipCutter.h"

#include "media/AvOpen.h"
#include "media/ClipAudio.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr AVRational kMicro{1, 1000000};

struct OutputCloser {
    void operator()(AVFormatContext* c) const
    {
        if (!c)
            return;
        if (c->pb && !(c->oformat->flags & AVFMT_NOFILE))
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};

struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

std::string avText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

long long fileSize(const std::string& path)
{
    struct stat st {
    };
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<long long>(st.st_size);
}

// Everything a decoder is told before the first picture: the codec, the
// picture's size and the codec's own set-up (the avcC or hvcC record with its
// parameter sets, profile and sample format, or those FFmpeg found in the
// stream). A stream copied on under another stream's set-up decodes as garbage.
std::string videoSetup(const AVCodecParameters* p)
{
    std::string key =
        std::to_string(p->codec_id) + "/" + std::to_string(p->width) + "x" + std::to_string(p->height) + "/";
    if (p->extradata && p->extradata_size > 0)
        key.append(reinterpret_cast<const char*>(p->extradata), static_cast<std::size_t>(p->extradata_size));
    return key;
}

// True when some sample of the stream that plays before `untilTs` lies,
// by the file's own index, past the file's end: the file was cut short.
bool indexReachesPast(AVStream* stream, int64_t untilTs, long long fileSize)
{
    const int count = avformat_index_get_entries_count(stream);
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry* e = avformat_index_get_entry(stream, i);
        if (!e || e->timestamp >= untilTs)
            continue;
        if (e->pos < 0 || e->pos + e->size > fileSize)
            return true;
    }
    return false;
}

// The stretch's packets land after everything written so far, per stream.
struct StreamMap {
    int in = -1;
    int out = -1;
    int64_t nextDts = 0; // output time base: where the next stretch begins
    int64_t lastDts = std::numeric_limits<int64_t>::min();
};

} // namespace

std::string pmClipVideoSetup(const std::string& path)
{
    media::OpenedFormat opened = media::openLocalFile(path, std::chrono::milliseconds(0));
    if (!opened.context)
        return {};
    AVFormatContext* in = opened.context.get();
    int v = av_find_best_stream(in, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    // A container that states the set-up (MP4, MOV) needs no decoding; one
    // that carries it in the stream (AVI) is read until FFmpeg finds it.
    if (v < 0 || !in->streams[v]->codecpar->extradata_size || in->streams[v]->codecpar->width <= 0) {
        if (avformat_find_stream_info(in, nullptr) < 0)
            return {};
        v = av_find_best_stream(in, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    }
    return v < 0 ? std::string() : videoSetup(in->streams[v]->codecpar);
}

ClipCutResult pmCutClip(const std::vector<ClipStretch>& stretches, const std::string& outputPath,
                        const std::function<void(double)>& progress, const std::atomic<bool>* cancel)
{
    ClipCutResult result;
    std::unique_ptr<AVFormatContext, OutputCloser> out;
    bool created = false;
    auto fail = [&](const std::string& why) {
        out.reset();
        if (created)
            ::unlink(outputPath.c_str());
        result.ok = false;
        if (!result.canceled)
            result.error = why;
        return result;
    };
    if (stretches.empty())
        return fail("nothing to cut");

    double total = 0;
    for (const ClipStretch& s : stretches)
        total += std::max(0.0, s.toSeconds - s.fromSeconds);
    if (!(total > 0))
        return fail("the clip is empty");

    {
        AVFormatContext* raw = nullptr;
        if (avformat_alloc_output_context2(&raw, nullptr, "mp4", outputPath.c_str()) < 0 || !raw)
            return fail("cannot make an MP4 writer");
        out.reset(raw);
    }
    StreamMap video, audio;
    std::string firstSetup;
    // Sound the MP4 cannot hold as it is becomes AAC.
    std::unique_ptr<ClipAacEncoder> aac;
    double doneBefore = 0; // seconds of stretches finished
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!packet)
        return fail("out of memory");

    for (std::size_t k = 0; k < stretches.size(); ++k) {
        const ClipStretch& stretch = stretches[k];
        const long long size = fileSize(stretch.path);
        if (size <= 0)
            return fail(stretch.path + ": not a readable recording");
        media::OpenedFormat opened = media::openLocalFile(stretch.path, std::chrono::milliseconds(0));
        if (!opened.context)
            return fail(stretch.path + ": cannot be opened (" + avText(opened.error) + ")");
        AVFormatContext* in = opened.context.get();
        if (avformat_find_stream_info(in, nullptr) < 0)
            return fail(stretch.path + ": no stream information");
        const int v = av_find_best_stream(in, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (v < 0)
            return fail(stretch.path + ": no video stream");
        int a = av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, v, nullptr, 0);
        if (a < 0)
            a = -1;
        AVStream* vin = in->streams[v];

        if (k == 0) {
            AVStream* vs = avformat_new_stream(out.get(), nullptr);
            if (!vs || avcodec_parameters_copy(vs->codecpar, vin->codecpar) < 0)
                return fail("cannot set up the video stream");
            // Keep the source's sample entry where the MP4 knows it: left at 0 the muxer tags H.265 as
            // hev1, which some players refuse, though an hvc1 source never needed in-band parameter sets.
            vs->codecpar->codec_tag =
                av_codec_get_id(out->oformat->codec_tag, vin->codecpar->codec_tag) == vin->codecpar->codec_id
                    ? vin->codecpar->codec_tag
                    : 0;
            vs->time_base = vin->time_base;
            video.out = vs->index;
            firstSetup = videoSetup(vin->codecpar);
            if (a >= 0 && !ClipAacEncoder::fits(out->oformat, in->streams[a]->codecpar->codec_id)) {
                aac = std::make_unique<ClipAacEncoder>();
                const std::string why = aac->open(in->streams[a]->codecpar, out.get());
                if (!why.empty())
                    return fail(stretch.path + ": its sound (" +
                                avcodec_get_name(in->streams[a]->codecpar->codec_id) +
                                ") cannot go into an MP4 as it is, and converting it to AAC failed: " + why);
                audio.out = aac->streamIndex();
                result.soundConvertedFrom = avcodec_get_name(in->streams[a]->codecpar->codec_id);
            } else if (a >= 0) {
                AVStream* as = avformat_new_stream(out.get(), nullptr);
                if (!as || avcodec_parameters_copy(as->codecpar, in->streams[a]->codecpar) < 0)
                    return fail("cannot set up the audio stream");
                as->codecpar->codec_tag = 0;
                as->time_base = in->streams[a]->time_base;
                audio.out = as->index;
            }
            if (avio_open(&out->pb, outputPath.c_str(), AVIO_FLAG_WRITE) < 0)
                return fail(outputPath + ": cannot be created");
            created = true;
            if (const int rc = avformat_write_header(out.get(), nullptr); rc < 0)
                return fail(outputPath + ": cannot be written (" + avText(rc) + ")");
        } else if (videoSetup(vin->codecpar) != firstSetup) {
            return fail(stretch.path + ": its video differs from the clip's first recording");
        }
        video.in = v;
        audio.in = audio.out >= 0 ? a : -1;
        if (aac && audio.in >= 0) {
            const std::string why = aac->beginSource(in->streams[a]->codecpar);
            if (!why.empty())
                return fail(stretch.path + ": " + why);
        }

        // Where this stretch begins in the source: the key frame at or before
        // the start for the first one, the source's own start for the others
        // (they join end to end). Timestamps are measured from the source's
        // first presentation time so a stream that does not start at 0 keeps its place.
        const int64_t sourceStart = vin->start_time != AV_NOPTS_VALUE ? vin->start_time : 0;
        const int64_t fromTs =
            sourceStart + av_rescale_q(static_cast<int64_t>(std::llround(stretch.fromSeconds * 1e6)), kMicro,
                                       vin->time_base);
        const int64_t toTs =
            sourceStart +
            av_rescale_q(static_cast<int64_t>(std::llround(stretch.toSeconds * 1e6)), kMicro, vin->time_base);
        // A recording cut short while its index still states the whole
        // length: the pictures past the cut cannot be read, so the clip would
        // hold less than it says, or a last picture that fails to decode.
        if (indexReachesPast(vin, toTs, size) ||
            (audio.in >= 0 &&
             indexReachesPast(
                 in->streams[a],
                 av_rescale_q(toTs - sourceStart, vin->time_base, in->streams[a]->time_base) +
                     (in->streams[a]->start_time != AV_NOPTS_VALUE ? in->streams[a]->start_time : 0),
                 size)))
            return fail(stretch.path + ": cut short (its data ends before the stretch the clip needs)");
        if (stretch.fromSeconds > 0 && av_seek_frame(in, v, fromTs, AVSEEK_FLAG_BACKWARD) < 0)
            return fail(stretch.path + ": cannot seek to the clip's start");

        int64_t baseUs = std::numeric_limits<int64_t>::min(); // the stretch's first video time, microseconds
        int64_t endOut[2] = {0, 0}; // per output stream, its end in output time base
        long long bytes = 0;
        long long packets = 0;
        bool videoDone = false;
        bool sawVideo = false;
        double lastShare = -1;
        for (;;) {
            if (cancel && cancel->load()) {
                result.canceled = true;
                return fail("canceled");
            }
            const int rc = av_read_frame(in, packet.get());
            if (rc == AVERROR_EOF)
                break;
            if (rc < 0)
                return fail(stretch.path + ": damaged (" + avText(rc) + ")");
            std::unique_ptr<AVPacket, void (*)(AVPacket*)> unref(packet.get(), av_packet_unref);
            const bool isVideo = packet->stream_index == v;
            const bool isAudio = packet->stream_index == audio.in && audio.in >= 0;
            if (!isVideo && !isAudio)
                continue;
            // No file yields more packet bytes, or more packets, than it holds.
            bytes += packet->size;
            if (bytes > size || ++packets > size)
                return fail(stretch.path + ": states more data than the file holds");
            if ((packet->flags & AV_PKT_FLAG_CORRUPT) ||
                (packet->pos >= 0 && packet->pos + packet->size > size))
                return fail(stretch.path + ": cut short (a picture or sound lies past the file's end)");
            AVStream* is = in->streams[packet->stream_index];
            if (packet->dts == AV_NOPTS_VALUE)
                packet->dts = packet->pts;
            if (packet->pts == AV_NOPTS_VALUE)
                packet->pts = packet->dts;
            if (packet->pts == AV_NOPTS_VALUE)
                continue;
            const int64_t ptsUs =
                av_rescale_q(packet->pts - (isVideo ? sourceStart : 0), is->time_base, kMicro);
            if (isVideo) {
                if (!sawVideo) {
                    // After the seek the first video packet must be a key frame.
                    if (!(packet->flags & AV_PKT_FLAG_KEY))
                        continue;
                    sawVideo = true;
                    baseUs = ptsUs;
                    if (k == 0)
                        result.leadSeconds =
                            std::max(0.0, stretch.fromSeconds - static_cast<double>(ptsUs) / 1e6);
                }
                if (packet->pts >= toTs) {
                    videoDone = true;
                    if (audio.in < 0)
                        break;
                    continue;
                }
            } else {
                if (baseUs == std::numeric_limits<int64_t>::min())
                    continue; // audio before the first picture is dropped
                const int64_t audioStart = is->start_time != AV_NOPTS_VALUE ? is->start_time : 0;
                const int64_t relUs = av_rescale_q(packet->pts - audioStart, is->time_base, kMicro);
                if (relUs < baseUs)
                    continue;
                if (relUs >= av_rescale_q(toTs - sourceStart, vin->time_base, kMicro)) {
                    if (videoDone)
                        break;
                    continue;
                }
            }
            if (isAudio && aac) {
                // Heard where it lies against this stretch's first picture.
                const int64_t audioStart = is->start_time != AV_NOPTS_VALUE ? is->start_time : 0;
                const int64_t relUs = av_rescale_q(packet->pts - audioStart, is->time_base, kMicro);
                const int64_t atUs =
                    av_rescale_q(video.nextDts, out->streams[video.out]->time_base, kMicro) + relUs - baseUs;
                result.bytesRead += packet->size;
                const std::string why = aac->add(packet.get(), atUs);
                if (!why.empty())
                    return fail((aac->writeFailed() ? outputPath : stretch.path) + ": " + why);
                continue;
            }
            StreamMap& map = isVideo ? video : audio;
            AVStream* os = out->streams[map.out];
            const int64_t srcStart =
                isVideo ? sourceStart : (is->start_time != AV_NOPTS_VALUE ? is->start_time : 0);
            const int64_t shift = av_rescale_q(baseUs, kMicro, is->time_base) + srcStart;
            packet->pts = av_rescale_q(packet->pts - shift, is->time_base, os->time_base) + map.nextDts;
            packet->dts = av_rescale_q(packet->dts - shift, is->time_base, os->time_base) + map.nextDts;
            packet->duration = av_rescale_q(packet->duration, is->time_base, os->time_base);
            if (packet->dts <= map.lastDts)
                packet->dts = map.lastDts + 1; // never backwards, whatever the source says
            if (packet->pts < packet->dts)
                packet->pts = packet->dts;
            map.lastDts = packet->dts;
            endOut[isVideo ? 0 : 1] =
                std::max(endOut[isVideo ? 0 : 1], packet->pts + std::max<int64_t>(packet->duration, 1));
            packet->stream_index = map.out;
            packet->pos = -1;
            result.bytesRead += packet->size;
            if (av_interleaved_write_frame(out.get(), packet.get()) < 0)
                return fail(outputPath + ": cannot be written (disk full?)");
            if (isVideo && progress) {
                const double share =
                    std::min(1.0, (doneBefore + static_cast<double>(ptsUs - baseUs) / 1e6) / total);
                if (share - lastShare >= 0.01) {
                    lastShare = share;
                    progress(share);
                }
            }
        }
        if (!sawVideo)
            return fail(stretch.path + ": no picture in the clip's stretch");
        // A source that ends well before its stretch's end is cut short.
        const double reached = static_cast<double>(av_rescale_q(endOut[0] - video.nextDts,
                                                                out->streams[video.out]->time_base, kMicro)) /
                               1e6;
        const double wanted = stretch.toSeconds - stretch.fromSeconds + result.leadSeconds * (k == 0 ? 1 : 0);
        if (!videoDone && reached + 0.5 < wanted)
            return fail(stretch.path + ": ends before the recording's stated length (cut short?)");
        video.nextDts = endOut[0];
        if (audio.out >= 0) {
            // Audio resumes where the pictures resume, so both stay in step.
            audio.nextDts = av_rescale_q(endOut[0], out->streams[video.out]->time_base,
                                         out->streams[audio.out]->time_base);
            audio.lastDts = std::min(audio.lastDts, audio.nextDts - 1);
        }
        doneBefore += stretch.toSeconds - stretch.fromSeconds;
    }
    if (aac) {
        const std::string why = aac->finish();
        if (!why.empty())
            return fail(outputPath + ": the sound " + why);
    }
    if (av_write_trailer(out.get()) < 0)
        return fail(outputPath + ": cannot be finished (disk full?)");
    result.durationSeconds =
        static_cast<double>(av_rescale_q(video.nextDts, out->streams[video.out]->time_base, kMicro)) / 1e6;
    if (out->pb) {
        if (avio_closep(&out->pb) < 0)
            return fail(outputPath + ": cannot be closed (disk full?)");
    }
    out.reset();
    result.ok = true;
    if (progress)
        progress(1.0);
    return result;
}
