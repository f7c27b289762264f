#pragma once
// A skinned check box: the checked or unchecked image (state 0 normal, 2 mouse
// over or pressed) and a white title. A click flips it and, when enabled, posts
// CheckBoxChanged with the new state, the owner's identity ("PARENT_WINDOW")
// and its own ("CHECKBOX_WINDOW"). Must run on the main thread.
#include "controls/FileListLayout.h"

#include <QPixmap>
#include <QWidget>
#include <array>

class CheckBox : public QWidget
{
    Q_OBJECT
public:
    explicit CheckBox(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    QString title() const { return m_title; }
    // Sets the state without a notification.
    void setCheck(bool checked);
    bool isButtonChecked() const { return bButtonIsCheck; }
    // A disabled box neither flips nor reports on a click.
    void enableCheckBox(bool enable) { bCheckboxEnable = enable; }
    bool isCheckBoxEnabled() const { return bCheckboxEnable; }
    void setRealParent(const QString& identity) { strParentWindow = identity; }
    void loadSkinBitmap();
    void relayoutContents(bool rightToLeft);
    int state() const { return nCheckBoxState; }
    const CheckBoxLayout& layoutModel() const { return m_layout; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void click();

    std::array<QPixmap, 4> oUncheckImage, oCheckImage;
    bool bButtonIsCheck = false;
    int nCheckBoxState = 0;
    bool bCheckboxEnable = true;
    bool bDrawR2L = false;
    QString m_title;
    QString strParentWindow;
    CheckBoxLayout m_layout;
    qint64 m_lastPressTime = -1;
};
