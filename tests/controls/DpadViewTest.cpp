// The direction pad: its cross for the view's width, five buttons drawn from
// the skin's 360 images, hidden until shown, each click posting its play-bar
// command.
#include "controls/DpadView.h"
#include "ControlTestSupport.h"
#include "controls/BitmapButton.h"
#include "controls/PlayControlView.h"

#include <QTest>
#include <gtest/gtest.h>

TEST(DpadView, CrossButtonsAndCommands)
{
    QWidget host;
    host.resize(300, 200);
    DpadView pad(QRect(0, 0, 100, 76), &host);
    host.show();
    BitmapButton* up = pad.poDpadUpBtn();
    BitmapButton* down = pad.poDpadDownBtn();
    BitmapButton* left = pad.poDpadLeftBtn();
    BitmapButton* right = pad.poDpadRightBtn();
    BitmapButton* reset = pad.poDpadResetBtn();
    // 100 wide: the column at 38, left at 14, right at 62; 76 high with the
    // down button 2 points above the bottom edge.
    EXPECT_EQ(down->geometry(), QRect(38, 50, 24, 24));
    EXPECT_EQ(reset->geometry(), QRect(38, 26, 24, 24));
    EXPECT_EQ(up->geometry(), QRect(38, 2, 24, 24));
    EXPECT_EQ(left->geometry(), QRect(14, 26, 24, 24));
    EXPECT_EQ(right->geometry(), QRect(62, 26, 24, 24));
    EXPECT_EQ(pad.rectDpadRight, (PmFrame{62, 26, 24, 24}));
    EXPECT_EQ(up->imageName(SkinnedButton::Normal), QStringLiteral("button_360_up.png"));
    EXPECT_EQ(reset->imageName(SkinnedButton::Pressed), QStringLiteral("button_360_reset_d.png"));
    EXPECT_EQ(left->imageName(SkinnedButton::Rollover), QStringLiteral("button_360_left_f.png"));
    EXPECT_EQ(right->imageName(SkinnedButton::Disabled), QStringLiteral("button_360_right_g.png"));

    // A width of 0 keeps the layout; a new width moves the cross.
    pad.relayoutContents(0);
    EXPECT_EQ(up->geometry().x(), 38);
    pad.relayoutContents(200);
    EXPECT_EQ(up->geometry().x(), 88);

    EXPECT_FALSE(pad.areButtonsShown());
    EXPECT_FALSE(up->isVisible());
    pad.checkDpadButtons(true);
    EXPECT_TRUE(up->isVisible() && down->isVisible() && left->isVisible() && right->isVisible() &&
                reset->isVisible());

    NotificationRecorder recorder({Notifications::PlayBarButtonClicked});
    for (BitmapButton* b : {up, down, left, right, reset})
        QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(12, 12));
    const PlayControlView::Command posted[] = {PlayControlView::CmdDpadUp, PlayControlView::CmdDpadDown,
                                               PlayControlView::CmdDpadLeft, PlayControlView::CmdDpadRight,
                                               PlayControlView::CmdDpadReset};
    ASSERT_EQ(recorder.received.size(), 5u);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(recorder.received[i].object.toInt(), posted[i]);

    pad.checkDpadButtons(false);
    EXPECT_FALSE(reset->isVisible());
}
