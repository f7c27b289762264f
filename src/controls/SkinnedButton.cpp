#include "controls/SkinnedButton.h"

#include <QEnterEvent>
#include <QMouseEvent>

void SkinnedButton::showImage(ImageState state)
{
    if (m_state == state)
        return;
    m_state = state;
    update();
}

void SkinnedButton::updateRollOverImage()
{
    if (bButtonEnable)
        showImage(Rollover);
    else
        updateImage();
}

void SkinnedButton::updateImage()
{
    if (bButtonEnable)
        updateActiveImage();
    else
        showImage(Disabled);
}

void SkinnedButton::updateActiveImage()
{
    showImage(showsPressedAtRest() ? Pressed : Normal);
}

void SkinnedButton::enterEvent(QEnterEvent*)
{
    if (!m_bTracking)
        updateRollOverImage();
}

void SkinnedButton::leaveEvent(QEvent*)
{
    if (!m_bTracking)
        updateImage();
}

void SkinnedButton::mousePressEvent(QMouseEvent* event)
{
    if (!bButtonEnable || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_bTracking = true;
    showImage(Pressed);
}

void SkinnedButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_bTracking)
        return;
    // Like a platform push button: the pressed look follows the pointer in and out.
    if (rect().contains(event->position().toPoint()))
        showImage(Pressed);
    else
        updateActiveImage();
}

void SkinnedButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_bTracking || event->button() != Qt::LeftButton)
        return;
    m_bTracking = false;
    if (!bButtonEnable)
        return;
    const bool inside = rect().contains(event->position().toPoint());
    // The pointer is still over the button after a click inside it.
    if (inside && !showsPressedAtRest())
        showImage(Rollover);
    else
        updateActiveImage();
    if (inside)
        Q_EMIT clicked();
}

void SkinnedButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        bButtonEnable = isEnabled();
        m_bTracking = false;
        updateImage();
    }
    QWidget::changeEvent(event);
}
