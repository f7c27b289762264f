#pragma once
// Bottom-left frames (core/Frame.h) applied to widgets: Qt rectangles with the
// origin at the parent's top-left corner, through the one conversion.
#include "core/Frame.h"

#include <QRect>
#include <cmath>

// Whole-point frame -> Qt rectangle inside a parent of that height.
inline QRect pmQtRect(const PmFrame& f, int parentHeight)
{
    const PmFrame t = pmTopLeftFrame(f, parentHeight);
    return QRect(t.x, t.y, t.width, t.height);
}

// Fractional frame -> Qt rectangle, each edge rounded to the nearest pixel
// after the flip, so a frame keeps its size wherever it sits.
inline QRect pmQtRect(const PmFrameF& f, double parentHeight)
{
    const PmFrameF t = pmTopLeftFrame(f, parentHeight);
    return QRect(static_cast<int>(std::lround(t.x)), static_cast<int>(std::lround(t.y)),
                 static_cast<int>(std::lround(t.width)), static_cast<int>(std::lround(t.height)));
}

// A bottom-left frame held in a QRect (the map and graph panels keep theirs so).
inline QRect pmQtRect(const QRect& bottomLeft, int parentHeight)
{
    return pmQtRect(PmFrame{bottomLeft.x(), bottomLeft.y(), bottomLeft.width(), bottomLeft.height()},
                    parentHeight);
}
