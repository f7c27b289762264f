#pragma once
// Where the video surface puts its picture: the recording is scaled down, never
// up, into the surface's area and centred. The arithmetic is integer
// thousandths so that the same figures come out on every machine; it is kept
// apart from the widget so it can be checked without a player.

#include "core/Frame.h"

// The picture's frames are window frames in points.
using VideoFrameRect = PmFrameF;

struct VideoFitLayout {
    bool hasPicture = false;  // a presentation size was known
    VideoFrameRect picture;   // frame of the picture view (normalView)
    VideoFrameRect companion; // frame of the hidden companion view (normalView2)
};

// Fits a picture of presentationWidth x presentationHeight into area.
// With a picture: when it is wider or taller than the area (compared as
// integers) it shrinks by r = min(W * 1000 / pw, H * 1000 / ph) thousandths,
// rounded to whole pixels; otherwise it keeps its own size. The frame is
// centred in the area and the companion gets the same frame.
// Without a picture (either side not positive): the picture view takes the
// whole area and the companion a square of side min(w, h) at
// (x + (w - h) / 2, y).
VideoFitLayout pmFitVideo(const VideoFrameRect& area, double presentationWidth, double presentationHeight);
