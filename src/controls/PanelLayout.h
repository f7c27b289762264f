#pragma once
// The play bar's and the toolbar's frames as pure arithmetic, with the origin
// at the bottom left and y upward (base/QtFrame.h applies them).
// No widget here, so the figures can be checked without a window.
#include "core/Frame.h"

#include <string>

// ---- play bar

constexpr int kPlayBarHeight = 44;
constexpr int kTimeSliderWidth = 260;
constexpr int kTimeLabelWidth = 44;

struct PlayBarLayout {
    PmFrame prev, next, play, playRev, speed, volume, fullScreen, volumeSlider, timeSlider;
    PmFrame playTime;   // position label, left of the time slider
    PmFrame remainTime; // total-length label, right of the time slider
};

// The frames before the first layout: the table's x, y 0, height 44.
PlayBarLayout playBarInitialLayout();
// The layout for a play bar of the given width and view height; right to left
// mirrors every control but the time slider and its labels, which have rules
// of their own. The reverse-play frame is not laid out (it keeps its frame).
PlayBarLayout playBarLayout(bool rightToLeft, double width, int viewHeight);

// "%02d:%02d" of minutes and seconds below an hour, "%d:%02d:%02d" of hours,
// minutes and seconds from an hour on; 0 or less is "00:00".
std::string playBarTimeText(int seconds);

// ---- toolbar

constexpr int kToolButtonWidth = 37;
constexpr int kToolButtonHeight = 29;
constexpr int kDefaultSwitchButtonX = 668;

struct ToolbarLayout {
    PmFrame browse, print, backup, capture, exportKml, uploadYouTube, uploadFacebook, setting, windowSwitch;
};

// Every button 37 x 29 along the top edge of a toolbar H high; the window-switch
// button at switchButtonX. Right to left, each x becomes width - 37 - x.
ToolbarLayout toolbarLayout(bool rightToLeft, int width, int height,
                            int switchButtonX = kDefaultSwitchButtonX);
