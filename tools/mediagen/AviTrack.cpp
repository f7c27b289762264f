// Position ("SLLT") and G-sensor ("SGLT") chunks as some cameras append them
// to their AVI recordings, as top-level RIFF chunks after the index.
#include "Common.h"
#include "MediaGen.h"

#include <cmath>
#include <cstring>

namespace mediagen
{

namespace
{

void putCoordinate(std::array<uint8_t, 28>& r, std::size_t at, double value)
{
    // Whole degrees (signed 16-bit) and the fraction in 1e-8 degree; the sign of
    // the whole part carries the sign, so values between -1 and 0 cannot be told
    // from positive ones. Our routes never go there.
    const double a = std::fabs(value);
    long whole = static_cast<long>(std::floor(a));
    long long frac = std::llround((a - static_cast<double>(whole)) * 1e8);
    if (frac >= 100000000LL) {
        ++whole;
        frac -= 100000000LL;
    }
    const int16_t w = static_cast<int16_t>(value < 0 ? -whole : whole);
    const uint16_t uw = static_cast<uint16_t>(w);
    const uint32_t f = static_cast<uint32_t>(frac);
    r[at] = static_cast<uint8_t>(uw >> 8);
    r[at + 1] = static_cast<uint8_t>(uw);
    for (int i = 0; i < 4; ++i)
        r[at + 2 + i] = static_cast<uint8_t>(f >> (24 - 8 * i));
}

void putAxis(std::array<uint8_t, 20>& r, std::size_t at, double g)
{
    const double a = std::min(31.99999, std::fabs(g));
    long whole = static_cast<long>(std::floor(a));
    long frac = std::lround((a - static_cast<double>(whole)) * 1e5);
    if (frac >= 100000) {
        ++whole;
        frac -= 100000;
    }
    r[at] = static_cast<uint8_t>((g < 0 ? 0x80 : 0) | (whole & 0x1f));
    const uint32_t f = static_cast<uint32_t>(static_cast<int32_t>(frac));
    for (int i = 0; i < 4; ++i)
        r[at + 1 + i] = static_cast<uint8_t>(f >> (24 - 8 * i));
}

std::string chunk(const char id[4], const std::string& payload)
{
    std::string c(id, 4);
    c.resize(8);
    putLe32(c, 4, static_cast<uint32_t>(payload.size()));
    return c + payload;
}

std::string positionChunk(const std::vector<TrackSample>& samples)
{
    std::string payload;
    for (const TrackSample& s : samples) {
        const auto r = encodePositionRecord(s);
        payload.append(reinterpret_cast<const char*>(r.data()), r.size());
    }
    return chunk("SLLT", payload);
}

std::string sensorChunk(const std::vector<TrackSample>& samples)
{
    std::string payload;
    for (const TrackSample& s : samples) {
        const auto r = encodeSensorRecord(s);
        payload.append(reinterpret_cast<const char*>(r.data()), r.size());
    }
    return chunk("SGLT", payload);
}

} // namespace

std::array<uint8_t, 28> encodePositionRecord(const TrackSample& s)
{
    std::array<uint8_t, 28> r{};
    r[0] = 'G'; // bytes 0..4 are not read; the camera keeps a tag and a counter there
    if (s.fix) {
        putCoordinate(r, 5, s.lon);
        putCoordinate(r, 11, s.lat);
    }
    const long speed = std::lround(std::max(0.0, std::min(65535.0, s.speedKmh)));
    r[19] = static_cast<uint8_t>(speed >> 8);
    r[20] = static_cast<uint8_t>(speed);
    return r;
}

std::array<uint8_t, 20> encodeSensorRecord(const TrackSample& s)
{
    std::array<uint8_t, 20> r{};
    r[0] = 'S';
    putAxis(r, 5, s.gx);
    putAxis(r, 10, s.gy);
    putAxis(r, 15, s.gz);
    return r;
}

double decodeCoordinate(int16_t whole, uint32_t fraction)
{
    return whole >= 0 ? whole + fraction / 1e8 : whole - fraction / 1e8;
}

double decodeAxis(uint8_t signWhole, int32_t fraction)
{
    int low = signWhole & 0x3f;
    if (low & 0x20)
        low -= 64;
    double v = low + fraction / 1e5;
    return (signWhole & 0x80) ? -v : v;
}

bool addAviTrackChunks(const std::string& path, const AviTrackSpec& track, std::string* error)
{
    std::string data;
    if (!readFile(path, data, error))
        return false;
    if (data.size() < 12 || data.compare(0, 4, "RIFF") != 0 || data.compare(8, 4, "AVI ") != 0)
        return fail(error, path + " is not an AVI file");
    // Find the top-level index chunk by walking the chunks the muxer wrote.
    std::size_t pos = 12, idx = std::string::npos;
    while (pos + 8 <= data.size()) {
        const uint32_t size = getLe32(data, pos + 4);
        if (data.compare(pos, 4, "idx1") == 0) {
            idx = pos;
            break;
        }
        pos += 8 + size + (size & 1);
    }
    if (idx == std::string::npos)
        return fail(error, path + " has no index chunk");
    if (pos + 8 + getLe32(data, idx + 4) != data.size())
        return fail(error, path + " has data after its index");

    const std::string filler(static_cast<std::size_t>(std::max(0, track.fillerWords)) * 4, '\0');
    switch (track.layout) {
    case AviTrackLayout::PositionAndSensor:
        data += filler + positionChunk(track.positions) + sensorChunk(track.sensor);
        break;
    case AviTrackLayout::SensorOnly:
        data += filler + sensorChunk(track.sensor);
        break;
    case AviTrackLayout::PositionOnly:
        data += filler + positionChunk(track.positions);
        break;
    case AviTrackLayout::GseaFirst:
        data += filler + chunk("GSEA", std::string(8, '\0')) + positionChunk(track.positions) +
                sensorChunk(track.sensor);
        break;
    case AviTrackLayout::SensorBeforeIndex:
        // Index entries count from the movie list, so inserting before the index moves nothing they point at.
        data.insert(idx, sensorChunk(track.sensor));
        data += filler + positionChunk(track.positions);
        break;
    }
    putLe32(data, 4, static_cast<uint32_t>(data.size() - 8));
    return writeFile(path, data, error);
}

bool writeAviWithTrackChunks(const std::string& path, const RecordingSpec& cfg, const AviTrackSpec& track,
                             std::string* error)
{
    RecordingSpec s = cfg;
    s.container = Container::Avi;
    return writeRecording(path, s, error) && addAviTrackChunks(path, track, error);
}

} // namespace mediagen
