// The main window with its real panels (offscreen): frames after a layout at
// several sizes and right to left, two-camera mode, the calendar's "all"
// mode, full screen and back, skin changes, the calendar and list following
// the library, and the texts.
#include "../app/AppTestSupport.h"
#include "LibraryBuild.h"

#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "controls/BitmapButton.h"
#include "controls/CalendarView.h"
#include "controls/FileListBox.h"
#include "controls/FileListView.h"
#include "controls/PlayControlView.h"
#include "controls/ToolbarView.h"
#include "playback/PlaybackSession.h"
#include "views/GSensorView.h"
#include "views/MapView.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace
{

// Fixed sizes of the window description: toolbar 31, play bar 44, calendar
// 291 x 272, file list 291 wide, G-sensor panel 340 x 212.
constexpr int kTh = 31;
constexpr int kCh = 272;

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().clear();
        AppDelegate::getSkinId();
        pmInstallStringTables();
        d = std::make_unique<AppDelegate>();
        d->awakeFromNib();
        d->createPanels();
        d->initialData();
    }
    void TearDown() override
    {
        d.reset();
        QSettings().clear();
    }
    MainWindow* w() const { return d->window(); }

    std::unique_ptr<AppDelegate> d;
};

TEST_F(MainWindowTest, PanelsTakeTheirFramesAtEverySizeAndMirrored)
{
    ASSERT_TRUE(d->toolbar() && d->playBar() && d->calendar() && d->fileList() && d->mapView() &&
                d->gsensorView());
    for (const QSize size : {QSize(980, 660), QSize(1280, 800), QSize(1920, 1080)}) {
        SCOPED_TRACE(size.width());
        const int W = size.width(), H = size.height(), content = H - 22;
        d->relayout(W, H);
        const int list = H - kTh - kCh - 20;
        const int video = H - kTh - 212 - 44 - 20;
        EXPECT_EQ(d->toolbar()->geometry(), QRect(0, 0, W, kTh));
        EXPECT_EQ(d->playBar()->geometry(), QRect(0, content - 256, W - 291, 44));
        EXPECT_EQ(d->fileList()->geometry(), QRect(W - 291, content - list, 291, list));
        EXPECT_EQ(d->calendar()->geometry(), QRect(W - 291, content - list - kCh, 291, kCh));
        EXPECT_EQ(d->gsensorView()->geometry(), QRect(W - 291 - 340, content - 212, 340, 212));
        EXPECT_EQ(d->mapView()->geometry(), QRect(0, content - 212, W - 340 - 291 + 1, 212));
        EXPECT_EQ(w()->playerView()->geometry(), QRect(0, content - 256 - video, W - 291, video));
        EXPECT_TRUE(w()->playerView2()->isHidden());
        // The large video and the calendar meet the toolbar's buttons.
        EXPECT_EQ(w()->playerView()->geometry().top(), 29);
        EXPECT_EQ(d->calendar()->geometry().top(), 29);
        // Each panel laid out its inside for its new size.
        EXPECT_EQ(d->playBar()->frames().timeSlider.x, W - 291 - 304);
        EXPECT_EQ(d->toolbar()->frames().windowSwitch.x, W - 291 - 18);
        EXPECT_EQ(d->fileList()->fileListBox()->height(), list - 31);
    }

    d->windows()->setRightToLeft(true);
    d->relayout(1280, 800);
    EXPECT_EQ(d->playBar()->geometry().x(), 291);
    EXPECT_EQ(w()->playerView()->geometry().x(), 291);
    EXPECT_EQ(d->fileList()->geometry().x(), 0);
    EXPECT_EQ(d->calendar()->geometry().x(), 0);
    EXPECT_EQ(d->gsensorView()->geometry().x(), 291);
    EXPECT_EQ(d->mapView()->geometry().x(), 631);
    EXPECT_EQ(d->playBar()->frames().prev.x, 989 - 32 - 3);
    EXPECT_EQ(d->toolbar()->frames().browse.x, 1280 - 37 - 4);
    // The switch button follows the file list's right edge, mirrored.
    EXPECT_EQ(d->toolbar()->frames().windowSwitch.x, 1280 - 37 - (291 - 18));
}

