#include "views/VideoFit.h"

#include <gtest/gtest.h>

namespace
{

void expectRect(const VideoFrameRect& r, double x, double y, double w, double h)
{
    EXPECT_DOUBLE_EQ(r.x, x);
    EXPECT_DOUBLE_EQ(r.y, y);
    EXPECT_DOUBLE_EQ(r.width, w);
    EXPECT_DOUBLE_EQ(r.height, h);
}

TEST(VideoFit, LargerPictureShrinksByWholeThousandthsAndIsCentred)
{
    // r = min(640000 / 1920, 480000 / 1080) = min(333, 444) = 333.
    VideoFitLayout l = pmFitVideo({0, 0, 640, 480}, 1920, 1080);
    EXPECT_TRUE(l.hasPicture);
    expectRect(l.picture, 0.5, 60, 639, 360);
    expectRect(l.companion, 0.5, 60, 639, 360);

    // Offset areas keep their origin; one side too large is enough to shrink.
    l = pmFitVideo({10, 20, 640, 480}, 640, 960);
    expectRect(l.picture, 10 + 160, 20, 320, 480);
    // Taller than wide area: the width limits.
    l = pmFitVideo({0, 0, 300, 900}, 1280, 720);
    expectRect(l.picture, 0, 366, 300, 168); // r = 234: (299520 + 500) / 1000, (168480 + 500) / 1000
}

TEST(VideoFit, SmallerPictureIsNeverEnlarged)
{
    VideoFitLayout l = pmFitVideo({0, 0, 640, 480}, 320, 240);
    expectRect(l.picture, 160, 120, 320, 240);
    l = pmFitVideo({0, 0, 640, 480}, 640, 480); // exactly fits
    expectRect(l.picture, 0, 0, 640, 480);
    // The area is compared as whole pixels: 640.7 wide counts as 640.
    l = pmFitVideo({0, 0, 640.7, 480}, 641, 480);
    EXPECT_LT(l.picture.width, 641);
}

TEST(VideoFit, WithoutPictureTheViewFillsAndTheCompanionIsASquare)
{
    VideoFitLayout l = pmFitVideo({0, 0, 640, 480}, 0, 0);
    EXPECT_FALSE(l.hasPicture);
    expectRect(l.picture, 0, 0, 640, 480);
    expectRect(l.companion, 80, 0, 480, 480);
    l = pmFitVideo({0, 0, 640, 480}, 1920, 0);
    EXPECT_FALSE(l.hasPicture);
    // Degenerate areas give empty pictures, never negative or huge sizes.
    l = pmFitVideo({0, 0, 0, 0}, 1920, 1080);
    expectRect(l.picture, 0, 0, 0, 0);
    l = pmFitVideo({0, 0, 640, 480}, 1e300, 1e300);
    EXPECT_GE(l.picture.width, 0);
    EXPECT_LE(l.picture.width, 640);
}

} // namespace
