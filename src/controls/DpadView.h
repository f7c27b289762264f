#pragma once
// The direction pad of the 360-degree view: five 24 x 24 skinned buttons in a
// cross (up, down, left, right and reset in the middle). A click posts the
// play bar's command ("...PlayBarButtonClickedNotification" with 19 up,
// 20 down, 21 left, 22 right, 23 reset), which the controller passes to the
// current surface. The buttons start hidden; the controller shows them while
// the surface plays a 360-degree recording (checkDpadButtons).
// Must run on the main thread.
#include "core/View360.h"

#include <QWidget>

class BitmapButton;

class DpadView : public QWidget
{
    Q_OBJECT
public:
    // The height the cross needs: the up button's top edge.
    static constexpr int kHeight = 74;

    explicit DpadView(const QRect& frame, QWidget* parent = nullptr);

    void setupButtons();
    // Lays the cross out for a view of this width (nothing for 0 or less).
    void relayoutContents(int width);
    // Shows the buttons (true) or hides them.
    void checkDpadButtons(bool show);
    bool areButtonsShown() const { return m_bShown; }
    void loadSkinBitmap();

    void onDpadUpButtonPressed();
    void onDpadDownButtonPressed();
    void onDpadLeftButtonPressed();
    void onDpadRightButtonPressed();
    void onDpadResetButtonPressed();

    BitmapButton* poDpadUpBtn() const { return m_poDpadUpBtn; }
    BitmapButton* poDpadDownBtn() const { return m_poDpadDownBtn; }
    BitmapButton* poDpadLeftBtn() const { return m_poDpadLeftBtn; }
    BitmapButton* poDpadRightBtn() const { return m_poDpadRightBtn; }
    BitmapButton* poDpadResetBtn() const { return m_poDpadResetBtn; }

    // The frames in force, bottom-left origin.
    PmFrame rectDpadUp, rectDpadDown, rectDpadLeft, rectDpadRight, rectDpadReset;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    BitmapButton* makeButton(const char* objectName);
    void applyFrames();
    void post(int command, const char* message);

    BitmapButton* m_poDpadUpBtn = nullptr;
    BitmapButton* m_poDpadDownBtn = nullptr;
    BitmapButton* m_poDpadLeftBtn = nullptr;
    BitmapButton* m_poDpadRightBtn = nullptr;
    BitmapButton* m_poDpadResetBtn = nullptr;
    bool m_bShown = false;
};
