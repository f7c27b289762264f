// Calendar panel and drop-down box frames against the layout figures.
#include "controls/CalendarLayout.h"

#include <gtest/gtest.h>

TEST(CalendarLayout, FramesOfThePanelWithTabs)
{
    // Background 291 x 240: the panel is 291 x 270.
    const CalendarLayout l = CalendarLayout::compute(291, 240, 30, false, false);
    EXPECT_EQ(l.width, 291);
    EXPECT_EQ(l.height, 270);
    EXPECT_EQ(l.columnWidth, 41);
    EXPECT_EQ(l.itemStartX, 2);
    EXPECT_EQ(l.itemStartY, 74);
    EXPECT_EQ(l.monthWeekHeight(), 239);
    EXPECT_EQ(l.weekLabels[0], (PmFrame{2, 270 - 12 - 61, 41, 12}));
    EXPECT_EQ(l.weekLabels[6], (PmFrame{2 + 6 * 41, 197, 41, 12}));
    EXPECT_EQ(l.year, (PmFrame{53, 270 - 27 - 33, 67, 27}));
    EXPECT_EQ(l.month, (PmFrame{122, 210, 67, 27}));
    EXPECT_EQ(l.prev, (PmFrame{7, 270 - 18 - 37, 21, 18}));
    EXPECT_EQ(l.next, (PmFrame{31, 215, 21, 18}));
    EXPECT_EQ(l.modeButton, (PmFrame{192, 243, 91, 25}));
    EXPECT_EQ(l.calendarTab, (PmFrame{0, 240, 145, 30}));
    EXPECT_EQ(l.allTab, (PmFrame{146, 240, 145, 30}));
    // Cells: row 0 starts 74 below the top; rows are 31 high with a gap of 2.
    EXPECT_EQ(l.cell(0, 0), (PmFrame{2, 270 - 31 - 74, 41, 31}));
    EXPECT_EQ(l.cell(5, 6), (PmFrame{2 + 6 * 41, 0, 41, 31}));
    EXPECT_EQ(l.cellAt(3, 165), 0);
    EXPECT_EQ(l.cellAt(3, 164), -1);  // the gap between rows
    EXPECT_EQ(l.cellAt(290, 10), -1); // right of the last column
    EXPECT_EQ(l.cellAt(250, 10), 41);
}

TEST(CalendarLayout, ShrinkMirrorAndNoTabs)
{
    CalendarLayout l = CalendarLayout::compute(291, 240, 30, false, false);
    l.placeModeAndTabs(true);
    EXPECT_EQ(l.calendarTab, (PmFrame{0, 0, 145, 30}));
    EXPECT_EQ(l.modeButton, (PmFrame{192, 3, 91, 25}));

    const CalendarLayout r = CalendarLayout::compute(291, 240, 30, true, false);
    EXPECT_EQ(r.cell(0, 0).x, 291 - 41 - 2); // Sunday at the right edge
    EXPECT_EQ(r.weekLabels[0].x, 291 - 41 - 2);
    EXPECT_EQ(r.year.x, 291 - 67 - 53);
    EXPECT_EQ(r.prev.x, 291 - 21 - 7);
    EXPECT_EQ(r.modeButton.x, 291 - 91 - 192);
    EXPECT_EQ(r.calendarTab.x, 0); // tabs are never mirrored
    EXPECT_EQ(r.cellAt(288, 165), 0);
    EXPECT_EQ(r.cellAt(289, 165), -1);

    CalendarLayout n = CalendarLayout::compute(291, 240, 0, false, true);
    EXPECT_EQ(n.height, 240);
    EXPECT_EQ(n.modeButton.y, 31 - 27);
    EXPECT_EQ(n.monthWeekHeight(), 209);

    // Without a background image the panel keeps a usable size.
    const CalendarLayout f = CalendarLayout::compute(0, 0, 30, false, false);
    EXPECT_EQ(f.width, CalendarLayout::kFallbackWidth);
    EXPECT_EQ(f.cell(5, 0).y, 0);
}

TEST(CalendarLayout, ComboBoxFrames)
{
    EXPECT_EQ(ComboBoxLayout::spinFrame(67, 27, 15, 15, false), (PmFrame{67 - 15 - 4, 6, 15, 15}));
    EXPECT_EQ(ComboBoxLayout::spinFrame(67, 27, 15, 15, true), (PmFrame{4, 6, 15, 15}));
    EXPECT_EQ(ComboBoxLayout::listFrame(PmFrame{53, 210, 67, 27}), (PmFrame{53, 66, 67, 144}));
}
