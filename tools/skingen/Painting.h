#pragma once
// Shared drawing helpers of the skin generator: state handling, chrome
// gradients, button plates and text.
#include "Glyphs.h"
#include "Palette.h"

#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>

// The four state variants of an image: normal, pressed ("_d"), mouse over ("_f"), disabled ("_g").
enum St { N = 0, D = 1, F = 2, G = 3 };

inline QColor withAlpha(QColor c, qreal a)
{
    c.setAlphaF(a);
    return c;
}

inline QColor mix(const QColor& a, const QColor& b, qreal t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t,
                            a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}

inline QColor glyphColor(const Palette& pal, St st)
{
    switch (st) {
    case F:
        return pal.glyphHover;
    case D:
        return pal.accentLight;
    case G:
        return withAlpha(pal.glyph, 0.30);
    case N:
        break;
    }
    return pal.glyph;
}

// Vertical chrome gradient with a highlight line on top and a shadow line at the bottom.
inline void chrome(QPainter& p, const QRectF& r, const Palette& pal, bool lines = true)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, pal.chromeTop);
    g.setColorAt(1, pal.chromeBottom);
    p.fillRect(r, g);
    if (!lines)
        return;
    p.fillRect(QRectF(r.left(), r.top(), r.width(), 1), pal.chromeHighlight);
    p.fillRect(QRectF(r.left(), r.bottom() - 1, r.width(), 1), pal.chromeShadow);
}

// The rounded plate behind a glyph button: none when normal or disabled,
// a lit plate on hover and a sunken accent-edged plate when pressed.
inline void plate(QPainter& p, const QRectF& r, qreal radius, const Palette& pal, St st)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    if (st == F) {
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, withAlpha(Qt::white, 0.20));
        g.setColorAt(1, withAlpha(Qt::white, 0.07));
        p.setBrush(g);
        p.setPen(QPen(withAlpha(pal.accent, 0.85), 1));
        p.drawRoundedRect(r, radius, radius);
    } else if (st == D) {
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, withAlpha(Qt::black, 0.50));
        g.setColorAt(1, withAlpha(Qt::black, 0.28));
        p.setBrush(g);
        p.setPen(QPen(pal.accent, 1));
        p.drawRoundedRect(r, radius, radius);
    }
    p.restore();
}

inline QFont uiFont(int pixelSize, bool bold = true)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

inline void centredText(QPainter& p, const QRectF& r, const QString& text, const QFont& font, const QColor& c)
{
    p.save();
    p.setFont(font);
    p.setPen(c);
    p.drawText(r, Qt::AlignCenter, text);
    p.restore();
}
