#include "Glyphs.h"

#include <QPainterPath>
#include <QtMath>

namespace glyphs
{
namespace
{

constexpr qreal kStroke = 2.0;

QPen linePen(const QColor& c, qreal w = kStroke)
{
    QPen pen(c, w);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void stroke(QPainter& p, const QPainterPath& path, const QColor& c, qreal w = kStroke)
{
    p.setPen(linePen(c, w));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void fill(QPainter& p, const QPainterPath& path, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(path);
}

QColor faded(const QColor& c, qreal alpha)
{
    QColor f = c;
    f.setAlphaF(c.alphaF() * alpha);
    return f;
}

QPainterPath roundedTriangle(QPointF a, QPointF b, QPointF c)
{
    QPainterPath path(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    return path;
}

// Filled shape with softened corners: fill plus a thin stroke of the same colour.
void solid(QPainter& p, const QPainterPath& path, const QColor& c)
{
    p.setPen(linePen(c, 1.2));
    p.setBrush(c);
    p.drawPath(path);
}

} // namespace

void draw(QPainter& p, const QRectF& box, Glyph glyph, const QColor& color)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.translate(box.topLeft());
    p.scale(box.width() / 24.0, box.height() / 24.0);
    glyph(p, color);
    p.restore();
}

void folder(QPainter& p, const QColor& c)
{
    QPainterPath back;
    back.moveTo(2.5, 18.5);
    back.lineTo(2.5, 5.5);
    back.quadTo(2.5, 4.5, 3.5, 4.5);
    back.lineTo(8.5, 4.5);
    back.lineTo(10.5, 6.8);
    back.lineTo(19.5, 6.8);
    back.quadTo(20.5, 6.8, 20.5, 7.8);
    back.lineTo(20.5, 9.5);
    stroke(p, back, c);
    QPainterPath front;
    front.moveTo(2.5, 19.5);
    front.lineTo(5.6, 10.5);
    front.lineTo(22.5, 10.5);
    front.lineTo(19.4, 19.5);
    front.closeSubpath();
    fill(p, front, faded(c, 0.28));
    stroke(p, front, c);
}

void printer(QPainter& p, const QColor& c)
{
    QPainterPath top;
    top.addRect(QRectF(7, 3.5, 10, 5));
    stroke(p, top, c);
    QPainterPath body;
    body.addRoundedRect(QRectF(2.5, 8.5, 19, 9), 2, 2);
    fill(p, body, faded(c, 0.28));
    stroke(p, body, c);
    QPainterPath paper;
    paper.addRect(QRectF(7, 13.5, 10, 7.5));
    p.setPen(linePen(c));
    p.setBrush(QColor(0, 0, 0, 0));
    p.drawPath(paper);
    p.setPen(linePen(c, 1.2));
    p.drawLine(QPointF(9.2, 16.2), QPointF(14.8, 16.2));
    p.drawLine(QPointF(9.2, 18.6), QPointF(13.2, 18.6));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(18.3, 11.2), 0.9, 0.9);
}

void backup(QPainter& p, const QColor& c)
{
    // A drive with an arrow going into it.
    QPainterPath drive;
    drive.addRoundedRect(QRectF(2.5, 13.5, 19, 7.5), 2, 2);
    fill(p, drive, faded(c, 0.28));
    stroke(p, drive, c);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(17.6, 17.25), 1.1, 1.1);
    p.setPen(linePen(c, 1.4));
    p.drawLine(QPointF(5.8, 17.25), QPointF(11.5, 17.25));
    QPainterPath arrow;
    arrow.moveTo(12, 2.5);
    arrow.lineTo(12, 10.5);
    stroke(p, arrow, c);
    QPainterPath head;
    head.moveTo(8.2, 7.2);
    head.lineTo(12, 11);
    head.lineTo(15.8, 7.2);
    stroke(p, head, c);
}

void camera(QPainter& p, const QColor& c)
{
    QPainterPath body;
    body.moveTo(3.5, 7.5);
    body.lineTo(7.3, 7.5);
    body.lineTo(9, 4.8);
    body.lineTo(15, 4.8);
    body.lineTo(16.7, 7.5);
    body.lineTo(20.5, 7.5);
    body.quadTo(21.5, 7.5, 21.5, 8.5);
    body.lineTo(21.5, 18.5);
    body.quadTo(21.5, 19.5, 20.5, 19.5);
    body.lineTo(3.5, 19.5);
    body.quadTo(2.5, 19.5, 2.5, 18.5);
    body.lineTo(2.5, 8.5);
    body.quadTo(2.5, 7.5, 3.5, 7.5);
    fill(p, body, faded(c, 0.28));
    stroke(p, body, c);
    QPainterPath lens;
    lens.addEllipse(QPointF(12, 13.3), 3.9, 3.9);
    stroke(p, lens, c);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(12, 13.3), 1.5, 1.5);
    p.drawEllipse(QPointF(18.4, 10.3), 0.9, 0.9);
}

