#pragma once
// Vector glyphs of the skins, each drawn in a 24 x 24 design square with the
// painter already scaled to the target box. Line glyphs use one stroke weight
// so that every icon of a skin reads as one family.
#include <QColor>
#include <QPainter>
#include <QRectF>

namespace glyphs
{

using Glyph = void (*)(QPainter&, const QColor&);

// Draws a glyph into box (the 24-unit square is fitted into it).
void draw(QPainter& p, const QRectF& box, Glyph glyph, const QColor& color);

void folder(QPainter& p, const QColor& c);
void printer(QPainter& p, const QColor& c);
void backup(QPainter& p, const QColor& c);
void camera(QPainter& p, const QColor& c);
void kml(QPainter& p, const QColor& c);
void videoHost(QPainter& p, const QColor& c);
void share(QPainter& p, const QColor& c);
void gear(QPainter& p, const QColor& c);
void windowSwitch(QPainter& p, const QColor& c);

void skipPrevious(QPainter& p, const QColor& c);
void skipNext(QPainter& p, const QColor& c);
void play(QPainter& p, const QColor& c);
void playReverse(QPainter& p, const QColor& c);
void pause(QPainter& p, const QColor& c);
void volumeOn(QPainter& p, const QColor& c);
void volumeOff(QPainter& p, const QColor& c);
void expand(QPainter& p, const QColor& c);
void collapse(QPainter& p, const QColor& c);

void chevronLeft(QPainter& p, const QColor& c);
void chevronRight(QPainter& p, const QColor& c);
void chevronDown(QPainter& p, const QColor& c);
void triangleUp(QPainter& p, const QColor& c);
void triangleDown(QPainter& p, const QColor& c);
void arrowUp(QPainter& p, const QColor& c);
void arrowDown(QPainter& p, const QColor& c);
void arrowLeft(QPainter& p, const QColor& c);
void arrowRight(QPainter& p, const QColor& c);
void recenter(QPainter& p, const QColor& c);
void pin(QPainter& p, const QColor& c);
void calendar(QPainter& p, const QColor& c);
void check(QPainter& p, const QColor& c);
void film(QPainter& p, const QColor& c);

} // namespace glyphs