TEST_F(MainWindowTest, TwoCameraModeShowsTheSmallWindowAndShortensTheList)
{
    d->windows()->setWindowSize(QSizeF(1280, 800));
    d->relayout(1280, 800);
    const QRect list = d->fileList()->geometry();
    BitmapButton* switchButton = d->toolbar()->oWindowSwitchBtn();
    EXPECT_TRUE(switchButton->isHidden());

    d->enable2VideoWindow(true); // lays the window out again for the remembered size
    EXPECT_FALSE(w()->playerView2()->isHidden());
    EXPECT_EQ(w()->playerView2()->geometry(), QRect(989, kTh, 291, 184));
    EXPECT_EQ(d->fileList()->geometry().height(), list.height() - 184);
    EXPECT_EQ(d->fileList()->geometry().bottom(), list.bottom());
    EXPECT_EQ(d->calendar()->geometry().top(), kTh + 184 - 2);
    EXPECT_FALSE(switchButton->isHidden());

    // The rear camera's host takes the large place and back.
    const QRect large = w()->playerView()->geometry();
    const QRect small = w()->playerView2()->geometry();
    d->switchVideoWindow(true);
    d->relayout(1280, 800);
    EXPECT_EQ(w()->playerView()->geometry(), small);
    EXPECT_EQ(w()->playerView2()->geometry(), large);
    d->switchVideoWindow(false);

    d->enable2VideoWindow(false);
    EXPECT_TRUE(w()->playerView2()->isHidden());
    EXPECT_EQ(d->fileList()->geometry(), list);
    EXPECT_TRUE(switchButton->isHidden());
}

TEST_F(MainWindowTest, AllModeShrinksTheCalendarToItsTabsAndGrowsTheList)
{
    d->relayout(1280, 800);
    const QRect cal = d->calendar()->geometry();
    const QRect list = d->fileList()->geometry();
    const int D = d->calendar()->getMonthWeekHeight();
    EXPECT_EQ(D, 239);

    d->calendar()->allTabButtonPressed(); // the panel asks the controller
    EXPECT_TRUE(d->library()->allFiles());
    EXPECT_TRUE(d->calendar()->isShrunk());
    EXPECT_EQ(d->calendar()->geometry(), QRect(cal.x(), cal.y(), cal.width(), cal.height() - D));
    EXPECT_EQ(d->fileList()->geometry(), QRect(list.x(), list.y() - D, list.width(), list.height() + D));
    // Asked again, nothing moves a second time; a new layout keeps the arrangement.
    d->showCalendar(false);
    EXPECT_EQ(d->fileList()->geometry().height(), list.height() + D);
    d->relayout(1280, 800);
    EXPECT_EQ(d->calendar()->geometry().height(), kCh - D);
    EXPECT_EQ(d->fileList()->geometry().height(), list.height() + D);
    EXPECT_EQ(d->fileList()->geometry().top(), d->calendar()->geometry().bottom() + 1);

    d->calendar()->calendarTabButtonPressed();
    EXPECT_FALSE(d->library()->allFiles());
    EXPECT_FALSE(d->calendar()->isShrunk());
    EXPECT_EQ(d->calendar()->geometry(), cal);
    EXPECT_EQ(d->fileList()->geometry(), list);
}

