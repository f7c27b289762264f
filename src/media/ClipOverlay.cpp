#include "media/ClipOverlay.h"

#include "media/AvOpen.h"
#include "media/ClipAudio.h"
#include "media/ClipEncode.h"

extern "C" {
#include <libavcodec/avcodec.h>
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
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

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
    ClipVideoWriter writer;
    auto fail = [&](const std::string& why) {
        writer.discard();
        result.ok = false;
        if (!result.canceled)
            result.error = why;
        return result;
    };
    CaptionStage captions;
    if (!captions.error().empty())
        return fail(captions.error());
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
    AVStream* soundOut = nullptr;
    int64_t soundLastDts = std::numeric_limits<int64_t>::min();
    double doneBefore = 0;
    double lastShare = -1;
    int width = 0, height = 0;

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

        if (!writer.created()) {
            width = dec->width;
            height = dec->height;
            const std::string made = writer.create(outputPath, width, height, rate, false, 23);
            if (!made.empty())
                return fail(made);
            if (sound.encode) {
                aac = std::make_unique<ClipAacEncoder>();
                const std::string why = aac->open(sound.parameters.get(), writer.format());
                if (!why.empty())
                    return fail(stretch.path + ": its sound (" + result.soundConvertedFrom +
                                ") cannot go into an MP4 as it is, and converting it to AAC failed: " + why);
                soundOut = writer.format()->streams[aac->streamIndex()];
            } else if (sound.parameters) {
                soundOut = avformat_new_stream(writer.format(), nullptr);
                if (!soundOut || avcodec_parameters_copy(soundOut->codecpar, sound.parameters.get()) < 0)
                    return fail("cannot set up the sound stream");
                soundOut->codecpar->codec_tag = 0;
                soundOut->time_base = {1, std::max(1, sound.parameters->sample_rate)};
            }
            const std::string began = writer.begin();
            if (!began.empty())
                return fail(began);
            if (soundOut) {
                const int sa = av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, v, nullptr, 0);
                ain = sa >= 0 ? in->streams[sa] : nullptr;
            }
        } else if (dec->width != width || dec->height != height) {
            return fail(stretch.path + ": its picture size differs from the clip's first recording");
        }
        const int soundIn = ain ? ain->index : -1;
        if (aac && ain) {
            const std::string why = aac->beginSource(ain->codecpar);
            if (!why.empty())
                return fail(stretch.path + ": " + why);
        }

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
        const int64_t stretchOutUs = std::llround(writer.seconds() * 1e6);
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
                            if (av_interleaved_write_frame(writer.format(), packet.get()) < 0)
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
                if (frame->width != width || frame->height != height)
                    return fail(stretch.path + ": its picture size changes inside the recording");
                CaptionPlace place;
                place.text = caption.text ? caption.text(k, inRecording) : std::string();
                place.widest = caption.widest;
                place.width = width;
                place.height = height;
                if (!captions.draw(frame.get(), {place}, filtered.get()))
                    return fail(captions.error());
                const std::string why = writer.send(filtered.get());
                av_frame_unref(filtered.get());
                if (!why.empty())
                    return fail(why);
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
    if (writer.frames() == 0)
        return fail("no picture in the clip");
    // The sound's last packets go before the file is closed.
    if (aac) {
        const std::string why = aac->finish();
        if (!why.empty())
            return fail(outputPath + ": the sound " + why);
    }
    const std::string why = writer.finish();
    if (!why.empty())
        return fail(why);
    result.durationSeconds = writer.seconds();
    result.bytesRead = writer.bytesWritten();
    result.ok = true;
    if (progress)
        progress(1.0);
    return result;
}
