// What a new user meets in the first minutes, on the running window under
// xvfb-run: the speed button's picture at every rate, the tooltips of the
// toolbar and play bar (with their keys), the file list's keys, leaving the
// sign-in and upload windows, the video-site button without a browser, the
// calendar's weekday row and the map's information bar, and the dark look of
// the program's own dialogs. Each test also writes a picture of what it
// checks to ROVIX_EDGES_SHOT_DIR (default <build>/edges_screenshots), named
// item<N>-<ROVIX_EDGES_SHOT_TAG>.png (tag "after" unless set).
#include "LibraryBuild.h"
#include "app/AboutDialog.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "base/DialogSeam.h"
#include "base/QtFrame.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "base/Skin.h"
#include "controls/BackupDlg.h"
#include "controls/BitmapButton.h"
#include "controls/CalendarView.h"
#include "controls/CapturePreviewDlg.h"
#include "controls/FileListBox.h"
#include "controls/FileListView.h"
#include "controls/MultiButtons.h"
#include "controls/PlayControlView.h"
#include "controls/ProgressDlg.h"
#include "controls/ToolbarView.h"
#include "export/UploadController.h"
#include "upload/EditUploadDlg.h"
#include "upload/LoginDlg.h"
#include "views/MapView.h"
#include "views/PrintWindowController.h"
#include "views/VideoPlayerView.h"

#include "MediaGen.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

#include <memory>

namespace
{

const bool kUseX11 = [] {
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}();

QString shotPath(int item, const QString& suffix = QString())
{
    QString dir = qEnvironmentVariable("ROVIX_EDGES_SHOT_DIR");
    if (dir.isEmpty())
        dir = QStringLiteral(ROVIX_BINARY_DIR "/edges_screenshots");
    QDir().mkpath(dir);
    QString tag = qEnvironmentVariable("ROVIX_EDGES_SHOT_TAG");
    if (tag.isEmpty())
        tag = QStringLiteral("after");
    return QStringLiteral("%1/item%2%3-%4.png").arg(dir).arg(item).arg(suffix, tag);
}

void saveShot(const QImage& image, int item, const QString& suffix = QString())
{
    EXPECT_TRUE(image.save(shotPath(item, suffix))) << shotPath(item, suffix).toStdString();
}

// The whole screen: tooltips and message boxes are windows of their own.
QImage screenShot()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

QImage enlarged(const QImage& image, int factor)
{
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// Pixels of a row that differ clearly from the row's first pixel: zero for a
// button that shows only the bar's background behind it.
int inkPixels(const QImage& image)
{
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QColor base = image.pixelColor(0, y);
        for (int x = 1; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - base.red()) + std::abs(c.green() - base.green()) +
                    std::abs(c.blue() - base.blue()) >
                60)
                ++ink;
        }
    }
    return ink;
}

class RoughEdgesTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!qEnvironmentVariableIsSet("DISPLAY"))
            return;
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        std::string error;
        ASSERT_TRUE(mediagen::makeDemoCard(s_dir->filePath("card").toStdString(), &error)) << error;
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    void SetUp() override
    {
        if (!kUseX11 || !qEnvironmentVariableIsSet("DISPLAY"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        QSettings().clear();
        qputenv("ROVIX_INTERNET", "on");
        pmSetStringSetting(SettingsKeys::mapPageUrl.key(), QStringLiteral("qrc:/map/map.html?tiles=none"));
        pmInstallStringTables();
        const QString family = QStringLiteral("Noto Sans CJK JP");
        if (QFontDatabase::families().contains(family)) {
            QFont font = QApplication::font();
            font.setFamily(family);
            QApplication::setFont(font);
        }
    }
    void TearDown() override
    {
        pmSetDialogHook({});
        qputenv("ROVIX_INTERNET", "off");
    }

    // The application on the demo card, its window shown (and not activated:
    // under a bare X server nothing activates it, as when another window has the focus).
    std::unique_ptr<AppDelegate> launch()
    {
        auto d = std::make_unique<AppDelegate>();
        pmSetCurrentFolder(s_dir->filePath("card"));
        d->launch();
        EXPECT_TRUE(librarytest::waitForLibrary(*d));
        d->window()->setGeometry(40, 40, 1280, 800);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(d->window()));
        QTest::qWait(1200);
        return d;
    }

    static void openAndPause(AppDelegate& d)
    {
        ASSERT_FALSE(d.playlist().isEmpty());
        NotificationCenter::defaultCenter().post(Notifications::FileListViewDoubleClick, QVariant(0));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return d.videoPlayView() && d.videoPlayView()->getPlayerStatus() == 1 && !d.isVideoLoading();
            },
            20000));
        QTest::qWait(2500);
        d.playBar()->onPlayButtonPressed();
        QTest::qWait(400);
    }

    static QTemporaryDir* s_dir;
};

