#include "controls/BlurMarkView.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

BlurMarkView::BlurMarkView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("clipBlurFrame"));
    setMinimumSize(320, 180);
    setCursor(Qt::CrossCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void BlurMarkView::setFrame(const QImage& frame, const QString& note)
{
    m_frame = frame;
    m_note = note;
    update();
}

void BlurMarkView::setRects(const QVector<QRect>& rects, int selected)
{
    m_rects = rects;
    m_selected = selected;
    update();
}

QRectF BlurMarkView::shownArea() const
{
    if (m_frame.isNull())
        return {};
    const double scale = std::min(static_cast<double>(width()) / m_frame.width(),
                                  static_cast<double>(height()) / m_frame.height());
    const double w = m_frame.width() * scale, h = m_frame.height() * scale;
    return {(width() - w) / 2, (height() - h) / 2, w, h};
}

QRect BlurMarkView::toWidget(const QRect& picture) const
{
    const QRectF area = shownArea();
    if (area.isEmpty())
        return {};
    const double scale = area.width() / m_frame.width();
    return QRectF(area.x() + picture.x() * scale, area.y() + picture.y() * scale, picture.width() * scale,
                  picture.height() * scale)
        .toRect();
}

// A point of the widget in the picture's pixels, held inside the picture:
// a drag that runs past its edge marks up to the edge.
QPoint BlurMarkView::toPicture(const QPointF& at) const
{
    const QRectF area = shownArea();
    const double scale = area.width() / m_frame.width();
    const int x = static_cast<int>(std::lround((at.x() - area.x()) / scale));
    const int y = static_cast<int>(std::lround((at.y() - area.y()) / scale));
    return {std::clamp(x, 0, m_frame.width()), std::clamp(y, 0, m_frame.height())};
}

void BlurMarkView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (m_frame.isNull()) {
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, m_note);
        return;
    }
    const QRectF area = shownArea();
    p.drawImage(area, m_frame);
    for (int i = 0; i < m_rects.size(); ++i) {
        p.setPen(QPen(i == m_selected ? QColor(255, 200, 0) : QColor(255, 60, 60), 2));
        p.setBrush(QColor(255, 60, 60, 60));
        p.drawRect(toWidget(m_rects[i]));
    }
    if (m_dragging) {
        p.setPen(QPen(Qt::white, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(toWidget(QRect(std::min(m_from.x(), m_to.x()), std::min(m_from.y(), m_to.y()),
                                  std::abs(m_to.x() - m_from.x()), std::abs(m_to.y() - m_from.y()))));
    }
}

void BlurMarkView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_frame.isNull())
        return;
    m_dragging = true;
    m_from = m_to = toPicture(event->position());
    update();
}

void BlurMarkView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    m_to = toPicture(event->position());
    update();
}

void BlurMarkView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    m_to = toPicture(event->position());
    const QRect drawn(std::min(m_from.x(), m_to.x()), std::min(m_from.y(), m_to.y()),
                      std::abs(m_to.x() - m_from.x()), std::abs(m_to.y() - m_from.y()));
    update();
    // A click, or a sliver, marks nothing.
    if (drawn.width() >= 4 && drawn.height() >= 4)
        Q_EMIT rectDrawn(drawn);
}
