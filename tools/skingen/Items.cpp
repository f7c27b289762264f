#include "Items.h"

#include <QRadialGradient>
#include <QtMath>

namespace
{

using Draw = std::function<void(QPainter&, const Palette&, St)>;

const char* const kSuffix[] = {"", "_d", "_f", "_g"};

// ---------------------------------------------------------------- buttons

// A glyph button on chrome: toolbar (37 x 29), play bar, map bar.
Draw glyphButton(glyphs::Glyph g, QRectF plateRect, qreal radius, QRectF glyphBox)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        plate(p, plateRect, radius, pal, st);
        QRectF box = glyphBox;
        if (st == D)
            box.translate(0, 1);
        glyphs::draw(p, box, g, glyphColor(pal, st));
    };
}

Draw toolButton(glyphs::Glyph g)
{
    return glyphButton(g, QRectF(1.5, 1.5, 34, 26), 5, QRectF(8.5, 4.5, 20, 20));
}

// The large round play / pause button of the play bar (52 x 44).
Draw roundPlayButton(glyphs::Glyph g)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QPointF c(26, 22);
        const qreal r = 17;
        if (st == F) {
            QRadialGradient halo(c, r + 5);
            halo.setColorAt(0.70, withAlpha(pal.accent, 0.55));
            halo.setColorAt(1.0, withAlpha(pal.accent, 0.0));
            p.setPen(Qt::NoPen);
            p.setBrush(halo);
            p.drawEllipse(c, r + 5, r + 5);
        }
        // Drop shadow.
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(Qt::black, 0.45));
        p.drawEllipse(c + QPointF(0, 1.2), r, r);
        QLinearGradient g2(c.x(), c.y() - r, c.x(), c.y() + r);
        QColor top = pal.accentLight, bottom = pal.accent;
        if (st == D) {
            top = pal.accent;
            bottom = pal.accentDark;
        } else if (st == F) {
            top = mix(pal.accentLight, Qt::white, 0.25);
            bottom = pal.accentLight;
        } else if (st == G) {
            top = QColor(0x6a, 0x6d, 0x72);
            bottom = QColor(0x4a, 0x4d, 0x52);
        }
        g2.setColorAt(0, top);
        g2.setColorAt(1, bottom);
        p.setBrush(g2);
        p.setPen(QPen(st == G ? QColor(0x3a, 0x3c, 0x40) : pal.accentDark, 1));
        p.drawEllipse(c, r - 0.5, r - 0.5);
        // Glass highlight on the upper half.
        if (st != D) {
            QLinearGradient shine(c.x(), c.y() - r, c.x(), c.y());
            shine.setColorAt(0, withAlpha(Qt::white, st == G ? 0.15 : 0.42));
            shine.setColorAt(1, withAlpha(Qt::white, 0.0));
            p.setBrush(shine);
            p.setPen(Qt::NoPen);
            p.drawEllipse(QRectF(c.x() - r + 4, c.y() - r + 2, 2 * r - 8, r));
        }
        QColor glyph = st == G ? QColor(0xa8, 0xaa, 0xae) : QColor(Qt::white);
        QRectF box(c.x() - 10, c.y() - 10 + (st == D ? 1 : 0), 20, 20);
        glyphs::draw(p, box.translated(0, 1), g, withAlpha(Qt::black, 0.25));
        glyphs::draw(p, box, g, glyph);
    };
}

// The speed button (39 x 44): the rate as a label in a pill.
Draw speedButton(const QString& label)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF pill(2.5, 12.5, 34, 19);
        QColor border = withAlpha(pal.glyph, 0.55);
        QColor text = pal.glyph;
        QBrush fillBrush(withAlpha(Qt::black, 0.25));
        if (st == F) {
            border = pal.accent;
            text = pal.glyphHover;
            fillBrush = QBrush(withAlpha(pal.accent, 0.28));
        } else if (st == D) {
            border = pal.accentDark;
            text = Qt::white;
            fillBrush = QBrush(pal.accent);
        } else if (st == G) {
            border = withAlpha(pal.glyph, 0.2);
            text = withAlpha(pal.glyph, 0.3);
            fillBrush = QBrush(withAlpha(Qt::black, 0.12));
        }
        p.setBrush(fillBrush);
        p.setPen(QPen(border, 1.2));
        p.drawRoundedRect(pill, 9.5, 9.5);
        QFont f = uiFont(label.size() > 3 ? 10 : 11);
        centredText(p, pill.translated(0, st == D ? 0.5 : 0), label, f, text);
    };
}

// A rectangular skinned plate with a caption glyph (print / capture camera choice, 76 x 35).
Draw cameraChoiceButton(const QString& label)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF r(1.5, 1.5, 73, 32);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        QColor border = pal.chromeShadow;
        QColor fg = pal.glyph;
        if (st == D) {
            g.setColorAt(0, pal.accent);
            g.setColorAt(1, pal.accentDark);
            border = pal.accentDark;
            fg = Qt::white;
        } else {
            g.setColorAt(0, st == F ? mix(pal.chromeTop, Qt::white, 0.12) : pal.chromeTop);
            g.setColorAt(1, pal.chromeBottom);
            if (st == F) {
                border = pal.accent;
                fg = pal.glyphHover;
            }
            if (st == G)
                fg = withAlpha(pal.glyph, 0.3);
        }
        p.setBrush(g);
        p.setPen(QPen(border, 1));
        p.drawRoundedRect(r, 6, 6);
        p.setPen(QPen(withAlpha(Qt::white, st == D ? 0.25 : 0.12), 1));
        p.drawLine(QPointF(7, 2.5), QPointF(69, 2.5));
        glyphs::draw(p, QRectF(10, 7.5, 20, 20), glyphs::camera, fg);
        centredText(p, QRectF(32, 1.5, 38, 32), label, uiFont(label.size() > 1 ? 13 : 15), fg);
    };
}

// Small round direction-pad button (24 x 24).
Draw dpadButton(glyphs::Glyph g)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        QColor fillC = withAlpha(pal.chromeBottom, 0.85);
        QColor border = withAlpha(pal.glyph, 0.45);
        if (st == F) {
            fillC = mix(pal.chromeTop, pal.accent, 0.35);
            border = pal.accent;
        } else if (st == D) {
            fillC = pal.accentDark;
            border = pal.accent;
        } else if (st == G) {
            fillC = withAlpha(pal.chromeBottom, 0.4);
            border = withAlpha(pal.glyph, 0.15);
        }
        p.setBrush(fillC);
        p.setPen(QPen(border, 1));
        p.drawEllipse(QRectF(0.5, 0.5, 23, 23));
        glyphs::draw(p, QRectF(5, 5, 14, 14), g, st == D ? QColor(Qt::white) : glyphColor(pal, st));
    };
}

