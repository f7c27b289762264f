#include "controls/PanelLayout.h"

#include <cmath>
#include <cstdio>

PlayBarLayout playBarInitialLayout()
{
    PlayBarLayout l;
    l.prev = {3, 0, 32, kPlayBarHeight};
    l.next = {35, 0, 32, kPlayBarHeight};
    l.play = {67, 0, 52, kPlayBarHeight};
    l.playRev = {67, 0, 52, kPlayBarHeight};
    l.speed = {119, 0, 39, kPlayBarHeight};
    l.volume = {190, 0, 32, kPlayBarHeight};
    l.fullScreen = {292, 0, 50, kPlayBarHeight};
    l.volumeSlider = {220, 0, 70, kPlayBarHeight};
    l.timeSlider = {385, 0, kTimeSliderWidth, kPlayBarHeight};
    l.playTime = {l.timeSlider.x - kTimeLabelWidth, 0, kTimeLabelWidth, kTimeLabelWidth};
    l.remainTime = {l.timeSlider.right() + 1, 0, kTimeLabelWidth, kTimeLabelWidth};
    return l;
}

PlayBarLayout playBarLayout(bool rightToLeft, double width, int viewHeight)
{
    PlayBarLayout l = playBarInitialLayout();
    const int w = static_cast<int>(std::trunc(width));
    int sliderX = w - 304;
    if (rightToLeft)
        sliderX = w - kTimeSliderWidth - sliderX; // always 44
    l.timeSlider = {sliderX, 0, kTimeSliderWidth, kPlayBarHeight};
    l.remainTime = {l.timeSlider.right() + 1, viewHeight - kTimeLabelWidth, kTimeLabelWidth, kTimeLabelWidth};
    l.playTime = {l.timeSlider.x - kTimeLabelWidth, viewHeight - kTimeLabelWidth, kTimeLabelWidth,
                  kTimeLabelWidth};
    if (rightToLeft) {
        for (PmFrame* r : {&l.prev, &l.next, &l.play, &l.speed, &l.volume, &l.fullScreen, &l.volumeSlider})
            *r = r->mirrored(w);
    }
    return l;
}

std::string playBarTimeText(int seconds)
{
    if (seconds <= 0)
        return "00:00";
    char text[24];
    if (seconds < 3600)
        std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

ToolbarLayout toolbarLayout(bool rightToLeft, int width, int height, int switchButtonX)
{
    // Every button sits along the top edge, the open button included, so the
    // row holds together whatever the toolbar's height.
    const int y = height - kToolButtonHeight;
    auto at = [&](int x) {
        PmFrame r{x, y, kToolButtonWidth, kToolButtonHeight};
        return rightToLeft ? r.mirrored(width) : r;
    };
    ToolbarLayout l;
    l.browse = at(4);
    l.print = at(41);
    l.backup = at(78);
    l.capture = at(115);
    l.exportKml = at(152);
    l.uploadYouTube = at(189);
    l.setting = at(226);
    l.uploadFacebook = at(263); // right of the settings button
    l.windowSwitch = at(switchButtonX);
    return l;
}