QTemporaryDir* RoughEdgesTest::s_dir = nullptr;

TEST_F(RoughEdgesTest, Item1_TheSpeedButtonShowsItsOwnPictureAtEveryRate)
{
    auto d = launch();
    MultiButtons* speed = d->playBar()->poSpeedBtn();
    ASSERT_TRUE(speed && speed->isVisible());
    for (int skin = 0; skin < Skin::kCount; ++skin) {
        d->skinMenuItemClicked(skin);
        QTest::qWait(100);
        ASSERT_EQ(speed->getCurButtonIndex(), 0);
        QImage previous;
        // 1 -> 1.5 -> 2 -> 1/4 -> 1/2 -> 1: each step shows a picture of its own.
        for (int step = 1; step <= 5; ++step) {
            QTest::mouseClick(speed, Qt::LeftButton);
            QTest::mouseMove(d->playBar(), QPoint(2, 2)); // off the button: its resting picture
            QTest::qWait(50);
            const int index = step % 5;
            EXPECT_EQ(speed->getCurButtonIndex(), index);
            const QImage shot = speed->grab().toImage();
            EXPECT_GT(inkPixels(shot), 40) << "skin " << skin << ", index " << index << " shows no picture";
            if (!previous.isNull()) {
                EXPECT_NE(shot, previous) << "skin " << skin << ", index " << index;
            }
            previous = shot;
            if (skin == Skin::kDefaultId && index == 1) {
                const QImage bar = d->playBar()->grab(QRect(0, 0, 330, d->playBar()->height())).toImage();
                saveShot(enlarged(bar, 3), 1);
            }
        }
    }
    d->applicationWillTerminate();
}

TEST_F(RoughEdgesTest, Item2_EveryBarButtonShowsItsTooltipWithItsKey)
{
    auto d = launch();
    ASSERT_TRUE(d->isDualCameraMode());
    ToolbarView* tb = d->toolbar();
    PlayControlView* pb = d->playBar();
    struct Case {
        QWidget* button;
        QString key; // the key named in the tip, if the button has one
    };
    const std::vector<Case> cases = {
        {tb->oBrowseBtn(), {}},
        {tb->oPrintBtn(), {}},
        {tb->oBackupBtn(), {}},
        {tb->oCaptureBtn(), {}},
        {tb->oExportBtn(), {}},
        {tb->oUploadYouTubeBtn(), {}},
        {tb->oSettingBtn(), {}},
        {tb->oWindowSwitchBtn(), {}},
        {pb->poPrevBtn(), QStringLiteral("PgUp")},
        {pb->poNextBtn(), QStringLiteral("PgDown")},
        {pb->poPlayBtn(), QStringLiteral("Space")},
        {pb->poSpeedBtn(), {}},
        {pb->poVolumeBtn(), QStringLiteral("M")},
        {pb->poFullScreenBtn(), QStringLiteral("F")},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.button);
        ASSERT_TRUE(c.button->isVisible()) << c.button->objectName().toStdString();
        const QString tip = c.button->toolTip();
        EXPECT_FALSE(tip.isEmpty()) << c.button->objectName().toStdString();
        EXPECT_FALSE(tip.startsWith(QLatin1String("IDS_"))) << tip.toStdString();
        if (!c.key.isEmpty()) {
            EXPECT_TRUE(tip.endsWith(QStringLiteral("(%1)").arg(c.key))) << tip.toStdString();
        }
        QToolTip::hideText();
        QTest::mouseMove(d->window()->windowHandle(), QPoint(640, 400));
        QTest::qWait(50);
        QTest::mouseMove(d->window()->windowHandle(),
                         c.button->mapTo(d->window(), c.button->rect().center()));
        const bool shown =
            QTest::qWaitFor([&] { return QToolTip::isVisible() && QToolTip::text() == tip; }, 4000);
        EXPECT_TRUE(shown) << "no tooltip over " << c.button->objectName().toStdString();
        if (c.button == tb->oWindowSwitchBtn()) {
            // The camera-swap icon says what it does.
            EXPECT_TRUE(tip.contains(QLatin1String("camera"), Qt::CaseInsensitive) ||
                        tip.contains(QStringLiteral("カメラ")))
                << tip.toStdString();
            QTest::qWait(400); // the tip's window repainted with its new text
            const QImage screen = screenShot();
            const QPoint at = c.button->mapToGlobal(QPoint(0, 0));
            saveShot(screen.copy(QRect(at.x() - 300, at.y() - 10, 700, 90)), 2);
        }
    }
    QToolTip::hideText();
    d->applicationWillTerminate();
}

