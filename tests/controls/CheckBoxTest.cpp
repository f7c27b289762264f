// The skinned check box under real clicks.
#include "controls/CheckBox.h"
#include "FileListTestSupport.h"

#include <QTest>
#include <gtest/gtest.h>

TEST(CheckBox, ClickFlipsAndReportsWhoSpoke)
{
    QWidget window;
    auto* box = new CheckBox(&window);
    box->setGeometry(0, 0, 80, 18);
    box->setRealParent(QStringLiteral("panel-id"));
    box->setTitle(QStringLiteral("イベント"));
    window.show();
    PanelRecorder rec({Notifications::CheckBoxChanged});

    box->setCheck(true); // no notification from code
    EXPECT_TRUE(rec.received.empty());

    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(5, 9));
    EXPECT_FALSE(box->isButtonChecked());
    EXPECT_EQ(box->state(), 2);
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(5, 9));
    EXPECT_EQ(box->state(), 0);
    ASSERT_EQ(rec.received.size(), 1u);
    const Notification& n = rec.received[0];
    EXPECT_EQ(n.object.toInt(), 0);
    EXPECT_EQ(n.userInfo.value("PARENT_WINDOW").toString(), QStringLiteral("panel-id"));
    EXPECT_EQ(n.userInfo.value("CHECKBOX_WINDOW").toString(), pmIdentityString(box));

    // A real double click is two clicks: the double-click event repeats the second press.
    rec.clear();
    sendMouse(box, QEvent::MouseButtonPress, QPoint(5, 9), 50000);
    sendMouse(box, QEvent::MouseButtonRelease, QPoint(5, 9), 50010, Qt::NoButton);
    sendMouse(box, QEvent::MouseButtonPress, QPoint(5, 9), 50100);
    sendMouse(box, QEvent::MouseButtonDblClick, QPoint(5, 9), 50100);
    sendMouse(box, QEvent::MouseButtonRelease, QPoint(5, 9), 50110, Qt::NoButton);
    EXPECT_EQ(rec.received.size(), 2u);
    EXPECT_FALSE(box->isButtonChecked());

    // A disabled box neither flips nor reports.
    rec.clear();
    box->enableCheckBox(false);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 9));
    EXPECT_FALSE(box->isButtonChecked());
    EXPECT_TRUE(rec.received.empty());
    EXPECT_FALSE(box->grab().isNull());
}

TEST(CheckBox, LayoutFollowsTheFrameAndMirrors)
{
    QWidget window;
    auto* box = new CheckBox(&window);
    box->setGeometry(10, 10, 100, 18);
    const CheckBoxLayout l = box->layoutModel();
    EXPECT_EQ(l.box.x, 0);
    EXPECT_EQ(l.text.x, l.box.width);
    EXPECT_EQ(l.text.width, 100 - l.box.width);
    box->relayoutContents(true);
    EXPECT_EQ(box->layoutModel().box.x, 100 - l.box.width);
    EXPECT_EQ(box->layoutModel().text.x, 0);
}
