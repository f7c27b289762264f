// Pure list arithmetic shared by the file list and the drop-down.
#include "controls/FileListLayout.h"
#include "controls/ListGeometry.h"

#include <gtest/gtest.h>

namespace
{
// A 291 x 400 file list with 40-point rows, 16 x 16 arrows and a 16 x 30 thumb.
ListGeometry fileList(int count, bool rtl = false)
{
    ListImageSizes s;
    s.itemWidth = 275;
    s.itemHeight = 40;
    s.spinWidth = 16;
    s.spinHeight = 16;
    s.thumbWidth = 16;
    s.thumbHeight = 30;
    ListGeometry g;
    g.layout(ListGeometry::Kind::FileList, 291, 400, s, rtl);
    g.setCount(count);
    return g;
}
} // namespace

TEST(ListBoxGeometry, FileListFramesFollowTheImages)
{
    ListGeometry g = fileList(100);
    EXPECT_EQ(g.visibleRows(), 10);
    EXPECT_EQ(g.rowRect(0), (PmFrame{0, 360, 275, 40}));
    EXPECT_EQ(g.rowRect(9), (PmFrame{0, 0, 275, 40}));
    EXPECT_EQ(g.scrollBar(), (PmFrame{275, 0, 16, 400}));
    EXPECT_EQ(g.upArrow(), (PmFrame{275, 384, 16, 16}));
    EXPECT_EQ(g.downArrow(), (PmFrame{275, 0, 16, 16}));
    EXPECT_EQ(g.thumbBegin(), (PmFrame{275, 354, 16, 30}));
    EXPECT_EQ(g.client(), (PmFrame{0, 0, 275, 400}));
    EXPECT_EQ(g.dragBegin(), 16);
    EXPECT_EQ(g.dragEnd(), 354);
    EXPECT_TRUE(g.scrollEnabled());
    EXPECT_FLOAT_EQ(g.thumbGap(), (354.f - 16.f) / 90.f);
    // The thumb reaches the down arrow at the last first row.
    EXPECT_EQ(g.thumbRect(90).y, 354 - 338);
    EXPECT_EQ(g.thumbRect(45).y, 354 - int(45 * ((354.f - 16.f) / 90.f)));

    // Right-to-left: scroll bar on the left, rows on the right.
    ListGeometry r = fileList(100, true);
    EXPECT_EQ(r.scrollBar().x, 0);
    EXPECT_EQ(r.client(), (PmFrame{16, 0, 275, 400}));
    EXPECT_EQ(r.rowRect(0).x, 291 - 275);

    // At most 40 visible rows, however tall the list.
    ListImageSizes small;
    small.itemHeight = 10;
    ListGeometry tall;
    tall.layout(ListGeometry::Kind::FileList, 291, 1000, small, false);
    EXPECT_EQ(tall.visibleRows(), 40);
}

TEST(ListBoxGeometry, MissingImagesStillGiveAUsableList)
{
    ListGeometry g;
    g.layout(ListGeometry::Kind::FileList, 291, 360, ListImageSizes{}, false);
    g.setCount(1000);
    EXPECT_GT(g.itemHeight(), 0);
    EXPECT_EQ(g.visibleRows(), 360 / ListGeometry::kDefaultItemHeight);
    EXPECT_TRUE(g.scrollEnabled());
    EXPECT_GT(g.thumbGap(), 0.f);
    // A list too small for its own thumb never divides by zero or scrolls backwards.
    ListGeometry tiny;
    tiny.layout(ListGeometry::Kind::FileList, 20, 30, ListImageSizes{}, false);
    tiny.setCount(50);
    EXPECT_EQ(tiny.dragTo(3, 100, 0), 3);
    EXPECT_EQ(tiny.clampFirstRow(-5), 0);
}

