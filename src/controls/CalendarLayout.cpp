#include "controls/CalendarLayout.h"

CalendarLayout CalendarLayout::compute(int imageWidth, int imageHeight, int tabH, bool rtl, bool shrinkMode)
{
    CalendarLayout l;
    l.width = imageWidth > 0 ? imageWidth : kFallbackWidth;
    l.tabHeight = tabH < 0 ? 0 : tabH;
    l.height = (imageHeight > 0 ? imageHeight : kFallbackImageHeight) + l.tabHeight;
    l.rightToLeft = rtl;
    const int W = l.width;
    const int H = l.height;
    const int t = l.tabHeight;

    l.columnWidth = W / 7;
    l.itemStartX = (W - 7 * l.columnWidth) / 2;
    l.itemStartY = t + 44;

    for (int c = 0; c < 7; ++c) {
        PmFrame f{(W % 7) / 2 + c * l.columnWidth, H - 12 - (t + 31), l.columnWidth, 12};
        l.weekLabels[c] = rtl ? f.mirrored(W) : f;
    }
    l.year = {53, H - 27 - (t + 3), 67, 27};
    l.month = {122, l.year.y, 67, 27};
    l.prev = {7, H - 18 - (t + 7), 21, 18};
    l.next = {31, l.prev.y, 21, 18};
    if (rtl) {
        l.year = l.year.mirrored(W);
        l.month = l.month.mirrored(W);
        l.prev = l.prev.mirrored(W);
        l.next = l.next.mirrored(W);
    }
    l.placeModeAndTabs(shrinkMode);
    return l;
}

void CalendarLayout::placeModeAndTabs(bool shrinkMode)
{
    shrink = shrinkMode;
    const int base = shrink ? (tabHeight > 0 ? tabHeight : 31) : height;
    modeButton = {192, base - 27, 91, 25};
    if (rightToLeft)
        modeButton = modeButton.mirrored(width);
    // The tabs are never mirrored.
    calendarTab = {0, base - 30, kTabWidth, 30};
    allTab = {kTabWidth + 1, base - 30, kTabWidth, 30};
}

PmFrame CalendarLayout::cell(int row, int column) const
{
    PmFrame f{itemStartX + column * columnWidth,
              height - kCellHeight - ((kCellHeight + kRowGap) * row + itemStartY), columnWidth, kCellHeight};
    return rightToLeft ? f.mirrored(width) : f;
}

int CalendarLayout::cellAt(int x, int y) const
{
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 7; ++c) {
            if (cell(r, c).contains(x, y))
                return r * 7 + c;
        }
    }
    return -1;
}

PmFrame ComboBoxLayout::spinFrame(int boxWidth, int boxHeight, int spinWidth, int spinHeight,
                                  bool rightToLeft)
{
    PmFrame f{boxWidth - spinWidth - 4, (boxHeight - spinHeight) / 2, spinWidth, spinHeight};
    return rightToLeft ? f.mirrored(boxWidth) : f;
}
