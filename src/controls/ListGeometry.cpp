#include "controls/ListGeometry.h"

#include <algorithm>
#include <cmath>

void ListGeometry::layout(Kind kind, int width, int height, const ListImageSizes& s, bool rightToLeft)
{
    m_kind = kind;
    m_width = std::max(0, width);
    m_height = std::max(0, height);
    m_rightToLeft = rightToLeft;
    m_spinWidth = s.spinWidth > 0 ? s.spinWidth : kDefaultSpinSize;
    m_spinHeight = s.spinHeight > 0 ? s.spinHeight : kDefaultSpinSize;
    m_thumbWidth = s.thumbWidth > 0 ? s.thumbWidth : m_spinWidth;
    m_thumbHeight = s.thumbHeight > 0 ? s.thumbHeight : kDefaultThumbHeight;

    if (kind == Kind::FileList) {
        m_itemHeight = s.itemHeight > 0 ? s.itemHeight : kDefaultItemHeight;
        m_itemWidth = s.itemWidth > 0 ? s.itemWidth : std::max(0, m_width - m_spinWidth);
        m_visibleRows = std::min(kMaxVisibleRows, m_height / m_itemHeight);
        m_scroll = {m_width - m_spinWidth, 0, m_spinWidth, m_height};
        m_client = {0, 0, std::max(0, m_width - m_spinWidth), m_height};
        if (rightToLeft) {
            m_scroll.x = 0;
            m_client.x = m_spinWidth;
        }
        m_rowX = rightToLeft ? m_width - m_itemWidth : 0;
    } else {
        // The drop-down always shows eight rows; its scroll bar sits right of
        // the row background and fills the rest of the frame.
        m_visibleRows = kDropDownRows;
        m_itemHeight = s.itemHeight > 0 ? s.itemHeight : std::max(1, m_height / kDropDownRows);
        const int bgWidth =
            s.backgroundWidth > 0 ? std::min(s.backgroundWidth, m_width) : std::max(0, m_width - m_spinWidth);
        m_itemWidth = s.itemWidth > 0 ? s.itemWidth : bgWidth;
        m_scroll = {bgWidth, 0, m_width - bgWidth, m_height};
        m_client = {0, 0, bgWidth, m_height};
        if (rightToLeft) {
            m_scroll = m_scroll.mirrored(m_width);
            m_client = m_client.mirrored(m_width);
        }
        m_rowX = rightToLeft ? m_width - m_itemWidth : 0;
    }
    const int spinX = m_scroll.x;
    m_upSpin = {spinX, m_height - m_spinHeight, m_spinWidth, m_spinHeight};
    m_downSpin = {spinX, 0, m_spinWidth, m_spinHeight};
    m_thumbBegin = {spinX + (m_scroll.width - m_thumbWidth) / 2, m_height - m_thumbHeight - m_spinHeight,
                    m_thumbWidth, m_thumbHeight};
    m_dragBegin = m_spinHeight;
    m_dragEnd = m_height - m_spinHeight - m_thumbHeight;
    setCount(m_count);
}

void ListGeometry::setCount(int count)
{
    m_count = std::max(0, count);
    m_scrollEnable = m_count > m_visibleRows;
    if (m_scrollEnable)
        m_thumbGap = float(m_dragEnd - m_dragBegin) / float(m_count - m_visibleRows);
    else
        m_thumbGap = 0.f;
}

PmFrame ListGeometry::rowRect(int k) const
{
    return {m_rowX, m_height - (k + 1) * m_itemHeight, m_itemWidth, m_itemHeight};
}

PmFrame ListGeometry::thumbRect(int firstRow) const
{
    PmFrame t = m_thumbBegin;
    if (m_scrollEnable && m_thumbGap > 0.f)
        t.y -= static_cast<int>(float(firstRow) * m_thumbGap);
    return t;
}

int ListGeometry::maxFirstRow() const
{
    return std::max(0, m_count - m_visibleRows);
}

int ListGeometry::clampFirstRow(int firstRow) const
{
    return std::clamp(firstRow, 0, maxFirstRow());
}

int ListGeometry::rowAt(int x, int y, int firstRow) const
{
    if (!m_client.contains(x, y))
        return -1;
    for (int k = 0; k < m_visibleRows; ++k) {
        const int index = firstRow + k;
        if (index < 0 || index >= m_count)
            break;
        if (rowRect(k).contains(x, y))
            return index;
    }
    return -1;
}

ScrollPart ListGeometry::hitScrollBar(int x, int y, int firstRow) const
{
    if (!m_scrollEnable || x < m_scroll.x || x >= m_scroll.x + m_scroll.width)
        return kScrollNone;
    if (y >= m_upSpin.y && y < m_upSpin.y + m_upSpin.height)
        return kScrollUpArrow;
    if (y >= m_downSpin.y && y < m_downSpin.y + m_downSpin.height)
        return kScrollDownArrow;
    const PmFrame t = thumbRect(firstRow);
    if (y >= t.y && y < t.y + t.height)
        return kScrollThumb;
    if (y >= t.y + t.height && y < m_upSpin.y)
        return kScrollPageUp;
    if (y >= m_downSpin.y + m_downSpin.height && y < t.y)
        return kScrollPageDown;
    return kScrollNone;
}

int ListGeometry::scrollByPart(ScrollPart part, int firstRow) const
{
    switch (part) {
    case kScrollUpArrow:
        return clampFirstRow(firstRow > 0 ? firstRow - 1 : firstRow);
    case kScrollDownArrow:
        return clampFirstRow(firstRow < m_count - m_visibleRows ? firstRow + 1 : firstRow);
    case kScrollPageUp:
        return clampFirstRow(firstRow - m_visibleRows);
    case kScrollPageDown:
        return clampFirstRow(firstRow + m_visibleRows);
    default:
        return clampFirstRow(firstRow);
    }
}

int ListGeometry::dragTo(int firstRow, int lastY, int curY) const
{
    if (!m_scrollEnable || !(m_thumbGap > 0.f))
        return clampFirstRow(firstRow);
    const double rows = double(lastY - curY) / double(m_thumbGap);
    // Large movements far past the ends must not overflow before the clamp.
    const double target = std::clamp(double(firstRow) + std::trunc(rows), -1.0, double(m_count));
    return clampFirstRow(static_cast<int>(target));
}

int ListGeometry::wheel(int firstRow, double delta) const
{
    if (delta == 0.0 || !m_scrollEnable)
        return clampFirstRow(firstRow);
    return clampFirstRow(delta < 0 ? firstRow + 1 : firstRow - 1);
}

int ListGeometry::ensureVisible(int firstRow, int selected) const
{
    int start = clampFirstRow(firstRow);
    if (selected < 0 || selected >= m_count || m_visibleRows <= 0)
        return start;
    // Move just far enough: the row ends up on the first or last visible line.
    if (selected < start)
        start = selected;
    else if (selected >= start + m_visibleRows)
        start = selected - m_visibleRows + 1;
    return clampFirstRow(start);
}
