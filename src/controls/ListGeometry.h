#pragma once
// Geometry of the skinned lists (the file list and the calendar's drop-down):
// row rectangles, the scroll bar's parts, thumb position, hit-testing and the
// scrolling rules. Frames are in points with the origin at the bottom-left
// corner and y upward, exactly as the layout rules are written; a widget
// converts a frame once with pmQtRect() and a mouse position with
// bottomUpY(). No widget is needed to use any of this.
#include "base/QtFrame.h"
#include "core/Frame.h"

#include <QRect>
#include <array>

// A Qt pixel row (top-down) -> the bottom-up row that holds the same pixel,
// so that pmQtRect(f).contains(x, qtY) == f.contains(x, bottomUpY(qtY)).
inline int bottomUpY(int qtY, int height)
{
    return height - 1 - qtY;
}

// Parts of the scroll bar, as the hit test reports them.
enum ScrollPart : int {
    kScrollNone = 0,
    kScrollUpArrow = 1,
    kScrollDownArrow = 2,
    kScrollPageUp = 3,   // track between the thumb's top and the up arrow
    kScrollPageDown = 4, // track between the down arrow and the thumb's bottom
    kScrollThumb = 5,
};

// Image sizes a list is laid out from. Zero sizes (a missing skin image) fall
// back to usable defaults so that the list still works without its artwork.
struct ListImageSizes {
    int itemWidth = 0; // selection image
    int itemHeight = 0;
    int spinWidth = 0; // arrow image
    int spinHeight = 0;
    int thumbWidth = 0; // thumb image
    int thumbHeight = 0;
    int backgroundWidth = 0; // drop-down only: the row background's width
};

class ListGeometry
{
public:
    static constexpr int kMaxVisibleRows = 40;
    static constexpr int kDropDownRows = 8;
    static constexpr int kDefaultItemHeight = 36;
    static constexpr int kDefaultSpinSize = 16;
    static constexpr int kDefaultThumbHeight = 24;

    enum class Kind { FileList, DropDown };

    // Lays out a list of width x height. Keeps the count.
    void layout(Kind kind, int width, int height, const ListImageSizes& sizes, bool rightToLeft);
    // The number of entries changed: scrolling and the thumb's step follow it.
    void setCount(int count);

    int width() const { return m_width; }
    int height() const { return m_height; }
    int count() const { return m_count; }
    int visibleRows() const { return m_visibleRows; }
    int itemWidth() const { return m_itemWidth; }
    int itemHeight() const { return m_itemHeight; }
    bool scrollEnabled() const { return m_scrollEnable; }
    float thumbGap() const { return m_thumbGap; }
    int dragBegin() const { return m_dragBegin; }
    int dragEnd() const { return m_dragEnd; }
    bool rightToLeft() const { return m_rightToLeft; }

    PmFrame rowRect(int k) const; // visible row position k from the top
    const PmFrame& scrollBar() const { return m_scroll; }
    const PmFrame& upArrow() const { return m_upSpin; }
    const PmFrame& downArrow() const { return m_downSpin; }
    const PmFrame& thumbBegin() const { return m_thumbBegin; }
    const PmFrame& client() const { return m_client; }
    // The thumb for a first visible row: thumbBegin moved down by start * gap, truncated.
    PmFrame thumbRect(int firstRow) const;

    // 0 .. max(0, count - visible rows).
    int maxFirstRow() const;
    int clampFirstRow(int firstRow) const;

    // Index of the entry under a point (visible rows holding an entry only, and
    // only inside the row area), or -1.
    int rowAt(int x, int y, int firstRow) const;
    // The scroll bar part under a point; none when scrolling is disabled.
    ScrollPart hitScrollBar(int x, int y, int firstRow) const;
    // The first visible row after a press on a part (arrows step one row,
    // track presses one page), clamped.
    int scrollByPart(ScrollPart part, int firstRow) const;
    // Thumb drag from lastY to curY (bottom-up): the new first row, clamped.
    // Returns firstRow unchanged while the movement is less than one row.
    int dragTo(int firstRow, int lastY, int curY) const;
    // Wheel: a negative delta scrolls one row down, a positive one one row up.
    int wheel(int firstRow, double delta) const;
    // Moves the first row by single steps just far enough to show row `selected`.
    int ensureVisible(int firstRow, int selected) const;

private:
    Kind m_kind = Kind::FileList;
    int m_width = 0;
    int m_height = 0;
    int m_count = 0;
    int m_visibleRows = 0;
    int m_itemWidth = 0;
    int m_itemHeight = kDefaultItemHeight;
    int m_spinWidth = kDefaultSpinSize;
    int m_spinHeight = kDefaultSpinSize;
    int m_thumbWidth = kDefaultSpinSize;
    int m_thumbHeight = kDefaultThumbHeight;
    int m_dragBegin = 0;
    int m_dragEnd = 0;
    float m_thumbGap = 0.f;
    bool m_scrollEnable = false;
    bool m_rightToLeft = false;
    PmFrame m_scroll, m_upSpin, m_downSpin, m_thumbBegin, m_client;
    int m_rowX = 0;
};
