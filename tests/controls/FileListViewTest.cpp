// The file list panel: filters, double click, rows from the controller.
#include "controls/FileListView.h"
#include "base/AMediaFile.h"
#include "core/FileRules.h"

#include "FileListTestSupport.h"
#include "base/Services.h"
#include "controls/CheckBox.h"
#include "controls/FileListBox.h"
#include <QDir>
#include <QFile>
#include <cstdio>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace
{
std::vector<FileListRow> rows(int n)
{
    std::vector<FileListRow> v;
    for (int i = 0; i < n; ++i)
        v.push_back(makeFileListRow(
            QStringLiteral("/nonexistent/rovix/FILE2021010100%1.MP4").arg(i, 4, 10, QChar('0')),
            QDateTime(QDate(2021, 1, 1), QTime(12, 0))));
    return v;
}
} // namespace

TEST(FileListView, CheckBoxesToggleTheFiltersAndAskForARebuild)
{
    QWidget window;
    auto* panel = new FileListView(&window);
    panel->relayoutContents(false, 291, 500);
    window.resize(291, 500);
    window.show();
    EXPECT_TRUE(panel->isShowEventFile() && panel->isShowNormalFile() && panel->isShowParkingFile());
    EXPECT_TRUE(panel->isSupportParking());
    EXPECT_EQ(panel->eventCheckBox()->geometry(), pmQtRect(PmFrame{15, 500 - 24, 80, 18}, 500));
    EXPECT_EQ(panel->parkingCheckBox()->geometry(), pmQtRect(PmFrame{195, 476, 100, 18}, 500));
    EXPECT_EQ(panel->fileListBox()->geometry(), QRect(0, 31, 291, 469));
    EXPECT_EQ(panel->eventCheckBox()->title(), pmLoadString(QStringLiteral("IDS_EVENT")));

    PanelRecorder rec({Notifications::FileListViewCheckBox});
    QTest::mouseClick(panel->eventCheckBox(), Qt::LeftButton, {}, QPoint(5, 9));
    EXPECT_FALSE(panel->isShowEventFile());
    EXPECT_EQ(rec.count(Notifications::FileListViewCheckBox), 1);
    QTest::mouseClick(panel->parkingCheckBox(), Qt::LeftButton, {}, QPoint(5, 9));
    EXPECT_FALSE(panel->isShowParkingFile());
    QTest::mouseClick(panel->eventCheckBox(), Qt::LeftButton, {}, QPoint(5, 9));
    EXPECT_TRUE(panel->isShowEventFile());
    EXPECT_TRUE(panel->isShowNormalFile());
    EXPECT_EQ(rec.count(Notifications::FileListViewCheckBox), 3);

    // A check box of someone else changes nothing and posts nothing.
    CheckBox stranger;
    stranger.resize(80, 18);
    QTest::mouseClick(&stranger, Qt::LeftButton, {}, QPoint(5, 9));
    EXPECT_EQ(rec.count(Notifications::FileListViewCheckBox), 3);
    EXPECT_TRUE(panel->isShowEventFile());

    // Right-to-left mirrors the boxes within the header and moves the list.
    panel->relayoutContents(true, 320, 500);
    EXPECT_EQ(panel->eventCheckBox()->x(), 320 - 80 - 15);
    EXPECT_EQ(panel->fileListBox()->x(), 320 - 291);
}

