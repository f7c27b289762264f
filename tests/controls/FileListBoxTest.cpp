// The file list driven through real mouse and wheel events.
#include "controls/FileListBox.h"
#include "FileListTestSupport.h"
#include "core/FileRules.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace
{
struct ListFixture {
    QWidget window;
    FileListBox* list;
    int typeCalls = 0;

    explicit ListFixture(int rows, int height = 600)
    {
        window.resize(291, height);
        list = new FileListBox(&window);
        list->setRealParent(QStringLiteral("owner-panel"));
        list->relayoutContents(false, 291, height);
        list->setTypeOfPath([this](const FileListRow& row) {
            ++typeCalls;
            return int(pmGetFileType(row.path.toStdString()));
        });
        std::vector<FileListRow> v;
        v.reserve(size_t(rows));
        for (int i = 0; i < rows; ++i)
            v.push_back(makeFileListRow(QStringLiteral("/nonexistent/rovix/%1%2.MP4")
                                            .arg(i % 3 == 0 ? QStringLiteral("EVEN") : QStringLiteral("FILE"))
                                            .arg(20210101000000LL + i),
                                        QDateTime(QDate(2021, 1, 1), QTime(0, 0).addSecs(i))));
        list->setRows(std::move(v));
        window.show();
    }
    const ListGeometry& geo() const { return list->geometryModel(); }
    QPoint qtCentre(const PmFrame& f) const { return pmQtRect(f, geo().height()).center(); }
};
} // namespace

TEST(FileListBox, ClicksSelectRowsAndDoubleClickReportsSingleThenDouble)
{
    ListFixture f(50);
    std::vector<int> singles;
    QObject::connect(f.list, &FileListBox::rowSelected, [&](int row) { singles.push_back(row); });
    std::vector<int> doubled;
    size_t singlesBeforeDouble = 0;
    QObject::connect(f.list, &FileListBox::rowDoubleClicked, [&](int row) {
        doubled.push_back(row);
        singlesBeforeDouble = singles.size();
    });
    QTest::mouseClick(f.list, Qt::LeftButton, {}, f.list->rowQtRect(2).center());
    EXPECT_EQ(singles, std::vector<int>{2});
    EXPECT_EQ(f.list->getCurSel(), 2);

    // The platform's sequence for a double click: press, release, press, double-click, release.
    singles.clear();
    const QPoint p = f.list->rowQtRect(3).center();
    sendMouse(f.list, QEvent::MouseButtonPress, p, 100000);
    sendMouse(f.list, QEvent::MouseButtonRelease, p, 100010, Qt::NoButton);
    sendMouse(f.list, QEvent::MouseButtonPress, p, 100100);
    sendMouse(f.list, QEvent::MouseButtonDblClick, p, 100100);
    sendMouse(f.list, QEvent::MouseButtonRelease, p, 100110, Qt::NoButton);
    EXPECT_EQ(singles, std::vector<int>{3});
    EXPECT_EQ(doubled, std::vector<int>{3});
    EXPECT_EQ(singlesBeforeDouble, 1u); // the single click came first
    // A third quick click is a click of its own again.
    sendMouse(f.list, QEvent::MouseButtonPress, p, 100200);
    EXPECT_EQ(singles.size(), 2u);
    EXPECT_EQ(doubled.size(), 1u);
}

