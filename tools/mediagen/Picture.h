#pragma once
// The generated picture: a moving stripe pattern, a bar that sweeps once per
// second, and the camera clock and frame number in seven-segment digits, so a
// screenshot tells which second and which camera it shows.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mediagen
{

// Blocks in the frame code row (RecordingSpec::frameCode).
constexpr int kFrameCodeBits = 24;

struct Plane {
    uint8_t* data = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;
};

struct FrameInfo {
    int frame = 0;
    int fps = 10;
    int hour = 0, minute = 0, second = 0; // camera clock at this frame
    bool rear = false;
    uint32_t seed = 0;
    bool frameCode = false;                      // draw RecordingSpec::frameCode's blocks
    std::vector<std::array<int, 4>> finePatches; // RecordingSpec::finePatches
};

// Width in pixels of a text drawn with the given digit cell.
int textWidth(const std::string& text, int cell);
// Draws digits, ':', '-', 'F' and 'r' into a luma plane.
void drawText(Plane& y, int x, int top, int cell, const std::string& text, uint8_t ink);
// Fills a 4:2:0 picture.
void drawFrame(const FrameInfo& info, Plane& y, Plane& u, Plane& v);
// Fills a 4:2:0 equirectangular picture (see RecordingSpec::equirect).
void drawEquirectFrame(const FrameInfo& info, Plane& y, Plane& u, Plane& v);

} // namespace mediagen