TEST(FileListView, DoubleClickMarksTheRowAndAsksToPlayIt)
{
    QWidget window;
    auto* panel = new FileListView(&window);
    panel->relayoutContents(false, 291, 500);
    window.resize(291, 500);
    window.show();
    panel->buildFileList(rows(30));
    FileListBox* list = panel->fileListBox();
    EXPECT_EQ(list->getCount(), 30);

    QSignalSpy clicked(panel, &FileListView::rowClicked);
    int markWhenAsked = -1;
    std::vector<int> asked;
    QObject::connect(panel, &FileListView::rowDoubleClicked, [&](int row) {
        asked.push_back(row);
        markWhenAsked = list->playMark();
    });
    const QPoint p = list->rowQtRect(3).center();
    QTest::mouseClick(list, Qt::LeftButton, {}, p);
    QTest::mouseDClick(list, Qt::LeftButton, {}, p);
    // The single click comes first; the panel answers the list's double click
    // at once, with the play mark already on the row.
    ASSERT_GE(clicked.count(), 1);
    EXPECT_EQ(clicked.first().first().toInt(), 3);
    EXPECT_EQ(asked, std::vector<int>{3});
    EXPECT_EQ(markWhenAsked, 3);
    EXPECT_EQ(list->playMark(), 3);
    EXPECT_EQ(panel->getCurSel(), 3);

    // The controller selects from code; invalid rows are ignored.
    panel->setCurSel(25, true);
    EXPECT_EQ(list->playMark(), 25);
    EXPECT_EQ(panel->getCurSel(), 25);
    EXPECT_GE(25, list->firstVisibleRow());
    EXPECT_LT(25, list->firstVisibleRow() + list->geometryModel().visibleRows());
    panel->setCurSel(30, true);
    panel->setCurSel(-1, false);
    EXPECT_EQ(panel->getCurSel(), 25);

    // A rebuild starts at the top with no play mark.
    panel->buildFileList(rows(5));
    EXPECT_EQ(list->playMark(), -1);
    EXPECT_EQ(panel->getCurSel(), 0);
    EXPECT_EQ(list->firstVisibleRow(), 0);
    panel->buildFileList(std::vector<FileListRow>{});
    panel->setCurSel(0, true);
    EXPECT_EQ(list->playMark(), -1);
    EXPECT_FALSE(panel->grab().isNull());
}

TEST(FileListView, RowsFromPlaylistEntriesKeepTheScanDateAndTheFileSystemName)
{
    const QByteArray dir =
        QDir::tempPath().toLocal8Bit() + "/rovix-filelist-" + QByteArray::number(qint64(getpid()));
    QDir().mkpath(QString::fromLocal8Bit(dir));
    // A name that is not UTF-8 and has no type prefix: its type comes from the
    // file's write permission, which must be asked with the real bytes.
    const QByteArray odd = dir + "/CLIP\xff\xfe.MP4";
    FILE* raw = std::fopen(odd.constData(), "wb");
    ASSERT_NE(raw, nullptr);
    std::fputs("x", raw);
    std::fclose(raw);
    const QDateTime when(QDate(2020, 12, 31), QTime(23, 59, 58), Qt::LocalTime);
    QList<AMediaFile> entries;
    entries << AMediaFile::mediaFileWithNativePath(odd, when);
    entries << AMediaFile::mediaFileWithNativePath(dir + "/CLIP_GONE.MP4", when); // vanished after the scan
    entries << AMediaFile::mediaFileWithNativePath(dir + "/PARK20201231_235958.MP4", QDateTime());

    FileListView panel;
    panel.relayoutContents(false, 291, 400);
    panel.buildFileList(entries);
    FileListBox* list = panel.fileListBox();
    ASSERT_EQ(list->getCount(), 3);
    EXPECT_EQ(list->row(0)->dateText, QStringLiteral("2020/12/31"));
    EXPECT_EQ(list->row(0)->timeText, QStringLiteral("23:59:58"));
    EXPECT_EQ(list->recordingType(0), int(kRecordingNormal));        // writable file found by its own bytes
    EXPECT_EQ(list->row(1)->dateText, QStringLiteral("2020/12/31")); // the scan's date, file or not
    EXPECT_EQ(list->recordingType(1), int(kRecordingEvent)); // no file to write: the protected-file rule
    EXPECT_EQ(list->row(2)->dateText, kFileListNoDate);
    EXPECT_EQ(list->recordingType(2), int(kRecordingParking));
    EXPECT_EQ(list->row(2)->name, QStringLiteral("PARK20201231_235958.MP4"));
    EXPECT_FALSE(panel.grab().isNull());
    std::remove(odd.constData());
    QDir().rmdir(QString::fromLocal8Bit(dir));
}