// Pill behind a text title (the map's speed-unit buttons; the title is drawn by the button).
Draw titlePill(QSizeF size)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF r(1.5, 2.5, size.width() - 3, size.height() - 5);
        QColor fillC = withAlpha(Qt::black, 0.30);
        QColor border = withAlpha(pal.glyph, 0.35);
        if (st == F) {
            fillC = withAlpha(pal.accent, 0.30);
            border = pal.accent;
        } else if (st == D) {
            fillC = pal.accentDark;
            border = pal.accent;
        } else if (st == G) {
            border = withAlpha(pal.glyph, 0.15);
            fillC = withAlpha(Qt::black, 0.15);
        }
        p.setBrush(fillC);
        p.setPen(QPen(border, 1));
        p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    };
}

// Small arrow button of the calendar header (21 x 18).
Draw calendarArrow(glyphs::Glyph g)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF r(0.5, 0.5, 20, 17);
        QLinearGradient gr(r.topLeft(), r.bottomLeft());
        QColor top = mix(pal.chromeTop, Qt::white, 0.10), bottom = pal.chromeBottom;
        QColor border = pal.chromeShadow;
        if (st == F) {
            top = mix(pal.chromeTop, pal.accent, 0.35);
            bottom = mix(pal.chromeBottom, pal.accent, 0.25);
            border = pal.accent;
        } else if (st == D) {
            top = pal.accentDark;
            bottom = pal.accent;
            border = pal.accentDark;
        }
        gr.setColorAt(0, top);
        gr.setColorAt(1, bottom);
        p.setBrush(gr);
        p.setPen(QPen(border, 1));
        p.drawRoundedRect(r, 4, 4);
        glyphs::draw(p, QRectF(4.5, 3, 12, 12), g, st == D ? QColor(Qt::white) : glyphColor(pal, st));
    };
}

// ---------------------------------------------------------------- bars and sliders

Draw chromeTile()
{
    return [](QPainter& p, const Palette& pal, St) {
        chrome(p, QRectF(0, 0, p.device()->width(), p.device()->height()), pal);
    };
}

Draw playbarTile()
{
    return [](QPainter& p, const Palette& pal, St) {
        const qreal w = p.device()->width(), h = p.device()->height();
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, mix(pal.chromeTop, Qt::white, 0.04));
        g.setColorAt(0.5, pal.chromeTop);
        g.setColorAt(1, pal.chromeBottom);
        p.fillRect(QRectF(0, 0, w, h), g);
        p.fillRect(QRectF(0, 0, w, 1), pal.chromeShadow);
        p.fillRect(QRectF(0, 1, w, 1), pal.chromeHighlight);
        p.fillRect(QRectF(0, h - 1, w, 1), pal.chromeShadow);
    };
}

// Slider groove across the thumb's centre travel; filled = accent.
Draw groove(bool filled, int thumbWidth)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const qreal w = p.device()->width(), h = p.device()->height();
        const QRectF r(thumbWidth / 2.0 - 3, h / 2 - 3, w - thumbWidth + 6, 6);
        // Lower edge highlight gives the groove depth.
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(pal.grooveEdge, 0.9));
        p.drawRoundedRect(r.translated(0, 1), 3, 3);
        if (!filled) {
            p.setBrush(pal.grooveEmpty);
            p.drawRoundedRect(r, 3, 3);
            return;
        }
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        QColor a = st == G ? QColor(0x70, 0x70, 0x74) : pal.accentLight;
        QColor b = st == G ? QColor(0x50, 0x50, 0x54) : pal.accent;
        g.setColorAt(0, a);
        g.setColorAt(1, b);
        p.setBrush(g);
        p.drawRoundedRect(r, 3, 3);
    };
}

Draw sliderThumb()
{
    return [](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const qreal w = p.device()->width(), h = p.device()->height();
        const QPointF c(w / 2, h / 2);
        const qreal r = 8;
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(Qt::black, 0.45));
        p.drawEllipse(c + QPointF(0, 1.3), r, r);
        QLinearGradient g(c.x(), c.y() - r, c.x(), c.y() + r);
        g.setColorAt(0, Qt::white);
        g.setColorAt(1, QColor(0xd9, 0xdd, 0xe2));
        p.setBrush(g);
        QColor ring = st == F   ? pal.accentLight
                      : st == D ? pal.accentDark
                      : st == G ? QColor(0x80, 0x80, 0x84)
                                : pal.accent;
        p.setPen(QPen(ring, 2));
        p.drawEllipse(c, r - 1, r - 1);
        p.setPen(Qt::NoPen);
        p.setBrush(st == G ? QColor(0x90, 0x90, 0x94) : ring);
        p.drawEllipse(c, 2.6, 2.6);
    };
}

Draw eventMark()
{
    return [](QPainter& p, const Palette&, St) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QColor red(0xff, 0x3b, 0x30);
        p.setPen(Qt::NoPen);
        p.setBrush(red);
        p.drawRect(QRectF(4, 6, 2, 14));
        QPainterPath tri;
        tri.moveTo(0.5, 0.5);
        tri.lineTo(9.5, 0.5);
        tri.lineTo(5, 8);
        tri.closeSubpath();
        p.setPen(QPen(QColor(0x9a, 0x10, 0x0a), 1));
        p.drawPath(tri);
    };
}

// ---------------------------------------------------------------- calendar

// Day grid geometry of the background image (291 x 242): columns 41 wide from
// x = 2, rows 31 high every 33 points from y = 44, week titles at 31..43.
constexpr int kCalW = 291;
constexpr int kCalGridTop = 44;
constexpr int kCellW = 41;
constexpr int kCellH = 31;
constexpr int kRowPitch = 33;
constexpr int kGridLeft = 2;

