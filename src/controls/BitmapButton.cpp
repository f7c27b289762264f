#include "controls/BitmapButton.h"

#include "base/Services.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

BitmapButton::BitmapButton(QSize size, QWidget* parent) : SkinnedButton(parent), m_initialSize(size)
{
    resize(size);
    setFocusPolicy(Qt::NoFocus);
}

BitmapButton::~BitmapButton() = default;

BitmapButton* BitmapButton::windowButtonWithSize(int width, int height, QWidget* parent)
{
    auto* button = new BitmapButton(QSize(width, height), parent);
    button->setGeometry(0, 0, width, height);
    return button;
}

void BitmapButton::setBitmapButton(const QString& normal, const QString& pressed, const QString& over,
                                   const QString& disabled)
{
    m_names[Normal] = normal;
    m_names[Pressed] = pressed;
    m_names[Rollover] = over;
    m_names[Disabled] = disabled;
    reloadBitmaps();
}

void BitmapButton::reloadBitmaps()
{
    auto load = [this](const QString& name) {
        QPixmap p = name.isEmpty() ? QPixmap() : pmLoadSkinImage(name);
        return bR2L ? flipImage(p) : p;
    };
    m_activeImage = load(m_names[Normal]);
    m_pressedImage = load(m_names[Pressed]);
    m_rolloverImage = load(m_names[Rollover]);
    m_inactiveImage = load(m_names[Disabled]);
    update();
}

void BitmapButton::setPressedImage(const QPixmap& image)
{
    m_pressedImage = image;
    update();
}

bool BitmapButton::hasImage(ImageState state) const
{
    return !pixmapFor(state).isNull();
}

const QPixmap& BitmapButton::pixmapFor(ImageState state) const
{
    switch (state) {
    case Pressed:
        return m_pressedImage;
    case Rollover:
        return m_rolloverImage;
    case Disabled:
        return m_inactiveImage;
    case Normal:
        break;
    }
    return m_activeImage;
}

void BitmapButton::setBitmapTitle(const QString& text)
{
    m_title = text;
    update();
}

void BitmapButton::setFontSize(int size)
{
    m_nFontSize = static_cast<quint16>(size);
    update();
}

void BitmapButton::setTitleColor(const QColor& color)
{
    m_colorTitle = color;
    update();
}

QPixmap BitmapButton::flipImage(const QPixmap& image)
{
    if (image.isNull())
        return image;
    // A mirror is an exact pixel copy: no interpolation needed at the same size.
    return QPixmap::fromImage(image.toImage().mirrored(true, false));
}

void BitmapButton::setButtonFlipped(bool flipped)
{
    if (flipped == bR2L)
        return;
    bR2L = flipped;
    m_activeImage = flipImage(m_activeImage);
    m_pressedImage = flipImage(m_pressedImage);
    m_rolloverImage = flipImage(m_rolloverImage);
    m_inactiveImage = flipImage(m_inactiveImage);
    updateImage();
    update();
}

void BitmapButton::checkButton(bool checked)
{
    bButtonChecked = checked;
    if (!bButtonEnable) {
        showImage(Disabled);
        return;
    }
    showImage(checked ? Pressed : Normal);
}

void BitmapButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPixmap& image = pixmapFor(m_state);
    if (!image.isNull())
        painter.drawPixmap(0, 0, image);
    if (m_title.isEmpty())
        return;
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(qMax<int>(1, m_nFontSize));
    painter.setFont(font);
    painter.setPen(m_colorTitle);
    const QFontMetrics fm(font);
    const int textHeight = fm.height();
    const QRect textRect(0, (height() - textHeight) / 2, width(), textHeight);
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, m_title);
}
