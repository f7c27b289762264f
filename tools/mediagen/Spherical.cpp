// 360-degree test recordings: the equirectangular picture and the
// spherical-video metadata boxes added to a finished MOV/MP4.
#include "Common.h"
#include "MediaGen.h"
#include "Picture.h"

#include <algorithm>
#include <cstring>

namespace mediagen
{

namespace
{

struct Yuv {
    uint8_t y, u, v;
};

// Front (the middle of the picture), right, back (both edges), left.
constexpr Yuv kFront{81, 90, 240}; // red
constexpr Yuv kRight{145, 54, 34}; // green
constexpr Yuv kBack{41, 240, 110}; // blue
constexpr Yuv kLeft{210, 16, 146}; // yellow

const Yuv& quadrantAt(double s)
{
    if (s >= 0.375 && s < 0.625)
        return kFront;
    if (s >= 0.625 && s < 0.875)
        return kRight;
    if (s >= 0.125 && s < 0.375)
        return kLeft;
    return kBack;
}

} // namespace

void drawEquirectFrame(const FrameInfo& info, Plane& y, Plane& u, Plane& v)
{
    const int W = y.width, H = y.height;
    if (W <= 0 || H <= 0)
        return;
    // Grid lines every 15 degrees: 24 around, 12 from pole to pole.
    const int line = std::max(1, W / 480);
    const auto onGrid = [line](int pos, int size, int steps) {
        const int step = size / steps;
        return step > 0 && (pos % step) < line;
    };
    for (int row = 0; row < H; ++row) {
        uint8_t* p = y.data + static_cast<std::ptrdiff_t>(row) * y.stride;
        const bool rowLine = onGrid(row, H, 12);
        for (int col = 0; col < W; ++col) {
            const Yuv& c = quadrantAt((col + 0.5) / W);
            p[col] = rowLine || onGrid(col, W, 24) ? static_cast<uint8_t>(c.y / 3) : c.y;
        }
    }
    for (int row = 0; row < u.height; ++row) {
        uint8_t* pu = u.data + static_cast<std::ptrdiff_t>(row) * u.stride;
        uint8_t* pv = v.data + static_cast<std::ptrdiff_t>(row) * v.stride;
        for (int col = 0; col < u.width; ++col) {
            const Yuv& c = quadrantAt((2 * col + 1.0) / W);
            pu[col] = c.u;
            pv[col] = c.v;
        }
    }
    // The front: a white cross in the middle.
    const int arm = std::max(4, H / 16), thick = std::max(2, H / 90);
    const int cx = W / 2, cy = H / 2;
    for (int row = cy - arm; row < cy + arm; ++row)
        for (int col = cx - arm; col < cx + arm; ++col) {
            if (row < 0 || row >= H || col < 0 || col >= W)
                continue;
            if (std::abs(row - cy) < thick || std::abs(col - cx) < thick) {
                y.data[static_cast<std::ptrdiff_t>(row) * y.stride + col] = 235;
                u.data[static_cast<std::ptrdiff_t>(row / 2) * u.stride + col / 2] = 128;
                v.data[static_cast<std::ptrdiff_t>(row / 2) * v.stride + col / 2] = 128;
            }
        }
    // The frame number in the lower back quadrant, so playback is visible.
    const std::string number = std::to_string(info.frame);
    const int cell = std::max(6, H / 16);
    drawText(y, W / 40, H - 2 * cell - H / 20, cell, number, 235);
}

namespace
{

std::string box(const char* type, const std::string& body)
{
    std::string s(8, '\0');
    putBe32(s, 0, static_cast<uint32_t>(8 + body.size()));
    std::memcpy(&s[4], type, 4);
    return s + body;
}

std::string fullBox(const char* type, const std::string& body)
{
    return box(type, std::string(4, '\0') + body);
}

// The box of that type among the children in [begin, end); npos when none.
std::size_t findChild(const std::string& s, std::size_t begin, std::size_t end, const char* type)
{
    std::size_t at = begin;
    while (at + 8 <= end) {
        const uint32_t size = getBe32(s, at);
        if (size < 8 || size > end - at)
            return std::string::npos;
        if (std::memcmp(&s[at + 4], type, 4) == 0)
            return at;
        at += size;
    }
    return std::string::npos;
}

} // namespace

bool addSphericalMetadata(const std::string& path, SphericalTag tag, std::string* error)
{
    std::string s;
    if (!readFile(path, s, error))
        return false;
    // The boxes go into the movie header, which must come after the media
    // data so that no chunk offset moves.
    const std::size_t mdat = findChild(s, 0, s.size(), "mdat");
    const std::size_t moov = findChild(s, 0, s.size(), "moov");
    if (mdat == std::string::npos || moov == std::string::npos || moov < mdat)
        return fail(error, "spherical metadata: the movie header must follow the media data");
    std::vector<std::size_t> chain{moov};
    const auto descend = [&](const char* type, std::size_t skip) {
        const std::size_t parent = chain.back();
        const std::size_t found = findChild(s, parent + 8 + skip, parent + getBe32(s, parent), type);
        if (found == std::string::npos)
            return false;
        chain.push_back(found);
        return true;
    };
    // The first track holds the video in the generator's files.
    if (!descend("trak", 0))
        return fail(error, "spherical metadata: no track");
    std::string added;
    if (tag == SphericalTag::XmpUuid) {
        static const uint8_t kUuid[16] = {0xff, 0xcc, 0x82, 0x63, 0xf8, 0x55, 0x4a, 0x93,
                                          0x88, 0x14, 0x58, 0x7a, 0x02, 0x52, 0x1f, 0xdd};
        const std::string xml = "<?xml version=\"1.0\"?><rdf:SphericalVideo "
                                "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                                "xmlns:GSpherical=\"http://ns.google.com/videos/1.0/spherical/\">"
                                "<GSpherical:Spherical>true</GSpherical:Spherical>"
                                "<GSpherical:Stitched>true</GSpherical:Stitched>"
                                "<GSpherical:StitchingSoftware>rovixmediagen</GSpherical:StitchingSoftware>"
                                "<GSpherical:ProjectionType>equirectangular</GSpherical:ProjectionType>"
                                "</rdf:SphericalVideo>";
        added = box("uuid", std::string(reinterpret_cast<const char*>(kUuid), 16) + xml);
    } else {
        if (!descend("mdia", 0) || !descend("minf", 0) || !descend("stbl", 0) || !descend("stsd", 0) ||
            !descend("avc1", 8))
            return fail(error, "spherical metadata: no avc1 sample entry");
        const std::string st3d = fullBox("st3d", std::string(1, '\0')); // monoscopic
        const std::string svhd = fullBox("svhd", std::string("rovixmediagen") + '\0');
        const std::string prhd = fullBox("prhd", std::string(12, '\0')); // yaw, pitch, roll 0
        const std::string equi = fullBox("equi", std::string(16, '\0')); // no cropping
        added = st3d + box("sv3d", svhd + box("proj", prhd + equi));
    }
    const std::size_t innermost = chain.back();
    const std::size_t insertAt = innermost + getBe32(s, innermost);
    s.insert(insertAt, added);
    for (std::size_t at : chain)
        putBe32(s, at, static_cast<uint32_t>(getBe32(s, at) + added.size()));
    return writeFile(path, s, error);
}

} // namespace mediagen