Draw calendarBackground()
{
    return [](QPainter& p, const Palette& pal, St) {
        const int h = p.device()->height();
        chrome(p, QRectF(0, 0, kCalW, 31), pal);
        QLinearGradient week(0, 31, 0, 44);
        week.setColorAt(0, mix(pal.chromeBottom, Qt::black, 0.25));
        week.setColorAt(1, mix(pal.chromeBottom, Qt::black, 0.40));
        p.fillRect(QRectF(0, 31, kCalW, 13), week);
        // Sunday and Saturday titles are dark red: give them a light, weekend-tinted ground.
        const QColor weekend = mix(pal.cellBg, QColor(0xff, 0xd8, 0xd8), 0.55);
        // The whole height of the strip, so the names have room above and below.
        p.fillRect(QRectF(kGridLeft + 1, 31, kCellW - 2, 13), weekend);
        p.fillRect(QRectF(kGridLeft + 6 * kCellW + 1, 31, kCellW - 2, 13), weekend);
        p.fillRect(QRectF(0, kCalGridTop, kCalW, h - kCalGridTop), pal.gridBg);
        p.setRenderHint(QPainter::Antialiasing, true);
        for (int r = 0; r < 6; ++r) {
            for (int c = 0; c < 7; ++c) {
                const QRectF cell(kGridLeft + c * kCellW + 1.5, kCalGridTop + r * kRowPitch + 0.5, kCellW - 3,
                                  kCellH - 1);
                QColor bg = pal.cellBg;
                if (c == 0 || c == 6)
                    bg = mix(pal.cellBg, QColor(0xff, 0xd8, 0xd8), 0.35);
                p.setPen(QPen(pal.cellLine, 1));
                p.setBrush(bg);
                p.drawRoundedRect(cell, 3, 3);
            }
        }
        // A thin accent rule under the header band.
        p.fillRect(QRectF(0, 30, kCalW, 1), withAlpha(pal.accent, 0.9));
    };
}

Draw calendarFocus()
{
    return [](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF cell(1.5, 0.5, kCellW - 3, kCellH - 1);
        QLinearGradient g(cell.topLeft(), cell.bottomLeft());
        if (st == D) {
            g.setColorAt(0, mix(pal.accent, pal.accentDark, 0.2));
            g.setColorAt(1, pal.accentDark);
            p.setPen(QPen(mix(pal.accentDark, Qt::black, 0.3), 1));
        } else {
            QColor base = st == F ? pal.listHover : pal.cellBg;
            if (st == G)
                base = mix(pal.cellBg, pal.gridBg, 0.6);
            g.setColorAt(0, base);
            g.setColorAt(1, base);
            p.setPen(QPen(st == F ? pal.accent : pal.cellLine, 1));
        }
        p.setBrush(g);
        p.drawRoundedRect(cell, 3, 3);
    };
}

Draw mediaMark(bool white)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        QColor c = white ? QColor(Qt::white) : pal.accentDark;
        if (st == G)
            c = withAlpha(c, 0.35);
        // A small film badge in the cell's lower right corner.
        glyphs::draw(p, QRectF(kCellW - 15, kCellH - 12, 11, 11), glyphs::film, c);
    };
}

Draw calendarTab()
{
    return [](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const qreal w = p.device()->width(), h = p.device()->height();
        p.fillRect(QRectF(0, 0, w, h), mix(pal.chromeBottom, Qt::black, 0.45));
        QPainterPath tab;
        const QRectF r(0.5, 2.5, w - 1, h - 2.5);
        tab.moveTo(r.left(), r.bottom());
        tab.lineTo(r.left(), r.top() + 6);
        tab.quadTo(r.left(), r.top(), r.left() + 6, r.top());
        tab.lineTo(r.right() - 6, r.top());
        tab.quadTo(r.right(), r.top(), r.right(), r.top() + 6);
        tab.lineTo(r.right(), r.bottom());
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        if (st == D) {
            g.setColorAt(0, pal.accent);
            g.setColorAt(1, pal.accentDark);
        } else if (st == F) {
            g.setColorAt(0, mix(pal.chromeTop, pal.accent, 0.30));
            g.setColorAt(1, pal.chromeBottom);
        } else {
            g.setColorAt(0, pal.chromeTop);
            g.setColorAt(1, pal.chromeBottom);
        }
        p.setBrush(g);
        p.setPen(QPen(st == D ? pal.accentDark : pal.chromeShadow, 1));
        p.drawPath(tab);
        p.setPen(QPen(withAlpha(Qt::white, st == D ? 0.35 : 0.14), 1));
        p.drawLine(QPointF(6, 3.5), QPointF(w - 6, 3.5));
        if (st == G)
            p.fillRect(QRectF(0, 0, w, h), withAlpha(Qt::black, 0.35));
    };
}

// The mode button (91 x 25): dark plate where the title is white (skins 0 and 3), light elsewhere.
Draw modeButton()
{
    return [](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF r(0.5, 0.5, 90, 24);
        const bool darkPlate = !pal.lightList;
        QColor top = darkPlate ? pal.chromeTop : pal.field;
        QColor bottom = darkPlate ? pal.chromeBottom : mix(pal.field, pal.gridBg, 0.7);
        QColor border = darkPlate ? pal.chromeShadow : mix(pal.gridBg, Qt::black, 0.3);
        if (st == F) {
            border = pal.accent;
            top = mix(top, pal.accent, 0.2);
        } else if (st == D) {
            top = pal.accentDark;
            bottom = pal.accent;
            border = pal.accentDark;
        }
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, top);
        g.setColorAt(1, bottom);
        p.setBrush(g);
        p.setPen(QPen(border, 1));
        p.drawRoundedRect(r, 5, 5);
        if (st == G)
            p.fillRect(r, withAlpha(Qt::black, 0.3));
    };
}

Draw comboField()
{
    return [](QPainter& p, const Palette& pal, St) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF r(0.5, 0.5, 66, 26);
        p.setBrush(pal.field);
        p.setPen(QPen(pal.fieldBorder, 1));
        p.drawRoundedRect(r, 4, 4);
        QLinearGradient shade(0, 1, 0, 6);
        shade.setColorAt(0, withAlpha(Qt::black, 0.16));
        shade.setColorAt(1, withAlpha(Qt::black, 0.0));
        p.setPen(Qt::NoPen);
        p.setBrush(shade);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -18), 3, 3);
    };
}

Draw spinButton()
{
    return [](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF r(0.5, 0.5, 16, 20);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        QColor top = pal.chromeTop, bottom = pal.chromeBottom;
        if (st == F) {
            top = pal.accentLight;
            bottom = pal.accent;
        } else if (st == D) {
            top = pal.accentDark;
            bottom = pal.accent;
        }
        g.setColorAt(0, top);
        g.setColorAt(1, bottom);
        p.setBrush(g);
        p.setPen(QPen(pal.chromeShadow, 1));
        p.drawRoundedRect(r, 3, 3);
        glyphs::draw(p, QRectF(3, 5, 11, 11), glyphs::chevronDown,
                     st == G ? withAlpha(pal.glyph, 0.3) : QColor(Qt::white));
    };
}

