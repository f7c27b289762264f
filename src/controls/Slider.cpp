#include "controls/Slider.h"

#include "base/NotificationCenter.h"
#include "base/Services.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

Slider::Slider(const QRect& frame, QWidget* parent) : QWidget(parent), rectClient(QPoint(0, 0), frame.size())
{
    if (frame.isValid())
        setGeometry(frame);
    setFocusPolicy(Qt::NoFocus);
}

Slider::~Slider() = default;

void Slider::loadBitmaps(const QString& filled, const QString& background, const QString& thumb)
{
    m_names[0] = filled;
    m_names[1] = background;
    m_names[2] = thumb;
    setBitmapImages(pmLoadSkinImage(filled), pmLoadSkinImage(background), pmLoadSkinImage(thumb),
                    pmLoadSkinImage(QStringLiteral("icon_m1.png")));
}

void Slider::setBitmapImages(const QPixmap& filled, const QPixmap& background, const QPixmap& thumb,
                             const QPixmap& eventMark)
{
    poSliderFullBitmap = filled;
    poSliderEmptyBitmap = background;
    poThumbBitmap = thumb;
    poEventBitmap = eventMark.isNull() ? pmLoadSkinImage(QStringLiteral("icon_m1.png")) : eventMark;
    nBackgroundWidth = poSliderEmptyBitmap.isNull() ? 0 : poSliderEmptyBitmap.width();
    nBackgroundHeight = poSliderEmptyBitmap.isNull() ? 0 : poSliderEmptyBitmap.height();
    nThumbWidth = poThumbBitmap.isNull() ? 0 : poThumbBitmap.width();
    nThumbHeight = poThumbBitmap.isNull() ? 0 : poThumbBitmap.height();
    nThumbXPos = static_cast<qint16>(thumbXFor(nCurrentValue));
    // A skin with another thumb width changes the travel.
    nSliderLength = static_cast<qint16>(width() - nThumbWidth);
    update();
}

int Slider::clampToRange(int value) const
{
    return std::clamp(value, static_cast<int>(nMinValue), std::max<int>(nMinValue, nMaxValue));
}

// An empty range (minimum equal to maximum) would divide by zero: such a
// slider keeps its thumb at the start of the track.
int Slider::thumbXFor(int value) const
{
    if (span() == 0)
        return 0;
    return static_cast<int>(qint64(nBackgroundWidth - nThumbWidth) * value / span());
}

// A value set outside the range is drawn (and hit-tested) at the nearer end of the track.
int Slider::drawnThumbX() const
{
    return std::clamp(thumbXFor(nCurrentValue), 0, std::max(0, nBackgroundWidth - nThumbWidth));
}

void Slider::setEventMarkPos(int value)
{
    if (value == -1) {
        nEventPos = -1;
    } else {
        nEventPos = static_cast<qint16>(thumbXFor(value) + nThumbWidth / 2);
    }
    update();
}

void Slider::setTimeMarks(const QList<TimeMark>& marks)
{
    m_timeMarks = marks;
    update();
}

bool Slider::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int hit = pmTimeMarkNear(
            m_timeMarks, [this](int value) { return timeMarkX(value); }, help->pos().x(), kTimeMarkWidth);
        if (hit >= 0) {
            QToolTip::showText(help->globalPos(), m_timeMarks.at(hit).text, this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void Slider::setRange(int minimum, int maximum)
{
    nMinValue = static_cast<qint16>(minimum);
    nMaxValue = static_cast<qint16>(maximum);
    bInDragMode = false;
    nSliderLength = static_cast<qint16>(width() - nThumbWidth);
    const int gap = span() != 0 ? nSliderLength / span() : 0;
    nMoveGap = static_cast<qint16>(gap == 0 ? 1 : gap);
    update();
}

void Slider::setCurrentValue(int value)
{
    nCurrentValue = static_cast<qint16>(value);
    update();
}

int Slider::getCurrentPos()
{
    nThumbXPos = static_cast<qint16>(thumbXFor(nCurrentValue));
    return nThumbXPos;
}

int Slider::getCurrentIndicatorPos()
{
    nThumbXPos = static_cast<qint16>(span() == 0 ? 0 : qint64(nCurrentValue) * (260 - nThumbWidth) / span());
    return nThumbXPos;
}

void Slider::setRealParent(const QString& text)
{
    strParentWindow = text;
}

void Slider::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        m_bEnabled = isEnabled();
        if (!m_bEnabled)
            bInDragMode = false;
    }
    QWidget::changeEvent(event);
}