TEST_F(MainWindowTest, FullScreenReturnsToTheSameFrameAndState)
{
    w()->show();
    w()->setGeometry(40, 50, 1100, 720);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w()));
    QApplication::processEvents();
    const QRect before = w()->geometry();
    const Qt::WindowStates stateBefore = w()->windowState();
    const QRect screen = w()->screen()->geometry();

    for (int round = 0; round < 2; ++round) {
        // Video full screen: only the play bar and the large video remain.
        d->onButtonPlayFullScreen();
        EXPECT_EQ(d->screenMode(), AppDelegate::ScreenFullVideo);
        EXPECT_EQ(d->windows()->normalFrame(), QRectF(before));
        EXPECT_EQ(d->windowSize(), QSizeF(screen.size()));
        QApplication::processEvents();
        d->relayoutContents();
        EXPECT_TRUE(d->toolbar()->isHidden() && d->calendar()->isHidden() && d->fileList()->isHidden() &&
                    d->gsensorView()->isHidden() && d->mapView()->isHidden());
        EXPECT_FALSE(d->playBar()->isHidden());
        EXPECT_EQ(w()->geometry(), screen);
        EXPECT_EQ(d->playBar()->geometry(), QRect(0, screen.height() - 44, screen.width(), 44));
        EXPECT_EQ(w()->playerView()->geometry(), QRect(0, 0, screen.width(), screen.height() - 44));
        EXPECT_EQ(w()->playerView2()->geometry(), QRect(0, screen.height() + 8, 2, 2)); // parked

        d->onButtonPlayFullScreen();
        QApplication::processEvents();
        EXPECT_EQ(d->screenMode(), AppDelegate::ScreenNormal);
        EXPECT_EQ(w()->geometry(), before);
        EXPECT_EQ(w()->windowState(), stateBefore);
        EXPECT_EQ(w()->minimumSize(), QSize(980, 660));
        EXPECT_EQ(w()->windowTitle(), pmLoadString("IDR_MAINFRAME"));
        EXPECT_EQ(d->windowSize(), QSizeF(before.width(), before.height() + 22));
        d->relayoutContents();
        EXPECT_FALSE(d->toolbar()->isHidden() || d->calendar()->isHidden() || d->fileList()->isHidden() ||
                     d->gsensorView()->isHidden() || d->mapView()->isHidden() || d->playBar()->isHidden());
        EXPECT_EQ(d->playBar()->geometry(), QRect(0, 720 - 256, 1100 - 291, 44));

        // Map full screen: the map alone over the whole screen; no overlay.
        d->onButtonMapFullScreen();
        EXPECT_EQ(d->screenMode(), AppDelegate::ScreenFullMap);
        QApplication::processEvents();
        d->relayoutContents();
        EXPECT_TRUE(d->playBar()->isHidden());
        EXPECT_FALSE(d->mapView()->isHidden());
        EXPECT_EQ(d->mapView()->geometry(), QRect(QPoint(0, 0), screen.size()));
        EXPECT_EQ(w()->playerView()->geometry(), QRect(0, screen.height() + 8, 2, 2));
        EXPECT_EQ(w()->playerView2()->geometry(), QRect(0, screen.height() + 8, 2, 2));
        EXPECT_TRUE(d->playback()->overlay().label()->isHidden());

        d->onButtonMapFullScreen();
        QApplication::processEvents();
        EXPECT_EQ(d->screenMode(), AppDelegate::ScreenNormal);
        EXPECT_EQ(w()->geometry(), before);
        d->relayoutContents();
        EXPECT_FALSE(d->playBar()->isHidden());
        EXPECT_FALSE(w()->playerView()->isHidden());
        EXPECT_EQ(d->mapView()->geometry(), QRect(0, 720 - 212, 1100 - 340 - 291 + 1, 212));
    }
}

TEST_F(MainWindowTest, AMaximisedWindowIsRememberedAndComesBackMaximised)
{
    w()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w()));
    w()->showMaximized();
    QApplication::processEvents();
    ASSERT_TRUE(w()->isMaximized());
    // Zooming remembers the new frame and lays out shortly after.
    EXPECT_TRUE(QTest::qWaitFor(
        [this] {
            const QSize content = w()->contentSize();
            return d->windowSize() == QSizeF(content.width(), content.height() + 22);
        },
        2000));
    const QRect maximised = w()->geometry();

    d->onButtonPlayFullScreen();
    QApplication::processEvents();
    EXPECT_TRUE(d->windows()->styleMask() & Qt::WindowMaximized);
    d->onButtonPlayFullScreen();
    QApplication::processEvents();
    EXPECT_TRUE(w()->isMaximized());
    EXPECT_FALSE(w()->isFullScreen());
    EXPECT_EQ(w()->geometry(), maximised);
}