// Rows of a list; row 1 is the lower one of the two-row pattern.
Draw listRow(bool second, bool dropDown)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        const qreal w = p.device()->width(), h = p.device()->height();
        QColor c;
        if (dropDown)
            c = second ? mix(pal.field, pal.gridBg, 0.35) : pal.field;
        else
            c = second ? pal.listRow2 : pal.listRow1;
        if (st == F)
            c = dropDown ? mix(pal.field, pal.accent, 0.15) : pal.listHover;
        if (st == G)
            c = mix(c, Qt::gray, 0.4);
        p.fillRect(QRectF(0, 0, w, h), c);
        p.fillRect(QRectF(0, h - 1, w, 1), dropDown ? mix(pal.gridBg, Qt::black, 0.08) : pal.listDivider);
        if (!dropDown && !pal.lightList)
            p.fillRect(QRectF(0, 0, w, 1), withAlpha(Qt::white, 0.04));
    };
}

// Selected row ("list_d.png", "calendar_list_d.png"): a light accent band; the
// row text on it is black in every skin.
Draw listSelection(bool dropDown)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        const qreal w = p.device()->width(), h = p.device()->height();
        if (st != D) {
            listRow(false, dropDown)(p, pal, st);
            return;
        }
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, mix(pal.listSel, Qt::white, 0.25));
        g.setColorAt(1, pal.listSel);
        p.fillRect(QRectF(0, 0, w, h), g);
        p.fillRect(QRectF(0, 0, w, 1), pal.listSelBorder);
        p.fillRect(QRectF(0, h - 1, w, 1), pal.listSelBorder);
        if (!dropDown)
            p.fillRect(QRectF(0, 0, 3, h), pal.listSelBorder);
    };
}

Draw scrollTrack()
{
    return [](QPainter& p, const Palette& pal, St) {
        const qreal w = p.device()->width(), h = p.device()->height();
        const QColor base =
            pal.lightList ? mix(pal.listRow2, Qt::black, 0.08) : mix(pal.listRow2, Qt::black, 0.35);
        p.fillRect(QRectF(0, 0, w, h), base);
        p.fillRect(QRectF(0, 0, 1, h), withAlpha(Qt::black, 0.25));
        p.fillRect(QRectF(w / 2 - 1, 0, 2, h), withAlpha(pal.lightList ? Qt::black : Qt::white, 0.08));
    };
}

Draw scrollArrow(glyphs::Glyph g)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF r(0.5, 0.5, 13, 13);
        QColor bg = pal.lightList ? mix(pal.listRow1, Qt::black, 0.05) : mix(pal.chromeTop, Qt::black, 0.1);
        QColor fg = pal.lightList ? mix(pal.chromeBottom, Qt::white, 0.1) : pal.glyph;
        if (st == F) {
            bg = mix(bg, pal.accent, 0.35);
            fg = pal.lightList ? Qt::black : Qt::white;
        } else if (st == D) {
            bg = pal.accent;
            fg = Qt::white;
        } else if (st == G) {
            fg = withAlpha(fg, 0.3);
        }
        p.setBrush(bg);
        p.setPen(QPen(withAlpha(Qt::black, 0.3), 1));
        p.drawRoundedRect(r, 3, 3);
        glyphs::draw(p, QRectF(1.5, 1.5, 11, 11), g, fg);
    };
}

Draw scrollThumb()
{
    return [](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const qreal h = p.device()->height();
        const QRectF r(2.5, 1.5, 9, h - 3);
        QColor c = pal.lightList ? mix(pal.chromeTop, Qt::white, 0.35) : mix(pal.glyph, Qt::black, 0.35);
        if (st == F)
            c = pal.accent;
        else if (st == D)
            c = pal.accentDark;
        else if (st == G)
            c = withAlpha(c, 0.35);
        p.setBrush(c);
        p.setPen(QPen(withAlpha(Qt::black, 0.35), 1));
        p.drawRoundedRect(r, 4.5, 4.5);
        p.setPen(QPen(withAlpha(Qt::white, 0.35), 1));
        for (int k = -1; k <= 1; ++k)
            p.drawLine(QPointF(5, h / 2 + k * 3), QPointF(9, h / 2 + k * 3));
    };
}

Draw checkBox(bool checked)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF r(1.5, 1.5, 13, 13);
        if (checked) {
            QLinearGradient g(r.topLeft(), r.bottomLeft());
            QColor a = pal.accentLight, b = pal.accent;
            if (st == F) {
                a = mix(pal.accentLight, Qt::white, 0.3);
                b = pal.accentLight;
            } else if (st == D) {
                a = pal.accent;
                b = pal.accentDark;
            } else if (st == G) {
                a = QColor(0x88, 0x88, 0x8c);
                b = QColor(0x66, 0x66, 0x6a);
            }
            g.setColorAt(0, a);
            g.setColorAt(1, b);
            p.setBrush(g);
            p.setPen(QPen(st == G ? QColor(0x44, 0x44, 0x48) : pal.accentDark, 1));
            p.drawRoundedRect(r, 3, 3);
            glyphs::draw(p, QRectF(2, 2, 12, 12), glyphs::check,
                         st == G ? QColor(0xcc, 0xcc, 0xcc) : QColor(Qt::white));
        } else {
            QColor border = withAlpha(pal.glyph, 0.75);
            QColor fillC = withAlpha(Qt::black, 0.35);
            if (st == F) {
                border = pal.accent;
                fillC = withAlpha(pal.accent, 0.2);
            } else if (st == D) {
                border = pal.accentDark;
                fillC = withAlpha(pal.accent, 0.45);
            } else if (st == G) {
                border = withAlpha(pal.glyph, 0.25);
            }
            p.setBrush(fillC);
            p.setPen(QPen(border, 1.4));
            p.drawRoundedRect(r, 3, 3);
        }
    };
}

Draw playMark()
{
    return [](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        QColor c = st == G ? QColor(0x88, 0x88, 0x8c) : pal.accent;
        p.setPen(QPen(mix(c, Qt::black, 0.3), 1));
        p.setBrush(c);
        p.drawEllipse(QRectF(1.5, 1.5, 17, 17));
        glyphs::draw(p, QRectF(5, 4.5, 11, 11), glyphs::play, Qt::white);
    };
}

