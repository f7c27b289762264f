#include "Picture.h"

#include <algorithm>
#include <cstdio>

namespace mediagen
{

namespace
{

// Segments: a top, b upper right, c lower right, d bottom, e lower left, f upper left, g middle.
enum : unsigned { A = 1, B = 2, C = 4, D = 8, E = 16, F = 32, G = 64 };

unsigned segmentsOf(char ch)
{
    switch (ch) {
    case '0':
        return A | B | C | D | E | F;
    case '1':
        return B | C;
    case '2':
        return A | B | G | E | D;
    case '3':
        return A | B | G | C | D;
    case '4':
        return F | G | B | C;
    case '5':
        return A | F | G | C | D;
    case '6':
        return A | F | G | E | C | D;
    case '7':
        return A | B | C;
    case '8':
        return A | B | C | D | E | F | G;
    case '9':
        return A | B | C | D | F | G;
    case 'F':
        return A | E | F | G;
    case 'r':
        return E | G;
    case '-':
        return G;
    default:
        return 0;
    }
}

void fillRect(Plane& p, int x0, int y0, int w, int h, uint8_t value)
{
    const int x1 = std::min(p.width, x0 + w);
    const int y1 = std::min(p.height, y0 + h);
    for (int y = std::max(0, y0); y < y1; ++y) {
        uint8_t* row = p.data + static_cast<std::ptrdiff_t>(y) * p.stride;
        for (int x = std::max(0, x0); x < x1; ++x)
            row[x] = value;
    }
}

} // namespace

int textWidth(const std::string& text, int cell)
{
    int w = 0;
    for (char ch : text)
        w += ch == ':' ? cell / 2 : cell;
    return w;
}

void drawText(Plane& y, int x, int top, int cell, const std::string& text, uint8_t ink)
{
    const int t = std::max(1, cell / 6);        // stroke
    const int w = std::max(3, cell - cell / 4); // glyph width, the rest is gap
    const int h = 2 * w;
    for (char ch : text) {
        if (ch == ':') {
            fillRect(y, x + cell / 4 - t / 2, top + h / 3 - t / 2, t, t, ink);
            fillRect(y, x + cell / 4 - t / 2, top + 2 * h / 3 - t / 2, t, t, ink);
            x += cell / 2;
            continue;
        }
        const unsigned s = segmentsOf(ch);
        const int mid = top + h / 2 - t / 2;
        if (s & A)
            fillRect(y, x, top, w, t, ink);
        if (s & G)
            fillRect(y, x, mid, w, t, ink);
        if (s & D)
            fillRect(y, x, top + h - t, w, t, ink);
        if (s & F)
            fillRect(y, x, top, t, h / 2, ink);
        if (s & B)
            fillRect(y, x + w - t, top, t, h / 2, ink);
        if (s & E)
            fillRect(y, x, top + h / 2, t, h - h / 2, ink);
        if (s & C)
            fillRect(y, x + w - t, top + h / 2, t, h - h / 2, ink);
        x += cell;
    }
}

void drawFrame(const FrameInfo& info, Plane& y, Plane& u, Plane& v)
{
    const int W = y.width;
    const int H = y.height;
    const int stripe = std::max(4, W / 16);
    const int shift = info.frame * std::max(1, W / 80);
    // The bar crosses the picture once per second, so every second looks different.
    const int barX = info.fps > 0 ? (info.frame % info.fps) * W / info.fps : 0;
    const int barW = std::max(2, W / 24);
    const uint8_t base = static_cast<uint8_t>(40 + (info.seed % 5) * 6);
    for (int row = 0; row < H; ++row) {
        uint8_t* p = y.data + static_cast<std::ptrdiff_t>(row) * y.stride;
        const int shade = base + (row * 40) / H;
        // Walk the diagonal stripes in runs instead of dividing per pixel.
        int phase = (row + shift) % (2 * stripe);
        int col = 0;
        while (col < W) {
            const int band = phase / stripe;
            const int run = std::min(W - col, stripe - phase % stripe);
            std::fill_n(p + col, run, static_cast<uint8_t>(shade + band * 36));
            col += run;
            phase = (phase + run) % (2 * stripe);
        }
        const int bar0 = std::min(W, barX), bar1 = std::min(W, barX + barW);
        if (bar1 > bar0)
            std::fill_n(p + bar0, bar1 - bar0, static_cast<uint8_t>(200));
    }
    // Front pictures lean blue, rear ones red; the seed nudges the hue.
    const int nudge = static_cast<int>(info.seed % 7) * 3;
    const uint8_t cu = static_cast<uint8_t>(info.rear ? 100 + nudge : 160 + nudge);
    const uint8_t cv = static_cast<uint8_t>(info.rear ? 170 - nudge : 110 - nudge);
    for (int row = 0; row < u.height; ++row) {
        std::fill_n(u.data + static_cast<std::ptrdiff_t>(row) * u.stride, u.width, cu);
        std::fill_n(v.data + static_cast<std::ptrdiff_t>(row) * v.stride, v.width, cv);
    }

    // Two lines of digits on a dark box: the camera clock and the frame number.
    const int cell = std::max(6, std::min(W / 14, H / 7));
    const int glyphH = 2 * std::max(3, cell - cell / 4);
    const int margin = std::max(2, cell / 3);
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", info.hour % 100, info.minute % 100,
                  info.second % 100);
    char frame[24];
    std::snprintf(frame, sizeof frame, "%c %05d", info.rear ? 'r' : 'F', info.frame % 100000);
    const int boxW = std::max(textWidth(clock, cell), textWidth(frame, cell)) + 2 * margin;
    const int boxH = 2 * glyphH + 3 * margin;
    fillRect(y, 0, 0, boxW, boxH, 16);
    for (int row = 0; row < std::min(u.height, (boxH + 1) / 2); ++row) {
        std::fill_n(u.data + static_cast<std::ptrdiff_t>(row) * u.stride, std::min(u.width, (boxW + 1) / 2),
                    128);
        std::fill_n(v.data + static_cast<std::ptrdiff_t>(row) * v.stride, std::min(v.width, (boxW + 1) / 2),
                    128);
    }
    drawText(y, margin, margin, cell, clock, 235);
    drawText(y, margin, 2 * margin + glyphH, cell, frame, 235);

