#include "controls/CheckBox.h"

#include "base/NotificationCenter.h"
#include "controls/ListBoxBase.h"

#include <QMouseEvent>
#include <QPainter>

CheckBox::CheckBox(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CheckBox"));
    loadSkinBitmap();
}

void CheckBox::loadSkinBitmap()
{
    oUncheckImage = listskin::loadStates(QStringLiteral("calendar_uncheckbox.png"));
    oCheckImage = listskin::loadStates(QStringLiteral("calendar_checkbox.png"));
    relayoutContents(bDrawR2L);
    update();
}

void CheckBox::relayoutContents(bool rightToLeft)
{
    bDrawR2L = rightToLeft;
    const QPixmap& img = oUncheckImage[0].isNull() ? oCheckImage[0] : oUncheckImage[0];
    // Without artwork the box keeps a square the height of the control.
    const int iw = img.isNull() ? std::min(width(), height()) : img.width();
    const int ih = img.isNull() ? height() : img.height();
    m_layout = CheckBoxLayout::compute(width(), height(), iw, ih, rightToLeft);
    update();
}

void CheckBox::resizeEvent(QResizeEvent*)
{
    relayoutContents(bDrawR2L);
}

void CheckBox::setTitle(const QString& title)
{
    m_title = title;
    update();
}

void CheckBox::setCheck(bool checked)
{
    bButtonIsCheck = checked;
    update();
}

void CheckBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const auto& images = bButtonIsCheck ? oCheckImage : oUncheckImage;
    const QPixmap& img = images[size_t(nCheckBoxState)].isNull() ? images[0] : images[size_t(nCheckBoxState)];
    const QRect box = pmQtRect(m_layout.box, height());
    if (!img.isNull()) {
        p.drawPixmap(box.topLeft(), img);
    } else {
        // No skin image: a plain box so the state stays visible.
        p.setPen(Qt::white);
        p.drawRect(box.adjusted(2, 2, -3, -3));
        if (bButtonIsCheck)
            p.fillRect(box.adjusted(5, 5, -5, -5), Qt::white);
    }
    if (!m_title.isEmpty()) {
        p.setPen(Qt::white);
        p.setFont(listskin::uiFont(12));
        p.drawText(pmQtRect(m_layout.text, height()), Qt::AlignCenter, m_title);
    }
}

void CheckBox::click()
{
    if (!bCheckboxEnable)
        return;
    bButtonIsCheck = !bButtonIsCheck;
    nCheckBoxState = 2;
    update();
    QVariantMap info;
    info.insert(QStringLiteral("PARENT_WINDOW"), strParentWindow);
    info.insert(QStringLiteral("CHECKBOX_WINDOW"), pmIdentityString(this));
    NotificationCenter::defaultCenter().post(Notifications::CheckBoxChanged, bButtonIsCheck, info);
}

void CheckBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_lastPressTime = static_cast<qint64>(event->timestamp());
    click();
}

void CheckBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Each click of a double click flips the box, as two single clicks would.
    // The platform sends the second press and then the double-click event with
    // the same time stamp: that click has been counted already.
    if (event->button() != Qt::LeftButton || static_cast<qint64>(event->timestamp()) == m_lastPressTime)
        return;
    click();
}

void CheckBox::mouseReleaseEvent(QMouseEvent*)
{
    nCheckBoxState = 0;
    update();
}

void CheckBox::enterEvent(QEnterEvent*)
{
    nCheckBoxState = 2;
    update();
}

void CheckBox::leaveEvent(QEvent*)
{
    nCheckBoxState = 0;
    update();
}
