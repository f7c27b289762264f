// Both panels keep working, and draw, when the skin lacks their images.
#include "FileListTestSupport.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/CalendarView.h"
#include "controls/CheckBox.h"
#include "controls/ComboBox.h"
#include "controls/FileListBox.h"
#include "controls/FileListView.h"
#include "controls/ListBoxBase.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace
{
struct LoaderGuard {
    explicit LoaderGuard(listskin::Loader l) { listskin::setLoader(std::move(l)); }
    ~LoaderGuard() { listskin::setLoader({}); }
};

void exercisePanels()
{
    PanelRecorder rec({Notifications::CalendarSelChanged, Notifications::ComboBoxChanged,
                       Notifications::FileListViewCheckBox});
    QWidget window;
    auto* cal = new CalendarView(&window);
    auto* files = new FileListView(&window);
    QSignalSpy doubleClicked(files, &FileListView::rowDoubleClicked);
    cal->move(0, 0);
    cal->resize(cal->panelSize());
    files->move(0, cal->height());
    files->relayoutContents(false, 291, 400);
    window.resize(300, cal->height() + 400);
    window.show();
    EXPECT_GT(cal->width(), 0);
    EXPECT_GT(cal->height(), 200);

    std::vector<FileListRow> rows;
    for (int i = 0; i < 500; ++i)
        rows.push_back(makeFileListRow(QStringLiteral("/nonexistent/rovix/EVEN%1.MP4").arg(i),
                                       QDateTime(QDate(2022, 2, 2), QTime(1, 2, 3))));
    files->buildFileList(rows);
    files->showPlayMark(0);
    EXPECT_FALSE(window.grab().isNull());

    cal->SetActivateDay(2022, 2, 2);
    cal->VideoLibIsReady();
    QTest::mouseClick(cal, Qt::LeftButton, {}, cal->cellQtRect(2, 3).center());
    EXPECT_EQ(rec.count(Notifications::CalendarSelChanged), 1);
    QTest::mouseClick(cal->yearBox()->spinButton(), Qt::LeftButton, {}, QPoint(2, 2));
    ListBox* years = cal->yearBox()->listBox();
    ASSERT_TRUE(cal->yearBox()->isListShown());
    EXPECT_FALSE(window.grab().isNull());
    QTest::mouseClick(years, Qt::LeftButton, {}, years->rowQtRect(0).center());
    EXPECT_EQ(rec.count(Notifications::ComboBoxChanged), 1);

    FileListBox* list = files->fileListBox();
    const ListGeometry& g = list->geometryModel();
    ASSERT_TRUE(g.scrollEnabled());
    QTest::mouseClick(list, Qt::LeftButton, {}, pmQtRect(g.downArrow(), g.height()).center());
    EXPECT_EQ(list->firstVisibleRow(), 1);
    const QRect thumb = list->thumbQtRect();
    QTest::mousePress(list, Qt::LeftButton, {}, thumb.center());
    QTest::mouseMove(list, thumb.center() + QPoint(0, 5000));
    QTest::mouseRelease(list, Qt::LeftButton, {}, thumb.center() + QPoint(0, 5000));
    EXPECT_EQ(list->firstVisibleRow(), g.maxFirstRow());
    sendWheel(list, list->rowQtRect(0).center(), 120);
    EXPECT_EQ(list->firstVisibleRow(), g.maxFirstRow() - 1);
    QTest::mouseDClick(list, Qt::LeftButton, {}, list->rowQtRect(0).center());
    EXPECT_EQ(doubleClicked.count(), 1);
    QTest::mouseClick(files->normalCheckBox(), Qt::LeftButton, {}, QPoint(4, 9));
    EXPECT_FALSE(files->isShowNormalFile());
    EXPECT_EQ(rec.count(Notifications::FileListViewCheckBox), 1);
    EXPECT_FALSE(window.grab().isNull());
}
} // namespace

TEST(FileListMissingSkin, NoImagesAtAll)
{
    LoaderGuard guard([](const QString&) { return QPixmap(); });
    exercisePanels();
}

TEST(FileListMissingSkin, EveryOtherImageMissing)
{
    // Keeps some images and drops others, so mixed sizes (e.g. a row
    // background without its selection image) are drawn too.
    LoaderGuard guard(
        [](const QString& name) { return qHash(name) % 2 ? Skin::storedImage(name) : QPixmap(); });
    exercisePanels();
}
