#pragma once
// The clip re-encoded with a caption drawn in (time, speed, position): each
// stretch decoded from the key frame before it, its frames from the exact
// start on passed through FFmpeg's drawtext and encoded with libx264 into one
// MP4 with one frame counter across the joins. Slower than the copy of
// ClipCutter.h, and a new picture rather than the camera's own; on failure
// or cancel the output is removed.
#include "media/ClipCutter.h"

#include <functional>
#include <string>
#include <vector>

// `caption(k)` gives the text of the clip's second k (0 = the first second).
ClipCutResult pmRenderOverlayClip(const std::vector<ClipStretch>& stretches,
                                  const std::function<std::string(int)>& caption,
                                  const std::string& outputPath,
                                  const std::function<void(double)>& progress = {},
                                  const std::atomic<bool>* cancel = nullptr);