TEST(ListBoxGeometry, HitTestingRowsAndScrollBar)
{
    ListGeometry g = fileList(100);
    EXPECT_EQ(g.rowAt(10, 399, 0), 0);
    EXPECT_EQ(g.rowAt(10, 360, 0), 0);
    EXPECT_EQ(g.rowAt(10, 359, 0), 1);
    EXPECT_EQ(g.rowAt(10, 0, 5), 14);
    EXPECT_EQ(g.rowAt(280, 200, 0), -1); // the scroll bar is not a row
    EXPECT_EQ(g.hitScrollBar(280, 390, 0), kScrollUpArrow);
    EXPECT_EQ(g.hitScrollBar(280, 5, 0), kScrollDownArrow);
    EXPECT_EQ(g.hitScrollBar(280, 360, 0), kScrollThumb);
    EXPECT_EQ(g.hitScrollBar(280, 200, 0), kScrollPageDown);
    EXPECT_EQ(g.hitScrollBar(280, 200, 90), kScrollPageUp);
    EXPECT_EQ(g.hitScrollBar(100, 200, 0), kScrollNone);

    // Rows that hold no entry are not hit; a short list has no scroll bar.
    ListGeometry few = fileList(3);
    EXPECT_EQ(few.rowAt(10, 290, 0), 2);
    EXPECT_EQ(few.rowAt(10, 250, 0), -1);
    EXPECT_EQ(few.rowAt(10, 100, 0), -1);
    EXPECT_FALSE(few.scrollEnabled());
    EXPECT_EQ(few.hitScrollBar(280, 390, 0), kScrollNone);
    EXPECT_EQ(few.thumbRect(0), few.thumbBegin());
    EXPECT_EQ(few.wheel(0, -120), 0);
    ListGeometry empty = fileList(0);
    EXPECT_EQ(empty.rowAt(10, 390, 0), -1);
}

TEST(ListBoxGeometry, ScrollingStaysInRange)
{
    ListGeometry g = fileList(25); // ten visible, first row 0..15
    EXPECT_EQ(g.maxFirstRow(), 15);
    EXPECT_EQ(g.scrollByPart(kScrollUpArrow, 0), 0);
    EXPECT_EQ(g.scrollByPart(kScrollDownArrow, 0), 1);
    EXPECT_EQ(g.scrollByPart(kScrollDownArrow, 15), 15);
    // Paging down near the end stops with the last entry on the last row.
    EXPECT_EQ(g.scrollByPart(kScrollPageDown, 10), 15);
    EXPECT_EQ(g.scrollByPart(kScrollPageUp, 4), 0);
    EXPECT_EQ(g.wheel(3, -1), 4);
    EXPECT_EQ(g.wheel(3, 240), 2);
    EXPECT_EQ(g.wheel(0, 120), 0);
    EXPECT_EQ(g.wheel(15, -120), 15);
    EXPECT_EQ(g.wheel(7, 0), 7);

    // Thumb drags: (last y - current y) / gap rows, truncated and clamped;
    // less than a row leaves the first row as it is.
    const float gap = g.thumbGap(); // 338 / 15
    EXPECT_EQ(g.dragTo(0, 300, 300 - int(gap) + 1), 0);
    EXPECT_EQ(g.dragTo(0, 300, 300 - int(gap * 3) - 1), 3);
    EXPECT_EQ(g.dragTo(5, 100, 100 + int(gap * 2) + 1), 3);
    EXPECT_EQ(g.dragTo(5, 1000000, -1000000), 15);
    EXPECT_EQ(g.dragTo(5, -1000000, 1000000), 0);

    // Selecting from code shows the row with the least movement.
    EXPECT_EQ(g.ensureVisible(0, 5), 0);
    EXPECT_EQ(g.ensureVisible(0, 12), 3);
    EXPECT_EQ(g.ensureVisible(10, 2), 2);
    EXPECT_EQ(g.ensureVisible(0, 24), 15);
    EXPECT_EQ(g.ensureVisible(4, 99), 4);
}

TEST(ListBoxGeometry, DropDownShowsEightRowsBesideItsScrollBar)
{
    ListImageSizes s;
    s.itemWidth = 51;
    s.itemHeight = 18;
    s.spinWidth = 16;
    s.spinHeight = 16;
    s.thumbWidth = 16;
    s.thumbHeight = 20;
    s.backgroundWidth = 51;
    ListGeometry g;
    g.layout(ListGeometry::Kind::DropDown, 67, 144, s, false);
    g.setCount(50);
    EXPECT_EQ(g.visibleRows(), 8);
    EXPECT_EQ(g.scrollBar(), (PmFrame{51, 0, 16, 144}));
    EXPECT_EQ(g.rowRect(7), (PmFrame{0, 0, 51, 18}));
    EXPECT_EQ(g.maxFirstRow(), 42);
    EXPECT_EQ(g.rowAt(60, 100, 0), -1);
}

TEST(ListBoxGeometry, FrameConversionToQt)
{
    const PmFrame f{10, 20, 30, 40};
    EXPECT_EQ(pmQtRect(f, 100), QRect(10, 40, 30, 40));
    // A Qt pixel row is inside the Qt rectangle exactly when its bottom-up row is inside the frame.
    for (int qy = 0; qy < 100; ++qy)
        EXPECT_EQ(pmQtRect(f, 100).contains(15, qy), f.contains(15, bottomUpY(qy, 100))) << qy;
    EXPECT_EQ(f.mirrored(100), (PmFrame{60, 20, 30, 40}));
}