Draw typeBadge(bool event)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        QColor c = event ? pal.eventColor : pal.parkingColor;
        if (st == G)
            c = QColor(0x88, 0x88, 0x8c);
        const QRectF r(2.5, 1.5, 25, 19);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, mix(c, Qt::white, 0.18));
        g.setColorAt(1, c);
        p.setBrush(g);
        p.setPen(QPen(mix(c, Qt::black, 0.35), 1));
        p.drawRoundedRect(r, 4, 4);
        if (event) {
            // A warning triangle with an exclamation mark.
            QPainterPath tri;
            tri.moveTo(15, 4.5);
            tri.lineTo(22, 17.5);
            tri.lineTo(8, 17.5);
            tri.closeSubpath();
            QPen pen(Qt::white, 1.4);
            pen.setJoinStyle(Qt::RoundJoin);
            p.setPen(pen);
            p.setBrush(Qt::white);
            p.drawPath(tri);
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRoundedRect(QRectF(14.1, 8.2, 1.8, 5.2), 0.9, 0.9);
            p.drawEllipse(QPointF(15, 15.4), 1.05, 1.05);
        } else {
            centredText(p, r.translated(0, 0.5), QStringLiteral("P"), uiFont(14), Qt::white);
        }
    };
}

// ---------------------------------------------------------------- map panel

Draw mapBar()
{
    return [](QPainter& p, const Palette& pal, St) {
        const qreal w = p.device()->width(), h = p.device()->height();
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, mix(pal.chromeTop, QColor(55, 55, 55), 0.3));
        g.setColorAt(1, mix(pal.chromeBottom, QColor(30, 30, 30), 0.3));
        p.fillRect(QRectF(0, 0, w, h), g);
        p.fillRect(QRectF(0, 0, w, 1), pal.chromeShadow);
        p.fillRect(QRectF(0, 1, w, 1), withAlpha(pal.accent, 0.55));
    };
}

// A card with a picture for the map's "no map" states; the lower band stays
// plain and light so the grey message drawn over it reads well.
Draw mapNotice(bool noGps)
{
    return [=](QPainter& p, const Palette& pal, St st) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const qreal w = p.device()->width(), h = p.device()->height();
        const QRectF card(6.5, 6.5, w - 13, h - 13);
        p.setPen(QPen(withAlpha(Qt::black, 0.4), 1));
        p.setBrush(QColor(0xe4, 0xe7, 0xea));
        p.drawRoundedRect(card, 10, 10);
        // Folded map with roads, faded.
        const QRectF art(w / 2 - 60, 16, 120, 70);
        QPainterPath map;
        map.moveTo(art.left(), art.top() + 8);
        map.lineTo(art.left() + 40, art.top());
        map.lineTo(art.left() + 80, art.top() + 8);
        map.lineTo(art.right(), art.top());
        map.lineTo(art.right(), art.bottom() - 8);
        map.lineTo(art.left() + 80, art.bottom());
        map.lineTo(art.left() + 40, art.bottom() - 8);
        map.lineTo(art.left(), art.bottom());
        map.closeSubpath();
        p.setBrush(QColor(0xc9, 0xd3, 0xcc));
        p.setPen(QPen(QColor(0x8e, 0x99, 0x92), 1.2));
        p.drawPath(map);
        p.setPen(QPen(QColor(0xf7, 0xf7, 0xf2), 3));
        p.drawLine(QPointF(art.left() + 6, art.bottom() - 16), QPointF(art.right() - 10, art.top() + 18));
        p.drawLine(QPointF(art.left() + 30, art.top() + 10), QPointF(art.left() + 70, art.bottom() - 6));
        QColor accent = st == G ? QColor(0x90, 0x90, 0x90) : pal.accentDark;
        if (noGps) {
            glyphs::draw(p, QRectF(w / 2 - 18, 22, 36, 36), glyphs::pin, accent);
            QPen slash(QColor(0xd2, 0x2f, 0x2f), 4);
            slash.setCapStyle(Qt::RoundCap);
            p.setPen(slash);
            p.drawLine(QPointF(w / 2 - 22, 24), QPointF(w / 2 + 22, 64));
        } else {
            // No connection: the map behind a broken link.
            QPen pen(accent, 3.5);
            pen.setCapStyle(Qt::RoundCap);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(w / 2 - 26, 30, 52, 52), 40 * 16, 100 * 16);
            p.drawArc(QRectF(w / 2 - 16, 40, 32, 32), 40 * 16, 100 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(accent);
            p.drawEllipse(QPointF(w / 2, 64), 4, 4);
            QPen slash(QColor(0xd2, 0x2f, 0x2f), 4);
            slash.setCapStyle(Qt::RoundCap);
            p.setPen(slash);
            p.drawLine(QPointF(w / 2 - 24, 28), QPointF(w / 2 + 24, 70));
        }
        p.fillRect(QRectF(18, h - 62, w - 36, 1), QColor(0xc8, 0xcd, 0xd2));
    };
}

Draw gpsPanelBackground()
{
    return [](QPainter& p, const Palette& pal, St) {
        const qreal w = p.device()->width(), h = p.device()->height();
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, QColor(0x22, 0x22, 0x22));
        g.setColorAt(1, QColor(26, 26, 26));
        p.fillRect(QRectF(0, 0, w, h), g);
        p.setPen(QPen(withAlpha(pal.accent, 0.18), 1));
        for (int x = 0; x < w; x += 24)
            p.drawLine(QPointF(x + 0.5, 0), QPointF(x + 0.5, h));
        for (int y = 0; y < h; y += 24)
            p.drawLine(QPointF(0, y + 0.5), QPointF(w, y + 0.5));
        p.fillRect(QRectF(0, 0, w, 2), pal.accent);
    };
}

// ---------------------------------------------------------------- G-sensor panel (340 x 212)

constexpr QPointF kAxisCentre(176, 150);