void kml(QPainter& p, const QColor& c)
{
    // A folded map with a location pin: the track goes out as a map document.
    QPainterPath map;
    map.moveTo(2.5, 8);
    map.lineTo(8, 6);
    map.lineTo(14, 8);
    map.lineTo(21.5, 5.5);
    map.lineTo(21.5, 19);
    map.lineTo(14, 21.5);
    map.lineTo(8, 19.5);
    map.lineTo(2.5, 21.5);
    map.closeSubpath();
    fill(p, map, faded(c, 0.22));
    stroke(p, map, c, 1.6);
    p.setPen(linePen(faded(c, 0.7), 1.2));
    p.drawLine(QPointF(8, 6.5), QPointF(8, 19));
    p.drawLine(QPointF(14, 8.5), QPointF(14, 21));
    QPainterPath pinPath;
    pinPath.moveTo(14, 17.2);
    pinPath.cubicTo(10.6, 13, 9.6, 11.4, 9.6, 8.9);
    pinPath.cubicTo(9.6, 6.3, 11.6, 4.3, 14, 4.3);
    pinPath.cubicTo(16.4, 4.3, 18.4, 6.3, 18.4, 8.9);
    pinPath.cubicTo(18.4, 11.4, 17.4, 13, 14, 17.2);
    QPainterPath hole;
    hole.addEllipse(QPointF(14, 8.9), 1.7, 1.7);
    QPainterPath solidPin = pinPath.subtracted(hole);
    p.setPen(linePen(c, 1.0));
    p.setBrush(c);
    p.drawPath(solidPin);
}

void videoHost(QPainter& p, const QColor& c)
{
    QPainterPath screen;
    screen.addRoundedRect(QRectF(2.5, 5, 19, 14), 4, 4);
    fill(p, screen, faded(c, 0.28));
    stroke(p, screen, c);
    solid(p, roundedTriangle(QPointF(10, 8.8), QPointF(10, 15.2), QPointF(15.4, 12)), c);
}

void share(QPainter& p, const QColor& c)
{
    // A cloud with an upward arrow: upload to a network service.
    QPainterPath cloud;
    cloud.moveTo(7, 19);
    cloud.cubicTo(4.2, 19, 2.5, 17.2, 2.5, 14.8);
    cloud.cubicTo(2.5, 12.5, 4.2, 10.9, 6.3, 10.7);
    cloud.cubicTo(6.8, 7.3, 9.3, 5, 12.5, 5);
    cloud.cubicTo(15.6, 5, 18, 7.1, 18.5, 10);
    cloud.cubicTo(20.3, 10.3, 21.5, 12, 21.5, 14.3);
    cloud.cubicTo(21.5, 16.9, 19.7, 19, 17, 19);
    cloud.closeSubpath();
    fill(p, cloud, faded(c, 0.28));
    stroke(p, cloud, c);
    p.setPen(linePen(c));
    p.drawLine(QPointF(12, 17), QPointF(12, 10.5));
    QPainterPath head;
    head.moveTo(9.2, 13);
    head.lineTo(12, 10.2);
    head.lineTo(14.8, 13);
    stroke(p, head, c);
}

void gear(QPainter& p, const QColor& c)
{
    QPainterPath body;
    const QPointF centre(12, 12);
    const int teeth = 8;
    const qreal outer = 10.0, inner = 7.6;
    for (int i = 0; i < teeth * 4; ++i) {
        // Each tooth: rise, top, fall, valley (a quarter of the pitch each).
        const qreal a = (i / qreal(teeth * 4)) * 2 * M_PI - M_PI / 2 - M_PI / (teeth * 4);
        const int phase = i % 4;
        const qreal r = (phase == 1 || phase == 2) ? outer : inner;
        const QPointF pt(centre.x() + r * qCos(a), centre.y() + r * qSin(a));
        if (i == 0)
            body.moveTo(pt);
        else
            body.lineTo(pt);
    }
    body.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(centre, 3.3, 3.3);
    QPainterPath ring = body.subtracted(hole);
    p.setPen(linePen(c, 1.0));
    p.setBrush(c);
    p.drawPath(ring);
}