TEST_F(MainWindowTest, SkinChoiceReloadsEveryPanelAtOnceAndPersists)
{
    d->relayout(1280, 800);
    auto grabAll = [this] {
        return QList<QImage>{d->toolbar()->grab().toImage(), d->playBar()->grab().toImage(),
                             d->calendar()->grab().toImage(), d->fileList()->grab().toImage(),
                             d->gsensorView()->grab().toImage()};
    };
    const QList<QImage> skin3 = grabAll();
    Q_EMIT d->toolbar()->skinChosen(1); // the settings menu's item
    EXPECT_EQ(AppDelegate::cachedSkinId(), 1);
    EXPECT_EQ(QSettings().value("SKIN_ID").toInt(), 1);
    const QList<QImage> skin1 = grabAll();
    for (int i = 0; i < skin3.size(); ++i)
        EXPECT_NE(skin1[i], skin3[i]) << "panel " << i << " kept the old skin";
    Q_EMIT d->toolbar()->skinChosen(3);
    EXPECT_EQ(grabAll(), skin3);
}

TEST_F(MainWindowTest, CalendarAndListFollowTheLibrary)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = dir.filePath("DCIM");
    const QStringList names{"FILE240301-080000F.AVI", "EVNT240302-090000F.AVI", "FILE240302-100000F.AVI"};
    const QList<QDate> days{QDate(2024, 3, 1), QDate(2024, 3, 2), QDate(2024, 3, 2)};
    for (int i = 0; i < names.size(); ++i) {
        const QString path = card + "/" + names[i];
        ASSERT_TRUE(apptest::writeAvi(path));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime(days[i], QTime(12, 0)), QFileDevice::FileModificationTime));
    }
    ASSERT_TRUE(librarytest::buildLibrary(*d, card));

    // The newest recording's day is chosen, both days carry a mark.
    EXPECT_EQ(d->calendar()->focusDate().year, 2024);
    EXPECT_EQ(d->calendar()->focusDate().month, 3);
    EXPECT_EQ(d->calendar()->focusDate().day, 2);
    int marks = 0;
    for (int cell = 0; cell < 42; ++cell)
        marks += d->calendar()->hasMark(cell) ? 1 : 0;
    EXPECT_EQ(marks, 2);
    EXPECT_EQ(d->fileList()->fileListBox()->getCount(), 2);
    EXPECT_EQ(d->playlist().size(), 2);

    d->calendar()->allTabButtonPressed();
    EXPECT_EQ(d->fileList()->fileListBox()->getCount(), 3);
}

TEST_F(MainWindowTest, EveryTextOfTheWindowIsJapaneseAndHasGlyphs)
{
    d->languageMenuItemClicked(3);
    QStringList ids{"IDR_MAINFRAME", "IDS_CALENDAR",    "IDS_ALL",         "IDS_EVENT",        "IDS_NORMAL",
                    "IDS_PARKING",   "IDS_CHANGE_SKIN", "IDS_ABOUT",       "IDS_OPEN",         "IDS_SETTINGS",
                    "IDS_PLAY",      "IDS_PAUSE",       "IDS_FULL_SCREEN", "IDS_NORMAL_SCREEN"};
    for (int i = 1; i <= 7; ++i)
        ids << QStringLiteral("IDS_WEEK_%1").arg(i);
    for (int i = 1; i <= 4; ++i)
        ids << QStringLiteral("IDS_SKIN_STYLE_%1").arg(i, 2, 10, QLatin1Char('0'));
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    const QFontMetrics metrics(font);
    for (const QString& id : ids) {
        const QString text = pmLoadString(id);
        EXPECT_FALSE(text.isEmpty() || text == id) << id.toStdString();
        for (const QChar c : text)
            EXPECT_TRUE(metrics.inFont(c)) << id.toStdString() << " has a character without a glyph";
    }
    // No control of the window shows an identifier as its tooltip.
    for (QWidget* child : w()->findChildren<QWidget*>()) {
        EXPECT_FALSE(child->toolTip().startsWith("IDS_")) << child->objectName().toStdString();
    }
}

} // namespace
