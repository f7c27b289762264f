#pragma once
// The clip's cameras in one picture, re-encoded: side by side (front left,
// rear right at the front's height), the rear as a picture in a corner of
// the front, or one camera alone. The rear's frame shown with a front frame
// is the one at the same time into its partner recording, as playback keeps
// the pair in step; where the rear recording is missing or has ended, its
// panel is black and ClipLayoutResult::rearMissingSeconds counts that time.
// Marked areas of the main picture (ClipBlur.h) are pixelated before it is
// placed; the caption, when asked for, is drawn over the composed picture.
// Encoded with libx264 (libx265 where the main camera's video is
// H.265), at most a few frames in flight so a 1080p pair stays well under
// 400 MB. On failure or cancel the output is removed.
#include "media/ClipCutter.h"

#include "core/ClipBlur.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

enum class ClipLayout { Separate, SideBySide, PictureInPicture, FrontOnly, RearOnly };

// "separate", "side-by-side", "pip", "front", "rear"; false for other words.
bool pmParseClipLayout(const std::string& word, ClipLayout& out);
const char* pmClipLayoutWord(ClipLayout layout);

struct ClipLayoutSpec {
    ClipLayout layout = ClipLayout::Separate;
    // Picture in picture: the corner (0 top left, 1 top right, 2 bottom
    // left, 3 bottom right) and the inset's width as a share of the front's.
    int corner = 3;
    double insetShare = 0.3;
    int crf = 23;               // the encoder's quality: lower is better and larger
    std::vector<BlurArea> blur; // times in seconds from the clip's start
};

// One stretch of the main camera's recording and, for a pair layout, its
// partner's path ("" when the rear recording is missing); the partner is
// read over the same seconds.
struct LayoutStretch {
    ClipStretch main;
    std::string partner;
};

struct ClipLayoutResult : ClipCutResult {
    double rearMissingSeconds = 0; // of the pair layouts: time shown with a black panel
    std::string encoder;           // "H.264" or "H.265"
};

// The time, speed and position drawn in (as the overlay of one camera does):
// the caption of a picture is its own recording's, at its own time there.
// Side by side each camera's half carries its own; a picture in picture or a
// camera alone carries the main camera's, clear of the inset.
struct LayoutCaption {
    // stretch: index into the stretches; partner: the partner's picture
    // (else the main camera's); the time into that picture's recording.
    std::function<std::string(std::size_t stretch, bool partner, double secondsIntoRecording)> text;
    std::string widest; // as OverlayCaption::widest
};

// The size of a recording's picture; 0x0 when it cannot be read.
void pmClipPictureSize(const std::string& path, int& width, int& height);

ClipLayoutResult pmRenderLayoutClip(const std::vector<LayoutStretch>& stretches, const ClipLayoutSpec& wanted,
                                    const std::string& outputPath,
                                    const std::function<void(double)>& progress = {},
                                    const std::atomic<bool>* cancel = nullptr,
                                    const LayoutCaption* caption = nullptr);