void windowSwitch(QPainter& p, const QColor& c)
{
    QPainterPath a;
    a.addRoundedRect(QRectF(2.5, 3.5, 11, 8), 1.5, 1.5);
    fill(p, a, faded(c, 0.28));
    stroke(p, a, c);
    QPainterPath b;
    b.addRoundedRect(QRectF(10.5, 12.5, 11, 8), 1.5, 1.5);
    fill(p, b, c);
    stroke(p, b, c);
    // Swap arrows between the two windows.
    QPainterPath arc1;
    arc1.moveTo(16, 4.5);
    arc1.quadTo(20.5, 4.5, 20.5, 9.2);
    stroke(p, arc1, c, 1.6);
    QPainterPath h1;
    h1.moveTo(18.6, 7.6);
    h1.lineTo(20.5, 9.8);
    h1.lineTo(22.4, 7.6);
    stroke(p, h1, c, 1.6);
    QPainterPath arc2;
    arc2.moveTo(8, 19.5);
    arc2.quadTo(3.5, 19.5, 3.5, 14.8);
    stroke(p, arc2, c, 1.6);
    QPainterPath h2;
    h2.moveTo(1.6, 16.4);
    h2.lineTo(3.5, 14.2);
    h2.lineTo(5.4, 16.4);
    stroke(p, h2, c, 1.6);
}

void skipPrevious(QPainter& p, const QColor& c)
{
    QPainterPath bar;
    bar.addRoundedRect(QRectF(4.5, 5.5, 2.6, 13), 1, 1);
    fill(p, bar, c);
    solid(p, roundedTriangle(QPointF(8.6, 12), QPointF(19, 5.8), QPointF(19, 18.2)), c);
}

void skipNext(QPainter& p, const QColor& c)
{
    QPainterPath bar;
    bar.addRoundedRect(QRectF(16.9, 5.5, 2.6, 13), 1, 1);
    fill(p, bar, c);
    solid(p, roundedTriangle(QPointF(15.4, 12), QPointF(5, 5.8), QPointF(5, 18.2)), c);
}

void play(QPainter& p, const QColor& c)
{
    solid(p, roundedTriangle(QPointF(8, 4.8), QPointF(8, 19.2), QPointF(19.6, 12)), c);
}

void playReverse(QPainter& p, const QColor& c)
{
    solid(p, roundedTriangle(QPointF(16, 4.8), QPointF(16, 19.2), QPointF(4.4, 12)), c);
}

void pause(QPainter& p, const QColor& c)
{
    QPainterPath bars;
    bars.addRoundedRect(QRectF(6.5, 5, 3.8, 14), 1.2, 1.2);
    bars.addRoundedRect(QRectF(13.7, 5, 3.8, 14), 1.2, 1.2);
    fill(p, bars, c);
}

static QPainterPath speakerPath()
{
    QPainterPath s;
    s.moveTo(2.8, 9.2);
    s.lineTo(6.6, 9.2);
    s.lineTo(11.6, 4.8);
    s.lineTo(11.6, 19.2);
    s.lineTo(6.6, 14.8);
    s.lineTo(2.8, 14.8);
    s.closeSubpath();
    return s;
}

void volumeOn(QPainter& p, const QColor& c)
{
    solid(p, speakerPath(), c);
    p.setPen(linePen(c, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9.6, 8, 8, 8), -55 * 16, 110 * 16);
    p.drawArc(QRectF(8.2, 4.4, 14, 15.2), -55 * 16, 110 * 16);
}

void volumeOff(QPainter& p, const QColor& c)
{
    solid(p, speakerPath(), c);
    p.setPen(linePen(c, 2.0));
    p.drawLine(QPointF(15, 9), QPointF(21, 15));
    p.drawLine(QPointF(21, 9), QPointF(15, 15));
}

void expand(QPainter& p, const QColor& c)
{
    QPainterPath path;
    path.moveTo(3.5, 9);
    path.lineTo(3.5, 3.5);
    path.lineTo(9, 3.5);
    path.moveTo(15, 3.5);
    path.lineTo(20.5, 3.5);
    path.lineTo(20.5, 9);
    path.moveTo(20.5, 15);
    path.lineTo(20.5, 20.5);
    path.lineTo(15, 20.5);
    path.moveTo(9, 20.5);
    path.lineTo(3.5, 20.5);
    path.lineTo(3.5, 15);
    stroke(p, path, c, 2.2);
}

void collapse(QPainter& p, const QColor& c)
{
    QPainterPath path;
    path.moveTo(3.5, 9);
    path.lineTo(9, 9);
    path.lineTo(9, 3.5);
    path.moveTo(15, 3.5);
    path.lineTo(15, 9);
    path.lineTo(20.5, 9);
    path.moveTo(20.5, 15);
    path.lineTo(15, 15);
    path.lineTo(15, 20.5);
    path.moveTo(9, 20.5);
    path.lineTo(9, 15);
    path.lineTo(3.5, 15);
    stroke(p, path, c, 2.2);
}

void chevronLeft(QPainter& p, const QColor& c)
{
    QPainterPath path;
    path.moveTo(15, 4.5);
    path.lineTo(7.5, 12);
    path.lineTo(15, 19.5);
    stroke(p, path, c, 3.0);
}