TEST(FileListBox, TwentyThousandRowsScrollByArrowsTrackThumbAndWheel)
{
    ListFixture f(20000);
    const ListGeometry& g = f.geo();
    const int visible = g.visibleRows();
    ASSERT_GT(visible, 0);
    ASSERT_TRUE(g.scrollEnabled());
    EXPECT_EQ(g.maxFirstRow(), 20000 - visible);

    // Down arrow: one row at once, then the 0.2 s auto-repeat until release.
    QTest::mousePress(f.list, Qt::LeftButton, {}, f.qtCentre(g.downArrow()));
    EXPECT_EQ(f.list->firstVisibleRow(), 1);
    EXPECT_TRUE(f.list->isAutoRepeating());
    EXPECT_EQ(f.list->downSpinState(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(f.list->firstVisibleRow() >= 3, 2000);
    QTest::mouseRelease(f.list, Qt::LeftButton, {}, f.qtCentre(g.downArrow()));
    EXPECT_FALSE(f.list->isAutoRepeating());
    EXPECT_EQ(f.list->downSpinState(), 0);
    const int afterRepeat = f.list->firstVisibleRow();
    QTest::qWait(450);
    EXPECT_EQ(f.list->firstVisibleRow(), afterRepeat);

    // Up arrow at the top stays at 0.
    f.list->setCurSel(0);
    EXPECT_EQ(f.list->firstVisibleRow(), 0);
    QTest::mouseClick(f.list, Qt::LeftButton, {}, f.qtCentre(g.upArrow()));
    EXPECT_EQ(f.list->firstVisibleRow(), 0);

    // Track below the thumb pages down.
    const QRect thumb = f.list->thumbQtRect();
    const QRect down = pmQtRect(g.downArrow(), g.height());
    QTest::mouseClick(f.list, Qt::LeftButton, {},
                      QPoint(thumb.center().x(), (thumb.bottom() + down.top()) / 2));
    EXPECT_EQ(f.list->firstVisibleRow(), visible);

    // Thumb drag: slow moves add up; a long drag clamps to the last page.
    QRect t = f.list->thumbQtRect();
    QTest::mousePress(f.list, Qt::LeftButton, {}, t.center());
    EXPECT_TRUE(f.list->isDragging());
    const int before = f.list->firstVisibleRow();
    QTest::mouseMove(f.list, t.center() + QPoint(0, 10));
    const int moved = f.list->firstVisibleRow();
    EXPECT_EQ(moved, before + int(10 / g.thumbGap()));
    QTest::mouseMove(f.list, t.center() + QPoint(0, 100000));
    EXPECT_EQ(f.list->firstVisibleRow(), g.maxFirstRow());
    QTest::mouseMove(f.list, t.center() + QPoint(0, -100000));
    EXPECT_EQ(f.list->firstVisibleRow(), 0);
    QTest::mouseRelease(f.list, Qt::LeftButton, {}, t.center());
    EXPECT_FALSE(f.list->isDragging());

    // Paging up near the top stops at the first row; paging down near the end at the last page.
    f.list->setCurSel(19999);
    EXPECT_EQ(f.list->firstVisibleRow(), g.maxFirstRow());
    t = f.list->thumbQtRect();
    const QRect up = pmQtRect(g.upArrow(), g.height());
    QTest::mouseClick(f.list, Qt::LeftButton, {}, QPoint(t.center().x(), (t.top() + up.bottom()) / 2));
    EXPECT_EQ(f.list->firstVisibleRow(), g.maxFirstRow() - visible);

    // Wheel: one row per event whatever the delta; stops at the ends.
    f.list->setCurSel(0);
    sendWheel(f.list, f.list->rowQtRect(0).center(), -120);
    sendWheel(f.list, f.list->rowQtRect(0).center(), -1200);
    EXPECT_EQ(f.list->firstVisibleRow(), 2);
    sendWheel(f.list, f.list->rowQtRect(0).center(), 120);
    sendWheel(f.list, f.list->rowQtRect(0).center(), 120);
    sendWheel(f.list, f.list->rowQtRect(0).center(), 120);
    EXPECT_EQ(f.list->firstVisibleRow(), 0);

    // Without lag: a wheel step with its repaint stays far below a frame.
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 200; ++i) {
        sendWheel(f.list, f.list->rowQtRect(0).center(), -120);
        f.list->repaint();
    }
    EXPECT_EQ(f.list->firstVisibleRow(), 200);
    EXPECT_LT(timer.elapsed() / 200.0, 16.0);
}

TEST(FileListBox, EmptyAndShortListsIgnoreScrolling)
{
    ListFixture empty(0);
    QSignalSpy singles(empty.list, &FileListBox::rowSelected);
    QSignalSpy doubled(empty.list, &FileListBox::rowDoubleClicked);
    const ListGeometry& g = empty.geo();
    QTest::mouseClick(empty.list, Qt::LeftButton, {}, empty.list->rowQtRect(0).center());
    QTest::mouseClick(empty.list, Qt::LeftButton, {}, empty.qtCentre(g.downArrow()));
    QTest::mouseDClick(empty.list, Qt::LeftButton, {}, empty.list->rowQtRect(0).center());
    EXPECT_EQ(singles.count(), 0);
    EXPECT_EQ(doubled.count(), 0);
    EXPECT_EQ(empty.list->thumbQtRect(), pmQtRect(g.thumbBegin(), g.height()));
    EXPECT_FALSE(empty.list->grab().isNull());

    ListFixture few(3);
    QTest::mouseClick(few.list, Qt::LeftButton, {}, few.qtCentre(few.geo().downArrow()));
    QTest::mouseClick(few.list, Qt::LeftButton, {}, few.list->thumbQtRect().center());
    sendWheel(few.list, few.list->rowQtRect(0).center(), -120);
    EXPECT_EQ(few.list->firstVisibleRow(), 0);
    EXPECT_FALSE(few.list->isAutoRepeating());
    EXPECT_EQ(singles.count(), 0);
    // A click below the last entry is not a row.
    QTest::mouseClick(few.list, Qt::LeftButton, {}, few.list->rowQtRect(5).center());
    EXPECT_EQ(singles.count(), 0);
}

TEST(FileListBox, PaintAsksTheTypeAtMostOncePerVisibleRowAndCopesWithVanishedFiles)
{
    ListFixture f(5000);
    const int visible = f.geo().visibleRows();
    f.list->showPlayMark(1);
    f.list->setCurSel(2);
    const QImage first = f.list->grab().toImage();
    EXPECT_FALSE(first.isNull());
    EXPECT_LE(f.typeCalls, visible);
    EXPECT_GT(f.typeCalls, 0);
    // A second paint of the same rows asks nothing more.
    const int afterFirst = f.typeCalls;
    f.list->grab();
    EXPECT_EQ(f.typeCalls, afterFirst);
    // The rows' files never existed: the second line shows the date the row was given.
    EXPECT_EQ(f.list->row(61)->dateText, QStringLiteral("2021/01/01"));
    EXPECT_EQ(f.list->row(61)->timeText, QStringLiteral("00:01:01"));
    // A row added by path alone shows the placeholders.
    f.list->insertString(0, QStringLiteral("/nonexistent/rovix/FILE20210101000000.MP4"));
    EXPECT_EQ(f.list->getCount(), 5001);
    EXPECT_EQ(f.list->row(5000)->dateText, kFileListNoDate);
    EXPECT_EQ(f.list->getText(5000), QStringLiteral("/nonexistent/rovix/FILE20210101000000.MP4"));
    EXPECT_TRUE(f.list->getText(5001).isEmpty());

    // resetContent empties the rows but keeps the play mark.
    f.list->resetContent();
    EXPECT_EQ(f.list->getCount(), 0);
    EXPECT_EQ(f.list->getCurSel(), 0);
    EXPECT_EQ(f.list->firstVisibleRow(), 0);
    EXPECT_EQ(f.list->playMark(), 1);
    EXPECT_FALSE(f.list->geometryModel().scrollEnabled());
}

TEST(FileListBox, HoverMarksTheScrollBarPartUnderThePointer)
{
    ListFixture f(100);
    const ListGeometry& g = f.geo();
    sendMouse(f.list, QEvent::MouseMove, f.qtCentre(g.upArrow()), 1, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(f.list->upSpinState(), 2);
    sendMouse(f.list, QEvent::MouseMove, f.list->thumbQtRect().center(), 2, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(f.list->upSpinState(), 0);
    EXPECT_EQ(f.list->thumbState(), 2);
    sendMouse(f.list, QEvent::MouseMove, f.list->rowQtRect(0).center(), 3, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(f.list->thumbState(), 0);
    // Right-to-left puts the scroll bar on the left.
    f.list->relayoutContents(true, 291, 600);
    EXPECT_EQ(f.list->geometryModel().scrollBar().x, 0);
    QTest::mouseClick(f.list, Qt::LeftButton, {}, f.qtCentre(f.list->geometryModel().downArrow()));
    EXPECT_EQ(f.list->firstVisibleRow(), 1);
}
