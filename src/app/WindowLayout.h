#pragma once
// The main window's arrangement as pure arithmetic: every panel's frame from
// the window's frame size, in the window content's coordinates with the origin
// at the bottom left and y upward. Nothing here touches a widget; the
// controller applies the frames (converting them once to Qt's top-left
// coordinates) and asks each panel to lay out its inside.
//
// W and H are the window's frame size; in the normal arrangement H includes
// the 22-point title bar, so the content is H - 22 high. In the full-screen
// arrangements the window has no title bar and the content is W x H.

#include "core/Frame.h"

namespace winlayout
{
constexpr double kTitleBarHeight = 22;
constexpr double kMapHeight = 212;
constexpr double kSmallVideoWidth = 291;
constexpr double kSmallVideoHeight = 184;
// Where a view goes when it must not be seen: outside the content, 2 points square.
constexpr PmFrameF kParkedFrame{0, -10, 2, 2};
// Used when no window size is known yet.
constexpr double kDefaultWidth = 977;
constexpr double kDefaultHeight = 642;
} // namespace winlayout

// The panels' fixed sizes, which come from the window description (and so
// from the skin's images).
struct PanelSizes {
    double toolbarHeight = 29;   // th
    double playBarHeight = 44;   // pb
    double calendarWidth = 291;  // cw
    double calendarHeight = 272; // ch (the calendar's current height: shrunk in "all" mode)
    double fileListWidth = 291;  // fw
    double fileListY = 0;
    double gsensorWidth = 340; // gw
    double gsensorY = 0;
    double gsensorHeight = 212;
    double mapY = 0;
    double vehicleBarHeight = 0; // the vehicle chooser above the calendar; 0 while none is shown
};

struct WindowLayoutInput {
    double width = 0;   // W
    double height = 0;  // H
    int screenMode = 0; // 0 normal, 1 full-screen video, 2 full-screen map
    bool rightToLeft = false;
    bool dualCamera = false;  // two-camera mode: the small second window is shown
    bool switchVideo = false; // the second host holds the large place
    PanelSizes sizes;
};

struct WindowLayout {
    // Frames. A panel whose places* flag is false keeps its current frame.
    PmFrameF playBar, fileList, toolbar, calendar, gsensor, map, playerView, playerView2;
    PmFrameF vehicleBar; // placed with the file list
    bool placesPlayBar = false;
    bool placesFileList = false; // with the toolbar, calendar and G-sensor graph
    bool placesMap = false;
    // Whether _playerView2 is shown (normal arrangement: two-camera mode only).
    bool showPlayerView2 = true;
    // The overlay (time stamp) is hidden in map full screen.
    bool hideTimeStamp = false;
    // The content's height in the arrangement (for the conversion to Qt coordinates).
    double contentHeight = 0;
};

WindowLayout computeWindowLayout(const WindowLayoutInput& in);

// The content height of a window frame H in a screen mode.
double windowContentHeight(double frameHeight, int screenMode);
