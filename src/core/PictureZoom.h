#pragma once
// The digital zoom of a flat picture, with no window: how far it is
// enlarged and where it is moved, in the terms the video output takes
// (mpv's video-zoom, video-pan-x and video-pan-y), and the rules that keep
// the picture filling its view.
//
// Design notes
// - The view is the picture's own fitted rectangle: at 1x the picture fills
//   it exactly. Positions in the view are fractions of its width and height
//   (0 at the left or top edge, 1 at the right or bottom).
// - The pan is in units of the enlarged picture's size, as mpv applies it:
//   the enlarged picture's left edge lies at (1 - factor) / 2 + panX x factor.
//   Clamping keeps that edge at or left of the view's, and the right edge at
//   or right of it, so no empty border ever shows: |pan| <= (1 - 1/factor) / 2.
// - Any value that is not a number reads as the neutral one (1x, centred).
inline constexpr double kPictureZoomMin = 1.0;
inline constexpr double kPictureZoomMax = 8.0;
// One wheel notch (or key press) multiplies the factor by this.
inline constexpr double kPictureZoomStep = 1.189207115002721; // 2^(1/4)

struct PictureZoom {
    double factor = 1.0; // 1 .. 8
    double panX = 0;     // fractions of the enlarged picture's width
    double panY = 0;

    bool isZoomed() const { return factor > kPictureZoomMin; }
    // mpv's video-zoom: the base-2 logarithm of the factor.
    double log2Zoom() const;
    bool operator==(const PictureZoom& o) const
    {
        return factor == o.factor && panX == o.panX && panY == o.panY;
    }
};

// The factor brought into 1 .. 8 (within a hair of 1 it becomes 1) and the
// pan into the range that keeps the view covered.
PictureZoom pmClampZoom(PictureZoom zoom);

// Zooms to `factor`, keeping the point of the picture under the view
// position (x, y) where it is, as far as the clamping allows. A position
// outside the view counts as the nearest edge.
PictureZoom pmZoomAbout(const PictureZoom& zoom, double factor, double x, double y);

// `steps` notches in (positive) or out (negative) about (x, y).
PictureZoom pmZoomSteps(const PictureZoom& zoom, double steps, double x, double y);

// Moves the picture by (dx, dy) fractions of the view (a drag), clamped.
PictureZoom pmPanBy(const PictureZoom& zoom, double dx, double dy);

// A part of the picture in fractions of its width and height, from its top
// left corner.
struct PictureRegion {
    double x = 0;
    double y = 0;
    double width = 1;
    double height = 1;
};

// The part of the picture that is shown.
PictureRegion pmZoomVisiblePart(const PictureZoom& zoom);