void gsensorFrame(QPainter& p, const Palette& pal)
{
    const qreal w = p.device()->width(), h = p.device()->height();
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, pal.panelTop);
    g.setColorAt(1, pal.panelBottom);
    p.fillRect(QRectF(0, 0, w, h), g);
    p.setRenderHint(QPainter::Antialiasing, true);
    // Graph well: the graph image lands at (51, 3, 238, 63).
    p.setPen(QPen(pal.panelFrame, 1));
    p.setBrush(withAlpha(Qt::black, 0.35));
    p.drawRoundedRect(QRectF(49.5, 1.5, 241, 66), 3, 3);
    // Scale ticks next to the labels (max, 0, min).
    p.setPen(QPen(withAlpha(pal.glyph, 0.6), 1));
    for (qreal y : {13.5, 36.5, 58.5})
        p.drawLine(QPointF(45, y), QPointF(49, y));
    // Legend box.
    p.setPen(QPen(withAlpha(pal.panelFrame, 0.8), 1));
    p.setBrush(withAlpha(Qt::black, 0.2));
    p.drawRoundedRect(QRectF(296.5, 1.5, 40, 66), 3, 3);
    // Diagram area.
    p.setPen(QPen(withAlpha(pal.panelFrame, 0.6), 1));
    p.setBrush(withAlpha(Qt::black, 0.16));
    p.drawRoundedRect(QRectF(3.5, 71.5, w - 7, h - 74), 6, 6);
    // Concentric rings and the three axes.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(withAlpha(pal.panelGrid, 0.9), 1));
    p.drawEllipse(kAxisCentre, 58, 30);
    p.drawEllipse(kAxisCentre, 34, 17);
    auto axis = [&](QPointF dir, const QColor& c, qreal len) {
        QPen pen(withAlpha(c, 0.45), 1.2, Qt::DashLine);
        p.setPen(pen);
        p.drawLine(kAxisCentre - dir * len, kAxisCentre + dir * len);
    };
    axis(QPointF(-1, 0.656) / std::hypot(1.0, 0.656), pal.axisX, 66);
    axis(QPointF(1, 0.63) / std::hypot(1.0, 0.63), pal.axisY, 66);
    axis(QPointF(0, 1), pal.axisZ, 50);
}

void carSilhouette(QPainter& p, const QColor& c)
{
    // A compact car seen from three quarters above, centred on the axes.
    p.save();
    p.translate(kAxisCentre);
    p.rotate(-33);
    QPainterPath body;
    body.addRoundedRect(QRectF(-26, -12, 52, 24), 9, 9);
    p.setPen(QPen(mix(c, Qt::black, 0.4), 1.2));
    QLinearGradient g(0, -12, 0, 12);
    g.setColorAt(0, mix(c, Qt::white, 0.25));
    g.setColorAt(1, c);
    p.setBrush(g);
    p.drawPath(body);
    p.setBrush(withAlpha(Qt::black, 0.45));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(-8, -9, 18, 18), 4, 4); // roof glass
    p.setBrush(withAlpha(Qt::white, 0.55));
    p.drawRoundedRect(QRectF(12, -9, 6, 18), 2, 2); // windscreen
    p.setBrush(QColor(0xff, 0xf2, 0xb0));
    p.drawEllipse(QPointF(24, -8), 1.6, 1.6); // headlights
    p.drawEllipse(QPointF(24, 8), 1.6, 1.6);
    p.setBrush(QColor(0xff, 0x50, 0x50));
    p.drawEllipse(QPointF(-24.5, -8), 1.4, 1.4);
    p.drawEllipse(QPointF(-24.5, 8), 1.4, 1.4);
    p.restore();
}

void bikeSilhouette(QPainter& p, const QColor& c)
{
    p.save();
    p.translate(kAxisCentre);
    QPen pen(c, 3);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(-20, 10), 9, 9);
    p.drawEllipse(QPointF(20, 10), 9, 9);
    QPainterPath frame;
    frame.moveTo(-20, 10);
    frame.lineTo(-6, -4);
    frame.lineTo(10, -4);
    frame.lineTo(20, 10);
    frame.moveTo(10, -4);
    frame.lineTo(6, -14);
    frame.lineTo(12, -14);
    p.drawPath(frame);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(-12, -10, 18, 8), 3, 3);
    p.restore();
}

Draw gsensorBackground(int kind)
{
    // kind 1: car ("_bg"), 2: motorcycle ("_default"), 0: no recording ("_default_d").
    return [=](QPainter& p, const Palette& pal, St) {
        gsensorFrame(p, pal);
        if (kind == 1)
            carSilhouette(p, mix(pal.glyph, pal.accent, 0.35));
        else if (kind == 2)
            bikeSilhouette(p, mix(pal.glyph, pal.accent, 0.35));
        else {
            p.setPen(Qt::NoPen);
            p.setBrush(withAlpha(pal.glyph, 0.5));
            p.drawEllipse(kAxisCentre, 5, 5);
        }
    };
}

// The no-data look: the panel dimmed, with a light band on top for the message.
void gsensorNoData(QPainter& p, const Palette& pal, bool car)
{
    gsensorFrame(p, pal);
    if (car)
        carSilhouette(p, withAlpha(pal.glyph, 0.35));
    const qreal w = p.device()->width();
    p.fillRect(QRectF(0, 0, w, p.device()->height()), withAlpha(pal.panelBottom, 0.45));
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(withAlpha(Qt::black, 0.4), 1));
    p.setBrush(QColor(0xdd, 0xe1, 0xe5));
    p.drawRoundedRect(QRectF(6.5, 4.5, w - 13, 64), 6, 6);
    // A flat, faint trace where the graph would be.
    p.setPen(QPen(QColor(0xc0, 0xc6, 0xcc), 1.4, Qt::DashLine));
    p.drawLine(QPointF(20, 58), QPointF(w - 20, 58));
}

Draw gsensorDefaultPair()
{
    // "_default" is the motorcycle background; "_default_d" the no-recording picture.
    return [](QPainter& p, const Palette& pal, St st) {
        if (st == D) {
            gsensorNoData(p, pal, false);
            return;
        }
        gsensorBackground(2)(p, pal, st);
    };
}

Draw gsensorDisabled()
{
    return [](QPainter& p, const Palette& pal, St) { gsensorNoData(p, pal, true); };
}

Draw axisArrow(QPointF dir, bool x, bool y)
{
    return [=](QPainter& p, const Palette& pal, St) {
        const QColor c = x ? pal.axisX : y ? pal.axisY : pal.axisZ;
        p.setRenderHint(QPainter::Antialiasing, true);
        const QPointF centre(14, 14);
        const QPointF d = dir / std::hypot(dir.x(), dir.y());
        const QPointF n(-d.y(), d.x());
        const QPointF tail = centre - d * 10;
        const QPointF tip = centre + d * 12;
        const QPointF neck = centre + d * 3;
        QPainterPath arrow;
        arrow.moveTo(tail + n * 2.6);
        arrow.lineTo(neck + n * 2.6);
        arrow.lineTo(neck + n * 7);
        arrow.lineTo(tip);
        arrow.lineTo(neck - n * 7);
        arrow.lineTo(neck - n * 2.6);
        arrow.lineTo(tail - n * 2.6);
        arrow.closeSubpath();
        p.setPen(QPen(withAlpha(Qt::black, 0.55), 1.5));
        p.setBrush(c);
        p.drawPath(arrow);
        // Re-fill without the outline so the centre pixel carries the axis colour exactly.
        p.setPen(Qt::NoPen);
        p.drawPath(arrow);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(QRect(12, 12, 5, 5), c);
    };
}

} // namespace

