#pragma once
// The arithmetic of a frame capture that needs no window: where the time
// stamp goes in a captured frame, how two cameras' frames are stacked for the
// preview, and the names proposed for the saved pictures.
#include "core/Frame.h"

#include <chrono>
#include <string>

// Where the time-stamp text is drawn into a frame w pixels wide: the metric
// sans font at fontSize pixels, the text block's left edge at x and its bottom
// edge y pixels above the frame's bottom edge.
struct TimeStampPlacement {
    int fontSize = 12;
    int x = 0;
    int y = 10;
};
TimeStampPlacement pmTimeStampPlacement(double frameWidth);

// Camera 2's frame below camera 1's, both at camera 1's width: a narrower
// camera 2 is scaled up to that width keeping its aspect ratio, a wider one is
// drawn at its own size. Frames are bottom-left, in the combined picture.
struct CombinedLayout {
    int width = 0;
    int height = 0;   // camera 1's height plus camera 2's, whole pixels
    PmFrameF camera1; // at y = camera 2's height, truncated
    PmFrameF camera2; // from y = 0
};
CombinedLayout pmCombineLayout(int w1, int h1, int w2, int h2);

// Local date and time of a moment, to the second.
struct CaptureDate {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
CaptureDate pmCaptureDate(std::chrono::system_clock::time_point when);

// The name proposed for a saved picture: kind 0 (one camera)
// "YYYYMMDD-HHMMSS.jpg", kind 1 "...-1.jpg" (camera 1 of two), kind 2 "...-2.jpg".
std::string pmCaptureFileName(const CaptureDate& date, int kind);