void chevronRight(QPainter& p, const QColor& c)
{
    QPainterPath path;
    path.moveTo(9, 4.5);
    path.lineTo(16.5, 12);
    path.lineTo(9, 19.5);
    stroke(p, path, c, 3.0);
}

void chevronDown(QPainter& p, const QColor& c)
{
    QPainterPath path;
    path.moveTo(5, 9);
    path.lineTo(12, 16);
    path.lineTo(19, 9);
    stroke(p, path, c, 3.0);
}

void triangleUp(QPainter& p, const QColor& c)
{
    solid(p, roundedTriangle(QPointF(12, 7), QPointF(19, 16), QPointF(5, 16)), c);
}

void triangleDown(QPainter& p, const QColor& c)
{
    solid(p, roundedTriangle(QPointF(12, 17), QPointF(5, 8), QPointF(19, 8)), c);
}

void arrowUp(QPainter& p, const QColor& c)
{
    QPainterPath path;
    path.moveTo(12, 19);
    path.lineTo(12, 5.5);
    path.moveTo(6, 11);
    path.lineTo(12, 5);
    path.lineTo(18, 11);
    stroke(p, path, c, 2.6);
}

void arrowDown(QPainter& p, const QColor& c)
{
    QPainterPath path;
    path.moveTo(12, 5);
    path.lineTo(12, 18.5);
    path.moveTo(6, 13);
    path.lineTo(12, 19);
    path.lineTo(18, 13);
    stroke(p, path, c, 2.6);
}

void arrowLeft(QPainter& p, const QColor& c)
{
    QPainterPath path;
    path.moveTo(19, 12);
    path.lineTo(5.5, 12);
    path.moveTo(11, 6);
    path.lineTo(5, 12);
    path.lineTo(11, 18);
    stroke(p, path, c, 2.6);
}

void arrowRight(QPainter& p, const QColor& c)
{
    QPainterPath path;
    path.moveTo(5, 12);
    path.lineTo(18.5, 12);
    path.moveTo(13, 6);
    path.lineTo(19, 12);
    path.lineTo(13, 18);
    stroke(p, path, c, 2.6);
}

void recenter(QPainter& p, const QColor& c)
{
    p.setPen(linePen(c, 2.4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.5, 4.5, 15, 15), 100 * 16, 290 * 16);
    QPainterPath head;
    head.moveTo(9.2, 1.9);
    head.lineTo(12.8, 4.6);
    head.lineTo(9.6, 7.8);
    stroke(p, head, c, 2.4);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(12, 12), 2.2, 2.2);
}

void pin(QPainter& p, const QColor& c)
{
    QPainterPath pinPath;
    pinPath.moveTo(12, 22);
    pinPath.cubicTo(6.5, 15.5, 4.5, 12.5, 4.5, 9.3);
    pinPath.cubicTo(4.5, 5.2, 7.9, 2, 12, 2);
    pinPath.cubicTo(16.1, 2, 19.5, 5.2, 19.5, 9.3);
    pinPath.cubicTo(19.5, 12.5, 17.5, 15.5, 12, 22);
    QPainterPath hole;
    hole.addEllipse(QPointF(12, 9.3), 3, 3);
    p.setPen(linePen(c, 1.0));
    p.setBrush(c);
    p.drawPath(pinPath.subtracted(hole));
}

void calendar(QPainter& p, const QColor& c)
{
    QPainterPath page;
    page.addRoundedRect(QRectF(3, 5, 18, 16), 2, 2);
    stroke(p, page, c);
    QPainterPath band;
    band.addRect(QRectF(3, 5, 18, 4.5));
    fill(p, band, c);
    p.setPen(linePen(c, 2));
    p.drawLine(QPointF(8, 3), QPointF(8, 6.5));
    p.drawLine(QPointF(16, 3), QPointF(16, 6.5));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (int r = 0; r < 2; ++r)
        for (int k = 0; k < 3; ++k)
            p.drawRect(QRectF(6.5 + k * 4, 12 + r * 4, 2.6, 2.4));
}

void check(QPainter& p, const QColor& c)
{
    QPainterPath path;
    path.moveTo(5, 12.5);
    path.lineTo(10, 17.5);
    path.lineTo(19, 6.5);
    stroke(p, path, c, 3.2);
}

void film(QPainter& p, const QColor& c)
{
    QPainterPath body;
    body.addRoundedRect(QRectF(2.5, 7, 13, 10), 2, 2);
    fill(p, body, c);
    solid(p, roundedTriangle(QPointF(16.5, 12), QPointF(21.5, 8), QPointF(21.5, 16)), c);
}

} // namespace glyphs