QString skinFileName(int skinId, const SkinItem& item, St st)
{
    return QStringLiteral("skin_%1_%2%3.%4")
        .arg(skinId + 1, 2, 10, QLatin1Char('0'))
        .arg(item.base, QLatin1String(kSuffix[st]), item.ext);
}

std::vector<SkinItem> skinItems()
{
    std::vector<SkinItem> v;
    auto add = [&v](const QString& base, int w, int h, Draw d, const QString& ext = QStringLiteral("png")) {
        v.push_back(SkinItem{base, ext, QSize(w, h), std::move(d)});
    };
    using namespace glyphs;

    // Toolbar (37 x 29 buttons on a 29-point strip).
    add("toolbar_background", 64, 29, chromeTile());
    add("button_open", 37, 29, toolButton(folder));
    add("button_print", 37, 29, toolButton(printer));
    add("button_backup", 37, 29, toolButton(backup));
    add("button_capture", 37, 29, toolButton(camera));
    add("button_export", 37, 29, toolButton(kml));
    add("button_youtube", 37, 29, toolButton(videoHost));
    add("button_facebook", 37, 29, toolButton(share));
    add("button_settings", 37, 29, toolButton(gear));
    add("button_window_switch", 37, 29, toolButton(windowSwitch));

    // Play bar (44 high).
    add("playbar_background", 64, 44, playbarTile());
    add("button_previous", 32, 44,
        glyphButton(skipPrevious, QRectF(1.5, 7.5, 29, 29), 6, QRectF(6, 12, 20, 20)));
    add("button_next", 32, 44, glyphButton(skipNext, QRectF(1.5, 7.5, 29, 29), 6, QRectF(6, 12, 20, 20)));
    add("button_play", 52, 44, roundPlayButton(play));
    add("button_pause", 52, 44, roundPlayButton(pause));
    add("button_play_previous", 52, 44, roundPlayButton(playReverse));
    add("button_playback1", 39, 44, speedButton(QStringLiteral("1x")));
    add("button_playback1.5", 39, 44, speedButton(QStringLiteral("1.5x")));
    add("button_playback2", 39, 44, speedButton(QStringLiteral("2x")));
    add("button_playback", 39, 44, speedButton(QStringLiteral("\u00bcx")));
    add("button_playback1-2", 39, 44, speedButton(QStringLiteral("\u00bdx")));
    add("icon_volume_on", 32, 44, glyphButton(volumeOn, QRectF(1.5, 7.5, 29, 29), 6, QRectF(6, 12, 20, 20)));
    add("icon_volume_off", 32, 44,
        glyphButton(volumeOff, QRectF(1.5, 7.5, 29, 29), 6, QRectF(6, 12, 20, 20)));
    add("button_full", 50, 44, glyphButton(expand, QRectF(10.5, 7.5, 29, 29), 6, QRectF(15, 12, 20, 20)));
    add("button_full1", 50, 44, glyphButton(collapse, QRectF(10.5, 7.5, 29, 29), 6, QRectF(15, 12, 20, 20)));
    // Sliders: the thumb is 22 wide so that the 260-point time slider spans the 238-point graph.
    add("volume_bg", 70, 44, groove(false, 22));
    add("volume_full", 70, 44, groove(true, 22));
    add("track_bar_bg", 260, 44, groove(false, 22));
    add("track_bar_full", 260, 44, groove(true, 22));
    add("volume_button", 22, 44, sliderThumb());
    add("icon_m1", 10, 20, eventMark());

    // Calendar panel.
    add("calendar_background", 291, 242, calendarBackground());
    add("calendar_pic", 41, 31, calendarFocus());
    add("icon_calendar_black", 41, 31, mediaMark(false));
    add("icon_calendar_white", 41, 31, mediaMark(true));
    add("bg_calendar_tab", 145, 30, calendarTab());
    add("bg_calendar_tab_n", 145, 30, calendarTab());
    add("button_calendar_back", 21, 18, calendarArrow(chevronLeft));
    add("button_calendar_next", 21, 18, calendarArrow(chevronRight));
    add("button_calendar", 91, 25, modeButton());
    add("enter_calendar", 67, 27, comboField());
    add("button_enter", 17, 21, spinButton());
    // Drop-down list of the year and month boxes: 67 wide, 8 rows of 18, scroll bar 14.
    add("calendar_list", 53, 18, listSelection(true));
    add("calendar_list_bg_1", 53, 18, listRow(false, true));
    add("calendar_list_bg_2", 53, 18, listRow(true, true));

    // File list panel.
    add("bg_calendar_title", 291, 31, chromeTile());
    add("calendar_checkbox", 16, 16, checkBox(true));
    add("calendar_uncheckbox", 16, 16, checkBox(false));
    add("list", 277, 48, listSelection(false));
    add("list_bg_1", 277, 48, listRow(false, false));
    add("list_bg_2", 277, 48, listRow(true, false));
    add("scrollbar_background", 14, 32, scrollTrack());
    add("button_bar_up", 14, 14, scrollArrow(triangleUp));
    add("button_bar_down", 14, 14, scrollArrow(triangleDown));
    add("slider", 14, 32, scrollThumb());
    add("icon_play", 20, 20, playMark());
    add("icon_event", 30, 22, typeBadge(true));
    add("icon_parking", 30, 22, typeBadge(false));

    // Map panel.
    add("bg_map", 120, 20, mapBar());
    add("bg_map_info", 20, 20, mapBar(), QStringLiteral("bmp"));
    add("button_full_map", 34, 20, glyphButton(expand, QRectF(4.5, 1.5, 25, 17), 4, QRectF(10, 3, 14, 14)));
    add("button_full1_map", 34, 20,
        glyphButton(collapse, QRectF(4.5, 1.5, 25, 17), 4, QRectF(10, 3, 14, 14)));
    add("km_map", 42, 20, titlePill(QSizeF(42, 20)));
    add("km_gps", 48, 20, titlePill(QSizeF(48, 20)));
    add("gps_link", 42, 28, glyphButton(pin, QRectF(4.5, 1.5, 33, 25), 5, QRectF(11, 4, 20, 20)));
    add("map_disable", 300, 160, mapNotice(false));
    add("map_no_gps", 300, 160, mapNotice(true));
    add("gps_panel_bg", 350, 212, gpsPanelBackground());

    // G-sensor panel (340 x 212) and its axis arrows (the centre pixel is the axis colour).
    add("G-Sensor Screen_bg", 340, 212, gsensorBackground(1));
    add("G-Sensor Screen_default", 340, 212, gsensorDefaultPair());
    add("G-Sensor Screen_disable", 340, 212, gsensorDisabled());
    add("arrow_x1", 28, 28, axisArrow(QPointF(-1, 0.656), true, false));
    add("arrow_x2", 28, 28, axisArrow(QPointF(1, -0.656), true, false));
    add("arrow_y1", 28, 28, axisArrow(QPointF(1, 0.63), false, true));
    add("arrow_y2", 28, 28, axisArrow(QPointF(-1, -0.63), false, true));
    add("arrow_z1", 28, 28, axisArrow(QPointF(0, -1), false, false));
    add("arrow_z2", 28, 28, axisArrow(QPointF(0, 1), false, false));

    // Capture and print dialogs: camera choice (76 x 35).
    add("button_print_camera1", 76, 35, cameraChoiceButton(QStringLiteral("1")));
    add("button_print_camera2", 76, 35, cameraChoiceButton(QStringLiteral("2")));
    add("button_print_camera12", 76, 35, cameraChoiceButton(QStringLiteral("1+2")));

    // Direction pad of the 360-degree view (24 x 24).
    add("button_360_up", 24, 24, dpadButton(arrowUp));
    add("button_360_down", 24, 24, dpadButton(arrowDown));
    add("button_360_left", 24, 24, dpadButton(arrowLeft));
    add("button_360_right", 24, 24, dpadButton(arrowRight));
    add("button_360_reset", 24, 24, dpadButton(recenter));
    return v;
}