TEST_F(RoughEdgesTest, Item3_ListKeysMoveTheSelectionAndVolumeKeysStayElsewhere)
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
    NotificationCenter::defaultCenter().addObserver(
        &observer, Notifications::FileListViewDoubleClick,
        [&](const Notification& n) { played.push_back(n.object.toInt()); });
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
    saveShot(d->fileList()->grab().toImage(), 3);
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
    NotificationCenter::defaultCenter().removeObserver(&observer);
    d->applicationWillTerminate();
}

TEST_F(RoughEdgesTest, Item6_TheSignInAndUploadWindowsCanBeLeftByCancelAndEscape)
{
    auto d = launch();
    // No sign-in page answers here: the window stays on an empty page.
    pmSetStringSetting(SettingsKeys::socialNetworkWebUrl.key(), QStringLiteral("http://127.0.0.1:9"));
    QList<QVariantMap> results;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(
        &observer, Notifications::UploadVideoChanged,
        [&](const Notification& n) { results.append(n.userInfo); });

    // Cancel, then Escape with the page focused.
    for (int round = 0; round < 2; ++round) {
        d->onButtonUploadFacebook();
        QPointer<LoginDlg> login = d->uploadController()->loginDialog();
        ASSERT_TRUE(login);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(login));
        QTest::qWait(800);
        auto* cancel = login->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        ASSERT_TRUE(cancel);
        if (round == 0) {
            saveShot(screenShot().copy(login->frameGeometry().adjusted(-4, -4, 4, 4)), 6,
                     QStringLiteral("-signin"));
            EXPECT_TRUE(cancel->isVisible());
            if (cancel->isVisible())
                QTest::mouseClick(cancel, Qt::LeftButton);
        } else {
            login->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(login));
            QTest::keyClick(login->windowHandle(), Qt::Key_Escape);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return login.isNull() || !login->isVisible(); }, 3000))
            << "round " << round;
        ASSERT_EQ(results.size(), round + 1);
        EXPECT_EQ(results.last().value(QStringLiteral("UPLOAD_TYPE")).toInt(), 0);
        if (login)
            login->close();
        QTest::qWait(200);
    }

    // The upload window: its Cancel (Close) button and Escape both leave it.
    auto* edit = new EditUploadDlg(d->playlist(), d->window());
    edit->setAttribute(Qt::WA_DeleteOnClose);
    edit->setSelectedFileIndexSet({0, 1});
    QPointer<EditUploadDlg> guard(edit);
    edit->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(edit));
    edit->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(edit));
    EXPECT_TRUE(edit->cancelButton()->isVisible());
    saveShot(edit->grab().toImage(), 6, QStringLiteral("-upload"));
    QTest::keyClick(edit->windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return guard.isNull() || !guard->isVisible(); }, 3000));
    NotificationCenter::defaultCenter().removeObserver(&observer);
    QSettings().remove(SettingsKeys::socialNetworkWebUrl.key());
    d->applicationWillTerminate();
}

TEST_F(RoughEdgesTest, Item7_WithoutABrowserTheVideoSiteAddressIsShownToCopy)
{
    auto d = launch();
    // Nothing can open a web page: no launcher on the path, no BROWSER.
    QTemporaryDir empty;
    const QByteArray path = qgetenv("PATH");
    const QByteArray browser = qgetenv("BROWSER");
    qputenv("PATH", QFile::encodeName(empty.path()));
    qunsetenv("BROWSER");
    const QString address = QStringLiteral("http://127.0.0.1:8123/videos");
    pmSetStringSetting(SettingsKeys::videoSiteHomeUrl.key(), address);

    QTest::mouseClick(d->toolbar()->oUploadYouTubeBtn(), Qt::LeftButton);
    QMessageBox* box = nullptr;
    (void)QTest::qWaitFor(
        [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                    box = b;
            return box != nullptr;
        },
        3000);
    QTest::qWait(300);
    saveShot(screenShot().copy(d->window()->frameGeometry()), 7);
    qputenv("PATH", path);
    if (!browser.isEmpty())
        qputenv("BROWSER", browser);
    ASSERT_TRUE(box) << "the click showed nothing";
    EXPECT_TRUE(box->text().contains(address)) << box->text().toStdString();
    // The address can be selected and copied.
    QLabel* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_TRUE(label);
    EXPECT_TRUE(label->textInteractionFlags() & Qt::TextSelectableByMouse);
    box->close();
    QSettings().remove(SettingsKeys::videoSiteHomeUrl.key());
    d->applicationWillTerminate();
}

// The rows of an image region that hold text of this colour (within a tolerance).
std::pair<int, int> inkRows(const QImage& image, const QRect& area, const QColor& colour)
{
    int top = -1, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
                std::abs(c.blue() - colour.blue()) < 40) {
                if (top < 0)
                    top = y;
                bottom = y;
                break;
            }
        }
    return {top, bottom};
}

