#include "controls/ComboBox.h"

#include "base/NotificationCenter.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/CalendarLayout.h"
#include "controls/ListBox.h"
#include "controls/ListBoxBase.h"

#include <QKeyEvent>
#include <QPainter>
#include <cmath>

ComboBox::ComboBox(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ComboBox"));
    // A click gives it the keyboard; the window never hands it the focus by
    // itself, which would take the player's keys from the start.
    setFocusPolicy(Qt::ClickFocus);
    m_spinButton = new BitmapButton(QSize(16, 16), this);
    m_spinButton->setObjectName(QStringLiteral("ComboBoxSpin"));
    connect(m_spinButton, &BitmapButton::clicked, this, &ComboBox::spinButtonPressed);

    m_listBox = new ListBox(parent);
    m_listBox->hide();
    m_listBox->setRealParent(pmIdentityString(this));
    m_listBox->relayoutContents(false, ComboBoxLayout::kListWidth, ComboBoxLayout::kListHeight);

    loadSkinBitmap();
    NotificationCenter::defaultCenter().addObserver(
        this, Notifications::ListBoxChanged, [this](const Notification& n) { listBoxSelectChanged(n); });
}

ComboBox::~ComboBox()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    if (m_listBox) {
        m_listBox->clearCaptureMouseEvent();
        delete m_listBox.data();
    }
}

void ComboBox::loadSkinBitmap()
{
    backgroundImage = listskin::load(QStringLiteral("enter_calendar.png"));
    if (!backgroundImage.isNull()) {
        nBackgroundWidth = backgroundImage.width();
        nBackgroundHeight = backgroundImage.height();
    }
    resize(nBackgroundWidth, nBackgroundHeight);
    m_spinButton->setBitmapButton(QStringLiteral("button_enter.png"), QStringLiteral("button_enter_d.png"),
                                  QStringLiteral("button_enter_f.png"), QStringLiteral("button_enter_g.png"));
    const QPixmap spin = listskin::load(QStringLiteral("button_enter.png"));
    const int sw = spin.isNull() ? 16 : spin.width();
    const int sh = spin.isNull() ? 16 : spin.height();
    m_spinButton->resize(sw, sh);
    if (m_listBox)
        m_listBox->loadSkinBitmap();
    relayoutContents(bDrawR2L);
}

void ComboBox::relayoutContents(bool rightToLeft)
{
    bDrawR2L = rightToLeft;
    rectSpin = ComboBoxLayout::spinFrame(width(), height(), m_spinButton->width(), m_spinButton->height(),
                                         rightToLeft);
    m_spinButton->setGeometry(pmQtRect(rectSpin, height()));
    if (m_listBox)
        m_listBox->relayoutContents(rightToLeft, ComboBoxLayout::kListWidth, ComboBoxLayout::kListHeight);
    placeList();
    update();
}

void ComboBox::insertString(int index, const QString& text)
{
    if (m_listBox)
        m_listBox->insertString(index, text);
    ++nTotalCount;
}

void ComboBox::setCurSel(int index)
{
    if (index < 0 || index >= nTotalCount)
        return;
    nCurSelectIndex = index;
    if (m_listBox) {
        m_listBox->setCurSel(index);
        m_title = m_listBox->getText(index);
    }
    update();
}

void ComboBox::resetContent()
{
    closeList();
    if (m_listBox)
        m_listBox->resetContent();
    nTotalCount = 0;
    nCurSelectIndex = 0;
    m_title.clear();
    update();
}

void ComboBox::placeList()
{
    QWidget* p = parentWidget();
    if (!m_listBox || !p)
        return;
    // The list's frame is given in the parent's bottom-left coordinates.
    const int ph = p->height();
    const PmFrame box{x(), ph - y() - height(), width(), height()};
    m_listBox->setGeometry(pmQtRect(ComboBoxLayout::listFrame(box), ph));
}

void ComboBox::moveEvent(QMoveEvent*)
{
    placeList();
}

void ComboBox::hideEvent(QHideEvent*)
{
    // A box hidden by its panel (all mode) must not leave its list open and
    // swallowing the window's clicks.
    closeList();
}

void ComboBox::spinButtonPressed()
{
    if (!m_listBox)
        return;
    if (bShowListBox) {
        closeList();
        return;
    }
    placeList();
    m_listBox->show();
    m_listBox->raise();
    m_listBox->setCaptureMouseEvent();
    bShowListBox = true;
}

void ComboBox::closeList()
{
    if (!bShowListBox)
        return;
    bShowListBox = false;
    if (m_listBox) {
        m_listBox->clearCaptureMouseEvent();
        // The keyboard goes back to the box the list was opened from.
        if (m_listBox->hasFocus() && isVisible())
            setFocus(Qt::OtherFocusReason);
        m_listBox->hide();
    }
}

void ComboBox::listBoxSelectChanged(const Notification& n)
{
    if (n.userInfo.value(QStringLiteral("PARENT_WINDOW")).toString() != pmIdentityString(this))
        return;
    closeList();
    const int index = n.object.toInt();
    if (index == -1 || !m_listBox)
        return;
    nCurSelectIndex = index;
    m_title = m_listBox->getText(index);
    update();
    QVariantMap info;
    info.insert(QStringLiteral("PARENT_WINDOW"), strParentWindow);
    info.insert(QStringLiteral("COMBO_WINDOW"), pmIdentityString(this));
    NotificationCenter::defaultCenter().post(Notifications::ComboBoxChanged, index, info);
}

void ComboBox::chooseEntry(int index)
{
    if (index < 0 || index >= nTotalCount || index == nCurSelectIndex)
        return;
    setCurSel(index);
    QVariantMap info;
    info.insert(QStringLiteral("PARENT_WINDOW"), strParentWindow);
    info.insert(QStringLiteral("COMBO_WINDOW"), pmIdentityString(this));
    NotificationCenter::defaultCenter().post(Notifications::ComboBoxChanged, index, info);
}

void ComboBox::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        closeList();
        chooseEntry(nCurSelectIndex - 1);
        break;
    case Qt::Key_Down:
        if (event->modifiers() & Qt::AltModifier) {
            if (!bShowListBox)
                spinButtonPressed();
            break;
        }
        closeList();
        chooseEntry(nCurSelectIndex + 1);
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F4:
        spinButtonPressed();
        break;
    case Qt::Key_Escape:
        closeList();
        break;
    default:
        break;
    }
    // What is typed into the box is the box's, whatever it did with it.
    event->accept();
}

void ComboBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!backgroundImage.isNull()) {
        const int dx = int(std::ceil((width() - backgroundImage.width()) / 2.0));
        const int dy = int(std::ceil((height() - backgroundImage.height()) / 2.0));
        p.drawPixmap(dx, dy, backgroundImage);
    }
    if (m_title.isEmpty())
        return;
    QFont f(QStringLiteral("Noto Sans CJK JP"));
    f.setPixelSize(12);
    p.setFont(f);
    p.setPen(Qt::black);
    const int sw = m_spinButton->width();
    const QRect textArea =
        bDrawR2L ? QRect(sw, 0, width() - sw, height()) : QRect(0, 0, width() - sw, height());
    p.drawText(textArea, Qt::AlignCenter, m_title);
}
