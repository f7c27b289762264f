#include "controls/ListBox.h"

#include "base/NotificationCenter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace
{
QPointer<ListBox> g_capturingList; // the one list that watches the window's presses
}

ListBox::ListBox(QWidget* parent) : ListBoxBase(ListGeometry::Kind::DropDown, parent)
{
    setObjectName(QStringLiteral("ListBox"));
    m_font = listskin::uiFont(12);
    loadSkinBitmap();
}

ListBox::~ListBox()
{
    clearCaptureMouseEvent();
}

void ListBox::insertString(int, const QString& text)
{
    listBoxData.append(text);
    countChanged(int(listBoxData.size()));
}

QString ListBox::getText(int index) const
{
    return index >= 0 && index < listBoxData.size() ? listBoxData.at(index) : QString();
}

void ListBox::resetContent()
{
    listBoxData.clear();
    resetScrollState();
}

void ListBox::setCaptureMouseEvent()
{
    if (g_capturingList && g_capturingList != this)
        g_capturingList->clearCaptureMouseEvent();
    if (g_capturingList == this)
        return;
    g_capturingList = this;
    qApp->installEventFilter(this);
    setFocus(Qt::MouseFocusReason);
}

void ListBox::clearCaptureMouseEvent()
{
    if (g_capturingList != this)
        return;
    qApp->removeEventFilter(this);
    g_capturingList = nullptr;
}

bool ListBox::isCapturingMouse() const
{
    return g_capturingList == this;
}

bool ListBox::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick) ||
        !watched->isWidgetType())
        return false;
    auto* target = static_cast<QWidget*>(watched);
    // Only presses in this list's own window are watched.
    if (target->window() != window())
        return false;
    auto* me = static_cast<QMouseEvent*>(event);
    if (me->button() != Qt::LeftButton)
        return false;
    const QPoint local = mapFromGlobal(me->globalPosition().toPoint());
    if (isVisible() && rect().contains(local))
        return false; // a press inside the list passes on
    postChanged(-1);
    return true;
}

void ListBox::postChanged(int index)
{
    QVariantMap info;
    info.insert(QStringLiteral("PARENT_WINDOW"), strParentWindow);
    NotificationCenter::defaultCenter().post(Notifications::ListBoxChanged, index, info);
}

void ListBox::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const int step = event->key() == Qt::Key_Up ? -1 : 1;
        const int row = nCurSelectIndex + step;
        if (row >= 0 && row < getCount()) {
            setCurSel(row);
            update();
        }
        break;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (getCount() > 0)
            postChanged(nCurSelectIndex);
        break;
    case Qt::Key_Escape:
        postChanged(-1);
        break;
    default:
        break;
    }
    event->accept();
}

void ListBox::rowClicked(int index, int clickCount)
{
    if (clickCount >= 2)
        return; // the drop-down knows no double click
    postChanged(index);
}

void ListBox::drawRow(QPainter& p, int, int index, const QRect& rowRect)
{
    p.setFont(m_font);
    p.setPen(Qt::black);
    p.drawText(rowRect, Qt::AlignCenter, listBoxData.at(index));
}
