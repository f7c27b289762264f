#pragma once
// A mark on a time line (the play bar's time slider, the G-sensor graph): the
// whole second it stands at and the text its tooltip shows. The controls draw
// and name the marks they are given; what a mark means is decided elsewhere.
// Must run on the main thread.
#include <QColor>
#include <QList>
#include <QString>

#include <functional>

class QPainter;

struct TimeMark {
    int second = 0;
    QString text;
};

// The mark drawn nearest to `x` (its centre at xOf(mark.second)), if it lies
// within `reach` pixels; -1 when none does.
int pmTimeMarkNear(const QList<TimeMark>& marks, const std::function<int(int)>& xOf, int x, int reach);

// The marks' look, one for every panel: a small amber wedge hanging from `top`
// and pointing down at its place, outlined so it shows on light and dark skins.
inline constexpr int kTimeMarkWidth = 9;
inline constexpr int kTimeMarkHeight = 7;
void pmDrawTimeMark(QPainter& painter, int centreX, int top);
inline QColor pmTimeMarkColor()
{
    return QColor(255, 170, 0);
}
