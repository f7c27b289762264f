// The calendar's drop-down box: spin button, list, outside clicks.
#include "controls/ComboBox.h"
#include "FileListTestSupport.h"
#include "controls/BitmapButton.h"

#include <QTest>
#include <gtest/gtest.h>

namespace
{
class PressCounter : public QWidget
{
public:
    using QWidget::QWidget;
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

struct ComboFixture {
    PressCounter window;
    ComboBox* box;
    ComboFixture()
    {
        window.resize(300, 300);
        box = new ComboBox(&window);
        box->move(50, 20);
        box->setRealParent(QStringLiteral("calendar-id"));
        for (int m = 1; m <= 12; ++m)
            box->insertString(m - 1, QString::number(m));
        window.show();
    }
    void open()
    {
        QTest::mouseClick(box->spinButton(), Qt::LeftButton, {}, box->spinButton()->rect().center());
    }
};
} // namespace

TEST(ComboBox, ChoosingAnEntryPostsItsIndex)
{
    ComboFixture f;
    PanelRecorder rec({Notifications::ComboBoxChanged, Notifications::ListBoxChanged});
    EXPECT_EQ(f.box->getCount(), 12);
    f.box->setCurSel(3);
    EXPECT_EQ(f.box->title(), QStringLiteral("4"));
    f.box->setCurSel(12); // not an entry
    f.box->setCurSel(-1);
    EXPECT_EQ(f.box->getCurSel(), 3);
    EXPECT_TRUE(rec.received.empty());

    f.open();
    ASSERT_TRUE(f.box->isListShown());
    ListBox* list = f.box->listBox();
    EXPECT_TRUE(list->isVisible());
    EXPECT_TRUE(list->isCapturingMouse());
    // The list hangs directly below the box, 67 x 144.
    EXPECT_EQ(list->geometry(), QRect(f.box->x(), f.box->y() + f.box->height(), 67, 144));

    const int first = list->firstVisibleRow();
    QTest::mouseClick(list, Qt::LeftButton, {}, list->rowQtRect(1).center());
    EXPECT_FALSE(f.box->isListShown());
    EXPECT_FALSE(list->isVisible());
    EXPECT_FALSE(list->isCapturingMouse());
    ASSERT_EQ(rec.count(Notifications::ComboBoxChanged), 1);
    const Notification* n = rec.last(Notifications::ComboBoxChanged);
    EXPECT_EQ(n->object.toInt(), first + 1);
    EXPECT_EQ(n->userInfo.value("PARENT_WINDOW").toString(), QStringLiteral("calendar-id"));
    EXPECT_EQ(n->userInfo.value("COMBO_WINDOW").toString(), pmIdentityString(f.box));
    EXPECT_EQ(f.box->getCurSel(), first + 1);
    EXPECT_EQ(f.box->title(), QString::number(first + 2));
}

TEST(ComboBox, APressOutsideTheOpenListOnlyClosesIt)
{
    ComboFixture f;
    PanelRecorder rec({Notifications::ComboBoxChanged, Notifications::ListBoxChanged});
    f.open();
    ASSERT_TRUE(f.box->isListShown());
    QTest::mouseClick(&f.window, Qt::LeftButton, {}, QPoint(280, 280));
    EXPECT_EQ(f.window.presses, 0); // swallowed
    EXPECT_FALSE(f.box->isListShown());
    EXPECT_EQ(rec.count(Notifications::ComboBoxChanged), 0);
    ASSERT_EQ(rec.count(Notifications::ListBoxChanged), 1);
    EXPECT_EQ(rec.last(Notifications::ListBoxChanged)->object.toInt(), -1);
    // Once closed, presses reach the window again.
    QTest::mouseClick(&f.window, Qt::LeftButton, {}, QPoint(280, 280));
    EXPECT_EQ(f.window.presses, 1);

    // The spin button of an open box closes it too (the press is outside the list).
    f.open();
    f.open();
    EXPECT_FALSE(f.box->isListShown());

    // The list of another box never speaks for this one.
    auto* other = new ComboBox(&f.window);
    other->insertString(0, QStringLiteral("x"));
    rec.clear();
    QVariantMap info;
    info.insert(QStringLiteral("PARENT_WINDOW"), pmIdentityString(other));
    NotificationCenter::defaultCenter().post(Notifications::ListBoxChanged, 0, info);
    EXPECT_EQ(rec.count(Notifications::ComboBoxChanged), 1);
    EXPECT_EQ(rec.last(Notifications::ComboBoxChanged)->userInfo.value("COMBO_WINDOW").toString(),
              pmIdentityString(other));
    EXPECT_EQ(f.box->getCurSel(), 0);
}

TEST(ComboBox, HidingTheBoxClosesItsList)
{
    ComboFixture f;
    f.open();
    ASSERT_TRUE(f.box->listBox()->isCapturingMouse());
    f.box->hide();
    EXPECT_FALSE(f.box->isListShown());
    EXPECT_FALSE(f.box->listBox()->isCapturingMouse());
    QTest::mouseClick(&f.window, Qt::LeftButton, {}, QPoint(280, 280));
    EXPECT_EQ(f.window.presses, 1);
}
