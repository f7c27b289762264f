#include "WaitingWindow/YRKSpinningProgressIndicator.h"

#include <QPainter>
#include <QtMath>

YRKSpinningProgressIndicator::YRKSpinningProgressIndicator(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    m_timer.setInterval(kFrameMsecs);
    connect(&m_timer, &QTimer::timeout, this, &YRKSpinningProgressIndicator::advance);
}

void YRKSpinningProgressIndicator::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void YRKSpinningProgressIndicator::startAnimation()
{
    m_sinceFrame.start();
    m_timer.start();
}

void YRKSpinningProgressIndicator::stopAnimation()
{
    m_timer.stop();
}

void YRKSpinningProgressIndicator::advance()
{
    m_step = (m_step + 1) % kFinCount;
    m_sinceFrame.restart();
    update();
}

void YRKSpinningProgressIndicator::advanceIfDue()
{
    if (!isAnimating())
        return;
    if (m_sinceFrame.isValid() && m_sinceFrame.elapsed() < kFrameMsecs)
        return;
    m_step = (m_step + 1) % kFinCount;
    m_sinceFrame.restart();
    repaint();
}

void YRKSpinningProgressIndicator::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height());
    const qreal outer = side / 2.0;
    const qreal inner = outer * 0.45;
    const qreal finWidth = qMax<qreal>(2.0, side / 14.0);
    p.translate(width() / 2.0, height() / 2.0);
    for (int i = 0; i < kFinCount; ++i) {
        // The fin at the current step is brightest; older ones fade out.
        const int age = (m_step - i + kFinCount) % kFinCount;
        QColor c = m_color;
        c.setAlphaF(qMax(0.15, 1.0 - age / static_cast<qreal>(kFinCount)));
        QPen pen(c, finWidth, Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        p.save();
        p.rotate(i * 360.0 / kFinCount - 90.0);
        p.drawLine(QPointF(inner, 0), QPointF(outer - finWidth / 2.0, 0));
        p.restore();
    }
}
