#include "views/VideoFit.h"

#include <algorithm>
#include <cstdint>

VideoFitLayout pmFitVideo(const VideoFrameRect& area, double presentationWidth, double presentationHeight)
{
    VideoFitLayout layout;
    // Compare in whole pixels; a presentation size or an area beyond any real
    // screen is clamped so the thousandths never overflow.
    constexpr double kMaxSide = 1 << 20;
    const std::int64_t pw = static_cast<std::int64_t>(std::clamp(presentationWidth, 0.0, kMaxSide));
    const std::int64_t ph = static_cast<std::int64_t>(std::clamp(presentationHeight, 0.0, kMaxSide));

    if (pw <= 0 || ph <= 0) {
        layout.picture = area;
        const double side = std::min(area.width, area.height);
        layout.companion = {area.x + (area.width - area.height) / 2, area.y, side, side};
        return layout;
    }

    const std::int64_t W = static_cast<std::int64_t>(std::clamp(area.width, 0.0, kMaxSide));
    const std::int64_t H = static_cast<std::int64_t>(std::clamp(area.height, 0.0, kMaxSide));
    std::int64_t width = pw;
    std::int64_t height = ph;
    if (pw > W || ph > H) {
        const std::int64_t r = std::min(W * 1000 / pw, H * 1000 / ph);
        width = (pw * r + 500) / 1000;
        height = (ph * r + 500) / 1000;
    }
    layout.hasPicture = true;
    layout.picture = {area.x + (area.width - static_cast<double>(width)) / 2,
                      area.y + (area.height - static_cast<double>(height)) / 2, static_cast<double>(width),
                      static_cast<double>(height)};
    layout.companion = layout.picture;
    return layout;
}
