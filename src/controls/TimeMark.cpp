#include "controls/TimeMark.h"

#include <QPainter>
#include <QPolygon>

#include <cstdlib>

int pmTimeMarkNear(const QList<TimeMark>& marks, const std::function<int(int)>& xOf, int x, int reach)
{
    int best = -1;
    int bestDistance = reach + 1;
    for (int i = 0; i < marks.size(); ++i) {
        const int distance = std::abs(xOf(marks.at(i).second) - x);
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

void pmDrawTimeMark(QPainter& painter, int centreX, int top)
{
    const int half = kTimeMarkWidth / 2;
    const QPolygon wedge({QPoint(centreX - half, top), QPoint(centreX + half, top),
                          QPoint(centreX, top + kTimeMarkHeight - 1)});
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(40, 20, 0), 1));
    painter.setBrush(pmTimeMarkColor());
    painter.drawPolygon(wedge);
    painter.restore();
}
