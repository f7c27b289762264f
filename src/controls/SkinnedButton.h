#pragma once
// What the skinned push buttons share: which of the four images is on screen
// and the mouse rules of a platform push button (mouse-over image on entry,
// pressed image that follows the pointer in and out during a press, the
// action sent when the press is released inside). Subclasses paint the image
// of currentImageState() and may keep a button "checked" (pressed look).
// Must run on the main thread.
#include <QWidget>

class SkinnedButton : public QWidget
{
    Q_OBJECT
public:
    // Which of the four images is on screen.
    enum ImageState { Normal = 0, Pressed = 1, Rollover = 2, Disabled = 3 };

    explicit SkinnedButton(QWidget* parent = nullptr) : QWidget(parent) {}

    ImageState currentImageState() const { return m_state; }

    void updateRollOverImage();
    void updateImage();
    void updateActiveImage();

Q_SIGNALS:
    // The button's action: sent when a press is released inside the button.
    void clicked();

protected:
    // Whether the resting look is the pressed image (a checked button).
    virtual bool showsPressedAtRest() const { return false; }
    void showImage(ImageState state);

    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

    bool bButtonEnable = true;
    bool m_bTracking = false;
    ImageState m_state = Normal;
};
