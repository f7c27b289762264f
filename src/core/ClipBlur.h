#pragma once
// Areas of a clip's picture to hide (plates, faces): each a rectangle in the
// source picture's pixels that holds still over a time range, or moves
// between key positions, interpolated between them and absent outside the
// first and last. What covers it is pixelation in blocks coarse enough that
// nothing inside can be read back.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct BlurRect {
    int x = 0, y = 0, w = 0, h = 0;
};

struct BlurKey {
    double seconds = 0; // from the clip's start
    BlurRect rect;
};

struct BlurArea {
    std::vector<BlurKey> keys; // by time; a still area has two keys with the same rectangle
};

// "X,Y,W,H@T0-T1" (still from T0 to T1) or key positions joined by ';':
// "X,Y,W,H@T0;X,Y,W,H@T1[;...]" with rising times. "" when it parses, else why not.
std::string pmParseBlurArea(const std::string& text, BlurArea& out);

// Checks an area against a picture and a clip: a rectangle reaching past the
// picture is clamped into it; one wholly outside, or a time outside the clip,
// is refused. "" when usable, else the reason.
std::string pmFitBlurArea(BlurArea& area, int width, int height, double clipSeconds);

// The rectangle at a moment; nullopt outside the area's time range.
std::optional<BlurRect> pmBlurRectAt(const BlurArea& area, double seconds);

// Sets the area's position at a moment: a key there is replaced, else one is
// added in time order. How a rectangle drawn over a paused frame becomes a
// key position.
void pmSetBlurKey(BlurArea& area, double seconds, const BlurRect& rect);

// The area in the form pmParseBlurArea reads: "X,Y,W,H@T0-T1" when it holds
// still between two keys, else each key "X,Y,W,H@T" joined by ';'.
std::string pmBlurAreaText(const BlurArea& area);

// The block size used for a rectangle: a third of its smaller side (at least 8 pixels), so a plate or a face
// is a few blocks across.
int pmBlurBlock(const BlurRect& rect);

// Pixelates a rectangle of one 8-bit plane in blocks of `block` pixels, each
// filled with its mean; the rectangle is clipped to the plane.
void pmPixelate(uint8_t* plane, int stride, int width, int height, BlurRect rect, int block);