std::vector<AppItem> appItems()
{
    std::vector<AppItem> v;
    // The neutral no-data picture of the G-sensor panel (the message is written on its top band).
    v.push_back(AppItem{QStringLiteral("G-Sensor Screen_disable.png"), QSize(340, 212), [](QPainter& p) {
                            Palette neutral = paletteFor(3);
                            neutral.panelTop = QColor(0x34, 0x36, 0x3a);
                            neutral.panelBottom = QColor(0x1e, 0x1f, 0x22);
                            neutral.panelFrame = QColor(0x55, 0x57, 0x5c);
                            neutral.panelGrid = QColor(0x44, 0x46, 0x4a);
                            neutral.glyph = QColor(0xb0, 0xb3, 0xb8);
                            neutral.axisX = neutral.axisY = neutral.axisZ = QColor(0x80, 0x83, 0x88);
                            gsensorNoData(p, neutral, true);
                        }});
    // The graph's backdrop (238 x 63): grid with the zero line at y = 31.
    v.push_back(AppItem{QStringLiteral("GSensorGraphic.png"), QSize(238, 63), [](QPainter& p) {
                            p.fillRect(QRect(0, 0, 238, 63), QColor(0x10, 0x14, 0x1a));
                            p.setPen(QColor(0x22, 0x29, 0x33));
                            for (int x = 0; x < 238; x += 17)
                                p.drawLine(x, 0, x, 62);
                            for (int y : {1, 16, 46, 61})
                                p.drawLine(0, y, 237, y);
                            p.setPen(QColor(0x3c, 0x48, 0x57));
                            p.drawLine(0, 31, 237, 31);
                        }});
    // The About box's logo (128 x 128): a lens looking down a road.
    v.push_back(AppItem{QStringLiteral("icon_logo_talvern.png"), QSize(128, 128), [](QPainter& p) {
                            p.setRenderHint(QPainter::Antialiasing, true);
                            QLinearGradient bg(0, 0, 0, 128);
                            bg.setColorAt(0, QColor(0x2b, 0x37, 0x45));
                            bg.setColorAt(1, QColor(0x10, 0x16, 0x1e));
                            p.setPen(QPen(QColor(0x08, 0x0c, 0x11), 2));
                            p.setBrush(bg);
                            p.drawRoundedRect(QRectF(4, 4, 120, 120), 26, 26);
                            const QPointF c(64, 64);
                            QRadialGradient ring(c, 44);
                            ring.setColorAt(0.80, QColor(39, 182, 233));
                            ring.setColorAt(1.0, QColor(0x10, 0x7e, 0xad));
                            p.setPen(Qt::NoPen);
                            p.setBrush(ring);
                            p.drawEllipse(c, 44, 44);
                            p.setBrush(QColor(0x0b, 0x10, 0x16));
                            p.drawEllipse(c, 34, 34);
                            // The road to the horizon inside the lens.
                            QPainterPath clip;
                            clip.addEllipse(c, 34, 34);
                            p.save();
                            p.setClipPath(clip);
                            QLinearGradient sky(0, 30, 0, 64);
                            sky.setColorAt(0, QColor(0x1b, 0x3a, 0x55));
                            sky.setColorAt(1, QColor(0x3a, 0x7d, 0xa8));
                            p.fillRect(QRectF(30, 30, 68, 36), sky);
                            p.fillRect(QRectF(30, 66, 68, 34), QColor(0x1c, 0x24, 0x2e));
                            QPainterPath road;
                            road.moveTo(61, 66);
                            road.lineTo(67, 66);
                            road.lineTo(92, 100);
                            road.lineTo(36, 100);
                            road.closeSubpath();
                            p.setBrush(QColor(0x4a, 0x55, 0x62));
                            p.drawPath(road);
                            p.setPen(QPen(QColor(0xff, 0xc8, 0x3d), 2.5, Qt::DashLine));
                            p.drawLine(QPointF(64, 68), QPointF(64, 100));
                            p.restore();
                            p.setBrush(QColor(255, 255, 255, 90));
                            p.setPen(Qt::NoPen);
                            p.drawEllipse(QPointF(50, 48), 7, 4.5);
                            p.setBrush(QColor(0xff, 0x3b, 0x30));
                            p.drawEllipse(QPointF(100, 28), 6, 6);
                        }});
    return v;
}
