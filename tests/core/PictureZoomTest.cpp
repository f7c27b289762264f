#include "core/PictureZoom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
// Where the picture's point t (a fraction of it) shows in the view.
double viewPosition(double t, double factor, double pan)
{
    return (1.0 - factor) / 2.0 + pan * factor + t * factor;
}
} // namespace

TEST(PictureZoom, ZoomKeepsThePointUnderTheCursorAndPanNeverUncoversTheView)
{
    // Centred: zooming about the middle moves nothing.
    PictureZoom z = pmZoomAbout(PictureZoom(), 2.0, 0.5, 0.5);
    EXPECT_DOUBLE_EQ(z.factor, 2.0);
    EXPECT_DOUBLE_EQ(z.panX, 0.0);
    EXPECT_DOUBLE_EQ(z.panY, 0.0);
    EXPECT_DOUBLE_EQ(z.log2Zoom(), 1.0);

    // About an off-centre point: that point of the picture stays under it,
    // step after step.
    z = PictureZoom();
    const double cx = 0.7, cy = 0.6;
    const double tx = cx, ty = cy; // at 1x the view is the picture
    for (int i = 0; i < 6; ++i) {
        z = pmZoomSteps(z, 1, cx, cy);
        EXPECT_NEAR(viewPosition(tx, z.factor, z.panX), cx, 1e-12) << i;
        EXPECT_NEAR(viewPosition(ty, z.factor, z.panY), cy, 1e-12) << i;
    }
    const PictureRegion shown = pmZoomVisiblePart(z);
    EXPECT_NEAR(shown.width, 1.0 / z.factor, 1e-12);
    EXPECT_NEAR(shown.x + (cx - 0.0) * shown.width, tx, 1e-12);

    // About a corner: the corner stays put and the picture still covers the view.
    z = pmZoomAbout(PictureZoom(), 4.0, 0.0, 1.0);
    EXPECT_NEAR(viewPosition(0.0, z.factor, z.panX), 0.0, 1e-12);
    EXPECT_NEAR(viewPosition(1.0, z.factor, z.panY), 1.0, 1e-12);
    const PictureRegion corner = pmZoomVisiblePart(z);
    EXPECT_NEAR(corner.x, 0.0, 1e-12);
    EXPECT_NEAR(corner.y, 0.75, 1e-12);

    // Zooming out from there walks back to 1x, centred, without dust.
    for (int i = 0; i < 40; ++i)
        z = pmZoomSteps(z, -1, 0.3, 0.3);
    EXPECT_EQ(z, PictureZoom());
    EXPECT_FALSE(z.isZoomed());
}

TEST(PictureZoom, ZoomAndPanPastTheEdgesAreClamped)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    EXPECT_DOUBLE_EQ(pmZoomAbout(PictureZoom(), 100.0, 0.5, 0.5).factor, kPictureZoomMax);
    EXPECT_DOUBLE_EQ(pmZoomAbout(PictureZoom(), 0.1, 0.5, 0.5).factor, kPictureZoomMin);
    EXPECT_EQ(pmZoomAbout(PictureZoom(), nan, nan, inf), PictureZoom());
    EXPECT_EQ(pmZoomSteps(PictureZoom(), -3, 0.2, 0.2), PictureZoom());

    // A drag far beyond the edge stops with the picture's edge on the view's.
    PictureZoom z = pmZoomAbout(PictureZoom(), 2.0, 0.5, 0.5);
    z = pmPanBy(z, 50.0, -50.0);
    EXPECT_DOUBLE_EQ(z.panX, 0.25);
    EXPECT_DOUBLE_EQ(z.panY, -0.25);
    EXPECT_NEAR(viewPosition(0.0, z.factor, z.panX), 0.0, 1e-12);
    EXPECT_NEAR(viewPosition(1.0, z.factor, z.panY), 1.0, 1e-12);
    EXPECT_EQ(pmPanBy(z, nan, inf), z);

    // At 1x nothing pans; a stored zoom with a wild pan comes back covering.
    EXPECT_EQ(pmPanBy(PictureZoom(), 0.3, 0.3), PictureZoom());
    PictureZoom wild;
    wild.factor = 8.0;
    wild.panX = 3.0;
    wild.panY = nan;
    const PictureZoom tamed = pmClampZoom(wild);
    EXPECT_DOUBLE_EQ(tamed.panX, (1.0 - 1.0 / 8.0) / 2.0);
    EXPECT_DOUBLE_EQ(tamed.panY, 0.0);
    const PictureRegion shown = pmZoomVisiblePart(tamed);
    EXPECT_NEAR(shown.x, 0.0, 1e-12); // moved right as far as it goes: its left edge shows
    EXPECT_NEAR(shown.y, 0.5 - shown.height / 2, 1e-12);
}