void Slider::loadSkinBitmap()
{
    update();
}

void Slider::resizeEvent(QResizeEvent* event)
{
    rectClient = QRect(QPoint(0, 0), size());
    // Keep the travel in step with the width when a panel resizes the slider.
    nSliderLength = static_cast<qint16>(width() - nThumbWidth);
    const int gap = span() != 0 ? nSliderLength / span() : 0;
    nMoveGap = static_cast<qint16>(gap == 0 ? 1 : gap);
    QWidget::resizeEvent(event);
}

void Slider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int h = height();
    nThumbXPos = static_cast<qint16>(thumbXFor(nCurrentValue));
    const int thumbX = drawnThumbX();
    if (!poSliderEmptyBitmap.isNull())
        painter.drawPixmap(0, h - poSliderEmptyBitmap.height(), poSliderEmptyBitmap);
    if (!poSliderFullBitmap.isNull()) {
        const int filledWidth = std::min(thumbX + nThumbWidth / 2, poSliderFullBitmap.width());
        const int fh = poSliderFullBitmap.height();
        if (filledWidth > 0)
            painter.drawPixmap(QRect(0, h - fh, filledWidth, fh), poSliderFullBitmap,
                               QRect(0, 0, filledWidth, fh));
    }
    if (nEventPos != -1 && !poEventBitmap.isNull())
        painter.drawPixmap(nEventPos - poEventBitmap.width() / 2, 0, poEventBitmap);
    for (const TimeMark& mark : std::as_const(m_timeMarks))
        pmDrawTimeMark(painter, timeMarkX(mark.second), 2);
    if (!poThumbBitmap.isNull())
        painter.drawPixmap(thumbX, h - poThumbBitmap.height(), poThumbBitmap);
}

void Slider::startDrag(const QPoint& pt)
{
    nStartValue = nCurrentValue;
    ptLastPoint = pt;
    bInDragMode = true;
}

void Slider::postChange()
{
    QVariantMap info;
    info.insert(QStringLiteral("PARENT_WINDOW"), strParentWindow);
    info.insert(QStringLiteral("SLIDER_WINDOW"), pmIdentityString(this));
    NotificationCenter::defaultCenter().post(Notifications::SliderChanged,
                                             QVariant(static_cast<int>(nCurrentValue)), info);
}

void Slider::mousePressEvent(QMouseEvent* event)
{
    if (!m_bEnabled || event->button() != Qt::LeftButton)
        return;
    // Work with the origin at the bottom left, as the thumb's rectangle is given.
    const int x = static_cast<int>(event->position().x());
    const int y = height() - static_cast<int>(event->position().y());
    const QPoint pt(x, y);
    const int thumbX = drawnThumbX();
    const bool inThumbX = x >= thumbX && x < thumbX + nThumbWidth;
    if (inThumbX && y >= 0 && y < nThumbHeight) {
        startDrag(pt);
        return;
    }
    if (inThumbX)
        return;
    if (nSliderLength <= 0) {
        // No travel to map the click onto: the click only starts a drag.
        startDrag(pt);
        return;
    }
    const int value =
        clampToRange(static_cast<int>(nMinValue + qint64(span()) * (x - nThumbWidth / 2) / nSliderLength));
    nCurrentValue = static_cast<qint16>(value);
    update();
    postChange();
    startDrag(pt);
}

void Slider::mouseMoveEvent(QMouseEvent* event)
{
    if (!bInDragMode || !m_bEnabled || nSliderLength <= 0)
        return;
    const int x = static_cast<int>(event->position().x());
    const qint16 dx = static_cast<qint16>(x - ptLastPoint.x());
    const int value = clampToRange(static_cast<int>(nStartValue + qint64(span()) * dx / nSliderLength));
    if (value == nCurrentValue)
        return;
    nCurrentValue = static_cast<qint16>(value);
    update();
    postChange();
}

void Slider::mouseReleaseEvent(QMouseEvent*)
{
    bInDragMode = false;
}
