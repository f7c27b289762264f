#pragma once
// The clip re-encoded with a caption drawn in (time, speed, position): each
// stretch decoded from the key frame before it, its frames from the exact
// start on passed through FFmpeg's drawtext and encoded with libx264 into one
// MP4 with one frame counter across the joins. When every stretch carries
// the same sound it is kept: copied as it is when MP4 can hold it, else
// encoded to AAC (ClipCutResult::soundConvertedFrom); otherwise the clip has
// none and ClipCutResult::sound says why. Slower than the copy of
// ClipCutter.h, and a new picture rather than the camera's own; on failure
// or cancel the output is removed. The encoder is held to a few frames in
// flight, so a 1080p clip stays well under 200 MB.
#include "media/ClipCutter.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct OverlayCaption {
    // The caption of a frame: its stretch (index into the stretches) and its
    // time in that stretch's recording, in seconds from the recording's
    // start. Parts of the caption are separated by '\n'; they share one line
    // where the picture is wide enough, else each gets its own.
    std::function<std::string(std::size_t stretch, double secondsIntoRecording)> text;
    // A caption at least as wide, part by part, as any `text` gives: the
    // clip is laid out once from it, so the caption does not jump about.
    std::string widest;
};

ClipCutResult pmRenderOverlayClip(const std::vector<ClipStretch>& stretches, const OverlayCaption& caption,
                                  const std::string& outputPath,
                                  const std::function<void(double)>& progress = {},
                                  const std::atomic<bool>* cancel = nullptr);
