#pragma once
// Layout arithmetic of the calendar panel and its year/month boxes, in
// bottom-left frames (see ListGeometry.h). The panel is W x H, where W is the
// background image's width and H its height plus the tab strip.
#include "controls/ListGeometry.h"

#include <array>

struct CalendarLayout {
    static constexpr int kTabWidth = 145;
    static constexpr int kTabHeight = 30;
    static constexpr int kCellHeight = 31;
    static constexpr int kRowGap = 2;
    // Used when the skin has no background image.
    static constexpr int kFallbackWidth = 291;
    static constexpr int kFallbackImageHeight = 240;

    int width = 0;
    int height = 0;
    int tabHeight = kTabHeight;
    bool rightToLeft = false;
    bool shrink = false;

    int columnWidth = 0; // nItemWidth
    int itemStartX = 0;  // nItemStartX
    int itemStartY = 0;  // nItemStartY, from the top
    std::array<PmFrame, 7> weekLabels{};
    PmFrame year, month, prev, next, modeButton, calendarTab, allTab;

    // Computes every frame. imageWidth/imageHeight: the background image's size
    // (0 when the skin lacks it: the fallback size is used).
    static CalendarLayout compute(int imageWidth, int imageHeight, int tabHeight, bool rightToLeft,
                                  bool shrink);
    // Only the frames that follow the shrink flag (mode button and tabs).
    void placeModeAndTabs(bool shrinkMode);

    // Cell of row r (0 = top) and column c (0 = Sunday), mirrored when right-to-left.
    PmFrame cell(int row, int column) const;
    // Grid index (row * 7 + column) of the first cell containing the point, or -1.
    int cellAt(int x, int y) const;
    // The height the panel gives up or takes back when it shrinks to its tab strip.
    int monthWeekHeight() const { return tabHeight + 209; }
};

// The drop-down box: spin button frame inside a box, and the list's frame in
// the box's parent (directly below the box).
struct ComboBoxLayout {
    static constexpr int kListWidth = 67;
    static constexpr int kListHeight = 144;
    static PmFrame spinFrame(int boxWidth, int boxHeight, int spinWidth, int spinHeight, bool rightToLeft);
    static PmFrame listFrame(const PmFrame& box)
    {
        return {box.x, box.y - kListHeight, kListWidth, kListHeight};
    }
};
