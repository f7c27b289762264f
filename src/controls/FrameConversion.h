#pragma once
// Panel frames are computed with the origin at the parent's bottom-left corner
// and y growing upwards; Qt places children from the top-left corner. The
// conversion happens once, where a frame is applied to a widget:
//   qtY = parentHeight - y - height
#include <QRect>

inline QRect qtRectFromBottomLeft(int x, int y, int width, int height, int parentHeight)
{
    return QRect(x, parentHeight - y - height, width, height);
}

// Any frame type with x, y, width and height members.
template <typename Frame> QRect qtRectFromBottomLeft(const Frame& frame, int parentHeight)
{
    return qtRectFromBottomLeft(frame.x, frame.y, frame.width, frame.height, parentHeight);
}
