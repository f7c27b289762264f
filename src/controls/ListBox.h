#pragma once
// The drop-down list of the calendar's year and month boxes: eight one-line
// rows and a scroll bar right of the row background. A click on a row posts
// ListBoxChanged with the row; while it captures the mouse, a press anywhere
// else in the window is swallowed and posts ListBoxChanged with -1, which
// makes the owning box close it. With the keyboard (it takes the focus when
// it opens), Up and Down move the highlight, Return, Enter and Space choose
// the highlighted row and Escape closes it unchanged; every key typed into it
// stays there. Must run on the main thread.
#include "controls/ListBoxBase.h"

#include <QStringList>

class ListBox : public ListBoxBase
{
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);
    ~ListBox() override;

    void insertString(int index, const QString& text);
    QString getText(int index) const;
    void resetContent();
    // Starts/stops the window-wide watch for presses outside the list. Only one
    // list watches at a time: starting a second one stops the first.
    void setCaptureMouseEvent();
    void clearCaptureMouseEvent();
    bool isCapturingMouse() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void rowClicked(int index, int clickCount) override;
    void drawRow(QPainter& p, int k, int index, const QRect& rowRect) override;
    bool handlesWheel() const override { return false; }
    QString imagePrefix() const override { return QStringLiteral("calendar_list"); }

private:
    void postChanged(int index);

    QStringList listBoxData;
    QFont m_font;
};
