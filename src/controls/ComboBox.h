#pragma once
// A skinned drop-down box (the calendar's year and month): a background image,
// the selected entry's text and a spin button that opens a ListBox directly
// below the box in the box's parent. Choosing an entry posts ComboBoxChanged
// with the index, the owner's identity ("PARENT_WINDOW") and the box's own
// ("COMBO_WINDOW"). With the keyboard focus (a click gives it), Up and
// Down choose the entry before or after, Space, Return and F4 open or close
// the list and Escape closes it; every key typed into the box stays there.
// Must run on the main thread.
#include "controls/ListBox.h"
#include "controls/ListGeometry.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class BitmapButton;
struct Notification;

class ComboBox : public QWidget
{
    Q_OBJECT
public:
    explicit ComboBox(QWidget* parent = nullptr);
    ~ComboBox() override;

    void insertString(int index, const QString& text);
    int getCount() const { return nTotalCount; }
    int getCurSel() const { return nCurSelectIndex; }
    // Selects an entry without a notification; an index outside the entries is ignored.
    void setCurSel(int index);
    void resetContent();
    void setRealParent(const QString& identity) { strParentWindow = identity; }
    void spinButtonPressed();
    void loadSkinBitmap();
    void relayoutContents(bool rightToLeft);

    QString title() const { return m_title; }
    bool isListShown() const { return bShowListBox; }
    ListBox* listBox() const { return m_listBox; }
    BitmapButton* spinButton() const { return m_spinButton; }
    QSize backgroundSize() const { return {nBackgroundWidth, nBackgroundHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Selects an entry as a choice in the list would, with its notification.
    void chooseEntry(int index);
    void listBoxSelectChanged(const Notification& n);
    void closeList();
    void placeList();

    QPixmap backgroundImage;
    int nBackgroundWidth = 67;
    int nBackgroundHeight = 27;
    BitmapButton* m_spinButton = nullptr;
    PmFrame rectSpin;
    QPointer<ListBox> m_listBox;
    bool bShowListBox = false;
    int nCurSelectIndex = 0;
    int nTotalCount = 0;
    QString m_title;
    QString strParentWindow;
    bool bDrawR2L = false;
};