    if (info.frameCode) {
        const long code = static_cast<long>((info.hour * 3600 + info.minute * 60 + info.second) % 86400) *
                              std::max(1, info.fps) +
                          (info.fps > 0 ? info.frame % info.fps : 0);
        const int blockW = W / kFrameCodeBits;
        const int blockH = std::max(4, H / 8);
        for (int bit = 0; bit < kFrameCodeBits; ++bit) {
            const bool one = (code >> (kFrameCodeBits - 1 - bit)) & 1;
            fillRect(y, bit * blockW, H - blockH, blockW, blockH, one ? 235 : 16);
        }
        // Grey chroma under the blocks, so they read the same in any channel.
        const int rows = (blockH + 1) / 2 + 1;
        for (int row = std::max(0, u.height - rows); row < u.height; ++row) {
            std::fill_n(u.data + static_cast<std::ptrdiff_t>(row) * u.stride, u.width, 128);
            std::fill_n(v.data + static_cast<std::ptrdiff_t>(row) * v.stride, v.width, 128);
        }
    }
    for (const std::array<int, 4>& r : info.finePatches) {
        for (int row = std::max(0, r[1]); row < std::min(H, r[1] + r[3]); ++row)
            for (int col = std::max(0, r[0]); col < std::min(W, r[0] + r[2]); ++col)
                y.data[static_cast<std::ptrdiff_t>(row) * y.stride + col] =
                    ((row / 2 + col / 2) % 2) ? 235 : 16;
        for (int row = std::max(0, r[1] / 2); row < std::min(u.height, (r[1] + r[3]) / 2); ++row)
            for (int col = std::max(0, r[0] / 2); col < std::min(u.width, (r[0] + r[2]) / 2); ++col) {
                u.data[static_cast<std::ptrdiff_t>(row) * u.stride + col] = 128;
                v.data[static_cast<std::ptrdiff_t>(row) * v.stride + col] = 128;
            }
    }
}

long frameCodeAt(const uint8_t* pixels, int width, int height, int stride, int bytesPerPixel)
{
    if (!pixels || width < kFrameCodeBits || height < 8 || bytesPerPixel < 1)
        return -1;
    const int blockW = width / kFrameCodeBits;
    const int blockH = std::max(4, height / 8);
    const int row = height - blockH / 2 - 1;
    long code = 0;
    for (int bit = 0; bit < kFrameCodeBits; ++bit) {
        const int col = bit * blockW + blockW / 2;
        const uint8_t value = pixels[static_cast<std::ptrdiff_t>(row) * stride + col * bytesPerPixel];
        if (value > 96 && value < 160)
            return -1;
        code = (code << 1) | (value >= 160 ? 1 : 0);
    }
    return code;
}

} // namespace mediagen
