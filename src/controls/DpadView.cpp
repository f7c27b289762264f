#include "controls/DpadView.h"

#include "base/NotificationCenter.h"
#include "base/QtFrame.h"
#include "base/Skin.h"
#include "controls/BitmapButton.h"

#include <QtDebug>

namespace
{

constexpr int kButtonSide = 24;

void setSkinImages(BitmapButton* button, const QString& base)
{
    const auto names = Skin::stateImageNames(base);
    button->setBitmapButton(names[0], names[1], names[2], names[3]);
}

} // namespace

DpadView::DpadView(const QRect& frame, QWidget* parent) : QWidget(parent)
{
    setGeometry(frame);
    // Only the buttons are drawn: the picture stays visible around them.
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setupButtons();
    relayoutContents(width());
    checkDpadButtons(false);
}

BitmapButton* DpadView::makeButton(const char* objectName)
{
    auto* button = new BitmapButton(QSize(kButtonSide, kButtonSide), this);
    button->setObjectName(QLatin1String(objectName));
    return button;
}

void DpadView::setupButtons()
{
    m_poDpadUpBtn = makeButton("poDpadUpBtn");
    m_poDpadDownBtn = makeButton("poDpadDownBtn");
    m_poDpadLeftBtn = makeButton("poDpadLeftBtn");
    m_poDpadRightBtn = makeButton("poDpadRightBtn");
    m_poDpadResetBtn = makeButton("poDpadResetBtn");
    loadSkinBitmap();
    connect(m_poDpadUpBtn, &BitmapButton::clicked, this, &DpadView::onDpadUpButtonPressed);
    connect(m_poDpadDownBtn, &BitmapButton::clicked, this, &DpadView::onDpadDownButtonPressed);
    connect(m_poDpadLeftBtn, &BitmapButton::clicked, this, &DpadView::onDpadLeftButtonPressed);
    connect(m_poDpadRightBtn, &BitmapButton::clicked, this, &DpadView::onDpadRightButtonPressed);
    connect(m_poDpadResetBtn, &BitmapButton::clicked, this, &DpadView::onDpadResetButtonPressed);
}

void DpadView::loadSkinBitmap()
{
    setSkinImages(m_poDpadUpBtn, QStringLiteral("button_360_up"));
    setSkinImages(m_poDpadDownBtn, QStringLiteral("button_360_down"));
    setSkinImages(m_poDpadLeftBtn, QStringLiteral("button_360_left"));
    setSkinImages(m_poDpadRightBtn, QStringLiteral("button_360_right"));
    setSkinImages(m_poDpadResetBtn, QStringLiteral("button_360_reset"));
    update();
}

void DpadView::relayoutContents(int width)
{
    if (width <= 0)
        return;
    const DpadLayout l = pmDpadLayout(width);
    rectDpadUp = l.up;
    rectDpadDown = l.down;
    rectDpadLeft = l.left;
    rectDpadRight = l.right;
    rectDpadReset = l.reset;
    applyFrames();
    update();
}

void DpadView::applyFrames()
{
    const int h = height();
    m_poDpadUpBtn->setGeometry(pmQtRect(rectDpadUp, h));
    m_poDpadDownBtn->setGeometry(pmQtRect(rectDpadDown, h));
    m_poDpadLeftBtn->setGeometry(pmQtRect(rectDpadLeft, h));
    m_poDpadRightBtn->setGeometry(pmQtRect(rectDpadRight, h));
    m_poDpadResetBtn->setGeometry(pmQtRect(rectDpadReset, h));
}

void DpadView::checkDpadButtons(bool show)
{
    m_bShown = show;
    for (BitmapButton* b :
         {m_poDpadUpBtn, m_poDpadDownBtn, m_poDpadLeftBtn, m_poDpadRightBtn, m_poDpadResetBtn})
        b->setVisible(show);
}

void DpadView::post(int command, const char* message)
{
    qDebug("%s", message);
    NotificationCenter::defaultCenter().post(Notifications::PlayBarButtonClicked, QVariant(command));
}

void DpadView::onDpadUpButtonPressed()
{
    post(19, "Dpad up button pressed !");
}

void DpadView::onDpadDownButtonPressed()
{
    post(20, "Dpad down button pressed !");
}

void DpadView::onDpadLeftButtonPressed()
{
    post(21, "Dpad left button pressed !");
}

void DpadView::onDpadRightButtonPressed()
{
    post(22, "Dpad right button pressed !");
}

void DpadView::onDpadResetButtonPressed()
{
    post(23, "Dpad reset button pressed !");
}

void DpadView::paintEvent(QPaintEvent*) {}

void DpadView::mouseReleaseEvent(QMouseEvent* event)
{
    qDebug("DpadView - mouseUp !");
    QWidget::mouseReleaseEvent(event);
}

void DpadView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The frames are kept from the bottom edge.
    applyFrames();
}
