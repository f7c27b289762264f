#include "TestSupport.h"

#include <algorithm>
#include <fstream>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace fs = std::filesystem;

namespace testsupport
{

namespace
{

uint32_t be32(const std::string& d, uint64_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<uint8_t>(d[at + i]);
    return v;
}

} // namespace

TempDir::TempDir()
{
    static int counter = 0;
    path = fs::temp_directory_path() /
           ("rovix-mediagen-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    fs::remove_all(path);
    fs::create_directories(path);
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(path, ec);
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<TopAtom> atomsOf(const std::string& d, uint64_t begin, uint64_t end)
{
    std::vector<TopAtom> out;
    uint64_t pos = begin;
    while (pos + 8 <= end) {
        TopAtom a;
        a.offset = pos;
        a.sizeField = be32(d, pos);
        a.size = a.sizeField;
        a.type = d.substr(pos + 4, 4);
        if (a.sizeField == 1) {
            if (pos + 16 > end)
                break;
            a.size = (static_cast<uint64_t>(be32(d, pos + 8)) << 32) | be32(d, pos + 12);
        }
        if (a.size < 8 || a.size > end - pos)
            break;
        out.push_back(a);
        pos += a.size;
    }
    return out;
}

namespace
{

const TopAtom* child(const std::vector<TopAtom>& atoms, const char* type)
{
    for (const TopAtom& a : atoms)
        if (a.type == type)
            return &a;
    return nullptr;
}

std::vector<TopAtom> inside(const std::string& d, const TopAtom& a)
{
    const uint64_t header = a.sizeField == 1 ? 16 : 8;
    return atomsOf(d, a.offset + header, a.offset + a.size);
}

} // namespace

std::vector<std::string> trackEntryTypes(const std::string& d)
{
    std::vector<std::string> out;
    const auto top = atomsOf(d, 0, d.size());
    const TopAtom* moov = child(top, "moov");
    if (!moov)
        return out;
    for (const TopAtom& trak : inside(d, *moov)) {
        if (trak.type != "trak")
            continue;
        const auto trakKids = inside(d, trak);
        const TopAtom* mdia = child(trakKids, "mdia");
        const auto mdiaKids = mdia ? inside(d, *mdia) : std::vector<TopAtom>();
        const TopAtom* minf = child(mdiaKids, "minf");
        const auto minfKids = minf ? inside(d, *minf) : std::vector<TopAtom>();
        const TopAtom* stbl = child(minfKids, "stbl");
        const auto stblKids = stbl ? inside(d, *stbl) : std::vector<TopAtom>();
        const TopAtom* stsd = child(stblKids, "stsd");
        out.push_back(stsd && stsd->size >= 24 ? d.substr(stsd->offset + 20, 4) : std::string("?"));
    }
    return out;
}

bool movieHeader(const std::string& d, uint32_t& timeScale, uint32_t& duration)
{
    const auto top = atomsOf(d, 0, d.size());
    const TopAtom* moov = child(top, "moov");
    if (!moov)
        return false;
    const auto kids = inside(d, *moov);
    const TopAtom* mvhd = child(kids, "mvhd");
    if (!mvhd || mvhd->size < 8 + 20)
        return false;
    timeScale = be32(d, mvhd->offset + 8 + 12);
    duration = be32(d, mvhd->offset + 8 + 16);
    return true;
}

MediaInfo readMedia(const std::string& path)
{
    MediaInfo info;
    AVFormatContext* fc = nullptr;
    if (avformat_open_input(&fc, path.c_str(), nullptr, nullptr) < 0) {
        info.error = "cannot open";
        return info;
    }
    AVCodecContext* cc = nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto done = [&]() {
        av_frame_free(&frame);
        av_packet_free(&pkt);
        avcodec_free_context(&cc);
        avformat_close_input(&fc);
        return info;
    };
    if (avformat_find_stream_info(fc, nullptr) < 0) {
        info.error = "no stream info";
        return done();
    }
    info.streams = static_cast<int>(fc->nb_streams);
    if (fc->nb_streams > 0)
        info.firstStreamType = av_get_media_type_string(fc->streams[0]->codecpar->codec_type);
    info.duration = fc->duration > 0 ? fc->duration / static_cast<double>(AV_TIME_BASE) : 0;
    const int vs = av_find_best_stream(fc, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (vs < 0) {
        info.error = "no video stream";
        return done();
    }
    AVStream* st = fc->streams[vs];
    info.videoCodec = avcodec_get_name(st->codecpar->codec_id);
    info.width = st->codecpar->width;
    info.height = st->codecpar->height;
    const AVCodec* dec = avcodec_find_decoder(st->codecpar->codec_id);
    cc = avcodec_alloc_context3(dec);
    avcodec_parameters_to_context(cc, st->codecpar);
    cc->thread_count = 1;
    if (!dec || avcodec_open2(cc, dec, nullptr) < 0) {
        info.error = "no decoder";
        return done();
    }
    const int fps = st->avg_frame_rate.den > 0 && st->avg_frame_rate.num > 0
                        ? (st->avg_frame_rate.num + st->avg_frame_rate.den / 2) / st->avg_frame_rate.den
                        : 1;
    auto take = [&]() {
        while (avcodec_receive_frame(cc, frame) == 0) {
            if (info.decodedFrames % fps == 0 && frame->width * frame->height <= 640 * 360) {
                std::vector<uint8_t> luma(static_cast<size_t>(frame->width * frame->height));
                for (int y = 0; y < frame->height; ++y)
                    std::copy_n(frame->data[0] + y * frame->linesize[0], frame->width,
                                &luma[y * frame->width]);
                info.secondPictures.push_back(std::move(luma));
            }
            double su = 0, sv = 0;
            const int cw = (frame->width + 1) / 2, ch = (frame->height + 1) / 2;
            for (int y = 0; y < ch; ++y)
                for (int x = 0; x < cw; ++x) {
                    su += frame->data[1][y * frame->linesize[1] + x];
                    sv += frame->data[2][y * frame->linesize[2] + x];
                }
            info.meanU = su / (cw * ch);
            info.meanV = sv / (cw * ch);
            ++info.decodedFrames;
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fc, pkt) >= 0) {
        if (pkt->stream_index == vs) {
            if (pkt->flags & AV_PKT_FLAG_KEY)
                ++info.keyPackets;
            if (avcodec_send_packet(cc, pkt) == 0)
                take();
        }
        av_packet_unref(pkt);
    }
    avcodec_send_packet(cc, nullptr);
    take();
    info.ok = true;
    return done();
}

} // namespace testsupport
