#include "app/WindowLayout.h"

#include <cmath>

using namespace winlayout;

double windowContentHeight(double frameHeight, int screenMode)
{
    return screenMode == 0 ? frameHeight - kTitleBarHeight : frameHeight;
}

namespace
{

void normalArrangement(const WindowLayoutInput& in, WindowLayout& out)
{
    const double W = in.width;
    const double H = in.height;
    const PanelSizes& s = in.sizes;
    const bool r2l = in.rightToLeft;
    const double fw = s.fileListWidth;
    const double cw = s.calendarWidth;
    const double gw = s.gsensorWidth;
    // Heights are whole points; the window description may carry fractions.
    const double th = std::trunc(s.toolbarHeight);
    const double ch = std::trunc(s.calendarHeight);
    const double pb = std::trunc(s.playBarHeight);

    out.placesPlayBar = out.placesFileList = out.placesMap = true;
    out.playBar = {r2l ? fw : 0, kMapHeight, W - fw, s.playBarHeight};

    // The right column: the file list from the bottom up to the calendar, the
    // calendar up to the vehicle chooser (a fleet archive) or the toolbar, or
    // up to the small second window.
    const double vb = std::trunc(s.vehicleBarHeight);
    double fileListHeight = H - th - ch - vb - kTitleBarHeight + 2;
    if (in.dualCamera)
        fileListHeight -= kSmallVideoHeight;
    out.fileList = {r2l ? 0 : W - fw, s.fileListY, fw, fileListHeight};

    // The toolbar stays pinned to the top of the content.
    const double toolbarY = H - kTitleBarHeight - th;
    out.toolbar = {0, toolbarY, W, th};
    out.calendar = {r2l ? 0 : W - cw, fileListHeight, cw, ch};
    out.vehicleBar = {r2l ? 0 : W - cw, fileListHeight + ch, cw, vb};
    out.gsensor = {r2l ? cw : W - cw - gw, s.gsensorY, gw, s.gsensorHeight};
    out.map = {r2l ? fw + gw : 0, s.mapY, W - gw - fw + 1, kMapHeight};

    const PmFrameF large{r2l ? fw : 0, pb + kMapHeight, W - fw,
                         H - th - kMapHeight - pb - kTitleBarHeight + 2};
    const PmFrameF small{r2l ? 0 : W - kSmallVideoWidth, toolbarY - kSmallVideoHeight, kSmallVideoWidth,
                         kSmallVideoHeight};
    out.playerView = in.switchVideo ? small : large;
    out.playerView2 = in.switchVideo ? large : small;
}

void fullVideoArrangement(const WindowLayoutInput& in, WindowLayout& out)
{
    const double pb = in.sizes.playBarHeight;
    out.placesPlayBar = true;
    out.playBar = {0, 0, in.width, pb};
    const PmFrameF large{0, pb, in.width, in.height - pb};
    out.playerView = in.switchVideo ? kParkedFrame : large;
    out.playerView2 = in.switchVideo ? large : kParkedFrame;
}

void fullMapArrangement(const WindowLayoutInput& in, WindowLayout& out)
{
    out.playerView = kParkedFrame;
    out.playerView2 = kParkedFrame;
    out.hideTimeStamp = true;
    out.placesMap = true;
    out.map = {0, 0, in.width, in.height};
}

} // namespace

WindowLayout computeWindowLayout(const WindowLayoutInput& in)
{
    WindowLayout out;
    out.contentHeight = windowContentHeight(in.height, in.screenMode);
    out.showPlayerView2 = in.dualCamera;
    switch (in.screenMode) {
    case 1:
        fullVideoArrangement(in, out);
        break;
    case 2:
        fullMapArrangement(in, out);
        break;
    default:
        normalArrangement(in, out);
        break;
    }
    return out;
}
