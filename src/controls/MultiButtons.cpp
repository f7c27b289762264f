#include "controls/MultiButtons.h"

#include "base/Services.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

MultiButtons::MultiButtons(QSize size, QWidget* parent) : SkinnedButton(parent), m_initialSize(size)
{
    resize(size);
    setFocusPolicy(Qt::NoFocus);
}

MultiButtons::~MultiButtons() = default;

MultiButtons* MultiButtons::windowButtonWithSize(int width, int height, QWidget* parent)
{
    auto* button = new MultiButtons(QSize(width, height), parent);
    button->setGeometry(0, 0, width, height);
    return button;
}

void MultiButtons::clearBitmaps()
{
    for (int i = 0; i < kMaxSets; ++i) {
        strToolTip[i].clear();
        activeImage[i] = QPixmap();
        inactiveImage[i] = QPixmap();
        rolloverImage[i] = QPixmap();
        pressedImages[i] = QPixmap();
        for (QString& name : m_names[i])
            name.clear();
    }
    nButtonCount = 0;
    update();
}

void MultiButtons::addBitmapButton(const QString& toolTip, const QString& normal, const QString& pressed,
                                   const QString& over, const QString& disabled)
{
    if (nButtonCount >= kMaxSets)
        return;
    const int i = nButtonCount;
    auto load = [](const QString& name) { return name.isEmpty() ? QPixmap() : pmLoadSkinImage(name); };
    strToolTip[i] = toolTip;
    activeImage[i] = load(normal);
    pressedImages[i] = load(pressed);
    rolloverImage[i] = load(over);
    inactiveImage[i] = load(disabled);
    m_names[i][Normal] = normal;
    m_names[i][Pressed] = pressed;
    m_names[i][Rollover] = over;
    m_names[i][Disabled] = disabled;
    ++nButtonCount;
    if (nButtonCount == 1)
        setToolTip(toolTip);
    update();
}

void MultiButtons::applyToolTip()
{
    if (nCurrentButtonIndex >= 0 && nCurrentButtonIndex < kMaxSets)
        setToolTip(strToolTip[nCurrentButtonIndex]);
}

void MultiButtons::changeButtonIndex()
{
    if (nButtonCount < 2)
        return;
    nCurrentButtonIndex = (nCurrentButtonIndex + 1 >= nButtonCount) ? 0 : nCurrentButtonIndex + 1;
    applyToolTip();
    // The pointer is over the button when it is clicked.
    m_state = bButtonEnable ? Rollover : Disabled;
    update();
}

void MultiButtons::setButtonIndex(int index)
{
    if (nButtonCount < 2 || index < 0 || index >= nButtonCount || index == nCurrentButtonIndex)
        return;
    nCurrentButtonIndex = index;
    applyToolTip();
    m_state = bButtonEnable ? Normal : Disabled;
    update();
}

void MultiButtons::resetButtonState()
{
    setButtonIndex(0);
    applyToolTip();
    update();
}

void MultiButtons::changeToolTips(const QString& tip0, const QString& tip1, const QString& tip2,
                                  const QString& tip3, const QString& tip4)
{
    const QString* tips[kMaxSets] = {&tip0, &tip1, &tip2, &tip3, &tip4};
    for (int i = 0; i < kMaxSets; ++i) {
        if (!tips[i]->isNull())
            strToolTip[i] = *tips[i];
    }
    applyToolTip();
}

void MultiButtons::setPressedImage(const QPixmap& image)
{
    if (nCurrentButtonIndex >= 0 && nCurrentButtonIndex < kMaxSets) {
        pressedImages[nCurrentButtonIndex] = image;
        update();
    }
}

QPixmap MultiButtons::pressedImage() const
{
    if (nCurrentButtonIndex >= 0 && nCurrentButtonIndex < kMaxSets)
        return pressedImages[nCurrentButtonIndex];
    return QPixmap();
}

QString MultiButtons::toolTipOf(int index) const
{
    return (index >= 0 && index < kMaxSets) ? strToolTip[index] : QString();
}

QString MultiButtons::imageName(int index, ImageState state) const
{
    return (index >= 0 && index < kMaxSets) ? m_names[index][state] : QString();
}

const QPixmap* MultiButtons::currentPixmap() const
{
    const int i = nCurrentButtonIndex;
    if (i < 0 || i >= nButtonCount)
        return nullptr;
    switch (m_state) {
    case Pressed:
        return &pressedImages[i];
    case Rollover:
        return &rolloverImage[i];
    case Disabled:
        return &inactiveImage[i];
    case Normal:
        break;
    }
    return &activeImage[i];
}

void MultiButtons::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (const QPixmap* image = currentPixmap(); image && !image->isNull())
        painter.drawPixmap(0, 0, *image);
    if (title.isEmpty())
        return;
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(14);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const int lineHeight = QFontMetrics(font).boundingRect(QStringLiteral("TEST")).height();
    painter.drawText(QRect(0, (height() - lineHeight) / 2, width(), lineHeight), Qt::AlignCenter, title);
}
