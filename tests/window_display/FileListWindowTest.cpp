// The file list's keys on the running window: the arrows, Home and End move
// the selection and leave the volume alone, Enter plays, and with the video
// focused the arrows are the volume again.
#include "WindowTestSupport.h"

using namespace windowtest;

namespace
{

class FileListWindow : public DemoCardWindow
{
};

TEST_F(FileListWindow, ListKeysMoveTheSelectionAndVolumeKeysStayElsewhere)
{
    auto d = launch();
    MainWindow* w = d->window();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    FileListBox* list = d->fileList()->fileListBox();
    const int count = list->getCount();
    ASSERT_GE(count, 4);
    std::vector<int> played;
    QObject observer;
    QObject::connect(d->fileList(), &FileListView::rowDoubleClicked, &observer,
                     [&](int row) { played.push_back(row); });
    auto key = [&](Qt::Key k) {
        QTest::keyClick(w->windowHandle(), k);
        QTest::qWait(30);
    };

    QTest::mouseClick(list, Qt::LeftButton, {}, list->rowQtRect(0).center());
    QTest::qWait(100);
    EXPECT_EQ(QApplication::focusWidget(), list) << "a click on a row gives the list the keyboard";
    const int volume = d->volume();
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(list->getCurSel(), 2);
    EXPECT_EQ(d->volume(), volume) << "Down in the list changed the volume";
    saveShot(d->fileList()->grab().toImage(), QStringLiteral("filelist-keys"));
    key(Qt::Key_Up);
    EXPECT_EQ(list->getCurSel(), 1);
    key(Qt::Key_End);
    EXPECT_EQ(list->getCurSel(), count - 1);
    EXPECT_GE(count - 1, list->firstVisibleRow());
    EXPECT_LT(count - 1, list->firstVisibleRow() + list->geometryModel().visibleRows());
    key(Qt::Key_Up); // at the end, Up steps back one
    EXPECT_EQ(list->getCurSel(), count - 2);
    key(Qt::Key_Home);
    EXPECT_EQ(list->getCurSel(), 0);
    EXPECT_EQ(list->firstVisibleRow(), 0);
    key(Qt::Key_Up); // at the top nothing moves
    EXPECT_EQ(list->getCurSel(), 0);
    EXPECT_EQ(d->volume(), volume);
    EXPECT_TRUE(played.empty());
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    ASSERT_EQ(played, std::vector<int>{1}) << "Enter plays the selected recording";
    ASSERT_TRUE(QTest::qWaitFor([&] { return d->videoPlayView() && !d->isVideoLoading(); }, 20000));

    // With the video focused, Up and Down are the volume again.
    QWidget* video = d->videoPlayView();
    QTest::mouseClick(video, Qt::LeftButton, {}, video->rect().center());
    QTest::qWait(100);
    EXPECT_NE(QApplication::focusWidget(), list);
    const int selected = list->getCurSel();
    d->playBar()->SetVolume(5);
    const int before = d->volume();
    key(Qt::Key_Up);
    EXPECT_EQ(d->volume(), before + 1);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(d->volume(), before - 1);
    EXPECT_EQ(list->getCurSel(), selected);
    QObject::disconnect(d->fileList(), nullptr, &observer, nullptr);
    d->applicationWillTerminate();
}
} // namespace
