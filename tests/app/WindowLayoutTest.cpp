// The main window's arrangement as pure arithmetic: the figures of a known
// window, the mirrored arrangement, two-camera mode, both full screens, and
// the seams between the panels over a range of sizes.
#include "app/WindowLayout.h"

#include <gtest/gtest.h>
#include <ostream>

static std::ostream& operator<<(std::ostream& os, const PmFrameF& r)
{
    return os << "(" << r.x << ", " << r.y << ", " << r.width << " x " << r.height << ")";
}

namespace
{

WindowLayoutInput input(double w, double h, int mode = 0, bool r2l = false, bool dual = false,
                        bool switched = false)
{
    WindowLayoutInput in;
    in.width = w;
    in.height = h;
    in.screenMode = mode;
    in.rightToLeft = r2l;
    in.dualCamera = dual;
    in.switchVideo = switched;
    return in;
}

TEST(WindowLayoutTest, NormalArrangementOfA1280By800Window)
{
    const WindowLayout l = computeWindowLayout(input(1280, 800));
    EXPECT_EQ(l.contentHeight, 778);
    EXPECT_EQ(l.playBar, (PmFrameF{0, 212, 989, 44}));
    EXPECT_EQ(l.fileList, (PmFrameF{989, 0, 291, 479}));
    EXPECT_EQ(l.toolbar, (PmFrameF{0, 749, 1280, 29}));
    EXPECT_EQ(l.calendar, (PmFrameF{989, 479, 291, 272}));
    EXPECT_EQ(l.gsensor, (PmFrameF{649, 0, 340, 212}));
    EXPECT_EQ(l.map, (PmFrameF{0, 0, 650, 212}));
    EXPECT_EQ(l.playerView, (PmFrameF{0, 256, 989, 495}));
    EXPECT_EQ(l.playerView2, (PmFrameF{989, 565, 291, 184}));
    EXPECT_FALSE(l.showPlayerView2);
    EXPECT_FALSE(l.hideTimeStamp);
    EXPECT_TRUE(l.placesPlayBar && l.placesFileList && l.placesMap);

    // Heights of the window description are taken in whole points.
    WindowLayoutInput fractional = input(1280, 800);
    fractional.sizes.toolbarHeight = 29.7;
    fractional.sizes.calendarHeight = 272.9;
    const WindowLayout f = computeWindowLayout(fractional);
    EXPECT_EQ(f.fileList.height, 479);
    EXPECT_EQ(f.playerView.height, 495);
}

TEST(WindowLayoutTest, RightToLeftMirrorsEveryColumn)
{
    const WindowLayout l = computeWindowLayout(input(1280, 800, 0, true));
    EXPECT_EQ(l.playBar, (PmFrameF{291, 212, 989, 44}));
    EXPECT_EQ(l.playerView, (PmFrameF{291, 256, 989, 495}));
    EXPECT_EQ(l.fileList, (PmFrameF{0, 0, 291, 479}));
    EXPECT_EQ(l.calendar, (PmFrameF{0, 479, 291, 272}));
    EXPECT_EQ(l.playerView2, (PmFrameF{0, 565, 291, 184}));
    EXPECT_EQ(l.gsensor, (PmFrameF{291, 0, 340, 212}));
    EXPECT_EQ(l.map, (PmFrameF{631, 0, 650, 212}));
    EXPECT_EQ(l.toolbar, (PmFrameF{0, 749, 1280, 29}));
}

TEST(WindowLayoutTest, TwoCameraModeShortensTheFileListAndShowsTheSmallWindow)
{
    const WindowLayout one = computeWindowLayout(input(1280, 800));
    const WindowLayout two = computeWindowLayout(input(1280, 800, 0, false, true));
    EXPECT_TRUE(two.showPlayerView2);
    EXPECT_EQ(two.fileList.height, one.fileList.height - 184);
    EXPECT_EQ(two.calendar.y, two.fileList.height);
    // The calendar meets the small window as it met the toolbar before.
    EXPECT_EQ(two.calendar.top(), two.playerView2.y + 2);
    EXPECT_EQ(one.calendar.top(), one.toolbar.y + 2);
    EXPECT_EQ(two.playerView, one.playerView);

    // Switched: the rear camera's host takes the large place, the front's the small.
    const WindowLayout sw = computeWindowLayout(input(1280, 800, 0, false, true, true));
    EXPECT_EQ(sw.playerView, two.playerView2);
    EXPECT_EQ(sw.playerView2, two.playerView);
}

TEST(WindowLayoutTest, FullScreenVideoAndMap)
{
    const WindowLayout v = computeWindowLayout(input(1920, 1080, 1));
    EXPECT_EQ(v.contentHeight, 1080);
    EXPECT_TRUE(v.placesPlayBar);
    EXPECT_FALSE(v.placesFileList);
    EXPECT_FALSE(v.placesMap);
    EXPECT_EQ(v.playBar, (PmFrameF{0, 0, 1920, 44}));
    EXPECT_EQ(v.playerView, (PmFrameF{0, 44, 1920, 1036}));
    EXPECT_EQ(v.playerView2, winlayout::kParkedFrame);
    EXPECT_FALSE(v.hideTimeStamp);

    const WindowLayout vs = computeWindowLayout(input(1920, 1080, 1, false, true, true));
    EXPECT_EQ(vs.playerView2, (PmFrameF{0, 44, 1920, 1036}));
    EXPECT_EQ(vs.playerView, winlayout::kParkedFrame);

    // The map's full screen: the map alone, both videos parked, no overlay;
    // right to left changes nothing.
    for (bool r2l : {false, true}) {
        const WindowLayout m = computeWindowLayout(input(1920, 1080, 2, r2l, true));
        EXPECT_FALSE(m.placesPlayBar);
        EXPECT_FALSE(m.placesFileList);
        EXPECT_TRUE(m.placesMap);
        EXPECT_EQ(m.map, (PmFrameF{0, 0, 1920, 1080}));
        EXPECT_EQ(m.playerView, winlayout::kParkedFrame);
        EXPECT_EQ(m.playerView2, winlayout::kParkedFrame);
        EXPECT_TRUE(m.hideTimeStamp);
    }
}

TEST(WindowLayoutTest, PanelsMeetAtEverySize)
{
    for (double w : {980.0, 977.0, 1024.0, 1366.0, 1920.0, 2561.0}) {
        for (double h : {642.0, 660.0, 768.0, 1080.0, 1441.0}) {
            for (bool r2l : {false, true}) {
                for (bool dual : {false, true}) {
                    const WindowLayout l = computeWindowLayout(input(w, h, 0, r2l, dual));
                    SCOPED_TRACE(testing::Message() << w << "x" << h << " r2l " << r2l << " dual " << dual);
                    const double top = l.contentHeight;
                    // Left column, bottom up: map, play bar, video, up to the toolbar's seam.
                    EXPECT_EQ(l.map.top(), l.playBar.y);
                    EXPECT_EQ(l.playBar.top(), l.playerView.y);
                    EXPECT_EQ(l.playerView.top(), l.toolbar.y + 2);
                    EXPECT_EQ(l.toolbar.top(), top);
                    // Right column, bottom up: file list, calendar, (small video), toolbar.
                    EXPECT_EQ(l.fileList.top(), l.calendar.y);
                    EXPECT_EQ(l.calendar.top(), (dual ? l.playerView2.y : l.toolbar.y) + 2);
                    EXPECT_EQ(l.playerView2.top(), l.toolbar.y);
                    // Across: the columns share one edge; the map overlaps the graph by one point.
                    EXPECT_EQ(l.playerView.width + l.fileList.width, w);
                    EXPECT_EQ(l.playBar.x, l.playerView.x);
                    if (!r2l) {
                        EXPECT_EQ(l.playerView.right(), l.fileList.x);
                        EXPECT_EQ(l.gsensor.right(), l.calendar.x);
                        EXPECT_EQ(l.map.right() - 1, l.gsensor.x);
                        EXPECT_EQ(l.playerView2.right(), w);
                    } else {
                        EXPECT_EQ(l.fileList.right(), l.playerView.x);
                        EXPECT_EQ(l.calendar.right(), l.gsensor.x);
                        EXPECT_EQ(l.gsensor.right(), l.map.x);
                        EXPECT_EQ(l.map.right(), w + 1);
                        EXPECT_EQ(l.playerView2.x, 0);
                    }
                    EXPECT_GT(l.fileList.height, 0);
                }
            }
        }
    }
}

} // namespace
