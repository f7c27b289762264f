#pragma once
// The one rectangle of the layout code: a frame with its origin at the
// parent's bottom-left corner and y growing upwards, as every layout rule of
// the window, the panels and the lists is written. Whole points for panels and
// lists (PmFrame), fractional ones for the window and the video picture
// (PmFrameF). Qt places children from the top-left corner; pmTopLeftFrame is
// the one place that turns one into the other (base/QtFrame.h wraps it for
// widgets).

template <typename T> struct BasicFrame {
    T x = 0;
    T y = 0;
    T width = 0;
    T height = 0;

    constexpr T right() const { return x + width; }
    constexpr T top() const { return y + height; }
    constexpr bool contains(T px, T py) const
    {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
    constexpr bool isEmpty() const { return width <= 0 || height <= 0; }
    // The same frame in a parent laid out right to left: x' = parentWidth - width - x.
    constexpr BasicFrame mirrored(T parentWidth) const { return {parentWidth - width - x, y, width, height}; }
    constexpr bool operator==(const BasicFrame& o) const
    {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
    constexpr bool operator!=(const BasicFrame& o) const { return !(*this == o); }
};

using PmFrame = BasicFrame<int>;
using PmFrameF = BasicFrame<double>;

// A bottom-left frame as a top-left one inside a parent of that height:
//   y' = parentHeight - y - height
template <typename T> constexpr BasicFrame<T> pmTopLeftFrame(const BasicFrame<T>& f, T parentHeight)
{
    return {f.x, parentHeight - f.y - f.height, f.width, f.height};
}