TEST_F(RoughEdgesTest, Item10_WeekdayRowSpeedFigureAndInfoTextHaveRoom)
{
    auto d = launch();
    openAndPause(*d);
    // The weekday row: each name lies wholly inside its strip, with a row of
    // strip left above and below it.
    CalendarView* cal = d->calendar();
    const QImage calShot = cal->grab().toImage();
    saveShot(enlarged(calShot.copy(0, 0, calShot.width(), std::min(calShot.height(), 120)), 3), 10,
             QStringLiteral("-calendar"));
    const CalendarLayout& layout = cal->layoutModel();
    const QRect strip = pmQtRect(layout.weekLabels[1], cal->height());
    // Monday's name (white on the dark strip), searched from the rule above
    // the strip to the strip's last row above the day grid.
    const auto rows = inkRows(calShot, strip.adjusted(0, -1, 0, 1), Qt::white);
    ASSERT_GE(rows.first, 0) << "no weekday name drawn";
    EXPECT_GT(rows.first, strip.top()) << "the name touches the top of its strip";
    EXPECT_LT(rows.second, strip.bottom()) << "the name touches the bottom of its strip";

    // The map's information bar: the speed figure keeps clear of the unit
    // pill, and the text at the left starts off the edge.
    MapView* map = d->mapView();
    const QImage mapShot = map->grab().toImage();
    const int barTop = map->height() - 26 > 0 ? map->height() - 30 : 0;
    saveShot(enlarged(mapShot.copy(0, barTop, std::min(mapShot.width(), 420), map->height() - barTop), 3), 10,
             QStringLiteral("-infobar"));
    const QRect text = pmQtRect(map->getSpeedUnitTextRect(), map->height());
    const QRect pill = pmQtRect(map->getSpeedUnitBtnRect(), map->height());
    EXPECT_LE(text.right() + 4, pill.left()) << "the speed figure touches the unit pill";
    // Left margin: no white text in the first columns of the bar.
    int firstInk = -1;
    for (int x = 0; x < 40 && firstInk < 0; ++x)
        for (int y = barTop; y < map->height(); ++y) {
            const QColor c = mapShot.pixelColor(x, y);
            if (c.lightness() > 200) {
                firstInk = x;
                break;
            }
        }
    EXPECT_GE(firstInk, 6) << "the information text starts at the bar's edge";
    d->applicationWillTerminate();
}

TEST_F(RoughEdgesTest, Item11_TheProgramsDialogsAreDarkLikeTheWindow)
{
    auto d = launch();
    QWidget* parent = d->window();
    QImage frame(640, 360, QImage::Format_RGB32);
    frame.fill(QColor(60, 90, 120));
    PrintPageData page;
    page.videoImage = frame;
    page.printDate = QDate(2024, 5, 19);
    std::vector<QPointer<QDialog>> dialogs = {
        new BackupDlg(d->playlist(), parent),
        new ProgressDlg(std::make_shared<BackupProgress>(), parent),
        new CapturePreviewDlg(frame, QImage(), parent),
        new PrintWindowController(page, parent),
        new EditUploadDlg(d->playlist(), parent),
        new AboutDialog(parent),
    };
    pmSetStringSetting(SettingsKeys::socialNetworkWebUrl.key(), QStringLiteral("http://127.0.0.1:9"));
    dialogs.push_back(new LoginDlg(parent));
    QImage sheet(1300, 1500, QImage::Format_RGB32);
    sheet.fill(Qt::gray);
    QPainter painter(&sheet);
    int x = 0, y = 0, rowH = 0;
    for (const QPointer<QDialog>& dlg : dialogs) {
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg));
        QTest::qWait(300);
        const QImage shot = dlg->grab().toImage();
        const std::string name = dlg->metaObject()->className();
        EXPECT_LT(dlg->palette().color(QPalette::Window).lightness(), 80) << name;
        EXPECT_GT(dlg->palette().color(QPalette::WindowText).lightness(), 170) << name;
        // The background itself, a point in from the bottom-left corner.
        EXPECT_LT(shot.pixelColor(2, shot.height() - 3).lightness(), 80) << name;
        const QImage small = shot.scaled(shot.size().boundedTo(QSize(640, 440)), Qt::KeepAspectRatio,
                                         Qt::SmoothTransformation);
        if (x + small.width() > sheet.width()) {
            x = 0;
            y += rowH + 4;
            rowH = 0;
        }
        painter.drawImage(x, y, small);
        x += small.width() + 4;
        rowH = std::max(rowH, small.height());
        dlg->close();
        QTest::qWait(100);
    }
    painter.end();
    saveShot(sheet, 11);
    for (const QPointer<QDialog>& dlg : dialogs)
        delete dlg.data();
    QSettings().remove(SettingsKeys::socialNetworkWebUrl.key());
    d->applicationWillTerminate();
}

} // namespace
