#pragma once
// The exact frame of a recording at a time, at the file's full resolution,
// read from the file itself with FFmpeg: seek to the key frame at or before
// the time, decode forward, keep the last frame whose presentation time is
// not after it (the frame a player shows at that position).
//
// Reading the file rather than taking the player's picture gives both cameras
// of a pair the frame at the same time (the rear player may sit a frame or two
// away from the front one), works while a surface is still loading or has no
// picture output, and never depends on the screen.
//
// Safe to call from any thread; each call opens and closes the file. Bad
// input (not a regular file, no video stream, damaged or truncated data) gives
// no pixels and a reason; reading is bounded by the file, and decoding by a
// fixed number of packets past the seek. Free of Qt: the application wraps the
// pixels in a QImage without copying them (export/FrameGrabber.h).
#include <cstdint>
#include <string>
#include <vector>

struct MediaFrame {
    int width = 0;
    int height = 0;
    // Rows of width pixels, top row first, each pixel the native-endian word
    // 0xffRRGGBB (QImage::Format_RGB32). Empty when no frame could be taken.
    std::vector<std::uint32_t> pixels;
    double time = -1;  // presentation time of the frame taken, seconds from the start
    std::string error; // why, when there are no pixels
};

// The path is the file system's own bytes (names need not be UTF-8).
MediaFrame pmGrabMediaFrame(const std::string& nativePath, double seconds);
